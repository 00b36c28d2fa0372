/* ld952: the checker of KUF salary statistics reports as a library, for programs that check
 * a report (from a file or from memory) before they hand it in. A check writes the same
 * protocol, output copy and console text as the command-line program with the same
 * arguments, and tells a callback of every row of the protocol.
 *
 * All texts are Windows-1250. Every call is a check of its own, with all its state in an
 * object of that call: calls may run at the same time on different threads (with different
 * files), and a callback may start another check. A check may read the report on a second
 * thread of its own; every callback is made on the calling thread, in the order of the report. */
#ifndef LD952_H
#define LD952_H

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

/* A text: `data` points to `size` bytes followed by a NUL byte; a text of the report ends at
 * its first NUL byte, so none is inside. Valid only during the callback. */
struct ld952_text {
  const char *data;
  size_t size;
};

/* One row of the protocol, each column as the CSV protocol holds it before quoting: a column
 * that does not apply holds three blanks ("   "), the employer and employee columns are
 * empty before the first identification is known, and values that a rule computed keep the
 * width it writes them in (" 96582.00", say). Trim them where that matters. */
struct ld952_finding {
  char weight;                /* 'E' error or 'W' warning: the first letter of the code */
  struct ld952_text line;     /* line number, two of them as "146,206", or three blanks */
  struct ld952_text code;     /* e.g. "EL050" */
  struct ld952_text employer; /* identification of the employer concerned */
  struct ld952_text employee; /* identification of the employee concerned */
  struct ld952_text element;  /* the element name */
  struct ld952_text value;    /* the value found */
  struct ld952_text expected; /* the value expected */
  struct ld952_text description;
};

/* How far a check has come: told now and then while the reports are read. */
struct ld952_progress {
  unsigned long long bytes_read;  /* bytes of the reports read so far */
  unsigned long long bytes_total; /* sizes of the reports begun so far: the report's size, or
                                     in list mode the sum over the listed reports opened yet */
  long long records;              /* employee records checked so far */
  long long line;                 /* the line being read, as the console's progress line */
};

typedef void (*ld952_finding_fn)(const struct ld952_finding *finding, void *context);
typedef void (*ld952_output_fn)(const char *bytes, size_t size, void *context);
typedef void (*ld952_progress_fn)(const struct ld952_progress *progress, void *context);

/* What the command line gives (ld952 input protocol output_copy -w), as fields: every name is
 * used as it is, of any length, and nothing in it is read as a switch or a list mark (a
 * report named "-x.xml" or "@a.xml" is that file). */
struct ld952_options {
  const char *input;           /* the report, or the list file when `list`; NULL: "kuf.xml" */
  const char *protocol;        /* protocol file, format by extension; NULL: none is written */
  const char *output_copy;     /* output copy; NULL: none */
  int suppress_warnings;       /* non-zero: -w, warnings are counted but not written */
  int list;                    /* non-zero: `input` names a list file of reports ("@" of the
                                  command line), checked as one stream into one protocol */
  ld952_finding_fn on_finding; /* told of every row of the protocol; may be NULL */
  void *finding_context;
  ld952_output_fn on_console; /* receives the console text; NULL: it is dropped */
  void *console_context;
  ld952_progress_fn on_progress; /* told after every piece of a report read and at the end of
                                    a check that ran to its end; may be NULL */
  void *progress_context;
};

struct ld952_totals {
  long long errors;   /* findings of weight E */
  long long warnings; /* findings of weight W, suppressed ones included */
  long long rows;     /* rows written to the protocol */
};

/* Checks the report named by options->input. Returns the exit code of the command line:
 * 0 when the check ran to its end (whatever it found), 13 when it could not (a file that
 * cannot be read or written, or would overwrite another file of the check; memory that ran
 * out); the console text says why. No C++ exception leaves the library. `totals` may be
 * NULL. */
int ld952_check_file(const struct ld952_options *options, struct ld952_totals *totals);

/* The same, with the contents of options->input (a report, or with `list` a list file) taken
 * from the `size` bytes at `data` instead of read from the file; the name still appears in
 * the protocol. */
int ld952_check_buffer(const void *data, size_t size, const struct ld952_options *options,
                       struct ld952_totals *totals);

/* The command-line program: arguments as main receives them, console on standard output.
 * Returns the exit code (1 after the help text). */
int ld952_main(int argc, const char *const *argv);

#ifdef __cplusplus
}
#endif

#endif
