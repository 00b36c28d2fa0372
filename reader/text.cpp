// Text and number helpers shared by the reader and the rules. Positions are 1-based.
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "reader.hpp"

namespace reader {

int StrToDbl(double &out, std::string_view text, char typ) {
  // Most values are whole numbers of a few digits. At most 19 digits are exact in 64 bits,
  // and their conversion to a double rounds once, as the C library's does.
  if (text.size() <= 19) {
    std::uint64_t cele = 0;
    std::size_t i = 0;
    for (; i < text.size(); ++i) {
      auto d = static_cast<unsigned>(text[i] - '0');
      if (d > 9)
        break;
      cele = cele * 10 + d;
    }
    if (i == text.size()) {
      out = static_cast<double>(cele);
      return 0;
    }
  }
  const int points_allowed = typ == 'R' ? 1 : 0;
  int points = 0;
  bool minus = false; // a minus sign, which only the first place may hold
  // The digits are gathered on the way: a number of at most 15 significant digits and at most
  // 22 decimals is then exactly the quotient of two exact doubles, correctly rounded.
  std::uint64_t mantissa = 0;
  int digits = 0, decimals = 0;
  bool cislice = false; // any digit at all
  for (std::size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c >= '0' && c <= '9') {
      cislice = true;
      if (mantissa > 0 || c != '0')
        ++digits;
      if (digits <= 15)
        mantissa = mantissa * 10 + static_cast<std::uint64_t>(c - '0');
      decimals += points;
    } else if (c == '.' && points < points_allowed) {
      ++points;
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
  if (digits <= 15 && decimals <= 22) {
    static constexpr double kMocniny[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                          1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                          1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
    double v = static_cast<double>(mantissa) / kMocniny[decimals];
    out = minus ? -v : v;
    return 0;
  }
  double v = 0;
  if (!jstrtod(text, v)) {
    // Beyond the range of a double: a number with a digit other than 0 before its point
    // overflows to infinity, any other rounds to zero.
    std::size_t cela = text.find('.');
    bool velke = text.substr(0, cela).find_first_of("123456789") != std::string_view::npos;
    v = velke ? HUGE_VAL : 0.0;
    v = minus ? -v : v;
  }
  out = v;
  return 0;
}

bool jstrtod(std::string_view s, double &out) {
#if defined(__cpp_lib_to_chars)
  if (s.substr(0, 1) == "+" && s.substr(1, 1) != "-") // it takes a minus sign only
    s.remove_prefix(1);
  auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), out);
  return ec == std::errc() && end == s.data() + s.size();
#else // a C++ library without it (the browser's) has the C locale alone: its strtod serves
  out = std::strtod(std::string(s).c_str(), nullptr);
  return true;
#endif
}

std::string_view jezltrim(std::string_view s) {
  std::size_t i = s.find_first_not_of(' ');
  return i == std::string_view::npos ? std::string_view() : s.substr(i);
}

char prvek_zac_kon(std::string_view start, std::string_view end) {
  if (start.empty())
    return 'A';
  return end.size() > start.size() && stejne(end.substr(1, start.size()), start) ? 'A' : 'N';
}

std::size_t jinstr(std::string_view s, char c) {
  std::size_t i = s.find(c);
  return i == std::string_view::npos ? 0 : i + 1;
}

double jezdifdbl(double a, double b) { return a >= b ? a - b : b - a; }

} // namespace reader
