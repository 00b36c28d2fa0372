// The element rules: the generic check of every value element against the element rule table
// of its section, and the rules particular to the submitter, the employer and the employee
// record that follow it, with the handlers of the places where a section begins or ends. They
// are told, in the order of the document, what the state machine read, and report every
// finding into the protocol.
#pragma once

#include <cstdint>
#include <deque>
#include <initializer_list>
#include <string_view>
#include <vector>

#include "reader.hpp"
#include "report.hpp"

namespace rules {

using report::Pole;

// The line text of a stored line number ("" for one never set).
inline report::Text radek(std::int64_t line) {
  return line > 0 ? report::Text(line) : report::Text();
}

// Per row of a section's element rule table: the occurrence count, the mark, the line and the
// value of the latest occurrence, and the section's order position.
template <std::size_t N> struct Sekce {
  std::int64_t Pre[N]{};    // occurrences since the section start
  char Esw[N]{};            // 'E' after a failed check, else blank
  std::int64_t Lin[N]{};    // line of the latest occurrence; 0 before the first
  double Sum[N]{};          // converted value of the latest occurrence (number rows)
  std::int64_t porDat = -1; // known elements seen in the section, minus one
  void zacni() {            // section start: counts, values and order position
    for (std::size_t i = 0; i < N; ++i)
      Pre[i] = 0, Sum[i] = 0;
    porDat = -1;
  }
  double hodnota(int x) const { return Sum[x]; }            // value of row x
  bool chybny(int x) const { return Esw[x] == 'E'; }        // row x failed its check
  report::Text radka(int x) const { return radek(Lin[x]); } // line text of row x
  // None of the rows carries the mark E: a rule that reads them may run.
  bool bez_chyb(std::initializer_list<int> xs) const {
    for (int x : xs)
      if (chybny(x))
        return false;
    return true;
  }
};

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

// The rules of one check: where they report, the element state of the three sections, the
// current employer and its employee records, and the marks the end of the document reads.
struct State {
  explicit State(report::State &r) : protokol(r) {}
  State(const State &) = delete;
  State &operator=(const State &) = delete;

