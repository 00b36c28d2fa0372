// Fuzz target: the whole checker on the fuzzer's bytes. The first byte picks the protocol
// format, -w, the output copy, list mode, the read-buffer size and whether the document is
// handed over in memory, as a program using the library does, and the length's parity whether
// the check runs on one thread or two; with list mode the next byte splits the rest into two
// listed documents. The run goes through real files in a private folder, as a clerk's run does.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "census.hpp"
#include "driver.hpp"
#include "private_folder.hpp"

namespace {

const std::string &folder() { return private_folder("kuf-fuzz"); }

void write(const std::string &path, const std::uint8_t *data, std::size_t size) {
  std::FILE *f = std::fopen(path.c_str(), "wb");
  if (f == nullptr)
    std::abort();
  if (size > 0 && std::fwrite(data, 1, size, f) != size)
    std::abort();
  std::fclose(f);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size);

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  if (size < 1 || size > (std::size_t{1} << 20))
    return 0;
  const std::uint8_t sw = data[0];
  const char *formats[] = {"p.htm", "p.csv", "p.txt", "p.xml"};
  const bool nepis_w = sw & 4, kopie = sw & 8, seznam = (sw & 16) && size >= 2;
  const bool v_pameti = (sw & 128) && !seznam;
  const std::size_t buffers[] = {4096, 1, 7, 65536};
  const std::string dir = folder() + "/";
  std::vector<std::string> args = {"ld952"};
  if (nepis_w)
    args.push_back("-w");
  const std::uint8_t *doc = data + 1;
  std::size_t len = size - 1;
  if (seznam) {
    std::size_t cut = len > 1 ? doc[0] % len : 0;
    write(dir + "a.xml", doc + 1, cut);
    write(dir + "b.xml", doc + 1 + cut, len - 1 - cut);
    const std::string list = dir + "a.xml\n" + dir + "b.xml\n";
    write(dir + "list.txt", reinterpret_cast<const std::uint8_t *>(list.data()), list.size());
    args.push_back("@" + dir + "list.txt");
  } else {
    write(dir + "a.xml", doc, len);
    args.push_back(dir + "a.xml");
  }
  args.push_back(dir + formats[sw & 3]);
  if (kopie)
    args.push_back(dir + "copy.xml");
  std::vector<const char *> argv;
  for (const auto &a : args)
    argv.push_back(a.c_str());
  argv.push_back(nullptr);
  driver::Options opt;
  opt.read_buffer = buffers[(sw >> 5) & 3];
  opt.vlakna = 1 + static_cast<int>(size & 1); // one thread or two, by the length

  if (v_pameti)
    opt.document = std::string_view(reinterpret_cast<const char *>(doc), len);
  report::StringSink console;
  driver::Totals totals;
  int code = driver::run(static_cast<int>(args.size()), argv.data(), console, opt, &totals);
  census::add(totals.by_code);
  if (code != 0 && code != 13)
    std::abort(); // a document never ends a run any other way
  // A run that ended normally wrote its whole protocol, trailer included; an XML protocol is a
  // whole document however the run ended.
  const bool xml = (sw & 3) == 3;
  if (code == 0 || xml) {
    static const char *ends[] = {"</html>\n", "\nCelkem chyb vahy W:;",
                                 "\n\nCelkem chyb vahy W:", "</KUF_chyby>\n"};
    std::FILE *f = std::fopen((dir + formats[sw & 3]).c_str(), "rb");
    if (f == nullptr && code == 0)
      std::abort();
    std::string text;
    char chunk[65536];
    for (std::size_t n; f != nullptr && (n = std::fread(chunk, 1, sizeof chunk, f)) > 0;)
      text.append(chunk, n);
    if (f != nullptr)
      std::fclose(f);
    const std::string_view end = ends[sw & 3];
    if (code == 0 ? text.find(end) == std::string::npos
                  : !text.empty() && !std::string_view(text).ends_with(end))
      std::abort();
  }
  return 0;
}
