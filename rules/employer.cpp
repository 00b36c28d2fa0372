// The start of an employer, which prepares all per-employer state, and the rules of the
// employer elements: the identification number, the facility code and the identity of the
// employer in the run, the legal form, region and date, and the budgeted headcount and budget
// against the reported totals.
#include <algorithm>

#include "internal.hpp"

namespace rules {

void uvolni(State &s) {
  s.anec.clear();
  s.anec.shrink_to_fit();
  s.poradi.clear();
  s.poradi.shrink_to_fit();
  s.maxAktiAnec = -1;
  s.zaznam = nullptr;
}

namespace {

// The employer's identification number by its check digit: EL031.
void chk_AA0017(State &s, std::string_view ico) {
  chk_ico_prvku(s, ico, s.T.Esw[tables::t::AA0017], "AA0017");
}

// Every facility code is reported (WL054); the employer column shows it from here on.
void chk_AA0113(State &s, std::string_view kod) {
  if (kod.empty())
    return;
  s.telicokod.append("/");
  s.telicokod.append(kod);
  zpracuj_chybu(s, s_cislo_radky(s), "WL054", "AA0113", kod, "   ");
}

// A second employer with the same identity in one run: EL074. The first 100 identities are
// kept; the 101st employer gets WL901 once, and later ones are only compared.
void chk_ZamId(State &s, std::string_view id) {
  for (const auto &stored : s.TabZamId) {
    if (stored.view() != id)
      continue;
    zpracuj_chybu(s, s_cislo_radky(s), "EL074", id.size() == 8 ? "AA0017 " : "AA0017/AA0113", id,
                  "   ");
    return;
  }
  ++s.nTabZamId;
  if (s.nTabZamId < 100)
    s.TabZamId.emplace_back(id);
  else if (s.nTabZamId == 100)
    zpracuj_chybu(s, s_cislo_radky(s), "WL901", "zamestnavatel", id, "   ");
}

// The budgeted headcount against the recalculated (AA0114) and registered (AA0115) headcount:
// EL064 outside 0.11 to 9 times AA0114 and more than 100 off both, WL063 the same with 0.8
// to 1.2 times and 10.
void chk_AA0116(State &s, double x) {
  double a = s.atel_iAA0114, b = s.atel_iAA0115;
  auto venku = [&](double f_lo, double f_hi, double tol) {
    return (x < f_lo * a || x > f_hi * a) && reader::jezdifdbl(x, a) > tol &&
           reader::jezdifdbl(x, b) > tol;
  };
  auto report_it = [&](std::string_view code, report::Text line, double f_lo, double f_hi,
                       double tol) {
    double lower = std::max(0.0, std::min(f_lo * a, a - tol));
    double upper = std::max(f_hi * a, a + tol);
    zpracuj_chybu(s, line, code, "AA0116", report::Text::f("%12.0f", x),
                  report::Text::f("%12.2f - %12.2f", lower, upper));
  };
  if (venku(0.11, 9.0, 100.0))
    report_it("EL064", s_cislo_radky(s), 0.11, 9.0, 100.0);
  else if (venku(0.8, 1.2, 10.0))
    report_it("WL063", s.T.radka(tables::t::AA0116), 0.8, 1.2, 10.0);
}

// The yearly budget against the salaries of the period paid from it (AA0118 - AA0119): EL062
// outside 0.22 to 18 times, WL061 outside 1.6 to 2.4 times.
void chk_AA0123(State &s, double x) {
  double d = s.atel_iAA0118 - s.atel_iAA0119;
  auto line = s.T.radka(tables::t::AA0123);
  struct Mez {
    std::string_view code;
    double lo, hi;
  };
  for (const Mez m : {Mez{"EL062", 0.22, 18.0}, Mez{"WL061", 1.6, 2.4}}) {
    double lower = m.lo * d, upper = m.hi * d;
    if (lower > x || upper < x) {
      zpracuj_chybu(s, line, m.code, "AA0123", report::Text::f("%12.0f", x),
                    report::Text::f("%12.0f - %12.0f", lower + 0.49, upper));
      return;
    }
  }
}

} // namespace

// The month and day of the date YYYYMMDD: EL050.
void chk_AA0110(State &s, std::string_view date) {
  std::string_view mesic = date.substr(std::min<std::size_t>(4, date.size()), 2);
  std::string_view den = date.substr(std::min<std::size_t>(6, date.size()), 2);
  if (!platny_den(mesic, den))
    zpracuj_chybu(s, s_cislo_radky(s), "EL050", "AA0110", date, "   ");
}

void pravidla_zamestnavatele(State &s, int row, std::string_view obsah, double x) {
  namespace t = tables::t;
  switch (row) {
  case t::AA0017:
    chk_AA0017(s, obsah);
    s.newZamId.assign(obsah);
    cis_poskytovatelu(s, obsah);
    break;
  case t::AA0113:
    chk_AA0113(s, obsah);
    if (!s.newZamId.empty()) { // an employer without a usable AA0017 has no identity
      s.newZamId.append("/");
      s.newZamId.append(obsah);
    }
    break;
  case t::AA0019:
    if (!s.newZamId.empty())
      chk_ZamId(s, s.newZamId);
    cis_kodpraf(s, obsah);
    break;
  case t::AA0179:
    cis_kodnuts(s, obsah, "AA0179");
    break;
  case t::AA0110:
    chk_AA0110(s, obsah);
    break;
  case t::AA0116:
    s.atel_iAA0116 = x;
    break;
  case t::AA0123:
    s.atel_iAA0123 = x;
    break;
  case t::AA0114:
    s.atel_iAA0114 = x;
    break;
  case t::AA0115:
    s.atel_iAA0115 = x;
    chk_AA0116(s, s.atel_iAA0116);
    break;
  case t::AA0118:
    s.atel_iAA0118 = x;
    break;
  case t::AA0119:
    s.atel_iAA0119 = x;
    chk_AA0123(s, s.atel_iAA0123);
    break;
  default:
    break;
  }
}

void zpracuj_TELz(State &s) {
  pis_pritomnost(s, s.P, tables::Ptab, s_cislo_radky(s), Pritomnost::kPocet);
  s.sw_pis_TelPre = 'A';
  for (std::int64_t r = 0; r <= s.maxAktiAnec; ++r)
    s.anec[static_cast<std::size_t>(r)].zacni();
  s.maxAktiAnec = -1;
  s.zaznam = nullptr;
  s.sumz_AA0144 = s.sumz_AA0137 = s.sumz_AA0136 = 0;
  s.atel_iAA0114 = s.atel_iAA0115 = s.atel_iAA0116 = 0;
  s.atel_iAA0118 = s.atel_iAA0119 = s.atel_iAA0123 = 0;
  s.sumz_AA0223_Z = 0;
  s.sw_anec_AA0137 = s.sw_anec_AA0033 = 0;
  s.sw_stejne_vzdelani = 'A';
  s.newZamId.clear();
  s.T.zacni();
  s.identnec.assign("   ");
  s.sw_bylTEL = 'A';
  s.sw_bylNEC = 'N';
}

} // namespace rules
