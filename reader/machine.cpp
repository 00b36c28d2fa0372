// The document state machine: the prologue, the root element, the submitter block, the
// employers with their employee records and the root end tag. Its states, their handlers and
// the states that follow them are the table kStavy below. It writes the output copy and hands
// every value element, every start tag with a rest (ES300) and every place where a section
// begins or ends on, for the checks.
#include <array>
#include <initializer_list>

#include "reader.hpp"

namespace reader {

namespace {

// The end of a step of the document: the state that follows; W at the final end of the input.
constexpr char kKonec = 'W';

// A line of the output copy made of `casti`, when the copy is written; a prologue line is the
// longest, a name of 50 and a rest of 300 characters.
void kopie(State &s, std::initializer_list<std::string_view> casti) {
  if (s.sw_vystup() != 'A')
    return;
  Pole<400> radka;
  for (std::string_view c : casti)
    radka.append(c);
  s.outsoub->put(radka);
}

// The copy line of a value element, when it leaves one and the output copy is written.
void kopie_prvku(State &s, const Prvek &p) {
  if (!p.kopie || s.sw_vystup() != 'A')
    return;
  report::Sink &out = *s.outsoub;
  if (!p.cely.empty() && p.obsah.data() == p.elem.data() + p.elem.size() + 1) {
    out.put(p.cely); // the line as it stands in the document, when no blanks were dropped
  } else {
    out.put('<'), out.put(p.elem), out.put('>');
    out.put(p.obsah);
    out.put('<'), out.put(p.konec), out.put('>');
  }
  out.put('\n');
}

// A value element read whole: its copy line, then the element handed on.
void predej(State &s, const Prvek &p) {
  kopie_prvku(s, p);
  s.predani->prvek(s.cislo_radky, p);
}

// A tag that opens or closes a section, whether it leaves a line in the output copy, and the
// state that follows it.
struct Tag {
  std::string_view jmeno;
  bool kopie;
  char stav;
};
// The states that read value elements: their own state (a comment leaves the machine there),
// the section of their elements and their two section tags.
struct Cteni {
  char stav;
  char sekce;
  Tag tagy[2];
};
constexpr Cteni kKUF = {'H', 'P', {{"zamestnavatel", true, 'S'}, {"/KUF", false, 'J'}}};
constexpr Cteni kTEL = {'T', 'T', {{"zamestnanec", true, 'M'}, {"/zamestnavatel", true, 'U'}}};
constexpr Cteni kNEC = {'N', 'N', {{"/zamestnanec", true, 'O'}, {"/zamestnavatel", true, 'H'}}};

// The state that the tag in the scanner buffer leads to, its copy line written; 0 when it is
// not one of the section tags `tagy`.
char sekcni_tag(State &s, const Tag (&tagy)[2]) {
  for (const Tag &t : tagy) {
    if (!stejne(s.buf_element.view(), t.jmeno))
      continue;
    if (t.kopie)
      kopie(s, {"<", t.jmeno, ">\n"});
    return t.stav;
  }
  return 0;
}

// Reads the value elements of one section until a section tag or a comment ends the turn:
// name, rest of the start tag, content and end tag; then hands the element on. Elements of an
// employee record that close themselves leave no copy line.
char cti_prvky(State &s, const Cteni &cteni) {
  const Tag(&tagy)[2] = cteni.tagy;
  CelyPrvek c; // set anew by each look into the read buffer that finds an element
  for (;;) {
    // Most elements lie whole in the read buffer and are taken from it at once.
    if (nahled_prvku(s, c) && c.elem[0] != '!' && c.elem.back() != '/' &&
        !stejne(c.elem, tagy[0].jmeno) && !stejne(c.elem, tagy[1].jmeno)) {
      prijmi_prvek(s, c);
      predej(s, {cteni.sekce, true, c.es302, c.elem, jezltrim(c.obsah), c.konec, c.cely});
      continue;
    }
    if (dej_element(s, s.buf_element) < 0)
      return kKonec;
    if (const char dalsi = sekcni_tag(s, tagy))
      return dalsi;
    s.akt_elem.assign(s.buf_element.view().substr(0, 50));
    if (s.buf_element.view() == "!--")
      return preskoc_zbytek_komentare(s) < 0 ? kKonec : cteni.stav;
    const int zbytek = dej_zbytek_elementu(s, s.buf_element, 'A');
    if (zbytek < 0)
      return kKonec;
    if (zbytek == 2) {
      if (s.buf_element.view() == "/")
        s.akt_elem.push_back('/');
      else
        s.predani->zbytek(s.cislo_radky, s.akt_elem, s.buf_element);
    }
    bool kopie = true;
    if (s.akt_elem.back() == '/') {
      s.akt_elem.pop_back();
      s.akt_obsah.clear();
      s.buf_element.assign("/");
      s.buf_element.append(s.akt_elem);
      kopie = cteni.sekce != 'N';
    } else {
      if (dej_obsah(s, s.buf_element) < 0)
        return kKonec;
      s.akt_obsah.assign(jezltrim(s.buf_element));
      if (dej_element(s, s.buf_element) < 0)
        return kKonec;
    }
    const bool es302 = prvek_zac_kon(s.akt_elem, s.buf_element) == 'N';
    predej(s, {cteni.sekce, kopie, es302, s.akt_elem, s.akt_obsah, s.buf_element, {}});
  }
}

// A prologue tag beginning with "?": its rest is copied with its blanks. When the tag closed
// right after its name, the buffer still holds the name, which then stands for the rest.
// False at the final end of the input.
bool zpracuj_prvni(State &s) {
  if (dej_zbytek_elementu(s, s.buf_element, 'N') < 0)
    return false;
  kopie(s, {"<", s.akt_elem, " ", s.buf_element, ">\n"});
  return true;
}

// Z: the prologue up to the root start tag. Comments and other tags are passed over.
char zpracuj_ZACp(State &s) {
  for (;;) {
    if (dej_element(s, s.buf_element) < 0)
      return kKonec;
    std::string_view name = s.buf_element.view();
    if (name.substr(0, 1) == "?") {
      s.akt_elem.assign(name.substr(0, 50));
      if (!zpracuj_prvni(s))
        return kKonec;
    } else if (name.substr(0, 3) == "KUF") {
      kopie(s, {kKorenVystupu});
      return 'G';
    }
  }
}

// G: the rest of the root start tag, not examined; the submitter section begins.
char zpracuj_KUFz(State &s) {
  if (dej_zbytek_elementu(s, s.buf_element, 'N') < 0)
    return kKonec;
  s.predani->oddil(s.cislo_radky, 'G');
  return 'H';
}

char zpracuj_KUF(State &s) { return cti_prvky(s, kKUF); }
char zpracuj_TEL(State &s) { return cti_prvky(s, kTEL); }
char zpracuj_NEC(State &s) { return cti_prvky(s, kNEC); }

// I: after the root end tag everything is passed over up to the next employer or root end
// tag (in list mode, the prologue and submitter of the next report).
char zpracuj_KUFm(State &s) {
  for (;;) {
    if (dej_element(s, s.buf_element) < 0)
      return kKonec;
    if (const char dalsi = sekcni_tag(s, kKUF.tagy))
      return dalsi;
  }
}

// The states where a section begins or ends: the checks are told, and `Dalsi` follows.
template <char Stav, char Dalsi> char oddil(State &s) {
  s.predani->oddil(s.cislo_radky, Stav);
  return Dalsi;
}

// The states of the machine, each with its handler and the states that can follow it.
struct Stav {
  char stav;
  char (*obsluha)(State &s);
};
constexpr Stav kStavy[] = {
    {'Z', zpracuj_ZACp},    // prologue: G at the root start tag
    {'G', zpracuj_KUFz},    // rest of the root start tag, the submitter section begins: H
    {'H', zpracuj_KUF},     // submitter elements: S "zamestnavatel", J "/KUF"
    {'S', oddil<'S', 'T'>}, // an employer begins: T
    {'T', zpracuj_TEL},     // employer elements: M "zamestnanec", U "/zamestnavatel"
    {'M', oddil<'M', 'N'>}, // an employee record begins: N
    {'N', zpracuj_NEC},     // employee elements: O "/zamestnanec", H "/zamestnavatel"
    {'O', oddil<'O', 'T'>}, // an employee record ends: T
    {'U', oddil<'U', 'H'>}, // an employer ends: H
    {'J', oddil<'J', 'I'>}, // the root end tag: I
    {'I', zpracuj_KUFm},    // after the root end tag: S "zamestnavatel", J "/KUF"
};
// The handler of every state by its letter, for every value of a byte; none for W and any
// other.
constexpr auto kObsluhy = [] {
  std::array<char (*)(State &), 256> t{};
  for (const Stav &st : kStavy)
    t[static_cast<unsigned char>(st.stav)] = st.obsluha;
  return t;
}();

} // namespace

void cti_dokument(State &s) {
  for (;;) {
    const auto stav = static_cast<unsigned char>(s.rezim_zprac);
    if (kObsluhy[stav] == nullptr)
      return; // W: the input has ended for good
    s.rezim_zprac = kObsluhy[stav](s);
  }
}

} // namespace reader
