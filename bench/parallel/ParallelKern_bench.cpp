// Jobs per second of the parallel execution core against a plain thread pool (one
// mutex-guarded deque of std::function, one condition variable) and against oneTBB's task
// group in an arena, all with the same number of workers, for empty jobs and jobs of about
// 3 and 30 microseconds; one thread's way per job against a plain queue; and one fiber
// switch against one thread hand-over. oneTBB is linked here only, as a peer.
#include "Quelm_ParallelKern.h"

#include <benchmark/benchmark.h>
#include <oneapi/tbb/task_arena.h>
#include <oneapi/tbb/task_group.h>

#include <chrono>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace {

constexpr unsigned kArbeiter = 4;  // the machine is shared: a fixed, equal count for both
constexpr int kStapel = 512;       // jobs in flight per iteration (below the 1024 blocks)

void Arbeit(std::int64_t schritte) {
  std::uint64_t x = 1;
  for (std::int64_t i = 0; i < schritte; ++i) {
    x = x * 6364136223846793005ull + 1442695040888963407ull;
    benchmark::DoNotOptimize(x);
  }
}

// Steps of Arbeit for the given microseconds, measured once on this machine.
std::int64_t Schritte(std::int64_t mikro) {
  static const double proMikro = [] {
    constexpr std::int64_t n = 20'000'000;
    const auto start = std::chrono::steady_clock::now();
    Arbeit(n);
    const std::chrono::duration<double, std::micro> dauer = std::chrono::steady_clock::now() - start;
    return n / dauer.count();
  }();
  return static_cast<std::int64_t>(proMikro * static_cast<double>(mikro));
}

// Counts finished jobs of one batch; lives as long as the benchmark, so a late notify
// never touches a dead object.
struct Zaehler {
  std::atomic<int> offen{0};
  void Fertig() {
    if (offen.fetch_sub(1, std::memory_order_acq_rel) == 1) offen.notify_one();
  }
  void Warte() {
    for (int v = offen.load(std::memory_order_acquire); v != 0; v = offen.load(std::memory_order_acquire))
      offen.wait(v);
  }
};

class EinfacherPool {
 public:
  explicit EinfacherPool(unsigned n) {
    for (unsigned i = 0; i < n; ++i) threads_.emplace_back([this] { Schleife(); });
  }
  ~EinfacherPool() {
    {
      std::lock_guard<std::mutex> halt(sperre_);
      ende_ = true;
    }
    bedingung_.notify_all();
    for (auto& t : threads_) t.join();
  }
  void Einreihen(std::function<void()> job) {
    {
      std::lock_guard<std::mutex> halt(sperre_);
      schlange_.push_back(std::move(job));
    }
    bedingung_.notify_one();
  }

 private:
  void Schleife() {
    for (;;) {
      std::function<void()> job;
      {
        std::unique_lock<std::mutex> halt(sperre_);
        bedingung_.wait(halt, [this] { return ende_ || !schlange_.empty(); });
        if (schlange_.empty()) return;
        job = std::move(schlange_.front());
        schlange_.pop_front();
      }
      job();
    }
  }
  std::mutex sperre_;
  std::condition_variable bedingung_;
  std::deque<std::function<void()>> schlange_;
  std::vector<std::thread> threads_;
  bool ende_ = false;
};

Quelm_KernUmgebung Umgebung() {
  Quelm_KernUmgebung umgebung = Quelm_KernUmgebung::VomBetriebssystem();
  umgebung.hardwareThreads = kArbeiter;
  return umgebung;
}

// Argument: microseconds of work per job.
void Kern_ParalleleJobs(benchmark::State& state) {
  Zaehler zaehler;  // outlives the core: the last job may still be inside Fertig
  Quelm_ParallelKern kern(Umgebung());
  const std::int64_t arbeit = Schritte(state.range(0));
  for (auto _ : state) {
    zaehler.offen = kStapel;
    for (int i = 0; i < kStapel; ++i)
      Quelm_ParallelKern::NeueFaser(Quelm_Faser::Parallel, [&zaehler, arbeit] {
        Arbeit(arbeit);
        zaehler.Fertig();
      });
    zaehler.Warte();
  }
  state.SetItemsProcessed(state.iterations() * kStapel);
}
BENCHMARK(Kern_ParalleleJobs)->Arg(0)->Arg(3)->Arg(30)->UseRealTime();

void Pool_ParalleleJobs(benchmark::State& state) {
  Zaehler zaehler;
  EinfacherPool pool(kArbeiter);
  const std::int64_t arbeit = Schritte(state.range(0));
  for (auto _ : state) {
    zaehler.offen = kStapel;
    for (int i = 0; i < kStapel; ++i)
      pool.Einreihen([&zaehler, arbeit] {
        Arbeit(arbeit);
        zaehler.Fertig();
      });
    zaehler.Warte();
  }
  state.SetItemsProcessed(state.iterations() * kStapel);
}
BENCHMARK(Pool_ParalleleJobs)->Arg(0)->Arg(3)->Arg(30)->UseRealTime();

