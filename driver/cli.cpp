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

[[noreturn]] void pis_napovedu() {
  for (std::string_view line : kNapoveda)
    report::st().konzole->put(line);
  throw Stop{1};
}

} // namespace

void fatal(std::string_view head, const std::string &name, bool do_protokolu, bool smazat) {
  if (smazat)
    report::st().konzole->put(kSmazat);
  report::Sink *protokol = do_protokolu ? report::st().errsoub.get() : nullptr;
  for (report::Sink *out : {report::st().konzole, protokol}) {
    if (out == nullptr)
      continue;
    out->put(head);
    out->put(name);
    out->put("\n Program ukoncen\n");
  }
  throw Stop{13};
}

void nelze_otevrit(const std::string &name, bool do_protokolu, bool smazat) {
  fatal(" Nelze otevrit soubor  ", name, do_protokolu, smazat);
}

void nedostatek_pameti(bool smazat) { fatal(" Nedostatek pameti", "", true, smazat); }

void dlouhy_parametr(const std::string &name, bool do_protokolu, bool smazat) {
  fatal(" Délka parametru vetsi nez 60  "_cp, name, do_protokolu, smazat);
}

void zpracuj_argumenty(int argc, const char *const *argv) {
  int pozice = 0;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg.size() > kMaxParametr)
      dlouhy_parametr(arg, false, false);
    if (arg.empty() || arg[0] != '-') {
      ++pozice;
      if (pozice == 1)
        st().s_vstup = arg;
      else if (pozice == 2)
        st().s_chyby = arg;
      else if (pozice == 3)
        st().s_vystup = arg;
      continue;
    }
    if (arg.size() > 1 && arg[1] == 'W')
      arg[1] = 'w';
    else if (arg.size() > 1 && arg[1] == 'H')
      arg[1] = 'h';
    if (arg == "-w")
      report::st().sw_nepisW = 'A';
    else if (arg == "-h")
      pis_napovedu();
    else
      fatal(" Chybny parametr ", arg, false, false);
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
