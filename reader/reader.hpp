// The document reader: the text and number helpers, the markup scanner over the input
// stream, and the document state machine that walks the report section by section, writes
// the output copy and hands every value element, markup finding and section start or end on
// (Predani), in the order of the document. It reports nothing itself: what it reads is checked
// by whoever it hands it to.
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

// ---- What the state machine hands on ----------------------------------------------------------

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

// What the state machine hands on, in the order of the document, each with the line the
// scanner has reached (`cislo_radky`): the markup findings, the value elements and the places
// where a section begins or ends. The output copy is written before each is handed on.
class Predani {
public:
  virtual ~Predani() = default;
  // The start tag `elem` has a rest `zbytek` after its name (ES300).
  virtual void zbytek(std::int64_t radka, std::string_view elem, std::string_view zbytek) = 0;
  virtual void prvek(std::int64_t radka, const Prvek &p) = 0;
  // A section begins or ends: the state `stav` of the machine whose handler belongs to the
  // checks ('G' the root start tag, 'J' the root end tag, 'S' and 'U' an employer's start and
  // end, 'M' and 'O' an employee record's).
  virtual void oddil(std::int64_t radka, char stav) = 0;
};

// ---- Scanner and state machine ---------------------------------------------------------------

struct State;

// Called at the end of every input: true when the next input of a list is open in
// `s.insoub`; false when the input has ended for good.
using KonecVstupu = bool (*)(void *kontext, State &s);

// How far the reading has come.
struct Prubeh {
  std::uint64_t precteno = 0; // bytes read from the inputs of the run
  std::uint64_t velikost = 0; // sizes of the inputs begun so far
};
// Told after every piece of input read, with the line the scanner has reached.
using HlaseniPrubehu = void (*)(void *kontext, const Prubeh &p, std::int64_t radka);

// The reader of one check: the scanner over the input, the state machine and the output copy.
struct State {
  // scanner
  std::int64_t cislo_radky = 1;       // input line being read, from 1
  char je_OTVZAV = 'N';               // 'A': the "<" of the next tag is already consumed
  char je_ZAVZAV = 'N';               // 'A': the ">" of the current tag is already consumed
  std::unique_ptr<Input> insoub;      // input being read
  std::string_view okno;              // unread part of the input buffer
  Prubeh prubeh;                      // how far the inputs are read
  KonecVstupu konec_vstupu = nullptr; // asked at the end of each input; may be null
  void *konec_kontext = nullptr;
  HlaseniPrubehu hlaseni = nullptr; // told of the progress; may be null
  void *hlaseni_kontext = nullptr;
  // document state machine
  char rezim_zprac = 'Z';                                     // its state
  Pole<300> buf_element{"        inicializace buf_elementu"}; // scanner buffer
  Pole<51> akt_elem;          // current element name (50 characters and "/")
  Pole<300> akt_obsah;        // its content without leading blanks
  Predani *predani = nullptr; // what the machine reads is handed to
  // output copy
  std::unique_ptr<report::Sink> outsoub; // the output copy, while this reader writes it
  char sw_vystup() const { return outsoub != nullptr ? 'A' : 'N'; } // 'A' while it is written
};

// ---- Scanner (scanner.cpp)

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
bool nahled_prvku(const State &s, CelyPrvek &c);
void prijmi_prvek(State &s, const CelyPrvek &c);

// The scanner's operations: 0 when done, -1 at the final end of the input. The rest of a tag
// and the content give 1 when they ran over the buffer; the rest gives 2 when it holds a
// character (its text, handed on in `buf`, may still be empty: it ends at a NUL).
int dej_element(State &s, Pole<300> &buf);
int dej_zbytek_elementu(State &s, Pole<300> &buf, char rezim);
int preskoc_zbytek_komentare(State &s);
int dej_obsah(State &s, Pole<300> &buf);

// ---- State machine (machine.cpp)

// Runs the state machine from its state to the final end of the input (state W): each handler
// reads one step of the document and gives the state that follows.
void cti_dokument(State &s);

// The fixed root line of the output copy, and its closing line, written by the run summary.
inline constexpr std::string_view kKorenVystupu =
    "<KUF verze=\"1.6\" xmlns=\"http://www.example.org/schemas/2004/KUF/1.6/\"> \n";
inline constexpr std::string_view kKonecVystupu = "</KUF>\n";

} // namespace reader