  report::State &protokol;      // the protocol that the findings go to, and the console
  std::int64_t cislo_radky = 1; // the line the reader had reached at the item being checked
  Pole<19> telicokod;           // employer column of the rows: AA0017, "/" and AA0113 if given
  Pole<11> identnec;            // employee column: AA0126 of the record concerned
  // element state of the submitter, employer and employee sections
  Sekce<tables::Ptab.size()> P;
  Sekce<tables::Ttab.size()> T;
  Sekce<tables::Ntab.size()> N;
  char sw_prvniKUF = 'A';   // 'N' once the root end tag was handled
  char sw_bylTEL = '\0';    // 'N' from the root start tag, 'A' from an employer on
  char sw_bylNEC = '\0';    // 'A' once the current employer has a record
  std::int64_t zaznamu = 0; // employee records ended, for the progress
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

// Reports one finding: line text, code, element, value and expected text ("?" asks for the
// catalogue's), with the employer and employee columns of the rules.
inline void zpracuj_chybu(State &s, std::string_view line, std::string_view code,
                          std::string_view elem, std::string_view value,
                          std::string_view expected) {
  report::zpracuj_chybu(s.protokol, {line, code, s.telicokod, s.identnec, elem, value, expected});
}
// The line of the item being checked, as the line column of most rows.
inline report::Text s_cislo_radky(const State &s) { return report::Text(s.cislo_radky); }

// ---- What the state machine hands on ---------------------------------------------------------
// Each is told the line the reader had reached at it.

// ES300: the start tag `elem` has a rest `zbytek` after its name.
void zbytek(State &s, std::int64_t radka, std::string_view elem, std::string_view zbytek);

// Section checks, one call per value element in document order. Each checks the element
// against its section's rule table (ES301 unknown, ES305 out of order, the row's own code for a
// failed length, conversion or range), then the rules of the element:
void k_Pre(State &s, std::string_view elem, std::string_view obsah); // EL031 ER202 ESEMA ESVYT
// employer: EL031 WR204 WL054 EL074 WL901 EL055 EL056 EL050 EL064 WL063 EL062 WL061
void k_Tel(State &s, std::string_view elem, std::string_view obsah);
// employee record: EL048 EL047 WL033 EL046 WL039 EL004 EL068 EL056
void k_Nec(State &s, std::string_view elem, std::string_view obsah);

// A value element: ES302 when its end tag does not match, the employer and employee columns
// from AA0017 and AA0126, then the check of its section. Inline, so that the section's check
// is called directly.
[[gnu::always_inline]] inline void prvek(State &s, std::int64_t radka, const reader::Prvek &p) {
  s.cislo_radky = radka;
  if (p.es302)
    zpracuj_chybu(s, s_cislo_radky(s), "ES302", p.elem, p.konec, "  ");
  switch (p.sekce) {
  case 'P':
    return k_Pre(s, p.elem, p.obsah);
  case 'T':
    if (reader::stejne(p.elem, "AA0017"))
      s.telicokod.assign(p.obsah);
    return k_Tel(s, p.elem, p.obsah);
  default:
    if (reader::stejne(p.elem, "AA0126"))
      s.identnec.assign(p.obsah);
    return k_Nec(s, p.elem, p.obsah);
  }
}

// The handler of a place where a section begins or ends, by the state of the machine there:
// G the root start tag; J the root end tag (ES303 ES304 of the submitter elements);
// S an employer's start (ES303 ES304 of the submitter elements);
// M an employee record's start (ES303 ES304 of the employer elements, at the first one);
// O an employee record's end: the progress line, ES303 ES304 and the record rules (EL005
// EL006 EL010 EL012 EL013 EL015 EL027 EL028 EL037 EL038 EL051 EL059 EL066 EL069 EL070 EL071
// EL073 EL076 EL077 EL078 EL080 WL009 WL016 WL060);
// U an employer's end: ES303 ES304 of its elements, the records of one person (EL003 WL049
// WL007), its totals against the sums over its records (EL020 EL021 EL022), the headcount
// (WL042), the country codes (WL053), the salary floor (EL058), the education codes (EL081
// EL082) and ES309 for an employer without records.
void oddil(State &s, std::int64_t radka, char stav);

// The end of the document: ES306 without a root end tag, ES308 without an employer.
void konec_dokumentu(State &s, std::int64_t radka);

// The rules as the state machine's hand-over on one thread: each item checked at once, as it
// is read.
class Primo final : public reader::Predani {
public:
  explicit Primo(State &s) : s_(s) {}
  void zbytek(std::int64_t radka, std::string_view elem, std::string_view text) override;
  void prvek(std::int64_t radka, const reader::Prvek &p) override;
  void oddil(std::int64_t radka, char stav) override;

private:
  State &s_;
};

// Gives back the memory of the employee record store, so that a message can be written when
// memory ran out.
void uvolni(State &s);

// ---- Code lists and identifier checks ----------------------------------------------------------
// Each lookup reports its own finding.

int chk_ICO(std::string_view ico); // 0 valid, 1 wrong check digit, 2 not eight characters
void cis_predkladatelu(State &s, std::string_view text); // submitters: ER202
void cis_poskytovatelu(State &s, std::string_view text); // providers and their submitter: WR204
void cis_kodzam(State &s, std::string_view text);  // occupations: EL046, WL039 for a code ending 0
void cis_kodpraf(State &s, std::string_view text); // legal forms: EL055
void cis_kodstat(State &s, std::string_view text); // countries: EL047, WL033 outside CZ and SK
void cis_postzam(State &s, std::string_view text); // employment status: EL068
void cis_koddppv(State &s, std::string_view text); // relationship type: EL004
void cis_kodnuts(State &s, std::string_view text, std::string_view elem); // regions: EL056
void cis_kodvzde(State &s, std::string_view text);                        // education: EL048
// Row of the first equal code of the country list, 718 when none is equal.
std::int32_t radek_statu(std::string_view text);
// A number read as the C library's atof reads it, truncated to an unsigned 32-bit number
// (0 when it is not finite or does not fit).
std::uint32_t cislo_ico(std::string_view text);
// The salary tariff of table t, class k and grade g (positions outside the table give 0).
double tarif(double t, double k, double g);

// ---- Rules of single elements ------------------------------------------------------------------

void chk_eposta(State &s, std::string_view mail);     // ESEMA
void chk_vytvoreno(State &s, std::string_view value); // ESVYT
void chk_AA0110(State &s, std::string_view date);     // EL050

} // namespace rules
