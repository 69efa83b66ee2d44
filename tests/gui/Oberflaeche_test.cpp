// Surface: double presses, hover and focus, modality, navigation, tooltips, leaving widgets.
#include "GuiTestHilfe.h"
#include "Hinweis.h"
#include "ProtokollSammler.h"

#include <array>

namespace {

using Gui::Oberflaeche;
using Gui::Vektor;

struct Druck {
  double abstand;    // seconds between the presses
  float weg;         // pointer movement between them
  bool andereTaste;  // another key pressed in between
  bool loslassen;    // the key released in between
  bool doppelt;
};

TEST_F(GuiTest, DoppelterDruckNurKnappUndMitDerselbenTaste) {
  const Druck faelle[] = {{0.29, 19, false, false, true},  {0.29, 19, false, true, true}, {0.3, 0, false, false, false},
                          {0.29, 20, false, false, false}, {0.1, 0, true, false, false}};
  Feld* f = Neu(*o, {500, 500, 0});
  for (const Druck& d : faelle) {
    o->SetzeFokus(f);
    Schritt(1);
    Zeige(0, 0);
    f->tasten.clear();
    o->VerarbeiteTaste(265, Oberflaeche::Gedrueckt);
    if (d.andereTaste) o->VerarbeiteTaste(266, Oberflaeche::Gedrueckt);
    if (d.loslassen) o->VerarbeiteTaste(265, Oberflaeche::Losgelassen);
    Zeige(d.weg, 0);
    Schritt(d.abstand);
    o->VerarbeiteTaste(265, Oberflaeche::Gedrueckt);
    EXPECT_EQ(f->tasten.back(), 2650u + d.doppelt) << d.abstand << " " << d.weg;
  }
  // Codes beyond the table are ignored.
  const std::size_t n = f->tasten.size();
  o->VerarbeiteTaste(270, Oberflaeche::Gedrueckt);
  o->VerarbeiteTaste(~std::uint64_t{0}, Oberflaeche::Losgelassen);
  EXPECT_EQ(f->tasten.size(), n);
}

// A key the focus leaves unhandled goes to one listener only: the last one that is shown
// and not blocked by a modal container.
TEST_F(GuiTest, NurDerLetzteErreichbareHoererBekommtDieTaste) {
  struct Fall {
    const char* was;
    bool letzterVersteckt, letzterGesperrt, fokusBehandelt;
    int empfaenger;  // index of the listener, -1 none
    bool fokusVersteckt = false;
  };
  const Fall faelle[] = {{"alle erreichbar", false, false, false, 2},
                         {"letzter versteckt", true, false, false, 1},
                         {"letzter hinter modalem Behaelter", false, true, false, 1},
                         {"Fokus behandelt", false, false, true, -1},
                         {"Fokus versteckt verliert ihn", false, false, true, 2, true}};
  for (const Fall& f : faelle) {
    SCOPED_TRACE(f.was);
    auto* unten = Neu<Gui::VaterBasis>(*o, {0, 0, 0});
    std::vector<Feld*> hoerer;
    for (int i = 0; i < 3; ++i) hoerer.push_back(Neu(*unten, {0, 0, 0}));
    Feld* fokus = Neu(*o, {0, 0, 0});
    fokus->behandeln = f.fokusBehandelt;
    o->SetzeFokus(fokus);
    if (f.fokusVersteckt) fokus->SetzeSichtbar(false);
    if (f.letzterGesperrt) {
      // The last listener stays below a modal container; the others move into it.
      auto* modal = Neu<Modal>(*o, {0, 0, 0});
      modal->Hinzufuegen(hoerer[0]);
      modal->Hinzufuegen(hoerer[1]);
    }
    if (f.letzterVersteckt) hoerer[2]->SetzeSichtbar(false);
    o->tastenHoerer[100] = {hoerer[0], hoerer[1], hoerer[2]};
    o->VerarbeiteTaste(100, Oberflaeche::Gedrueckt);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(hoerer[i]->tasten.size(), i == f.empfaenger ? 1u : 0u) << i;
    // A focus that may no longer hold it (hidden, or below the modal container) loses it first.
    EXPECT_EQ(fokus->tasten.size(), f.fokusVersteckt || f.letzterGesperrt ? 0u : 1u);
    while (!o->kinder.empty()) delete o->kinder.back();
  }
}

TEST_F(GuiTest, FokusFolgtDemZeigerAusserMitGehaltenerTaste) {
  Feld* a = Neu(*o, {0, 0, 0});
  Feld* b = Neu(*o, {200, 0, 0});
  Feld* passiv = Neu(*o, {400, 0, 0});
  passiv->eingabe = false;
  Zeige(50, 50);
  EXPECT_EQ(o->fokus, a);
  o->VerarbeiteTaste(Oberflaeche::ZeigerTaste2, Oberflaeche::Gedrueckt);
  Zeige(250, 50);
  EXPECT_EQ(o->schwebend, a);
  EXPECT_EQ(o->fokus, a);
  o->VerarbeiteTaste(Oberflaeche::ZeigerTaste2, Oberflaeche::Losgelassen);
  Zeige(251, 50);
  EXPECT_EQ(o->fokus, b);
  EXPECT_TRUE(b->fokussiert);
  EXPECT_FALSE(a->fokussiert);
  EXPECT_EQ(b->fokusGewonnenZeit, Gui::Jetzt());
  EXPECT_EQ(a->fokusVerlorenZeit, Gui::Jetzt());
  Zeige(450, 50);
  EXPECT_EQ(o->fokus, nullptr);
  Zeige(250, 50);
  Zeige(800, 50);  // empty space
  EXPECT_EQ(o->fokus, nullptr);
  o->SetzeFokus(passiv);
  EXPECT_EQ(o->fokus, nullptr);
  EXPECT_EQ(o->zeigerBewegung, (Vektor{550, 0, 0}));
  auto* beimAnhaengen = new Feld;
  beimAnhaengen->fokusBeimAnhaengen = true;
  o->Hinzufuegen(beimAnhaengen);
  EXPECT_EQ(o->fokus, beimAnhaengen);
}

TEST_F(GuiTest, ModalerBehaelterSperrtWasDarunterLiegt) {
  Feld* a = Neu(*o, {0, 0, 0});
  o->tastenHoerer[100].push_back(a);
  auto* m = Neu<Modal>(*o, {300, 300, 0});
  Feld* c = Neu(*m, {10, 10, 0}, {50, 50, 0});
  EXPECT_EQ(o->FindeKomponenteUnter({20, 20, 0}, o.get()), nullptr);
  EXPECT_EQ(o->FindeKomponenteUnter({320, 320, 0}, o.get()), c);
  EXPECT_EQ(o->FindeKomponenteUnter({380, 380, 0}, o.get()), m);
  EXPECT_EQ(o->FindeKomponenteUnter({360, 359, 0}, o.get()), m);  // the far edge is outside
  EXPECT_FALSE(o->IstEingabeErlaubt(a));
  EXPECT_TRUE(o->IstEingabeErlaubt(c));
  o->VerarbeiteTaste(100, Oberflaeche::Gedrueckt);
  EXPECT_TRUE(a->tasten.empty());
  // Hidden, it still blocks hit testing outside itself, but no longer input.
  m->SetzeSichtbar(false);
  EXPECT_EQ(o->FindeKomponenteUnter({20, 20, 0}, o.get()), nullptr);
  EXPECT_EQ(o->FindeKomponenteUnter({320, 320, 0}, o.get()), o.get());
  EXPECT_TRUE(o->IstEingabeErlaubt(a));
  o->VerarbeiteTaste(100, Oberflaeche::Gedrueckt);
  EXPECT_EQ(a->tasten.size(), 1u);
}

TEST_F(GuiTest, PfeileWandernMitUmlaufUndUeberspringenDieGleicheMitte) {
  Feld* f1 = Neu(*o, {0, 300, 0});
  Feld* f2 = Neu(*o, {600, 300, 0});
  Feld* f3 = Neu(*o, {0, 600, 0}, {100, 100, 0});
  Feld* gleich = Neu(*o, {25, 325, 0}, {50, 50, 0});  // centred on f1
  o->VerarbeiteTaste(Oberflaeche::PfeilRechts, Oberflaeche::Gedrueckt);
  EXPECT_EQ(o->fokus, f1);
  struct Schritt_ {
    std::uint64_t taste;
    Feld* ziel;
  };
  for (const Schritt_& s : {Schritt_{Oberflaeche::PfeilRechts, f2}, {Oberflaeche::PfeilRechts, f1},
                            {Oberflaeche::PfeilRunter, f3}, {Oberflaeche::PfeilHoch, f1}, {Oberflaeche::PfeilLinks, f2}}) {
    o->VerarbeiteTaste(s.taste, Oberflaeche::Gedrueckt);
    EXPECT_EQ(o->fokus, s.ziel) << s.taste;
  }
  EXPECT_NE(o->fokus, gleich);
  o->VerarbeiteTaste(Oberflaeche::PfeilLinks, Oberflaeche::Losgelassen);
  EXPECT_EQ(o->fokus, f2);
  f2->behandeln = true;
  o->VerarbeiteTaste(Oberflaeche::PfeilLinks, Oberflaeche::Gedrueckt);
  EXPECT_EQ(o->fokus, f2);
}

// A candidate almost straight below does not count as "right" (cosine below 0.1): the
// wrap-around pass picks the one at the left edge.
TEST_F(GuiTest, PfeilUebergehtFastSenkrechteKandidaten) {
  Feld* fokus = Neu(*o, {600, 0, 0});
  Neu(*o, {610, 600, 0});
  Feld* links = Neu(*o, {0, 0, 0});
  o->SetzeFokus(fokus);
  o->VerarbeiteTaste(Oberflaeche::PfeilRechts, Oberflaeche::Gedrueckt);
  EXPECT_EQ(o->fokus, links);
}

TEST_F(GuiTest, HinweisNachHalberSekundeRuheUndVerblasstBeimVerlassen) {
  Feld* w = Neu(*o, {100, 100, 0});
  w->hinweisText = "Hallo";
  Zeige(150, 150);
  Schritt(0.4);
  Zeige(151, 150);  // moving restarts the delay
  Schritt(0.4);
  EXPECT_EQ(o->hinweis, nullptr);
  Schritt(0.2);
  ASSERT_NE(o->hinweis, nullptr);
  Gui::Hinweis* h = o->hinweis;
  EXPECT_EQ(o->kinder.back(), h);
  Zeige(152, 150);
  EXPECT_EQ(o->hinweis, h);
  Zeige(900, 600);
  EXPECT_EQ(o->hinweisZustand, 0);
  EXPECT_FALSE(h->sichtbar);
  Schritt(0.4);
  EXPECT_EQ(o->kinder.back(), h);
  Schritt(0.2);
  EXPECT_EQ(o->kinder.back(), w);
  // The focus never goes to a tooltip.
  Gui::Hinweis ohne("x", nullptr);
  o->SetzeFokus(&ohne);
  EXPECT_EQ(o->fokus, nullptr);
  delete new Gui::Hinweis("x", w);
}

TEST_F(GuiTest, AbmeldenVergisstFokusHoererUndHinweis) {
  enum Fall { Geplant, Gezeigt, DerHinweisSelbst, Verblassend };
  for (Fall fall : {Geplant, Gezeigt, DerHinweisSelbst, Verblassend}) {
    Feld* w = Neu(*o, {100, 100, 0});
    w->hinweisText = "Hallo";
    o->tastenHoerer[7] = {w, w};
    Zeige(150, 150);
    if (fall != Geplant) Schritt(0.6);
    Gui::Hinweis* h = o->hinweis;
    if (fall == Verblassend) Zeige(900, 600);  // fades out for 0.5 s, still pointing at w
    if (fall == DerHinweisSelbst) {
      o->Entfernen(h);
      EXPECT_EQ(o->hinweisZustand, 0);
      delete h;
    }
    delete w;
    EXPECT_EQ(o->fokus, nullptr);
    EXPECT_NE(o->schwebend, w);  // a dangling hover need not crash at once
    EXPECT_TRUE(o->tastenHoerer[7].empty());
    EXPECT_EQ(o->hinweisZustand, 0);
    if (fall == Verblassend) {
      EXPECT_EQ(h->komponente, nullptr);
    }
    Schritt(1);
    EXPECT_TRUE(o->kinder.empty()) << fall;
    Schritt(0.01);  // the re-layout that the deletion asked for
    EXPECT_TRUE(gZeitgeber.eintraege.empty()) << fall;
  }
}

TEST_F(GuiTest, VerzoegertesLoeschenEinmalAuchWennDasWidgetVorhergeht) {
  Feld* w = Neu(*o, {0, 0, 0});
  o->VernichteKomponenteNachZeit(w, Sek(0.5));
  delete w;
  Schritt(1);
  Feld* x = Neu(*o, {0, 0, 0});
  o->VernichteKomponenteNachZeit(x, Sek(0.5));
  Schritt(0.4);
  EXPECT_EQ(o->kinder.size(), 1u);
  Schritt(0.2);
  EXPECT_TRUE(o->kinder.empty());
  // Detached and waiting when the surface goes: deleted with it.
  auto* frei = new Feld;
  o->VernichteKomponenteNachZeit(frei, Sek(5));
  o->OrdneNeu();
}

// A handler may delete its own widget or an ancestor: routing stops there, and nothing
// touches the deleted widgets afterwards (the sanitizer build shows any read).
TEST_F(GuiTest, HandlerDerSeinWidgetLoeschtBeendetDasVerteilen) {
  struct Sammler : Gui::VaterBasis {
    int tasten = 0;
    void BehandleTaste(Gui::TasteEreignis&) override { ++tasten; }
  };
  struct Loescher : Feld {
    Gui::Basis* opfer = nullptr;  // deleted by a key, or when it loses the focus
    bool beiFokusverlust = false;
    void BehandleTaste(Gui::TasteEreignis&) override {
      if (!beiFokusverlust) delete opfer;
    }
    void BehandleFokus(Gui::FokusEreignis& e) override {
      Feld::BehandleFokus(e);
      if (beiFokusverlust && !e.gewonnen) delete opfer;
    }
  };
  enum Opfer { SichSelbst, SeinenBehaelter, DasNeueFokusZiel };
  for (Opfer fall : {SichSelbst, SeinenBehaelter, DasNeueFokusZiel}) {
    SCOPED_TRACE(fall);
    auto* oben = Neu<Sammler>(*o, {0, 0, 0});
    auto* behaelter = Neu<Sammler>(*oben, {0, 0, 0});
    auto* l = Neu<Loescher>(*behaelter, {0, 0, 0});
    Feld* ziel = Neu(*o, {200, 0, 0});
    const std::array<Gui::Basis*, 3> opfer{l, behaelter, ziel};
    l->opfer = opfer[fall];
    l->beiFokusverlust = fall == DasNeueFokusZiel;
    o->SetzeFokus(l);
    if (fall == DasNeueFokusZiel) {
      o->SetzeFokus(ziel);
      EXPECT_EQ(o->kinder.size(), 1u);
    } else {
      o->VerarbeiteTaste(100, Oberflaeche::Gedrueckt);
      EXPECT_EQ(oben->tasten, 0);
      delete ziel;
    }
    EXPECT_EQ(o->fokus, nullptr);
    delete oben;
  }
}

TEST_F(GuiTest, BehaelterInSichSelbstEinfuegenWirdAbgewiesen) {
  TempOrdner ordner;
  AktiviereProtokoll(ordner.pfad());
  ZeilenSammler sammler;
  auto* a = Neu<Gui::VaterBasis>(*o, {0, 0, 0});
  auto* b = Neu<Gui::VaterBasis>(*a, {0, 0, 0});
  for (Gui::VaterBasis* unter : {b, a}) {
    sammler.zeilen.clear();
    unter->Hinzufuegen(a);
    EXPECT_EQ(a->vater, o.get());
    EXPECT_EQ(b->vater, a);
    EXPECT_EQ(b->kinder.size(), 0u);
    EXPECT_EQ(a->kinder, std::vector<Gui::Basis*>{b});
    ASSERT_EQ(sammler.Texte().size(), 1u);
    EXPECT_TRUE(sammler.Texte()[0].starts_with("!Ausnahme \"Widget kann nicht in sich selbst"));
  }
}

}  // namespace
