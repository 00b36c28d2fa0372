// The end of an employer: its element counts, the records grouped by employee (the records
// of one person must agree on the personal data and stay within per-person limits), the
// employer's totals against the sums over its records, the salary floor, the education codes
// of all records, and an employer without records.
#include <algorithm>
#include <string>

#include "record_store.hpp"

namespace rules {

namespace {

using report::Text;
using report::zpracuj_chybu;
namespace t = tables::t;
namespace n = tables::n;

constexpr double kMaxHodin = 1872; // hours of one person in the period, all records together

Text tline(int x) { return reader::st().T.radka(x); }
bool tflag(int x) { return reader::st().T.chybny(x); }
double tv(int x) { return reader::st().T.hodnota(x); }
bool nflag(int x) { return reader::st().N.chybny(x); }

Zaznam &na_pozici(std::size_t p) { return *st().poradi[p]; }

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
void serad() {
  std::size_t pocet = static_cast<std::size_t>(st().maxAktiAnec + 1);
  st().poradi.resize(pocet);
  for (std::size_t r = 0; r < pocet; ++r)
    st().poradi[r] = &st().anec[r];
  auto pred = [](const Zaznam *a, const Zaznam *b) {
    return reader::porovnej(a->anec_iAA0126, b->anec_iAA0126) < 0;
  };
  // Reports mostly list an employer's records in this order already.
  if (!std::is_sorted(st().poradi.begin(), st().poradi.end(), pred))
    std::stable_sort(st().poradi.begin(), st().poradi.end(), pred);
}

// The checks of one person's records, the first six at positions p to p + pocet: the same
// country, sex, education and year of birth (EL003), the weekly hours together (WL049) and the
// hours worked together (WL007).
void skupina(std::size_t p, std::size_t pocet, bool vice_nez_sest) {
  const Zaznam &prvni = na_pozici(p);
  std::string pom_nec(Text(prvni.anec_lin).view());
  for (std::size_t i = 1; i <= pocet; ++i) {
    pom_nec += ',';
    pom_nec += Text(na_pozici(p + i).anec_lin).view();
  }
  if (vice_nez_sest)
    pom_nec += ", ...... ";
  report::st().identnec.assign(prvni.anec_iAA0126);

  // The first record that differs from the first one in a personal value.
  auto rozdil = [&](auto hodnota) -> const Zaznam * {
    for (std::size_t i = 1; i <= pocet; ++i)
      if (hodnota(na_pozici(p + i)) != hodnota(prvni))
        return &na_pozici(p + i);
    return nullptr;
  };
  if (auto *z = rozdil([](const Zaznam &r) { return r.anec_iAA0033; }))
    zpracuj_chybu(pom_nec, "EL003", "AA0033", kod_statu(prvni.anec_iAA0033),
                  kod_statu(z->anec_iAA0033));
  if (!nflag(n::AA0131) && !nflag(n::AA0137)) {
    double sum_AA0131 = 0;
    for (std::size_t i = 0; i <= pocet; ++i)
      if (na_pozici(p + i).anec_iAA0137 == 1)
        sum_AA0131 += na_pozici(p + i).anec_iAA0131;
    if (sum_AA0131 > 79.991)
      zpracuj_chybu(pom_nec, "WL049", "AA0131", Text::f("%10.2f", sum_AA0131), "max. 79.99");
  }
  if (!nflag(n::AA0132)) {
    double sum_AA0132 = 0;
    for (std::size_t i = 0; i <= pocet; ++i) {
      sum_AA0132 += na_pozici(p + i).anec_iAA0132;
      if (sum_AA0132 > kMaxHodin)
        zpracuj_chybu(pom_nec, "WL007", "AA0132", Text::f("%10.0f", sum_AA0132),
                      Text::f(" <= %d", static_cast<int>(kMaxHodin)));
    }
  }
  double sum_AA0137 = 0;
  for (std::size_t i = 0; i <= pocet; ++i)
    sum_AA0137 += na_pozici(p + i).anec_iAA0137 == 1;
  // The person counts once in the register: its records there beyond the first come off.
  st().sumz_AA0137 -= std::max(sum_AA0137 - 1, 0.0);
  if (auto *z = rozdil([](const Zaznam &r) { return r.anec_iAA0211; }))
    zpracuj_chybu(pom_nec, "EL003", "AA0211", znak(prvni.anec_iAA0211), znak(z->anec_iAA0211));
  if (auto *z = rozdil([](const Zaznam &r) { return r.anec_iAA0223; }))
    zpracuj_chybu(pom_nec, "EL003", "AA0223", znak(prvni.anec_iAA0223), znak(z->anec_iAA0223));
  if (auto *z = rozdil([](const Zaznam &r) { return r.anec_iAA0231; }))
    zpracuj_chybu(pom_nec, "EL003", "AA0231", Text(prvni.anec_iAA0231), Text(z->anec_iAA0231));
}

// Employer-wide findings have no employee.
void za_zamestnavatele() { report::st().identnec.assign("   "); }

// The salaries paid against six months of the lowest tariff for the headcount: EL058.
int chk_AA0118(double vyplaceno) {
  double minimum = 6.0 * (st().atel_iAA0114 * tables::tabSazeb[0]);
  if (!(minimum > vyplaceno && st().maxAktiAnec > 9))
    return 0;
  za_zamestnavatele();
  zpracuj_chybu(tline(t::AA0118), "EL058", "AA0118", Text::f("%10.0f", vyplaceno),
                Text::f(">  %10.2f", minimum));
  return 1;
}

} // namespace

int zpracuj_TELk() {
  auto cur = reader::s_cislo_radky();
  reader::st().T.pis_pritomnost(tables::Ttab, cur, reader::Pritomnost::kNazev);

  serad();
  const std::size_t pocet = st().poradi.size();
  char sav_AA0223 = ' ';
  if (pocet > 0)
    sav_AA0223 = na_pozici(0).anec_iAA0223;
  for (std::size_t p = 0; p < pocet; ++p) {
    auto kod = static_cast<unsigned char>(na_pozici(p).anec_iAA0223);
    if (kod < 'C')
      ++st().sumz_AA0223_Z;
    if (kod != static_cast<unsigned char>(sav_AA0223))
      st().sw_stejne_vzdelani = 'N';
  }

  for (std::size_t p = 0; p + 1 < pocet;) {
    std::size_t q = p;
    while (q + 1 < pocet && stejny(na_pozici(p), na_pozici(q + 1)))
      ++q;
    if (q > p)
      skupina(p, std::min<std::size_t>(q - p, 5), q - p > 5);
    p = q + 1;
  }

  if (!tflag(t::AA0114) && tv(t::AA0114) != st().sumz_AA0136) {
    Text hodnota = Text::f("%10.4f", tv(t::AA0114)), soucet = Text::f("%10.4f", st().sumz_AA0136);
    za_zamestnavatele();
    if (hodnota.view() != soucet.view())
      zpracuj_chybu(tline(t::AA0114), "EL020", "AA0114", hodnota, soucet);
  }
  if (!tflag(t::AA0115) && tv(t::AA0115) != st().sumz_AA0137) {
    za_zamestnavatele();
    zpracuj_chybu(tline(t::AA0115), "EL021", "AA0115", Text::f("%10.0f", tv(t::AA0115)),
                  Text::f("%10.0f", st().sumz_AA0137));
  }
  if (!tflag(t::AA0118) && tv(t::AA0118) != st().sumz_AA0144) {
    za_zamestnavatele();
    zpracuj_chybu(tline(t::AA0118), "EL022", "AA0118", Text::f("%10.0f", tv(t::AA0118)),
                  Text::f("%10.0f", st().sumz_AA0144));
  }
  if (st().sw_anec_AA0137 != 2 && st().maxAktiAnec > 9) { // no record above 1
    za_zamestnavatele();
    zpracuj_chybu("   ", "WL042", "   ", "   ", "   ");
  }
  if (st().sw_anec_AA0033 > 0) {
    za_zamestnavatele();
    zpracuj_chybu(reader::radek(st().lin_anec_AA0033), "WL053", "AA0033", st().val_anec_AA0033,
                  "delka 2");
  }
  chk_AA0118(st().atel_iAA0118);
  const auto zaznamu = st().maxAktiAnec + 1;
  if (st().sw_stejne_vzdelani == 'A' && zaznamu > 9) {
    za_zamestnavatele();
    zpracuj_chybu("   ", "EL081", "AA0223", znak(sav_AA0223), "   ");
  }
  if (st().sumz_AA0223_Z > zaznamu / 2 && zaznamu > 9) {
    za_zamestnavatele();
    zpracuj_chybu("   ", "EL082", "AA0223", "   ", "   ");
  }
  if (reader::st().sw_bylNEC == 'N')
    zpracuj_chybu(cur, "ES309", "   ", "   ", "   ");
  reader::st().rezim_zprac = 'H';
  return 0;
}

} // namespace rules
