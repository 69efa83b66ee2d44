#include "Oberflaeche.h"

#include "Anordnung.h"
#include "Ereignisse.h"
#include "Hinweis.h"
#include "Quelm_Screen3D.h"
#include "Quelm_Zeitgeber.h"
#include "Renderer.h"
#include "TEigenschaften_Serialisierung.h"

#include <algorithm>
#include <cmath>

namespace Gui {

Oberflaeche::Oberflaeche(const std::filesystem::path& eigenschaftsDatei) {
  wurzel = this;
  if (!eigenschaftsDatei.empty())
    TEigenschaften_Serialisierung::LadeEigenschaftenAusXml(eigenschaften, eigenschaftsDatei);
  SetzePosition({0, 0, 0}, false);
  SetzeGroesse({static_cast<float>(Quelm_Screen3D::modus.width), static_cast<float>(Quelm_Screen3D::modus.height), 0},
               false);
}

Oberflaeche::~Oberflaeche() {
  wirdZerstoert_ = true;
  gZeitgeber.Entferne(neuOrdnenId);
  gZeitgeber.Entferne(hinweisTimer);
  neuOrdnenId = hinweisTimer = kKeineId;
  // Widgets waiting for deletion go now (detached ones would otherwise be lost), then the
  // children while the surface's own fields still stand.
  while (!vernichtungen_.empty()) {
    Basis* w = vernichtungen_.back().first;
    delete w;  // its destructor drops the entry and cancels the call
  }
  ZerstoereKinder();
}

void Oberflaeche::Zeichne(Renderer& renderer) { renderer.ZeichneOberflaeche(this); }

// --- Routing and focus -------------------------------------------------------------------

void Oberflaeche::VerteileAb(Basis* start, BasisEreignis& e) {
  for (Basis* w = start; w && !e.behandelt; w = w->vater) {
    const Wache wache(w);
    switch (e.art) {
      case 0: w->BehandleTaste(static_cast<TasteEreignis&>(e)); break;
      case 1: w->BehandleEreignisArt1(e); break;
      case 2: w->BehandleFokus(static_cast<FokusEreignis&>(e)); break;
      case 3: w->BehandleMausBewegung(static_cast<MausBewegungEreignis&>(e)); break;
      default: break;
    }
    // A handler that deleted its widget (or an ancestor) leaves no parent chain to follow.
    if (!wache.Lebt()) return;
  }
}

void Oberflaeche::VerteileEreignis(BasisEreignis& e) {
  if (fokus) VerteileAb(fokus, e);
}

void Oberflaeche::SetzeFokus(Basis* w) {
  if (w == fokus) return;
  const Wache ziel(w);
  if (Basis* alt = fokus) {
    FokusEreignis e(alt, false);
    VerteileAb(alt, e);
    fokus = nullptr;
  }
  // The old focus's handler may have deleted the new one.
  if (!w || !ziel.Lebt() || dynamic_cast<Hinweis*>(w) || !w->NimmtEingabe()) return;
  fokus = w;
  FokusEreignis e(w, true);
  VerteileAb(w, e);
}

// --- Pointer -----------------------------------------------------------------------------

void Oberflaeche::VerarbeiteMausBewegung(const Vektor& p) {
  zeigerBewegung = p - zeigerPosition;
  zeigerPosition = p;
  Basis* treffer = FindeKomponenteUnter(p - position, this);

  bool folgen = false;
  const bool tasteGehalten = (tastenZustand[ZeigerTaste1] | tastenZustand[ZeigerTaste2] | tastenZustand[ZeigerTaste3]) & 2;
  if (treffer != schwebend && !tasteGehalten) {
    if (treffer)
      folgen = schwebend ? true : treffer->NimmtEingabe();
    else if (schwebend)
      folgen = schwebend->NimmtEingabe();
    schwebend = treffer;
    if (folgen) SetzeFokus(treffer);
  }

  const bool bewegt = zeigerBewegung.x != 0 || zeigerBewegung.y != 0 || zeigerBewegung.z != 0;
  if (fokus && (bewegt || folgen)) {
    MausBewegungEreignis e(zeigerPosition, zeigerBewegung);
    VerteileAb(fokus, e);
  }
  if (!bewegt && !folgen) return;

  if (hinweisZustand == 1) {
    gZeitgeber.Entferne(hinweisTimer);
    SetzeHinweisZurueck();
  } else if (hinweisZustand == 2 && schwebend != hinweisKomponente) {
    Hinweis* alt = hinweis;
    SetzeHinweisZurueck();
    if (alt) {
      alt->SetzeSichtbar(false);
      VernichteKomponenteNachZeit(alt, Ticks(0.5));
    }
  }
  if (hinweisZustand == 0 && schwebend && !schwebend->hinweisText.empty()) {
    hinweisZustand = 1;
    hinweisKomponente = schwebend;
    hinweisTimer = gZeitgeber.FuegeHinzu(Ticks(0.5), [this] { ZeigeHinweis(); });
  }
}

void Oberflaeche::ZeigeHinweis() {
  hinweisTimer = kKeineId;
  if (!hinweisKomponente) return;
  hinweis = new Hinweis(hinweisKomponente->hinweisText, hinweisKomponente);
  Hinzufuegen(hinweis);
  hinweisZustand = 2;
}

void Oberflaeche::SetzeHinweisZurueck() {
  hinweisZustand = 0;
  hinweisKomponente = nullptr;
  hinweis = nullptr;
  hinweisTimer = kKeineId;
}

// --- Keys --------------------------------------------------------------------------------

bool Oberflaeche::DarfFokusBehalten(Basis* w) {
  return w->NimmtEingabe() && IstEingabeErlaubt(w) && w->IstEffektivSichtbar();
}

void Oberflaeche::VerarbeiteTaste(std::uint64_t taste, std::uint32_t zustand) {
  // Codes beyond the table have no state and no listeners.
  if (taste >= kTastenAnzahl) return;
  if (fokus && !DarfFokusBehalten(fokus)) SetzeFokus(nullptr);

  bool doppelt = false;
  if (zustand == Gedrueckt) {
    const Vektor d = zeigerPosition - letzterDruckPosition;
    doppelt = taste == letzteTaste && Jetzt() < letzterDruckZeit + Ticks(0.3) && Punkt(d, d) < 400.0f;
    letzteTaste = taste;
    letzterDruckPosition = zeigerPosition;
    letzterDruckZeit = Jetzt();
  }
  tastenZustand[taste] = zustand == Gedrueckt ? 3 : zustand;

  TasteEreignis e(taste, zustand, doppelt);
  VerteileEreignis(e);
  if (e.behandelt) return;
  const std::vector<Basis*>& hoerer = tastenHoerer[taste];
  for (auto it = hoerer.rbegin(); it != hoerer.rend(); ++it) {
    Basis* h = *it;
    if (h->IstEffektivSichtbar() && IstEingabeErlaubt(h)) {
      h->BehandleTaste(e);
      break;
    }
  }
  if (e.behandelt) return;
  if ((zustand & 1) && taste >= PfeilHoch && taste <= PfeilLinks) NavigiereFokus(taste);
}

// --- Hit testing and modality ------------------------------------------------------------

namespace {
bool Innen(const Vektor& q, const Basis& k) {
  return !(q.x < 0 || q.y < 0 || q.x >= k.groesse.x || q.y >= k.groesse.y);
}
bool Modal(Basis* w) {
  auto* v = dynamic_cast<VaterBasis*>(w);
  return v && v->IstModal();
}
}  // namespace

Basis* Oberflaeche::FindeKomponenteUnter(const Vektor& q, Basis* k) {
  if (!k->sichtbar || !Innen(q, *k)) return nullptr;
  auto* v = dynamic_cast<VaterBasis*>(k);
  if (!v || v->kinder.empty()) return k;
  for (auto it = v->kinder.rbegin(); it != v->kinder.rend(); ++it) {
    Basis* d = *it;
    const Vektor r = q - d->position;
    const bool modal = Modal(d);
    if (Innen(r, *d)) {
      Basis* treffer = FindeKomponenteUnter(r, d);
      if (modal && d->sichtbar && d->IstEffektivSichtbar()) return treffer;
      if (treffer) return treffer;
    } else if (modal) {
      return nullptr;
    }
  }
  return k;
}

bool Oberflaeche::IstEingabeErlaubt(Basis* w) {
  for (Basis* p = w; p && p->vater; p = p->vater) {
    VaterBasis* a = p->vater;
    Basis* l = a->kinder.empty() ? nullptr : a->kinder.back();
    if (l && l != p && l->sichtbar && (!l->vater || l->vater->IstEffektivSichtbar()) && Modal(l)) return false;
  }
  return true;
}

// --- Arrow navigation --------------------------------------------------------------------

void Oberflaeche::SammleSichtbare(Basis* w, std::vector<Basis*>& liste) {
  if (w->sichtbar && (!w->vater || w->vater->IstEffektivSichtbar())) liste.push_back(w);
  if (auto* v = dynamic_cast<VaterBasis*>(w))
    for (Basis* k : v->kinder) SammleSichtbare(k, liste);
}

void Oberflaeche::NavigiereFokus(std::uint64_t taste) {
  std::vector<Basis*> kandidaten;
  SammleSichtbare(this, kandidaten);
  std::erase_if(kandidaten, [this](Basis* c) { return !c->NimmtEingabe() || c == fokus || !IstEingabeErlaubt(c); });
  if (kandidaten.empty()) return;
  if (!fokus) {
    SetzeFokus(kandidaten.front());
    return;
  }
  float x = 0, y = 0;
  switch (taste) {
    case PfeilHoch: y = -1; break;
    case PfeilRunter: y = 1; break;
    case PfeilRechts: x = 1; break;
    case PfeilLinks: x = -1; break;
    default: return;
  }
  Vektor af = fokus->AbsolutePosition();
  Vektor bf = af + fokus->groesse;
  Basis* wahl = nullptr;
  float beste = 1e7f;
  auto bewerte = [&](bool umlauf) {
    for (Basis* c : kandidaten) {
      const Vektor ac = c->AbsolutePosition();
      const Vektor d = (ac - af) + (ac + c->groesse - bf);
      const float laenge = std::sqrt(Punkt(d, d));
      // A candidate centred on the focus has no direction.
      if (!(laenge > 0)) continue;
      const float kosinus = (x * d.x + y * d.y) / laenge;
      if (!umlauf && kosinus < 0.1f) continue;
      const float wert = laenge / (umlauf ? std::max(kosinus, 0.1f) : kosinus);
      if (wert < beste) {
        beste = wert;
        wahl = c;
      }
    }
  };
  bewerte(false);
  if (!wahl) {
    const float r = std::fabs(y * groesse.y + x * groesse.x);
    const Vektor verschiebung{-x * r, -y * r, 0};
    af = af + verschiebung;
    bf = bf + verschiebung;
    bewerte(true);
  }
  if (wahl) SetzeFokus(wahl);
}

// --- Leaving widgets, delayed deletion, layout -------------------------------------------

void Oberflaeche::MeldeAb(Basis* w) {
  if (fokus == w) fokus = nullptr;
  if (schwebend == w) schwebend = nullptr;
  for (auto& hoerer : tastenHoerer) std::erase(hoerer, w);
  // Tooltips still fading out must not reach back to a widget that is gone.
  for (Basis* k : kinder)
    if (auto* h = dynamic_cast<Hinweis*>(k); h && h->komponente == w) h->komponente = nullptr;
  if (w == hinweisKomponente) {
    Hinweis* gezeigt = hinweisZustand == 2 ? hinweis : nullptr;
    if (hinweisZustand == 1) gZeitgeber.Entferne(hinweisTimer);
    SetzeHinweisZurueck();
    delete gezeigt;
  } else if (w == hinweis) {
    SetzeHinweisZurueck();
  }
}

void Oberflaeche::VernichteKomponenteNachZeit(Basis* w, TZeit verzoegerung) {
  if (!w || w == this) return;
  VergissVernichtung(w);  // one deletion per widget
  const std::uint64_t id = gZeitgeber.FuegeHinzu(verzoegerung, [this, w] {
    VergissVernichtung(w);
    delete w;
  });
  vernichtungen_.emplace_back(w, id);
  w->vernichtungDurch = this;
}

void Oberflaeche::VergissVernichtung(Basis* w) {
  auto it = std::find_if(vernichtungen_.begin(), vernichtungen_.end(), [w](const auto& e) { return e.first == w; });
  if (it == vernichtungen_.end()) return;
  gZeitgeber.Entferne(it->second);
  vernichtungen_.erase(it);
  w->vernichtungDurch = nullptr;
}

void Oberflaeche::OrdneNeu() {
  if (wirdZerstoert_ || neuOrdnenId != kKeineId) return;
  neuOrdnenId = gZeitgeber.FuegeHinzu(0, [this] {
    neuOrdnenId = kKeineId;
    OrdneRekursiv(this);
  });
}

void Oberflaeche::OrdneRekursiv(VaterBasis* v) {
  if (!v->ordnetGerade) {
    v->ordnetGerade = true;
    if (v->anordnung) {
      if (v->anordnung->art == 0) v->anordnung->Ordne(*v);
      if (v->anordnung->art == 1) v->anordnung->OrdneQuer(*v);
    }
    v->ordnetGerade = false;
  }
  for (Basis* k : v->kinder)
    if (auto* kv = dynamic_cast<VaterBasis*>(k)) OrdneRekursiv(kv);
}

}  // namespace Gui
