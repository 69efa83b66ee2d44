#include "Formate.h"

#include <algorithm>
#include <array>

namespace Plattform::D3D9 {
namespace {

//                     format                  bytes block  tiefe  textur ziel   auto   anzeige
constexpr std::array<FormatInfo, 22> kFormate{{
    {D3DFMT_A8R8G8B8, 4, false, false, true, true, true, true},
    {D3DFMT_X8R8G8B8, 4, false, false, true, true, true, true},
    {D3DFMT_R5G6B5, 2, false, false, true, true, true, true},
    {D3DFMT_A8, 1, false, false, true, false, true, false},
    {D3DFMT_A2B10G10R10, 4, false, false, true, true, true, false},
    {D3DFMT_G16R16, 4, false, false, true, true, true, false},
    {D3DFMT_A16B16G16R16, 8, false, false, true, true, true, false},
    {D3DFMT_R16F, 2, false, false, true, true, true, false},
    {D3DFMT_G16R16F, 4, false, false, true, true, true, false},
    {D3DFMT_A16B16G16R16F, 8, false, false, true, true, true, false},
    {D3DFMT_R32F, 4, false, false, true, true, false, false},
    {D3DFMT_G32R32F, 8, false, false, true, true, false, false},
    {D3DFMT_A32B32G32R32F, 16, false, false, true, true, false, false},
    {D3DFMT_DXT1, 8, true, false, true, false, false, false},
    {D3DFMT_DXT3, 16, true, false, true, false, false, false},
    {D3DFMT_DXT5, 16, true, false, true, false, false, false},
    {D3DFMT_D16, 2, false, true, false, false, false, false},
    {D3DFMT_D24X8, 4, false, true, false, false, false, false},
    {D3DFMT_D24S8, 4, false, true, false, false, false, false},
    {D3DFMT_D32, 4, false, true, false, false, false, false},
    {D3DFMT_INDEX16, 2, false, false, false, false, false, false},
    {D3DFMT_INDEX32, 4, false, false, false, false, false, false},
}};

}  // namespace

const FormatInfo* Format(D3DFORMAT f) {
  for (const auto& i : kFormate)
    if (i.format == f) return &i;
  return nullptr;
}

UINT ZeilenBytes(const FormatInfo& f, UINT breite) {
  return f.block ? std::max(1u, (breite + 3) / 4) * f.bytes : breite * f.bytes;
}

UINT Zeilen(const FormatInfo& f, UINT hoehe) { return f.block ? std::max(1u, (hoehe + 3) / 4) : hoehe; }

std::uint64_t EbenenBytes(const FormatInfo& f, UINT breite, UINT hoehe) {
  return static_cast<std::uint64_t>(ZeilenBytes(f, breite)) * Zeilen(f, hoehe);
}

UINT VolleKette(UINT breite, UINT hoehe) {
  UINT n = 1;
  for (UINT g = std::max(breite, hoehe); g > 1; g >>= 1) ++n;
  return n;
}

UINT DeklTypBytes(BYTE typ) {
  switch (typ) {
    case D3DDECLTYPE_FLOAT1:
    case D3DDECLTYPE_D3DCOLOR:
    case D3DDECLTYPE_UBYTE4:
    case D3DDECLTYPE_SHORT2:
    case D3DDECLTYPE_UBYTE4N:
    case D3DDECLTYPE_SHORT2N:
    case D3DDECLTYPE_USHORT2N:
    case D3DDECLTYPE_UDEC3:
    case D3DDECLTYPE_DEC3N:
    case D3DDECLTYPE_FLOAT16_2:
      return 4;
    case D3DDECLTYPE_FLOAT2:
    case D3DDECLTYPE_SHORT4:
    case D3DDECLTYPE_SHORT4N:
    case D3DDECLTYPE_USHORT4N:
    case D3DDECLTYPE_FLOAT16_4:
      return 8;
    case D3DDECLTYPE_FLOAT3:
      return 12;
    case D3DDECLTYPE_FLOAT4:
      return 16;
    default:
      return 0;
  }
}

HRESULT PruefeFormat(D3DFORMAT adapterFormat, DWORD usage, D3DRESOURCETYPE typ, D3DFORMAT f) {
  if (adapterFormat != D3DFMT_X8R8G8B8 && adapterFormat != D3DFMT_R5G6B5) return D3DERR_INVALIDCALL;
  const FormatInfo* i = Format(f);
  if (!i || f == D3DFMT_INDEX16 || f == D3DFMT_INDEX32) return D3DERR_NOTAVAILABLE;
  const bool tex = typ == D3DRTYPE_TEXTURE || typ == D3DRTYPE_CUBETEXTURE;
  if (typ != D3DRTYPE_SURFACE && !tex) return D3DERR_NOTAVAILABLE;
  if (usage & D3DUSAGE_DEPTHSTENCIL) {
    if (!i->tiefe || tex) return D3DERR_NOTAVAILABLE;
  } else if (i->tiefe) {
    return D3DERR_NOTAVAILABLE;
  }
  if (tex && !i->textur) return D3DERR_NOTAVAILABLE;
  if ((usage & D3DUSAGE_RENDERTARGET) && !i->ziel) return D3DERR_NOTAVAILABLE;
  if ((usage & D3DUSAGE_AUTOGENMIPMAP) && !i->mipsAuto) return D3DOK_NOAUTOGEN;
  return D3D_OK;
}

}  // namespace Plattform::D3D9
