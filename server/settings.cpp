#include "settings.hpp"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <fcntl.h>
#include <sched.h>
#include <string_view>
#include <thread>
#include <unistd.h>

#include "ld952.h"

namespace kufd {

namespace {

const char *const help_text = R"(ld952-server: the KUF report check over HTTP

  ld952-server [option...]

  --listen ADDR:PORT     address to listen on (127.0.0.1:8952); port 0 takes a free one
  --checks N             checks at once (the processors the process may use)
  --queue N              requests that wait for a check slot; past them 503 (64)
  --max-connections N    connections open at once (256)
  --max-body BYTES       largest report (1G)
  --max-records N        employee records of a report, which bound a check's memory (1000000)
  --max-header BYTES     request line and header fields together (16k)
  --hold BYTES           answer bytes held in memory per check; the rest is spooled (1M)
  --max-answer BYTES     largest answer, held and spooled together; past it 413 (2G)
  --spool-dir DIR        folder of the unnamed spool files ($TMPDIR or /tmp)
  --idle-timeout SEC     a kept-alive connection waits this long for a request (15)
  --header-timeout SEC   from a request's first byte to the end of its header (10)
  --body-timeout SEC     the longest pause in a body or in reading an answer (30)
  --grace SEC            after SIGTERM, time for the checks in flight (30)
  --token-file FILE      ask for "Authorization: Bearer" with the token in FILE
  --check-threads 1|2    threads of one check (1)
  --quiet                no log line per request
  --version              the version of the service and of the library
  -h, --help             this text
BYTES take a suffix k, M or G (powers of 1024).
)";

bool whole(std::string_view text, std::uint64_t &value) {
  if (text.empty())
    return false;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  return ec == std::errc() && end == text.data() + text.size();
}

bool bytes(std::string_view text, std::uint64_t &value) {
  std::uint64_t unit = 1;
  if (!text.empty()) {
    switch (text.back()) {
    case 'k':
    case 'K':
      unit = 1ull << 10;
      break;
    case 'M':
      unit = 1ull << 20;
      break;
    case 'G':
      unit = 1ull << 30;
      break;
    default:
      break;
    }
    if (unit != 1)
      text.remove_suffix(1);
  }
  if (!whole(text, value) || value > UINT64_MAX / unit)
    return false;
  value *= unit;
  return true;
}

bool seconds(std::string_view text, std::chrono::milliseconds &value) {
  double s = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), s);
  if (text.empty() || ec != std::errc() || end != text.data() + text.size() || !(s > 0) ||
      s > 86400)
    return false;
  value = std::chrono::milliseconds(static_cast<long long>(std::ceil(s * 1000)));
  return true;
}

std::size_t processors() {
  cpu_set_t set;
  if (sched_getaffinity(0, sizeof set, &set) == 0 && CPU_COUNT(&set) > 0)
    return static_cast<std::size_t>(CPU_COUNT(&set));
  unsigned n = std::thread::hardware_concurrency();
  return n > 0 ? n : 1;
}

bool listen_at(std::string_view text, Settings &s) {
  const std::size_t colon = text.rfind(':');
  if (colon == std::string_view::npos)
    return false;
  std::string_view host = text.substr(0, colon);
  if (host.size() >= 2 && host.front() == '[' && host.back() == ']')
    host = host.substr(1, host.size() - 2);
  std::uint64_t port = 0;
  if (host.empty() || !whole(text.substr(colon + 1), port) || port > 65535)
    return false;
  s.address = host;
  s.port = static_cast<unsigned short>(port);
  return true;
}

} // namespace

int parse_settings(int argc, const char *const *argv, Settings &s, std::string &out) {
  for (int i = 1; i < argc; ++i) {
    const std::string_view name = argv[i];
    if (name == "-h" || name == "--help") {
      out = help_text;
      return 1;
    }
    if (name == "--version") {
      out = std::string("ld952-server ") + ld952_version() + "\n";
      return 1;
    }
    if (name == "--quiet") {
      s.log = false;
      continue;
    }
    if (i + 1 >= argc) {
      out = "ld952-server: " + std::string(name) + " needs a value (see --help)\n";
      return 2;
    }
    const std::string_view value = argv[++i];
    std::uint64_t n = 0;
    bool ok = true;
    if (name == "--listen") {
      ok = listen_at(value, s);
    } else if (name == "--checks") {
      ok = whole(value, n) && n >= 1 && n <= 1024;
      s.checks = n;
    } else if (name == "--queue") {
      ok = whole(value, n) && n <= 100000;
      s.queue = n;
    } else if (name == "--max-connections") {
      ok = whole(value, n) && n >= 1 && n <= 100000;
      s.max_connections = n;
    } else if (name == "--max-body") {
      ok = bytes(value, s.max_body);
    } else if (name == "--max-records") {
      ok = whole(value, n) && n >= 1 && n <= (1ull << 40);
      s.max_records = static_cast<long long>(n);
    } else if (name == "--max-header") {
      ok = bytes(value, n) && n >= 1024 && n <= (1u << 20);
      s.max_header = static_cast<std::uint32_t>(n);
    } else if (name == "--hold") {
      ok = bytes(value, n) && n >= 4096 && n <= (1ull << 30);
      s.hold = n;
    } else if (name == "--max-answer") {
      ok = bytes(value, s.max_answer);
    } else if (name == "--spool-dir") {
      s.spool_dir = value;
      ok = !value.empty();
    } else if (name == "--idle-timeout") {
      ok = seconds(value, s.idle_timeout);
    } else if (name == "--header-timeout") {
      ok = seconds(value, s.header_timeout);
    } else if (name == "--body-timeout") {
      ok = seconds(value, s.body_timeout);
    } else if (name == "--grace") {
      ok = seconds(value, s.grace);
    } else if (name == "--token-file") {
      s.token_file = value;
      ok = !value.empty();
    } else if (name == "--check-threads") {
      ok = value == "1" || value == "2";
      s.check_threads = value == "2" ? 2 : 1;
    } else {
      out = "ld952-server: unknown option " + std::string(name) + " (see --help)\n";
      return 2;
    }
    if (!ok) {
      out = "ld952-server: bad value for " + std::string(name) + ": " + std::string(value) + "\n";
      return 2;
    }
  }
  if (s.checks == 0)
    s.checks = processors();
  if (s.hold > s.max_answer)
    s.hold = static_cast<std::size_t>(s.max_answer);
  if (!s.token_file.empty()) {
    std::string error;
    if (!read_token(s.token_file, s.token, error)) {
      out = "ld952-server: " + error + "\n";
      return 2;
    }
  }
  return 0;
}

bool read_token(const std::string &path, std::string &token, std::string &error) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    error = "cannot open the token file " + path;
    return false;
  }
  char buffer[4097];
  std::size_t got = 0;
  while (got < sizeof buffer) {
    const ssize_t n = ::read(fd, buffer + got, sizeof buffer - got);
    if (n < 0 && errno == EINTR)
      continue;
    if (n <= 0)
      break;
    got += static_cast<std::size_t>(n);
  }
  ::close(fd);
  std::string_view text(buffer, got);
  text = text.substr(0, text.find_first_of("\r\n"));
  // A token is what may stand in an Authorization header: visible ASCII, no blank.
  bool visible = !text.empty() && got < sizeof buffer;
  for (char c : text)
    visible = visible && c > ' ' && c < 0x7f;
  if (!visible) {
    error = "the token file " + path + " holds no token (one line of visible ASCII, at most 4 kB)";
    return false;
  }
  token = text;
  return true;
}

} // namespace kufd
