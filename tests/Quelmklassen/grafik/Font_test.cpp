// UTF-8, the TrueType rasteriser, measuring and box layout, and "FNTH" files, on the recording device.
#include "BlockGfxDatei.h"
#include "Quelm_Bild.h"
#include "Quelm_BlockGfx3D.h"
#include "Quelm_Font3D.h"
#include "Quelm_KonsoleStandardAnzeige.h"
#include "RenderTestHilfen.h"
#include "TSpeicher.h"
#include "TSpeicherSchreiber.h"

namespace {

TEST(Utf8, KodiertUndDekodiertUndLiestNieUeberDasEnde) {
  for (std::uint32_t c : {0x41u, 0xE9u, 0x416u, 0x800u, 0x20ACu, 0x1F600u}) {
    const std::string s = Quelm::ZeichenNachUtf8(c);
    const char* p = s.c_str();
    EXPECT_EQ(Quelm::NaechstesZeichen(p), c);
    EXPECT_EQ(p, s.c_str() + s.size());
  }
  for (const char* kurz : {"\xE2\x82", "\xF0\x9F\x98", "\xC3"}) {
    const char* p = kurz;
    EXPECT_EQ(Quelm::NaechstesZeichen(p), 0u);
    EXPECT_EQ(*p, 0);
  }
}

class Font : public AufzeichnungsTest {
 protected:
  void SetUp() override {
    AufzeichnungsTest::SetUp();
    steuerung->protokollieren = false;
    font.reset(Quelm_Font3D::LadeTrueType(VELMAR_FONT_TTF));
    ASSERT_TRUE(font);
  }
  void TearDown() override {
    font.reset();
    AufzeichnungsTest::TearDown();
  }
  float Breite(const std::string& t) const { return font->GetTextBreite(t.c_str()); }
  std::string Zeile(std::size_t j) const {
    const char* t = font->Textpuffer();
    const std::size_t ende = j + 1 < font->zeilenAnfaenge.size() ? font->zeilenAnfaenge[j + 1] : std::strlen(t);
    return std::string(t + font->zeilenAnfaenge[j], t + ende);
  }
  std::unique_ptr<Quelm_Font3D> font;
};

TEST_F(Font, TrueTypeGibtGlyphenBeiVierundzwanzigPixelnUndMisst) {
  EXPECT_EQ(font->hoehe, 24.0f);
  EXPECT_TRUE(font->HatGlyphe('A'));
  EXPECT_TRUE(font->HatGlyphe(0x44F));
  EXPECT_FALSE(font->HatGlyphe(' '));
  EXPECT_FALSE(font->HatGlyphe('='));
  const float a = static_cast<float>(font->metriken['A'].vorschub) + 2.4f;
  EXPECT_FLOAT_EQ(Breite("A=A"), a + 7.2f + a);
  for (std::uint32_t c : {'M', 'o', 'A'})  // whole pixels: near the glyph's width
    EXPECT_NEAR(font->metriken[c].vorschub, static_cast<int>(font->atlas->eintraege[c].w), 4) << c;
  Quelm_Bild punkt(2, 2, PXFMT_A8R8G8B8);
  ASSERT_TRUE(font->AddBuchstabe(0x2022, &punkt, 0, 0, 2, 2, 1, 30, 5));
  EXPECT_EQ(font->metriken[0x2022].offsetY, 0);
  font->autoZeichnen = 0;
  font->SchreibeZeile(10, 50, "A");
  ASSERT_EQ(font->atlas->instanzen.size(), 1u);
  EXPECT_EQ(font->atlas->instanzen[0].zielPos[1], 46.0f + static_cast<float>(font->metriken['A'].offsetY));
}

TEST_F(Font, RahmenBrichtUmUndEndetMitAuslassung) {
  font->autoZeichnen = 0;
  const float w = Breite("aaa bbb") + 1;
  font->SchreibeInRahmen(0, 0, w, 200, "aaa bbb ccc\nd");
  ASSERT_EQ(font->zeilenAnfaenge.size(), 3u);
  EXPECT_EQ(Zeile(0), "aaa bbb ");
  EXPECT_EQ(Zeile(1), "ccc\n");
  EXPECT_FLOAT_EQ(font->zeilenBreiten[0], Breite("aaa bbb"));
  // A word wider than the box is broken inside it.
  font->SchreibeInRahmen(0, 0, Breite("mmm") + 0.5f, 200, "mmmmmmm");
  EXPECT_EQ(Zeile(0), "mmm");
  EXPECT_EQ(Zeile(2), "m");
  // Two lines fit; the rest ends in "..." and the last line keeps room for it.
  font->SchreibeInRahmen(0, 0, w, 49, "aaa bbb ccc ddd eee");
  ASSERT_EQ(font->zeilenAnfaenge.size(), 2u);
  EXPECT_EQ(Zeile(1), "ccc...");
  EXPECT_FLOAT_EQ(font->zeilenBreiten[1], Breite("ccc") + Breite("..."));
  // Lower than one line: still one line.
  font->SchreibeInRahmen(0, 0, w, 3, "aaa bbb ccc");
  EXPECT_EQ(font->zeilenAnfaenge.size(), 1u);
  // The longest text the buffer takes, cut at its very end, has room for the ellipsis.
  const std::string lang(Quelm_Font3D::kTextPuffer + 50, 'i');
  font->SchreibeInRahmen(0, 0, 1e9f, 24, "%s", lang.c_str());
  EXPECT_EQ(std::strlen(font->Textpuffer()), Quelm_Font3D::kTextPuffer - 1);
}

// Where the first glyph of "AA" lands for each alignment and angle, relative to the pen of an
// unaligned line; a turned line steps along its angle.
TEST_F(Font, AusrichtungUndDrehungVersetzenDenAnker) {
  font->autoZeichnen = 0;
  const Quelm_BuchstabenInfo& a = font->metriken['A'];
  const float w = Breite("AA");
  auto erste = [&](std::uint32_t h, std::uint32_t v) {
    font->atlas->instanzen.clear();
    font->ausrichtungH = h;
    font->ausrichtungV = v;
    font->Schreibe(100, 200, "AA");
    const Quelm_BlockInstanz& i = font->atlas->instanzen.at(0);
    return std::pair(i.zielPos[0] - 100 - static_cast<float>(a.offsetX), i.zielPos[1] - 196 - static_cast<float>(a.offsetY));
  };
  const struct {
    std::uint32_t h, v;
    float dx, dy;
  } zeilen[] = {{Quelm_Font3D::Mitte, Quelm_Font3D::Oben, -0.5f * w, 0},
                {Quelm_Font3D::Rechts, Quelm_Font3D::Oben, -w, 0},
                {Quelm_Font3D::Links, Quelm_Font3D::Unten, 0, -24},
                {Quelm_Font3D::Links, Quelm_Font3D::VMitte, 0, -12}};
  for (const auto& z : zeilen) {
    const auto [dx, dy] = erste(z.h, z.v);
    EXPECT_NEAR(dx, z.dx, 1e-3f) << z.h << "," << z.v;
    EXPECT_NEAR(dy, z.dy, 1e-3f) << z.h << "," << z.v;
  }
  // A quarter turn: the pen walks down the screen, the glyph keeps its size times the scale.
  font->ausrichtungH = font->ausrichtungV = 0;
  font->winkel = 1.5707964f;
  font->skalierung = 2.0f;
  font->atlas->instanzen.clear();
  font->SchreibeZeile(0, 0, "AA");
  const auto& inst = font->atlas->instanzen;
  ASSERT_EQ(inst.size(), 2u);
  EXPECT_NEAR(inst[1].zielPos[1] - inst[0].zielPos[1], static_cast<float>(a.vorschub) * 2 + 2.4f, 1e-3f);
  EXPECT_EQ(inst[0].groesse[1], static_cast<float>(font->atlas->eintraege['A'].h) * 2);
  // Drawing leaves later glyphs turning about their top-left corner.
  font->atlas->pivotMitte = 1;
  font->Zeichne();
  EXPECT_EQ(font->atlas->pivotMitte, 0);
}

// Lines of a box: right and centred alignment, the line pitch (line height times the scale,
// plus one) and the count of lines the box holds at that pitch.
TEST_F(Font, RahmenRichtetZeilenAusUndZaehltMitDerSkalierung) {
  font->autoZeichnen = 0;
  font->ausrichtungH = Quelm_Font3D::Rechts;
  font->ausrichtungV = Quelm_Font3D::VMitte;
  const float w = Breite("AAAA") + 1;
  font->SchreibeInRahmen(10, 20, w, 200, "A\nA");
  ASSERT_EQ(font->zeilenAnfaenge.size(), 2u);
  const auto& inst = font->atlas->instanzen;
  ASSERT_EQ(inst.size(), 2u);
  const float ox = static_cast<float>(font->metriken['A'].offsetX);
  EXPECT_NEAR(inst[0].zielPos[0], 10 + w - Breite("A") + ox, 1e-3f);
  EXPECT_NEAR(inst[1].zielPos[1] - inst[0].zielPos[1], 25.0f, 1e-3f);
  // Centred: (200 - 2 * 24 - 1) / 2 below the box top, less the pen's 4 pixels.
  EXPECT_NEAR(inst[0].zielPos[1], 20 + 75.5f - 4 + static_cast<float>(font->metriken['A'].offsetY), 1e-3f);
  font->skalierung = 2.0f;
  font->SchreibeInRahmen(0, 0, 1e6f, 2 * 24 * 2, "a\nb\nc\nd");
  EXPECT_EQ(font->zeilenAnfaenge.size(), 2u);
}

TEST_F(Font, FnthRundreiseUndFehlerhafteDateienWerdenAbgelehnt) {
  TSpeicher datei;
  ASSERT_TRUE(font->Speichern(datei));
  Quelm_Font3D gelesen;
  datei.position = 0;
  ASSERT_TRUE(gelesen.LadeAusSpeicher(datei, "x"));
  EXPECT_EQ(gelesen.hoehe, 24.0f);
  ASSERT_EQ(gelesen.metriken.size(), font->metriken.size());
  for (const char* t : {"Zwölf Boxkämpfer", "Съешь же ещё"}) EXPECT_EQ(gelesen.GetTextBreite(t), Breite(t)) << t;

  const std::uint64_t anzahlFeld = datei.groesse - 12 * font->metriken.size() - 4;
  for (std::uint64_t n : {std::uint64_t{3}, std::uint64_t{11}, std::uint64_t{15}, std::uint64_t{200},
                          datei.groesse / 2, anzahlFeld + 2, datei.groesse - 1}) {
    TSpeicher kurz = datei;
    kurz.groesse = n;
    kurz.position = 0;
    Quelm_Font3D f;
    EXPECT_FALSE(f.LadeAusSpeicher(kurz, "x")) << n;
    EXPECT_FALSE(f.HatGlyphe('A'));
  }
  // Fewer metrics than glyphs in the atlas.
  TSpeicher wenig = datei;
  wenig.daten[anzahlFeld + 2] = 0;
  wenig.daten[anzahlFeld + 3] = 64;
  wenig.position = 0;
  Quelm_Font3D f;
  EXPECT_FALSE(f.LadeAusSpeicher(wenig, "x"));
  EXPECT_FALSE(f.HatGlyphe('A'));
}

TEST_F(Font, AlteVersionenOhneMetrikenUndFlags) {
  // Font 256 around atlas 257: skipped bytes after the version, no flags word, a square
  // texture; no glyph count and no metrics, so advances come from the graphics.
  TSpeicher d;
  TSpeicherSchreiber s(d);
  s.Bytes("FNTH", 4);
  s.U32(256);
  s.F32(20.0f);
  s.Bytes("BLKGFX3D", 8);
  s.U32(257);
  s.U64(0);
  s.U32(5);  // instances
  s.U8(0);
  s.U32(0);
  s.U32(66);
  for (int id = 0; id < 66; ++id) s.U8(id == 65);
  for (std::uint32_t v : {0u, 0u, 3u, 2u}) s.U32(v);
  for (float v : {0.0f, 0.0f, 0.75f, 0.5f}) s.F32(v);
  s.U32(0);  // old packer layout: ignored word, no free rectangles
  s.U32(0);
  s.U32(0);
  s.U32(4);
  for (int i = 0; i < 16; ++i) s.U32(0xFFFFFFFFu);
  Quelm_Font3D alt;
  d.position = 0;
  ASSERT_TRUE(alt.LadeAusSpeicher(d, "alt"));
  EXPECT_EQ(alt.hoehe, 20.0f);
  EXPECT_EQ(alt.metriken.size(), 256u);
  EXPECT_EQ(alt.metriken['A'].vorschub, 3);
  EXPECT_EQ(alt.atlas->textur->hoehe, 4u);
  EXPECT_EQ(alt.atlas->instanzPuffer->groesse, 5u * 60);
}


using FontDatei = AufzeichnungsTest;

// A damaged font file is refused and leaves the font as it was, however large its counts.
TEST_F(FontDatei, BeschaedigteDateienLassenDieSchriftWieSieWar) {
  steuerung->protokollieren = false;
  auto mit = [](auto aendere) {
    FnthDatei d;
    aendere(d);
    return d;
  };
  const std::pair<const char*, FnthDatei> zeilen[] = {
      {"Instanzen 0xFFFFFFFF", mit([](FnthDatei& d) { d.atlas.instanzen = 0xFFFFFFFFu; })},
      {"Glyphen 0xFFFFFFFF", mit([](FnthDatei& d) { d.glyphen = 0xFFFFFFFFu; })},
      {"weniger Glyphen als Grafiken", mit([](FnthDatei& d) { d.glyphen = 1; })},
      {"Zellhoehe 0", mit([](FnthDatei& d) { d.zelle = 0.0f; })},
      {"Atlas ohne Pixel", mit([](FnthDatei& d) { d.atlas.hoehe = 0xFFFFFFFFu; })},
      {"Version 257 ohne alle Metriken", mit([](FnthDatei& d) {
         d.version = 257;
         d.metrikenHoechstens = 255;
       })},
  };
  Quelm_Font3D font;
  TSpeicher gut = FnthDatei{}.Datei();
  ASSERT_TRUE(font.LadeAusSpeicher(gut, "gut"));
  ASSERT_TRUE(font.HatGlyphe(1));
  const Quelm_BlockGfx3D* atlas = font.atlas;
  for (const auto& [fall, datei] : zeilen) {
    TSpeicher s = datei.Datei();
    sammler->zeilen.clear();
    bool geladen = true;
    ASSERT_NO_THROW(geladen = font.LadeAusSpeicher(s, "kaputt")) << fall;
    EXPECT_FALSE(geladen) << fall;
    EXPECT_TRUE(Geloggt("!Quelm_Font3D::Laden( \"kaputt\"): Schriftdaten sind unvollständig oder fehlerhaft.")) << fall;
    EXPECT_TRUE(font.atlas == atlas && font.HatGlyphe(1) && font.metriken.size() == 2 && font.hoehe == 16.0f) << fall;
  }
  // The console's font: a damaged file leaves the overlay without glyphs, the tool goes on.
  FnthDatei kaputt;
  kaputt.atlas.instanzen = 0xFFFFFFFFu;
  const TSpeicher inhalt = kaputt.Datei();
  const std::filesystem::path pfad = ordner.pfad() / "calibrib.fnt";
  SchreibeDatei(pfad, std::string(reinterpret_cast<const char*>(inhalt.daten), inhalt.groesse));
  std::unique_ptr<Quelm_KonsoleStandardAnzeige> konsole;
  ASSERT_NO_THROW(konsole = std::make_unique<Quelm_KonsoleStandardAnzeige>(pfad));
  EXPECT_FALSE(konsole->font->HatGlyphe(1));
}

}  // namespace
