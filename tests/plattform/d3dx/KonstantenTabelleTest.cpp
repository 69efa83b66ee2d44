// The constant table and the register file layout of compiled shaders.
#include <gtest/gtest.h>

#include <array>

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

float4 main(float2 uv : TEXCOORD0, float3 n : TEXCOORD1) : COLOR0 {
  float4 f = tex2D(gTextur, uv) * gMaterial.farbe + texCUBE(gUmgebung, n);
  f += gLicht[0] + gLicht[1] * gLicht[2];
  f.xy += gMaterial.glanz * gMaterial.staerke;
  return mul(gMatrix, f);
}
)";

// Where and what a constant is: register set, register, count, class, type, rows,
// columns, elements, structure members.
using Form = std::array<UINT, 9>;
Form FormVon(const D3DXCONSTANT_DESC& d) {
  return {static_cast<UINT>(d.RegisterSet), d.RegisterIndex, d.RegisterCount, static_cast<UINT>(d.Class),
          static_cast<UINT>(d.Type),        d.Rows,          d.Columns,       d.Elements,
          d.StructMembers};
}

constexpr D3DXREGISTER_SET kF = D3DXRS_FLOAT4;
constexpr D3DXPARAMETER_TYPE kFloat = D3DXPT_FLOAT;

// The constants under `eltern` (null: the top level) in order, by name and form.
struct Benannt {
  const char* name;
  Form form;
};
void ErwarteKonstanten(const d3dxtest::Ergebnis& e, D3DXHANDLE eltern, std::initializer_list<Benannt> soll) {
  ID3DXConstantTable* t = e.tabelle.get();
  UINT i = 0;
  for (const auto& s : soll) {
    D3DXCONSTANT_DESC d{};
    UINT n = 1;
    EXPECT_EQ(t->GetConstantDesc(t->GetConstant(eltern, i++), &d, &n), S_OK);
    EXPECT_STREQ(d.Name, s.name);
    EXPECT_EQ(FormVon(d), s.form) << s.name;
  }
}

