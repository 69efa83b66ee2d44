#include "Quelm_Shader.h"

#include "Quelm_Ausnahme.h"
#include "Quelm_InitReihenfolge.h"
#include "Quelm_Konsole.h"
#include "Quelm_Protokolliere.h"
#include "Quelm_VertexEingabe.h"
#include "TSpeicher.h"

#include <cstdio>
#include <cstring>

namespace {

// While set, every translated shader is written to a numbered dump file, and messages name it.
QUELM_INIT(QUELM_SLOT_DEBUGSHADER)
Quelm_KonsolenVariable debugShader("debugShader", Quelm_KonsolenVariable::Bool, Quelm_KonsolenVariable::Dauerhaft, true);

// A message buffer holding the text, as the compiler hands its own over.
ID3DXBuffer* TextPuffer(const std::string& text) {
  ID3DXBuffer* puffer = nullptr;
  if (FAILED(D3DXCreateBuffer(static_cast<DWORD>(text.size() + 1), &puffer))) return nullptr;
  std::memcpy(puffer->GetBufferPointer(), text.c_str(), text.size() + 1);
  return puffer;
}

// The whole text, its zero byte included, in the current working folder.
bool SchreibeDump(const char* name, const char* text, std::size_t laenge) {
  std::FILE* datei = std::fopen(name, "w");
  if (!datei) return false;
  const bool geschrieben = std::fwrite(text, 1, laenge, datei) == laenge;
  return std::fclose(datei) == 0 && geschrieben;
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

TSpeicher Quelm_HighLevelShaderBasis::UebersetzeMakroSprache(const char* quelle, const Quelm_ShaderDefines& defines,
                                                             bool pixel) {
  return Quelm_UebersetzeShaderMakros(quelle, defines, pixel);
}

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

template <class Art>
Quelm_ShaderZwilling<Art>::~Quelm_ShaderZwilling() {
  geraeteShader.reset();
  code.reset();
  meldungen.reset();
}

template <class Art>
bool Quelm_ShaderZwilling<Art>::UebersetzeAusString(const char* quelle, const Quelm_ShaderDefines& defines,
                                                   bool still) {
  code.reset();
  meldungen.reset();
  konstantenTabelle.reset();
  konstanten.clear();
  TSpeicher hlsl;
  try {
    hlsl = UebersetzeMakroSprache(quelle, defines, Art::kPixel);
  } catch (const Quelm_Ausnahme& ausnahme) {
    if (!still) throw;
    meldungen.reset(TextPuffer(ausnahme.text));
    return false;
  }

  if (FAILED(Kompiliere(hlsl, still))) {
    if (!still) {
      Protokolliere("!%s::UebersetzeQuelltext(...): Übersetzung gescheitert. DirectX meinte:", Art::kKlasse);
      Protokolliere("?%s", Text(meldungen.get()) ? Text(meldungen.get()) : "");
      MeldeAusnahme(std::string(Art::kArt) + "-Übersetzung gescheitert.",
                    std::string(Art::kKlasse) + "::UebersetzeAusString", __FILE__, __LINE__);
    }
    return false;
  }
  if (const char* text = Text(meldungen.get())) {
    ProtokolliereAusfuehrlich("?%s::UebersetzeQuelltext(...): Bemerkungen von DirectX zum Shader:", Art::kKlasse);
    ProtokolliereAusfuehrlich("?%s", text);
  }
  return InternErzeugeShader(still);
}

// While "debugShader" is on the text is written to a numbered dump file and compiled with debug
// information under that file's name, so that messages name the dump. The text compiled is the
// one in memory, never the file read back: another process working in the same folder writes
// dumps of the same names. A dump that cannot be written is compiled as without "debugShader".
template <class Art>
HRESULT Quelm_ShaderZwilling<Art>::Kompiliere(const TSpeicher& hlsl, bool still) {
  const char* text = reinterpret_cast<const char*>(hlsl.daten);
  const auto laenge = static_cast<UINT>(hlsl.groesse);
  const std::string profil = ShaderProfil(Art::kPixel);
  char datei[32];
  const char* name = nullptr;  // the compiler's "memory"
  DWORD flags = 0;
  if (debugShader.wertBool) {
    std::snprintf(datei, sizeof datei, Art::kDumpMuster, static_cast<int>(Art::dumpZaehler.fetch_add(1)));
    if (SchreibeDump(datei, text, laenge)) {
      name = datei;
      flags = D3DXSHADER_DEBUG | D3DXSHADER_SKIPOPTIMIZATION;
    } else if (!still) {
      Protokolliere("?%s::UebersetzeQuelltext(...): \"%s\" nicht schreibbar, übersetze aus dem Speicher.",
                    Art::kKlasse, datei);
    }
  }
  ID3DXBuffer* c = nullptr;
  ID3DXBuffer* m = nullptr;
  ID3DXConstantTable* t = nullptr;
  const HRESULT hr =
      D3DXCompileShaderNamed(text, laenge, name, nullptr, nullptr, "main", profil.c_str(), flags, &c, &m, &t);
  code.reset(c);
  meldungen.reset(m);
  konstantenTabelle.reset(t);
  return hr;
}

template <class Art>
bool Quelm_ShaderZwilling<Art>::InternErzeugeShader(bool still) {
  IDirect3DDevice9* geraet = Geraet();
  geraeteShader.reset();
  GeraeteShader* neu = nullptr;
  const auto* bytes = code ? static_cast<const DWORD*>(code->GetBufferPointer()) : nullptr;
  HRESULT hr = D3DERR_INVALIDCALL;
  if (geraet && bytes) {
    if constexpr (Art::kPixel)
      hr = geraet->CreatePixelShader(bytes, &neu);
    else
      hr = geraet->CreateVertexShader(bytes, &neu);
  }
  if (FAILED(hr) || !neu) {
    if (!still) {
      Protokolliere("!%s::ErzeugeShader(...): Shader-Erzeugung gescheitert.", Art::kKlasse);
      MeldeAusnahme(std::string(Art::kArt) + "-Erzeugung gescheitert.",
                    std::string(Art::kKlasse) + "::InternErzeugeShader", __FILE__, __LINE__);
    }
    return false;
  }
  geraeteShader.reset(neu);
  konstanten.clear();
  LeseKonstantenTabelle();
  zustand = ZUSTAND_RESIDENT;
  return true;
}

template <class Art>
const char* Quelm_ShaderZwilling<Art>::GibUebersetzungsMeldungen() const {
  return Text(meldungen.get());
}

template class Quelm_ShaderZwilling<Quelm_VertexShaderArt>;
template class Quelm_ShaderZwilling<Quelm_PixelShaderArt>;

// ---------------------------------------------------------------------------------------------

Quelm_Programm::Quelm_Programm(Quelm_VertexEingabe* eingabe, Quelm_VertexShader* vertexShader,
                               Quelm_PixelShader* pixelShader)
    : eingabe(eingabe), vertexShader(vertexShader), pixelShader(pixelShader) {
  if (eingabe) {
    stromAnzahl = eingabe->stromAnzahl;
    instanzStroeme = eingabe->instanzStroeme;
    for (int s = 0; s < 4; ++s) strides[s] = eingabe->strides[s];
    deklaration = eingabe->deklaration.get();
  }
  if (vertexShader) geraeteVertexShader = vertexShader->geraeteShader.get();
  if (pixelShader) geraetePixelShader = pixelShader->geraeteShader.get();
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
