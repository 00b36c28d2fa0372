// The catalogue codes that a set of test runs reported, for the coverage report: after each
// run the per-code counts of the protocol are added up, and at the end they are appended to
// the file that KUF_CENSUS names ("CODE count" per line). Without KUF_CENSUS nothing happens.
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "report.hpp"

namespace census {

struct Counts {
  std::array<std::int64_t, tables::Etab.size()> n{};
  ~Counts() {
    const char *path = std::getenv("KUF_CENSUS");
    std::FILE *f = path != nullptr ? std::fopen(path, "ab") : nullptr;
    if (f == nullptr)
      return;
    for (std::size_t i = 0; i < n.size(); ++i)
      if (n[i] > 0)
        std::fprintf(f, "%.*s %lld\n", static_cast<int>(tables::Etab[i].typ.size()),
                     tables::Etab[i].typ.data(), static_cast<long long>(n[i]));
    std::fclose(f);
  }
};

inline Counts &counts() {
  static Counts c;
  return c;
}

// Adds the counts of a run that has ended.
inline void add(const report::Pocty &kody) {
  for (std::size_t i = 0; i < kody.size(); ++i)
    counts().n[i] += kody[i];
}

// Adds one row of a protocol, by its code.
inline void add_code(std::string_view code) {
  if (const tables::Chyba *row = tables::najdi_chybu(code))
    ++counts().n[static_cast<std::size_t>(row - tables::Etab.data())];
}

} // namespace census
