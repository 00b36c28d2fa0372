// The CSV protocol: a line of column names, one line per finding with the columns separated
// by ";" (quoted where a column holds ; " CR or LF), and the totals.
#include <string>

#include "format.hpp"

namespace report {

namespace {

// A CSV column at `p`, with room for twice its length and two more bytes: inside double
// quotes, each quote doubled, when it holds ; " CR or LF. Returns the end.
char *csv_sloupec(char *p, std::string_view s) {
  if (!ma_zvlastni(s, 2)) {
    if (!s.empty())
      std::memcpy(p, s.data(), s.size());
    return p + s.size();
  }
  *p++ = '"';
  for (std::size_t q; (q = s.find('"')) != std::string_view::npos; s.remove_prefix(q + 1)) {
    std::memcpy(p, s.data(), q + 1);
    p += q + 1;
    *p++ = '"';
  }
  if (!s.empty())
    std::memcpy(p, s.data(), s.size());
  p += s.size();
  *p++ = '"';
  return p;
}

void pis_hlavicku(Sink &out, const Hlavicka &) {
  out.put("Radek;Chyba;Zamestnavatel;Zamestnanec;Prvek;Hodnota;Ocekavano;Popis\n");
}

void pis_radek(Sink &out, const Nalez &col) {
  // Laid out whole in the sink's buffer, with room for every column quoted.
  std::size_t nejvic = col.size(); // the separators and the line feed
  for (std::string_view c : col)
    nejvic += 2 * c.size() + 2;
  char *p = out.misto(nejvic);
  if (p == nullptr) { // longer than the whole buffer: each column through a buffer of its own
    for (std::size_t i = 0; i < col.size(); ++i) {
      std::string sloupec(2 * col[i].size() + 2, '\0');
      sloupec.resize(
          static_cast<std::size_t>(csv_sloupec(sloupec.data(), col[i]) - sloupec.data()));
      out.put(sloupec);
      out.put(i + 1 < col.size() ? ';' : '\n');
    }
    return;
  }
  for (std::size_t i = 0; i < col.size(); ++i) {
    p = csv_sloupec(p, col[i]);
    *p++ = i + 1 < col.size() ? ';' : '\n';
  }
  out.hotovo(p);
}

void pis_celkem(Sink &out, std::int64_t e, std::int64_t w) {
  out.put("\nCelkem chyb vahy E:;"), out.put(cislo8(e)), out.put("\n");
  out.put("\nCelkem chyb vahy W:;"), out.put(cislo8(w)), out.put("\n");
}

} // namespace

const Format kFormatCsv = {pis_hlavicku, pis_radek, nullptr, pis_celkem, pis_zpravu};

} // namespace report
