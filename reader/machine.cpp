// The document state machine: the prologue, the root element, the submitter block, the
// employers with their employee records and the root end tag. It reports the markup errors
// ES300 and ES302 and the missing or repeated submitter elements, writes the output copy and
// hands every value element to the check of its section.
#include "reader.hpp"

namespace reader {

namespace {

using report::zpracuj_chybu;

// The final end of input inside a handler: the run is over; nothing more is read.
int konec() {
  st().rezim_zprac = 'W';
  return -1;
}

bool vystup() { return st().sw_vystup == 'A' && st().outsoub != nullptr; }

// A tag that opens or closes a section, the line it leaves in the output copy (when it
// leaves one), and the state that follows it.
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
    if (t.kopie && vystup()) {
      st().outsoub->put('<');
      st().outsoub->put(t.jmeno);
      st().outsoub->put(">\n");
    }
    st().rezim_zprac = t.stav;
    return true;
  }
  return false;
}

// Reads value elements of one section until a section tag or a comment ends the turn:
// name, rest of the start tag, content and end tag; then the copy line and the check.
// Elements of an employee record that close themselves leave no copy line.
int cti_prvky(const Tag (&tagy)[2], char sekce, KontrolaSekce kontrola) {
  for (;;) {
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
        zpracuj_chybu(s_cislo_radky(), "ES300", st().akt_elem, st().buf_element, "  ");
    }
    bool kopie = vystup();
    if (st().akt_elem.back() == '/') {
      st().akt_elem.pop_back();
      st().akt_obsah.clear();
      st().buf_element.assign("/");
      st().buf_element.append(st().akt_elem);
      kopie = kopie && sekce != 'N';
    } else {
      if (dej_obsah(st().buf_element) < 0)
        return konec();
      st().akt_obsah.assign(jezltrim(st().buf_element));
      if (dej_element(st().buf_element) < 0)
        return konec();
    }
    if (prvek_zac_kon(st().akt_elem, st().buf_element) == 'N')
      zpracuj_chybu(s_cislo_radky(), "ES302", st().akt_elem, st().buf_element, "  ");
    if (kopie) {
      report::Sink &out = *st().outsoub;
      out.put('<'), out.put(st().akt_elem), out.put('>');
      out.put(st().akt_obsah);
      out.put('<'), out.put(st().buf_element), out.put(">\n");
    }
    if (sekce == 'T' && stejne(st().akt_elem.view(), "AA0017"))
      report::st().telicokod.assign(st().akt_obsah);
    if (sekce == 'N' && stejne(st().akt_elem.view(), "AA0126"))
      report::st().identnec.assign(st().akt_obsah);
    kontrola(st().akt_elem, st().akt_obsah);
  }
}

// A prologue tag beginning with "?": its rest is copied with its blanks. When the tag closed
// right after its name, the buffer still holds the name, which then stands for the rest.
int zpracuj_prvni() {
  if (dej_zbytek_elementu(st().buf_element, 'N') < 0)
    return konec();
  if (vystup()) {
    report::Sink &out = *st().outsoub;
    out.put('<'), out.put(st().akt_elem), out.put(' ');
    out.put(st().buf_element), out.put(">\n");
  }
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
      if (vystup())
        st().outsoub->put(kKorenVystupu);
      st().rezim_zprac = 'G';
      return 0;
    }
  }
}

int zpracuj_KUFz() {
  if (dej_zbytek_elementu(st().buf_element, 'N') < 0)
    return konec();
  st().P.zacni();
  st().sw_bylTEL = 'N';
  st().rezim_zprac = 'H';
  return 0;
}

int zpracuj_KUF(KontrolaSekce k_Pre) { return cti_prvky(kTagyKUF, 'P', k_Pre); }
int zpracuj_TEL(KontrolaSekce k_Tel) { return cti_prvky(kTagyTEL, 'T', k_Tel); }
int zpracuj_NEC(KontrolaSekce k_Nec) { return cti_prvky(kTagyNEC, 'N', k_Nec); }

int zpracuj_KUFm() {
  for (;;) {
    if (dej_element(st().buf_element) < 0)
      return konec();
    if (sekcni_tag(kTagyKUF))
      return 0;
  }
}

int zpracuj_KUFk() {
  st().P.pis_pritomnost(tables::Ptab, s_cislo_radky(), Pritomnost::kNazev);
  st().sw_prvniKUF = 'N';
  st().rezim_zprac = 'I';
  return 0;
}

} // namespace reader
