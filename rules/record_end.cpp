// The end of an employee record: the progress line, the repeated elements, the cross-field
// rules of the record (presence, working time, years, tariffs and bonuses, sums, headcount,
// days, age), and the record's share of the employer's running sums.
#include <cmath>

#include "record_store.hpp"

namespace rules {

namespace {

using report::Text;
using report::zpracuj_chybu;
namespace n = tables::n;

// Constants of the reporting period, the first half of 2008.
constexpr double kRok = 2008;          // year of the report
constexpr double kDniObdobi = 182;     // calendar days of the period
constexpr double kDniRoku = 366;       // days of the year
constexpr double kPracovnichDni = 130; // working days of the period, holidays included
constexpr double kHodinObdobi = 1248;  // hours of the period of one full-time employee

double v(int x) { return reader::st().N.hodnota(x); }
bool flag(int x) { return reader::st().N.chybny(x); }
Text line(int x) { return reader::st().N.radka(x); }
// True when none of the elements carries the mark E: a rule reading them may run.
bool bez_chyb(std::initializer_list<int> xs) {
  for (int x : xs)
    if (flag(x))
      return false;
  return true;
}
Text f(const char *fmt, double a) { return Text::f(fmt, a); }
bool venku(double x, double lo, double hi) { return x < lo || x > hi; }

// The first character of the saved occupation code, as a signed 8-bit value: above "0" and
// equal to "0" select different limits; anything below "0" or above 127 is neither.
int kod_zamestnani() {
  std::string_view kod = st().necsav_AA0013;
  return kod.empty() ? 0 : static_cast<signed char>(kod[0]);
}

// The rules of one record, numbered as the rule list of a record has them; the codes are
// listed at zpracuj_NECk.
int k_NecK() {
  auto cur = reader::s_cislo_radky();
  const int c = kod_zamestnani();
  const bool nad0 = c > '0', rovno0 = c == '0';

  // Rule 0: every element exactly once.
  reader::st().N.pis_pritomnost(tables::Ntab, cur, reader::Pritomnost::kNazev);

  // 1: weekly working time.
  if (bez_chyb({n::AA0131})) {
    if (nad0 && v(n::AA0131) > 40)
      zpracuj_chybu(line(n::AA0131), "EL005", "AA0131", f("%10.2f", v(n::AA0131)), "max. 40");
    if (rovno0 && v(n::AA0131) > 42.5)
      zpracuj_chybu(line(n::AA0131), "EL005", "AA0131", f("%10.2f", v(n::AA0131)), "max. 42,5");
  }
  // 2: days in the register against the years of employment.
  if (bez_chyb({n::AA0216, n::AA0218, n::AA0225})) {
    double y = v(n::AA0218) == kDniRoku
                   ? 1
                   : static_cast<double>(cele(100 * (v(n::AA0218) / kDniRoku - 0.0005))) / 100;
    double roky = v(n::AA0216) + v(n::AA0225);
    if (y > roky)
      zpracuj_chybu(line(n::AA0225), "EL006", "AA0225 + AA0216", f("%10.2f", roky),
                    f(">= %10.2f", y));
  }
  // 3: hours paid against the hours of the period.
  if (bez_chyb({n::AA0132, n::AA0133, n::AA0136, n::AA0218, n::AA0219}) && v(n::AA0136) > 0 &&
      v(n::AA0218) > 0) {
    double h =
        (v(n::AA0132) - v(n::AA0133)) + 8 * v(n::AA0219) * v(n::AA0136) * kDniObdobi / v(n::AA0218);
    double plne = kHodinObdobi * v(n::AA0136);
    if (h < 0.6 * plne || h > plne)
      zpracuj_chybu(line(n::AA0136), "WL009", "AA0132; AA0133; AA0218; AA0219; AA0136;",
                    Text::f("%10.2f ; %10.2f ;  %3.0f ;  %3.0f ; %10.4f ;", v(n::AA0132),
                            v(n::AA0133), v(n::AA0218), v(n::AA0219), v(n::AA0136)),
                    "   ");
  }
  // 4: holiday within the absence with pay.
  if (bez_chyb({n::AA0134, n::AA0135}) && v(n::AA0134) < v(n::AA0135))
    zpracuj_chybu(line(n::AA0135), "EL010", "AA0135", f("%10.2f", v(n::AA0135)),
                  f("%10.2f", v(n::AA0134)));
  // 5, 6: the tariff by table, class and grade; without a grade within the class; without a
  // table or class within the whole tariff table.
  const double t = v(n::AA0129), k = v(n::AA0127), g = v(n::AA0128);
  if (bez_chyb({n::AA0127, n::AA0128, n::AA0129, n::AA0138}) && v(n::AA0137) == 1) {
    const double plat = v(n::AA0138);
    if (t > 0 && k > 0 && g > 0) {
      if (tarif(t, k, g) != plat)
        zpracuj_chybu(line(n::AA0138), "EL051", "AA0138", f("%10.0f", plat),
                      f("%10.0f", tarif(t, k, g)));
    } else if (t > 0 && k > 0 && g == 0) {
      double lo = tarif(t, k, 1), hi = tarif(t, k, 12);
      if (venku(plat, lo, hi))
        zpracuj_chybu(line(n::AA0138), "EL051", "AA0138", f("%10.0f", plat),
                      Text::f("%10.0f  - %10.0f", lo, hi));
    } else { // no table or no class, or a grade below 0
      double lo = tables::tabSazeb[0], hi = tables::tabSazeb[575];
      if (venku(plat, lo, hi))
        zpracuj_chybu(line(n::AA0138), "EL051", "AA0138", f("%10.0f", plat),
                      Text::f("%10.0f - %10.0f", lo, hi));
    }
  }
  // 7, 8: personal bonus and management bonus against the top tariff of the class.
  const bool v_evidenci =
      v(n::AA0137) == 1 && t > 0 && k > 0 && v(n::AA0136) > 0 && v(n::AA0218) > 0;
  if (bez_chyb({n::AA0127, n::AA0129, n::AA0139}) && v_evidenci) {
    double m = tarif(t, k, 12);
    if (k < 10)
      m /= 2;
    if (v(n::AA0139) > m)
      zpracuj_chybu(line(n::AA0139), "EL012", "AA0139", f("%10.0f", v(n::AA0139)), f("%10.0f", m));
  }
  if (bez_chyb({n::AA0127, n::AA0129, n::AA0137, n::AA0140}) && v_evidenci) {
    double m = 0.6 * tarif(t, k, 12);
    if (v(n::AA0140) > m)
      zpracuj_chybu(line(n::AA0140), "EL013", "AA0140", f("%10.0f", v(n::AA0140)),
                    f(" <= %10.0f", m));
  }
  // 9 to 12: salary sums, added in the order given and compared exactly.
  if (bez_chyb({n::AA0145, n::AA0146, n::AA0147, n::AA0148, n::AA0160, n::AA0162, n::AA0150,
                n::AA0157, n::AA0161, n::AA0163, n::AA0158, n::AA0144})) {
    double s = v(n::AA0146) + v(n::AA0145) + v(n::AA0147) + v(n::AA0148) + v(n::AA0160) +
               v(n::AA0162) + v(n::AA0150) + v(n::AA0157) + v(n::AA0163) + v(n::AA0161) +
               v(n::AA0158);
    if (v(n::AA0144) != s)
      zpracuj_chybu(cur, "EL015", "AA0144", f("%10.0f", v(n::AA0144)), f("%10.0f", s));
  }
  if (bez_chyb({n::AA0158, n::AA0159}) && v(n::AA0158) < v(n::AA0159))
    zpracuj_chybu(line(n::AA0159), "WL016", "AA0159", f("%10.0f", v(n::AA0159)),
                  f("%10.0f", v(n::AA0158)));
  if (bez_chyb({n::AA0150, n::AA0239, n::AA0151, n::AA0152, n::AA0153, n::AA0154, n::AA0155,
                n::AA0156, n::AA0240})) {
    double s = v(n::AA0151) + v(n::AA0239) + v(n::AA0152) + v(n::AA0153) + v(n::AA0154) +
               v(n::AA0155) + v(n::AA0156) + v(n::AA0240);
    if (v(n::AA0150) != s)
      zpracuj_chybu(line(n::AA0150), "EL027", "AA0150", f("%10.0f", v(n::AA0150)), f("%10.0f", s));
  }
  if (bez_chyb({n::AA0161, n::AA0237, n::AA0238})) {
    double s = v(n::AA0238) + v(n::AA0237);
    if (v(n::AA0161) != s)
      zpracuj_chybu(line(n::AA0161), "EL028", "AA0161", f("%10.0f", v(n::AA0161)), f("%10.0f", s));
  }
  // 13: with no recalculated headcount the hours and days are zero.
  struct Nula {
    int x;
    const char *format;
  };
  for (Nula z : {Nula{n::AA0132, "%10.0f"}, Nula{n::AA0133, "%10.2f"}, Nula{n::AA0134, "%10.2f"},
                 Nula{n::AA0135, "%10.2f"}, Nula{n::AA0210, "%10.0f"}, Nula{n::AA0218, "%10.0f"},
                 Nula{n::AA0219, "%10.0f"}})
    if (bez_chyb({z.x, n::AA0136}) && v(z.x) != 0 && v(n::AA0136) == 0)
      zpracuj_chybu(line(z.x), "EL037", tables::Ntab[static_cast<std::size_t>(z.x)].elem,
                    f(z.format, v(z.x)), "0");
  // 14 to 25: headcount, days and age.
  if (bez_chyb({n::AA0137, n::AA0136}) && v(n::AA0137) != 2 && v(n::AA0136) == 0)
    zpracuj_chybu(line(n::AA0138), "EL038", "AA0137", f("%10.0f", v(n::AA0137)), "2");
  if (bez_chyb({n::AA0136, n::AA0137}) && v(n::AA0137) != 1 && v(n::AA0136) == 1)
    zpracuj_chybu(line(n::AA0137), "EL059", "AA0137", f("%10.0f", v(n::AA0137)), "1");
  if (bez_chyb({n::AA0136, n::AA0131, n::AA0218}) && v(n::AA0218) > 0) {
    double lo = kDniObdobi * (20 * v(n::AA0136)) / v(n::AA0218);
    double hi = kDniObdobi * (60 * v(n::AA0136)) / v(n::AA0218);
    if (venku(v(n::AA0131), lo, hi))
      zpracuj_chybu(line(n::AA0131), "WL060", "AA0131", f("%12.2f", v(n::AA0131)),
                    Text::f("%12.2f - %12.2f ", lo, hi > 40 ? 40.0 : hi));
  }
  if (bez_chyb({n::AA0136, n::AA0218}) && v(n::AA0218) != 0 && v(n::AA0136) != 0) {
    double m = 1.1 * v(n::AA0218) / kDniObdobi;
    if (v(n::AA0136) > m)
      zpracuj_chybu(line(n::AA0218), "EL066", "AA0136", f("%10.4f", v(n::AA0136)),
                    f("<= %10.6f", m));
  }
  if (bez_chyb({n::AA0135, n::AA0210, n::AA0219})) {
    std::int32_t q = cele(10 * v(n::AA0135)) / (nad0 ? 80 : 85);
    if (v(n::AA0219) < q + v(n::AA0210))
      zpracuj_chybu(line(n::AA0210), "EL069", "AA0135; AA0210; AA0219;",
                    Text::f("%10.2f ; %3.0f ; %3.0f ;", v(n::AA0135), v(n::AA0210), v(n::AA0219)),
                    "   ");
  }
  if (bez_chyb({n::AA0136, n::AA0131}) && v(n::AA0131) < 30 && v(n::AA0136) == 1)
    zpracuj_chybu(line(n::AA0131), "EL070", "AA0131", f("%10.2f", v(n::AA0131)), ">= 30");
  if (bez_chyb({n::AA0136, n::AA0218}) && v(n::AA0218) != kDniObdobi && v(n::AA0136) == 1)
    zpracuj_chybu(line(n::AA0218), "EL071", "AA0218", f("%10.0f", v(n::AA0218)),
                  f("%10.0f", kDniObdobi));
  if (bez_chyb({n::AA0136, n::AA0218}) && v(n::AA0218) == 0 && v(n::AA0136) != 0)
    zpracuj_chybu(line(n::AA0136), "EL073", "AA0136", f("%10.4f", v(n::AA0136)), "0");
  if (bez_chyb({n::AA0216, n::AA0225, n::AA0231})) {
    double s = v(n::AA0225) + v(n::AA0216), m = kRok - v(n::AA0231) - 13;
    if (s > m)
      zpracuj_chybu(line(n::AA0218), "EL076", "AA0216 + AA0225", f("%10.2f", s), f("<= %10.2f", m));
  }
  if (bez_chyb({n::AA0218}) && v(n::AA0218) > kDniObdobi)
    zpracuj_chybu(line(n::AA0218), "EL077", "AA0218", f("%10.0f", v(n::AA0218)),
                  f("<= %10.0f", kDniObdobi));
  if (bez_chyb({n::AA0219}) && v(n::AA0219) > kPracovnichDni)
    zpracuj_chybu(line(n::AA0219), "EL078", "AA0219", f("%10.0f", v(n::AA0219)),
                  f("<= %10.0f", kPracovnichDni));
  if (bez_chyb({n::AA0218, n::AA0219, n::AA0132, n::AA0133}) &&
      v(n::AA0218) < (v(n::AA0132) - v(n::AA0133)) / (nad0 ? 8 : 8.5) + v(n::AA0219))
    zpracuj_chybu(line(n::AA0219), "EL080", "AA0132; AA0133; AA0218; AA0219;",
                  Text::f("%10.2f ; %10.2f ;  %3.0f ; %3.0f ;", v(n::AA0132), v(n::AA0133),
                          v(n::AA0218), v(n::AA0219)),
                  "   ");
  return 1;
}

} // namespace

int zpracuj_NECk() {
  report::Sink &con = *report::st().konzole;
  con.put(" Radek");
  report::put_right(con, Text(reader::st().cislo_radky), 8);
  con.put(" pro zamestnance");
  report::put_right(con, report::st().identnec, 11);
  con.put(" zamestnavatel");
  report::put_right(con, report::st().telicokod, 11);
  con.put('\r');
  ++reader::st().prubeh.zaznamu;
  reader::st().rezim_zprac = 'T';
  auto cur = reader::s_cislo_radky();
  reader::st().N.pis_pritomnost(tables::Ntab, cur, reader::Pritomnost::kOpakovani);
  k_NecK();
  st().sumz_AA0136 += v(n::AA0136);
  if (v(n::AA0137) == 1)
    st().sumz_AA0137 += v(n::AA0137);
  if (v(n::AA0137) > 1)
    st().sw_anec_AA0137 = 2;
  st().sumz_AA0144 += v(n::AA0144);
  return 0;
}

} // namespace rules
