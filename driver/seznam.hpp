// The list file of list mode, read whole and handed out word by word.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace reader {
class Input;
}

namespace driver {

// The list file of list mode: input names separated by white space. It is read whole when it
// is opened, so that the names can be checked before the run (a pipe is read only once); a
// list of more than kMaxSeznam bytes is not read at all.
class Seznam {
public:
  static constexpr std::size_t kMaxSeznam = std::size_t{16} << 20;
  // The list file's text, or nothing when it cannot be read or is too large (`velky`).
  static std::unique_ptr<Seznam> otevri(const std::string &path, bool &velky);
  static std::unique_ptr<Seznam> z_pameti(std::string_view text, bool &velky);
  // The list read from `in` to its end; nothing when it cannot be read or is too large.
  static std::unique_ptr<Seznam> precti(reader::Input &in, bool &velky);
  explicit Seznam(std::string text) : text_(std::move(text)) {}
  // The next word, or false at the end of the list. A word ends at its first NUL byte.
  bool dalsi(std::string &word);
  // Every word that the run would read, from the current one on, without reading them.
  std::vector<std::string> nahled() const;

private:
  std::string text_;
  std::size_t pozice_ = 0;
};

} // namespace driver
