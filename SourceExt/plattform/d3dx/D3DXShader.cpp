// D3DXCompileShader with its named and its file twin: HLSL -> SPIR-V (glslang) -> Direct3D 9
// stage interface -> GLSL and reflection (SPIRV-Cross) -> registers -> ShaderBlob.
#include <cstring>
#include <map>
#include <new>
#include <string>

#include "D3DXPuffer.h"
#include "GlslErzeugung.h"
#include "HlslUebersetzung.h"
#include "KonstantenTabelle.h"
#include "RegisterBelegung.h"
#include "ShaderBlob.h"
#include "SpirvSchnittstelle.h"
#include "Uebersetzungsspeicher.h"
#include "d3dx9.h"

namespace Plattform::D3dx {
namespace {

constexpr DWORD kVersionVs30 = 0xFFFE0300;
constexpr DWORD kVersionPs30 = 0xFFFF0300;

std::string Ordner(const std::string& pfad) {
  auto schnitt = pfad.find_last_of('/');
  return schnitt == std::string::npos ? std::string() : pfad.substr(0, schnitt + 1);
}

// Files opened through the caller's include handler stay open until the compilation
// ends, so that nested includes can be given their parent's data.
class HandlerEinbindung {
 public:
  explicit HandlerEinbindung(ID3DXInclude* handler) : handler_(handler) {}
  ~HandlerEinbindung() {
    for (auto& [name, daten] : offen_) handler_->Close(daten);
  }
  std::optional<std::string> Hole(const std::string& name, bool lokal,
                                  const std::string& einbindend) {
    LPCVOID eltern = nullptr;
    if (auto it = offen_.find(einbindend); it != offen_.end()) eltern = it->second;
    LPCVOID daten = nullptr;
    UINT bytes = 0;
    if (FAILED(handler_->Open(lokal ? D3DXINC_LOCAL : D3DXINC_SYSTEM, name.c_str(), eltern,
                              &daten, &bytes)) ||
        (!daten && bytes))
      return std::nullopt;
    // glslang names a nested file by the including file's folder and its own name.
    offen_.emplace(!name.empty() && name[0] == '/' ? name : Ordner(einbindend) + name, daten);
    return std::string(static_cast<const char*>(daten), bytes);
  }

