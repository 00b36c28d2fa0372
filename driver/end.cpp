// The end of input: in list mode the next listed document continues the stream; otherwise the
// reading has ended, and the run summary reports what only the end can show (ES306, ES308),
// writes the per-code summary, the totals and the trailer, closes the files and prints the
// totals. And the progress as the caller is told it.
#include "run_state.hpp"

namespace driver {

Dalsi dalsi_vstup(Vstupy &v, reader::State &r) {
  if (v.sw_muf == 'N')
    return Dalsi::kKonec;
  r.insoub.reset();
  v.s_vstup = "...";
  std::string word;
  if (v.linsoub->dalsi(word))
    v.s_vstup = word;
  if (v.s_vstup == "...") {
    v.linsoub.reset();
    return Dalsi::kKonec;
  }
  if (v.s_vstup.size() > v.max_jmeno)
    return Dalsi::kDlouhy;
  r.insoub = reader::Input::open(v.s_vstup, v.read_buffer);
  return r.insoub ? Dalsi::kOtevren : Dalsi::kNeotevren;
}

bool konec_vstupu(void *vstupy, reader::State &r) {
  Vstupy &v = *static_cast<Vstupy *>(vstupy);
  if (v.skoncil) // nothing more is read
    return false;
  v.konec = dalsi_vstup(v, r);
  if (v.konec == Dalsi::kOtevren)
    return true;
  v.skoncil = true;
  return false;
}

KonecCteni cti(Cteni &c) {
  KonecCteni konec;
  try {
    reader::cti_dokument(c.reader);
    konec.proc = c.vstupy.konec;
  } catch (const reader::ChybaCteni &) {
    konec.proc = Dalsi::kNecitelny; // a read that failed ends the run like a missing file
  }
  konec.jmeno = c.vstupy.s_vstup;
  konec.radka = c.reader.cislo_radky;
  konec.prubeh = c.reader.prubeh;
  c.reader.insoub.reset();
  konec.kopie = std::move(c.reader.outsoub); // ended by the summary, on the checking thread
  return konec;
}

void hlas_prubeh(Overeni &o, const reader::Prubeh &p, std::int64_t radka) {
  const Options &opt = o.driver.opt;
  if (opt.progress == nullptr)
    return;
  if (opt.progress({p.precteno, p.velikost, o.rules.zaznamu, radka}, opt.progress_context))
    throw Stop{kZastaveno};
}

void zpracuj_KONp(Overeni &o, KonecCteni &konec) {
  report::State &r = o.report;
  if (konec.proc == Dalsi::kDlouhy)
    dlouhy_parametr(r, konec.jmeno, true, true);
  if (konec.proc == Dalsi::kNeotevren || konec.proc == Dalsi::kNecitelny)
    nelze_otevrit(r, konec.jmeno, true, true);
  rules::konec_dokumentu(o.rules, konec.radka);
  report::pis_zaver(r);
  // A file that could not be written in full ends the run as a failure, not normally.
  const std::string *nezapsan = nullptr;
  if (konec.kopie != nullptr) {
    konec.kopie->put(reader::kKonecVystupu);
    if (!konec.kopie->close())
      nezapsan = &o.driver.s_vystup;
  }
  if (!r.errsoub->close() && nezapsan == nullptr)
    nezapsan = &o.driver.s_chyby;
  if (nezapsan != nullptr)
    fatal(r, " Nelze zapsat soubor  ", *nezapsan, false, false);
  report::Sink &con = *r.konzole;
  con.put(kSmazat);
  con.put(report::Text::f("Celkem chyb vahy E:%8lld\n\nCelkem chyb vahy W:%8lld\n",
                          static_cast<long long>(r.sumchybE), static_cast<long long>(r.sumchybW)));
  con.put("\nProgram ukoncen normalne\n");
}

} // namespace driver
