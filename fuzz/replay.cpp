// Replays fuzz inputs without the fuzzer: every file named on the command line, or found in a
// folder named there, goes through the fuzz target once. The sanitizer builds run it over the
// seed corpus and the regression inputs.
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size);

int main(int argc, char **argv) {
  std::size_t runs = 0;
  for (int i = 1; i < argc; ++i) {
    std::vector<std::filesystem::path> files;
    if (std::filesystem::is_directory(argv[i])) {
      for (const auto &e : std::filesystem::recursive_directory_iterator(argv[i]))
        if (e.is_regular_file())
          files.push_back(e.path());
    } else {
      files.emplace_back(argv[i]);
    }
    for (const auto &f : files) {
      std::ifstream in(f, std::ios::binary);
      std::vector<char> bytes((std::istreambuf_iterator<char>(in)), {});
      LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t *>(bytes.data()), bytes.size());
      ++runs;
    }
  }
  std::cout << runs << " inputs replayed\n";
  return 0;
}
