// The text protocol: the run stamp and the input, a line of column names, one line per
// finding with right-aligned columns, and the totals. Nothing in it is escaped.
#include <algorithm>

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
  // Laid out whole in the sink's buffer: the gap, the blanks that align the column, the text.
  std::size_t delka = 1; // the line feed
  for (std::size_t i = 0; i < col.size(); ++i)
    delka += gap[i].size() + std::max(col[i].size(), width[i]);
  if (char *p = out.misto(delka)) {
    for (std::size_t i = 0; i < col.size(); ++i) {
      const std::size_t pad = col[i].size() < width[i] ? width[i] - col[i].size() : 0;
      std::memcpy(p, gap[i].data(), gap[i].size());
      std::memset(p + gap[i].size(), ' ', pad);
      p += gap[i].size() + pad;
      if (!col[i].empty())
        std::memcpy(p, col[i].data(), col[i].size());
      p += col[i].size();
    }
    *p++ = '\n';
    return out.hotovo(p);
  }
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

const Format kFormatText = {pis_hlavicku, pis_radek, nullptr, pis_celkem, pis_zpravu};

} // namespace report
