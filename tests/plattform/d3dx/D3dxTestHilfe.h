#pragma once
// Compiles HLSL through the D3DX layer and unpacks what comes back.
#include <memory>
#include <string>
#include <vector>

#include "ShaderBlob.h"
#include "d3dx9.h"

namespace d3dxtest {

struct Freigabe {
  void operator()(IUnknown* o) const { o->Release(); }
};

struct Ergebnis {
  HRESULT hr = E_FAIL;
  std::string meldungen;  // empty when the compiler had nothing to say
  Plattform::ShaderBlob blob;
  std::vector<std::uint8_t> code;
  std::unique_ptr<ID3DXConstantTable, Freigabe> tabelle;

  // Description of a top-level constant by name (fails the test when it is absent).
  D3DXCONSTANT_DESC Konstante(const std::string& name) const;
  D3DXHANDLE Handle(const std::string& name) const;
  // The register span that copies register r, or null.
  const Plattform::RegisterSpanne* Spanne(std::uint32_t r) const;
};

Ergebnis Uebersetze(const std::string& hlsl, const char* profil, const D3DXMACRO* makros = nullptr,
                    DWORD flags = 0, ID3DXInclude* einbindung = nullptr);
Ergebnis UebersetzeDatei(const std::string& datei, const char* profil, DWORD flags = 0);

// GLSL 4.50 core through glslang's GLSL front end; with a pixel stage (not empty) linked across
// both stages. Empty text on success, else glslang's log.
std::string PruefeGlsl(const std::string& vertex, const std::string& pixel);

}  // namespace d3dxtest
