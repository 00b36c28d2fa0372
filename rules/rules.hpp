// The element rules: the generic check of every value element against the element rule table
// of its section, and the rules particular to the submitter, the employer and the employee
// record that follow it, with the handlers of the employer and record starts and ends.
#pragma once

#include <cstdint>
#include <string_view>

#include "reader.hpp"

namespace rules {

// Section checks, one call per value element in document order; 1 for an unknown element.
// Each checks the element against its section's rule table (ES301 unknown, ES305 out of order,
// the row's own code for a failed length, conversion or range), then the rules of the element:
int k_Pre(std::string_view elem, std::string_view obsah); // submitter: EL031 ER202 ESEMA ESVYT
// employer: EL031 WR204 WL054 EL074 WL901 EL055 EL056 EL050 EL064 WL063 EL062 WL061
int k_Tel(std::string_view elem, std::string_view obsah);
// employee record: EL048 EL047 WL033 EL046 WL039 EL004 EL068 EL056
int k_Nec(std::string_view elem, std::string_view obsah);

// Handlers of the document states that open and close an employer and an employee record.
int zpracuj_TELz(); // S: start of an employer; ES303 ES304 of the submitter elements
// U: end of an employer; ES303 ES304 of its elements, the records of one person (EL003 WL049
// WL007), its totals against the sums over its records (EL020 EL021 EL022), the headcount
// (WL042), the country codes (WL053), the salary floor (EL058), the education codes (EL081
// EL082) and ES309 for an employer without records
int zpracuj_TELk();
int zpracuj_NECz(); // M: start of an employee record; ES303 ES304 of the employer elements
// O: end of an employee record: the progress line, ES303 ES304 and the record rules (EL005
// EL006 EL010 EL012 EL013 EL015 EL027 EL028 EL037 EL038 EL051 EL059 EL066 EL069 EL070 EL071
// EL073 EL076 EL077 EL078 EL080 WL009 WL016 WL060)
int zpracuj_NECk();

// Gives back the memory of the employee record store, so that a message can be written when
// memory ran out.
void uvolni();

// ---- Code lists and identifier checks ----------------------------------------------------------
// Each lookup reports its own finding and returns 0 when the value is listed (1 otherwise).

int chk_ICO(std::string_view ico); // 0 valid, 1 wrong check digit, 2 not eight characters
int cis_predkladatelu(std::string_view text); // submitters: ER202
int cis_poskytovatelu(std::string_view text); // providers and their submitter: WR204
int cis_kodzam(std::string_view text);        // occupations: EL046, WL039 for a code ending in 0
int cis_kodpraf(std::string_view text);       // legal forms: EL055
int cis_kodstat(std::string_view text);       // countries: EL047, WL033 outside CZ and SK
int cis_postzam(std::string_view text);       // employment status: EL068
int cis_koddppv(std::string_view text);       // relationship type: EL004
int cis_kodnuts(std::string_view text, std::string_view elem); // regions: EL056
int cis_kodvzde(std::string_view text);                        // education: EL048
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
