// A folder of the fuzz target's own under /tmp, made once per process, where the files of
// each run are written.
#pragma once

#include <cstdlib>
#include <string>
#include <unistd.h>

inline const std::string &private_folder(const char *prefix) {
  static const std::string dir = [prefix] {
    std::string name = std::string("/tmp/") + prefix + "-XXXXXX";
    const char *made = mkdtemp(name.data());
    if (made == nullptr)
      std::abort();
    return std::string(made);
  }();
  return dir;
}
