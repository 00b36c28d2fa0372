// The text and number helpers: the validating number conversion every numeric value passes,
// the tag name comparison, and the blank and position helpers.
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <gtest/gtest.h>
#include <random>
#include <sstream>
#include <vector>

#include "format.hpp"
#include "reader.hpp"

namespace {

TEST(StrToDbl, AcceptsOnlyASignedNumberOfTheType) {
  struct Row {
    const char *text;
    char typ;
    int result;
    double value;
  } rows[] = {
      {"123", 'N', 0, 123},       {"-5", 'N', 0, -5},
      {"+5", 'N', 0, 5},          {"12.5", 'N', 1, 0},
      {"1 000", 'N', 1, 0},       {"12,", 'N', 1, 0},
      {"5-", 'N', 1, 0},          {"", 'N', 0, 0},
      {"+", 'N', 0, 0},           {"-", 'N', 0, 0},
      {"12.5", 'R', 0, 12.5},     {"1.2.3", 'R', 1, 0},
      {"-.5", 'R', 0, -0.5},      {"+-1", 'R', 1, 0},
      {".", 'R', 0, 0},           {"5.", 'R', 0, 5},
      {" 5", 'N', 1, 0},          {"5 ", 'R', 1, 0},
      {"1e5", 'R', 1, 0},         {"--1", 'N', 1, 0},
      {"0.0001", 'R', 0, 0.0001}, {"9999.99", 'R', 0, 9999.99},
      {"00000060", 'N', 0, 60},   {"1.5", 'S', 1, 0},
      {"1:", 'N', 1, 0},          {"/1", 'N', 1, 0},
  };
  for (const Row &r : rows) {
    double v = 99;
    EXPECT_EQ(reader::StrToDbl(v, r.text, r.typ), r.result) << r.text << " " << r.typ;
    EXPECT_EQ(v, r.value) << r.text << " " << r.typ;
  }
}

// Whole numbers in 64 bits up to their edge, the C library's conversion past it and for
// decimals, the sign of zero, no digits at all, and numbers past the range of a double
// whatever locale a host program has set: the value must have strtod's bits in the C locale.
TEST(StrToDbl, ConvertsEdgesAsTheCLibraryDoes) {
  const std::string big(400, '9'), tiny = "0." + std::string(400, '0') + "1";
  std::vector<std::string> texts = {
      big + ".5", "-" + big, "-" + tiny, "." + tiny.substr(2), "1" + tiny.substr(2, 400), tiny};
  std::istringstream more("-0 - -0.0 -00 1. 0.1 -9.513282814504773 990997441.4579967 "
                          "9007199254740993 123456789012345678 18446744073709551615 "
                          "18446744073709551616 -18446744073709551616 +12345678901234567 "
                          "9999999999999999999 99999999999999999999 0000000000000000009 "
                          // decimals about the edge of the quotient of two exact doubles:
                          // 2^53 digits, 22 places
                          "900719925474099.1 900719925474099.2 900719925474099.3 "
                          "-90071992547409.93 0.0000000000000000000001 0.00000000000000000000001 "
                          "1.0000000000000000000001 0.0000000000000000000009 0.3 -0.0 "
                          "123456.789 0.1000000000000000055511151231257827 4.35 1.005");
  for (std::string t; more >> t;)
    texts.push_back(t);
  for (const std::string &t : texts) {
    double v = 1, want = std::strtod(t.c_str(), nullptr);
    ASSERT_EQ(reader::StrToDbl(v, t, 'R'), 0) << t;
    EXPECT_EQ(std::memcmp(&v, &want, sizeof v), 0) << t;
  }
}

// Amounts as reports hold them, converted the C library's way to the last bit.
TEST(StrToDbl, ConvertsShortDecimalsAsTheCLibraryDoes) {
  std::mt19937_64 gen(2008);
  for (int i = 0; i < 200000; ++i) {
    const std::size_t places = gen() % 24;
    std::string t = std::to_string(gen() >> (gen() % 64));
    if (places >= t.size())
      t = "0." + std::string(places - t.size(), '0') + t;
    else if (places > 0)
      t.insert(t.size() - places, ".");
    double v = 1, want = std::strtod(t.c_str(), nullptr);
    ASSERT_EQ(reader::StrToDbl(v, t, 'R'), 0) << t;
    ASSERT_EQ(std::memcmp(&v, &want, sizeof v), 0) << t;
  }
}

// Names are compared in words of eight and four bytes: a difference anywhere, at any length.
TEST(Stejne, SeesADifferenceInAnyByteAtAnyLength) {
  for (std::size_t n = 0; n <= 20; ++n) {
    const std::string a(n, 'x');
    EXPECT_TRUE(reader::stejne(a, std::string(n, 'x')));
    EXPECT_FALSE(reader::stejne(a, a + "x"));
    for (std::size_t at = 0; at < n; ++at) {
      std::string b = a;
      b[at] = 'y';
      EXPECT_FALSE(reader::stejne(a, b)) << n << " " << at;
    }
  }
}

// The order of texts by their bytes, as std::string_view gives it: prefixes, and bytes above
// 127 (the letters of the code page, and the bound of ten 0xFD bytes).
TEST(Porovnej, OrdersAsStringViewDoes) {
  std::vector<std::string> texty = {""};
  for (std::size_t i = 0; i < texty.size() && texty[i].size() < 3; ++i)
    for (char c : {'0', 'z', '\xFD'})
      texty.push_back(texty[i] + c);
  auto znamenko = [](int v) { return (v > 0) - (v < 0); };
  for (const std::string &a : texty)
    for (const std::string &b : texty)
      ASSERT_EQ(znamenko(reader::porovnej(a, b)), znamenko(std::string_view(a).compare(b)))
          << a << " " << b;
}

TEST(PrvekZacKon, ComparesTheStartNameWithTheEndNameAfterItsFirstCharacter) {
  struct Row {
    const char *start, *end;
    char result;
  } rows[] = {{"rok", "/rok", 'A'}, {"rok", "/ro", 'N'},  {"rok", "/rokx", 'A'},
              {"rok", "xrok", 'A'}, {"", "/x", 'A'},      {"rok", "", 'N'},
              {"r", "/", 'N'},      {"rok", "/Rok", 'N'}, {"rok", "/rox1", 'N'}};
  for (const Row &r : rows)
    EXPECT_EQ(reader::prvek_zac_kon(r.start, r.end), r.result) << r.start << " " << r.end;
}

TEST(TextHelpers, BlanksPositionsAndDifferences) {
  EXPECT_EQ(reader::jezltrim("   12 "), "12 ");
  EXPECT_EQ(reader::jezltrim("\t12"), "\t12"); // a tab is not a blank
  EXPECT_EQ(reader::jezltrim("    "), "");
  EXPECT_EQ(reader::jinstr("a.b.csv", '.'), 2u);
  EXPECT_EQ(reader::jinstr("protokol", '.'), 0u);
  EXPECT_EQ(reader::jezdifdbl(3, 10), 7);
  EXPECT_EQ(reader::jezdifdbl(10, 3), 7);
  EXPECT_EQ(reader::jstrtod("+5"), 5); // a sign as the C library takes it
  EXPECT_FALSE(reader::jstrtod("+-5"));
}

} // namespace

