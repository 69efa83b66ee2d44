// HLSL compiled through the D3DX layer and drawn through the Direct3D 9 device layer
// (OpenGL under Xvfb), constants found in the constant table and set the way the
// engine sets them; the back buffer is read with LockRect.
#include <GLFW/glfw3.h>
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <string>

#include "d3d9/d3d9.h"
#include "d3dx9.h"
#include "fenster/Fenster.h"

namespace {

constexpr UINT kGroesse = 16;

template <class T>
void Frei(T*& p) {
  if (p) p->Release();
  p = nullptr;
}

struct Shader {
  ID3DXBuffer* code = nullptr;
  ID3DXConstantTable* tabelle = nullptr;
  ~Shader() {
    Frei(code);
    Frei(tabelle);
  }
  // Register (or sampler stage) of a top-level constant, as the engine reads it.
  UINT Register(const char* name) const {
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
};

class D3d9Zeichnen : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(glfwInit());
    Plattform::Fenster::SetzeOpenGLHinweise(false);
    glfwWindowHint(GLFW_VISIBLE, GLFW_FALSE);
    fenster_ = glfwCreateWindow(kGroesse, kGroesse, "d3dx", nullptr, nullptr);
    ASSERT_NE(fenster_, nullptr);
    d3d_ = Direct3DCreate9(D3D_SDK_VERSION);
    ASSERT_NE(d3d_, nullptr);
    D3DPRESENT_PARAMETERS pp{};
    pp.BackBufferWidth = kGroesse;
    pp.BackBufferHeight = kGroesse;
    pp.BackBufferFormat = D3DFMT_X8R8G8B8;
    pp.SwapEffect = D3DSWAPEFFECT_DISCARD;
    pp.Windowed = TRUE;
    pp.EnableAutoDepthStencil = TRUE;
    pp.AutoDepthStencilFormat = D3DFMT_D16;
    pp.Flags = D3DPRESENTFLAG_LOCKABLE_BACKBUFFER;
    pp.PresentationInterval = D3DPRESENT_INTERVAL_IMMEDIATE;
    ASSERT_EQ(d3d_->CreateDevice(0, D3DDEVTYPE_HAL, Plattform::Fenster::HandleVon(fenster_), 0x52,
                                 &pp, &geraet_),
              S_OK);
    geraet_->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
  }

  void TearDown() override {
    Frei(textur_);
    Frei(puffer_);
    Frei(deklaration_);
    Frei(vs_);
    Frei(ps_);
    Frei(geraet_);
    Frei(d3d_);
    if (fenster_) {
      Plattform::Fenster::Vergiss(fenster_);
      glfwDestroyWindow(fenster_);
    }
    glfwTerminate();
  }

  void Uebersetze(const char* hlsl, bool vertex, Shader& s) {
    const char* profil = vertex ? D3DXGetVertexShaderProfile(geraet_) : D3DXGetPixelShaderProfile(geraet_);
    ID3DXBuffer* meldungen = nullptr;
    HRESULT hr = D3DXCompileShader(hlsl, static_cast<UINT>(std::strlen(hlsl) + 1), nullptr, nullptr,
                                   "main", profil, 0, &s.code, &meldungen, &s.tabelle);
    std::string text = meldungen ? static_cast<const char*>(meldungen->GetBufferPointer()) : "";
    Frei(meldungen);
    ASSERT_EQ(hr, S_OK) << text;
    const auto* code = static_cast<const DWORD*>(s.code->GetBufferPointer());
    if (vertex)
      ASSERT_EQ(geraet_->CreateVertexShader(code, &vs_), S_OK);
    else
      ASSERT_EQ(geraet_->CreatePixelShader(code, &ps_), S_OK);
  }

  // A quad of {x, y, u, v} as POSITION0 and TEXCOORD0 from one stream.
  void Quad(const std::array<std::array<float, 4>, 4>& ecken) {
    const D3DVERTEXELEMENT9 elemente[] = {
        {0, 0, D3DDECLTYPE_FLOAT2, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_POSITION, 0},
        {0, 8, D3DDECLTYPE_FLOAT2, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_TEXCOORD, 0},
        D3DDECL_END()};
    ASSERT_EQ(geraet_->CreateVertexDeclaration(elemente, &deklaration_), S_OK);
    ASSERT_EQ(geraet_->CreateVertexBuffer(sizeof ecken, 0, 0, D3DPOOL_DEFAULT, &puffer_, nullptr), S_OK);
    void* daten = nullptr;
    ASSERT_EQ(puffer_->Lock(0, 0, &daten, 0), S_OK);
    std::memcpy(daten, ecken.data(), sizeof ecken);
    puffer_->Unlock();
  }

