#include "Quelm_ParallelKern.h"

#include "Absturz.h"
#include "Basisdienste.h"
#include "Quelm_Ausnahme.h"
#include "Quelm_Protokolliere.h"

#include <algorithm>
#include <chrono>
#include <exception>

namespace {
std::atomic<Quelm_ParallelKern*> gKern{nullptr};
}

// --- Quelm_Planer -------------------------------------------------------------------

namespace {
// How long a serving thread keeps looking for work before it sleeps: first spinning, longer
// than a job's way through the core; then yielding the processor between looks, so that a
// busy machine runs others meanwhile while a new batch of jobs still finds the thread awake
// (waking a sleeper costs a system call, and on a loaded machine a long wait for a slot).
// Both far shorter than a frame.
constexpr auto kSpinDauer = std::chrono::microseconds(20);
constexpr auto kWachDauer = std::chrono::microseconds(1000);

inline void Pause() { __builtin_ia32_pause(); }
}  // namespace

void Quelm_Planer::Sperre() {
  // Held only for a push or a pop: waiting a moment beats sleeping in the kernel.
  for (int i = 0; i < 64; ++i) {
    if (sperre.try_lock()) return;
    Pause();
  }
  sperre.lock();
}

namespace {
// The job's header and stack top, where its switch will land, on their way into the cache.
void HoleVor(const Quelm_Faser* faser) {
  if (!faser) return;
  const char* block = reinterpret_cast<const char*>(faser);
  __builtin_prefetch(block, 1);
  __builtin_prefetch(block + Quelm_Faser::kBlockGroesse - 64, 1);
}
}  // namespace

Quelm_Faser* Quelm_Planer::NimmGenommenen() {
  Quelm_Faser* faser = genommen_[genommenPos_++];
  if (genommenPos_ < genommen_.size()) HoleVor(genommen_[genommenPos_]);
  return faser;
}

Quelm_Faser* Quelm_Planer::NimmVorderste() {
  if (einzigerDiener) {
    genommen_.clear();
    genommenPos_ = 0;
    for (int p = 2; p >= 0; --p) {
      genommen_.insert(genommen_.end(), schlangen[p].begin(), schlangen[p].end());
      schlangen[p].clear();
    }
    anzahl_.store(0, std::memory_order_relaxed);
    return NimmGenommenen();
  }
  for (int p = 2; p >= 0; --p) {
    if (!schlangen[p].empty()) {
      Quelm_Faser* faser = schlangen[p].front();
      schlangen[p].pop_front();
      anzahl_.store(anzahl_.load(std::memory_order_relaxed) - 1, std::memory_order_relaxed);
      if (!schlangen[p].empty()) HoleVor(schlangen[p].front());
      return faser;
    }
  }
  return nullptr;
}

void Quelm_Planer::Leere(const std::function<void(Quelm_Faser*)>& verwerfen) {
  std::lock_guard<std::mutex> halt(sperre);
  for (; genommenPos_ < genommen_.size(); ++genommenPos_)
    if (genommen_[genommenPos_]) verwerfen(genommen_[genommenPos_]);
  genommen_.clear();
  genommenPos_ = 0;
  for (auto& schlange : schlangen) {
    for (Quelm_Faser* faser : schlange)
      if (faser) verwerfen(faser);
    schlange.clear();
  }
  anzahl_.store(0, std::memory_order_relaxed);
}

void Quelm_Planer::Einreihen(Quelm_Faser* faser, bool vorne) {
  bool wecken;
  Sperre();
  {
    std::lock_guard<std::mutex> halt(sperre, std::adopt_lock);
    auto& schlange = schlangen[faser ? std::min<std::uint32_t>(faser->prioritaet, 2) : 0];
    if (vorne)
      schlange.push_front(faser);
    else
      schlange.push_back(faser);
    anzahl_.store(anzahl_.load(std::memory_order_relaxed) + 1, std::memory_order_relaxed);
    wecken = schlaefer_ > 0;
  }
  if (wecken) bedingung.notify_one();
}

