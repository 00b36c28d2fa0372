// The generic element check: the element's row in the rule table of its section, its count,
// its place in the order, its length, its conversion to a number and its value range. A value
// that fails its length or conversion stops here; one that fails only its range goes on to
// the rules particular to the element.
#include "cp1250.hpp"
#include "internal.hpp"

namespace rules {

namespace {

using tables::Prvek;

// The steps below find nothing on a valid report. What each does with a finding is kept out
// of line, so that the check of an element saves no registers for it.

// Counts the element of row `row` in its turn and notes its line.
template <std::size_t N> void zapis(State &s, Sekce<N> &sek, int row) {
  sek.Esw[row] = ' ';
  sek.Lin[row] = s.cislo_radky;
  ++sek.Pre[row];
  ++sek.porDat;
}

// An element that is not the next one of the table: ES301 when the table has no row of its
// name; else its row, counted, with ES305 naming the element whose turn it was.
template <const auto &Tab, std::size_t N>
[[gnu::cold, gnu::noinline]] int mimo_poradi(State &s, Sekce<N> &sek, std::string_view elem,
                                             std::string_view obsah) {
  const int row = tables::najdi_prvek<Tab>(elem);
  if (row < 0) {
    zpracuj_chybu(s, s_cislo_radky(s), "ES301", elem, obsah,
                  report::Text(static_cast<std::int64_t>(obsah.size())));
    return -1;
  }
  zapis(s, sek, row);
  if (sek.porDat != row) {
    // Past the end marker row the table has no row; its marker name stands for it.
    std::size_t at = static_cast<std::size_t>(sek.porDat);
    zpracuj_chybu(s, s_cislo_radky(s), "ES305", elem, obsah,
                  at < Tab.size() ? Tab[at].elem : Tab.back().elem);
  }
  return row;
}

// Steps common to the three sections: the row (ES301 when unknown), its count and line, and
// its order (ES305 naming the element whose turn it was). Returns the row, or -1.
template <const auto &Tab, std::size_t N>
int najdi_a_zapis(State &s, Sekce<N> &sek, std::string_view elem, std::string_view obsah) {
  const auto dalsi = static_cast<std::size_t>(sek.porDat + 1);
  if (dalsi + 1 >= Tab.size() || !reader::stejne(Tab[dalsi].elem, elem))
    return mimo_poradi<Tab>(s, sek, elem, obsah);
  zapis(s, sek, static_cast<int>(dalsi));
  return static_cast<int>(dalsi);
}

bool ma_text(const Prvek &p) { return p.val_from >= tables::kPrvniText; }
bool ma_cislo(const Prvek &p) { return p.val_from != 0 && !ma_text(p); }

// A value that fails its row: the row's code, then the mark E.
template <std::size_t N>
[[gnu::cold, gnu::noinline]] void chyba_hodnoty(State &s, Sekce<N> &sek, int row, const Prvek &p,
                                                std::string_view elem, std::string_view obsah,
                                                std::string_view cek) {
  zpracuj_chybu(s, s_cislo_radky(s), p.err, elem, obsah, cek);
  sek.Esw[row] = 'E';
}

// A length outside the row's bounds: the row's code with "délka ...", and the mark E.
template <std::size_t N>
[[gnu::cold, gnu::noinline]] void chyba_delky(State &s, Sekce<N> &sek, int row, const Prvek &p,
                                              std::string_view elem, std::string_view obsah) {
  static constexpr std::string_view kDelka = "délka"_cp; // views of _cp end in a NUL
  chyba_hodnoty(s, sek, row, p, elem, obsah,
                p.lg_from == p.lg_to
                    ? report::Text::f("%s %d", kDelka.data(), p.lg_to)
                    : report::Text::f("%s %d - %d", kDelka.data(), p.lg_from, p.lg_to));
}

// Length within the row's bounds; else the row's code with "délka ...", and the mark E.
template <std::size_t N>
bool delka_v_mezich(State &s, Sekce<N> &sek, int row, const Prvek &p, std::string_view elem,
                    std::string_view obsah) {
  auto len = static_cast<long long>(obsah.size());
  if (len >= p.lg_from && len <= p.lg_to)
    return true;
  chyba_delky(s, sek, row, p, elem, obsah);
  return false;
}

// Conversion by the row's type; a refused value gets the row's code and the mark E.
template <std::size_t N>
bool prevod(State &s, Sekce<N> &sek, int row, const Prvek &p, std::string_view elem,
            std::string_view obsah, double &x) {
  if (reader::StrToDbl(x, obsah, p.typ) == 0)
    return true;
  chyba_hodnoty(s, sek, row, p, elem, obsah, "?");
  return false;
}

// The value of a number row, converted into the row's store; a refused one gets the row's code
// and the mark E, and leaves the store as it was. True when it was converted, or the row holds
// no number.
template <std::size_t N>
bool hodnota(State &s, Sekce<N> &sek, int row, const Prvek &p, std::string_view elem,
             std::string_view obsah) {
  if (!ma_cislo(p))
    return true;
  double x;
  if (!prevod(s, sek, row, p, elem, obsah, x))
    return false;
  sek.Sum[row] = x;
  return true;
}

// Number or text range; outside it the row's code and the mark E. The check goes on.
template <std::size_t N>
void rozsah(State &s, Sekce<N> &sek, int row, const Prvek &p, std::string_view elem,
            std::string_view obsah, double x) {
  bool venku = false;
  if (ma_cislo(p)) {
    venku = x < tables::TValDbl[static_cast<std::size_t>(p.val_from)] ||
            x > tables::TValDbl[static_cast<std::size_t>(p.val_to)];
  } else if (ma_text(p)) {
    auto mez = [](int i) {
      return tables::TValChar[static_cast<std::size_t>(i - tables::kPrvniText)];
    };
    venku =
        reader::porovnej(obsah, mez(p.val_from)) < 0 || reader::porovnej(obsah, mez(p.val_to)) > 0;
  }
  if (venku)
    chyba_hodnoty(s, sek, row, p, elem, obsah, "?");
}

} // namespace

void k_Pre(State &s, std::string_view elem, std::string_view obsah) {
  auto &sek = s.P;
  const int row = najdi_a_zapis<tables::Ptab>(s, sek, elem, obsah);
  if (row < 0)
    return;
  const Prvek &p = tables::Ptab[static_cast<std::size_t>(row)];
  if (!delka_v_mezich(s, sek, row, p, elem, obsah) || !hodnota(s, sek, row, p, elem, obsah))
    return;
  rozsah(s, sek, row, p, elem, obsah, sek.Sum[row]);
  pravidla_predkladatele(s, row, obsah);
}

void k_Tel(State &s, std::string_view elem, std::string_view obsah) {
  auto &sek = s.T;
  const int row = najdi_a_zapis<tables::Ttab>(s, sek, elem, obsah);
  if (row < 0)
    return;
  const Prvek &p = tables::Ttab[static_cast<std::size_t>(row)];
  if (!hodnota(s, sek, row, p, elem, obsah) || !delka_v_mezich(s, sek, row, p, elem, obsah))
    return;
  if (obsah.empty()) { // only the facility code may be empty: it then has no rule
    sek.Esw[row] = 'E';
    return;
  }
  rozsah(s, sek, row, p, elem, obsah, sek.Sum[row]);
  pravidla_zamestnavatele(s, row, obsah, sek.Sum[row]);
}

void k_Nec(State &s, std::string_view elem, std::string_view obsah) {
  auto &sek = s.N;
  const int row = najdi_a_zapis<tables::Ntab>(s, sek, elem, obsah);
  if (row < 0)
    return;
  const Prvek &p = tables::Ntab[static_cast<std::size_t>(row)];
  if (!hodnota(s, sek, row, p, elem, obsah))
    return;
  zachyt_zamestnance(s, row, obsah, sek.Sum[row]);
  if (!delka_v_mezich(s, sek, row, p, elem, obsah))
    return;
  rozsah(s, sek, row, p, elem, obsah, sek.Sum[row]);
  ciselniky_zamestnance(s, row, obsah);
}

} // namespace rules
