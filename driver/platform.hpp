// What differs between the systems the program runs on: the identity of a file, the local
// time, and a console that passes line feeds through unchanged.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>

namespace driver {

// Identity of a file for the overwrite check: the volume and file number when it exists,
// else its absolute path (the folder resolved, so that "a" and "./a" are the same).
struct Identita {
  bool existuje = false;
  std::uint64_t svazek = 0;
  std::uint64_t soubor = 0;
  std::string cesta;
  bool operator==(const Identita &o) const {
    return existuje == o.existuje &&
           (existuje ? svazek == o.svazek && soubor == o.soubor : cesta == o.cesta);
  }
};
Identita identita(const std::string &path);

std::tm mistni_cas(std::time_t t);

// Standard output in binary mode, so that a line end stays one line feed on every system.
void binarni_konzole();

} // namespace driver
