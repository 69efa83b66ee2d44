// The device over OpenGL: real pixels read back from the back buffer.
#include <GLFW/glfw3.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <string>

#include "GlGeraet.h"

using namespace GlTest;

namespace {

constexpr float kWeiss[4] = {1, 1, 1, 1};
constexpr float kRot[4] = {1, 0, 0, 1};
constexpr float kGruen[4] = {0, 1, 0, 1};
constexpr float kBlau[4] = {0, 0, 1, 1};
constexpr DWORD kSchwarz = 0xFF000000, kWeiss32 = 0xFFFFFFFF;
struct Soll {
  UINT x, y;
  DWORD farbe;
};

void ErwartePixel(const Pixelbild& b, std::initializer_list<Soll> soll) {
  for (const Soll& s : soll) EXPECT_EQ(b(s.x, s.y), s.farbe) << s.x << "," << s.y;
}

// Pixel x, y of a locked 32-bit rectangle.
DWORD& Texel(const D3DLOCKED_RECT& lr, UINT x, UINT y) {
  return *reinterpret_cast<DWORD*>(static_cast<BYTE*>(lr.pBits) + y * lr.Pitch + x * 4);
}

class PixelTest : public GlGeraetTest {
 protected:
  // Colour and depth cleared, the scene open.
  void Neu(IDirect3DPixelShader9* ps, DWORD farbe = kSchwarz, UINT breite = 0, UINT hoehe = 0) {
    g_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, farbe, 1.0f, 0);
    Beginne(ps, breite, hoehe);
  }
  Pixelbild Ende() {
    g_->EndScene();
    return LiesRueckpuffer();
  }

  template <class T>
  T* Gefuellt(T* puffer, const void* daten, UINT bytes) {
    void* p = nullptr;
    if (!puffer || Merke(puffer)->Lock(0, 0, &p, 0) != D3D_OK) return nullptr;
    std::memcpy(p, daten, bytes);
    puffer->Unlock();
    return puffer;
  }
  IDirect3DVertexBuffer9* Vertices(const void* daten, UINT bytes) {
    IDirect3DVertexBuffer9* vb = nullptr;
    EXPECT_EQ(g_->CreateVertexBuffer(bytes, D3DUSAGE_WRITEONLY, 0, D3DPOOL_DEFAULT, &vb, nullptr), D3D_OK);
    return Gefuellt(vb, daten, bytes);
  }
  IDirect3DIndexBuffer9* Indizes(const void* daten, UINT bytes, D3DFORMAT format) {
    IDirect3DIndexBuffer9* ib = nullptr;
    EXPECT_EQ(g_->CreateIndexBuffer(bytes, D3DUSAGE_WRITEONLY, format, D3DPOOL_DEFAULT, &ib, nullptr), D3D_OK);
    return Gefuellt(ib, daten, bytes);
  }
  // One row of `pixel` pixels at row y, u running from u0 at the left edge to u1 at the
  // right one, v = 0.5.
  void Streifen(float y, float u0, float u1, UINT pixel = 8) {
    const float r = static_cast<float>(pixel) - 0.5f;
    Zeichne({{-0.5f, y - 0.5f, 0.5f, 1, u0, 0.5f, 0, 0},
             {r, y - 0.5f, 0.5f, 1, u1, 0.5f, 0, 0},
             {-0.5f, y + 0.5f, 0.5f, 1, u0, 0.5f, 0, 0},
             {r, y + 0.5f, 0.5f, 1, u1, 0.5f, 0, 0}},
            D3DPT_TRIANGLESTRIP, 2);
  }
  IDirect3DVertexDeclaration9* Deklaration(const D3DVERTEXELEMENT9* el) {
    IDirect3DVertexDeclaration9* d = nullptr;
    EXPECT_EQ(g_->CreateVertexDeclaration(el, &d), D3D_OK);
    return d ? Merke(d) : nullptr;
  }
};

TEST_F(PixelTest, ClearFillsTheViewportWithThePackedColour) {
  ASSERT_EQ(g_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0x80336699, 1.0f, 0), D3D_OK);
  // Clear covers the viewport only, and of given rectangles only their part inside it.
  const D3DVIEWPORT9 vp{16, 8, 8, 4, 0.0f, 1.0f};
  ASSERT_EQ(g_->SetViewport(&vp), D3D_OK);
  ASSERT_EQ(g_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF00FF00, 1.0f, 0), D3D_OK);
  EXPECT_TRUE(Rechteckig(LiesRueckpuffer(), 16, 8, 24, 12, 0xFF00FF00, 0x80336699));
  const D3DRECT r{10, 6, 20, 10};
  ASSERT_EQ(g_->Clear(1, &r, D3DCLEAR_TARGET, 0xFFFF0000, 1.0f, 0), D3D_OK);
  ErwartePixel(LiesRueckpuffer(), {{16, 8, 0xFFFF0000}, {19, 9, 0xFFFF0000}, {20, 9, 0xFF00FF00},
                                   {16, 10, 0xFF00FF00}, {15, 8, 0x80336699}});
}

