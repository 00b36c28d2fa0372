// The rules of a record on values that this period's element ranges keep out of a document:
// weekly hours above 40 and 366 days in the register. Another period's ranges let them
// through, and the rules' own limits must then hold.
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "rules.hpp"

namespace {

namespace n = tables::n;

// The expected texts of the findings with `code` at the end of one record of the occupation
// `kod` and the given values (every other value 0).
std::vector<std::string> nalezy(std::string_view code, std::string_view kod,
                                std::initializer_list<std::pair<int, double>> hodnoty) {
  report::State protokol;
  report::StringSink konzole;
  protokol.konzole = &konzole;
  std::pair<std::string_view, std::vector<std::string>> sber{code, {}};
  protokol.posluchac_kontext = &sber;
  protokol.posluchac = [](const report::Nalez &row, void *c) {
    auto &[kod_nalezu, cek] = *static_cast<decltype(sber) *>(c);
    if (row[1] == kod_nalezu)
      cek.emplace_back(row[6]);
  };
  auto s = std::make_unique<rules::State>(protokol);
  s->necsav_AA0013.assign(kod);
  for (auto [row, x] : hodnoty)
    s->N.Sum[row] = x;
  rules::oddil(*s, 1, 'O');
  return sber.second;
}

using Texty = std::vector<std::string>;

TEST(RecordEnd, WeeklyHoursOfOccupationsAboveAndAtZero) {
  EXPECT_EQ(nalezy("EL005", "21", {{n::AA0131, 40}}), Texty{});
  EXPECT_EQ(nalezy("EL005", "21", {{n::AA0131, 40.01}}), Texty{"max. 40"});
  EXPECT_EQ(nalezy("EL005", "11", {{n::AA0131, 40.01}}), Texty{"max. 40"}); // "1" is above "0"
  EXPECT_EQ(nalezy("EL005", "01", {{n::AA0131, 42.5}}), Texty{});
  EXPECT_EQ(nalezy("EL005", "01", {{n::AA0131, 42.51}}), Texty{"max. 42,5"});
  EXPECT_EQ(nalezy("EL005", "/1", {{n::AA0131, 99}}), Texty{}); // below "0": neither limit
}

TEST(RecordEnd, AWholeLeapYearInTheRegisterAsksForOneYear) {
  EXPECT_EQ(nalezy("EL006", "21", {{n::AA0218, 366}, {n::AA0216, 0.99}}).size(), 1u);
  EXPECT_EQ(nalezy("EL006", "21", {{n::AA0218, 366}, {n::AA0216, 1}}).size(), 0u);
}

} // namespace
