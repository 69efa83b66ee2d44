#include "Quelm_Shader.h"

#include "Quelm_Ausnahme.h"
#include "Quelm_InitReihenfolge.h"
#include "Quelm_Konsole.h"
#include "Quelm_Protokoll.h"
#include "Quelm_VertexEingabe.h"

#include <cstdio>

namespace {

// While set, every translated shader is also written to a dump file and compiled from it.
QUELM_INIT(QUELM_SLOT_DEBUGSHADER)
Quelm_KonsolenVariable debugShader("debugShader", Quelm_KonsolenVariable::Bool, Quelm_KonsolenVariable::Dauerhaft, true);

template <class T>
void GibFrei(T*& objekt) {
  if (objekt) objekt->Release();
  objekt = nullptr;
}

std::uint8_t Art(D3DXPARAMETER_CLASS klasse) {
  switch (klasse) {
    case D3DXPC_SCALAR: return 0;
    case D3DXPC_VECTOR: return 1;
    case D3DXPC_MATRIX_ROWS: return 2;
    case D3DXPC_MATRIX_COLUMNS: return 3;
    case D3DXPC_STRUCT: return 4;
    default: return 5;
  }
}

const char* Text(ID3DXBuffer* puffer) {
  return puffer ? static_cast<const char*>(puffer->GetBufferPointer()) : nullptr;
}

}  // namespace

Quelm_HighLevelShaderBasis::~Quelm_HighLevelShaderBasis() { GibFrei(konstantenTabelle); }

void Quelm_HighLevelShaderBasis::LeseKonstantenTabelle() {
  if (!konstantenTabelle) return;
  D3DXCONSTANTTABLE_DESC beschr{};
  if (FAILED(konstantenTabelle->GetDesc(&beschr))) return;
  for (UINT i = 0; i < beschr.Constants; ++i) {
    if (D3DXHANDLE h = konstantenTabelle->GetConstant(nullptr, i)) TrageKonstanteEin(h, std::string(), 0);
  }
}

void Quelm_HighLevelShaderBasis::TrageKonstanteEin(D3DXHANDLE konstante, const std::string& praefix,
                                                   std::uint32_t basis) {
  D3DXCONSTANT_DESC beschr[10];
  UINT anzahl = 10;
  if (!konstantenTabelle || FAILED(konstantenTabelle->GetConstantDesc(konstante, beschr, &anzahl))) return;
  for (UINT d = 0; d < anzahl && d < 10; ++d) {
    const D3DXCONSTANT_DESC& b = beschr[d];
    const std::string name = praefix + (b.Name ? b.Name : "");
    const std::uint8_t art = Art(b.Class);
    // The first entry for a name wins.
    konstanten.emplace(name, KonstantenInfo{b.RegisterIndex + basis, static_cast<std::uint8_t>(b.RegisterCount),
                                            static_cast<std::uint8_t>(b.Columns), static_cast<std::uint8_t>(b.Rows),
                                            b.Elements == 1 ? art : std::uint8_t{4}});
    if (b.Elements > 1) {
      const std::uint32_t je = b.RegisterCount / b.Elements;
      for (UINT e = 0; e < b.Elements; ++e) {
        char element[512];
        std::snprintf(element, sizeof element, "%s[%d]", name.c_str(), static_cast<int>(e));
        konstanten.emplace(element, KonstantenInfo{b.RegisterIndex + basis + je * e, static_cast<std::uint8_t>(je),
                                                   static_cast<std::uint8_t>(b.Columns),
                                                   static_cast<std::uint8_t>(b.Rows), art});
        // Members follow the element name directly, without a '.'.
        if (b.Class == D3DXPC_STRUCT)
          for (UINT m = 0; m < b.StructMembers; ++m)
            if (D3DXHANDLE h = konstantenTabelle->GetConstant(konstante, m))
              TrageKonstanteEin(h, element, basis + je * e);
      }
    } else if (b.Class == D3DXPC_STRUCT) {
      for (UINT m = 0; m < b.StructMembers; ++m)
        if (D3DXHANDLE h = konstantenTabelle->GetConstant(konstante, m)) TrageKonstanteEin(h, name + ".", basis);
    }
  }
}