// Row zero at the top, and a viewport not at 0, 0 moves what is drawn with it.
TEST_F(PixelTest, SpriteLandsOnExactPixelsOfTheViewport) {
  const D3DVIEWPORT9 vp{32, 16, 32, 32, 0, 1};
  g_->Clear(0, nullptr, D3DCLEAR_TARGET, kSchwarz, 1.0f, 0);
  g_->SetViewport(&vp);
  Beginne(Ps(kPsFarbe), vp.Width, vp.Height);
  Rechteck(2, 3, 18, 19, 0.5f, kWeiss);
  EXPECT_TRUE(Rechteckig(Ende(), 34, 19, 50, 35, kWeiss32, kSchwarz));
}

TEST_F(PixelTest, RenderTargetIsDrawnUprightAndSampledTexelExact) {
  IDirect3DTexture9* ziel = nullptr;
  ASSERT_EQ(g_->CreateTexture(32, 32, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &ziel, nullptr),
            D3D_OK);
  Merke(ziel);
  IDirect3DSurface9 *flaeche = nullptr, *rueck = nullptr;
  ziel->GetSurfaceLevel(0, &flaeche);
  g_->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &rueck);

  ASSERT_EQ(g_->SetRenderTarget(0, Merke(flaeche)), D3D_OK);
  Neu(Ps(kPsFarbe), 0xFF0000FF, 32, 32);
  Rechteck(0, 0, 8, 8, 0.5f, kRot);        // top left
  Rechteck(24, 28, 32, 32, 0.5f, kGruen);  // bottom right
  g_->EndScene();

  g_->SetRenderTarget(0, Merke(rueck));
  Neu(Ps(kPsTextur, {}, 0, {{0, 0}}));
  g_->SetTexture(0, ziel);
  g_->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_LINEAR);
  g_->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
  Rechteck(16, 16, 48, 48, 0.5f, kWeiss, true);

  // Even with linear filtering each pixel takes exactly its texel: texel centres meet
  // pixel centres when the quad's corners carry the half-pixel offset.
  const auto b = Ende();
  EXPECT_EQ(b.Umriss([](int r, int g, int) { return r == 255 && g == 0; }), (std::array<unsigned, 4>{16, 16, 24, 24}));
  EXPECT_EQ(b.Umriss([](int r, int g, int) { return g == 255 && r == 0; }), (std::array<unsigned, 4>{40, 44, 48, 48}));
  EXPECT_EQ(b.Umriss([](int r, int g, int bl) { return r + g + bl > 0; }), (std::array<unsigned, 4>{16, 16, 48, 48}));
}

TEST_F(PixelTest, RowMajorBlockTakesMatrixRegistersAsColumns) {
  // A matrix for column vectors: scale x by 2, then move by (9.5, 5.5), handed over
  // transposed as Direct3D code does, so register 4 + i holds column i. In a row-major
  // block component k of register 4 + i is row k, column i: at 16 + 16 k + 4 i.
  const float transponiert[16] = {2, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 9.5f, 5.5f, 0, 1};
  std::vector<Plattform::RegisterSpanne> spannen{{0, 4, 0, 4}};
  for (std::uint32_t i = 0; i < 4; ++i) spannen.push_back({4 + i, 4, 16 + 4 * i, 16u});
  const std::string block =
      "layout(std140, binding = 0) uniform VsKonstanten { vec4 c0; layout(row_major) mat4 welt; };";
  auto* vs = Vs(PixelVs(block, "(welt * vec4(pos.xy, 0.0, 1.0)).xy").c_str(), spannen, 80);
  ASSERT_NE(vs, nullptr);
  Neu(Ps(kPsFarbe));
  g_->SetVertexShader(vs);
  ASSERT_EQ(g_->SetVertexShaderConstantF(4, transponiert, 4), D3D_OK);
  Zeichne({{0, 0, 0, 1, 1, 1, 1, 1}, {4, 0, 0, 1, 1, 1, 1, 1}, {0, 8, 0, 1, 1, 1, 1, 1}, {4, 8, 0, 1, 1, 1, 1, 1}},
          D3DPT_TRIANGLESTRIP, 2);
  EXPECT_TRUE(Rechteckig(Ende(), 10, 6, 18, 14, kWeiss32, kSchwarz));
}

