// What the files of the rules share: the state of the current employer and its employee
// record store, and the places where the generic element check hands an element on to the
// rules particular to it.
#pragma once

#include <cstdint>
#include <deque>
#include <string_view>
#include <vector>

#include "rules.hpp"

namespace rules {

using report::Pole;

// One row of the employee record store: what the closing checks of the employer need of one
// employee record.
struct Zaznam {
  double anec_iAA0131 = 0;             // weekly working-time fund
  double anec_iAA0132 = 0;             // hours
  std::int64_t anec_lin = 0;           // line of its AA0126 (not reset between employers)
  std::int32_t anec_iAA0231 = 0;       // year of birth
  std::int32_t anec_iAA0137 = 0;       // 1 when in the register on the last day (not reset)
  std::int16_t anec_iAA0033 = 0;       // row of the country code in TcisStat, 718 when not listed
  Pole<10, std::uint8_t> anec_iAA0126; // identification as read
  bool ma_AA0126 = false;              // AA0126 arrived: the row takes part in groups
  char anec_iAA0211 = ' ';             // first character of the sex code
  char anec_iAA0223 = ' ';             // first character of the education code
  // Back to the values of an employer start; anec_lin and anec_iAA0137 stay.
  void zacni() {
    anec_iAA0126.assign("-");
    ma_AA0126 = false;
    anec_iAA0231 = 0;
    anec_iAA0211 = anec_iAA0223 = ' ';
    anec_iAA0033 = 0;
    anec_iAA0131 = anec_iAA0132 = 0;
  }
};

static_assert(sizeof(Zaznam) == 48);

struct State {
  // employee record store: rows 0 to maxAktiAnec are the records of the current employer; the
  // rows keep their room from one employer to the next, so a record costs no allocation
  std::deque<Zaznam> anec;       // grows in blocks: a row is never copied
  std::vector<Zaznam *> poradi;  // order list of the closing checks: rows sorted by AA0126
  std::int64_t maxAktiAnec = -1; // row of the current record, -1 before the first
  Zaznam *zaznam = nullptr;      // that row, while maxAktiAnec is not -1
  Pole<7> necsav_AA0013;         // occupation code of the latest record
  // employer totals and identity
  double atel_iAA0114 = 0, atel_iAA0115 = 0, atel_iAA0116 = 0; // accepted employer values
  double atel_iAA0118 = 0, atel_iAA0119 = 0, atel_iAA0123 = 0;
  Pole<19> newZamId;              // AA0017, and "/" with AA0113 when given; empty: none
  std::vector<Pole<19>> TabZamId; // identities of the first 100 employers of the run
  std::int64_t nTabZamId = -1;    // row of the last identity stored; counts on past 99
  char sw_pis_TelPre = 'N';       // 'A' until the first record checks the employer counts
  // running sums over the records of the employer
  double sumz_AA0136 = 0, sumz_AA0137 = 0, sumz_AA0144 = 0;
  std::int32_t sw_anec_AA0137 = 0;  // 2 when some record had AA0137 above 1
  std::int32_t sw_anec_AA0033 = 0;  // 1 when some record had a three-letter country code
  std::int64_t lin_anec_AA0033 = 0; // line of the latest such code (kept across employers)
  Pole<3> val_anec_AA0033;          // the code itself (kept across employers)
  std::int64_t sumz_AA0223_Z = 0;   // records with an education code below "C"
  char sw_stejne_vzdelani = 'A';    // 'A' while all records share one education code
  // submitter
  std::uint32_t l_predkladatel = 0; // the submitter's number from the last lookup
};
// The rules' part of the check that this thread runs (see driver::Kontrola).
namespace detail {
inline thread_local State *aktivni = nullptr;
}
inline State &st() { return *detail::aktivni; }

// A number truncated toward zero to a 32-bit integer; values beyond its range stop at its ends.
std::int32_t cele(double x);

// The identification number `ico` of element `elem` by its check digit: EL031 and the mark
// `esw` set to E when it fails. Returns 0 when valid, else 1.
int chk_ico_prvku(std::string_view ico, char &esw, std::string_view elem);

// A calendar day given by two-character month and day texts, compared as texts (February
// has 28 days).
bool platny_den(std::string_view mesic, std::string_view den);

// After the generic check of a submitter element whose length passed (range failures too).
void pravidla_predkladatele(int row, std::string_view obsah);
// After the generic check of a non-empty employer element whose conversion and length passed.
void pravidla_zamestnavatele(int row, std::string_view obsah, double x);
// Record capture: after the conversion of an employee element, before its length check.
void zachyt_zamestnance(int row, std::string_view obsah, double x);
// Code-list checks of an employee element whose length passed (range failures too).
void ciselniky_zamestnance(int row, std::string_view obsah);

} // namespace rules
