#pragma once
// Gives a SPIR-V module from glslang's HLSL front end the stage interface that a
// Direct3D 9 shader has, by its semantics:
// - vertex output POSITION[n] is the position, PSIZE the point size;
// - pixel output COLORn goes to target n, DEPTH is the depth;
// - vertex inputs get consecutive locations in declaration order and are reported by
//   usage and usage index;
// - interpolators (vertex outputs, pixel inputs) sit at fixed locations by semantic
//   (TEXCOORDn at n, COLORn at 16 + n, FOG at 20), one four-component variable per
//   register, so that the two stages meet whatever type each side declared, as
//   Direct3D 9's float4 registers do. The declared variables stay as private copies.
#include <cstdint>
#include <string>
#include <vector>

#include "ShaderBlob.h"

namespace Plattform::D3dx {

struct Schnittstelle {
  bool ok = true;
  std::string fehler;
  std::vector<VertexEingang> eingaenge;  // vertex shaders
};

// Rewrites the module in place.
Schnittstelle RichteSchnittstelleEin(std::vector<std::uint32_t>& spirv, ShaderStufe stufe);

// "TEXCOORD12" -> {"TEXCOORD", 12}; no digits give index 0. Name in capitals.
struct Semantik {
  std::string name;
  std::uint32_t index = 0;
};
Semantik ZerlegeSemantik(const std::string& text);

// D3DDECLUSAGE value of a semantic name, or -1.
int DeklarationsVerwendung(const std::string& name);

}  // namespace Plattform::D3dx
