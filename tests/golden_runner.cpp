// Runs golden cases: each *.case file holds the command line, the input files and the
// expected bytes of every file the run writes, of the console and of the exit code. The check
// runs in-process in a fresh folder, once per read-buffer size, on one thread and on two; all
// runs must give the same bytes. GOLDEN_UPDATE=1 rewrites the expectations with what the run
// produced.
//
// Case file: sections introduced by a line "-- <kind> [name] --":
//   -- args --            one argument per line
//   -- file NAME --       an input file written before the run ("-- file NAME noeol --": the
//                         last line feed of the section is not part of the file)
//   -- link NAME --       a symbolic link made before the run; its one line is the target,
//                         which need not exist ("-- link NAME hard --": a hard link to the
//                         input file named there)
//   -- expect NAME --     the expected content of a file after the run
//   -- console --         the expected console output
//   -- exit --            the expected exit code
// Lines before the first section describe the case. Every file in the folder after the run
// must be expected, or be an input left unchanged.
//
// With "--program CMD... --" the cases run the program CMD as a separate process instead
// (for example "wine ld952.exe" for the Windows build), once, with the run stamp of every
// protocol masked. With GOLDEN_PROTOCOL=NAME and GOLDEN_KEEP=FOLDER each case runs once with
// its protocol named NAME instead, and that protocol is kept as FOLDER/<topic>--<case>, for
// the checks of the protocols' readers; nothing is compared.
#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "census.hpp"
#include "driver.hpp"
#include "files.hpp"

namespace fs = std::filesystem;

