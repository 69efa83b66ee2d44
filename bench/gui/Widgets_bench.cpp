// 1000 labels (25 rows of 40 in a column of row pages) laid out and drawn by the simple
// renderer, against an empty widget frame, on the OpenGL device (run under a display:
// scripts/mit_xvfb.sh). Every frame ends with glFinish, so the device's work counts too.
#include <epoxy/gl.h>

#include "Anordnung.h"
#include "GlBenchFenster.h"
#include "Oberflaeche.h"
#include "Quelm_Bild.h"
#include "Quelm_BlockGfx3D.h"
#include "Quelm_Font3D.h"
#include "Quelm_Zeitgeber.h"
#include "Renderer.h"
#include "Seite.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <string>

namespace {

struct Umgebung {
  GlBenchFenster gl{1280, 720};
  Quelm_ZeichenKontext* kontext = gl.kontext;
  std::unique_ptr<Quelm_Font3D> font;
  std::unique_ptr<Quelm_BlockGfx3D> skin;
  std::unique_ptr<Gui::SimpelRenderer> renderer;

  Umgebung() {
    font.reset(Quelm_Font3D::LadeTrueType(VELMAR_DATEN "/calibrib.ttf"));
    font->autoZeichnen = 0;
    skin = std::make_unique<Quelm_BlockGfx3D>(1024, 1000, 0);
    Quelm_Bild weiss(16, 16);
    std::fill_n(reinterpret_cast<std::uint32_t*>(weiss.daten), 256, 0xFFFFFFFFu);
    skin->AddGrafik(0, &weiss, 0, 0, 16, 16);
    renderer = std::make_unique<Gui::SimpelRenderer>(skin.get(), font.get());
  }
};

Umgebung& U() {
  static Umgebung u;
  return u;
}

// A surface with `zeilen` rows of 40 labels; the labels' size comes from the properties.
std::unique_ptr<Gui::Oberflaeche> Seite(int zeilen) {
  auto o = std::make_unique<Gui::Oberflaeche>("");
  o->eigenschaften["elmAbstand.x"].Setze(2.0f);
  o->eigenschaften["elmAbstand.y"].Setze(2.0f);
  o->eigenschaften["text.groesse.x"].Setze(28.0f);
  o->eigenschaften["text.groesse.y"].Setze(24.0f);
  auto* spalte = new Gui::Seite;
  o->Hinzufuegen(spalte);
  spalte->SetzeGroesse({1280, 720, 0}, false);
  spalte->SetzePosition({0, 0, 0}, false);
  spalte->SetzeAnordnung(new Gui::Anordnung(1, 0.5f, 0.5f));
  for (int z = 0; z < zeilen; ++z) {
    auto* zeile = new Gui::Seite;
    zeile->SetzeAnordnung(new Gui::Anordnung(0, 0.5f, 0.5f));
    spalte->Hinzufuegen(zeile);
    for (int s = 0; s < 40; ++s) {
      auto* t = new Gui::Text(std::to_string(z * 40 + s));
      t->dehnung = {1, 1, 0};
      t->zeigZeit -= static_cast<TZeit>(10 * Quelm_TicksProSekundeD);
      zeile->Hinzufuegen(t);
    }
    zeile->dehnung = {1, 0, 0};
  }
  return o;
}

void Bild(benchmark::State& state, int zeilen, bool ordnen) {
  Umgebung& u = U();
  auto o = Seite(zeilen);
  const TZeit schritt = static_cast<TZeit>(0.016 * Quelm_TicksProSekundeD);
  gZeitgeber.FeuereFaellige(schritt);
  for (auto _ : state) {
    if (ordnen) o->OrdneNeu();
    gZeitgeber.FeuereFaellige(schritt);
    u.kontext->SetRenderZiel(nullptr);
    u.kontext->Leeren(3, 0.1f, 0.3f, 0.5f, 1);
    Gui::ZeichneDurchgang(*o, *u.renderer);
    glFinish();
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * zeilen * 40);
}

void BM_LeeresBild(benchmark::State& state) { Bild(state, 0, false); }
void BM_TausendEtikettenZeichnen(benchmark::State& state) { Bild(state, 25, false); }
void BM_TausendEtikettenOrdnenUndZeichnen(benchmark::State& state) { Bild(state, 25, true); }

BENCHMARK(BM_LeeresBild)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_TausendEtikettenZeichnen)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_TausendEtikettenOrdnenUndZeichnen)->Unit(benchmark::kMicrosecond);

}  // namespace
