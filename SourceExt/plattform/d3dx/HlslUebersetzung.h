#pragma once
// HLSL (Direct3D 9 style) to SPIR-V with glslang's HLSL front end: Vulkan rules,
// DX9-compatible samplers and semantics, semantic names kept in the module. Also
// reads from glslang's syntax tree what the module does not carry: the HLSL base
// types of the constants (bool and int are stored as integers) and registers given
// with register(cN) / register(sN).
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "ShaderBlob.h"
#include "d3dx9.h"

namespace Plattform::D3dx {

struct HlslAuftrag {
  std::string_view quelle;
  std::string quellName = "memory";  // used in messages and for local includes
  std::vector<std::pair<std::string, std::string>> makros;
  std::string einstieg = "main";
  ShaderStufe stufe = ShaderStufe::Vertex;
  bool zeilenMatrizen = false;  // matrices row_major unless declared otherwise
  // Content of an included file (name as written, true for "name", the including
  // file's name), or nothing when it cannot be read.
  std::function<std::optional<std::string>(const std::string& name, bool lokal,
                                           const std::string& einbindend)>
      einbinden;
};

struct HlslKonstante {
  std::string name;
  D3DXPARAMETER_TYPE grundtyp = D3DXPT_FLOAT;  // VOID for structures
  int explizitesRegister = -1;
  std::vector<HlslKonstante> glieder;
};

struct HlslErgebnis {
  bool ok = false;
  std::string meldungen;  // errors and warnings, one per line, D3DX style
  std::vector<std::uint32_t> spirv;
  std::vector<HlslKonstante> konstanten;  // members of the global constant block
  std::vector<std::string> samplerReihenfolge;  // samplers in declaration order
  std::map<std::string, int> samplerRegister;   // those placed with register(sN)
};

HlslErgebnis UebersetzeHlsl(const HlslAuftrag& auftrag);

// A whole file as bytes, or nothing when it cannot be opened.
std::optional<std::string> LiesDatei(const std::filesystem::path& pfad);

// glslang's log lines ("ERROR: memory:4: 'x' : text") as D3DX writes them
// ("memory(4): error: 'x' : text"); the closing count line is dropped.
std::string FormatiereMeldungen(std::string_view log);

}  // namespace Plattform::D3dx
