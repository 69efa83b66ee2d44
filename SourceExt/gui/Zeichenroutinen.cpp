// The simple renderer's routines for scroll bars, grids, text fields, choices, check boxes,
// buttons and pictures.
#include "Elemente.h"
#include "Quelm_BlockGfx3D.h"
#include "Quelm_Font3D.h"
#include "Renderer.h"

#include <algorithm>
#include <cinttypes>
#include <cmath>
#include <cstdio>

namespace Gui {

void Rollbalken::Zeichne(Renderer& r) { r.ZeichneRollbalken(this); }
void Tabelle::Zeichne(Renderer& r) { r.ZeichneTabelle(this); }
void Eingabefeld::Zeichne(Renderer& r) { r.ZeichneEingabefeld(this); }
void Auswahl::Zeichne(Renderer& r) { r.ZeichneAuswahl(this); }
void Ankreuzfeld::Zeichne(Renderer& r) { r.ZeichneAnkreuzfeld(this); }
void Knopf::Zeichne(Renderer& r) { r.ZeichneKnopf(this); }
void Bild::Zeichne(Renderer& r) { r.ZeichneBild(this); }

namespace {
constexpr float kPi = 3.1415927f;
float Sekunden(TZeit seit) { return static_cast<float>(Jetzt() - seit) * Quelm_SekundenProTick; }
float Begrenze(float x) { return std::clamp(x, 0.0f, 1.0f); }
}  // namespace

void SimpelRenderer::Icon(Quelm_BlockGfx3D& atlas, std::uint64_t id, float x, float y, float w, float h,
                          const float (&farbe)[4]) {
  atlas.pivotMitte = 1;
  // The atlas would take a size of exactly 0 as the graphic's own size.
  if (w > 0 && h > 0) atlas.ZeichneGrafik(id, x, y, farbe, w, h, 0.0f);
  atlas.Zeichne();
}

void SimpelRenderer::ZeichneRahmen(const Vektor& r, const Vektor& groesse, const IconVerweis& icon, const char* text,
                                   const float (&farbe)[4], float skalierung, bool aktiv) {
  const float rw = groesse.x, rh = groesse.y;
  float versatz = 0;
  if (Quelm_BlockGfx3D* atlas = icon.atlas) {
    if (grafik) grafik->Zeichne();
    float gw = 0, gh = 0;
    if (atlas->HatGrafik(icon.id)) {
      gw = static_cast<float>(atlas->eintraege[icon.id].w);
      gh = static_cast<float>(atlas->eintraege[icon.id].h);
    }
    // Scaled down to the rectangle's height, never up. A graphic the atlas lacks still
    // takes its slot, a square of the rectangle's height, so labels stay in line; it draws
    // nothing, but the atlas's pivot flag is set and the atlas flushed all the same.
    const float k = gh > 0 && gh > rh ? rh / gh : 1.0f;
    const float s = std::max(k * gw, rh);
    const float a = aktiv ? farbe[3] : farbe[3] / 2;
    const float c = aktiv ? 1.0f : 0.5f;
    const float f[4] = {c, c, c, a};
    Icon(*atlas, icon.id, r.x + s / 2 - ursprung.x, r.y + rh / 2 - ursprung.y, k * gw, k * gh, f);
    versatz = s + 10;
  }
  if (!text || !*text) return;
  const auto ton = [aktiv](float c) { return aktiv ? c : c / 2 + 0.25f; };
  StelleSchriftEin(ton(farbe[0]), ton(farbe[1]), ton(farbe[2]), farbe[3], skalierung);
  SchreibeText({r.x + versatz, r.y, 0}, rw - versatz, rh, text);
}

void SimpelRenderer::GlanzRahmen(const Vektor& p, const Vektor& gr, float g, RahmenTon farbe, bool aktiv) {
  const Vektor rahmen = p - Vektor{4 * g, 4 * g, 0};
  const float grund = farbe.grund + (aktiv ? 0.2f * g : 0.0f);
  // Enabled, blue is twice the grey base; disabled, a plain grey.
  const float blau = aktiv ? 2 * farbe.grund + 0.2f * g : farbe.grund;
  ZeichneKasten(rahmen, gr.x + 8 * g, gr.y + 8 * g, grund, grund, blau, farbe.alpha);
}

void SimpelRenderer::ZeichneRollbalken(Rollbalken* w) {
  const float a = Alpha(*w);
  if (a == 0) return;
  const float g = Glanz(*w);
  const Vektor p = w->AbsolutePosition(), gr = w->groesse;
  ZeichneKasten(p, gr, 0.25f + 0.1f * g, 0.25f + 0.1f * g, 0.4f + 0.1f * g, a);
  ZeichneKasten(p + Vektor{4, 4, 0}, gr.x - 8, gr.y - 8, 0, 0, 0, a);
  const bool senkrecht = w->ausrichtung == 1;
  const float l = senkrecht ? gr.y : gr.x;
  const float bereich = w->maximum - w->minimum;
  float laenge = l, start = 0;
  // Without a range there is nothing to scroll: the thumb fills the bar.
  if (bereich != 0 && std::isfinite(bereich)) {
    laenge = std::max(w->sichtbereich / bereich, 0.05f) * l;
    start = ((w->wert - w->minimum + w->sichtbereich / 2) / bereich) * l - laenge / 2;
    if (start < 0) {
      laenge += start;
      start = 0;
    }
    if (start + laenge > l) laenge = l - start;
  }
  const float f = 0.4f + 0.2f * g, b = 0.8f + 0.2f * g;
  if (senkrecht)
    ZeichneKasten({p.x, p.y + start, 0}, gr.x, laenge, f, f, b, 0.8f * a);
  else
    ZeichneKasten({p.x + start, p.y, 0}, laenge, gr.y, f, f, b, 0.8f * a);
}

void SimpelRenderer::ZeichneTabelle(Tabelle* w) {
  const float a = Alpha(*w);
  if (a == 0) return;
  const float g = Glanz(*w);
  const Vektor p = w->AbsolutePosition();
  const float grau = 0.2f + 0.1f * g;
  ZeichneKasten(p - Vektor{2, 2, 0}, w->groesse.x + 2, w->groesse.y + 2, grau, grau, grau, a);
  const auto hervor = [](const TabellenSpur& s, bool an) {
    if (!an) return 0.0f;
    float h = Begrenze(5 * Sekunden(s.schwebZeit));
    if (!s.schwebend) h *= Verlauf(s.verlassenZeit, 0.2f, 1);
    return h;
  };
  const auto code = [](float x, std::uint32_t mitte, std::uint32_t ende) {
    return x < 0.25f ? 0u : x > 0.75f ? ende : mitte;
  };
  // Only rows, columns and cells that have records are drawn.
  const std::uint64_t zeilen = std::min<std::uint64_t>(w->zeilen, w->zeilenSpuren.size());
  const std::uint64_t spalten = std::min<std::uint64_t>(w->spalten, w->spaltenSpuren.size());
  for (std::uint64_t zi = 0; zi < zeilen; ++zi) {
    const TabellenSpur& z = w->zeilenSpuren[zi];
    for (std::uint64_t si = 0; si < spalten; ++si) {
      const TabellenSpur& s = w->spaltenSpuren[si];
      const Vektor c = p + Vektor{s.versatz, z.versatz, 0};
      const Vektor cg{s.ausdehnung, z.ausdehnung, 0};
      const float hz = hervor(z, w->hervorhebung & 1), hs = hervor(s, w->hervorhebung & 2);
      if (hz + hs > 0) ZeichneKasten(c, cg, 0.5f, 0.5f, 1, 0.5f * (hz + hs));
      const bool aktiv = z.aktiv && s.aktiv;
      const float flaeche = aktiv ? 0.0f : 0.1f;
      ZeichneKasten(c + Vektor{4, 4, 0}, cg.x - 8, cg.y - 8, flaeche, flaeche, flaeche, 0.2f * (hz + hs) + 0.8f * a);
      const std::uint64_t index = zi * w->spalten + si;
      if (index < w->zellen.size() && font) {
        font->ausrichtungH = code(s.ausrichtung, Quelm_Font3D::Mitte, Quelm_Font3D::Rechts);
        font->ausrichtungV = code(z.ausrichtung, Quelm_Font3D::VMitte, Quelm_Font3D::Unten);
        const float t = aktiv ? 1.0f : 0.6f;
        const float farbe[4] = {t, t, t, a};
        const TabellenZelle& zelle = w->zellen[index];
        ZeichneRahmen(c, cg, zelle.icon, zelle.text.c_str(), farbe, Skalierung(*w), true);
      }
      const float fz = (w->hervorhebung & 1) ? Blitz(z.druckZeit) : 1.0f;
      const float fs = (w->hervorhebung & 2) ? Blitz(s.druckZeit) : 1.0f;
      if (fz * fs > 0) ZeichneKasten(c, cg, 1, 1, 1, 0.4f * fz * fs * a);
    }
  }
}

void SimpelRenderer::ZeichneEingabefeld(Eingabefeld* w) {
  const float a = Alpha(*w);
  if (a == 0) return;
  const float g = Glanz(*w);
  const Vektor p = w->AbsolutePosition();
  const float bw = w->groesse.x, bh = w->groesse.y;
  ZeichneKasten(p + Vektor{2 - 4 * g, 2 - 4 * g, 0}, bw - 4 + 8 * g, bh - 4 + 8 * g, 0.25f, 0.25f, 0.4f, g * a);
  const float v = 0.25f + 0.2f * g + 0.1f * std::sin(kPi * Begrenze(10 * Sekunden(w->bearbeitetZeit)));
  ZeichneKasten(p, bw, 2, v, v, v, a);
  ZeichneKasten(p + Vektor{0, 2, 0}, 2, bh - 4, v, v, v, a);
  ZeichneKasten(p + Vektor{bw - 2, 2, 0}, 2, bh - 4, v, v, v, a);
  ZeichneKasten(p + Vektor{0, bh - 2, 0}, bw, 2, v, v, v, a);
  if (!font) return;
  font->ausrichtungH = Quelm_Font3D::Links;
  font->ausrichtungV = Quelm_Font3D::VMitte;
  StelleSchriftEin(1, 1, 1, a, Skalierung(*w));
  SchreibeText(p + Vektor{2, 2, 0}, bw - 4, bh - 4, w->text.c_str());
  if (!(g > 0)) return;
  // Bytes of the first `cursor` characters, never past the end.
  std::size_t bytes = 0;
  for (std::uint64_t n = 0; n < w->cursor && bytes < w->text.size(); ++n) {
    const auto c = static_cast<unsigned char>(w->text[bytes]);
    bytes += c < 192 ? 1 : c < 224 ? 2 : c < 240 ? 3 : 4;
  }
  bytes = std::min(bytes, w->text.size());
  const float breite = font->GetTextBreite(w->text.substr(0, bytes).c_str());
  ZeichneKasten({p.x + breite, p.y + bh / 2 - font->groesse / 2, 0}, 4, font->groesse, 1, 1, 1, g * a);
}

void SimpelRenderer::ZeichneAuswahl(Auswahl* w) {
  const float a = Alpha(*w);
  if (a == 0) return;
  const float g = Glanz(*w);
  const Vektor p = w->AbsolutePosition(), gr = w->groesse;
  GlanzRahmen(p, gr, g, w->aktiv ? RahmenTon{0.2f, 1.3f * a} : RahmenTon{0.3f, 0.3f * a}, w->aktiv);
  if (w->eintraege.empty() || !font) return;
  const float iw = gr.x - 10;
  const Vektor innen{iw, gr.y - 10, 0};
  const float e = Begrenze(5 * Sekunden(w->wechselZeit));
  const float s = std::sqrt(e);
  const auto eintrag = [&](std::uint64_t index, float x, float alpha) {
    if (index >= w->eintraege.size()) return;  // only entries that exist
    const AuswahlEintrag& ein = w->eintraege[index];
    char text[512];
    std::snprintf(text, sizeof text, "%" PRIu64 "/%" PRIu64 " %s", index + 1,
                  static_cast<std::uint64_t>(w->eintraege.size()), ein.text.c_str());
    font->ausrichtungH = Quelm_Font3D::Mitte;
    font->ausrichtungV = Quelm_Font3D::VMitte;
    const float farbe[4] = {1, 1, 1, alpha};
    ZeichneRahmen({x, p.y + 5, 0}, innen, ein.icon, text, farbe, Skalierung(*w), w->aktiv);
  };
  const float seite = w->richtung ? 1.0f : -1.0f;
  eintrag(w->index, p.x + 5 + (1 - s) * iw * seite, s * a);
  if (s < 1) {
    const float q = e * e;
    eintrag(w->vorherIndex, p.x + 5 - q * iw * seite, (1 - q) * a);
  }
}

void SimpelRenderer::ZeichneAnkreuzfeld(Ankreuzfeld* w) {
  const float a = Alpha(*w);
  if (a == 0) return;
  const float g = Glanz(*w);
  const Vektor p = w->AbsolutePosition(), gr = w->groesse;
  GlanzRahmen(p, gr, g, w->aktiv ? RahmenTon{0.1f, 1.8f * a} : RahmenTon{0.7f, 0.8f * a}, w->aktiv);
  if (font) {
    font->ausrichtungH = Quelm_Font3D::Links;
    font->ausrichtungV = Quelm_Font3D::VMitte;
    StelleSchriftEin(1, 1, 1, a, Skalierung(*w));
    SchreibeText(p + Vektor{5, 5, 0}, gr.x - 10, gr.y - 10, w->text.c_str());
  }
  const float m = std::min(gr.x - 10, gr.y - 10);
  const float q = 0.5f + 0.3f * Blitz(w->druckZeit);
  const Vektor quadrat{p.x + 5 + (gr.x - 10) - m + (m - q * m) / 2, p.y + 5 + (m - q * m) / 2, 0};
  ZeichneKasten(quadrat, q * m, q * m, 1, 1, 1, a);
  float b = Verlauf(w->angekreuztZeit, 0.2f, 10);
  if (!w->angekreuzt) b *= Verlauf(w->abgekreuztZeit, 0.2f, 11);
  ZeichneKasten(quadrat + Vektor{0.1f * q * m, 0.1f * q * m, 0}, 0.8f * q * m, 0.8f * q * m, 0.6f * b, 0.6f * b,
                0.8f * b, a);
}

void SimpelRenderer::ZeichneKnopf(Knopf* w) {
  const float a = Alpha(*w);
  if (a == 0) return;
  const float g = Glanz(*w);
  const Vektor p = w->AbsolutePosition(), gr = w->groesse;
  GlanzRahmen(p, gr, g, w->aktiv ? RahmenTon{0.2f, 1.8f * a} : RahmenTon{0.7f, 0.8f * a}, w->aktiv);
  if (gr.x < 4 || gr.y < 4) return;
  const Vektor flaeche = p + Vektor{2, 2, 0}, fg{gr.x - 4, gr.y - 4, 0};
  if (w->aktiv)
    ZeichneKasten(flaeche, fg, 0.6f + 0.2f * g, 0.6f + 0.2f * g, 0.8f + 0.2f * g, 2 * a);
  else
    ZeichneKasten(flaeche, fg, 0.8f, 0.8f, 0.8f, 0.8f * a);
  if (font) {
    font->ausrichtungH = Quelm_Font3D::Mitte;
    font->ausrichtungV = Quelm_Font3D::VMitte;
  }
  const float schwarz[4] = {0, 0, 0, a};
  ZeichneRahmen(flaeche, fg, w->icon, w->text.c_str(), schwarz, Skalierung(*w), w->aktiv);
  const float f = Blitz(w->druckZeit);
  if (f > 0) ZeichneKasten(p - Vektor{20 * f, 20 * f, 0}, gr.x + 40 * f, gr.y + 40 * f, 1, 1, 1, 0.5f * f);
}

void SimpelRenderer::ZeichneBild(Bild* w) {
  const float a = Alpha(*w);
  if (a == 0 || !w->atlas) return;
  const Vektor p = w->AbsolutePosition();
  const float farbe[4] = {1, 1, 1, a};
  w->atlas->ZeichneGrafik(0, p.x - ursprung.x, p.y - ursprung.y, farbe, w->groesse.x, w->groesse.y, 0.0f);
  w->atlas->Zeichne();
}

}  // namespace Gui
