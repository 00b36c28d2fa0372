// A run from the command line to the main loop: the banner, the arguments, the files (none
// created when one would overwrite another file of the run), the run stamp, the protocol
// header and the state loop, which only the end of input or a fatal condition ends.
#include <cctype>
#include <cstdlib>
#include <sys/stat.h>
#include <vector>

#include "cp1250.hpp"
#include "internal.hpp"
#include "platform.hpp"
#include "rules.hpp"

namespace driver {

State st;

std::unique_ptr<Seznam> Seznam::open(const std::string &path) {
  std::FILE *f = std::fopen(path.c_str(), "rb");
  if (f == nullptr)
    return nullptr;
  struct stat info {};
  std::string text;
  bool good = fstat(fileno(f), &info) == 0 && !S_ISDIR(info.st_mode);
  char chunk[4096];
  for (std::size_t n; good && (n = std::fread(chunk, 1, sizeof chunk, f)) > 0;)
    text.append(chunk, n);
  good = good && !std::ferror(f);
  std::fclose(f);
  return good ? std::make_unique<Seznam>(std::move(text)) : nullptr;
}

bool Seznam::dalsi(std::string &word) {
  auto blank = [](char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; };
  while (pos_ < text_.size() && blank(text_[pos_]))
    ++pos_;
  if (pos_ == text_.size())
    return false;
  std::size_t from = pos_;
  while (pos_ < text_.size() && !blank(text_[pos_]))
    ++pos_;
  word.assign(text_, from, pos_ - from);
  return true;
}

std::vector<std::string> Seznam::nahled() const {
  Seznam copy = *this;
  std::vector<std::string> words;
  for (std::string w; copy.dalsi(w);)
    words.push_back(w);
  return words;
}

namespace {

// Refuses, before anything is created, a protocol or output copy that is the same file as an
// input of the run (the list file and every name in it) or as each other.
void zkontroluj_prepis() {
  std::vector<std::string> vstupy = {st.s_vstup}; // as typed: the input of an empty list
  if (st.s_vstup.substr(0, 1) == "@") {
    vstupy.push_back(st.s_vstup.substr(1));
    st.linsoub = st.opt.dokument ? std::make_unique<Seznam>(std::string(*st.opt.dokument))
                                 : Seznam::open(vstupy.back()); // kept for the run
    if (st.linsoub) {
      auto words = st.linsoub->nahled();
      for (std::size_t i = 0; i < words.size() && (i == 0 || words[i] != "..."); ++i)
        vstupy.push_back(words[i]);
    }
  }
  std::vector<Identita> ids;
  for (const auto &v : vstupy)
    ids.push_back(identita(v));
  if (!st.opt.bez_protokolu) {
    Identita protokol = identita(st.s_chyby);
    for (const auto &id : ids)
      if (id == protokol)
        nelze_otevrit(st.s_chyby, false);
    ids.push_back(protokol);
  }
  if (st.s_vystup == "...")
    return;
  Identita kopie = identita(st.s_vystup);
  for (const auto &id : ids)
    if (id == kopie)
      nelze_otevrit(st.s_vystup, false);
}

void otevri_soubory() {
  if (st.opt.bez_protokolu)
    st.errsoub = std::make_unique<report::DiscardSink>();
  else
    st.errsoub = report::FileSink::create(st.s_chyby);
  if (!st.errsoub)
    nelze_otevrit(st.s_chyby, false);
  report::st.errsoub = st.errsoub.get();
  if (st.s_vystup != "...") {
    st.outsoub = report::FileSink::create(st.s_vystup);
    if (!st.outsoub)
      nelze_otevrit(st.s_vystup, true);
    reader::st.outsoub = st.outsoub.get();
    reader::st.sw_vystup = 'A';
  }
  if (st.s_vstup.substr(0, 1) == "@") {
    st.s_vstsez = st.s_vstup.substr(1);
    if (!st.linsoub)
      st.linsoub = Seznam::open(st.s_vstsez);
    if (!st.linsoub)
      nelze_otevrit(st.s_vstsez, true);
    st.sw_muf = 'A';
    std::string word;
    if (st.linsoub->dalsi(word)) {
      if (word.size() > kMaxParametr)
        dlouhy_parametr(word, true, false);
      st.s_vstup = word;
    }
  }
  if (st.opt.dokument && st.sw_muf == 'N')
    st.insoub = std::make_unique<reader::Input>(*st.opt.dokument, st.opt.read_buffer);
  else
    st.insoub = reader::Input::open(st.s_vstup, st.opt.read_buffer);
  if (!st.insoub)
    nelze_otevrit(st.s_vstup, true);
  reader::st.insoub = st.insoub.get();
}

// "dd/mm/20yy  hh:mm:ss"
std::string razitko() {
  std::tm t{};
  if (st.opt.stamp) {
    t = *st.opt.stamp;
  } else {
    t = mistni_cas(std::time(nullptr));
  }
  char buf[64];
  std::snprintf(buf, sizeof buf, "%02d/%02d/20%02d  %02d:%02d:%02d", t.tm_mday, t.tm_mon + 1,
                t.tm_year % 100, t.tm_hour, t.tm_min, t.tm_sec);
  return buf;
}

void hlavicka(const std::string &stamp) {
  report::Sink &out = *st.errsoub;
  switch (report::st.sw_err) {
  case report::kHtml:
    out.put("<html>\n<head>\n");
    out.put("<META http-equiv=\"Content-Type\" content=\"text/html; charset=Windows-1250\">\n");
    out.put("<title>KUF - vysledky kontroly dat</title>\n</head>\n<body>\n");
    out.put("<table cellspacing=\"0\" cellpadding=\"2\" border=\"1\" width=100% >\n");
    out.put("<tr bgcolor=\"lightblue\" valign=\"left\">\n");
    out.put("<th width=15%> "), out.put("Datum a čas: "_cp);
    out.put(" </th><th width=20%> "), out.put(stamp);
    out.put(" </th><th width=12%> "), out.put("Soubor: ");
    out.put(" </th><th width=38%> "), report::put_markup_text(out, st.s_vstup);
    out.put(" </th><th width=15%>&nbsp"), out.put(kProgram), out.put(" </th>\n");
    out.put("</table>\n");
    out.put("<table cellspacing=\"0\" cellpadding=\"2\" border=\"1\">\n");
    out.put("<tr bgcolor=\"lightblue\">\n");
    out.put("<th>Řádek<th>Chyba</th><th>Zaměstnavatel</th><th>Zaměstnanec</th><th>Prvek</th>"
            "<th>Hodnota</th><th>Očekáváno</th><th>Popis</th>\n"_cp);
    out.put("</tr>\n");
    break;
  case report::kCsv:
    out.put("Radek;Chyba;Zamestnavatel;Zamestnanec;Prvek;Hodnota;Ocekavano;Popis\n");
    break;
  case report::kText:
    out.put(" "), out.put("Datum a čas: "_cp), out.put("  "), out.put(stamp), out.put("  ");
    out.put("Soubor: "), out.put("  "), out.put(st.s_vstup), out.put(" \n");
    out.put("C.radku  Chyba   ICO/Kod Zamestnanec  Prvek      Hodnota Ocekavano   Popis\n\n");
    break;
  case report::kXml:
    out.put("<?xml version = \"1.0\" encoding = \"Windows-1250\"?>");
    out.put("<KUF_chyby>\n");
    out.put("<DatumCas>"), out.put(stamp), out.put("</DatumCas>\n");
    out.put("<Soubor>"), report::put_markup_text(out, st.s_vstup), out.put("</Soubor>\n");
    break;
  default:
    break;
  }
}

// The state loop. The end of input runs the summary inside a handler (through konec_vstupu);
// the handler then leaves state W, which ends the loop.
void hlavni_smycka() {
  for (;;) {
    switch (reader::st.rezim_zprac) {
    case 'Z':
      reader::zpracuj_ZACp();
      break;
    case 'G':
      reader::zpracuj_KUFz();
      break;
    case 'H':
      reader::zpracuj_KUF(rules::k_Pre);
      break;
    case 'I':
      reader::zpracuj_KUFm();
      break;
    case 'J':
      reader::zpracuj_KUFk();
      break;
    case 'S':
      rules::zpracuj_TELz();
      break;
    case 'T':
      reader::zpracuj_TEL(rules::k_Tel);
      break;
    case 'U':
      rules::zpracuj_TELk();
      break;
    case 'M':
      rules::zpracuj_NECz();
      break;
    case 'N':
      reader::zpracuj_NEC(rules::k_Nec);
      break;
    case 'O':
      rules::zpracuj_NECk();
      break;
    default: // 'W' after the final end of input ('K' is passed inside it)
      if (!st.ukonceno)
        zpracuj_KONp();
      return;
    }
  }
}

} // namespace

int run(int argc, const char *const *argv, report::Sink &console, const Options &options,
        Totals *totals) {
  report::reset();
  reader::reset();
  rules::reset();
  st = State{};
  st.opt = options;
  st.konzole = &console;
  report::st.konzole = &console;
  report::st.posluchac = options.posluchac;
  report::st.posluchac_kontext = options.posluchac_kontext;
  reader::st.hlaseni = options.prubeh;
  reader::st.hlaseni_kontext = options.prubeh_kontext;
  int code = 0;
  try {
    console.put("\nProgram  "), console.put(kProgram), console.put("  kontola dat pro KUF\n");
    zpracuj_argumenty(argc, argv);
    report::st.sw_err = format_protokolu(st.s_chyby);
    zkontroluj_prepis();
    otevri_soubory();
    hlavicka(razitko());
    reader::st.konec_vstupu = konec_vstupu;
    hlavni_smycka();
    if (options.prubeh != nullptr) // the last word on the progress: all of the input is read
      options.prubeh(options.prubeh_kontext);
  } catch (const Stop &stop) {
    code = stop.code;
  } catch (const reader::ChybaCteni &) {
    // An input that fails while it is read ends the run like one that cannot be opened.
    try {
      nelze_otevrit(st.s_vstup, true, true);
    } catch (const Stop &stop) {
      code = stop.code;
    }
  }
  // Whatever is still open is closed here: after a fatal condition the protocol and the
  // output copy keep what was written before it.
  report::st.errsoub = nullptr;
  report::st.posluchac = nullptr;
  reader::st.outsoub = nullptr;
  reader::st.insoub = nullptr;
  st = State{};
  if (totals != nullptr)
    *totals = {report::st.sumchybE, report::st.sumchybW};
  console.flush();
  return code;
}

} // namespace driver
