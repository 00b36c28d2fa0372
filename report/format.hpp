// The protocol formats as a table of writers, one file per format (format_html.cpp,
// format_csv.cpp, format_text.cpp, format_xml.cpp), and what their writers share.
#pragma once

#include <array>
#include <cstdint>
#include <cstring>
#include <string_view>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "report.hpp"

namespace report {

// What the header of a protocol shows besides its fixed texts.
struct Hlavicka {
  std::string_view vstup;   // input document (in list mode the first one)
  std::string_view razitko; // run stamp "dd/mm/20yy  hh:mm:ss"
  std::string_view program; // program tag
};

// The writers of one format, each given the protocol sink.
// A total of the protocol's end: right-aligned in eight places, never cut.
inline Text cislo8(std::int64_t v) { return Text::f("%8lld", static_cast<long long>(v)); }

struct Format {
  void (*pis_hlavicku)(Sink &out, const Hlavicka &h);            // header, before the first row
  void (*pis_radek)(Sink &out, const Nalez &row);                // one error row
  void (*pis_souhrn)(Sink &out, const Pocty &EtabNum);           // rows per code; nullptr: none
  void (*pis_celkem)(Sink &out, std::int64_t e, std::int64_t w); // totals and the trailer
  // The message of a run that stops, in its pieces, in the place of the end; `hlavicka`: after
  // the header.
  void (*pis_ukonceni)(Sink &out, std::initializer_list<std::string_view> zprava, bool hlavicka);
};
// The message of a run that stops as it stands: the end of the HTML, CSV and text protocols.
void pis_zpravu(Sink &out, std::initializer_list<std::string_view> zprava, bool hlavicka);
extern const Format kFormatHtml;
extern const Format kFormatCsv;
extern const Format kFormatText;
extern const Format kFormatXml;

// The writers of protocol format `sw_err` (kHtml for any other value).
const Format &format(char sw_err);

// Bytes that a column must not hold as they are: bit 1 in HTML and XML, bit 2 in CSV.
inline constexpr auto kZvlastni = [] {
  std::array<std::uint8_t, 256> t{};
  for (char c : {'&', '<', '>', '"'})
    t[static_cast<unsigned char>(c)] |= 1;
  for (char c : {';', '"', '\r', '\n'})
    t[static_cast<unsigned char>(c)] |= 2;
  return t;
}();

inline bool ma_zvlastni(std::string_view s, std::uint8_t bit) {
#if defined(__SSE2__)
  // Sixteen bytes at a time, the last sixteen overlapping those before: the descriptions of
  // the catalogue are most of a row's bytes. A shorter text of four bytes or more is read as
  // two overlapping halves of eight or four bytes.
  if (s.size() >= 4) {
    const char *z = bit == 1 ? "&<>\"" : ";\"\r\n";
    const __m128i a = _mm_set1_epi8(z[0]), b = _mm_set1_epi8(z[1]), c = _mm_set1_epi8(z[2]),
                  d = _mm_set1_epi8(z[3]);
    auto najde = [&](__m128i v) {
      const __m128i m = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, a), _mm_cmpeq_epi8(v, b)),
                                     _mm_or_si128(_mm_cmpeq_epi8(v, c), _mm_cmpeq_epi8(v, d)));
      return _mm_movemask_epi8(m) != 0;
    };
    auto nacti = [](const char *p) {
      return _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
    };
    const char *p = s.data();
    const std::size_t n = s.size();
    if (n >= 16) {
      for (std::size_t i = 0; i + 16 < n; i += 16)
        if (najde(nacti(p + i)))
          return true;
      return najde(nacti(p + n - 16));
    }
    if (n >= 8) {
      auto osm = [](const char *q) {
        return _mm_loadl_epi64(reinterpret_cast<const __m128i *>(q));
      };
      return najde(_mm_unpacklo_epi64(osm(p), osm(p + n - 8)));
    }
    std::uint32_t prvni = 0, posledni = 0; // the bytes above them are 0, never special
    std::memcpy(&prvni, p, 4);
    std::memcpy(&posledni, p + n - 4, 4);
    return najde(_mm_unpacklo_epi32(_mm_cvtsi32_si128(static_cast<int>(prvni)),
                                    _mm_cvtsi32_si128(static_cast<int>(posledni))));
  }
#endif
  std::uint8_t any = 0;
  for (char c : s)
    any |= kZvlastni[static_cast<unsigned char>(c)];
  return (any & bit) != 0;
}

} // namespace report
