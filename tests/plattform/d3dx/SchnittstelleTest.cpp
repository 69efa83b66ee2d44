// Stage interface of the translated shaders: vertex inputs by semantic, position and
// targets as built-ins and outputs, interpolators meeting by TEXCOORD index.
#include <gtest/gtest.h>

#include <array>

#include "D3dxTestHilfe.h"

using d3dxtest::PruefeGlsl;
using d3dxtest::Uebersetze;

namespace {

constexpr std::uint32_t kPosition = 0, kNormal = 3, kTexcoord = 5, kColor = 10;

// Type of the GLSL interface variable at a location ("in"/"out"), or "".
std::string AnLocation(const std::string& glsl, const char* richtung, int location) {
  const std::string kopf = "layout(location = " + std::to_string(location) + ") " + richtung + " ";
  auto p = glsl.find(kopf);
  if (p == std::string::npos) return {};
  p += kopf.size();
  return glsl.substr(p, glsl.find(' ', p) - p);
}

}  // namespace

TEST(Schnittstelle, InterpolatorenTreffenSichTrotzVerschiedenerTypen) {
  // Direct3D 9 passes float4 registers: each side may declare fewer components,
  // arrays or matrices over consecutive registers.
  auto vs = Uebersetze(R"(
void main(float4 p : POSITION0, out float4 pos : POSITION0, out float2 uv : TEXCOORD1,
          out float k : TEXCOORD2, out float2 paar[2] : TEXCOORD4, out float4x4 m : TEXCOORD8,
          out float4 farbe : COLOR0) {
  pos = p; uv = p.xy; k = p.z; paar[0] = p.zw; paar[1] = p.yx;
  m = float4x4(p, p * 2, p * 3, p * 4); farbe = p;
})",
                       "vs_3_0");
  auto ps = Uebersetze(R"(
static const float gFaktoren[] = { 0.25f, 0.5f };
float4 main(float4 uv : TEXCOORD1, float2 k : TEXCOORD2, float2 a : TEXCOORD4,
            float3 b : TEXCOORD5, float4 zeile : TEXCOORD10, float4 farbe : COLOR0) : COLOR0 {
  return uv + k.xyxy + a.xyxy + b.xyzz + zeile * gFaktoren[1] + farbe;
})",
                       "ps_3_0");
  ASSERT_EQ(vs.hr, S_OK) << vs.meldungen;
  ASSERT_EQ(ps.hr, S_OK) << ps.meldungen;
  for (int location : {1, 2, 4, 5, 8, 9, 10, 11, 16})
    EXPECT_EQ(AnLocation(vs.blob.glsl, "out", location), "vec4") << location << vs.blob.glsl;
  for (int location : {1, 2, 4, 5, 10, 16})
    EXPECT_EQ(AnLocation(ps.blob.glsl, "in", location), "vec4") << location << ps.blob.glsl;
  EXPECT_EQ(AnLocation(vs.blob.glsl, "out", 3), "");
  EXPECT_EQ(PruefeGlsl(vs.blob.glsl, ps.blob.glsl), "");
}

TEST(Schnittstelle, VertexEingaengeNachSemantikUndDeklarationsreihenfolge) {
  // float3 p, float4x4 m, float2 t: the engine numbers them POSITION0, TEXCOORD0, TEXCOORD4.
  auto vs = Uebersetze(R"(
void main(float3 p : POSITION0, float4x4 m : TEXCOORD0, float2 t : TEXCOORD4,
          float3 n : NORMAL, float4 c : COLOR1, out float4 pos : POSITION0, out float4 o : TEXCOORD0) {
  pos = mul(m, float4(p, 1));
  o = float4(t, 0, 0) + float4(n, 0) + c;
})",
                       "vs_3_0");
  ASSERT_EQ(vs.hr, S_OK) << vs.meldungen;
  std::vector<std::array<std::uint32_t, 3>> eingaenge;  // usage, index, location
  for (const auto& e : vs.blob.eingaenge) eingaenge.push_back({e.usage, e.usageIndex, e.location});
  const decltype(eingaenge) erwartet = {{kPosition, 0, 0}, {kTexcoord, 0, 1}, {kTexcoord, 1, 2},
                                        {kTexcoord, 2, 3}, {kTexcoord, 3, 4}, {kTexcoord, 4, 5},
                                        {kNormal, 0, 6},   {kColor, 1, 7}};
  EXPECT_EQ(eingaenge, erwartet);
  EXPECT_EQ(AnLocation(vs.blob.glsl, "in", 1), "mat4") << vs.blob.glsl;
  EXPECT_EQ(AnLocation(vs.blob.glsl, "in", 5), "vec2") << vs.blob.glsl;
  EXPECT_EQ(PruefeGlsl(vs.blob.glsl, ""), "");
}