void ErwarteSpanne(const d3dxtest::Ergebnis& e, std::uint32_t reg, std::uint32_t komponenten,
                   std::uint32_t offset) {
  const auto* s = e.Spanne(reg);
  ASSERT_NE(s, nullptr) << "register " << reg;
  const std::array ist{s->komponenten, s->blockOffset, s->schrittBytes};
  EXPECT_EQ(ist, (std::array{komponenten, offset, 4u})) << "register " << reg;
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
  ErwarteKonstanten(e, nullptr,
                    {{"gMatrix", {kF, 0, 4, D3DXPC_MATRIX_COLUMNS, kFloat, 4, 4, 1, 0}},
                     {"gLicht", {kF, 4, 3, D3DXPC_VECTOR, kFloat, 1, 4, 3, 0}},
                     {"gMaterial", {kF, 7, 3, D3DXPC_STRUCT, D3DXPT_VOID, 1, 7, 1, 3}},
                     {"gTextur", {D3DXRS_SAMPLER, 0, 1, D3DXPC_OBJECT, D3DXPT_SAMPLER2D, 1, 1, 1, 0}},
                     {"gUmgebung", {D3DXRS_SAMPLER, 1, 1, D3DXPC_OBJECT, D3DXPT_SAMPLERCUBE, 1, 1, 1, 0}}});
  EXPECT_EQ(e.Konstante("gMatrix").Bytes, 64u);
  EXPECT_EQ(e.Konstante("gLicht").Bytes, 48u);
  ErwarteKonstanten(e, e.Handle("gMaterial"),
                    {{"farbe", {kF, 7, 1, D3DXPC_VECTOR, kFloat, 1, 4, 1, 0}},
                     {"glanz", {kF, 8, 1, D3DXPC_VECTOR, kFloat, 1, 2, 1, 0}},
                     {"staerke", {kF, 9, 1, D3DXPC_SCALAR, kFloat, 1, 1, 1, 0}}});

  // Where the device copies each register: the block is std140 (matrix columns,
  // array elements and structure members each on their own 16 bytes).
  ASSERT_EQ(e.blob.spannen.size(), 10u);
  for (std::uint32_t r = 0; r < 7; ++r) ErwarteSpanne(e, r, 4, 16 * r);
  ErwarteSpanne(e, 7, 4, 112);
  ErwarteSpanne(e, 8, 2, 128);
  ErwarteSpanne(e, 9, 1, 136);
  EXPECT_EQ(e.blob.uniformBlockBindung, 1u);
  EXPECT_EQ(e.blob.uniformBlockBytes, 144u);  // whole 16-byte rows, as std140 ends a block

  ASSERT_EQ(e.blob.sampler.size(), 2u);
  EXPECT_EQ(e.blob.sampler[1].stufe, 1u);  // the stage survives the blob

  // Handles and counts that do not fit.
  ID3DXConstantTable* t = e.tabelle.get();
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

// The engine takes element i of an array from RegisterCount / Elements, and a member of
// it from the member's register (described for element 0) plus i times that. Vertex
// samplers lie on the units from 16 on.
TEST(KonstantenTabelle, FelderVonStrukturenUndVertexSampler) {
  auto e = Uebersetze(R"(
float4 gVorher[10];
float4 gLicht[3];
struct Lampe { float4 pos; float3 farbe; };
Lampe gLampen[2];
struct Oberflaeche { float4 farbe; };
Oberflaeche s;
sampler2D gHoehe;
sampler2D gNormalen;
void main(float3 p : POSITION0, out float4 pos : POSITION0, out float4 f : TEXCOORD0) {
  pos = gVorher[9] + tex2Dlod(gHoehe, float4(p.xy, 0, 0));
  f = gLicht[0] + gLicht[1] + gLicht[2] + s.farbe + tex2Dlod(gNormalen, float4(p.xy, 0, 1));
  for (int i = 0; i < 2; ++i) f += gLampen[i].pos + gLampen[i].farbe.xyzz;
})",
                      "vs_3_0");
  ASSERT_EQ(e.hr, S_OK) << e.meldungen;
  EXPECT_EQ(FormVon(e.Konstante("gLicht")), (Form{kF, 10, 3, D3DXPC_VECTOR, kFloat, 1, 4, 3, 0}));
  EXPECT_EQ(FormVon(e.Konstante("gLampen")), (Form{kF, 13, 4, D3DXPC_STRUCT, D3DXPT_VOID, 1, 7, 2, 2}));
  ErwarteKonstanten(e, e.Handle("gLampen"),
                    {{"pos", {kF, 13, 1, D3DXPC_VECTOR, kFloat, 1, 4, 1, 0}},
                     {"farbe", {kF, 14, 1, D3DXPC_VECTOR, kFloat, 1, 3, 1, 0}}});
  ErwarteKonstanten(e, e.Handle("s"), {{"farbe", {kF, 17, 1, D3DXPC_VECTOR, kFloat, 1, 4, 1, 0}}});
  // Array of structures: one register per member per element.
  ErwarteSpanne(e, 15, 4, e.Spanne(13)->blockOffset + 32);
  ErwarteSpanne(e, 16, 3, e.Spanne(13)->blockOffset + 48);

  ASSERT_EQ(e.blob.sampler.size(), 2u);
  EXPECT_EQ(e.blob.sampler[0].einheit, 16u);
  EXPECT_EQ(e.blob.sampler[1].einheit, 17u);
  EXPECT_NE(e.blob.glsl.find("layout(binding = 17) uniform sampler2D vs_gNormalen"), std::string::npos)
      << e.blob.glsl;
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
  // column_major float3x4: four registers (columns) of three components (rows);
  // row_major: three registers of four; a float array: one register per element, in x.
  ErwarteKonstanten(e, nullptr,
                    {{"gSpalten", {kF, 0, 4, D3DXPC_MATRIX_COLUMNS, kFloat, 3, 4, 1, 0}},
                     {"gZeilen", {kF, 4, 3, D3DXPC_MATRIX_ROWS, kFloat, 3, 4, 1, 0}},
                     {"gHoch", {kF, 7, 3, D3DXPC_MATRIX_COLUMNS, kFloat, 4, 3, 1, 0}},
                     {"gGewichte", {kF, 10, 3, D3DXPC_SCALAR, kFloat, 1, 1, 3, 0}}});
  const struct {
    std::uint32_t erstes, register_, komponenten;
  } spannen[] = {{0, 4, 3}, {4, 3, 4}, {7, 3, 4}, {10, 3, 1}};
  for (const auto& s : spannen)
    for (std::uint32_t r = s.erstes; r < s.erstes + s.register_; ++r)
      ErwarteSpanne(e, r, s.komponenten, e.Spanne(s.erstes)->blockOffset + 16 * (r - s.erstes));

  auto zeilen = Uebersetze("float4x4 m; void main(float4 p : POSITION0, out float4 o : POSITION0) "
                           "{ o = mul(m, p); }",
                           "vs_3_0", nullptr, D3DXSHADER_PACKMATRIX_ROWMAJOR);
  ASSERT_EQ(zeilen.hr, S_OK) << zeilen.meldungen;
  EXPECT_EQ(zeilen.Konstante("m").Class, D3DXPC_MATRIX_ROWS);
}

