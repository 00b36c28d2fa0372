// The identification number check, the number conversion of the submitter and provider
// lookups, the country rows and the tariff positions, and the shapes of the code-list data
// files that the campaign may replace.
#include <algorithm>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <vector>

#include "ldinc952.hpp"
#include "rules.hpp"

namespace {

TEST(ChkICO, CheckDigitAndLength) {
  struct Row {
    const char *ico;
    int result;
  } rows[] = {{"12345679", 0}, {"12345678", 1}, {"1234567", 2},  {"123456789", 2},
              {"00000001", 0}, {"00000060", 0}, {"00000000", 1}, {"0000006a", 1},
              {"00212172", 0}, {"00212181", 0}, {"-1234567", 1}, {"", 2}};
  for (const Row &r : rows)
    EXPECT_EQ(rules::chk_ICO(r.ico), r.result) << r.ico;
}

TEST(CisloICO, ReadsTheLeadingNumberLikeAtof) {
  struct Row {
    const char *text;
    std::uint32_t value;
  } rows[] = {{"00000060", 60},
              {"60", 60},
              {"0021217x", 21217},
              {" 12", 12},
              {"-5", 0},
              {"1e3xxxxx", 1000},
              {"1e", 1},
              {"12.9", 12},
              {"x1", 0},
              {"", 0},
              {"4294967295", 4294967295u},
              {"4294967296", 0},
              {"0x1A", 0},
              {".5e1", 5},
              {"-0.5", 0},
              {"2E2", 200},
              {"1e+2xx", 100},
              {"25e-1", 2},
              {"1e+", 1}};
  for (const Row &r : rows)
    EXPECT_EQ(rules::cislo_ico(r.text), r.value) << r.text;
}

TEST(RadekStatu, FirstEqualRowOrOnePastTheEnd) {
  const auto &list = tables::TcisStat;
  const auto past = static_cast<std::int32_t>(list.size());
  // Every code of the list finds its first row, the repeated last rows included.
  for (std::size_t i = 0; i < list.size(); ++i) {
    std::int32_t row = rules::radek_statu(list[i]);
    ASSERT_TRUE(row >= 0 && row <= static_cast<std::int32_t>(i)) << list[i];
    EXPECT_EQ(list[static_cast<std::size_t>(row)], list[i]);
    EXPECT_EQ(std::find(list.begin(), list.begin() + row, list[i]), list.begin() + row);
  }
  EXPECT_EQ(rules::radek_statu("CZ"), 0);
  for (const char *absent : {"cz", "", "C", "CZE ", "ZZZZ", "\xFF"})
    EXPECT_EQ(rules::radek_statu(absent), past) << absent;
}

TEST(Tarif, PositionsOfTableClassAndGrade) {
  const auto &t = tables::tabSazeb;
  EXPECT_EQ(rules::tarif(1, 1, 1), t[0]);
  EXPECT_EQ(rules::tarif(1, 1, 12), t[11]);
  EXPECT_EQ(rules::tarif(1, 2, 1), t[12]);
  EXPECT_EQ(rules::tarif(2, 5, 3), t[192 + 48 + 2]);
  EXPECT_EQ(rules::tarif(3, 16, 12), t[575]);
  EXPECT_EQ(rules::tarif(2.9, 1.5, 1.99), t[371]); // 371.79: the position truncates
  EXPECT_EQ(rules::tarif(4, 1, 1), 0);             // the closing entry
  EXPECT_EQ(rules::tarif(0, 1, 1), 0);             // before the table
  EXPECT_EQ(rules::tarif(1, 1, 0), 0);
  EXPECT_EQ(rules::tarif(9, 9, 9), 0); // past it
}

std::vector<std::string> lines_of(const std::string &name) {
  std::ifstream in(std::string(KUF_TABLES_DIR) + "/" + name, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  std::string text = s.str();
  EXPECT_FALSE(text.empty()) << name;
  EXPECT_EQ(text.back(), '\n') << name;
  EXPECT_EQ(text.find('\r'), std::string::npos) << name;
  std::vector<std::string> lines;
  std::istringstream in2(text);
  for (std::string l; std::getline(in2, l);)
    lines.push_back(l);
  return lines;
}

bool digits(const std::string &s, std::size_t n) {
  return s.size() == n && s.find_first_not_of("0123456789") == std::string::npos;
}

// The lists that another campaign replaces: their form, not their contents.
TEST(DataFiles, SubmittersAndProviders) {
  auto subm = lines_of("predkladatele.txt");
  ASSERT_FALSE(subm.empty());
  EXPECT_EQ(std::adjacent_find(subm.begin(), subm.end(), std::greater_equal<>()), subm.end());
  for (const auto &s : subm)
    EXPECT_TRUE(digits(s, 8) && rules::chk_ICO(s) == 0) << s;
  auto prov = lines_of("poskytovatele.txt");
  ASSERT_FALSE(prov.empty());
  std::size_t own = 0;
  for (std::size_t i = 0; i < prov.size(); ++i) {
    const std::string &row = prov[i];
    ASSERT_EQ(row.size(), 17u) << row;
    std::string p = row.substr(0, 8), s = row.substr(9);
    EXPECT_EQ(row[8], ' ');
    EXPECT_TRUE(digits(p, 8) && rules::chk_ICO(p) == 0) << row;
    EXPECT_TRUE(std::binary_search(subm.begin(), subm.end(), s)) << row;
    if (std::binary_search(subm.begin(), subm.end(), p)) { // a submitter that employs people
      EXPECT_EQ(p, s) << row;
      ++own;
    }
    if (i > 0) {
      EXPECT_LT(prov[i - 1].substr(0, 8), p);
    }
  }
  EXPECT_GT(own, 0u);
}

TEST(DataFiles, Occupations) {
  auto kzam = lines_of("kzam.txt");
  ASSERT_FALSE(kzam.empty());
  EXPECT_EQ(std::adjacent_find(kzam.begin(), kzam.end(), std::greater_equal<>()), kzam.end());
  for (const auto &k : kzam)
    EXPECT_TRUE(digits(k, 5) && k[0] != '0') << k;
}

// The country list: the Czech and the Slovak Republic in their three forms, the numeric codes
// ascending with 999 last, the letter codes in Czech order (CH after H), and the last twelve
// letter codes once more.
TEST(DataFiles, Countries) {
  auto st = lines_of("staty.txt");
  ASSERT_GT(st.size(), 18u);
  EXPECT_EQ(std::vector<std::string>(st.begin(), st.begin() + 6),
            (std::vector<std::string>{"CZ", "CZE", "203", "SK", "SVK", "703"}));
  auto first_letter = std::find_if(st.begin() + 6, st.end(), [](auto &c) { return !digits(c, 3); });
  std::vector<std::string> num(st.begin() + 6, first_letter);
  ASSERT_GT(num.size(), 1u);
  EXPECT_EQ(num.back(), "999");
  EXPECT_EQ(std::adjacent_find(num.begin(), num.end(), std::greater_equal<>()), num.end());
  std::vector<std::string> let(first_letter, st.end() - 12);
  std::vector<std::string> tail(st.end() - 12, st.end());
  EXPECT_EQ(std::vector<std::string>(let.end() - 12, let.end()), tail);
  auto czech = [](std::string c) { // CH sorts as one letter after H
    for (std::size_t i = 0; i + 1 < c.size(); ++i)
      if (c[i] == 'C' && c[i + 1] == 'H')
        c.replace(i, 2, "H\x7F");
    return c;
  };
  for (std::size_t i = 1; i < let.size(); ++i) {
    EXPECT_TRUE(let[i].size() == 2 || let[i].size() == 3) << let[i];
    EXPECT_TRUE(std::all_of(let[i].begin(), let[i].end(), [](char c) {
      return c >= 'A' && c <= 'Z';
    })) << let[i];
    EXPECT_LE(czech(let[i - 1]), czech(let[i])) << let[i - 1] << " " << let[i];
  }
}

} // namespace
