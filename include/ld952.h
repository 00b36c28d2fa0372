/* ld952: the checker of KUF salary statistics reports as a library, for programs that check
 * a report (from a file, from memory or from a stream read in pieces) before they hand it in.
 * A check writes the same protocol, output copy and console text as the command-line program
 * with the same arguments, and tells a callback of every row of the protocol.
 *
 * All texts are Windows-1250. Every call is a check of its own, with all its state in an
 * object of that call: calls may run at the same time on different threads (with different
 * files), and a callback may start another check. A check may read the report on a second
 * thread of its own; every callback is made on the calling thread, in the order of the report.
 *
 * Linking, on Linux:
 *   the shared library libld952.so.0:  cc app.c $(pkg-config --cflags --libs ld952)
 *     or in CMake: find_package(ld952 0.92 REQUIRED) and the target ld952::ld952;
 *   the static library libld952.a:     cc app.c -l:libld952.a -lstdc++ -lm
 *     (-lld952 where no libld952.so stands beside it), or the CMake target ld952::static.
 * The shared library exports the functions below and nothing else. The layout of the
 * structures below is part of its binary interface, libld952.so.0: a program built with this
 * header runs with a library of the same SONAME. ld952_version tells which one it has. */
#ifndef LD952_H
#define LD952_H

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

/* What a check returns: the exit codes of the command line, and one of the library's own. */
enum ld952_result {
  LD952_OK = 0,      /* the check ran to its end, whatever it found (see the totals) */
  LD952_HELP = 1,    /* the command line asked for the help text (ld952_main only) */
  LD952_STOPPED = 2, /* on_progress asked to stop: see ld952_options.on_progress */
  LD952_FAILED = 13  /* the check could not run or could not end; the console text says why */
};

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

/* Each callback receives the context pointer given beside it in ld952_options. */
typedef void (*ld952_finding_fn)(const struct ld952_finding *finding, void *context);
/* Receives the next `size` bytes of the console text (not NUL-terminated). */
typedef void (*ld952_output_fn)(const char *bytes, size_t size, void *context);
/* Returns 0 to go on; any other value stops the check (LD952_STOPPED). */
typedef int (*ld952_progress_fn)(const struct ld952_progress *progress, void *context);
/* Receives the next bytes of a file that the check writes. Returns 0 when they were taken;
 * any other value means they could not be (the check then ends as on a full disk: the rest of
 * the report is checked, and the check returns LD952_FAILED naming that file). */
typedef int (*ld952_write_fn)(const char *bytes, size_t size, void *context);
/* Reads the next bytes of the report into `buffer`, at most `size` of them (fewer are fine).
 * Returns how many it read, 0 at the end of the report (it is not called again), or a negative
 * number when the report cannot be read on (the check then ends as for a file that cannot be
 * read: LD952_FAILED). A count above `size` is taken as such a failure too. */
typedef ptrdiff_t (*ld952_read_fn)(void *buffer, size_t size, void *context);

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
  ld952_progress_fn on_progress; /* told after every piece of a report read (64 kB, or what
                                    the read callback gave) and at the end of a check that ran
                                    to its end, when its return no longer matters; may be NULL.
                                    A non-zero return stops the check at once: it returns
                                    LD952_STOPPED, its files are closed and the protocol and
                                    output copy files it was writing are removed (a callback of
                                    on_protocol or on_output_copy has what it received so far) */
  void *progress_context;
  /* Added in 0.92; fields a caller leaves zero keep the behaviour of 0.91. */
  ld952_write_fn on_protocol; /* non-NULL: the protocol goes to this callback and no file is
                                 written; `protocol` (NULL: "kufe.htm") then only names its
                                 format by its extension */
  void *protocol_context;
  ld952_write_fn on_output_copy; /* non-NULL: the output copy goes to this callback (no file
                                    is written, `output_copy` is not read) */
  void *output_copy_context;
  int threads; /* 0: two threads where the process may use two processors, else one; 1: the
                  check runs on the calling thread alone; 2: two; any other value as 0. The
                  bytes out are the same */
};

/* The counts of a check: filled in by one that returns LD952_OK (the whole report) or
 * LD952_STOPPED (up to the stop); after LD952_FAILED they are the counts up to the failure,
 * or left as they were by a check that could not start. */
struct ld952_totals {
  long long errors;   /* findings of weight E */
  long long warnings; /* findings of weight W, suppressed ones included */
  long long rows;     /* rows written to the protocol */
};

/* Checks the report named by options->input. Returns the exit code of the command line:
 * LD952_OK when the check ran to its end (whatever it found), LD952_FAILED when it could not
 * (a file that cannot be read or written, or would overwrite another file of the check;
 * memory that ran out; the console text says why), or LD952_STOPPED when on_progress asked it
 * to stop. No C++ exception leaves the library. `totals` may be NULL. */
int ld952_check_file(const struct ld952_options *options, struct ld952_totals *totals);

/* The same, with the contents of options->input (a report, or with `list` a list file) taken
 * from the `size` bytes at `data` instead of read from the file; the name still appears in
 * the protocol. */
int ld952_check_buffer(const void *data, size_t size, const struct ld952_options *options,
                       struct ld952_totals *totals);

/* The same, with the report (or with `list` the list file, read whole: at most 16 MiB) read
 * through `read` in pieces as the check goes: the check holds no more of it than a check of a
 * file does (64 kB at a time), whatever its size. options->input names the report in the
 * protocol and the messages only. The progress's bytes_total is 0: the size is not known.
 * A NULL `read` is an empty report. */
int ld952_check_stream(ld952_read_fn read, void *read_context, const struct ld952_options *options,
                       struct ld952_totals *totals);

/* The command-line program: arguments as main receives them, console on standard output.
 * Returns the exit code (1 after the help text). */
int ld952_main(int argc, const char *const *argv);

/* The library's version, "MAJOR.MINOR", as the file name libld952.so.MAJOR.MINOR has it (not
 * the tag LD952_v0.91 that the console banner and the protocol headers carry). */
const char *ld952_version(void);

#ifdef __cplusplus
}
#endif

#endif
