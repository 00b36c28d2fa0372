// The list file of list mode is read whole before the run, up to its limit of 16 MiB: a list
// at the limit is checked, one byte more (or an endless one) is refused before any file of
// the run is created.
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <unistd.h>

#include "driver.hpp"

namespace fs = std::filesystem;

namespace {

struct ListRun {
  int exit;
  std::string console;
  bool protocol_made;
};

ListRun check_list(const std::string &list_path, const fs::path &dir) {
  const std::string arg = "@" + list_path, protocol = (dir / "p.csv").string();
  const char *argv[] = {"ld952", arg.c_str(), protocol.c_str(), nullptr};
  report::StringSink console;
  int code = driver::run(3, argv, console);
  return {code, console.text(), fs::exists(protocol)};
}

TEST(ListFile, HeldUpToSixteenMebibytes) {
  const fs::path dir = fs::temp_directory_path() / ("kuf-list-" + std::to_string(::getpid()));
  fs::create_directories(dir);
  const std::string report = (dir / "a.xml").string(), list = (dir / "l.txt").string();
  std::ofstream(report, std::ios::binary) << "<KUF></KUF>";
  const std::size_t limit = std::size_t{16} << 20;
  for (std::size_t size : {limit - 1, limit, limit + 1}) {
    std::string text = report + "\n";
    text.resize(size, ' '); // the name, then blanks up to the size
    std::ofstream(list, std::ios::binary | std::ios::trunc) << text;
    fs::remove(dir / "p.csv");
    ListRun r = check_list(list, dir);
    if (size <= limit) {
      EXPECT_EQ(r.exit, 0) << size;
      EXPECT_TRUE(r.protocol_made) << size;
    } else {
      EXPECT_EQ(r.exit, 13) << size;
      EXPECT_NE(r.console.find(" Nelze otevrit soubor  " + list + "\n Program ukoncen\n"),
                std::string::npos);
      EXPECT_FALSE(r.protocol_made);
    }
  }
  if (fs::exists("/dev/zero")) { // endless: refused once the limit is passed
    ListRun r = check_list("/dev/zero", dir);
    EXPECT_EQ(r.exit, 13);
    EXPECT_NE(r.console.find(" Nelze otevrit soubor  /dev/zero\n"), std::string::npos);
    EXPECT_FALSE(r.protocol_made);
  }
  fs::remove_all(dir);
}

} // namespace
