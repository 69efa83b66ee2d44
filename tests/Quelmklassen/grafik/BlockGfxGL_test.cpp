// Sprites, text and the console overlay drawn on the OpenGL device under Xvfb and read back.
#include "GlKontextTest.h"
#include "Quelm_Bild.h"
#include "Quelm_BlockGfx3D.h"
#include "Quelm_Font3D.h"
#include "Quelm_KonsoleStandardAnzeige.h"

#include <gtest/gtest.h>

namespace {

class Zeichnen : public GlKontextTest {
 protected:
  Zeichnen() : GlKontextTest(640, 480) {}
  void SetUp() override {
    GlKontextTest::SetUp();
    if (HasFatalFailure()) return;
    kontext->SetRenderZiel(nullptr);
    kontext->Leeren(3, 0, 0, 0, 1);
  }

  static bool Tinte(int r, int g, int b) { return r + g + b > 96; }
};

TEST_F(Zeichnen, SpriteLiegtAufDenPixelnGenau) {
  Quelm_BlockGfx3D atlas(64, 16, 0);
  Quelm_Bild rot(8, 6, PXFMT_A8R8G8B8);
  for (std::uint64_t i = 0; i < 48; ++i) reinterpret_cast<std::uint32_t*>(rot.daten)[i] = 0xFFFF0000u;
  ASSERT_TRUE(atlas.AddGrafik(0, &rot, 0, 0, 8, 6));
  atlas.ZeichneGrafik(0, 10, 20, {1, 1, 1, 1}, 0, 0, 0);
  atlas.ZeichneGrafik(0, 30, 40, {0, 1, 1, 1}, 16, 12, 0);  // colour times the texel: black
  atlas.Zeichne();
  const GlTest::Pixelbild b = Lies();
  // Every pixel of the 8 x 6 rectangle is mostly red, none outside it is lit. (Mesa's
  // anisotropic filter blends a little of the next mip level into the last texel row and
  // column; the colour of the rest is exact.)
  const std::array<unsigned, 4> rechteck{10, 20, 18, 26};
  EXPECT_EQ(b.Umriss([](int r, int g, int bl) { return r > 0x80 && g == 0 && bl == 0; }), rechteck);
  EXPECT_EQ(b.Umriss([](int r, int g, int bl) { return r + g + bl > 0; }), rechteck);
  EXPECT_EQ(b(16, 24) & 0xFFFFFFu, 0xFF0000u);
}

// The TrueType font as drawn under Xvfb.
std::unique_ptr<Quelm_Font3D> Calibri() {
  return std::unique_ptr<Quelm_Font3D>(Quelm_Font3D::LadeTrueType(VELMAR_DATEN "/calibrib.ttf"));
}

TEST_F(Zeichnen, GezeichneteBreiteIstDieGemessene) {
  const auto font = Calibri();
  ASSERT_TRUE(font);
  for (const char* text : {"Velmar", "MMMM WWWW", "Zwölf Äpfel"}) {
    kontext->Leeren(3, 0, 0, 0, 1);
    font->Schreibe(40, 100, text);
    const auto r = Lies().Umriss(Tinte);
    // Ink runs from the first glyph's left edge to the last one's right edge: the measured
    // width less the spacing after the last glyph, within the side bearings.
    const float breite = font->GetTextBreite(text) - font->groesse * font->abstand;
    EXPECT_NEAR(static_cast<float>(r[2] - r[0]), breite, 3.0f) << text;
    EXPECT_NEAR(static_cast<float>(r[0]), 40.0f, 2.0f) << text;
  }
}

TEST_F(Zeichnen, UmbrochenerTextBleibtImRahmenUndEndetMitAuslassung) {
  const auto font = Calibri();
  ASSERT_TRUE(font);
  font->SchreibeInRahmen(20, 30, 200, 50, "Die Landschaft wächst im Hintergrund, während die Kanten geglättet werden");
  ASSERT_EQ(font->zeilenAnfaenge.size(), 2u);
  const std::string letzte = font->Textpuffer() + font->zeilenAnfaenge[1];
  EXPECT_EQ(letzte.substr(letzte.size() - 3), "...");
  const GlTest::Pixelbild b = Lies();
  const auto r = b.Umriss(Tinte);
  EXPECT_GE(r[0], 20u);
  EXPECT_LE(r[2], 220u);
  EXPECT_GE(r[1], 26u);
  EXPECT_LE(r[3], 85u);
  // The last line ends where its measured width says (the dots are its last ink).
  const auto zweite = b.Umriss(Tinte, 56, 85);
  EXPECT_NEAR(static_cast<float>(zweite[2]), 20 + font->zeilenBreiten[1] - font->groesse * font->abstand, 3.0f);
}

TEST_F(Zeichnen, KonsoleZeigtZeilenInIhrenFarbenUndDieEingabeDarunter) {
  Quelm_KonsoleStandardAnzeige konsole(VELMAR_DATEN "/calibrib.fnt");
  ASSERT_TRUE(konsole.font->HatGlyphe('A'));
  Protokolliere("!Alarm Alarm");
  Protokolliere("?Achtung Achtung");
  Protokolliere("Weiter Weiter");
  konsole.sichtbar = konsole.eingabeAktiv = 1;
  for (char c : std::string("set t_debug 1")) konsole.OnUnicode(nullptr, static_cast<unsigned char>(c));
  konsole.Zeichne();
  const GlTest::Pixelbild b = Lies();
  auto rot = [](int r, int g, int bl) { return r > 200 && g < 60 && bl < 60; };
  auto gelb = [](int r, int g, int bl) { return r > 200 && g > 200 && bl < 60; };
  auto weiss = [](int r, int g, int bl) { return r > 200 && g > 200 && bl > 200; };
  auto gruen = [](int r, int g, int bl) { return g > 200 && r < 60 && bl < 60; };
  // Newest line lowest, 24 pixels apart; the input line below the box.
  EXPECT_LT(b.Umriss(weiss, 372, 400)[0], 640u);
  EXPECT_LT(b.Umriss(gelb, 348, 376)[0], 640u);
  EXPECT_LT(b.Umriss(rot, 324, 352)[0], 640u);
  EXPECT_EQ(b.Umriss(gruen, 324, 400)[0], 640u);
  EXPECT_LT(b.Umriss(gruen, 400, 430)[0], 640u);
  EXPECT_EQ(b.Umriss([](int r, int g, int bl) { return r + g + bl > 150; }, 431)[0], 640u);
}

}  // namespace
