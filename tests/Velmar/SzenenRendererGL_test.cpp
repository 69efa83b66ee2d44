// The scene renderer on the OpenGL device under a virtual X server: the program's shader
// and effect files draw the lit mesh with its shadow over the clear colour.
#include "FilterVerwaltung.h"
#include "GlHilfen.h"
#include "ProtokollSammler.h"
#include "Quelm_Konsole.h"
#include "Quelm_Screen3D.h"
#include "Quelm_System.h"
#include "Quelm_ZeichenKontext.h"
#include "Szene.h"
#include "SzenenRenderer.h"
#include "fenster/Fenster.h"

#include <gtest/gtest.h>

namespace {

constexpr unsigned kBreite = 320, kHoehe = 240;

unsigned Kanal(std::uint32_t p, int k) { return p >> (16 - 8 * k) & 0xFF; }  // 0 red, 1 green, 2 blue

class SzenenRendererGL : public ::testing::Test {
 protected:
  void SetUp() override {
    AktiviereProtokoll(ordner.pfad());
    sammler = std::make_unique<ZeilenSammler>();
    Quelm_KonsolenVariable::Finde("debugShader")->SetzeBool(false);
    gSystem.programmVerzeichnis = VELMAR_QUELLE;
    Quelm_Screen3D::modus = {kBreite, kHoehe, 0, 0};
    Quelm_Screen3D::modusFlags = 0;
    Quelm_Screen3D::fenster = fenster.glfw();
    Quelm_Screen3D::nativesFenster = Plattform::Fenster::HandleVon(fenster.glfw());
    kontext = new Quelm_ZeichenKontext();
    Quelm_Screen3D::zeichenKontext = kontext;
    ASSERT_TRUE(kontext->HatGeraet());
    sammler->zeilen.clear();
  }
  void TearDown() override {
    delete kontext;
    Quelm_Screen3D::zeichenKontext = nullptr;
    Quelm_Screen3D::nativesFenster = nullptr;
    Quelm_Screen3D::fenster = nullptr;
    Quelm_KonsolenVariable::Finde("debugShader")->SetzeBool(true);
  }

  TempOrdner ordner;
  std::unique_ptr<ZeilenSammler> sammler;
  GlTest::VerstecktesFenster fenster{kBreite, kHoehe};
  Quelm_ZeichenKontext* kontext = nullptr;
};

// A shadowed pixel of the mesh: green, lit by the ambient colour only.
bool Schatten(std::uint32_t p) { return Kanal(p, 1) > 60 && Kanal(p, 1) < 130 && Kanal(p, 0) < 50 && Kanal(p, 2) < 70; }

TEST_F(SzenenRendererGL, BeleuchtetesNetzMitSchattenUeberDerHintergrundfarbe) {
  std::size_t schatten[2] = {};
  GlTest::Pixelbild bilder[2];
  for (int mitDach = 0; mitDach < 2; ++mitDach) {
    Spiel::Szene szene;
    szene.dreiecke.push_back({{{-60, 0, 60}, {0, 0, -60}, {60, 0, 60}}});
    // A roof above the ground: its shadow falls along the light, towards +x and +z.
    if (mitDach) szene.dreiecke.push_back({{{-40, 40, -10}, {-30, 40, -30}, {-20, 40, -10}}});
    szene.BaueNetz();
    Spiel::SzenenRenderer renderer;
    Spiel::FilterSatz satz;
    satz.AddFilter(renderer.filterVerwaltung.FindeEffekt("pause"), 0);
    Spiel::FilterVerwaltung::BerechneFilterkette(satz);
    renderer.Zeichne(szene, {0, 0, 0}, 200, 2.8274333f - 200 * 0.002199115f, satz, 1);
    bilder[mitDach] = GlTest::LiesRueckpuffer(kontext->impl.geraet.get());
    for (std::uint32_t p : bilder[mitDach].px) schatten[mitDach] += Schatten(p);
    satz.LeereKette();
  }
  EXPECT_TRUE(sammler->Texte().empty()) << ::testing::PrintToString(sammler->Texte());
  for (const GlTest::Pixelbild& b : bilder) {
    // The clear colour (0.1, 0.3, 0.5) in the corners, the lit green mesh at the centre.
    EXPECT_TRUE(GlTest::Nahe(b(0, 0) | 0xFF000000u, 0xFF1A4D80u, 2)) << std::hex << b(0, 0);
    EXPECT_TRUE(GlTest::Nahe(b(kBreite - 1, kHoehe - 1) | 0xFF000000u, 0xFF1A4D80u, 2));
    const std::uint32_t mitte = b(kBreite / 2, kHoehe / 2);
    EXPECT_GT(Kanal(mitte, 1), 200u) << std::hex << mitte;
    EXPECT_LT(Kanal(mitte, 0), Kanal(mitte, 1) / 2) << std::hex << mitte;
  }
  EXPECT_EQ(schatten[0], 0u);
  EXPECT_GT(schatten[1], 100u);
}

}  // namespace
