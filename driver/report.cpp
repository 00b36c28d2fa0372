// Error rows in the four protocol formats, the counts by weight and by code, and the sinks.
#include "report.hpp"

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

std::unique_ptr<FileSink> FileSink::create(const std::string &path) {
  std::FILE *f = std::fopen(path.c_str(), "wb");
  if (f == nullptr)
    return nullptr;
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
  n_ = static_cast<std::size_t>(std::snprintf(b_, sizeof b_, "%lld", static_cast<long long>(v)));
}

Text Text::f(const char *fmt, ...) {
  Text t;
  va_list ap;
  va_start(ap, fmt);
  int n = std::vsnprintf(t.b_, sizeof t.b_, fmt, ap);
  va_end(ap);
  t.n_ = n < 0 ? 0 : std::min(static_cast<std::size_t>(n), sizeof t.b_ - 1);
  return t;
}

void put_markup_text(Sink &out, std::string_view s) {
  bool plain = true;
  for (char c : s)
    plain &= c != '&' && c != '<' && c != '>' && c != '"';
  if (plain) {
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
  bool quote = false;
  for (char c : s)
    quote |= c == ';' || c == '"' || c == '\r' || c == '\n';
  if (!quote) {
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

void write_row(const std::array<std::string_view, 8> &col) {
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
  if (st.errsoub != nullptr)
    write_row({line, code, st.telicokod, st.identnec, elem, value, cek, row->txt});
  if (st.posluchac != nullptr)
    st.posluchac({line, code, st.telicokod, st.identnec, elem, value, cek, row->txt},
                 st.posluchac_kontext);
  return 1;
}

} // namespace report
