#include "Seite.h"

#include "Renderer.h"

#include <algorithm>

namespace Gui {

Seite::~Seite() = default;

void Seite::Zeichne(Renderer& renderer) {
  renderer.ZeichneSeite(this);
  for (Basis* k : kinder) k->Zeichne(renderer);
}

void Seite::Hinzufuegen(Basis* w) {
  VaterBasis::Hinzufuegen(w);
  BerechneDehnung();
}

void Seite::Entfernen(Basis* w) {
  VaterBasis::Entfernen(w);
  BerechneDehnung();
}

void Seite::BerechneDehnung() {
  Vektor d{0, 0, 0};
  for (const Basis* k : kinder) {
    d.x = std::max(d.x, k->dehnung.x);
    d.y = std::max(d.y, k->dehnung.y);
  }
  dehnung = d;
}

Text::~Text() = default;
void Text::Zeichne(Renderer& renderer) { renderer.ZeichneText(this); }
std::string Text::GibTypName() const { return "text"; }

}  // namespace Gui