TEST_F(PixelTest, DepthTestAndBlending) {
  Neu(Ps(kPsFarbe));
  g_->SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
  g_->SetRenderState(D3DRS_ZWRITEENABLE, TRUE);
  g_->SetRenderState(D3DRS_ZFUNC, D3DCMP_LESS);
  Rechteck(0, 0, 32, 32, 0.5f, kRot);
  Rechteck(16, 16, 48, 48, 0.7f, kBlau);   // behind the red one where they overlap
  Rechteck(8, 8, 24, 24, 0.3f, kGruen);    // in front of both
  // Without depth writes a nearer rectangle is drawn but leaves the depth as it was.
  g_->SetRenderState(D3DRS_ZWRITEENABLE, FALSE);
  Rechteck(40, 0, 48, 8, 0.1f, kGruen);
  g_->SetRenderState(D3DRS_ZWRITEENABLE, TRUE);
  Rechteck(40, 0, 48, 8, 0.2f, kBlau);
  // Blending: a quarter of red over the blue rectangle, colour and alpha alike.
  g_->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);
  g_->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
  g_->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
  g_->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
  const float viertelRot[4] = {1, 0, 0, 0.25f};
  Rechteck(40, 40, 44, 44, 0.5f, viertelRot);
  // Separate alpha: the alpha channel keeps the target's value.
  g_->SetRenderState(D3DRS_SEPARATEALPHABLENDENABLE, TRUE);
  g_->SetRenderState(D3DRS_SRCBLENDALPHA, D3DBLEND_ZERO);
  g_->SetRenderState(D3DRS_DESTBLENDALPHA, D3DBLEND_ONE);
  Rechteck(44, 40, 48, 44, 0.5f, viertelRot);
  // Write mask: only green is written.
  g_->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
  g_->SetRenderState(D3DRS_COLORWRITEENABLE, D3DCOLORWRITEENABLE_GREEN);
  Rechteck(56, 56, 64, 64, 0.5f, kWeiss);

  // Red stays in front of blue at 28, 28; the green one at 44, 4 wrote no depth.
  const auto b = Ende();
  ErwartePixel(b, {{4, 4, 0xFFFF0000}, {28, 28, 0xFFFF0000}, {40, 20, 0xFF0000FF}, {12, 12, 0xFF00FF00},
                   {20, 20, 0xFF00FF00}, {44, 4, 0xFF0000FF}, {60, 60, 0xFF00FF00}});
  EXPECT_TRUE(Nahe(b(41, 41), 0xCF4000BF));
  EXPECT_TRUE(Nahe(b(45, 41), 0xFF4000BF));
}

TEST_F(PixelTest, InstancedDrawWithStreamFrequencies) {
  auto* vs = Vs(PixelVs(kC0 + "\nlayout(location = 2) in vec4 versatz;", "pos.xy + versatz.xy").c_str(),
                {{0, 4, 0, 4}}, 16);
  const D3DVERTEXELEMENT9 el[] = {{0, 0, D3DDECLTYPE_FLOAT4, 0, D3DDECLUSAGE_POSITION, 0},
                                  {0, 16, D3DDECLTYPE_FLOAT4, 0, D3DDECLUSAGE_TEXCOORD, 0},
                                  {1, 0, D3DDECLTYPE_FLOAT2, 0, D3DDECLUSAGE_TEXCOORD, 1},
                                  D3DDECL_END()};
  // One 4x4 quad, indexed, and per instance a float2 offset.
  const Ecke quad[4] = {{-0.5f, -0.5f, 0, 1, 1, 1, 1, 1}, {3.5f, -0.5f, 0, 1, 1, 1, 1, 1},
                        {-0.5f, 3.5f, 0, 1, 1, 1, 1, 1}, {3.5f, 3.5f, 0, 1, 1, 1, 1, 1}};
  const WORD indizes[6] = {0, 1, 2, 2, 1, 3};
  const float versatz[4] = {2, 2, 20, 2};
  Neu(Ps(kPsFarbe));
  g_->SetVertexShader(vs);
  g_->SetVertexDeclaration(Deklaration(el));
  g_->SetStreamSource(0, Vertices(quad, sizeof quad), 0, sizeof(Ecke));
  g_->SetStreamSource(1, Vertices(versatz, sizeof versatz), 0, 8);
  g_->SetIndices(Indizes(indizes, sizeof indizes, D3DFMT_INDEX16));
  // Four instances, the instance stream advancing every second one: two quads.
  ASSERT_EQ(g_->SetStreamSourceFreq(0, D3DSTREAMSOURCE_INDEXEDDATA | 4), D3D_OK);
  ASSERT_EQ(g_->SetStreamSourceFreq(1, D3DSTREAMSOURCE_INSTANCEDATA | 2), D3D_OK);
  ASSERT_EQ(g_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 0, 2), D3D_OK);
  const auto b = Ende();
  EXPECT_EQ(b.Anzahl(kWeiss32), 2u * 16u);
  ErwartePixel(b, {{2, 2, kWeiss32}, {23, 5, kWeiss32}, {10, 30, kSchwarz}});
}

