// Employee records: the start of a record, which checks the employer's element counts at the
// first one and takes the next row of the record store, the capture of the values that the
// closing checks need, and the code-list checks of the record's codes.
#include <algorithm>
#include <cmath>
#include <limits>

#include "record_store.hpp"

namespace rules {

namespace {

using reader::s_cislo_radky;
using report::zpracuj_chybu;

char prvni_znak(std::string_view text) { return text.empty() ? '\0' : text[0]; }

} // namespace

std::int32_t cele(double x) {
  constexpr double lo = std::numeric_limits<std::int32_t>::min();
  constexpr double hi = std::numeric_limits<std::int32_t>::max();
  return static_cast<std::int32_t>(std::trunc(std::min(std::max(x, lo), hi)));
}

namespace {

// The row of a new record: a row of an earlier employer, or a new one past them.
void radek_zaznamu() {
  auto r = static_cast<std::size_t>(st().maxAktiAnec);
  if (st().anec.size() <= r) {
    st().anec.emplace_back();
    st().anec.back().zacni();
  }
}

} // namespace

int zpracuj_NECz() {
  if (st().sw_pis_TelPre == 'A') {
    reader::st().T.pis_pritomnost(tables::Ttab, s_cislo_radky(), reader::Pritomnost::kPocet);
    st().sw_pis_TelPre = 'N';
  }
  reader::st().rezim_zprac = 'N';
  reader::st().N.zacni();
  ++st().maxAktiAnec; // the store has no capacity limit: every record gets a row of its own
  radek_zaznamu();
  st().zaznam = &st().anec[static_cast<std::size_t>(st().maxAktiAnec)];
  reader::st().sw_bylNEC = 'A';
  return 0;
}

void zachyt_zamestnance(int row, std::string_view obsah, double x) {
  namespace n = tables::n;
  if (st().maxAktiAnec < 0) // only inside a record, which has its row
    return;
  Zaznam &z = *st().zaznam;
  switch (row) {
  case n::AA0126:
    z.anec_iAA0126.assign(obsah);
    z.anec_lin = reader::st().cislo_radky;
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
    st().necsav_AA0013.assign(obsah);
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

void ciselniky_zamestnance(int row, std::string_view obsah) {
  namespace n = tables::n;
  switch (row) {
  case n::AA0223:
    cis_kodvzde(obsah);
    break;
  case n::AA0033:
    cis_kodstat(obsah);
    break;
  case n::AA0013:
    cis_kodzam(obsah);
    break;
  case n::AA0130:
    cis_koddppv(obsah);
    break;
  case n::AA0091:
    cis_postzam(obsah);
    break;
  case n::AA0690:
    cis_kodnuts(obsah, "AA0690");
    break;
  default:
    break;
  }
}

} // namespace rules
