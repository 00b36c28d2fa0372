/* The library from C: the rows a callback receives are the rows of the protocol that the
 * same check writes, a check from memory finds the same, and the totals match the trailer;
 * names are taken as they are, list mode is a field, running out of memory is a return
 * code, and the progress callback ends at every byte and record of a list's reports.
 * Arguments: a report with findings, a folder for the files. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "ld952.h"

static int failures = 0;

#define EXPECT(cond)                                                                               \
  do {                                                                                             \
    if (!(cond)) {                                                                                 \
      fprintf(stderr, "%s:%d: failed: %s\n", __FILE__, __LINE__, #cond);                           \
      ++failures;                                                                                  \
    }                                                                                              \
  } while (0)

/* A growing text. */
struct text {
  char *data;
  size_t size, cap;
};

static void append(struct text *t, const char *bytes, size_t n) {
  if (t->size + n + 1 > t->cap) {
    t->cap = (t->size + n + 1) * 2;
    t->data = realloc(t->data, t->cap);
    if (t->data == NULL)
      abort();
  }
  memcpy(t->data + t->size, bytes, n);
  t->size += n;
  t->data[t->size] = '\0';
}

/* Writes a finding as the CSV protocol writes its row. */
static void csv_column(struct text *t, const struct ld952_text *c) {
  if (strcspn(c->data, ";\"\r\n") == c->size) {
    append(t, c->data, c->size);
    return;
  }
  append(t, "\"", 1);
  for (size_t i = 0; i < c->size; ++i) {
    if (c->data[i] == '"')
      append(t, "\"", 1);
    append(t, c->data + i, 1);
  }
  append(t, "\"", 1);
}

static void as_csv(const struct ld952_finding *f, void *context) {
  struct text *t = context;
  const struct ld952_text *cols[] = {&f->line,    &f->code,  &f->employer, &f->employee,
                                     &f->element, &f->value, &f->expected, &f->description};
  for (int i = 0; i < 8; ++i) {
    if (i > 0)
      append(t, ";", 1);
    csv_column(t, cols[i]);
  }
  append(t, "\n", 1);
  if (f->weight != f->code.data[0])
    ++failures, fprintf(stderr, "weight %c of %s\n", f->weight, f->code.data);
}

static void to_text(const char *bytes, size_t size, void *context) { append(context, bytes, size); }

/* The progress as last told, and whether it ever went backwards. */
struct seen {
  struct ld952_progress last;
  int calls, backwards;
};

static int track(const struct ld952_progress *p, void *context) {
  struct seen *s = context;
  if (s->calls > 0 && (p->bytes_read < s->last.bytes_read || p->records < s->last.records ||
                       p->line < s->last.line || p->bytes_total < s->last.bytes_total))
    ++s->backwards;
  if (p->bytes_read > p->bytes_total)
    ++s->backwards;
  s->last = *p;
  ++s->calls;
  return 0;
}

static size_t count(const struct text *t, const char *word) {
  size_t n = 0;
  for (const char *at = t->data; (at = strstr(at, word)) != NULL; at += strlen(word))
    ++n;
  return n;
}

static struct text read_file(const char *path) {
  struct text t = {0};
  FILE *f = fopen(path, "rb");
  if (f == NULL) {
    fprintf(stderr, "cannot read %s\n", path);
    exit(1);
  }
  char chunk[4096];
  for (size_t n; (n = fread(chunk, 1, sizeof chunk, f)) > 0;)
    append(&t, chunk, n);
  fclose(f);
  return t;
}

static void write_file(const char *path, const char *bytes, size_t size) {
  FILE *f = fopen(path, "wb");
  if (f == NULL || fwrite(bytes, 1, size, f) != size || fclose(f) != 0) {
    fprintf(stderr, "cannot write %s\n", path);
    exit(1);
  }
}

/* The rows of a check of `input` (a list file when `list`), or NULL when it fails. */
static struct text rows_of(const char *input, int list) {
  struct text rows = {0};
  struct ld952_options o = {
      .input = input, .list = list, .on_finding = as_csv, .finding_context = &rows};
  append(&rows, "", 0);
  EXPECT(ld952_check_file(&o, NULL) == 0);
  return rows;
}

