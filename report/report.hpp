// The protocol and the byte sinks it is written to. Every finding of every check goes through
// zpracuj_chybu, which counts it, looks its code up in the error catalogue and writes one row
// into the protocol in the format chosen at start-up. This layer sits right above the tables,
// below the reader and the rules, which report through it.
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "ldinc952.hpp"

namespace report {

// A text of at most N characters. What does not fit is cut off, so a value of any length from
// the document can be assigned or appended without touching anything beside the field. The
// length is kept in `Size`, so that short fields of a large store stay small.
template <std::size_t N, class Size = std::size_t> class Pole {
  static_assert(N <= static_cast<std::size_t>(static_cast<Size>(-1)));

public:
  Pole() = default;
  Pole(std::string_view s) { assign(s); }
  void assign(std::string_view s) {
    std::size_t n = s.size() < N ? s.size() : N;
    if (n > 0)
      std::memcpy(b_, s.data(), n);
    n_ = static_cast<Size>(n);
  }
  void append(std::string_view s) {
    std::size_t k = s.size() < N - n_ ? s.size() : N - n_;
    if (k > 0)
      std::memcpy(b_ + n_, s.data(), k);
    n_ = static_cast<Size>(n_ + k);
  }
  void push_back(char c) {
    if (n_ < N)
      b_[n_++] = c;
  }
  void pop_back() {
    if (n_ > 0)
      --n_;
  }
  void clear() { n_ = 0; }
  void cut(std::size_t n) { resize(n < n_ ? n : n_); } // keeps the first n characters
  char *data() { return b_; }                          // room for `capacity` characters
  void resize(std::size_t n) { n_ = static_cast<Size>(n < N ? n : N); } // after data()
  void erase(std::size_t pos, std::size_t count) { // removes count characters at pos
    if (pos >= n_)
      return;
    count = count < n_ - pos ? count : n_ - pos;
    std::memmove(b_ + pos, b_ + pos + count, n_ - pos - count);
    n_ = static_cast<Size>(n_ - count);
  }
  void set(std::size_t i, char c) {
    if (i < n_)
      b_[i] = c;
  }
  std::string_view view() const { return {b_, n_}; }
  operator std::string_view() const { return view(); }
  std::size_t size() const { return n_; }
  bool empty() const { return n_ == 0; }
  char back() const { return n_ ? b_[n_ - 1] : '\0'; }
  static constexpr std::size_t capacity = N;

private:
  char b_[N]{};
  Size n_ = 0;
};

// Buffered byte output that remembers its first failure. Writers never stop on a failure;
// the owner asks `flush` or `ok` at the end and reports it.
class Sink {
public:
  explicit Sink(std::size_t capacity = std::size_t{1} << 16) : buf_(capacity ? capacity : 1) {}
  Sink(const Sink &) = delete;
  Sink &operator=(const Sink &) = delete;
  virtual ~Sink() = default;

