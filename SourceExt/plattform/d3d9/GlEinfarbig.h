#pragma once
// Whether every texel of a texture's only level holds the same value. Such a texture
// reads as that value under every filter, so the OpenGL backend samples it with the
// cheapest one (see GlSampler.h). Only textures of one level that nothing renders into
// qualify: their contents change through writes alone.
#include <array>
#include <cstddef>
#include <cstdint>

#include "Ressourcen.h"

namespace Plattform::D3D9 {

struct Einfarbigkeit {
  bool einfarbig = false;
  std::array<std::uint8_t, 16> texel{};  // the value, while einfarbig

  // After `bytes` dense bytes were written to rectangle `r` of texture level `o`.
  void Merke(const Oberflaeche& o, const RECT& r, const std::uint8_t* daten, std::size_t bytes);
  // The same for a level that qualifies, with texels of `texelBytes` (1 to 16 bytes);
  // `ganz` when the rectangle is the whole level.
  void Merke(std::size_t texelBytes, bool ganz, const std::uint8_t* daten, std::size_t bytes);
};

}  // namespace Plattform::D3D9