/* A name is a name: a report called "-x.xml" or "@a.xml" is that file, and a name far over
 * the command line's 60 characters works, in a folder with such a name too. */
static void names_are_names(const char *folder, const struct text *report,
                            const struct text *rows) {
  char path[8192], deep[4096];
  snprintf(deep, sizeof deep, "%s/%0150d", folder, 0);
  mkdir(deep, 0755);
  const char *names[] = {"-x.xml", "@a.xml", "-w", "kuf with blanks.xml"};
  for (size_t i = 0; i < sizeof names / sizeof names[0] + 1; ++i) {
    if (i < sizeof names / sizeof names[0])
      snprintf(path, sizeof path, "%s/%s", folder, names[i]);
    else
      snprintf(path, sizeof path, "%s/%0200d.xml", deep, 7);
    write_file(path, report->data, report->size);
    struct text got = rows_of(path, 0);
    EXPECT(got.size == rows->size && memcmp(got.data, rows->data, got.size) == 0);
    free(got.data);
  }
  /* "@" is no list mark: a missing "@a" is a missing report. */
  struct text said = {0};
  snprintf(path, sizeof path, "%s/@missing.txt", folder);
  struct ld952_options o = {.input = path, .on_console = to_text, .console_context = &said};
  EXPECT(ld952_check_file(&o, NULL) == 13);
  EXPECT(said.data != NULL && strstr(said.data, "@missing.txt\n Program ukoncen") != NULL);
  free(said.data);
}

/* List mode is a field: a list naming the report twice, the second time by a long name,
 * gives the rows twice. */
static void list_mode(const char *folder, const struct text *report, const struct text *rows) {
  char list[4096], long_name[8192], text[16384];
  snprintf(long_name, sizeof long_name, "%s/%0150d/%0200d.xml", folder, 0, 7);
  snprintf(list, sizeof list, "%s/-list.txt", folder);
  snprintf(text, sizeof text, "%s/-x.xml\n%s\n", folder, long_name);
  write_file(list, text, strlen(text));
  (void)report;
  struct text got = rows_of(list, 1);
  EXPECT(got.size > rows->size);
  free(got.data);
}

/* A report read through a callback in pieces of random sizes, at most `piece` bytes each;
 * `fail_at` > 0: the read fails once that many bytes have been given. */
struct stream {
  const struct text *report;
  size_t at, piece, fail_at;
};

static ptrdiff_t read_piece(void *buffer, size_t size, void *context) {
  struct stream *s = context;
  if (s->fail_at > 0 && s->at >= s->fail_at)
    return -1;
  size_t n = 1 + (size_t)rand() % s->piece;
  if (n > size)
    n = size;
  if (n > s->report->size - s->at)
    n = s->report->size - s->at;
  memcpy(buffer, s->report->data + s->at, n);
  s->at += n;
  return (ptrdiff_t)n;
}

static int to_text_ok(const char *bytes, size_t size, void *context) {
  append(context, bytes, size);
  return 0;
}

/* Stops the check at the third report of progress. */
static int stop_third(const struct ld952_progress *p, void *context) {
  (void)p;
  return ++*(int *)context == 3;
}

static int exists(const char *path) {
  struct stat info;
  return stat(path, &info) == 0;
}

/* A report read in pieces from a stream gives the rows and the protocol of the file on one
 * thread and on two, the protocol and the output copy written to callbacks as to files; a
 * stream that fails ends the check as a file that cannot be read; and a check stopped
 * half-way returns LD952_STOPPED, having received only some rows, and leaves no file behind. */
