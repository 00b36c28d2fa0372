// A run from the command line to the main loop: the banner, the arguments, the files (none
// created when one would overwrite another file of the run), the run stamp, the protocol
// header and the state loop, which only the end of input or a fatal condition ends.
#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <sys/stat.h>
#include <vector>

#include "platform.hpp"
#include "rules.hpp"
#include "run_state.hpp"

namespace driver {

namespace {

// Refuses, before anything is created, a protocol or output copy that is the same file as an
// input of the run (the list file and every name in it) or as each other.
void zkontroluj_prepis() {
  std::vector<std::string> vstupy = {st().s_vstup}; // as typed: the input of an empty list
  if (st().seznam) {
    vstupy.push_back(st().s_vstsez);
    bool velky = false;
    st().linsoub = st().opt.document ? Seznam::z_pameti(*st().opt.document, velky)
                                     : Seznam::otevri(st().s_vstsez, velky); // kept for the run
    if (velky)
      nelze_otevrit(st().s_vstsez, false);
    if (st().linsoub) {
      auto words = st().linsoub->nahled();
      for (std::size_t i = 0; i < words.size() && (i == 0 || words[i] != "..."); ++i)
        vstupy.push_back(words[i]);
    }
  }
  std::vector<Identita> ids;
  for (const auto &v : vstupy)
    ids.push_back(identita(v));
  if (!st().opt.no_protocol) {
    Identita protokol = identita(st().s_chyby);
    for (const auto &id : ids)
      if (id == protokol)
        nelze_otevrit(st().s_chyby, false);
    ids.push_back(protokol);
  }
  if (st().s_vystup == "...")
    return;
  Identita kopie = identita(st().s_vystup);
  for (const auto &id : ids)
    if (id == kopie)
      nelze_otevrit(st().s_vystup, false);
}

void otevri_soubory() {
  if (st().opt.no_protocol)
    report::st().errsoub = std::make_unique<report::DiscardSink>();
  else
    report::st().errsoub = report::FileSink::create(st().s_chyby);
  if (!report::st().errsoub)
    nelze_otevrit(st().s_chyby, false);
  if (st().s_vystup != "...") {
    reader::st().outsoub = report::FileSink::create(st().s_vystup);
    if (!reader::st().outsoub)
      nelze_otevrit(st().s_vystup, true);
    reader::st().sw_vystup = 'A';
  }
  if (st().seznam) {
    bool velky = false;
    if (!st().linsoub)
      st().linsoub = Seznam::otevri(st().s_vstsez, velky);
    if (!st().linsoub)
      nelze_otevrit(st().s_vstsez, true);
    st().sw_muf = 'A';
    std::string word;
    if (st().linsoub->dalsi(word)) {
      if (word.size() > st().max_jmeno)
        dlouhy_parametr(word, true, false);
      st().s_vstup = word;
    }
  }
  if (st().opt.document && st().sw_muf == 'N')
    reader::st().insoub = std::make_unique<reader::Input>(*st().opt.document, st().opt.read_buffer);
  else
    reader::st().insoub = reader::Input::open(st().s_vstup, st().opt.read_buffer);
  if (!reader::st().insoub)
    nelze_otevrit(st().s_vstup, true);
}

// "dd/mm/20yy  hh:mm:ss"
std::string razitko() {
  std::tm t{};
  if (st().opt.stamp) {
    t = *st().opt.stamp;
  } else {
    t = mistni_cas(std::time(nullptr));
  }
  char buf[64];
  std::snprintf(buf, sizeof buf, "%02d/%02d/20%02d  %02d:%02d:%02d", t.tm_mday, t.tm_mon + 1,
                t.tm_year % 100, t.tm_hour, t.tm_min, t.tm_sec);
  return buf;
}

// The state loop. The end of input runs the summary inside a handler (through konec_vstupu);
// the handler then leaves state W, which ends the loop.
void hlavni_smycka() {
  for (;;) {
    switch (reader::st().rezim_zprac) {
    case 'Z':
      reader::zpracuj_ZACp();
      break;
    case 'G':
      reader::zpracuj_KUFz();
      break;
    case 'H':
      reader::zpracuj_KUF(rules::k_Pre);
      break;
    case 'I':
      reader::zpracuj_KUFm();
      break;
    case 'J':
      reader::zpracuj_KUFk();
      break;
    case 'S':
      rules::zpracuj_TELz();
      break;
    case 'T':
      reader::zpracuj_TEL(rules::k_Tel);
      break;
    case 'U':
      rules::zpracuj_TELk();
      break;
    case 'M':
      rules::zpracuj_NECz();
      break;
    case 'N':
      reader::zpracuj_NEC(rules::k_Nec);
      break;
    case 'O':
      rules::zpracuj_NECk();
      break;
    default: // 'W' after the final end of input ('K' is passed inside it)
      if (!st().ukonceno)
        zpracuj_KONp();
      return;
    }
  }
}

} // namespace

namespace {

// One run: the banner, then `zadej` sets the run's names from the command line or the caller,
// then the files, the header and the state loop.
template <class Zadej>
int proved(Zadej zadej, report::Sink &console, const Options &options, Totals *totals) {
  auto kontrola = std::make_unique<Kontrola>();
  Aktivni aktivni(*kontrola);
  st().opt = options;
  report::st().konzole = &console;
  report::st().posluchac = options.listener;
  report::st().posluchac_kontext = options.listener_context;
  int code = 0;
  bool ve_smycce = false; // progress lines may stand on the console
  try {
    try {
      console.put("\nProgram  "), console.put(kProgram), console.put("  kontola dat pro KUF\n");
      zadej();
      report::st().sw_err = format_protokolu(st().s_chyby);
      zkontroluj_prepis();
      otevri_soubory();
      report::pis_hlavicku(st().s_vstup, razitko(), kProgram);
      reader::st().konec_vstupu = konec_vstupu;
      ve_smycce = true;
      hlavni_smycka();
    } catch (const reader::ChybaCteni &) {
      // An input that fails while it is read ends the run like one that cannot be opened.
      nelze_otevrit(st().s_vstup, true, true);
    } catch (const std::bad_alloc &) {
      rules::uvolni(); // the record store, so that the message can be written
      nedostatek_pameti(ve_smycce);
    }
  } catch (const Stop &stop) {
    code = stop.code;
  }
  if (totals != nullptr)
    *totals = {report::st().sumchybE, report::st().sumchybW, report::st().EtabNum};
  // Whatever is still open is closed here: after a fatal condition the protocol and the
  // output copy keep what was written before it.
  kontrola.reset();
  console.flush();
  return code;
}

} // namespace

int run(int argc, const char *const *argv, report::Sink &console, const Options &options,
        Totals *totals) {
  auto zadej = [&] {
    zpracuj_argumenty(argc, argv);
    if (st().s_vstup.substr(0, 1) == "@") {
      st().seznam = true;
      st().s_vstsez = st().s_vstup.substr(1);
    }
  };
  return proved(zadej, console, options, totals);
}

int run(const Zadani &zadani, report::Sink &console, const Options &options, Totals *totals) {
  auto zadej = [&] {
    st().max_jmeno = std::string::npos;
    st().s_vstup = zadani.vstup;
    if (zadani.seznam) {
      st().seznam = true;
      st().s_vstsez = zadani.vstup;
      st().s_vstup = "@" + zadani.vstup; // the input of an empty list, as the command line has it
    }
    st().s_chyby = zadani.chyby;
    if (zadani.vystup)
      st().s_vystup = *zadani.vystup;
    report::st().sw_nepisW = zadani.bez_varovani ? 'A' : 'N';
  };
  return proved(zadej, console, options, totals);
}

} // namespace driver
