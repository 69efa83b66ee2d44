// The device's state calls, clears and draws.
#include <cstring>

#include "Geraet.h"
#include "Protokoll.h"

namespace Plattform::D3D9 {
namespace {

// Binds `neu` in `slot`: the device's own reference moves from the old object to the new.
template <class T>
void Binde(T*& slot, T* neu) {
  if (neu) neu->InternAddRef();
  T* alt = slot;
  slot = neu;
  if (alt) alt->InternRelease();
}

// Device sampler number -> stage index: pixel samplers 0-15, vertex samplers 16-19.
int Stufe(DWORD sampler) {
  if (sampler < kErsteVertexStufe) return static_cast<int>(sampler);
  if (sampler >= D3DVERTEXTEXTURESAMPLER0 && sampler <= D3DVERTEXTEXTURESAMPLER3)
    return static_cast<int>(kErsteVertexStufe + (sampler - D3DVERTEXTEXTURESAMPLER0));
  return -1;
}

std::string Leer() { return {}; }

// Vertices (or indices) a draw of `n` primitives reads; 0 for an unknown type.
UINT Ecken(D3DPRIMITIVETYPE typ, UINT n) {
  switch (typ) {
    case D3DPT_POINTLIST:
      return n;
    case D3DPT_LINELIST:
      return 2 * n;
    case D3DPT_LINESTRIP:
      return n + 1;
    case D3DPT_TRIANGLELIST:
      return 3 * n;
    case D3DPT_TRIANGLESTRIP:
    case D3DPT_TRIANGLEFAN:
      return n + 2;
    default:
      return 0;
  }
}

constexpr UINT kFrequenzMaske = 0x3FFFFFFF;

}  // namespace

// ---------------------------------------------------------------- targets, viewport

HRESULT Geraet::SetRenderTarget(DWORD RenderTargetIndex, IDirect3DSurface9* pRenderTarget) {
  Vorgang v(*steuerung_, nullptr, "SetRenderTarget",
            [&] { return Argumente(RenderTargetIndex, pRenderTarget); });
  if (v.geskriptet) return v.Ende(*v.geskriptet);
  Oberflaeche* o = Eigenes<Oberflaeche>(pRenderTarget);
  if (RenderTargetIndex >= kZiele || (pRenderTarget && !o) || (RenderTargetIndex == 0 && !o))
    return v.Ende(D3DERR_INVALIDCALL);
  if (o && !(o->desc.Usage & D3DUSAGE_RENDERTARGET)) return v.Ende(D3DERR_INVALIDCALL);
  Binde(z_.ziel[RenderTargetIndex], o);
  // Setting the first target resets the viewport to the whole target.
  if (RenderTargetIndex == 0) z_.viewport = {0, 0, o->desc.Width, o->desc.Height, 0.0f, 1.0f};
  return v.Ende(D3D_OK);
}

HRESULT Geraet::GetRenderTarget(DWORD RenderTargetIndex, IDirect3DSurface9** ppRenderTarget) {
  Vorgang v(*steuerung_, nullptr, "GetRenderTarget", [&] { return Argumente(RenderTargetIndex); });
  if (v.geskriptet) return v.Ende(*v.geskriptet);
  if (!ppRenderTarget || RenderTargetIndex >= kZiele) return v.Ende(D3DERR_INVALIDCALL);
  Oberflaeche* o = z_.ziel[RenderTargetIndex];
  *ppRenderTarget = o;
  if (!o) return v.Ende(D3DERR_NOTFOUND);
  o->ExternAddRef();
  return v.Ende(D3D_OK, o->name());
}

HRESULT Geraet::SetDepthStencilSurface(IDirect3DSurface9* pNewZStencil) {
  Vorgang v(*steuerung_, nullptr, "SetDepthStencilSurface", [&] { return Argumente(pNewZStencil); });
  if (v.geskriptet) return v.Ende(*v.geskriptet);
  Oberflaeche* o = Eigenes<Oberflaeche>(pNewZStencil);
  if (pNewZStencil && (!o || o->art != Oberflaeche::Art::Tiefe)) return v.Ende(D3DERR_INVALIDCALL);
  Binde(z_.tiefe, o);
  return v.Ende(D3D_OK);
}

HRESULT Geraet::GetDepthStencilSurface(IDirect3DSurface9** ppZStencilSurface) {
  Vorgang v(*steuerung_, nullptr, "GetDepthStencilSurface", Leer);
  if (v.geskriptet) return v.Ende(*v.geskriptet);
  if (!ppZStencilSurface) return v.Ende(D3DERR_INVALIDCALL);
  *ppZStencilSurface = z_.tiefe;
  if (!z_.tiefe) return v.Ende(D3DERR_NOTFOUND);
  z_.tiefe->ExternAddRef();
  return v.Ende(D3D_OK, z_.tiefe->name());
}

HRESULT Geraet::SetViewport(const D3DVIEWPORT9* pViewport) {
  Vorgang v(*steuerung_, nullptr, "SetViewport", [&] { return Argumente(pViewport); });
  if (v.geskriptet) return v.Ende(*v.geskriptet);
  if (!pViewport) return v.Ende(D3DERR_INVALIDCALL);
  const D3DVIEWPORT9& n = *pViewport;
  const D3DSURFACE_DESC& d = z_.ziel[0]->desc;
  // The viewport must lie inside the first render target.
  if (n.X > d.Width || n.Y > d.Height || n.Width > d.Width - n.X || n.Height > d.Height - n.Y ||
      !(n.MinZ >= 0.0f && n.MinZ <= 1.0f && n.MaxZ >= 0.0f && n.MaxZ <= 1.0f))
    return v.Ende(D3DERR_INVALIDCALL);
  z_.viewport = n;
  return v.Ende(D3D_OK);
}

HRESULT Geraet::GetViewport(D3DVIEWPORT9* pViewport) {
  Vorgang v(*steuerung_, nullptr, "GetViewport", [] { return std::string(); });
  if (v.geskriptet) return v.Ende(*v.geskriptet);
  if (!pViewport) return v.Ende(D3DERR_INVALIDCALL);
  *pViewport = z_.viewport;
  return v.Ende(D3D_OK);
}

// ---------------------------------------------------------------- states

HRESULT Geraet::SetRenderState(D3DRENDERSTATETYPE State, DWORD Value) {
  Vorgang v(*steuerung_, nullptr, "SetRenderState", [&] { return Argumente(State, Value); });
  if (v.geskriptet) return v.Ende(*v.geskriptet);
  if (State >= D3DRS_ANZAHL) return v.Ende(D3DERR_INVALIDCALL);
  z_.rs[State] = Value;
  return v.Ende(D3D_OK);
}

HRESULT Geraet::GetRenderState(D3DRENDERSTATETYPE State, DWORD* pValue) {
  Vorgang v(*steuerung_, nullptr, "GetRenderState", [&] { return Argumente(State); });
  if (v.geskriptet) return v.Ende(*v.geskriptet);
  if (!pValue || State >= D3DRS_ANZAHL) return v.Ende(D3DERR_INVALIDCALL);
  *pValue = z_.rs[State];
  return v.Ende(D3D_OK);
}

HRESULT Geraet::SetTexture(DWORD Stage, IDirect3DBaseTexture9* pTexture) {
  Vorgang v(*steuerung_, nullptr, "SetTexture", [&] { return Argumente(Stage, pTexture); });
  if (v.geskriptet) return v.Ende(*v.geskriptet);
  const int s = Stufe(Stage);
  TexturBasis* t = Eigenes<TexturBasis>(pTexture);
  if (s < 0 || (pTexture && !t)) return v.Ende(D3DERR_INVALIDCALL);
  Binde(z_.textur[s], t);
  return v.Ende(D3D_OK);
}

HRESULT Geraet::GetTexture(DWORD Stage, IDirect3DBaseTexture9** ppTexture) {
  Vorgang v(*steuerung_, nullptr, "GetTexture", [&] { return Argumente(Stage); });
  if (v.geskriptet) return v.Ende(*v.geskriptet);
  const int s = Stufe(Stage);
  if (!ppTexture || s < 0) return v.Ende(D3DERR_INVALIDCALL);
  TexturBasis* t = z_.textur[s];
  *ppTexture = t ? dynamic_cast<IDirect3DBaseTexture9*>(t) : nullptr;
  if (t) t->ExternAddRef();
  return v.Ende(D3D_OK);
}

HRESULT Geraet::SetSamplerState(DWORD Sampler, D3DSAMPLERSTATETYPE Type, DWORD Value) {
  Vorgang v(*steuerung_, nullptr, "SetSamplerState", [&] { return Argumente(Sampler, Type, Value); });
  if (v.geskriptet) return v.Ende(*v.geskriptet);
  const int s = Stufe(Sampler);
  if (s < 0 || Type < D3DSAMP_ADDRESSU || Type >= D3DSAMP_ANZAHL) return v.Ende(D3DERR_INVALIDCALL);
  z_.sampler[s][Type] = Value;
  return v.Ende(D3D_OK);
}

HRESULT Geraet::GetSamplerState(DWORD Sampler, D3DSAMPLERSTATETYPE Type, DWORD* pValue) {
  Vorgang v(*steuerung_, nullptr, "GetSamplerState", [&] { return Argumente(Sampler, Type); });
  if (v.geskriptet) return v.Ende(*v.geskriptet);
  const int s = Stufe(Sampler);
  if (!pValue || s < 0 || Type < D3DSAMP_ADDRESSU || Type >= D3DSAMP_ANZAHL) return v.Ende(D3DERR_INVALIDCALL);
  *pValue = z_.sampler[s][Type];
  return v.Ende(D3D_OK);
}

// ---------------------------------------------------------------- vertex input, shaders

HRESULT Geraet::SetVertexDeclaration(IDirect3DVertexDeclaration9* pDecl) {
  Vorgang v(*steuerung_, nullptr, "SetVertexDeclaration", [&] { return Argumente(pDecl); });
  if (v.geskriptet) return v.Ende(*v.geskriptet);
  Deklaration* d = Eigenes<Deklaration>(pDecl);
  if (pDecl && !d) return v.Ende(D3DERR_INVALIDCALL);
  Binde(z_.deklaration, d);
  return v.Ende(D3D_OK);
}

HRESULT Geraet::GetVertexDeclaration(IDirect3DVertexDeclaration9** ppDecl) {
  Vorgang v(*steuerung_, nullptr, "GetVertexDeclaration", [] { return std::string(); });
  if (v.geskriptet) return v.Ende(*v.geskriptet);
  if (!ppDecl) return v.Ende(D3DERR_INVALIDCALL);
  *ppDecl = z_.deklaration;
  if (z_.deklaration) z_.deklaration->ExternAddRef();
  return v.Ende(D3D_OK);
}

HRESULT Geraet::SetVertexShader(IDirect3DVertexShader9* pShader) {
  Vorgang v(*steuerung_, nullptr, "SetVertexShader", [&] { return Argumente(pShader); });
  if (v.geskriptet) return v.Ende(*v.geskriptet);
  VertexShader* s = Eigenes<VertexShader>(pShader);
  if (pShader && !s) return v.Ende(D3DERR_INVALIDCALL);
  ShaderBasis* b = s;
  Binde(z_.vs, b);
  return v.Ende(D3D_OK);
}

HRESULT Geraet::GetVertexShader(IDirect3DVertexShader9** ppShader) {
  Vorgang v(*steuerung_, nullptr, "GetVertexShader", [] { return std::string(); });
  if (v.geskriptet) return v.Ende(*v.geskriptet);
  if (!ppShader) return v.Ende(D3DERR_INVALIDCALL);
  auto* s = static_cast<VertexShader*>(z_.vs);
  *ppShader = s;
  if (s) s->ExternAddRef();
  return v.Ende(D3D_OK);
}

HRESULT Geraet::SetPixelShader(IDirect3DPixelShader9* pShader) {
  Vorgang v(*steuerung_, nullptr, "SetPixelShader", [&] { return Argumente(pShader); });
  if (v.geskriptet) return v.Ende(*v.geskriptet);
  PixelShader* s = Eigenes<PixelShader>(pShader);
  if (pShader && !s) return v.Ende(D3DERR_INVALIDCALL);
  ShaderBasis* b = s;
  Binde(z_.ps, b);
  return v.Ende(D3D_OK);
}

HRESULT Geraet::GetPixelShader(IDirect3DPixelShader9** ppShader) {
  Vorgang v(*steuerung_, nullptr, "GetPixelShader", [] { return std::string(); });
  if (v.geskriptet) return v.Ende(*v.geskriptet);
  if (!ppShader) return v.Ende(D3DERR_INVALIDCALL);
  auto* s = static_cast<PixelShader*>(z_.ps);
  *ppShader = s;
  if (s) s->ExternAddRef();
  return v.Ende(D3D_OK);
}

namespace {
std::string Register(UINT start, const float* daten, UINT anzahl) {
  std::string s = Arg(start) + ", " + Arg(anzahl);
  if (!daten) return s + ", null";
  for (UINT i = 0; i < anzahl * 4; ++i) s += (i % 4 == 0 ? ", {" : " ") + Arg(daten[i]) + (i % 4 == 3 ? "}" : "");
  return s;
}
}  // namespace

HRESULT Geraet::SetVertexShaderConstantF(UINT StartRegister, const float* pConstantData,
                                         UINT Vector4fCount) {
  Vorgang v(*steuerung_, nullptr, "SetVertexShaderConstantF",
            [&] { return Register(StartRegister, pConstantData, Vector4fCount); });
  if (v.geskriptet) return v.Ende(*v.geskriptet);
  if (!pConstantData || StartRegister > kVsRegister || Vector4fCount > kVsRegister - StartRegister)
    return v.Ende(D3DERR_INVALIDCALL);
  std::memcpy(&z_.vsKonst[StartRegister * 4], pConstantData, Vector4fCount * 4 * sizeof(float));
  ++z_.vsStand;
  return v.Ende(D3D_OK);
}

HRESULT Geraet::GetVertexShaderConstantF(UINT StartRegister, float* pConstantData, UINT Vector4fCount) {
  Vorgang v(*steuerung_, nullptr, "GetVertexShaderConstantF", [&] { return Argumente(StartRegister, Vector4fCount); });
  if (v.geskriptet) return v.Ende(*v.geskriptet);
  if (!pConstantData || StartRegister > kVsRegister || Vector4fCount > kVsRegister - StartRegister)
    return v.Ende(D3DERR_INVALIDCALL);
  std::memcpy(pConstantData, &z_.vsKonst[StartRegister * 4], Vector4fCount * 4 * sizeof(float));
  return v.Ende(D3D_OK);
}

HRESULT Geraet::SetPixelShaderConstantF(UINT StartRegister, const float* pConstantData,
                                        UINT Vector4fCount) {
  Vorgang v(*steuerung_, nullptr, "SetPixelShaderConstantF",
            [&] { return Register(StartRegister, pConstantData, Vector4fCount); });
  if (v.geskriptet) return v.Ende(*v.geskriptet);
  if (!pConstantData || StartRegister > kPsRegister || Vector4fCount > kPsRegister - StartRegister)
    return v.Ende(D3DERR_INVALIDCALL);
  std::memcpy(&z_.psKonst[StartRegister * 4], pConstantData, Vector4fCount * 4 * sizeof(float));
  ++z_.psStand;
  return v.Ende(D3D_OK);
}

HRESULT Geraet::GetPixelShaderConstantF(UINT StartRegister, float* pConstantData, UINT Vector4fCount) {
  Vorgang v(*steuerung_, nullptr, "GetPixelShaderConstantF", [&] { return Argumente(StartRegister, Vector4fCount); });
  if (v.geskriptet) return v.Ende(*v.geskriptet);
  if (!pConstantData || StartRegister > kPsRegister || Vector4fCount > kPsRegister - StartRegister)
    return v.Ende(D3DERR_INVALIDCALL);
  std::memcpy(pConstantData, &z_.psKonst[StartRegister * 4], Vector4fCount * 4 * sizeof(float));
  return v.Ende(D3D_OK);
}

HRESULT Geraet::SetStreamSource(UINT StreamNumber, IDirect3DVertexBuffer9* pStreamData,
                                UINT OffsetInBytes, UINT Stride) {
  Vorgang v(*steuerung_, nullptr, "SetStreamSource",
            [&] { return Argumente(StreamNumber, pStreamData, OffsetInBytes, Stride); });
  if (v.geskriptet) return v.Ende(*v.geskriptet);
  VertexPuffer* p = Eigenes<VertexPuffer>(pStreamData);
  if (StreamNumber >= kStroeme || (pStreamData && !p)) return v.Ende(D3DERR_INVALIDCALL);
  Strom& s = z_.strom[StreamNumber];
  Puffer* b = p;
  Binde(s.puffer, b);
  s.offset = OffsetInBytes;
  s.stride = Stride;
  return v.Ende(D3D_OK);
}

HRESULT Geraet::GetStreamSource(UINT StreamNumber, IDirect3DVertexBuffer9** ppStreamData,
                                UINT* pOffsetInBytes, UINT* pStride) {
  Vorgang v(*steuerung_, nullptr, "GetStreamSource", [&] { return Argumente(StreamNumber); });
  if (v.geskriptet) return v.Ende(*v.geskriptet);
  if (StreamNumber >= kStroeme || !ppStreamData || !pOffsetInBytes || !pStride)
    return v.Ende(D3DERR_INVALIDCALL);
  const Strom& s = z_.strom[StreamNumber];
  auto* p = static_cast<VertexPuffer*>(s.puffer);
  *ppStreamData = p;
  if (p) p->ExternAddRef();
  *pOffsetInBytes = s.offset;
  *pStride = s.stride;
  return v.Ende(D3D_OK);
}

HRESULT Geraet::SetStreamSourceFreq(UINT StreamNumber, UINT Setting) {
  Vorgang v(*steuerung_, nullptr, "SetStreamSourceFreq",
            [&] { return Argumente(StreamNumber, Hex{Setting}); });
  if (v.geskriptet) return v.Ende(*v.geskriptet);
  const bool indiziert = (Setting & D3DSTREAMSOURCE_INDEXEDDATA) != 0;
  const bool instanz = (Setting & D3DSTREAMSOURCE_INSTANCEDATA) != 0;
  // Stream 0 can never hold instance data; a flag needs a count.
  if (StreamNumber >= kStroeme || (indiziert && instanz) || (StreamNumber == 0 && instanz) ||
      ((indiziert || instanz) && (Setting & kFrequenzMaske) == 0))
    return v.Ende(D3DERR_INVALIDCALL);
  z_.strom[StreamNumber].frequenz = Setting;
  return v.Ende(D3D_OK);
}

HRESULT Geraet::GetStreamSourceFreq(UINT StreamNumber, UINT* pSetting) {
  Vorgang v(*steuerung_, nullptr, "GetStreamSourceFreq", [&] { return Argumente(StreamNumber); });
  if (v.geskriptet) return v.Ende(*v.geskriptet);
  if (StreamNumber >= kStroeme || !pSetting) return v.Ende(D3DERR_INVALIDCALL);
  *pSetting = z_.strom[StreamNumber].frequenz;
  return v.Ende(D3D_OK);
}

HRESULT Geraet::SetIndices(IDirect3DIndexBuffer9* pIndexData) {
  Vorgang v(*steuerung_, nullptr, "SetIndices", [&] { return Argumente(pIndexData); });
  if (v.geskriptet) return v.Ende(*v.geskriptet);
  IndexPuffer* p = Eigenes<IndexPuffer>(pIndexData);
  if (pIndexData && !p) return v.Ende(D3DERR_INVALIDCALL);
  Binde(z_.indizes, p);
  return v.Ende(D3D_OK);
}

HRESULT Geraet::GetIndices(IDirect3DIndexBuffer9** ppIndexData) {
  Vorgang v(*steuerung_, nullptr, "GetIndices", [] { return std::string(); });
  if (v.geskriptet) return v.Ende(*v.geskriptet);
  if (!ppIndexData) return v.Ende(D3DERR_INVALIDCALL);
  *ppIndexData = z_.indizes;
  if (z_.indizes) z_.indizes->ExternAddRef();
  return v.Ende(D3D_OK);
}

// ---------------------------------------------------------------- clear and draw

HRESULT Geraet::Clear(DWORD Count, const D3DRECT* pRects, DWORD Flags, D3DCOLOR Color, float Z,
                      DWORD Stencil) {
  Vorgang v(*steuerung_, nullptr, "Clear", [&] {
    std::string r = pRects ? "rects" : "null";
    return Argumente(Count, r, Hex{Flags}, Hex{Color}, Z, Stencil);
  });
  if (v.geskriptet) return v.Ende(*v.geskriptet);
  if ((Count > 0) != (pRects != nullptr)) return v.Ende(D3DERR_INVALIDCALL);
  if (!(Flags & (D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL))) return v.Ende(D3DERR_INVALIDCALL);
  // Depth and stencil can be cleared only when a surface with them is bound.
  if ((Flags & D3DCLEAR_ZBUFFER) && !z_.tiefe) return v.Ende(D3DERR_INVALIDCALL);
  if ((Flags & D3DCLEAR_STENCIL) && (!z_.tiefe || z_.tiefe->desc.Format != D3DFMT_D24S8))
    return v.Ende(D3DERR_INVALIDCALL);
  if (Verloren()) return v.Ende(D3D_OK);
  if (Flags & D3DCLEAR_TARGET)
    for (Oberflaeche* o : z_.ziel)
      if (o && o->art == Oberflaeche::Art::Ebene && o->ebene == 0 && o->textur->MipsAutomatisch())
        o->textur->mipsVeraltet = true;
  backend_->Leere(z_, Count, pRects, Flags, Color, Z, Stencil);
  return v.Ende(D3D_OK);
}

HRESULT Geraet::DrawPrimitive(D3DPRIMITIVETYPE PrimitiveType, UINT StartVertex, UINT PrimitiveCount) {
  Vorgang v(*steuerung_, nullptr, "DrawPrimitive",
            [&] { return Argumente(PrimitiveType, StartVertex, PrimitiveCount); });
  if (v.geskriptet) return v.Ende(*v.geskriptet);
  const UINT ecken = Ecken(PrimitiveType, PrimitiveCount);
  return v.Ende(Zeichnen({PrimitiveType, false, 0, StartVertex, ecken, 0}, StartVertex, ecken));
}

HRESULT Geraet::DrawIndexedPrimitive(D3DPRIMITIVETYPE PrimitiveType, INT BaseVertexIndex,
                                     UINT MinVertexIndex, UINT NumVertices, UINT startIndex,
                                     UINT primCount) {
  Vorgang v(*steuerung_, nullptr, "DrawIndexedPrimitive", [&] {
    return Argumente(PrimitiveType, BaseVertexIndex, MinVertexIndex, NumVertices, startIndex, primCount);
  });
  if (v.geskriptet) return v.Ende(*v.geskriptet);
  if (!z_.indizes) return v.Ende(D3DERR_INVALIDCALL);
  const UINT freq0 = z_.strom[0].frequenz;
  const UINT instanzen = (freq0 & D3DSTREAMSOURCE_INDEXEDDATA) ? (freq0 & kFrequenzMaske) : 0;
  const UINT indizes = Ecken(PrimitiveType, primCount);
  const std::uint64_t ende = (static_cast<std::uint64_t>(startIndex) + indizes) * z_.indizes->IndexBytes();
  if (ende > z_.indizes->laenge || z_.indizes->gesperrt) return v.Ende(D3DERR_INVALIDCALL);
  return v.Ende(Zeichnen({PrimitiveType, true, BaseVertexIndex, startIndex, indizes, instanzen},
                         static_cast<std::int64_t>(BaseVertexIndex) + MinVertexIndex, NumVertices));
}

HRESULT Geraet::Zeichnen(const Zeichnung& d, std::int64_t ersterVertex, UINT vertices) {
  if (d.typ < D3DPT_POINTLIST || d.typ > D3DPT_TRIANGLEFAN) return D3DERR_INVALIDCALL;
  // Draws belong inside a scene; there is no fixed-function pipeline.
  if (!szeneOffen_ || !z_.vs || !z_.ps || !z_.deklaration) return D3DERR_INVALIDCALL;
  for (const D3DVERTEXELEMENT9& e : z_.deklaration->elemente) {
    const Strom& s = z_.strom[e.Stream];
    if (!s.puffer || s.puffer->gesperrt) return D3DERR_INVALIDCALL;
    if (d.anzahl == 0) continue;
    // Every vertex (or instance) the draw may read must lie inside its buffer.
    std::int64_t erster = ersterVertex, letzter = ersterVertex + static_cast<std::int64_t>(vertices) - 1;
    if (d.instanzen > 0 && (s.frequenz & D3DSTREAMSOURCE_INSTANCEDATA)) {
      erster = 0;
      letzter = (static_cast<std::int64_t>(d.instanzen) - 1) / (s.frequenz & kFrequenzMaske);
    } else if (vertices == 0) {
      continue;
    }
    const std::int64_t ende = s.offset + letzter * s.stride + e.Offset + DeklTypBytes(e.Type);
    if (erster < 0 || ende > s.puffer->laenge) return D3DERR_INVALIDCALL;
  }
  if (d.anzahl == 0 || Verloren()) return D3D_OK;
  for (Oberflaeche* o : z_.ziel)
    if (o && o->art == Oberflaeche::Art::Ebene && o->ebene == 0 && o->textur->MipsAutomatisch())
      o->textur->mipsVeraltet = true;
  backend_->Zeichne(z_, d);
  return D3D_OK;
}

}  // namespace Plattform::D3D9
