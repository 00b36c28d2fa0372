// Build-time generator of the constant tables: reads the data files of tables/ (UTF-8, one row
// per line) and writes them as C++ constant arrays with their texts in Windows-1250.
//   kuf_gen <tables-dir> <out.inc>
// Any malformed row stops the build with the file, the line and what is wrong.
#include "cp1250.hpp"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::string g_file; // file being read, for messages
int g_line = 0;

[[noreturn]] void fail(const std::string &what) {
  std::cerr << g_file << ":" << g_line << ": " << what << "\n";
  std::exit(1);
}

std::vector<std::string> split(const std::string &s, char sep) {
  std::vector<std::string> out;
  std::string cur;
  for (char c : s) {
    if (c == sep) {
      out.push_back(cur);
      cur.clear();
    } else {
      cur += c;
    }
  }
  out.push_back(cur);
  return out;
}

// The data rows of a file: every line but comments ("#" first) and empty lines.
std::vector<std::string> rows_of(const std::string &dir, const std::string &name) {
  g_file = dir + "/" + name;
  g_line = 0;
  std::ifstream in(g_file, std::ios::binary);
  if (!in)
    fail("cannot read the file");
  std::vector<std::string> rows;
  std::string line;
  while (std::getline(in, line)) {
    ++g_line;
    if (!line.empty() && line.back() == '\r')
      fail("carriage return in a data file");
    if (line.empty() || line[0] == '#')
      continue;
    rows.push_back(line);
  }
  return rows;
}

// A C++ string literal of the Windows-1250 form of a UTF-8 text (octal escapes above 126).
std::string literal(const std::string &utf8) {
  std::string bytes(utf8.size(), '\0');
  long n = cp1250::from_utf8(utf8, bytes.begin());
  if (n < 0)
    fail("text without a Windows-1250 form: " + utf8);
  bytes.resize(static_cast<std::size_t>(n));
  std::string out = "\"";
  for (char ch : bytes) {
    auto c = static_cast<unsigned char>(ch);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 32 || c > 126) {
      char esc[8];
      std::snprintf(esc, sizeof esc, "\\%03o", c);
      out += esc;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "\"";
}

std::size_t cp_length(const std::string &utf8) {
  std::string bytes(utf8.size(), '\0');
  long n = cp1250::from_utf8(utf8, bytes.begin());
  if (n < 0)
    fail("text without a Windows-1250 form: " + utf8);
  return static_cast<std::size_t>(n);
}

long to_long(const std::string &s) {
  char *end = nullptr;
  long v = std::strtol(s.c_str(), &end, 10);
  if (s.empty() || *end != '\0')
    fail("not a whole number: '" + s + "'");
  return v;
}

double to_double(const std::string &s) {
  char *end = nullptr;
  double v = std::strtod(s.c_str(), &end);
  if (s.empty() || *end != '\0')
    fail("not a number: '" + s + "'");
  return v;
}

std::string exact(double v) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.17g", v);
  std::string s = buf;
  if (s.find_first_of(".e") == std::string::npos)
    s += ".0";
  return s;
}

void catalogue(const std::string &dir, std::ostream &out) {
  auto rows = rows_of(dir, "katalog.txt");
  std::map<std::string, int> seen;
  out << "inline constexpr std::array<Chyba, " << rows.size() + 1 << "> Etab{{\n";
  for (const auto &r : rows) {
    auto f = split(r, '|');
    if (f.size() != 3)
      fail("expected code|description|expected text");
    if (f[0].size() != 5 || (f[0][0] != 'E' && f[0][0] != 'W'))
      fail("a code is five characters beginning with E or W: " + f[0]);
    if (!seen.emplace(f[0], static_cast<int>(seen.size())).second)
      fail("code listed twice: " + f[0]);
    if (cp_length(f[1]) > 160 || cp_length(f[2]) > 40)
      fail("description over 160 or expected text over 40 characters: " + f[0]);
    out << "    {" << literal(f[0]) << ", " << literal(f[1]) << ", " << literal(f[2]) << "},\n";
  }
  out << "    {\"KONEC\", \"KoNeC\", \"KoNeC\"}}};\n\n";
  // std::map orders its keys bytewise, the order of the per-code summary.
  out << "inline constexpr std::array<std::uint16_t, " << rows.size() << "> EtabPoradi{{";
  int k = 0;
  for (const auto &[code, row] : seen)
    out << (k++ % 16 ? " " : "\n    ") << row << ",";
  out << "}};\n\n";
}

