#include "platform.hpp"

#include <bit>
#include <cstdio>
#include <cstdlib>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#else
#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#if defined(__linux__)
#include <sched.h>
#endif
#endif

namespace driver {

#ifdef _WIN32

namespace {

HANDLE handle(std::intptr_t h) { return reinterpret_cast<HANDLE>(h); }

Identita identita_handle(HANDLE h) {
  Identita id;
  BY_HANDLE_FILE_INFORMATION info{};
  if (GetFileInformationByHandle(h, &info) != 0) {
    id.znama = true;
    id.svazek = info.dwVolumeSerialNumber;
    id.soubor = (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow;
  }
  return id;
}

constexpr DWORD kSdileni = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

} // namespace

// Case, short names, "\\?\" forms, slashes and links all end in the same volume and file number.
Identita identita(const std::string &path) {
  // No access asked for: the file's number can be read even while another program has it.
  HANDLE h = CreateFileA(path.c_str(), 0, kSdileni, nullptr, OPEN_EXISTING,
                         FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h == INVALID_HANDLE_VALUE)
    return {};
  Identita id = identita_handle(h);
  CloseHandle(h);
  return id;
}

std::unique_ptr<Vystup> Vystup::otevri(const std::string &path) {
  // The right to delete lets a refused run remove the file it created through this handle.
  HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE | DELETE, kSdileni, nullptr, OPEN_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  bool vytvoren = h != INVALID_HANDLE_VALUE && GetLastError() != ERROR_ALREADY_EXISTS;
  if (h == INVALID_HANDLE_VALUE) { // a file that may be written but not deleted, or a device
    h = CreateFileA(path.c_str(), GENERIC_WRITE, kSdileni, nullptr, OPEN_EXISTING,
                    FILE_ATTRIBUTE_NORMAL, nullptr);
    vytvoren = false;
  }
  if (h == INVALID_HANDLE_VALUE)
    return nullptr;
  return std::unique_ptr<Vystup>(new Vystup(reinterpret_cast<std::intptr_t>(h), vytvoren, path));
}

Identita Vystup::identita() const {
  return handle_ == -1 ? Identita{} : identita_handle(handle(handle_));
}

std::FILE *Vystup::predej() {
  HANDLE h = handle(handle_);
  if (GetFileType(h) == FILE_TYPE_DISK &&
      (SetFilePointerEx(h, LARGE_INTEGER{}, nullptr, FILE_BEGIN) == 0 || SetEndOfFile(h) == 0))
    return nullptr;
  int fd = _open_osfhandle(handle_, _O_WRONLY | _O_BINARY);
  if (fd == -1)
    return nullptr;
  handle_ = -1; // the descriptor owns the handle now
  std::FILE *f = _fdopen(fd, "wb");
  if (f == nullptr)
    _close(fd);
  return f;
}

void Vystup::zahod() {
  if (handle_ != -1 && vytvoren_) {
    FILE_DISPOSITION_INFO smazat{};
    smazat.DeleteFile = TRUE; // when the handle is closed
    SetFileInformationByHandle(handle(handle_), FileDispositionInfo, &smazat, sizeof smazat);
  }
  zavri();
}

void Vystup::zavri() {
  if (handle_ != -1)
    CloseHandle(handle(handle_));
  handle_ = -1;
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

int procesory() {
  DWORD_PTR proces = 0, system = 0;
  if (GetProcessAffinityMask(GetCurrentProcess(), &proces, &system) == 0)
    return 1;
  return std::popcount(static_cast<std::uint64_t>(proces));
}

#else

namespace {

Identita identita_stat(const struct stat &info) {
  return {true, static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino)};
}

} // namespace

// ".", "..", symbolic links and hard links all end in the same device and inode.
Identita identita(const std::string &path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 ? identita_stat(info) : Identita{};
}

std::unique_ptr<Vystup> Vystup::otevri(const std::string &path) {
  std::string p = path;
  for (int kroky = 0; kroky < 40; ++kroky) { // as many links as the system follows
    int fd = ::open(p.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0)
      return std::unique_ptr<Vystup>(new Vystup(fd, true, p));
    if (errno != EEXIST)
      return nullptr;
    fd = ::open(p.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd >= 0)
      return std::unique_ptr<Vystup>(new Vystup(fd, false, p));
    if (errno != ENOENT)
      return nullptr;
    // A symbolic link to a file that does not exist: followed here one step at a time, so
    // that the file created is known by the name it was created under.
    char cil[PATH_MAX];
    ssize_t n = ::readlink(p.c_str(), cil, sizeof cil);
    if (n < 0 || static_cast<std::size_t>(n) >= sizeof cil) {
      if (n < 0 && errno == EINVAL) // no longer a link: removed meanwhile, so try again
        continue;
      return nullptr;
    }
    std::string dalsi(cil, static_cast<std::size_t>(n));
    std::size_t lomitko = p.find_last_of('/');
    if (dalsi.empty() || dalsi[0] != '/')
      dalsi.insert(0, lomitko == std::string::npos ? std::string() : p.substr(0, lomitko + 1));
    p = dalsi;
  }
  return nullptr;
}

Identita Vystup::identita() const {
  struct stat info {};
  if (handle_ == -1 || ::fstat(static_cast<int>(handle_), &info) != 0)
    return {};
  return identita_stat(info);
}

std::FILE *Vystup::predej() {
  int fd = static_cast<int>(handle_);
  struct stat info {};
  if (::fstat(fd, &info) != 0 || (S_ISREG(info.st_mode) && ::ftruncate(fd, 0) != 0))
    return nullptr;
  std::FILE *f = ::fdopen(fd, "wb");
  if (f != nullptr)
    handle_ = -1; // the stream owns the descriptor now
  return f;
}

void Vystup::zahod() {
  // The name it was created under may meanwhile reach another file: removed only when it
  // still names this one, and is no link.
  struct stat otevreny {
  }, jmeno{};
  if (handle_ != -1 && vytvoren_ && ::fstat(static_cast<int>(handle_), &otevreny) == 0 &&
      ::lstat(cesta_.c_str(), &jmeno) == 0 && S_ISREG(jmeno.st_mode) &&
      jmeno.st_dev == otevreny.st_dev && jmeno.st_ino == otevreny.st_ino)
    ::unlink(cesta_.c_str());
  zavri();
}

void Vystup::zavri() {
  if (handle_ != -1)
    ::close(static_cast<int>(handle_));
  handle_ = -1;
}

std::tm mistni_cas(std::time_t t) {
  std::tm out{};
  localtime_r(&t, &out);
  return out;
}

void binarni_konzole() {}

int procesory() {
#if defined(__linux__)
  cpu_set_t mnozina;
  CPU_ZERO(&mnozina);
  if (sched_getaffinity(0, sizeof mnozina, &mnozina) == 0)
    return CPU_COUNT(&mnozina);
#endif
  return 1;
}

#endif

Vystup::~Vystup() { zavri(); }

} // namespace driver
