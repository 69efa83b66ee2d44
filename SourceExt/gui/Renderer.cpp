#include "Renderer.h"

#include "Elemente.h"
#include "Hinweis.h"
#include "Oberflaeche.h"
#include "Quelm_BlockGfx3D.h"
#include "Quelm_Font3D.h"
#include "Quelm_Screen3D.h"
#include "Quelm_ZeichenKontext.h"
#include "Seite.h"

#include <algorithm>
#include <cmath>

namespace Gui {

// --- Renderer: everything ends in ZeichneOberflaeche ----------------------------------------

Renderer::~Renderer() = default;
void Renderer::Beginne() {}
void Renderer::SetzeAusschnitt(Basis*, const Vektor&, const Vektor&) {}
void Renderer::EntferneAusschnitt() {}
void Renderer::Beende() {}
void Renderer::ZeichneReserviert(Basis* w) { ZeichneOberflaeche(w); }
void Renderer::ZeichneRollbalken(Rollbalken* w) { ZeichneOberflaeche(w); }
void Renderer::ZeichneTabelle(Tabelle* w) { ZeichneOberflaeche(w); }
void Renderer::ZeichneEingabefeld(Eingabefeld* w) { ZeichneOberflaeche(w); }
void Renderer::ZeichneAuswahl(Auswahl* w) { ZeichneOberflaeche(w); }
void Renderer::ZeichneAnkreuzfeld(Ankreuzfeld* w) { ZeichneOberflaeche(w); }
void Renderer::ZeichneHinweis(Hinweis* w) { ZeichneOberflaeche(w); }
void Renderer::ZeichneSeite(Seite* w) { ZeichneOberflaeche(w); }
void Renderer::ZeichneKnopf(Knopf* w) { ZeichneOberflaeche(w); }
void Renderer::ZeichneBild(Bild* w) { ZeichneOberflaeche(w); }
void Renderer::ZeichneText(Text* w) { ZeichneOberflaeche(w); }
void Renderer::ZeichneOberflaeche(Basis*) {}

void ZeichneDurchgang(Oberflaeche& o, Renderer& r) {
  r.Beginne();
  o.Zeichne(r);
  for (Basis* k : o.kinder) {
    r.SetzeAusschnitt(k, o.position, o.groesse);
    k->Zeichne(r);
    r.EntferneAusschnitt();
  }
  r.Beende();
}

// --- Curves and common values --------------------------------------------------------------

float SimpelRenderer::Verlauf(TZeit start, float dauer, std::uint32_t art) {
  float t = static_cast<float>(Jetzt() - start) * Quelm_SekundenProTick / dauer;
  t = std::min(t, 1.0f);
  if (!(t > 0.0f)) t = 0.0f;
  constexpr float pi = 3.1415927f, pi4 = 12.566371f;
  switch (art) {
    case 0: return t;
    case 1: return 1 - t;
    case 2: return t * t;
    case 3: return 1 - t * t;
    case 4: return std::sqrt(t);
    case 5: return 1 - std::sqrt(t);
    case 6: return 0.5f - 0.5f * std::cos(pi * t);
    case 7: return 0.5f * (std::cos(pi * t) + 1);
    case 8: return 1 - std::cos(pi4 * t) * (1 - t);
    case 9: return std::cos(pi4 * t) * (1 - t);
    case 10: return 1 - std::fabs(std::cos(pi4 * t)) * (1 - t);
    case 11: return std::fabs(std::cos(pi4 * t)) * (1 - t);
    case 12: return std::sin(pi * t);
    case 13: return t == 1 ? 1.0f : 0.0f;
    case 14: return t == 1 ? 0.0f : 1.0f;
    case 15: return t == 1 ? 0.0f : t;
    case 16: return t == 1 ? 1.0f : 1 - t;
    default: return 1.0f;
  }
}

namespace {
float Sekunden(TZeit seit) { return static_cast<float>(Jetzt() - seit) * Quelm_SekundenProTick; }
float Begrenze(float x) { return std::clamp(x, 0.0f, 1.0f); }
}  // namespace

float SimpelRenderer::Alpha(const Basis& w) {
  float a = std::sqrt(Begrenze(2 * Sekunden(w.zeigZeit)));
  if (!w.IstEffektivSichtbar()) a *= Verlauf(w.versteckZeit, 0.5f, 5);
  return a;
}

float SimpelRenderer::Glanz(const Basis& w) {
  float g = Begrenze(5 * Sekunden(w.fokusGewonnenZeit));
  if (!w.fokussiert) g *= Verlauf(w.fokusVerlorenZeit, 0.2f, 1);
  return g;
}

float SimpelRenderer::Blitz(TZeit t) { return std::sin(3.1415927f * Begrenze(5 * Sekunden(t))); }

float SimpelRenderer::Skalierung(const Basis& w) { return w.wurzel ? w.wurzel->skalierung : 1.0f; }

// --- Primitives ----------------------------------------------------------------------------

SimpelRenderer::SimpelRenderer(Quelm_BlockGfx3D* grafik, Quelm_Font3D* font) : grafik(grafik), font(font) {}
SimpelRenderer::~SimpelRenderer() = default;

void SimpelRenderer::Kasten(float x, float y, float w, float h, const float (&farbe)[4]) {
  if (grafik) grafik->ZeichneGrafik(0, x, y, farbe, w, h, 0.0f);
}

void SimpelRenderer::SchreibeInRahmen(float x, float y, float w, float h, const char* text) {
  if (font) font->SchreibeInRahmen(x, y, w, h, "%s", text);
}

void SimpelRenderer::ZeichneKasten(const Vektor& p, float w, float h, float r, float g, float b, float a) {
  // The atlas would take a size of exactly 0 as the graphic's own size.
  if (w == 0 || h == 0) return;
  const float farbe[4] = {r, g, b, a};
  Kasten(p.x - ursprung.x, p.y - ursprung.y, w, h, farbe);
}

void SimpelRenderer::SchreibeText(const Vektor& p, float w, float h, const char* text) {
  SchreibeInRahmen(p.x - ursprung.x, p.y - ursprung.y, w, h, text);
}

void SimpelRenderer::StelleSchriftEin(float r, float g, float b, float a, float skalierung) {
  if (!font) return;
  font->farbe[0] = r;
  font->farbe[1] = g;
  font->farbe[2] = b;
  font->farbe[3] = a;
  font->groesse = skalierung * font->hoehe;
  font->skalierung = font->hoehe > 0 ? font->groesse / font->hoehe : 1.0f;
}

void SimpelRenderer::LeereStapel() {
  if (grafik) grafik->Zeichne();
  if (font) font->Zeichne();
}

void SimpelRenderer::SetzeBereich(const Vektor& p, const Vektor& g) {
  Quelm_ZeichenKontext* k = Quelm_Screen3D::zeichenKontext;
  if (!k) return;
  // Negative, oversized or undefined values would wrap when made unsigned.
  const auto begrenze = [](float v, std::uint64_t max) {
    return v > 0 ? std::min<std::uint64_t>(static_cast<std::uint64_t>(std::min(v, 1e18f)), max) : 0;
  };
  const std::uint64_t x = begrenze(p.x, k->zielBreite), y = begrenze(p.y, k->zielHoehe);
  k->SetRenderBereich(x, y, begrenze(g.x, k->zielBreite - x), begrenze(g.y, k->zielHoehe - y));
}

// --- Frame and clip stack ------------------------------------------------------------------

void SimpelRenderer::Beginne() {
  if (grafik) grafik->pivotMitte = 0;
  if (font) {
    font->groesse = font->hoehe;
    font->skalierung = 1.0f;
  }
}

void SimpelRenderer::SetzeAusschnitt(Basis* w, const Vektor& position, const Vektor& groesse) {
  LeereStapel();
  ausschnitte.push_back({position, groesse, w});
  ursprung = position;
  SetzeBereich(position, groesse);
}

void SimpelRenderer::EntferneAusschnitt() {
  LeereStapel();
  if (!ausschnitte.empty()) ausschnitte.pop_back();
  if (!ausschnitte.empty()) {
    ursprung = ausschnitte.back().position;
    SetzeBereich(ursprung, ausschnitte.back().groesse);
    return;
  }
  ursprung = {0, 0, 0};
  if (Quelm_ZeichenKontext* k = Quelm_Screen3D::zeichenKontext) k->SetRenderBereich(0, 0, k->zielBreite, k->zielHoehe);
}

void SimpelRenderer::Beende() { LeereStapel(); }
void SimpelRenderer::ZeichneReserviert(Basis*) {}
void SimpelRenderer::ZeichneOberflaeche(Basis*) {}

// --- Labels and tooltips -------------------------------------------------------------------

void SimpelRenderer::ZeichneText(Text* t) {
  const float a = Alpha(*t);
  if (a == 0) return;
  const Vektor p = t->AbsolutePosition();
  const Vektor& g = t->groesse;
  ZeichneKasten(p, g, 0.2f, 0.2f, 0.2f, 0.7f * a);
  if (g.x < 4 || g.y < 4 || !font) return;
  const float h = t->FindeEigeneEigenschaft("richt_horiz", 0.5f), v = t->FindeEigeneEigenschaft("richt_vert", 0.5f);
  font->ausrichtungH = h < 0.3f ? Quelm_Font3D::Links : h > 0.7f ? Quelm_Font3D::Rechts : Quelm_Font3D::Mitte;
  font->ausrichtungV = v < 0.3f ? Quelm_Font3D::Oben : v > 0.7f ? Quelm_Font3D::Unten : Quelm_Font3D::VMitte;
  StelleSchriftEin(1, 1, 1, a, Skalierung(*t));
  SchreibeText(p + Vektor{2, 2, 0}, g.x - 4, g.y - 4, t->text.c_str());
}

void SimpelRenderer::ZeichneHinweis(Hinweis* t) {
  const float a = Alpha(*t);
  if (a == 0) return;
  const Vektor p = t->AbsolutePosition();
  const Vektor& g = t->groesse;
  const Vektor mitte = p + g * 0.5f;
  if (const Basis* w = t->komponente) {
    const Vektor k = w->AbsolutePosition() + w->groesse * 0.5f;
    const auto vorzeichen = [](float d) { return d > 0 ? 1.0f : d < 0 ? -1.0f : 0.0f; };
    const Vektor t0{k.x + 0.35f * vorzeichen(mitte.x - k.x) * w->groesse.x,
                    k.y + 0.35f * vorzeichen(mitte.y - k.y) * w->groesse.y, 0};
    const Vektor d = mitte - t0;
    for (int i = 1; i <= 19; ++i) {
      const float f = static_cast<float>(i * i) / 441.0f;
      const Vektor c = t0 + d * f;
      ZeichneKasten({c.x - f * g.x / 2, c.y - f * g.y / 2, 0}, f * g.x, f * g.y, 0.8f, 0.8f, 0.8f, 0.105f * a);
    }
  }
  ZeichneKasten(p, g, 0.8f, 0.8f, 0.8f, 0.7f * a);
  if (!font) return;
  font->ausrichtungH = Quelm_Font3D::Mitte;
  font->ausrichtungV = Quelm_Font3D::VMitte;
  font->farbe[0] = font->farbe[1] = font->farbe[2] = 0;
  font->farbe[3] = a;
  SchreibeText(p + Vektor{5, 5, 0}, g.x - 10, g.y - 10, t->text.c_str());
}

}  // namespace Gui
