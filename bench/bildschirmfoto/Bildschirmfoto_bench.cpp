// One frame (clear, present) with and without the screenshot that F10 takes before the
// present, at 1920x1080 through the render context on the OpenGL device.
#include "Anwendung.h"
#include "GlBenchFenster.h"
#include "Praesentation.h"
#include "Quelm_System.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>

namespace {

namespace fs = std::filesystem;

struct Umgebung {
  GlBenchFenster gl{1920, 1080};
  fs::path ordner;
  Umgebung() {
    char muster[] = "/tmp/velmar-foto-XXXXXX";
    ordner = mkdtemp(muster);
    gSystem.benutzerVerzeichnis = ordner;
  }
  ~Umgebung() { fs::remove_all(ordner); }
};

Umgebung& U() {
  static Umgebung u;
  return u;
}

void Bild(Quelm_ZeichenKontextImplDX9& impl) {
  impl.geraet->BeginScene();
  impl.geraet->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF1A4D80u, 1.0f, 0);
  impl.geraet->EndScene();
}

void BM_Bild(benchmark::State& state) {
  Quelm_ZeichenKontextImplDX9& impl = U().gl.kontext->impl;
  for (auto _ : state) {
    Bild(impl);
    Spiel::Praesentiere(impl);
  }
}

void BM_BildMitF10(benchmark::State& state) {
  Umgebung& u = U();
  Quelm_ZeichenKontextImplDX9& impl = u.gl.kontext->impl;
  const fs::path foto = u.ordner / "screenshots" / "screenshot0000.png";
  for (auto _ : state) {
    Bild(impl);
    if (!Spiel::Anwendung::SpeichereBildschirmfoto()) state.SkipWithError("no screenshot");
    Spiel::Praesentiere(impl);
    state.PauseTiming();
    fs::remove(foto);  // every frame finds the same first free name
    state.ResumeTiming();
  }
}

BENCHMARK(BM_Bild)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BildMitF10)->Unit(benchmark::kMillisecond);

}  // namespace
