#include "BildHilfen.h"
#include "ProtokollSammler.h"
#include "Quelm_Bild.h"
#include "TBereich.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <set>
#include <thread>
#include <vector>

namespace {

void Fuelle(const Quelm_Bild& bild, unsigned saat) {
  std::mt19937 zufall(saat);
  std::uint64_t groesse = 0;
  Quelm_Datengroesse(bild.format, bild.breite, bild.hoehe, groesse);
  for (std::uint64_t i = 0; i < groesse; ++i) bild.daten[i] = std::uint8_t(zufall());
}

// A smooth picture that block compression keeps close: colours on one line, alpha
// falling downwards but staying above DXT1's transparency threshold.
void Verlauf(const Quelm_Bild& bild) {
  for (std::uint64_t y = 0; y < bild.hoehe; ++y)
    for (std::uint64_t x = 0; x < bild.breite; ++x)
      SetzePixel(bild, x, y,
                 std::uint32_t(255 - y * 4) << 24 | std::uint32_t(x * 8) << 16 | std::uint32_t(x * 4) << 8 | 0x40);
}

int Abstand(std::uint32_t a, std::uint32_t b, int kanal) {
  return std::abs(int((a >> (8 * kanal)) & 0xFF) - int((b >> (8 * kanal)) & 0xFF));
}

using Bereich = ProtokollTest;

TEST_F(Bereich, UnterbereicheVersetzenDenDatenzeiger) {
  Quelm_Bild a(16, 16, PXFMT_A16B16G16R16F);
  const TBereich t = a.LockSubBereich(3, 2, 100, 1);
  EXPECT_EQ(t.daten, a.daten + 2 * a.pitch + 3 * 8);
  EXPECT_EQ(t.breite, 100u) << "the parent's size does not limit the region";

  Quelm_Bild dxt5(16, 16, PXFMT_DXT5);
  EXPECT_EQ(dxt5.LockSubBereich(4, 8, 4, 4).daten, dxt5.daten + 8 * dxt5.pitch + 16);
  Quelm_Bild dxt1(16, 16, PXFMT_DXT1);
  EXPECT_EQ(dxt1.LockSubBereich(8, 4, 4, 4).daten, dxt1.daten + 4 * dxt1.pitch + 16);

  const TBereich schief = dxt1.LockSubBereich(2, 4, 4, 4);
  EXPECT_TRUE(Gemeldet("!TBereich::LockSubBereich( 2, 4, 4, 4): Unterbereiche in einem DXT-komprimierten Bereich "
                       "müssen durch 4 teilbare Position haben."));
  EXPECT_EQ(schief.daten, nullptr);
  EXPECT_EQ(schief.breite, 0u);
}

TEST_F(Bereich, SchreibeInBereichSchneidetAmRandAb) {
  Quelm_Bild ziel(6, 6, PXFMT_A8R8G8B8), quelle(4, 4, PXFMT_A8R8G8B8);
  std::memset(ziel.daten, 0, 6 * 6 * 4);
  for (std::uint64_t i = 0; i < 16; ++i) SetzePixel(quelle, i % 4, i / 4, 0x1000 + std::uint32_t(i));
  ziel.SchreibeInBereich(quelle, 4, 3);
  for (std::uint64_t y = 0; y < 6; ++y)
    for (std::uint64_t x = 0; x < 6; ++x) {
      const std::uint32_t erwartet = x >= 4 && y >= 3 ? 0x1000 + std::uint32_t((y - 3) * 4 + x - 4) : 0;
      EXPECT_EQ(Pixel(ziel, x, y), erwartet) << x << "," << y;
    }
  ziel.SchreibeInBereich(quelle, 6, 0);
  EXPECT_TRUE(Gemeldet("!TBereich::SchreibeInBereich( ..., 6, 0): Kopierbereich liegt außerhalb des Quellbereiches"));
}

TEST(BereichKopie, GleichesFormatKopiertZeilenUndBlockzeilen) {
  Quelm_Bild quelle(5, 3, PXFMT_G32R32F), ziel(9, 7, PXFMT_G32R32F);
  Fuelle(quelle, 1);
  std::memset(ziel.daten, 0xEE, ziel.pitch * 7);
  TBereich::KonvertiereFormat(quelle, ziel);
  for (std::uint64_t y = 0; y < 7; ++y) {
    for (std::uint64_t i = 0; i < ziel.pitch; ++i) {
      const std::uint8_t erwartet = y < 3 && i < 40 ? quelle.daten[y * quelle.pitch + i] : 0xEE;
      ASSERT_EQ(ziel.daten[y * ziel.pitch + i], erwartet) << y << " " << i;
    }
  }

  // A 6 x 6 DXT1 region: two block rows of two blocks each.
  Quelm_Bild dq(6, 6, PXFMT_DXT1), dz(16, 16, PXFMT_DXT1);
  Fuelle(dq, 2);
  std::memset(dz.daten, 0, 16 * 16 / 2);
  TBereich::KonvertiereFormat(dq, dz);
  const std::uint8_t leer[16] = {};
  for (std::uint64_t by = 0; by < 4; ++by) {
    const std::uint8_t* zeile = dz.daten + by * 4 * dz.pitch;
    EXPECT_EQ(std::memcmp(zeile, by < 2 ? dq.daten + by * 4 * dq.pitch : leer, 16), 0) << by;
    EXPECT_EQ(std::memcmp(zeile + 16, leer, 16), 0) << by;
  }
}

TEST(BereichPixel, JedesFormatSchreibenUndLesenAuchAusserhalb) {
  const TFarbe farbe{0.25f, 0.5f, 0.75f, 0.125f};
  struct Fall {
    std::int32_t format;
    float toleranz;
    bool g, b, a;  // which channels the format keeps
  };
  const Fall faelle[] = {
      {PXFMT_A8R8G8B8, 1 / 255.0f, true, true, true}, {PXFMT_R16F, 0, false, false, false},
      {PXFMT_G16R16F, 0, true, false, false},           {PXFMT_A16B16G16R16F, 0, true, true, true},
      {PXFMT_R32F, 0, false, false, false},             {PXFMT_G32R32F, 0, true, false, false},
      {PXFMT_A32B32G32R32F, 0, true, true, true},       {PXFMT_G16R16, 1 / 65535.0f, true, false, false},
      {PXFMT_A16B16G16R16, 1 / 65535.0f, true, true, true}, {PXFMT_A8, 1 / 255.0f, false, false, false},
  };
  for (const Fall& fall : faelle) {
    SCOPED_TRACE(fall.format);
    Quelm_Bild bild(3, 2, fall.format);
    bild.SchreibePixel(2, 1, farbe);
    const TFarbe f = bild.LiesPixel(2, 1);
    EXPECT_NEAR(f.r, farbe.r, fall.toleranz);
    EXPECT_NEAR(f.g, fall.g ? farbe.g : 0.0f, fall.toleranz);
    EXPECT_NEAR(f.b, fall.b ? farbe.b : 0.0f, fall.toleranz);
    EXPECT_NEAR(f.a, fall.a ? farbe.a : 1.0f, fall.toleranz);
    // Outside the region: opaque black read, nothing written (the address checker watches).
    for (const TFarbe& aussen : {bild.LiesPixel(3, 1), bild.LiesPixel(0, 2)})
      EXPECT_EQ((std::array{aussen.r, aussen.g, aussen.b, aussen.a}), (std::array{0.0f, 0.0f, 0.0f, 1.0f}));
    bild.SchreibePixel(3, 1, farbe);
    bild.SchreibePixel(0, 2, farbe);
  }
  Quelm_Bild a8(1, 1, PXFMT_A8);
  a8.SchreibePixel(0, 0, {0.999f, 0, 0, 0});
  EXPECT_EQ(a8.daten[0], 254) << "cut, not rounded";
}

TEST(BereichPixel, PackeFarbeRundetMit051UndKanaeleSaettigen) {
  EXPECT_EQ(PackeFarbe({1, 0.5f, 0, 1}), 0xFFFF8000u);
  EXPECT_EQ(PackeFarbe({0.2f, 0.4f, 0.6f, 0.8f}), 0xCC336699u);
  // 100.495 reaches 101 only with the offset of 0.51, not with plain rounding.
  EXPECT_EQ(PackeFarbe({100.495f / 255.0f, 0, 0, 0}), 0x00650000u);
  // Out of range values stay in their own channel.
  EXPECT_EQ(PackeFarbe({2.0f, -1.0f, std::nanf(""), 1.5f}), 0xFFFF0000u);
  EXPECT_EQ(PackeFarbe({1e30f, 0, -1e30f, 0}), 0x00FF0000u);
  // So do the 16-bit channels.
  Quelm_Bild voll(1, 1, PXFMT_A16B16G16R16);
  voll.SchreibePixel(0, 0, {-0.5f, 2.0f, 0.5f, 1.0f});
  std::uint64_t w;
  std::memcpy(&w, voll.daten, 8);
  EXPECT_EQ(w, 0xFFFF7FFFFFFF0000ull);
}

TEST(Halbfloat, LesenSchreibenUnterlaufUndUeberlauf) {
  EXPECT_EQ(HalbZuFloat(0x3C00), 1.0f);
  EXPECT_EQ(HalbZuFloat(0xC000), -2.0f);
  EXPECT_EQ(HalbZuFloat(0x7BFF), 65504.0f);
  EXPECT_EQ(HalbZuFloat(0x0001), 0.0f) << "subnormal halves read as zero";
  EXPECT_TRUE(std::signbit(HalbZuFloat(0x8001)));
  // Every normal half survives the round trip.
  for (std::uint32_t h = 0x0400; h < 0x7C00; ++h) {
    ASSERT_EQ(FloatZuHalb(HalbZuFloat(std::uint16_t(h))), h);
    ASSERT_EQ(FloatZuHalb(HalbZuFloat(std::uint16_t(h | 0x8000))), h | 0x8000);
  }
  // Below 2^-14 there is no normal half: zero with the sign, not a wrapped exponent. Above
  // 65504 (and infinity) the largest finite half.
  const std::pair<float, std::uint16_t> faelle[] = {
      {6.0e-5f, 0x0000},  {-1e-20f, 0x8000}, {std::numeric_limits<float>::denorm_min(), 0x0000},
      {6.104e-5f, 0x0400}, {65536.0f, 0x7BFF}, {-1e30f, 0xFBFF}, {std::numeric_limits<float>::infinity(), 0x7BFF}};
  for (auto [wert, halb] : faelle) EXPECT_EQ(FloatZuHalb(wert), halb) << wert;
  EXPECT_EQ(FloatZuHalb(std::nanf("")) & 0x7C00, 0x7C00);
}

TEST(BereichKonvertierung, ZwischenFormatenHinUndZurueck) {
  Quelm_Bild quelle(7, 5, PXFMT_A8R8G8B8), gleit(7, 5, PXFMT_A32B32G32R32F), halb(9, 9, PXFMT_A16B16G16R16F),
      breit(7, 5, PXFMT_A16B16G16R16), zurueck(7, 5, PXFMT_A8R8G8B8);
  Fuelle(quelle, 4);
  TBereich::KonvertiereFormat(quelle, gleit);
  EXPECT_FLOAT_EQ(gleit.LiesPixel(3, 2).g, ((Pixel(quelle, 3, 2) >> 8) & 0xFF) / 255.0f);
  TBereich::KonvertiereFormat(gleit, halb);
  TBereich::KonvertiereFormat(halb, breit);
  TBereich::KonvertiereFormat(breit, zurueck);
  for (std::uint64_t y = 0; y < 5; ++y)
    for (std::uint64_t x = 0; x < 7; ++x) ASSERT_EQ(Pixel(zurueck, x, y), Pixel(quelle, x, y)) << x << "," << y;

  // Into a part of a larger float image, the rest untouched.
  Quelm_Bild r32(4, 4, PXFMT_R32F);
  std::memset(r32.daten, 0, 64);
  r32.SchreibeInBereich(quelle, 2, 3);
  EXPECT_FLOAT_EQ(r32.LiesPixel(3, 3).r, ((Pixel(quelle, 1, 0) >> 16) & 0xFF) / 255.0f);
  EXPECT_EQ(r32.LiesPixel(1, 3).r, 0.0f);
}

TEST(BereichDxt, KleinerBereichWiederholtSichImBlock) {
  Quelm_Bild quelle(2, 2, PXFMT_A8R8G8B8), dxt(4, 4, PXFMT_DXT1), zurueck(4, 4, PXFMT_A8R8G8B8);
  for (std::uint64_t i = 0; i < 4; ++i) SetzePixel(quelle, i % 2, i / 2, i % 3 ? 0xFF000000 : 0xFFFFFFFF);
  TBereich::KonvertiereFormat(quelle, dxt);  // one block
  dxt.breite = dxt.hoehe = 4;
  TBereich::KonvertiereFormat(dxt, zurueck);
  for (std::uint64_t y = 0; y < 4; ++y)
    for (std::uint64_t x = 0; x < 4; ++x)
      EXPECT_EQ(Pixel(zurueck, x, y), Pixel(quelle, x % 2, y % 2)) << x << "," << y;
}

TEST(BereichDxt, KomprimierenUndDekodierenAllerDreiFormate) {
  Quelm_Bild quelle(32, 32, PXFMT_A8R8G8B8);
  Verlauf(quelle);
  for (std::int32_t format : {PXFMT_DXT1, PXFMT_DXT3, PXFMT_DXT5}) {
    Quelm_Bild dxt(32, 32, format), zurueck(32, 32, PXFMT_A8R8G8B8);
    TBereich::KonvertiereFormat(quelle, dxt);
    TBereich::KonvertiereFormat(dxt, zurueck);
    int farbFehler = 0, alphaFehler = 0;
    for (std::uint64_t y = 0; y < 32; ++y)
      for (std::uint64_t x = 0; x < 32; ++x) {
        const std::uint32_t a = Pixel(quelle, x, y), b = Pixel(zurueck, x, y);
        for (int k = 0; k < 3; ++k) farbFehler = std::max(farbFehler, Abstand(a, b, k));
        alphaFehler = std::max(alphaFehler, Abstand(a, b, 3));
      }
    EXPECT_LE(farbFehler, 12) << format;
    if (format == PXFMT_DXT1) {
      EXPECT_EQ(Pixel(zurueck, 5, 5) >> 24, 255u) << "DXT1 keeps no alpha gradient";
    } else {
      EXPECT_LE(alphaFehler, format == PXFMT_DXT3 ? 9 : 4) << format;
    }
    // Reading one pixel from the block format directly.
    const TFarbe f = dxt.LiesPixel(9, 6);
    EXPECT_NEAR(f.r, ((Pixel(quelle, 9, 6) >> 16) & 0xFF) / 255.0f, 0.05f);
  }
}

TEST(BereichDxt, UnterbereichEinesBlockbildesBeschreiben) {
  Quelm_Bild quelle(4, 4, PXFMT_A8R8G8B8), dxt(12, 8, PXFMT_DXT5), zurueck(12, 8, PXFMT_A8R8G8B8);
  for (std::uint64_t i = 0; i < 16; ++i) SetzePixel(quelle, i % 4, i / 4, 0xFF00FF00);
  std::memset(dxt.daten, 0, 3 * 2 * 16);
  dxt.SchreibeInBereich(quelle, 8, 4);
  TBereich::KonvertiereFormat(dxt, zurueck);
  EXPECT_EQ(Pixel(zurueck, 9, 5), 0xFF00FF00u);
  EXPECT_EQ(Pixel(zurueck, 5, 5), 0u);
  EXPECT_EQ(Pixel(zurueck, 9, 1), 0u);
}

TEST(BereichDxt, GleichzeitigAufMehrerenThreads) {
  // Landscape jobs convert on worker threads at the same time; every result must equal the
  // one computed alone.
  constexpr int kThreads = 8;
  auto hinUndZurueck = [](unsigned saat) {
    Quelm_Bild quelle(32, 32, PXFMT_A8R8G8B8), dxt(32, 32, PXFMT_DXT5), zurueck(32, 32, PXFMT_A8R8G8B8);
    Fuelle(quelle, saat);
    TBereich::KonvertiereFormat(quelle, dxt);
    TBereich::KonvertiereFormat(dxt, zurueck);
    return std::vector<std::uint8_t>(zurueck.daten, zurueck.daten + 32 * 32 * 4);
  };
  std::vector<std::vector<std::uint8_t>> erwartet;
  for (int t = 0; t < kThreads; ++t) erwartet.push_back(hinUndZurueck(100 + t));
  std::vector<int> fehler(kThreads, 0);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (int runde = 0; runde < 6; ++runde) fehler[t] += hinUndZurueck(100 + t) != erwartet[t];
    });
  }
  for (auto& th : threads) th.join();
  for (int t = 0; t < kThreads; ++t) EXPECT_EQ(fehler[t], 0) << "thread " << t;
}

