#pragma once
// Widgets do not draw themselves: each calls the renderer's routine for its kind.
// Renderer is the interface; every routine it does not override ends in ZeichneOberflaeche.
#include "Basis.h"

#include <deque>

class Quelm_BlockGfx3D;
class Quelm_Font3D;

namespace Gui {

class Ankreuzfeld;
class Auswahl;
class Bild;
class Eingabefeld;
class Hinweis;
class Knopf;
class Rollbalken;
class Seite;
class Tabelle;
class Text;
struct IconVerweis;

class Renderer {
 public:
  virtual ~Renderer();
  virtual void Beginne();
  virtual void SetzeAusschnitt(Basis* w, const Vektor& position, const Vektor& groesse);
  virtual void EntferneAusschnitt();
  virtual void Beende();
  virtual void ZeichneReserviert(Basis* w);
  virtual void ZeichneRollbalken(Rollbalken* w);
  virtual void ZeichneTabelle(Tabelle* w);
  virtual void ZeichneEingabefeld(Eingabefeld* w);
  virtual void ZeichneAuswahl(Auswahl* w);
  virtual void ZeichneAnkreuzfeld(Ankreuzfeld* w);
  virtual void ZeichneHinweis(Hinweis* w);
  virtual void ZeichneSeite(Seite* w);
  virtual void ZeichneKnopf(Knopf* w);
  virtual void ZeichneBild(Bild* w);
  virtual void ZeichneText(Text* w);
  virtual void ZeichneOberflaeche(Basis* w);
};

// Draws every widget as tinted boxes of a skin atlas (its graphic 0) and text with a font,
// with fades, a clip stack and tooltips with a trail of boxes.
class SimpelRenderer : public Renderer {
 public:
  struct Ausschnitt {
    Vektor position, groesse;
    Basis* komponente;
  };

  Quelm_BlockGfx3D* grafik;  // not owned
  Quelm_Font3D* font;        // not owned
  Vektor ursprung{0, 0, 0};  // clip origin
  std::deque<Ausschnitt> ausschnitte;

  SimpelRenderer(Quelm_BlockGfx3D* grafik, Quelm_Font3D* font);
  ~SimpelRenderer() override;

  void Beginne() override;
  void SetzeAusschnitt(Basis* w, const Vektor& position, const Vektor& groesse) override;
  void EntferneAusschnitt() override;
  void Beende() override;
  void ZeichneReserviert(Basis* w) override;
  void ZeichneRollbalken(Rollbalken* w) override;
  void ZeichneTabelle(Tabelle* w) override;
  void ZeichneEingabefeld(Eingabefeld* w) override;
  void ZeichneAuswahl(Auswahl* w) override;
  void ZeichneAnkreuzfeld(Ankreuzfeld* w) override;
  void ZeichneHinweis(Hinweis* w) override;
  void ZeichneKnopf(Knopf* w) override;
  void ZeichneBild(Bild* w) override;
  void ZeichneText(Text* w) override;
  void ZeichneOberflaeche(Basis* w) override;

  // 0..1 along curve `art` over `dauer` seconds since `start`.
  static float Verlauf(TZeit start, float dauer, std::uint32_t art);
  // Fade alpha: rises over 0.5 s after showing, falls over 0.5 s after hiding.
  static float Alpha(const Basis& w);
  // Focus glow: rises and falls within 0.2 s of gaining and losing the focus.
  static float Glanz(const Basis& w);
  // sin(pi x), x = 5 s^-1 times the time since `t`, clamped to 0..1.
  static float Blitz(TZeit t);

  // Icon and text in a rectangle (absolute position); text alignment is the font's.
  void ZeichneRahmen(const Vektor& r, const Vektor& groesse, const IconVerweis& icon, const char* text,
                     const float (&farbe)[4], float skalierung, bool aktiv);

 protected:
  // One box of graphic 0, the position already relative to the clip origin.
  virtual void Kasten(float x, float y, float w, float h, const float (&farbe)[4]);
  // Text into a rectangle relative to the clip origin, with the font's current settings.
  virtual void SchreibeInRahmen(float x, float y, float w, float h, const char* text);
  // An icon centred at (x, y) relative to the clip origin, then that atlas flushed. The
  // atlas's pivot flag is set and the atlas flushed also when nothing is drawn: a size
  // without area, or a graphic the atlas lacks.
  virtual void Icon(Quelm_BlockGfx3D& atlas, std::uint64_t id, float x, float y, float w, float h,
                    const float (&farbe)[4]);

  // A box at an absolute position; nothing when it has no area.
  void ZeichneKasten(const Vektor& p, float w, float h, float r, float g, float b, float a);
  void ZeichneKasten(const Vektor& p, const Vektor& groesse, float r, float g, float b, float a) {
    ZeichneKasten(p, groesse.x, groesse.y, r, g, b, a);
  }
  void SchreibeText(const Vektor& p, float w, float h, const char* text);
  // Font colour and size (scale times its height) for the next text.
  void StelleSchriftEin(float r, float g, float b, float a, float skalierung);
  void LeereStapel();
  void SetzeBereich(const Vektor& position, const Vektor& groesse);
  static float Skalierung(const Basis& w);
  struct RahmenTon {
    float grund, alpha;
  };
  // The frame of choices, check boxes and buttons, grown by the focus glow g.
  void GlanzRahmen(const Vektor& p, const Vektor& groesse, float g, RahmenTon farbe, bool aktiv);
};

// One frame of a surface: the surface itself, then each of its children inside a clip
// region of the surface's rectangle.
void ZeichneDurchgang(Oberflaeche& oberflaeche, Renderer& renderer);

}  // namespace Gui
