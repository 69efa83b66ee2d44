#pragma once
// Shader objects and programs. A shader is written in the engine's macro language,
// translated to HLSL, compiled and created on the device; it keeps the map from constant
// name to register read from its compiler's constant table. A program binds one vertex
// layout, one vertex shader and one pixel shader and turns constant and sampler names into
// handles for the render context.
#include "Quelm_BasisObjekt.h"
#include "Quelm_ComZeiger.h"
#include "Quelm_ShaderTools.h"
#include "d3dx/d3dx9.h"

#include <atomic>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>

class Quelm_VertexEingabe;
class TSpeicher;

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

    bool operator==(const KonstantenInfo&) const = default;
  };

  Quelm_ComZeiger<ID3DXConstantTable> konstantenTabelle;
  std::map<std::string, KonstantenInfo> konstanten;

  virtual ~Quelm_HighLevelShaderBasis() = default;

  // The macro-language translator of Quelm_ShaderTools.h.
  static TSpeicher UebersetzeMakroSprache(const char* quelle, const Quelm_ShaderDefines& defines, bool pixel);
  static std::uint32_t ZaehleRegister(std::string_view deklaration, bool ausgabe) {
    return Quelm_ZaehleShaderRegister(deklaration, ausgabe);
  }

  // Fills the map from the constant table (top-level constants, recursively).
  void LeseKonstantenTabelle();
  void TrageKonstanteEin(D3DXHANDLE konstante, const std::string& praefix, std::uint32_t basis);

  // The register of a name, or -1 when the shader has no constant of that name.
  std::int64_t FindeRegister(const char* name) const;
};

// What tells the two shader kinds apart.
struct Quelm_VertexShaderArt {
  using GeraeteShader = IDirect3DVertexShader9;
  static constexpr bool kPixel = false;
  static constexpr const char* kKlasse = "Quelm_VertexShader";
  static constexpr const char* kArt = "VertexShader";
  static constexpr const char* kDumpMuster = "vs%03d.txt";
  static inline std::atomic<std::int32_t> dumpZaehler{0};
};

struct Quelm_PixelShaderArt {
  using GeraeteShader = IDirect3DPixelShader9;
  static constexpr bool kPixel = true;
  static constexpr const char* kKlasse = "Quelm_PixelShader";
  static constexpr const char* kArt = "PixelShader";
  static constexpr const char* kDumpMuster = "ps%03d.txt";
  static inline std::atomic<std::int32_t> dumpZaehler{0};
};

// The shared work of Quelm_VertexShader and Quelm_PixelShader.
template <class Art>
class Quelm_ShaderZwilling : public Quelm_BasisObjekt, public Quelm_HighLevelShaderBasis {
 public:
  using GeraeteShader = typename Art::GeraeteShader;

  Quelm_GeraeteZeiger<GeraeteShader> geraeteShader;
  Quelm_ComZeiger<ID3DXBuffer> code;       // the compiler's byte code
  Quelm_ComZeiger<ID3DXBuffer> meldungen;  // the compiler's text of the last compilation, if any

  ~Quelm_ShaderZwilling() override;

  // Translates the macro-language source, compiles it and creates the device shader.
  // `still`: no failure lines in the log, and a refused source gives false instead of the
  // exception (its text then stands in the messages).
  bool UebersetzeAusString(const char* quelle, const Quelm_ShaderDefines& defines = {}, bool still = false);
  // Creates the device shader from `code` and reads the constant table.
  bool InternErzeugeShader(bool still);
  const char* GibUebersetzungsMeldungen() const;

  bool BelegtVideoRAM() override { return false; }
  void Freigeben() override {}
  void Wiederherstellen() override {}
  void Auslagern() override {}

 protected:
  Quelm_ShaderZwilling() = default;

 private:
  HRESULT Kompiliere(const TSpeicher& hlsl, bool still);
};

extern template class Quelm_ShaderZwilling<Quelm_VertexShaderArt>;
extern template class Quelm_ShaderZwilling<Quelm_PixelShaderArt>;

class Quelm_VertexShader : public Quelm_ShaderZwilling<Quelm_VertexShaderArt> {};
class Quelm_PixelShader : public Quelm_ShaderZwilling<Quelm_PixelShaderArt> {};

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
