// The byte sinks of the protocol, the output copy and the console: a buffer that remembers
// its first failure, and the file behind it.
#include "report.hpp"

#include <sys/stat.h>
#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace report {

bool Sink::flush() {
  if (used_ > 0) {
    if (ok_ && !emit({buf_.data(), used_}))
      ok_ = false;
    predano_ += used_;
    used_ = 0;
  }
  return ok_;
}

void Sink::spill(std::string_view s) {
  flush();
  if (s.size() >= buf_.size()) {
    if (ok_ && !emit(s))
      ok_ = false;
    predano_ += s.size();
    return;
  }
  std::memcpy(buf_.data(), s.data(), s.size());
  used_ = s.size();
}

std::unique_ptr<FileSink> FileSink::adopt(std::FILE *f) {
  std::setvbuf(f, nullptr, _IONBF, 0); // the sink buffers already
  return std::make_unique<FileSink>(f, true, std::size_t{1} << 18);
}

FileSink::~FileSink() {
  if (f_ != nullptr) {
    flush();
    if (owned_)
      std::fclose(f_);
  }
}

bool FileSink::emit(std::string_view bytes) {
  return std::fwrite(bytes.data(), 1, bytes.size(), f_) == bytes.size();
}

bool FileSink::zkrat(std::uint64_t n) {
  if (!flush() || f_ == nullptr || std::fflush(f_) != 0)
    return false;
#ifdef _WIN32
  return _chsize_s(_fileno(f_), static_cast<__int64>(n)) == 0;
#else
  return ftruncate(fileno(f_), static_cast<off_t>(n)) == 0;
#endif
}

bool FileSink::lze_zkratit() const {
  struct stat info {};
  return f_ != nullptr && fstat(fileno(f_), &info) == 0 && S_ISREG(info.st_mode);
}

bool FileSink::close() {
  bool good = flush();
  if (f_ != nullptr) {
    if (owned_)
      good = std::fclose(f_) == 0 && good;
    else
      good = std::fflush(f_) == 0 && good;
    f_ = nullptr;
  }
  return good;
}

} // namespace report
