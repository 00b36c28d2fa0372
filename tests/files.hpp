// Whole files as bytes, and the fixed run stamp, for the tests.
#pragma once

#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

inline std::string read_file(const std::filesystem::path &p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

inline void write_file(const std::filesystem::path &p, const std::string &bytes) {
  std::ofstream(p, std::ios::binary) << bytes;
}

// 24/12/2008 12:34:56, the run stamp of the tests' protocols.
inline std::tm test_stamp() {
  std::tm t{};
  t.tm_mday = 24, t.tm_mon = 11, t.tm_year = 108, t.tm_hour = 12, t.tm_min = 34, t.tm_sec = 56;
  return t;
}