TEST_F(PixelTest, TextureFormatsSampleWithDirect3DChannelDefaults) {
  // DXT1, two blocks. Left: colour 0 red > colour 1 blue, four-colour mode, rows of
  // index 0, 1, 2, 3. Right: colour 0 blue <= colour 1 red, three-colour mode with
  // index 3 transparent black in the last row.
  const BYTE dxt1[16] = {0x00, 0xF8, 0x1F, 0x00, 0x00, 0x55, 0xAA, 0xFF,
                         0x1F, 0x00, 0x00, 0xF8, 0x00, 0x55, 0xAA, 0xFF};
  const BYTE a8[4] = {0x00, 0x40, 0x80, 0xFF};
  const WORD r16f[1] = {0x3400};  // 0.25
  const float g32r32f[2] = {0.5f, 0.75f};
  const WORD g16r16[2] = {0x8000, 0x4000};
  const float r32f[1] = {1.0f};
  struct Fall {
    IDirect3DTexture9* t;
    UINT breite, hoehe;
  };
  const Fall faelle[] = {
      {Textur(8, 4, D3DFMT_DXT1, dxt1, 16, 1), 8, 4},   {Textur(4, 1, D3DFMT_A8, a8, 4, 1), 4, 1},
      {Textur(1, 1, D3DFMT_R16F, r16f, 2, 1), 1, 1},    {Textur(1, 1, D3DFMT_G32R32F, g32r32f, 8, 1), 1, 1},
      {Textur(1, 1, D3DFMT_G16R16, g16r16, 4, 1), 1, 1}, {Textur(1, 1, D3DFMT_R32F, r32f, 4, 1), 1, 1},
  };
  Neu(Ps(kPsTextur, {}, 0, {{0, 0}}), 0xFF202020);
  UINT y = 0;
  for (const Fall& f : faelle) {
    ASSERT_NE(f.t, nullptr);
    g_->SetTexture(0, f.t);
    Rechteck(0, static_cast<float>(y), static_cast<float>(f.breite), static_cast<float>(y + f.hoehe), 0.5f, kWeiss,
             true);
    y += f.hoehe + 1;
  }
  const auto b = Ende();
  const DWORD links[4] = {0xFFFF0000, 0xFF0000FF, 0xFFAA0055, 0xFF5500AA};
  const DWORD rechts[4] = {0xFF0000FF, 0xFFFF0000, 0xFF800080, 0x00000000};
  for (UINT z = 0; z < 4; ++z)
    for (UINT x = 0; x < 4; ++x) {
      EXPECT_TRUE(Nahe(b(x, z), links[z], 2)) << x << "," << z;
      EXPECT_TRUE(Nahe(b(4 + x, z), rechts[z], 2)) << 4 + x << "," << z;
    }
  // A8: no colour, only alpha.
  for (UINT x = 0; x < 4; ++x) EXPECT_EQ(b(x, 5), DWORD{a8[x]} << 24) << x;
  // Missing channels of the float and 16-bit formats read as 1.
  EXPECT_TRUE(Nahe(b(0, 7), 0xFF40FFFF));  // R16F 0.25
  EXPECT_TRUE(Nahe(b(0, 9), 0xFF80BFFF));  // G32R32F 0.5, 0.75
  EXPECT_TRUE(Nahe(b(0, 11), 0xFF8040FF)); // G16R16 0.5, 0.25
  ErwartePixel(b, {{0, 13, kWeiss32}, {1, 13, 0xFF202020}});  // R32F 1.0
}

TEST_F(PixelTest, CullingFollowsTheWindingOnScreen) {
  auto* ps = Ps(kPsFarbe);
  // On screen (y down): top left, top right, bottom left is clockwise. The clockwise
  // triangle is drawn at x 10, the counter-clockwise one at x 40.
  auto dreieck = [](float x, bool gegen) {
    const Ecke a{x, 9.5f, 0.5f, 1, 1, 1, 1, 1}, b{x + 20, 9.5f, 0.5f, 1, 1, 1, 1, 1},
        c{x, 29.5f, 0.5f, 1, 1, 1, 1, 1};
    return gegen ? std::vector<Ecke>{a, c, b} : std::vector<Ecke>{a, b, c};
  };
  struct Fall {
    DWORD modus;
    bool uhrzeigerSichtbar, gegenSichtbar;
  };
  for (const Fall& f :
       {Fall{D3DCULL_CCW, true, false}, Fall{D3DCULL_CW, false, true}, Fall{D3DCULL_NONE, true, true}}) {
    Neu(ps);
    g_->SetRenderState(D3DRS_CULLMODE, f.modus);
    Zeichne(dreieck(9.5f, false), D3DPT_TRIANGLELIST, 1);
    Zeichne(dreieck(39.5f, true), D3DPT_TRIANGLELIST, 1);
    const auto b = Ende();
    EXPECT_EQ(b(12, 12) == kWeiss32, f.uhrzeigerSichtbar) << "Modus " << f.modus;
    EXPECT_EQ(b(42, 12) == kWeiss32, f.gegenSichtbar) << "Modus " << f.modus;
  }
}