Quelm_Faser* Quelm_Planer::Entnehmen() {
  if (genommenPos_ < genommen_.size()) return NimmGenommenen();
  // First look without waiting for the lock: when other threads hold it, they are taking
  // the same work, and this thread would only queue up behind them in the kernel. The clock
  // is read only once the queue was found empty.
  std::chrono::steady_clock::time_point jetzt{}, spinEnde{}, wachEnde{};
  for (int i = 0;; ++i) {
    if (anzahl_.load(std::memory_order_relaxed) > 0 && sperre.try_lock()) {
      std::lock_guard<std::mutex> halt(sperre, std::adopt_lock);
      if (anzahl_.load(std::memory_order_relaxed) > 0) return NimmVorderste();
    }
    if (i == 0) {
      jetzt = std::chrono::steady_clock::now();
      spinEnde = jetzt + kSpinDauer;
      wachEnde = jetzt + kWachDauer;
    } else if (i % 32 == 0) {
      jetzt = std::chrono::steady_clock::now();
      if (jetzt > wachEnde) break;
    }
    if (jetzt < spinEnde)
      Pause();
    else
      std::this_thread::yield();
  }
  Sperre();
  std::unique_lock<std::mutex> halt(sperre, std::adopt_lock);
  ++schlaefer_;
  bedingung.wait(halt, [this] { return anzahl_.load(std::memory_order_relaxed) > 0; });
  --schlaefer_;
  return NimmVorderste();
}

// --- Quelm_KernUmgebung ---------------------------------------------------------------

Quelm_KernUmgebung Quelm_KernUmgebung::VomBetriebssystem() {
  Quelm_KernUmgebung umgebung;
  umgebung.hardwareThreads = Plattform::HardwareThreads();
  umgebung.starteThread = [](std::function<void()> koerper) { return std::thread(std::move(koerper)); };
  return umgebung;
}

// --- Quelm_ParallelKern ---------------------------------------------------------------

Quelm_ParallelKern::Quelm_ParallelKern() : Quelm_ParallelKern(Quelm_KernUmgebung::VomBetriebssystem()) {}

Quelm_ParallelKern::Quelm_ParallelKern(const Quelm_KernUmgebung& umgebung) {
  if (char* bereich = Quelm_Faser::ReserviereBloecke(kVorratBloecke)) {
    bereiche.emplace_back(bereich, kVorratBloecke);
    std::vector<Quelm_Faser*> bloecke(kVorratBloecke);
    for (std::size_t i = 0; i < kVorratBloecke; ++i)
      bloecke[i] = reinterpret_cast<Quelm_Faser*>(bereich + i * Quelm_Faser::kBlockGroesse);
    pool.enqueue_bulk(bloecke.data(), bloecke.size());
    alloks = kVorratBloecke;
  } else {
    // Submissions still try to map blocks one by one.
    MeldeAusnahme("Faser-Vorrat konnte nicht angelegt werden", "Quelm_ParallelKern::Quelm_ParallelKern", __FILE__,
                  __LINE__);
  }

  // At least one worker, or parallel jobs would never run.
  const unsigned n = std::max(1u, umgebung.hardwareThreads);
  Protokolliere("Starting parallel execution core: %d parallel threads, %d I/O threads", static_cast<int>(n), 1);

  hauptPlaner.einzigerDiener = true;
  ioPlaner.einzigerDiener = true;
  hauptInfos.emplace_back().planer = &hauptPlaner;
  for (unsigned i = 0; i < n; ++i) parallelInfos.emplace_back().planer = &parallelPlaner;
  ioInfos.emplace_back().planer = &ioPlaner;

  StarteThreads(umgebung);
  gKern.store(this, std::memory_order_release);
}

