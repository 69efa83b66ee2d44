// A full console page of text against the same number of plain sprites, drawn through the
// render context on the OpenGL device (run under a display: scripts/mit_xvfb.sh).
// Both end with glFinish, so the time includes the device's work.
#include <epoxy/gl.h>

#include "GlBenchFenster.h"
#include "Quelm_Bild.h"
#include "Quelm_BlockGfx3D.h"
#include "Quelm_Font3D.h"
#include "Quelm_Konsole.h"
#include "Quelm_Screen3D.h"
#include "Quelm_ZeichenKontext.h"
#include "fenster/Fenster.h"

#include <GLFW/glfw3.h>
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

namespace {

constexpr int kZeilen = 16;  // 400 pixels of 24-pixel lines
const std::string kZeile =
    "0012:345678 (t1a2b): Quelm_BlockGfx3D::AddGrafik: Atlas waechst auf 1024, alle Grafiken neu gepackt.";

struct Umgebung {
  GlBenchFenster gl{1280, 480};
  Quelm_ZeichenKontext* kontext = gl.kontext;
  std::unique_ptr<Quelm_Font3D> font;
  std::unique_ptr<Quelm_BlockGfx3D> atlas;
  std::size_t glyphen = 0;

  Umgebung() {
    font.reset(Quelm_Font3D::LadeTrueType(VELMAR_DATEN "/calibrib.ttf"));
    font->autoZeichnen = 0;
    atlas = std::make_unique<Quelm_BlockGfx3D>(64, 4096, 0);
    Quelm_Bild weiss(16, 16);
    atlas->AddGrafik(0, &weiss, 0, 0, 16, 16);
    for (const char* p = kZeile.c_str(); const std::uint32_t c = Quelm::NaechstesZeichen(p);)
      glyphen += font->HatGlyphe(c) ? kZeilen : 0;
  }
};

Umgebung& U() {
  static Umgebung u;
  return u;
}

void BM_KonsolenseiteText(benchmark::State& state) {
  Umgebung& u = U();
  for (auto _ : state) {
    for (int z = 0; z < kZeilen; ++z) u.font->Schreibe(5, static_cast<float>(376 - 24 * z), kZeile.c_str());
    u.font->Zeichne();
    glFinish();
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * u.glyphen));
}

void BM_GleichVieleSprites(benchmark::State& state) {
  Umgebung& u = U();
  const float farbe[4] = {1, 1, 1, 1};
  for (auto _ : state) {
    for (std::size_t i = 0; i < u.glyphen; ++i)
      u.atlas->ZeichneGrafik(0, static_cast<float>(i % 100) * 12.0f, static_cast<float>(i / 100) * 24.0f, farbe, 10, 20, 0);
    u.atlas->Zeichne();
    glFinish();
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * u.glyphen));
}

BENCHMARK(BM_KonsolenseiteText)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_GleichVieleSprites)->Unit(benchmark::kMicrosecond);

}  // namespace
