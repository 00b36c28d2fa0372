// The document reader: the text and number helpers, the markup scanner over the input
// stream, and the document state machine that walks the report section by section, writes
// the output copy and hands every value element to the check of its section.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ldinc952.hpp"
#include "report.hpp"

namespace reader {

using report::Pole;

// ---- Text and number helpers ---------------------------------------------------------------

// Converts a value of element type `typ` ('R' allows one decimal point): an optional sign in
// the first place, digits and points only. Returns 0 and the value, or 1 and 0 when refused.
int StrToDbl(double &out, std::string_view text, char typ);
// A decimal number (an optional sign, digits, at most one point, an optional exponent) as the
// C library converts it in the C locale, whatever locale a host program has set. Nothing when
// the text is not such a number or lies beyond the range of a double.
std::optional<double> jstrtod(std::string_view s);
// Equal texts, compared inline eight or four bytes at a time (the last load overlapping the
// one before): the names compared on every element are a few bytes long, and a call of memcmp
// costs more than the comparison itself.
inline bool stejne(std::string_view a, std::string_view b) {
  const std::size_t n = a.size();
  if (n != b.size())
    return false;
  const char *x = a.data(), *y = b.data();
  auto rovno = [&]<class T>(T, std::size_t at) {
    T u, v;
    std::memcpy(&u, x + at, sizeof u);
    std::memcpy(&v, y + at, sizeof v);
    return u == v;
  };
  if (n >= 8) {
    for (std::size_t i = 0; i + 8 < n; i += 8)
      if (!rovno(std::uint64_t{}, i))
        return false;
    return rovno(std::uint64_t{}, n - 8);
  }
  if (n >= 4)
    return rovno(std::uint32_t{}, 0) && rovno(std::uint32_t{}, n - 4);
  for (std::size_t i = 0; i < n; ++i)
    if (x[i] != y[i])
      return false;
  return true;
}
// The order of two texts by their bytes, as std::string_view's compare gives it (<0, 0, >0),
// inline: the bounds of text values are a few bytes long and mostly differ in the first.
inline int porovnej(std::string_view a, std::string_view b) {
  const std::size_t n = a.size() < b.size() ? a.size() : b.size();
  for (std::size_t i = 0; i < n; ++i)
    if (a[i] != b[i])
      return static_cast<unsigned char>(a[i]) < static_cast<unsigned char>(b[i]) ? -1 : 1;
  return a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
}
// The text without its leading blanks (character 32 only).
std::string_view jezltrim(std::string_view s);
// 'A' when every character k of the start name equals character k + 1 of the end name.
char prvek_zac_kon(std::string_view start, std::string_view end);
// 1-based position of the first `c` in `s`, 0 when absent.
std::size_t jinstr(std::string_view s, char c);
// The absolute difference.
double jezdifdbl(double a, double b);

// ---- Input -----------------------------------------------------------------------------------

// Opens a file for reading in binary mode; nullptr when it cannot be opened or is a folder.
// `size`, when given, receives the file's size.
std::FILE *otevri_pro_cteni(const std::string &path, std::uint64_t *size = nullptr);

// A read that failed (not the end of the file): the run cannot go on with that input.
struct ChybaCteni {};

// A source of input that the caller reads for the check: at most `size` bytes into `buffer`;
// the count read, 0 at the end, below 0 when it cannot be read on.
using Zdroj = std::ptrdiff_t (*)(void *buffer, std::size_t size, void *context);

// An input document, read from a file or from a caller's source through a buffer of a chosen
// size, or handed over whole in memory (which the caller keeps alive) and given out in pieces
// of that size.
class Input {
public:
  static std::unique_ptr<Input> open(const std::string &path, std::size_t buffer_size);
  Input(std::FILE *f, std::size_t buffer_size) : f_(f), buf_(buffer_size ? buffer_size : 1) {}
  Input(std::string_view memory, std::size_t piece_size)
      : memory_(memory), piece_(piece_size ? piece_size : 1), size_(memory.size()) {}
  // A source of unknown size: size() is 0.
  Input(Zdroj zdroj, void *kontext, std::size_t buffer_size)
      : buf_(buffer_size ? buffer_size : 1), zdroj_(zdroj), kontext_(kontext) {}
  Input(const Input &) = delete;
  Input &operator=(const Input &) = delete;
  ~Input();
  // Reads the next piece into the buffer; an empty view at the end of the file. A read error
  // throws ChybaCteni.
  std::string_view fill();
  std::uint64_t size() const { return size_; } // of the file when opened, or of the memory
  bool started() const { return started_; }    // fill has been called

private:
  std::FILE *f_ = nullptr;
  std::vector<char> buf_;
  std::string_view memory_; // unread part of a document in memory
  std::size_t piece_ = 0;
  std::uint64_t size_ = 0; // size of the file when it was opened, or of the memory
  bool started_ = false;   // fill has been called
  Zdroj zdroj_ = nullptr;  // the caller's source, read until it gives 0
  void *kontext_ = nullptr;
  bool dosel_ = false; // the source has given its end: it is not asked again
};

// ---- Element state of the three sections ---------------------------------------------------

// Per row of a section's element rule table: the occurrence count, the mark, the line and the
// value of the latest occurrence, and the section's order position.
// The line text of a stored line number ("" for one never set).
inline report::Text radek(std::int64_t line) {
  return line > 0 ? report::Text(line) : report::Text();
}

// How the presence check of a section writes its rows, as each place of the document has it.
enum class Pritomnost : char {
  kNazev,    // ES303 and ES304, value "   ", expected the element name or the count
  kPocet,    // ES303 and ES304, value " ", expected the count
  kOpakovani // ES304 only, value " ", expected the count
};

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