TEST_F(PixelTest, CubeFacesAndTheirOrientation) {
  IDirect3DCubeTexture9* w = nullptr;
  ASSERT_EQ(g_->CreateCubeTexture(2, 1, D3DUSAGE_DYNAMIC, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &w, nullptr), D3D_OK);
  Merke(w);
  for (UINT s = 0; s < 6; ++s) {
    D3DLOCKED_RECT lr{};
    ASSERT_EQ(w->LockRect(static_cast<D3DCUBEMAP_FACES>(s), 0, &lr, nullptr, 0), D3D_OK);
    for (UINT t = 0; t < 4; ++t) Texel(lr, t % 2, t / 2) = 0xFF000000u | (s * 40u) << 16 | (t * 60u);
    w->UnlockRect(static_cast<D3DCUBEMAP_FACES>(s), 0);
  }
  auto* ps = Ps(R"(#version 450
layout(location = 0) in vec4 v_wert;
layout(location = 0) out vec4 farbe;
layout(binding = 0) uniform samplerCube s0;
void main() { farbe = texture(s0, v_wert.xyz); }
)",
                {}, 0, {{0, 0}});
  // Directions into texel 1 (top right) of each face, as Direct3D lays the faces out.
  const float richtung[6][4] = {{1, 0.5f, -0.5f, 0}, {-1, 0.5f, 0.5f, 0}, {0.5f, 1, -0.5f, 0},
                                {0.5f, -1, 0.5f, 0},  {0.5f, 0.5f, 1, 0}, {-0.5f, 0.5f, -1, 0}};
  Neu(ps);
  g_->SetTexture(0, w);
  for (UINT s = 0; s < 6; ++s) Rechteck(static_cast<float>(s), 0, static_cast<float>(s + 1), 1, 0.5f, richtung[s]);
  const auto b = Ende();
  for (UINT s = 0; s < 6; ++s) EXPECT_EQ(b(s, 0), 0xFF000000u | (s * 40u) << 16 | 60u) << "Seite " << s;
}

TEST_F(PixelTest, AutomaticMipmapsFollowLevelZero) {
  IDirect3DTexture9* t = nullptr;
  ASSERT_EQ(g_->CreateTexture(4, 4, 0, D3DUSAGE_AUTOGENMIPMAP | D3DUSAGE_DYNAMIC, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT,
                              &t, nullptr),
            D3D_OK);
  Merke(t);
  auto* ps = Ps(kPsTextur, {}, 0, {{0, 0}});
  for (DWORD unten : {0xFF000000u, 0xFF0000FFu}) {
    D3DLOCKED_RECT lr{};
    ASSERT_EQ(t->LockRect(0, &lr, nullptr, D3DLOCK_DISCARD), D3D_OK);
    for (UINT i = 0; i < 16; ++i) Texel(lr, i % 4, i / 4) = i < 8 ? 0xFFFFFFFF : unten;
    t->UnlockRect(0);
    Neu(ps, 0xFF202020);
    g_->SetTexture(0, t);
    g_->SetSamplerState(0, D3DSAMP_MIPFILTER, D3DTEXF_POINT);
    g_->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_POINT);
    Rechteck(0, 0, 1, 1, 0.5f, kWeiss, true);  // the whole texture in one pixel: the 1x1 level
    const DWORD soll = unten == 0xFF000000u ? 0xFF808080u : 0xFF8080FFu;
    EXPECT_TRUE(Nahe(Ende()(0, 0), soll, 2));
  }
}

TEST_F(PixelTest, UpdateSurfaceFillsStaticTextures) {
  // Static textures get their contents from a filled system-memory surface.
  IDirect3DTexture9* t = nullptr;
  ASSERT_EQ(g_->CreateTexture(8, 8, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &t, nullptr), D3D_OK);
  Merke(t);
  IDirect3DSurface9 *quelle = nullptr, *ebene0 = nullptr;
  ASSERT_EQ(g_->CreateOffscreenPlainSurface(8, 8, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM, &quelle, nullptr), D3D_OK);
  Merke(quelle);
  t->GetSurfaceLevel(0, &ebene0);
  D3DLOCKED_RECT lr{};
  ASSERT_EQ(quelle->LockRect(&lr, nullptr, D3DLOCK_DISCARD), D3D_OK);
  for (UINT y = 0; y < 8; ++y)
    for (UINT x = 0; x < 8; ++x) Texel(lr, x, y) = 0xFF000000u | (x * 30) << 16 | (y * 30);
  quelle->UnlockRect();
  ASSERT_EQ(g_->UpdateSurface(quelle, nullptr, Merke(ebene0), nullptr), D3D_OK);
  // A second, partial copy changes four pixels of the last column of level 0.
  ASSERT_EQ(quelle->LockRect(&lr, nullptr, 0), D3D_OK);
  for (UINT y = 2; y < 6; ++y) Texel(lr, 1, y) = 0xFFFFFFFF;
  quelle->UnlockRect();
  const RECT spalte{1, 2, 2, 6};
  const POINT ziel{7, 1};
  ASSERT_EQ(g_->UpdateSurface(quelle, &spalte, ebene0, &ziel), D3D_OK);

  Neu(Ps(kPsTextur, {}, 0, {{0, 0}}));
  g_->SetTexture(0, t);
  Rechteck(0, 0, 8, 8, 0.5f, kWeiss, true);
  ErwartePixel(Ende(), {{0, 0, kSchwarz}, {3, 5, 0xFF5A0096}, {7, 0, 0xFFD20000}, {7, 1, kWeiss32},
                        {7, 4, kWeiss32}, {7, 5, 0xFFD20096}});
}

