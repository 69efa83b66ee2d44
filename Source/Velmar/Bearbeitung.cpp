#include "Bearbeitung.h"

#include "Device.h"
#include "InputSystem.h"

#include <algorithm>
#include <cmath>

namespace Spiel {

namespace {

enum Taste : int {
  kEntfernen = 14,  // Backspace
  kW = 17,
  kUndo = 21,
  kStrgLinks = 29,
  kA = 30,
  kS = 31,
  kD = 32,
  kShiftLinks = 42,
  kRedo = 44,
  kShiftRechts = 54,
  kF1 = 59,
  kF2 = 60,
  kHoch = 200,
  kLinks = 203,
  kRechts = 205,
  kRunter = 208,
  kLoeschen = 211,
};

constexpr float kTempo = 50;             // units per second
constexpr float kAuswahlRadius2 = 16;    // squared distance from the ray
constexpr float kAnfuegeRadius2 = 2500;  // squared distance of an edge's corners
constexpr float kZugSchwelle = 0.1f;
// A ray must point at least this much down (or along z) to meet the ground (or the height
// plane) at a finite point; nearly parallel rays are ignored.
constexpr float kMinSteigung = 0.01f;

bool AufBoden(const Vektor3& o, const Vektor3& dir, Vektor3& punkt) {
  if (dir.y > -kMinSteigung) return false;
  punkt = o + dir * (-o.y / dir.y);
  return true;
}

}  // namespace

EingabeStand EingabeStand::Lies(const DRENO::InputSystem* system) {
  EingabeStand e;
  if (!system) return e;
  if (const DRENO::Keyboard* k = system->GetFirstKeyboard())
    for (int t = 0; t < 256; ++t) {
      e.unten[t] = k->IsKeyDown(t);
      e.losgelassen[t] = k->WasKeyReleased(t);
    }
  if (const DRENO::Mouse* m = system->GetFirstMouse()) {
    e.linksGedrueckt = m->WasButtonPressed(0);
    e.rechtsUnten = m->IsButtonDown(1);
    e.rechtsGedrueckt = m->WasButtonPressed(1);
    e.mausX = m->GetMouseX();
    e.mausY = m->GetMouseY();
    e.rad = m->GetAnalogueAbs(2);
  }
  return e;
}

void TauscheSchnappschuss::operator()() {
  std::swap(dreiecke, szene->dreiecke);
  szene->BaueNetz();
  auswahl->clear();
}

void Bearbeitung::MerkeRueckgaengig() {
  verlauf.erase(verlauf.begin() + (verlaufIndex + 1), verlauf.end());
  verlauf.push_back(TauscheSchnappschuss{szene_.dreiecke, &szene_, &auswahl});
  verlaufIndex = static_cast<std::int64_t>(verlauf.size()) - 1;
}

bool Bearbeitung::Kreuzt(const Vektor3& p, const Vektor3& q, const Vektor3& e0, const Vektor3& e1) {
  const float det = (p.x - q.x) * (e0.z - e1.z) - (p.z - q.z) * (e0.x - e1.x);
  if (std::fabs(det) < 0.0001f) return false;
  const float t = ((p.x - e0.x) * (e0.z - e1.z) - (p.z - e0.z) * (e0.x - e1.x)) / det;
  const float u = -((p.z - e0.z) * (p.x - q.x) - (p.x - e0.x) * (p.z - q.z)) / det;
  return t > 0 && t < 0.999f && u >= -0.0001f && u <= 1.0001f;
}

void Bearbeitung::Schritt(const EingabeStand& e, float dt, TZeit jetzt, float breite, float hoehe) {
  if (konsoleOffen && konsoleOffen()) {
    zieht_ = false;
    return;
  }
  Kameratasten(e, dt);

  if (e.unten[kStrgLinks]) {
    if (e.losgelassen[kUndo] && verlaufIndex != -1) {
      verlauf[static_cast<std::size_t>(verlaufIndex)]();
      --verlaufIndex;
    }
    if (e.losgelassen[kRedo] && verlaufIndex + 1 < static_cast<std::int64_t>(verlauf.size())) {
      ++verlaufIndex;
      verlauf[static_cast<std::size_t>(verlaufIndex)]();
    }
  }
  if (e.losgelassen[kF1]) anzeige ^= 1u;
  if (e.losgelassen[kF2]) anzeige ^= 2u;

  const Vektor3 o = kamera.Position();
  const Vektor3 dir = kamera.Strahl(e.mausX, e.mausY, breite, hoehe);
  const bool shift = e.unten[kShiftLinks] || e.unten[kShiftRechts];
  if (e.linksGedrueckt) {
    Klick(shift, jetzt, o, dir);
    // A drag held through the click goes on where it was: same undo entry, same anchors.
    zieht_ = zieht_ && e.rechtsUnten;
  } else if (e.rechtsUnten) {
    Ziehe(shift, !zieht_ || e.rechtsGedrueckt, o, dir);
  } else {
    zieht_ = false;
  }

  if ((e.losgelassen[kLoeschen] || e.losgelassen[kEntfernen]) && !auswahl.empty()) Loesche();
}

void Bearbeitung::Kameratasten(const EingabeStand& e, float dt) {
  if (e.unten[kA] || e.unten[kLinks]) kamera.ziel.x -= kTempo * dt;
  if (e.unten[kD] || e.unten[kRechts]) kamera.ziel.x += kTempo * dt;
  if (e.unten[kW] || e.unten[kHoch]) kamera.ziel.z -= kTempo * dt;
  if (e.unten[kS] || e.unten[kRunter]) kamera.ziel.z += kTempo * dt;
  if (e.rad < 0) kamera.zielDistanz = std::min(kamera.zielDistanz + 50, 500.0f);
  if (e.rad > 0) kamera.zielDistanz = std::max(kamera.zielDistanz - 50, 100.0f);
}

void Bearbeitung::Klick(bool shift, TZeit jetzt, const Vektor3& o, const Vektor3& dir) {
  const auto doppelFenster = static_cast<TZeit>(Quelm_TicksProSekundeD * 0.2);
  if (jetzt - letzterKlick_ >= doppelFenster) {
    if (!shift) auswahl.clear();
    for (std::size_t stelle = 0; stelle < szene_.dreiecke.size() * 3; ++stelle) {
      const Vektor3 w = Ecke(stelle) - o;
      const Vektor3 quer = w - dir * Punkt(w, dir);
      if (Punkt(quer, quer) >= kAuswahlRadius2) continue;
      const auto da = std::find(auswahl.begin(), auswahl.end(), stelle);
      if (shift && da != auswahl.end())
        auswahl.erase(da);
      else
        auswahl.push_back(stelle);
    }
  } else if (Vektor3 p; AufBoden(o, dir, p)) {
    FuegeDreieckeHinzu(p);
  }
  letzterKlick_ = jetzt;
}

bool Bearbeitung::KreuztIrgendeine(const Vektor3& p, const Vektor3& q) const {
  for (const Dreieck& d : szene_.dreiecke)
    for (int k = 0; k < 3; ++k)
      if (Kreuzt(p, q, d.ecke[k], d.ecke[(k + 1) % 3])) return true;
  return false;
}

void Bearbeitung::FuegeDreieckeHinzu(const Vektor3& p) {
  std::vector<Dreieck> neu;
  for (const Dreieck& d : szene_.dreiecke)
    for (int i = 0; i < 3; ++i) {
      const Vektor3& a = d.ecke[i];
      const Vektor3& b = d.ecke[(i + 1) % 3];
      const Vektor3 pa = a - p, pb = b - p;
      if (Punkt(pa, pa) > kAnfuegeRadius2 || Punkt(pb, pb) > kAnfuegeRadius2) continue;
      if (KreuztIrgendeine(p, a) || KreuztIrgendeine(p, b)) continue;
      neu.push_back({{p, b, a}});
    }
  if (neu.empty()) return;
  MerkeRueckgaengig();
  szene_.dreiecke.insert(szene_.dreiecke.end(), neu.begin(), neu.end());
  szene_.BaueNetz();
}

void Bearbeitung::Ziehe(bool shift, bool beginnt, const Vektor3& o, const Vektor3& dir) {
  zieht_ = true;
  if (beginnt) {
    MerkeRueckgaengig();
    neuAnkern_ = true;
  }
  // Switching between moving and lifting starts the new mode from where the mouse is now.
  if (shift != ziehtMitShift_) neuAnkern_ = true;
  ziehtMitShift_ = shift;

  Vektor3 g;
  if (!AufBoden(o, dir, g)) return;
  Vektor3 h;
  const float t2 = std::fabs(dir.z) >= kMinSteigung ? (bodenAnker_.z - o.z) / dir.z : -1;
  const bool hatHoehe = t2 > 0;
  if (hatHoehe) h = o + dir * t2;
  if (neuAnkern_) {
    bodenAnker_ = g;
    // The height plane passes through the new ground anchor.
    const float t3 = std::fabs(dir.z) >= kMinSteigung ? (g.z - o.z) / dir.z : -1;
    if (t3 > 0) hoehenAnker_ = o + dir * t3;
    neuAnkern_ = false;
    return;
  }

  if (shift) {
    if (!hatHoehe) return;
    const float dy = h.y - hoehenAnker_.y;
    if (std::fabs(dy) <= kZugSchwelle) return;
    hoehenAnker_ = h;
    for (std::size_t stelle : auswahl) Ecke(stelle).y += dy;
  } else {
    const Vektor3 delta = g - bodenAnker_;
    if (Laenge(delta) <= kZugSchwelle) return;
    bodenAnker_ = g;
    for (std::size_t stelle : auswahl) Ecke(stelle) += delta;
  }
  szene_.BaueNetz();
}

void Bearbeitung::Loesche() {
  MerkeRueckgaengig();
  std::vector<bool> weg(szene_.dreiecke.size());
  for (std::size_t stelle : auswahl) weg[stelle / 3] = true;
  std::size_t ziel = 0;
  for (std::size_t i = 0; i < szene_.dreiecke.size(); ++i)
    if (!weg[i]) szene_.dreiecke[ziel++] = szene_.dreiecke[i];
  szene_.dreiecke.resize(ziel);
  auswahl.clear();
  szene_.BaueNetz();
}

}  // namespace Spiel
