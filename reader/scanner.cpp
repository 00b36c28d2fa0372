// The markup scanner: hands the state machine the next tag name, the rest of a start tag, the
// content up to the next tag, or the end of a comment, and counts the input lines. Line feeds
// raise the line counter and are never stored; carriage returns are ignored everywhere.
#include <algorithm>
#include <array>
#include <sys/stat.h>

#include "reader.hpp"

namespace reader {

State st;

void reset() { st = State{}; }

std::unique_ptr<Input> Input::open(const std::string &path, std::size_t buffer_size) {
  std::FILE *f = std::fopen(path.c_str(), "rb");
  if (f == nullptr)
    return nullptr;
  struct stat info {};
  if (fstat(fileno(f), &info) != 0 || S_ISDIR(info.st_mode)) {
    std::fclose(f);
    return nullptr;
  }
  std::setvbuf(f, nullptr, _IONBF, 0); // our own buffer is the only one
  return std::make_unique<Input>(f, buffer_size);
}

Input::~Input() { std::fclose(f_); }

std::string_view Input::fill() {
  std::size_t n = std::fread(buf_.data(), 1, buf_.size(), f_);
  if (n == 0 && std::ferror(f_))
    throw ChybaCteni{};
  return {buf_.data(), n};
}

namespace {

// Makes `st.okno` non-empty, moving on to the next listed input at the end of one.
// False when the input has ended for good.
bool dalsi_kus() {
  for (;;) {
    if (st.insoub != nullptr) {
      st.okno = st.insoub->fill();
      if (!st.okno.empty())
        return true;
    }
    if (st.konec_vstupu == nullptr || !st.konec_vstupu())
      return false;
  }
}

// The next byte of the input, or -1 at its final end.
inline int znak() {
  if (st.okno.empty() && !dalsi_kus())
    return -1;
  auto c = static_cast<unsigned char>(st.okno.front());
  st.okno.remove_prefix(1);
  return c;
}

inline void nova_radka() { ++st.cislo_radky; }

// Consumes everything up to and including the next `stop`, counting line feeds.
bool preskoc_za(char stop) {
  for (;;) {
    if (st.okno.empty() && !dalsi_kus())
      return false;
    std::size_t at = st.okno.find(stop);
    std::string_view skipped = st.okno.substr(0, at);
    st.cislo_radky += std::count(skipped.begin(), skipped.end(), '\n');
    st.okno.remove_prefix(at == std::string_view::npos ? st.okno.size() : at + 1);
    if (at != std::string_view::npos)
      return true;
  }
}

// Texts longer than the buffer: when the 301st character to be stored has been consumed,
// reading stops and the text keeps its first 299 characters; the rest stays in the input.
constexpr std::size_t kDlouhy = 301;
constexpr int kPrilisDlouhy = -2;

// What a byte does to the text being read: it is stored, it ends the text (and is consumed),
// or it is dropped. A line feed also raises the line counter, whichever it does.
enum Trida : unsigned char { kUlozit, kKonec, kVynechat };
using Tridy = std::array<Trida, 256>;

constexpr Tridy tridy(std::string_view konec, std::string_view vynechat) {
  Tridy t{};
  for (char c : konec)
    t[static_cast<unsigned char>(c)] = kKonec;
  for (char c : vynechat)
    t[static_cast<unsigned char>(c)] = kVynechat;
  return t;
}
constexpr Tridy kJmeno = tridy(" \n>", "\r");   // a tag name
constexpr Tridy kZbytekA = tridy(">", "\r\n "); // the rest of a tag, blanks dropped
constexpr Tridy kZbytekN = tridy(">", "\r\n");  // the rest of a tag, blanks kept
constexpr Tridy kObsah = tridy("<", "\r\n");    // the content of an element

// Reads a text into `buf` up to its ending byte, which is returned; -1 at the final end of
// the input, kPrilisDlouhy when the text ran over the buffer. Runs of stored bytes are
// copied at once, so the cost is one table look-up per byte.
int cti_text(Pole<300> &buf, const Tridy &tridy) {
  buf.clear();
  std::size_t stored = 0;
  for (;;) {
    if (st.okno.empty() && !dalsi_kus())
      return -1;
    const char *p = st.okno.data();
    const std::size_t n = st.okno.size();
    std::size_t i = 0;
    while (i < n && tridy[static_cast<unsigned char>(p[i])] == kUlozit)
      ++i;
    if (i > 0) {
      std::size_t take = std::min(i, kDlouhy - stored);
      buf.append({p, take});
      stored += take;
      if (stored == kDlouhy) {
        st.okno.remove_prefix(take);
        buf.cut(299);
        return kPrilisDlouhy;
      }
    }
    if (i == n) {
      st.okno.remove_prefix(n);
      continue;
    }
    auto c = static_cast<unsigned char>(p[i]);
    st.okno.remove_prefix(i + 1);
    if (c == '\n')
      nova_radka();
    if (tridy[c] == kKonec)
      return c;
  }
}

// Removes the first "kuf:" of a tag name: at its start, or after the first character (the
// "/" of an end tag), which then becomes "/".
void bez_prefixu(Pole<300> &buf) {
  std::size_t at = buf.view().find("kuf:");
  if (at == 0) {
    buf.erase(0, 4);
  } else if (at == 1) {
    buf.set(0, '/');
    buf.erase(1, 4);
  }
}

} // namespace

int dej_element(Pole<300> &buf) {
  if (st.je_OTVZAV == 'N' && !preskoc_za('<'))
    return -1;
  st.je_OTVZAV = 'N';
  st.je_ZAVZAV = 'N';
  int end = cti_text(buf, kJmeno);
  if (end == -1)
    return -1;
  if (end == '>')
    st.je_ZAVZAV = 'A';
  bez_prefixu(buf);
  return 0;
}

int dej_zbytek_elementu(Pole<300> &buf, char rezim) {
  if (st.je_ZAVZAV == 'A')
    return 0;
  st.je_OTVZAV = 'N';
  int end = cti_text(buf, rezim == 'A' ? kZbytekA : kZbytekN);
  if (end == -1)
    return -1;
  if (end == kPrilisDlouhy)
    return 1;
  st.je_ZAVZAV = 'A';
  return buf.empty() ? 0 : 2;
}

int preskoc_zbytek_komentare() {
  st.je_OTVZAV = 'N';
  char okno[3] = {0, 0, 0}; // the last three characters, line ends left out
  for (;;) {
    int c = znak();
    if (c < 0)
      return -1;
    if (c == '\n') {
      nova_radka();
      continue;
    }
    if (c == '\r')
      continue;
    okno[0] = okno[1];
    okno[1] = okno[2];
    okno[2] = static_cast<char>(c);
    if (okno[0] == '-' && okno[1] == '-' && okno[2] == '>')
      return 0;
  }
}

int dej_obsah(Pole<300> &buf) {
  if (st.je_ZAVZAV == 'N' && !preskoc_za('>'))
    return -1;
  st.je_OTVZAV = 'N';
  st.je_ZAVZAV = 'N';
  int end = cti_text(buf, kObsah);
  if (end == -1)
    return -1;
  if (end == kPrilisDlouhy)
    return 1;
  st.je_OTVZAV = 'A';
  return 0;
}

} // namespace reader