TEST_F(PixelTest, AddressModesAndBorderColour) {
  const DWORD texel[2] = {0xFFFF0000, 0xFF0000FF};  // red, blue
  Neu(Ps(kPsTextur, {}, 0, {{0, 0}}));
  g_->SetTexture(0, Textur(2, 1, D3DFMT_A8R8G8B8, texel, 8, 1));
  // u from -1 to 3 over eight pixels: texel centres at -0.75, -0.25, ..., 2.75.
  auto streifen = [&](float y, DWORD adresse) {
    g_->SetSamplerState(0, D3DSAMP_ADDRESSU, adresse);
    Streifen(y, -1, 3);
  };
  streifen(0, D3DTADDRESS_WRAP);
  streifen(1, D3DTADDRESS_CLAMP);
  g_->SetSamplerState(0, D3DSAMP_BORDERCOLOR, 0xFF00FF00);
  streifen(2, D3DTADDRESS_BORDER);
  streifen(3, D3DTADDRESS_MIRROR);
  const auto b = Ende();
  const DWORD R = 0xFFFF0000, B = 0xFF0000FF, G = 0xFF00FF00;
  const DWORD erwartet[4][8] = {{R, B, R, B, R, B, R, B},
                                {R, R, R, B, B, B, B, B},
                                {G, G, R, B, G, G, G, G},
                                {B, R, R, B, B, R, R, B}};
  for (UINT y = 0; y < 4; ++y)
    for (UINT x = 0; x < 8; ++x) EXPECT_EQ(b(x, y), erwartet[y][x]) << x << "," << y;
}

TEST_F(PixelTest, PackedVertexElements) {
  // Position as SHORT2 (whole numbers), colour as UBYTE4N.
  auto* vs = Vs(PixelVs(kC0, "pos.xy - vec2(0.5)").c_str(), {{0, 4, 0, 4}}, 16);
  const D3DVERTEXELEMENT9 el[] = {{0, 0, D3DDECLTYPE_SHORT2, 0, D3DDECLUSAGE_POSITION, 0},
                                  {0, 4, D3DDECLTYPE_UBYTE4N, 0, D3DDECLUSAGE_TEXCOORD, 0},
                                  D3DDECL_END()};
  struct Gepackt {
    SHORT x, y;
    BYTE r, g, b, a;
  };
  const Gepackt ecken[4] = {
      {4, 2, 255, 0, 0, 255}, {12, 2, 255, 0, 0, 255}, {4, 6, 255, 0, 0, 255}, {12, 6, 255, 0, 0, 255}};
  Neu(Ps(kPsFarbe));
  g_->SetVertexShader(vs);
  g_->SetVertexDeclaration(Deklaration(el));
  g_->SetStreamSource(0, Vertices(ecken, sizeof ecken), 0, sizeof(Gepackt));
  ASSERT_EQ(g_->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2), D3D_OK);
  EXPECT_TRUE(Rechteckig(Ende(), 4, 2, 12, 6, 0xFFFF0000, kSchwarz));
}

TEST_F(PixelTest, IndexedDrawWith32BitIndicesAndBaseVertex) {
  // Vertices 0-3 form a red quad, 4-7 a green one; the indices name 0-3 and the base
  // vertex picks the green one. Drawing starts at the second set of six indices.
  std::vector<Ecke> ecken;
  for (const float* f : {kRot, kGruen})
    for (const auto& [x, y] : {std::pair{19.5f, 9.5f}, {29.5f, 9.5f}, {19.5f, 15.5f}, {29.5f, 15.5f}})
      ecken.push_back({x, y, 0.5f, 1, f[0], f[1], f[2], f[3]});
  const DWORD indizes[12] = {9, 9, 9, 9, 9, 9, 0, 1, 2, 2, 1, 3};
  Neu(Ps(kPsFarbe));
  g_->SetStreamSource(0, Vertices(ecken.data(), 8 * sizeof(Ecke)), 0, sizeof(Ecke));
  g_->SetIndices(Indizes(indizes, sizeof indizes, D3DFMT_INDEX32));
  ASSERT_EQ(g_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 4, 0, 4, 6, 2), D3D_OK);
  EXPECT_EQ(g_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 4, 0, 4, 7, 2), D3DERR_INVALIDCALL);  // past the end
  EXPECT_TRUE(Rechteckig(Ende(), 20, 10, 30, 16, 0xFF00FF00, kSchwarz));
}

