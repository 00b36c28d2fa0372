// Whole runs on documents that break off anywhere or are huge: every run ends normally with
// its summary, and a document cut off before its root end tag is reported as such. Runs whose
// protocol or output copy is another file of the run under another name: each is refused and
// leaves the folder as it was.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

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

// ---- One file under two names ------------------------------------------------------------

// What a folder holds: each name with its kind and content ("f" and the bytes, "l" and the
// link's target, "d" for a folder).
std::map<std::string, std::string> listing(const fs::path &dir) {
  std::map<std::string, std::string> out;
  for (const auto &e : fs::recursive_directory_iterator(dir)) {
    std::string name = e.path().lexically_relative(dir).generic_string();
    if (e.is_symlink()) {
      out[name] = "l " + fs::read_symlink(e.path()).string();
    } else if (e.is_directory()) {
      out[name] = "d";
    } else {
      std::ifstream f(e.path(), std::ios::binary);
      std::stringstream b;
      b << f.rdbuf();
      out[name] = "f " + b.str();
    }
  }
  return out;
}

struct Entry {
  char kind; // 'f' a file with `value` as content, 'l' a symbolic link to `value`, 'h' a hard
             // link to the file `value`, 'd' a folder
  const char *name;
  const char *value;
};

struct Naming {
  const char *what;
  std::vector<Entry> files;
  std::vector<const char *> args; // "$" stands for the folder's absolute name
  const char *refused;            // the name in the message
};

struct Folder {
  fs::path dir, back;
  explicit Folder(const std::vector<Entry> &files)
      : dir(fs::temp_directory_path() / ("kuf-names-" + std::to_string(::getpid()))),
        back(fs::current_path()) {
    fs::remove_all(dir);
    fs::create_directories(dir);
    for (const auto &e : files) {
      fs::path p = dir / e.name;
      if (e.kind == 'f')
        std::ofstream(p, std::ios::binary) << e.value;
      else if (e.kind == 'l')
        fs::create_symlink(e.value, p);
      else if (e.kind == 'h')
        fs::create_hard_link(dir / e.value, p);
      else
        fs::create_directories(p);
    }
    fs::current_path(dir);
  }
  ~Folder() {
    fs::current_path(back);
    fs::remove_all(dir);
  }
  int run(const std::vector<const char *> &args, std::string &console) const {
    std::vector<std::string> texts = {"ld952"};
    for (const char *a : args) {
      texts.emplace_back(a);
      if (texts.back().substr(0, 1) == "$")
        texts.back().replace(0, 1, dir.string());
    }
    std::vector<const char *> argv;
    for (const auto &t : texts)
      argv.push_back(t.c_str());
    argv.push_back(nullptr);
    report::StringSink out;
    int code = driver::run(static_cast<int>(texts.size()), argv.data(), out);
    console = out.text();
    return code;
  }
};

const Entry kDoc{'f', "kuf.xml", "<KUF></KUF>\n"};

TEST(SameFile, EveryWayOfNamingItIsRefusedAndNothingChanges) {
  const std::vector<Naming> cases = {
      {"copy: dangling link to the protocol",
       {kDoc, {'l', "lnk", "p.csv"}},
       {"kuf.xml", "p.csv", "lnk"},
       "lnk"},
      {"protocol: dangling link to the copy, which it creates",
       {kDoc, {'l', "lnk", "c.xml"}},
       {"kuf.xml", "lnk", "c.xml"},
       "c.xml"},
      {"copy: dangling link in a folder, its target relative to the link",
       {kDoc, {'d', "sub", ""}, {'l', "sub/lnk", "../p.csv"}},
       {"kuf.xml", "p.csv", "sub/lnk"},
       "sub/lnk"},
      {"copy: chain of links ending nowhere",
       {kDoc, {'l', "l1", "l2"}, {'l', "l2", "l3"}, {'l', "l3", "p.csv"}},
       {"kuf.xml", "p.csv", "l1"},
       "l1"},
      {"protocol: chain of links to the input",
       {kDoc, {'l', "l1", "l2"}, {'l', "l2", "kuf.xml"}},
       {"kuf.xml", "l1"},
       "l1"},
      {"protocol: link to the input", {kDoc, {'l', "lnk", "kuf.xml"}}, {"kuf.xml", "lnk"}, "lnk"},
      {"copy: link to an existing protocol, which keeps its bytes",
       {kDoc, {'f', "p.csv", "old"}, {'l', "lnk", "p.csv"}},
       {"kuf.xml", "p.csv", "lnk"},
       "lnk"},
      {"protocol: ./ before the input", {kDoc}, {"kuf.xml", "./kuf.xml"}, "./kuf.xml"},
      {"copy: dir/../ before the protocol",
       {kDoc, {'d', "sub", ""}},
       {"kuf.xml", "p.csv", "sub/../p.csv"},
       "sub/../p.csv"},
      {"copy: the protocol by its absolute name", {kDoc}, {"kuf.xml", "p.csv", "$/p.csv"}, "$"},
      {"copy: through a linked folder",
       {kDoc, {'d', "sub", ""}, {'l', "dl", "sub"}},
       {"kuf.xml", "sub/p.csv", "dl/p.csv"},
       "dl/p.csv"},
      {"protocol: hard link to the input",
       {kDoc, {'h', "h.csv", "kuf.xml"}},
       {"kuf.xml", "h.csv"},
       "h.csv"},
      {"copy: the same new file twice", {kDoc}, {"kuf.xml", "p.csv", "p.csv"}, "p.csv"},
      {"protocol: link to a listed document",
       {kDoc, {'f', "l.txt", "a.xml kuf.xml"}, {'f', "a.xml", "<KUF/>"}, {'l', "lnk", "kuf.xml"}},
       {"@l.txt", "lnk"},
       "lnk"},
      {"protocol: dangling link to a listed document that does not exist",
       {kDoc, {'f', "l.txt", "kuf.xml nic.xml"}, {'l', "lnk", "nic.xml"}},
       {"@l.txt", "lnk"},
       "lnk"},
      {"copy: the list file through a link",
       {kDoc, {'f', "l.txt", "kuf.xml"}, {'l', "lnk", "l.txt"}},
       {"@l.txt", "p.csv", "lnk"},
       "lnk"},
  };
  for (const auto &c : cases) {
    Folder f(c.files);
    const auto before = listing(f.dir);
    std::string console;
    int code = f.run(c.args, console);
    std::string name = c.refused == std::string("$") ? (f.dir / "p.csv").string() : c.refused;
    EXPECT_EQ(code, 13) << c.what;
    EXPECT_EQ(console, "\nProgram  LD952_v0.91  kontola dat pro KUF\n Nelze otevrit soubor  " +
                           name + "\n Program ukoncen\n")
        << c.what;
    EXPECT_EQ(listing(f.dir), before) << c.what;
  }
}

// Links that reach no other file of the run are written through, and stay links.
TEST(SameFile, LinksToOtherFilesAreWrittenThrough) {
  Folder f({kDoc, {'l', "lp", "p.csv"}, {'l', "lc", "c.xml"}, {'f', "c.xml", "old"}});
  std::string console;
  ASSERT_EQ(f.run({"kuf.xml", "lp", "lc"}, console), 0) << console;
  auto after = listing(f.dir);
  EXPECT_EQ(after["lp"], "l p.csv");
  EXPECT_EQ(after["lc"], "l c.xml");
  EXPECT_EQ(after["p.csv"].substr(0, 8), "f <html>");
  EXPECT_EQ(after["c.xml"].substr(0, 7), "f <KUF ");
}

} // namespace
