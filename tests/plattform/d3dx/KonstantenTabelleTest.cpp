// The constant table and the register file layout of compiled shaders.
#include <gtest/gtest.h>

#include <cstdio>
#include <map>

#include "D3dxTestHilfe.h"

using d3dxtest::Uebersetze;

namespace {

const char* const kTabellenShader = R"(
float4x4 gMatrix;
float4 gLicht[3];
struct Material { float4 farbe; float2 glanz; float staerke; };
Material gMaterial;
sampler2D gTextur;
samplerCUBE gUmgebung;

float4 main(float2 uv : TEXCOORD0, float3 n : TEXCOORD1) : COLOR0
{
  float4 f = tex2D(gTextur, uv) * gMaterial.farbe + texCUBE(gUmgebung, n);
  f += gLicht[0] + gLicht[1] * gLicht[2];
  f.xy += gMaterial.glanz * gMaterial.staerke;
  return mul(gMatrix, f);
}
)";

void ErwarteBeschreibung(const D3DXCONSTANT_DESC& d, D3DXREGISTER_SET satz, UINT reg, UINT anzahl,
                         D3DXPARAMETER_CLASS klasse, D3DXPARAMETER_TYPE typ, UINT zeilen,
                         UINT spalten, UINT elemente, UINT glieder) {
  EXPECT_EQ(d.RegisterSet, satz) << d.Name;
  EXPECT_EQ(d.RegisterIndex, reg) << d.Name;
  EXPECT_EQ(d.RegisterCount, anzahl) << d.Name;
  EXPECT_EQ(d.Class, klasse) << d.Name;
  EXPECT_EQ(d.Type, typ) << d.Name;
  EXPECT_EQ(d.Rows, zeilen) << d.Name;
  EXPECT_EQ(d.Columns, spalten) << d.Name;
  EXPECT_EQ(d.Elements, elemente) << d.Name;
  EXPECT_EQ(d.StructMembers, glieder) << d.Name;
}

D3DXCONSTANT_DESC Beschreibung(ID3DXConstantTable* t, D3DXHANDLE h) {
  D3DXCONSTANT_DESC d{};
  UINT n = 1;
  EXPECT_EQ(t->GetConstantDesc(h, &d, &n), S_OK);
  EXPECT_EQ(n, 1u);
  return d;
}

void ErwarteSpanne(const d3dxtest::Ergebnis& e, std::uint32_t reg, std::uint32_t komponenten,
                   std::uint32_t offset) {
  const auto* s = e.Spanne(reg);
  ASSERT_NE(s, nullptr) << "register " << reg;
  EXPECT_EQ(s->komponenten, komponenten) << "register " << reg;
  EXPECT_EQ(s->blockOffset, offset) << "register " << reg;
  EXPECT_EQ(s->schrittBytes, 4u) << "register " << reg;
}

// The walk the engine makes over the table: name -> {register, count, kind}, with
// array elements "a[i]" and structure members "s.m" (kind: 0 scalar, 1 vector,
// 2 matrix rows, 3 matrix columns, 4 structure or whole array, 5 object).
struct Eintrag {
  UINT reg, anzahl, art;
  bool operator==(const Eintrag&) const = default;
};
void TrageEin(ID3DXConstantTable* t, D3DXHANDLE h, const std::string& praefix, UINT basis,
              std::map<std::string, Eintrag>& karte) {
  D3DXCONSTANT_DESC d[10];
  UINT n = 10;
  ASSERT_EQ(t->GetConstantDesc(h, d, &n), S_OK);
  for (UINT i = 0; i < n; ++i) {
    const std::string name = praefix + d[i].Name;
    static const UINT kArt[] = {0, 1, 2, 3, 5, 4};
    const UINT art = kArt[d[i].Class];
    karte.emplace(name, Eintrag{d[i].RegisterIndex + basis, d[i].RegisterCount,
                                d[i].Elements == 1 ? art : 4});
    if (d[i].Elements > 1) {
      const UINT je = d[i].RegisterCount / d[i].Elements;
      for (UINT e = 0; e < d[i].Elements; ++e) {
        char element[256];
        std::snprintf(element, sizeof element, "%s[%u]", name.c_str(), e);
        karte.emplace(element, Eintrag{d[i].RegisterIndex + basis + je * e, je, art});
        if (d[i].Class == D3DXPC_STRUCT)
          for (UINT m = 0; m < d[i].StructMembers; ++m)
            TrageEin(t, t->GetConstant(h, m), element, basis + je * e, karte);
      }
    } else if (d[i].Class == D3DXPC_STRUCT) {
      for (UINT m = 0; m < d[i].StructMembers; ++m)
        TrageEin(t, t->GetConstant(h, m), name + ".", basis, karte);
    }
  }
}
std::map<std::string, Eintrag> Karte(ID3DXConstantTable* t) {
  std::map<std::string, Eintrag> karte;
  D3DXCONSTANTTABLE_DESC td{};
  EXPECT_EQ(t->GetDesc(&td), S_OK);
  for (UINT i = 0; i < td.Constants; ++i) TrageEin(t, t->GetConstant(nullptr, i), "", 0, karte);
  return karte;
}

}  // namespace

