// The end of input: in list mode the next listed document continues the stream; otherwise
// the run summary reports what only the end can show (ES306, ES308), writes the per-code
// summary, the totals and the trailer, closes the files and prints the totals.
#include <algorithm>

#include "cp1250.hpp"
#include "internal.hpp"

namespace driver {

bool konec_vstupu() {
  if (st.ukonceno) // the summary is written; nothing more is read
    return false;
  if (st.sw_muf == 'N') {
    zpracuj_KONp();
    return false;
  }
  reader::st.insoub = nullptr;
  st.insoub.reset();
  st.s_vstup = "...";
  std::string word;
  if (st.linsoub->dalsi(word))
    st.s_vstup = word;
  if (st.s_vstup == "...") {
    st.linsoub.reset();
    zpracuj_KONp();
    return false;
  }
  if (st.s_vstup.size() > st.max_jmeno)
    dlouhy_parametr(st.s_vstup, true, true);
  st.insoub = reader::Input::open(st.s_vstup, st.opt.read_buffer);
  if (!st.insoub)
    nelze_otevrit(st.s_vstup, true, true);
  reader::st.insoub = st.insoub.get();
  return true;
}

namespace {

void souhrn_kodu(report::Sink &out) {
  out.put("</table>\n<table cellspacing=\"0\" cellpadding=\"2\" border=\"1\" >\n");
  out.put("<tr bgcolor=\"lightblue\">\n");
  out.put("<th width=10%> Chyba </th><th width=0%> Počet </th> <th width=80%> Popis chyby</th> "
          "</tr>\n"_cp);
  for (std::uint16_t row : tables::EtabPoradi) { // rows in ascending byte order of their codes
    std::int64_t count = report::st.EtabNum[row];
    if (count <= 0)
      continue;
    const tables::Chyba &c = tables::Etab[row];
    bool bold = c.typ.substr(0, 1) == "E";
    out.put(bold ? "<tr>\n<td><b>&nbsp;" : "<tr>\n<td>&nbsp;");
    report::put_markup_text(out, c.typ);
    out.put(bold ? "</b></td>\n<td>&nbsp;" : "</td>\n<td>&nbsp;");
    out.put(report::Text(count));
    out.put("</td>\n<td>&nbsp;");
    report::put_markup_text(out, c.txt);
    out.put("</td>\n");
  }
}

void celkem(report::Sink &out, std::int64_t e, std::int64_t w) {
  auto cislo8 = [](std::int64_t v) { return report::Text::f("%8lld", static_cast<long long>(v)); };
  switch (report::st.sw_err) {
  case report::kCsv:
    out.put("\nCelkem chyb vahy E:;"), out.put(cislo8(e)), out.put("\n");
    out.put("\nCelkem chyb vahy W:;"), out.put(cislo8(w)), out.put("\n");
    break;
  case report::kText:
    out.put("\nCelkem chyb vahy E:"), out.put(cislo8(e));
    out.put("\n\nCelkem chyb vahy W:"), out.put(cislo8(w)), out.put("\n");
    break;
  case report::kXml:
    out.put("\n<CelkemchybE>"), out.put(cislo8(e)), out.put("</CelkemchybE>\n");
    out.put("<CelkemchybW>"), out.put(cislo8(w)), out.put("</CelkemchybW>\n");
    out.put("</KUF_chyby>\n");
    break;
  case report::kHtml:
    out.put("</tr>\n</table>\n<table cellspacing=\"0\" cellpadding=\"2\" border=\"1\" >\n");
    out.put("<tr bgcolor=\"lightblue\">\n");
    out.put("<th width=50%> Celkem chyb </th><th width=20%> Počet </th> </tr>\n"_cp);
    out.put("<tr>\n<td>Váha E</td>\n<td>&nbsp;"_cp), out.put(report::Text(e));
    out.put("</td>\n</tr>\n");
    out.put("<tr>\n<td>Váha W</td>\n<td>&nbsp;"_cp), out.put(report::Text(w));
    out.put("</td>\n</tr>\n");
    out.put("\n</table></body>\n</html>\n");
    break;
  default:
    break;
  }
}

} // namespace

void zpracuj_KONp() {
  reader::st.rezim_zprac = 'K';
  st.ukonceno = true;
  auto radka = reader::s_cislo_radky();
  if (reader::st.sw_prvniKUF == 'A')
    report::zpracuj_chybu(radka, "ES306", "   ", "   ", "   ");
  if (reader::st.sw_bylTEL == 'N')
    report::zpracuj_chybu(radka, "ES308", "   ", "   ", "   ");
  report::Sink &out = *st.errsoub;
  if (report::st.sw_err == report::kHtml)
    souhrn_kodu(out);
  std::int64_t e = report::st.sumchybE, w = report::st.sumchybW;
  celkem(out, e, w);
  reader::st.insoub = nullptr;
  st.insoub.reset();
  // A file that could not be written in full ends the run as a failure, not normally.
  const std::string *nezapsan = nullptr;
  if (st.outsoub) {
    st.outsoub->put("</KUF>\n");
    reader::st.outsoub = nullptr;
    reader::st.sw_vystup = 'N';
    if (!st.outsoub->close())
      nezapsan = &st.s_vystup;
  }
  report::st.errsoub = nullptr;
  if (!st.errsoub->close() && nezapsan == nullptr)
    nezapsan = &st.s_chyby;
  report::Sink &con = *st.konzole;
  if (nezapsan != nullptr) {
    con.put(" Nelze zapsat soubor  "), con.put(*nezapsan), con.put("\n Program ukoncen\n");
    throw Stop{13};
  }
  con.put(kSmazat);
  con.put(report::Text::f("Celkem chyb vahy E:%8lld\n\nCelkem chyb vahy W:%8lld\n",
                          static_cast<long long>(e), static_cast<long long>(w)));
  con.put("\nProgram ukoncen normalne\n");
}

} // namespace driver
