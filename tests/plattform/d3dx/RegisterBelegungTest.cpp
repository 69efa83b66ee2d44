// Register allocation on given layouts, and the semantic names.
#include <gtest/gtest.h>

#include "RegisterBelegung.h"
#include "SpirvSchnittstelle.h"

using namespace Plattform;
using namespace Plattform::D3dx;

namespace {

BlockKonstante Vektor(const char* name, std::uint32_t offset, std::uint32_t n = 4) {
  BlockKonstante k;
  k.name = name;
  k.offset = offset;
  k.typ.klasse = n == 1 ? D3DXPC_SCALAR : D3DXPC_VECTOR;
  k.typ.spalten = n;
  return k;
}

}  // namespace

TEST(RegisterBelegung, AusdruecklicheZuerstDanachErsteLuecke) {
  auto a = Vektor("a", 0);
  auto b = Vektor("b", 16);
  b.typ.feld = {3};
  auto fest = Vektor("fest", 64);
  fest.explizitesRegister = 1;
  auto c = Vektor("c", 80, 2);
  auto erg = BelegeRegister(ShaderStufe::Pixel, {a, b, fest, c}, {});
  ASSERT_TRUE(erg.ok) << erg.fehler;
  ASSERT_EQ(erg.konstanten.size(), 4u);
  EXPECT_EQ(erg.konstanten[0].beschreibung.RegisterIndex, 0u);
  EXPECT_EQ(erg.konstanten[1].beschreibung.RegisterIndex, 2u);  // three do not fit at 1
  EXPECT_EQ(erg.konstanten[2].beschreibung.RegisterIndex, 1u);
  EXPECT_EQ(erg.konstanten[3].beschreibung.RegisterIndex, 5u);
  ASSERT_EQ(erg.spannen.size(), 6u);
  EXPECT_EQ(erg.spannen[1].register_, 2u);
  EXPECT_EQ(erg.spannen[1].blockOffset, 16u);
  EXPECT_EQ(erg.spannen[3].blockOffset, 48u);
  EXPECT_EQ(erg.spannen[5].komponenten, 2u);

  auto doppelt = Vektor("doppelt", 96);
  doppelt.explizitesRegister = 1;
  auto fehler = BelegeRegister(ShaderStufe::Pixel, {fest, doppelt}, {});
  EXPECT_FALSE(fehler.ok);
  EXPECT_NE(fehler.fehler.find("doppelt"), std::string::npos);

  auto hinten = Vektor("hinten", 0);
  hinten.explizitesRegister = 223;
  EXPECT_TRUE(BelegeRegister(ShaderStufe::Pixel, {hinten}, {}).ok);
  hinten.typ.feld = {2};
  EXPECT_FALSE(BelegeRegister(ShaderStufe::Pixel, {hinten}, {}).ok);
  EXPECT_TRUE(BelegeRegister(ShaderStufe::Vertex, {hinten}, {}).ok);
}

TEST(RegisterBelegung, MehrdimensionaleFelderUndStrukturen) {
  BlockKonstante k;
  k.name = "gitter";
  k.offset = 32;
  k.typ.klasse = D3DXPC_STRUCT;
  k.typ.grundtyp = D3DXPT_VOID;
  k.typ.feld = {2, 3};
  k.typ.feldSchritt = 3 * 48;  // each structure takes 48 bytes
  LayoutTyp::Glied m;
  m.name = "m";
  m.offset = 0;
  m.typ.klasse = D3DXPC_MATRIX_COLUMNS;
  m.typ.zeilen = 2;
  m.typ.spalten = 2;
  m.typ.matrixSchritt = 16;
  LayoutTyp::Glied s;
  s.name = "s";
  s.offset = 32;
  s.typ.klasse = D3DXPC_SCALAR;
  k.typ.glieder = {m, s};
  auto erg = BelegeRegister(ShaderStufe::Vertex, {k}, {});
  ASSERT_TRUE(erg.ok);
  const auto& d = erg.konstanten[0].beschreibung;
  EXPECT_EQ(d.RegisterCount, 18u);
  EXPECT_EQ(d.Elements, 6u);
  EXPECT_EQ(d.Columns, 5u);
  EXPECT_EQ(d.StructMembers, 2u);
  ASSERT_EQ(erg.spannen.size(), 18u);
  // Element [1][2] is the sixth: registers 15..17 at 32 + 144 + 96.
  EXPECT_EQ(erg.spannen[15].register_, 15u);
  EXPECT_EQ(erg.spannen[15].blockOffset, 32u + 144u + 96u);
  EXPECT_EQ(erg.spannen[15].komponenten, 2u);
  EXPECT_EQ(erg.spannen[16].blockOffset, 32u + 144u + 96u + 16u);
  EXPECT_EQ(erg.spannen[17].blockOffset, 32u + 144u + 96u + 32u);
  EXPECT_EQ(erg.spannen[17].komponenten, 1u);
  ASSERT_EQ(erg.konstanten[0].glieder.size(), 2u);
  EXPECT_EQ(erg.konstanten[0].glieder[1].beschreibung.RegisterIndex, 2u);
}

