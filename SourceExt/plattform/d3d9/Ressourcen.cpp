#include "Ressourcen.h"

#include <cstring>
#include <new>

#include "Geraet.h"
#include "Protokoll.h"

namespace Plattform::D3D9 {

// ---------------------------------------------------------------- buffers

Puffer::Puffer(Geraet& g, std::string name, UINT laenge, DWORD usage, D3DFORMAT format, DWORD fvf)
    : ObjektBasis(g, std::move(name)), laenge(laenge), usage(usage), format(format), fvf(fvf) {}

Puffer::~Puffer() = default;

HRESULT Puffer::Sperre(UINT offset, UINT groesse, void** daten, DWORD flags) {
  if (!daten || gesperrt) return D3DERR_INVALIDCALL;
  if (groesse == 0) {
    if (offset > laenge) return D3DERR_INVALIDCALL;
    groesse = laenge - offset;
  }
  if (offset > laenge || groesse > laenge - offset) return D3DERR_INVALIDCALL;
  // Discarding and not-overwriting are promises only dynamic buffers can make.
  if (!(usage & D3DUSAGE_DYNAMIC)) flags &= ~(D3DLOCK_DISCARD | D3DLOCK_NOOVERWRITE);
  void* p = geraet().backend().SperrePuffer(*this, offset, groesse, flags);
  if (!p) return D3DERR_INVALIDCALL;
  *daten = p;
  gesperrt = true;
  return D3D_OK;
}

HRESULT Puffer::Entsperre() {
  if (!gesperrt) return D3DERR_INVALIDCALL;
  geraet().backend().EntsperrePuffer(*this);
  gesperrt = false;
  return D3D_OK;
}

namespace {
template <class F>
Vorgang Beginne(ObjektBasis& o, const char* methode, F&& argumente) {
  return Vorgang(o.geraet().steuerung(), &o.name(), methode, std::forward<F>(argumente));
}
}  // namespace

HRESULT VertexPuffer::Lock(UINT OffsetToLock, UINT SizeToLock, void** ppbData, DWORD Flags) {
  auto v = Beginne(*this, "Lock", [&] { return Argumente(OffsetToLock, SizeToLock, Hex{Flags}); });
  if (v.geskriptet) return v.Ende(*v.geskriptet);
  return v.Ende(Sperre(OffsetToLock, SizeToLock, ppbData, Flags));
}

HRESULT VertexPuffer::Unlock() {
  auto v = Beginne(*this, "Unlock", [] { return std::string(); });
  if (v.geskriptet) return v.Ende(*v.geskriptet);
  return v.Ende(Entsperre());
}

HRESULT VertexPuffer::GetDesc(D3DVERTEXBUFFER_DESC* pDesc) {
  Vorgang v(geraet().steuerung(), &name(), "GetDesc", [] { return std::string(); });
  if (v.geskriptet) return v.Ende(*v.geskriptet);
  if (!pDesc) return v.Ende(D3DERR_INVALIDCALL);
  *pDesc = {D3DFMT_VERTEXDATA, D3DRTYPE_VERTEXBUFFER, usage, D3DPOOL_DEFAULT, laenge, fvf};
  return v.Ende(D3D_OK);
}

HRESULT IndexPuffer::Lock(UINT OffsetToLock, UINT SizeToLock, void** ppbData, DWORD Flags) {
  auto v = Beginne(*this, "Lock", [&] { return Argumente(OffsetToLock, SizeToLock, Hex{Flags}); });
  if (v.geskriptet) return v.Ende(*v.geskriptet);
  return v.Ende(Sperre(OffsetToLock, SizeToLock, ppbData, Flags));
}

HRESULT IndexPuffer::Unlock() {
  auto v = Beginne(*this, "Unlock", [] { return std::string(); });
  if (v.geskriptet) return v.Ende(*v.geskriptet);
  return v.Ende(Entsperre());
}

HRESULT IndexPuffer::GetDesc(D3DINDEXBUFFER_DESC* pDesc) {
  Vorgang v(geraet().steuerung(), &name(), "GetDesc", [] { return std::string(); });
  if (v.geskriptet) return v.Ende(*v.geskriptet);
  if (!pDesc) return v.Ende(D3DERR_INVALIDCALL);
  *pDesc = {format, D3DRTYPE_INDEXBUFFER, usage, D3DPOOL_DEFAULT, laenge};
  return v.Ende(D3D_OK);
}

// ---------------------------------------------------------------- surfaces

Oberflaeche::Oberflaeche(Geraet& g, std::string name, Eigentum eigentum, Art art,
                         const D3DSURFACE_DESC& desc, TexturBasis* textur, UINT ebene, UINT seite)
    : Schnittstelle(g, std::move(name), eigentum, textur),
      art(art),
      desc(desc),
      textur(textur),
      ebene(ebene),
      seite(seite),
      fmt_(Format(desc.Format)) {}

Oberflaeche::~Oberflaeche() = default;

HRESULT Oberflaeche::GetDesc(D3DSURFACE_DESC* pDesc) {
  Vorgang v(geraet().steuerung(), &name(), "GetDesc", [] { return std::string(); });
  if (v.geskriptet) return v.Ende(*v.geskriptet);
  if (!pDesc) return v.Ende(D3DERR_INVALIDCALL);
  *pDesc = desc;
  return v.Ende(D3D_OK);
}

bool Oberflaeche::RechteckGueltig(const RECT& r) const {
  if (r.left < 0 || r.top < 0 || r.left >= r.right || r.top >= r.bottom) return false;
  if (static_cast<UINT>(r.right) > desc.Width || static_cast<UINT>(r.bottom) > desc.Height) return false;
  if (fmt_->block) {
    auto passt = [](LONG v, UINT rand) { return v % 4 == 0 || static_cast<UINT>(v) == rand; };
    if (r.left % 4 || r.top % 4 || !passt(r.right, desc.Width) || !passt(r.bottom, desc.Height))
      return false;
  }
  return true;
}

HRESULT Oberflaeche::Sperre(D3DLOCKED_RECT* pLockedRect, const RECT* pRect, DWORD Flags) {
  if (!pLockedRect || gesperrt_) return D3DERR_INVALIDCALL;
  switch (art) {
    case Art::Systemspeicher:
      break;
    case Art::Rueckpuffer:
      if (!sperrbar) return D3DERR_INVALIDCALL;
      break;
    case Art::Tiefe:
      return D3DERR_INVALIDCALL;  // no lockable depth formats
    case Art::Ebene:
      // Default-pool textures can be locked only when they are dynamic.
      if (!(desc.Usage & D3DUSAGE_DYNAMIC)) return D3DERR_INVALIDCALL;
      break;
  }
  RECT r = pRect ? *pRect : RECT{0, 0, static_cast<LONG>(desc.Width), static_cast<LONG>(desc.Height)};
  if (!RechteckGueltig(r)) return D3DERR_INVALIDCALL;

  const FormatInfo& f = *fmt_;
  if (art == Art::Systemspeicher) {
    const UINT pitch = ZeilenBytes(f, desc.Width);
    const UINT x = f.block ? static_cast<UINT>(r.left) / 4 * f.bytes : static_cast<UINT>(r.left) * f.bytes;
    const UINT y = f.block ? static_cast<UINT>(r.top) / 4 : static_cast<UINT>(r.top);
    pLockedRect->pBits = speicher.data() + static_cast<std::size_t>(y) * pitch + x;
    pLockedRect->Pitch = static_cast<INT>(pitch);
  } else {
    const UINT w = static_cast<UINT>(r.right - r.left), h = static_cast<UINT>(r.bottom - r.top);
    zwischenPitch_ = ZeilenBytes(f, w);
    try {
      zwischen_.assign(static_cast<std::size_t>(zwischenPitch_) * Zeilen(f, h), 0);
    } catch (const std::bad_alloc&) {
      return E_OUTOFMEMORY;
    }
    if (!(Flags & D3DLOCK_DISCARD)) geraet().backend().LiesFlaeche(*this, r, zwischen_.data(), zwischenPitch_);
    pLockedRect->pBits = zwischen_.data();
    pLockedRect->Pitch = static_cast<INT>(zwischenPitch_);
  }
  gesperrt_ = true;
  sperrRechteck_ = r;
  sperrFlags_ = Flags;
  return D3D_OK;
}

HRESULT Oberflaeche::Entsperre() {
  if (!gesperrt_) return D3DERR_INVALIDCALL;
  gesperrt_ = false;
  if (art == Art::Systemspeicher) return D3D_OK;
  if (!(sperrFlags_ & D3DLOCK_READONLY)) {
    geraet().backend().SchreibeFlaeche(*this, sperrRechteck_, zwischen_.data(), zwischenPitch_);
    if (art == Art::Ebene && ebene == 0 && textur->MipsAutomatisch()) textur->mipsVeraltet = true;
  }
  std::vector<std::uint8_t>().swap(zwischen_);
  return D3D_OK;
}

HRESULT Oberflaeche::LockRect(D3DLOCKED_RECT* pLockedRect, const RECT* pRect, DWORD Flags) {
  auto v = Beginne(*this, "LockRect", [&] { return Argumente(pRect, Hex{Flags}); });
  if (v.geskriptet) return v.Ende(*v.geskriptet);
  return v.Ende(Sperre(pLockedRect, pRect, Flags));
}

HRESULT Oberflaeche::UnlockRect() {
  auto v = Beginne(*this, "UnlockRect", [] { return std::string(); });
  if (v.geskriptet) return v.Ende(*v.geskriptet);
  return v.Ende(Entsperre());
}

// ---------------------------------------------------------------- textures

TexturBasis::TexturBasis(Geraet& g, std::string name, bool wuerfel, UINT breite, UINT hoehe,
                         UINT ebenen, DWORD usage, D3DFORMAT format)
    : ObjektBasis(g, std::move(name)),
      wuerfel(wuerfel),
      breite(breite),
      hoehe(hoehe),
      ebenen((usage & D3DUSAGE_AUTOGENMIPMAP) ? 1 : ebenen),
      ebenenIntern((usage & D3DUSAGE_AUTOGENMIPMAP) ? VolleKette(breite, hoehe) : ebenen),
      usage(usage),
      format(format),
      fmt(Format(format)) {}

TexturBasis::~TexturBasis() = default;

void TexturBasis::ErzeugeFlaechen() {
  static const char* const kSeiten[] = {"+X", "-X", "+Y", "-Y", "+Z", "-Z"};
  const UINT seiten = wuerfel ? 6 : 1;
  for (UINT s = 0; s < seiten; ++s) {
    for (UINT e = 0; e < ebenen; ++e) {
      D3DSURFACE_DESC d{};
      EbenenBeschreibung(e, &d);
      std::string n = name() + "[" + (wuerfel ? std::string(kSeiten[s]) + "," : std::string()) +
                      std::to_string(e) + "]";
      flaechen.push_back(std::make_unique<Oberflaeche>(geraet(), std::move(n), Eigentum::Behaelter,
                                                       Oberflaeche::Art::Ebene, d, this, e, s));
    }
  }
}

std::uint64_t TexturBasis::Bytes(const FormatInfo& f, UINT breite, UINT hoehe, UINT ebenen,
                                 bool wuerfel) {
  std::uint64_t n = 0;
  for (UINT e = 0; e < ebenen; ++e)
    n += EbenenBytes(f, breite >> e ? breite >> e : 1, hoehe >> e ? hoehe >> e : 1);
  return wuerfel ? n * 6 : n;
}

HRESULT TexturBasis::EbenenBeschreibung(UINT ebene, D3DSURFACE_DESC* pDesc) const {
  if (!pDesc || ebene >= ebenen) return D3DERR_INVALIDCALL;
  *pDesc = {format,          D3DRTYPE_SURFACE,   usage, D3DPOOL_DEFAULT, D3DMULTISAMPLE_NONE, 0,
            EbenenBreite(ebene), EbenenHoehe(ebene)};
  return D3D_OK;
}

// The sublevels are made when a draw next reads the texture: callers that ask after
// every change of level 0 pay once, and a texture not drawn yet (a font of a hidden
// console) not before it is. Only the device reads sublevels of such a texture.
void TexturBasis::MipsErzeugen() {
  if (MipsAutomatisch()) mipsVeraltet = true;
}

DWORD Textur::GetLevelCount() {
  Beginne(*this, "GetLevelCount", [] { return std::string(); }).Ende(D3D_OK, std::to_string(ebenen));
  return ebenen;
}

void Textur::GenerateMipSubLevels() {
  auto v = Beginne(*this, "GenerateMipSubLevels", [] { return std::string(); });
  MipsErzeugen();
  v.Ende(D3D_OK);
}

HRESULT Textur::GetLevelDesc(UINT Level, D3DSURFACE_DESC* pDesc) {
  auto v = Beginne(*this, "GetLevelDesc", [&] { return Argumente(Level); });
  if (v.geskriptet) return v.Ende(*v.geskriptet);
  return v.Ende(EbenenBeschreibung(Level, pDesc));
}

HRESULT Textur::GetSurfaceLevel(UINT Level, IDirect3DSurface9** ppSurfaceLevel) {
  auto v = Beginne(*this, "GetSurfaceLevel", [&] { return Argumente(Level); });
  if (v.geskriptet) return v.Ende(*v.geskriptet);
  if (!ppSurfaceLevel || Level >= ebenen) return v.Ende(D3DERR_INVALIDCALL);
  Oberflaeche* o = Flaeche(0, Level);
  o->ExternAddRef();
  *ppSurfaceLevel = o;
  return v.Ende(D3D_OK, o->name());
}

HRESULT Textur::LockRect(UINT Level, D3DLOCKED_RECT* pLockedRect, const RECT* pRect, DWORD Flags) {
  auto v = Beginne(*this, "LockRect", [&] { return Argumente(Level, pRect, Hex{Flags}); });
  if (v.geskriptet) return v.Ende(*v.geskriptet);
  if (Level >= ebenen) return v.Ende(D3DERR_INVALIDCALL);
  return v.Ende(Flaeche(0, Level)->Sperre(pLockedRect, pRect, Flags));
}

HRESULT Textur::UnlockRect(UINT Level) {
  auto v = Beginne(*this, "UnlockRect", [&] { return Argumente(Level); });
  if (v.geskriptet) return v.Ende(*v.geskriptet);
  if (Level >= ebenen) return v.Ende(D3DERR_INVALIDCALL);
  return v.Ende(Flaeche(0, Level)->Entsperre());
}

DWORD Wuerfeltextur::GetLevelCount() {
  Beginne(*this, "GetLevelCount", [] { return std::string(); }).Ende(D3D_OK, std::to_string(ebenen));
  return ebenen;
}

void Wuerfeltextur::GenerateMipSubLevels() {
  auto v = Beginne(*this, "GenerateMipSubLevels", [] { return std::string(); });
  MipsErzeugen();
  v.Ende(D3D_OK);
}

HRESULT Wuerfeltextur::GetLevelDesc(UINT Level, D3DSURFACE_DESC* pDesc) {
  auto v = Beginne(*this, "GetLevelDesc", [&] { return Argumente(Level); });
  if (v.geskriptet) return v.Ende(*v.geskriptet);
  return v.Ende(EbenenBeschreibung(Level, pDesc));
}

HRESULT Wuerfeltextur::GetCubeMapSurface(D3DCUBEMAP_FACES FaceType, UINT Level,
                                         IDirect3DSurface9** ppCubeMapSurface) {
  auto v = Beginne(*this, "GetCubeMapSurface", [&] { return Argumente(FaceType, Level); });
  if (v.geskriptet) return v.Ende(*v.geskriptet);
  if (!ppCubeMapSurface || FaceType > D3DCUBEMAP_FACE_NEGATIVE_Z || Level >= ebenen)
    return v.Ende(D3DERR_INVALIDCALL);
  Oberflaeche* o = Flaeche(FaceType, Level);
  o->ExternAddRef();
  *ppCubeMapSurface = o;
  return v.Ende(D3D_OK, o->name());
}

HRESULT Wuerfeltextur::LockRect(D3DCUBEMAP_FACES FaceType, UINT Level, D3DLOCKED_RECT* pLockedRect,
                                const RECT* pRect, DWORD Flags) {
  auto v = Beginne(*this, "LockRect", [&] { return Argumente(FaceType, Level, pRect, Hex{Flags}); });
  if (v.geskriptet) return v.Ende(*v.geskriptet);
  if (FaceType > D3DCUBEMAP_FACE_NEGATIVE_Z || Level >= ebenen) return v.Ende(D3DERR_INVALIDCALL);
  return v.Ende(Flaeche(FaceType, Level)->Sperre(pLockedRect, pRect, Flags));
}

HRESULT Wuerfeltextur::UnlockRect(D3DCUBEMAP_FACES FaceType, UINT Level) {
  auto v = Beginne(*this, "UnlockRect", [&] { return Argumente(FaceType, Level); });
  if (v.geskriptet) return v.Ende(*v.geskriptet);
  if (FaceType > D3DCUBEMAP_FACE_NEGATIVE_Z || Level >= ebenen) return v.Ende(D3DERR_INVALIDCALL);
  return v.Ende(Flaeche(FaceType, Level)->Entsperre());
}

// ---------------------------------------------------------------- declarations, shaders

HRESULT Deklaration::GetDeclaration(D3DVERTEXELEMENT9* pElement, UINT* pNumElements) {
  Vorgang v(geraet().steuerung(), &name(), "GetDeclaration", [] { return std::string(); });
  if (v.geskriptet) return v.Ende(*v.geskriptet);
  if (!pNumElements) return v.Ende(D3DERR_INVALIDCALL);
  const UINT n = static_cast<UINT>(elemente.size()) + 1;
  if (pElement) {
    std::memcpy(pElement, elemente.data(), elemente.size() * sizeof(D3DVERTEXELEMENT9));
    pElement[n - 1] = D3DVERTEXELEMENT9 D3DDECL_END();
  }
  *pNumElements = n;
  return v.Ende(D3D_OK);
}

HRESULT ShaderBasis::GibCode(void* pData, UINT* pSizeOfData, const char* methode) {
  auto v = Beginne(*this, methode, [] { return std::string(); });
  if (v.geskriptet) return v.Ende(*v.geskriptet);
  if (!pSizeOfData) return v.Ende(D3DERR_INVALIDCALL);
  if (pData) {
    if (*pSizeOfData < code.size()) return v.Ende(D3DERR_INVALIDCALL);
    std::memcpy(pData, code.data(), code.size());
  }
  *pSizeOfData = static_cast<UINT>(code.size());
  return v.Ende(D3D_OK);
}

}  // namespace Plattform::D3D9
