// Sprites, text and the console overlay drawn on the OpenGL device under Xvfb and read back.
#include "GlKontextTest.h"
#include "Quelm_Bild.h"
#include "Quelm_BlockGfx3D.h"
#include "Quelm_Font3D.h"
#include "Quelm_Konsole.h"
#include "Quelm_KonsoleStandardAnzeige.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

std::int32_t gTestwert = 0;
Quelm_KonsolenVariable gTestVariable("testwert", Quelm_KonsolenVariable::Int, 0, std::int32_t{0},
                                     [](Quelm_KonsolenVariable* v, int phase, const std::string&) {
                                       if (phase == 1) gTestwert = v->wertInt;
                                       return true;
                                     });

class Zeichnen : public GlKontextTest {
 protected:
  Zeichnen() : GlKontextTest(640, 480) {}
  void SetUp() override {
    GlKontextTest::SetUp();
    if (HasFatalFailure()) return;
    kontext->SetRenderZiel(nullptr);
    kontext->Leeren(3, 0, 0, 0, 1);
  }
  GlTest::Pixelbild Lies() { return GlTest::LiesRueckpuffer(kontext->impl.geraet.get()); }

  // Columns [x0, x1) and rows [y0, y1) holding a pixel for which `trifft` holds.
  static std::array<unsigned, 4> Umriss(const GlTest::Pixelbild& b, unsigned y0, unsigned y1,
                                        const std::function<bool(int, int, int)>& trifft) {
    std::array<unsigned, 4> r{b.breite, b.hoehe, 0, 0};
    for (unsigned y = y0; y < y1; ++y)
      for (unsigned x = 0; x < b.breite; ++x) {
        const std::uint32_t p = b(x, y);
        if (!trifft(p >> 16 & 0xFF, p >> 8 & 0xFF, p & 0xFF)) continue;
        r = {std::min(r[0], x), std::min(r[1], y), std::max(r[2], x + 1), std::max(r[3], y + 1)};
      }
    return r;
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
  EXPECT_EQ(Umriss(b, 0, 480, [](int r, int g, int bl) { return r > 0x80 && g == 0 && bl == 0; }), rechteck);
  EXPECT_EQ(Umriss(b, 0, 480, [](int r, int g, int bl) { return r + g + bl > 0; }), rechteck);
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
    const auto r = Umriss(Lies(), 0, 480, Tinte);
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
  const auto r = Umriss(b, 0, 480, Tinte);
  EXPECT_GE(r[0], 20u);
  EXPECT_LE(r[2], 220u);
  EXPECT_GE(r[1], 26u);
  EXPECT_LE(r[3], 85u);
  // The last line ends where its measured width says (the dots are its last ink).
  const auto zweite = Umriss(b, 56, 85, Tinte);
  EXPECT_NEAR(static_cast<float>(zweite[2]), 20 + font->zeilenBreiten[1] - font->groesse * font->abstand, 3.0f);
}

TEST_F(Zeichnen, KonsoleZeigtZeilenInIhrenFarbenUndFuehrtSetAus) {
  Quelm_KonsoleStandardAnzeige konsole(VELMAR_DATEN "/calibrib.fnt");
  ASSERT_TRUE(konsole.font->HatGlyphe('A'));
  Protokolliere("!Alarm Alarm");
  Protokolliere("?Achtung Achtung");
  Protokolliere("Weiter Weiter");
  konsole.sichtbar = konsole.eingabeAktiv = 1;
  for (char c : std::string("set testwert 5")) konsole.OnUnicode(nullptr, static_cast<unsigned char>(c));
  konsole.Zeichne();
  GlTest::Pixelbild b = Lies();
  auto rot = [](int r, int g, int bl) { return r > 200 && g < 60 && bl < 60; };
  auto gelb = [](int r, int g, int bl) { return r > 200 && g > 200 && bl < 60; };
  auto weiss = [](int r, int g, int bl) { return r > 200 && g > 200 && bl > 200; };
  auto gruen = [](int r, int g, int bl) { return g > 200 && r < 60 && bl < 60; };
  // Newest line lowest, 24 pixels apart; the input line below the box.
  EXPECT_LT(Umriss(b, 372, 400, weiss)[0], 640u);
  EXPECT_LT(Umriss(b, 348, 376, gelb)[0], 640u);
  EXPECT_LT(Umriss(b, 324, 352, rot)[0], 640u);
  EXPECT_EQ(Umriss(b, 324, 400, gruen)[0], 640u);
  EXPECT_LT(Umriss(b, 400, 430, gruen)[0], 640u);
  EXPECT_EQ(Umriss(b, 431, 480, [](int r, int g, int bl) { return r + g + bl > 150; })[0], 640u);

  konsole.OnKey(nullptr, Quelm_KonsoleStandardAnzeige::Eingabe, true);
  EXPECT_EQ(gTestwert, 5);
  kontext->Leeren(3, 0, 0, 0, 1);
  konsole.Zeichne();
  b = Lies();
  EXPECT_LT(Umriss(b, 0, 400, gruen)[0], 640u);  // the echoed command
  EXPECT_LT(Umriss(b, 400, 430, gruen)[2], 30u);  // only ">" is left
}

}  // namespace
