#include "Hinweis.h"

#include "Oberflaeche.h"
#include "Renderer.h"

#include <cmath>

namespace Gui {

Hinweis::Hinweis(const std::string& t, Basis* w) : text(t) {
  const float n = static_cast<float>(text.size());
  const float k = text.empty() ? 1.0f : std::sqrt(0.04f * n) + 1.0f;
  const float breite = 150 * k, hoehe = 70 * k;
  SetzeGroesse({breite, hoehe, 0}, false);
  if (!w || !w->wurzel) return;
  komponente = w;
  const Vektor mitte = w->AbsolutePosition() + w->groesse * 0.5f;
  const Vektor flaeche = w->wurzel->groesse;
  float x = mitte.x > flaeche.x / 2 ? mitte.x - breite - 0.6f * w->groesse.x : mitte.x + 0.6f * w->groesse.x;
  float y = mitte.y > flaeche.y / 2 ? mitte.y - hoehe - 0.6f * w->groesse.y : mitte.y + 0.6f * w->groesse.y;
  if (x < 0) x = 0;
  if (x + breite > flaeche.x) x = flaeche.x - breite;
  if (y < 0) y = 0;
  if (y + hoehe > flaeche.y) y = flaeche.y - hoehe;
  SetzePosition({x, y, mitte.z}, false);
}

Hinweis::~Hinweis() = default;
void Hinweis::Zeichne(Renderer& renderer) { renderer.ZeichneHinweis(this); }

}  // namespace Gui
