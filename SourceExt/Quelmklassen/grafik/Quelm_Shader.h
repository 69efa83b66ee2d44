#pragma once
// Shader objects and programs. A shader keeps the map from constant name to register read
// from its compiler's constant table; a program binds one vertex layout, one vertex shader
// and one pixel shader and turns constant and sampler names into handles for the render
// context.
//
// The source path (translating the engine's macro language, compiling, the dump files of
// "debugShader") belongs to the shader toolchain and joins these classes as
// UebersetzeAusString; what is here is everything from compiled code onwards.
#include "Quelm_BasisObjekt.h"
#include "d3dx/d3dx9.h"

#include <cstdint>
#include <map>
#include <string>

class Quelm_VertexEingabe;

class Quelm_HighLevelShaderBasis {
 public:
  struct KonstantenInfo {
    std::uint32_t register_ = 0;  // first register; for a sampler its stage
    std::uint8_t anzahl = 0;      // registers
    std::uint8_t spalten = 0;
    std::uint8_t zeilen = 0;
    // 0 scalar, 1 vector, 2 matrix by rows, 3 matrix by columns, 4 structure or whole
    // array, 5 object (sampler, texture)
    std::uint8_t art = 0;
  };

  ID3DXConstantTable* konstantenTabelle = nullptr;
  std::map<std::string, KonstantenInfo> konstanten;

  virtual ~Quelm_HighLevelShaderBasis();

  // Fills the map from the constant table (top-level constants, recursively).
  void LeseKonstantenTabelle();
  void TrageKonstanteEin(D3DXHANDLE konstante, const std::string& praefix, std::uint32_t basis);

  // The register of a name, or -1 when the shader has no constant of that name.
  std::int64_t FindeRegister(const char* name) const;
};

class Quelm_VertexShader : public Quelm_BasisObjekt, public Quelm_HighLevelShaderBasis {
 public:
  IDirect3DVertexShader9* geraeteShader = nullptr;
  ID3DXBuffer* code = nullptr;       // the compiler's byte code
  ID3DXBuffer* meldungen = nullptr;  // the compiler's text of the last compilation, if any

  Quelm_VertexShader() = default;
  ~Quelm_VertexShader() override;

  // Creates the device shader from `code` and reads the constant table. `still`: no log lines.
  bool InternErzeugeShader(bool still);
  const char* GibUebersetzungsMeldungen() const;

  bool BelegtVideoRAM() override { return false; }
  void Freigeben() override {}
  void Wiederherstellen() override {}
  void Auslagern() override {}
};

class Quelm_PixelShader : public Quelm_BasisObjekt, public Quelm_HighLevelShaderBasis {
 public:
  IDirect3DPixelShader9* geraeteShader = nullptr;
  ID3DXBuffer* code = nullptr;
  ID3DXBuffer* meldungen = nullptr;

  Quelm_PixelShader() = default;
  ~Quelm_PixelShader() override;

  bool InternErzeugeShader(bool still);
  const char* GibUebersetzungsMeldungen() const;

  bool BelegtVideoRAM() override { return false; }
  void Freigeben() override {}
  void Wiederherstellen() override {}
  void Auslagern() override {}
};

class Quelm_Programm : public Quelm_BasisObjekt {
 public:
  // Not owned: the program is released before them.
  Quelm_VertexEingabe* eingabe;
  Quelm_VertexShader* vertexShader;
  Quelm_PixelShader* pixelShader;

  // Copies taken at creation: later changes of the layout or shaders do not reach the program.
  std::uint64_t stromAnzahl = 0;
  std::uint64_t instanzStroeme = 0;
  std::uint16_t strides[4] = {};
  IDirect3DVertexDeclaration9* deklaration = nullptr;
  IDirect3DVertexShader9* geraeteVertexShader = nullptr;
  IDirect3DPixelShader9* geraetePixelShader = nullptr;

  Quelm_Programm(Quelm_VertexEingabe* eingabe, Quelm_VertexShader* vertexShader, Quelm_PixelShader* pixelShader);

  // Constant handle: vertex register in bits 0-11, pixel register in bits 12-23, 0xFFF
  // where a shader lacks the name.
  std::int32_t FindeKonstante(const char* name) const;
  // Sampler handle: vertex stage in bits 8-15, pixel stage in bits 0-7, 0xFF where absent.
  std::int32_t FindeSampler(const char* name) const;

  bool BelegtVideoRAM() override { return false; }
  void Freigeben() override {}
  void Wiederherstellen() override {}
  void Auslagern() override {}
};
