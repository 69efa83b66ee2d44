// The scene renderer on the OpenGL device under a virtual X server: a lit
// landscape of a few hundred triangles, read back from the back buffer.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <optional>
#include <random>

#include "FilterVerwaltung.h"
#include "GlKontextTest.h"
#include "Landschaft.h"
#include "SzenenHilfen.h"
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

// The ground of `saat`, n x n cells centred on the origin.
std::vector<Dreieck> Gelaende(std::uint32_t saat, int n, float hoehe) {
  std::mt19937 rng(saat);
  return ::Gelaende(rng, n, hoehe, -5.0f * n);
}

// Where the camera of the scene renderer shows a point: pixel x, y (centres on whole
// numbers) and the clip w.
struct Kamera {
  Spiel::Matrix sicht, projektion;
  Kamera(float abstand, float neigung)
      : sicht(Spiel::SzenenRenderer::KameraSicht({0, 0, 0}, abstand, neigung)),
        projektion(Spiel::SzenenRenderer::KameraProjektion(kBreite, kHoehe)) {}
  std::array<float, 3> Bild(const Vektor3& p) const {
    float c[4] = {}, k[4] = {};
    const float ort[4] = {p.x, p.y, p.z, 1};
    for (int r = 0; r < 4; ++r)
      for (int i = 0; i < 4; ++i) c[r] += sicht(r, i) * ort[i];
    for (int r = 0; r < 4; ++r)
      for (int i = 0; i < 4; ++i) k[r] += projektion(r, i) * c[i];
    return {(k[0] / k[3] + 1) * 0.5f * kBreite, (1 - k[1] / k[3]) * 0.5f * kHoehe, k[3]};
  }
};

class SzenenRendererGL : public GlKontextTest {
 protected:
  SzenenRendererGL() : GlKontextTest(kBreite, kHoehe) {}
  void SetUp() override {
    BereiteDatenVor(ordner.pfad(), VELMAR_QUELLE);
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
  const Kamera kamera(kAbstand, kSenkrecht);
  // Per screen axis the extremes of the corners on the low and the high side of the ground.
  float seite[2][2][2] = {{{1e9f, -1e9f}, {1e9f, -1e9f}}, {{1e9f, -1e9f}, {1e9f, -1e9f}}};  // axis, side, min/max
  for (float x : {-kInnen, kInnen})
    for (float y : {-12.0f, 12.0f})
      for (float z : {-kInnen, kInnen}) {
        const std::array<float, 3> s = kamera.Bild({x, y, z});
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

// The surface point that pixel (x, y) shows, with its face: the face nearest to the camera
// whose screen triangle holds the pixel centre.
std::optional<std::pair<Vektor3, const Dreieck*>> Sichtbar(const std::vector<Dreieck>& fein, const Kamera& kamera,
                                                           float x, float y) {
  std::optional<std::pair<Vektor3, const Dreieck*>> treffer;
  float naechstesW = 1e30f;
  for (const Dreieck& d : fein) {
    std::array<float, 3> e[3];
    for (int k = 0; k < 3; ++k) e[k] = kamera.Bild(d.ecke[k]);
    auto kante = [&](int a, int b) {
      return (e[b][0] - e[a][0]) * (y - e[a][1]) - (e[b][1] - e[a][1]) * (x - e[a][0]);
    };
    const float g[3] = {kante(1, 2), kante(2, 0), kante(0, 1)}, summe = g[0] + g[1] + g[2];
    if (summe == 0 || !((g[0] >= 0 && g[1] >= 0 && g[2] >= 0) || (g[0] <= 0 && g[1] <= 0 && g[2] <= 0))) continue;
    // Perspective-correct weights.
    float b[3], kehr = 0;
    for (int k = 0; k < 3; ++k) kehr += b[k] = g[k] / summe / e[k][2];
    if (1 / kehr >= naechstesW) continue;
    naechstesW = 1 / kehr;
    treffer = {{(d.ecke[0] * b[0] + d.ecke[1] * b[1] + d.ecke[2] * b[2]) * naechstesW, &d}};
  }
  return treffer;
}

// Whether a face other than the point's own lies between the point and the light.
bool Verdeckt(const std::vector<Dreieck>& fein, const Vektor3& punkt, const Vektor3& zumLicht) {
  for (const Dreieck& d : fein) {
    const Vektor3 e1 = d.ecke[1] - d.ecke[0], e2 = d.ecke[2] - d.ecke[0], h = Spiel::Kreuz(zumLicht, e2);
    const float det = Spiel::Punkt(e1, h);
    if (std::fabs(det) < 1e-9f) continue;
    const Vektor3 s = punkt - d.ecke[0], q = Spiel::Kreuz(s, e1);
    const float u = Spiel::Punkt(s, h) / det, v = Spiel::Punkt(zumLicht, q) / det;
    if (u >= 0 && v >= 0 && u + v <= 1 && Spiel::Punkt(e2, q) / det > 1e-3f) return true;
  }
  return false;
}

// Each landscape drawn as it is and once more with the lit pass's occluder test switched
// off: what only the first shows darker lies in shadow. On faces turned to the light, a
// shadow where no face stands between the point and the light is a false speck; a few
// remain along true shadow edges, at the shadow image's resolution.
TEST_F(SzenenRendererGL, SchattenFallenNurHinterVerdeckern) {
  constexpr float kAbstand = 300, kNeigung = 2.8274333f - kAbstand * 0.002199115f;
  const fs::path ps = ordner.pfad() / "Daten" / "start.ps";
  std::string quelle;
  {
    std::ifstream datei(ps);
    quelle.assign(std::istreambuf_iterator<char>(datei), {});
  }
  const std::string verdeckt = "frei = 0.0f;";
  ASSERT_NE(quelle.find(verdeckt), std::string::npos);
  std::string ohneSchatten = quelle;
  ohneSchatten.replace(ohneSchatten.find(verdeckt), verdeckt.size(), "frei = 1.0f;");
  Vektor3 richtung;
  Spiel::SzenenRenderer::LichtMatrix({0, 0, 0}, kAbstand, richtung);
  const Kamera kamera(kAbstand, kNeigung);
  auto hell = [](std::uint32_t p) { return (p >> 16 & 0xFF) + (p >> 8 & 0xFF) + (p & 0xFF); };
  for (std::uint32_t saat : {1u, 2u}) {
    SCOPED_TRACE(saat);
    const auto dreiecke = Gelaende(saat, 12, 12);
    const auto fein = Spiel::VerfeinereDreiecke(dreiecke);
    std::ofstream(ps) << quelle;
    const GlTest::Pixelbild mit = Zeichne(dreiecke, kAbstand, kNeigung);
    std::ofstream(ps) << ohneSchatten;
    const GlTest::Pixelbild ohne = Zeichne(dreiecke, kAbstand, kNeigung);
    int echt = 0, falsch = 0;
    for (unsigned y = 0; y < ohne.hoehe; ++y)
      for (unsigned x = 0; x < ohne.breite; ++x) {
        if (hell(ohne(x, y)) <= 400 || hell(ohne(x, y)) < hell(mit(x, y)) + 100) continue;
        const auto punkt = Sichtbar(fein, kamera, static_cast<float>(x), static_cast<float>(y));
        if (!punkt) continue;
        ++(Verdeckt(fein, punkt->first, richtung * -1.0f) ? echt : falsch);
      }
    EXPECT_GT(echt, 500);
    EXPECT_LT(falsch, echt / 25) << echt;
  }
}

}  // namespace
