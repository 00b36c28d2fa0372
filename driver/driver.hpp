// The run driver: the command line, the files of a run, the main state loop, the end of
// input with list mode, and the run summary. `run` is the whole program; `main` only calls it.
#pragma once

#include <cstddef>
#include <ctime>
#include <optional>

#include "report.hpp"

namespace driver {

// What a caller can set besides the command line.
struct Options {
  std::size_t read_buffer = std::size_t{1} << 16; // bytes per read of an input document
  std::optional<std::tm> stamp;                   // fixed run stamp; else the current time
};

// Ends a run with an exit code: 0 after the summary, 1 after the help text, 13 when fatal.
struct Stop {
  int code;
};

// Runs the checker with the command line `argv` (argv[0] is the program) and returns the
// exit code. Console output goes to `console`.
int run(int argc, const char *const *argv, report::Sink &console, const Options &options = {});

} // namespace driver
