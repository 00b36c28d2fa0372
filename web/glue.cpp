// The checker for the page's worker: one check of the reports in the in-memory file system,
// with every protocol row, the progress and the console text handed to the worker's script
// (Module.nalez, Module.prubeh, Module.konzole, Module.celkem in web/worker.js).
#include <cstddef>
#include <emscripten.h>

#include "ld952.h"

// clang-format off
EM_JS(void, web_nalez, (const char *const *texts, const std::size_t *sizes), {
  Module.nalez(texts, sizes);
});
EM_JS(void, web_prubeh, (double read, double total, double records, double line), {
  Module.prubeh(read, total, records, line);
});
EM_JS(void, web_konzole, (const char *bytes, std::size_t size), {
  Module.konzole(bytes, size);
});
EM_JS(void, web_celkem, (double errors, double warnings, double rows), {
  Module.celkem(errors, warnings, rows);
});
// clang-format on

namespace {

void nalez(const ld952_finding *f, void *) {
  const ld952_text *cols[] = {&f->line,    &f->code,  &f->employer, &f->employee,
                              &f->element, &f->value, &f->expected, &f->description};
  const char *texts[8];
  std::size_t sizes[8];
  for (int i = 0; i < 8; ++i)
    texts[i] = cols[i]->data, sizes[i] = cols[i]->size;
  web_nalez(texts, sizes);
}

int prubeh(const ld952_progress *p, void *) {
  web_prubeh(static_cast<double>(p->bytes_read), static_cast<double>(p->bytes_total),
             static_cast<double>(p->records), static_cast<double>(p->line));
  return 0;
}

void konzole(const char *bytes, std::size_t size, void *) { web_konzole(bytes, size); }

} // namespace

// Checks `input` (a report, or with `list` a list file) as the command line would with the
// given protocol and output copy (NULL: none) and -w; `rows` non-zero hands over every row.
// Returns the exit code of the command line.
extern "C" EMSCRIPTEN_KEEPALIVE int ld952_web_check(const char *input, int list,
                                                    const char *protocol, const char *copy,
                                                    int suppress, int rows) {
  ld952_options o{};
  o.input = input;
  o.list = list;
  o.protocol = protocol;
  o.output_copy = copy;
  o.suppress_warnings = suppress;
  o.on_finding = rows != 0 ? nalez : nullptr;
  o.on_console = konzole;
  o.on_progress = prubeh;
  ld952_totals t{};
  int code = ld952_check_file(&o, &t);
  web_celkem(static_cast<double>(t.errors), static_cast<double>(t.warnings),
             static_cast<double>(t.rows));
  return code;
}