TEST_F(PixelTest, BackBufferLocksReadAndWrite) {
  g_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF112233, 1.0f, 0);
  IDirect3DSurface9* r = nullptr;
  g_->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &r);
  D3DLOCKED_RECT lr{};
  const RECT teil{4, 2, 8, 6};
  ASSERT_EQ(r->LockRect(&lr, &teil, 0), D3D_OK);
  EXPECT_EQ(Texel(lr, 0, 0), 0xFF112233u);  // a plain lock reads what is there
  for (UINT y = 0; y < 4; ++y)
    for (UINT x = 0; x < 4; ++x) Texel(lr, x, y) = 0xFF000000u | (y << 8) | x;
  r->UnlockRect();
  r->Release();
  ErwartePixel(LiesRueckpuffer(), {{4, 2, kSchwarz}, {7, 5, 0xFF000303}, {8, 5, 0xFF112233}, {4, 6, 0xFF112233}});
}

TEST_F(PixelTest, DeviceNeedsAWindowWithAnOpenGLContext) {
  D3DPRESENT_PARAMETERS pp = Vorgaben(D3DPRESENT_INTERVAL_IMMEDIATE);
  IDirect3DDevice9* zweites = nullptr;
  EXPECT_EQ(d3d_->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, 0x52, &pp, &zweites), D3DERR_INVALIDCALL);
}

// Where the swap does not wait for the display (here: Xvfb), an interval asked for still
// holds presents to about the display's rate; without one they come at once.
TEST_F(PixelTest, PresentWithAnIntervalKeepsToTheDisplayRate) {
  int hz = 60;
  if (const GLFWvidmode* m = glfwGetVideoMode(glfwGetPrimaryMonitor()); m && m->refreshRate > 0) hz = m->refreshRate;
  vb_->Release();  // a reset needs the default pool empty
  vb_ = nullptr;
  const auto zehnBilder = [&](UINT intervall) {
    D3DPRESENT_PARAMETERS pp = Vorgaben(intervall);
    EXPECT_EQ(g_->Reset(&pp), D3D_OK);
    EXPECT_EQ(g_->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < 10; ++i) EXPECT_EQ(g_->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  };
  const double getaktet = zehnBilder(D3DPRESENT_INTERVAL_ONE);
  EXPECT_GE(getaktet, 10 * 0.85 / hz);
  // The quickest of three runs: on a loaded machine one run may be slowed down as a whole,
  // while presents that wait for the display are slow in every run.
  double sofort = zehnBilder(D3DPRESENT_INTERVAL_IMMEDIATE);
  for (int lauf = 1; lauf < 3; ++lauf) sofort = std::min(sofort, zehnBilder(D3DPRESENT_INTERVAL_IMMEDIATE));
  EXPECT_LT(sofort, getaktet / 2);
}

}  // namespace

