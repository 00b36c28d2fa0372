// The element rules: the generic check of every value element against the element rule table
// of its section, and the rules particular to the submitter, the employer and the employee
// record that follow it, with the handlers of the employer and record starts and ends.
#pragma once

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

void reset();

} // namespace rules
