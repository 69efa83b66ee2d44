// Regeneration of the landscape for meshes of 100, 1 000 and 10 000 triangles: submitted
// to the workers, built there and handed back to the main thread, which uploads it on the
// recording device and swaps it in ("Arbeiter"); against the same refinement, colouring,
// noise and upload run inline on the main thread ("Inline"). "Hauptfaden" is the part of a
// regeneration that stays on the main thread: the upload and swap of the hand-back.
#include "BenchNetz.h"
#include "Landschaft.h"
#include "Quelm_Screen3D.h"
#include "Quelm_ZeichenKontext.h"
#include "Szene.h"
#include "d3d9/D3D9Steuerung.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <thread>

namespace {

using namespace Spiel;

std::vector<Dreieck> Netz(int dreiecke) {
  std::vector<Dreieck> netz;
  for (const auto& d : BenchNetz(dreiecke)) netz.push_back({{{d[0], d[1], d[2]}, {d[3], d[4], d[5]}, {d[6], d[7], d[8]}}});
  return netz;
}

struct Umgebung {
  std::shared_ptr<Plattform::D3D9::Steuerung> steuerung = std::make_shared<Plattform::D3D9::Steuerung>();
  std::unique_ptr<Quelm_ParallelKern> kern;
  Umgebung() {
    Plattform::D3D9::InstalliereSteuerung(steuerung, Plattform::D3D9::Backend::Aufzeichnung);
    Quelm_Screen3D::modus = {1280, 720, 0, 0};
    Quelm_Screen3D::zeichenKontext = new Quelm_ZeichenKontext();
    kern = std::make_unique<Quelm_ParallelKern>();
  }
  ~Umgebung() {
    kern.reset();
    delete Quelm_Screen3D::zeichenKontext;
    Quelm_Screen3D::zeichenKontext = nullptr;
    Plattform::D3D9::EntferneSteuerung();
  }
  // The main thread's turn: runs the hand-backs queued so far.
  void Hauptzug() {
    Quelm_ArbeiterInfo& info = kern->hauptInfos.front();
    Quelm_ParallelKern::NeueFaser(1, [&info] { info.stop = true; });
    kern->ArbeiterSchleife(info);
    info.stop = false;
  }
};

void Arbeiter(benchmark::State& state) {
  Umgebung u;
  Szene szene;
  szene.dreiecke = Netz(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    szene.veraendert = 1;
    szene.StarteGenerierung();
    while (szene.generierung.faser) {
      std::this_thread::yield();  // leave the core to the worker while waiting
      u.Hauptzug();
    }
    u.steuerung->LeereProtokoll();
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

// What the hand-back does on the main thread.
void TauscheEin(Szene& szene, std::vector<std::unique_ptr<LandschaftsTeil>>& teile) {
  std::vector<LandschaftsPuffer> neu = LadeLandschaftsPuffer(teile);
  std::swap(neu, szene.landschaft);
  GibLandschaftsPufferFrei(neu);
}

void Inline(benchmark::State& state) {
  Umgebung u;
  Szene szene;
  szene.dreiecke = Netz(static_cast<int>(state.range(0)));
  Zufall zufall(1);
  for (auto _ : state) {
    auto teile = ErzeugeLandschaftsTeile(szene.dreiecke, zufall);
    TauscheEin(szene, teile);
    u.steuerung->LeereProtokoll();
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

void Hauptfaden(benchmark::State& state) {
  Umgebung u;
  Szene szene;
  Zufall zufall(1);
  auto teile = ErzeugeLandschaftsTeile(Netz(static_cast<int>(state.range(0))), zufall);
  for (auto _ : state) {
    TauscheEin(szene, teile);
    u.steuerung->LeereProtokoll();
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

BENCHMARK(Arbeiter)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(Inline)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(Hauptfaden)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond)->UseRealTime();

}  // namespace
