// The markup scanner: hands the state machine the next tag name, the rest of a start tag, the
// content up to the next tag, or the end of a comment, and counts the input lines. Line feeds
// raise the line counter and are never stored; carriage returns are ignored everywhere.
#include <algorithm>
#include <array>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#include <sys/stat.h>

#include "reader.hpp"

namespace reader {

std::FILE *otevri_pro_cteni(const std::string &path, std::uint64_t *size) {
  std::FILE *f = std::fopen(path.c_str(), "rb");
  if (f == nullptr)
    return nullptr;
  struct stat info {};
  if (fstat(fileno(f), &info) != 0 || S_ISDIR(info.st_mode)) {
    std::fclose(f);
    return nullptr;
  }
  if (size != nullptr)
    *size = info.st_size > 0 ? static_cast<std::uint64_t>(info.st_size) : 0;
  return f;
}

std::unique_ptr<Input> Input::open(const std::string &path, std::size_t buffer_size) {
  std::uint64_t size = 0;
  std::FILE *f = otevri_pro_cteni(path, &size);
  if (f == nullptr)
    return nullptr;
  std::setvbuf(f, nullptr, _IONBF, 0); // our own buffer is the only one
  auto in = std::make_unique<Input>(f, buffer_size);
  in->size_ = size;
  return in;
}

Input::~Input() {
  if (f_ != nullptr)
    std::fclose(f_);
}

std::string_view Input::fill() {
  if (zdroj_ != nullptr) {
    started_ = true;
    if (dosel_)
      return {};
    const std::ptrdiff_t n = zdroj_(buf_.data(), buf_.size(), kontext_);
    if (n < 0 || static_cast<std::size_t>(n) > buf_.size())
      throw ChybaCteni{};
    dosel_ = n == 0;
    return {buf_.data(), static_cast<std::size_t>(n)};
  }
  if (f_ == nullptr) {
    std::string_view piece = memory_.substr(0, piece_);
    memory_.remove_prefix(piece.size());
    started_ = true;
    return piece;
  }
  std::size_t n = std::fread(buf_.data(), 1, buf_.size(), f_);
  if (n == 0 && std::ferror(f_))
    throw ChybaCteni{};
  started_ = true;
  return {buf_.data(), n};
}

namespace {

// Makes `okno` non-empty, moving on to the next listed input at the end of one.
// False when the input has ended for good.
bool dalsi_kus(State &s) {
  for (;;) {
    if (s.insoub != nullptr) {
      if (!s.insoub->started())
        s.prubeh.velikost += s.insoub->size();
      s.okno = s.insoub->fill();
      s.prubeh.precteno += s.okno.size();
      if (!s.okno.empty()) {
        if (s.hlaseni != nullptr)
          s.hlaseni(s.hlaseni_kontext, s.prubeh, s.cislo_radky);
        return true;
      }
    }
    if (s.konec_vstupu == nullptr || !s.konec_vstupu(s.konec_kontext, s))
      return false;
  }
}

// The next byte of the input, or -1 at its final end.
inline int znak(State &s) {
  if (s.okno.empty() && !dalsi_kus(s))
    return -1;
  auto c = static_cast<unsigned char>(s.okno.front());
  s.okno.remove_prefix(1);
  return c;
}

// Consumes everything up to and including the next `stop`, counting line feeds.
bool preskoc_za(State &s, char stop) {
  for (;;) {
    if (s.okno.empty() && !dalsi_kus(s))
      return false;
    std::size_t at = 0; // most often the very next bytes: a line end and the "<"
    while (at < s.okno.size() && at < 8 && s.okno[at] != stop)
      ++at;
    if (at == s.okno.size() || at == 8)
      at = s.okno.find(stop, at);
    std::string_view skipped = s.okno.substr(0, at);
    s.cislo_radky += std::count(skipped.begin(), skipped.end(), '\n');
    s.okno.remove_prefix(at == std::string_view::npos ? s.okno.size() : at + 1);
    if (at != std::string_view::npos)
      return true;
  }
}

// Texts longer than the buffer: when the 301st character to be stored has been consumed,
// reading stops and the text keeps its first 299 characters; the rest stays in the input.
constexpr int kPrilisDlouhy = -2;

// What a byte does to the text being read: it is stored, it ends the text (and is consumed),
// or it is dropped. A line feed also raises the line counter, whichever it does. A NUL is
// stored, and the first one is remembered: the text handed on ends there.
enum Trida : unsigned char { kUlozit, kKonec, kVynechat, kNul };
struct Tridy {
  std::array<Trida, 256> trida{};
  char zvlastni[4]{}; // the bytes that are not stored (at most four)
  int pocet = 0;
};

constexpr Tridy tridy(std::string_view konec, std::string_view vynechat) {
  Tridy t;
  t.trida[0] = kNul;
  for (char c : konec)
    t.trida[static_cast<unsigned char>(c)] = kKonec, t.zvlastni[t.pocet++] = c;
  for (char c : vynechat)
    t.trida[static_cast<unsigned char>(c)] = kVynechat, t.zvlastni[t.pocet++] = c;
  return t;
}
constexpr Tridy kJmeno = tridy(" \n>", "\r");   // a tag name
constexpr Tridy kZbytekA = tridy(">", "\r\n "); // the rest of a tag, blanks dropped
constexpr Tridy kZbytekN = tridy(">", "\r\n");  // the rest of a tag, blanks kept
constexpr Tridy kObsah = tridy("<", "\r\n");    // the content of an element

#if defined(__SSE2__)
// Copies stored bytes sixteen at a time while the window and the buffer have room for it;
// returns the number of bytes taken from `p`, up to the first byte that is not stored, and
// whether it found one.
template <const Tridy &t>
inline std::size_t po_sestnacti(const char *p, std::size_t n, char *out, std::size_t room,
                                bool &hit) {
  const __m128i s0 = _mm_set1_epi8(t.zvlastni[0]), s1 = _mm_set1_epi8(t.zvlastni[1]);
  const __m128i s2 = _mm_set1_epi8(t.zvlastni[2]), s3 = _mm_set1_epi8(t.zvlastni[t.pocet - 1]);
  const __m128i nul = _mm_setzero_si128();
  std::size_t i = 0;
  while (i + 16 <= n && i + 16 <= room) {
    __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p + i));
    __m128i zvl = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, s0), _mm_cmpeq_epi8(v, s1)),
                               _mm_or_si128(_mm_cmpeq_epi8(v, s2), _mm_cmpeq_epi8(v, s3)));
    zvl = _mm_or_si128(zvl, _mm_cmpeq_epi8(v, nul));
    _mm_storeu_si128(reinterpret_cast<__m128i *>(out + i), v);
    auto mask = static_cast<unsigned>(_mm_movemask_epi8(zvl));
    if (mask != 0) {
      hit = true;
      return i + static_cast<std::size_t>(__builtin_ctz(mask));
    }
    i += 16;
  }
  return i;
}
#endif