  // The presence check against the section's table `tab` (end marker excluded): ES303 for
  // each element the section lacks, ES304 for each it had more than once, in table order.
  void pis_pritomnost(const std::array<tables::Prvek, N> &tab, std::string_view line,
                      Pritomnost jak) const {
    const std::string_view hodnota = jak == Pritomnost::kNazev ? "   " : " ";
    for (std::size_t i = 0; i + 1 < N; ++i) {
      std::string_view name = tab[i].elem;
      if (Pre[i] > 1)
        report::zpracuj_chybu(line, "ES304", name, hodnota, report::Text(Pre[i]));
      else if (Pre[i] == 0 && jak == Pritomnost::kNazev)
        report::zpracuj_chybu(line, "ES303", name, hodnota, name);
      else if (Pre[i] == 0 && jak == Pritomnost::kPocet)
        report::zpracuj_chybu(line, "ES303", name, hodnota, report::Text(Pre[i]));
    }
  }
};

// ---- Scanner and state machine ---------------------------------------------------------------

// Called at the end of every input: true when the next input of a list is open in `insoub`;
// false when the input has ended for good (the run is then normally over already).
using KonecVstupu = bool (*)();

// A value element as the state machine read it: its section ('P' submitter, 'T' employer,
// 'N' employee), its name, its content without leading blanks and the name of its end tag
// ("/" and the name for one that closed itself).
struct Prvek {
  char sekce;
  bool kopie; // leaves a line in the output copy (when one is written)
  bool es302; // the end tag does not match the start tag
  std::string_view elem, obsah, konec;
  // When the element was taken whole from the read buffer: its bytes from the "<" to the ">"
  // of the end tag, of which the three texts above are parts. Else empty.
  std::string_view cely;
};

// What the state machine hands on, in the order of the document: the findings of the markup,
// the lines of the output copy, the value elements and the places where a section begins or
// ends. A check on one thread carries each out at once; a check on two threads queues it for
// the thread that checks. Each carries the line the scanner has reached (`cislo_radky`).
class Predani {
public:
  virtual ~Predani() = default;
  // ES300: the start tag `elem` has a rest `zbytek` after its name.
  virtual void zbytek(std::string_view elem, std::string_view zbytek) = 0;
  // Bytes of the output copy; called only while a copy is written (`sw_vystup`).
  virtual void kopie(std::string_view text) = 0;
  virtual void prvek(const Prvek &p) = 0;
  // The handler of state `stav` at a section's start or end: 'G' the root start tag, 'J' the
  // root end tag, 'S' and 'U' an employer's, 'M' and 'O' an employee record's start and end.
  // It sets the state that follows.
  virtual void obsluha(char stav) = 0;
};

// How far a run has read, for a caller that shows it; told after every piece of input.
struct Prubeh {
  std::uint64_t precteno = 0; // bytes read from the inputs of the run
  std::uint64_t velikost = 0; // sizes of the inputs begun so far
  std::int64_t zaznamu = 0;   // employee records ended
};
using HlaseniPrubehu = void (*)(void *kontext);

