#include "GlFormate.h"

#include <array>

namespace Plattform::D3D9 {
namespace {

constexpr GLint R = GL_RED, G = GL_GREEN, B = GL_BLUE, A = GL_ALPHA, EINS = GL_ONE, NULL_ = GL_ZERO;

const std::array<GlFormat, 20> kFormate{{
    // A8R8G8B8 is B, G, R, A in memory.
    {D3DFMT_A8R8G8B8, GL_RGBA8, GL_BGRA, GL_UNSIGNED_BYTE, {R, G, B, A}, false},
    // The X byte is kept at 255 (alpha writes are masked), so it reads as opaque.
    {D3DFMT_X8R8G8B8, GL_RGBA8, GL_BGRA, GL_UNSIGNED_BYTE, {R, G, B, EINS}, false},
    {D3DFMT_R5G6B5, GL_RGB565, GL_RGB, GL_UNSIGNED_SHORT_5_6_5, {R, G, B, EINS}, false},
    {D3DFMT_A8, GL_R8, GL_RED, GL_UNSIGNED_BYTE, {NULL_, NULL_, NULL_, R}, false},
    {D3DFMT_A2B10G10R10, GL_RGB10_A2, GL_RGBA, GL_UNSIGNED_INT_2_10_10_10_REV, {R, G, B, A}, false},
    {D3DFMT_G16R16, GL_RG16, GL_RG, GL_UNSIGNED_SHORT, {R, G, EINS, EINS}, false},
    {D3DFMT_A16B16G16R16, GL_RGBA16, GL_RGBA, GL_UNSIGNED_SHORT, {R, G, B, A}, false},
    {D3DFMT_R16F, GL_R16F, GL_RED, GL_HALF_FLOAT, {R, EINS, EINS, EINS}, false},
    {D3DFMT_G16R16F, GL_RG16F, GL_RG, GL_HALF_FLOAT, {R, G, EINS, EINS}, false},
    {D3DFMT_A16B16G16R16F, GL_RGBA16F, GL_RGBA, GL_HALF_FLOAT, {R, G, B, A}, false},
    {D3DFMT_R32F, GL_R32F, GL_RED, GL_FLOAT, {R, EINS, EINS, EINS}, false},
    {D3DFMT_G32R32F, GL_RG32F, GL_RG, GL_FLOAT, {R, G, EINS, EINS}, false},
    {D3DFMT_A32B32G32R32F, GL_RGBA32F, GL_RGBA, GL_FLOAT, {R, G, B, A}, false},
    // DXT1 with its one-bit alpha (colour index 3 of a block with c0 <= c1 is transparent).
    {D3DFMT_DXT1, GL_COMPRESSED_RGBA_S3TC_DXT1_EXT, 0, 0, {R, G, B, A}, true},
    {D3DFMT_DXT3, GL_COMPRESSED_RGBA_S3TC_DXT3_EXT, 0, 0, {R, G, B, A}, true},
    {D3DFMT_DXT5, GL_COMPRESSED_RGBA_S3TC_DXT5_EXT, 0, 0, {R, G, B, A}, true},
    {D3DFMT_D16, GL_DEPTH_COMPONENT16, GL_DEPTH_COMPONENT, GL_UNSIGNED_SHORT, {R, G, B, A}, false},
    {D3DFMT_D24X8, GL_DEPTH_COMPONENT24, GL_DEPTH_COMPONENT, GL_UNSIGNED_INT, {R, G, B, A}, false},
    {D3DFMT_D24S8, GL_DEPTH24_STENCIL8, GL_DEPTH_STENCIL, GL_UNSIGNED_INT_24_8, {R, G, B, A}, false},
    // A 32-bit depth buffer; the float format is the one every GL 4.5 renders to.
    {D3DFMT_D32, GL_DEPTH_COMPONENT32F, GL_DEPTH_COMPONENT, GL_FLOAT, {R, G, B, A}, false},
}};

}  // namespace

const GlFormat* GlFormatVon(D3DFORMAT f) {
  for (const auto& g : kFormate)
    if (g.format == f) return &g;
  return nullptr;
}

}  // namespace Plattform::D3D9