 private:
  ID3DXInclude* handler_;
  std::multimap<std::string, LPCVOID> offen_;
};

struct Ausgabe {
  LPD3DXBUFFER* shader;
  LPD3DXBUFFER* meldungen;
  LPD3DXCONSTANTTABLE* tabelle;
};

HRESULT Scheitere(const Ausgabe& aus, const std::string& text) {
  if (aus.meldungen) *aus.meldungen = D3DXPuffer::AusText(text);
  return E_FAIL;
}

HRESULT Uebersetze(std::string_view quelle, const std::string& quellName, bool ausDatei,
                   const D3DXMACRO* makros, ID3DXInclude* einbindung, LPCSTR einstieg,
                   LPCSTR profil, DWORD flags, const Ausgabe& aus) {
  ShaderStufe stufe;
  if (std::strcmp(profil, "vs_3_0") == 0) {
    stufe = ShaderStufe::Vertex;
  } else if (std::strcmp(profil, "ps_3_0") == 0) {
    stufe = ShaderStufe::Pixel;
  } else {
    return Scheitere(aus, quellName + ": error: invalid profile '" + profil +
                              "' (this compiler takes vs_3_0 and ps_3_0)\n");
  }
  // D3DX reads SrcDataLen bytes; the engine hands the text with its closing zero.
  if (auto null = quelle.find('\0'); null != std::string_view::npos) quelle = quelle.substr(0, null);

  HlslAuftrag auftrag;
  auftrag.quelle = quelle;
  auftrag.quellName = quellName;
  auftrag.einstieg = einstieg;
  auftrag.stufe = stufe;
  auftrag.zeilenMatrizen = (flags & D3DXSHADER_PACKMATRIX_ROWMAJOR) != 0 &&
                           (flags & D3DXSHADER_PACKMATRIX_COLUMNMAJOR) == 0;
  for (const D3DXMACRO* m = makros; m && m->Name; ++m)
    auftrag.makros.emplace_back(m->Name, m->Definition ? m->Definition : "");
  std::optional<HandlerEinbindung> handler;
  if (einbindung) {
    handler.emplace(einbindung);
    auftrag.einbinden = [&handler](const std::string& name, bool lokal, const std::string& von) {
      return handler->Hole(name, lokal, von);
    };
  } else if (ausDatei) {
    auftrag.einbinden = [](const std::string& name, bool, const std::string& von) {
      return LiesDatei(!name.empty() && name[0] == '/' ? name : Ordner(von) + name);
    };
  }

  HlslErgebnis hlsl = UebersetzeHlslGemerkt(std::move(auftrag));
  if (!hlsl.ok) return Scheitere(aus, hlsl.meldungen);

  Schnittstelle schnittstelle = RichteSchnittstelleEin(hlsl.spirv, stufe);
  if (!schnittstelle.ok) return Scheitere(aus, hlsl.meldungen + quellName + ": " + schnittstelle.fehler + "\n");

  GlslErzeugung glsl;
  if (!glsl.Lade(hlsl.spirv) || !glsl.Reflektiere(hlsl))
    return Scheitere(aus, hlsl.meldungen + quellName + ": " + glsl.Fehler() + "\n");
  Registerbelegung belegung = BelegeRegister(stufe, glsl.Block(), glsl.Sampler());
  if (!belegung.ok) return Scheitere(aus, hlsl.meldungen + quellName + ": " + belegung.fehler + "\n");
  const std::uint32_t bindung = stufe == ShaderStufe::Vertex ? 0 : 1;
  glsl.SetzeBindungen(stufe, bindung, belegung.samplerEinheit);
  auto text = glsl.Erzeuge();
  if (!text) return Scheitere(aus, hlsl.meldungen + quellName + ": " + glsl.Fehler() + "\n");

  ShaderBlob blob;
  blob.stufe = stufe;
  blob.glsl = std::move(*text);
  blob.uniformBlockBindung = bindung;
  // std140 blocks end on a 16-byte boundary; GL checks the bound size against that.
  blob.uniformBlockBytes = (glsl.BlockBytes() + 15u) & ~15u;
  blob.spannen = std::move(belegung.spannen);
  blob.sampler = std::move(belegung.sampler);
  blob.eingaenge = std::move(schnittstelle.eingaenge);
  if (aus.shader) {
    auto bytes = SerialisiereShaderBlob(blob);
    *aus.shader = D3DXPuffer::AusBytes(bytes.data(), bytes.size());
  }
  if (aus.tabelle)
    *aus.tabelle = new KonstantenTabelle(std::move(belegung.konstanten),
                                         stufe == ShaderStufe::Vertex ? kVersionVs30 : kVersionPs30);
  if (aus.meldungen && !hlsl.meldungen.empty()) *aus.meldungen = D3DXPuffer::AusText(hlsl.meldungen);
  return S_OK;
}

HRESULT Sicher(const Ausgabe& aus, auto&& arbeit) {
  if (aus.shader) *aus.shader = nullptr;
  if (aus.meldungen) *aus.meldungen = nullptr;
  if (aus.tabelle) *aus.tabelle = nullptr;
  try {
    return arbeit();
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (const std::exception& e) {
    return Scheitere(aus, std::string("error: ") + e.what() + "\n");
  }
}

}  // namespace
}  // namespace Plattform::D3dx

using namespace Plattform::D3dx;

HRESULT D3DXCompileShader(LPCSTR pSrcData, UINT SrcDataLen, const D3DXMACRO* pDefines,
                          LPD3DXINCLUDE pInclude, LPCSTR pFunctionName, LPCSTR pProfile,
                          DWORD Flags, LPD3DXBUFFER* ppShader, LPD3DXBUFFER* ppErrorMsgs,
                          LPD3DXCONSTANTTABLE* ppConstantTable) {
  return D3DXCompileShaderNamed(pSrcData, SrcDataLen, nullptr, pDefines, pInclude, pFunctionName,
                                pProfile, Flags, ppShader, ppErrorMsgs, ppConstantTable);
}

HRESULT D3DXCompileShaderNamed(LPCSTR pSrcData, UINT SrcDataLen, LPCSTR pSourceName,
                               const D3DXMACRO* pDefines, LPD3DXINCLUDE pInclude,
                               LPCSTR pFunctionName, LPCSTR pProfile, DWORD Flags,
                               LPD3DXBUFFER* ppShader, LPD3DXBUFFER* ppErrorMsgs,
                               LPD3DXCONSTANTTABLE* ppConstantTable) {
  const Ausgabe aus{ppShader, ppErrorMsgs, ppConstantTable};
  return Sicher(aus, [&]() -> HRESULT {
    if (!pSrcData || !pFunctionName || !pProfile) return E_INVALIDARG;
    return Uebersetze(std::string_view(pSrcData, SrcDataLen), pSourceName ? pSourceName : "memory",
                      false, pDefines, pInclude, pFunctionName, pProfile, Flags, aus);
  });
}

HRESULT D3DXCompileShaderFromFileA(LPCSTR pSrcFile, const D3DXMACRO* pDefines,
                                   LPD3DXINCLUDE pInclude, LPCSTR pFunctionName,
                                   LPCSTR pProfile, DWORD Flags, LPD3DXBUFFER* ppShader,
                                   LPD3DXBUFFER* ppErrorMsgs,
                                   LPD3DXCONSTANTTABLE* ppConstantTable) {
  const Ausgabe aus{ppShader, ppErrorMsgs, ppConstantTable};
  return Sicher(aus, [&]() -> HRESULT {
    if (!pSrcFile || !pFunctionName || !pProfile) return E_INVALIDARG;
    auto inhalt = LiesDatei(pSrcFile);
    if (!inhalt) return Scheitere(aus, std::string(pSrcFile) + ": error: cannot open the file\n");
    return Uebersetze(*inhalt, pSrcFile, true, pDefines, pInclude, pFunctionName, pProfile,
                      Flags, aus);
  });
}

LPCSTR D3DXGetVertexShaderProfile(IDirect3DDevice9* pDevice) {
  return pDevice ? "vs_3_0" : nullptr;
}

LPCSTR D3DXGetPixelShaderProfile(IDirect3DDevice9* pDevice) {
  return pDevice ? "ps_3_0" : nullptr;
}
