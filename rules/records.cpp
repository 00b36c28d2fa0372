// Employers and employee records: their start and end handlers, and the rules particular to
// the elements of the submitter, the employer and the employee record.
#include "internal.hpp"
#include "rules.hpp"

namespace rules {

void reset() {}

// The rules of the submitter's identification number, e-mail address and creation time
// come here.
void pravidla_predkladatele(int, std::string_view) {}

// The rules of the employer's identification number, facility code, legal form, region,
// date and totals come here.
void pravidla_zamestnavatele(int, std::string_view, double) {}

// The capture of the employee record into the record store comes here.
void zachyt_zamestnance(int, std::string_view, double) {}

// The code-list checks of education, country, occupation, relationship type, employment
// status and region come here.
void ciselniky_zamestnance(int, std::string_view) {}

int zpracuj_TELz() {
  reader::st.T.zacni();
  report::st.identnec.assign("   ");
  reader::st.rezim_zprac = 'T';
  reader::st.sw_bylTEL = 'A';
  reader::st.sw_bylNEC = 'N';
  return 0;
}

// The employer's closing checks over all its records come here.
int zpracuj_TELk() {
  reader::st.rezim_zprac = 'H';
  return 0;
}

int zpracuj_NECz() {
  reader::st.rezim_zprac = 'N';
  reader::st.N.zacni();
  reader::st.sw_bylNEC = 'A';
  return 0;
}

// The progress line and the cross-field rules of the record come here.
int zpracuj_NECk() {
  reader::st.rezim_zprac = 'T';
  return 0;
}

} // namespace rules