// Filters on textures of one level and of one value, and sampler states changing between
// draws: each row draws one strip of eight pixels and checks some of them.
TEST_F(PixelTest, FilterChoicesFollowTheTextureAndTheState) {
  constexpr DWORD R = 0xFFFF0000, B = 0xFF0000FF, W = 0xFFFFFFFF, S = 0xFF000000;
  struct Zeile {
    const char* was;
    std::vector<DWORD> texel;          // one row
    std::vector<DWORD> danach;         // written over the texel from x = 1 on, if any
    DWORD min, mag, mip, adresse;
    float u0, u1;
    UINT pixel;
    std::vector<std::pair<UINT, DWORD>> soll;  // pixel x, colour (within 2 per channel)
  };
  const Zeile zeilen[] = {
      // One value read anisotropically, minified four times: exactly that value.
      {"einfarbig", {0xFF40C080, 0xFF40C080, 0xFF40C080, 0xFF40C080}, {}, D3DTEXF_ANISOTROPIC, D3DTEXF_LINEAR,
       D3DTEXF_LINEAR, D3DTADDRESS_CLAMP, -3, 5, 2, {{0, 0xFF40C080}, {1, 0xFF40C080}}},
      // The last texel overwritten black: no longer one value, p = 3.25 blends.
      {"teilweise ueberschrieben", {W, W, W, W}, {W, W, S}, D3DTEXF_LINEAR, D3DTEXF_LINEAR, D3DTEXF_NONE,
       D3DTADDRESS_CLAMP, 0, 1, 8, {{5, 0xFFBFBFBF}, {6, 0xFF404040}}},
      // One value with a black border: at p = -0.25 a quarter white.
      {"Rand", {W, W}, {}, D3DTEXF_LINEAR, D3DTEXF_LINEAR, D3DTEXF_NONE, D3DTADDRESS_BORDER, -0.5f, 1.5f, 8,
       {{1, 0xFF404040}, {3, W}}},
      // One level, linear minification with a point mip filter: two texels in a pixel blend.
      {"eine Ebene", {R, B}, {}, D3DTEXF_LINEAR, D3DTEXF_POINT, D3DTEXF_POINT, D3DTADDRESS_CLAMP, 0, 1, 1,
       {{0, 0xFF800080}}},
      // The same texture magnified, point then linear: the sampler follows the state.
      {"Punkt", {R, B}, {}, D3DTEXF_POINT, D3DTEXF_POINT, D3DTEXF_NONE, D3DTADDRESS_CLAMP, 0, 1, 8,
       {{3, R}, {4, B}}},
      {"linear", {R, B}, {}, D3DTEXF_LINEAR, D3DTEXF_LINEAR, D3DTEXF_NONE, D3DTADDRESS_CLAMP, 0, 1, 8,
       {{3, 0xFFA0005F}, {4, 0xFF5F00A0}}},
  };
  Neu(Ps(kPsTextur, {}, 0, {{0, 0}}));
  g_->SetSamplerState(0, D3DSAMP_BORDERCOLOR, S);
  g_->SetSamplerState(0, D3DSAMP_MAXANISOTROPY, 16);
  for (UINT y = 0; y < std::size(zeilen); ++y) {
    const Zeile& z = zeilen[y];
    const auto breite = static_cast<UINT>(z.texel.size());
    IDirect3DTexture9* t = Textur(breite, 1, D3DFMT_A8R8G8B8, z.texel.data(), breite * 4, 1);
    if (!z.danach.empty()) {
      const RECT teil{static_cast<LONG>(breite - 1), 0, static_cast<LONG>(breite), 1};
      D3DLOCKED_RECT lr{};
      ASSERT_EQ(t->LockRect(0, &lr, &teil, 0), D3D_OK);
      Texel(lr, 0, 0) = z.danach.back();
      t->UnlockRect(0);
    }
    g_->SetTexture(0, t);
    g_->SetSamplerState(0, D3DSAMP_MINFILTER, z.min);
    g_->SetSamplerState(0, D3DSAMP_MAGFILTER, z.mag);
    g_->SetSamplerState(0, D3DSAMP_MIPFILTER, z.mip);
    g_->SetSamplerState(0, D3DSAMP_ADDRESSU, z.adresse);
    Streifen(static_cast<float>(y), z.u0, z.u1, z.pixel);
  }
  const auto b = Ende();
  for (UINT y = 0; y < std::size(zeilen); ++y)
    for (const auto& [x, farbe] : zeilen[y].soll) EXPECT_TRUE(Nahe(b(x, y), farbe, 2)) << zeilen[y].was << ", x " << x;
}

// Indices that only repeat the vertex order, then partly rewritten: the draws follow
// the indices, the start index and the base vertex.
TEST_F(PixelTest, IndicesInVertexOrderAndRewritten) {
  // Vertices 0-5: a red quad as two triangles; 6-11: a green one beside it.
  std::vector<Ecke> ecken;
  for (const auto& [f, x0] : {std::pair{kRot, 4.5f}, {kGruen, 14.5f}})
    for (const auto& [x, y] : {std::pair{x0, 3.5f}, {x0 + 6, 3.5f}, {x0, 9.5f}, {x0, 9.5f}, {x0 + 6, 3.5f}, {x0 + 6, 9.5f}})
      ecken.push_back({x, y, 0.5f, 1, f[0], f[1], f[2], f[3]});
  WORD indizes[12];
  for (WORD i = 0; i < 12; ++i) indizes[i] = i;
  IDirect3DVertexBuffer9* vb = Vertices(ecken.data(), 12 * sizeof(Ecke));
  IDirect3DIndexBuffer9* ib = Indizes(indizes, sizeof indizes, D3DFMT_INDEX16);
  constexpr DWORD G = 0xFF00FF00, R = 0xFFFF0000;
  auto zeichne = [&](INT basis, UINT start) {
    Neu(Ps(kPsFarbe));
    g_->SetStreamSource(0, vb, 0, sizeof(Ecke));
    g_->SetIndices(ib);
    EXPECT_EQ(g_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, basis, 0, static_cast<UINT>(12 - basis), start, 2), D3D_OK);
    return Ende();
  };
  EXPECT_TRUE(Rechteckig(zeichne(0, 0), 5, 4, 11, 10, R, kSchwarz));
  EXPECT_TRUE(Rechteckig(zeichne(0, 6), 15, 4, 21, 10, G, kSchwarz));
  EXPECT_TRUE(Rechteckig(zeichne(6, 0), 15, 4, 21, 10, G, kSchwarz));
  // The first six indices now name the green quad.
  void* p = nullptr;
  ASSERT_EQ(ib->Lock(0, 12, &p, 0), D3D_OK);
  std::memcpy(p, indizes + 6, 12);
  ib->Unlock();
  EXPECT_TRUE(Rechteckig(zeichne(0, 0), 15, 4, 21, 10, G, kSchwarz));
}
