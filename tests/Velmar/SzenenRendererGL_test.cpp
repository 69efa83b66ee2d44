// The scene renderer on the OpenGL device under a virtual X server: a lit
// landscape of a few hundred triangles, read back from the back buffer.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <random>

#include "FilterVerwaltung.h"
#include "GlKontextTest.h"
#include "Landschaft.h"
#include "Quelm_Bild.h"
#include "Quelm_Konsole.h"
#include "Quelm_System.h"
#include "Szene.h"
#include "SzenenRenderer.h"

namespace {

namespace fs = std::filesystem;
using Spiel::Dreieck;
using Spiel::Vektor3;

constexpr int kBreite = 640, kHoehe = 400;
constexpr std::uint32_t kHintergrund = 0x1A4D80u;  // the lit pass's clear colour, alpha aside
bool Hintergrund(std::uint32_t p) { return (p & 0xFFFFFFu) == kHintergrund; }

// A jittered grid of upward triangles whose neighbours share their corners
// exactly.
std::vector<Dreieck> Gelaende(std::uint32_t saat, int n, float hoehe) {
  std::mt19937 rng(saat);
  std::uniform_real_distribution<float> h(-hoehe, hoehe), versatz(-2, 2);
  std::vector<Vektor3> p;
  for (int j = 0; j <= n; ++j)
    for (int i = 0; i <= n; ++i)
      p.push_back({10.0f * (i - n / 2.0f) + versatz(rng), h(rng), 10.0f * (j - n / 2.0f) + versatz(rng)});
  auto aufwaerts = [](Dreieck d) {
    if (Spiel::Kreuz(d.ecke[2] - d.ecke[0], d.ecke[1] - d.ecke[0]).y < 0) std::swap(d.ecke[1], d.ecke[2]);
    return d;
  };
  std::vector<Dreieck> d;
  for (int j = 0; j < n; ++j)
    for (int i = 0; i < n; ++i) {
      const Vektor3 &a = p[j * (n + 1) + i], &b = p[j * (n + 1) + i + 1], &c = p[(j + 1) * (n + 1) + i],
                    &e = p[(j + 1) * (n + 1) + i + 1];
      d.push_back(aufwaerts({{a, b, e}}));
      d.push_back(aufwaerts({{a, e, c}}));
    }
  return d;
}

class SzenenRendererGL : public GlKontextTest {
 protected:
  SzenenRendererGL() : GlKontextTest(kBreite, kHoehe) {}
  void SetUp() override {
    Quelm_KonsolenVariable::Finde("debugShader")->SetzeBool(false);
    fs::create_directories(ordner.pfad() / "Daten");
    for (const char* datei : {"start.vs", "start.ps", "schatten.vs", "schatten.ps", "filter.pause.xml"})
      fs::copy_file(fs::path(VELMAR_QUELLE) / "Daten" / datei, ordner.pfad() / "Daten" / datei);
    gSystem.programmVerzeichnis = ordner.pfad();
    GlKontextTest::SetUp();
  }
  void TearDown() override {
    GlKontextTest::TearDown();
    Quelm_KonsolenVariable::Finde("debugShader")->SetzeBool(true);
  }

