// What the state machine reads, carried out at once, or queued from a reading thread to the
// checking thread in blocks of items: each item is what one call of reader::Predani would have
// carried out, with the line the scanner had reached.
#include "predani.hpp"

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <exception>
#include <initializer_list>
#include <mutex>
#include <system_error>
#include <thread>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "platform.hpp"
#include "rules.hpp"

namespace driver {

void Primo::zbytek(std::string_view elem, std::string_view zbytek) {
  report::zpracuj_chybu(reader::s_cislo_radky(), "ES300", elem, zbytek, "  ");
}

void Primo::kopie(std::string_view text) {
  if (reader::st().outsoub != nullptr)
    reader::st().outsoub->put(text);
}

void Primo::prvek(const reader::Prvek &p) {
  // One call per section, each with its check known where it is made.
  switch (p.sekce) {
  case 'P':
    return reader::prvek_hotov(p, rules::k_Pre);
  case 'T':
    return reader::prvek_hotov(p, rules::k_Tel);
  default:
    return reader::prvek_hotov(p, rules::k_Nec);
  }
}

namespace {

// The handlers of the places where a section begins or ends, and the state each one sets.
struct Obsluha {
  char stav;
  void (*obsluz)();
  char dalsi;
};
constexpr Obsluha kObsluhy[] = {
    {'G', [] { reader::zacni_koren(); }, 'H'}, {'J', [] { reader::zpracuj_KUFk(); }, 'I'},
    {'S', [] { rules::zpracuj_TELz(); }, 'T'}, {'U', [] { rules::zpracuj_TELk(); }, 'H'},
    {'M', [] { rules::zpracuj_NECz(); }, 'N'}, {'O', [] { rules::zpracuj_NECk(); }, 'T'},
};
// The handler of state `stav`, or nullptr for a state that reads.
const Obsluha *obsluha_stavu(char stav) {
  for (const Obsluha &o : kObsluhy)
    if (o.stav == stav)
      return &o;
  return nullptr;
}

// The states that read, each with its handler in the state machine.
constexpr std::pair<char, int (*)()> kCteni[] = {
    {'Z', reader::zpracuj_ZACp}, {'G', reader::zpracuj_KUFz}, {'H', reader::zpracuj_KUF},
    {'I', reader::zpracuj_KUFm}, {'T', reader::zpracuj_TEL},  {'N', reader::zpracuj_NEC},
};

} // namespace

void Primo::obsluha(char stav) { obsluha_stavu(stav)->obsluz(); }

void cti_dokument() {
  for (;;) {
    const char stav = reader::st().rezim_zprac;
    const auto *cteni = std::find_if(std::begin(kCteni), std::end(kCteni),
                                     [&](const auto &c) { return c.first == stav; });
    if (cteni != std::end(kCteni))
      cteni->second();
    else if (obsluha_stavu(stav) != nullptr)
      reader::st().predani->obsluha(stav);
    else // 'W' after the final end of input ('K' is passed inside it)
      return;
  }
}

bool dve_vlakna(int vlakna) {
#if defined(__EMSCRIPTEN__)
  static_cast<void>(vlakna);
  return false; // the page's worker runs the check on its one thread
#else
  return vlakna == 2 || (vlakna == 0 && procesory() > 1);
#endif
}

namespace {

// Blocks of items from the reading thread to the checking thread. The reader writes its items
// into a block of its own; a full block is copied into a free place of the ring, where the
// checker works through it while the reader writes the next. The copy bypasses the reader's
// caches: the ring's lines then never pass from one processor's cache to the other's, which
// on some machines costs more than all the rest of the hand-over.
class Fronta {
public:
  static constexpr std::size_t kBlok = std::size_t{1} << 16;
  static constexpr std::size_t kBloku = 8;
  // The longest item: an element of a 50-character name, a 300-character content and a
  // 300-character end tag, with its head.
  static constexpr std::size_t kNejdelsi = 1024;

  // The checker has stopped: a reader waiting for room gives up.
  struct Zruseno {};