// What a text read ended with, and how many characters were stored: a NUL counts among them
// although the text handed on ends at it.
struct Precteno {
  int konec;           // the ending byte, -1 at the final end, kPrilisDlouhy
  std::size_t ulozeno; // characters stored
};

// A text ends at its first NUL byte: the NUL counted toward the buffer's limit while it was
// read, but neither it nor what follows it is part of the text handed on.
inline Precteno po_nulu(Pole<300> &buf, std::size_t stored, std::size_t nul, int end) {
  buf.resize(std::min(stored, nul));
  return {end, stored};
}

// Reads a text into `buf` up to its ending byte; -1 at the final end of the input,
// kPrilisDlouhy when the text ran over the buffer. Stored bytes are copied as they are
// scanned. One copy per class table, whose bytes are then constants. The window is read
// through locals: a store of a byte could otherwise alias the state and force it to be reread.
template <const Tridy &tridy> Precteno cti_text(State &s, Pole<300> &buf) {
  char *out = buf.data();
  std::size_t stored = 0;
  std::size_t nul = Pole<300>::capacity; // where the first NUL was stored
  for (;;) {
    if (s.okno.empty() && !dalsi_kus(s))
      return po_nulu(buf, stored, nul, -1);
    const char *p = s.okno.data();
    const std::size_t n = s.okno.size();
    const std::size_t lim = std::min(n, Pole<300>::capacity - stored);
    std::size_t i = 0;
#if defined(__SSE2__)
    bool hit = false;
    i = po_sestnacti<tridy>(p, n, out + stored, Pole<300>::capacity - stored, hit);
    if (!hit)
#endif
      while (i < lim && tridy.trida[static_cast<unsigned char>(p[i])] == kUlozit) {
        out[stored + i] = p[i];
        ++i;
      }
    stored += i;
    if (i == n) {
      s.okno = {};
      continue;
    }
    auto c = static_cast<unsigned char>(p[i]);
    s.okno = std::string_view(p + i + 1, n - i - 1);
    if (tridy.trida[c] == kNul && i < lim) { // room for it: stored like any byte
      nul = std::min(nul, stored);
      out[stored++] = '\0';
      continue;
    }
    if (tridy.trida[c] == kUlozit || tridy.trida[c] == kNul) // the 301st: the buffer is full
      return po_nulu(buf, 299, nul, kPrilisDlouhy);
    if (c == '\n')
      ++s.cislo_radky;
    if (tridy.trida[c] == kKonec)
      return po_nulu(buf, stored, nul, c);
  }
}

