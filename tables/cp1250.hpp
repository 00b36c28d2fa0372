// Windows-1250, the single character set of everything this program reads and writes.
// The sources keep their texts in UTF-8; `"..."_cp` turns such a literal into its
// Windows-1250 bytes at compile time, and the table generator uses the same mapping.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace cp1250 {

// Unicode code point of every byte 0x80..0xFF; 0 marks the five unassigned bytes.
inline constexpr std::array<std::uint16_t, 128> kUpper = {
    0x20AC, 0,      0x201A, 0,      0x201E, 0x2026, 0x2020, 0x2021, 0,      0x2030, 0x0160, 0x2039,
    0x015A, 0x0164, 0x017D, 0x0179, 0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0,      0x2122, 0x0161, 0x203A, 0x015B, 0x0165, 0x017E, 0x017A, 0x00A0, 0x02C7, 0x02D8, 0x0141,
    0x00A4, 0x0104, 0x00A6, 0x00A7, 0x00A8, 0x00A9, 0x015E, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x017B,
    0x00B0, 0x00B1, 0x02DB, 0x0142, 0x00B4, 0x00B5, 0x00B6, 0x00B7, 0x00B8, 0x0105, 0x015F, 0x00BB,
    0x013D, 0x02DD, 0x013E, 0x017C, 0x0154, 0x00C1, 0x00C2, 0x0102, 0x00C4, 0x0139, 0x0106, 0x00C7,
    0x010C, 0x00C9, 0x0118, 0x00CB, 0x011A, 0x00CD, 0x00CE, 0x010E, 0x0110, 0x0143, 0x0147, 0x00D3,
    0x00D4, 0x0150, 0x00D6, 0x00D7, 0x0158, 0x016E, 0x00DA, 0x0170, 0x00DC, 0x00DD, 0x0162, 0x00DF,
    0x0155, 0x00E1, 0x00E2, 0x0103, 0x00E4, 0x013A, 0x0107, 0x00E7, 0x010D, 0x00E9, 0x0119, 0x00EB,
    0x011B, 0x00ED, 0x00EE, 0x010F, 0x0111, 0x0144, 0x0148, 0x00F3, 0x00F4, 0x0151, 0x00F6, 0x00F7,
    0x0159, 0x016F, 0x00FA, 0x0171, 0x00FC, 0x00FD, 0x0163, 0x02D9};

// The byte of a code point, or -1 when Windows-1250 has none.
constexpr int byte_of(std::uint32_t cp) {
  if (cp < 0x80)
    return static_cast<int>(cp);
  for (std::size_t i = 0; i < kUpper.size(); ++i)
    if (kUpper[i] != 0 && kUpper[i] == cp)
      return static_cast<int>(0x80 + i);
  return -1;
}

// Converts UTF-8 into Windows-1250 bytes written to `out` (room for in.size() bytes).
// Returns the number of bytes written, or -1 for malformed UTF-8 or an unmappable character.
template <class Out> constexpr long from_utf8(std::string_view in, Out out) {
  long n = 0;
  for (std::size_t i = 0; i < in.size();) {
    auto b = static_cast<unsigned char>(in[i]);
    std::uint32_t cp = 0;
    std::size_t len = 1;
    if (b < 0x80) {
      cp = b;
    } else if ((b & 0xE0) == 0xC0) {
      cp = b & 0x1Fu, len = 2;
    } else if ((b & 0xF0) == 0xE0) {
      cp = b & 0x0Fu, len = 3;
    } else {
      return -1;
    }
    if (i + len > in.size())
      return -1;
    for (std::size_t k = 1; k < len; ++k) {
      auto c = static_cast<unsigned char>(in[i + k]);
      if ((c & 0xC0) != 0x80)
        return -1;
      cp = (cp << 6) | (c & 0x3Fu);
    }
    int byte = byte_of(cp);
    if (byte < 0)
      return -1;
    out[n++] = static_cast<char>(byte);
    i += len;
  }
  return n;
}

template <std::size_t N> struct Literal {
  char utf8[N]{};
  consteval Literal(const char (&s)[N]) {
    for (std::size_t i = 0; i < N; ++i)
      utf8[i] = s[i];
  }
};

template <std::size_t N> struct Text {
  char bytes[N]{};
  std::size_t size = 0;
};

template <Literal L> consteval auto convert() {
  Text<sizeof(L.utf8)> t;
  long n = from_utf8(std::string_view(L.utf8, sizeof(L.utf8) - 1), t.bytes);
  if (n < 0)
    throw "text has no Windows-1250 form"; // a compile error in a constant expression
  t.size = static_cast<std::size_t>(n);
  return t;
}

template <Literal L> inline constexpr auto kConverted = convert<L>();

} // namespace cp1250

// "Řádek"_cp: the Windows-1250 bytes of a UTF-8 literal, as a view of static storage.
template <cp1250::Literal L> consteval std::string_view operator""_cp() {
  return {cp1250::kConverted<L>.bytes, cp1250::kConverted<L>.size};
}
