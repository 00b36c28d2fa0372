// Whole runs on documents that break off anywhere or are huge: every run ends normally with
// its summary, and a document cut off before its root end tag is reported as such. The list
// file is read whole before the run, up to 16 MiB: a list at the limit is checked, one byte
// more (or an endless list) is refused before any file of the run is created.
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <unistd.h>

#include "driver.hpp"
#include "files.hpp"

namespace fs = std::filesystem;

namespace {

struct Outcome {
  int exit;
  std::string console, protocol; // the protocol p.csv, or "-" when none was created
};

const fs::path kDir = fs::temp_directory_path() / ("kuf-robust-" + std::to_string(::getpid()));

// A run with the input argument `input` and the protocol p.csv, in a fresh folder.
Outcome run(const std::string &input) {
  const std::string protocol = (kDir / "p.csv").string();
  fs::remove(protocol);
  const char *argv[] = {"ld952", input.c_str(), protocol.c_str(), nullptr};
  report::StringSink console;
  int code = driver::run(3, argv, console);
  return {code, console.text(), fs::exists(protocol) ? read_file(protocol) : "-"};
}

Outcome check(const std::string &document) {
  fs::create_directories(kDir);
  std::ofstream(kDir / "kuf.xml", std::ios::binary) << document;
  return run((kDir / "kuf.xml").string());
}

TEST(CutOff, EveryPrefixOfAReportEndsWithItsSummary) {
  const std::string doc = read_file(fs::path(KUF_SOURCE_DIR) / "examples/kuf.xml");
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
  Outcome r = check("<KUF><rok>" + std::string(100u << 20, 'x') + "</rok><zamestnavatel>");
  EXPECT_EQ(r.exit, 0);
  EXPECT_NE(r.protocol.find("1;ER209;;;rok;" + std::string(299, 'x') + ";d"), std::string::npos);
  EXPECT_NE(r.protocol.find("1;ES306;"), std::string::npos);
}

TEST(Huge, AListFileOfSixteenMebibytesAtMost) {
  check("<KUF></KUF>");
  const fs::path list = kDir / "l.txt";
  const std::size_t limit = std::size_t{16} << 20;
  for (std::size_t size : {limit - 1, limit, limit + 1}) {
    std::string text = (kDir / "kuf.xml").string() + "\n";
    text.resize(size, ' '); // the name, then blanks up to the size
    std::ofstream(list, std::ios::binary | std::ios::trunc) << text;
    Outcome r = run("@" + list.string());
    EXPECT_EQ(r.exit, size <= limit ? 0 : 13) << size;
    EXPECT_EQ(r.protocol == "-", size > limit) << size;
  }
  Outcome r = run("@" + list.string());
  EXPECT_NE(r.console.find(" Nelze otevrit soubor  " + list.string() + "\n"), std::string::npos);
  r = run("@/dev/zero"); // endless: refused once the limit is passed
  EXPECT_EQ(r.exit, 13);
  EXPECT_EQ(r.protocol, "-");
  fs::remove_all(kDir);
}

} // namespace
