// Writes large KUF reports for the benchmark, deterministic for a seed:
//   genkuf valid  BYTES SEED > report.xml   a valid report: every rule does its work, few findings
//   genkuf faulty BYTES SEED > report.xml   every record carries mistakes: many findings
// The valid report has one submitter and employers of up to 20000 records (100 on average
// per megabyte of report, up to several hundred employers), with plausible values that agree
// with each other; the code lists, the provider list and the tariffs are the checker's own.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "ldinc952.hpp"

namespace {

// A small fast generator with a fixed sequence for a seed (splitmix64).
struct Rng {
  std::uint64_t s;
  std::uint64_t next() {
    std::uint64_t z = (s += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  int in(int lo, int hi) {
    return lo + static_cast<int>(next() % static_cast<std::uint64_t>(hi - lo + 1));
  }
  bool chance(int percent) { return in(1, 100) <= percent; }
};

std::string g_out;
void put(const std::string &name, const std::string &value) {
  g_out += '<';
  g_out += name;
  g_out += '>';
  g_out += value;
  g_out += "</";
  g_out += name;
  g_out += ">\n";
}
void put(const std::string &name, long long v) { put(name, std::to_string(v)); }
std::string fixed(double v, int decimals) {
  char b[64];
  std::snprintf(b, sizeof b, "%.*f", decimals, v);
  std::string s = b;
  if (s.find('.') != std::string::npos) {
    while (s.back() == '0')
      s.pop_back();
    if (s.back() == '.')
      s.pop_back();
  }
  return s;
}
void flush() {
  std::fwrite(g_out.data(), 1, g_out.size(), stdout);
  g_out.clear();
}

double tarif(int t, int k, int g) {
  return tables::tabSazeb[static_cast<std::size_t>(192 * (t - 1) + 12 * (k - 1) + (g - 1))];
}

// The occupation codes that draw no warning: listed and not ending in 0.
std::vector<std::string_view> occupations() {
  std::vector<std::string_view> v;
  for (auto k : tables::TcisKzam)
    if (k[4] != '0')
      v.push_back(k);
  return v;
}

struct Person {
  std::string id;
  int born;
  char sex, edu;
  std::string_view country, occupation;
};

struct Record {
  double share;  // recalculated headcount
  int days;      // days in the register
  int register_; // 1 in the register on the last day, 2 not
  double salary; // AA0144
};

// One employee record whose values agree with each other and with the tariffs.
Record record(Rng &r, const Person &p, double share, int days, int inreg, bool faulty) {
  const int t = r.in(1, 3), k = r.in(1, 16), g = r.in(1, 12);
  const double tariff = tarif(t, k, g), top = tarif(t, k, 12);
  const double months = 6.0 * days / 182;
  const int sick = r.in(0, 5), holiday = r.in(0, 10);
  const int absence = holiday + sick + r.in(0, 5);
  const double fund = 40 * share;
  const double hours =
      std::floor(1248.0 * share * days / 182 - 8 * absence * share - r.in(0, 40) * share);
  const int bonus = static_cast<int>((k < 10 ? top / 2 : top) * r.in(0, 30) / 100);
  const long long a145 = std::llround(tariff * share * months);
  const long long a146 = std::llround(bonus * share * months);
  const long long a151 = r.in(0, 3000), a152 = r.in(0, 2000), a150 = a151 + a152;
  const long long a157 = r.in(0, 6000), a237 = r.in(0, 500), a238 = r.in(0, 500);
  const long long a161 = a237 + a238, a158 = std::llround(tariff * share * 0.05 * months);
  const long long a159 = a158 * r.in(0, 100) / 100;
  long long a144 = a146 + a145 + a150 + a157 + a161 + a158;
  const int years = 2008 - p.born - 13;
  const double here = std::min(0.5 + r.in(0, 200) / 10.0, years / 2.0);
  const double before = std::max(0.0, std::min(r.in(0, 300) / 10.0, years - here));
  if (faulty)
    a144 += r.in(1, 9); // EL015, and EL022 at the employer

  g_out += "<zamestnanec>\n";
  put("AA0126", p.id);
  put("AA0231", p.born);
  put("AA0211", std::string(1, p.sex));
  put("AA0223", std::string(1, faulty ? 'F' : p.edu)); // F is not an education code
  put("AA0033", std::string(p.country));
  put("AA0013", faulty ? std::string("99999") : std::string(p.occupation));
  put("AA0125", r.in(0, 2));
  put("AA0130", 1);
  put("AA0131", fixed(fund, 2));
  put("AA0225", fixed(before, 1));
  put("AA0216", fixed(here, 1));
  put("AA0132", fixed(faulty ? hours + 500 : hours, 2));
  put("AA0133", 0);
  put("AA0134", fixed(8 * holiday * share + 8 * sick * share, 2));
  put("AA0135", fixed(8 * holiday * share, 2));
  put("AA0136", fixed(share * days / 182, 4));
  put("AA0137", inreg);
  put("AA0127", k);
  put("AA0128", g);
  put("AA0129", t);
  put("AA0138", static_cast<long long>(tariff) + (faulty ? 10 : 0));
  put("AA0139", bonus);
  put("AA0140", 0);
  put("AA0141", 0);
  put("AA0142", 0);
  put("AA0143", 0);
  put("AA0144", a144);
  put("AA0145", a145);
  put("AA0146", a146);
  put("AA0147", 0);
  put("AA0148", 0);
  put("AA0160", 0);
  put("AA0162", 0);
  put("AA0150", a150);
  put("AA0239", 0);
  put("AA0240", 0);
  put("AA0151", a151);
  put("AA0152", a152);
  put("AA0153", 0);
  put("AA0154", 0);
  put("AA0155", 0);
  put("AA0156", 0);
  put("AA0157", a157);
  put("AA0163", 0);
  put("AA0161", a161);
  put("AA0237", a237);
  put("AA0238", a238);
  put("AA0158", a158);
  put("AA0159", a159);
  put("AA0165", fixed(static_cast<double>(a144) / std::max(hours, 1.0), 2));
  put("AA0166", 0);
  put("AA0167", 0);
  put("AA0168", 0);
  put("AA0091", "1111");
  put("AA0210", sick);
  put("AA0218", days);
  put("AA0219", absence);
  put("AA0690", "CZ0521");
  g_out += "</zamestnanec>\n";
  return {share * days / 182, days, inreg, static_cast<double>(a144)};
}

} // namespace

int main(int argc, char **argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: genkuf valid|faulty BYTES SEED\n");
    return 2;
  }
  const bool faulty = std::string(argv[1]) == "faulty";
  const double target = std::strtod(argv[2], nullptr);
  Rng r{std::strtoull(argv[3], nullptr, 10)};
  const auto kzam = occupations();
  const char education[] = "DEHJKLMNRTV"; // at or above C: the employer is not judged low
  const std::uint32_t submitter = 15865;  // the submitter with the most providers
  std::vector<std::uint32_t> providers;
  for (std::size_t i = 0; i < tables::TcisPoskytovatele.size(); ++i)
    if (tables::TcisPoskPredkladatel[i] == submitter)
      providers.push_back(tables::TcisPoskytovatele[i]);