TEST(RegisterBelegung, SamplerStufenUndEinheiten) {
  SamplerKonstante a{"a", D3DXPT_SAMPLER2D, 1, -1, true};
  SamplerKonstante feld{"feld", D3DXPT_SAMPLER2D, 2, -1, true};
  SamplerKonstante fest{"fest", D3DXPT_SAMPLERCUBE, 1, 1, true};
  SamplerKonstante tot{"tot", D3DXPT_SAMPLER2D, 1, -1, false};
  auto erg = BelegeRegister(ShaderStufe::Vertex, {}, {a, feld, fest, tot});
  ASSERT_TRUE(erg.ok) << erg.fehler;
  EXPECT_EQ(erg.samplerEinheit, (std::vector<std::uint32_t>{16, 18, 17, 0xFFFFFFFFu}));
  ASSERT_EQ(erg.sampler.size(), 4u);
  EXPECT_EQ(erg.sampler[2].stufe, 3u);
  EXPECT_EQ(erg.sampler[2].einheit, 19u);
  EXPECT_EQ(erg.konstanten.size(), 3u);

  // The vertex shader has four stages, the pixel shader sixteen.
  SamplerKonstante viele{"viele", D3DXPT_SAMPLER2D, 5, -1, true};
  EXPECT_FALSE(BelegeRegister(ShaderStufe::Vertex, {}, {viele}).ok);
  auto pixel = BelegeRegister(ShaderStufe::Pixel, {}, {viele});
  ASSERT_TRUE(pixel.ok);
  EXPECT_EQ(pixel.samplerEinheit[0], 0u);
}

TEST(Semantik, NameUndIndex) {
  EXPECT_EQ(ZerlegeSemantik("TEXCOORD12").name, "TEXCOORD");
  EXPECT_EQ(ZerlegeSemantik("TEXCOORD12").index, 12u);
  EXPECT_EQ(ZerlegeSemantik("position").name, "POSITION");
  EXPECT_EQ(ZerlegeSemantik("position").index, 0u);
  EXPECT_EQ(ZerlegeSemantik("SV_Target1").name, "SV_TARGET");
  EXPECT_EQ(ZerlegeSemantik("SV_Target1").index, 1u);
  EXPECT_EQ(DeklarationsVerwendung("POSITION"), 0);
  EXPECT_EQ(DeklarationsVerwendung("TEXCOORD"), 5);
  EXPECT_EQ(DeklarationsVerwendung("POSITIONT"), 9);
  EXPECT_EQ(DeklarationsVerwendung("SAMPLE"), 13);
  EXPECT_EQ(DeklarationsVerwendung("SV_POSITION"), -1);
}

TEST(SpirvSchnittstelle, UnlesbareModuleWerdenAbgelehnt) {
  std::vector<std::uint32_t> leer;
  EXPECT_FALSE(RichteSchnittstelleEin(leer, ShaderStufe::Vertex).ok);
  std::vector<std::uint32_t> falsch{0x12345678u, 0x10000, 0, 10, 0};
  EXPECT_FALSE(RichteSchnittstelleEin(falsch, ShaderStufe::Pixel).ok);
  // Header only: no entry point. An instruction running past the end.
  std::vector<std::uint32_t> kopf{0x07230203u, 0x10000, 0, 10, 0};
  auto erg = RichteSchnittstelleEin(kopf, ShaderStufe::Vertex);
  EXPECT_FALSE(erg.ok);
  EXPECT_FALSE(erg.fehler.empty());
  kopf.push_back(0x00400011u);  // OpCapability claiming four words
  EXPECT_FALSE(RichteSchnittstelleEin(kopf, ShaderStufe::Vertex).ok);
}
