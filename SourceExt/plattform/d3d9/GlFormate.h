#pragma once
// How each Direct3D format is stored in OpenGL: internal format, the client format and
// type that match Direct3D's memory layout (so locked bytes go up and down unchanged),
// and the swizzle that gives missing channels Direct3D 9's values (1 for the missing
// colour channels of the 16-bit and float formats, 0 for the colour of A8).
#include <epoxy/gl.h>

#include "d3d9/d3d9typen.h"

namespace Plattform::D3D9 {

struct GlFormat {
  D3DFORMAT format;
  GLenum intern;
  GLenum daten;  // client format (0 for compressed formats)
  GLenum typ;
  GLint swizzle[4];
  bool komprimiert;
};

// Null for formats the layer does not offer.
const GlFormat* GlFormatVon(D3DFORMAT f);

}  // namespace Plattform::D3D9
