// What the files of the rules share: the places where the generic element check hands an
// element on to the rules particular to it, the presence check of a section, and small
// helpers of the identification numbers and dates.
#pragma once

#include <cstdint>
#include <string_view>

#include "rules.hpp"

namespace rules {

// How the presence check of a section writes its rows, as each place of the document has it.
enum class Pritomnost : char {
  kNazev,    // ES303 and ES304, value "   ", expected the element name or the count
  kPocet,    // ES303 and ES304, value " ", expected the count
  kOpakovani // ES304 only, value " ", expected the count
};

// The presence check of section `sekce` against its table `tab` (end marker excluded): ES303
// for each element the section lacks, ES304 for each it had more than once, in table order.
template <std::size_t N>
void pis_pritomnost(State &s, const Sekce<N> &sekce, const std::array<tables::Prvek, N> &tab,
                    std::string_view line, Pritomnost jak) {
  const std::string_view hodnota = jak == Pritomnost::kNazev ? "   " : " ";
  for (std::size_t i = 0; i + 1 < N; ++i) {
    std::string_view name = tab[i].elem;
    if (sekce.Pre[i] > 1)
      zpracuj_chybu(s, line, "ES304", name, hodnota, report::Text(sekce.Pre[i]));
    else if (sekce.Pre[i] == 0 && jak == Pritomnost::kNazev)
      zpracuj_chybu(s, line, "ES303", name, hodnota, name);
    else if (sekce.Pre[i] == 0 && jak == Pritomnost::kPocet)
      zpracuj_chybu(s, line, "ES303", name, hodnota, report::Text(sekce.Pre[i]));
  }
}

// A number truncated toward zero to a 32-bit integer; values beyond its range stop at its ends.
std::int32_t cele(double x);

// The identification number `ico` of element `elem` by its check digit: EL031 and the mark
// `esw` set to E when it fails.
void chk_ico_prvku(State &s, std::string_view ico, char &esw, std::string_view elem);

// A calendar day given by two-character month and day texts, compared as texts (February
// has 28 days).
bool platny_den(std::string_view mesic, std::string_view den);

// After the generic check of a submitter element whose length passed (range failures too).
void pravidla_predkladatele(State &s, int row, std::string_view obsah);
// After the generic check of a non-empty employer element whose conversion and length passed.
void pravidla_zamestnavatele(State &s, int row, std::string_view obsah, double x);
// Record capture: after the conversion of an employee element, before its length check.
void zachyt_zamestnance(State &s, int row, std::string_view obsah, double x);
// Code-list checks of an employee element whose length passed (range failures too).
void ciselniky_zamestnance(State &s, int row, std::string_view obsah);

// The handlers of the places where a section begins or ends (see oddil).
void zpracuj_TELz(State &s); // S
void zpracuj_TELk(State &s); // U
void zpracuj_NECz(State &s); // M
void zpracuj_NECk(State &s); // O

} // namespace rules
