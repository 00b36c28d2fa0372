// The library interface: a check from a file or from memory with the options of the command
// line, each protocol row handed to the caller's callback, and the command line itself.
#include "ld952.h"

#include <cstdio>
#include <new>
#include <string>

#include "driver.hpp"
#include "platform.hpp"
#include "reader.hpp"

namespace {

// Console text handed to the caller as it is flushed, or dropped.
class CallbackSink final : public report::Sink {
public:
  CallbackSink(ld952_output_fn fn, void *context) : fn_(fn), context_(context) {}
  ~CallbackSink() override = default;

private:
  bool emit(std::string_view bytes) override {
    if (fn_ != nullptr)
      fn_(bytes.data(), bytes.size(), context_);
    return true;
  }
  ld952_output_fn fn_;
  void *context_;
};

// Turns each row into an ld952_finding with NUL-terminated texts and counts the rows.
struct Listener {
  ld952_finding_fn fn = nullptr;
  void *context = nullptr;
  long long rows = 0;
  std::string texts; // the row's texts, each followed by a NUL byte

  static void row(const report::Nalez &n, void *self) {
    auto &l = *static_cast<Listener *>(self);
    ++l.rows;
    if (l.fn == nullptr)
      return;
    l.texts.clear();
    for (std::string_view c : n)
      l.texts.append(c).push_back('\0');
    ld952_text t[8];
    std::size_t at = 0;
    for (std::size_t i = 0; i < n.size(); ++i) {
      t[i] = {l.texts.data() + at, n[i].size()};
      at += n[i].size() + 1;
    }
    const std::string_view code = n[1];
    ld952_finding f{code.empty() ? '\0' : code[0], t[0], t[1], t[2], t[3], t[4], t[5], t[6], t[7]};
    l.fn(&f, l.context);
  }
};

// Hands the reader's progress to the caller's callback; true when it asks to stop.
struct Progress {
  ld952_progress_fn fn = nullptr;
  void *context = nullptr;

  static bool tell(const driver::Postup &r, void *self) {
    auto &p = *static_cast<Progress *>(self);
    ld952_progress now{r.precteno, r.velikost, r.zaznamu, r.radka};
    return p.fn(&now, p.context) != 0;
  }
};

// A file of the check written to the caller's callback.
struct Writer {
  ld952_write_fn fn;
  void *context;

  static bool write(std::string_view bytes, void *self) {
    auto &w = *static_cast<Writer *>(self);
    return w.fn(bytes.data(), bytes.size(), w.context) == 0;
  }
};

// Where the report comes from: a file, memory or the caller's read callback.
struct Source {
  const std::string_view *memory = nullptr;
  ld952_read_fn read = nullptr;
  void *context = nullptr;

  static std::ptrdiff_t fill(void *buffer, std::size_t size, void *self) {
    auto &s = *static_cast<Source *>(self);
    return s.read(buffer, size, s.context);
  }
};

int check(Source &source, const ld952_options *o, ld952_totals *totals) {
  const ld952_options none{};
  if (o == nullptr)
    o = &none;
  driver::Zadani zadani;
  if (o->input != nullptr)
    zadani.vstup = o->input;
  zadani.seznam = o->list != 0;
  if (o->protocol != nullptr)
    zadani.chyby = o->protocol;
  if (o->output_copy != nullptr)
    zadani.vystup = o->output_copy;
  else if (o->on_output_copy != nullptr)
    zadani.vystup = "kufv.xml"; // names the copy in a message
  zadani.bez_varovani = o->suppress_warnings != 0;

  Listener listener;
  listener.fn = o->on_finding;
  listener.context = o->finding_context;
  driver::Options opt;
  if (source.memory != nullptr)
    opt.document = *source.memory;
  if (source.read != nullptr) {
    opt.source = Source::fill;
    opt.source_context = &source;
  }
  opt.no_protocol = o->protocol == nullptr;
  opt.listener = Listener::row;
  opt.listener_context = &listener;
  Writer protocol{o->on_protocol, o->protocol_context};
  if (protocol.fn != nullptr) {
    opt.protocol_writer = Writer::write;
    opt.protocol_writer_context = &protocol;
  }
  Writer copy{o->on_output_copy, o->output_copy_context};
  if (copy.fn != nullptr) {
    opt.copy_writer = Writer::write;
    opt.copy_writer_context = &copy;
  }
  Progress progress{o->on_progress, o->progress_context};
  if (progress.fn != nullptr) {
    opt.progress = Progress::tell;
    opt.progress_context = &progress;
  }
  opt.vlakna = o->threads == 1 || o->threads == 2 ? o->threads : 0;
  CallbackSink console(o->on_console, o->console_context);
  driver::Totals sum;
  int code = driver::run(zadani, console, opt, &sum);
  if (totals != nullptr)
    *totals = {sum.e, sum.w, listener.rows};
  return code;
}

// Nothing thrown may cross into C: whatever escapes a check ends it as a failure, with a
// message in the program's words for `tell`.
template <class F, class Tell> int guarded(F f, Tell tell) {
  std::string_view message;
  try {
    return f();
  } catch (const std::bad_alloc &) {
    message = " Nedostatek pameti\n Program ukoncen\n";
  } catch (...) {
    message = " Vnitrni chyba programu\n Program ukoncen\n";
  }
  tell(message);
  return 13;
}

// The message of a failed check for the caller's console callback, if any.
auto to_console(const ld952_options *o) {
  return [o](std::string_view message) {
    if (o != nullptr && o->on_console != nullptr)
      o->on_console(message.data(), message.size(), o->console_context);
  };
}

} // namespace

extern "C" int ld952_check_file(const ld952_options *options, ld952_totals *totals) {
  return guarded(
      [&] {
        Source file;
        return check(file, options, totals);
      },
      to_console(options));
}

extern "C" int ld952_check_buffer(const void *data, size_t size, const ld952_options *options,
                                  ld952_totals *totals) {
  return guarded(
      [&] {
        std::string_view memory(data != nullptr ? static_cast<const char *>(data) : "",
                                data != nullptr ? size : 0);
        Source buffer{&memory};
        return check(buffer, options, totals);
      },
      to_console(options));
}

extern "C" int ld952_check_stream(ld952_read_fn read, void *read_context,
                                  const ld952_options *options, ld952_totals *totals) {
  return guarded(
      [&] {
        if (read == nullptr) { // nothing to read from: an empty report
          std::string_view nothing;
          Source empty{&nothing};
          return check(empty, options, totals);
        }
        Source stream{nullptr, read, read_context};
        return check(stream, options, totals);
      },
      to_console(options));
}

extern "C" const char *ld952_version(void) { return LD952_VERSION; }

extern "C" int ld952_main(int argc, const char *const *argv) {
  return guarded(
      [&] {
        driver::binarni_konzole();
        report::FileSink console(stdout, false);
        int code = driver::run(argc, argv, console);
        console.close();
        return code;
      },
      [](std::string_view message) {
        std::fwrite(message.data(), 1, message.size(), stdout);
        std::fflush(stdout);
      });
}
