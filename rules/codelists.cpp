// The built-in code lists: submitters and their providers, occupations, legal forms,
// countries, regions, employment status, relationship type and education, the check digit of
// an identification number and the salary tariffs. Each lookup reports its own finding.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>

#include "internal.hpp"

namespace rules {

namespace {

// Membership in the long code lists, by hash.
template <const auto &List> bool v_rejstriku(std::string_view text) {
  static constexpr auto kRejstrik = tables::rejstrik<List>();
  return kRejstrik.najdi(text) >= 0;
}

template <std::size_t N>
bool v_seznamu(const std::array<std::string_view, N> &list, std::string_view text) {
  return std::find(list.begin(), list.end(), text) != list.end();
}

// The end of a code-list lookup: the finding `code` for a value that is not listed.
void v_ciselniku(State &s, bool listed, std::string_view code, std::string_view elem,
                 std::string_view text, std::string_view expected = "   ") {
  if (!listed)
    zpracuj_chybu(s, s_cislo_radky(s), code, elem, text, expected);
}

report::Text osm_cislic(std::uint32_t v) { return report::Text::f("%08u", v); }

} // namespace

int chk_ICO(std::string_view ico) {
  if (ico.size() != 8)
    return 2;
  // no test that these are digits
  auto cislice = [&](std::size_t i) { return static_cast<unsigned char>(ico[i]) - 48; };
  int s = 0; // the first seven digits weighted 8 down to 2
  for (std::size_t i = 0; i < 7; ++i)
    s += static_cast<int>(8 - i) * cislice(i);
  int c = 11 - s % 11;
  if (c > 9)
    c -= 10;
  return c == cislice(7) ? 0 : 1;
}

std::uint32_t cislo_ico(std::string_view text) {
  // The longest prefix of the form: blanks, sign, digits, point, digits, exponent. Past the
  // end of the text stands a NUL, which none of them is.
  auto at = [&](std::size_t k) { return k < text.size() ? text[k] : '\0'; };
  auto digit = [&](std::size_t k) { return at(k) >= '0' && at(k) <= '9'; };
  std::size_t i = 0;
  while (at(i) == ' ' || (at(i) >= '\t' && at(i) <= '\r'))
    ++i;
  std::size_t from = i;
  if (at(i) == '+' || at(i) == '-')
    ++i;
  bool cislice = false;
  for (; digit(i); ++i)
    cislice = true;
  if (at(i) == '.')
    for (++i; digit(i); ++i)
      cislice = true;
  if (!cislice)
    return 0;
  if (at(i) == 'e' || at(i) == 'E') {
    std::size_t e = i + 1;
    if (at(e) == '+' || at(e) == '-')
      ++e;
    if (digit(e)) {
      for (i = e; digit(i); ++i)
        ;
    }
  }
  // The C library's conversion without its locale: a host program's decimal comma must not
  // change the number. Beyond the range of a double it gives 0, as an infinity would.
  auto x = reader::jstrtod(text.substr(from, i - from));
  if (!x)
    return 0;
  double v = std::trunc(*x);
  if (!std::isfinite(v) || v < 0 || v > 4294967295.0)
    return 0;
  return static_cast<std::uint32_t>(v);
}

void cis_predkladatelu(State &s, std::string_view text) {
  s.l_predkladatel = cislo_ico(text);
  if (s.P.chybny(tables::p::ICOpredkladatele))
    return;
  const auto &list = tables::TcisPredkladatele;
  if (!std::binary_search(list.begin(), list.end(), s.l_predkladatel))
    zpracuj_chybu(s, s_cislo_radky(s), "ER202", "ICOpredkladatele", osm_cislic(s.l_predkladatel),
                  "   ");
}

void cis_poskytovatelu(State &s, std::string_view text) {
  std::uint32_t ico = cislo_ico(text);
  if (s.T.chybny(tables::t::AA0017))
    return;
  auto line = s.T.radka(tables::t::AA0017);
  const auto &list = tables::TcisPoskytovatele;
  auto it = std::lower_bound(list.begin(), list.end(), ico);
  if (it == list.end() || *it != ico) {
    zpracuj_chybu(s, line, "WR204", "AA0017", osm_cislic(ico), "   ");
    return;
  }
  std::uint32_t jeho = tables::TcisPoskPredkladatel[static_cast<std::size_t>(it - list.begin())];
  if (jeho != s.l_predkladatel)
    zpracuj_chybu(s, line, "WR204", "ICOpredkladatele", osm_cislic(s.l_predkladatel),
                  osm_cislic(jeho));
}

void cis_kodzam(State &s, std::string_view text) {
  if (!v_rejstriku<tables::TcisKzam>(text))
    zpracuj_chybu(s, s_cislo_radky(s), "EL046", "AA0013", text, "   ");
  else if (text.substr(4, 1) == "0")
    zpracuj_chybu(s, s_cislo_radky(s), "WL039", "AA0013", text, "   ");
}

void cis_kodpraf(State &s, std::string_view text) {
  v_ciselniku(s, v_rejstriku<tables::TcisPraf>(text), "EL055", "AA0019", text);
}

std::int32_t radek_statu(std::string_view text) {
  static constexpr auto kStaty = tables::rejstrik<tables::TcisStat>(); // the first row of a code
  int row = kStaty.najdi(text);
  return row >= 0 ? row : static_cast<std::int32_t>(tables::TcisStat.size());
}

void cis_kodstat(State &s, std::string_view text) {
  if (text.size() > 2) {
    s.sw_anec_AA0033 = 1;
    s.lin_anec_AA0033 = s.cislo_radky;
    s.val_anec_AA0033.assign(text);
  }
  std::int32_t row = radek_statu(text);
  if (row == static_cast<std::int32_t>(tables::TcisStat.size()))
    zpracuj_chybu(s, s_cislo_radky(s), "EL047", "AA0033", text, "   ");
  else if (row > 5) // the three forms of the Czech and the Slovak Republic need no warning
    zpracuj_chybu(s, s_cislo_radky(s), "WL033", "AA0033", text, "?");
}

void cis_postzam(State &s, std::string_view text) {
  v_ciselniku(s, v_seznamu(tables::TcisPostzam, text), "EL068", "AA0091", text);
}

void cis_koddppv(State &s, std::string_view text) {
  v_ciselniku(s, v_seznamu(tables::TcisDppv, text), "EL004", "AA0130", text, "10, (1)");
}

void cis_kodnuts(State &s, std::string_view text, std::string_view elem) {
  v_ciselniku(s, v_rejstriku<tables::TcisNuts>(text), "EL056", elem, text);
}

void cis_kodvzde(State &s, std::string_view text) {
  v_ciselniku(s, v_seznamu(tables::TcisVzde, text), "EL048", "AA0223", text);
}

double tarif(double t, double k, double g) {
  double pos = std::trunc(192 * (t - 1) + 12 * (k - 1) + (g - 1));
  if (!(pos >= 0 && pos < static_cast<double>(tables::tabSazeb.size())))
    return 0;
  return tables::tabSazeb[static_cast<std::size_t>(pos)];
}

} // namespace rules
