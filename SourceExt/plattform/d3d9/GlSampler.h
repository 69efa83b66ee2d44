#pragma once
// The OpenGL backend's samplers: one GL sampler object per distinct set of GL sampler
// parameters, made on first use and bound per texture unit. Where a texture allows it
// (one level, or every texel the same) the filter is simplified to a cheaper one that
// reads the same values.
#include <epoxy/gl.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>

#include "Backend.h"

namespace Plattform::D3D9 {

// What of a texture decides how its sampler may be simplified.
enum class Lesart : std::uint8_t { Voll, EineEbene, Einfarbig };

inline Lesart LesartVon(UINT ebenen, bool einfarbig) {
  if (einfarbig) return Lesart::Einfarbig;
  return ebenen == 1 ? Lesart::EineEbene : Lesart::Voll;
}

using SamplerZustand = std::array<DWORD, D3DSAMP_ANZAHL>;

// The GL parameters of a Direct3D sampler state read with a Lesart.
struct SamplerParameter {
  GLenum wrapS, wrapT, wrapR;
  D3DCOLOR rand;  // the border colour; 0 when no address mode is BORDER
  GLenum min, mag;
  float bias, minLod, anisotropie;
  // The key of the sampler object: every field, floats by their bits.
  std::array<GLint, 9> Schluessel() const;
};

SamplerParameter SamplerParameterVon(const SamplerZustand& s, Lesart lesart, float maxAnisotropie);

// A D3DCOLOR as GL's RGBA floats.
void Farbe(D3DCOLOR c, float f[4]);

class GlSampler {
 public:
  // Needs the current context at every call from here on.
  void Starte(float maxAnisotropie) { maxAnisotropie_ = maxAnisotropie; }
  void Beende();

  // Binds the sampler object for `s` read with `lesart` to unit `stufe`, unless that
  // state is what the unit already has.
  void Setze(UINT stufe, const SamplerZustand& s, Lesart lesart);
  // The sampler object for `s` read with `lesart`, made when there is none yet.
  GLuint Fuer(const SamplerZustand& s, Lesart lesart);
  std::size_t Anzahl() const { return objekte_.size(); }

 private:
  float maxAnisotropie_ = 1.0f;
  std::map<std::array<GLint, 9>, GLuint> objekte_;
  std::array<GLuint, kStufen> einheit_{};
  std::array<SamplerZustand, kStufen> stand_{};
  std::array<Lesart, kStufen> lesart_{};
  std::array<bool, kStufen> gueltig_{};
};

}  // namespace Plattform::D3D9
