#include "Basis.h"

#include "Anordnung.h"
#include "Ereignisse.h"
#include "Oberflaeche.h"
#include "Quelm_Ausnahme.h"
#include "Quelm_Zeitgeber.h"

#include <algorithm>

namespace Gui {

TZeit Jetzt() { return gZeitgeber.zeit; }
TZeit Ticks(double sekunden) { return static_cast<TZeit>(sekunden * Quelm_TicksProSekunde); }

namespace {
// A switch back within the frame of the last switch leaves both stamps far in the past.
void Umschalten(TZeit& neu, TZeit& alt) {
  const TZeit jetzt = Jetzt();
  if (alt == jetzt) {
    alt = neu = jetzt - Ticks(1000.0);
  } else {
    neu = jetzt;
  }
}
}  // namespace

Wache::Wache(Basis* w) : w_(w) {
  if (!w) return;
  naechste_ = w->wachen_;
  w->wachen_ = this;
}

Wache::~Wache() {
  if (!w_) return;
  for (Wache** p = &w_->wachen_; *p; p = &(*p)->naechste_)
    if (*p == this) {
      *p = naechste_;
      break;
    }
}

Basis::Basis() : zeigZeit(Jetzt()) {}

Basis::~Basis() {
  for (Wache* w = wachen_; w; w = w->naechste_) w->w_ = nullptr;
  if (vernichtungDurch) vernichtungDurch->VergissVernichtung(this);
  if (vater) vater->Entfernen(this);
}

void Basis::SetzeSichtbar(bool v) {
  if (v == sichtbar) return;
  sichtbar = v;
  if (v)
    Umschalten(zeigZeit, versteckZeit);
  else
    Umschalten(versteckZeit, zeigZeit);
  OrdnungAnfragen();
}

void Basis::SetzePosition(const Vektor& p, bool automatisch) {
  position = p;
  positionAutomatisch = automatisch;
}

void Basis::SetzeGroesse(const Vektor& s, bool automatisch) {
  const Vektor d = s - groesse;
  if (Punkt(d, d) < 0.001f) return;
  groesse = s;
  groesseAutomatisch = automatisch;
  if (!automatisch) {
    dehnung = {0, 0, 0};
    OrdnungAnfragen();
  }
}

Vektor Basis::GibGroesse() {
  if (!groesseAutomatisch) return groesse;
  const std::string typ = GibTypName();
  const float k = wurzel ? wurzel->skalierung : 1.0f;
  return {k * FindeEigenschaft(typ + ".groesse.x", 100.0f), k * FindeEigenschaft(typ + ".groesse.y", 40.0f), 0};
}

std::string Basis::GibTypName() const { return ""; }

void Basis::SetzeVater(VaterBasis* neuerVater, Oberflaeche* neueWurzel) {
  if (!neueWurzel && wurzel) wurzel->MeldeAb(this);
  vater = neuerVater;
  wurzel = neueWurzel;
  if (neueWurzel && fokusBeimAnhaengen) neueWurzel->SetzeFokus(this);
}

bool Basis::NimmtEingabe() { return false; }
bool Basis::ReservierteAbfrage() { return false; }

void Basis::BehandleFokus(FokusEreignis& e) {
  fokussiert = e.gewonnen;
  (e.gewonnen ? fokusGewonnenZeit : fokusVerlorenZeit) = Jetzt();
  e.Behandelt();
  fokusGeaendert(e.gewonnen);
}

void Basis::BehandleTaste(TasteEreignis&) {}
void Basis::BehandleEreignisArt1(BasisEreignis&) {}
void Basis::BehandleMausBewegung(MausBewegungEreignis&) {}

bool Basis::IstEffektivSichtbar() const {
  for (const Basis* w = this; w; w = w->vater)
    if (!w->sichtbar) return false;
  return true;
}

Vektor Basis::AbsolutePosition() const {
  Vektor p{0, 0, 0};
  for (const Basis* w = this; w; w = w->vater) p = p + w->position;
  return p;
}

Vektor Basis::BevorzugteGroesse() { return groesseAutomatisch ? GibGroesse() : groesse; }

float Basis::FindeEigeneEigenschaft(std::string_view pfad, float vorgabe) const {
  const EigenschaftsBaum* k = eigenschaften.Finde(pfad);
  const float* wert = k ? k->Wert<float>() : nullptr;
  return wert ? *wert : vorgabe;
}

float Basis::FindeEigenschaft(std::string_view pfad, float vorgabe) const {
  const EigenschaftsBaum* k = eigenschaften.Finde(pfad);
  if (const float* wert = k ? k->Wert<float>() : nullptr) return *wert;
  if (wurzel && wurzel != this) return wurzel->FindeEigeneEigenschaft(pfad, vorgabe);
  return vorgabe;
}

void Basis::OrdnungAnfragen() {
  if (wurzel) wurzel->OrdneNeu();
}

// --- VaterBasis ------------------------------------------------------------------------

VaterBasis::VaterBasis() = default;

VaterBasis::~VaterBasis() {
  delete anordnung;
  anordnung = nullptr;
  ZerstoereKinder();
}

void VaterBasis::ZerstoereKinder() {
  // Each child's destructor takes it out of the list.
  while (!kinder.empty()) delete kinder.back();
}

void VaterBasis::Zeichne(Renderer& renderer) {
  for (Basis* k : kinder) k->Zeichne(renderer);
}

void VaterBasis::SetzeSichtbar(bool v) {
  Basis::SetzeSichtbar(v);
  for (Basis* k : kinder) k->SetzeSichtbar(v);
}

Vektor VaterBasis::GibGroesse() {
  if (!anordnung) return {100, 40, 0};
  return anordnung->BerechneGroesse(*this);
}

void VaterBasis::SetzeVater(VaterBasis* neuerVater, Oberflaeche* neueWurzel) {
  Basis::SetzeVater(neuerVater, neueWurzel);
  for (Basis* k : kinder) k->SetzeVater(this, neueWurzel);
  OrdnungAnfragen();
}

void VaterBasis::Hinzufuegen(Basis* w) {
  if (!w) return;
  // Under itself the parent chain would become a loop: endless walks, double deletion.
  for (const Basis* a = this; a; a = a->vater)
    if (a == w) {
      MeldeAusnahme("Widget kann nicht in sich selbst eingefügt werden", "Gui::VaterBasis::Hinzufuegen", __FILE__,
                    __LINE__);
      return;
    }
  if (w->vater) w->vater->Entfernen(w);
  kinder.push_back(w);
  w->SetzeVater(this, wurzel);
  w->SetzeSichtbar(sichtbar);
  OrdnungAnfragen();
}

void VaterBasis::Entfernen(Basis* w) {
  auto it = std::find(kinder.begin(), kinder.end(), w);
  if (it == kinder.end()) return;
  kinder.erase(it);
  w->SetzeVater(nullptr, nullptr);
  OrdnungAnfragen();
}

void VaterBasis::SetzeAnordnung(Anordnung* a) {
  if (a != anordnung) delete anordnung;
  anordnung = a;
  OrdnungAnfragen();
}

bool VaterBasis::IstModal() { return false; }

}  // namespace Gui
