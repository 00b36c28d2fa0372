// What the state machine hands on, checked: the rest of a start tag, the places where a
// section begins or ends with their handlers, and the end of the document.
#include "internal.hpp"

namespace rules {

namespace {

// G: the submitter section begins.
void zacni_koren(State &s) {
  s.P.zacni();
  s.sw_bylTEL = 'N';
}

// J: the root end tag; ES303 ES304 of the submitter elements. The counts are not reset: a
// further root end tag (of a listed report) reports the same again.
void zpracuj_KUFk(State &s) {
  pis_pritomnost(s, s.P, tables::Ptab, s_cislo_radky(s), Pritomnost::kNazev);
  s.sw_prvniKUF = 'N';
}

} // namespace

void zbytek(State &s, std::int64_t radka, std::string_view elem, std::string_view zbytek) {
  s.cislo_radky = radka;
  zpracuj_chybu(s, s_cislo_radky(s), "ES300", elem, zbytek, "  ");
}

void oddil(State &s, std::int64_t radka, char stav) {
  s.cislo_radky = radka;
  switch (stav) {
  case 'G':
    return zacni_koren(s);
  case 'J':
    return zpracuj_KUFk(s);
  case 'S':
    return zpracuj_TELz(s);
  case 'U':
    return zpracuj_TELk(s);
  case 'M':
    return zpracuj_NECz(s);
  case 'O':
    return zpracuj_NECk(s);
  default:
    return;
  }
}

void konec_dokumentu(State &s, std::int64_t radka) {
  s.cislo_radky = radka;
  if (s.sw_prvniKUF == 'A')
    zpracuj_chybu(s, s_cislo_radky(s), "ES306", "   ", "   ", "   ");
  if (s.sw_bylTEL == 'N')
    zpracuj_chybu(s, s_cislo_radky(s), "ES308", "   ", "   ", "   ");
}

void Primo::zbytek(std::int64_t radka, std::string_view elem, std::string_view text) {
  rules::zbytek(s_, radka, elem, text);
}

void Primo::prvek(std::int64_t radka, const reader::Prvek &p) { rules::prvek(s_, radka, p); }

void Primo::oddil(std::int64_t radka, char stav) { rules::oddil(s_, radka, stav); }

} // namespace rules
