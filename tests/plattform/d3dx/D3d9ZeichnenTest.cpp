// HLSL compiled through the D3DX layer and drawn through the Direct3D 9 device layer
// (OpenGL under Xvfb), constants found in the constant table and set the way the
// engine sets them; the back buffer is read with LockRect.
#include <array>
#include <cstring>
#include <string>

#include "GlGeraet.h"
#include "d3dx9.h"

namespace {

class D3d9Zeichnen : public GlTest::GlGeraetTest {
 protected:
  D3d9Zeichnen() : GlGeraetTest(16, 16) {}

  void SetUp() override {
    GlGeraetTest::SetUp();
    g_->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
  }

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
    Merke(code);
    const auto* dwords = static_cast<const DWORD*>(code->GetBufferPointer());
    if (vertex)
      EXPECT_EQ(g_->CreateVertexShader(dwords, &vs_), S_OK);
    else
      EXPECT_EQ(g_->CreatePixelShader(dwords, &ps_), S_OK);
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

  // A quad from -0.5 to 0.5 in x and y, {x, y, u, v} as POSITION0 and TEXCOORD0.
  void Quad() {
    const float quad[16] = {-0.5f, 0.5f, 0, 0, 0.5f, 0.5f, 1, 0, -0.5f, -0.5f, 0, 1, 0.5f, -0.5f, 1, 1};
    const D3DVERTEXELEMENT9 elemente[] = {
        {0, 0, D3DDECLTYPE_FLOAT2, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_POSITION, 0},
        {0, 8, D3DDECLTYPE_FLOAT2, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_TEXCOORD, 0},
        D3DDECL_END()};
    ASSERT_EQ(g_->CreateVertexDeclaration(elemente, &deklaration_), S_OK);
    Merke(deklaration_);
    ASSERT_EQ(g_->CreateVertexBuffer(sizeof quad, 0, 0, D3DPOOL_DEFAULT, &puffer_, nullptr), S_OK);
    Merke(puffer_);
    void* daten = nullptr;
    ASSERT_EQ(puffer_->Lock(0, 0, &daten, 0), S_OK);
    std::memcpy(daten, quad, sizeof quad);
    puffer_->Unlock();
  }

  void Zeichne() {
    ASSERT_EQ(g_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000u, 1.0f, 0), S_OK);
    ASSERT_EQ(g_->BeginScene(), S_OK);
    g_->SetVertexDeclaration(deklaration_);
    g_->SetStreamSource(0, puffer_, 0, 16);
    g_->SetVertexShader(vs_);
    g_->SetPixelShader(ps_);
    ASSERT_EQ(g_->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2), S_OK);
    ASSERT_EQ(g_->EndScene(), S_OK);
    bild_ = LiesRueckpuffer();
  }

  // 0x00RRGGBB; row 0 is the top.
  std::uint32_t Pixel(UINT x, UINT y) const { return bild_(x, y) & 0xFFFFFFu; }

  IDirect3DVertexShader9* vs_ = nullptr;
  IDirect3DPixelShader9* ps_ = nullptr;
  IDirect3DVertexDeclaration9* deklaration_ = nullptr;
  IDirect3DVertexBuffer9* puffer_ = nullptr;
  GlTest::Pixelbild bild_;
};

}  // namespace

// A white quad moved by a matrix kept row-major, as the engine keeps it: uploaded as the
// rows of its transpose. Scale 0.5 and a quarter pixel more, so that no edge lies on a
// pixel centre.
TEST_F(D3d9Zeichnen, MatrixKonstanteNachTabelleTransformiert) {
  constexpr float v = 1.0f / 32;
  const struct {
    const char* vs;
    const char* matrix;
    float m[4][4];
    std::array<UINT, 4> rechteck;
  } faelle[] = {
      // Column vectors: the move stands in the last column, so a transposed upload would
      // land it in w. Earlier constants move the matrix's register. Edges at x 8.25 and
      // 12.25, y 2.25 and 6.25 pixels.
      {R"(
float4 gVorher[3];
float4x4 gMatrix;
void main(float2 p : POSITION0, out float4 o : POSITION0) {
  o = mul(gMatrix, float4(p, 0, 1)) + gVorher[1] * gVorher[2];
})",
       "gMatrix",
       {{0.5f, 0, 0, 0.25f + v}, {0, 0.5f, 0, 0.5f - v}, {0, 0, 1, 0}, {0, 0, 0, 1}},
       {9, 3, 13, 7}},
      // Row vectors keep the move in the last row and write mul(v, M).
      {R"(
float4x4 gWelt;
void main(float2 p : POSITION0, out float4 o : POSITION0) { o = mul(float4(p, 0, 1), gWelt); })",
       "gWelt",
       {{0.5f, 0, 0, 0}, {0, 0.5f, 0, 0}, {0, 0, 1, 0}, {-0.25f + v, -0.5f - v, 0, 1}},
       {5, 11, 9, 15}},
  };
  ASSERT_TRUE(Uebersetze("float4 main() : COLOR0 { return 1; }", false));
  ASSERT_NO_FATAL_FAILURE(Quad());
  for (const auto& f : faelle) {
    SCOPED_TRACE(f.matrix);
    auto* tabelle = Uebersetze(f.vs, true);
    ASSERT_TRUE(tabelle);
    float transponiert[16];
    for (int i = 0; i < 4; ++i)
      for (int j = 0; j < 4; ++j) transponiert[4 * i + j] = f.m[j][i];
    ASSERT_EQ(g_->SetVertexShaderConstantF(Register(tabelle, f.matrix), transponiert, 4), S_OK);
    ASSERT_NO_FATAL_FAILURE(Zeichne());
    EXPECT_EQ(bild_.Rechteck(0xFFFFFFu, 0xFFFFFFu), f.rechteck);
  }
}