struct State {
  // scanner
  std::int64_t cislo_radky = 1;       // input line being read, from 1
  char je_OTVZAV = 'N';               // 'A': the "<" of the next tag is already consumed
  char je_ZAVZAV = 'N';               // 'A': the ">" of the current tag is already consumed
  std::unique_ptr<Input> insoub;      // input being read
  KonecVstupu konec_vstupu = nullptr; // asked at the end of each input
  std::string_view okno;              // unread part of the input buffer
  Prubeh prubeh;                      // progress of the run
  HlaseniPrubehu hlaseni = nullptr;   // told of the progress; may be null
  void *hlaseni_kontext = nullptr;
  // document state machine
  char rezim_zprac = 'Z';                                     // state of the main loop
  Pole<300> buf_element{"        inicializace buf_elementu"}; // scanner buffer
  Pole<51> akt_elem;                     // current element name (50 characters and "/")
  Pole<300> akt_obsah;                   // its content without leading blanks
  char sw_prvniKUF = 'A';                // 'N' once the root end tag was handled
  char sw_bylTEL = '\0';                 // 'N' from the root start tag, 'A' from an employer on
  char sw_bylNEC = '\0';                 // 'A' once the current employer has a record
  std::unique_ptr<report::Sink> outsoub; // output copy, written while sw_vystup is 'A'
  char sw_vystup = 'N';                  // 'A' while the output copy is written
  Predani *predani = nullptr;            // what the state machine reads is handed to
  // element state of the submitter, employer and employee sections
  Sekce<tables::Ptab.size()> P;
  Sekce<tables::Ttab.size()> T;
  Sekce<tables::Ntab.size()> N;
};
// The reader's part of the check that this thread runs (see driver::Kontrola).
namespace detail {
inline thread_local State *aktivni = nullptr;
}
inline State &st() { return *detail::aktivni; }

// The current line as text, the line column of most error rows.
inline report::Text s_cislo_radky() { return report::Text(st().cislo_radky); }

// A value element `<name>content</end>` that lies whole in the next 64 bytes of the read
// buffer, with nothing in it that the reading by parts treats otherwise: a name of at most 50
// characters closed by ">", neither name beginning with "kuf:" or a character and "kuf:", no
// blank in a name and no control character (a line end, a tab, a NUL) in a name or the
// content. Its texts are views into the buffer.
struct CelyPrvek {
  std::string_view elem, obsah, konec;
  std::string_view cely;  // its bytes from the "<" to the ">" of the end tag
  std::size_t delka = 0;  // bytes up to and including the ">" of the end tag
  std::int64_t radky = 0; // line feeds before its "<"
  bool es302 = false;     // the end name is not "/" followed by the name (prvek_zac_kon)
};
bool nahled_prvku(CelyPrvek &c);
void prijmi_prvek(const CelyPrvek &c);

int dej_element(Pole<300> &buf);
int dej_zbytek_elementu(Pole<300> &buf, char rezim);
int preskoc_zbytek_komentare();
int dej_obsah(Pole<300> &buf);

// Handlers of the document states; each sets the next state itself, or has it set by the
// handler it hands on (Predani::obsluha). The three that read value elements find ES300 for a
// start tag with a rest and ES302 for an end tag that does not match, and hand each element
// on for the check of its section.
int zpracuj_ZACp(); // Z: prologue up to the root start tag
int zpracuj_KUFz(); // G: rest of the root start tag
int zpracuj_KUF();  // H: submitter elements, and the place between employers
int zpracuj_KUFm(); // I: after the root end tag
int zpracuj_TEL();  // T: employer elements
int zpracuj_NEC();  // N: employee elements
// What Predani::obsluha and Predani::prvek carry out for the reader's part:
void zacni_koren();  // G: the submitter section begins
void zpracuj_KUFk(); // J: the root end tag; ES303 ES304 of the submitter elements
// The check of one section, given the element name and its value.
using KontrolaSekce = int (*)(std::string_view elem, std::string_view obsah);
// The copy line alone, when the element leaves one and the output copy is written here.
void kopie_prvku(const Prvek &p);
// ES302, the copy line and the identifications of the error rows, then `kontrola`. Inline:
// the caller names its section's check, which is then called directly.
[[gnu::always_inline]] inline void prvek_hotov(const Prvek &p, KontrolaSekce kontrola) {
  if (p.es302)
    report::zpracuj_chybu(s_cislo_radky(), "ES302", p.elem, p.konec, "  ");
  kopie_prvku(p);
  if (p.sekce == 'T' && stejne(p.elem, "AA0017"))
    report::st().telicokod.assign(p.obsah);
  if (p.sekce == 'N' && stejne(p.elem, "AA0126"))
    report::st().identnec.assign(p.obsah);
  kontrola(p.elem, p.obsah);
}

// The fixed root line of the output copy.
inline constexpr std::string_view kKorenVystupu =
    "<KUF verze=\"1.6\" xmlns=\"http://www.example.org/schemas/2004/KUF/1.6/\"> \n";

} // namespace reader
