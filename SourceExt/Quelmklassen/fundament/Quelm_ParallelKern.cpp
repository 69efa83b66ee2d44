#include "Quelm_ParallelKern.h"

#include "Basisdienste.h"
#include "Quelm_Ausnahme.h"
#include "Quelm_Protokolliere.h"

#include <algorithm>
#include <exception>

namespace {
std::atomic<Quelm_ParallelKern*> gKern{nullptr};
}

// --- Quelm_Planer -------------------------------------------------------------------

void Quelm_Planer::Einreihen(Quelm_Faser* faser, bool vorne) {
  {
    std::lock_guard<std::mutex> halt(sperre);
    auto& schlange = schlangen[faser ? std::min<std::uint32_t>(faser->prioritaet, 2) : 0];
    if (vorne)
      schlange.push_front(faser);
    else
      schlange.push_back(faser);
  }
  bedingung.notify_one();
}

Quelm_Faser* Quelm_Planer::Entnehmen() {
  std::unique_lock<std::mutex> halt(sperre);
  for (;;) {
    for (int p = 2; p >= 0; --p) {
      if (!schlangen[p].empty()) {
        Quelm_Faser* faser = schlangen[p].front();
        schlangen[p].pop_front();
        return faser;
      }
    }
    bedingung.wait(halt);
  }
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

  hauptInfos.emplace_back().planer = &hauptPlaner;
  for (unsigned i = 0; i < n; ++i) parallelInfos.emplace_back().planer = &parallelPlaner;
  ioInfos.emplace_back().planer = &ioPlaner;

  StarteThreads(umgebung);
  gKern.store(this, std::memory_order_release);
}

void Quelm_ParallelKern::StarteThreads(const Quelm_KernUmgebung& umgebung) {
  auto starte = [this, &umgebung](Quelm_ArbeiterInfo& info) {
    std::function<void()> koerper = [this, &info] { ArbeiterSchleife(info); };
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
  for (Quelm_Planer* planer : {&hauptPlaner, &parallelPlaner, &ioPlaner}) {
    std::lock_guard<std::mutex> halt(planer->sperre);
    for (auto& schlange : planer->schlangen) {
      for (Quelm_Faser* faser : schlange)
        if (faser) faser->koerper = nullptr;
      schlange.clear();
    }
  }
  Quelm_Faser* rest;
  while (pool.try_dequeue(rest)) {
  }
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

Quelm_Faser* Quelm_ParallelKern::HoleBlock() {
  Quelm_Faser* faser = nullptr;
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
    // Every job runs to its end in one go: its block goes back to the pool.
    faser->Recycle();
    pool.enqueue(faser);
  }
}
