// What the files of the rules share: the places where the generic element check hands an
// element on to the rules particular to it.
#pragma once

#include <string_view>

namespace rules {

// After the generic check of a submitter element whose length passed (range failures too).
void pravidla_predkladatele(int row, std::string_view obsah);
// After the generic check of a non-empty employer element whose conversion and length passed.
void pravidla_zamestnavatele(int row, std::string_view obsah, double x);
// Record capture: after the conversion of an employee element, before its length check.
void zachyt_zamestnance(int row, std::string_view obsah, double x);
// Code-list checks of an employee element whose length passed (range failures too).
void ciselniky_zamestnance(int row, std::string_view obsah);

} // namespace rules
