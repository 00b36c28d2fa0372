// The HTML protocol: a header table with the run stamp and the input, one table row per
// finding (the code in bold for weight E), the rows per code, the totals and the trailer.
#include "cp1250.hpp"
#include "format.hpp"

namespace report {

namespace {

void pis_hlavicku(Sink &out, const Hlavicka &h) {
  out.put("<html>\n<head>\n");
  out.put("<META http-equiv=\"Content-Type\" content=\"text/html; charset=Windows-1250\">\n");
  out.put("<title>KUF - vysledky kontroly dat</title>\n</head>\n<body>\n");
  out.put("<table cellspacing=\"0\" cellpadding=\"2\" border=\"1\" width=100% >\n");
  out.put("<tr bgcolor=\"lightblue\" valign=\"left\">\n");
  out.put("<th width=15%> "), out.put("Datum a čas: "_cp);
  out.put(" </th><th width=20%> "), out.put(h.razitko);
  out.put(" </th><th width=12%> "), out.put("Soubor: ");
  out.put(" </th><th width=38%> "), put_markup_text(out, h.vstup);
  out.put(" </th><th width=15%>&nbsp"), out.put(h.program), out.put(" </th>\n");
  out.put("</table>\n");
  out.put("<table cellspacing=\"0\" cellpadding=\"2\" border=\"1\">\n");
  out.put("<tr bgcolor=\"lightblue\">\n");
  out.put("<th>Řádek<th>Chyba</th><th>Zaměstnavatel</th><th>Zaměstnanec</th><th>Prvek</th>"
          "<th>Hodnota</th><th>Očekáváno</th><th>Popis</th>\n"_cp);
  out.put("</tr>\n");
}

void pis_radek(Sink &out, const Nalez &col) {
  bool bold = col[1].substr(0, 1) == "E";
  out.put("<tr>\n");
  for (std::size_t i = 0; i < col.size(); ++i) {
    out.put(i == 1 && bold ? "<td><b>&nbsp;" : "<td>&nbsp;");
    put_markup_text(out, col[i]);
    out.put(i == 1 && bold ? "</b></td>\n" : "</td>\n");
  }
}

void pis_souhrn(Sink &out, const Pocty &EtabNum) {
  out.put("</table>\n<table cellspacing=\"0\" cellpadding=\"2\" border=\"1\" >\n");
  out.put("<tr bgcolor=\"lightblue\">\n");
  out.put("<th width=10%> Chyba </th><th width=0%> Počet </th> <th width=80%> Popis chyby</th> "
          "</tr>\n"_cp);
  for (std::uint16_t row : tables::EtabPoradi) { // rows in ascending byte order of their codes
    std::int64_t count = EtabNum[row];
    if (count <= 0)
      continue;
    const tables::Chyba &c = tables::Etab[row];
    bool bold = c.typ.substr(0, 1) == "E";
    out.put(bold ? "<tr>\n<td><b>&nbsp;" : "<tr>\n<td>&nbsp;");
    put_markup_text(out, c.typ);
    out.put(bold ? "</b></td>\n<td>&nbsp;" : "</td>\n<td>&nbsp;");
    out.put(Text(count));
    out.put("</td>\n<td>&nbsp;");
    put_markup_text(out, c.txt);
    out.put("</td>\n");
  }
}

void pis_celkem(Sink &out, std::int64_t e, std::int64_t w) {
  out.put("</tr>\n</table>\n<table cellspacing=\"0\" cellpadding=\"2\" border=\"1\" >\n");
  out.put("<tr bgcolor=\"lightblue\">\n");
  out.put("<th width=50%> Celkem chyb </th><th width=20%> Počet </th> </tr>\n"_cp);
  out.put("<tr>\n<td>Váha E</td>\n<td>&nbsp;"_cp), out.put(Text(e));
  out.put("</td>\n</tr>\n");
  out.put("<tr>\n<td>Váha W</td>\n<td>&nbsp;"_cp), out.put(Text(w));
  out.put("</td>\n</tr>\n");
  out.put("\n</table></body>\n</html>\n");
}

} // namespace

const Format kFormatHtml = {pis_hlavicku, pis_radek, pis_souhrn, pis_celkem, pis_zpravu};

} // namespace report