  g_out += "<?xml version=\"1.0\" encoding=\"windows-1250\"?>\n"
           "<KUF verze=\"1.6\" xmlns=\"http://www.example.org/schemas/2004/KUF/1.6/\">\n";
  put("rok", "2008");
  put("AA0226", "1-6");
  put("ICOpredkladatele", "00015865");
  put("predkladatel", "Ministerstvo pro zkou\x9Aky");
  put("autor", "Jan Dvo\xF8\xE1k");
  put("mail", "mzdy@ministerstvo.cz");
  put("telefon", "+420 224 000 000");
  put("vytvoreno", "2008-07-21T09:15:42");

  double written = 0;
  long long serial = 0;
  for (std::size_t e = 0; written < target; ++e) {
    // The employer: a provider of the submitter, with a facility code once they run out.
    char ico[16];
    std::snprintf(ico, sizeof ico, "%08u", providers[e % providers.size()]);
    const std::string facility = e < providers.size() ? "" : std::to_string(e / providers.size());
    // Most employers are small; every tenth is large, up to 20000 records.
    int wanted = r.chance(10) ? r.in(5000, 20000) : r.in(11, 3000);
    wanted = std::min(wanted, 11 + static_cast<int>((target - written) / 1300)); // near the size
    std::string head = g_out;
    g_out.clear();
    double s136 = 0, s144 = 0;
    long long in_register = 0;
    for (int i = 0; i < wanted; ++i) {
      const int born = r.in(1950, 1988);
      char id[16];
      std::snprintf(id, sizeof id, "%02d%08lld", born % 100, ++serial % 100000000);
      Person p{id,
               born,
               r.chance(55) ? '2' : '1',
               education[r.in(0, 10)],
               r.chance(97) ? std::string_view("CZ") : std::string_view("SK"),
               kzam[static_cast<std::size_t>(r.in(0, static_cast<int>(kzam.size()) - 1))]};
      const bool leaver = i == 0 || r.chance(5);
      Record a = leaver ? record(r, p, 1.0, 91, 2, faulty) : record(r, p, 1.0, 182, 1, faulty);
      s136 += a.share, s144 += a.salary, in_register += a.register_ == 1;
      if (!leaver && r.chance(8)) { // a second, part-time relationship of the same person
        Record b = record(r, p, 0.25, 182, 1, faulty);
        s136 += b.share, s144 += b.salary;
      }
    }
    const std::string records = g_out;
    g_out = head;
    const long long a118 = std::llround(s144), a119 = a118 * 3 / 100;
    g_out += "<zamestnavatel>\n";
    put("AA0017", ico);
    put("AA0113", facility);
    put("AA0019", "325");
    put("AA0179", "CZ0521");
    put("AA0110", "20080630");
    put("AA0116", std::llround(s136));
    put("AA0123", 2 * (a118 - a119));
    put("AA0114", fixed(s136, 4));
    put("AA0115", in_register);
    put("AA0118", a118);
    put("AA0119", a119);
    g_out += records;
    g_out += "</zamestnavatel>\n";
    written += static_cast<double>(g_out.size());
    flush();
  }
  g_out += "</KUF>\n";
  flush();
  return 0;
}
