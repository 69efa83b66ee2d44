#include "GlEinfarbig.h"

#include <cstring>

namespace Plattform::D3D9 {

void Einfarbigkeit::Merke(const Oberflaeche& o, const RECT& r, const std::uint8_t* daten, std::size_t bytes) {
  const TexturBasis& t = *o.textur;
  const FormatInfo& fi = o.format();
  if (t.ebenenIntern != 1 || t.wuerfel || (t.usage & D3DUSAGE_RENDERTARGET) || fi.block || fi.bytes == 0 ||
      fi.bytes > texel.size()) {
    einfarbig = false;
    return;
  }
  const bool ganz = r.left == 0 && r.top == 0 && static_cast<UINT>(r.right) == o.desc.Width &&
                    static_cast<UINT>(r.bottom) == o.desc.Height;
  Merke(fi.bytes, ganz, daten, bytes);
}

void Einfarbigkeit::Merke(std::size_t texelBytes, bool ganz, const std::uint8_t* daten, std::size_t bytes) {
  if (bytes < texelBytes) {
    einfarbig = false;
    return;
  }
  bool gleich = true;
  for (std::size_t i = texelBytes; i < bytes && gleich; i += texelBytes)
    gleich = std::memcmp(daten, daten + i, texelBytes) == 0;
  // A part written with the value the whole already has keeps it of one value.
  if (!ganz) gleich = gleich && einfarbig && std::memcmp(daten, texel.data(), texelBytes) == 0;
  einfarbig = gleich;
  if (gleich) std::memcpy(texel.data(), daten, texelBytes);
}

}  // namespace Plattform::D3D9