void Quelm_ParallelKern::StarteThreads(const Quelm_KernUmgebung& umgebung) {
  auto starte = [this, &umgebung](Quelm_ArbeiterInfo& info) {
    std::function<void()> koerper = [this, &info] {
      // A job's fiber that overflows its stack must still reach the crash report.
      Plattform::Absturz::BereiteThreadVor();
      ArbeiterSchleife(info);
    };
    return umgebung.starteThread ? umgebung.starteThread(std::move(koerper)) : std::thread(std::move(koerper));
  };
  try {
    // Reserved first: a thread that cannot be stored would be destroyed while joinable.
    parallelThreads.reserve(parallelInfos.size());
    ioThreads.reserve(ioInfos.size());
    for (auto& info : parallelInfos) parallelThreads.push_back(starte(info));
    for (auto& info : ioInfos) ioThreads.push_back(starte(info));
  } catch (const std::exception& e) {
    Protokolliere("Ausnahme bei Thread-Erstellung vom Typ \"%s\" mit Text \"%s", Quelm_TypName(typeid(e)).c_str(),
                  e.what());
    // The threads already running must end before the exception leaves the
    // constructor: a joinable thread destroyed during unwinding ends the process.
    StoppeThreads();
    GibAllesFrei();
    throw;
  } catch (...) {
    StoppeThreads();
    GibAllesFrei();
    throw;
  }
}

Quelm_ParallelKern::~Quelm_ParallelKern() {
  StoppeThreads();
  Quelm_ParallelKern* ich = this;
  gKern.compare_exchange_strong(ich, nullptr);
  Protokolliere("Am Ende waren es %lld Alloks", static_cast<long long>(alloks.load()));
  GibAllesFrei();
}

void Quelm_ParallelKern::StoppeThreads() {
  // Stop orders queue behind the jobs already waiting, so those still run.
  for (std::size_t i = 0; i < parallelThreads.size(); ++i) parallelPlaner.Einreihen(nullptr, false);
  for (std::size_t i = 0; i < ioThreads.size(); ++i) ioPlaner.Einreihen(nullptr, false);
  for (auto& t : parallelThreads)
    if (t.joinable()) t.join();
  for (auto& t : ioThreads)
    if (t.joinable()) t.join();
  parallelThreads.clear();
  ioThreads.clear();
}

void Quelm_ParallelKern::GibAllesFrei() {
  // Jobs that never ran (kind 1 after the last turn, or queued behind the stop orders)
  // release what their callables hold.
  for (Quelm_Planer* planer : {&hauptPlaner, &parallelPlaner, &ioPlaner})
    planer->Leere([](Quelm_Faser* faser) { faser->koerper = nullptr; });
  Quelm_Faser* rest;
  while (pool.try_dequeue(rest)) {
  }
  zurueckgelegt_.store(0);
  std::lock_guard<std::mutex> halt(bereicheSperre);
  for (auto& [bereich, anzahl] : bereiche) Quelm_Faser::GibBloeckeFrei(bereich, anzahl);
  bereiche.clear();
}

Quelm_ParallelKern* Quelm_ParallelKern::Aktueller() { return gKern.load(std::memory_order_acquire); }

Quelm_FaserHandle Quelm_ParallelKern::NeueFaser(std::uint32_t art, std::function<void()> koerper) {
  Quelm_ParallelKern* kern = Aktueller();
  if (!kern) {
    MeldeAusnahme("Kein paralleler Kern gestartet", "Quelm_ParallelKern::NeueFaser", __FILE__, __LINE__);
    return {};
  }
  return kern->Einreichen(art, std::move(koerper));
}

Quelm_Planer* Quelm_ParallelKern::PlanerFuer(std::uint32_t art) {
  switch (art) {
    case Quelm_Faser::Hauptthread:
      return &hauptPlaner;
    case Quelm_Faser::Parallel:
      return &parallelPlaner;
    case Quelm_Faser::EinAusgabe:
      return &ioPlaner;
    default:
      return nullptr;
  }
}