TEST(Schnittstelle, StrukturenUndRueckgabewerteAlsEinUndAusgaben) {
  auto vs = Uebersetze(R"(
struct VsEin { float3 p : POSITION; float2 uv : TEXCOORD0; };
struct VsAus { float4 p : POSITION; float2 uv : TEXCOORD3; float4 c : COLOR0; };
float4x4 gMatrix;
VsAus main(VsEin ein) {
  VsAus aus;
  aus.p = mul(gMatrix, float4(ein.p, 1));
  aus.uv = ein.uv;
  aus.c = 1;
  return aus;
})",
                       "vs_3_0");
  ASSERT_EQ(vs.hr, S_OK) << vs.meldungen;
  EXPECT_TRUE(vs.meldungen.empty()) << vs.meldungen;
  EXPECT_NE(vs.blob.glsl.find("gl_Position ="), std::string::npos) << vs.blob.glsl;
  EXPECT_EQ(AnLocation(vs.blob.glsl, "out", 3), "vec4") << vs.blob.glsl;
  EXPECT_EQ(AnLocation(vs.blob.glsl, "out", 16), "vec4") << vs.blob.glsl;
  EXPECT_NE(vs.blob.glsl.find("binding = 0, std140"), std::string::npos) << vs.blob.glsl;
  ASSERT_EQ(vs.blob.eingaenge.size(), 2u);
  EXPECT_EQ(vs.blob.eingaenge[1].usage, kTexcoord);
  EXPECT_EQ(AnLocation(vs.blob.glsl, "in", static_cast<int>(vs.blob.eingaenge[0].location)), "vec3");
  EXPECT_EQ(AnLocation(vs.blob.glsl, "in", static_cast<int>(vs.blob.eingaenge[1].location)), "vec2");

  auto ps = Uebersetze(R"(
struct PsAus { float4 a : COLOR0; float4 b : COLOR1; float tiefe : DEPTH; };
PsAus main(float2 uv : TEXCOORD3, float4 c : COLOR0) {
  PsAus aus;
  aus.a = c; aus.b = uv.xyxy; aus.tiefe = uv.x;
  return aus;
})",
                       "ps_3_0");
  ASSERT_EQ(ps.hr, S_OK) << ps.meldungen;
  EXPECT_EQ(AnLocation(ps.blob.glsl, "out", 0), "vec4") << ps.blob.glsl;
  EXPECT_EQ(AnLocation(ps.blob.glsl, "out", 1), "vec4") << ps.blob.glsl;
  EXPECT_NE(ps.blob.glsl.find("gl_FragDepth ="), std::string::npos) << ps.blob.glsl;
  EXPECT_EQ(ps.blob.uniformBlockBytes, 0u);  // no constants, no block to bind
  EXPECT_EQ(PruefeGlsl(vs.blob.glsl, ps.blob.glsl), "");

  // Structure members come as their semantics, not as glslang's built-ins: PSIZE and DEPTH are
  // one float there too.
  const struct {
    const char *profil, *glied, *glsl;
  } glieder[] = {{"vs_3_0", "float s : PSIZE", "gl_PointSize = "},
                 {"vs_3_0", "float2 s : PSIZE", nullptr},
                 {"ps_3_0", "float2 s : DEPTH", nullptr}};
  for (const auto& g : glieder) {
    const bool vertex = g.profil[0] == 'v';
    auto e = Uebersetze(std::string("struct A { float4 o : ") + (vertex ? "POSITION0" : "COLOR0") + "; " + g.glied +
                            "; };\nA main(float4 p : " + (vertex ? "POSITION0" : "TEXCOORD0") +
                            ") { A a; a.o = p; a.s = p.x; return a; }",
                        g.profil);
    EXPECT_EQ(SUCCEEDED(e.hr), g.glsl != nullptr) << g.glied << e.meldungen;
    EXPECT_NE(g.glsl ? e.blob.glsl.find(g.glsl) : e.meldungen.find("must be a float"), std::string::npos)
        << g.glied << e.blob.glsl << e.meldungen;
  }
}

