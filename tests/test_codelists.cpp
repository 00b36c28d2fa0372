// The identification number check, the number conversion of the submitter and provider
// lookups, the country rows and the tariff positions, and the shapes of the code-list data
// files that the campaign may replace.
#include <algorithm>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <vector>

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
              {"-0.5", 0}};
  for (const Row &r : rows)
    EXPECT_EQ(rules::cislo_ico(r.text), r.value) << r.text;
}

TEST(RadekStatu, FirstEqualRowOrOnePastTheEnd) {
  EXPECT_EQ(rules::radek_statu("CZ"), 0);
  EXPECT_EQ(rules::radek_statu("CZE"), 1);
  EXPECT_EQ(rules::radek_statu("SK"), 3);
  EXPECT_EQ(rules::radek_statu("ZWE"), 705); // its repeat in the last rows never matches
  EXPECT_EQ(rules::radek_statu("XX"), 718);
  EXPECT_EQ(rules::radek_statu("cz"), 718);
  EXPECT_EQ(rules::radek_statu(""), 718);
}

TEST(Tarif, PositionsOfTableClassAndGrade) {
  EXPECT_EQ(rules::tarif(1, 1, 1), 5460);
  EXPECT_EQ(rules::tarif(2, 5, 3), 9430);
  EXPECT_EQ(rules::tarif(1, 10, 12), 17060);
  EXPECT_EQ(rules::tarif(3, 16, 12), 36500);
  EXPECT_EQ(rules::tarif(4, 1, 1), 0); // the closing entry
  EXPECT_EQ(rules::tarif(0, 1, 1), 0); // before the table
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

TEST(DataFiles, SubmittersAndProviders) {
  auto subm = lines_of("predkladatele.txt");
  ASSERT_EQ(subm.size(), 7132u);
  EXPECT_TRUE(std::is_sorted(subm.begin(), subm.end()));
  EXPECT_EQ(std::adjacent_find(subm.begin(), subm.end()), subm.end());
  for (const auto &s : subm)
    EXPECT_TRUE(s.size() == 8 && rules::chk_ICO(s) == 0) << s;
  auto prov = lines_of("poskytovatele.txt");
  ASSERT_EQ(prov.size(), 19665u);
  std::size_t own = 0;
  for (std::size_t i = 0; i < prov.size(); ++i) {
    const std::string &row = prov[i];
    ASSERT_EQ(row.size(), 17u) << row;
    std::string p = row.substr(0, 8), s = row.substr(9);
    EXPECT_EQ(row[8], ' ');
    EXPECT_EQ(rules::chk_ICO(p), 0) << row;
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
  ASSERT_EQ(kzam.size(), 3702u);
  std::vector<std::string> first(kzam.begin(), kzam.begin() + 8), last(kzam.end() - 5, kzam.end());
  EXPECT_EQ(first, (std::vector<std::string>{"11210", "11211", "11212", "11213", "11214", "11215",
                                             "11219", "11220"}));
  EXPECT_EQ(last, (std::vector<std::string>{"93394", "93395", "93397", "93398", "93399"}));
  EXPECT_EQ(std::count_if(kzam.begin(), kzam.end(), [](auto &k) { return k[4] == '0'; }), 497);
  EXPECT_EQ(std::adjacent_find(kzam.begin(), kzam.end(), std::greater_equal<>()), kzam.end());
  for (const auto &k : kzam)
    EXPECT_TRUE(k.size() == 5 && k[0] != '0' &&
                k.find_first_not_of("0123456789") == std::string::npos)
        << k;
}

TEST(DataFiles, Countries) {
  auto st = lines_of("staty.txt");
  ASSERT_EQ(st.size(), 718u);
  EXPECT_EQ(std::vector<std::string>(st.begin(), st.begin() + 6),
            (std::vector<std::string>{"CZ", "CZE", "203", "SK", "SVK", "703"}));
  std::vector<std::string> num(st.begin() + 6, st.begin() + 241);
  EXPECT_EQ(num.front(), "004");
  EXPECT_EQ(num[num.size() - 2], "894");
  EXPECT_EQ(num.back(), "999");
  EXPECT_EQ(std::adjacent_find(num.begin(), num.end(), std::greater_equal<>()), num.end());
  std::vector<std::string> let(st.begin() + 241, st.begin() + 706);
  EXPECT_EQ(let.front(), "ABW");
  EXPECT_EQ(let.back(), "ZWE");
  auto hun = std::find(let.begin(), let.end(), "HUN");
  ASSERT_NE(hun, let.end());
  EXPECT_EQ(std::vector<std::string>(hun + 1, hun + 5),
            (std::vector<std::string>{"CH", "CHE", "CHL", "CHN"}));
  std::vector<std::string> plain;
  std::copy_if(let.begin(), let.end(), std::back_inserter(plain),
               [](auto &c) { return c.rfind("CH", 0) != 0; });
  EXPECT_TRUE(std::is_sorted(plain.begin(), plain.end()));
  std::vector<std::string> tail = {"WSM", "YE",  "YEM", "YT",  "YU", "YUG",
                                   "ZA",  "ZAF", "ZM",  "ZMB", "ZW", "ZWE"};
  EXPECT_EQ(std::vector<std::string>(st.begin() + 694, st.begin() + 706), tail);
  EXPECT_EQ(std::vector<std::string>(st.begin() + 706, st.end()), tail);
  for (const char *c : {"AN", "ANT", "CS", "SCG", "YU", "YUG"})
    EXPECT_NE(std::find(let.begin(), let.end(), c), let.end()) << c;
}

} // namespace
