// The device's life: creation, references, presentation, loss and reset.
#include "Geraet.h"

#include "Protokoll.h"

namespace Plattform::D3D9 {

Geraet::Geraet(IDirect3D9* d3d, std::shared_ptr<Steuerung> steuerung,
               std::unique_ptr<GeraeteBackend> backend)
    : d3d_(d3d), steuerung_(std::move(steuerung)), backend_(std::move(backend)) {
  d3d_->AddRef();
}

Geraet::~Geraet() {
  stirbt_ = true;
  LoeseAlleBindungen();
  rueckpuffer_.reset();
  autoTiefe_.reset();
  backend_.reset();
  d3d_->Release();
}

HRESULT Geraet::Erzeuge(IDirect3D9* d3d, std::shared_ptr<Steuerung> steuerung,
                        std::unique_ptr<GeraeteBackend> backend, DWORD verhalten,
                        D3DPRESENT_PARAMETERS& pp, Geraet** aus) {
  const DWORD verarbeitung = verhalten & (D3DCREATE_SOFTWARE_VERTEXPROCESSING |
                                          D3DCREATE_HARDWARE_VERTEXPROCESSING |
                                          D3DCREATE_MIXED_VERTEXPROCESSING);
  // Exactly one kind of vertex processing must be asked for.
  if (verarbeitung == 0 || (verarbeitung & (verarbeitung - 1)) != 0) return D3DERR_INVALIDCALL;
  D3DPRESENT_PARAMETERS gewaehlt = pp;
  HRESULT hr = PruefeDarstellung(gewaehlt, *backend);
  if (FAILED(hr)) return hr;
  auto* g = new Geraet(d3d, std::move(steuerung), std::move(backend));
  g->pp_ = gewaehlt;
  hr = g->ErzeugeImpliziteFlaechen();
  if (FAILED(hr)) {
    g->Lasse();
    return hr;
  }
  g->backend_->Darstellung(g->pp_);
  g->StandardZustand();
  pp = gewaehlt;
  *aus = g;
  return D3D_OK;
}

HRESULT Geraet::PruefeDarstellung(D3DPRESENT_PARAMETERS& pp, GeraeteBackend& backend) {
  if (pp.BackBufferCount > 3) return D3DERR_INVALIDCALL;
  if (pp.BackBufferCount == 0) pp.BackBufferCount = 1;
  if (pp.SwapEffect < D3DSWAPEFFECT_DISCARD || pp.SwapEffect > D3DSWAPEFFECT_COPY)
    return D3DERR_INVALIDCALL;
  if (pp.SwapEffect == D3DSWAPEFFECT_COPY && pp.BackBufferCount != 1) return D3DERR_INVALIDCALL;
  if (pp.MultiSampleType != D3DMULTISAMPLE_NONE) return D3DERR_INVALIDCALL;
  if (pp.Windowed) {
    if (pp.BackBufferWidth == 0 || pp.BackBufferHeight == 0) {
      UINT b = 0, h = 0;
      backend.Fenstergroesse(b, h);
      if (pp.BackBufferWidth == 0) pp.BackBufferWidth = b ? b : 1;
      if (pp.BackBufferHeight == 0) pp.BackBufferHeight = h ? h : 1;
    }
    if (pp.BackBufferFormat == D3DFMT_UNKNOWN) pp.BackBufferFormat = D3DFMT_X8R8G8B8;
  } else if (pp.BackBufferWidth == 0 || pp.BackBufferHeight == 0) {
    return D3DERR_INVALIDCALL;
  }
  const FormatInfo* f = Format(pp.BackBufferFormat);
  if (!f || !f->anzeige) return D3DERR_INVALIDCALL;
  if (pp.EnableAutoDepthStencil) {
    const FormatInfo* t = Format(pp.AutoDepthStencilFormat);
    if (!t || !t->tiefe) return D3DERR_INVALIDCALL;
  }
  switch (pp.PresentationInterval) {
    case D3DPRESENT_INTERVAL_DEFAULT:
    case D3DPRESENT_INTERVAL_ONE:
    case D3DPRESENT_INTERVAL_IMMEDIATE:
      break;
    default:
      return D3DERR_INVALIDCALL;
  }
  return D3D_OK;
}

HRESULT Geraet::ErzeugeImpliziteFlaechen() {
  const D3DSURFACE_DESC rd{pp_.BackBufferFormat, D3DRTYPE_SURFACE, D3DUSAGE_RENDERTARGET,
                           D3DPOOL_DEFAULT,      D3DMULTISAMPLE_NONE, 0,
                           pp_.BackBufferWidth,  pp_.BackBufferHeight};
  rueckpuffer_ = std::make_unique<Oberflaeche>(*this, "Rueckpuffer", Eigentum::Geraet,
                                               Oberflaeche::Art::Rueckpuffer, rd);
  rueckpuffer_->sperrbar = (pp_.Flags & D3DPRESENTFLAG_LOCKABLE_BACKBUFFER) != 0;
  HRESULT hr = backend_->ErzeugeFlaeche(*rueckpuffer_);
  if (FAILED(hr)) return hr;
  if (pp_.EnableAutoDepthStencil) {
    const D3DSURFACE_DESC td{pp_.AutoDepthStencilFormat, D3DRTYPE_SURFACE, D3DUSAGE_DEPTHSTENCIL,
                             D3DPOOL_DEFAULT,            D3DMULTISAMPLE_NONE, 0,
                             pp_.BackBufferWidth,        pp_.BackBufferHeight};
    autoTiefe_ = std::make_unique<Oberflaeche>(*this, "Tiefenpuffer", Eigentum::Geraet,
                                               Oberflaeche::Art::Tiefe, td);
    hr = backend_->ErzeugeFlaeche(*autoTiefe_);
    if (FAILED(hr)) return hr;
  }
  return D3D_OK;
}

void Geraet::StandardZustand() {
  LoeseAlleBindungen();
  auto& rs = z_.rs;
  rs.fill(0);
  rs[D3DRS_ZENABLE] = pp_.EnableAutoDepthStencil ? D3DZB_TRUE : D3DZB_FALSE;
  rs[D3DRS_FILLMODE] = D3DFILL_SOLID;
  rs[D3DRS_SHADEMODE] = 2;  // Gouraud
  rs[D3DRS_ZWRITEENABLE] = TRUE;
  rs[D3DRS_LASTPIXEL] = TRUE;
  rs[D3DRS_SRCBLEND] = D3DBLEND_ONE;
  rs[D3DRS_DESTBLEND] = D3DBLEND_ZERO;
  rs[D3DRS_CULLMODE] = D3DCULL_CCW;
  rs[D3DRS_ZFUNC] = D3DCMP_LESSEQUAL;
  rs[D3DRS_ALPHAFUNC] = D3DCMP_ALWAYS;
  rs[D3DRS_CLIPPING] = TRUE;
  rs[D3DRS_LIGHTING] = TRUE;
  rs[D3DRS_COLORWRITEENABLE] = 0xF;
  rs[D3DRS_COLORWRITEENABLE1] = 0xF;
  rs[D3DRS_COLORWRITEENABLE2] = 0xF;
  rs[D3DRS_COLORWRITEENABLE3] = 0xF;
  rs[D3DRS_BLENDOP] = D3DBLENDOP_ADD;
  rs[D3DRS_BLENDFACTOR] = 0xFFFFFFFF;
  rs[D3DRS_SRCBLENDALPHA] = D3DBLEND_ONE;
  rs[D3DRS_DESTBLENDALPHA] = D3DBLEND_ZERO;
  rs[D3DRS_BLENDOPALPHA] = D3DBLENDOP_ADD;
  for (auto& s : z_.sampler) {
    s.fill(0);
    s[D3DSAMP_ADDRESSU] = s[D3DSAMP_ADDRESSV] = s[D3DSAMP_ADDRESSW] = D3DTADDRESS_WRAP;
    s[D3DSAMP_MAGFILTER] = s[D3DSAMP_MINFILTER] = D3DTEXF_POINT;
    s[D3DSAMP_MIPFILTER] = D3DTEXF_NONE;
    s[D3DSAMP_MAXANISOTROPY] = 1;
  }
  for (auto& s : z_.strom) s = Strom{};
  z_.vsKonst.fill(0.0f);
  z_.psKonst.fill(0.0f);
  ++z_.vsStand;
  ++z_.psStand;
  rueckpuffer_->InternAddRef();
  z_.ziel[0] = rueckpuffer_.get();
  if (autoTiefe_) {
    autoTiefe_->InternAddRef();
    z_.tiefe = autoTiefe_.get();
  }
  z_.viewport = {0, 0, pp_.BackBufferWidth, pp_.BackBufferHeight, 0.0f, 1.0f};
  szeneOffen_ = false;
}

namespace {
template <class T>
void Loese(T*& slot) {
  T* alt = slot;
  slot = nullptr;
  if (alt) alt->InternRelease();
}
}  // namespace

void Geraet::LoeseAlleBindungen() {
  for (auto& t : z_.textur) Loese(t);
  for (auto& s : z_.strom) Loese(s.puffer);
  Loese(z_.indizes);
  Loese(z_.deklaration);
  Loese(z_.vs);
  Loese(z_.ps);
  for (auto& o : z_.ziel) Loese(o);
  Loese(z_.tiefe);
}

// ---------------------------------------------------------------- references, objects

ULONG Geraet::AddRef() {
  ++zaehler_;
  if (steuerung_->protokollieren && steuerung_->zaehlerProtokollieren)
    steuerung_->Protokolliere({"", "AddRef", "", S_OK, std::to_string(zaehler_)});
  return zaehler_;
}

ULONG Geraet::Release() {
  if (zaehler_ == 0) return 0;
  const ULONG rest = zaehler_ - 1;
  if (steuerung_->protokollieren && steuerung_->zaehlerProtokollieren)
    steuerung_->Protokolliere({"", "Release", "", S_OK, std::to_string(rest)});
  Lasse();
  return rest;
}

void Geraet::Lasse() {
  if (zaehler_ > 0 && --zaehler_ == 0 && !stirbt_) delete this;
}

void Geraet::Geboren(ObjektBasis& o) {
  objekte_.insert(&o);
  steuerung_->ObjektGeboren();
}

void Geraet::Stirbt(ObjektBasis& o) {
  if (backend_) backend_->Vergiss(o);
  auto it = videoBelegung_.find(&o);
  if (it != videoBelegung_.end()) {
    steuerung_->BelegeVideospeicher(-static_cast<std::int64_t>(it->second));
    videoBelegung_.erase(it);
  }
  objekte_.erase(&o);
  steuerung_->ObjektGestorben();
}

bool Geraet::VideospeicherFrei(std::uint64_t bytes) const {
  const auto budget = steuerung_->Budget();
  return !budget || steuerung_->BelegterVideospeicher() + bytes <= *budget;
}

void Geraet::BelegeVideospeicher(ObjektBasis& o, std::uint64_t bytes) {
  videoBelegung_[&o] = bytes;
  steuerung_->BelegeVideospeicher(static_cast<std::int64_t>(bytes));
}

std::string Geraet::NeuerName(const char* art) {
  return std::string(art) + "#" + std::to_string(steuerung_->NaechsteNummer());
}

bool Geraet::Verloren() const { return steuerung_->Zustand() != Steuerung::Geraetezustand::Bereit; }

// ---------------------------------------------------------------- device calls

HRESULT Geraet::TestCooperativeLevel() {
  Vorgang v(*steuerung_, nullptr, "TestCooperativeLevel", [] { return std::string(); });
  if (v.geskriptet) return v.Ende(*v.geskriptet);
  return v.Ende(steuerung_->TesteKooperation());
}

HRESULT Geraet::GetDirect3D(IDirect3D9** ppD3D9) {
  Vorgang v(*steuerung_, nullptr, "GetDirect3D", [] { return std::string(); });
  if (v.geskriptet) return v.Ende(*v.geskriptet);
  if (!ppD3D9) return v.Ende(D3DERR_INVALIDCALL);
  d3d_->AddRef();
  *ppD3D9 = d3d_;
  return v.Ende(D3D_OK);
}

HRESULT Geraet::GetDeviceCaps(D3DCAPS9* pCaps) {
  Vorgang v(*steuerung_, nullptr, "GetDeviceCaps", [] { return std::string(); });
  if (v.geskriptet) return v.Ende(*v.geskriptet);
  if (!pCaps) return v.Ende(D3DERR_INVALIDCALL);
  *pCaps = D3DCAPS9{};
  backend_->Faehigkeiten(*pCaps);
  return v.Ende(D3D_OK);
}

HRESULT Geraet::Reset(D3DPRESENT_PARAMETERS* pPresentationParameters) {
  Vorgang v(*steuerung_, nullptr, "Reset", [&] { return Argumente(pPresentationParameters); });
  if (v.geskriptet) return v.Ende(*v.geskriptet);
  if (!pPresentationParameters) return v.Ende(D3DERR_INVALIDCALL);
  HRESULT hr = steuerung_->VersucheZuruecksetzen();
  if (FAILED(hr)) return v.Ende(hr);
  // Every default-pool resource must have been released by the caller, and so must the
  // references to the back buffer and the automatic depth surface.
  bool belegt = rueckpuffer_->ExterneReferenzen() > 0 || (autoTiefe_ && autoTiefe_->ExterneReferenzen() > 0);
  for (const auto& [o, bytes] : videoBelegung_)
    if (o->ExterneReferenzen() > 0) belegt = true;
  D3DPRESENT_PARAMETERS neu = *pPresentationParameters;
  if (belegt || FAILED(PruefeDarstellung(neu, *backend_))) {
    steuerung_->Zurueckgesetzt(false);
    return v.Ende(D3DERR_INVALIDCALL);
  }
  LoeseAlleBindungen();
  rueckpuffer_.reset();
  autoTiefe_.reset();
  pp_ = neu;
  hr = ErzeugeImpliziteFlaechen();
  if (FAILED(hr)) {
    steuerung_->Zurueckgesetzt(false);
    return v.Ende(hr);
  }
  backend_->Darstellung(pp_);
  StandardZustand();
  *pPresentationParameters = neu;
  steuerung_->Zurueckgesetzt(true);
  return v.Ende(D3D_OK);
}

HRESULT Geraet::Present(const RECT* pSourceRect, const RECT* pDestRect, HWND hDestWindowOverride,
                        const void* pDirtyRegion) {
  Vorgang v(*steuerung_, nullptr, "Present", [&] {
    return Argumente(pSourceRect, pDestRect, static_cast<const void*>(hDestWindowOverride),
                     pDirtyRegion);
  });
  if (v.geskriptet) return v.Ende(*v.geskriptet);
  if (pSourceRect || pDestRect || hDestWindowOverride || pDirtyRegion || szeneOffen_)
    return v.Ende(D3DERR_INVALIDCALL);
  if (Verloren()) return v.Ende(D3DERR_DEVICELOST);
  backend_->Praesentiere(*rueckpuffer_);
  return v.Ende(D3D_OK);
}

HRESULT Geraet::GetBackBuffer(UINT iSwapChain, UINT iBackBuffer, D3DBACKBUFFER_TYPE Type,
                              IDirect3DSurface9** ppBackBuffer) {
  Vorgang v(*steuerung_, nullptr, "GetBackBuffer",
            [&] { return Argumente(iSwapChain, iBackBuffer, Type); });
  if (v.geskriptet) return v.Ende(*v.geskriptet);
  if (!ppBackBuffer || iSwapChain != 0 || iBackBuffer >= pp_.BackBufferCount ||
      Type != D3DBACKBUFFER_TYPE_MONO)
    return v.Ende(D3DERR_INVALIDCALL);
  rueckpuffer_->ExternAddRef();
  *ppBackBuffer = rueckpuffer_.get();
  return v.Ende(D3D_OK, rueckpuffer_->name());
}

HRESULT Geraet::BeginScene() {
  Vorgang v(*steuerung_, nullptr, "BeginScene", [] { return std::string(); });
  if (v.geskriptet) return v.Ende(*v.geskriptet);
  if (szeneOffen_) return v.Ende(D3DERR_INVALIDCALL);
  szeneOffen_ = true;
  return v.Ende(D3D_OK);
}

HRESULT Geraet::EndScene() {
  Vorgang v(*steuerung_, nullptr, "EndScene", [] { return std::string(); });
  if (v.geskriptet) return v.Ende(*v.geskriptet);
  if (!szeneOffen_) return v.Ende(D3DERR_INVALIDCALL);
  szeneOffen_ = false;
  return v.Ende(D3D_OK);
}

}  // namespace Plattform::D3D9