static void streams_and_stops(const char *folder, const struct text *report,
                              const struct text *rows, const struct text *protocol) {
  char copy_path[4096];
  snprintf(copy_path, sizeof copy_path, "%s/stream-copy.xml", folder);
  struct ld952_options f = {.input = "r.xml", .output_copy = copy_path};
  EXPECT(ld952_check_buffer(report->data, report->size, &f, NULL) == 0);
  struct text file_copy = read_file(copy_path);
  for (int threads = 1; threads <= 2; ++threads) {
    struct stream s = {report, 0, 5000, 0};
    struct text got = {0}, csv = {0}, copy = {0};
    append(&got, "", 0);
    struct ld952_options o = {.input = "r.xml",
                              .protocol = "p.csv",
                              .on_finding = as_csv,
                              .finding_context = &got,
                              .on_protocol = to_text_ok,
                              .protocol_context = &csv,
                              .on_output_copy = to_text_ok,
                              .output_copy_context = &copy,
                              .threads = threads};
    EXPECT(ld952_check_stream(read_piece, &s, &o, NULL) == LD952_OK);
    EXPECT(got.size == rows->size && memcmp(got.data, rows->data, got.size) == 0);
    EXPECT(csv.size == protocol->size && memcmp(csv.data, protocol->data, csv.size) == 0);
    EXPECT(copy.size == file_copy.size && memcmp(copy.data, file_copy.data, copy.size) == 0);
    EXPECT(!exists("p.csv"));
    free(got.data), free(csv.data), free(copy.data);
  }

  struct stream broken = {report, 0, 5000, report->size / 2};
  struct text said = {0};
  struct ld952_options b = {.input = "broken.xml", .on_console = to_text, .console_context = &said};
  EXPECT(ld952_check_stream(read_piece, &broken, &b, NULL) == LD952_FAILED);
  EXPECT(said.data != NULL &&
         strstr(said.data, " Nelze otevrit soubor  broken.xml\n Program ukoncen\n") != NULL);
  free(said.data);

  char protocol_path[4096];
  snprintf(protocol_path, sizeof protocol_path, "%s/stopped.htm", folder);
  for (int threads = 1; threads <= 2; ++threads) {
    struct stream s = {report, 0, 500, 0};
    struct text got = {0};
    int calls = 0;
    struct ld952_totals t = {-1, -1, -1};
    struct ld952_options o = {.input = "r.xml",
                              .protocol = protocol_path,
                              .output_copy = copy_path,
                              .on_finding = as_csv,
                              .finding_context = &got,
                              .on_progress = stop_third,
                              .progress_context = &calls,
                              .threads = threads};
    EXPECT(ld952_check_stream(read_piece, &s, &o, &t) == LD952_STOPPED);
    EXPECT(calls == 3 && (threads == 2 || s.at < report->size)); /* two may read ahead */
    EXPECT(got.size < rows->size && t.rows >= 0);
    EXPECT(!exists(protocol_path) && !exists(copy_path));
    free(got.data);
  }
  free(file_copy.data);

  const char *version = ld952_version();
  EXPECT(version != NULL && strcmp(version, LD952_EXPECTED_VERSION) == 0);
}

#ifndef NO_MEMORY_LIMIT
/* Keeps the last console text only, so that a long check costs no memory here. */
static void last_words(const char *bytes, size_t size, void *context) {
  struct text *t = context;
  if (size > t->cap / 2) { /* only the end of a large piece */
    bytes += size - t->cap / 2;
    size = t->cap / 2;
  }
  if (t->size + size + 1 > t->cap) { /* keep what fits of the earlier text */
    size_t keep = t->cap - 1 - size;
    memmove(t->data, t->data + t->size - keep, keep);
    t->size = keep;
  }
  if (t->size + size + 1 <= t->cap) {
    memcpy(t->data + t->size, bytes, size);
    t->size += size;
    t->data[t->size] = '\0';
  }
}

/* Memory that runs out ends the check with 13 and says so on the console and in the
 * protocol, which in XML stays a whole document; nothing is thrown into C. Run in a child with a
 * limit on its address space that leaves a few megabytes for an employer of many valid records. */
