// One check of a report that arrives over a connection, and the slots that run checks.
//
// The connection's thread writes the body into a Pipe as it arrives; a slot's thread runs
// ld952_check_stream, which reads it from there, and writes the answer (the protocol, its JSON
// form or the output copy) into an Answer. Both are bounded: the pipe holds at most
// Pipe::capacity bytes of the body, and the answer `hold` bytes in memory, the rest in an
// unnamed spool file up to `max_answer`.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "ld952.h"

namespace kufd {

// The body between the connection and the check: a ring of bytes.
class Pipe {
public:
  static constexpr std::size_t capacity = 256 << 10;

  // Connection side. `space` gives the next free stretch, empty when the ring is full; the
  // reader is then told (`resume`, from the check's thread) when half of it is free again.
  struct Stretch {
    char *data;
    std::size_t size;
  };
  Stretch space();
  void commit(std::size_t n);
  void finish(); // the body is whole
  void abort();  // the body will not be whole: the check stops
  void on_resume(std::function<void()> f) { resume_ = std::move(f); }

  // A body of known length may instead be read by the check's thread itself, straight from
  // the connection's socket: `prefix` (what came with the header), then `left` more bytes,
  // waiting at most `timeout` for each piece. The connection's thread then does nothing with
  // the socket until the check is done, but shut it to stop the check.
  void direct(int socket, std::string prefix, std::uint64_t left, int timeout_ms);
  enum class End { open, whole, timeout, gone };
  End end() const { return end_; } // read once the check is done

  // Check side: ld952_read_fn. Waits for bytes; 0 at the body's end, -1 when aborted.
  std::ptrdiff_t read(void *buffer, std::size_t size);
  bool aborted() const { return aborted_.load(std::memory_order_relaxed); }

private:
  std::ptrdiff_t read_socket(void *buffer, std::size_t size);
  bool direct_ = false; // under m_; the fields below are the check thread's once it is set
  int socket_ = -1, timeout_ms_ = 0;
  std::string prefix_;
  std::size_t prefix_at_ = 0;
  std::uint64_t left_ = 0;
  End end_ = End::open;

  std::mutex m_;
  std::condition_variable cv_;
  std::unique_ptr<char[]> ring_{new char[capacity]};
  std::size_t start_ = 0, size_ = 0;
  bool finished_ = false, paused_ = false;
  std::atomic<bool> aborted_{false};
  std::function<void()> resume_;
};

// The answer of a check, written by the check's thread and read, once it is done, by the
// connection's.
class Answer {
public:
  Answer(std::size_t hold, std::uint64_t max, std::string spool_dir)
      : hold_(hold), max_(max), spool_dir_(std::move(spool_dir)) {}
  ~Answer();
  Answer(const Answer &) = delete;
  Answer &operator=(const Answer &) = delete;

  bool write(const char *bytes, std::size_t size); // false: over max, or the spool failed
  std::uint64_t size() const { return size_; }
  bool too_large() const { return too_large_; }
  bool spool_failed() const { return spool_failed_; }
  // Up to `n` bytes from `offset`; 0 only at the end, or when the spool cannot be read.
  std::size_t read(std::uint64_t offset, char *buffer, std::size_t n) const;

private:
  std::size_t hold_;
  std::uint64_t max_;
  std::string spool_dir_;
  std::string memory_;
  int spool_ = -1;
  std::uint64_t size_ = 0;
  bool too_large_ = false, spool_failed_ = false;
};

enum class Format { htm, csv, txt, xml, json, copy };

// The findings as JSON: the rows as they come, then the counts per code and the totals.
class JsonAnswer {
public:
  JsonAnswer(Answer &answer, std::string_view name);
  void row(const ld952_finding &f);
  void end(const ld952_totals &t);
  bool ok() const { return ok_; }

private:
  void put(std::string_view s);
  void text(std::string_view cp1250); // as a JSON string in UTF-8
  void flush();
  Answer &answer_;
  std::string buffer_;
  std::map<std::string, long long, std::less<>> counts_;
  bool first_ = true, ok_ = true;
};

// What a check is asked and what it gave.
struct Check {
  Check(std::size_t hold, std::uint64_t max_answer, std::string spool_dir)
      : answer(hold, max_answer, std::move(spool_dir)) {}

  // Asked.
  Format format = Format::htm;
  bool suppress_warnings = false;
  std::string name = "kuf.xml";
  int threads = 1;
  // Workaround: the C interface bounds no check's memory, and the library's record store grows
  // with the records of the largest employer (about 60 bytes each); the records counted so far,
  // which the progress callback is told of every 64 kB, bound it. Past this many the check
  // stops and the answer is 413.
  long long max_records = 1000000;
  bool too_many_records = false; // set on the check's thread, read after on_done
  // Called on the check's thread: when it begins, and when it is done.
  std::function<void()> on_start, on_done;

  Pipe pipe;
  Answer answer;

  // Given, read after on_done.
  int result = LD952_FAILED;
  ld952_totals totals{};
  std::uint64_t bytes = 0;
  double seconds = 0;

  void run();
};

// The check slots: `slots` threads that run the checks, and a queue of at most `queue`
// checks that wait for one.
class Pool {
public:
  Pool(std::size_t slots, std::size_t queue);
  ~Pool(); // the checks begun end first; the waiting ones are dropped
  enum class Admit { started, queued, refused };
  Admit submit(std::shared_ptr<Check> check);
  std::size_t running() const { return running_.load(); }
  std::size_t waiting() const { return waiting_.load(); }
  bool full() const; // a check submitted now would be refused

private:
  void work();
  std::size_t slots_, queue_;
  mutable std::mutex m_;
  std::condition_variable cv_;
  std::deque<std::shared_ptr<Check>> waiting_checks_;
  std::size_t busy_ = 0; // under m_: slots taken, by checks running or handed to a thread
  bool stop_ = false;
  std::atomic<std::size_t> running_{0}, waiting_{0};
  std::vector<std::thread> threads_;
};

} // namespace kufd
