/* The library from C: the rows a callback receives are the rows of the protocol that the
 * same check writes, a check from memory finds the same, the totals match the trailer, and
 * the progress callback ends at every byte and record of a list's reports.
 * Arguments: a report with findings, a folder for the files. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
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

static void track(const struct ld952_progress *p, void *context) {
  struct seen *s = context;
  if (s->calls > 0 && (p->bytes_read < s->last.bytes_read || p->records < s->last.records ||
                       p->line < s->last.line || p->bytes_total < s->last.bytes_total))
    ++s->backwards;
  if (p->bytes_read > p->bytes_total)
    ++s->backwards;
  s->last = *p;
  ++s->calls;
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

int main(int argc, char **argv) {
  if (argc != 3) {
    fprintf(stderr, "usage: test_c_api REPORT FOLDER\n");
    return 2;
  }
  char protocol[4096];
  snprintf(protocol, sizeof protocol, "%s/c-api.csv", argv[2]);

  /* From the file, with a CSV protocol: header, the callback's rows, blank line, totals. */
  struct text rows = {0}, console = {0};
  struct ld952_options o = {argv[1], protocol, NULL,     0,    as_csv,
                            &rows,   to_text,  &console, NULL, NULL};
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
  struct ld952_options m = {argv[1], NULL, NULL, 1, as_csv, &rows2, NULL, NULL, NULL, NULL};
  struct ld952_totals sum2 = {0};
  EXPECT(ld952_check_buffer(report.data, report.size, &m, &sum2) == 0);
  EXPECT(sum2.errors == sum.errors && sum2.warnings == sum.warnings);
  EXPECT(sum2.rows == sum.errors);
  EXPECT(rows2.size == errors_only.size && memcmp(rows2.data, errors_only.data, rows2.size) == 0);

  /* A report that cannot be opened: exit code 13 and the reason on the console. */
  struct text said = {0};
  char missing[4096];
  snprintf(missing, sizeof missing, "%s/missing.xml", argv[2]);
  struct ld952_options x = {missing, NULL, NULL, 0, NULL, NULL, to_text, &said, NULL, NULL};
  EXPECT(ld952_check_file(&x, NULL) == 13);
  EXPECT(said.data != NULL && strstr(said.data, " Nelze otevrit soubor  ") != NULL);

  /* Progress over a list that names the report twice: every byte and record of both. */
  FILE *copy = chdir(argv[2]) == 0 ? fopen("r.xml", "wb") : NULL;
  EXPECT(copy != NULL && fwrite(report.data, 1, report.size, copy) == report.size);
  if (copy != NULL)
    fclose(copy);
  const char list[] = "r.xml\nr.xml\n";
  struct seen seen = {0};
  struct ld952_options l = {"@list.txt", NULL, NULL, 0, NULL, NULL, NULL, NULL, track, &seen};
  EXPECT(ld952_check_buffer(list, sizeof list - 1, &l, NULL) == 0);
  EXPECT(seen.calls >= 2 && seen.backwards == 0);
  EXPECT(seen.last.bytes_read == 2 * report.size && seen.last.bytes_total == 2 * report.size);
  EXPECT(seen.last.records == (long long)(2 * count(&report, "</zamestnanec>")));
  EXPECT(seen.last.line >= (long long)(2 * count(&report, "\n")));

  struct text *all[] = {&rows, &console, &expected, &written, &errors_only, &report, &rows2, &said};
  for (size_t i = 0; i < sizeof all / sizeof all[0]; ++i)
    free(all[i]->data);
  if (failures == 0)
    printf("c api: all checks passed\n");
  return failures == 0 ? 0 : 1;
}