// Explicitly placed constants keep their registers; the others fill from 0 around them,
// and constants the shader never reads take nothing.
TEST(KonstantenTabelle, AusdruecklicheRegisterUndUnbenutzteKonstanten) {
  auto e = Uebersetze(R"(
float4 gUngenutzt;
float4 gFest : register(c10);
float4x4 gAuchNicht;
float4 gFrei;
float4x4 gMatrix;
sampler2D gNieGelesen;
sampler2D gSpaet : register(s3);
sampler2D gFrueh;
float4 main(float2 uv : TEXCOORD0) : COLOR0 {
  return gFest + gFrei + mul(gMatrix, tex2D(gSpaet, uv)) + tex2D(gFrueh, uv);
})",
                      "ps_3_0");
  ASSERT_EQ(e.hr, S_OK) << e.meldungen;
  D3DXCONSTANTTABLE_DESC td{};
  e.tabelle->GetDesc(&td);
  EXPECT_EQ(td.Constants, 5u);
  const std::pair<const char*, UINT> register_[] = {
      {"gFest", 10}, {"gFrei", 0}, {"gMatrix", 1}, {"gSpaet", 3}, {"gFrueh", 0}};
  for (const auto& [name, r] : register_) EXPECT_EQ(e.Konstante(name).RegisterIndex, r) << name;
  EXPECT_EQ(e.blob.spannen.size(), 6u);
  ASSERT_NE(e.Spanne(10), nullptr);
  ASSERT_NE(e.Spanne(0), nullptr);
  EXPECT_NE(e.Spanne(10)->blockOffset, e.Spanne(0)->blockOffset);
  ASSERT_EQ(e.blob.sampler.size(), 2u);
  EXPECT_NE(e.blob.glsl.find("layout(binding = 3) uniform sampler2D ps_gSpaet"), std::string::npos);
  EXPECT_NE(e.blob.glsl.find("layout(binding = 0) uniform sampler2D ps_gFrueh"), std::string::npos)
      << e.blob.glsl;
}

// The device feeds constants from float registers only: a bool or int constant could never
// be set, and its register would alias a float one. Such a source is refused, naming it,
// and so is one whose constants do not fit the profile's 224 registers.
TEST(KonstantenTabelle, UnsetzbareKonstantenWerdenMitNamenAbgelehnt) {
  const char* const kFelder = "float4 gViele[200]; float4 gNochMehr[40];";
  const struct {
    const char *deklaration, *gebrauch, *name;
  } faelle[] = {
      {"bool gSchalter;", "if (gSchalter) f *= 2.0f;", "'gSchalter'"},
      {"int gAnzahl;", "f *= gAnzahl;", "'gAnzahl'"},
      {"struct S { float4 a; int n; }; S gS;", "f += gS.a * gS.n;", "'gS.n'"},
      {kFelder, "f += gViele[(int)uv.x] + gNochMehr[(int)uv.y];", "'gNochMehr'"},
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
  // The vertex profile has 256.
  auto v = Uebersetze(std::string(kFelder) +
                          "void main(float4 p : POSITION0, out float4 o : POSITION0) "
                          "{ o = gViele[(int)p.x] + gNochMehr[(int)p.y]; }",
                      "vs_3_0");
  EXPECT_EQ(v.hr, S_OK) << v.meldungen;
}
