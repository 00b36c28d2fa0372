// Packs the page into one HTML file: every placeholder @NAME@ of the template is replaced by
// the contents of a file, or by a file in base64 (the WebAssembly module), so that the page
// needs no other file. Runs on the build machine.
//   pack TEMPLATE OUT NAME=FILE NAME=base64:FILE ...
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

namespace {

bool read(const std::string &path, std::string &out) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  out = s.str();
  return static_cast<bool>(in);
}

std::string base64(const std::string &bytes) {
  static const char abc[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  for (std::size_t i = 0; i < bytes.size(); i += 3) {
    unsigned v = static_cast<unsigned char>(bytes[i]) << 16;
    if (i + 1 < bytes.size())
      v |= static_cast<unsigned char>(bytes[i + 1]) << 8;
    if (i + 2 < bytes.size())
      v |= static_cast<unsigned char>(bytes[i + 2]);
    out += abc[(v >> 18) & 63];
    out += abc[(v >> 12) & 63];
    out += i + 1 < bytes.size() ? abc[(v >> 6) & 63] : '=';
    out += i + 2 < bytes.size() ? abc[v & 63] : '=';
  }
  return out;
}

// A script inside the page ends at the first "</script", whatever its case.
bool closes_script(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text.find("</script") != std::string::npos;
}

} // namespace

int main(int argc, char **argv) {
  if (argc < 3) {
    std::cerr << "usage: pack TEMPLATE OUT NAME=FILE NAME=base64:FILE ...\n";
    return 2;
  }
  std::string page;
  if (!read(argv[1], page)) {
    std::cerr << "pack: cannot read " << argv[1] << "\n";
    return 1;
  }
  for (int i = 3; i < argc; ++i) {
    std::string arg = argv[i];
    std::size_t eq = arg.find('=');
    if (eq == std::string::npos) {
      std::cerr << "pack: not NAME=FILE: " << arg << "\n";
      return 2;
    }
    std::string name = "@" + arg.substr(0, eq) + "@", path = arg.substr(eq + 1), text;
    bool encode = path.rfind("base64:", 0) == 0;
    if (encode)
      path.erase(0, 7);
    if (!read(path, text)) {
      std::cerr << "pack: cannot read " << path << "\n";
      return 1;
    }
    if (encode)
      text = base64(text);
    else if (closes_script(text)) {
      std::cerr << "pack: " << path << " holds \"</script\", which would end its script\n";
      return 1;
    }
    std::size_t at = page.find(name);
    if (at == std::string::npos || page.find(name, at + 1) != std::string::npos) {
      std::cerr << "pack: the template must hold " << name << " exactly once\n";
      return 1;
    }
    page.replace(at, name.size(), text);
  }
  std::ofstream out(argv[2], std::ios::binary);
  out << page;
  out.close();
  if (!out) {
    std::cerr << "pack: cannot write " << argv[2] << "\n";
    return 1;
  }
  return 0;
}