// A row's value index from this one on addresses TValChar, at the index minus this one.
constexpr long kPrvniText = 1000;

void elements(const std::string &dir, std::ostream &out) {
  auto rows = rows_of(dir, "prvky.txt");
  std::vector<double> dbl;
  std::vector<std::string> chr;
  struct Section {
    std::vector<std::string> rows, names;
  };
  std::map<char, Section> sections;
  for (const auto &r : rows) {
    auto f = split(r, '|');
    if (f[0] == "D") {
      for (std::size_t i = 1; i < f.size(); ++i)
        dbl.push_back(to_double(f[i]));
    } else if (f[0] == "C") {
      chr.assign(f.begin() + 1, f.end());
    } else if (f[0] == "P" || f[0] == "T" || f[0] == "N") {
      if (f.size() != 8)
        fail("expected 8 fields in an element row");
      if (f[2] != "N" && f[2] != "R" && f[2] != "S")
        fail("type must be N, R or S");
      long from = to_long(f[3]), to = to_long(f[4]);
      if (from > to || from < 0)
        fail("bad length bounds");
      auto bound = [&](const std::string &v) -> long {
        if (f[5].empty() != f[6].empty())
          fail("give both value bounds or none");
        if (f[5].empty())
          return 0;
        if (f[2] == "S") {
          for (std::size_t i = 0; i < chr.size(); ++i)
            if (chr[i] == v)
              return kPrvniText + static_cast<long>(i);
          fail("text bound not in the C list: '" + v + "'");
        }
        for (std::size_t i = 1; i < dbl.size(); ++i)
          if (dbl[i] == to_double(v))
            return static_cast<long>(i);
        fail("number bound not in the D list: " + v);
      };
      long vfrom = bound(f[5]), vto = bound(f[6]);
      std::ostringstream row;
      row << "    {" << literal(f[1]) << ", '" << f[2] << "', " << from << ", " << to << ", "
          << vfrom << ", " << vto << ", " << literal(f[7]) << "},\n";
      sections[f[0][0]].rows.push_back(row.str());
      sections[f[0][0]].names.push_back(f[1]);
    } else {
      fail("unknown row kind " + f[0]);
    }
  }
  if (dbl.size() != 26 || chr.size() != 23)
    fail("the bound lists hold 26 numbers and 23 texts");
  out << "inline constexpr int kPrvniText = " << kPrvniText << ";\n\n";
  out << "inline constexpr std::array<double, " << dbl.size() << "> TValDbl{{";
  for (std::size_t i = 0; i < dbl.size(); ++i)
    out << (i % 6 ? " " : "\n    ") << exact(dbl[i]) << ",";
  out << "}};\n\n";
  out << "inline constexpr std::array<std::string_view, " << chr.size() << "> TValChar{{\n";
  for (const auto &c : chr)
    out << "    " << literal(c) << ",\n";
  out << "}};\n\n";
  const char *marker[] = {"KoNeCP", "KoNeCT", "KoNeCN"};
  const char *table[] = {"Ptab", "Ttab", "Ntab"};
  const char *ns[] = {"p", "t", "n"};
  const char key[] = {'P', 'T', 'N'};
  for (int s = 0; s < 3; ++s) {
    const auto &rs = sections[key[s]].rows;
    out << "inline constexpr std::array<Prvek, " << rs.size() + 1 << "> " << table[s] << "{{\n";
    for (const auto &r : rs)
      out << r;
    out << "    {\"" << marker[s] << "\", ' ', 0, 0, 0, 0, \"\"}}};\n\n";
    out << "namespace " << ns[s] << " { // row of each element in " << table[s] << "\n";
    const auto &names = sections[key[s]].names;
    for (std::size_t i = 0; i < names.size(); ++i)
      out << "inline constexpr int " << names[i] << " = " << i << ";\n";
    out << "} // namespace " << ns[s] << "\n\n";
  }
}

