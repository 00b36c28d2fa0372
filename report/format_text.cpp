// The text protocol: the run stamp and the input, a line of column names, one line per
// finding with right-aligned columns, and the totals. Nothing in it is escaped.
#include "cp1250.hpp"
#include "format.hpp"

namespace report {

namespace {

void pis_hlavicku(Sink &out, const Hlavicka &h) {
  out.put(" "), out.put("Datum a čas: "_cp), out.put("  "), out.put(h.razitko), out.put("  ");
  out.put("Soubor: "), out.put("  "), out.put(h.vstup), out.put(" \n");
  out.put("C.radku  Chyba   ICO/Kod Zamestnanec  Prvek      Hodnota Ocekavano   Popis\n\n");
}

void pis_radek(Sink &out, const Nalez &col) {
  static constexpr std::size_t width[8] = {9, 5, 9, 9, 7, 10, 10, 30};
  static constexpr std::string_view gap[8] = {"", "  ", " ", "  ", " ", "  ", "  ", "  "};
  for (std::size_t i = 0; i < col.size(); ++i) {
    out.put(gap[i]);
    put_right(out, col[i], width[i]);
  }
  out.put('\n');
}

void pis_celkem(Sink &out, std::int64_t e, std::int64_t w) {
  out.put("\nCelkem chyb vahy E:"), out.put(cislo8(e));
  out.put("\n\nCelkem chyb vahy W:"), out.put(cislo8(w)), out.put("\n");
}

} // namespace

const Format kFormatText = {pis_hlavicku, pis_radek, nullptr, pis_celkem};

} // namespace report