TEST(KonstantenTabelle, ArrayStrukturMatrixUndZweiSampler) {
  auto e = Uebersetze(kTabellenShader, "ps_3_0");
  ASSERT_EQ(e.hr, S_OK) << e.meldungen;
  ASSERT_NE(e.tabelle, nullptr);

  D3DXCONSTANTTABLE_DESC td{};
  ASSERT_EQ(e.tabelle->GetDesc(&td), S_OK);
  EXPECT_EQ(td.Constants, 5u);
  EXPECT_EQ(td.Version, 0xFFFF0300u);

  // Declaration order, each constant from a new register.
  const char* const kReihenfolge[] = {"gMatrix", "gLicht", "gMaterial", "gTextur", "gUmgebung"};
  for (UINT i = 0; i < 5; ++i)
    EXPECT_STREQ(Beschreibung(e.tabelle, e.tabelle->GetConstant(nullptr, i)).Name, kReihenfolge[i]);

  ErwarteBeschreibung(e.Konstante("gMatrix"), D3DXRS_FLOAT4, 0, 4, D3DXPC_MATRIX_COLUMNS,
                      D3DXPT_FLOAT, 4, 4, 1, 0);
  ErwarteBeschreibung(e.Konstante("gLicht"), D3DXRS_FLOAT4, 4, 3, D3DXPC_VECTOR, D3DXPT_FLOAT, 1,
                      4, 3, 0);
  ErwarteBeschreibung(e.Konstante("gMaterial"), D3DXRS_FLOAT4, 7, 3, D3DXPC_STRUCT, D3DXPT_VOID,
                      1, 7, 1, 3);
  ErwarteBeschreibung(e.Konstante("gTextur"), D3DXRS_SAMPLER, 0, 1, D3DXPC_OBJECT,
                      D3DXPT_SAMPLER2D, 1, 1, 1, 0);
  ErwarteBeschreibung(e.Konstante("gUmgebung"), D3DXRS_SAMPLER, 1, 1, D3DXPC_OBJECT,
                      D3DXPT_SAMPLERCUBE, 1, 1, 1, 0);
  EXPECT_EQ(e.Konstante("gMatrix").Bytes, 64u);
  EXPECT_EQ(e.Konstante("gLicht").Bytes, 48u);

  D3DXHANDLE material = e.Handle("gMaterial");
  ErwarteBeschreibung(Beschreibung(e.tabelle, e.tabelle->GetConstant(material, 0)), D3DXRS_FLOAT4,
                      7, 1, D3DXPC_VECTOR, D3DXPT_FLOAT, 1, 4, 1, 0);
  ErwarteBeschreibung(Beschreibung(e.tabelle, e.tabelle->GetConstant(material, 1)), D3DXRS_FLOAT4,
                      8, 1, D3DXPC_VECTOR, D3DXPT_FLOAT, 1, 2, 1, 0);
  ErwarteBeschreibung(Beschreibung(e.tabelle, e.tabelle->GetConstant(material, 2)), D3DXRS_FLOAT4,
                      9, 1, D3DXPC_SCALAR, D3DXPT_FLOAT, 1, 1, 1, 0);
  EXPECT_STREQ(Beschreibung(e.tabelle, e.tabelle->GetConstant(material, 0)).Name, "farbe");
  EXPECT_STREQ(Beschreibung(e.tabelle, e.tabelle->GetConstant(material, 2)).Name, "staerke");

  // Where the device copies each register: the block is std140 (matrix columns,
  // array elements and structure members each on their own 16 bytes).
  ASSERT_EQ(e.blob.spannen.size(), 10u);
  for (std::uint32_t r = 0; r < 4; ++r) ErwarteSpanne(e, r, 4, 16 * r);
  for (std::uint32_t r = 4; r < 7; ++r) ErwarteSpanne(e, r, 4, 16 * r);
  ErwarteSpanne(e, 7, 4, 112);
  ErwarteSpanne(e, 8, 2, 128);
  ErwarteSpanne(e, 9, 1, 136);
  EXPECT_EQ(e.blob.uniformBlockBindung, 1u);
  EXPECT_EQ(e.blob.uniformBlockBytes, 144u);  // whole 16-byte rows, as std140 ends a block

  ASSERT_EQ(e.blob.sampler.size(), 2u);
  EXPECT_EQ(e.blob.sampler[0].stufe, 0u);
  EXPECT_EQ(e.blob.sampler[0].einheit, 0u);
  EXPECT_EQ(e.blob.sampler[1].stufe, 1u);
  EXPECT_EQ(e.blob.sampler[1].einheit, 1u);
}

