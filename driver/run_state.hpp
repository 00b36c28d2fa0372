// The state of a run, as two halves: what the thread that reads the input owns (the reader
// and the inputs of the run) and what the thread that checks owns (the protocol, the rules
// and the driver's names). A check on one thread holds both; a check on two gives each half
// to its own thread. And the steps of a run that work on them: the command line, the fatal
// endings, the end of the input and the run summary.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "driver.hpp"
#include "platform.hpp"
#include "reader.hpp"
#include "rules.hpp"
#include "seznam.hpp"

namespace driver {

inline constexpr std::size_t kMaxParametr = 60;             // longest argument or listed name
inline constexpr std::string_view kProgram = "LD952_v0.91"; // program tag of banner and header
// Wipes the progress line: 79 blanks and a carriage return.
inline constexpr std::string_view kSmazat =
    "                                                                               \r";
static_assert(kSmazat.size() == 80);

// The end of an input: what follows it.
enum class Dalsi : char {
  kOtevren,   // the next listed report is open in the reader's `insoub`
  kKonec,     // the input has ended for good
  kDlouhy,    // the next listed name is too long
  kNeotevren, // the next listed report cannot be opened
  kNecitelny, // the input could not be read on
};

// The inputs of a run, as the thread that reads goes through them: the input document, or
// the list file and the listed report being read.
struct Vstupy {
  std::string s_vstup = "kuf.xml";                // input document; in list mode the one being read
  char sw_muf = 'N';                              // 'A' when the inputs come from a list file
  std::unique_ptr<Seznam> linsoub;                // list file
  std::size_t max_jmeno = kMaxParametr;           // longest listed name; the library has no limit
  std::size_t read_buffer = std::size_t{1} << 16; // bytes per read of a listed report
  Dalsi konec = Dalsi::kKonec;                    // why the input ended, once it has
  bool skoncil = false;                           // the input has ended for good
};

// The half of a check that reads: the scanner, the state machine and the output copy, and
// the inputs.
struct Cteni {
  reader::State reader;
  Vstupy vstupy;
};

// How the reading of a check ended, handed from the reading half to the checking half.
struct KonecCteni {
  Dalsi proc = Dalsi::kKonec;          // the final end of the input, or why it stopped
  std::string jmeno;                   // the input it ended at
  std::int64_t radka = 1;              // the line reached
  reader::Prubeh prubeh;               // the bytes read
  std::unique_ptr<report::Sink> kopie; // the output copy, to be ended by the summary
};

// A protocol or output copy that the run emptied and writes, as a file of its own.
struct Zapsany {
  std::string cesta; // the name it was opened under
  Identita id;       // the file
};

// The driver's own part of the check: the names of the run's files and the caller's options.
struct State {
  std::string s_chyby = "kufe.htm"; // protocol file
  std::string s_vystup = "...";     // output copy; "..." for none
  std::string s_vstsez;             // list file: the input argument without its "@"
  bool seznam = false;              // the input argument names a list file
  std::vector<Zapsany> zapsane;     // the files this run has emptied and writes
  Options opt;
};

// The half of a check that checks: the protocol with its counts, the rules, the driver.
struct Overeni {
  report::State report;
  rules::State rules{report};
  State driver;
};

// All state of one check: a new object for every run, so that nothing needs resetting and
// checks on different threads share nothing. Each open file has one owner: the protocol and
// the console the report, the input and the output copy the reader (until the summary takes
// the copy), the list file the inputs.
struct Kontrola {
  Overeni overeni;
  Cteni cteni;
};

// Console (and, once the protocol is open, protocol) message of a fatal condition; ends the
// run with exit code 13. `smazat` first wipes the progress line.
[[noreturn]] void fatal(report::State &r, std::string_view format_head, const std::string &name,
                        bool do_protokolu, bool smazat);
[[noreturn]] void nelze_otevrit(report::State &r, const std::string &name, bool do_protokolu,
                                bool smazat = false);
[[noreturn]] void dlouhy_parametr(report::State &r, const std::string &name, bool do_protokolu,
                                  bool smazat);
[[noreturn]] void nedostatek_pameti(report::State &r, bool smazat);

void zpracuj_argumenty(Kontrola &k, int argc, const char *const *argv);
char format_protokolu(const std::string &s_chyby);

// The reading part of the end of an input: in list mode the next listed report is opened.
Dalsi dalsi_vstup(Vstupy &v, reader::State &r);
// The same for the scanner (reader::KonecVstupu, with the inputs as context): true when the
// next input is open; the reason of the end is kept in the inputs.
bool konec_vstupu(void *vstupy, reader::State &r);
// The reading half's whole work: the state machine from its state to the final end of the
// input, and how it ended. The input is closed; the output copy goes with the result.
KonecCteni cti(Cteni &c);

// The progress as the caller is told it: the bytes read, the records ended and the line.
// Throws Stop{kZastaveno} when the caller asks to stop.
void hlas_prubeh(Overeni &o, const reader::Prubeh &p, std::int64_t radka);

// What follows the end of the reading on the checking half: the fatal ending of a listed name
// or of an input that could not be read on, or the run summary: ES306 ES308, the end of the
// protocol, the output copy ended and both closed (a file that could not be written in full
// ends the run as a failure), and the totals on the console.
void zpracuj_KONp(Overeni &o, KonecCteni &konec);

} // namespace driver
