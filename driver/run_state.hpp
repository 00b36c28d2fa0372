// The state of a run: the driver's own part, the check object that gathers the parts of all
// layers and makes them the current check of a thread, and the fatal endings of a run.
#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "driver.hpp"
#include "reader.hpp"
#include "record_store.hpp"
#include "seznam.hpp"

namespace driver {

inline constexpr std::size_t kMaxParametr = 60;             // longest argument or listed name
inline constexpr std::string_view kProgram = "LD952_v0.91"; // program tag of banner and header
// Wipes the progress line: 79 blanks and a carriage return.
inline constexpr std::string_view kSmazat =
    "                                                                               \r";
static_assert(kSmazat.size() == 80);

struct State;
namespace detail {
inline thread_local State *aktivni = nullptr;
}

struct State {
  std::string s_vstup = "kuf.xml";      // input document; in list mode the one being read
  std::string s_chyby = "kufe.htm";     // protocol file
  std::string s_vystup = "...";         // output copy; "..." for none
  std::string s_vstsez;                 // list file: the input argument without its "@"
  char sw_muf = 'N';                    // 'A' when the inputs come from a list file
  bool seznam = false;                  // the input argument names a list file
  std::size_t max_jmeno = kMaxParametr; // longest listed name; the library has no limit
  std::unique_ptr<Seznam> linsoub;      // list file
  bool ukonceno = false;                // the run summary has been written
  std::vector<std::string> zapsane;     // the files this run has emptied and writes
  Options opt;
};
inline State &st() { return *detail::aktivni; }

// All state of one check: a new object for every run, so that nothing needs resetting and
// checks on different threads share nothing. Each open file has one owner: the protocol and
// the console the report, the input and the output copy the reader, the list file the driver.
struct Kontrola {
  report::State report;
  reader::State reader;
  rules::State rules;
  State driver;
};

// Makes `k` the check of this thread while it lives: every layer's st() reaches its part.
class Aktivni {
public:
  explicit Aktivni(Kontrola &k)
      : report_(std::exchange(report::detail::aktivni, &k.report)),
        reader_(std::exchange(reader::detail::aktivni, &k.reader)),
        rules_(std::exchange(rules::detail::aktivni, &k.rules)),
        driver_(std::exchange(detail::aktivni, &k.driver)) {}
  Aktivni(const Aktivni &) = delete;
  Aktivni &operator=(const Aktivni &) = delete;
  ~Aktivni() {
    report::detail::aktivni = report_;
    reader::detail::aktivni = reader_;
    rules::detail::aktivni = rules_;
    detail::aktivni = driver_;
  }

private:
  report::State *report_;
  reader::State *reader_;
  rules::State *rules_;
  State *driver_;
};

// Console (and, once the protocol is open, protocol) message of a fatal condition; ends the
// run with exit code 13. `smazat` first wipes the progress line.
[[noreturn]] void fatal(std::string_view format_head, const std::string &name, bool do_protokolu,
                        bool smazat);
[[noreturn]] void nelze_otevrit(const std::string &name, bool do_protokolu, bool smazat = false);
[[noreturn]] void dlouhy_parametr(const std::string &name, bool do_protokolu, bool smazat);
[[noreturn]] void nedostatek_pameti(bool smazat);

void zpracuj_argumenty(int argc, const char *const *argv);
char format_protokolu(const std::string &s_chyby);

// The end of an input: what follows it.
enum class Dalsi : char {
  kOtevren,   // the next listed report is open in the reader's `insoub`
  kKonec,     // the input has ended for good
  kDlouhy,    // the next listed name is too long
  kNeotevren, // the next listed report cannot be opened
};
// The reading part of the end of an input: in list mode the next listed report is opened.
Dalsi dalsi_vstup();
// The rest when no report follows: the fatal ending of a listed name, or the run summary.
void bez_dalsiho(Dalsi proc);
// Both, for the scanner (reader::KonecVstupu) of a check on one thread.
bool konec_vstupu();
// The run summary; afterwards the scanner reports the final end of input to its callers,
// which leave the state machine in state W.
void zpracuj_KONp();

} // namespace driver
