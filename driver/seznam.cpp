// The list file of list mode: input names separated by white space, each ending at its first
// NUL byte; read whole, from a file, a caller's source or memory, at most Seznam::kMaxSeznam
// bytes.
#include "seznam.hpp"

#include <cctype>

#include "reader.hpp"

namespace driver {

std::unique_ptr<Seznam> Seznam::otevri(const std::string &path, bool &velky) {
  auto in = reader::Input::open(path, std::size_t{1} << 16);
  return in ? precti(*in, velky) : nullptr;
}

std::unique_ptr<Seznam> Seznam::precti(reader::Input &in, bool &velky) {
  std::string text;
  try {
    for (std::string_view kus; !(kus = in.fill()).empty();) {
      velky = text.size() + kus.size() > kMaxSeznam; // an endless or huge list is refused
      if (velky)
        return nullptr;
      text.append(kus);
    }
  } catch (const reader::ChybaCteni &) {
    return nullptr;
  }
  return std::make_unique<Seznam>(std::move(text));
}

std::unique_ptr<Seznam> Seznam::z_pameti(std::string_view text, bool &velky) {
  velky = text.size() > kMaxSeznam;
  return velky ? nullptr : std::make_unique<Seznam>(std::string(text));
}

bool Seznam::dalsi(std::string &word) {
  auto blank = [](char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; };
  while (pozice_ < text_.size() && blank(text_[pozice_]))
    ++pozice_;
  if (pozice_ == text_.size())
    return false;
  std::size_t from = pozice_;
  while (pozice_ < text_.size() && !blank(text_[pozice_]))
    ++pozice_;
  std::string_view slovo = std::string_view(text_).substr(from, pozice_ - from);
  word.assign(slovo.substr(0, slovo.find('\0'))); // the NUL sought in the word alone
  return true;
}

std::vector<std::string> Seznam::nahled() const {
  Seznam copy = *this;
  std::vector<std::string> words;
  for (std::string w; copy.dalsi(w);)
    words.push_back(w);
  return words;
}

} // namespace driver
