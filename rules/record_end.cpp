// The end of an employee record: the progress line, the repeated elements, the cross-field
// rules of the record (presence, working time, years, tariffs and bonuses, sums, headcount,
// days, age), and the record's share of the employer's running sums.
#include <cmath>

#include "internal.hpp"

namespace rules {

namespace {

using report::Text;
namespace n = tables::n;

// Constants of the reporting period, the first half of 2008.
constexpr double kRok = 2008;          // year of the report
constexpr double kDniObdobi = 182;     // calendar days of the period
constexpr double kDniRoku = 366;       // days of the year
constexpr double kPracovnichDni = 130; // working days of the period, holidays included
constexpr double kHodinObdobi = 1248;  // hours of the period of one full-time employee

// What the rules of a record read: the values, marks and lines of its elements by row, and
// the first character of the latest occupation code.
struct Hodnoty {
  State &s;
  const Sekce<tables::Ntab.size()> &N = s.N;
  double operator()(int x) const { return N.hodnota(x); }
  bool bez_chyb(std::initializer_list<int> xs) const { return N.bez_chyb(xs); }
  Text line(int x) const { return N.radka(x); }
  // The first character of the saved occupation code, as a signed 8-bit value: above "0" and
  // equal to "0" select different limits; anything below "0" or above 127 is neither.
  int kod_zamestnani() const {
    std::string_view kod = s.necsav_AA0013;
    return kod.empty() ? '\0' : static_cast<signed char>(kod[0]);
  }
  bool nad0() const { return kod_zamestnani() > '0'; }
  void chyba(Text line, std::string_view code, std::string_view elem, std::string_view value,
             std::string_view expected) const {
    zpracuj_chybu(s, line, code, elem, value, expected);
  }
};

Text f(const char *fmt, double a) { return Text::f(fmt, a); }
bool venku(double x, double lo, double hi) { return x < lo || x > hi; }

// Rule 1, the weekly working time by occupation: EL005.
void tydenni_doba(const Hodnoty &v) {
  if (!v.bez_chyb({n::AA0131}))
    return;
  if (v.nad0() && v(n::AA0131) > 40)
    v.chyba(v.line(n::AA0131), "EL005", "AA0131", f("%10.2f", v(n::AA0131)), "max. 40");
  if (v.kod_zamestnani() == '0' && v(n::AA0131) > 42.5)
    v.chyba(v.line(n::AA0131), "EL005", "AA0131", f("%10.2f", v(n::AA0131)), "max. 42,5");
}

// Rules 2 to 4: the days in the register against the years of employment (EL006), the hours
// paid against the hours of the period (WL009), the holiday within the absence with pay
// (EL010).
void roky_a_hodiny(const Hodnoty &v) {
  if (v.bez_chyb({n::AA0216, n::AA0218, n::AA0225})) {
    double y = v(n::AA0218) == kDniRoku
                   ? 1
                   : static_cast<double>(cele(100 * (v(n::AA0218) / kDniRoku - 0.0005))) / 100;
    double roky = v(n::AA0216) + v(n::AA0225);
    if (y > roky)
      v.chyba(v.line(n::AA0225), "EL006", "AA0225 + AA0216", f("%10.2f", roky), f(">= %10.2f", y));
  }
  if (v.bez_chyb({n::AA0132, n::AA0133, n::AA0136, n::AA0218, n::AA0219}) && v(n::AA0136) > 0 &&
      v(n::AA0218) > 0) {
    double h =
        (v(n::AA0132) - v(n::AA0133)) + 8 * v(n::AA0219) * v(n::AA0136) * kDniObdobi / v(n::AA0218);
    double plne = kHodinObdobi * v(n::AA0136);
    if (h < 0.6 * plne || h > plne)
      v.chyba(v.line(n::AA0136), "WL009", "AA0132; AA0133; AA0218; AA0219; AA0136;",
              Text::f("%10.2f ; %10.2f ;  %3.0f ;  %3.0f ; %10.4f ;", v(n::AA0132), v(n::AA0133),
                      v(n::AA0218), v(n::AA0219), v(n::AA0136)),
              "   ");
  }
  if (v.bez_chyb({n::AA0134, n::AA0135}) && v(n::AA0134) < v(n::AA0135))
    v.chyba(v.line(n::AA0135), "EL010", "AA0135", f("%10.2f", v(n::AA0135)),
            f("%10.2f", v(n::AA0134)));
}

// Rules 5 and 6, the tariff by table, class and grade (EL051): without a grade within the
// class; without a table or class within the whole tariff table.
void tarif_platu(const Hodnoty &v) {
  if (!v.bez_chyb({n::AA0127, n::AA0128, n::AA0129, n::AA0138}) || v(n::AA0137) != 1)
    return;
  const double t = v(n::AA0129), k = v(n::AA0127), g = v(n::AA0128);
  const double plat = v(n::AA0138);
  if (t > 0 && k > 0 && g > 0) {
    if (tarif(t, k, g) != plat)
      v.chyba(v.line(n::AA0138), "EL051", "AA0138", f("%10.0f", plat), f("%10.0f", tarif(t, k, g)));
  } else if (t > 0 && k > 0 && g == 0) {
    double lo = tarif(t, k, 1), hi = tarif(t, k, 12);
    if (venku(plat, lo, hi))
      v.chyba(v.line(n::AA0138), "EL051", "AA0138", f("%10.0f", plat),
              Text::f("%10.0f  - %10.0f", lo, hi));
  } else { // no table or no class, or a grade below 0
    double lo = tables::tabSazeb[0], hi = tables::tabSazeb[575];
    if (venku(plat, lo, hi))
      v.chyba(v.line(n::AA0138), "EL051", "AA0138", f("%10.0f", plat),
              Text::f("%10.0f - %10.0f", lo, hi));
  }
}

// Rules 7 and 8, the personal bonus (EL012) and the management bonus (EL013) against the top
// tariff of the class.
void priplatky(const Hodnoty &v) {
  const double t = v(n::AA0129), k = v(n::AA0127);
  if (!(v(n::AA0137) == 1 && t > 0 && k > 0 && v(n::AA0136) > 0 && v(n::AA0218) > 0))
    return;
  if (v.bez_chyb({n::AA0127, n::AA0129, n::AA0139})) {
    double m = tarif(t, k, 12);
    if (k < 10)
      m /= 2;
    if (v(n::AA0139) > m)
      v.chyba(v.line(n::AA0139), "EL012", "AA0139", f("%10.0f", v(n::AA0139)), f("%10.0f", m));
  }
  if (v.bez_chyb({n::AA0127, n::AA0129, n::AA0137, n::AA0140})) {
    double m = 0.6 * tarif(t, k, 12);
    if (v(n::AA0140) > m)
      v.chyba(v.line(n::AA0140), "EL013", "AA0140", f("%10.0f", v(n::AA0140)), f(" <= %10.0f", m));
  }
}

// A salary element that is the sum of others, added in the order given and compared exactly:
// when none of them carries the mark E and the sum differs, `code` on the line of the total
// (`na_radku_celku`) or on the current line.
void soucet(const Hodnoty &v, std::string_view code, bool na_radku_celku, int celek,
            std::initializer_list<int> casti) {
  if (!v.bez_chyb(casti) || !v.bez_chyb({celek}))
    return;
  const int *x = casti.begin();
  double s = v(*x);
  while (++x != casti.end())
    s += v(*x);
  if (v(celek) != s)
    v.chyba(na_radku_celku ? v.line(celek) : s_cislo_radky(v.s), code,
            tables::Ntab[static_cast<std::size_t>(celek)].elem, f("%10.0f", v(celek)),
            f("%10.0f", s));
}

// Rules 9 to 12, the salary sums: the salary (EL015), the bonuses (EL027) and the other pay
// (EL028) against their parts, and the part of the compensation paid on (WL016).
void platy(const Hodnoty &v) {
  soucet(v, "EL015", false, n::AA0144,
         {n::AA0146, n::AA0145, n::AA0147, n::AA0148, n::AA0160, n::AA0162, n::AA0150, n::AA0157,
          n::AA0163, n::AA0161, n::AA0158});
  if (v.bez_chyb({n::AA0158, n::AA0159}) && v(n::AA0158) < v(n::AA0159))
    v.chyba(v.line(n::AA0159), "WL016", "AA0159", f("%10.0f", v(n::AA0159)),
            f("%10.0f", v(n::AA0158)));
  soucet(v, "EL027", true, n::AA0150,
         {n::AA0151, n::AA0239, n::AA0152, n::AA0153, n::AA0154, n::AA0155, n::AA0156, n::AA0240});
  soucet(v, "EL028", true, n::AA0161, {n::AA0238, n::AA0237});
}

// Rule 13: with no recalculated headcount the hours and days are zero (EL037).
void bez_uvazku(const Hodnoty &v) {
  struct Nula {
    int x;
    const char *format;
  };
  for (Nula z : {Nula{n::AA0132, "%10.0f"}, Nula{n::AA0133, "%10.2f"}, Nula{n::AA0134, "%10.2f"},
                 Nula{n::AA0135, "%10.2f"}, Nula{n::AA0210, "%10.0f"}, Nula{n::AA0218, "%10.0f"},
                 Nula{n::AA0219, "%10.0f"}})
    if (v.bez_chyb({z.x, n::AA0136}) && v(z.x) != 0 && v(n::AA0136) == 0)
      v.chyba(v.line(z.x), "EL037", tables::Ntab[static_cast<std::size_t>(z.x)].elem,
              f(z.format, v(z.x)), "0");
}

// Rules 14 to 17: the register on the last day against the headcount (EL038 EL059), the
// weekly working time against the headcount and the days (WL060), the headcount against the
// days (EL066).
void evidence(const Hodnoty &v) {
  if (v.bez_chyb({n::AA0137, n::AA0136}) && v(n::AA0137) != 2 && v(n::AA0136) == 0)
    v.chyba(v.line(n::AA0138), "EL038", "AA0137", f("%10.0f", v(n::AA0137)), "2");
  if (v.bez_chyb({n::AA0136, n::AA0137}) && v(n::AA0137) != 1 && v(n::AA0136) == 1)
    v.chyba(v.line(n::AA0137), "EL059", "AA0137", f("%10.0f", v(n::AA0137)), "1");
  if (v.bez_chyb({n::AA0136, n::AA0131, n::AA0218}) && v(n::AA0218) > 0) {
    double lo = kDniObdobi * (20 * v(n::AA0136)) / v(n::AA0218);
    double hi = kDniObdobi * (60 * v(n::AA0136)) / v(n::AA0218);
    if (venku(v(n::AA0131), lo, hi))
      v.chyba(v.line(n::AA0131), "WL060", "AA0131", f("%12.2f", v(n::AA0131)),
              Text::f("%12.2f - %12.2f ", lo, hi > 40 ? 40.0 : hi));
  }
  if (v.bez_chyb({n::AA0136, n::AA0218}) && v(n::AA0218) != 0 && v(n::AA0136) != 0) {
    double m = 1.1 * v(n::AA0218) / kDniObdobi;
    if (v(n::AA0136) > m)
      v.chyba(v.line(n::AA0218), "EL066", "AA0136", f("%10.4f", v(n::AA0136)), f("<= %10.6f", m));
  }
}

// Rules 18 to 21: the working days against the holiday and the days off (EL069), the weekly
// working time of a full headcount (EL070), the days in the register of a full headcount
// (EL071) and of none (EL073).
void dny(const Hodnoty &v) {
  if (v.bez_chyb({n::AA0135, n::AA0210, n::AA0219})) {
    std::int32_t q = cele(10 * v(n::AA0135)) / (v.nad0() ? 80 : 85);
    if (v(n::AA0219) < q + v(n::AA0210))
      v.chyba(v.line(n::AA0210), "EL069", "AA0135; AA0210; AA0219;",
              Text::f("%10.2f ; %3.0f ; %3.0f ;", v(n::AA0135), v(n::AA0210), v(n::AA0219)), "   ");
  }
  if (v.bez_chyb({n::AA0136, n::AA0131}) && v(n::AA0131) < 30 && v(n::AA0136) == 1)
    v.chyba(v.line(n::AA0131), "EL070", "AA0131", f("%10.2f", v(n::AA0131)), ">= 30");
  if (v.bez_chyb({n::AA0136, n::AA0218}) && v(n::AA0218) != kDniObdobi && v(n::AA0136) == 1)
    v.chyba(v.line(n::AA0218), "EL071", "AA0218", f("%10.0f", v(n::AA0218)),
            f("%10.0f", kDniObdobi));
  if (v.bez_chyb({n::AA0136, n::AA0218}) && v(n::AA0218) == 0 && v(n::AA0136) != 0)
    v.chyba(v.line(n::AA0136), "EL073", "AA0136", f("%10.4f", v(n::AA0136)), "0");
}

// Rules 22 to 25: the years of employment against the age (EL076), the days of the period
// (EL077) and its working days (EL078) as upper limits, and the days against the hours
// worked and the working days (EL080).
void vek_a_meze(const Hodnoty &v) {
  if (v.bez_chyb({n::AA0216, n::AA0225, n::AA0231})) {
    double s = v(n::AA0225) + v(n::AA0216), m = kRok - v(n::AA0231) - 13;
    if (s > m)
      v.chyba(v.line(n::AA0218), "EL076", "AA0216 + AA0225", f("%10.2f", s), f("<= %10.2f", m));
  }
  struct Mez {
    int x;
    double max;
    std::string_view code;
  };
  for (Mez m : {Mez{n::AA0218, kDniObdobi, "EL077"}, Mez{n::AA0219, kPracovnichDni, "EL078"}})
    if (v.bez_chyb({m.x}) && v(m.x) > m.max)
      v.chyba(v.line(m.x), m.code, tables::Ntab[static_cast<std::size_t>(m.x)].elem,
              f("%10.0f", v(m.x)), f("<= %10.0f", m.max));
  if (v.bez_chyb({n::AA0218, n::AA0219, n::AA0132, n::AA0133}) &&
      v(n::AA0218) < (v(n::AA0132) - v(n::AA0133)) / (v.nad0() ? 8 : 8.5) + v(n::AA0219))
    v.chyba(v.line(n::AA0219), "EL080", "AA0132; AA0133; AA0218; AA0219;",
            Text::f("%10.2f ; %10.2f ;  %3.0f ; %3.0f ;", v(n::AA0132), v(n::AA0133), v(n::AA0218),
                    v(n::AA0219)),
            "   ");
}

// The rules of one record, numbered as the rule list of a record has them, in its order.
void k_NecK(State &s) {
  const Hodnoty v{s};
  pis_pritomnost(s, s.N, tables::Ntab, s_cislo_radky(s), Pritomnost::kNazev); // rule 0
  tydenni_doba(v);
  roky_a_hodiny(v);
  tarif_platu(v);
  priplatky(v);
  platy(v);
  bez_uvazku(v);
  evidence(v);
  dny(v);
  vek_a_meze(v);
}

// The progress line of the console: the line, the employee and the employer of the record.
void radek_prubehu(State &s) {
  report::Sink &con = *s.protokol.konzole;
  con.put(" Radek");
  report::put_right(con, Text(s.cislo_radky), 8);
  con.put(" pro zamestnance");
  report::put_right(con, s.identnec, 11);
  con.put(" zamestnavatel");
  report::put_right(con, s.telicokod, 11);
  con.put('\r');
}

} // namespace

void zpracuj_NECk(State &s) {
  radek_prubehu(s);
  ++s.zaznamu;
  pis_pritomnost(s, s.N, tables::Ntab, s_cislo_radky(s), Pritomnost::kOpakovani);
  k_NecK(s);
  const auto &N = s.N;
  s.sumz_AA0136 += N.hodnota(n::AA0136);
  if (N.hodnota(n::AA0137) == 1)
    s.sumz_AA0137 += N.hodnota(n::AA0137);
  if (N.hodnota(n::AA0137) > 1)
    s.sw_anec_AA0137 = 2;
  s.sumz_AA0144 += N.hodnota(n::AA0144);
}

} // namespace rules
