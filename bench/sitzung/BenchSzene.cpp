#include "BenchSzene.h"

#include "BenchNetz.h"
#include "Kamera.h"
#include "Landschaft.h"
#include "Szene.h"
#include "SzenenRenderer.h"

#include <cstring>

namespace {

// The shade step of Szene::BaueNetz.
constexpr float kSchattierung = 4.069135e-6f;

BenchVertex Kopie(const Spiel::SzenenVertex& v) {
  BenchVertex b;
  std::memcpy(&b, &v, sizeof b);
  return b;
}

std::array<float, 16> Feld(const Spiel::Matrix& m) {
  std::array<float, 16> a;
  std::memcpy(a.data(), m.m, sizeof m.m);
  return a;
}

}  // namespace

BenchSzene BaueBenchSzene(int dreiecke, float breite, float hoehe) {
  using namespace Spiel;
  std::vector<Dreieck> liste;
  if (dreiecke > 0) {
    for (const auto& d : BenchNetz(dreiecke)) liste.push_back({{{d[0], d[1], d[2]}, {d[3], d[4], d[5]}, {d[6], d[7], d[8]}}});
  } else {
    liste.push_back({{{-10, 0, 10}, {0, 0, -10}, {10, 0, 10}}});
  }
  BenchSzene s;
  // The mesh's shades and the landscape's seed drawn as Szene::BaueNetz and
  // Szene::StarteGenerierung draw them.
  Zufall farben(kBenchSaat);
  std::vector<SzenenVertex> vertexe;
  for (const Dreieck& d : liste) {
    const float g = static_cast<float>(farben()) * kSchattierung;
    FuegeDreieckHinzu(d.ecke[0], d.ecke[1], d.ecke[2], {0.26666668f + g, 0.86666673f + g, 0.26666668f + g, 1.0f},
                      s.netz.indizes, vertexe);
  }
  for (const SzenenVertex& v : vertexe) s.netz.vertexe.push_back(Kopie(v));
  const auto saat = static_cast<std::uint32_t>(farben()) << 15 | static_cast<std::uint32_t>(farben());
  Zufall zufall(saat);
  for (const auto& teil : ErzeugeLandschaftsTeile(liste, zufall)) {
    BenchTeil t;
    for (const SzenenVertex& v : teil->vertexe) t.vertexe.push_back(Kopie(v));
    t.indizes = teil->indizes;
    t.kante = static_cast<int>(teil->bild.breite);
    t.pixel.resize(static_cast<std::size_t>(t.kante) * static_cast<std::size_t>(t.kante));
    for (int y = 0; y < t.kante; ++y)
      std::memcpy(&t.pixel[static_cast<std::size_t>(y * t.kante)], teil->bild.daten + teil->bild.pitch * static_cast<std::size_t>(y),
                  static_cast<std::size_t>(t.kante) * 4);
    s.landschaft.push_back(std::move(t));
  }

  // The tilt the main loop draws with: eased to the start distance.
  Kamera kamera;
  kamera.Glaette(0);
  Vektor3 richtung;
  s.licht = Feld(SzenenRenderer::LichtMatrix(kamera.ziel, kamera.distanz, richtung));
  s.lichtRichtung = {richtung.x, richtung.y, richtung.z};
  s.sicht = Feld(SzenenRenderer::KameraSicht(kamera.ziel, kamera.distanz, kamera.neigung));
  s.projektion = Feld(SzenenRenderer::KameraProjektion(breite, hoehe));
  Matrix linien = kamera.Sicht();
  linien.MultipliziereMatrixLinks(Kamera::Projektion(breite, hoehe));
  s.linien = Feld(linien);
  for (int i = 0; i <= 20; ++i) {
    const float a = -100.0f + 10.0f * static_cast<float>(i);
    s.gitter.push_back({a, 0, -100});
    s.gitter.push_back({a, 0, 100});
    s.gitter.push_back({-100, 0, a});
    s.gitter.push_back({100, 0, a});
  }
  return s;
}