Quelm_FaserHandle Quelm_ParallelKern::Einreichen(std::uint32_t art, std::function<void()>&& koerper) {
  Quelm_Planer* planer = PlanerFuer(art);
  if (!planer) {
    // Checked before taking a block: a job no queue serves would hold its block forever.
    MeldeAusnahme("Unbekannte Faser-Art " + std::to_string(art), "Quelm_ParallelKern::NeueFaser", __FILE__, __LINE__);
    return {};
  }
  Quelm_Faser* faser = HoleBlock();
  if (!faser) {
    MeldeAusnahme("Kein Speicher für einen Faser-Block", "Quelm_ParallelKern::NeueFaser", __FILE__, __LINE__);
    return {};
  }
  const std::uint64_t id = naechsteId.fetch_add(1);
  faser->art = art;
  faser->prioritaet = 0;
  faser->id.store(id, std::memory_order_relaxed);
  faser->koerper = std::move(koerper);
  faser->zustand.store(Quelm_Faser::Eingereiht, std::memory_order_relaxed);
  faser->BereiteKontextVor();
  planer->Einreihen(faser, false);
  return {faser, id};
}

namespace {
// The stack's head in one word: the top block and a count of pops. Blocks start on page
// boundaries below 2^47, which leaves the low 12 and the high 17 bits for the count.
constexpr std::uint64_t kZeigerBits = 0x00007FFFFFFFF000ull;

Quelm_Faser* Oben(std::uint64_t kopf) { return reinterpret_cast<Quelm_Faser*>(kopf & kZeigerBits); }

std::uint64_t Kopf(Quelm_Faser* oben, std::uint64_t alt, bool weiterzaehlen) {
  std::uint64_t zaehler = (alt & 0xFFF) | (alt >> 47) << 12;
  if (weiterzaehlen) ++zaehler;
  return reinterpret_cast<std::uint64_t>(oben) | (zaehler & 0xFFF) | (zaehler >> 12) << 47;
}
}  // namespace

void Quelm_ParallelKern::LegeZurueck(Quelm_Faser* faser) {
  std::uint64_t alt = zurueckgelegt_.load(std::memory_order_relaxed);
  do {
    faser->naechsterFreier = Oben(alt);
  } while (!zurueckgelegt_.compare_exchange_weak(alt, Kopf(faser, alt, false), std::memory_order_release,
                                                 std::memory_order_relaxed));
}

Quelm_Faser* Quelm_ParallelKern::NimmZurueckgelegten() {
  std::uint64_t alt = zurueckgelegt_.load(std::memory_order_acquire);
  for (;;) {
    Quelm_Faser* oben = Oben(alt);
    if (!oben) return nullptr;
    // `oben` may be taken and put back meanwhile: its link is then stale, but the count
    // has moved on and the exchange fails.
    if (zurueckgelegt_.compare_exchange_weak(alt, Kopf(oben->naechsterFreier, alt, true), std::memory_order_acquire,
                                             std::memory_order_acquire))
      return oben;
  }
}

Quelm_Faser* Quelm_ParallelKern::HoleBlock() {
  Quelm_Faser* faser = NimmZurueckgelegten();
  if (faser) return faser;
  if (pool.try_dequeue(faser)) return faser;
  char* block = Quelm_Faser::ReserviereBloecke(1);
  if (!block) return nullptr;
  try {
    std::lock_guard<std::mutex> halt(bereicheSperre);
    bereiche.emplace_back(block, 1);
  } catch (...) {
    Quelm_Faser::GibBloeckeFrei(block, 1);
    return nullptr;
  }
  alloks.fetch_add(1);
  return reinterpret_cast<Quelm_Faser*>(block);
}

void Quelm_ParallelKern::ArbeiterSchleife(Quelm_ArbeiterInfo& info) {
  while (!info.stop.load(std::memory_order_acquire)) {
    Quelm_Faser* faser = info.planer->Entnehmen();
    if (!faser) return;
    faser->FuehreAus();
    // Every job runs to its end in one go: its block goes back to the pool, on top.
    faser->Recycle();
    LegeZurueck(faser);
  }
}
