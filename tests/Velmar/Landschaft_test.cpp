#include "Landschaft.h"
#include "SzenenHilfen.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <random>
#include <set>

using namespace Spiel;

namespace {

// Twice the signed area of the ground footprint; positive for an upward face.
float Flaeche(const Dreieck& d) { return Kreuz(d.ecke[2] - d.ecke[0], d.ecke[1] - d.ecke[0]).y; }

TEST(Landschaft, GrundflaecheUndWindungBleiben) {
  std::mt19937 rng(11);
  for (float hoehe : {0.4f, 3.0f, 15.0f, 40.0f}) {
    for (const Dreieck& d : Gelaende(rng, 10, hoehe)) {
      const auto fein = VerfeinereDreiecke({&d, 1});
      // |dy| below a fifth of every edge: nothing to refine.
      if (hoehe < 1) {
        EXPECT_EQ(fein, std::vector<Dreieck>{d});
      }
      float summe = 0;
      for (const Dreieck& f : fein) {
        EXPECT_GT(Flaeche(f), -1e-3f);  // no face turned over
        summe += std::fabs(Flaeche(f));
      }
      EXPECT_NEAR(summe, Flaeche(d), 1e-3f * Flaeche(d));  // covered once, no overlap
    }
  }
}

// Where the pieces of one input triangle meet its edge a-b: (position along the edge,
// height), sorted along the edge.
std::vector<std::pair<float, float>> Rand(const Dreieck& d, const Vektor3& a, const Vektor3& b) {
  std::map<std::pair<std::vector<float>, std::vector<float>>, int> kanten;
  auto schluessel = [](const Vektor3& p) { return std::vector<float>{p.x, p.y, p.z}; };
  const auto fein = VerfeinereDreiecke({&d, 1});
  for (const Dreieck& f : fein)
    for (int k = 0; k < 3; ++k) {
      auto p = schluessel(f.ecke[k]), q = schluessel(f.ecke[(k + 1) % 3]);
      ++kanten[{std::min(p, q), std::max(p, q)}];
    }
  const float dx = b.x - a.x, dz = b.z - a.z, l2 = dx * dx + dz * dz;
  std::set<std::pair<float, float>> punkte;
  for (const auto& [kante, anzahl] : kanten) {
    if (anzahl != 1) continue;
    for (const auto& p : {kante.first, kante.second}) {
      const float t = ((p[0] - a.x) * dx + (p[2] - a.z) * dz) / l2;
      const float quer = ((p[0] - a.x) * dz - (p[2] - a.z) * dx) / std::sqrt(l2);
      if (std::fabs(quer) < 1e-4f && t > -1e-5f && t < 1 + 1e-5f) punkte.insert({t, p[1]});
    }
  }
  return {punkte.begin(), punkte.end()};
}

float HoeheBei(const std::vector<std::pair<float, float>>& linie, float t) {
  for (std::size_t i = 1; i < linie.size(); ++i)
    if (t <= linie[i].first + 1e-6f) {
      const auto [t0, y0] = linie[i - 1];
      const auto [t1, y1] = linie[i];
      return t1 - t0 < 1e-6f ? y1 : y0 + (y1 - y0) * (t - t0) / (t1 - t0);
    }
  return linie.back().second;
}

TEST(Landschaft, NachbarnTreffenSichOhneRiss) {
  std::mt19937 rng(3);
  int geprueft = 0;
  for (float hoehe : {6.0f, 25.0f}) {
    const auto netz = Gelaende(rng, 8, hoehe);
    for (std::size_t i = 0; i < netz.size(); ++i)
      for (std::size_t j = i + 1; j < netz.size(); ++j)
        for (int k = 0; k < 3; ++k)
          for (int l = 0; l < 3; ++l) {
            const Vektor3 &a = netz[i].ecke[k], &b = netz[i].ecke[(k + 1) % 3];
            if (!(netz[j].ecke[l] == b && netz[j].ecke[(l + 1) % 3] == a)) continue;
            const auto links = Rand(netz[i], a, b), rechts = Rand(netz[j], a, b);
            ASSERT_GE(links.size(), 2u);
            ASSERT_GE(rechts.size(), 2u);
            for (const auto& [t, y] : links) EXPECT_NEAR(HoeheBei(rechts, t), y, 1e-3f);
            for (const auto& [t, y] : rechts) EXPECT_NEAR(HoeheBei(links, t), y, 1e-3f);
            ++geprueft;
          }
  }
  EXPECT_GT(geprueft, 300);
}

// Edge 0 from (0, 0, 0) to (10, dy, 0): flat up to |dy| = 0.2 L; beyond, its band at 0.45
// and 0.55 of the edge steps by 0.1 |dy| + s, with s at least 0.5.
TEST(Landschaft, KlippenbandStufeMindestensEinhalb) {
  const struct {
    float dy;
    std::vector<std::pair<float, float>> band;  // (x, y) of the points inside the edge
  } faelle[] = {
      {1.9f, {}},
      {2.1f, {{4.5f, 0.45f * 2.1f - 0.25f}, {5.0f, 1.05f}, {5.5f, 0.55f * 2.1f + 0.25f}}},
      {-2.1f, {{4.5f, -0.45f * 2.1f + 0.25f}, {5.0f, -1.05f}, {5.5f, -0.55f * 2.1f - 0.25f}}},
      // s = 6 - 0.2 sqrt(136) is above the minimum.
      {6.0f, {{4.5f, 2.7f - 0.5f * (6 - 0.2f * std::sqrt(136.0f))}, {5.0f, 3.0f},
              {5.5f, 3.3f + 0.5f * (6 - 0.2f * std::sqrt(136.0f))}}},
  };
  for (const auto& f : faelle) {
    SCOPED_TRACE(f.dy);
    const Dreieck d{{{0, 0, 0}, {10, f.dy, 0}, {0, 0, -10}}};
    std::set<std::pair<float, float>> innen;
    for (const Dreieck& t : VerfeinereDreiecke({&d, 1}))
      for (const Vektor3& e : t.ecke)
        if (e.z == 0 && e.x > 0 && e.x < 10) innen.insert({e.x, e.y});
    ASSERT_EQ(innen.size(), f.band.size());
    std::size_t i = 0;
    for (const auto& [x, y] : innen) {
      EXPECT_NEAR(x, f.band[i].first, 1e-5f);
      EXPECT_NEAR(y, f.band[i].second, 1e-5f);
      ++i;
    }
  }
}

// One triangle per pattern of steep edges (and each corner of middle height when all three
// are steep): its pieces cover its footprint once, none turned over, and along each edge
// they meet at the corners only (flat) or at the corners, the two band points and the
// band's middle (steep). With three steep edges the middle of the band facing the corner
// of middle height is the hub of five pieces; other band middles join two.
TEST(Landschaft, JedesMusterSteilerKanten) {
  // Corners (0, h0, 0), (0, h1, -10), (10, h2, 0); edges 0 and 2 are 10 long, edge 1 14.1.
  const struct {
    float h[3];
    std::size_t punkte[3];  // per edge
    int nabe = -1;          // edge whose band middle joins five pieces
  } faelle[] = {
      {{0, 0, 0}, {2, 2, 2}},   {{0, 3, 1.5f}, {5, 2, 2}},    {{1.5f, 0, 3.2f}, {2, 5, 2}},
      {{0, 1.5f, 3}, {2, 2, 5}}, {{0, 4, 1}, {5, 5, 2}},       {{0, 1, 5}, {2, 5, 5}},
      {{0, 4, 4.5f}, {5, 2, 5}}, {{0, 4, 9}, {5, 5, 5}, 2},    {{4, 0, 9}, {5, 5, 5}, 1},
      {{0, 9, 4}, {5, 5, 5}, 0},
  };
  for (const auto& f : faelle) {
    const Dreieck d{{{0, f.h[0], 0}, {0, f.h[1], -10}, {10, f.h[2], 0}}};
    SCOPED_TRACE(::testing::Message() << f.h[0] << " " << f.h[1] << " " << f.h[2]);
    float summe = 0;
    for (const Dreieck& t : VerfeinereDreiecke({&d, 1})) {
      EXPECT_GT(Flaeche(t), 0.0f);
      summe += Flaeche(t);
    }
    EXPECT_NEAR(summe, Flaeche(d), 1e-3f);
    for (int k = 0; k < 3; ++k) {
      const Vektor3 &a = d.ecke[k], &b = d.ecke[(k + 1) % 3];
      const auto rand = Rand(d, a, b);
      EXPECT_EQ(rand.size(), f.punkte[k]) << k;
      if (rand.size() != 5) continue;
      const Vektor3 mitte{a.x + rand[2].first * (b.x - a.x), rand[2].second, a.z + rand[2].first * (b.z - a.z)};
      const auto stuecke = VerfeinereDreiecke({&d, 1});
      const auto an = std::ranges::count_if(stuecke, [&](const Dreieck& t) {
        return std::ranges::any_of(t.ecke, [&](const Vektor3& e) { return Laenge(e - mitte) < 1e-4f; });
      });
      EXPECT_EQ(an, k == f.nabe ? 5 : 2) << k;
    }
  }
}

TEST(Landschaft, FarbeNachNeigungUndRauschen) {
  std::mt19937 rng(5);
  auto netz = Gelaende(rng, 6, 30);
  netz.push_back({{{0, 0, 0}, {0, 0, -1}, {1, 0, 0}}});
  Zufall zufall(99);
  auto teile = ErzeugeLandschaftsTeile(netz, zufall);
  ASSERT_EQ(teile.size(), 1u);
  const LandschaftsTeil& teil = *teile[0];
  ASSERT_EQ(teil.vertexe.size(), VerfeinereDreiecke(netz).size() * 3);
  int grau = 0;
  for (std::size_t i = 0; i < teil.vertexe.size(); ++i) {
    const SzenenVertex& v = teil.vertexe[i];
    EXPECT_EQ(v.farbe.g, v.normale.y >= 0.7f ? 1.0f : 1.0f / 3.0f);
    grau += v.normale.y < 0.7f;
    // The noise spans each face from its first corner: (0, 0), (1, 0), (0, 1).
    EXPECT_EQ(std::pair(v.u, v.v), std::pair(i % 3 == 1 ? 1.0f : 0.0f, i % 3 == 2 ? 1.0f : 0.0f)) << i;
  }
  EXPECT_GT(grau, 0);

  ASSERT_EQ(teil.bild.breite * teil.bild.hoehe, 256u * 256);
  std::set<std::uint32_t> werte;
  for (std::uint64_t y = 0; y < 256; ++y)
    for (std::uint64_t x = 0; x < 256; ++x) {
      std::uint32_t p;
      std::memcpy(&p, teil.bild.daten + y * teil.bild.pitch + 4 * x, 4);
      const std::uint32_t g = p & 0xFF;
      ASSERT_EQ(p, 0xFF000000u | g << 16 | g << 8 | g);
      ASSERT_GE(g, 187u);
      ASSERT_LE(g, 250u);
      werte.insert(g);
    }
  EXPECT_EQ(werte.size(), 64u);
}

}  // namespace