  // Reader: where an item of at most kNejdelsi bytes goes; `hotovo` with the end of what was
  // written.
  char *misto() {
    if (zapsano_ + kNejdelsi > kBlok)
      odesli();
    return psani_->b + zapsano_;
  }
  void hotovo(const char *konec) { zapsano_ = static_cast<std::size_t>(konec - psani_->b); }
  // Reader: waits for a free place in the ring and hands the block written so far over.
  void odesli() {
    {
      // A full ring is waited on until half of it is free: the reader is woken once for
      // several blocks, not for each.
      std::unique_lock lock(m_);
      if (odeslano_ - vraceno_ == kBloku)
        volno_.wait(lock, [&] { return odeslano_ - vraceno_ <= kBloku / 2 || zruseno_; });
      if (zruseno_)
        throw Zruseno{};
    }
    kopiruj(kruh_[odeslano_ % kBloku], *psani_, zapsano_);
    std::lock_guard lock(m_);
    delka_[odeslano_ % kBloku] = zapsano_;
    ++odeslano_;
    data_.notify_one();
    zapsano_ = 0;
  }
  // Checker: the next block, once the reader has handed it over; `vrat` when done with it.
  std::string_view vezmi() {
    std::unique_lock lock(m_);
    data_.wait(lock, [&] { return vraceno_ != odeslano_; });
    return {kruh_[vraceno_ % kBloku].b, delka_[vraceno_ % kBloku]};
  }
  void vrat() {
    std::lock_guard lock(m_);
    ++vraceno_;
    if (odeslano_ - vraceno_ <= kBloku / 2)
      volno_.notify_one();
  }
  void zrus() {
    std::lock_guard lock(m_);
    zruseno_ = true;
    volno_.notify_one();
  }

private:
  struct alignas(64) Blok {
    char b[kBlok];
  };
  // The first n bytes of `z` into `do_`, sixteen at a time past the caches where the
  // processor can.
  static void kopiruj(Blok &do_, const Blok &z, std::size_t n) {
#if defined(__SSE2__)
    for (std::size_t i = 0; i < n; i += 16)
      _mm_stream_si128(reinterpret_cast<__m128i *>(do_.b + i),
                       _mm_load_si128(reinterpret_cast<const __m128i *>(z.b + i)));
    _mm_sfence(); // the copy is in memory before the checker is told of it
#else
    std::memcpy(do_.b, z.b, n);
#endif
  }