// The check digit of an identification number of eight digits (weights 8 to 2, modulo 11).
bool valid_ico(const std::string &d) {
  int sum = 0;
  for (int i = 0; i < 7; ++i)
    sum += (8 - i) * (d[static_cast<std::size_t>(i)] - '0');
  int c = 11 - sum % 11;
  if (c > 9)
    c -= 10;
  return c == d[7] - '0';
}

bool eight_digits(const std::string &s) {
  return s.size() == 8 && s.find_first_not_of("0123456789") == std::string::npos;
}

// A list of texts, one per line, with its fixed row count; `sorted` asks for ascending order.
std::vector<std::string> text_list(const std::string &dir, const std::string &file,
                                   std::size_t rows, bool sorted, std::size_t max_len) {
  auto list = rows_of(dir, file);
  if (list.size() != rows)
    fail("expected " + std::to_string(rows) + " rows, found " + std::to_string(list.size()));
  for (std::size_t i = 0; i < list.size(); ++i) {
    g_line = static_cast<int>(i + 1);
    if (list[i].empty() || list[i].size() > max_len)
      fail("a row of 1 to " + std::to_string(max_len) + " characters");
    if (sorted && i > 0 && !(list[i - 1] <= list[i]))
      fail("rows out of ascending order");
  }
  return list;
}

void emit_texts(std::ostream &out, const char *name, const std::vector<std::string> &list) {
  out << "inline constexpr std::array<std::string_view, " << list.size() << "> " << name << "{{";
  for (std::size_t i = 0; i < list.size(); ++i)
    out << (i % 10 ? " " : "\n    ") << literal(list[i]) << ",";
  out << "}};\n\n";
}

void emit_numbers(std::ostream &out, const char *name, const std::vector<std::string> &list) {
  out << "inline constexpr std::array<std::uint32_t, " << list.size() << "> " << name << "{{";
  for (std::size_t i = 0; i < list.size(); ++i)
    out << (i % 10 ? " " : "\n    ") << std::stoul(list[i]) << "u,";
  out << "}};\n\n";
}