std::int64_t Quelm_HighLevelShaderBasis::FindeRegister(const char* name) const {
  auto it = name ? konstanten.find(name) : konstanten.end();
  return it == konstanten.end() ? -1 : static_cast<std::int64_t>(it->second.register_);
}

// ---------------------------------------------------------------------------------------------

Quelm_VertexShader::~Quelm_VertexShader() {
  GibGeraeteObjektFrei(geraeteShader);
  GibFrei(code);
  GibFrei(meldungen);
}

bool Quelm_VertexShader::InternErzeugeShader(bool still) {
  IDirect3DDevice9* geraet = Geraet();
  if (geraeteShader) GibGeraeteObjektFrei(geraeteShader);
  if (!geraet || !code ||
      FAILED(geraet->CreateVertexShader(static_cast<const DWORD*>(code->GetBufferPointer()), &geraeteShader))) {
    geraeteShader = nullptr;
    if (!still) {
      Protokolliere("!Quelm_VertexShader::ErzeugeShader(...): Shader-Erzeugung gescheitert.");
      MeldeAusnahme("VertexShader-Erzeugung gescheitert.", "Quelm_VertexShader::InternErzeugeShader", __FILE__,
                    __LINE__);
    }
    return false;
  }
  LeseKonstantenTabelle();
  zustand = ZUSTAND_RESIDENT;
  return true;
}

const char* Quelm_VertexShader::GibUebersetzungsMeldungen() const { return Text(meldungen); }

Quelm_PixelShader::~Quelm_PixelShader() {
  GibGeraeteObjektFrei(geraeteShader);
  GibFrei(code);
  GibFrei(meldungen);
}

bool Quelm_PixelShader::InternErzeugeShader(bool still) {
  IDirect3DDevice9* geraet = Geraet();
  if (geraeteShader) GibGeraeteObjektFrei(geraeteShader);
  if (!geraet || !code ||
      FAILED(geraet->CreatePixelShader(static_cast<const DWORD*>(code->GetBufferPointer()), &geraeteShader))) {
    geraeteShader = nullptr;
    if (!still) {
      Protokolliere("!Quelm_PixelShader::ErzeugeShader(...): Shader-Erzeugung gescheitert.");
      MeldeAusnahme("PixelShader-Erzeugung gescheitert.", "Quelm_PixelShader::InternErzeugeShader", __FILE__,
                    __LINE__);
    }
    return false;
  }
  LeseKonstantenTabelle();
  zustand = ZUSTAND_RESIDENT;
  return true;
}

const char* Quelm_PixelShader::GibUebersetzungsMeldungen() const { return Text(meldungen); }

// ---------------------------------------------------------------------------------------------

Quelm_Programm::Quelm_Programm(Quelm_VertexEingabe* eingabe, Quelm_VertexShader* vertexShader,
                               Quelm_PixelShader* pixelShader)
    : eingabe(eingabe), vertexShader(vertexShader), pixelShader(pixelShader) {
  if (eingabe) {
    stromAnzahl = eingabe->stromAnzahl;
    instanzStroeme = eingabe->instanzStroeme;
    for (int s = 0; s < 4; ++s) strides[s] = eingabe->strides[s];
    deklaration = eingabe->deklaration;
  }
  if (vertexShader) geraeteVertexShader = vertexShader->geraeteShader;
  if (pixelShader) geraetePixelShader = pixelShader->geraeteShader;
  zustand = ZUSTAND_RESIDENT;
}

std::int32_t Quelm_Programm::FindeKonstante(const char* name) const {
  const std::int64_t vs = vertexShader ? vertexShader->FindeRegister(name) : -1;
  const std::int64_t ps = pixelShader ? pixelShader->FindeRegister(name) : -1;
  return static_cast<std::int32_t>(((ps < 0 ? 0xFFF : ps & 0xFFF) << 12) | (vs < 0 ? 0xFFF : vs & 0xFFF));
}

std::int32_t Quelm_Programm::FindeSampler(const char* name) const {
  const std::int64_t vs = vertexShader ? vertexShader->FindeRegister(name) : -1;
  const std::int64_t ps = pixelShader ? pixelShader->FindeRegister(name) : -1;
  return static_cast<std::int32_t>(((vs < 0 ? 0xFF : vs & 0xFF) << 8) | (ps < 0 ? 0xFF : ps & 0xFF));
}
