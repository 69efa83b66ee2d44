#include "Landschaft.h"

#include "Quelm_Screen3D.h"
#include "Quelm_ZeichenKontext.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <tuple>
#include <utility>

namespace Spiel {

namespace {

constexpr TAlphaFarbe kFlach{128.0f / 255.0f, 1.0f, 64.0f / 255.0f, 1.0f};
constexpr TAlphaFarbe kSteil{1.0f / 3.0f, 1.0f / 3.0f, 1.0f / 3.0f, 1.0f};

bool VorA(const Vektor3& a, const Vektor3& b) {
  if (a.x != b.x) return a.x < b.x;
  if (a.y != b.y) return a.y < b.y;
  return a.z < b.z;
}

// The two band points of a steep edge from a to b, the first near a. They are computed
// from the edge's lower end point in a fixed order, so that the neighbour that walks the
// edge the other way gets bit-identical points and the landscape has no cracks.
std::pair<Vektor3, Vektor3> Bandpunkte(const Vektor3& a, const Vektor3& b, float s) {
  if (VorA(b, a)) {
    auto [p, q] = Bandpunkte(b, a, s);
    return {q, p};
  }
  const float dy = b.y - a.y;
  const float vz = dy > 0 ? 1.0f : (dy < 0 ? -1.0f : 0.0f);
  return {{a.x + 0.45f * (b.x - a.x), a.y + 0.45f * dy - 0.5f * vz * s, a.z + 0.45f * (b.z - a.z)},
          {a.x + 0.55f * (b.x - a.x), a.y + 0.55f * dy + 0.5f * vz * s, a.z + 0.55f * (b.z - a.z)}};
}

bool Kurz(const Vektor3& a, const Vektor3& b) {
  const Vektor3 d = b - a;
  return Punkt(d, d) <= 0.001f;
}

}  // namespace

std::vector<Dreieck> VerfeinereDreiecke(std::span<const Dreieck> dreiecke) {
  std::vector<Dreieck> aus;
  aus.reserve(dreiecke.size() * 4);
  for (const Dreieck& d : dreiecke) {
    const Vektor3* p = d.ecke;
    Vektor3 P[6];
    bool steil[3];
    for (int k = 0; k < 3; ++k) {
      const Vektor3& a = p[k];
      const Vektor3& b = p[(k + 1) % 3];
      const float s = std::fabs(b.y - a.y) - 0.2f * Laenge(b - a);
      steil[k] = s > 0;
      if (steil[k]) {
        std::tie(P[2 * k], P[2 * k + 1]) = Bandpunkte(a, b, std::max(s, 0.5f));
      } else {
        P[2 * k] = P[2 * k + 1] = a;
      }
    }
    // The middle of each band. A face that has a whole band as an edge is split there: the
    // neighbour may meet that band at its middle (its Q below), and a corner lying inside
    // another face's edge leaves pixels uncovered along the seam.
    Vektor3 mitte[3];
    for (int k = 0; k < 3; ++k) mitte[k] = (P[2 * k] + P[2 * k + 1]) * 0.5f;
    auto bandMitte = [&](const Vektor3& a, const Vektor3& b) -> const Vektor3* {
      for (int k = 0; k < 3; ++k)
        if (steil[k] && ((a == P[2 * k] && b == P[2 * k + 1]) || (a == P[2 * k + 1] && b == P[2 * k])))
          return &mitte[k];
      return nullptr;
    };
    auto gib = [&](const Vektor3& a, const Vektor3& b, const Vektor3& c) {
      if (Kurz(a, b) || Kurz(b, c) || Kurz(c, a)) return;
      const Vektor3* ecke[3] = {&a, &b, &c};
      for (int i = 0; i < 3; ++i)
        if (const Vektor3* m = bandMitte(*ecke[i], *ecke[(i + 1) % 3])) {
          const Vektor3 &u = *ecke[i], &v = *ecke[(i + 1) % 3], &w = *ecke[(i + 2) % 3];
          aus.push_back({{u, *m, w}});
          aus.push_back({{*m, v, w}});
          return;
        }
      aus.push_back({{a, b, c}});
    };
    gib(p[0], P[0], P[5]);
    gib(P[1], p[1], P[2]);
    gib(P[3], p[2], P[4]);

    if (!(steil[0] && steil[1] && steil[2])) {
      gib(steil[1] ? P[0] : P[1], steil[2] ? P[2] : P[3], steil[0] ? P[4] : P[5]);
      if (steil[0] && steil[1]) {
        gib(P[0], P[1], P[2]);
        gib(P[0], P[2], P[3]);
      } else if (steil[1] && steil[2]) {
        gib(P[2], P[3], P[4]);
        gib(P[2], P[4], P[5]);
      } else if (steil[0] && steil[2]) {
        gib(P[4], P[5], P[0]);
        gib(P[4], P[0], P[1]);
      } else if (steil[0]) {
        gib(P[0], P[1], p[2]);
      } else if (steil[1]) {
        gib(P[2], P[3], p[0]);
      } else if (steil[2]) {
        gib(P[4], P[5], p[1]);
      }
      continue;
    }

    // Three steep edges: the corner of middle height, and Q in the middle of the band of
    // the opposite edge. Q lies on that band's own segment, and the neighbour across the
    // edge splits the band at the same point, so the two meet without a gap.
    float h[3] = {p[0].y, p[1].y, p[2].y};
    std::sort(h, h + 3);
    const int m = p[0].y == h[1] ? 0 : (p[1].y == h[1] ? 1 : 2);
    const int gegen = (m + 1) % 3;
    const Vektor3 Q = mitte[gegen];
    if (m == 0) {
      gib(P[0], Q, P[5]);
      gib(P[0], P[1], P[2]);
      gib(P[0], P[2], Q);
      gib(Q, P[3], P[4]);
      gib(Q, P[4], P[5]);
    } else if (m == 1) {
      gib(P[1], P[2], Q);
      gib(P[2], P[3], P[4]);
      gib(P[2], P[4], Q);
      gib(Q, P[5], P[0]);
      gib(Q, P[0], P[1]);
    } else {
      gib(Q, P[3], P[4]);
      gib(Q, P[1], P[2]);
      gib(Q, P[2], P[3]);
      gib(P[4], P[5], P[0]);
      gib(P[4], P[0], Q);
    }
  }
  return aus;
}

std::vector<std::unique_ptr<LandschaftsTeil>> ErzeugeLandschaftsTeile(std::span<const Dreieck> dreiecke,
                                                                       Zufall& zufall) {
  const std::vector<Dreieck> fein = VerfeinereDreiecke(dreiecke);
  std::vector<std::unique_ptr<LandschaftsTeil>> teile;
  auto& teil = *teile.emplace_back(std::make_unique<LandschaftsTeil>());
  teil.bild.SetGroesse(kRauschenKante, kRauschenKante, PXFMT_A8R8G8B8, 1);
  for (std::uint64_t y = 0; y < teil.bild.hoehe; ++y) {
    std::uint8_t* zeile = teil.bild.daten + y * teil.bild.pitch;
    for (std::uint64_t x = 0; x < teil.bild.breite; ++x) {
      const std::uint32_t g = 187u + static_cast<std::uint32_t>(zufall() & 63);
      const std::uint32_t pixel = 0xFF000000u | g << 16 | g << 8 | g;
      std::memcpy(zeile + 4 * x, &pixel, 4);
    }
  }
  teil.vertexe.reserve(fein.size() * 3);
  teil.indizes.reserve(fein.size() * 3);
  for (const Dreieck& d : fein) {
    const Vektor3 n = Normiert(Kreuz(d.ecke[2] - d.ecke[0], d.ecke[1] - d.ecke[0]));
    FuegeDreieckHinzu(d.ecke[0], d.ecke[1], d.ecke[2], n.y >= 0.7f ? kFlach : kSteil, teil.indizes, teil.vertexe);
  }
  return teile;
}

std::vector<LandschaftsPuffer> LadeLandschaftsPuffer(std::vector<std::unique_ptr<LandschaftsTeil>>& teile) {
  std::vector<LandschaftsPuffer> liste;
  for (auto& teil : teile) {
    LandschaftsPuffer& p = liste.emplace_back();
    LadeNetzPuffer(p.netz, teil->vertexe, teil->indizes);
    // A plain image, never a cube map, so the context makes a Quelm_Textur of it.
    p.textur = static_cast<Quelm_Textur*>(Quelm_Screen3D::zeichenKontext->ErzeugeTexturAusBild(teil->bild));
  }
  return liste;
}

void Helfer::operator()() const {
  std::vector<LandschaftsPuffer> neu = LadeLandschaftsPuffer(*teile);
  std::swap(neu, szene->landschaft);
  GibLandschaftsPufferFrei(neu);
  szene->generierung = {};
  teile->clear();
}

}  // namespace Spiel