using Bild = ProtokollTest;

TEST(PixelFormat, PitchUndGroesseNachDerRegel) {
  // Width 5: bits per pixel x 5 / 8, block formats on width 8.
  const std::uint64_t pitch[PXFMT_ANZAHL] = {20, 10, 20, 10, 20, 40, 20, 40, 80, 20, 40, 4, 8, 8, 5};
  for (std::int32_t f = 0; f < PXFMT_ANZAHL; ++f) {
    EXPECT_EQ(Quelm_Pitch(f, 5), pitch[f]) << f;
    EXPECT_EQ(Quelm_Pitch(f, 0), 0u) << f;
  }
  EXPECT_EQ(Quelm_Pitch(15, 5), 0u);
  EXPECT_EQ(Quelm_Pitch(-1, 5), 0u);

  std::uint64_t groesse = 0;
  ASSERT_TRUE(Quelm_Datengroesse(PXFMT_DXT1, 5, 5, groesse));
  EXPECT_EQ(groesse, 32u) << "two block rows of two blocks";
  ASSERT_TRUE(Quelm_Datengroesse(PXFMT_DXT5, 4, 1, groesse));
  EXPECT_EQ(groesse, 16u);
  EXPECT_FALSE(Quelm_Datengroesse(PXFMT_A32B32G32R32F, 1ull << 40, 1ull << 40, groesse));
}

