// A run from the command line to the main loop: the banner, the arguments, the files (none
// changed or left behind when one would overwrite another file of the run), the run stamp,
// the protocol header and the state loop, on one thread or two, which only the end of input
// or a fatal condition ends.
#include <algorithm>
#include <vector>

#include "platform.hpp"
#include "predani.hpp"
#include "rules.hpp"
#include "run_state.hpp"

namespace driver {

namespace {

// The names of the inputs of the run: the input document, or in list mode the list file and
// every document it names. The argument as typed ("@" included) is an input only when the
// list holds no name, for then it is what the run reads. The list is read here and kept.
// `velky` tells of a list too large to be read.
std::vector<std::string> vstupy(bool &velky) {
  if (!st().seznam)
    return {st().s_vstup};
  std::vector<std::string> jmena = {st().s_vstsez};
  if (st().opt.document) {
    st().linsoub = Seznam::z_pameti(*st().opt.document, velky);
  } else if (st().opt.source != nullptr) {
    reader::Input zdroj(st().opt.source, st().opt.source_context, std::size_t{1} << 16);
    st().linsoub = Seznam::precti(zdroj, velky);
  } else {
    st().linsoub = Seznam::otevri(st().s_vstsez, velky);
  }
  if (st().linsoub) {
    auto words = st().linsoub->nahled();
    for (std::size_t i = 0; i < words.size() && (i == 0 || words[i] != "..."); ++i)
      jmena.push_back(words[i]);
    if (words.empty())
      jmena.push_back(st().s_vstup);
  }
  return jmena;
}

// Opens the protocol and the output copy, and refuses either when it is the same file as an
// input of the run, or (the copy) as the protocol, however the names are written. Both are
// opened, or created, without being emptied, and their identities are taken from the open
// files; the inputs' identities are taken afterwards, so that a name reaching a file created
// here is caught too. A refused run removes what it created and has changed nothing; only
// after every comparison are the files emptied and written. An output copy that cannot be
// created is reported after the protocol is open, into the protocol as well.
void otevri_vystupy() {
  const Options &opt = st().opt;
  const bool do_souboru = !opt.no_protocol && opt.protocol_writer == nullptr;
  const bool kopie_do_souboru = st().s_vystup != "..." && opt.copy_writer == nullptr;
  std::unique_ptr<Vystup> protokol, kopie;
  if (do_souboru) {
    protokol = Vystup::otevri(st().s_chyby);
    if (!protokol)
      nelze_otevrit(st().s_chyby, false);
  }
  if (kopie_do_souboru)
    kopie = Vystup::otevri(st().s_vystup);
  auto zahod = [&] {
    for (auto *v : {&kopie, &protokol})
      if (*v)
        (*v)->zahod();
  };
  auto odmitni = [&](const std::string &name) {
    zahod();
    nelze_otevrit(name, false);
  };
  bool velky = false;
  std::vector<Identita> ids;
  for (const auto &v : vstupy(velky))
    ids.push_back(identita(v));
  if (velky) // a list too large to read: refused like a file of the run
    odmitni(st().s_vstsez);
  // Each output against the inputs and the outputs before it.
  auto porovnej = [&](const std::unique_ptr<Vystup> &v, const std::string &name) {
    if (!v)
      return;
    Identita i = v->identita();
    if (std::find(ids.begin(), ids.end(), i) != ids.end())
      odmitni(name);
    ids.push_back(i);
  };
  porovnej(protokol, st().s_chyby);
  porovnej(kopie, st().s_vystup);

  if (opt.protocol_writer != nullptr) {
    report::st().errsoub =
        std::make_unique<report::CallbackSink>(opt.protocol_writer, opt.protocol_writer_context);
  } else if (opt.no_protocol) {
    report::st().errsoub = std::make_unique<report::DiscardSink>();
  } else {
    std::FILE *f = protokol->predej();
    if (f == nullptr)
      odmitni(st().s_chyby);
    report::st().errsoub = report::FileSink::adopt(f);
    st().zapsane.push_back(st().s_chyby);
  }
  if (opt.copy_writer != nullptr) {
    reader::st().outsoub =
        std::make_unique<report::CallbackSink>(opt.copy_writer, opt.copy_writer_context);
    reader::st().sw_vystup = 'A';
  } else if (kopie_do_souboru) {
    std::FILE *f = kopie ? kopie->predej() : nullptr;
    if (f == nullptr) {
      zahod();
      nelze_otevrit(st().s_vystup, true);
    }
    reader::st().outsoub = report::FileSink::adopt(f);
    reader::st().sw_vystup = 'A';
    st().zapsane.push_back(st().s_vystup);
  }
}

void otevri_soubory() {
  otevri_vystupy();
  if (st().seznam) {
    if (!st().linsoub) // read with the inputs' names, or it could not be read
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
  else if (st().opt.source != nullptr && st().sw_muf == 'N')
    reader::st().insoub = std::make_unique<reader::Input>(st().opt.source, st().opt.source_context,
                                                          st().opt.read_buffer);
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
  if (options.progress != nullptr) {
    reader::st().hlaseni = [](void *opt) {
      const Options &o = *static_cast<const Options *>(opt);
      if (o.progress(o.progress_context))
        throw Stop{kZastaveno};
    };
    reader::st().hlaseni_kontext = &st().opt;
  }
  int code = 0;
  bool ve_smycce = false; // progress lines may stand on the console
  try {
    try {
      console.put("\nProgram  "), console.put(kProgram), console.put("  kontola dat pro KUF\n");
      zadej();
      report::st().sw_err = format_protokolu(st().s_chyby);
      otevri_soubory();
      report::pis_hlavicku(st().s_vstup, razitko(), kProgram);
      reader::st().konec_vstupu = konec_vstupu;
      Primo primo;
      reader::st().predani = &primo;
      ve_smycce = true;
      // A copy that cannot be cut back is written by a check on one thread: the reading thread
      // of two could not take back what it wrote ahead of a check that ends early.
      const auto &kopie = reader::st().outsoub;
      const bool dve = dve_vlakna(options.vlakna) && (kopie == nullptr || kopie->lze_zkratit());
      if (!dve || !dve_vlakna_kontrola(primo)) {
        cti_dokument();
        if (!st().ukonceno)
          zpracuj_KONp();
      }
      // The last word on the progress: all input is read. The check has ended, so a stop
      // asked for now changes nothing.
      if (options.progress != nullptr)
        static_cast<void>(options.progress(options.progress_context));
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
  // output copy keep what was written before it; a run that the caller stopped leaves none
  // of its files behind half-written.
  std::vector<std::string> zapsane = std::move(st().zapsane);
  kontrola.reset();
  if (code == kZastaveno)
    for (const std::string &jmeno : zapsane)
      std::remove(jmeno.c_str());
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
