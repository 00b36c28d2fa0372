// The document state machine: the prologue, the root element, the submitter block, the
// employers with their employee records and the root end tag. It reports the markup errors
// ES300 and ES302 and the missing or repeated submitter elements, and hands the lines of the
// output copy and every value element on.
#include <initializer_list>

#include "reader.hpp"

namespace reader {

namespace {

// The final end of input inside a handler: the run is over; nothing more is read.
int konec() {
  st().rezim_zprac = 'W';
  return -1;
}

bool vystup() { return st().sw_vystup == 'A'; }

// A line of the output copy made of `casti`; a prologue line is the longest, a name of 50 and
// a rest of 300 characters.
void kopie(std::initializer_list<std::string_view> casti) {
  if (!vystup())
    return;
  Pole<400> radka;
  for (std::string_view c : casti)
    radka.append(c);
  st().predani->kopie(radka);
}

// A tag that opens or closes a section, whether it leaves a line in the output copy, and the
// state that follows it.
struct Tag {
  std::string_view jmeno;
  bool kopie;
  char stav;
};
constexpr Tag kTagyKUF[] = {{"zamestnavatel", true, 'S'}, {"/KUF", false, 'J'}};
constexpr Tag kTagyTEL[] = {{"zamestnanec", true, 'M'}, {"/zamestnavatel", true, 'U'}};
constexpr Tag kTagyNEC[] = {{"/zamestnanec", true, 'O'}, {"/zamestnavatel", true, 'H'}};

bool sekcni_tag(const Tag (&tagy)[2]) {
  for (const Tag &t : tagy) {
    if (!stejne(st().buf_element.view(), t.jmeno))
      continue;
    if (t.kopie)
      kopie({"<", t.jmeno, ">\n"});
    st().rezim_zprac = t.stav;
    return true;
  }
  return false;
}

// Reads value elements of one section until a section tag or a comment ends the turn:
// name, rest of the start tag, content and end tag; then hands the element on. Elements of an
// employee record that close themselves leave no copy line.
int cti_prvky(const Tag (&tagy)[2], char sekce) {
  CelyPrvek c; // set anew by each look into the read buffer that finds an element
  for (;;) {
    // Most elements lie whole in the read buffer and are taken from it at once.
    if (nahled_prvku(c) && c.elem[0] != '!' && c.elem.back() != '/' &&
        !stejne(c.elem, tagy[0].jmeno) && !stejne(c.elem, tagy[1].jmeno)) {
      prijmi_prvek(c);
      st().predani->prvek({sekce, true, c.es302, c.elem, jezltrim(c.obsah), c.konec, c.cely});
      continue;
    }
    if (dej_element(st().buf_element) < 0)
      return konec();
    if (sekcni_tag(tagy))
      return 0;
    st().akt_elem.assign(st().buf_element.view().substr(0, 50));
    if (st().buf_element.view() == "!--")
      return preskoc_zbytek_komentare() < 0 ? konec() : 0;
    int zbytek = dej_zbytek_elementu(st().buf_element, 'A');
    if (zbytek < 0)
      return konec();
    if (zbytek == 2) {
      if (st().buf_element.view() == "/")
        st().akt_elem.push_back('/');
      else
        st().predani->zbytek(st().akt_elem, st().buf_element);
    }
    bool kopie = true;
    if (st().akt_elem.back() == '/') {
      st().akt_elem.pop_back();
      st().akt_obsah.clear();
      st().buf_element.assign("/");
      st().buf_element.append(st().akt_elem);
      kopie = sekce != 'N';
    } else {
      if (dej_obsah(st().buf_element) < 0)
        return konec();
      st().akt_obsah.assign(jezltrim(st().buf_element));
      if (dej_element(st().buf_element) < 0)
        return konec();
    }
    bool es302 = prvek_zac_kon(st().akt_elem, st().buf_element) == 'N';
    st().predani->prvek({sekce, kopie, es302, st().akt_elem, st().akt_obsah, st().buf_element, {}});
  }
}

// A prologue tag beginning with "?": its rest is copied with its blanks. When the tag closed
// right after its name, the buffer still holds the name, which then stands for the rest.
int zpracuj_prvni() {
  if (dej_zbytek_elementu(st().buf_element, 'N') < 0)
    return konec();
  kopie({"<", st().akt_elem, " ", st().buf_element, ">\n"});
  return 0;
}

int zpracuj_koment() { return 0; }

} // namespace

int zpracuj_ZACp() {
  for (;;) {
    if (dej_element(st().buf_element) < 0)
      return konec();
    std::string_view name = st().buf_element.view();
    if (name.substr(0, 1) == "!") {
      zpracuj_koment();
    } else if (name.substr(0, 1) == "?") {
      st().akt_elem.assign(name.substr(0, 50));
      if (zpracuj_prvni() < 0)
        return -1;
    } else if (name.substr(0, 3) == "KUF") {
      kopie({kKorenVystupu});
      st().rezim_zprac = 'G';
      return 0;
    }
  }
}

int zpracuj_KUFz() {
  if (dej_zbytek_elementu(st().buf_element, 'N') < 0)
    return konec();
  st().predani->obsluha('G');
  return 0;
}

void zacni_koren() {
  st().P.zacni();
  st().sw_bylTEL = 'N';
  st().rezim_zprac = 'H';
}

int zpracuj_KUF() { return cti_prvky(kTagyKUF, 'P'); }
int zpracuj_TEL() { return cti_prvky(kTagyTEL, 'T'); }
int zpracuj_NEC() { return cti_prvky(kTagyNEC, 'N'); }

int zpracuj_KUFm() {
  for (;;) {
    if (dej_element(st().buf_element) < 0)
      return konec();
    if (sekcni_tag(kTagyKUF))
      return 0;
  }
}

void zpracuj_KUFk() {
  st().P.pis_pritomnost(tables::Ptab, s_cislo_radky(), Pritomnost::kNazev);
  st().sw_prvniKUF = 'N';
  st().rezim_zprac = 'I';
}

void kopie_prvku(const Prvek &p) {
  if (p.kopie && vystup() && st().outsoub != nullptr) {
    report::Sink &out = *st().outsoub;
    if (!p.cely.empty() && p.obsah.data() == p.elem.data() + p.elem.size() + 1) {
      out.put(p.cely); // the line as it stands in the document, when no blanks were dropped
    } else {
      out.put('<'), out.put(p.elem), out.put('>');
      out.put(p.obsah);
      out.put('<'), out.put(p.konec), out.put('>');
    }
    out.put('\n');
  }
}

} // namespace reader
