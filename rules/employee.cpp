// Employee records: the start of a record, which checks the employer's element counts at the
// first one and takes the next row of the record store, the capture of the values that the
// closing checks need, and the code-list checks of the record's codes.
#include <algorithm>
#include <cmath>
#include <limits>

#include "internal.hpp"

namespace rules {

namespace {

char prvni_znak(std::string_view text) { return text.empty() ? '\0' : text[0]; }

} // namespace

std::int32_t cele(double x) {
  constexpr double lo = std::numeric_limits<std::int32_t>::min();
  constexpr double hi = std::numeric_limits<std::int32_t>::max();
  return static_cast<std::int32_t>(std::trunc(std::min(std::max(x, lo), hi)));
}

namespace {

// The row of a new record: a row of an earlier employer, or a new one past them.
void radek_zaznamu(State &s) {
  auto r = static_cast<std::size_t>(s.maxAktiAnec);
  if (s.anec.size() <= r) {
    s.anec.emplace_back();
    s.anec.back().zacni();
  }
}

} // namespace

void zpracuj_NECz(State &s) {
  if (s.sw_pis_TelPre == 'A') {
    pis_pritomnost(s, s.T, tables::Ttab, s_cislo_radky(s), Pritomnost::kPocet);
    s.sw_pis_TelPre = 'N';
  }
  s.N.zacni();
  ++s.maxAktiAnec; // the store has no capacity limit: every record gets a row of its own
  radek_zaznamu(s);
  s.zaznam = &s.anec[static_cast<std::size_t>(s.maxAktiAnec)];
  s.sw_bylNEC = 'A';
}

void zachyt_zamestnance(State &s, int row, std::string_view obsah, double x) {
  namespace n = tables::n;
  if (s.maxAktiAnec < 0) // only inside a record, which has its row
    return;
  Zaznam &z = *s.zaznam;
  switch (row) {
  case n::AA0126:
    z.anec_iAA0126.assign(obsah);
    z.anec_lin = s.cislo_radky;
    z.ma_AA0126 = true;
    break;
  case n::AA0231:
    z.anec_iAA0231 = cele(x);
    break;
  case n::AA0211:
    z.anec_iAA0211 = prvni_znak(obsah);
    break;
  case n::AA0223:
    z.anec_iAA0223 = prvni_znak(obsah);
    break;
  case n::AA0033:
    z.anec_iAA0033 = static_cast<std::int16_t>(radek_statu(obsah));
    break;
  case n::AA0013:
    s.necsav_AA0013.assign(obsah);
    break;
  case n::AA0131:
    z.anec_iAA0131 = x;
    break;
  case n::AA0132:
    z.anec_iAA0132 = x;
    break;
  case n::AA0137:
    z.anec_iAA0137 = cele(x);
    break;
  default:
    break;
  }
}

void ciselniky_zamestnance(State &s, int row, std::string_view obsah) {
  namespace n = tables::n;
  switch (row) {
  case n::AA0223:
    cis_kodvzde(s, obsah);
    break;
  case n::AA0033:
    cis_kodstat(s, obsah);
    break;
  case n::AA0013:
    cis_kodzam(s, obsah);
    break;
  case n::AA0130:
    cis_koddppv(s, obsah);
    break;
  case n::AA0091:
    cis_postzam(s, obsah);
    break;
  case n::AA0690:
    cis_kodnuts(s, obsah, "AA0690");
    break;
  default:
    break;
  }
}

} // namespace rules
