#include "GlSampler.h"

#include <algorithm>
#include <cstring>

namespace Plattform::D3D9 {
namespace {

GLenum Adresse(DWORD a) {
  switch (a) {
    case D3DTADDRESS_MIRROR: return GL_MIRRORED_REPEAT;
    case D3DTADDRESS_CLAMP: return GL_CLAMP_TO_EDGE;
    case D3DTADDRESS_BORDER: return GL_CLAMP_TO_BORDER;
    case D3DTADDRESS_MIRRORONCE: return GL_MIRROR_CLAMP_TO_EDGE;
    default: return GL_REPEAT;
  }
}

GLint Bits(float f) {
  GLint i;
  std::memcpy(&i, &f, 4);
  return i;
}

}  // namespace

void Farbe(D3DCOLOR c, float f[4]) {
  f[0] = static_cast<float>((c >> 16) & 0xFF) / 255.0f;
  f[1] = static_cast<float>((c >> 8) & 0xFF) / 255.0f;
  f[2] = static_cast<float>(c & 0xFF) / 255.0f;
  f[3] = static_cast<float>(c >> 24) / 255.0f;
}

std::array<GLint, 9> SamplerParameter::Schluessel() const {
  return {static_cast<GLint>(wrapS), static_cast<GLint>(wrapT), static_cast<GLint>(wrapR), static_cast<GLint>(rand),
          static_cast<GLint>(min),   static_cast<GLint>(mag),   Bits(bias),                Bits(minLod),
          Bits(anisotropie)};
}

SamplerParameter SamplerParameterVon(const SamplerZustand& s, Lesart lesart, float maxAnisotropie) {
  const bool rand = s[D3DSAMP_ADDRESSU] == D3DTADDRESS_BORDER || s[D3DSAMP_ADDRESSV] == D3DTADDRESS_BORDER ||
                    s[D3DSAMP_ADDRESSW] == D3DTADDRESS_BORDER;
  const bool minLinear = s[D3DSAMP_MINFILTER] >= D3DTEXF_LINEAR;
  GLenum min;
  switch (s[D3DSAMP_MIPFILTER]) {
    case D3DTEXF_NONE:
      min = minLinear ? GL_LINEAR : GL_NEAREST;
      break;
    case D3DTEXF_POINT:
      min = minLinear ? GL_LINEAR_MIPMAP_NEAREST : GL_NEAREST_MIPMAP_NEAREST;
      break;
    default:
      min = minLinear ? GL_LINEAR_MIPMAP_LINEAR : GL_NEAREST_MIPMAP_LINEAR;
      break;
  }
  GLenum mag = s[D3DSAMP_MAGFILTER] >= D3DTEXF_LINEAR ? GL_LINEAR : GL_NEAREST;
  float anisotropie = 1.0f;
  if (s[D3DSAMP_MINFILTER] == D3DTEXF_ANISOTROPIC || s[D3DSAMP_MAGFILTER] == D3DTEXF_ANISOTROPIC)
    anisotropie = std::min(maxAnisotropie, static_cast<float>(std::max<DWORD>(1, s[D3DSAMP_MAXANISOTROPY])));
  // With one level every mip filter reads level 0, as the filter without mips does; the
  // level of detail still chooses between minification and magnification. Without the
  // mip part a software renderer skips the per-pixel level work where both filters agree.
  if (lesart != Lesart::Voll) {
    if (min == GL_LINEAR_MIPMAP_NEAREST || min == GL_LINEAR_MIPMAP_LINEAR) min = GL_LINEAR;
    if (min == GL_NEAREST_MIPMAP_NEAREST || min == GL_NEAREST_MIPMAP_LINEAR) min = GL_NEAREST;
  }
  // A texture of one value reads as that value under every filter: each filtered read is
  // a weighted mean of texels with weights summing to one. Only a border colour could mix
  // in something else. A software renderer's anisotropic path costs many times a
  // bilinear read for the same result, so such textures are read at the nearest texel.
  if (lesart == Lesart::Einfarbig && !rand) {
    min = mag = GL_NEAREST;
    anisotropie = 1.0f;
  }
  float bias;
  std::memcpy(&bias, &s[D3DSAMP_MIPMAPLODBIAS], 4);
  // MAXMIPLEVEL names the largest level that may be used.
  const float minLod = static_cast<float>(s[D3DSAMP_MAXMIPLEVEL]);
  return {Adresse(s[D3DSAMP_ADDRESSU]),
          Adresse(s[D3DSAMP_ADDRESSV]),
          Adresse(s[D3DSAMP_ADDRESSW]),
          rand ? s[D3DSAMP_BORDERCOLOR] : 0,
          min,
          mag,
          bias,
          minLod,
          anisotropie};
}

GLuint GlSampler::Fuer(const SamplerZustand& s, Lesart lesart) {
  const SamplerParameter p = SamplerParameterVon(s, lesart, maxAnisotropie_);
  const std::array<GLint, 9> schluessel = p.Schluessel();
  if (auto it = objekte_.find(schluessel); it != objekte_.end()) return it->second;
  GLuint g = 0;
  glCreateSamplers(1, &g);
  glSamplerParameteri(g, GL_TEXTURE_WRAP_S, static_cast<GLint>(p.wrapS));
  glSamplerParameteri(g, GL_TEXTURE_WRAP_T, static_cast<GLint>(p.wrapT));
  glSamplerParameteri(g, GL_TEXTURE_WRAP_R, static_cast<GLint>(p.wrapR));
  float randFarbe[4];
  Farbe(s[D3DSAMP_BORDERCOLOR], randFarbe);
  glSamplerParameterfv(g, GL_TEXTURE_BORDER_COLOR, randFarbe);
  glSamplerParameteri(g, GL_TEXTURE_MIN_FILTER, static_cast<GLint>(p.min));
  glSamplerParameteri(g, GL_TEXTURE_MAG_FILTER, static_cast<GLint>(p.mag));
  glSamplerParameterf(g, GL_TEXTURE_LOD_BIAS, p.bias);
  glSamplerParameterf(g, GL_TEXTURE_MIN_LOD, p.minLod);
  if (maxAnisotropie_ > 1.0f) glSamplerParameterf(g, GL_TEXTURE_MAX_ANISOTROPY, p.anisotropie);
  objekte_.emplace(schluessel, g);
  return g;
}

void GlSampler::Setze(UINT stufe, const SamplerZustand& s, Lesart lesart) {
  if (gueltig_[stufe] && lesart_[stufe] == lesart && s == stand_[stufe]) return;
  const GLuint g = Fuer(s, lesart);
  if (einheit_[stufe] != g) {
    glBindSampler(stufe, g);
    einheit_[stufe] = g;
  }
  stand_[stufe] = s;
  lesart_[stufe] = lesart;
  gueltig_[stufe] = true;
}

void GlSampler::Beende() {
  for (auto& [schluessel, g] : objekte_) glDeleteSamplers(1, &g);
  objekte_.clear();
}

}  // namespace Plattform::D3D9
