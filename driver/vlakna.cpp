// A check on two threads: what the state machine reads is queued from the reading thread to
// the checking thread in blocks of items. Each item is what one call of reader::Predani
// carries, or a report of progress, with the line the scanner had reached and the bytes the
// output copy grew by since the item before; the last one ends the reading.
#include "vlakna.hpp"

#include <condition_variable>
#include <cstring>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "platform.hpp"

namespace driver {

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
  // Reader: how the reading ended (or what ended it), handed over with the last block.
  void skonci(KonecCteni konec, std::exception_ptr chyba) {
    {
      std::lock_guard lock(m_);
      konec_ = std::move(konec);
      chyba_ = std::move(chyba);
    }
    odesli();
  }
  // Checker, after the last item: how the reading ended; what ended it is thrown here.
  KonecCteni prevezmi() {
    std::lock_guard lock(m_);
    if (chyba_)
      std::rethrow_exception(chyba_);
    return std::move(konec_);
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
  KonecCteni konec_;         // how the reading ended
  std::exception_ptr chyba_; // or what ended it
};

// What an item is: one call of reader::Predani, a progress report, or the end of the reading.
// Its first byte holds the kind in the low three bits (for an element, the kind tells the
// section) and marks above them; then the line, as the difference from the line of the item
// before (one byte, or 255 and the whole line); then, when the output copy grew, by how much
// (one byte, or 255 and the whole count).
enum class Druh : std::uint8_t { kZbytek, kOddil, kPrubeh, kKonec, kP, kT, kN };
constexpr std::uint8_t kDruh = 7;
constexpr std::uint8_t kChyba302 = 8;     // an element's ES302
constexpr std::uint8_t kKonecJmeno = 16;  // its end name is "/" and the name: sent before it
constexpr std::uint8_t kDlouhyObsah = 32; // its content's length takes two bytes
constexpr std::uint8_t kKopie = 64;       // the output copy grew before the item

template <class T> void zapis(char *&p, T v) {
  std::memcpy(p, &v, sizeof v);
  p += sizeof v;
}
// A count of at most 254 in one byte, a larger one after a byte 255.
void zapis_pocet(char *&p, std::uint64_t n) {
  if (n < 255) {
    zapis(p, static_cast<std::uint8_t>(n));
  } else {
    zapis(p, std::uint8_t{255});
    zapis(p, n);
  }
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
std::uint64_t cti_pocet(const char *&p) {
  const auto n = cti<std::uint8_t>(p);
  return n < 255 ? n : cti<std::uint64_t>(p);
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
  DoFronty(Fronta &f, const report::Sink *kopie) : f_(f), kopie_(kopie) {}
  void zbytek(std::int64_t radka, std::string_view elem, std::string_view zbytek) override {
    char *p = hlava(static_cast<std::uint8_t>(Druh::kZbytek), radka);
    zapis_text(p, elem);
    zapis_text(p, zbytek);
    f_.hotovo(p);
  }
  void prvek(std::int64_t radka, const reader::Prvek &e) override {
    auto znacky = static_cast<std::uint8_t>(e.sekce == 'P'   ? Druh::kP
                                            : e.sekce == 'T' ? Druh::kT
                                                             : Druh::kN);
    // The end name matches the name (no ES302): it is "/" and the name when just one longer.
    const bool jmeno = !e.es302 && e.konec.size() == e.elem.size() + 1 && e.konec[0] == '/';
    znacky |= static_cast<std::uint8_t>((e.es302 ? kChyba302 : 0) | (jmeno ? kKonecJmeno : 0) |
                                        (e.obsah.size() > 255 ? kDlouhyObsah : 0));
    char *p = hlava(znacky, radka);
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
  void oddil(std::int64_t radka, char stav) override {
    char *p = hlava(static_cast<std::uint8_t>(Druh::kOddil), radka);
    zapis(p, stav);
    f_.hotovo(p);
  }
  // The bytes read so far.
  void prubeh(const reader::Prubeh &pr, std::int64_t radka) {
    char *p = hlava(static_cast<std::uint8_t>(Druh::kPrubeh), radka);
    zapis(p, pr.precteno);
    zapis(p, pr.velikost);
    f_.hotovo(p);
  }
  // The end of the reading, with how it ended.
  void konec(KonecCteni konec, std::exception_ptr chyba) {
    f_.hotovo(hlava(static_cast<std::uint8_t>(Druh::kKonec), konec.radka));
    f_.skonci(std::move(konec), std::move(chyba));
  }

private:
  // The head of an item: its kind and marks, the line, and the bytes the copy grew by.
  char *hlava(std::uint8_t prvni, std::int64_t radka) {
    const std::uint64_t kopie = kopie_ != nullptr ? kopie_->zapsano() : 0;
    if (kopie != kopie_zapsano_)
      prvni |= kKopie;
    char *p = f_.misto();
    zapis(p, prvni);
    if (radka - radka_ >= 0 && radka - radka_ < 255) {
      zapis(p, static_cast<std::uint8_t>(radka - radka_));
    } else {
      zapis(p, std::uint8_t{255});
      zapis(p, radka);
    }
    if (kopie != kopie_zapsano_)
      zapis_pocet(p, kopie - kopie_zapsano_);
    radka_ = radka;
    kopie_zapsano_ = kopie;
    return p;
  }
  Fronta &f_;
  const report::Sink *kopie_;       // the output copy the reader writes, if any
  std::int64_t radka_ = 1;          // the line of the item before
  std::uint64_t kopie_zapsano_ = 0; // the copy's bytes at the item before
};

void prubeh_do_fronty(void *do_fronty, const reader::Prubeh &p, std::int64_t radka) {
  static_cast<DoFronty *>(do_fronty)->prubeh(p, radka);
}

// A check on two threads: the queue, the reading thread's hand-over, the output copy it
// writes, and the thread.
struct Dvojice {
  Fronta fronta;
  DoFronty do_fronty;
  report::Sink *kopie; // cut back here when the check ends early
  std::thread vlakno;
  explicit Dvojice(report::Sink *k) : do_fronty(fronta, k), kopie(k) {}
  Dvojice(const Dvojice &) = delete;
  Dvojice &operator=(const Dvojice &) = delete;
  ~Dvojice() {
    fronta.zrus();
    if (vlakno.joinable())
      vlakno.join();
  }
};

// The reading thread: the reading half of the check, to the end of the input.
void cteni(Cteni &c, DoFronty &do_fronty) {
  try {
    KonecCteni konec;
    std::exception_ptr chyba;
    try {
      konec = cti(c);
    } catch (const Fronta::Zruseno &) {
      return;
    } catch (...) {
      chyba = std::current_exception();
      konec.radka = c.reader.cislo_radky;
    }
    do_fronty.konec(std::move(konec), std::move(chyba));
  } catch (const Fronta::Zruseno &) {
  }
}

// The checking thread's part: the items in their order, checked, up to the end of the
// reading. `kopie` counts the bytes of the output copy that the reading thread had written
// when it handed on the item being checked: what a check on one thread would have written.
void kontroluj(Overeni &o, Fronta &f, std::uint64_t &kopie) {
  rules::State &s = o.rules;
  std::int64_t radka = 1;
  for (;;) {
    std::string_view blok = f.vezmi();
    const char *p = blok.data();
    const char *const konec = p + blok.size();
    while (p < konec) {
      const auto prvni = cti<std::uint8_t>(p);
      const auto rozdil = cti<std::uint8_t>(p);
      radka = rozdil == 255 ? cti<std::int64_t>(p) : radka + rozdil;
      if ((prvni & kKopie) != 0)
        kopie += cti_pocet(p);
      switch (static_cast<Druh>(prvni & kDruh)) {
      case Druh::kZbytek: {
        std::string_view elem = cti_text(p);
        rules::zbytek(s, radka, elem, cti_text(p));
        break;
      }
      case Druh::kOddil:
        rules::oddil(s, radka, cti<char>(p));
        break;
      case Druh::kPrubeh: {
        reader::Prubeh pr;
        pr.precteno = cti<std::uint64_t>(p);
        pr.velikost = cti<std::uint64_t>(p);
        hlas_prubeh(o, pr, radka);
        break;
      }
      case Druh::kKonec:
        return;
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
        const char oddil = sekce == Druh::kP ? 'P' : sekce == Druh::kT ? 'T' : 'N';
        rules::prvek(s, radka,
                     {oddil, true, (prvni & kChyba302) != 0, elem, obsah, konec_tagu, {}});
        break;
      }
      }
    }
    f.vrat();
  }
}

} // namespace

std::optional<KonecCteni> dve_vlakna_kontrola(Kontrola &k) {
  Cteni &c = k.cteni;
  auto d = std::make_unique<Dvojice>(c.reader.outsoub.get());
  c.reader.predani = &d->do_fronty;
  c.reader.konec_vstupu = konec_vstupu;
  c.reader.konec_kontext = &c.vstupy;
  if (k.overeni.driver.opt.progress != nullptr) {
    c.reader.hlaseni = prubeh_do_fronty;
    c.reader.hlaseni_kontext = &d->do_fronty;
  }
  try {
    d->vlakno = std::thread(cteni, std::ref(c), std::ref(d->do_fronty));
  } catch (const std::system_error &) { // no second thread
    c.reader.predani = nullptr;
    c.reader.hlaseni = nullptr;
    return std::nullopt;
  }
  std::uint64_t kopie = 0;
  try {
    kontroluj(k.overeni, d->fronta, kopie);
  } catch (...) {
    // Ended here before the end of the reading: the reading thread stops, and the output copy
    // keeps what a check on one thread would have written by now. The copy is a file, which
    // can be cut back; should that fail, the run still ends with its own reason alone.
    d->fronta.zrus();
    d->vlakno.join();
    if (d->kopie != nullptr)
      static_cast<void>(d->kopie->zkrat(kopie));
    throw;
  }
  d->vlakno.join();
  return d->fronta.prevezmi();
}

} // namespace driver