void code_lists(const std::string &dir, std::ostream &out) {
  auto submitters = text_list(dir, "predkladatele.txt", 7132, true, 8);
  for (std::size_t i = 0; i < submitters.size(); ++i) {
    g_line = static_cast<int>(i + 1);
    if (!eight_digits(submitters[i]) || !valid_ico(submitters[i]))
      fail("not an identification number with a valid check digit: " + submitters[i]);
    if (i > 0 && submitters[i - 1] == submitters[i])
      fail("listed twice");
  }
  emit_numbers(out, "TcisPredkladatele", submitters);

  auto rows = text_list(dir, "poskytovatele.txt", 19665, true, 17);
  std::vector<std::string> providers, theirs;
  for (std::size_t i = 0; i < rows.size(); ++i) {
    g_line = static_cast<int>(i + 1);
    auto f = split(rows[i], ' ');
    if (f.size() != 2 || !eight_digits(f[0]) || !eight_digits(f[1]) || !valid_ico(f[0]))
      fail("expected \"PPPPPPPP SSSSSSSS\", the provider with a valid check digit");
    if (!std::binary_search(submitters.begin(), submitters.end(), f[1]))
      fail("the submitter of a provider is not in the submitter list: " + f[1]);
    if (!providers.empty() && providers.back() == f[0])
      fail("provider listed twice");
    if (std::binary_search(submitters.begin(), submitters.end(), f[0]) && f[1] != f[0])
      fail("a submitter that employs people is its own submitter: " + f[0]);
    providers.push_back(f[0]);
    theirs.push_back(f[1]);
  }
  emit_numbers(out, "TcisPoskytovatele", providers);
  emit_numbers(out, "TcisPoskPredkladatel", theirs);

  auto kzam = text_list(dir, "kzam.txt", 3702, true, 5);
  std::size_t ending0 = 0;
  for (const auto &k : kzam) {
    if (k.size() != 5 || k.find_first_not_of("0123456789") != std::string::npos || k[0] == '0')
      fail("an occupation code is five digits, not beginning with 0: " + k);
    ending0 += k[4] == '0';
  }
  if (ending0 != 497 || kzam.front() != "11210" || kzam.back() != "93399")
    fail("the occupation list runs from 11210 to 93399 with 497 codes ending in 0");
  emit_texts(out, "TcisKzam", kzam);

  auto staty = text_list(dir, "staty.txt", 718, false, 3);
  const char *head[] = {"CZ", "CZE", "203", "SK", "SVK", "703"};
  for (std::size_t i = 0; i < 6; ++i)
    if (staty[i] != head[i])
      fail("the country list begins with CZ, CZE, 203, SK, SVK, 703");
  for (std::size_t i = 706; i < 718; ++i)
    if (staty[i] != staty[i - 12])
      fail("the last twelve rows repeat the twelve before them");
  // The numeric codes ascending up to 999, then the letter codes in Czech order (CH after H).
  auto czech = [](std::string c) {
    for (std::size_t at; (at = c.find("CH")) != std::string::npos;)
      c.replace(at, 2, "H\x7F");
    return c;
  };
  std::size_t letters = 6;
  while (letters < 706 && staty[letters].find_first_not_of("0123456789") == std::string::npos)
    ++letters;
  if (letters == 6 || staty[letters - 1] != "999")
    fail("the numeric country codes end with 999");
  for (std::size_t i = 7; i < 706; ++i) {
    g_line = static_cast<int>(i + 1);
    bool numeric = i < letters;
    if ((numeric && staty[i] <= staty[i - 1]) ||
        (!numeric && i > letters && czech(staty[i]) <= czech(staty[i - 1])) ||
        (!numeric && staty[i].find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZ") != std::string::npos))
      fail("country codes out of order: " + staty[i]);
  }
  emit_texts(out, "TcisStat", staty);

  emit_texts(out, "TcisPraf", text_list(dir, "pravni_formy.txt", 39, true, 3));
  emit_texts(out, "TcisNuts", text_list(dir, "nuts.txt", 91, true, 6));
  emit_texts(out, "TcisPostzam", text_list(dir, "postaveni.txt", 8, true, 4));
  emit_texts(out, "TcisDppv", text_list(dir, "dppv.txt", 2, false, 2));
  emit_texts(out, "TcisVzde", text_list(dir, "vzdelani.txt", 14, true, 1));

  auto tariffs = rows_of(dir, "sazby.txt");
  if (tariffs.size() != 48)
    fail("48 rows of tariffs: 3 tables of 16 classes");
  out << "inline constexpr std::array<double, 577> tabSazeb{{";
  int n = 0;
  for (const auto &r : tariffs) {
    auto f = split(r, ' ');
    if (f.size() != 12)
      fail("12 grades in a row of tariffs");
    for (const auto &v : f)
      out << (n++ % 12 ? " " : "\n    ") << to_long(v) << ".0,";
  }
  out << "\n    0.0}};\n\n";
}

// A dictionary for the fuzzer: the tags of every element and section and the markup pieces.
void dictionary(const std::string &dir, std::ostream &out) {
  std::vector<std::string> names = {"KUF", "kuf:KUF", "zamestnavatel", "zamestnanec"};
  for (const auto &r : rows_of(dir, "prvky.txt")) {
    auto f = split(r, '|');
    if (f[0] == "P" || f[0] == "T" || f[0] == "N")
      names.push_back(f[1]);
  }
  int n = 0;
  for (const auto &name : names) {
    out << "t" << n << "=\"<" << name << ">\"\n";
    out << "e" << n++ << "=\"</" << name << ">\"\n";
  }
  for (const char *piece : {"<?xml version=\\\"1.0\\\"?>", "<!-- ", " -->", "/>", "kuf:", "&amp;",
                            "\\x0d\\x0a", "\\x9a", "\\xfd", "\\x00", "a.xml\\x00zz", "@", "-w",
                            ".csv", ".txt", ".xml", ".htm", "...", "\\x0a==\\x0a"})
    out << "m" << n++ << "=\"" << piece << "\"\n";
}

// The structure of the document as an XML Schema, from the element rule tables: the sections
// in their order, each element once in its place, with its length bounds and, for numbers,
// the form of a number of its type.
void schema(const std::string &dir, std::ostream &out) {
  std::map<char, std::vector<std::vector<std::string>>> rows;
  for (const auto &r : rows_of(dir, "prvky.txt")) {
    auto f = split(r, '|');
    if (f[0] == "P" || f[0] == "T" || f[0] == "N")
      rows[f[0][0]].push_back(f);
  }
  auto elements = [&](char section, const std::string &indent) {
    for (const auto &f : rows[section]) {
      out << indent << "<xs:element name=\"" << f[1] << "\">\n"
          << indent << "  <xs:simpleType>\n"
          << indent << "    <xs:restriction base=\"xs:string\">\n"
          << indent << "      <xs:minLength value=\"" << f[3] << "\"/>\n"
          << indent << "      <xs:maxLength value=\"" << f[4] << "\"/>\n";
      if (f[2] == "N")
        out << indent << "      <xs:pattern value=\"[+\\-]?[0-9]*\"/>\n";
      else if (f[2] == "R")
        out << indent << "      <xs:pattern value=\"[+\\-]?[0-9]*\\.?[0-9]*\"/>\n";
      out << indent << "    </xs:restriction>\n"
          << indent << "  </xs:simpleType>\n"
          << indent << "</xs:element>\n";
    }
  };
  const char *ns = "http://www.example.org/schemas/2004/KUF/1.6/";
  out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      << "<!-- generated from tables/prvky.txt, do not edit: the structure of a KUF report -->\n"
      << "<xs:schema xmlns:xs=\"http://www.w3.org/2001/XMLSchema\" targetNamespace=\"" << ns
      << "\"\n           xmlns=\"" << ns << "\" elementFormDefault=\"qualified\">\n"
      << "  <xs:element name=\"KUF\">\n    <xs:complexType>\n      <xs:sequence>\n";
  elements('P', "        ");
  out << "        <xs:element name=\"zamestnavatel\" maxOccurs=\"unbounded\">\n"
      << "          <xs:complexType>\n            <xs:sequence>\n";
  elements('T', "              ");
  out << "              <xs:element name=\"zamestnanec\" minOccurs=\"0\" maxOccurs=\"unbounded\">\n"
      << "                <xs:complexType>\n                  <xs:sequence>\n";
  elements('N', "                    ");
  out << "                  </xs:sequence>\n                </xs:complexType>\n"
      << "              </xs:element>\n"
      << "            </xs:sequence>\n          </xs:complexType>\n        </xs:element>\n"
      << "      </xs:sequence>\n"
      << "      <xs:attribute name=\"verze\" type=\"xs:string\" fixed=\"1.6\"/>\n"
      << "    </xs:complexType>\n  </xs:element>\n</xs:schema>\n";
}

} // namespace

int main(int argc, char **argv) {
  if (argc != 3 && argc != 5) {
    std::cerr << "usage: kuf_gen <tables-dir> <out.inc> [fuzz.dict kuf.xsd]\n";
    return 2;
  }
  if (argc == 5) {
    std::ofstream dict(argv[3], std::ios::binary), xsd(argv[4], std::ios::binary);
    dictionary(argv[1], dict);
    schema(argv[1], xsd);
    if (!dict.flush() || !xsd.flush())
      return 1;
  }
  std::string dir = argv[1];
  std::ostringstream out;
  out << "// generated from the data files of tables/, do not edit\n\n";
  catalogue(dir, out);
  elements(dir, out);
  code_lists(dir, out);
  std::ofstream file(argv[2], std::ios::binary);
  file << out.str();
  if (!file.flush()) {
    std::cerr << argv[2] << ": cannot write\n";
    return 1;
  }
  return 0;
}