namespace {

// Corners of refined faces that lie inside an edge of another face: T-junctions, where the
// rasteriser leaves pixels uncovered along the edge.
int TStellen(const std::vector<Dreieck>& fein) {
  std::vector<Vektor3> ecken;
  for (const Dreieck& d : fein) ecken.insert(ecken.end(), d.ecke, d.ecke + 3);
  int n = 0;
  for (const Dreieck& d : fein)
    for (int k = 0; k < 3; ++k) {
      const Vektor3 a = d.ecke[k], b = d.ecke[(k + 1) % 3], ab = b - a;
      const float l2 = Punkt(ab, ab);
      for (const Vektor3& p : ecken) {
        const float t = Punkt(p - a, ab) / l2;
        if (t < 1e-4f || t > 1 - 1e-4f) continue;
        const Vektor3 abstand = p - (a + ab * t);
        n += Punkt(abstand, abstand) < 1e-8f * l2;
      }
    }
  return n;
}

TEST(Landschaft, KeineTStellenZwischenNachbarn) {
  std::mt19937 rng(3);
  for (float hoehe : {6.0f, 25.0f}) EXPECT_EQ(TStellen(VerfeinereDreiecke(Gelaende(rng, 8, hoehe))), 0) << hoehe;
}

}  // namespace
