#include "check.hpp"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "cp1250.hpp"

namespace kufd {

// ---- Pipe ---------------------------------------------------------------------------------

Pipe::Stretch Pipe::space() {
  std::lock_guard lock(m_);
  if (size_ == capacity) {
    paused_ = true;
    return {nullptr, 0};
  }
  const std::size_t end = (start_ + size_) % capacity;
  const std::size_t n = end >= start_ ? capacity - end : start_ - end;
  return {ring_.get() + end, n};
}

void Pipe::commit(std::size_t n) {
  if (n == 0)
    return;
  {
    std::lock_guard lock(m_);
    size_ += n;
  }
  cv_.notify_one();
}

void Pipe::finish() {
  {
    std::lock_guard lock(m_);
    finished_ = true;
  }
  cv_.notify_one();
}

void Pipe::abort() {
  {
    std::lock_guard lock(m_);
    aborted_ = true;
  }
  cv_.notify_one();
}

void Pipe::direct(int socket, std::string prefix, std::uint64_t left, int timeout_ms) {
  {
    std::lock_guard lock(m_);
    socket_ = socket;
    prefix_ = std::move(prefix);
    left_ = left;
    timeout_ms_ = timeout_ms;
    direct_ = true;
  }
  cv_.notify_one();
}

std::ptrdiff_t Pipe::read_socket(void *buffer, std::size_t size) {
  if (prefix_at_ < prefix_.size()) {
    const std::size_t n = std::min(size, prefix_.size() - prefix_at_);
    std::memcpy(buffer, prefix_.data() + prefix_at_, n);
    prefix_at_ += n;
    return static_cast<std::ptrdiff_t>(n);
  }
  if (left_ == 0) {
    end_ = End::whole;
    return 0;
  }
  for (;;) {
    if (aborted())
      return -1;
    const ssize_t n =
        ::recv(socket_, buffer, static_cast<std::size_t>(std::min<std::uint64_t>(size, left_)),
               MSG_DONTWAIT);
    if (n > 0) {
      left_ -= static_cast<std::uint64_t>(n);
      return n;
    }
    if (n < 0 && errno == EINTR)
      continue;
    if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK)) {
      end_ = End::gone;
      return -1;
    }
    pollfd p{socket_, POLLIN, 0};
    const int ready = ::poll(&p, 1, timeout_ms_);
    if (ready == 0) {
      end_ = End::timeout;
      return -1;
    }
    if (ready < 0 && errno != EINTR) {
      end_ = End::gone;
      return -1;
    }
  }
}

std::ptrdiff_t Pipe::read(void *buffer, std::size_t size) {
  std::unique_lock lock(m_);
  cv_.wait(lock, [&] { return size_ > 0 || finished_ || aborted_ || direct_; });
  if (aborted_)
    return -1;
  if (direct_) {
    lock.unlock();
    return read_socket(buffer, size);
  }
  if (size_ == 0)
    return 0;
  // The stretch at start_ is the check's alone until it is given back below: the connection
  // writes only into the free part of the ring.
  const std::size_t n = std::min({size, size_, capacity - start_});
  const char *from = ring_.get() + start_;
  lock.unlock();
  std::memcpy(buffer, from, n);
  lock.lock();
  start_ = (start_ + n) % capacity;
  size_ -= n;
  std::function<void()> wake;
  if (paused_ && size_ <= capacity / 2) {
    paused_ = false;
    wake = resume_;
  }
  lock.unlock();
  if (wake)
    wake();
  return static_cast<std::ptrdiff_t>(n);
}

// ---- Answer -------------------------------------------------------------------------------

Answer::~Answer() {
  if (spool_ >= 0)
    ::close(spool_);
}