  // The landscape of `dreiecke` alone, drawn through the chain "pause" and read
  // back.
  GlTest::Pixelbild Zeichne(const std::vector<Dreieck>& dreiecke, float abstand, float neigung) {
    Spiel::SzenenRenderer renderer;
    Spiel::FilterSatz satz;
    satz.AddFilter(renderer.filterVerwaltung.FindeEffekt("pause"), 0);
    Spiel::FilterVerwaltung::BerechneFilterkette(satz);
    Spiel::Szene szene;
    Spiel::Zufall zufall(7);
    auto teile = Spiel::ErzeugeLandschaftsTeile(dreiecke, zufall);
    szene.landschaft = Spiel::LadeLandschaftsPuffer(teile);
    renderer.Zeichne(szene, {0, 0, 0}, abstand, neigung, satz, 2);
    const GlTest::Pixelbild bild = Lies();
    // For a look at it: VELMAR_SZENENBILD names the PNG to write.
    if (const char* pfad = std::getenv("VELMAR_SZENENBILD")) {
      Quelm_Bild png(bild.breite, bild.hoehe, PXFMT_A8R8G8B8);
      for (unsigned y = 0; y < bild.hoehe; ++y)
        std::memcpy(png.daten + y * png.pitch, &bild.px[y * bild.breite], 4 * bild.breite);
      Quelm_Bild::SpeicherePNG(png, pfad);
    }
    return bild;
  }
};

// From straight above: within the screen rectangle that the inner part of the ground
// covers at every height, nothing lies behind a face, so a gap shows the clear colour.
TEST_F(SzenenRendererGL, BeleuchteteLandschaftHatKeineLoecher) {
  constexpr float kAbstand = 140, kSenkrecht = 1.5707964f, kInnen = 25;
  const Spiel::Matrix v = Spiel::SzenenRenderer::KameraSicht({0, 0, 0}, kAbstand, kSenkrecht);
  const Spiel::Matrix p = Spiel::SzenenRenderer::KameraProjektion(kBreite, kHoehe);
  // Per screen axis the extremes of the corners on the low and the high side of the ground.
  float seite[2][2][2] = {{{1e9f, -1e9f}, {1e9f, -1e9f}}, {{1e9f, -1e9f}, {1e9f, -1e9f}}};  // axis, side, min/max
  for (float x : {-kInnen, kInnen})
    for (float y : {-12.0f, 12.0f})
      for (float z : {-kInnen, kInnen}) {
        float c[4] = {}, k[4] = {};
        const float ort[4] = {x, y, z, 1};
        for (int r = 0; r < 4; ++r)
          for (int i = 0; i < 4; ++i) c[r] += v(r, i) * ort[i];
        for (int r = 0; r < 4; ++r)
          for (int i = 0; i < 4; ++i) k[r] += p(r, i) * c[i];
        const float s[2] = {(k[0] / k[3] + 1) * 0.5f * kBreite, (1 - k[1] / k[3]) * 0.5f * kHoehe};
        for (int a = 0; a < 2; ++a) {
          float(&b)[2] = seite[a][(a == 0 ? x : z) > 0];
          b[0] = std::min(b[0], s[a]);
          b[1] = std::max(b[1], s[a]);
        }
      }
  float innen[4];  // x0, y0, x1, y1
  for (int a = 0; a < 2; ++a) {
    const int tief = seite[a][0][1] < seite[a][1][0] ? 0 : 1;
    innen[a] = seite[a][tief][1];
    innen[a + 2] = seite[a][1 - tief][0];
  }
  ASSERT_GT(innen[2] - innen[0], 100);
  ASSERT_GT(innen[3] - innen[1], 100);
  for (std::uint32_t saat : {1u, 2u, 3u, 4u}) {
    SCOPED_TRACE(saat);
    const auto dreiecke = Gelaende(saat, 8, 12);
    ASSERT_GT(Spiel::VerfeinereDreiecke(dreiecke).size(), 300u);
    const GlTest::Pixelbild bild = Zeichne(dreiecke, kAbstand, kSenkrecht);
    std::vector<std::pair<unsigned, unsigned>> loecher;
    for (auto y = static_cast<unsigned>(innen[1]) + 1; y < static_cast<unsigned>(innen[3]); ++y)
      for (auto x = static_cast<unsigned>(innen[0]) + 1; x < static_cast<unsigned>(innen[2]); ++x)
        if (Hintergrund(bild(x, y))) loecher.push_back({x, y});
    EXPECT_EQ(loecher, (std::vector<std::pair<unsigned, unsigned>>{}));
  }
}

}  // namespace
