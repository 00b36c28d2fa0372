// Whole runs on documents that break off anywhere or are huge: every run ends normally with
// its summary, and a document cut off before its root end tag is reported as such.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <unistd.h>

#include "driver.hpp"

namespace fs = std::filesystem;

namespace {

struct Outcome {
  int exit;
  std::string protocol;
};

Outcome check(const std::string &document) {
  fs::path dir = fs::temp_directory_path() / ("kuf-robust-" + std::to_string(::getpid()));
  fs::create_directories(dir);
  std::string in = (dir / "kuf.xml").string(), out = (dir / "p.csv").string();
  {
    std::ofstream f(in, std::ios::binary);
    f << document;
  }
  const char *argv[] = {"ld952", in.c_str(), out.c_str(), nullptr};
  report::StringSink console;
  Outcome r{driver::run(3, argv, console), ""};
  std::ifstream p(out, std::ios::binary);
  std::stringstream s;
  s << p.rdbuf();
  r.protocol = s.str();
  fs::remove_all(dir);
  return r;
}

std::string valid_document() {
  std::ifstream f(std::string(KUF_SOURCE_DIR) + "/examples/kuf.xml", std::ios::binary);
  std::stringstream s;
  s << f.rdbuf();
  return s.str();
}

TEST(CutOff, EveryPrefixOfAReportEndsWithItsSummary) {
  const std::string doc = valid_document();
  const std::size_t root_end = doc.find("</KUF>");
  ASSERT_NE(root_end, std::string::npos);
  const std::size_t step = doc.size() / 700 + 1; // some 700 prefixes, all kinds of places
  for (std::size_t n = 0; n <= doc.size(); n += (n < 200 || n + 200 > doc.size()) ? 1 : step) {
    Outcome r = check(doc.substr(0, n));
    ASSERT_EQ(r.exit, 0) << n;
    ASSERT_NE(r.protocol.find("\nCelkem chyb vahy W:;"), std::string::npos) << n;
    bool cut = n < root_end + 6; // the name "/KUF" ends only at its ">"
    EXPECT_EQ(r.protocol.find(";ES306;") != std::string::npos, cut) << n;
  }
}

TEST(Huge, ALineOf100MegabytesWithoutALineFeed) {
  std::string doc = "<KUF><rok>" + std::string(100u << 20, 'x') + "</rok><zamestnavatel>";
  Outcome r = check(doc);
  EXPECT_EQ(r.exit, 0);
  EXPECT_NE(r.protocol.find("1;ER209;;;rok;" + std::string(299, 'x') + ";d"), std::string::npos);
  EXPECT_NE(r.protocol.find("1;ES306;"), std::string::npos);
}

} // namespace
