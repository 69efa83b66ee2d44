#pragma once
// A device over OpenGL on a hidden window (64x64 back buffer unless a test asks for
// another size), with hand-written shaders (GLSL in a ShaderBlob, as the shader compiler
// delivers it) and helpers to draw rectangles in pixel coordinates and read the back buffer.
#include <memory>
#include <string>
#include <vector>

#include "GlHilfen.h"
#include "d3d9/d3d9.h"
#include "ShaderBlobHilfe.h"

namespace GlTest {

constexpr UINT kBreite = 64, kHoehe = 64;

// A vertex: position (pixel coordinates x, y, depth z, w = 1), then colour or texture coordinates.
struct Ecke {
  float x, y, z, w;
  float a, b, c, d;
};

// A vertex shader in pixel coordinates, register c0 holding (2/width, -2/height, -1, 1):
// `kopf` declares c0 (kC0) and what else it needs, `lage` is the pixel position, `wert`
// what goes on to the pixel shader.
extern const std::string kC0;
std::string PixelVs(const std::string& kopf, const std::string& lage, const std::string& wert = "wert");
// Pixel shaders: the interpolated TEXCOORD0 as colour; texture stage 0 sampled at it.
extern const char* const kPsFarbe;
extern const char* const kPsTextur;

class GlGeraetTest : public ::testing::Test {
 protected:
  explicit GlGeraetTest(UINT breite = kBreite, UINT hoehe = kHoehe) : breite_(breite), hoehe_(hoehe) {}
  static void SetUpTestSuite();
  static void TearDownTestSuite();
  void SetUp() override;
  // The windowed A8R8G8B8 back buffer of the fixture's size with D24X8 depth.
  D3DPRESENT_PARAMETERS Vorgaben(UINT intervall) const;
  void TearDown() override;

  // Releases `o` at the end of the test.
  template <class T>
  T* Merke(T* o) {
    objekte_.push_back(o);
    return o;
  }

  IDirect3DVertexShader9* Vs(const char* glsl, std::vector<Plattform::RegisterSpanne> spannen,
                             std::uint32_t blockBytes);
  IDirect3DPixelShader9* Ps(const char* glsl, std::vector<Plattform::RegisterSpanne> spannen = {},
                            std::uint32_t blockBytes = 0, std::vector<Plattform::SamplerBindung> sampler = {});
  // Scene open, pixel-coordinate vertex shader and declaration bound, culling and depth
  // test off, c0 set for a target of the given size (the back buffer's unless given).
  void Beginne(IDirect3DPixelShader9* ps, UINT breite = 0, UINT hoehe = 0);
  // Rectangle of pixels [x0, x1) x [y0, y1): corners at the pixel edges, with the
  // Direct3D 9 half-pixel offset. `wert` goes to TEXCOORD0 at every corner unless uv
  // is set, then the corners get texture coordinates 0..1.
  void Rechteck(float x0, float y0, float x1, float y1, float z, const float wert[4], bool uv = false);
  void Zeichne(const std::vector<Ecke>& ecken, D3DPRIMITIVETYPE typ, UINT primitive);
  Pixelbild LiesRueckpuffer() { return GlTest::LiesRueckpuffer(g_); }
  IDirect3DTexture9* Textur(UINT breite, UINT hoehe, D3DFORMAT f, const void* daten, UINT zeilenBytes,
                            UINT zeilen);

  static inline std::unique_ptr<VerstecktesFenster> fenster_;
  const UINT breite_, hoehe_;
  IDirect3D9* d3d_ = nullptr;
  IDirect3DDevice9* g_ = nullptr;
  IDirect3DVertexDeclaration9* dekl_ = nullptr;
  IDirect3DVertexShader9* vsPixel_ = nullptr;
  IDirect3DVertexBuffer9* vb_ = nullptr;

 private:
  std::vector<IUnknown*> objekte_;
};

}  // namespace GlTest