static void out_of_memory(const char *folder) {
  struct text big = {0};
  const char *head = "<?xml version=\"1.0\" encoding=\"windows-1250\"?>\n<KUF verze=\"1.6\">\n"
                     "<rok>2008</rok>\n<zamestnavatel>\n";
  append(&big, head, strlen(head));
  const char *record =
      "<zamestnanec><AA0231>1975</AA0231><AA0211>1</AA0211><AA0223>M</AA0223>"
      "<AA0033>CZ</AA0033><AA0013>24212</AA0013><AA0125>1</AA0125><AA0130>1</AA0130>"
      "<AA0131>40</AA0131><AA0225>5</AA0225><AA0216>3.5</AA0216><AA0132>1072</AA0132>"
      "<AA0133>0</AA0133><AA0134>64</AA0134><AA0135>40</AA0135><AA0136>1</AA0136>"
      "<AA0137>1</AA0137><AA0127>10</AA0127><AA0128>5</AA0128><AA0129>1</AA0129>"
      "<AA0138>13140</AA0138><AA0139>1000</AA0139><AA0140>0</AA0140><AA0141>0</AA0141>"
      "<AA0142>0</AA0142><AA0143>0</AA0143><AA0144>96582</AA0144><AA0145>78840</AA0145>"
      "<AA0146>6000</AA0146><AA0147>0</AA0147><AA0148>0</AA0148><AA0160>0</AA0160>"
      "<AA0162>0</AA0162><AA0150>3000</AA0150><AA0239>0</AA0239><AA0240>0</AA0240>"
      "<AA0151>1800</AA0151><AA0152>1200</AA0152><AA0153>0</AA0153><AA0154>0</AA0154>"
      "<AA0155>0</AA0155><AA0156>0</AA0156><AA0157>4800</AA0157><AA0163>0</AA0163>"
      "<AA0161>0</AA0161><AA0237>0</AA0237><AA0238>0</AA0238><AA0158>3942</AA0158>"
      "<AA0159>2365</AA0159><AA0165>90.5</AA0165><AA0166>0</AA0166><AA0167>0</AA0167>"
      "<AA0168>0</AA0168><AA0091>1111</AA0091><AA0210>3</AA0210><AA0218>182</AA0218>"
      "<AA0219>12</AA0219><AA0690>CZ0521</AA0690></zamestnanec>";
  for (int i = 0; i < 50000; ++i) {
    char id[64];
    int n = snprintf(id, sizeof id, "<AA0126>V%d</AA0126>", i);
    append(&big, "<zamestnanec>", 13);
    append(&big, id, (size_t)n);
    append(&big, record + 13, strlen(record) - 13);
    append(&big, "\n", 1);
  }
  append(&big, "</zamestnavatel>\n</KUF>\n", 24);
  char protocol[4096];
  snprintf(protocol, sizeof protocol, "%s/memory.xml", folder);
  fflush(NULL);
  pid_t child = fork();
  if (child == 0) {
    static char words[4096];
    struct text said = {words, 0, sizeof words};
    long pages = 0;
    FILE *statm = fopen("/proc/self/statm", "r");
    if (statm == NULL || fscanf(statm, "%ld", &pages) != 1)
      _exit(3);
    fclose(statm);
    struct rlimit limit;
    limit.rlim_cur = limit.rlim_max = (rlim_t)pages * (rlim_t)sysconf(_SC_PAGESIZE) + (2 << 20);
    if (setrlimit(RLIMIT_AS, &limit) != 0)
      _exit(3);
    struct ld952_options o = {.input = "big.xml",
                              .protocol = protocol,
                              .on_console = last_words,
                              .console_context = &said};
    int code = ld952_check_buffer(big.data, big.size, &o, NULL);
    const char *message = " Nedostatek pameti\n Program ukoncen\n";
    _exit(code == 13 && strstr(said.data, message) != NULL ? 0 : 4);
  }
  int status = 0;
  EXPECT(waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0);
  /* The XML protocol stays a whole document: the message ends it in <Ukonceni>. */
  struct text written = read_file(protocol);
  const char *tail = "<Ukonceni> Nedostatek pameti\n Program ukoncen\n</Ukonceni>\n</KUF_chyby>\n";
  EXPECT(written.size > strlen(tail) &&
         memcmp(written.data + written.size - strlen(tail), tail, strlen(tail)) == 0);
  free(written.data);
  free(big.data);
}
#endif