// The last register of each semantic can be taken, one more cannot; interpolators keep their
// interpolation; built-ins have their one type. `glsl`: a line of the translation, for what was
// taken; `meldung`: what the refusal says, for what was not.
TEST(Schnittstelle, LetzterPlatzJederSemantik) {
  const struct {
    const char *profil, *deklaration, *gebrauch, *glsl, *meldung;
  } faelle[] = {
      {"vs_3_0", "out float4x4 m : TEXCOORD12", "m = float4x4(p, p, p, p);",
       "layout(location = 15) out vec4 io_TEXCOORD15;", nullptr},
      {"vs_3_0", "out float4x4 m : TEXCOORD13", "m = float4x4(p, p, p, p);", nullptr,
       "error: interpolator 'TEXCOORD13' lies beyond the last TEXCOORD register"},
      {"vs_3_0", "out float4 m[2] : COLOR2", "m[0] = p; m[1] = p;", "layout(location = 19) out vec4 io_COLOR3;",
       nullptr},
      {"vs_3_0", "out float4 m[2] : COLOR3", "m[0] = p; m[1] = p;", nullptr,
       "error: interpolator 'COLOR3' lies beyond the last COLOR register"},
      {"vs_3_0", "out float m : FOG", "m = p.x;", "layout(location = 20) out vec4 io_FOG0;", nullptr},
      {"vs_3_0", "out float m[2] : FOG", "m[0] = p.x; m[1] = p.y;", nullptr,
       "error: interpolator 'FOG' lies beyond the last FOG register"},
      {"vs_3_0", "out float m : PSIZE", "m = p.x;", "gl_PointSize = ", nullptr},
      {"vs_3_0", "out float2 m : PSIZE", "m = p.xy;", nullptr, "error: output PSIZE must be a float"},
      {"ps_3_0", "nointerpolation float4 m : TEXCOORD15", "o += m;",
       "layout(location = 15) flat in vec4 io_TEXCOORD15;", nullptr},
      {"ps_3_0", "float4 m[2] : TEXCOORD15", "o += m[1];", nullptr,
       "error: interpolator 'TEXCOORD15' lies beyond the last TEXCOORD register"},
      {"ps_3_0", "out float4 m : COLOR3", "m = p;", "layout(location = 3) out vec4", nullptr},
      {"ps_3_0", "out float4 m : COLOR4", "m = p;", nullptr, "error: output 'COLOR4' has no target"},
      {"ps_3_0", "out float4 m : SV_Target3", "m = p;", "layout(location = 3) out vec4", nullptr},
      {"ps_3_0", "out float4 m : SV_Target4", "m = p;", nullptr, "error: output 'SV_TARGET4' has no target"},
      {"ps_3_0", "out float m : DEPTH", "m = p.x;", "gl_FragDepth = ", nullptr},
      {"ps_3_0", "out float2 m : DEPTH", "m = p.xy;", nullptr, "error: output DEPTH must be a float"},
      {"ps_3_0", "float4 m : SV_Position", "o += m;", "gl_FragCoord", nullptr},
      {"ps_3_0", "float2 m : SV_Position", "o.xy += m;", nullptr, "error: 'SV_POSITION' must be a float4"},
  };
  for (const auto& f : faelle) {
    SCOPED_TRACE(f.deklaration);
    const bool vertex = f.profil[0] == 'v';
    const std::string hlsl = std::string(vertex ? "void main(float4 p : POSITION0, out float4 o : POSITION0, "
                                                  : "void main(float4 p : TEXCOORD0, out float4 o : COLOR0, ") +
                             f.deklaration + ") { o = p; " + f.gebrauch + " }";
    ASSERT_NE(f.glsl == nullptr, f.meldung == nullptr);
    auto e = Uebersetze(hlsl, f.profil);
    EXPECT_EQ(SUCCEEDED(e.hr), f.glsl != nullptr) << e.meldungen;
    EXPECT_NE(f.glsl ? e.blob.glsl.find(f.glsl) : e.meldungen.find(f.meldung), std::string::npos)
        << e.blob.glsl << e.meldungen;
  }
  // An input array takes one usage index per element.
  auto vs = Uebersetze("void main(float4 p : POSITION0, float4 m[2] : TEXCOORD3, out float4 o : POSITION0) "
                       "{ o = p + m[1]; }",
                       "vs_3_0");
  ASSERT_EQ(vs.hr, S_OK) << vs.meldungen;
  std::vector<std::array<std::uint32_t, 3>> eingaenge;
  for (const auto& e : vs.blob.eingaenge) eingaenge.push_back({e.usage, e.usageIndex, e.location});
  EXPECT_EQ(eingaenge, (decltype(eingaenge){{kPosition, 0, 0}, {kTexcoord, 3, 1}, {kTexcoord, 4, 2}}));
}

TEST(Schnittstelle, SemantikenOhnePlatzWerdenAbgelehnt) {
  const struct {
    const char *profil, *hlsl, *meldung;
  } faelle[] = {
      {"vs_3_0",
       "void main(float4 p : POSITION0, out float4 o : POSITION0, "
       "out float3 n : NORMAL0) { o = p; n = p.xyz; }",
       "NORMAL0"},
      {"vs_3_0",
       "void main(float4 p : POSITION0, out float3 o : POSITION0) { o = p.xyz; }", "float4"},
      {"vs_3_0",
       "void main(float4 p : POSITION0, out float4 o : POSITION0, "
       "out float4 q : POSITION1) { o = p; q = p; }",
       "POSITION"},
      {"vs_3_0",
       "void main(float4 p : POSITION0, out float4 o : POSITION0, "
       "out float4x4 m : TEXCOORD14) { o = p; m = 0; }",
       "TEXCOORD14"},
      {"ps_3_0", "void main(float4 c : TEXCOORD0, out float4 o : TEXCOORD1) { o = c; }", "TEXCOORD1"},
      {"vs_3_0", "void main(float4 p : WIRKLICHNICHTS, out float4 o : POSITION0) { o = p; }",
       "WIRKLICHNICHTS"},
  };
  for (const auto& f : faelle) {
    auto e = Uebersetze(f.hlsl, f.profil);
    EXPECT_TRUE(FAILED(e.hr)) << f.hlsl;
    EXPECT_NE(e.meldungen.find(f.meldung), std::string::npos) << e.meldungen;
    EXPECT_NE(e.meldungen.find("error"), std::string::npos) << e.meldungen;
    EXPECT_TRUE(e.code.empty());
  }
}