// Removes the first "kuf:" of a tag name: at its start, or after the first character (the
// "/" of an end tag), which then becomes "/".
// Where the "kuf:" that a tag name loses stands: 0, 1, or 2 for none. Only a first occurrence
// at position 0 or 1 changes the name.
std::size_t prefix_na(std::string_view name) {
  return stejne(name.substr(0, 4), "kuf:")                      ? 0
         : name.size() > 1 && stejne(name.substr(1, 4), "kuf:") ? 1
                                                                : 2;
}

void bez_prefixu(Pole<300> &buf) {
  std::size_t at = prefix_na(buf.view());
  if (at == 0) {
    buf.erase(0, 4);
  } else if (at == 1) {
    buf.set(0, '/');
    buf.erase(1, 4);
  }
}

} // namespace

int dej_element(State &s, Pole<300> &buf) {
  if (s.je_OTVZAV == 'N' && !preskoc_za(s, '<'))
    return -1;
  s.je_OTVZAV = 'N';
  s.je_ZAVZAV = 'N';
  const int end = cti_text<kJmeno>(s, buf).konec;
  if (end == -1)
    return -1;
  if (end == '>')
    s.je_ZAVZAV = 'A';
  bez_prefixu(buf);
  return 0;
}

int dej_zbytek_elementu(State &s, Pole<300> &buf, char rezim) {
  if (s.je_ZAVZAV == 'A')
    return 0;
  s.je_OTVZAV = 'N';
  const Precteno t = rezim == 'A' ? cti_text<kZbytekA>(s, buf) : cti_text<kZbytekN>(s, buf);
  if (t.konec == -1)
    return -1;
  if (t.konec == kPrilisDlouhy)
    return 1;
  s.je_ZAVZAV = 'A';
  return t.ulozeno == 0 ? 0 : 2; // a stored NUL is a rest, though its text is empty
}

#if defined(__SSE2__)
namespace {

// The bytes of the 16 * N from `v` that equal `c`, one bit each.
template <std::size_t N> inline std::uint64_t maska(const __m128i (&v)[N], char c) {
  const __m128i x = _mm_set1_epi8(c);
  std::uint64_t m = 0;
  for (std::size_t i = 0; i < N; ++i)
    m |= std::uint64_t{static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(v[i], x)))}
         << (16 * i);
  return m;
}

// The bytes of the 16 * N from `v` below 32 (line ends, NUL, tabs and the other controls),
// one bit each.
template <std::size_t N> inline std::uint64_t ridici(const __m128i (&v)[N]) {
  const __m128i x = _mm_set1_epi8(31);
  std::uint64_t m = 0;
  for (std::size_t i = 0; i < N; ++i)
    m |= std::uint64_t{static_cast<unsigned>(
             _mm_movemask_epi8(_mm_cmpeq_epi8(_mm_min_epu8(v[i], x), v[i])))}
         << (16 * i);
  return m;
}

// The first set bit of `m` at or after bit `od`, or `konec` (64 at most).
inline int prvni(std::uint64_t m, int od, int konec) {
  if (od >= konec)
    return konec;
  m &= ~std::uint64_t{0} << od;
  return m == 0 ? konec : __builtin_ctzll(m);
}

