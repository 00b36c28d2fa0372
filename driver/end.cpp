// The end of input: in list mode the next listed document continues the stream; otherwise
// the run summary reports what only the end can show (ES306, ES308), writes the per-code
// summary, the totals and the trailer, closes the files and prints the totals.
#include "run_state.hpp"

namespace driver {

Dalsi dalsi_vstup() {
  if (st().sw_muf == 'N')
    return Dalsi::kKonec;
  reader::st().insoub.reset();
  st().s_vstup = "...";
  std::string word;
  if (st().linsoub->dalsi(word))
    st().s_vstup = word;
  if (st().s_vstup == "...") {
    st().linsoub.reset();
    return Dalsi::kKonec;
  }
  if (st().s_vstup.size() > st().max_jmeno)
    return Dalsi::kDlouhy;
  reader::st().insoub = reader::Input::open(st().s_vstup, st().opt.read_buffer);
  return reader::st().insoub ? Dalsi::kOtevren : Dalsi::kNeotevren;
}

void bez_dalsiho(Dalsi proc) {
  if (proc == Dalsi::kDlouhy)
    dlouhy_parametr(st().s_vstup, true, true);
  if (proc == Dalsi::kNeotevren)
    nelze_otevrit(st().s_vstup, true, true);
  zpracuj_KONp();
}

bool konec_vstupu() {
  if (st().ukonceno) // the summary is written; nothing more is read
    return false;
  Dalsi proc = dalsi_vstup();
  if (proc == Dalsi::kOtevren)
    return true;
  bez_dalsiho(proc);
  return false;
}

void zpracuj_KONp() {
  reader::st().rezim_zprac = 'K';
  st().ukonceno = true;
  auto radka = reader::s_cislo_radky();
  if (reader::st().sw_prvniKUF == 'A')
    report::zpracuj_chybu(radka, "ES306", "   ", "   ", "   ");
  if (reader::st().sw_bylTEL == 'N')
    report::zpracuj_chybu(radka, "ES308", "   ", "   ", "   ");
  report::pis_zaver();
  std::int64_t e = report::st().sumchybE, w = report::st().sumchybW;
  reader::st().insoub.reset();
  // A file that could not be written in full ends the run as a failure, not normally.
  const std::string *nezapsan = nullptr;
  if (auto &kopie = reader::st().outsoub) {
    kopie->put("</KUF>\n");
    reader::st().sw_vystup = 'N';
    if (!kopie->close())
      nezapsan = &st().s_vystup;
  }
  if (!report::st().errsoub->close() && nezapsan == nullptr)
    nezapsan = &st().s_chyby;
  if (nezapsan != nullptr)
    fatal(" Nelze zapsat soubor  ", *nezapsan, false, false);
  report::Sink &con = *report::st().konzole;
  con.put(kSmazat);
  con.put(report::Text::f("Celkem chyb vahy E:%8lld\n\nCelkem chyb vahy W:%8lld\n",
                          static_cast<long long>(e), static_cast<long long>(w)));
  con.put("\nProgram ukoncen normalne\n");
}

} // namespace driver
