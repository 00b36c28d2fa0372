// Text and number helpers shared by the reader and the rules. Positions are 1-based.
#include <charconv>
#include <cstdlib>
#include <string>

#include "reader.hpp"

namespace reader {

int StrToDbl(double &out, std::string_view text, char typ) {
  const int points_allowed = typ == 'R' ? 1 : 0;
  int points = 0, plus = 0, minus = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    points += c == '.';
    plus += c == '+';
    minus += c == '-';
    bool sign = c == '+' || c == '-';
    if (!((c >= '0' && c <= '9') || sign || c == '.') || points > points_allowed || plus > 1 ||
        minus > 1 || (plus && minus) || (sign && i != 0)) {
      out = 0;
      return 1;
    }
  }
  // What remains is an optional sign, digits and at most one point: the subject sequence of
  // the C library's conversion, or no number at all (empty, a lone sign or point), which is 0.
  std::string_view digits = text.substr(0, 1) == "+" ? text.substr(1) : text;
  if (digits.find_first_of("0123456789") == std::string_view::npos) {
    out = 0;
    return 0;
  }
  double v = 0;
  auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), v);
  if (ec != std::errc() || end != digits.data() + digits.size())
    v = std::strtod(std::string(digits).c_str(), nullptr); // underflow or overflow: as strtod
  out = v;
  return 0;
}

std::string_view jezltrim(std::string_view s) {
  std::size_t i = s.find_first_not_of(' ');
  return i == std::string_view::npos ? std::string_view() : s.substr(i);
}

char prvek_zac_kon(std::string_view start, std::string_view end) {
  for (std::size_t k = 0; k < start.size(); ++k)
    if (k + 1 >= end.size() || end[k + 1] != start[k])
      return 'N';
  return 'A';
}

std::size_t jinstr(std::string_view s, char c) {
  std::size_t i = s.find(c);
  return i == std::string_view::npos ? 0 : i + 1;
}

double jezdifdbl(double a, double b) { return a >= b ? a - b : b - a; }

} // namespace reader