// oneTBB: the batch goes into a task group of an arena with as many workers; the submitting
// thread waits outside the arena, as the engine's main thread does.
void Tbb_ParalleleJobs(benchmark::State& state) {
  Zaehler zaehler;
  tbb::task_arena arena(static_cast<int>(kArbeiter), 0);
  tbb::task_group gruppe;
  const std::int64_t arbeit = Schritte(state.range(0));
  for (auto _ : state) {
    zaehler.offen = kStapel;
    arena.enqueue([&] {
      for (int i = 0; i < kStapel; ++i)
        gruppe.run([&zaehler, arbeit] {
          Arbeit(arbeit);
          zaehler.Fertig();
        });
    });
    zaehler.Warte();
  }
  arena.execute([&] { gruppe.wait(); });
  state.SetItemsProcessed(state.iterations() * kStapel);
}
BENCHMARK(Tbb_ParalleleJobs)->Arg(0)->Arg(3)->Arg(30)->UseRealTime();

// The whole way of one job through the core on one thread (submit, queue, switch in and
// out, recycle): kind-1 jobs served in a main-thread turn.
void Kern_HauptZugJobs(benchmark::State& state) {
  Quelm_ParallelKern kern(Umgebung());
  Quelm_ArbeiterInfo& info = kern.hauptInfos.front();
  std::int64_t summe = 0;
  for (auto _ : state) {
    for (int i = 0; i < kStapel; ++i) Quelm_ParallelKern::NeueFaser(Quelm_Faser::Hauptthread, [&summe] { ++summe; });
    Quelm_ParallelKern::NeueFaser(Quelm_Faser::Hauptthread, [&info] { info.stop = true; });
    kern.ArbeiterSchleife(info);
    info.stop = false;
  }
  benchmark::DoNotOptimize(summe);
  state.SetItemsProcessed(state.iterations() * kStapel);
}
BENCHMARK(Kern_HauptZugJobs);

// The same on one thread with the plain queue: push, pop, call.
void Pool_EinThreadJobs(benchmark::State& state) {
  std::mutex sperre;
  std::deque<std::function<void()>> schlange;
  std::int64_t summe = 0;
  for (auto _ : state) {
    for (int i = 0; i < kStapel; ++i) {
      std::lock_guard<std::mutex> halt(sperre);
      schlange.push_back([&summe] { ++summe; });
    }
    for (;;) {
      std::function<void()> job;
      {
        std::lock_guard<std::mutex> halt(sperre);
        if (schlange.empty()) break;
        job = std::move(schlange.front());
        schlange.pop_front();
      }
      job();
    }
  }
  benchmark::DoNotOptimize(summe);
  state.SetItemsProcessed(state.iterations() * kStapel);
}
BENCHMARK(Pool_EinThreadJobs);

// One iteration is two fiber switches: into the fiber and back.
void Gegenueber(boost::context::detail::transfer_t von) {
  for (;;) von = boost::context::detail::jump_fcontext(von.fctx, nullptr);
}

void Faser_Wechsel(benchmark::State& state) {
  char* block = Quelm_Faser::ReserviereBloecke(1);
  auto* faser = reinterpret_cast<Quelm_Faser*>(block);
  boost::context::detail::transfer_t t{
      boost::context::detail::make_fcontext(faser->Stapel() + Quelm_Faser::kStapelGroesse,
                                            Quelm_Faser::kStapelGroesse, &Gegenueber),
      nullptr};
  for (auto _ : state) t = boost::context::detail::jump_fcontext(t.fctx, nullptr);
  state.counters["ns_pro_Wechsel"] =
      benchmark::Counter(static_cast<double>(state.iterations()) * 2 * 1e-9,
                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  Quelm_Faser::GibBloeckeFrei(block, 1);
}
BENCHMARK(Faser_Wechsel);

// One iteration is two thread hand-overs through a mutex and condition variable, the
// way a plain pool wakes a worker.
void Thread_Wechsel(benchmark::State& state) {
  std::mutex sperre;
  std::condition_variable bedingung;
  int zug = 0;  // 0: main thread's turn, 1: partner's, 2: end
  std::thread partner([&] {
    std::unique_lock<std::mutex> halt(sperre);
    for (;;) {
      bedingung.wait(halt, [&] { return zug != 0; });
      if (zug == 2) return;
      zug = 0;
      bedingung.notify_one();
    }
  });
  {
    std::unique_lock<std::mutex> halt(sperre);
    for (auto _ : state) {
      zug = 1;
      bedingung.notify_one();
      bedingung.wait(halt, [&] { return zug == 0; });
    }
    zug = 2;
  }
  bedingung.notify_one();
  partner.join();
  state.counters["ns_pro_Wechsel"] =
      benchmark::Counter(static_cast<double>(state.iterations()) * 2 * 1e-9,
                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(Thread_Wechsel)->UseRealTime();

}  // namespace
