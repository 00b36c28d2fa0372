// The built-in data of the checker: the error catalogue, the element rule tables with their
// value bounds, the code lists and the salary tariffs. All of it is constant, generated at
// build time from the data files beside this header; texts are Windows-1250 bytes.
#pragma once

#include <algorithm>
#include <array>
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
static_assert(std::is_sorted(TcisKzam.begin(), TcisKzam.end()));
static_assert(std::is_sorted(TcisNuts.begin(), TcisNuts.end()));
static_assert(TcisStat.size() == 718 && TcisStat[0] == "CZ" && TcisStat[5] == "703");
static_assert(tabSazeb[0] == 5460.0 && tabSazeb[575] == 36500.0 && tabSazeb[576] == 0.0);

static_assert(std::is_sorted(EtabPoradi.begin(), EtabPoradi.end(),
                             [](auto a, auto b) { return Etab[a].typ < Etab[b].typ; }));

// The catalogue row of a code, or nullptr; the end marker row never matches.
inline const Chyba *najdi_chybu(std::string_view code) {
  auto it =
      std::lower_bound(EtabPoradi.begin(), EtabPoradi.end(), code,
                       [](std::uint16_t row, std::string_view c) { return Etab[row].typ < c; });
  return it != EtabPoradi.end() && Etab[*it].typ == code ? &Etab[*it] : nullptr;
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
