// Small formatted texts: integers, the fixed-point numbers of error rows without printf, and
// the escaping and alignment of the texts that the protocol formats write.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdarg>

#include "format.hpp"

namespace report {

namespace {

// The pairs of decimal digits "00" to "99".
constexpr auto kDvojice = [] {
  std::array<char, 200> t{};
  for (int i = 0; i < 100; ++i) {
    t[static_cast<std::size_t>(2 * i)] = static_cast<char>('0' + i / 10);
    t[static_cast<std::size_t>(2 * i + 1)] = static_cast<char>('0' + i % 10);
  }
  return t;
}();

// The decimal digits of q at the end of the buffer that ends at `d`, with the point before
// the last `prec` of them and at least one digit before the point; two digits at a time.
// Returns the first byte.
template <class U> char *cislice_s_teckou(char *d, U q, int prec) {
  auto dvojice = [&](U r) {
    d -= 2;
    std::memcpy(d, &kDvojice[static_cast<std::size_t>(2 * r)], 2);
  };
  int k = prec;
  if (k % 2 != 0) {
    *--d = static_cast<char>('0' + static_cast<int>(q % 10));
    q /= 10;
    --k;
  }
  for (; k > 0; k -= 2) {
    dvojice(q % 100);
    q /= 100;
  }
  if (prec > 0)
    *--d = '.';
  for (; q >= 100; q /= 100)
    dvojice(q % 100);
  if (q >= 10)
    dvojice(q);
  else
    *--d = static_cast<char>('0' + static_cast<int>(q));
  return d;
}

} // namespace

Text::Text(std::int64_t v) {
  char digits[24];
  auto u = v < 0 ? 0 - static_cast<std::uint64_t>(v) : static_cast<std::uint64_t>(v);
  char *d = cislice_s_teckou(digits + sizeof digits, u, 0);
  if (v < 0)
    *--d = '-';
  n_ = static_cast<std::size_t>(digits + sizeof digits - d);
  std::memcpy(b_, d, n_);
}

std::size_t pevna_carka(char *out, double v, int width, int prec) {
  __extension__ typedef unsigned __int128 u128;
  if (prec < 0 || prec > 9 || !std::isfinite(v) || std::fabs(v) >= 0x1p63)
    return 0;
  // |v| = m * 2^e exactly, m the significand as an integer below 2^53; then |v| * 10^prec =
  // m * 10^prec * 2^e, rounded to an integer q, half to even.
  std::uint64_t bits; // the double's bits (std::bit_cast is missing from the browser's library)
  std::memcpy(&bits, &v, sizeof bits);
  const int exp = static_cast<int>((bits >> 52) & 0x7ff);
  std::uint64_t m = bits & ((std::uint64_t{1} << 52) - 1);
  int e = -1074; // subnormal: no hidden bit
  if (exp != 0) {
    m |= std::uint64_t{1} << 52;
    e = exp - 1075;
  }
  static constexpr std::uint64_t kMocniny[] = {1,      10,      100,      1000,      10000,
                                               100000, 1000000, 10000000, 100000000, 1000000000};
  const std::uint64_t p10 = kMocniny[prec];
  u128 q = 0;
  const double a = std::fabs(v);
  if (const auto cela = static_cast<std::uint64_t>(a);
      static_cast<double>(cela) == a && cela < std::uint64_t{1} << 34) {
    q = cela * p10; // a whole number, nothing to round (most values of error rows); below 2^64
  } else if (u128 big = static_cast<u128>(m) * p10; e >= 0) {
    q = big << e; // |v| < 2^63 and 10^prec < 2^30: below 2^93
  } else if (-e < 120) {
    int s = -e;
    q = big >> s;
    u128 rest = big - (q << s), half = static_cast<u128>(1) << (s - 1);
    if (rest > half || (rest == half && (q & 1) != 0))
      ++q;
  } // else below 2^83 / 2^120: rounds to 0
  // The digits end at the middle of a row of blanks (28 digits at most, the point and the
  // sign); the 64 bytes from the first one that goes out are copied whole, the padding with them.
  char radek[128];
#if defined(__SSE2__)
  for (std::size_t i = 0; i < sizeof radek; i += 16) // no call for a row of this size
    _mm_storeu_si128(reinterpret_cast<__m128i *>(radek + i), _mm_set1_epi8(' '));
#else
  std::memset(radek, ' ', sizeof radek);
#endif
  char *const konec = radek + 64;
  char *d = q >> 64 == 0 ? cislice_s_teckou(konec, static_cast<std::uint64_t>(q), prec)
                         : cislice_s_teckou(konec, q, prec);
  if ((bits >> 63) != 0)
    *--d = '-';
  const auto len = static_cast<std::size_t>(konec - d);
  const std::size_t n =
      width > 0 && static_cast<std::size_t>(width) > len ? static_cast<std::size_t>(width) : len;
  if (n > 64)
    return 0;
  std::memcpy(out, konec - n, 64);
  return n;
}

Text Text::f(const char *fmt, ...) {
  Text t;
  constexpr std::size_t kMax = sizeof t.b_ - 1;
  va_list ap, znovu;
  va_start(ap, fmt);
  va_copy(znovu, ap);
  std::size_t n = 0;
  const char *c = fmt;
  for (; *c != '\0'; ++c) {
    if (*c != '%' || c[1] == '%') {
      c += *c == '%';
      if (n < kMax)
        t.b_[n++] = *c;
      continue;
    }
    // "%<width>.<prec>f", the format of the values in error rows, is written here; a format
    // with any other conversion is left to printf whole.
    const char *k = c + 1;
    int width = 0, prec = 0;
    for (; *k >= '0' && *k <= '9'; ++k)
      width = width * 10 + (*k - '0');
    if (*k != '.')
      break;
    for (++k; *k >= '0' && *k <= '9'; ++k)
      prec = prec * 10 + (*k - '0');
    if (*k != 'f')
      break;
    c = k;
    const double v = va_arg(ap, double);
    std::size_t m = kMax - n >= 64 ? pevna_carka(t.b_ + n, v, width, prec) : 0;
    if (m == 0) {
      char piece[400]; // room for any double in "%f"
      int w = std::snprintf(piece, sizeof piece, "%*.*f", width, prec, v);
      m = std::min({w < 0 ? 0 : static_cast<std::size_t>(w), sizeof piece - 1, kMax - n});
      std::memcpy(t.b_ + n, piece, m);
    }
    n += m;
  }
  if (*c != '\0') {
    int w = std::vsnprintf(t.b_, sizeof t.b_, fmt, znovu);
    n = w < 0 ? 0 : std::min(static_cast<std::size_t>(w), kMax);
  }
  va_end(znovu);
  va_end(ap);
  t.n_ = n;
  return t;
}

void put_markup_text(Sink &out, std::string_view s) {
  if (!ma_zvlastni(s, 1)) {
    out.put(s);
    return;
  }
  std::size_t from = 0;
  for (std::size_t i = 0; i < s.size(); ++i) {
    std::string_view entity;
    switch (s[i]) {
    case '&':
      entity = "&amp;";
      break;
    case '<':
      entity = "&lt;";
      break;
    case '>':
      entity = "&gt;";
      break;
    case '"':
      entity = "&quot;";
      break;
    default:
      continue;
    }
    out.put(s.substr(from, i - from));
    out.put(entity);
    from = i + 1;
  }
  out.put(s.substr(from));
}

void put_right(Sink &out, std::string_view s, std::size_t width) {
  static constexpr std::string_view kBlanks = "                                ";
  for (std::size_t pad = s.size() < width ? width - s.size() : 0; pad > 0;) {
    std::size_t k = pad < kBlanks.size() ? pad : kBlanks.size();
    out.put(kBlanks.substr(0, k));
    pad -= k;
  }
  out.put(s);
}

} // namespace report
