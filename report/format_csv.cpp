// The CSV protocol: a line of column names, one line per finding with the columns separated
// by ";" (quoted where a column holds ; " CR or LF), and the totals.
#include "format.hpp"

namespace report {

namespace {

// A CSV column: inside double quotes, each quote doubled, when it holds ; " CR or LF.
void put_csv_column(Sink &out, std::string_view s) {
  if (!ma_zvlastni(s, 2)) {
    out.put(s);
    return;
  }
  out.put('"');
  for (std::size_t q; (q = s.find('"')) != std::string_view::npos; s.remove_prefix(q + 1)) {
    out.put(s.substr(0, q + 1));
    out.put('"');
  }
  out.put(s);
  out.put('"');
}

void pis_hlavicku(Sink &out, const Hlavicka &) {
  out.put("Radek;Chyba;Zamestnavatel;Zamestnanec;Prvek;Hodnota;Ocekavano;Popis\n");
}

void pis_radek(Sink &out, const Nalez &col) {
  for (std::size_t i = 0; i < col.size(); ++i) {
    if (i > 0)
      out.put(';');
    put_csv_column(out, col[i]);
  }
  out.put('\n');
}

void pis_celkem(Sink &out, std::int64_t e, std::int64_t w) {
  out.put("\nCelkem chyb vahy E:;"), out.put(cislo8(e)), out.put("\n");
  out.put("\nCelkem chyb vahy W:;"), out.put(cislo8(w)), out.put("\n");
}

} // namespace

const Format kFormatCsv = {pis_hlavicku, pis_radek, nullptr, pis_celkem};

} // namespace report