TEST_F(Bild, KetteKuerzenVerlaengernNurAmKopf) {
  Quelm_Bild leer(0, 0, PXFMT_A8R8G8B8, 0);
  EXPECT_EQ(leer.mipAnzahl, 1u);
  Quelm_Bild bild(64, 16, PXFMT_A8R8G8B8, 5);
  Quelm_Bild* dritte = bild.GibMipStufe(2);
  bild.ErzeugeMipKette(3);
  EXPECT_EQ(bild.mipAnzahl, 3u);
  EXPECT_EQ(bild.GibMipStufe(2), dritte) << "levels that stay are kept";
  EXPECT_EQ(bild.GibMipStufe(2)->mipAnzahl, 1u);
  EXPECT_EQ(bild.GibMipStufe(3), nullptr);
  bild.ErzeugeMipKette(0);
  EXPECT_EQ(bild.mipAnzahl, 7u);
  EXPECT_EQ(bild.GibMipStufe(6)->breite, 1u);
  EXPECT_EQ(bild.GibMipStufe(5)->hoehe, 1u);
  bild.ErzeugeMipKette(1);
  EXPECT_EQ(bild.naechsteStufe, nullptr);
  // Resizing drops the old chain.
  bild.SetGroesse(10, 6, PXFMT_DXT3, 2);
  EXPECT_EQ(bild.pitch, 12u);
  Quelm_Bild* stufe = bild.GibMipStufe(1);
  EXPECT_EQ(stufe->breite, 5u);
  EXPECT_EQ(stufe->hoehe, 3u);
  // A level cannot be resized by itself.
  stufe->SetGroesse(4, 4, PXFMT_A8, 1);
  EXPECT_TRUE(Gemeldet("!Quelm_Bild::SetGroesse( 4, 4, 14, 1):  Umdimensionierung ist für MipMaps nicht zulässig."));
  stufe->SetCubeMapGroesse(4, PXFMT_A8, 1);
  EXPECT_TRUE(Gemeldet("!Quelm_Bild::SetCubeMapGroesse( 4, 14, 1):  Umdimensionierung ist für MipMaps nicht zulässig."));
  EXPECT_EQ(stufe->breite, 5u);
}

