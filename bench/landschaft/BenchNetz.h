#pragma once
// The mesh every landscape and frame benchmark uses: a jittered grid of steep and flat
// cells over the 200 by 200 ground grid around the origin, two triangles per cell, as nine
// floats per triangle (three corners x, y, z, clockwise seen from above).
#include <algorithm>
#include <array>
#include <cmath>
#include <random>
#include <vector>

inline std::vector<std::array<float, 9>> BenchNetz(int dreiecke) {
  const int spalten = std::max(1, static_cast<int>(std::ceil(std::sqrt((dreiecke + 1) / 2.0))));
  const float zelle = 200.0f / static_cast<float>(spalten);
  std::mt19937 rng(1);
  std::uniform_real_distribution<float> h(-zelle, zelle);
  std::vector<std::array<float, 9>> netz;
  for (int i = 0; static_cast<int>(netz.size()) < dreiecke; ++i) {
    const float x = zelle * static_cast<float>(i % spalten) - 100, z = zelle * static_cast<float>(i / spalten) - 100;
    const float ha = h(rng), hb = h(rng), hc = h(rng), hd = h(rng);
    netz.push_back({x, ha, z, x + zelle, hd, z + zelle, x + zelle, hb, z});
    if (static_cast<int>(netz.size()) < dreiecke) netz.push_back({x, ha, z, x, hc, z + zelle, x + zelle, hd, z + zelle});
  }
  return netz;
}
