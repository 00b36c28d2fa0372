// The settings of the checking service, as the command line gives them, with their defaults.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>

namespace kufd {

struct Settings {
  std::string address = "127.0.0.1";
  unsigned short port = 8952;        // 0: a free port, told in the first log line
  std::size_t checks = 0;            // checks at once; 0: the processors the process may use
  std::size_t queue = 64;            // requests that wait for a check slot
  std::size_t max_connections = 256; // connections open at once
  std::uint64_t max_body = 1ull << 30;
  long long max_records = 1000000;     // employee records of a report, which bound a check's memory
  std::uint32_t max_header = 16 << 10; // request line and header fields together
  std::size_t hold = 1 << 20;          // answer bytes held in memory per check
  std::uint64_t max_answer = 2ull << 30; // answer bytes per check, memory and spool together
  std::string spool_dir;                 // where answers past `hold` go; empty: $TMPDIR or /tmp
  std::chrono::milliseconds idle_timeout{15000};   // between requests on a connection
  std::chrono::milliseconds header_timeout{10000}; // from the first byte to the header's end
  std::chrono::milliseconds body_timeout{30000};   // longest wait for the next body or answer bytes
  std::chrono::milliseconds grace{30000};          // for the checks in flight after SIGTERM
  std::string token_file;
  std::string token; // read from token_file; empty: no token asked for
  int check_threads = 1;
  bool log = true;     // one JSON line per request on standard error
  bool signals = true; // SIGTERM and SIGINT stop the service (a program that embeds it: false)
};

// Reads the command line into `s`. Returns 0 to run, 1 after the help text or the version
// (in `out`), 2 for a bad command line (the reason in `out`).
int parse_settings(int argc, const char *const *argv, Settings &s, std::string &out);

// Reads the token file: its first line without its line end. False with `error` set when it
// cannot be read or holds no token.
bool read_token(const std::string &path, std::string &token, std::string &error);

} // namespace kufd
