// The XML protocol (schemas/protokol.xsd): the root with the run stamp and the input, one
// <Chyba> element per finding, the totals and the end of the root; or, where the run stops,
// its message in <Ukonceni> and the end of the root.
#include "format.hpp"

namespace report {

namespace {

// The beginning of the document: the XML declaration and the root's start tag.
constexpr std::string_view kZacatek =
    "<?xml version = \"1.0\" encoding = \"Windows-1250\"?><KUF_chyby>\n";

void pis_hlavicku(Sink &out, const Hlavicka &h) {
  out.put(kZacatek);
  out.put("<DatumCas>"), out.put(h.razitko), out.put("</DatumCas>\n");
  out.put("<Soubor>"), put_markup_text(out, h.vstup), out.put("</Soubor>\n");
}

void pis_radek(Sink &out, const Nalez &col) {
  static constexpr std::string_view tag[8] = {"Radek", "KodChyby", "Zamestnavatel", "Zamestnanec",
                                              "Prvek", "Hodnota",  "DelkaHodn",     "Popis"};
  out.put("<Chyba>\n");
  for (std::size_t i = 0; i < col.size(); ++i) {
    out.put('<'), out.put(tag[i]), out.put('>');
    put_markup_text(out, col[i]);
    out.put("</"), out.put(tag[i]), out.put(">\n");
  }
  out.put("</Chyba>\n");
}

void pis_celkem(Sink &out, std::int64_t e, std::int64_t w) {
  out.put("\n<CelkemchybE>"), out.put(cislo8(e)), out.put("</CelkemchybE>\n");
  out.put("<CelkemchybW>"), out.put(cislo8(w)), out.put("</CelkemchybW>\n");
  out.put("</KUF_chyby>\n");
}

// The message, line ends and all, as the text of <Ukonceni>, which the end of the root follows.
void pis_ukonceni(Sink &out, std::initializer_list<std::string_view> zprava, bool hlavicka) {
  if (!hlavicka)
    out.put(kZacatek);
  out.put("<Ukonceni>");
  for (std::string_view cast : zprava)
    put_markup_text(out, cast);
  out.put("</Ukonceni>\n</KUF_chyby>\n");
}

} // namespace

const Format kFormatXml = {pis_hlavicku, pis_radek, nullptr, pis_celkem, pis_ukonceni};

} // namespace report