// The element in the 16 * N bytes from `p`: 1 when found there, 0 when it is to be read by
// parts, -1 when it may end past them.
template <std::size_t N> int v_bajtech(const char *p, CelyPrvek &c) {
  constexpr int kKonec = 16 * static_cast<int>(N);
  __m128i v[N];
  for (std::size_t i = 0; i < N; ++i)
    v[i] = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p + 16 * i));
  const std::uint64_t lt = maska(v, '<'), gt = maska(v, '>'), lf = maska(v, '\n');
  const std::uint64_t zvl = ridici(v); // never in a text here: a line end, a NUL, a tab...
  const std::uint64_t jmeno = zvl | gt | maska(v, ' '); // ends a name
  const std::uint64_t dvojtecka = maska(v, ':');
  const int z = prvni(lt, 0, kKonec);
  const int j = prvni(jmeno, z + 1, kKonec);    // ">" after the name
  const int o = prvni(zvl | lt, j + 1, kKonec); // "<" after the content
  const int k = prvni(jmeno, o + 1, kKonec);    // ">" after the end name
  if (z == kKonec || j == kKonec || o == kKonec || k == kKonec)
    return -1;
  if (!((gt >> j) & 1) || j == z + 1 || !((lt >> o) & 1) || !((gt >> k) & 1) || k == o + 1)
    return 0;
  if (j - z - 1 > 50) // a longer name is cut to 50 characters when read by parts
    return 0;
  auto u = [](int a, int b) { return static_cast<std::size_t>(b - a); };
  c.radky = 0;
  for (std::uint64_t m = lf & ((std::uint64_t{1} << z) - 1); m != 0; m &= m - 1)
    ++c.radky;
  c.elem = std::string_view(p + z + 1, u(z + 1, j));
  c.obsah = std::string_view(p + j + 1, u(j + 1, o));
  c.konec = std::string_view(p + o + 1, u(o + 1, k));
  c.cely = std::string_view(p + z, u(z, k + 1));
  c.delka = u(0, k + 1);
  // Only a name with a colon in it may hold "kuf:", which the reading by parts removes.
  auto mezi = [&](int a, int b) { return (dvojtecka >> a) & ((std::uint64_t{1} << (b - a)) - 1); };
  const bool dvojtecky = mezi(z + 1, j) != 0 || mezi(o + 1, k) != 0;
  if (dvojtecky && (prefix_na(c.elem) != 2 || prefix_na(c.konec) != 2))
    return 0;
  return 1;
}

} // namespace

bool nahled_prvku(const State &s, CelyPrvek &c) {
  // The element lies in the 32 or the 64 bytes from the window's start, or it is read by
  // parts; sixteen more bytes are read past each name to compare it.
  if (s.je_OTVZAV != 'N' || s.okno.size() < 80)
    return false;
  int n = v_bajtech<2>(s.okno.data(), c);
  if (n < 0)
    n = v_bajtech<4>(s.okno.data(), c);
  if (n <= 0)
    return false;
  // Whether the end name is "/" and the name (or begins so): sixteen bytes compared at once.
  if (c.elem.size() <= 16) {
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i *>(c.elem.data()));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i *>(c.konec.data() + 1));
    const auto stejnych = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(a, b)));
    const unsigned treba = (1u << c.elem.size()) - 1;
    c.es302 = c.konec.size() <= c.elem.size() || (stejnych & treba) != treba;
  } else {
    c.es302 = prvek_zac_kon(c.elem, c.konec) == 'N';
  }
  return true;
}
#else
bool nahled_prvku(const State &, CelyPrvek &) { return false; }
#endif

void prijmi_prvek(State &s, const CelyPrvek &c) {
  s.okno.remove_prefix(c.delka);
  s.cislo_radky += c.radky;
  s.je_OTVZAV = 'N';
  s.je_ZAVZAV = 'A';
  // buf_element is left as it was: the next read by parts begins with the next name, which
  // replaces it before it is looked at.
}

int preskoc_zbytek_komentare(State &s) {
  s.je_OTVZAV = 'N';
  char okno[3] = {0, 0, 0}; // the last three characters, line ends left out
  for (;;) {
    int c = znak(s);
    if (c < 0)
      return -1;
    if (c == '\n') {
      ++s.cislo_radky;
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

int dej_obsah(State &s, Pole<300> &buf) {
  if (s.je_ZAVZAV == 'N' && !preskoc_za(s, '>'))
    return -1;
  s.je_OTVZAV = 'N';
  s.je_ZAVZAV = 'N';
  const int end = cti_text<kObsah>(s, buf).konec;
  if (end == -1)
    return -1;
  if (end == kPrilisDlouhy)
    return 1;
  s.je_OTVZAV = 'A';
  return 0;
}

} // namespace reader
