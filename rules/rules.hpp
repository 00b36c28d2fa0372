// The element rules: the generic check of every value element against the element rule table
// of its section, and the rules particular to the submitter, the employer and the employee
// record that follow it, with the handlers of the employer and record starts and ends.
#pragma once

#include <cstdint>
#include <string_view>

#include "reader.hpp"

namespace rules {

// Section checks, one call per value element in document order; 1 for an unknown element.
int k_Pre(std::string_view elem, std::string_view obsah); // submitter
int k_Tel(std::string_view elem, std::string_view obsah); // employer
int k_Nec(std::string_view elem, std::string_view obsah); // employee record

// Handlers of the document states that open and close an employer and an employee record.
int zpracuj_TELz(); // S: start of an employer
int zpracuj_TELk(); // U: end of an employer
int zpracuj_NECz(); // M: start of an employee record
int zpracuj_NECk(); // O: end of an employee record

// Gives back the memory of the employee record store (after a run, or when memory ran out).
void uvolni();

// ---- Code lists and identifier checks ----------------------------------------------------------
// Each lookup reports its own finding and returns 0 when the value is listed (1 otherwise).

int chk_ICO(std::string_view ico); // 0 valid, 1 wrong check digit, 2 not eight characters
int cis_predkladatelu(std::string_view text);
int cis_poskytovatelu(std::string_view text);
int cis_kodzam(std::string_view text);
int cis_kodpraf(std::string_view text);
int cis_kodstat(std::string_view text);
int cis_postzam(std::string_view text);
int cis_koddppv(std::string_view text);
int cis_kodnuts(std::string_view text, std::string_view elem);
int cis_kodvzde(std::string_view text);
// Row of the first equal code of the country list, 718 when none is equal.
std::int32_t radek_statu(std::string_view text);
// A number read as the C library's atof reads it, truncated to an unsigned 32-bit number
// (0 when it is not finite or does not fit).
std::uint32_t cislo_ico(std::string_view text);
// The salary tariff of table t, class k and grade g (positions outside the table give 0).
double tarif(double t, double k, double g);

// ---- Rules of single elements
// --------------------------------------------------------------------

int chk_eposta(std::string_view mail);     // ESEMA
int chk_vytvoreno(std::string_view value); // ESVYT
int chk_AA0110(std::string_view date);     // EL050

} // namespace rules
