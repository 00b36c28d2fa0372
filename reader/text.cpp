// Text and number helpers shared by the reader and the rules. Positions are 1-based.
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "reader.hpp"

namespace reader {

namespace {

// Most values are whole numbers of a few digits: up to 19 of them fit in 64 bits. True, with
// the value, when the text is such a number.
bool kratke_cele(std::string_view text, double &out) {
  if (text.empty() || text.size() > 19)
    return false;
  std::uint64_t v = 0;
  for (char c : text) {
    const unsigned d = static_cast<unsigned char>(c) - unsigned{'0'};
    if (d > 9)
      return false;
    v = v * 10 + d;
  }
  out = static_cast<double>(v);
  return true;
}

} // namespace

int StrToDbl(double &out, std::string_view text, char typ) {
  if (kratke_cele(text, out))
    return 0;
  const bool tecka_smi = typ == 'R'; // one decimal point allowed
  bool tecka = false, minus = false;
  bool cislice = false; // any digit at all
  // The digits as one whole number while it fits in 64 bits, the point left out.
  std::uint64_t cele = 0;
  bool presne = true;
  int desetinnych = 0; // digits after the point
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c >= '0' && c <= '9') {
      cislice = true;
      desetinnych += tecka;
      presne = presne && !__builtin_mul_overflow(cele, 10u, &cele) &&
               !__builtin_add_overflow(cele, static_cast<unsigned>(c - '0'), &cele);
    } else if (c == '.' && tecka_smi && !tecka) {
      tecka = true;
    } else if ((c == '+' || c == '-') && i == 0) {
      minus = c == '-';
    } else {
      out = 0;
      return 1;
    }
  }
  // What remains is an optional sign, digits and at most one point: the subject sequence of
  // the C library's conversion, or no number at all (empty, a lone sign or point), which is 0.
  if (!cislice) {
    out = 0;
    return 0;
  }
  // A number of a few digits, whole or with a few places (an amount such as 1234.56): its
  // digits and the power of ten are both exact doubles, so their quotient is the exact value
  // rounded once, the C library's result. Longer ones are left to the library.
  static constexpr double kMocniny[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                        1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                        1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
  if (presne && cele <= std::uint64_t{1} << 53 && desetinnych <= 22) {
    const double v = static_cast<double>(cele) / kMocniny[desetinnych];
    out = minus ? -v : v;
    return 0;
  }
  if (auto v = jstrtod(text)) {
    out = *v;
    return 0;
  }
  // Beyond the range of a double: a number with a digit other than 0 before its point
  // overflows to infinity, any other rounds to zero.
  std::size_t cela = text.find('.');
  bool velke = text.substr(0, cela).find_first_of("123456789") != std::string_view::npos;
  out = velke ? HUGE_VAL : 0.0;
  out = minus ? -out : out;
  return 0;
}

std::optional<double> jstrtod(std::string_view s) {
#if defined(__cpp_lib_to_chars)
  if (s.substr(0, 1) == "+" && s.substr(1, 1) != "-") // it takes a minus sign only
    s.remove_prefix(1);
  double v;
  auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
  if (ec != std::errc() || end != s.data() + s.size())
    return std::nullopt;
  return v;
#else // a C++ library without it (the browser's) has the C locale alone: its strtod serves
  return std::strtod(std::string(s).c_str(), nullptr);
#endif
}

std::string_view jezltrim(std::string_view s) {
  std::size_t i = s.find_first_not_of(' ');
  return i == std::string_view::npos ? std::string_view() : s.substr(i);
}

char prvek_zac_kon(std::string_view start, std::string_view end) {
  if (start.empty())
    return 'A';
  return !end.empty() && stejne(end.substr(1, start.size()), start) ? 'A' : 'N';
}

std::size_t jinstr(std::string_view s, char c) {
  std::size_t i = s.find(c);
  return i == std::string_view::npos ? 0 : i + 1;
}

double jezdifdbl(double a, double b) { return std::fabs(a - b); }

} // namespace reader