int main(int argc, char **argv) {
  if (argc != 3) {
    fprintf(stderr, "usage: test_c_api REPORT FOLDER\n");
    return 2;
  }
#ifndef NO_MEMORY_LIMIT
  /* First: a check on two threads leaves the allocator an arena of the reading thread's, with
   * address space reserved that a later child could still fill. */
  out_of_memory(argv[2]);
#endif
  char protocol[4096];
  snprintf(protocol, sizeof protocol, "%s/c-api.csv", argv[2]);

  /* From the file, with a CSV protocol: header, the callback's rows, blank line, totals. */
  struct text rows = {0}, console = {0};
  struct ld952_options o = {.input = argv[1],
                            .protocol = protocol,
                            .on_finding = as_csv,
                            .finding_context = &rows,
                            .on_console = to_text,
                            .console_context = &console};
  struct ld952_totals sum = {-1, -1, -1};
  EXPECT(ld952_check_file(&o, &sum) == 0);
  EXPECT(sum.errors > 0 && sum.warnings > 0 && sum.rows == sum.errors + sum.warnings);
  EXPECT(strstr(console.data, "Program ukoncen normalne") != NULL);
  struct text expected = {0};
  const char *head = "Radek;Chyba;Zamestnavatel;Zamestnanec;Prvek;Hodnota;Ocekavano;Popis\n";
  append(&expected, head, strlen(head));
  append(&expected, rows.data, rows.size);
  char tail[128];
  snprintf(tail, sizeof tail, "\nCelkem chyb vahy E:;%8lld\n\nCelkem chyb vahy W:;%8lld\n",
           sum.errors, sum.warnings);
  append(&expected, tail, strlen(tail));
  struct text written = read_file(protocol);
  EXPECT(written.size == expected.size && memcmp(written.data, expected.data, written.size) == 0);

  /* From memory, without a protocol, warnings suppressed: the same errors, no warning rows. */
  struct text errors_only = {0};
  for (const char *line = rows.data; *line != '\0'; line = strchr(line, '\n') + 1)
    if (strchr(line, ';')[1] == 'E')
      append(&errors_only, line, (size_t)(strchr(line, '\n') - line) + 1);
  struct text report = read_file(argv[1]), rows2 = {0};
  struct ld952_options m = {
      .input = argv[1], .suppress_warnings = 1, .on_finding = as_csv, .finding_context = &rows2};
  struct ld952_totals sum2 = {0};
  EXPECT(ld952_check_buffer(report.data, report.size, &m, &sum2) == 0);
  EXPECT(sum2.errors == sum.errors && sum2.warnings == sum.warnings);
  EXPECT(sum2.rows == sum.errors);
  EXPECT(rows2.size == errors_only.size && memcmp(rows2.data, errors_only.data, rows2.size) == 0);

  /* A report that cannot be opened: exit code 13 and the reason on the console. */
  struct text said = {0};
  char missing[4096];
  snprintf(missing, sizeof missing, "%s/missing.xml", argv[2]);
  struct ld952_options x = {.input = missing, .on_console = to_text, .console_context = &said};
  EXPECT(ld952_check_file(&x, NULL) == 13);
  EXPECT(said.data != NULL && strstr(said.data, " Nelze otevrit soubor  ") != NULL);

  names_are_names(argv[2], &report, &rows);
  list_mode(argv[2], &report, &rows);

  /* Progress over a list that names the report twice: every byte and record of both. */
  FILE *copy = chdir(argv[2]) == 0 ? fopen("r.xml", "wb") : NULL;
  EXPECT(copy != NULL && fwrite(report.data, 1, report.size, copy) == report.size);
  if (copy != NULL)
    fclose(copy);
  const char list[] = "r.xml\nr.xml\n";
  struct seen seen = {0};
  struct ld952_options l = {
      .input = "list.txt", .list = 1, .on_progress = track, .progress_context = &seen};
  EXPECT(ld952_check_buffer(list, sizeof list - 1, &l, NULL) == 0);
  EXPECT(seen.calls >= 2 && seen.backwards == 0);
  EXPECT(seen.last.bytes_read == 2 * report.size && seen.last.bytes_total == 2 * report.size);
  EXPECT(seen.last.records == (long long)(2 * count(&report, "</zamestnanec>")));
  EXPECT(seen.last.line >= (long long)(2 * count(&report, "\n")));

  streams_and_stops(argv[2], &report, &rows, &expected);

  struct text *all[] = {&rows, &console, &expected, &written, &errors_only, &report, &rows2, &said};
  for (size_t i = 0; i < sizeof all / sizeof all[0]; ++i)
    free(all[i]->data);
  if (failures == 0)
    printf("c api: all checks passed\n");
  return failures == 0 ? 0 : 1;
}