namespace {

struct Section {
  std::string kind, name, body;
  bool noeol = false, hard = false;
};

struct Case {
  std::string head;
  std::vector<Section> sections;
};

bool is_marker(const std::string &line, Section &sec) {
  if (line.size() < 7 || line.compare(0, 3, "-- ") != 0 ||
      line.compare(line.size() - 3, 3, " --") != 0)
    return false;
  std::istringstream words(line.substr(3, line.size() - 6));
  words >> sec.kind >> sec.name;
  std::string flag;
  words >> flag;
  sec.noeol = flag == "noeol";
  sec.hard = flag == "hard";
  return sec.kind == "args" || sec.kind == "file" || sec.kind == "link" || sec.kind == "expect" ||
         sec.kind == "console" || sec.kind == "exit";
}

Case parse(const std::string &text) {
  Case c;
  std::size_t pos = 0;
  Section *cur = nullptr;
  while (pos < text.size()) {
    std::size_t nl = text.find('\n', pos);
    std::size_t end = nl == std::string::npos ? text.size() : nl + 1;
    std::string line = text.substr(pos, end - pos);
    std::string bare = line.back() == '\n' ? line.substr(0, line.size() - 1) : line;
    Section sec;
    if (is_marker(bare, sec)) {
      c.sections.push_back(sec);
      cur = &c.sections.back();
    } else if (cur != nullptr) {
      cur->body += line;
    } else {
      c.head += line;
    }
    pos = end;
  }
  for (auto &s : c.sections)
    if (s.noeol && !s.body.empty() && s.body.back() == '\n')
      s.body.pop_back();
  return c;
}

std::string unparse(const Case &c) {
  std::string out = c.head;
  for (const auto &s : c.sections) {
    bool noeol = !s.body.empty() && s.body.back() != '\n';
    out += "-- " + s.kind + (s.name.empty() ? "" : " " + s.name) + (noeol ? " noeol" : "") +
           (s.hard ? " hard" : "") + " --\n";
    out += s.body;
    if (noeol)
      out += '\n';
  }
  return out;
}

std::string link_target(const Section &s) { return s.body.substr(0, s.body.find('\n')); }

// What the folder holds before the run, as `collect` reads it: each file with its bytes, a
// symbolic link as "-> " and its target, a hard link as the file it shares.
std::map<std::string, std::string> input_files(const Case &c) {
  std::map<std::string, std::string> in;
  for (const auto &s : c.sections)
    if (s.kind == "file")
      in[s.name] = s.body;
    else if (s.kind == "link")
      in[s.name] = s.hard ? in[link_target(s)] : "-> " + link_target(s);
  return in;
}

struct Result {
  std::map<std::string, std::string> files; // every file in the folder after the run
  std::string console;
  int exit = 0;
};

// Writes the input files into a fresh folder; returns the arguments after the program name.
std::vector<std::string> prepare(const Case &c, const fs::path &dir) {
  fs::remove_all(dir);
  fs::create_directories(dir);
  std::vector<std::string> args;
  for (const auto &s : c.sections) {
    if (s.kind == "file") {
      fs::create_directories((dir / s.name).parent_path());
      write_file(dir / s.name, s.body);
    } else if (s.kind == "link" && s.hard) {
      fs::create_hard_link(dir / link_target(s), dir / s.name);
    } else if (s.kind == "link") {
      fs::create_directories((dir / s.name).parent_path());
      fs::create_symlink(link_target(s), dir / s.name);
    } else if (s.kind == "args") {
      std::istringstream lines(s.body);
      std::string a;
      while (std::getline(lines, a))
        args.push_back(a);
    }
  }
  return args;
}

// A symbolic link is collected as "-> " and its target, so that a link the run replaced or
// removed shows as a changed input.
void collect(Result &r, const fs::path &dir) {
  for (const auto &e : fs::recursive_directory_iterator(dir)) {
    std::string name = e.path().lexically_relative(dir).generic_string();
    if (e.is_symlink())
      r.files[name] = "-> " + fs::read_symlink(e.path()).string();
    else if (e.is_regular_file())
      r.files[name] = read_file(e.path());
  }
}

Result run_case(const Case &c, const fs::path &dir, std::size_t buffer, int threads) {
  std::vector<std::string> args = prepare(c, dir);
  args.insert(args.begin(), "ld952");
  std::vector<const char *> argv;
  for (const auto &a : args)
    argv.push_back(a.c_str());
  argv.push_back(nullptr);

  driver::Options opt;
  opt.read_buffer = buffer;
  opt.vlakna = threads;
  opt.stamp = test_stamp();

  fs::path back = fs::current_path();
  fs::current_path(dir);
  report::StringSink console;
  Result r;
  driver::Totals totals;
  r.exit = driver::run(static_cast<int>(args.size()), argv.data(), console, opt, &totals);
  census::add(totals.by_code);
  r.console = console.text();
  fs::current_path(back);
  collect(r, dir);
  return r;
}

// The case run by a separate program in the case's folder, its console caught in a file
// outside the folder. The run stamp of each protocol is the stamp of the in-process runs.
Result run_program(const Case &c, const fs::path &dir, const std::vector<std::string> &program) {
  std::vector<std::string> args = program;
  for (auto &a : prepare(c, dir))
    args.push_back(a);
  const fs::path console = dir.string() + ".console";
  pid_t pid = fork();
  if (pid == 0) {
    std::vector<char *> argv;
    for (auto &a : args)
      argv.push_back(a.data());
    argv.push_back(nullptr);
    std::FILE *out = std::fopen(console.c_str(), "wb");
    if (out == nullptr || chdir(dir.c_str()) != 0 || dup2(fileno(out), 1) < 0)
      _exit(127);
    execvp(argv[0], argv.data());
    _exit(127);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  Result r;
  r.exit = WIFEXITED(status) ? WEXITSTATUS(status) : 128;
  r.console = read_file(console);
  fs::remove(console);
  collect(r, dir);
  static const std::regex stamp(R"(\d\d/\d\d/20\d\d  \d\d:\d\d:\d\d)");
  for (auto &[name, bytes] : r.files)
    if (std::none_of(c.sections.begin(), c.sections.end(),
                     [&](const Section &s) { return s.kind == "file" && s.name == name; }))
      bytes = std::regex_replace(bytes, stamp, "24/12/2008  12:34:56",
                                 std::regex_constants::format_first_only);
  return r;
}

// Shows bytes so that a difference in line ends or in Windows-1250 letters is visible.
std::string visible(const std::string &s) {
  std::string out;
  for (char c : s) {
    auto ch = static_cast<unsigned char>(c);
    char b[8];
    std::snprintf(b, sizeof b, ch == '\n' ? "\\n\n" : ch >= 32 && ch <= 126 ? "%c" : "\\x%02X", ch);
    out += b;
  }
  return out;
}

void show_difference(const std::string &what, const std::string &want, const std::string &got) {
  std::size_t at = 0;
  while (at < want.size() && at < got.size() && want[at] == got[at])
    ++at;
  std::size_t from = want.rfind('\n', at);
  from = from == std::string::npos ? 0 : from + 1;
  std::cout << "  " << what << " differs at byte " << at << "\n  expected:\n"
            << visible(want.substr(from, 400)) << "\n  got:\n"
            << visible(got.substr(std::min(from, got.size()), 400)) << "\n";
}

// Compares a run with the case; returns the failures (empty when it passes).
std::vector<std::string> compare(const Case &c, const Result &r) {
  std::vector<std::string> bad;
  const std::map<std::string, std::string> inputs = input_files(c);
  std::map<std::string, std::string> expected;
  std::string console;
  int exit = 0;
  for (const auto &s : c.sections) {
    if (s.kind == "expect")
      expected[s.name] = s.body;
    else if (s.kind == "console")
      console = s.body;
    else if (s.kind == "exit")
      exit = std::atoi(s.body.c_str());
  }
  for (const auto &[name, want] : expected) {
    auto it = r.files.find(name);
    if (it == r.files.end())
      bad.push_back("missing file " + name);
    else if (it->second != want)
      show_difference(name, want, it->second), bad.push_back("file " + name);
  }
  for (const auto &[name, got] : r.files) {
    if (expected.count(name))
      continue;
    auto in = inputs.find(name);
    if (in == inputs.end())
      bad.push_back("unexpected file " + name);
    else if (in->second != got)
      bad.push_back("input changed: " + name);
  }
  if (r.console != console)
    show_difference("console", console, r.console), bad.push_back("console");
  if (r.exit != exit)
    bad.push_back("exit code " + std::to_string(r.exit) + ", expected " + std::to_string(exit));
  return bad;
}

// The protocol argument of a case renamed: the second argument that is not an option, or
// one added after the input.
void rename_protocol(Case &c, const std::string &name) {
  for (auto &s : c.sections) {
    if (s.kind != "args")
      continue;
    std::vector<std::string> args;
    std::istringstream lines(s.body);
    for (std::string a; std::getline(lines, a);)
      args.push_back(a);
    std::vector<std::size_t> positional;
    for (std::size_t i = 0; i < args.size(); ++i)
      if (args[i].substr(0, 1) != "-")
        positional.push_back(i);
    if (positional.size() >= 2) {
      args[positional[1]] = name;
    } else {
      if (positional.empty())
        args.push_back("kuf.xml");
      args.push_back(name);
    }
    s.body.clear();
    for (const auto &a : args)
      s.body += a + "\n";
  }
}

void update(Case &c, const Result &r, const fs::path &file) {
  const std::map<std::string, std::string> inputs = input_files(c);
  std::vector<Section> kept;
  for (const auto &s : c.sections)
    if (s.kind == "args" || s.kind == "file" || s.kind == "link")
      kept.push_back(s);
  for (const auto &[name, got] : r.files) {
    auto in = inputs.find(name);
    if (in == inputs.end() || in->second != got)
      kept.push_back({"expect", name, got, false});
  }
  kept.push_back({"console", "", r.console, false});
  kept.push_back({"exit", "", std::to_string(r.exit) + "\n", false});
  c.sections = kept;
  write_file(file, unparse(c));
}

} // namespace

int main(int argc, char **argv) {
  if (argc < 2) {
    std::cerr << "usage: golden_runner [--program CMD... --] <folder or case file>...\n";
    return 2;
  }
  std::vector<std::string> program;
  int first = 1;
  if (std::string(argv[1]) == "--program") {
    for (++first; first < argc && std::string(argv[first]) != "--"; ++first) // runs elsewhere
      program.push_back(std::string(argv[first]).find('/') == std::string::npos
                            ? std::string(argv[first])
                            : fs::absolute(argv[first]).string());
    ++first;
  }
  std::vector<fs::path> cases;
  for (int i = first; i < argc; ++i) {
    fs::path p = argv[i];
    if (fs::is_directory(p)) {
      for (const auto &e : fs::recursive_directory_iterator(p))
        if (e.path().extension() == ".case")
          cases.push_back(e.path());
    } else {
      cases.push_back(p);
    }
  }
  std::sort(cases.begin(), cases.end());
  const bool updating = std::getenv("GOLDEN_UPDATE") != nullptr;
  const char *sizes_env = std::getenv("GOLDEN_BUFFERS");
  std::istringstream sizes_in(sizes_env != nullptr ? sizes_env : "4096 1 2 3 7 97");
  std::vector<std::size_t> sizes;
  for (std::size_t n; sizes_in >> n;)
    sizes.push_back(n);
  fs::path work = fs::temp_directory_path() / ("kuf-golden-" + std::to_string(::getpid()));
  const char *protocol = std::getenv("GOLDEN_PROTOCOL"), *keep = std::getenv("GOLDEN_KEEP");
  int failed = 0;
  for (const auto &file : cases) {
    Case c = parse(read_file(file));
    fs::path dir = work / file.stem();
    if (protocol != nullptr && keep != nullptr) {
      rename_protocol(c, protocol);
      Result r = program.empty() ? run_case(c, dir, sizes[0], 1) : run_program(c, dir, program);
      auto kept = r.files.find(protocol);
      if (kept != r.files.end() && input_files(c).count(protocol) == 0)
        write_file(fs::path(keep) /
                       (file.parent_path().filename().string() + "--" + file.stem().string()),
                   kept->second);
      continue;
    }
    bool ok = true;
    // The first size on one thread and on two, the others on one and two in turn.
    for (std::size_t i = 0; i <= (program.empty() ? sizes.size() : 0) && ok; ++i) {
      const std::size_t size = sizes[i == 0 ? 0 : i - 1];
      const int threads = i % 2 == 0 ? 1 : 2;
      Result r = program.empty() ? run_case(c, dir, size, threads) : run_program(c, dir, program);
      if (updating && i == 0) {
        update(c, r, file);
        continue;
      }
      auto bad = compare(c, r);
      if (!bad.empty()) {
        ok = false;
        std::cout << "FAIL " << file.string() << " (read buffer " << size << " bytes, " << threads
                  << (threads == 1 ? " thread):" : " threads):");
        for (const auto &b : bad)
          std::cout << " [" << b << "]";
        std::cout << "\n";
      }
    }
    failed += !ok;
  }
  fs::remove_all(work);
  std::cout << cases.size() - static_cast<std::size_t>(failed) << " of " << cases.size()
            << " golden cases pass\n";
  return failed ? 1 : 0;
}