TEST_F(D3d9Zeichnen, SamplerUndPixelkonstantenNachTabelle) {
  auto* vs = Uebersetze(R"(
void main(float2 p : POSITION0, float2 uv : TEXCOORD0, out float4 o : POSITION0, out float2 t : TEXCOORD0) {
  o = float4(p * 2, 0, 1);
  t = uv;
})",
             true);
  auto* ps = Uebersetze(R"(
float4 gUngenutzt;
struct Mischung { float4 faktor; float4 summand; };
Mischung gMischung;
sampler2D gLeer;
sampler2D gBild;
float4 main(float4 t : TEXCOORD0) : COLOR0 {
  return tex2D(gBild, t.xy) * gMischung.faktor + gMischung.summand + tex2D(gLeer, t.xy) * gMischung.summand.w;
})",
             false);
  ASSERT_TRUE(vs && ps);
  ASSERT_NO_FATAL_FAILURE(Quad());
  const std::uint32_t texel[2][2] = {{0xFFFF0000u, 0xFF00FF00u}, {0xFF0000FFu, 0xFFFFFFFFu}};
  auto* textur = Textur(2, 2, D3DFMT_A8R8G8B8, texel, 8, 2);
  const UINT stufe = Register(ps, "gBild");
  EXPECT_EQ(stufe, 1u);
  g_->SetTexture(stufe, textur);
  g_->SetSamplerState(stufe, D3DSAMP_MINFILTER, D3DTEXF_POINT);
  g_->SetSamplerState(stufe, D3DSAMP_MAGFILTER, D3DTEXF_POINT);
  // faktor (1, 1, 1, 1) and summand (0, 0, 0.4, 0): blue rises by 102.
  const float mischung[8] = {1, 1, 1, 1, 0, 0, 0.4f, 0};
  const UINT r = Register(ps, "gMischung");
  EXPECT_EQ(r, 0u);
  ASSERT_EQ(g_->SetPixelShaderConstantF(r, mischung, 2), S_OK);
  ASSERT_NO_FATAL_FAILURE(Zeichne());
  // One texel per quarter of the target, row 0 of the texture at the top. (The
  // target's outermost rows are left out: they test the rasterisation, not this layer.)
  EXPECT_EQ(Pixel(1, 1), 0xFF0066u);
  EXPECT_EQ(Pixel(14, 1), 0x00FF66u);
  EXPECT_EQ(Pixel(1, 14), 0x0000FFu);
  EXPECT_EQ(Pixel(14, 14), 0xFFFFFFu);
}

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
  ASSERT_NO_FATAL_FAILURE(Quad());
  const std::uint32_t rot[4] = {0xFFFF0000u, 0xFFFF0000u, 0xFFFF0000u, 0xFFFF0000u};
  const std::uint32_t gruen[4] = {0xFF00FF00u, 0xFF00FF00u, 0xFF00FF00u, 0xFF00FF00u};
  g_->SetTexture(Register(ps, "gBild"), Textur(2, 2, D3DFMT_A8R8G8B8, rot, 8, 2));
  g_->SetTexture(D3DVERTEXTEXTURESAMPLER0 + Register(vs, "gBild"),
                 Textur(2, 2, D3DFMT_A8R8G8B8, gruen, 8, 2));
  const float massstab[4] = {0.5f - 1.0f / 64, 0.5f - 1.0f / 64, 0, 0}, blau[4] = {0, 0, 1, 0};
  g_->SetVertexShaderConstantF(Register(vs, "gFarbe"), massstab, 1);  // scales the quad
  g_->SetPixelShaderConstantF(Register(ps, "gFarbe"), blau, 1);       // adds blue
  ASSERT_NO_FATAL_FAILURE(Zeichne());
  // Edges at 4.125 and 11.875 pixels; white only where both samplers and both constants
  // were found apart.
  EXPECT_EQ(bild_.Rechteck(0xFFFFFFu, 0xFFFFFFu), (std::array<UINT, 4>{5, 5, 12, 12}));
}
