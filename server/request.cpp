#include "request.hpp"

namespace kufd {

namespace {

int hex_digit(char c) {
  if (c >= '0' && c <= '9')
    return c - '0';
  if (c >= 'a' && c <= 'f')
    return c - 'a' + 10;
  if (c >= 'A' && c <= 'F')
    return c - 'A' + 10;
  return -1;
}

// %XX and '+' (a blank) decoded; false for a broken escape or past `limit` bytes.
bool decode(std::string_view in, std::string &out, std::size_t limit) {
  out.clear();
  for (std::size_t i = 0; i < in.size(); ++i) {
    char c = in[i];
    if (c == '+') {
      c = ' ';
    } else if (c == '%') {
      if (i + 2 >= in.size())
        return false;
      const int hi = hex_digit(in[i + 1]), lo = hex_digit(in[i + 2]);
      if (hi < 0 || lo < 0)
        return false;
      c = static_cast<char>(hi * 16 + lo);
      i += 2;
    }
    if (out.size() == limit)
      return false;
    out.push_back(c);
  }
  return true;
}

} // namespace

bool parse_query(std::string_view query, bool copy, Query &q, std::string &why) {
  bool seen_format = false, seen_w = false, seen_name = false;
  std::string key, value;
  while (!query.empty()) {
    const std::size_t amp = query.find('&');
    const std::string_view pair = query.substr(0, amp);
    query = amp == std::string_view::npos ? std::string_view() : query.substr(amp + 1);
    if (pair.empty())
      continue;
    const std::size_t eq = pair.find('=');
    if (!decode(pair.substr(0, eq), key, 16) ||
        !decode(eq == std::string_view::npos ? std::string_view() : pair.substr(eq + 1), value,
                max_name + 1)) {
      why = "a query parameter is badly escaped or too long";
      return false;
    }
    if (key == "format" && !copy) {
      static const std::pair<const char *, Format> formats[] = {{"htm", Format::htm},
                                                                {"csv", Format::csv},
                                                                {"txt", Format::txt},
                                                                {"xml", Format::xml},
                                                                {"json", Format::json}};
      bool known = false;
      for (const auto &[text, format] : formats)
        if (value == text) {
          q.format = format;
          known = true;
        }
      if (!known || seen_format) {
        why = seen_format ? "format is given twice" : "format is one of htm, csv, txt, xml, json";
        return false;
      }
      seen_format = true;
    } else if (key == "w") {
      if ((value != "0" && value != "1") || seen_w) {
        why = seen_w ? "w is given twice" : "w is 0 or 1";
        return false;
      }
      q.suppress_warnings = value == "1";
      seen_w = true;
    } else if (key == "name") {
      bool control = false;
      for (const char c : value)
        control = control || static_cast<unsigned char>(c) < 0x20 || c == 0x7f;
      if (seen_name || value.empty() || value.size() > max_name || control) {
        why =
            seen_name ? "name is given twice" : "name is 1 to 255 bytes with no control character";
        return false;
      }
      q.name = value;
      seen_name = true;
    } else {
      why = copy ? "the output copy takes only w and name"
                 : "the check takes only format, w and name";
      return false;
    }
  }
  return true;
}

bool authorized(std::string_view header, std::string_view token) {
  if (token.empty())
    return true;
  constexpr std::string_view scheme = "bearer ";
  bool ok = header.size() > scheme.size();
  for (std::size_t i = 0; ok && i < scheme.size(); ++i)
    ok = (header[i] | 0x20) == scheme[i];
  const std::string_view given = ok ? header.substr(scheme.size()) : std::string_view();
  // Every byte of the longer of the two is looked at, whatever differs first.
  volatile unsigned char differ = given.size() == token.size() ? 0 : 1;
  const std::size_t n = given.size() > token.size() ? given.size() : token.size();
  for (std::size_t i = 0; i < n; ++i) {
    const auto a = static_cast<unsigned char>(i < given.size() ? given[i] : 0);
    const auto b = static_cast<unsigned char>(i < token.size() ? token[i] : 0);
    differ = static_cast<unsigned char>(differ | (a ^ b));
  }
  return ok && differ == 0;
}

const char *content_type(Format f) {
  switch (f) {
  case Format::htm:
    return "text/html; charset=windows-1250";
  case Format::csv:
    return "text/csv; charset=windows-1250";
  case Format::txt:
    return "text/plain; charset=windows-1250";
  case Format::json:
    return "application/json";
  case Format::xml:
  case Format::copy:
    break;
  }
  return "application/xml; charset=windows-1250";
}

} // namespace kufd
