// The command line: up to three positional arguments (input, protocol, output copy), the
// switches -w and -h in any position, the help text, and the protocol format by extension.
#include "cp1250.hpp"
#include "run_state.hpp"

namespace driver {

namespace {

constexpr std::string_view kNapoveda[] = {
    "Volani programu:\n\nLD652 vstup chyby vystup -prepinac\n\n",
    "\nvstup    - uplna cesta ke vstupnimu souboru, max. 60 znaku\n",
    "             neni-li uveden hleda se kuf.xml \n",
    "             je-li prni znak @, jedna se o seznam souboru\n",
    "\nchyby    - uplna cesta k chybovemu souboru, max. 60 znaku\n",
    "             neni-li uveden zapisuje se do  kufe.htm\n",
    "             pripona urcuje typ .htm - html\n",
    "             pripona urcuje typ .txt - textovy\n",
    "                                .csv - (Excel)\n",
    "                                .xml          \n",
    "\nvystup   - uplna cesta k vystupmu souboru, max. 60 znaku\n",
    "             neni-li uveden, vystupni  se nevytvari\n",
    "\nprepinac - pripustne hodnoty\n",
    "             -w potlaceni vystupu chyb vahy W\n",
    "             -h tato napoveda\n",
};

[[noreturn]] void pis_napovedu(report::State &r) {
  for (std::string_view line : kNapoveda)
    r.konzole->put(line);
  throw Stop{1};
}

} // namespace

void fatal(report::State &r, std::string_view head, const std::string &name, bool do_protokolu,
           bool smazat) {
  const std::initializer_list<std::string_view> zprava = {head, name, "\n Program ukoncen\n"};
  if (smazat)
    r.konzole->put(kSmazat);
  for (std::string_view cast : zprava)
    r.konzole->put(cast);
  if (do_protokolu && r.errsoub != nullptr)
    report::pis_ukonceni(r, zprava);
  throw Stop{13};
}

void nelze_otevrit(report::State &r, const std::string &name, bool do_protokolu, bool smazat) {
  fatal(r, " Nelze otevrit soubor  ", name, do_protokolu, smazat);
}

void nedostatek_pameti(report::State &r, bool smazat) {
  fatal(r, " Nedostatek pameti", "", true, smazat);
}

void dlouhy_parametr(report::State &r, const std::string &name, bool do_protokolu, bool smazat) {
  fatal(r, " Délka parametru vetsi nez 60  "_cp, name, do_protokolu, smazat);
}

void zpracuj_argumenty(Kontrola &k, int argc, const char *const *argv) {
  report::State &r = k.overeni.report;
  State &d = k.overeni.driver;
  int pozice = 0;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg.size() > kMaxParametr)
      dlouhy_parametr(r, arg, false, false);
    if (arg.empty() || arg[0] != '-') {
      ++pozice;
      if (pozice == 1)
        k.cteni.vstupy.s_vstup = arg;
      else if (pozice == 2)
        d.s_chyby = arg;
      else if (pozice == 3)
        d.s_vystup = arg;
      continue;
    }
    if (arg.size() > 1 && arg[1] == 'W')
      arg[1] = 'w';
    else if (arg.size() > 1 && arg[1] == 'H')
      arg[1] = 'h';
    if (arg == "-w")
      r.sw_nepisW = 'A';
    else if (arg == "-h")
      pis_napovedu(r);
    else
      fatal(r, " Chybny parametr ", arg, false, false);
  }
}

char format_protokolu(const std::string &s_chyby) {
  std::size_t tecka = reader::jinstr(s_chyby, '.');
  if (tecka == 0)
    return report::kHtml;
  std::string pripona = s_chyby.substr(tecka, 10);
  for (char &c : pripona) // ASCII letters only, whatever the locale
    if (c >= 'A' && c <= 'Z')
      c = static_cast<char>(c - 'A' + 'a');
  if (pripona == "txt")
    return report::kText;
  if (pripona == "csv")
    return report::kCsv;
  if (pripona == "xml")
    return report::kXml;
  return report::kHtml; // "htm", "html" and anything else
}

} // namespace driver
