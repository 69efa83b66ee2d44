#pragma once
// A container's layout record: its children in one row (art 0) or one column (art 1),
// with the spacing "elmAbstand" as margins and gaps, spare room shared by stretch weights.
#include "Basis.h"

#include <cstdint>

namespace Gui {

class Anordnung {
 public:
  std::int32_t art = 0;  // 0 row, 1 column, anything else: no layout
  float richtungX = 0.5f;  // 0 left, 1 right
  float richtungY = 0.5f;  // 0 top, 1 bottom

  Anordnung() = default;
  Anordnung(std::int32_t art, float richtungX, float richtungY) : art(art), richtungX(richtungX), richtungY(richtungY) {}

  // Preferred size of `v`, hidden children included.
  Vektor BerechneGroesse(VaterBasis& v) const;
  void Ordne(VaterBasis& v) const;
  void OrdneQuer(VaterBasis& v) const;

 private:
  // Lays out along axis `haupt` (0 x, 1 y); the other axis is the cross axis.
  void OrdneEntlang(VaterBasis& v, int haupt) const;
};

// The scaled spacing of a container: (elmAbstand.x, elmAbstand.y) times the surface scale.
Vektor Abstand(const VaterBasis& v);

}  // namespace Gui
