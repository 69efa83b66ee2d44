// HLSL compiled through the D3DX layer and drawn through the Direct3D 9 device layer
// (OpenGL under Xvfb), constants found in the constant table and set the way the
// engine sets them; the back buffer is read with LockRect.
#include <array>
#include <cstring>

#include "GlGeraet.h"
#include "d3dx9.h"

namespace {

class D3d9Zeichnen : public GlTest::GlGeraetTest {
 protected:
  D3d9Zeichnen() : GlGeraetTest(16, 16) {}

  // Compiled through the D3DX layer and created on the device; returns the constant table.
  ID3DXConstantTable* Uebersetze(const char* hlsl, bool vertex) {
    const char* profil = vertex ? D3DXGetVertexShaderProfile(g_) : D3DXGetPixelShaderProfile(g_);
    ID3DXBuffer *code = nullptr, *meldungen = nullptr;
    ID3DXConstantTable* tabelle = nullptr;
    HRESULT hr = D3DXCompileShader(hlsl, static_cast<UINT>(std::strlen(hlsl) + 1), nullptr, nullptr, "main",
                                   profil, 0, &code, &meldungen, &tabelle);
    if (meldungen) Merke(meldungen);
    EXPECT_EQ(hr, S_OK) << (meldungen ? static_cast<const char*>(meldungen->GetBufferPointer()) : "");
    if (!code) return nullptr;
    const auto* dwords = static_cast<const DWORD*>(Merke(code)->GetBufferPointer());
    EXPECT_EQ(vertex ? g_->CreateVertexShader(dwords, &vs_) : g_->CreatePixelShader(dwords, &ps_), S_OK);
    Merke(vertex ? static_cast<IUnknown*>(vs_) : ps_);
    return Merke(tabelle);
  }

  // Register (or sampler stage) of a top-level constant, as the engine reads it.
  static UINT Register(ID3DXConstantTable* tabelle, const char* name) {
    D3DXCONSTANTTABLE_DESC t{};
    tabelle->GetDesc(&t);
    for (UINT i = 0; i < t.Constants; ++i) {
      D3DXCONSTANT_DESC d[10];
      UINT n = 10;
      tabelle->GetConstantDesc(tabelle->GetConstant(nullptr, i), d, &n);
      if (std::strcmp(d[0].Name, name) == 0) return d[0].RegisterIndex;
    }
    ADD_FAILURE() << "constant " << name << " missing";
    return 0;
  }

  // Clears to `grund` and draws a quad from -h to h in x and y with the created shaders.
  void ZeichneViereck(D3DCOLOR grund, float h) {
    ASSERT_EQ(g_->Clear(0, nullptr, D3DCLEAR_TARGET, grund, 1.0f, 0), S_OK);
    ASSERT_EQ(g_->BeginScene(), S_OK);
    g_->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    g_->SetVertexDeclaration(dekl_);
    g_->SetVertexShader(vs_);
    g_->SetPixelShader(ps_);
    Zeichne({{-h, h, 0, 1, 0, 0, 0, 0}, {h, h, 0, 1, 0, 0, 0, 0}, {-h, -h, 0, 1, 0, 0, 0, 0}, {h, -h, 0, 1, 0, 0, 0, 0}},
            D3DPT_TRIANGLESTRIP, 2);
    ASSERT_EQ(g_->EndScene(), S_OK);
  }

  IDirect3DVertexShader9* vs_ = nullptr;
  IDirect3DPixelShader9* ps_ = nullptr;
};

}  // namespace

TEST_F(D3d9Zeichnen, GleicheNamenInBeidenStufenSindVerschiedeneKonstanten) {
  // Direct3D 9 keeps the two stages' constants and samplers apart; in one GL program
  // uniforms of the same name would be one.
  auto* vs = Uebersetze(R"(
float4 gFarbe;
sampler2D gBild;
void main(float2 p : POSITION0, out float4 o : POSITION0, out float4 f : COLOR0) {
  o = float4(p * 2 * gFarbe.xy, 0, 1);
  f = tex2Dlod(gBild, float4(0.5, 0.5, 0, 0));
})",
                        true);
  auto* ps = Uebersetze(R"(
float4 gFarbe;
sampler2D gBild;
float4 main(float4 f : COLOR0) : COLOR0 { return f + tex2D(gBild, float2(0.5, 0.5)) + gFarbe; })",
                        false);
  ASSERT_TRUE(vs && ps);
  const std::uint32_t rot = 0xFFFF0000u, gruen = 0xFF00FF00u;
  g_->SetTexture(Register(ps, "gBild"), Textur(1, 1, D3DFMT_A8R8G8B8, &rot, 4, 1));
  g_->SetTexture(D3DVERTEXTEXTURESAMPLER0 + Register(vs, "gBild"), Textur(1, 1, D3DFMT_A8R8G8B8, &gruen, 4, 1));
  const float massstab[4] = {0.5f - 1.0f / 64, 0.5f - 1.0f / 64, 0, 0}, blau[4] = {0, 0, 1, 0};
  g_->SetVertexShaderConstantF(Register(vs, "gFarbe"), massstab, 1);  // scales the quad
  g_->SetPixelShaderConstantF(Register(ps, "gFarbe"), blau, 1);       // adds blue

  // A quad from -0.5 to 0.5 in x and y, scaled by the vertex shader's constant.
  ASSERT_NO_FATAL_FAILURE(ZeichneViereck(0xFF000000u, 0.5f));
  // Edges at 4.125 and 11.875 pixels; white only where both samplers and both constants
  // were found apart.
  const auto weiss = [](int r, int g, int b) { return r + g + b == 3 * 255; };
  EXPECT_EQ(LiesRueckpuffer().Umriss(weiss), (std::array<UINT, 4>{5, 5, 12, 12}));
}

// Direct3D 9 hands every interpolator over as a float4 register: what a narrower vertex output
// leaves unwritten arrives as 0 in y and z and 1 in w.
TEST_F(D3d9Zeichnen, SchmaleInterpolatorenKommenMitNullUndEinsAn) {
  Uebersetze(R"(
void main(float4 p : POSITION0, out float4 o : POSITION0, out float k : TEXCOORD0, out float2 uv : TEXCOORD1,
          out float3 n : TEXCOORD2) {
  o = p; k = 0.25; uv = 0.25; n = 0.25;
})",
             true);
  Uebersetze(R"(
float4 main(float4 k : TEXCOORD0, float4 uv : TEXCOORD1, float4 n : TEXCOORD2) : COLOR0 {
  return float4(k.y + k.z + uv.z, k.w * uv.w * n.w, k.x + uv.y + n.z, 1);
})",
             false);
  ASSERT_TRUE(vs_ && ps_);
  // Past the edges: the half-pixel offset of Direct3D 9 leaves every pixel covered.
  ASSERT_NO_FATAL_FAILURE(ZeichneViereck(0xFF808080u, 2));
  const auto soll = [](int r, int g, int b) { return r == 0 && g == 255 && b >= 190 && b <= 192; };
  EXPECT_EQ(LiesRueckpuffer().Umriss(soll), (std::array<UINT, 4>{0, 0, 16, 16})) << std::hex << LiesRueckpuffer()(8, 8);
}