  void Zeichne() {
    ASSERT_EQ(geraet_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000u, 1.0f, 0), S_OK);
    ASSERT_EQ(geraet_->BeginScene(), S_OK);
    geraet_->SetVertexDeclaration(deklaration_);
    geraet_->SetStreamSource(0, puffer_, 0, 16);
    geraet_->SetVertexShader(vs_);
    geraet_->SetPixelShader(ps_);
    ASSERT_EQ(geraet_->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2), S_OK);
    ASSERT_EQ(geraet_->EndScene(), S_OK);
    LiesRueckpuffer();
  }

  void LiesRueckpuffer() {
    IDirect3DSurface9* rueck = nullptr;
    ASSERT_EQ(geraet_->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &rueck), S_OK);
    D3DLOCKED_RECT gesperrt{};
    ASSERT_EQ(rueck->LockRect(&gesperrt, nullptr, D3DLOCK_READONLY), S_OK);
    for (UINT y = 0; y < kGroesse; ++y)
      std::memcpy(&bild_[y * kGroesse], static_cast<const std::uint8_t*>(gesperrt.pBits) + y * gesperrt.Pitch,
                  kGroesse * 4);
    rueck->UnlockRect();
    Frei(rueck);
  }

  // X8R8G8B8 as 0x00RRGGBB; row 0 is the top.
  std::uint32_t Pixel(UINT x, UINT y) const { return bild_[y * kGroesse + x] & 0xFFFFFFu; }
  std::array<UINT, 4> Rechteck(std::uint32_t farbe) const {
    std::array<UINT, 4> r{kGroesse, kGroesse, 0, 0};
    for (UINT y = 0; y < kGroesse; ++y)
      for (UINT x = 0; x < kGroesse; ++x)
        if (Pixel(x, y) == farbe) {
          r[0] = std::min(r[0], x);
          r[1] = std::min(r[1], y);
          r[2] = std::max(r[2], x + 1);
          r[3] = std::max(r[3], y + 1);
        }
    return r;
  }

  GLFWwindow* fenster_ = nullptr;
  IDirect3D9* d3d_ = nullptr;
  IDirect3DDevice9* geraet_ = nullptr;
  IDirect3DVertexShader9* vs_ = nullptr;
  IDirect3DPixelShader9* ps_ = nullptr;
  IDirect3DVertexDeclaration9* deklaration_ = nullptr;
  IDirect3DVertexBuffer9* puffer_ = nullptr;
  IDirect3DTexture9* textur_ = nullptr;
  std::array<std::uint32_t, kGroesse * kGroesse> bild_{};
};

constexpr std::array<std::array<float, 4>, 4> kQuad{{
    {-0.5f, 0.5f, 0, 0}, {0.5f, 0.5f, 1, 0}, {-0.5f, -0.5f, 0, 1}, {0.5f, -0.5f, 1, 1}}};

}  // namespace

TEST_F(D3d9Zeichnen, MatrixKonstanteTransformiertWieMulMv) {
  Shader vs, ps;
  ASSERT_NO_FATAL_FAILURE(Uebersetze(R"(
float4 gVorher[3];
float4x4 gMatrix;
void main(float2 p : POSITION0, out float4 o : POSITION0) {
  o = mul(gMatrix, float4(p, 0, 1)) + gVorher[1] * gVorher[2];
})",
             true, vs));
  ASSERT_NO_FATAL_FAILURE(
      Uebersetze("float4 gFarbe; float4 main() : COLOR0 { return gFarbe; }", false, ps));
  ASSERT_NO_FATAL_FAILURE(Quad(kQuad));
  // Scale 0.5, move by (0.25, 0.5) and a quarter pixel right and down, so that no edge
  // lies on a pixel centre; row-major with column vectors, as the engine keeps
  // matrices. It uploads the rows of the transposed matrix.
  const float viertel = 1.0f / 32;
  const float m[4][4] = {
      {0.5f, 0, 0, 0.25f + viertel}, {0, 0.5f, 0, 0.5f - viertel}, {0, 0, 1, 0}, {0, 0, 0, 1}};
  float transponiert[16];
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) transponiert[4 * i + j] = m[j][i];
  const UINT r = vs.Register("gMatrix");
  EXPECT_EQ(r, 3u);
  ASSERT_EQ(geraet_->SetVertexShaderConstantF(r, transponiert, 4), S_OK);
  const float gruen[4] = {0, 1, 0, 1};
  ASSERT_EQ(geraet_->SetPixelShaderConstantF(ps.Register("gFarbe"), gruen, 1), S_OK);
  ASSERT_NO_FATAL_FAILURE(Zeichne());
  // Edges at x 8.25 and 12.25, y 2.25 and 6.25 pixels: columns 9..12, rows 3..6 (row 0
  // at the top).
  EXPECT_EQ(Rechteck(0x00FF00u), (std::array<UINT, 4>{9, 3, 13, 7}));
  EXPECT_EQ(Pixel(0, 0), 0u);
}

