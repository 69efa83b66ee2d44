#include "GlHilfen.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "d3d9/d3d9.h"
#include "fenster/Fenster.h"

namespace GlTest {

VerstecktesFenster::VerstecktesFenster(int breite, int hoehe) {
  if (!glfwInit()) {  // a second call does nothing
    ADD_FAILURE() << "GLFW does not start";
    return;
  }
  glfwDefaultWindowHints();
  Plattform::Fenster::SetzeOpenGLHinweise(false);
  glfwWindowHint(GLFW_VISIBLE, GLFW_FALSE);
  fenster_ = glfwCreateWindow(breite, hoehe, "ToolVelmar", nullptr, nullptr);
  if (!fenster_) ADD_FAILURE() << "no OpenGL 4.5 window";
}

VerstecktesFenster::~VerstecktesFenster() {
  if (!fenster_) return;
  Plattform::Fenster::Vergiss(fenster_);
  glfwDestroyWindow(fenster_);
}

std::array<unsigned, 4> Pixelbild::Umriss(const std::function<bool(int, int, int)>& trifft, unsigned y0,
                                          unsigned y1) const {
  std::array<unsigned, 4> r{breite, hoehe, 0, 0};
  for (unsigned y = y0; y < std::min(y1, hoehe); ++y)
    for (unsigned x = 0; x < breite; ++x) {
      const std::uint32_t p = (*this)(x, y);
      if (trifft(p >> 16 & 0xFF, p >> 8 & 0xFF, p & 0xFF))
        r = {std::min(r[0], x), std::min(r[1], y), std::max(r[2], x + 1), std::max(r[3], y + 1)};
    }
  return r;
}

Pixelbild LiesRueckpuffer(IDirect3DDevice9* geraet) {
  Pixelbild b;
  IDirect3DSurface9* r = nullptr;
  EXPECT_EQ(geraet->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &r), D3D_OK);
  if (!r) return b;
  D3DSURFACE_DESC d{};
  r->GetDesc(&d);
  D3DLOCKED_RECT lr{};
  EXPECT_EQ(r->LockRect(&lr, nullptr, D3DLOCK_READONLY), D3D_OK);
  b.breite = d.Width;
  b.hoehe = d.Height;
  b.px.resize(std::size_t{d.Width} * d.Height);
  if (lr.pBits)
    for (UINT y = 0; y < d.Height; ++y)
      std::memcpy(&b.px[y * d.Width], static_cast<const BYTE*>(lr.pBits) + y * lr.Pitch, d.Width * 4);
  r->UnlockRect();
  r->Release();
  return b;
}

::testing::AssertionResult Nahe(std::uint32_t ist, std::uint32_t soll, int toleranz) {
  for (int k = 0; k < 32; k += 8) {
    const int a = static_cast<int>((ist >> k) & 0xFF), b = static_cast<int>((soll >> k) & 0xFF);
    if (std::abs(a - b) > toleranz) {
      char t[64];
      std::snprintf(t, sizeof t, "0x%08X statt 0x%08X", ist, soll);
      return ::testing::AssertionFailure() << t;
    }
  }
  return ::testing::AssertionSuccess();
}

::testing::AssertionResult Rechteckig(const Pixelbild& b, unsigned x0, unsigned y0, unsigned x1, unsigned y1,
                                      std::uint32_t innen, std::uint32_t aussen) {
  for (unsigned y = 0; y < b.hoehe; ++y)
    for (unsigned x = 0; x < b.breite; ++x) {
      const bool drin = x >= x0 && x < x1 && y >= y0 && y < y1;
      if (b(x, y) != (drin ? innen : aussen))
        return ::testing::AssertionFailure() << "Pixel " << x << "," << y << ": " << std::hex << b(x, y);
    }
  return ::testing::AssertionSuccess();
}

}  // namespace GlTest
