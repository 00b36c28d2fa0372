// ld952-server: the check of a KUF report over HTTP. See ld952-server --help and
// doc/ld952-server.1.
#include <csignal>
#include <cstdio>
#include <exception>
#include <pthread.h>

#include "server.hpp"

int main(int argc, char **argv) {
  kufd::Settings settings;
  std::string text;
  const int parsed = kufd::parse_settings(argc, argv, settings, text);
  if (parsed != 0) {
    std::fputs(text.c_str(), parsed == 1 ? stdout : stderr);
    return parsed == 1 ? 0 : 2;
  }
  std::signal(SIGPIPE, SIG_IGN);
  // SIGTERM and SIGINT are taken by the server's thread alone; the check threads block them.
  sigset_t stop;
  sigemptyset(&stop);
  sigaddset(&stop, SIGTERM);
  sigaddset(&stop, SIGINT);
  pthread_sigmask(SIG_BLOCK, &stop, nullptr);
  try {
    kufd::Server server(settings);
    pthread_sigmask(SIG_UNBLOCK, &stop, nullptr);
    server.run();
  } catch (const std::exception &e) {
    std::fprintf(stderr, "ld952-server: %s\n", e.what());
    return 1;
  }
  return 0;
}
