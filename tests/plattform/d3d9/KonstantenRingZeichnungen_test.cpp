// The constants ring under the device: long random runs of draws with changing and
// unchanging constants, large and small uniform blocks and several laps of the ring, the
// GL calls around the ring recorded (GlMitschnitt.h). No byte of the ring may be
// rewritten before a wait on a fence made after the last draw that read it, also when a
// wait runs out.
#include <random>
#include <string>
#include <vector>

#include "GlGeraet.h"
#include "GlMitschnitt.h"

using namespace GlTest;

namespace {

// A uniform block of `vec4s` registers' room; `n` registers of it reach the shader, each
// `schritt` bytes after the one before.
std::vector<Plattform::RegisterSpanne> Spannen(std::uint32_t n, std::uint32_t schritt) {
  std::vector<Plattform::RegisterSpanne> s;
  for (std::uint32_t r = 0; r < n; ++r) s.push_back({r, 4, r * schritt, 4});
  return s;
}

std::string PsMitBlock(int vec4s) {
  std::string rest = vec4s > 1 ? " vec4 p[" + std::to_string(vec4s - 1) + "];" : "";
  return "#version 450\n"
         "layout(location = 0) in vec4 v_wert;\n"
         "layout(location = 0) out vec4 farbe;\n"
         "layout(std140, binding = 1) uniform PsKonstanten { vec4 p0;" +
         rest +
         " };\n"
         "void main() { farbe = v_wert * p0; }\n";
}

class KonstantenRingZeichnungen : public GlGeraetTest {
 protected:
  // Draws until the ring has begun `runden` new laps, `hoechstens` draws at most.
  void Lauf(unsigned seed, bool zeitAus, int runden = 4, int hoechstens = 40000) {
    const std::string vsBlock1k = "layout(std140, binding = 0) uniform VsKonstanten { vec4 c0; vec4 rest[63]; };";
    const std::string vsBlock16k = "layout(std140, binding = 0) uniform VsKonstanten { vec4 c0; vec4 rest[1023]; };";
    // Blocks of 16 bytes, 1 KiB and the largest, 16 KiB; 272 bytes is no multiple of any
    // alignment above 16.
    IDirect3DVertexShader9* vs[] = {vsPixel_, Vs(PixelVs(vsBlock1k, "pos.xy").c_str(), Spannen(64, 16), 1024),
                                    Vs(PixelVs(vsBlock16k, "pos.xy").c_str(), Spannen(256, 64), 16384)};
    IDirect3DPixelShader9* ps[] = {Ps(kPsFarbe), Ps(PsMitBlock(1).c_str(), Spannen(1, 16), 16),
                                   Ps(PsMitBlock(17).c_str(), Spannen(17, 16), 272),
                                   Ps(PsMitBlock(1024).c_str(), Spannen(224, 64), 16384)};
    for (auto* s : vs) ASSERT_NE(s, nullptr);
    for (auto* s : ps) ASSERT_NE(s, nullptr);

    GlMitschnitt m;
    m.zeitUeberschreitungVortaeuschen = zeitAus;
    std::mt19937 zufall(seed);
    auto eins = [&](double p) { return std::uniform_real_distribution<double>(0, 1)(zufall) < p; };
    auto bis = [&](int n) { return static_cast<int>(zufall() % static_cast<unsigned>(n)); };
    constexpr double kWahrscheinlichkeit[] = {0.0, 0.01, 0.2, 0.7, 1.0};
    Beginne(ps[0]);
    double aendereVs = 0, aenderePs = 0;
    int gewichtVs = 0, gewichtPs = 0;
    int n = 0;
    for (; n < hoechstens && m.rundenAnfaenge < runden; ++n) {
      // Every stretch of draws changes one stage's constants often, the other's seldom or
      // never, and prefers other shaders.
      if (n % 150 == 0) {
        aendereVs = kWahrscheinlichkeit[bis(5)];
        aenderePs = kWahrscheinlichkeit[bis(5)];
        gewichtVs = bis(3);
        gewichtPs = bis(4);
      }
      IDirect3DVertexShader9* v = vs[eins(0.6) ? gewichtVs : bis(3)];
      IDirect3DPixelShader9* p = ps[eins(0.6) ? gewichtPs : bis(4)];
      g_->SetVertexShader(v);
      g_->SetPixelShader(p);
      // New values, or the same values set again (the register file's count changes, the
      // block does not). Vertex register 0 places the rectangle and keeps its values.
      float werte[8 * 4];
      if (eins(aendereVs)) {
        const int anzahl = 1 + bis(8), start = 1 + bis(256 - anzahl);
        for (float& w : werte) w = std::uniform_real_distribution<float>(-1, 1)(zufall);
        ASSERT_EQ(g_->SetVertexShaderConstantF(start, werte, anzahl), D3D_OK);
      } else if (eins(0.2)) {
        const int anzahl = 1 + bis(8), start = bis(256 - anzahl);
        ASSERT_EQ(g_->GetVertexShaderConstantF(start, werte, anzahl), D3D_OK);
        ASSERT_EQ(g_->SetVertexShaderConstantF(start, werte, anzahl), D3D_OK);
      }
      if (eins(aenderePs)) {
        const int anzahl = 1 + bis(8), start = bis(224 - anzahl);
        for (float& w : werte) w = std::uniform_real_distribution<float>(0, 1)(zufall);
        ASSERT_EQ(g_->SetPixelShaderConstantF(start, werte, anzahl), D3D_OK);
      } else if (eins(0.2)) {
        const int anzahl = 1 + bis(8), start = bis(224 - anzahl);
        ASSERT_EQ(g_->GetPixelShaderConstantF(start, werte, anzahl), D3D_OK);
        ASSERT_EQ(g_->SetPixelShaderConstantF(start, werte, anzahl), D3D_OK);
      }
      // Another viewport size moves the half-pixel shift, the device's own block.
      if (eins(0.02)) {
        const DWORD seite[] = {32, 48, 64};
        const D3DVIEWPORT9 vp{0, 0, seite[bis(3)], seite[bis(3)], 0.0f, 1.0f};
        ASSERT_EQ(g_->SetViewport(&vp), D3D_OK);
      }
      const float farbe[4] = {1, 1, 1, 1};
      const float x = static_cast<float>(bis(56)), y = static_cast<float>(bis(56));
      Rechteck(x, y, x + 8, y + 8, 0.5f, farbe);
      if (n % 200 == 199) {
        ASSERT_EQ(g_->EndScene(), D3D_OK);
        ASSERT_EQ(g_->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
        ASSERT_EQ(g_->BeginScene(), D3D_OK);
      }
    }
    ASSERT_EQ(g_->EndScene(), D3D_OK);
    m.Vergleiche();
    EXPECT_EQ(m.verletzungen, 0u) << m.erste;
    // Every draw was seen, the ring came round, fences were made and waited for.
    EXPECT_EQ(m.zeichnungen, static_cast<std::uint32_t>(n));
    EXPECT_GE(m.rundenAnfaenge, runden) << n << " draws";
    EXPECT_GT(m.zaeune, 0);
    EXPECT_GT(m.warten, 0);
    if (zeitAus) {
      EXPECT_GT(m.zeitAus, 0);
    }
  }
};

TEST_F(KonstantenRingZeichnungen, NoRangeRewrittenWhileADrawMayReadIt) {
  for (unsigned seed : {1u, 2u, 3u}) {
    SCOPED_TRACE(seed);
    Lauf(seed, false);
    if (HasFatalFailure()) return;
  }
}

// A wait that runs out (a busy or hung GPU) must not let the ring rewrite what a pending
// draw may read.
TEST_F(KonstantenRingZeichnungen, AWaitThatRunsOutDoesNotRewrite) { Lauf(4, true); }

}  // namespace
