// Fuzzes the service through its socket: the server runs in this process on a loopback port
// with small limits, and each input is one connection's bytes. The first byte says how they
// are sent (bit 0: in two parts, 1 ms apart, split where the second byte says); the rest is
// sent as it is, then the sending side is shut. Whatever the bytes, every answer must be one
// the service gives (never 500), and the connection must end within seconds: past that, or
// when the service stops answering /healthz, the input is a crash.
#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <netinet/in.h>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

#include "server.hpp"

namespace {

unsigned short start_server() {
  static kufd::Settings s;
  s.port = 0;
  s.checks = 2;
  s.queue = 2;
  s.max_connections = 16;
  s.max_body = 64 << 10;
  s.max_header = 4 << 10;
  s.hold = 4096;
  s.max_answer = 256 << 10;
  s.idle_timeout = std::chrono::milliseconds(500);
  s.header_timeout = std::chrono::milliseconds(500);
  s.body_timeout = std::chrono::milliseconds(500);
  s.log = false;
  s.signals = false; // libFuzzer's own
  // Never destroyed: its thread serves until the process ends.
  static kufd::Server *const server = new kufd::Server(s);
  std::thread([] { server->run(); }).detach();
  return server->port();
}

// libFuzzer's timer interrupts the calls of this thread now and then: each is made again.
int connect_to(unsigned short port) {
  sockaddr_in at{};
  at.sin_family = AF_INET;
  at.sin_port = htons(port);
  at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  for (int tries = 0; tries < 100; ++tries) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr *>(&at), sizeof at) == 0)
      return fd;
    const int error = errno;
    if (fd >= 0)
      ::close(fd);
    if (error != EINTR)
      break;
  }
  std::perror("fuzz_server: connect");
  std::abort();
}

void send_all(int fd, const std::uint8_t *data, std::size_t size) {
  while (size > 0) {
    const ssize_t n = ::send(fd, data, size, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR)
      continue;
    if (n <= 0)
      return; // the service closed: what it said is read below
    data += n;
    size -= static_cast<std::size_t>(n);
  }
}

// Everything the service sends until it closes; aborts past 10 s.
std::string answer_of(int fd) {
  std::string got;
  char buffer[65536];
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  for (;;) {
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, 100) > 0) {
      const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
      if (n < 0 && errno == EINTR)
        continue;
      if (n <= 0)
        return got;
      if (got.size() < (1u << 20))
        got.append(buffer, static_cast<std::size_t>(n));
    }
    if (std::chrono::steady_clock::now() > deadline) {
      std::fprintf(stderr, "fuzz_server: the connection did not end within 10 s\n");
      std::abort();
    }
  }
}

[[noreturn]] void fail(const char *what, const std::string &got) {
  std::fprintf(stderr, "fuzz_server: %s in: %.300s\n", what, got.c_str());
  std::abort();
}

// The answers one after another, each a status the service gives, its header, and as many
// body bytes as its Content-Length says; nothing cut short, nothing else between them.
void check_answers(const std::string &got) {
  static const char *const known[] = {"100", "200", "400", "401", "404", "405", "408", "411",
                                      "413", "415", "417", "431", "501", "503", "505"};
  std::size_t at = 0;
  while (at < got.size()) {
    if (got.compare(at, 7, "HTTP/1.") != 0 || at + 12 > got.size())
      fail("no status line", got.substr(at));
    const std::string code = got.substr(at + 9, 3);
    bool ok = false;
    for (const char *k : known)
      ok = ok || code == k;
    if (!ok)
      fail("an unknown status", got.substr(at));
    const std::size_t end = got.find("\r\n\r\n", at);
    if (end == std::string::npos)
      fail("a header cut short", got.substr(at));
    const std::string head = got.substr(at, end - at);
    at = end + 4;
    if (code == "100")
      continue;
    const std::size_t length = head.find("\r\nContent-Length: ");
    if (length == std::string::npos)
      fail("no Content-Length", head);
    const unsigned long n = std::strtoul(head.c_str() + length + 18, nullptr, 10);
    if (n > got.size() - at) {
      if (got.size() >= (1u << 20))
        return; // kept only the first megabyte
      fail("a body cut short", head);
    }
    at += n;
  }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  static const unsigned short port = start_server();
  static unsigned long runs = 0;
  if (size == 0)
    return 0;
  const std::uint8_t mode = data[0];
  ++data;
  --size;
  const int fd = connect_to(port);
  if ((mode & 1) != 0 && size > 1) {
    const std::size_t split = 1 + data[0] % (size - 1);
    send_all(fd, data + 1, split - 1 < size - 1 ? split - 1 : size - 1);
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
    if (split < size)
      send_all(fd, data + split, size - split);
  } else {
    send_all(fd, data, size);
  }
  ::shutdown(fd, SHUT_WR);
  check_answers(answer_of(fd));
  ::close(fd);
  if (++runs % 500 == 0) { // the service still serves
    const int probe = connect_to(port);
    static const char health[] = "GET /healthz HTTP/1.1\r\n\r\n";
    send_all(probe, reinterpret_cast<const std::uint8_t *>(health), sizeof health - 1);
    ::shutdown(probe, SHUT_WR);
    const std::string got = answer_of(probe);
    ::close(probe);
    if (got.rfind("HTTP/1.1 200", 0) != 0) {
      std::fprintf(stderr, "fuzz_server: /healthz gave %.40s\n", got.c_str());
      std::abort();
    }
  }
  return 0;
}
