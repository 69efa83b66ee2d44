#include "Anordnung.h"

#include "Oberflaeche.h"

#include <algorithm>

namespace Gui {

namespace {
float& K(Vektor& v, int achse) { return achse == 0 ? v.x : v.y; }
float K(const Vektor& v, int achse) { return achse == 0 ? v.x : v.y; }
}  // namespace

Vektor Abstand(const VaterBasis& v) {
  const float k = v.wurzel ? v.wurzel->skalierung : 1.0f;
  return {k * v.FindeEigenschaft("elmAbstand.x", 0.0f), k * v.FindeEigenschaft("elmAbstand.y", 0.0f), 0};
}

Vektor Anordnung::BerechneGroesse(VaterBasis& v) const {
  if (art != 0 && art != 1) return {0, 0, 0};
  const int haupt = art, quer = 1 - art;
  const Vektor s = Abstand(v);
  Vektor g{0, 0, 0};
  K(g, haupt) = K(s, haupt);
  float groesste = 0;
  for (Basis* k : v.kinder) {
    const Vektor b = k->BevorzugteGroesse();
    K(g, haupt) += K(s, haupt) + K(b, haupt);
    groesste = std::max(groesste, K(b, quer));
  }
  K(g, quer) = 2 * K(s, quer) + groesste;
  return g;
}

void Anordnung::Ordne(VaterBasis& v) const { OrdneEntlang(v, 0); }
void Anordnung::OrdneQuer(VaterBasis& v) const { OrdneEntlang(v, 1); }

void Anordnung::OrdneEntlang(VaterBasis& v, int haupt) const {
  const int quer = 1 - haupt;
  const Vektor s = Abstand(v);
  const float sh = K(s, haupt), sq = K(s, quer);
  const float innenH = K(v.groesse, haupt) - 2 * sh, innenQ = K(v.groesse, quer) - 2 * sq;
  const Vektor richtung{richtungX, richtungY, 0};

  float summe = 0, gewichte = 0;
  for (std::size_t i = 0; i < v.kinder.size(); ++i) {
    Basis* k = v.kinder[i];
    if (!k->sichtbar) continue;
    // The gap is left out for the first child of the list only, visible or not.
    summe += (i == 0 ? 0.0f : sh) + K(k->BevorzugteGroesse(), haupt);
    if (k->groesseAutomatisch) gewichte += K(k->dehnung, haupt);
  }
  const float frei = innenH - summe;
  for (Basis* k : v.kinder) {
    if (!k->sichtbar || !k->groesseAutomatisch) continue;
    Vektor g = k->GibGroesse();
    const float extra = gewichte > 0 ? K(k->dehnung, haupt) / gewichte * frei : 0.0f;
    const float fuellen = std::min(K(k->dehnung, quer), 1.0f);
    K(g, haupt) += extra;
    K(g, quer) += (innenQ - K(g, quer)) * fuellen;
    k->SetzeGroesse(g, true);
    summe += extra;
  }
  float stelle = (innenH - summe) * K(richtung, haupt) + sh;
  for (Basis* k : v.kinder) {
    if (!k->sichtbar) continue;
    if (k->positionAutomatisch) {
      Vektor p{0, 0, 0};
      K(p, haupt) = stelle;
      K(p, quer) = (innenQ - K(k->groesse, quer)) * K(richtung, quer) + sq;
      k->SetzePosition(p, true);
    }
    stelle += sh + K(k->groesse, haupt);
  }
}

}  // namespace Gui
