#include "GlGeraet.h"

#include <cstring>

#include "fenster/Fenster.h"

namespace GlTest {

const std::string kC0 = "layout(std140, binding = 0) uniform VsKonstanten { vec4 c0; };";

std::string PixelVs(const std::string& kopf, const std::string& lage, const std::string& wert) {
  return "#version 450\n"
         "layout(location = 0) in vec4 pos;\n"
         "layout(location = 1) in vec4 wert;\n"
         "layout(location = 0) out vec4 v_wert;\n" +
         kopf + "\nvoid main() {\n  vec2 p = " + lage + ";\n" +
         "  gl_Position = vec4(p.x * c0.x + c0.z, p.y * c0.y + c0.w, pos.z, 1.0);\n" +
         "  v_wert = " + wert + ";\n}\n";
}

const char* const kPsFarbe = R"(#version 450
layout(location = 0) in vec4 v_wert;
layout(location = 0) out vec4 farbe;
void main() { farbe = v_wert; }
)";

const char* const kPsTextur = R"(#version 450
layout(location = 0) in vec4 v_wert;
layout(location = 0) out vec4 farbe;
layout(binding = 0) uniform sampler2D s0;
void main() { farbe = texture(s0, v_wert.xy); }
)";

void GlGeraetTest::SetUpTestSuite() { fenster_ = std::make_unique<VerstecktesFenster>(); }

void GlGeraetTest::TearDownTestSuite() { fenster_.reset(); }

D3DPRESENT_PARAMETERS GlGeraetTest::Vorgaben(UINT intervall) const {
  D3DPRESENT_PARAMETERS pp{};
  pp.BackBufferWidth = breite_;
  pp.BackBufferHeight = hoehe_;
  pp.BackBufferFormat = D3DFMT_A8R8G8B8;
  pp.SwapEffect = D3DSWAPEFFECT_DISCARD;
  pp.Windowed = TRUE;
  pp.EnableAutoDepthStencil = TRUE;
  pp.AutoDepthStencilFormat = D3DFMT_D24X8;
  pp.Flags = D3DPRESENTFLAG_LOCKABLE_BACKBUFFER;
  pp.PresentationInterval = intervall;
  return pp;
}

void GlGeraetTest::SetUp() {
  ASSERT_NE(fenster_->glfw(), nullptr);
  d3d_ = Direct3DCreate9(D3D_SDK_VERSION);
  ASSERT_NE(d3d_, nullptr);
  D3DPRESENT_PARAMETERS pp = Vorgaben(D3DPRESENT_INTERVAL_IMMEDIATE);
  ASSERT_EQ(d3d_->CreateDevice(0, D3DDEVTYPE_HAL, Plattform::Fenster::HandleVon(fenster_->glfw()), 0x52, &pp, &g_),
            D3D_OK);
  const D3DVERTEXELEMENT9 el[] = {{0, 0, D3DDECLTYPE_FLOAT4, 0, D3DDECLUSAGE_POSITION, 0},
                                  {0, 16, D3DDECLTYPE_FLOAT4, 0, D3DDECLUSAGE_TEXCOORD, 0},
                                  D3DDECL_END()};
  ASSERT_EQ(g_->CreateVertexDeclaration(el, &dekl_), D3D_OK);
  vsPixel_ = Vs(PixelVs(kC0, "pos.xy").c_str(), {{0, 4, 0, 4}}, 16);
  ASSERT_NE(vsPixel_, nullptr);
  ASSERT_EQ(g_->CreateVertexBuffer(64 * sizeof(Ecke), D3DUSAGE_DYNAMIC | D3DUSAGE_WRITEONLY, 0, D3DPOOL_DEFAULT,
                                   &vb_, nullptr),
            D3D_OK);
}

void GlGeraetTest::TearDown() {
  for (auto it = objekte_.rbegin(); it != objekte_.rend(); ++it) (*it)->Release();
  if (vb_) vb_->Release();
  if (dekl_) dekl_->Release();
  if (g_) {
    EXPECT_EQ(g_->Release(), 0u);
  }
  if (d3d_) d3d_->Release();
}

