// Fuzz target of the C interface: the fuzzer's bytes choose the names of the files of a check
// (any bytes but "/", of any length, NUL bytes included), list mode, the options and the
// contents of the report or of a list file whose words may hold NUL bytes. Every check must
// return 0 or 13, and a check that returned 0 wrote its whole protocol.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>

#include "census.hpp"
#include "ld952.h"
#include "private_folder.hpp"

namespace {

const std::string &folder() { return private_folder("kuf-fuzz-api"); }

// The file named by `path` as a C string, which ends at its first NUL, as the library reads it.
void write(const std::string &path, std::string_view bytes) {
  std::FILE *f = std::fopen(path.c_str(), "wb");
  if (f == nullptr)
    return; // a name the file system refuses
  if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size())
    std::abort();
  std::fclose(f);
}

// A name inside the private folder: the fuzzer's bytes with every "/" made "_".
std::string name_in_folder(std::string_view bytes) {
  std::string name = folder() + "/";
  for (char c : bytes)
    name.push_back(c == '/' ? '_' : c);
  return name;
}

// The next piece of `rest` up to a line feed (the line feed consumed).
std::string_view piece(std::string_view &rest) {
  std::size_t end = rest.find('\n');
  std::string_view p = rest.substr(0, end);
  rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
  return p;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size);

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  if (size < 1 || size > (std::size_t{1} << 20))
    return 0;
  std::error_code ignored;
  for (const auto &e : std::filesystem::directory_iterator(folder(), ignored))
    std::filesystem::remove_all(e.path(), ignored);
  const std::uint8_t sw = data[0];
  std::string_view rest(reinterpret_cast<const char *>(data + 1), size - 1);
  // Names: the input, the protocol and the output copy, one line each; the rest is the
  // document, or in list mode the list file's text followed, after a line "==", by the
  // document that each listed word gets.
  const std::string input = name_in_folder(piece(rest));
  const std::string protocol = name_in_folder(piece(rest));
  const std::string copy = name_in_folder(piece(rest));
  const bool list = sw & 1, memory = sw & 2, with_protocol = sw & 4, with_copy = sw & 8;
  std::string_view document = rest;
  std::string list_text; // each word of the list made a name in the folder
  if (list) {
    std::size_t split = rest.find("\n==\n");
    std::string_view words = rest.substr(0, split);
    document = split == std::string_view::npos ? std::string_view() : rest.substr(split + 4);
    for (std::size_t at = 0; at < words.size();) {
      std::size_t end = words.find_first_of(" \t\n", at);
      std::string_view word = words.substr(at, end - at);
      if (!word.empty()) {
        std::string name = name_in_folder(word);
        list_text += name + "\n";
        write(name, document);
      }
      at = end == std::string_view::npos ? words.size() : end + 1;
    }
  }
  if (!memory)
    write(input, list ? list_text : document);
  ld952_options o{};
  o.input = input.c_str(); // a C string: it ends at its first NUL byte
  o.list = list;
  o.protocol = with_protocol ? protocol.c_str() : nullptr;
  o.output_copy = with_copy ? copy.c_str() : nullptr;
  o.suppress_warnings = sw & 16;
  o.on_finding = [](const ld952_finding *f, void *) {
    census::add_code({f->code.data, f->code.size});
  };
  ld952_totals totals{};
  int code = memory ? ld952_check_buffer(list ? list_text.data() : document.data(),
                                         list ? list_text.size() : document.size(), &o, &totals)
                    : ld952_check_file(&o, &totals);
  if (code != 0 && code != 13)
    std::abort();
  if (code == 0 && with_protocol) { // a whole protocol: its last line is the trailer's
    std::FILE *f = std::fopen(o.protocol, "rb");
    if (f == nullptr)
      std::abort();
    std::fseek(f, -1, SEEK_END);
    int last = std::fgetc(f);
    std::fclose(f);
    if (last != '\n')
      std::abort();
  }
  return 0;
}
