// Register allocation on given layouts, and the semantic names.
#include <gtest/gtest.h>

#include <array>

#include "KonstantenTabelle.h"
#include "RegisterBelegung.h"
#include "SpirvSchnittstelle.h"

using namespace Plattform;
using namespace Plattform::D3dx;

namespace {

LayoutTyp Typ(D3DXPARAMETER_CLASS klasse, std::uint32_t zeilen, std::uint32_t spalten) {
  LayoutTyp t;
  t.klasse = klasse;
  t.zeilen = zeilen;
  t.spalten = spalten;
  return t;
}

BlockKonstante Vektor(const char* name, std::uint32_t offset, std::uint32_t feld = 1, int reg = -1) {
  BlockKonstante k{name, offset, Typ(D3DXPC_VECTOR, 1, 4), reg};
  if (feld > 1) k.typ.feld = {feld};
  return k;
}

}  // namespace

TEST(RegisterBelegung, AusdruecklicheZuerstDanachErsteLuecke) {
  const auto fest = Vektor("fest", 64, 1, 1);
  const BlockKonstante c{"c", 80, Typ(D3DXPC_VECTOR, 1, 2)};
  auto erg = BelegeRegister(ShaderStufe::Pixel, {Vektor("a", 0), Vektor("b", 16, 3), fest, c}, {});
  ASSERT_TRUE(erg.ok) << erg.fehler;
  ASSERT_EQ(erg.konstanten.size(), 4u);
  const UINT soll[] = {0, 2, 1, 5};  // b's three registers do not fit at 1
  for (UINT i = 0; i < 4; ++i) EXPECT_EQ(erg.konstanten[i].beschreibung.RegisterIndex, soll[i]) << i;
  ASSERT_EQ(erg.spannen.size(), 6u);
  EXPECT_EQ(erg.spannen[1].register_, 2u);
  EXPECT_EQ(erg.spannen[1].blockOffset, 16u);
  EXPECT_EQ(erg.spannen[3].blockOffset, 48u);
  EXPECT_EQ(erg.spannen[5].komponenten, 2u);

  auto fehler = BelegeRegister(ShaderStufe::Pixel, {fest, Vektor("doppelt", 96, 1, 1)}, {});
  EXPECT_FALSE(fehler.ok);
  EXPECT_NE(fehler.fehler.find("doppelt"), std::string::npos);

  // The pixel profile ends at register 223, the vertex profile goes on.
  EXPECT_TRUE(BelegeRegister(ShaderStufe::Pixel, {Vektor("hinten", 0, 1, 223)}, {}).ok);
  EXPECT_FALSE(BelegeRegister(ShaderStufe::Pixel, {Vektor("hinten", 0, 2, 223)}, {}).ok);
  EXPECT_TRUE(BelegeRegister(ShaderStufe::Vertex, {Vektor("hinten", 0, 2, 223)}, {}).ok);
}

