// What differs between the systems the program runs on: the identity of a file, the protocol
// and output copy opened before they are emptied, the local time, and a console that passes
// line feeds through unchanged.
#pragma once

#include <cstdint>
#include <cstdio>
#include <ctime>
#include <memory>
#include <string>

namespace driver {

// Identity of a file: its volume and file number. Two names are one file when both identities
// are known and equal, however the names are written; a name that reaches no file has none.
struct Identita {
  bool znama = false;
  std::uint64_t svazek = 0;
  std::uint64_t soubor = 0;
  bool operator==(const Identita &o) const {
    return znama && o.znama && svazek == o.svazek && soubor == o.soubor;
  }
};
// The identity of the file that `path` reaches now, symbolic links followed.
Identita identita(const std::string &path);

// A protocol or output copy opened for writing but not yet emptied, so that its identity can
// be compared with the other files of the run before anything in it changes. A missing file is
// created (through a symbolic link to nothing, the file the link names); `zahod` removes it
// again, and only a file that this run created.
class Vystup {
public:
  // Nullptr when the file can be neither opened nor created.
  static std::unique_ptr<Vystup> otevri(const std::string &path);
  ~Vystup(); // closes the file as it is
  Vystup(const Vystup &) = delete;
  Vystup &operator=(const Vystup &) = delete;
  Identita identita() const;
  // Empties the file and hands it over as a binary stream for writing; nullptr on failure.
  std::FILE *predej();
  // Closes the file, removing it when this run created it.
  void zahod();
  // The name the file was opened under (on Linux with symbolic links followed).
  const std::string &cesta() const { return cesta_; }

private:
  Vystup(std::intptr_t handle, bool vytvoren, std::string cesta)
      : handle_(handle), vytvoren_(vytvoren), cesta_(std::move(cesta)) {}
  void zavri();
  std::intptr_t handle_; // the descriptor, or on Windows the HANDLE
  bool vytvoren_;        // created by this run
  std::string cesta_;    // the name the file was created under (not a link to it)
};

std::tm mistni_cas(std::time_t t);

// Standard output in binary mode, so that a line end stays one line feed on every system.
void binarni_konzole();

// The processors this process may run on (1 where the system does not tell).
int procesory();

} // namespace driver