  void put(std::string_view s) {
    if (s.empty())
      return;
    if (s.size() <= buf_.size() - used_) {
      std::memcpy(buf_.data() + used_, s.data(), s.size());
      used_ += s.size();
    } else {
      spill(s);
    }
  }
  void put(char c) {
    if (used_ == buf_.size())
      flush();
    buf_[used_++] = c;
  }
  // Bytes put so far, those still in the buffer included.
  std::uint64_t zapsano() const { return predano_ + used_; }
  // Room for `n` bytes in the buffer, flushed first when it has less: a writer lays out a
  // whole line there, then `hotovo` with its end keeps it. nullptr for more than the buffer
  // holds; nothing is kept without `hotovo`.
  char *misto(std::size_t n) {
    if (n > buf_.size() - used_) {
      if (n > buf_.size())
        return nullptr;
      flush();
    }
    return buf_.data() + used_;
  }
  void hotovo(const char *konec) { used_ = static_cast<std::size_t>(konec - buf_.data()); }
  // Hands the buffered bytes on; false when this or any earlier write failed.
  bool flush();
  bool ok() const { return ok_; }
  // Flushes and releases what the sink writes to; false when any write failed.
  virtual bool close() { return flush(); }
  // Flushes and keeps only the first `n` bytes written; false where that cannot be done.
  virtual bool zkrat(std::uint64_t n) {
    static_cast<void>(n);
    return false;
  }
  // Whether zkrat can keep a first part of what was written (a file, not a pipe).
  virtual bool lze_zkratit() const { return false; }

protected:
  virtual bool emit(std::string_view bytes) = 0;

private:
  void spill(std::string_view s);
  std::vector<char> buf_;
  std::size_t used_ = 0;
  std::uint64_t predano_ = 0; // bytes handed on to emit, failed ones included
  bool ok_ = true;
};

// A file opened for writing in binary mode, so that a line end is one line feed on every
// system. `close` reports whether every byte reached the file.
class FileSink final : public Sink {
public:
  // Takes over a stream already open for writing, unbuffered below the sink's own buffer of
  // 256 kB: a protocol or an output copy may take hundreds of megabytes, and fewer writes
  // of them cost the checking thread less.
  static std::unique_ptr<FileSink> adopt(std::FILE *f);
  explicit FileSink(std::FILE *f, bool owned, std::size_t capacity = std::size_t{1} << 16)
      : Sink(capacity), f_(f), owned_(owned) {}
  ~FileSink() override;
  bool close() override;
  bool zkrat(std::uint64_t n) override;
  bool lze_zkratit() const override;

private:
  bool emit(std::string_view bytes) override;
  std::FILE *f_;
  bool owned_;
};

// Hands the bytes to a caller's function, which says whether it took them.
class CallbackSink final : public Sink {
public:
  using Zapis = bool (*)(std::string_view bytes, void *context);
  CallbackSink(Zapis fn, void *context) : fn_(fn), context_(context) {}
  ~CallbackSink() override = default;

private:
  bool emit(std::string_view bytes) override { return fn_(bytes, context_); }
  Zapis fn_;
  void *context_;
};

// Collects everything in memory; the tests read the console and the files through it.
class StringSink final : public Sink {
public:
  StringSink() : Sink(4096) {}
  ~StringSink() override = default;
  const std::string &text() {
    flush();
    return out_;
  }

private:
  bool emit(std::string_view bytes) override {
    out_.append(bytes);
    return true;
  }
  std::string out_;
};

// Takes every byte and keeps none: the protocol of a run that reports through a listener only.
class DiscardSink final : public Sink {
public:
  DiscardSink() : Sink(4096) {}
  ~DiscardSink() override = default;

private:
  bool emit(std::string_view) override { return true; }
};

// Small formatted texts: a number or a printf-style format into a buffer on the stack, large
// enough for any double written with the program's formats.
class Text {
public:
  Text() = default;
  explicit Text(std::int64_t v);
  static Text f(const char *fmt, ...) __attribute__((format(printf, 1, 2)));
  std::string_view view() const { return {b_, n_}; }
  operator std::string_view() const { return view(); }

private:
  char b_[2048]; // the first n_ bytes are the text
  std::size_t n_ = 0;
};

// Writes v as printf's "%<width>.<prec>f" would (the exact binary value rounded half to even,
// "-" for every negative value and for -0), at `out`, which has room for 64 bytes (all of them
// may be written). Returns the length, or 0 for what it leaves to printf: prec above 9, |v| of
// 2^63 or more, NaN and infinities.
std::size_t pevna_carka(char *out, double v, int width, int prec);

// The protocol formats, chosen from the protocol file's extension.
enum : char { kHtml = 'H', kCsv = 'C', kText = 'T', kXml = 'X' };

// One row of the protocol: line, code, employer, employee, element, value, expected text and
// description, in the order of the protocol's columns.
using Nalez = std::array<std::string_view, 8>;
using Posluchac = void (*)(const Nalez &row, void *context);
// A count per row of the error catalogue.
using Pocty = std::array<std::int64_t, tables::Etab.size()>;

// A finding as a check reports it: the texts of its row but the description, which the
// catalogue gives. An expected text beginning with "?" asks for the catalogue's.
struct Chyba {
  std::string_view line, code;
  std::string_view zamestnavatel, zamestnanec; // the employer and employee concerned
  std::string_view elem, value, expected;
};

// The protocol of one check, its counts and the console.
struct State {
  char sw_err = kHtml;           // protocol format
  char sw_nepisW = 'N';          // 'A' after -w: rows of weight W are counted, not written
  std::unique_ptr<Sink> errsoub; // the protocol file
  Sink *konzole = nullptr;       // the console, the caller's
  std::int64_t sumchybE = 0;     // findings of weight E
  std::int64_t sumchybW = 0;     // findings of weight W, suppressed ones included
  Pocty EtabNum{};               // rows written per catalogue row
  Posluchac posluchac = nullptr; // told of every row written to the protocol
  void *posluchac_kontext = nullptr;
  bool hlavicka = false; // the header has been written
};

// Reports one finding: counts it by weight and by catalogue row, and writes its row unless it
// is a warning suppressed by -w.
void zpracuj_chybu(State &r, const Chyba &c);

// The header of the protocol, in its format: the input name, the run stamp and the program tag.
void pis_hlavicku(State &r, std::string_view vstup, std::string_view razitko,
                  std::string_view program);
// The end of the protocol, in its format: the rows per code (HTML only), the totals of weight
// E and W and the trailer.
void pis_zaver(State &r);
// The message of a run that stops, in the place of the protocol's end: as it stands, or in
// XML as the text of an element that ends the document (after the document's beginning when
// the header is not written yet), so that the protocol still parses.
void pis_ukonceni(State &r, std::initializer_list<std::string_view> zprava);

// Writes a text that comes from the document, the command line or the catalogue into an HTML
// or XML protocol, with & < > " as entities.
void put_markup_text(Sink &out, std::string_view s);
// Writes a text right-aligned in at least `width` positions, never cut.
void put_right(Sink &out, std::string_view s, std::size_t width);

} // namespace report
