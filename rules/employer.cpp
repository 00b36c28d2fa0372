// The start of an employer, which prepares all per-employer state, and the rules of the
// employer elements: the identification number, the facility code and the identity of the
// employer in the run, the legal form, region and date, and the budgeted headcount and budget
// against the reported totals.
#include <algorithm>

#include "record_store.hpp"

namespace rules {

void uvolni() {
  st().anec.clear();
  st().anec.shrink_to_fit();
  st().poradi.clear();
  st().poradi.shrink_to_fit();
  st().maxAktiAnec = -1;
  st().zaznam = nullptr;
}

namespace {

using reader::s_cislo_radky;
using report::zpracuj_chybu;

// The employer's identification number by its check digit: EL031.
int chk_AA0017(std::string_view ico) {
  return chk_ico_prvku(ico, reader::st().T.Esw[tables::t::AA0017], "AA0017");
}

// Every facility code is reported (WL054); the employer column shows it from here on.
int chk_AA0113(std::string_view kod) {
  if (kod.empty())
    return 0;
  report::st().telicokod.append("/");
  report::st().telicokod.append(kod);
  zpracuj_chybu(s_cislo_radky(), "WL054", "AA0113", kod, "   ");
  return 1;
}

// A second employer with the same identity in one run: EL074. The first 100 identities are
// kept; the 101st employer gets WL901 once, and later ones are only compared.
int chk_ZamId(std::string_view id) {
  for (const auto &stored : st().TabZamId) {
    if (stored.view() != id)
      continue;
    zpracuj_chybu(s_cislo_radky(), "EL074", id.size() == 8 ? "AA0017 " : "AA0017/AA0113", id,
                  "   ");
    return 1;
  }
  ++st().nTabZamId;
  if (st().nTabZamId == 100) {
    zpracuj_chybu(s_cislo_radky(), "WL901", "zamestnavatel", id, "   ");
    return 1;
  }
  if (st().nTabZamId > 100)
    return 1;
  st().TabZamId.emplace_back(id);
  return 0;
}

// The budgeted headcount against the recalculated (AA0114) and registered (AA0115) headcount:
// EL064 outside 0.11 to 9 times AA0114 and more than 100 off both, WL063 the same with 0.8
// to 1.2 times and 10.
int chk_AA0116(double x) {
  double a = st().atel_iAA0114, b = st().atel_iAA0115;
  auto venku = [&](double f_lo, double f_hi, double tol) {
    return (x < f_lo * a || x > f_hi * a) && reader::jezdifdbl(x, a) > tol &&
           reader::jezdifdbl(x, b) > tol;
  };
  auto report_it = [&](std::string_view code, report::Text line, double f_lo, double f_hi,
                       double tol) {
    double lower = std::max(0.0, std::min(f_lo * a, a - tol));
    double upper = std::max(f_hi * a, a + tol);
    zpracuj_chybu(line, code, "AA0116", report::Text::f("%12.0f", x),
                  report::Text::f("%12.2f - %12.2f", lower, upper));
  };
  if (venku(0.11, 9.0, 100.0)) {
    report_it("EL064", s_cislo_radky(), 0.11, 9.0, 100.0);
    return 1;
  }
  if (venku(0.8, 1.2, 10.0)) {
    report_it("WL063", reader::st().T.radka(tables::t::AA0116), 0.8, 1.2, 10.0);
    return 1;
  }
  return 0;
}

// The yearly budget against the salaries of the period paid from it (AA0118 - AA0119): EL062
// outside 0.22 to 18 times, WL061 outside 1.6 to 2.4 times.
int chk_AA0123(double x) {
  double d = st().atel_iAA0118 - st().atel_iAA0119;
  auto line = reader::st().T.radka(tables::t::AA0123);
  struct Mez {
    std::string_view code;
    double lo, hi;
  };
  for (const Mez m : {Mez{"EL062", 0.22, 18.0}, Mez{"WL061", 1.6, 2.4}}) {
    double lower = m.lo * d, upper = m.hi * d;
    if (lower > x || upper < x) {
      zpracuj_chybu(line, m.code, "AA0123", report::Text::f("%12.0f", x),
                    report::Text::f("%12.0f - %12.0f", lower + 0.49, upper));
      return 1;
    }
  }
  return 0;
}

} // namespace

// The month and day of the date YYYYMMDD: EL050.
int chk_AA0110(std::string_view date) {
  std::string_view mesic = date.substr(std::min<std::size_t>(4, date.size()), 2);
  std::string_view den = date.substr(std::min<std::size_t>(6, date.size()), 2);
  if (platny_den(mesic, den))
    return 0;
  zpracuj_chybu(s_cislo_radky(), "EL050", "AA0110", date, "   ");
  return 1;
}

void pravidla_zamestnavatele(int row, std::string_view obsah, double x) {
  namespace t = tables::t;
  switch (row) {
  case t::AA0017:
    chk_AA0017(obsah);
    st().newZamId.assign(obsah);
    cis_poskytovatelu(obsah);
    break;
  case t::AA0113:
    chk_AA0113(obsah);
    if (!st().newZamId.empty()) { // an employer without a usable AA0017 has no identity
      st().newZamId.append("/");
      st().newZamId.append(obsah);
    }
    break;
  case t::AA0019:
    if (!st().newZamId.empty())
      chk_ZamId(st().newZamId);
    cis_kodpraf(obsah);
    break;
  case t::AA0179:
    cis_kodnuts(obsah, "AA0179");
    break;
  case t::AA0110:
    chk_AA0110(obsah);
    break;
  case t::AA0116:
    st().atel_iAA0116 = x;
    break;
  case t::AA0123:
    st().atel_iAA0123 = x;
    break;
  case t::AA0114:
    st().atel_iAA0114 = x;
    break;
  case t::AA0115:
    st().atel_iAA0115 = x;
    chk_AA0116(st().atel_iAA0116);
    break;
  case t::AA0118:
    st().atel_iAA0118 = x;
    break;
  case t::AA0119:
    st().atel_iAA0119 = x;
    chk_AA0123(st().atel_iAA0123);
    break;
  default:
    break;
  }
}

int zpracuj_TELz() {
  reader::st().P.pis_pritomnost(tables::Ptab, s_cislo_radky(), reader::Pritomnost::kPocet);
  st().sw_pis_TelPre = 'A';
  for (std::int64_t r = 0; r <= st().maxAktiAnec; ++r)
    st().anec[static_cast<std::size_t>(r)].zacni();
  st().maxAktiAnec = -1;
  st().zaznam = nullptr;
  st().sumz_AA0144 = st().sumz_AA0137 = st().sumz_AA0136 = 0;
  st().atel_iAA0114 = st().atel_iAA0115 = st().atel_iAA0116 = 0;
  st().atel_iAA0118 = st().atel_iAA0119 = st().atel_iAA0123 = 0;
  st().sumz_AA0223_Z = 0;
  st().sw_anec_AA0137 = st().sw_anec_AA0033 = 0;
  st().sw_stejne_vzdelani = 'A';
  st().newZamId.clear();
  reader::st().T.zacni();
  report::st().identnec.assign("   ");
  reader::st().rezim_zprac = 'T';
  reader::st().sw_bylTEL = 'A';
  reader::st().sw_bylNEC = 'N';
  return 0;
}

} // namespace rules