TEST_F(D3d9Zeichnen, SamplerUndPixelkonstantenNachTabelle) {
  Shader vs, ps;
  ASSERT_NO_FATAL_FAILURE(Uebersetze(R"(
void main(float2 p : POSITION0, float2 uv : TEXCOORD0, out float4 o : POSITION0, out float2 t : TEXCOORD0) {
  o = float4(p * 2, 0, 1);
  t = uv;
})",
             true, vs));
  ASSERT_NO_FATAL_FAILURE(Uebersetze(R"(
float4 gUngenutzt;
struct Mischung { float4 faktor; float4 summand; };
Mischung gMischung;
sampler2D gLeer;
sampler2D gBild;
float4 main(float4 t : TEXCOORD0) : COLOR0 {
  return tex2D(gBild, t.xy) * gMischung.faktor + gMischung.summand + tex2D(gLeer, t.xy) * gMischung.summand.w;
})",
             false, ps));
  ASSERT_NO_FATAL_FAILURE(Quad(kQuad));
  ASSERT_EQ(geraet_->CreateTexture(2, 2, 1, D3DUSAGE_DYNAMIC, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &textur_, nullptr), S_OK);
  D3DLOCKED_RECT gesperrt{};
  ASSERT_EQ(textur_->LockRect(0, &gesperrt, nullptr, 0), S_OK);
  const std::uint32_t texel[2][2] = {{0xFFFF0000u, 0xFF00FF00u}, {0xFF0000FFu, 0xFFFFFFFFu}};
  for (int y = 0; y < 2; ++y)
    std::memcpy(static_cast<std::uint8_t*>(gesperrt.pBits) + y * gesperrt.Pitch, texel[y], 8);
  textur_->UnlockRect(0);
  const UINT stufe = ps.Register("gBild");
  EXPECT_EQ(stufe, 1u);
  geraet_->SetTexture(stufe, textur_);
  geraet_->SetSamplerState(stufe, D3DSAMP_MINFILTER, D3DTEXF_POINT);
  geraet_->SetSamplerState(stufe, D3DSAMP_MAGFILTER, D3DTEXF_POINT);
  // faktor (1, 1, 1, 1) and summand (0, 0, 0.4, 0): blue rises by 102.
  const float mischung[8] = {1, 1, 1, 1, 0, 0, 0.4f, 0};
  const UINT r = ps.Register("gMischung");
  EXPECT_EQ(r, 0u);
  ASSERT_EQ(geraet_->SetPixelShaderConstantF(r, mischung, 2), S_OK);
  ASSERT_NO_FATAL_FAILURE(Zeichne());
  // One texel per quarter of the target, row 0 of the texture at the top. (The
  // target's outermost rows are left out: they test the rasterisation, not this layer.)
  EXPECT_EQ(Pixel(1, 1), 0xFF0066u);
  EXPECT_EQ(Pixel(14, 1), 0x00FF66u);
  EXPECT_EQ(Pixel(1, 14), 0x0000FFu);
  EXPECT_EQ(Pixel(14, 14), 0xFFFFFFu);
}