TEST(RegisterBelegung, MehrdimensionaleFelderUndStrukturen) {
  // gitter[2][3] of {float2x2 m; float s;}, each structure 48 bytes.
  LayoutTyp struktur = Typ(D3DXPC_STRUCT, 1, 1);
  struktur.grundtyp = D3DXPT_VOID;
  struktur.feld = {2, 3};
  struktur.feldSchritt = 3 * 48;
  struktur.glieder = {{"m", 0, Typ(D3DXPC_MATRIX_COLUMNS, 2, 2)}, {"s", 32, Typ(D3DXPC_SCALAR, 1, 1)}};
  auto erg = BelegeRegister(ShaderStufe::Vertex, {{"gitter", 32, struktur}}, {});
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

// The last register and stage of each profile can be taken, one more cannot; explicit places,
// first fit and arrays meet those ends exactly.
TEST(RegisterBelegung, LetztesRegisterUndLetzteStufeJedesProfils) {
  auto feld = [](std::uint32_t n, int reg = -1) { return Vektor("f", 0, n, reg); };
  auto s = [](std::uint32_t n, int reg = -1) { return SamplerKonstante{"s", D3DXPT_SAMPLER2D, n, reg, true}; };
  const auto vs = ShaderStufe::Vertex, ps = ShaderStufe::Pixel;
  const struct {
    const char* name;
    ShaderStufe stufe;
    std::vector<BlockKonstante> block;
    std::vector<SamplerKonstante> sampler;
    std::vector<std::pair<UINT, UINT>> register_;  // (first, count) of each entry; none: refused
  } faelle[] = {
      {"vs c255", vs, {feld(1, 255)}, {}, {{255, 1}}},
      {"vs c255 zwei", vs, {feld(2, 255)}, {}, {}},
      {"vs alle 256", vs, {feld(256)}, {}, {{0, 256}}},
      {"vs 257", vs, {feld(257)}, {}, {}},
      {"ps alle 224", ps, {feld(224)}, {}, {{0, 224}}},
      {"ps 225", ps, {feld(225)}, {}, {}},
      {"ps letzte Lücke", ps, {feld(223, 0), Vektor("g", 0)}, {}, {{0, 223}, {223, 1}}},
      {"ps Lücke genau", ps, {Vektor("a", 0, 1, 2), feld(2), Vektor("b", 0)}, {}, {{2, 1}, {0, 2}, {3, 1}}},
      {"vs alle 4 Stufen", vs, {}, {s(4)}, {{0, 4}}},
      {"vs s3", vs, {}, {s(1, 3)}, {{3, 1}}},
      {"vs s3 zwei", vs, {}, {s(2, 3)}, {}},
      {"ps alle 16 Stufen", ps, {}, {s(16)}, {{0, 16}}},
      {"ps 17 Stufen", ps, {}, {s(17)}, {}},
      {"ps s15", ps, {}, {s(1, 15)}, {{15, 1}}},
      {"ps s15 zwei", ps, {}, {s(2, 15)}, {}},
      {"ps s4 doppelt", ps, {}, {s(1, 4), s(1, 4)}, {}},
      {"ps Feld über s4", ps, {}, {s(2, 3), s(1, 4)}, {}},
  };
  for (const auto& f : faelle) {
    SCOPED_TRACE(f.name);
    const auto erg = BelegeRegister(f.stufe, f.block, f.sampler);
    EXPECT_EQ(erg.ok, !f.register_.empty()) << erg.fehler;
    if (!erg.ok) continue;
    std::vector<std::pair<UINT, UINT>> ist;
    for (const auto& k : erg.konstanten) {
      const auto& d = k.beschreibung;
      ist.emplace_back(d.RegisterIndex, d.RegisterCount);
      EXPECT_EQ(d.Elements, d.RegisterCount);
      EXPECT_EQ(d.Bytes, (d.RegisterSet == D3DXRS_SAMPLER ? 4u : 16u) * d.Elements);
    }
    EXPECT_EQ(ist, f.register_);
  }
}

// Handles reach members of members; each level answers up to its last index and no further.
// A member after an array member starts behind all its elements.
TEST(KonstantenTabelle, GliederVonGliedernBisZumLetztenIndex) {
  LayoutTyp v4 = Typ(D3DXPC_VECTOR, 1, 4), paar = v4;
  paar.feld = {2};
  LayoutTyp innen = Typ(D3DXPC_STRUCT, 1, 1), aussen = innen;
  innen.grundtyp = aussen.grundtyp = D3DXPT_VOID;
  innen.glieder = {{"a", 0, v4}, {"b", 16, paar}, {"c", 48, v4}};
  aussen.glieder = {{"x", 0, v4}, {"i", 16, innen}, {"z", 80, v4}};
  auto erg = BelegeRegister(ShaderStufe::Vertex, {Vektor("vorn", 0), {"g", 16, aussen}}, {});
  ASSERT_TRUE(erg.ok) << erg.fehler;
  auto* t = new KonstantenTabelle(std::move(erg.konstanten), 0xFFFE0300);
  auto weg = [t](const std::vector<UINT>& pfad) {
    D3DXHANDLE h = nullptr;
    for (UINT i : pfad) h = t->GetConstant(h, i);
    return h;
  };
  const struct {
    std::vector<UINT> pfad;
    const char* name;
    UINT register_, anzahl, spalten;
  } soll[] = {
      {{0}, "vorn", 0, 1, 4}, {{1}, "g", 1, 6, 24},    {{1, 0}, "x", 1, 1, 4},    {{1, 1}, "i", 2, 4, 16},
      {{1, 1, 0}, "a", 2, 1, 4}, {{1, 1, 1}, "b", 3, 2, 4}, {{1, 1, 2}, "c", 5, 1, 4}, {{1, 2}, "z", 6, 1, 4},
  };
  for (const auto& k : soll) {
    D3DXCONSTANT_DESC d{};
    UINT n = 1;
    ASSERT_EQ(t->GetConstantDesc(weg(k.pfad), &d, &n), S_OK) << k.name;
    EXPECT_STREQ(d.Name, k.name);
    EXPECT_EQ((std::array{d.RegisterIndex, d.RegisterCount, d.Columns}), (std::array{k.register_, k.anzahl, k.spalten}))
        << k.name;
  }
  for (const std::vector<UINT>& dahinter : {std::vector<UINT>{2}, {1, 3}, {1, 1, 3}, {0, 0}, {1, 1, 1, 0}}) {
    std::vector<UINT> eltern(dahinter.begin(), dahinter.end() - 1);
    EXPECT_TRUE(eltern.empty() || weg(eltern));
    EXPECT_EQ(weg(dahinter), nullptr) << dahinter.size();
  }
  t->Release();
}

TEST(Semantik, NameUndIndex) {
  const std::pair<const char*, const char*> zerlegt[] = {
      {"TEXCOORD12", "TEXCOORD 12"}, {"position", "POSITION 0"}, {"SV_Target1", "SV_TARGET 1"},
      // Indices stop at 65535, however many digits follow.
      {"TEXCOORD65535", "TEXCOORD 65535"}, {"TEXCOORD65536", "TEXCOORD 65535"},
      {"TEXCOORD18446744073709551617", "TEXCOORD 65535"}};
  for (const auto& [text, soll] : zerlegt) {
    const auto s = ZerlegeSemantik(text);
    EXPECT_EQ(s.name + " " + std::to_string(s.index), soll);
  }
  const std::pair<const char*, int> verwendung[] = {
      {"POSITION", 0}, {"TEXCOORD", 5}, {"POSITIONT", 9}, {"SAMPLE", 13}, {"SV_POSITION", -1}};
  for (const auto& [name, soll] : verwendung) EXPECT_EQ(DeklarationsVerwendung(name), soll) << name;
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
