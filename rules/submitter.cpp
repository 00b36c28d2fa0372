// The rules of the submitter: its identification number by check digit and in the list of
// submitters, the form of its e-mail address, and the form and calendar of the creation time.
#include "internal.hpp"

namespace rules {

namespace {

// The submitter's identification number by its check digit: EL031.
void chk_ICOPredkladatele(State &s, std::string_view ico) {
  chk_ico_prvku(s, ico, s.P.Esw[tables::p::ICOpredkladatele], "ICOpredkladatele");
}

// A two-character field of the creation time between two texts, compared as texts.
bool mezi(std::string_view field, std::string_view lo, std::string_view hi) {
  return field >= lo && field <= hi;
}

bool cislice(char c) { return c >= '0' && c <= '9'; }

} // namespace

void chk_ico_prvku(State &s, std::string_view ico, char &esw, std::string_view elem) {
  if (chk_ICO(ico) == 0)
    return;
  esw = 'E';
  zpracuj_chybu(s, s_cislo_radky(s), "EL031", elem, ico, "   ");
}

bool platny_den(std::string_view mesic, std::string_view den) {
  return mezi(mesic, "01", "12") && mezi(den, "01", "31") && !(mesic == "02" && den > "28") &&
         !((mesic == "04" || mesic == "06" || mesic == "09" || mesic == "11") && den > "30");
}

// The form of an e-mail address: ESEMA.
void chk_eposta(State &s, std::string_view mail) {
  std::size_t tecka = mail.find('.'), zavinac = mail.find('@');
  std::size_t posledni = mail.rfind('.'), konec = mail.size() - 1;
  bool dobre = tecka != std::string_view::npos && zavinac != std::string_view::npos && tecka != 0 &&
               tecka != konec && zavinac != 0 && zavinac != konec && zavinac < posledni &&
               mail.find(' ') == std::string_view::npos;
  if (!dobre)
    zpracuj_chybu(s, s_cislo_radky(s), "ESEMA", "mail", mail, "   ");
}

// The creation time YYYY-MM-DDThh:mm:ss, nineteen characters (the length check came first),
// in 2008 or 2009 and on a calendar day: ESVYT.
void chk_vytvoreno(State &s, std::string_view v) {
  if (v.size() != 19)
    return;
  std::string_view mesic = v.substr(5, 2), den = v.substr(8, 2);
  std::string_view hodina = v.substr(11, 2), minuta = v.substr(14, 2), sekunda = v.substr(17, 2);
  bool dobre = (v.substr(0, 4) == "2008" || v.substr(0, 4) == "2009") && platny_den(mesic, den) &&
               mezi(hodina, "00", "23") && mezi(minuta, "00", "59") && mezi(sekunda, "00", "59") &&
               cislice(mesic[1]) && cislice(den[1]) && cislice(hodina[1]) && cislice(minuta[1]) &&
               cislice(sekunda[1]) && v[4] == '-' && v[7] == '-' && v[13] == ':' && v[16] == ':' &&
               v[10] == 'T';
  if (!dobre)
    zpracuj_chybu(s, s_cislo_radky(s), "ESVYT", "vytvoreno", v, "   ");
}

void pravidla_predkladatele(State &s, int row, std::string_view obsah) {
  switch (row) {
  case tables::p::ICOpredkladatele:
    chk_ICOPredkladatele(s, obsah);
    cis_predkladatelu(s, obsah);
    break;
  case tables::p::mail:
    chk_eposta(s, obsah);
    break;
  case tables::p::vytvoreno:
    chk_vytvoreno(s, obsah);
    break;
  default:
    break;
  }
}

} // namespace rules
