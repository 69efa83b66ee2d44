#pragma once
#include "Quelm_Faser.h"

#include <concurrentqueue.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

// What a submission hands back. The id tells the job it was handed out for from a later
// job in the same (recycled) block.
struct Quelm_FaserHandle {
  Quelm_Faser* faser = nullptr;
  std::uint64_t id = Quelm_Faser::kKeineId;
};

// One job queue: three priority deques under one mutex, a condition variable for the
// threads that wait for work. A thread that finds the queue empty first watches the count
// for a short while before it sleeps, and a push signals only when a thread sleeps: a
// steady stream of jobs then costs no system calls.
class Quelm_Planer {
 public:
  std::mutex sperre;
  std::condition_variable bedingung;
  std::deque<Quelm_Faser*> schlangen[3];

  // Set by the core when one thread alone serves this queue (the main thread's, the I/O
  // thread's): Entnehmen then takes everything queued under one lock and hands it out in
  // the same order.
  bool einzigerDiener = false;

  // Null is the stop order for one serving thread; it goes to priority 0.
  void Einreihen(Quelm_Faser* faser, bool vorne);
  // Waits while all deques are empty; null means stop.
  Quelm_Faser* Entnehmen();
  // Empties the queue, taken entries included, calling `verwerfen` on each job; only when
  // no thread serves it.
  void Leere(const std::function<void(Quelm_Faser*)>& verwerfen);

 private:
  void Sperre();
  Quelm_Faser* NimmVorderste();
  Quelm_Faser* NimmGenommenen();

  std::vector<Quelm_Faser*> genommen_;  // taken at once by the only serving thread
  std::size_t genommenPos_ = 0;

  std::atomic<std::size_t> anzahl_{0};  // entries in the deques; changed under `sperre`
  std::size_t schlaefer_ = 0;           // threads waiting on `bedingung`; under `sperre`
};

// One per serving thread (and one for the main thread's turn).
struct Quelm_ArbeiterInfo {
  Quelm_Planer* planer = nullptr;
  std::atomic<bool> stop{false};
};

// What the core asks of the operating system. The default asks the platform; tests hand
// in their own thread count and thread start.
struct Quelm_KernUmgebung {
  unsigned hardwareThreads = 1;
  std::function<std::thread(std::function<void()>)> starteThread;

  static Quelm_KernUmgebung VomBetriebssystem();
};

// The parallel execution core: runs jobs on pooled fibers, served by the main thread
// (kind 1, during its turn), the worker threads (kind 2) and one I/O thread (kind 3).
// Handles and job blocks are valid while the core lives.
class Quelm_ParallelKern {
 public:
  moodycamel::ConcurrentQueue<Quelm_Faser*> pool;
  Quelm_Planer hauptPlaner, parallelPlaner, ioPlaner;
  std::deque<Quelm_ArbeiterInfo> hauptInfos, parallelInfos, ioInfos;
  std::vector<std::thread> parallelThreads, ioThreads;
  std::atomic<std::uint64_t> naechsteId{0};
  std::atomic<std::uint64_t> alloks{0};

  static constexpr std::size_t kVorratBloecke = 1024;

  Quelm_ParallelKern();
  explicit Quelm_ParallelKern(const Quelm_KernUmgebung& umgebung);
  // Jobs queued for the workers and the I/O thread still run; kind-1 jobs not yet
  // served are dropped.
  ~Quelm_ParallelKern();

  Quelm_ParallelKern(const Quelm_ParallelKern&) = delete;
  Quelm_ParallelKern& operator=(const Quelm_ParallelKern&) = delete;

  // Submits a job to the running core, from any thread. Without a core, with an unknown
  // kind or without memory for a block: logged, and the handle holds no job.
  static Quelm_FaserHandle NeueFaser(std::uint32_t art, std::function<void()> koerper);

  // Serves the record's queue until its stop flag is set or a stop order arrives. The
  // body of every serving thread; the main thread runs it on hauptInfos.front() for its
  // turn, after queueing a kind-1 job that sets that record's stop flag.
  void ArbeiterSchleife(Quelm_ArbeiterInfo& info);

  // The running core, or null.
  static Quelm_ParallelKern* Aktueller();

 private:
  Quelm_FaserHandle Einreichen(std::uint32_t art, std::function<void()>&& koerper);
  Quelm_Faser* HoleBlock();
  Quelm_Planer* PlanerFuer(std::uint32_t art);
  void StarteThreads(const Quelm_KernUmgebung& umgebung);
  void StoppeThreads();
  void GibAllesFrei();

  // Recycled blocks, last in first out, in front of `pool`: the next job gets the block
  // that ran last, whose header and stack top are still in the cache. A lock-free stack
  // whose head word also counts the pops, so that a block taken and put back in between
  // is not mistaken for the old head.
  void LegeZurueck(Quelm_Faser* faser);
  Quelm_Faser* NimmZurueckgelegten();
  std::atomic<std::uint64_t> zurueckgelegt_{0};

  std::mutex bereicheSperre;
  std::vector<std::pair<char*, std::size_t>> bereiche;  // mapped block regions
};
