#pragma once
// Shared support of the tests that draw on Mesa's OpenGL under Xvfb: a hidden window
// with an OpenGL 4.5 core context, the back buffer read as 0xAARRGGBB with row 0 at the top,
// and comparisons.
#define GLFW_INCLUDE_NONE
#include <GLFW/glfw3.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <functional>
#include <vector>

struct IDirect3DDevice9;

namespace GlTest {

// A hidden window with the context the device layer asks for. GLFW stays initialised when
// it closes: glfwTerminate unloads Mesa's driver, and what the driver still holds in its
// globals would then show as leaks.
class VerstecktesFenster {
 public:
  explicit VerstecktesFenster(int breite = 64, int hoehe = 64);
  ~VerstecktesFenster();
  VerstecktesFenster(const VerstecktesFenster&) = delete;
  VerstecktesFenster& operator=(const VerstecktesFenster&) = delete;
  GLFWwindow* glfw() const { return fenster_; }

 private:
  GLFWwindow* fenster_ = nullptr;
};

// A read-back image, 0xAARRGGBB, row 0 at the top.
struct Pixelbild {
  unsigned breite = 0, hoehe = 0;
  std::vector<std::uint32_t> px;

  std::uint32_t operator()(unsigned x, unsigned y) const { return px[y * breite + x]; }
  std::size_t Anzahl(std::uint32_t farbe) const {
    return static_cast<std::size_t>(std::count(px.begin(), px.end(), farbe));
  }
  // The rectangle [x0, y0, x1, y1) around the pixels of rows [y0, y1) whose red, green and
  // blue meet `trifft`; {breite, hoehe, 0, 0} when there are none.
  std::array<unsigned, 4> Umriss(const std::function<bool(int, int, int)>& trifft, unsigned y0 = 0,
                                 unsigned y1 = ~0u) const;
};

// The device's back buffer, through GetBackBuffer and LockRect.
Pixelbild LiesRueckpuffer(IDirect3DDevice9* geraet);

// Colour channels within a tolerance (texture filtering and format conversions round).
::testing::AssertionResult Nahe(std::uint32_t ist, std::uint32_t soll, int toleranz = 1);
// Every pixel inside [x0, x1) x [y0, y1) is `innen`, every other pixel `aussen`.
::testing::AssertionResult Rechteckig(const Pixelbild& b, unsigned x0, unsigned y0, unsigned x1, unsigned y1,
                                      std::uint32_t innen, std::uint32_t aussen);

}  // namespace GlTest
