// Error rows: every finding of every check goes through zpracuj_chybu, which counts it by
// weight and by catalogue row and writes it in the protocol format chosen at start-up; and the
// header and the end of the protocol.
#include "format.hpp"

namespace report {

const Format &format(char sw_err) {
  switch (sw_err) {
  case kCsv:
    return kFormatCsv;
  case kText:
    return kFormatText;
  case kXml:
    return kFormatXml;
  default:
    return kFormatHtml;
  }
}

void pis_hlavicku(State &r, std::string_view vstup, std::string_view razitko,
                  std::string_view program) {
  format(r.sw_err).pis_hlavicku(*r.errsoub, {vstup, razitko, program});
  r.hlavicka = true;
}

void pis_ukonceni(State &r, std::initializer_list<std::string_view> zprava) {
  format(r.sw_err).pis_ukonceni(*r.errsoub, zprava, r.hlavicka);
}

void pis_zpravu(Sink &out, std::initializer_list<std::string_view> zprava, bool) {
  for (std::string_view cast : zprava)
    out.put(cast);
}

void pis_zaver(State &r) {
  const Format &f = format(r.sw_err);
  if (f.pis_souhrn != nullptr)
    f.pis_souhrn(*r.errsoub, r.EtabNum);
  f.pis_celkem(*r.errsoub, r.sumchybE, r.sumchybW);
}

void zpracuj_chybu(State &r, const Chyba &c) {
  std::string_view cek = c.expected.substr(0, 60);
  char weight = c.code.empty() ? '\0' : c.code[0];
  if (weight == 'W')
    ++r.sumchybW;
  else if (weight == 'E')
    ++r.sumchybE;
  if (weight == 'W' && r.sw_nepisW == 'A')
    return;
  const tables::Chyba *row = tables::najdi_chybu(c.code);
  if (row != nullptr)
    ++r.EtabNum[static_cast<std::size_t>(row - tables::Etab.data())];
  else
    row = &tables::Etab.back();
  if (cek.substr(0, 1) == "?")
    cek = row->cek;
  const Nalez radek = {c.line,  c.code, c.zamestnavatel, c.zamestnanec, c.elem,
                       c.value, cek,    row->txt};
  if (r.errsoub != nullptr)
    format(r.sw_err).pis_radek(*r.errsoub, radek);
  if (r.posluchac != nullptr)
    r.posluchac(radek, r.posluchac_kontext);
}

} // namespace report
