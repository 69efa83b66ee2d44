#include <benchmark/benchmark.h>

#include "Dreno.h"
#include "TestBackend.h"
#include "WinInput.h"

namespace {

using namespace Plattform::Eingabe;

struct Sink : DRENO::InputHandler {
  long events = 0;
  bool OnKey(DRENO::Keyboard*, std::int32_t, bool) override { return ++events, false; }
  bool OnMouseButton(DRENO::Mouse*, std::uint64_t, bool) override { return ++events, false; }
  bool OnMouseWheel(DRENO::Mouse*, float) override { return ++events, false; }
};

// 64 records: 32 keys (press and release) and 32 mouse records (click, wheel).
template <class Deliver>
void SixtyFour(TestBackend& backend, Deliver deliver) {
  for (int i = 0; i < 16; ++i) {
    Datensatz key;
    TastenDatensatz(kTastatur, 30, true, key);
    deliver(key);
    TastenDatensatz(kTastatur, 30, false, key);
    deliver(key);
    deliver(MausDatensatz(kMaus, 0, 0x0001 | 0x0002, 0, 1, 1));
    deliver(MausDatensatz(kMaus, 0, RI_MOUSE_WHEEL, 120, 0, 0));
  }
  (void)backend;
}

struct Frame {
  TestBackend backend;
  Sink sink;
  DRENO::InputSystem* system;
  Frame() {
    DRENO::Initialize(reinterpret_cast<HWND>(&backend));
    backend.fenster = reinterpret_cast<HWND>(&backend);
    system = DRENO::GetInstance();
    system->SetInputHandler(&sink);
    system->Update();
  }
  ~Frame() { DRENO::Shutdown(); }
};

void BM_UpdateDrains64Buffered(benchmark::State& state) {
  Frame f;
  for (auto _ : state) {
    SixtyFour(f.backend, [](const Datensatz& s) { Puffere(s); });
    f.system->Update();
  }
  benchmark::DoNotOptimize(f.sink.events);
}

void BM_Peer64AsWindowMessages(benchmark::State& state) {
  Frame f;
  for (auto _ : state) {
    SixtyFour(f.backend, [&](const Datensatz& s) { f.backend.Nachricht(s); });
    f.system->Update();
  }
  benchmark::DoNotOptimize(f.sink.events);
}

void BM_PeerQueueOnly(benchmark::State& state) {
  Frame f;
  for (auto _ : state) {
    SixtyFour(f.backend, [](const Datensatz& s) { Puffere(s); });
    f.backend.zustand.puffer.clear();
  }
}

BENCHMARK(BM_UpdateDrains64Buffered);
BENCHMARK(BM_Peer64AsWindowMessages);
BENCHMARK(BM_PeerQueueOnly);

}  // namespace