TEST(KonstantenTabelle, VertexSamplerLiegenAufEinheitenAbSechzehn) {
  auto e = Uebersetze(R"(
sampler2D gHoehe;
sampler2D gNormalen;
void main(float2 uv : POSITION0, out float4 pos : POSITION0, out float4 n : TEXCOORD0) {
  pos = tex2Dlod(gHoehe, float4(uv, 0, 0));
  n = tex2Dlod(gNormalen, float4(uv, 0, 1));
})",
                      "vs_3_0");
  ASSERT_EQ(e.hr, S_OK) << e.meldungen;
  ErwarteBeschreibung(e.Konstante("gNormalen"), D3DXRS_SAMPLER, 1, 1, D3DXPC_OBJECT,
                      D3DXPT_SAMPLER2D, 1, 1, 1, 0);
  ASSERT_EQ(e.blob.sampler.size(), 2u);
  EXPECT_EQ(e.blob.sampler[0].einheit, 16u);
  EXPECT_EQ(e.blob.sampler[1].stufe, 1u);
  EXPECT_EQ(e.blob.sampler[1].einheit, 17u);
  EXPECT_NE(e.blob.glsl.find("layout(binding = 17) uniform sampler2D vs_gNormalen"),
            std::string::npos)
      << e.blob.glsl;
  EXPECT_EQ(e.blob.uniformBlockBytes, 0u);
}

TEST(KonstantenTabelle, DieEngineFindetArrayElementeUndStrukturglieder) {
  // Ten registers before the light array, as in the engine's own example.
  auto e = Uebersetze(R"(
float4x4 gA;
float4x4 gB;
float4 gC;
float4 gD;
float4 gLicht[3];
struct Lampe { float4 pos; float3 farbe; };
Lampe gLampen[2];
struct Oberflaeche { float4 farbe; };
Oberflaeche s;
void main(float3 p : POSITION0, out float4 pos : POSITION0, out float4 f : TEXCOORD0) {
  pos = mul(gA, float4(p, 1)) + mul(gB, gC) + gD;
  f = gLicht[0] + gLicht[1] + gLicht[2] + s.farbe;
  for (int i = 0; i < 2; ++i) f += gLampen[i].pos + gLampen[i].farbe.xyzz;
})",
                      "vs_3_0");
  ASSERT_EQ(e.hr, S_OK) << e.meldungen;
  auto karte = Karte(e.tabelle);
  EXPECT_EQ(karte.at("gLicht"), (Eintrag{10, 3, 4}));
  EXPECT_EQ(karte.at("gLicht[0]"), (Eintrag{10, 1, 1}));
  EXPECT_EQ(karte.at("gLicht[1]"), (Eintrag{11, 1, 1}));
  EXPECT_EQ(karte.at("gLicht[2]"), (Eintrag{12, 1, 1}));
  EXPECT_EQ(karte.at("gA"), (Eintrag{0, 4, 3}));
  EXPECT_EQ(karte.at("gB"), (Eintrag{4, 4, 3}));
  EXPECT_EQ(karte.at("gLampen"), (Eintrag{13, 4, 4}));
  EXPECT_EQ(karte.at("gLampen[1]"), (Eintrag{15, 2, 4}));
  // Members follow the element name directly, as the engine records them.
  EXPECT_EQ(karte.at("gLampen[0]pos"), (Eintrag{13, 1, 1}));
  EXPECT_EQ(karte.at("gLampen[1]farbe"), (Eintrag{16, 1, 1}));
  EXPECT_EQ(karte.at("s"), (Eintrag{17, 1, 4}));
  EXPECT_EQ(karte.at("s.farbe"), (Eintrag{17, 1, 1}));
  // Array of structures: one register per member per element.
  ErwarteSpanne(e, 15, 4, e.Spanne(13)->blockOffset + 32);
  ErwarteSpanne(e, 16, 3, e.Spanne(13)->blockOffset + 48);
}

