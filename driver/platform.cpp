#include "platform.hpp"

#include <cstdio>
#include <cstdlib>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#else
#include <climits>
#include <sys/stat.h>
#endif

namespace driver {

#ifdef _WIN32

Identita identita(const std::string &path) {
  Identita id;
  // No access asked for: the file's number can be read even while another program has it.
  HANDLE h = CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                         nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h != INVALID_HANDLE_VALUE) {
    BY_HANDLE_FILE_INFORMATION info{};
    bool known = GetFileInformationByHandle(h, &info) != 0;
    CloseHandle(h);
    if (known) {
      id.existuje = true;
      id.svazek = info.dwVolumeSerialNumber;
      id.soubor = (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow;
      return id;
    }
  }
  char full[MAX_PATH * 4];
  id.cesta = _fullpath(full, path.c_str(), sizeof full) ? full : path;
  for (char &c : id.cesta) // names differ in case only: the same file
    if (c >= 'A' && c <= 'Z')
      c = static_cast<char>(c - 'A' + 'a');
    else if (c == '/')
      c = '\\';
  return id;
}

std::tm mistni_cas(std::time_t t) {
  std::tm out{};
  localtime_s(&out, &t);
  return out;
}

void binarni_konzole() {
  std::fflush(stdout);
  _setmode(_fileno(stdout), _O_BINARY);
}

#else

Identita identita(const std::string &path) {
  Identita id;
  struct stat info {};
  if (::stat(path.c_str(), &info) == 0) {
    id.existuje = true;
    id.svazek = static_cast<std::uint64_t>(info.st_dev);
    id.soubor = static_cast<std::uint64_t>(info.st_ino);
    return id;
  }
  std::size_t slash = path.find_last_of('/');
  std::string dir = slash == std::string::npos ? "." : path.substr(0, slash + 1);
  char resolved[PATH_MAX];
  id.cesta = realpath(dir.c_str(), resolved) ? std::string(resolved) + "/" : dir;
  id.cesta += slash == std::string::npos ? path : path.substr(slash + 1);
  return id;
}

std::tm mistni_cas(std::time_t t) {
  std::tm out{};
  localtime_r(&t, &out);
  return out;
}

void binarni_konzole() {}

#endif

} // namespace driver
