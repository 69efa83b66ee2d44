#pragma once
// What the layer knows of each Direct3D format: memory layout and what it may be used
// for. Both backends share it, so both accept and refuse the same resources.
#include <cstdint>

#include "d3d9/d3d9typen.h"

namespace Plattform::D3D9 {

struct FormatInfo {
  D3DFORMAT format = D3DFMT_UNKNOWN;
  UINT bytes = 0;        // per pixel, or per 4x4 block for block formats
  bool block = false;    // DXT
  bool tiefe = false;    // depth (and stencil) format
  bool textur = false;   // may be a texture or cube texture
  bool ziel = false;     // may be a render target
  bool mipsAuto = false; // may carry D3DUSAGE_AUTOGENMIPMAP
  bool anzeige = false;  // may be a back buffer
};

// Null for formats the layer does not offer.
const FormatInfo* Format(D3DFORMAT f);

// Bytes of one row of the given width (block rows for DXT) and rows of the given height.
UINT ZeilenBytes(const FormatInfo& f, UINT breite);
UINT Zeilen(const FormatInfo& f, UINT hoehe);

// Size of a whole mip level in bytes.
std::uint64_t EbenenBytes(const FormatInfo& f, UINT breite, UINT hoehe);

// Number of mip levels down to 1x1.
UINT VolleKette(UINT breite, UINT hoehe);

// Bytes of one vertex element of a D3DDECLTYPE; 0 for an unknown type.
UINT DeklTypBytes(BYTE typ);

// CheckDeviceFormat's answer for a format, usage and resource type.
HRESULT PruefeFormat(D3DFORMAT adapterFormat, DWORD usage, D3DRESOURCETYPE typ, D3DFORMAT f);

}  // namespace Plattform::D3D9
