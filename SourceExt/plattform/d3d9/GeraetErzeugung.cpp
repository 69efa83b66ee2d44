// The device's create calls and UpdateSurface.
#include <cstring>
#include <new>
#include <type_traits>
#include <vector>

#include "Geraet.h"
#include "Protokoll.h"

namespace Plattform::D3D9 {

HRESULT Geraet::ErzeugungGeskriptet() {
  auto hr = steuerung_->ErzeugungGeskriptet();
  return hr ? *hr : D3D_OK;
}

namespace {

// Levels of a texture: 0 means the full chain; more than the full chain is refused.
bool Ebenen(UINT& ebenen, UINT breite, UINT hoehe) {
  const UINT voll = VolleKette(breite, hoehe);
  if (ebenen == 0) ebenen = voll;
  return ebenen <= voll;
}

}  // namespace

template <class T, class I>
HRESULT Geraet::ErzeugeTexturObjekt(Vorgang& v, UINT breite, UINT hoehe, UINT levels, DWORD usage, D3DFORMAT format,
                                    D3DPOOL pool, I** ergebnis, HANDLE* shared) {
  constexpr bool wuerfel = std::is_same_v<T, Wuerfeltextur>;
  if (v.geskriptet) return v.Ende(*v.geskriptet);
  const FormatInfo* f = Plattform::D3D9::Format(format);
  D3DCAPS9 caps{};
  backend_->Faehigkeiten(caps);
  constexpr DWORD kErlaubt = D3DUSAGE_RENDERTARGET | D3DUSAGE_DYNAMIC | D3DUSAGE_AUTOGENMIPMAP;
  if (!ergebnis || shared || pool != D3DPOOL_DEFAULT || !f || !f->textur || breite == 0 || hoehe == 0 ||
      breite > caps.MaxTextureWidth || hoehe > caps.MaxTextureHeight || (usage & ~kErlaubt) ||
      ((usage & D3DUSAGE_RENDERTARGET) && !f->ziel) || ((usage & D3DUSAGE_AUTOGENMIPMAP) && levels > 1) ||
      !Ebenen(levels, breite, hoehe))
    return v.Ende(D3DERR_INVALIDCALL);
  HRESULT ergebnisCode = D3D_OK;
  if ((usage & D3DUSAGE_AUTOGENMIPMAP) && !f->mipsAuto) {
    usage &= ~D3DUSAGE_AUTOGENMIPMAP;
    levels = 1;
    ergebnisCode = D3DOK_NOAUTOGEN;
  }
  if (HRESULT hr = ErzeugungGeskriptet(); FAILED(hr)) return v.Ende(hr);
  const UINT intern = (usage & D3DUSAGE_AUTOGENMIPMAP) ? VolleKette(breite, hoehe) : levels;
  if (!VideospeicherFrei(TexturBasis::Bytes(*f, breite, hoehe, intern, wuerfel)))
    return v.Ende(D3DERR_OUTOFVIDEOMEMORY);
  T* t;
  if constexpr (wuerfel)
    t = new T(*this, NeuerName("Wuerfeltextur"), breite, levels, usage, format);
  else
    t = new T(*this, NeuerName("Textur"), breite, hoehe, levels, usage, format);
  t->ErzeugeFlaechen();
  BelegeVideospeicher(*t, t->Bytes());
  if (HRESULT hr = backend_->ErzeugeTextur(*t); FAILED(hr)) {
    t->Release();
    return v.Ende(hr);
  }
  *ergebnis = t;
  return v.Ende(ergebnisCode, t->name());
}

HRESULT Geraet::CreateTexture(UINT Width, UINT Height, UINT Levels, DWORD Usage, D3DFORMAT Format,
                              D3DPOOL Pool, IDirect3DTexture9** ppTexture, HANDLE* pSharedHandle) {
  Vorgang v(*steuerung_, nullptr, "CreateTexture",
            [&] { return Argumente(Width, Height, Levels, Hex{Usage}, Format, Pool); });
  return ErzeugeTexturObjekt<Textur>(v, Width, Height, Levels, Usage, Format, Pool, ppTexture, pSharedHandle);
}

HRESULT Geraet::CreateCubeTexture(UINT EdgeLength, UINT Levels, DWORD Usage, D3DFORMAT Format,
                                  D3DPOOL Pool, IDirect3DCubeTexture9** ppCubeTexture,
                                  HANDLE* pSharedHandle) {
  Vorgang v(*steuerung_, nullptr, "CreateCubeTexture",
            [&] { return Argumente(EdgeLength, Levels, Hex{Usage}, Format, Pool); });
  return ErzeugeTexturObjekt<Wuerfeltextur>(v, EdgeLength, EdgeLength, Levels, Usage, Format, Pool, ppCubeTexture,
                                            pSharedHandle);
}

namespace {
constexpr DWORD kPufferUsage = D3DUSAGE_WRITEONLY | D3DUSAGE_DYNAMIC | D3DUSAGE_SOFTWAREPROCESSING |
                               D3DUSAGE_DONOTCLIP | D3DUSAGE_POINTS;
}

HRESULT Geraet::CreateVertexBuffer(UINT Length, DWORD Usage, DWORD FVF, D3DPOOL Pool,
                                   IDirect3DVertexBuffer9** ppVertexBuffer, HANDLE* pSharedHandle) {
  Vorgang v(*steuerung_, nullptr, "CreateVertexBuffer",
            [&] { return Argumente(Length, Hex{Usage}, Hex{FVF}, Pool); });
  if (v.geskriptet) return v.Ende(*v.geskriptet);
  if (!ppVertexBuffer || pSharedHandle || Length == 0 || Pool != D3DPOOL_DEFAULT ||
      (Usage & ~kPufferUsage))
    return v.Ende(D3DERR_INVALIDCALL);
  if (HRESULT hr = ErzeugungGeskriptet(); FAILED(hr)) return v.Ende(hr);
  if (!VideospeicherFrei(Length)) return v.Ende(D3DERR_OUTOFVIDEOMEMORY);
  auto* p = new VertexPuffer(*this, NeuerName("VertexBuffer"), Length, Usage, D3DFMT_VERTEXDATA, FVF);
  BelegeVideospeicher(*p, Length);
  if (HRESULT hr = backend_->ErzeugePuffer(*p); FAILED(hr)) {
    p->Release();
    return v.Ende(hr);
  }
  *ppVertexBuffer = p;
  return v.Ende(D3D_OK, p->name());
}

HRESULT Geraet::CreateIndexBuffer(UINT Length, DWORD Usage, D3DFORMAT Format, D3DPOOL Pool,
                                  IDirect3DIndexBuffer9** ppIndexBuffer, HANDLE* pSharedHandle) {
  Vorgang v(*steuerung_, nullptr, "CreateIndexBuffer",
            [&] { return Argumente(Length, Hex{Usage}, Format, Pool); });
  if (v.geskriptet) return v.Ende(*v.geskriptet);
  if (!ppIndexBuffer || pSharedHandle || Length == 0 || Pool != D3DPOOL_DEFAULT ||
      (Usage & ~kPufferUsage) || (Format != D3DFMT_INDEX16 && Format != D3DFMT_INDEX32))
    return v.Ende(D3DERR_INVALIDCALL);
  if (HRESULT hr = ErzeugungGeskriptet(); FAILED(hr)) return v.Ende(hr);
  if (!VideospeicherFrei(Length)) return v.Ende(D3DERR_OUTOFVIDEOMEMORY);
  auto* p = new IndexPuffer(*this, NeuerName("IndexBuffer"), Length, Usage, Format, 0);
  BelegeVideospeicher(*p, Length);
  if (HRESULT hr = backend_->ErzeugePuffer(*p); FAILED(hr)) {
    p->Release();
    return v.Ende(hr);
  }
  *ppIndexBuffer = p;
  return v.Ende(D3D_OK, p->name());
}

HRESULT Geraet::CreateDepthStencilSurface(UINT Width, UINT Height, D3DFORMAT Format,
                                          D3DMULTISAMPLE_TYPE MultiSample, DWORD MultisampleQuality,
                                          BOOL Discard, IDirect3DSurface9** ppSurface,
                                          HANDLE* pSharedHandle) {
  Vorgang v(*steuerung_, nullptr, "CreateDepthStencilSurface", [&] {
    return Argumente(Width, Height, Format, MultiSample, MultisampleQuality, static_cast<INT>(Discard));
  });
  if (v.geskriptet) return v.Ende(*v.geskriptet);
  const FormatInfo* f = Plattform::D3D9::Format(Format);
  D3DCAPS9 caps{};
  backend_->Faehigkeiten(caps);
  if (!ppSurface || pSharedHandle || !f || !f->tiefe || MultiSample != D3DMULTISAMPLE_NONE ||
      Width == 0 || Height == 0 || Width > caps.MaxTextureWidth || Height > caps.MaxTextureHeight)
    return v.Ende(D3DERR_INVALIDCALL);
  if (HRESULT hr = ErzeugungGeskriptet(); FAILED(hr)) return v.Ende(hr);
  const std::uint64_t bytes = EbenenBytes(*f, Width, Height);
  if (!VideospeicherFrei(bytes)) return v.Ende(D3DERR_OUTOFVIDEOMEMORY);
  const D3DSURFACE_DESC d{Format, D3DRTYPE_SURFACE, D3DUSAGE_DEPTHSTENCIL, D3DPOOL_DEFAULT,
                          D3DMULTISAMPLE_NONE, 0, Width, Height};
  auto* o = new Oberflaeche(*this, NeuerName("Tiefe"), Eigentum::Aufrufer, Oberflaeche::Art::Tiefe, d);
  BelegeVideospeicher(*o, bytes);
  if (HRESULT hr = backend_->ErzeugeFlaeche(*o); FAILED(hr)) {
    o->Release();
    return v.Ende(hr);
  }
  *ppSurface = o;
  return v.Ende(D3D_OK, o->name());
}

HRESULT Geraet::CreateOffscreenPlainSurface(UINT Width, UINT Height, D3DFORMAT Format, D3DPOOL Pool,
                                            IDirect3DSurface9** ppSurface, HANDLE* pSharedHandle) {
  Vorgang v(*steuerung_, nullptr, "CreateOffscreenPlainSurface",
            [&] { return Argumente(Width, Height, Format, Pool); });
  if (v.geskriptet) return v.Ende(*v.geskriptet);
  const FormatInfo* f = Plattform::D3D9::Format(Format);
  // Only system-memory surfaces: the source of UpdateSurface.
  if (!ppSurface || pSharedHandle || (Pool != D3DPOOL_SYSTEMMEM && Pool != D3DPOOL_SCRATCH) || !f ||
      !f->textur || Width == 0 || Height == 0 || Width > 16384 || Height > 16384)
    return v.Ende(D3DERR_INVALIDCALL);
  if (HRESULT hr = ErzeugungGeskriptet(); FAILED(hr)) return v.Ende(hr);
  const D3DSURFACE_DESC d{Format, D3DRTYPE_SURFACE, 0, Pool, D3DMULTISAMPLE_NONE, 0, Width, Height};
  auto* o = new Oberflaeche(*this, NeuerName("Oberflaeche"), Eigentum::Aufrufer,
                            Oberflaeche::Art::Systemspeicher, d);
  try {
    o->speicher.resize(EbenenBytes(*f, Width, Height));
  } catch (const std::bad_alloc&) {
    o->Release();
    return v.Ende(E_OUTOFMEMORY);
  }
  *ppSurface = o;
  return v.Ende(D3D_OK, o->name());
}

HRESULT Geraet::UpdateSurface(IDirect3DSurface9* pSourceSurface, const RECT* pSourceRect,
                              IDirect3DSurface9* pDestinationSurface, const POINT* pDestPoint) {
  Vorgang v(*steuerung_, nullptr, "UpdateSurface", [&] {
    return Argumente(pSourceSurface, pSourceRect, pDestinationSurface, pDestPoint);
  });
  if (v.geskriptet) return v.Ende(*v.geskriptet);
  Oberflaeche* q = Eigenes<Oberflaeche>(pSourceSurface);
  Oberflaeche* z = Eigenes<Oberflaeche>(pDestinationSurface);
  // From system memory into a default-pool colour surface of the same format.
  if (!q || !z || q->art != Oberflaeche::Art::Systemspeicher || z->art == Oberflaeche::Art::Systemspeicher ||
      z->art == Oberflaeche::Art::Tiefe || q->desc.Format != z->desc.Format || q->Gesperrt() ||
      z->Gesperrt())
    return v.Ende(D3DERR_INVALIDCALL);
  const RECT qr = pSourceRect ? *pSourceRect
                              : RECT{0, 0, static_cast<LONG>(q->desc.Width), static_cast<LONG>(q->desc.Height)};
  const POINT zp = pDestPoint ? *pDestPoint : POINT{0, 0};
  const RECT zr{zp.x, zp.y, zp.x + (qr.right - qr.left), zp.y + (qr.bottom - qr.top)};
  if (!q->RechteckGueltig(qr) || !z->RechteckGueltig(zr)) return v.Ende(D3DERR_INVALIDCALL);
  const FormatInfo& f = q->format();
  const UINT pitch = ZeilenBytes(f, q->desc.Width);
  const UINT x = f.block ? static_cast<UINT>(qr.left) / 4 * f.bytes : static_cast<UINT>(qr.left) * f.bytes;
  const UINT y = f.block ? static_cast<UINT>(qr.top) / 4 : static_cast<UINT>(qr.top);
  backend_->SchreibeFlaeche(*z, zr, q->speicher.data() + static_cast<std::size_t>(y) * pitch + x, pitch);
  if (z->art == Oberflaeche::Art::Ebene && z->ebene == 0 && z->textur->MipsAutomatisch())
    z->textur->mipsVeraltet = true;
  return v.Ende(D3D_OK);
}

// ---------------------------------------------------------------- declarations, shaders

HRESULT Geraet::CreateVertexDeclaration(const D3DVERTEXELEMENT9* pVertexElements,
                                        IDirect3DVertexDeclaration9** ppDecl) {
  std::vector<D3DVERTEXELEMENT9> elemente;
  bool gueltig = pVertexElements && ppDecl;
  for (UINT i = 0; gueltig && pVertexElements[i].Stream != 0xFF; ++i) {
    const D3DVERTEXELEMENT9& e = pVertexElements[i];
    if (i + 1 >= MAXD3DDECLLENGTH || e.Stream >= kStroeme || DeklTypBytes(e.Type) == 0 ||
        e.Usage > D3DDECLUSAGE_SAMPLE || e.Offset % 4 != 0) {
      gueltig = false;
      break;
    }
    for (const auto& a : elemente)
      if (a.Usage == e.Usage && a.UsageIndex == e.UsageIndex) gueltig = false;
    elemente.push_back(e);
  }
  Vorgang v(*steuerung_, nullptr, "CreateVertexDeclaration", [&] {
    std::string s;
    for (const auto& e : elemente) {
      if (!s.empty()) s += ", ";
      s += '{';
      s += Argumente(static_cast<UINT>(e.Stream), static_cast<UINT>(e.Offset), static_cast<UINT>(e.Type),
                     static_cast<UINT>(e.Usage), static_cast<UINT>(e.UsageIndex));
      s += '}';
    }
    return s;
  });
  if (v.geskriptet) return v.Ende(*v.geskriptet);
  if (!gueltig) return v.Ende(D3DERR_INVALIDCALL);
  auto* d = new Deklaration(*this, NeuerName("Deklaration"), std::move(elemente));
  *ppDecl = d;
  return v.Ende(D3D_OK, d->name());
}

namespace {

// Reads and checks a shader's code: a ShaderBlob of the right stage whose register
// spans stay inside the register file and the uniform block.
bool LeseShader(const DWORD* code, ShaderStufe stufe, UINT register_, ShaderBlob& blob,
                std::vector<std::uint8_t>& bytes) {
  if (!code || !LeseShaderBlob(code, blob) || blob.stufe != stufe) return false;
  for (const RegisterSpanne& s : blob.spannen) {
    if (s.register_ >= register_ || s.komponenten == 0 || s.komponenten > 4) return false;
    const std::uint64_t ende =
        s.blockOffset + static_cast<std::uint64_t>(s.komponenten - 1) * s.schrittBytes + 4;
    if (ende > blob.uniformBlockBytes) return false;
  }
  for (const SamplerBindung& s : blob.sampler)
    if (s.stufe >= (stufe == ShaderStufe::Vertex ? 4u : 16u)) return false;
  std::uint32_t laenge;
  std::memcpy(&laenge, reinterpret_cast<const std::uint8_t*>(code) + 4, 4);
  const auto* p = reinterpret_cast<const std::uint8_t*>(code);
  bytes.assign(p, p + laenge);
  return true;
}

}  // namespace

template <class Shader, class I>
HRESULT Geraet::ErzeugeShaderObjekt(const char* methode, const DWORD* code, I** ergebnis) {
  constexpr bool vertex = std::is_same_v<Shader, VertexShader>;
  Vorgang v(*steuerung_, nullptr, methode, [&] { return Argumente(static_cast<const void*>(code)); });
  if (v.geskriptet) return v.Ende(*v.geskriptet);
  ShaderBlob blob;
  std::vector<std::uint8_t> bytes;
  if (!ergebnis || !LeseShader(code, vertex ? ShaderStufe::Vertex : ShaderStufe::Pixel,
                               vertex ? kVsRegister : kPsRegister, blob, bytes))
    return v.Ende(D3DERR_INVALIDCALL);
  auto* s = new Shader(*this, NeuerName(vertex ? "VertexShader" : "PixelShader"), std::move(blob), std::move(bytes));
  if (HRESULT hr = backend_->ErzeugeShader(*s); FAILED(hr)) {
    s->Release();
    return v.Ende(hr);
  }
  *ergebnis = s;
  return v.Ende(D3D_OK, s->name());
}

HRESULT Geraet::CreateVertexShader(const DWORD* pFunction, IDirect3DVertexShader9** ppShader) {
  return ErzeugeShaderObjekt<VertexShader>("CreateVertexShader", pFunction, ppShader);
}

HRESULT Geraet::CreatePixelShader(const DWORD* pFunction, IDirect3DPixelShader9** ppShader) {
  return ErzeugeShaderObjekt<PixelShader>("CreatePixelShader", pFunction, ppShader);
}

}  // namespace Plattform::D3D9
