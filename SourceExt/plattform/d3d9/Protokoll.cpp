#include "Protokoll.h"

#include <cstdio>

#include "Objekt.h"

namespace Plattform::D3D9 {
namespace {

template <class T>
struct Name {
  T wert;
  const char* text;
};

template <class T, std::size_t N>
std::string Suche(const Name<T> (&tabelle)[N], T v) {
  for (const auto& n : tabelle)
    if (n.wert == v) return n.text;
  return std::to_string(static_cast<unsigned long long>(v));
}

#define N(x) {x, #x}
constexpr Name<D3DFORMAT> kFormate[] = {
    N(D3DFMT_UNKNOWN),       N(D3DFMT_A8R8G8B8),      N(D3DFMT_X8R8G8B8),  N(D3DFMT_R5G6B5),
    N(D3DFMT_A8),            N(D3DFMT_A2B10G10R10),   N(D3DFMT_G16R16),    N(D3DFMT_A16B16G16R16),
    N(D3DFMT_R16F),          N(D3DFMT_G16R16F),       N(D3DFMT_A16B16G16R16F), N(D3DFMT_R32F),
    N(D3DFMT_G32R32F),       N(D3DFMT_A32B32G32R32F), N(D3DFMT_DXT1),      N(D3DFMT_DXT3),
    N(D3DFMT_DXT5),          N(D3DFMT_D16),           N(D3DFMT_D24X8),     N(D3DFMT_D24S8),
    N(D3DFMT_D32),           N(D3DFMT_INDEX16),       N(D3DFMT_INDEX32),   N(D3DFMT_X1R5G5B5),
    N(D3DFMT_A1R5G5B5),      N(D3DFMT_A4R4G4B4),      N(D3DFMT_L8),        N(D3DFMT_R8G8B8),
};
constexpr Name<D3DPOOL> kPools[] = {N(D3DPOOL_DEFAULT), N(D3DPOOL_MANAGED), N(D3DPOOL_SYSTEMMEM),
                                    N(D3DPOOL_SCRATCH)};
constexpr Name<D3DRENDERSTATETYPE> kRenderStates[] = {
    N(D3DRS_ZENABLE),          N(D3DRS_FILLMODE),          N(D3DRS_SHADEMODE),
    N(D3DRS_ZWRITEENABLE),     N(D3DRS_ALPHATESTENABLE),   N(D3DRS_LASTPIXEL),
    N(D3DRS_SRCBLEND),         N(D3DRS_DESTBLEND),         N(D3DRS_CULLMODE),
    N(D3DRS_ZFUNC),            N(D3DRS_ALPHAREF),          N(D3DRS_ALPHAFUNC),
    N(D3DRS_DITHERENABLE),     N(D3DRS_ALPHABLENDENABLE),  N(D3DRS_FOGENABLE),
    N(D3DRS_SPECULARENABLE),   N(D3DRS_STENCILENABLE),     N(D3DRS_CLIPPING),
    N(D3DRS_LIGHTING),         N(D3DRS_COLORWRITEENABLE),  N(D3DRS_BLENDOP),
    N(D3DRS_SCISSORTESTENABLE), N(D3DRS_SLOPESCALEDEPTHBIAS), N(D3DRS_COLORWRITEENABLE1),
    N(D3DRS_COLORWRITEENABLE2), N(D3DRS_COLORWRITEENABLE3), N(D3DRS_BLENDFACTOR),
    N(D3DRS_SRGBWRITEENABLE),  N(D3DRS_DEPTHBIAS),         N(D3DRS_SEPARATEALPHABLENDENABLE),
    N(D3DRS_SRCBLENDALPHA),    N(D3DRS_DESTBLENDALPHA),    N(D3DRS_BLENDOPALPHA),
};
constexpr Name<D3DSAMPLERSTATETYPE> kSamplerStates[] = {
    N(D3DSAMP_ADDRESSU),   N(D3DSAMP_ADDRESSV),     N(D3DSAMP_ADDRESSW),
    N(D3DSAMP_BORDERCOLOR), N(D3DSAMP_MAGFILTER),   N(D3DSAMP_MINFILTER),
    N(D3DSAMP_MIPFILTER),  N(D3DSAMP_MIPMAPLODBIAS), N(D3DSAMP_MAXMIPLEVEL),
    N(D3DSAMP_MAXANISOTROPY), N(D3DSAMP_SRGBTEXTURE), N(D3DSAMP_ELEMENTINDEX),
    N(D3DSAMP_DMAPOFFSET),
};
constexpr Name<D3DPRIMITIVETYPE> kPrimitive[] = {N(D3DPT_POINTLIST),    N(D3DPT_LINELIST),
                                                 N(D3DPT_LINESTRIP),    N(D3DPT_TRIANGLELIST),
                                                 N(D3DPT_TRIANGLESTRIP), N(D3DPT_TRIANGLEFAN)};
constexpr Name<D3DCUBEMAP_FACES> kSeiten[] = {
    N(D3DCUBEMAP_FACE_POSITIVE_X), N(D3DCUBEMAP_FACE_NEGATIVE_X), N(D3DCUBEMAP_FACE_POSITIVE_Y),
    N(D3DCUBEMAP_FACE_NEGATIVE_Y), N(D3DCUBEMAP_FACE_POSITIVE_Z), N(D3DCUBEMAP_FACE_NEGATIVE_Z)};
constexpr Name<D3DDEVTYPE> kGeraetetypen[] = {N(D3DDEVTYPE_HAL), N(D3DDEVTYPE_REF), N(D3DDEVTYPE_SW),
                                              N(D3DDEVTYPE_NULLREF)};
constexpr Name<D3DRESOURCETYPE> kRessourcen[] = {
    N(D3DRTYPE_SURFACE),      N(D3DRTYPE_VOLUME),       N(D3DRTYPE_TEXTURE),
    N(D3DRTYPE_VOLUMETEXTURE), N(D3DRTYPE_CUBETEXTURE), N(D3DRTYPE_VERTEXBUFFER),
    N(D3DRTYPE_INDEXBUFFER)};
constexpr Name<D3DBACKBUFFER_TYPE> kPuffertypen[] = {
    N(D3DBACKBUFFER_TYPE_MONO), N(D3DBACKBUFFER_TYPE_LEFT), N(D3DBACKBUFFER_TYPE_RIGHT)};
constexpr Name<HRESULT> kErgebnisse[] = {
    N(D3D_OK),
    N(S_FALSE),
    N(E_FAIL),
    N(E_NOTIMPL),
    N(E_NOINTERFACE),
    N(E_POINTER),
    N(E_OUTOFMEMORY),
    N(E_INVALIDARG),
    N(D3DERR_WRONGTEXTUREFORMAT),
    N(D3DERR_UNSUPPORTEDTEXTUREFILTER),
    N(D3DERR_DRIVERINTERNALERROR),
    N(D3DERR_OUTOFVIDEOMEMORY),
    N(D3DERR_WASSTILLDRAWING),
    N(D3DERR_NOTFOUND),
    N(D3DERR_MOREDATA),
    N(D3DERR_DEVICELOST),
    N(D3DERR_DEVICENOTRESET),
    N(D3DERR_NOTAVAILABLE),
    N(D3DERR_INVALIDDEVICE),
    N(D3DERR_INVALIDCALL),
    N(D3DOK_NOAUTOGEN),
};
#undef N

}  // namespace

std::string ErgebnisName(HRESULT hr) {
  for (const auto& n : kErgebnisse)
    if (n.wert == hr) return n.text;
  char b[16];
  std::snprintf(b, sizeof b, "0x%08X", static_cast<unsigned>(hr));
  return b;
}

std::string FormatName(D3DFORMAT f) { return Suche(kFormate, f); }

std::string Arg(UINT v) { return std::to_string(v); }
std::string Arg(INT v) { return std::to_string(v); }
std::string Arg(float v) {
  char b[32];
  std::snprintf(b, sizeof b, "%g", static_cast<double>(v));
  return b;
}
std::string Arg(Hex v) {
  char b[16];
  std::snprintf(b, sizeof b, "0x%X", static_cast<unsigned>(v.wert));
  return b;
}
std::string Arg(D3DFORMAT v) { return Suche(kFormate, v); }
std::string Arg(D3DPOOL v) { return Suche(kPools, v); }
std::string Arg(D3DRENDERSTATETYPE v) { return Suche(kRenderStates, v); }
std::string Arg(D3DSAMPLERSTATETYPE v) { return Suche(kSamplerStates, v); }
std::string Arg(D3DPRIMITIVETYPE v) { return Suche(kPrimitive, v); }
std::string Arg(D3DCUBEMAP_FACES v) { return Suche(kSeiten, v); }
std::string Arg(D3DDEVTYPE v) { return Suche(kGeraetetypen, v); }
std::string Arg(D3DRESOURCETYPE v) { return Suche(kRessourcen, v); }
std::string Arg(D3DBACKBUFFER_TYPE v) { return Suche(kPuffertypen, v); }
std::string Arg(D3DMULTISAMPLE_TYPE v) { return std::to_string(static_cast<unsigned>(v)); }

std::string Arg(const RECT* r) {
  if (!r) return "null";
  return "{" + std::to_string(r->left) + ", " + std::to_string(r->top) + ", " +
         std::to_string(r->right) + ", " + std::to_string(r->bottom) + "}";
}
std::string Arg(const POINT* p) {
  if (!p) return "null";
  return "{" + std::to_string(p->x) + ", " + std::to_string(p->y) + "}";
}
std::string Arg(const D3DVIEWPORT9* v) {
  if (!v) return "null";
  return "{" + std::to_string(v->X) + ", " + std::to_string(v->Y) + ", " + std::to_string(v->Width) +
         ", " + std::to_string(v->Height) + ", " + Arg(v->MinZ) + ", " + Arg(v->MaxZ) + "}";
}
std::string Arg(const D3DPRESENT_PARAMETERS* pp) {
  if (!pp) return "null";
  return "{" + std::to_string(pp->BackBufferWidth) + "x" + std::to_string(pp->BackBufferHeight) +
         " " + Arg(pp->BackBufferFormat) + ", windowed " + std::to_string(pp->Windowed) +
         ", depth " + (pp->EnableAutoDepthStencil ? Arg(pp->AutoDepthStencilFormat) : "none") +
         ", flags " + Arg(Hex{pp->Flags}) + ", interval " + Arg(Hex{pp->PresentationInterval}) +
         ", refresh " + std::to_string(pp->FullScreen_RefreshRateInHz) + "}";
}
std::string Arg(const ObjektBasis* o) { return o ? o->name() : "null"; }
std::string Arg(const IUnknown* o) {
  if (!o) return "null";
  const auto* b = dynamic_cast<const ObjektBasis*>(o);
  return b ? b->name() : "fremd";
}
std::string Arg(const void* p) { return p ? "ptr" : "null"; }
std::string Arg(const char* s) { return s ? s : "null"; }
std::string Arg(const std::string& s) { return s; }

std::string Aufruf::Text() const {
  std::string t;
  if (!objekt.empty()) t = objekt + ".";
  t += methode + "(" + argumente + ") = " + ErgebnisName(ergebnis);
  if (!ausgabe.empty()) t += " -> " + ausgabe;
  return t;
}

}  // namespace Plattform::D3D9