TEST_F(D3d9Zeichnen, RenderzielWirdAufrechtGezeichnetUndTexelgenauGesampelt) {
  // Pixel coordinates with Direct3D 9's half-pixel offset: gMassstab = (2/w, -2/h, -1, 1).
  Shader vs, ps;
  ASSERT_NO_FATAL_FAILURE(Uebersetze(R"(
float4 gMassstab;
void main(float2 p : POSITION0, float2 uv : TEXCOORD0, out float4 o : POSITION0, out float2 t : TEXCOORD0) {
  o = float4(p * gMassstab.xy + gMassstab.zw, 0, 1);
  t = uv;
})",
                                     true, vs));
  ASSERT_NO_FATAL_FAILURE(Uebersetze(R"(
float4 gFaktor;
float4 gSummand;
sampler2D gBild;
float4 main(float2 t : TEXCOORD0) : COLOR0 { return tex2D(gBild, t) * gFaktor + gSummand; })",
                                     false, ps));
  // Three quads of pixels [x0, x1) x [y0, y1), corners half a pixel before the centres.
  auto quad = [](float x0, float y0, float x1, float y1) {
    return std::array<std::array<float, 4>, 4>{{{x0 - 0.5f, y0 - 0.5f, 0, 0},
                                                {x1 - 0.5f, y0 - 0.5f, 1, 0},
                                                {x0 - 0.5f, y1 - 0.5f, 0, 1},
                                                {x1 - 0.5f, y1 - 0.5f, 1, 1}}};
  };
  const std::array<std::array<std::array<float, 4>, 4>, 3> quads{quad(0, 0, 4, 4), quad(6, 7, 8, 8), quad(4, 4, 12, 12)};
  ASSERT_NO_FATAL_FAILURE(Quad(quads[0]));
  Frei(puffer_);
  ASSERT_EQ(geraet_->CreateVertexBuffer(sizeof quads, 0, 0, D3DPOOL_DEFAULT, &puffer_, nullptr), S_OK);
  void* daten = nullptr;
  ASSERT_EQ(puffer_->Lock(0, 0, &daten, 0), S_OK);
  std::memcpy(daten, quads.data(), sizeof quads);
  puffer_->Unlock();

  IDirect3DSurface9 *ziel = nullptr, *rueck = nullptr;
  ASSERT_EQ(geraet_->CreateTexture(8, 8, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &textur_, nullptr),
            S_OK);
  textur_->GetSurfaceLevel(0, &ziel);
  geraet_->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &rueck);
  const UINT massstab = vs.Register("gMassstab"), faktor = ps.Register("gFaktor"),
             summand = ps.Register("gSummand"), stufe = ps.Register("gBild");

  // Into the 8 x 8 target: red top left, green bottom right, on blue.
  ASSERT_EQ(geraet_->SetRenderTarget(0, ziel), S_OK);
  geraet_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF0000FFu, 1.0f, 0);
  geraet_->BeginScene();
  geraet_->SetVertexDeclaration(deklaration_);
  geraet_->SetStreamSource(0, puffer_, 0, 16);
  geraet_->SetVertexShader(vs_);
  geraet_->SetPixelShader(ps_);
  const float klein[4] = {2.0f / 8, -2.0f / 8, -1, 1}, null4[4] = {0, 0, 0, 0}, eins4[4] = {1, 1, 1, 1};
  const float rot[4] = {1, 0, 0, 1}, gruen[4] = {0, 1, 0, 1};
  geraet_->SetVertexShaderConstantF(massstab, klein, 1);
  geraet_->SetPixelShaderConstantF(faktor, null4, 1);
  geraet_->SetPixelShaderConstantF(summand, rot, 1);
  ASSERT_EQ(geraet_->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2), S_OK);
  geraet_->SetPixelShaderConstantF(summand, gruen, 1);
  ASSERT_EQ(geraet_->DrawPrimitive(D3DPT_TRIANGLESTRIP, 4, 2), S_OK);
  geraet_->EndScene();

  // The target, point-sampled onto pixels 4..11 of the 16 x 16 back buffer.
  ASSERT_EQ(geraet_->SetRenderTarget(0, rueck), S_OK);
  geraet_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000u, 1.0f, 0);
  geraet_->BeginScene();
  const float gross[4] = {2.0f / kGroesse, -2.0f / kGroesse, -1, 1};
  geraet_->SetVertexShaderConstantF(massstab, gross, 1);
  geraet_->SetPixelShaderConstantF(faktor, eins4, 1);
  geraet_->SetPixelShaderConstantF(summand, null4, 1);
  geraet_->SetTexture(stufe, textur_);
  geraet_->SetSamplerState(stufe, D3DSAMP_MINFILTER, D3DTEXF_POINT);
  geraet_->SetSamplerState(stufe, D3DSAMP_MAGFILTER, D3DTEXF_POINT);
  ASSERT_EQ(geraet_->DrawPrimitive(D3DPT_TRIANGLESTRIP, 8, 2), S_OK);
  geraet_->EndScene();
  geraet_->SetTexture(stufe, nullptr);
  Frei(ziel);
  Frei(rueck);
  ASSERT_NO_FATAL_FAILURE(LiesRueckpuffer());

  for (UINT y = 0; y < kGroesse; ++y)
    for (UINT x = 0; x < kGroesse; ++x) {
      std::uint32_t soll = 0;
      if (x >= 4 && x < 12 && y >= 4 && y < 12) {
        const UINT u = x - 4, v = y - 4;
        soll = (u < 4 && v < 4) ? 0xFF0000u : (u >= 6 && v >= 7) ? 0x00FF00u : 0x0000FFu;
      }
      ASSERT_EQ(Pixel(x, y), soll) << x << "," << y;
    }
}
