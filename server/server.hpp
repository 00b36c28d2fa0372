// The checking service: HTTP on one thread, the checks in their slots.
#pragma once

#include <memory>

#include "settings.hpp"

namespace kufd {

class Server {
public:
  // Listens at once; throws std::runtime_error when it cannot.
  explicit Server(const Settings &settings);
  ~Server();
  unsigned short port() const;
  // Serves until SIGTERM or SIGINT (or stop()), then lets the checks in flight end within
  // the grace period. Returns when every connection is closed.
  void run();
  void stop(); // from any thread: as SIGTERM
  struct Impl;

private:
  std::unique_ptr<Impl> impl_;
};

} // namespace kufd
