#pragma once
// The edited scene: the user's ground triangles, their GPU buffers as a coloured mesh, the
// bookkeeping of the background landscape generation, and the landscape's GPU resources.
#include "EigenschaftsBaum.h"
#include "Quelm_ParallelKern.h"
#include "Vektor.h"
#include "Zufall.h"

#include <cstdint>
#include <vector>

class Quelm_IndexBuffer;
class Quelm_Textur;
class Quelm_VertexBuffer;

namespace Spiel {

// The corner order is the winding: the face normal, normalise((c2 - c0) x (c1 - c0)),
// points up for corners running clockwise seen from above.
struct Dreieck {
  Vektor3 ecke[3];
  bool operator==(const Dreieck&) const = default;
};
static_assert(sizeof(Dreieck) == 36);

// Vertex format of the mesh and the landscape.
struct SzenenVertex {
  Vektor3 position;
  Vektor3 normale;
  TAlphaFarbe farbe;
  float u = 0, v = 0;
};
static_assert(sizeof(SzenenVertex) == 48);

// Both null while the mesh is empty.
struct NetzPuffer {
  Quelm_VertexBuffer* vertexe = nullptr;
  Quelm_IndexBuffer* indizes = nullptr;
};

struct LandschaftsPuffer {
  NetzPuffer netz;
  Quelm_Textur* textur = nullptr;
};

// Appends one flat-shaded triangle: three vertices of their own with the face normal.
void FuegeDreieckHinzu(const Vektor3& e0, const Vektor3& e1, const Vektor3& e2, const TAlphaFarbe& farbe,
                       std::vector<std::uint32_t>& indizes, std::vector<SzenenVertex>& vertexe);
// Releases the old pair, then uploads the lists (32-bit indices); empty lists leave it null.
void LadeNetzPuffer(NetzPuffer& puffer, const std::vector<SzenenVertex>& vertexe,
                    const std::vector<std::uint32_t>& indizes);
void GibNetzPufferFrei(NetzPuffer& puffer);
void GibLandschaftsPufferFrei(std::vector<LandschaftsPuffer>& liste);

// Lives on the main thread; the landscape job works on a copy of the triangle list.
class Szene {
 public:
  std::vector<Dreieck> dreiecke;
  NetzPuffer netz;
  Quelm_FaserHandle generierung;  // idle: no job
  std::uint8_t veraendert = 0;    // set by every rebuild, cleared when a generation starts
  std::vector<LandschaftsPuffer> landschaft;
  Zufall farbZufall;  // the mesh's green shades

  Szene() = default;
  // Releases the landscape and mesh resources. A generation still in flight is not
  // waited for: its hand-back must not run after this (the core drops it at shutdown).
  ~Szene();
  Szene(const Szene&) = delete;
  Szene& operator=(const Szene&) = delete;

  // Rebuilds the mesh buffers from the triangle list and sets the dirty flag.
  void BaueNetz();

  // When no generation is in flight and the mesh changed: clears the flag and sends a copy
  // of the triangle list to the workers. True when a job was started.
  bool StarteGenerierung();

  // Body of the landscape job on a worker: builds the landscape from `dreiecke` with a
  // generator of its own and hands it to the main thread, which swaps it into `szene`.
  static void GeneriereLandschaft(const std::vector<Dreieck>& dreiecke, Szene* szene, std::uint32_t saat);
};

}  // namespace Spiel
