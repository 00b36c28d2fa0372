// The built-in data of the checker: the error catalogue, the element rule tables with their
// value bounds, the code lists and the salary tariffs. All of it is constant, generated at
// build time from the data files beside this header; texts are Windows-1250 bytes.
#pragma once

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <string_view>

namespace tables {

// One row of the error catalogue (EtabTyp, EtabTxt, EtabCek).
struct Chyba {
  std::string_view typ; // the code, five characters; its first letter is the weight E or W
  std::string_view txt; // description, the last column of an error row
  std::string_view cek; // expected text written when a finding asks for it with "?"
};

// One row of an element rule table (PtabElem, PTabTyp, PtabLgFrom ... PtabErr).
struct Prvek {
  std::string_view elem; // element name as written in the document
  char typ;              // N integer, R real, S text
  int lg_from, lg_to;    // least and greatest length of the value, both allowed
  int val_from, val_to; // 0: no value check; else a TValDbl index, or kPrvniText + a TValChar index
  std::string_view err; // code reported for a failed length, conversion or range
};

#include "ldinc952.inc"

static_assert(TValDbl.size() <= kPrvniText);
static_assert(Etab.back().typ == "KONEC" && EtabPoradi.size() + 1 == Etab.size());
static_assert(Ptab.size() == 9 && Ptab.back().elem == "KoNeCP");
static_assert(Ttab.size() == 12 && Ttab.back().elem == "KoNeCT");
static_assert(Ntab.size() == 59 && Ntab.back().elem == "KoNeCN");

namespace detail {
template <std::size_t N> constexpr auto by_name(const std::array<Prvek, N> &tab) {
  std::array<std::uint8_t, N - 1> idx{};
  for (std::size_t i = 0; i < idx.size(); ++i)
    idx[i] = static_cast<std::uint8_t>(i);
  std::sort(idx.begin(), idx.end(), [&](auto a, auto b) { return tab[a].elem < tab[b].elem; });
  return idx;
}
template <const auto &Tab> inline constexpr auto kByName = by_name(Tab);
} // namespace detail

// The code lists that a lookup bisects are ascending; the country list has its own layout.
static_assert(std::is_sorted(TcisPredkladatele.begin(), TcisPredkladatele.end()));
static_assert(std::is_sorted(TcisPoskytovatele.begin(), TcisPoskytovatele.end()));
static_assert(TcisStat.size() == 718 && TcisStat[0] == "CZ" && TcisStat[5] == "703");
static_assert(tabSazeb[0] == 5460.0 && tabSazeb[575] == 36500.0 && tabSazeb[576] == 0.0);

static_assert(std::is_sorted(EtabPoradi.begin(), EtabPoradi.end(),
                             [](auto a, auto b) { return Etab[a].typ < Etab[b].typ; }));

// Rows of a table found by their text through a hash table built at compile time: open
// addressing in twice as many slots as rows, each slot the row + 1 (0 empty). Of rows with
// the same text, the first is kept.
constexpr std::uint32_t otisk(std::string_view s) { // FNV-1a
  std::uint32_t h = 2166136261u;
  for (char c : s)
    h = (h ^ static_cast<unsigned char>(c)) * 16777619u;
  return h;
}

template <std::size_t Rows, class Klic> class Rejstrik {
  static_assert(Rows < 0xffff);
  static constexpr std::size_t kSlotu = std::bit_ceil(2 * Rows);

public:
  constexpr explicit Rejstrik(Klic klic) : klic_(klic) {
    for (std::size_t i = 0; i < Rows; ++i) {
      std::size_t at = otisk(klic_(i)) & (kSlotu - 1);
      while (slot_[at] != 0 && klic_(slot_[at] - 1u) != klic_(i))
        at = (at + 1) & (kSlotu - 1);
      if (slot_[at] == 0)
        slot_[at] = static_cast<std::uint16_t>(i + 1);
    }
  }
  // The first row whose text is `s`, or -1.
  constexpr int najdi(std::string_view s) const {
    for (std::size_t at = otisk(s) & (kSlotu - 1); slot_[at] != 0; at = (at + 1) & (kSlotu - 1))
      if (klic_(slot_[at] - 1u) == s)
        return slot_[at] - 1;
    return -1;
  }

private:
  [[no_unique_address]] Klic klic_;
  std::array<std::uint16_t, kSlotu> slot_{};
};

// The rejstrik of a list of texts: the position of a text in it.
template <const auto &List> constexpr auto rejstrik() {
  auto klic = [](std::size_t i) { return List[i]; };
  return Rejstrik<List.size(), decltype(klic)>(klic);
}

namespace detail {
inline constexpr auto kKodyChyb = [] {
  auto klic = [](std::size_t i) { return Etab[i].typ; };
  return Rejstrik<Etab.size() - 1, decltype(klic)>(klic);
}();
} // namespace detail

// The catalogue row of a code, or nullptr; the end marker row never matches.
inline const Chyba *najdi_chybu(std::string_view code) {
  int row = detail::kKodyChyb.najdi(code);
  return row < 0 ? nullptr : &Etab[static_cast<std::size_t>(row)];
}

// The row of an element name in one of the tables Ptab, Ttab, Ntab (end marker excluded), or -1.
template <const auto &Tab> int najdi_prvek(std::string_view name) {
  const auto &idx = detail::kByName<Tab>;
  auto it =
      std::lower_bound(idx.begin(), idx.end(), name,
                       [](std::uint8_t row, std::string_view n) { return Tab[row].elem < n; });
  return it != idx.end() && Tab[*it].elem == name ? *it : -1;
}

} // namespace tables
