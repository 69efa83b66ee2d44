#pragma once
// Shared support of the landscape and scene renderer tests: a jittered ground of triangles,
// and the data folder the scene renderer reads its shader and effect files from.
#include "Landschaft.h"
#include "Quelm_Konsole.h"
#include "Quelm_System.h"

#include <filesystem>
#include <random>
#include <utility>
#include <vector>

// A jittered grid of n x n cells of 10 from (ursprung, ursprung) with random heights, two
// upward triangles per cell, neighbours sharing their corner points exactly.
inline std::vector<Spiel::Dreieck> Gelaende(std::mt19937& rng, int n, float hoehe, float ursprung = 0) {
  using Spiel::Vektor3;
  std::uniform_real_distribution<float> h(-hoehe, hoehe), versatz(-2, 2);
  std::vector<Vektor3> p;
  for (int j = 0; j <= n; ++j)
    for (int i = 0; i <= n; ++i)
      p.push_back({10.0f * i + ursprung + versatz(rng), h(rng), 10.0f * j + ursprung + versatz(rng)});
  auto aufwaerts = [](Spiel::Dreieck d) {
    if (Spiel::Kreuz(d.ecke[2] - d.ecke[0], d.ecke[1] - d.ecke[0]).y < 0) std::swap(d.ecke[1], d.ecke[2]);
    return d;
  };
  std::vector<Spiel::Dreieck> d;
  for (int j = 0; j < n; ++j)
    for (int i = 0; i < n; ++i) {
      const Vektor3 &a = p[j * (n + 1) + i], &b = p[j * (n + 1) + i + 1], &c = p[(j + 1) * (n + 1) + i],
                    &e = p[(j + 1) * (n + 1) + i + 1];
      d.push_back(aufwaerts({{a, b, e}}));
      d.push_back(aufwaerts({{a, e, c}}));
    }
  return d;
}

// The program's shader and effect files from `quelle`/Daten in `ordner`/Daten, which
// becomes the program folder; shader dumps off, as parallel test programs would share them.
inline void BereiteDatenVor(const std::filesystem::path& ordner, const std::filesystem::path& quelle) {
  namespace fs = std::filesystem;
  Quelm_KonsolenVariable::Finde("debugShader")->SetzeBool(false);
  fs::create_directories(ordner / "Daten");
  for (const char* datei : {"start.vs", "start.ps", "schatten.vs", "schatten.ps", "filter.pause.xml"})
    fs::copy_file(quelle / "Daten" / datei, ordner / "Daten" / datei);
  gSystem.programmVerzeichnis = ordner;
}
