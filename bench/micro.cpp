// Micro-benchmarks of the innermost paths: the scanner reading the tags and contents of
// employee records, by parts and as whole elements from the read buffer, the generic check of
// one record's elements (look-up, order, length, conversion, range, capture and code lists),
// the number conversion alone (all values of a record, and amounts with decimals), and the whole
// check of an employer's records on one thread and on two. A change that slows any of them shows
// here.
#include <benchmark/benchmark.h>
#include <cstdio>
#include <string>
#include <vector>

#include "driver.hpp"
#include "reader.hpp"
#include "rules.hpp"

namespace {

const char *kRecord[][2] = {
    {"AA0126", "7503150012"}, {"AA0231", "1975"},  {"AA0211", "1"},     {"AA0223", "M"},
    {"AA0033", "CZ"},         {"AA0013", "24212"}, {"AA0125", "1"},     {"AA0130", "1"},
    {"AA0131", "40"},         {"AA0225", "5"},     {"AA0216", "3.5"},   {"AA0132", "1072"},
    {"AA0133", "0"},          {"AA0134", "64"},    {"AA0135", "40"},    {"AA0136", "1"},
    {"AA0137", "1"},          {"AA0127", "10"},    {"AA0128", "5"},     {"AA0129", "1"},
    {"AA0138", "13140"},      {"AA0139", "1000"},  {"AA0140", "0"},     {"AA0141", "0"},
    {"AA0142", "0"},          {"AA0143", "0"},     {"AA0144", "96582"}, {"AA0145", "78840"},
    {"AA0146", "6000"},       {"AA0147", "0"},     {"AA0148", "0"},     {"AA0160", "0"},
    {"AA0162", "0"},          {"AA0150", "3000"},  {"AA0239", "0"},     {"AA0240", "0"},
    {"AA0151", "1800"},       {"AA0152", "1200"},  {"AA0153", "0"},     {"AA0154", "0"},
    {"AA0155", "0"},          {"AA0156", "0"},     {"AA0157", "4800"},  {"AA0163", "0"},
    {"AA0161", "0"},          {"AA0237", "0"},     {"AA0238", "0"},     {"AA0158", "3942"},
    {"AA0159", "2365"},       {"AA0165", "90.5"},  {"AA0166", "0"},     {"AA0167", "0"},
    {"AA0168", "0"},          {"AA0091", "1111"},  {"AA0210", "3"},     {"AA0218", "182"},
    {"AA0219", "12"},         {"AA0690", "CZ0521"}};

std::string records(int n) {
  std::string s;
  for (int i = 0; i < n; ++i) {
    s += "<zamestnanec>\n";
    for (const auto &e : kRecord)
      s += std::string("<") + e[0] + ">" + e[1] + "</" + e[0] + ">\n";
    s += "</zamestnanec>\n";
  }
  return s;
}

// Tag name, content and end tag of every element, as the state machine asks for them.
void Scanner(benchmark::State &state) {
  std::string doc = records(200);
  for (auto _ : state) {
    reader::State r;
    std::FILE *f = fmemopen(doc.data(), doc.size(), "rb");
    r.insoub = std::make_unique<reader::Input>(f, 1 << 16);
    report::Pole<300> buf;
    while (reader::dej_element(r, buf) == 0) {
      if (reader::dej_zbytek_elementu(r, buf, 'A') < 0 || reader::dej_obsah(r, buf) < 0)
        break;
      benchmark::DoNotOptimize(buf.size());
    }
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(doc.size()));
}
BENCHMARK(Scanner);

// The generic check and the record capture of one record's 58 elements.
void ElementDispatch(benchmark::State &state) {
  report::State protokol;
  report::StringSink console;
  protokol.konzole = &console;
  auto s = std::make_unique<rules::State>(protokol);
  rules::oddil(*s, 1, 'S');
  int n = 0;
  for (auto _ : state) {
    rules::oddil(*s, 1, 'M');
    for (const auto &e : kRecord)
      rules::k_Nec(*s, e[0], e[1]);
    if (++n % 1000 == 0) // keep the store small: a new employer now and then
      rules::oddil(*s, 1, 'S');
  }
  state.SetItemsProcessed(state.iterations() * 58);
}
BENCHMARK(ElementDispatch);

// The same records as the state machine takes them: whole elements from the read buffer, the
// section tags by parts.
void WholeElements(benchmark::State &state) {
  std::string doc = records(200);
  for (auto _ : state) {
    reader::State r;
    r.insoub = std::make_unique<reader::Input>(doc, 1 << 16);
    report::Pole<300> buf;
    reader::CelyPrvek c;
    for (;;) {
      if (reader::nahled_prvku(r, c)) {
        reader::prijmi_prvek(r, c);
        benchmark::DoNotOptimize(c.obsah.size());
      } else if (reader::dej_element(r, buf) < 0) {
        break;
      }
    }
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(doc.size()));
}
BENCHMARK(WholeElements);

// The whole check of one employer's records from memory, without a protocol, on one thread
// (argument 1) or on two (2).
void Check(benchmark::State &state) {
  const std::string doc = "<?xml version=\"1.0\" encoding=\"windows-1250\"?>\n<KUF>\n"
                          "<zamestnavatel>\n" +
                          records(2000) + "</zamestnavatel>\n</KUF>\n";
  driver::Options opt;
  opt.document = doc;
  opt.no_protocol = true;
  opt.vlakna = static_cast<int>(state.range(0));
  driver::Zadani zadani;
  zadani.vstup = "memory.xml";
  zadani.chyby = "memory.txt";
  for (auto _ : state) {
    report::StringSink console;
    benchmark::DoNotOptimize(driver::run(zadani, console, opt));
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(doc.size()));
}
BENCHMARK(Check)->Arg(1)->Arg(2)->UseRealTime();

// The number conversion of every value of one record, whole numbers and decimals alike.
void NumberConversion(benchmark::State &state) {
  for (auto _ : state)
    for (const auto &e : kRecord) {
      double x = 0;
      benchmark::DoNotOptimize(reader::StrToDbl(x, e[1], 'R'));
      benchmark::DoNotOptimize(x);
    }
  state.SetItemsProcessed(state.iterations() * 58);
}
BENCHMARK(NumberConversion);

// Amounts with decimals alone, the short ones of a report and a few past the short way.
void DecimalConversion(benchmark::State &state) {
  static const char *const kAmounts[] = {"96582.50", "3.5",      "1072.25", "0.125",
                                         "90.5",     "13140.75", "4800.01", "123456789.123456789"};
  for (auto _ : state)
    for (const char *a : kAmounts) {
      double x = 0;
      benchmark::DoNotOptimize(reader::StrToDbl(x, a, 'R'));
      benchmark::DoNotOptimize(x);
    }
  state.SetItemsProcessed(state.iterations() * 8);
}
BENCHMARK(DecimalConversion);

} // namespace

BENCHMARK_MAIN();
