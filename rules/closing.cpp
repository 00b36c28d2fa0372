// The end of an employer: its element counts, the records grouped by employee (the records
// of one person must agree on the personal data and stay within per-person limits), the
// employer's totals against the sums over its records, the salary floor, the education codes
// of all records, and an employer without records.
#include <algorithm>
#include <string>

#include "internal.hpp"

namespace rules {

namespace {

using report::Text;
namespace t = tables::t;
namespace n = tables::n;

constexpr double kMaxHodin = 1872; // hours of one person in the period, all records together

Zaznam &na_pozici(State &s, std::size_t p) { return *s.poradi[p]; }

// Records of one person: both have an identification, and it is the same.
bool stejny(const Zaznam &a, const Zaznam &b) {
  return a.ma_AA0126 && b.ma_AA0126 && reader::stejne(a.anec_iAA0126, b.anec_iAA0126);
}

// The code of a country row; a code that is not listed shows three blanks.
std::string_view kod_statu(std::int32_t row) {
  return row >= 0 && static_cast<std::size_t>(row) < tables::TcisStat.size()
             ? tables::TcisStat[static_cast<std::size_t>(row)]
             : std::string_view("   ");
}

std::string_view znak(const char &c) {
  return c == '\0' ? std::string_view() : std::string_view(&c, 1);
}

// The stable order of the records by identification, in ascending byte order; a record whose
// AA0126 never arrived stands for its own row and sorts under "-".
void serad(State &s) {
  std::size_t pocet = static_cast<std::size_t>(s.maxAktiAnec + 1);
  s.poradi.resize(pocet);
  for (std::size_t r = 0; r < pocet; ++r)
    s.poradi[r] = &s.anec[r];
  auto pred = [](const Zaznam *a, const Zaznam *b) {
    return reader::porovnej(a->anec_iAA0126, b->anec_iAA0126) < 0;
  };
  // Reports mostly list an employer's records in this order already.
  if (!std::is_sorted(s.poradi.begin(), s.poradi.end(), pred))
    std::stable_sort(s.poradi.begin(), s.poradi.end(), pred);
}

// The hours of one person's records at positions p to p + pocet: the weekly hours of those in
// the register on the last day together (WL049), and the hours worked together (WL007).
void hodiny_osoby(State &s, std::size_t p, std::size_t pocet, std::string_view lines) {
  if (!s.N.chybny(n::AA0131) && !s.N.chybny(n::AA0137)) {
    double sum_AA0131 = 0;
    for (std::size_t i = 0; i <= pocet; ++i)
      if (na_pozici(s, p + i).anec_iAA0137 == 1)
        sum_AA0131 += na_pozici(s, p + i).anec_iAA0131;
    if (sum_AA0131 > 79.991)
      zpracuj_chybu(s, lines, "WL049", "AA0131", Text::f("%10.2f", sum_AA0131), "max. 79.99");
  }
  if (!s.N.chybny(n::AA0132)) {
    double sum_AA0132 = 0;
    for (std::size_t i = 0; i <= pocet; ++i) {
      sum_AA0132 += na_pozici(s, p + i).anec_iAA0132;
      if (sum_AA0132 > kMaxHodin)
        zpracuj_chybu(s, lines, "WL007", "AA0132", Text::f("%10.0f", sum_AA0132),
                      Text::f(" <= %d", static_cast<int>(kMaxHodin)));
    }
  }
}

// The checks of one person's records, the first six at positions p to p + pocet: the same
// country, sex, education and year of birth (EL003) and the hours (hodiny_osoby); the person
// counts once in the register.
void skupina(State &s, std::size_t p, std::size_t pocet, bool vice_nez_sest) {
  const Zaznam &prvni = na_pozici(s, p);
  std::string pom_nec(Text(prvni.anec_lin).view());
  for (std::size_t i = 1; i <= pocet; ++i) {
    pom_nec += ',';
    pom_nec += Text(na_pozici(s, p + i).anec_lin).view();
  }
  if (vice_nez_sest)
    pom_nec += ", ...... ";
  s.identnec.assign(prvni.anec_iAA0126);

  // The first record that differs from the first one in a personal value.
  auto rozdil = [&](auto hodnota) -> const Zaznam * {
    for (std::size_t i = 1; i <= pocet; ++i)
      if (hodnota(na_pozici(s, p + i)) != hodnota(prvni))
        return &na_pozici(s, p + i);
    return nullptr;
  };
  if (auto *z = rozdil([](const Zaznam &r) { return r.anec_iAA0033; }))
    zpracuj_chybu(s, pom_nec, "EL003", "AA0033", kod_statu(prvni.anec_iAA0033),
                  kod_statu(z->anec_iAA0033));
  hodiny_osoby(s, p, pocet, pom_nec);
  double sum_AA0137 = 0;
  for (std::size_t i = 0; i <= pocet; ++i)
    sum_AA0137 += na_pozici(s, p + i).anec_iAA0137 == 1;
  // The person counts once in the register: its records there beyond the first come off.
  s.sumz_AA0137 -= std::max(sum_AA0137 - 1, 0.0);
  if (auto *z = rozdil([](const Zaznam &r) { return r.anec_iAA0211; }))
    zpracuj_chybu(s, pom_nec, "EL003", "AA0211", znak(prvni.anec_iAA0211), znak(z->anec_iAA0211));
  if (auto *z = rozdil([](const Zaznam &r) { return r.anec_iAA0223; }))
    zpracuj_chybu(s, pom_nec, "EL003", "AA0223", znak(prvni.anec_iAA0223), znak(z->anec_iAA0223));
  if (auto *z = rozdil([](const Zaznam &r) { return r.anec_iAA0231; }))
    zpracuj_chybu(s, pom_nec, "EL003", "AA0231", Text(prvni.anec_iAA0231), Text(z->anec_iAA0231));
}

// The education codes of all records, in their order: how many lie below "C", and whether
// they all equal the first one. Returns the first one (blank without records).
char vzdelani(State &s) {
  const char sav_AA0223 = s.poradi.empty() ? ' ' : s.poradi.front()->anec_iAA0223;
  for (const Zaznam *z : s.poradi) {
    auto kod = static_cast<unsigned char>(z->anec_iAA0223);
    if (kod < 'C')
      ++s.sumz_AA0223_Z;
    if (kod != static_cast<unsigned char>(sav_AA0223))
      s.sw_stejne_vzdelani = 'N';
  }
  return sav_AA0223;
}

// Each run of records with the same identification is one person's.
void skupiny(State &s) {
  const std::size_t pocet = s.poradi.size();
  for (std::size_t p = 0; p + 1 < pocet;) {
    std::size_t q = p;
    while (q + 1 < pocet && stejny(na_pozici(s, p), na_pozici(s, q + 1)))
      ++q;
    if (q > p)
      skupina(s, p, std::min<std::size_t>(q - p, 5), q - p > 5);
    p = q + 1;
  }
}

// Employer-wide findings have no employee.
void za_zamestnavatele(State &s) { s.identnec.assign("   "); }

// The employer's headcounts and salaries against the sums over its records: EL020 EL021 EL022.
void soucty(State &s) {
  const auto &T = s.T;
  if (!T.chybny(t::AA0114) && T.hodnota(t::AA0114) != s.sumz_AA0136) {
    Text hodnota = Text::f("%10.4f", T.hodnota(t::AA0114));
    Text soucet = Text::f("%10.4f", s.sumz_AA0136);
    za_zamestnavatele(s);
    if (hodnota.view() != soucet.view())
      zpracuj_chybu(s, T.radka(t::AA0114), "EL020", "AA0114", hodnota, soucet);
  }
  if (!T.chybny(t::AA0115) && T.hodnota(t::AA0115) != s.sumz_AA0137) {
    za_zamestnavatele(s);
    zpracuj_chybu(s, T.radka(t::AA0115), "EL021", "AA0115", Text::f("%10.0f", T.hodnota(t::AA0115)),
                  Text::f("%10.0f", s.sumz_AA0137));
  }
  if (!T.chybny(t::AA0118) && T.hodnota(t::AA0118) != s.sumz_AA0144) {
    za_zamestnavatele(s);
    zpracuj_chybu(s, T.radka(t::AA0118), "EL022", "AA0118", Text::f("%10.0f", T.hodnota(t::AA0118)),
                  Text::f("%10.0f", s.sumz_AA0144));
  }
}

// The salaries paid against six months of the lowest tariff for the headcount: EL058.
void chk_AA0118(State &s, double vyplaceno) {
  double minimum = 6.0 * (s.atel_iAA0114 * tables::tabSazeb[0]);
  if (!(minimum > vyplaceno && s.maxAktiAnec > 9))
    return;
  za_zamestnavatele(s);
  zpracuj_chybu(s, s.T.radka(t::AA0118), "EL058", "AA0118", Text::f("%10.0f", vyplaceno),
                Text::f(">  %10.2f", minimum));
}

} // namespace

void zpracuj_TELk(State &s) {
  auto cur = s_cislo_radky(s);
  pis_pritomnost(s, s.T, tables::Ttab, cur, Pritomnost::kNazev);
  serad(s);
  const char sav_AA0223 = vzdelani(s);
  skupiny(s);
  soucty(s);
  if (s.sw_anec_AA0137 != 2 && s.maxAktiAnec > 9) { // no record above 1
    za_zamestnavatele(s);
    zpracuj_chybu(s, "   ", "WL042", "   ", "   ", "   ");
  }
  if (s.sw_anec_AA0033 > 0) {
    za_zamestnavatele(s);
    zpracuj_chybu(s, radek(s.lin_anec_AA0033), "WL053", "AA0033", s.val_anec_AA0033, "delka 2");
  }
  chk_AA0118(s, s.atel_iAA0118);
  const auto zaznamu = s.maxAktiAnec + 1;
  if (s.sw_stejne_vzdelani == 'A' && zaznamu > 9) {
    za_zamestnavatele(s);
    zpracuj_chybu(s, "   ", "EL081", "AA0223", znak(sav_AA0223), "   ");
  }
  if (s.sumz_AA0223_Z > zaznamu / 2 && zaznamu > 9) {
    za_zamestnavatele(s);
    zpracuj_chybu(s, "   ", "EL082", "AA0223", "   ", "   ");
  }
  if (s.sw_bylNEC == 'N')
    zpracuj_chybu(s, cur, "ES309", "   ", "   ", "   ");
}

} // namespace rules
