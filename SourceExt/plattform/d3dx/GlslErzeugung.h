#pragma once
// SPIR-V to GLSL 4.50 core with SPIRV-Cross (C API), and the reflection of the
// shader's constants that the register allocation works from.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "HlslUebersetzung.h"
#include "RegisterBelegung.h"

struct spvc_context_s;
struct spvc_compiler_s;

namespace Plattform::D3dx {

class GlslErzeugung {
 public:
  GlslErzeugung();
  ~GlslErzeugung();
  GlslErzeugung(const GlslErzeugung&) = delete;
  GlslErzeugung& operator=(const GlslErzeugung&) = delete;

  bool Lade(const std::vector<std::uint32_t>& spirv);
  // Constants of the global block and the samplers, with what the syntax tree told
  // (base types, explicit registers). False for resources Direct3D 9 has no place for.
  bool Reflektiere(const HlslErgebnis& hlsl);

  const std::vector<BlockKonstante>& Block() const { return block_; }
  const std::vector<SamplerKonstante>& Sampler() const { return sampler_; }
  std::uint32_t BlockBytes() const { return blockBytes_; }

  // Binding points: the uniform block's, and the unit of each sampler (parallel to
  // Sampler(); 0xFFFFFFFF leaves a sampler the shader does not use as it is). Also
  // gives the block and the samplers names of the stage: GL links the two stages into
  // one program, where uniforms of the same name must be the same uniform.
  void SetzeBindungen(ShaderStufe stufe, std::uint32_t blockBindung,
                      const std::vector<std::uint32_t>& einheiten);
  std::optional<std::string> Erzeuge();

  const std::string& Fehler() const { return fehler_; }

 private:
  bool Scheitere(std::string text);
  LayoutTyp Typ(std::uint32_t typId, std::uint32_t strukturId, unsigned glied,
                const HlslKonstante* hlsl);

  spvc_context_s* kontext_ = nullptr;
  spvc_compiler_s* compiler_ = nullptr;
  std::string fehler_;
  std::uint32_t blockVariable_ = 0;
  std::uint32_t blockTyp_ = 0;
  std::uint32_t blockBytes_ = 0;
  std::vector<BlockKonstante> block_;
  std::vector<SamplerKonstante> sampler_;
  std::vector<std::uint32_t> samplerVariablen_;
};

}  // namespace Plattform::D3dx