namespace {

// An unnamed file in `dir`: it has no name at any time where O_TMPFILE is known, and only
// between its creation and the unlink otherwise. The name is the service's own.
int spool_file(const std::string &dir) {
  std::string folder = dir;
  if (folder.empty()) {
    const char *tmp = std::getenv("TMPDIR");
    folder = tmp != nullptr && *tmp != '\0' ? tmp : "/tmp";
  }
#ifdef O_TMPFILE
  const int fd = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
  if (fd >= 0)
    return fd;
#endif
  std::string name = folder + "/ld952-server-XXXXXX";
  const int named = ::mkostemp(name.data(), O_CLOEXEC);
  if (named >= 0)
    ::unlink(name.c_str());
  return named;
}

bool write_all(int fd, const char *bytes, std::size_t size) {
  while (size > 0) {
    const ssize_t n = ::write(fd, bytes, size);
    if (n < 0 && errno == EINTR)
      continue;
    if (n <= 0)
      return false;
    bytes += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

} // namespace

bool Answer::write(const char *bytes, std::size_t size) {
  if (too_large_ || spool_failed_)
    return false;
  if (size > max_ - size_) {
    too_large_ = true;
    return false;
  }
  if (spool_ < 0 && memory_.size() + size <= hold_) {
    if (memory_.capacity() < memory_.size() + size)
      memory_.reserve(std::min(hold_, std::max(memory_.size() + size, 2 * memory_.capacity())));
    memory_.append(bytes, size);
  } else {
    if (spool_ < 0)
      spool_ = spool_file(spool_dir_);
    if (spool_ < 0 || !write_all(spool_, bytes, size)) {
      spool_failed_ = true;
      return false;
    }
  }
  size_ += size;
  return true;
}

std::size_t Answer::read(std::uint64_t offset, char *buffer, std::size_t n) const {
  if (offset >= size_)
    return 0;
  n = static_cast<std::size_t>(std::min<std::uint64_t>(n, size_ - offset));
  if (offset < memory_.size()) {
    n = std::min<std::size_t>(n, memory_.size() - static_cast<std::size_t>(offset));
    std::memcpy(buffer, memory_.data() + offset, n);
    return n;
  }
  for (;;) {
    const ssize_t got = ::pread(spool_, buffer, n, static_cast<off_t>(offset - memory_.size()));
    if (got < 0 && errno == EINTR)
      continue;
    return got > 0 ? static_cast<std::size_t>(got) : 0;
  }
}

// ---- JSON ---------------------------------------------------------------------------------

namespace {

std::string_view trimmed(ld952_text t) {
  std::string_view s(t.data, t.size);
  const std::size_t first = s.find_first_not_of(' ');
  if (first == std::string_view::npos)
    return {};
  return s.substr(first, s.find_last_not_of(' ') - first + 1);
}

} // namespace

JsonAnswer::JsonAnswer(Answer &answer, std::string_view name) : answer_(answer) {
  put("{\"name\":");
  text(name);
  put(",\"findings\":[");
}

void JsonAnswer::put(std::string_view s) {
  buffer_.append(s);
  if (buffer_.size() >= (64 << 10))
    flush();
}

void JsonAnswer::flush() {
  if (ok_ && !buffer_.empty())
    ok_ = answer_.write(buffer_.data(), buffer_.size());
  buffer_.clear();
}

void JsonAnswer::text(std::string_view s) {
  static const char hex[] = "0123456789abcdef";
  buffer_.push_back('"');
  for (const char c : s) {
    const auto b = static_cast<unsigned char>(c);
    if (b == '"' || b == '\\') {
      buffer_.push_back('\\');
      buffer_.push_back(c);
    } else if (b < 0x20 || b == 0x7f) {
      const char esc[] = {'\\', 'u', '0', '0', hex[b >> 4], hex[b & 15]};
      buffer_.append(esc, sizeof esc);
    } else if (b < 0x80) {
      buffer_.push_back(c);
    } else {
      // the code point of the byte; the five bytes Windows-1250 leaves free become U+FFFD
      const unsigned u0 = cp1250::kUpper[b - 0x80];
      const unsigned u = u0 != 0 ? u0 : 0xFFFD;
      if (u < 0x800) {
        buffer_.push_back(static_cast<char>(0xC0 | (u >> 6)));
      } else {
        buffer_.push_back(static_cast<char>(0xE0 | (u >> 12)));
        buffer_.push_back(static_cast<char>(0x80 | ((u >> 6) & 0x3F)));
      }
      buffer_.push_back(static_cast<char>(0x80 | (u & 0x3F)));
    }
  }
  buffer_.push_back('"');
}

void JsonAnswer::row(const ld952_finding &f) {
  const std::string_view code = trimmed(f.code);
  auto at = counts_.find(code);
  if (at == counts_.end())
    counts_.emplace(std::string(code), 1);
  else
    ++at->second;

  put(first_ ? "\n{\"lines\":[" : ",\n{\"lines\":[");
  first_ = false;
  // "146,206": the numbers; three blanks: none.
  const std::string_view lines(f.line.data, f.line.size);
  bool digits = false, comma = false;
  for (const char c : lines) {
    if (c >= '0' && c <= '9') {
      if (comma)
        buffer_.push_back(',');
      comma = false;
      buffer_.push_back(c);
      digits = true;
    } else if (digits) {
      comma = true;
      digits = false;
    }
  }
  // Past six records of one person the column ends in " ...... ": more lines than listed.
  put(lines.find("...") != std::string_view::npos ? "],\"more_lines\":true,\"code\":"
                                                  : "],\"more_lines\":false,\"code\":");
  text(code);
  put(",\"weight\":");
  const char weight[] = {f.weight == 'W' ? 'W' : 'E', '\0'};
  text(weight);
  const std::pair<const char *, ld952_text> columns[] = {
      {",\"employer\":", f.employer}, {",\"employee\":", f.employee},
      {",\"element\":", f.element},   {",\"value\":", f.value},
      {",\"expected\":", f.expected}, {",\"description\":", f.description}};
  for (const auto &[key, column] : columns) {
    put(key);
    text(trimmed(column));
  }
  put("}");
}

void JsonAnswer::end(const ld952_totals &t) {
  put(first_ ? "],\"counts\":{" : "\n],\"counts\":{");
  bool first = true;
  for (const auto &[code, n] : counts_) {
    put(first ? "" : ",");
    first = false;
    text(code);
    put(":");
    put(std::to_string(n));
  }
  const std::pair<const char *, long long> totals[] = {{"},\"totals\":{\"errors\":", t.errors},
                                                       {",\"warnings\":", t.warnings},
                                                       {",\"rows\":", t.rows}};
  for (const auto &[key, n] : totals) {
    put(key);
    put(std::to_string(n));
  }
  put("}}\n");
  flush();
}

// ---- Check --------------------------------------------------------------------------------

namespace {

struct Bridge {
  Check &check;
  JsonAnswer *json;
};

int write_answer(const char *bytes, std::size_t size, void *context) {
  auto &c = *static_cast<Check *>(context);
  if (c.answer.write(bytes, size))
    return 0;
  c.pipe.abort(); // an answer that cannot be given: the rest of the report is not wanted
  return 1;
}

void tell_row(const ld952_finding *f, void *context) {
  auto &b = *static_cast<Bridge *>(context);
  b.json->row(*f);
  if (!b.json->ok())
    b.check.pipe.abort();
}

ptrdiff_t read_body(void *buffer, size_t size, void *context) {
  auto &c = *static_cast<Check *>(context);
  const std::ptrdiff_t n = c.pipe.read(buffer, size);
  if (n > 0)
    c.bytes += static_cast<std::uint64_t>(n);
  return n;
}

int keep_going(const ld952_progress *progress, void *context) {
  auto &c = *static_cast<Check *>(context);
  if (progress->records > c.max_records) {
    c.too_many_records = true;
    c.pipe.abort();
  }
  return c.pipe.aborted() ? 1 : 0;
}

} // namespace

void Check::run() {
  static const char *const protocol_names[] = {"kufe.htm", "kufe.csv", "kufe.txt", "kufe.xml"};
  const auto began = std::chrono::steady_clock::now();
  ld952_options o{};
  o.input = name.c_str();
  o.suppress_warnings = suppress_warnings ? 1 : 0;
  o.threads = threads;
  o.on_progress = keep_going;
  o.progress_context = this;
  std::unique_ptr<JsonAnswer> json;
  Bridge bridge{*this, nullptr};
  switch (format) {
  case Format::json:
    json = std::make_unique<JsonAnswer>(answer, name);
    bridge.json = json.get();
    o.on_finding = tell_row;
    o.finding_context = &bridge;
    break;
  case Format::copy:
    o.on_output_copy = write_answer;
    o.output_copy_context = this;
    break;
  default:
    o.protocol = protocol_names[static_cast<int>(format)];
    o.on_protocol = write_answer;
    o.protocol_context = this;
    break;
  }
  result = ld952_check_stream(read_body, this, &o, &totals);
  if (json && result == LD952_OK) {
    json->end(totals);
    if (!json->ok())
      result = LD952_FAILED;
  }
  seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
}

// ---- Pool ---------------------------------------------------------------------------------

Pool::Pool(std::size_t slots, std::size_t queue) : slots_(slots), queue_(queue) {
  threads_.reserve(slots);
  for (std::size_t i = 0; i < slots; ++i)
    threads_.emplace_back([this] { work(); });
}

Pool::~Pool() {
  std::deque<std::shared_ptr<Check>> dropped;
  {
    std::lock_guard lock(m_);
    stop_ = true;
    dropped.swap(waiting_checks_);
  }
  cv_.notify_all();
  for (auto &t : threads_)
    t.join();
}

bool Pool::full() const {
  std::lock_guard lock(m_);
  return busy_ + waiting_checks_.size() >= slots_ + queue_;
}

Pool::Admit Pool::submit(std::shared_ptr<Check> check) {
  Admit admit;
  {
    std::lock_guard lock(m_);
    if (stop_ || busy_ + waiting_checks_.size() >= slots_ + queue_)
      return Admit::refused;
    admit = busy_ + waiting_checks_.size() < slots_ ? Admit::started : Admit::queued;
    waiting_checks_.push_back(std::move(check));
    waiting_.store(waiting_checks_.size());
  }
  cv_.notify_one();
  return admit;
}

void Pool::work() {
  for (;;) {
    std::shared_ptr<Check> check;
    {
      std::unique_lock lock(m_);
      cv_.wait(lock, [&] { return stop_ || !waiting_checks_.empty(); });
      if (stop_)
        return;
      check = std::move(waiting_checks_.front());
      waiting_checks_.pop_front();
      waiting_.store(waiting_checks_.size());
      ++busy_;
      running_.store(busy_);
    }
    if (check->on_start)
      check->on_start();
    check->run();
    std::function<void()> done = std::move(check->on_done);
    {
      std::lock_guard lock(m_);
      --busy_;
      running_.store(busy_);
    }
    if (done)
      done();
  }
}

} // namespace kufd
