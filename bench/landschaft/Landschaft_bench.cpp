// Regeneration of the landscape for meshes of 100, 1 000 and 10 000 triangles: submitted
// to the workers, built there and handed back to the main thread, which uploads it on the
// recording device and swaps it in ("Arbeiter"); against the same refinement, colouring,
// noise and upload run inline on the main thread ("Inline"). "Hauptfaden" is the part of a
// regeneration that stays on the main thread: the upload and swap of the hand-back.
#include "Landschaft.h"
#include "Quelm_Screen3D.h"
#include "Quelm_ZeichenKontext.h"
#include "Szene.h"
#include "d3d9/D3D9Steuerung.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <random>
#include <thread>

namespace {

using namespace Spiel;

// A jittered grid of steep and flat cells, two triangles per cell.
std::vector<Dreieck> Netz(int dreiecke) {
  std::mt19937 rng(1);
  std::uniform_real_distribution<float> h(-20, 20);
  std::vector<Dreieck> netz;
  for (int i = 0; static_cast<int>(netz.size()) < dreiecke; ++i) {
    const float x = 10.0f * (i % 100), z = 10.0f * (i / 100);
    const Vektor3 a{x, h(rng), z}, b{x + 10, h(rng), z}, c{x, h(rng), z + 10}, d{x + 10, h(rng), z + 10};
    netz.push_back({{a, d, b}});
    if (static_cast<int>(netz.size()) < dreiecke) netz.push_back({{a, c, d}});
  }
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