  std::unique_ptr<Blok> psani_ = std::make_unique<Blok>(); // the reader's own block
  std::unique_ptr<Blok[]> kruh_ = std::make_unique<Blok[]>(kBloku);
  std::size_t zapsano_ = 0; // bytes in the reader's block
  alignas(64) std::mutex m_;
  std::condition_variable data_, volno_;
  std::size_t delka_[kBloku]{};
  std::size_t odeslano_ = 0, vraceno_ = 0; // blocks handed over and given back
  bool zruseno_ = false;
};

// What an item is: one call of reader::Predani, a progress report, or the end of the reading.
// Its first byte holds the kind in the low three bits (for an element, the kind tells the
// section) and an element's marks above them; then the line, as the difference from the line
// of the item before (one byte, or 255 and the whole line).
enum class Druh : std::uint8_t { kZbytek, kKopie, kObsluha, kPrubeh, kKonec, kP, kT, kN };
constexpr std::uint8_t kDruh = 7;
constexpr std::uint8_t kKopieRadek = 8;   // the element leaves a copy line
constexpr std::uint8_t kChyba302 = 16;    // ES302
constexpr std::uint8_t kKonecJmeno = 32;  // the end name is "/" and the name: sent before it
constexpr std::uint8_t kDlouhyObsah = 64; // the content's length takes two bytes

template <class T> void zapis(char *&p, T v) {
  std::memcpy(p, &v, sizeof v);
  p += sizeof v;
}
void kopiruj_text(char *&p, std::string_view s) {
  if (!s.empty()) // an empty view may have no data at all
    std::memcpy(p, s.data(), s.size());
  p += s.size();
}
// A text with at least fifteen readable bytes after it, sixteen bytes at a time: the copy
// may write up to fifteen bytes past its end, which the next item overwrites.
void kopiruj_po16(char *&p, std::string_view s) {
  for (std::size_t i = 0; i < s.size(); i += 16)
    std::memcpy(p + i, s.data() + i, 16);
  p += s.size();
}
void zapis_text(char *&p, std::string_view s) { // at most 65535 bytes: a text of the reader
  zapis(p, static_cast<std::uint16_t>(s.size()));
  kopiruj_text(p, s);
}
template <class T> T cti(const char *&p) {
  T v;
  std::memcpy(&v, p, sizeof v);
  p += sizeof v;
  return v;
}
std::string_view cti_text(const char *&p, std::size_t n) {
  std::string_view s(p, n);
  p += n;
  return s;
}
std::string_view cti_text(const char *&p) { return cti_text(p, cti<std::uint16_t>(p)); }

// The reading thread's hand-over: every call becomes an item of the queue.
class DoFronty final : public reader::Predani {
public:
  explicit DoFronty(Fronta &f) : f_(f) {}
  void zbytek(std::string_view elem, std::string_view zbytek) override {
    char *p = hlava(static_cast<std::uint8_t>(Druh::kZbytek));
    zapis_text(p, elem);
    zapis_text(p, zbytek);
    f_.hotovo(p);
  }
  // The output copy is written here; the checking thread is told only how much of it there is.
  void kopie(std::string_view text) override {
    if (auto &kopie = reader::st().outsoub)
      kopie->put(text);
    char *p = hlava(static_cast<std::uint8_t>(Druh::kKopie));
    zapis(p, static_cast<std::uint16_t>(text.size()));
    f_.hotovo(p);
  }
  void prvek(const reader::Prvek &e) override {
    reader::kopie_prvku(e);
    std::uint8_t znacky = static_cast<std::uint8_t>(e.sekce == 'P'   ? Druh::kP
                                                    : e.sekce == 'T' ? Druh::kT
                                                                     : Druh::kN);
    znacky |= static_cast<std::uint8_t>((e.kopie ? kKopieRadek : 0) | (e.es302 ? kChyba302 : 0));
    // The end name matches the name (no ES302): it is "/" and the name when just one longer.
    const bool jmeno = !e.es302 && e.konec.size() == e.elem.size() + 1 && e.konec[0] == '/';
    znacky |= static_cast<std::uint8_t>((jmeno ? kKonecJmeno : 0) |
                                        (e.obsah.size() > 255 ? kDlouhyObsah : 0));
    char *p = hlava(znacky);
    zapis(p, static_cast<std::uint8_t>(e.elem.size())); // 51 at most
    if (jmeno)
      zapis(p, '/'); // the end name: this "/" and the name after it
    // An element taken whole lies in the read buffer with sixteen bytes to spare after it.
    const bool cely = !e.cely.empty();
    cely ? kopiruj_po16(p, e.elem) : kopiruj_text(p, e.elem);
    if (e.obsah.size() > 255)
      zapis(p, static_cast<std::uint16_t>(e.obsah.size()));
    else
      zapis(p, static_cast<std::uint8_t>(e.obsah.size()));
    cely ? kopiruj_po16(p, e.obsah) : kopiruj_text(p, e.obsah);
    if (!jmeno)
      zapis_text(p, e.konec);
    f_.hotovo(p);
  }
  void obsluha(char stav) override {
    char *p = hlava(static_cast<std::uint8_t>(Druh::kObsluha));
    zapis(p, stav);
    f_.hotovo(p);
    reader::st().rezim_zprac = obsluha_stavu(stav)->dalsi;
  }
  // The progress so far and the end of the reading carry the reader's counts.
  void prubeh(Druh druh) {
    char *p = hlava(static_cast<std::uint8_t>(druh));
    zapis(p, reader::st().prubeh.precteno);
    zapis(p, reader::st().prubeh.velikost);
    f_.hotovo(p);
  }

private:
  char *hlava(std::uint8_t prvni) {
    char *p = f_.misto();
    zapis(p, prvni);
    const std::int64_t radka = reader::st().cislo_radky;
    if (radka - radka_ >= 0 && radka - radka_ < 255) {
      zapis(p, static_cast<std::uint8_t>(radka - radka_));
    } else {
      zapis(p, std::uint8_t{255});
      zapis(p, radka);
    }
    radka_ = radka;
    return p;
  }
  Fronta &f_;
  std::int64_t radka_ = 1; // the line of the item before
};

// A check on two threads: the queue, the reading thread and its part of the reader.
struct Dvojice {
  Fronta fronta;
  DoFronty do_fronty{fronta};
  reader::State ctenar;        // the reader's state on the reading thread
  Dalsi konec = Dalsi::kKonec; // why the input ended
  bool skoncil = false;        // the input has ended for good
  std::exception_ptr chyba;    // what ended the reading thread otherwise
  std::thread vlakno;
  Dvojice() = default;
  Dvojice(const Dvojice &) = delete;
  Dvojice &operator=(const Dvojice &) = delete;
  ~Dvojice() {
    fronta.zrus();
    if (vlakno.joinable())
      vlakno.join();
  }
};

thread_local Dvojice *ctena = nullptr; // the check of the reading thread

// The end of an input on the reading thread: the next listed report is opened there; what
// else follows is left to the checking thread.
bool konec_ctene() {
  Dvojice &d = *ctena;
  if (d.skoncil)
    return false;
  d.konec = dalsi_vstup();
  if (d.konec == Dalsi::kOtevren)
    return true;
  d.skoncil = true;
  return false;
}

void prubeh_do_fronty(void *dvojice) {
  static_cast<Dvojice *>(dvojice)->do_fronty.prubeh(Druh::kPrubeh);
}

void cteni(Dvojice &d, State &ridici) {
  reader::detail::aktivni = &d.ctenar;
  detail::aktivni = &ridici;
  ctena = &d;
  try {
    try {
      cti_dokument();
    } catch (const Fronta::Zruseno &) {
      return;
    } catch (...) {
      d.chyba = std::current_exception();
    }
    d.do_fronty.prubeh(Druh::kKonec);
    d.fronta.odesli();
  } catch (const Fronta::Zruseno &) {
  }
}

} // namespace

namespace {

// The checking thread's part: the items in their order, up to the end of the reading. `kopie`
// counts the bytes of the output copy that a check on one thread would have written by then.
void kontroluj(Dvojice &d, Primo &primo, std::uint64_t &kopie) {
  reader::State &r = reader::st();
  std::int64_t radka = 1;
  for (;;) {
    std::string_view blok = d.fronta.vezmi();
    const char *p = blok.data();
    const char *const konec = p + blok.size();
    while (p < konec) {
      const auto prvni = cti<std::uint8_t>(p);
      const auto rozdil = cti<std::uint8_t>(p);
      radka = rozdil == 255 ? cti<std::int64_t>(p) : radka + rozdil;
      r.cislo_radky = radka;
      switch (static_cast<Druh>(prvni & kDruh)) {
      case Druh::kZbytek: {
        std::string_view elem = cti_text(p);
        primo.zbytek(elem, cti_text(p));
        break;
      }
      case Druh::kKopie:
        kopie += cti<std::uint16_t>(p);
        break;
      case Druh::kObsluha:
        primo.obsluha(cti<char>(p));
        break;
      case Druh::kPrubeh:
      case Druh::kKonec:
        r.prubeh.precteno = cti<std::uint64_t>(p);
        r.prubeh.velikost = cti<std::uint64_t>(p);
        if ((prvni & kDruh) == static_cast<std::uint8_t>(Druh::kKonec))
          return;
        r.hlaseni(r.hlaseni_kontext);
        break;
      case Druh::kP:
      case Druh::kT:
      case Druh::kN: {
        const auto sekce = static_cast<Druh>(prvni & kDruh);
        const std::size_t n = cti<std::uint8_t>(p);
        const bool jmeno = (prvni & kKonecJmeno) != 0;
        std::string_view elem = cti_text(p, n + jmeno);
        std::string_view konec_tagu = elem;
        if (jmeno)
          elem.remove_prefix(1);
        std::string_view obsah =
            cti_text(p, (prvni & kDlouhyObsah) != 0 ? cti<std::uint16_t>(p)
                                                    : std::size_t{cti<std::uint8_t>(p)});
        if (!jmeno)
          konec_tagu = cti_text(p);
        const bool radek = (prvni & kKopieRadek) != 0;
        if (radek && r.sw_vystup == 'A') // "<", ">", "<", ">" and the line feed
          kopie += elem.size() + obsah.size() + konec_tagu.size() + 5;
        const char oddil = sekce == Druh::kP ? 'P' : sekce == Druh::kT ? 'T' : 'N';
        primo.prvek({oddil, radek, (prvni & kChyba302) != 0, elem, obsah, konec_tagu, {}});
        break;
      }
      }
    }
    d.fronta.vrat();
  }
}

} // namespace

bool dve_vlakna_kontrola(Primo &primo) {
  reader::State &r = reader::st();
  auto d = std::make_unique<Dvojice>();
  reader::State &c = d->ctenar;
  c.insoub = std::move(r.insoub);
  c.outsoub = std::move(r.outsoub);
  c.sw_vystup = r.sw_vystup;
  c.konec_vstupu = konec_ctene;
  c.predani = &d->do_fronty;
  if (r.hlaseni != nullptr) {
    c.hlaseni = prubeh_do_fronty;
    c.hlaseni_kontext = d.get();
  }
  try {
    d->vlakno = std::thread(cteni, std::ref(*d), std::ref(st()));
  } catch (const std::system_error &) { // no second thread
    r.insoub = std::move(c.insoub);
    r.outsoub = std::move(c.outsoub);
    return false;
  }
  std::uint64_t kopie = 0;
  try {
    kontroluj(*d, primo, kopie);
  } catch (...) {
    // Ended here before the end of the reading: the reading thread stops, and the output copy
    // keeps what a check on one thread would have written by now.
    d->fronta.zrus();
    d->vlakno.join();
    if (c.outsoub != nullptr)
      c.outsoub->zkrat(kopie);
    r.outsoub = std::move(c.outsoub);
    throw;
  }
  d->vlakno.join();
  r.outsoub = std::move(c.outsoub);
  if (d->chyba)
    std::rethrow_exception(d->chyba);
  if (!st().ukonceno)
    bez_dalsiho(d->konec);
  return true;
}

} // namespace driver
