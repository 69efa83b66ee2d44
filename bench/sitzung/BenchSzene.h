#pragma once
// What the tool draws for a benchmark mesh, as plain lists: the edited mesh and the
// landscape built from it, the textures' pixels and the frame's matrices. The peer draws
// exactly this, so tool and peer do the same work on the same geometry.
#include <array>
#include <cstdint>
#include <vector>

struct BenchVertex {
  float position[3], normale[3], farbe[4], uv[2];
};
static_assert(sizeof(BenchVertex) == 48);

struct BenchTeil {
  std::vector<BenchVertex> vertexe;
  std::vector<std::uint32_t> indizes;
  int kante = 0;                      // the noise texture is kante x kante
  std::vector<std::uint32_t> pixel;   // A8R8G8B8 as the tool uploads it
};

struct BenchSzene {
  BenchTeil netz;                  // the edited mesh (pixels unused: the white texture)
  std::vector<BenchTeil> landschaft;
  // Row-major matrices, used with column vectors, as the tool hands them over.
  std::array<float, 16> licht{}, sicht{}, projektion{}, linien{};
  std::array<float, 3> lichtRichtung{};
  std::vector<std::array<float, 3>> gitter;  // the two ground grids, two corners a line
};

// The scene of `dreiecke` bench triangles (0: the tool's initial triangle) for a
// breite x hoehe screen, with the colours and landscape seed the tool's harness uses.
BenchSzene BaueBenchSzene(int dreiecke, float breite, float hoehe);

// The seed the harness gives the tool's mesh colours, so both draw the same landscape.
inline constexpr std::uint32_t kBenchSaat = 1;
