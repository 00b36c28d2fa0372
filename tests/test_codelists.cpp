// The identification number check, the number conversion of the submitter and provider
// lookups, the country rows and the tariff positions. (The form of the code-list files is
// checked by the build that turns them into tables.)
#include <algorithm>
#include <cstdio>
#include <gtest/gtest.h>
#include <string>

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

// "\r12x": blanks before the number and a letter after it.
TEST(CisloICO, ReadsTheLeadingNumberLikeAtof) {
  struct Row {
    const char *text;
    std::uint32_t value;
  } rows[] = {{"00000060", 60},   {"60", 60},   {"0021217x", 21217}, {" 12", 12},  {"-5", 0},
              {"1e3xxxxx", 1000}, {"1e", 1},    {"12.9", 12},        {"x1", 0},    {"", 0},
              {"0x1A", 0},        {".5e1", 5},  {"4294967296", 0},   {"-0.5", 0},  {"2E2", 200},
              {"1e+2xx", 100},    {"25e-1", 2}, {"1e+", 1},          {"\t12", 12}, {"\r12x", 12},
              {"+12", 12},        {"1e400", 0}, {"4294967295", ~0u}};
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

// The hashed lookups find every listed text at its first row and nothing else.
TEST(Rejstrik, FindsEveryListedTextAndNoOther) {
  constexpr auto kzam = tables::rejstrik<tables::TcisKzam>();
  const auto &list = tables::TcisKzam;
  char code[6] = {};
  for (int v = 0; v < 100000; ++v) {
    std::snprintf(code, sizeof code, "%05d", v);
    int row = kzam.najdi(code);
    auto it = std::lower_bound(list.begin(), list.end(), std::string_view(code));
    ASSERT_EQ(row, it != list.end() && *it == code ? it - list.begin() : -1) << code;
  }
  for (const char *absent : {"", "1", "011010", "01101 ", " 01101"})
    EXPECT_EQ(kzam.najdi(absent), -1) << absent;
  for (std::size_t i = 0; i + 1 < tables::Etab.size(); ++i) {
    std::string_view typ = tables::Etab[i].typ;
    EXPECT_EQ(tables::najdi_chybu(typ), &tables::Etab[i]) << typ;
    EXPECT_EQ(tables::najdi_chybu(std::string(typ) + "0"), nullptr) << typ;
    EXPECT_EQ(tables::najdi_chybu(typ.substr(0, 4)), nullptr) << typ;
  }
  EXPECT_EQ(tables::najdi_chybu("KONEC"), nullptr); // the end marker row
  EXPECT_EQ(tables::najdi_chybu(""), nullptr);
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
  EXPECT_EQ(rules::tarif(4, 1, 2), 0);             // just past it
  EXPECT_EQ(rules::tarif(0, 1, 1), 0);             // before the table
  EXPECT_EQ(rules::tarif(1, 1, 0), 0);
  EXPECT_EQ(rules::tarif(9, 9, 9), 0); // past it
}

} // namespace