TEST(KonstantenTabelle, MatrixPackungBestimmtRegisterUndKomponenten) {
  auto e = Uebersetze(R"(
float3x4 gSpalten;
row_major float3x4 gZeilen;
float4x3 gHoch;
float gGewichte[3];
void main(float4 p : POSITION0, out float4 pos : POSITION0) {
  pos = float4(mul(gSpalten, p), 1) + float4(mul(gZeilen, p), 0) + mul(gHoch, p.xyz)
      + gGewichte[0] + gGewichte[2];
})",
                      "vs_3_0");
  ASSERT_EQ(e.hr, S_OK) << e.meldungen;
  // column_major float3x4: four registers (columns) of three components (rows).
  ErwarteBeschreibung(e.Konstante("gSpalten"), D3DXRS_FLOAT4, 0, 4, D3DXPC_MATRIX_COLUMNS,
                      D3DXPT_FLOAT, 3, 4, 1, 0);
  for (std::uint32_t r = 0; r < 4; ++r) ErwarteSpanne(e, r, 3, e.Spanne(0)->blockOffset + 16 * r);
  // row_major float3x4: three registers of four.
  ErwarteBeschreibung(e.Konstante("gZeilen"), D3DXRS_FLOAT4, 4, 3, D3DXPC_MATRIX_ROWS,
                      D3DXPT_FLOAT, 3, 4, 1, 0);
  for (std::uint32_t r = 4; r < 7; ++r) ErwarteSpanne(e, r, 4, e.Spanne(4)->blockOffset + 16 * (r - 4));
  ErwarteBeschreibung(e.Konstante("gHoch"), D3DXRS_FLOAT4, 7, 3, D3DXPC_MATRIX_COLUMNS,
                      D3DXPT_FLOAT, 4, 3, 1, 0);
  ErwarteSpanne(e, 7, 4, e.Spanne(7)->blockOffset);
  // A float array: one register per element, the value in x.
  ErwarteBeschreibung(e.Konstante("gGewichte"), D3DXRS_FLOAT4, 10, 3, D3DXPC_SCALAR,
                      D3DXPT_FLOAT, 1, 1, 3, 0);
  for (std::uint32_t r = 10; r < 13; ++r)
    ErwarteSpanne(e, r, 1, e.Spanne(10)->blockOffset + 16 * (r - 10));

  auto zeilen = Uebersetze("float4x4 m; void main(float4 p : POSITION0, out float4 o : POSITION0) { o = mul(m, p); }",
                           "vs_3_0", nullptr, D3DXSHADER_PACKMATRIX_ROWMAJOR);
  ASSERT_EQ(zeilen.hr, S_OK) << zeilen.meldungen;
  EXPECT_EQ(zeilen.Konstante("m").Class, D3DXPC_MATRIX_ROWS);
}

TEST(KonstantenTabelle, UnbenutzteKonstantenBelegenNichts) {
  auto e = Uebersetze(R"(
float4 gUngenutzt;
float4x4 gAuchNicht;
sampler2D gNieGelesen;
float4 gFarbe;
sampler2D gTextur;
float4 main(float2 uv : TEXCOORD0) : COLOR0 { return gFarbe * tex2D(gTextur, uv); })",
                      "ps_3_0");
  ASSERT_EQ(e.hr, S_OK) << e.meldungen;
  D3DXCONSTANTTABLE_DESC td{};
  e.tabelle->GetDesc(&td);
  EXPECT_EQ(td.Constants, 2u);
  EXPECT_EQ(e.Konstante("gFarbe").RegisterIndex, 0u);
  EXPECT_EQ(e.Konstante("gTextur").RegisterIndex, 0u);
  ASSERT_EQ(e.blob.spannen.size(), 1u);
  EXPECT_EQ(e.blob.spannen[0].register_, 0u);
  ASSERT_EQ(e.blob.sampler.size(), 1u);
  EXPECT_EQ(e.blob.sampler[0].einheit, 0u);
  EXPECT_NE(e.blob.glsl.find("layout(binding = 0) uniform sampler2D ps_gTextur"), std::string::npos)
      << e.blob.glsl;
}

