#pragma once
// Landscape generation: steep edges get a narrow cliff band in their middle, the triangles
// are re-cut around the bands, faces are coloured by slope and a grey noise texture is laid
// over them. Built on a worker; uploaded and swapped in on the main thread.
#include "Quelm_Bild.h"
#include "Szene.h"

#include <memory>
#include <span>
#include <vector>

namespace Spiel {

// One chunk: built on a worker, consumed on the main thread.
struct LandschaftsTeil {
  std::vector<SzenenVertex> vertexe;
  std::vector<std::uint32_t> indizes;
  Quelm_Bild bild;  // 256 x 256 A8R8G8B8 noise
};

inline constexpr int kRauschenKante = 256;

// One refinement pass: cliff bands on steep edges, degenerate triangles dropped.
std::vector<Dreieck> VerfeinereDreiecke(std::span<const Dreieck> dreiecke);
// The whole landscape as one chunk; `zufall` draws the noise.
std::vector<std::unique_ptr<LandschaftsTeil>> ErzeugeLandschaftsTeile(std::span<const Dreieck> dreiecke,
                                                                       Zufall& zufall);
// Main thread: the GPU resources of the chunks.
std::vector<LandschaftsPuffer> LadeLandschaftsPuffer(std::vector<std::unique_ptr<LandschaftsTeil>>& teile);

// The hand-back job on the main thread: uploads the chunks, swaps them into the scene,
// releases the old ones and marks the scene idle. Shared so that the job stays copyable.
struct Helfer {
  std::shared_ptr<std::vector<std::unique_ptr<LandschaftsTeil>>> teile;
  Szene* szene = nullptr;

  void operator()() const;
};

}  // namespace Spiel
