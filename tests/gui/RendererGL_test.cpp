// A label drawn by the simple renderer on the OpenGL device under Xvfb and read back.
#include "GlKontextTest.h"
#include "Oberflaeche.h"
#include "Quelm_Bild.h"
#include "Quelm_BlockGfx3D.h"
#include "Quelm_Font3D.h"
#include "Quelm_Zeitgeber.h"
#include "Renderer.h"
#include "Seite.h"

#include <cmath>

namespace {

class Etikett : public GlKontextTest {
 protected:
  Etikett() : GlKontextTest(640, 480) {}
  void SetUp() override {
    GlKontextTest::SetUp();
    if (HasFatalFailure()) return;
    Quelm_Bild weiss(16, 16, PXFMT_A8R8G8B8);
    std::fill_n(reinterpret_cast<std::uint32_t*>(weiss.daten), 256, 0xFFFFFFFFu);
    skin = std::make_unique<Quelm_BlockGfx3D>(1024, 1000, 0);
    ASSERT_TRUE(skin->AddGrafik(0, &weiss, 0, 0, 16, 16));
    font.reset(Quelm_Font3D::LadeTrueType(VELMAR_DATEN "/calibrib.ttf"));
    ASSERT_TRUE(font);
    font->autoZeichnen = 0;
    gZeitgeber.zeit = static_cast<TZeit>(100 * Quelm_TicksProSekundeD);
    oberflaeche = std::make_unique<Gui::Oberflaeche>("");
    text = new Gui::Text("Hallo Welt");
    oberflaeche->Hinzufuegen(text);
    text->SetzePosition({100, 100, 0}, false);
    text->SetzeGroesse({300, 80, 0}, false);
  }
  void TearDown() override {
    oberflaeche.reset();
    font.reset();
    skin.reset();
    gZeitgeber.eintraege.clear();
    GlKontextTest::TearDown();
  }
  // The frame drawn over the background with the label shown `vor` seconds ago.
  GlTest::Pixelbild Zeichne(double vor) {
    text->zeigZeit = gZeitgeber.zeit - static_cast<TZeit>(vor * Quelm_TicksProSekundeD);
    kontext->SetRenderZiel(nullptr);
    kontext->Leeren(3, 0.2f, 0.4f, 0.6f, 1);
    Gui::SimpelRenderer renderer(skin.get(), font.get());
    Gui::ZeichneDurchgang(*oberflaeche, renderer);
    return GlTest::LiesRueckpuffer(kontext->impl.geraet.get());
  }
  std::unique_ptr<Quelm_BlockGfx3D> skin;
  std::unique_ptr<Quelm_Font3D> font;
  std::unique_ptr<Gui::Oberflaeche> oberflaeche;
  Gui::Text* text = nullptr;
};

// The box over the background: alpha 0.7 a of a 0.2 grey, premultiplied.
bool Kasten(std::uint32_t p, float a) {
  const float grund[3] = {0.6f, 0.4f, 0.2f};  // blue, green, red from the low byte up
  for (int k = 0; k < 3; ++k) {
    const float erwartet = 0.2f * 0.7f * a + (1 - 0.7f * a) * grund[k];
    if (std::fabs(static_cast<float>(p >> (8 * k) & 0xFF) / 255 - erwartet) > 2.0f / 255) return false;
  }
  return true;
}

TEST_F(Etikett, KastenUeberDemGrundWeisseSchriftInnenHalbeBlendeNachAchtelSekunde) {
  for (auto [vor, alpha] : {std::pair{10.0, 1.0f}, {0.125, 0.5f}}) {
    const GlTest::Pixelbild b = Zeichne(vor);
    // The atlas filter softens the graphic's last texels: the exact tint is checked inside.
    for (auto [x, y] : {std::pair{100u, 100u}, {388u, 104u}, {104u, 168u}, {388u, 168u}, {101u, 140u}})
      EXPECT_TRUE(Kasten(b(x, y), alpha)) << x << "," << y << " " << std::hex << b(x, y);
    for (auto [x, y] : {std::pair{399u, 140u}, {250u, 179u}}) EXPECT_FALSE(Kasten(b(x, y), 0)) << x << "," << y;
    EXPECT_TRUE(Kasten(b(99, 140), 0) && Kasten(b(400, 140), 0) && Kasten(b(250, 99), 0) && Kasten(b(250, 180), 0));
    // Glyph pixels at full alpha are white, and all lie inside the text rectangle.
    std::size_t weiss = 0, draussen = 0;
    for (unsigned y = 0; y < b.hoehe; ++y)
      for (unsigned x = 0; x < b.breite; ++x) {
        const std::uint32_t p = b(x, y);
        const bool hell = (p & 0xFF) > 200 && (p >> 8 & 0xFF) > 200 && (p >> 16 & 0xFF) > 200;
        const bool innen = x >= 102 && x < 398 && y >= 102 && y < 178;
        weiss += hell && innen;
        draussen += hell && !innen;
      }
    EXPECT_EQ(weiss > 100, alpha == 1.0f) << weiss;
    EXPECT_EQ(draussen, 0u);
  }
}

}  // namespace
