#pragma once
// Editing the ground mesh: camera keys and wheel, picking by ray, click and Shift-click
// selection, double-click adding, right-drag moving, deletion, undo and redo. Reads one
// input snapshot per frame, so it runs without a window too.
#include "Kamera.h"
#include "Quelm_Zeitbasis.h"
#include "Szene.h"

#include <bitset>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

namespace DRENO {
class InputSystem;
}

namespace Spiel {

// What editing reads of the first keyboard and the first mouse in one frame. A missing
// device reads as nothing held and position 0.
struct EingabeStand {
  std::bitset<256> unten;        // keys held, by scan code
  std::bitset<256> losgelassen;  // keys released in this frame
  bool linksGedrueckt = false;   // left button pressed in this frame
  bool rechtsUnten = false;
  bool rechtsGedrueckt = false;
  float mausX = 0, mausY = 0;
  float rad = 0;  // absolute wheel axis

  static EingabeStand Lies(const DRENO::InputSystem* system);
};

// The body of an undo entry: swaps its stored triangle list with the scene's, so one entry
// serves undo and redo alternately.
struct TauscheSchnappschuss {
  std::vector<Dreieck> dreiecke;
  Szene* szene;
  std::vector<std::size_t>* auswahl;

  void operator()();
};

class Bearbeitung {
 public:
  explicit Bearbeitung(Szene& szene) : szene_(szene) {}

  Kamera kamera;
  // Selected corners as places in the triangle list (3 * triangle + corner): places stay
  // valid when the list grows, unlike addresses into it.
  std::vector<std::size_t> auswahl;
  std::vector<std::function<void()>> verlauf;
  std::int64_t verlaufIndex = -1;  // -1: before the first entry
  std::uint32_t anzeige = 3;       // bit 0 the edited mesh, bit 1 the landscape
  // While it answers true (the console takes typed input) editing ignores all input.
  std::function<bool()> konsoleOffen;

  // One frame of editing (before the camera eases). `jetzt` in counter ticks; the screen
  // size in pixels.
  void Schritt(const EingabeStand& eingabe, float dt, TZeit jetzt, float breite, float hoehe);
  // Pushes an undo entry holding the current triangle list; entries after the current
  // one are dropped.
  void MerkeRueckgaengig();

  Vektor3& Ecke(std::size_t stelle) { return szene_.dreiecke[stelle / 3].ecke[stelle % 3]; }

  // Whether segment p-q crosses edge e0-e1 in the ground plane. The end at q may touch.
  static bool Kreuzt(const Vektor3& p, const Vektor3& q, const Vektor3& e0, const Vektor3& e1);

 private:
  void Kameratasten(const EingabeStand& e, float dt);
  void Klick(bool shift, TZeit jetzt, const Vektor3& o, const Vektor3& dir);
  void FuegeDreieckeHinzu(const Vektor3& p);
  // `beginnt`: the first frame of a drag (the button was pressed in this frame, or its press
  // fell into a frame whose input editing did not see).
  void Ziehe(bool shift, bool beginnt, const Vektor3& o, const Vektor3& dir);
  void Loesche();
  bool KreuztIrgendeine(const Vektor3& p, const Vektor3& q) const;

  Szene& szene_;
  TZeit letzterKlick_ = 0;
  Vektor3 bodenAnker_, hoehenAnker_;
  bool neuAnkern_ = false;     // the drag takes new anchors at its next usable frame
  bool ziehtMitShift_ = false;  // the drag's mode in its last frame
  bool zieht_ = false;          // a drag has begun and the right button is still held
};

}  // namespace Spiel
