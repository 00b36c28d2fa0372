// The run driver: the command line, the files of a run, the main state loop, the end of
// input with list mode, and the run summary. `run` is the whole program; `main` only calls it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>

#include "reader.hpp"
#include "report.hpp"

namespace driver {

// How far a run has come, as its caller is told.
struct Postup {
  std::uint64_t precteno = 0; // bytes read from the inputs of the run
  std::uint64_t velikost = 0; // sizes of the inputs begun so far
  std::int64_t zaznamu = 0;   // employee records ended
  std::int64_t radka = 1;     // the line reached
};

// What a caller can set besides the command line.
struct Options {
  std::size_t read_buffer = std::size_t{1} << 16; // bytes per read of an input document
  std::optional<std::tm> stamp;                   // fixed run stamp; else the current time
  // The contents of the input argument (a report, or with "@" a list file) handed over in
  // memory instead of read from the file of that name, which then only names it.
  std::optional<std::string_view> document;
  // The same contents read through a caller's source as the check goes (a list file whole).
  reader::Zdroj source = nullptr;
  void *source_context = nullptr;
  bool no_protocol = false;             // no protocol file; the rows reach only the listener
  report::Posluchac listener = nullptr; // told of every row written to the protocol
  void *listener_context = nullptr;
  // The protocol and the output copy written to a caller's function instead of a file; the
  // names of the run still choose the format and name them in messages.
  report::CallbackSink::Zapis protocol_writer = nullptr;
  void *protocol_writer_context = nullptr;
  report::CallbackSink::Zapis copy_writer = nullptr;
  void *copy_writer_context = nullptr;
  // Told after every piece of input read, and at the end; true stops the run (kZastaveno).
  bool (*progress)(const Postup &p, void *context) = nullptr;
  void *progress_context = nullptr;
  // Threads of the check: 1, or 2 (one reads the input while the other checks and writes), or
  // 0 for two when the process may run on more than one processor. The bytes out are the same.
  int vlakna = 0;
};

// Ends a run with an exit code: 0 after the summary, 1 after the help text, 13 when fatal,
// kZastaveno when the caller's progress function asked to stop.
struct Stop {
  int code;
};
inline constexpr int kZastaveno = 2;

// The findings of a run by weight, suppressed warnings included, and the rows per code.
struct Totals {
  std::int64_t e = 0;
  std::int64_t w = 0;
  report::Pocty by_code{}; // rows written per row of the error catalogue
};

// Runs the checker with the command line `argv` (argv[0] is the program) and returns the
// exit code. Console output goes to `console`; `totals`, when given, receives the counts.
int run(int argc, const char *const *argv, report::Sink &console, const Options &options = {},
        Totals *totals = nullptr);

// A check as a program asks for it: the names are used as they are, of any length, and
// nothing in them is read as a switch or a list mark.
struct Zadani {
  std::string vstup = "kuf.xml";     // the report, or the list file
  bool seznam = false;               // `vstup` names a list file of reports
  std::string chyby = "kufe.htm";    // protocol file; its extension chooses the format
  std::optional<std::string> vystup; // output copy, when one is made
  bool bez_varovani = false;         // rows of weight W are counted but not written
};
int run(const Zadani &zadani, report::Sink &console, const Options &options = {},
        Totals *totals = nullptr);

} // namespace driver