TEST_F(Bild, CubeMapSeitenSindVerknuepft) {
  Quelm_Bild bild;
  bild.SetCubeMapGroesse(16, PXFMT_A16B16G16R16F, 3);
  EXPECT_TRUE(bild.istCubeSeite);
  EXPECT_TRUE(bild.IstBasisSeite());
  std::set<Quelm_Bild*> verschieden(std::begin(bild.seiten), std::end(bild.seiten));
  EXPECT_EQ(verschieden.size(), 6u);
  for (Quelm_Bild* seite : bild.seiten) {
    ASSERT_NE(seite, nullptr);
    EXPECT_EQ(seite->format, PXFMT_A16B16G16R16F);
    // Every face at every level carries the six faces of that level.
    for (std::uint64_t k = 0; k < 3; ++k) {
      Quelm_Bild* stufe = seite->GibMipStufe(k);
      ASSERT_NE(stufe, nullptr);
      EXPECT_TRUE(stufe->istCubeSeite);
      EXPECT_EQ(stufe->breite, 16u >> k);
      for (int s = 0; s < 6; ++s) EXPECT_EQ(stufe->seiten[s], bild.seiten[s]->GibMipStufe(k)) << k << " " << s;
    }
  }
  EXPECT_EQ(bild.GibMipStufe(1)->seiten[3], bild.GibMipStufe(1));

  // A longer chain later is linked as well.
  bild.ErzeugeMipKette(0);
  EXPECT_EQ(bild.seiten[4]->mipAnzahl, 5u);
  EXPECT_EQ(bild.seiten[0]->GibMipStufe(4)->seiten[5], bild.seiten[5]->GibMipStufe(4));

  // Only the base face turns the cube map back into a plain image.
  bild.seiten[0]->SetGroesse(8, 8, PXFMT_A8, 1);
  EXPECT_TRUE(Gemeldet("!Quelm_Bild::SetGroesse( 8, 8, 14, 1):  Umbau einer CubeMap zu einem 2D-Bild darf nur von "
                       "der Basisseite (Links) ausgehen."));
  EXPECT_EQ(bild.seiten[0]->breite, 16u);
  bild.SetGroesse(8, 4, PXFMT_A8, 2);
  EXPECT_FALSE(bild.istCubeSeite);
  for (Quelm_Bild* seite : bild.seiten) EXPECT_EQ(seite, nullptr);
  EXPECT_EQ(bild.GibMipStufe(1)->breite, 4u);
  // Once more a cube map, then destroyed as one (the leak checker watches the faces).
  bild.SetCubeMapGroesse(4, PXFMT_DXT1, 0);
  EXPECT_EQ(bild.seiten[2]->mipAnzahl, 3u);
}

}  // namespace