namespace {

// The values of error rows are written without printf; they must be printf's bytes.
TEST(FixedPoint, WritesWhatPrintfWrites) {
  std::mt19937_64 gen(1250);
  auto check = [](double v, int width, int prec) {
    char want[512], got[64];
    std::snprintf(want, sizeof want, "%*.*f", width, prec, v);
    std::size_t n = report::pevna_carka(got, v, width, prec);
    if (n == 0 && std::fabs(v) >= 0x1p63)
      return; // left to printf
    ASSERT_NE(n, 0u) << want;
    ASSERT_EQ(std::string(got, n), std::string(want)) << v << " " << width << "." << prec;
  };
  for (double v : {0.0, -0.0, 0.5, 1.5, 2.5, -2.5, 0.125, 0.375, -0.125, 0.005, 1e-300, -1e-300,
                   4.9e-324, 0.045, 1.005, 99999999.995, 9007199254740993.0, 0x1p62})
    for (int prec : {0, 1, 2, 4, 6, 9})
      check(v, 10, prec);
  for (int i = 0; i < 300000; ++i) {
    // Amounts as reports hold them, halves and eighths (exact ties), and arbitrary bits.
    double v = 0;
    switch (i % 4) {
    case 0:
      v = static_cast<double>(gen() % 100000000) / 100.0;
      break;
    case 1:
      v = static_cast<double>(static_cast<std::int64_t>(gen() % 2000000) - 1000000) / 8.0;
      break;
    case 2:
      v = std::ldexp(static_cast<double>(gen() >> 11), static_cast<int>(gen() % 120) - 100);
      break;
    default:
      v = static_cast<double>(gen() % 1000000) / 1000.0 - 500.0;
    }
    check(v, static_cast<int>(gen() % 14), static_cast<int>(gen() % 7));
  }
}

TEST(FixedPoint, LeavesToPrintfWhatItCannotWrite) {
  char out[64];
  EXPECT_EQ(report::pevna_carka(out, 1e300, 10, 2), 0u);
  EXPECT_EQ(report::pevna_carka(out, std::nan(""), 10, 2), 0u);
  EXPECT_EQ(report::pevna_carka(out, 1.0, 10, 12), 0u);
  EXPECT_EQ(std::string(report::Text::f("%10.2f ; %3.0f ;", 1e300, 2.5)).size(), 312u);
  EXPECT_EQ(std::string(report::Text::f("<= %10.0f %d", 2.5, 7)), "<=          2 7");
  EXPECT_EQ(std::string(report::Text(-9223372036854775807 - 1)), "-9223372036854775808");
}

// A column is quoted or escaped when it holds a byte of its format's set anywhere, at any
// length (the long ones are looked at sixteen bytes at a time).
TEST(ProtocolColumns, FindTheBytesToQuoteOrEscapeAnywhere) {
  for (std::uint8_t bit : {std::uint8_t{1}, std::uint8_t{2}}) {
    std::string_view set = bit == 1 ? "&<>\"" : ";\"\r\n";
    for (std::size_t len = 1; len <= 50; ++len) {
      // The text lies between special bytes, which must not be looked at.
      const std::string okoli(16, set[0]);
      std::string ram = okoli + std::string(len, 'a') + okoli;
      ram[16] = '\xE1'; // a letter of the code page is never special
      const std::string_view s = std::string_view(ram).substr(16, len);
      EXPECT_FALSE(report::ma_zvlastni(s, bit)) << len;
      for (std::size_t at = 0; at < len; ++at)
        for (char c : set) {
          std::string t(s);
          t[at] = c;
          ASSERT_TRUE(report::ma_zvlastni(t, bit)) << int(bit) << " " << len << " " << at;
          // only the quote is in both sets
          ASSERT_EQ(report::ma_zvlastni(t, static_cast<std::uint8_t>(3 - bit)), c == '"');
        }
    }
  }
}

// Rows are laid out whole in the sink's buffer when it has room; through a sink of any size
// they are the same bytes, quotes and alignment included.
TEST(ProtocolRows, AreTheSameThroughASinkOfAnySize) {
  class Sberna final : public report::Sink {
  public:
    explicit Sberna(std::size_t capacity) : Sink(capacity) {}
    std::string out;

  private:
    bool emit(std::string_view bytes) override {
      out.append(bytes);
      return true;
    }
  };
  const std::string dlouha(300, 'x'), strednik = dlouha + ";";
  const std::vector<report::Nalez> rows = {
      {"12", "EL015", "00002844", "5600000001", "AA0144", "    129653", "    129644", "popis"},
      {"9", "WL009", "", "", "AA0132; AA0133;", "\"a\";\"\"", "\r\n", ""},
      {"123456789012", "E", "x", "y", dlouha, dlouha, dlouha, strednik},
  };
  for (char format : {'C', 'T', 'H', 'X'}) {
    auto pis = [&](std::size_t capacity) {
      Sberna sink(capacity);
      for (const report::Nalez &row : rows)
        report::format(format).pis_radek(sink, row);
      sink.flush();
      return sink.out;
    };
    const std::string cele = pis(1 << 16);
    for (std::size_t capacity : {1u, 7u, 64u, 1000u})
      EXPECT_EQ(pis(capacity), cele) << format << " " << capacity;
  }
  Sberna csv(1 << 16);
  report::format('C').pis_radek(csv, rows[1]);
  csv.flush();
  EXPECT_EQ(csv.out, R"(9;WL009;;;"AA0132; AA0133;";"""a"";""""";")"
                     "\r\n\";\n");
}

} // namespace
