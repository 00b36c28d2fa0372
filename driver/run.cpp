// A run from the command line to the run summary: the banner, the arguments, the files (none
// changed or left behind when one would overwrite another file of the run), the run stamp,
// the protocol header, the reading and checking of the document on one thread or two, and
// the summary or the fatal ending that follows the end of the reading.
#include <algorithm>
#include <vector>

#include "platform.hpp"
#include "run_state.hpp"
#include "vlakna.hpp"

namespace driver {

namespace {

// The names of the inputs of the run: the input document, or in list mode the list file and
// every document it names. The argument as typed ("@" included) is an input only when the
// list holds no name, for then it is what the run reads. The list is read here and kept in
// the inputs. `velky` tells of a list too large to be read.
std::vector<std::string> vstupy(Kontrola &k, bool &velky) {
  const State &d = k.overeni.driver;
  Vstupy &v = k.cteni.vstupy;
  if (!d.seznam)
    return {v.s_vstup};
  std::vector<std::string> jmena = {d.s_vstsez};
  if (d.opt.document) {
    v.linsoub = Seznam::z_pameti(*d.opt.document, velky);
  } else if (d.opt.source != nullptr) {
    reader::Input zdroj(d.opt.source, d.opt.source_context, std::size_t{1} << 16);
    v.linsoub = Seznam::precti(zdroj, velky);
  } else {
    v.linsoub = Seznam::otevri(d.s_vstsez, velky);
  }
  if (v.linsoub) {
    auto words = v.linsoub->nahled();
    for (std::size_t i = 0; i < words.size() && (i == 0 || words[i] != "..."); ++i)
      jmena.push_back(words[i]);
    if (words.empty())
      jmena.push_back(v.s_vstup);
  }
  return jmena;
}

// The protocol and the output copy of a run, opened or created but not yet emptied.
struct Otevrene {
  std::unique_ptr<Vystup> protokol, kopie;
  // Closes both, removing what this run created.
  void zahod() {
    for (auto *v : {&kopie, &protokol})
      if (*v)
        (*v)->zahod();
  }
};

// Opens the protocol and the output copy, and refuses either when it is the same file as an
// input of the run, or (the copy) as the protocol, however the names are written. Both are
// opened, or created, without being emptied, and their identities are taken from the open
// files; the inputs' identities are taken afterwards, so that a name reaching a file created
// here is caught too. A refused run removes what it created and has changed nothing.
Otevrene otevri_vystupy(Kontrola &k, bool do_souboru, bool kopie_do_souboru) {
  report::State &r = k.overeni.report;
  const State &d = k.overeni.driver;
  Otevrene o;
  if (do_souboru) {
    o.protokol = Vystup::otevri(d.s_chyby);
    if (!o.protokol)
      nelze_otevrit(r, d.s_chyby, false);
  }
  if (kopie_do_souboru)
    o.kopie = Vystup::otevri(d.s_vystup);
  auto odmitni = [&](const std::string &name) {
    o.zahod();
    nelze_otevrit(r, name, false);
  };
  bool velky = false;
  std::vector<Identita> ids;
  for (const auto &v : vstupy(k, velky))
    ids.push_back(identita(v));
  if (velky) // a list too large to read: refused like a file of the run
    odmitni(d.s_vstsez);
  // Each output against the inputs and the outputs before it.
  auto porovnej = [&](const std::unique_ptr<Vystup> &v, const std::string &name) {
    if (!v)
      return;
    Identita i = v->identita();
    if (std::find(ids.begin(), ids.end(), i) != ids.end())
      odmitni(name);
    ids.push_back(i);
  };
  porovnej(o.protokol, d.s_chyby);
  porovnej(o.kopie, d.s_vystup);
  return o;
}

// The sinks of the protocol and the output copy: the caller's functions, or the files, only
// now emptied. An output copy that cannot be created is reported after the protocol is open,
// into the protocol as well.
void otevri_sinky(Kontrola &k) {
  report::State &r = k.overeni.report;
  State &d = k.overeni.driver;
  reader::State &reader = k.cteni.reader;
  const Options &opt = d.opt;
  const bool do_souboru = !opt.no_protocol && opt.protocol_writer == nullptr;
  const bool kopie_do_souboru = d.s_vystup != "..." && opt.copy_writer == nullptr;
  Otevrene o = otevri_vystupy(k, do_souboru, kopie_do_souboru);
  if (opt.protocol_writer != nullptr) {
    r.errsoub =
        std::make_unique<report::CallbackSink>(opt.protocol_writer, opt.protocol_writer_context);
  } else if (opt.no_protocol) {
    r.errsoub = std::make_unique<report::DiscardSink>();
  } else {
    const Zapsany zapsany{o.protokol->cesta(), o.protokol->identita()};
    std::FILE *f = o.protokol->predej();
    if (f == nullptr) {
      o.zahod();
      nelze_otevrit(r, d.s_chyby, false);
    }
    r.errsoub = report::FileSink::adopt(f);
    if (r.errsoub->lze_zkratit()) // a file, not a device or a pipe
      d.zapsane.push_back(zapsany);
  }
  if (opt.copy_writer != nullptr) {
    reader.outsoub =
        std::make_unique<report::CallbackSink>(opt.copy_writer, opt.copy_writer_context);
  } else if (kopie_do_souboru) {
    const Zapsany zapsany{o.kopie ? o.kopie->cesta() : d.s_vystup,
                          o.kopie ? o.kopie->identita() : Identita{}};
    std::FILE *f = o.kopie ? o.kopie->predej() : nullptr;
    if (f == nullptr) {
      o.zahod();
      nelze_otevrit(r, d.s_vystup, true);
    }
    reader.outsoub = report::FileSink::adopt(f);
    if (reader.outsoub->lze_zkratit())
      d.zapsane.push_back(zapsany);
  }
}

// The files of the run: the protocol and the output copy, the list file and the first input.
void otevri_soubory(Kontrola &k) {
  report::State &r = k.overeni.report;
  const State &d = k.overeni.driver;
  Vstupy &v = k.cteni.vstupy;
  otevri_sinky(k);
  if (d.seznam) {
    if (!v.linsoub) // read with the inputs' names, or it could not be read
      nelze_otevrit(r, d.s_vstsez, true);
    v.sw_muf = 'A';
    std::string word;
    if (v.linsoub->dalsi(word)) {
      if (word.size() > v.max_jmeno)
        dlouhy_parametr(r, word, true, false);
      v.s_vstup = word;
    }
  }
  auto &insoub = k.cteni.reader.insoub;
  if (d.opt.document && v.sw_muf == 'N')
    insoub = std::make_unique<reader::Input>(*d.opt.document, d.opt.read_buffer);
  else if (d.opt.source != nullptr && v.sw_muf == 'N')
    insoub = std::make_unique<reader::Input>(d.opt.source, d.opt.source_context, d.opt.read_buffer);
  else
    insoub = reader::Input::open(v.s_vstup, d.opt.read_buffer);
  if (!insoub)
    nelze_otevrit(r, v.s_vstup, true);
}

// "dd/mm/20yy  hh:mm:ss"
std::string razitko(const Options &opt) {
  std::tm t = opt.stamp ? *opt.stamp : mistni_cas(std::time(nullptr));
  char buf[64];
  std::snprintf(buf, sizeof buf, "%02d/%02d/20%02d  %02d:%02d:%02d", t.tm_mday, t.tm_mon + 1,
                t.tm_year % 100, t.tm_hour, t.tm_min, t.tm_sec);
  return buf;
}

// The check on one thread: the state machine hands what it reads to the rules at once.
KonecCteni jedno_vlakno(Kontrola &k) {
  reader::State &r = k.cteni.reader;
  rules::Primo primo(k.overeni.rules);
  r.predani = &primo;
  r.konec_vstupu = konec_vstupu;
  r.konec_kontext = &k.cteni.vstupy;
  if (k.overeni.driver.opt.progress != nullptr) {
    r.hlaseni = [](void *o, const reader::Prubeh &p, std::int64_t radka) {
      hlas_prubeh(*static_cast<Overeni *>(o), p, radka);
    };
    r.hlaseni_kontext = &k.overeni;
  }
  KonecCteni konec = cti(k.cteni);
  r.predani = nullptr;
  return konec;
}

// The reading and checking of the document, and what follows its end.
void kontroluj(Kontrola &k) {
  const Options &opt = k.overeni.driver.opt;
  // A copy that cannot be cut back is written by a check on one thread: the reading thread
  // of two could not take back what it wrote ahead of a check that ends early.
  const auto &kopie = k.cteni.reader.outsoub;
  std::optional<KonecCteni> konec;
  if (dve_vlakna(opt.vlakna) && (kopie == nullptr || kopie->lze_zkratit()))
    konec = dve_vlakna_kontrola(k);
  if (!konec)
    konec = jedno_vlakno(k);
  zpracuj_KONp(k.overeni, *konec);
  // The last word on the progress: all input is read. The check has ended, so a stop asked
  // for now changes nothing.
  if (opt.progress != nullptr)
    static_cast<void>(opt.progress(
        {konec->prubeh.precteno, konec->prubeh.velikost, k.overeni.rules.zaznamu, konec->radka},
        opt.progress_context));
}

// One run: the banner, then `zadej` sets the run's names from the command line or the caller,
// then the files, the header and the check.
template <class Zadej>
int proved(Zadej zadej, report::Sink &console, const Options &options, Totals *totals) {
  auto kontrola = std::make_unique<Kontrola>();
  Kontrola &k = *kontrola;
  report::State &r = k.overeni.report;
  State &d = k.overeni.driver;
  d.opt = options;
  k.cteni.vstupy.read_buffer = options.read_buffer;
  r.konzole = &console;
  r.posluchac = options.listener;
  r.posluchac_kontext = options.listener_context;
  int code = 0;
  bool ve_smycce = false; // progress lines may stand on the console
  try {
    try {
      console.put("\nProgram  "), console.put(kProgram), console.put("  kontola dat pro KUF\n");
      zadej(k);
      r.sw_err = format_protokolu(d.s_chyby);
      otevri_soubory(k);
      report::pis_hlavicku(r, k.cteni.vstupy.s_vstup, razitko(d.opt), kProgram);
      ve_smycce = true;
      kontroluj(k);
    } catch (const std::bad_alloc &) {
      rules::uvolni(k.overeni.rules); // the record store, so that the message can be written
      nedostatek_pameti(r, ve_smycce);
    }
  } catch (const Stop &stop) {
    code = stop.code;
  }
  if (totals != nullptr)
    *totals = {r.sumchybE, r.sumchybW, r.EtabNum};
  // Whatever is still open is closed here: after a fatal condition the protocol and the
  // output copy keep what was written before it; a run that the caller stopped leaves none
  // of its files behind half-written.
  std::vector<Zapsany> zapsane = std::move(d.zapsane);
  kontrola.reset();
  if (code == kZastaveno) // each file only while its name still reaches it
    for (const Zapsany &z : zapsane)
      if (identita(z.cesta) == z.id)
        std::remove(z.cesta.c_str());
  console.flush();
  return code;
}

} // namespace

int run(int argc, const char *const *argv, report::Sink &console, const Options &options,
        Totals *totals) {
  auto zadej = [&](Kontrola &k) {
    zpracuj_argumenty(k, argc, argv);
    State &d = k.overeni.driver;
    const std::string &vstup = k.cteni.vstupy.s_vstup;
    if (vstup.substr(0, 1) == "@") {
      d.seznam = true;
      d.s_vstsez = vstup.substr(1);
    }
  };
  return proved(zadej, console, options, totals);
}

int run(const Zadani &zadani, report::Sink &console, const Options &options, Totals *totals) {
  auto zadej = [&](Kontrola &k) {
    State &d = k.overeni.driver;
    Vstupy &v = k.cteni.vstupy;
    v.max_jmeno = std::string::npos;
    v.s_vstup = zadani.vstup;
    if (zadani.seznam) {
      d.seznam = true;
      d.s_vstsez = zadani.vstup;
      v.s_vstup = "@" + zadani.vstup; // the input of an empty list, as the command line has it
    }
    d.s_chyby = zadani.chyby;
    if (zadani.vystup)
      d.s_vystup = *zadani.vystup;
    k.overeni.report.sw_nepisW = zadani.bez_varovani ? 'A' : 'N';
  };
  return proved(zadej, console, options, totals);
}

} // namespace driver
