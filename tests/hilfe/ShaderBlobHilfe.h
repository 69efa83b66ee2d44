#pragma once
// Shader code as the shader compiler hands it to the device: a blob of hand-written GLSL
// with its uniform block (binding 0 for vertex, 1 for pixel shaders) and register spans.
#include <cstdint>
#include <utility>
#include <vector>

#include "d3dx/ShaderBlob.h"

inline Plattform::ShaderBlob TestBlob(Plattform::ShaderStufe stufe, const char* glsl = "#version 450\nvoid main() {}\n",
                                      std::vector<Plattform::RegisterSpanne> spannen = {},
                                      std::uint32_t blockBytes = 0) {
  Plattform::ShaderBlob b;
  b.stufe = stufe;
  b.glsl = glsl;
  b.uniformBlockBindung = stufe == Plattform::ShaderStufe::Vertex ? 0 : 1;
  b.uniformBlockBytes = blockBytes;
  b.spannen = std::move(spannen);
  return b;
}
