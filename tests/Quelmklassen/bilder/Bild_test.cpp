#include "ProtokollSammler.h"
#include "Quelm_Bild.h"

#include <gtest/gtest.h>

#include <set>

namespace {

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

  Quelm_Bild dxt(5, 5, PXFMT_DXT1);
  EXPECT_EQ(dxt.pitch, 4u);
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
  EXPECT_EQ(leer.naechsteStufe, nullptr);
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
  EXPECT_FALSE(stufe->istCubeSeite);
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