TEST(KonstantenTabelle, AusdruecklicheRegisterWerdenEingehalten) {
  auto e = Uebersetze(R"(
float4 gFest : register(c10);
float4 gFrei;
float4x4 gMatrix;
sampler2D gSpaet : register(s3);
sampler2D gFrueh;
float4 main(float2 uv : TEXCOORD0) : COLOR0 {
  return gFest + gFrei + mul(gMatrix, tex2D(gSpaet, uv)) + tex2D(gFrueh, uv);
})",
                      "ps_3_0");
  ASSERT_EQ(e.hr, S_OK) << e.meldungen;
  EXPECT_EQ(e.Konstante("gFest").RegisterIndex, 10u);
  EXPECT_EQ(e.Konstante("gFrei").RegisterIndex, 0u);
  EXPECT_EQ(e.Konstante("gMatrix").RegisterIndex, 1u);
  EXPECT_EQ(e.Konstante("gSpaet").RegisterIndex, 3u);
  EXPECT_EQ(e.Konstante("gFrueh").RegisterIndex, 0u);
  ASSERT_NE(e.Spanne(10), nullptr);
  ASSERT_NE(e.Spanne(0), nullptr);
  EXPECT_NE(e.Spanne(10)->blockOffset, e.Spanne(0)->blockOffset);
  EXPECT_NE(e.blob.glsl.find("layout(binding = 3) uniform sampler2D ps_gSpaet"), std::string::npos);
}

// The device feeds constants from float registers only: a bool or int constant could never
// be set, and its register would alias a float one. The source is refused, naming it.
TEST(KonstantenTabelle, BoolUndIntWerdenMitNamenAbgelehnt) {
  const struct {
    const char* deklaration;
    const char* gebrauch;
    const char* name;
  } faelle[] = {
      {"bool gSchalter;", "if (gSchalter) f *= 2.0f;", "'gSchalter'"},
      {"int gAnzahl;", "f *= gAnzahl;", "'gAnzahl'"},
      {"struct S { float4 a; int n; }; S gS;", "f += gS.a * gS.n;", "'gS.n'"},
  };
  for (const auto& fall : faelle) {
    auto e = Uebersetze(std::string(fall.deklaration) +
                            "\nfloat4 gFarbe;\nfloat4 main(float2 uv : TEXCOORD0) : COLOR0 {\n"
                            "  float4 f = gFarbe;\n  " + fall.gebrauch + "\n  return f;\n}\n",
                        "ps_3_0");
    EXPECT_TRUE(FAILED(e.hr)) << fall.deklaration;
    EXPECT_NE(e.meldungen.find(fall.name), std::string::npos) << e.meldungen;
    EXPECT_EQ(e.tabelle, nullptr);
  }
}

TEST(KonstantenTabelle, ZuVieleRegisterScheitertMitMeldung) {
  auto e = Uebersetze(R"(
float4 gViele[200];
float4 gNochMehr[40];
float4 main(float2 t : TEXCOORD0) : COLOR0 { return gViele[(int)t.x] + gNochMehr[(int)t.y]; })",
                      "ps_3_0");
  EXPECT_TRUE(FAILED(e.hr));
  EXPECT_EQ(e.tabelle, nullptr);
  EXPECT_NE(e.meldungen.find("gNochMehr"), std::string::npos) << e.meldungen;

  // The vertex profile has 256.
  auto v = Uebersetze(R"(
float4 gViele[200];
float4 gNochMehr[40];
void main(float4 p : POSITION0, out float4 o : POSITION0) { o = gViele[(int)p.x] + gNochMehr[(int)p.y]; })",
                      "vs_3_0");
  EXPECT_EQ(v.hr, S_OK) << v.meldungen;
}

TEST(KonstantenTabelle, HandlesUndZaehler) {
  auto e = Uebersetze(kTabellenShader, "ps_3_0");
  ASSERT_EQ(e.hr, S_OK) << e.meldungen;
  ID3DXConstantTable* t = e.tabelle;
  EXPECT_EQ(t->GetConstant(nullptr, 5), nullptr);
  EXPECT_EQ(t->GetConstant(e.Handle("gLicht"), 0), nullptr);  // no structure
  EXPECT_EQ(t->GetConstant(e.Handle("gMaterial"), 3), nullptr);
  EXPECT_EQ(t->GetConstant("gMatrix", 0), nullptr);  // not a handle of this table

  D3DXCONSTANT_DESC d{};
  UINT n = 1;
  EXPECT_TRUE(FAILED(t->GetConstantDesc("gMatrix", &d, &n)));
  n = 0;
  EXPECT_EQ(t->GetConstantDesc(e.Handle("gMatrix"), nullptr, &n), S_OK);
  EXPECT_EQ(n, 1u);
  n = 0;
  EXPECT_TRUE(FAILED(t->GetConstantDesc(e.Handle("gMatrix"), &d, &n)));
  EXPECT_TRUE(FAILED(t->GetDesc(nullptr)));

  // The table lives on its own reference count.
  t->AddRef();
  EXPECT_EQ(t->Release(), 1u);
}
