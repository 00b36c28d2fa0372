// Error rows in the four protocol formats, the counts by weight and by code, and the sinks.
#include "report.hpp"

#include <cmath>
#include <cstdarg>

#include "cp1250.hpp"

namespace report {

State st;

void reset() { st = State{}; }

bool Sink::flush() {
  if (used_ > 0) {
    if (ok_ && !emit({buf_.data(), used_}))
      ok_ = false;
    used_ = 0;
  }
  return ok_;
}

void Sink::spill(std::string_view s) {
  flush();
  if (s.size() >= buf_.size()) {
    if (ok_ && !emit(s))
      ok_ = false;
    return;
  }
  std::memcpy(buf_.data(), s.data(), s.size());
  used_ = s.size();
}

std::unique_ptr<FileSink> FileSink::adopt(std::FILE *f) {
  std::setvbuf(f, nullptr, _IONBF, 0); // the sink buffers already
  return std::make_unique<FileSink>(f, true);
}

FileSink::~FileSink() {
  if (f_ != nullptr) {
    flush();
    if (owned_)
      std::fclose(f_);
  }
}

bool FileSink::emit(std::string_view bytes) {
  return std::fwrite(bytes.data(), 1, bytes.size(), f_) == bytes.size();
}

bool FileSink::close() {
  bool good = flush();
  if (f_ != nullptr) {
    if (owned_)
      good = std::fclose(f_) == 0 && good;
    else
      good = std::fflush(f_) == 0 && good;
    f_ = nullptr;
  }
  return good;
}

Text::Text(std::int64_t v) {
  char digits[24];
  char *d = digits + sizeof digits;
  auto u = v < 0 ? 0 - static_cast<std::uint64_t>(v) : static_cast<std::uint64_t>(v);
  do
    *--d = static_cast<char>('0' + u % 10);
  while ((u /= 10) != 0);
  if (v < 0)
    *--d = '-';
  n_ = static_cast<std::size_t>(digits + sizeof digits - d);
  std::memcpy(b_, d, n_);
}

std::size_t pevna_carka(char *out, double v, int width, int prec) {
  __extension__ typedef unsigned __int128 u128;
  if (prec < 0 || prec > 9 || !std::isfinite(v) || std::fabs(v) >= 0x1p63)
    return 0;
  // |v| = m * 2^e exactly, with m an integer below 2^53; then |v| * 10^prec = m * 10^prec *
  // 2^e, rounded to an integer q, half to even.
  int e = 0;
  double frac = std::frexp(std::fabs(v), &e);
  auto m = static_cast<std::uint64_t>(std::ldexp(frac, 53));
  e -= 53;
  std::uint64_t p10 = 1;
  for (int i = 0; i < prec; ++i)
    p10 *= 10;
  u128 big = static_cast<u128>(m) * p10, q = 0;
  if (e >= 0) {
    q = big << e; // |v| < 2^63 and 10^prec < 2^30: below 2^93
  } else if (-e < 120) {
    int s = -e;
    q = big >> s;
    u128 rest = big - (q << s), half = static_cast<u128>(1) << (s - 1);
    if (rest > half || (rest == half && (q & 1) != 0))
      ++q;
  }
  // The digits of q, with the point before the last `prec` of them and at least one digit
  // before the point.
  char digits[48];
  char *d = digits + sizeof digits;
  int n = 0;
  do {
    *--d = static_cast<char>('0' + static_cast<int>(q % 10));
    q /= 10;
    if (++n == prec)
      *--d = '.';
  } while (q != 0 || n <= prec);
  if (std::signbit(v))
    *--d = '-';
  auto len = static_cast<std::size_t>(digits + sizeof digits - d);
  std::size_t pad = width > 0 && static_cast<std::size_t>(width) > len
                        ? static_cast<std::size_t>(width) - len
                        : 0;
  if (pad + len > 64)
    return 0;
  std::memset(out, ' ', pad);
  std::memcpy(out + pad, d, len);
  return pad + len;
}

namespace {

// True when every conversion of `fmt` is "%<width>.<prec>f" (or "%%"), the formats of the
// values in error rows, which pevna_carka writes without printf.
bool jen_pevna_carka(const char *fmt) {
  for (const char *c = fmt; *c != '\0'; ++c) {
    if (*c != '%')
      continue;
    if (*++c == '%')
      continue;
    while (*c >= '0' && *c <= '9')
      ++c;
    if (*c != '.')
      return false;
    for (++c; *c >= '0' && *c <= '9';)
      ++c;
    if (*c != 'f')
      return false;
  }
  return true;
}

} // namespace

Text Text::f(const char *fmt, ...) {
  Text t;
  va_list ap;
  va_start(ap, fmt);
  if (!jen_pevna_carka(fmt)) {
    int n = std::vsnprintf(t.b_, sizeof t.b_, fmt, ap);
    va_end(ap);
    t.n_ = n < 0 ? 0 : std::min(static_cast<std::size_t>(n), sizeof t.b_ - 1);
    return t;
  }
  std::size_t n = 0;
  for (const char *c = fmt; *c != '\0' && n < sizeof t.b_ - 1; ++c) {
    if (*c != '%' || *++c == '%') {
      t.b_[n++] = *c;
      continue;
    }
    int width = 0, prec = 0;
    for (; *c != '.'; ++c)
      width = width * 10 + (*c - '0');
    for (++c; *c != 'f'; ++c)
      prec = prec * 10 + (*c - '0');
    double v = va_arg(ap, double);
    char piece[400]; // room for any double in "%f"
    std::size_t k = pevna_carka(piece, v, width, prec);
    if (k == 0) {
      int w = std::snprintf(piece, sizeof piece, "%*.*f", width, prec, v);
      k = w < 0 ? 0 : std::min(static_cast<std::size_t>(w), sizeof piece - 1);
    }
    k = std::min(k, sizeof t.b_ - 1 - n);
    std::memcpy(t.b_ + n, piece, k);
    n += k;
  }
  va_end(ap);
  t.n_ = n;
  return t;
}

namespace {

// Bytes that a column must not hold as they are: bit 1 in HTML and XML, bit 2 in CSV.
constexpr auto kZvlastni = [] {
  std::array<std::uint8_t, 256> t{};
  for (char c : {'&', '<', '>', '"'})
    t[static_cast<unsigned char>(c)] |= 1;
  for (char c : {';', '"', '\r', '\n'})
    t[static_cast<unsigned char>(c)] |= 2;
  return t;
}();

bool ma_zvlastni(std::string_view s, std::uint8_t bit) {
  std::uint8_t any = 0;
  for (char c : s)
    any |= kZvlastni[static_cast<unsigned char>(c)];
  return (any & bit) != 0;
}

} // namespace

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

namespace {

// A CSV column: inside double quotes, each quote doubled, when it holds ; " CR or LF.
void put_csv_column(Sink &out, std::string_view s) {
  if (!ma_zvlastni(s, 2)) {
    out.put(s);
    return;
  }
  out.put('"');
  for (char c : s) {
    if (c == '"')
      out.put('"');
    out.put(c);
  }
  out.put('"');
}

void write_row(const Nalez &col) {
  Sink &out = *st.errsoub;
  switch (st.sw_err) {
  case kCsv:
    for (std::size_t i = 0; i < col.size(); ++i) {
      if (i > 0)
        out.put(';');
      put_csv_column(out, col[i]);
    }
    out.put('\n');
    break;
  case kText: {
    static constexpr std::size_t width[8] = {9, 5, 9, 9, 7, 10, 10, 30};
    static constexpr std::string_view gap[8] = {"", "  ", " ", "  ", " ", "  ", "  ", "  "};
    for (std::size_t i = 0; i < col.size(); ++i) {
      out.put(gap[i]);
      put_right(out, col[i], width[i]);
    }
    out.put('\n');
    break;
  }
  case kHtml: {
    bool bold = col[1].substr(0, 1) == "E";
    out.put("<tr>\n");
    for (std::size_t i = 0; i < col.size(); ++i) {
      out.put(i == 1 && bold ? "<td><b>&nbsp;" : "<td>&nbsp;");
      put_markup_text(out, col[i]);
      out.put(i == 1 && bold ? "</b></td>\n" : "</td>\n");
    }
    break;
  }
  case kXml: {
    static constexpr std::string_view tag[8] = {"Radek", "KodChyby", "Zamestnavatel", "Zamestnanec",
                                                "Prvek", "Hodnota",  "DelkaHodn",     "Popis"};
    out.put("<Chyba>\n");
    for (std::size_t i = 0; i < col.size(); ++i) {
      out.put('<'), out.put(tag[i]), out.put('>');
      put_markup_text(out, col[i]);
      out.put("</"), out.put(tag[i]), out.put(">\n");
    }
    out.put("</Chyba>\n");
    break;
  }
  default:
    break;
  }
}

} // namespace

int zpracuj_chybu(std::string_view line, std::string_view code, std::string_view elem,
                  std::string_view value, std::string_view expected) {
  std::string_view cek = expected.substr(0, 60);
  char weight = code.empty() ? '\0' : code[0];
  if (weight == 'W')
    ++st.sumchybW;
  else if (weight == 'E')
    ++st.sumchybE;
  if (weight == 'W' && st.sw_nepisW == 'A')
    return 0;
  const tables::Chyba *row = tables::najdi_chybu(code);
  if (row != nullptr)
    ++st.EtabNum[static_cast<std::size_t>(row - tables::Etab.data())];
  else
    row = &tables::Etab.back();
  if (cek.substr(0, 1) == "?")
    cek = row->cek;
  const Nalez radek = {line, code, st.telicokod, st.identnec, elem, value, cek, row->txt};
  if (st.errsoub != nullptr)
    write_row(radek);
  if (st.posluchac != nullptr)
    st.posluchac(radek, st.posluchac_kontext);
  return 1;
}

} // namespace report
