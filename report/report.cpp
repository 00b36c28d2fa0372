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

void pis_hlavicku(std::string_view vstup, std::string_view razitko, std::string_view program) {
  format(st().sw_err).pis_hlavicku(*st().errsoub, {vstup, razitko, program});
}

void pis_zaver() {
  const Format &f = format(st().sw_err);
  if (f.pis_souhrn != nullptr)
    f.pis_souhrn(*st().errsoub, st().EtabNum);
  f.pis_celkem(*st().errsoub, st().sumchybE, st().sumchybW);
}

int zpracuj_chybu(std::string_view line, std::string_view code, std::string_view elem,
                  std::string_view value, std::string_view expected) {
  std::string_view cek = expected.substr(0, 60);
  char weight = code.empty() ? '\0' : code[0];
  if (weight == 'W')
    ++st().sumchybW;
  else if (weight == 'E')
    ++st().sumchybE;
  if (weight == 'W' && st().sw_nepisW == 'A')
    return 0;
  const tables::Chyba *row = tables::najdi_chybu(code);
  if (row != nullptr)
    ++st().EtabNum[static_cast<std::size_t>(row - tables::Etab.data())];
  else
    row = &tables::Etab.back();
  if (cek.substr(0, 1) == "?")
    cek = row->cek;
  const Nalez radek = {line, code, st().telicokod, st().identnec, elem, value, cek, row->txt};
  if (st().errsoub != nullptr)
    format(st().sw_err).pis_radek(*st().errsoub, radek);
  if (st().posluchac != nullptr)
    st().posluchac(radek, st().posluchac_kontext);
  return 1;
}

} // namespace report