IDirect3DVertexShader9* GlGeraetTest::Vs(const char* glsl, std::vector<Plattform::RegisterSpanne> spannen,
                                         std::uint32_t blockBytes) {
  auto b = TestBlob(Plattform::ShaderStufe::Vertex, glsl, std::move(spannen), blockBytes);
  b.eingaenge = {{D3DDECLUSAGE_POSITION, 0, 0}, {D3DDECLUSAGE_TEXCOORD, 0, 1}, {D3DDECLUSAGE_TEXCOORD, 1, 2}};
  const auto code = Plattform::SerialisiereShaderBlob(b);
  IDirect3DVertexShader9* s = nullptr;
  EXPECT_EQ(g_->CreateVertexShader(reinterpret_cast<const DWORD*>(code.data()), &s), D3D_OK);
  return s ? Merke(s) : nullptr;
}

IDirect3DPixelShader9* GlGeraetTest::Ps(const char* glsl, std::vector<Plattform::RegisterSpanne> spannen,
                                        std::uint32_t blockBytes, std::vector<Plattform::SamplerBindung> sampler) {
  auto b = TestBlob(Plattform::ShaderStufe::Pixel, glsl, std::move(spannen), blockBytes);
  b.sampler = std::move(sampler);
  const auto code = Plattform::SerialisiereShaderBlob(b);
  IDirect3DPixelShader9* s = nullptr;
  EXPECT_EQ(g_->CreatePixelShader(reinterpret_cast<const DWORD*>(code.data()), &s), D3D_OK);
  return s ? Merke(s) : nullptr;
}

void GlGeraetTest::Beginne(IDirect3DPixelShader9* ps, UINT breite, UINT hoehe) {
  ASSERT_EQ(g_->BeginScene(), D3D_OK);
  g_->SetVertexDeclaration(dekl_);
  g_->SetVertexShader(vsPixel_);
  g_->SetPixelShader(ps);
  g_->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
  g_->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);
  const float c0[4] = {2.0f / static_cast<float>(breite ? breite : breite_),
                       -2.0f / static_cast<float>(hoehe ? hoehe : hoehe_), -1.0f, 1.0f};
  ASSERT_EQ(g_->SetVertexShaderConstantF(0, c0, 1), D3D_OK);
}

void GlGeraetTest::Zeichne(const std::vector<Ecke>& ecken, D3DPRIMITIVETYPE typ, UINT primitive) {
  void* p = nullptr;
  ASSERT_EQ(vb_->Lock(0, 0, &p, D3DLOCK_DISCARD), D3D_OK);
  std::memcpy(p, ecken.data(), ecken.size() * sizeof(Ecke));
  vb_->Unlock();
  g_->SetStreamSource(0, vb_, 0, sizeof(Ecke));
  ASSERT_EQ(g_->DrawPrimitive(typ, 0, primitive), D3D_OK);
}

void GlGeraetTest::Rechteck(float x0, float y0, float x1, float y1, float z, const float w[4], bool uv) {
  // Direct3D 9 samples pixel centres at whole numbers: the edges lie half a pixel before.
  auto ecke = [&](float x, float y, float u, float v) {
    x -= 0.5f;
    y -= 0.5f;
    return uv ? Ecke{x, y, z, 1, u, v, 0, 0} : Ecke{x, y, z, 1, w[0], w[1], w[2], w[3]};
  };
  Zeichne({ecke(x0, y0, 0, 0), ecke(x1, y0, 1, 0), ecke(x0, y1, 0, 1), ecke(x1, y1, 1, 1)}, D3DPT_TRIANGLESTRIP, 2);
}

IDirect3DTexture9* GlGeraetTest::Textur(UINT breite, UINT hoehe, D3DFORMAT f, const void* daten, UINT zeilenBytes,
                                        UINT zeilen) {
  IDirect3DTexture9* t = nullptr;
  EXPECT_EQ(g_->CreateTexture(breite, hoehe, 1, D3DUSAGE_DYNAMIC, f, D3DPOOL_DEFAULT, &t, nullptr), D3D_OK);
  if (!t) return nullptr;
  D3DLOCKED_RECT lr{};
  EXPECT_EQ(t->LockRect(0, &lr, nullptr, D3DLOCK_DISCARD), D3D_OK);
  for (UINT z = 0; z < zeilen; ++z)
    std::memcpy(static_cast<BYTE*>(lr.pBits) + z * lr.Pitch, static_cast<const BYTE*>(daten) + z * zeilenBytes,
                zeilenBytes);
  t->UnlockRect(0);
  return Merke(t);
}

}  // namespace GlTest
