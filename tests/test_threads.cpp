// Checks running at the same time on different threads: each has all its state in its own
// check object, so eight reports checked at once give, byte for byte, the protocols, output
// copies, console texts and exit codes of the same checks run one after another. And a check
// on two threads of its own that ends early stops both.
#include <chrono>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "driver.hpp"
#include "files.hpp"

namespace fs = std::filesystem;

namespace {

struct Outcome {
  int exit = -1;
  std::int64_t e = 0, w = 0;
  std::string console, protocol, copy;
  bool operator==(const Outcome &) const = default;
};

// A new folder of this test process for the files of a test.
fs::path slozka(const std::string &jmeno) {
  fs::path dir = fs::temp_directory_path() / ("kuf-" + jmeno + "-" + std::to_string(::getpid()));
  fs::create_directories(dir);
  return dir;
}

// One check of `document` from memory into files of `dir` named by `n`, in the protocol
// format of its extension, with a fixed run stamp.
Outcome check(const std::string &document, const fs::path &dir, std::size_t n) {
  static const char *kFormats[] = {".htm", ".csv", ".txt", ".xml"};
  driver::Zadani zadani;
  zadani.vstup = "kuf" + std::to_string(n) + ".xml";
  zadani.chyby = (dir / ("p" + std::to_string(n) + kFormats[n % 4])).string();
  zadani.vystup = (dir / ("c" + std::to_string(n) + ".xml")).string();
  zadani.bez_varovani = n == 5;
  driver::Options opt;
  opt.document = document;
  opt.read_buffer = 1 + 97 * n; // a different piece size on every thread
  opt.stamp = test_stamp();
  report::StringSink console;
  driver::Totals totals;
  Outcome r;
  r.exit = driver::run(zadani, console, opt, &totals);
  r.e = totals.e, r.w = totals.w;
  r.console = console.text();
  r.protocol = read_file(zadani.chyby);
  r.copy = read_file(*zadani.vystup);
  return r;
}

TEST(Threads, EightChecksAtOnceMatchSingleRuns) {
  const std::string chyby = read_file(fs::path(KUF_SOURCE_DIR) / "examples/kuf-chyby.xml");
  const std::string dobry = read_file(fs::path(KUF_SOURCE_DIR) / "examples/kuf.xml");
  ASSERT_FALSE(chyby.empty() || dobry.empty());
  // Eight different reports: the two examples whole, and the faulty one broken off at six
  // places (the later ones inside an employer or a record).
  std::vector<std::string> docs = {dobry, chyby};
  for (std::size_t i = 1; i <= 6; ++i)
    docs.push_back(chyby.substr(0, chyby.size() * i / 7));

  const fs::path dir = slozka("threads");
  fs::create_directories(dir / "single");
  std::vector<Outcome> single;
  for (std::size_t n = 0; n < docs.size(); ++n)
    single.push_back(check(docs[n], dir / "single", n));

  for (int round = 0; round < 3; ++round) {
    fs::path at = dir / ("round" + std::to_string(round));
    fs::create_directories(at);
    std::vector<Outcome> together(docs.size());
    std::vector<std::thread> threads;
    for (std::size_t n = 0; n < docs.size(); ++n)
      threads.emplace_back([&, n] { together[n] = check(docs[n], at, n); });
    for (auto &t : threads)
      t.join();
    for (std::size_t n = 0; n < docs.size(); ++n)
      EXPECT_TRUE(together[n] == single[n]) << "round " << round << ", report " << n;
  }
  EXPECT_GT(single[1].e, 0); // the faulty example has findings to compare
  fs::remove_all(dir);
}

// Several megabytes of a faulty employer repeated: more items than the queue between the two
// threads of a check holds.
std::string velka_zprava() {
  const std::string chyby = read_file(fs::path(KUF_SOURCE_DIR) / "examples/kuf-chyby.xml");
  const std::size_t od = chyby.find("<zamestnavatel>"), po = chyby.find("</zamestnavatel>");
  if (od == std::string::npos || po == std::string::npos)
    return {};
  std::string document = chyby.substr(0, od);
  for (int i = 0; i < 3000; ++i)
    document += chyby.substr(od, po + 17 - od);
  return document + "</KUF>\n";
}

// A checking thread held up (here by a slow listener at the first row) lets the reading
// thread fill the queue; it then waits for room, and the protocol is the one-thread check's.
TEST(Threads, AFullQueueIsWaitedOn) {
  const std::string document = velka_zprava();
  ASSERT_FALSE(document.empty());
  const fs::path dir = slozka("full");
  std::string protocols[2];
  int rows[2] = {0, 0};
  for (int vlakna : {1, 2}) {
    driver::Options opt;
    opt.document = document;
    opt.vlakna = vlakna;
    opt.stamp = test_stamp();
    opt.listener_context = &rows[vlakna - 1];
    opt.listener = [](const report::Nalez &, void *n) {
      if ((*static_cast<int *>(n))++ == 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    };
    driver::Zadani zadani;
    zadani.vstup = "kuf.xml";
    zadani.chyby = (dir / ("p" + std::to_string(vlakna) + ".csv")).string();
    report::StringSink console;
    EXPECT_EQ(driver::run(zadani, console, opt), 0);
    protocols[vlakna - 1] = read_file(zadani.chyby);
  }
  EXPECT_GT(rows[0], 3000);
  EXPECT_EQ(rows[1], rows[0]);
  EXPECT_TRUE(protocols[1] == protocols[0]);
  fs::remove_all(dir);
}

// A check on two threads that its checking side ends early (here a listener, at the first
// row) ends at once: the reading thread, waiting for room in the queue far ahead, gives up, and
// the output copy it wrote ahead is cut back to what the check on one thread writes.
TEST(Threads, EndedCheckStopsTheReadingThread) {
  const std::string document = velka_zprava();
  ASSERT_FALSE(document.empty());
  const fs::path dir = slozka("ended");
  std::string copies[2];
  for (int vlakna : {1, 2}) {
    driver::Options opt;
    opt.document = document;
    opt.no_protocol = true;
    opt.vlakna = vlakna;
    int rows = 0;
    opt.listener_context = &rows;
    opt.listener = [](const report::Nalez &, void *n) {
      ++*static_cast<int *>(n);
      throw driver::Stop{13};
    };
    driver::Zadani zadani;
    zadani.vystup = (dir / ("copy" + std::to_string(vlakna))).string();
    report::StringSink console;
    EXPECT_EQ(driver::run(zadani, console, opt), 13);
    EXPECT_EQ(rows, 1);
    copies[vlakna - 1] = read_file(*zadani.vystup);
  }
  EXPECT_FALSE(copies[0].empty());
  EXPECT_EQ(copies[1].size(), copies[0].size());
  EXPECT_TRUE(copies[1] == copies[0]);
  fs::remove_all(dir);
}

// An output copy into a pipe cannot be cut back: the check writes it on one thread, so that a
// check that ends early (here a listener, at the first row) leaves in the pipe what a check on
// one thread writes into a file, though two threads were asked for. A check stopped by its
// caller removes the protocol it wrote, but leaves the pipe alone.
TEST(Threads, ACopyIntoAPipeDoesNotRunAheadOfTheCheck) {
  const std::string document = velka_zprava();
  ASSERT_FALSE(document.empty());
  const fs::path dir = slozka("pipe");
  const fs::path fifo = dir / "copy.fifo";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  auto run = [&](const fs::path &copy) {
    driver::Options opt;
    opt.document = document;
    opt.no_protocol = true;
    opt.vlakna = 2;
    opt.listener = [](const report::Nalez &, void *) { throw driver::Stop{13}; };
    driver::Zadani zadani;
    zadani.vystup = copy.string();
    report::StringSink console;
    EXPECT_EQ(driver::run(zadani, console, opt), 13);
  };
  std::string piped;
  std::thread reader([&] { piped = read_file(fifo); });
  run(fifo);
  reader.join();
  run(dir / "copy.xml");
  const std::string file = read_file(dir / "copy.xml");
  EXPECT_FALSE(file.empty());
  EXPECT_LT(file.size(), document.size() / 100); // ended early: far from the whole copy
  EXPECT_TRUE(piped == file) << piped.size() << " bytes piped, " << file.size() << " in the file";

  // A check that the caller stops removes the files it was writing, but no pipe.
  driver::Options opt;
  opt.document = document;
  opt.progress = [](const driver::Postup &, void *) { return true; };
  driver::Zadani zadani;
  zadani.chyby = (dir / "stopped.csv").string();
  zadani.vystup = fifo.string();
  std::thread drain([&] { read_file(fifo); });
  report::StringSink console;
  EXPECT_EQ(driver::run(zadani, console, opt), driver::kZastaveno);
  drain.join();
  EXPECT_TRUE(fs::is_fifo(fifo));
  EXPECT_FALSE(fs::exists(zadani.chyby));
  fs::remove_all(dir);
}

} // namespace
