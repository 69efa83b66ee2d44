// Widget base classes, layout and the easing curves, on a clock stepped by hand.
#include "Anordnung.h"
#include "GuiTestHilfe.h"
#include "Renderer.h"
#include "Seite.h"

#include <cmath>

namespace {

using Gui::Vektor;

TEST_F(GuiTest, UmschaltenImSelbenBildLiegtTausendSekundenZurueck) {
  for (bool zuerstZeigen : {true, false}) {
    Feld* w = Neu(*o, {0, 0, 0});
    Schritt(0.02);
    if (zuerstZeigen) w->SetzeSichtbar(false), Schritt(0.02);
    w->SetzeSichtbar(zuerstZeigen);
    w->SetzeSichtbar(!zuerstZeigen);
    EXPECT_EQ(w->zeigZeit, Gui::Jetzt() - Sek(1000));
    EXPECT_EQ(w->versteckZeit, w->zeigZeit);
    EXPECT_EQ(Gui::SimpelRenderer::Alpha(*w), zuerstZeigen ? 0.0f : 1.0f);
    delete w;
  }
}

TEST_F(GuiTest, GroesseUnterDerSchwelleAendertNichts) {
  Feld w;
  w.dehnung = {1, 2, 0};
  w.SetzeGroesse({100.02f, 50.02f, 0}, false);  // squared distance 0.0008
  EXPECT_EQ(w.groesse, (Vektor{100, 50, 0}));
  EXPECT_TRUE(w.groesseAutomatisch);
  EXPECT_EQ(w.dehnung, (Vektor{1, 2, 0}));
  w.SetzeGroesse({100.03f, 50.02f, 0}, false);
  EXPECT_FALSE(w.groesseAutomatisch);
  EXPECT_EQ(w.dehnung, (Vektor{0, 0, 0}));
}

TEST_F(GuiTest, EigenschaftenErstEigeneDannOberflaecheDannVorgabe) {
  auto* t = new Gui::Text("x");
  o->Hinzufuegen(t);
  o->skalierung = 2;
  EXPECT_EQ(t->GibGroesse(), (Vektor{200, 80, 0}));
  o->eigenschaften["text.groesse.x"].Setze(30.0f);
  o->eigenschaften["text.groesse.y"].Setze(std::string("kein float"));
  t->eigenschaften["text.groesse.x"].Setze(7.0f);
  EXPECT_EQ(t->GibGroesse(), (Vektor{14, 80, 0}));
  t->eigenschaften.kinder.clear();
  EXPECT_EQ(t->GibGroesse(), (Vektor{60, 80, 0}));
  EXPECT_EQ(t->FindeEigeneEigenschaft("text.groesse.x", -1), -1);
  EXPECT_EQ(Gui::VaterBasis().GibGroesse(), (Vektor{100, 40, 0}));
}

TEST_F(GuiTest, HinzufuegenVerschiebtBehaelterZerstoertVonHintenNachVorn) {
  auto* a = new Gui::Seite;
  auto* b = new Gui::Seite;
  o->Hinzufuegen(a);
  o->Hinzufuegen(b);
  b->SetzeSichtbar(false);
  std::string reihenfolge;
  for (char n : {'a', 'b', 'c'}) {
    Feld* f = Neu(*a, {0, 0, 0});
    f->name = n;
    f->protokoll = &reihenfolge;
    f->dehnung = {3, 1, 0};
  }
  a->BerechneDehnung();
  EXPECT_EQ(a->dehnung, (Vektor{3, 1, 0}));
  // Attached later, a container hands the surface down to its children.
  auto* spaeter = new Gui::VaterBasis;
  Feld* enkel = Neu(*spaeter, {0, 0, 0});
  o->Hinzufuegen(spaeter);
  EXPECT_EQ(enkel->wurzel, o.get());
  delete spaeter;
  // Hiding or showing a container sets its children's own flags.
  for (bool sichtbar : {false, true}) {
    a->SetzeSichtbar(sichtbar);
    for (Gui::Basis* k : a->kinder) EXPECT_EQ(k->sichtbar, sichtbar);
  }
  // Shown under a hidden container, a widget is still not effectively visible.
  a->SetzeSichtbar(false);
  a->kinder[0]->SetzeSichtbar(true);
  EXPECT_FALSE(a->kinder[0]->IstEffektivSichtbar());
  a->SetzeSichtbar(true);
  b->Hinzufuegen(a->kinder[0]);
  EXPECT_FALSE(b->kinder[0]->sichtbar);
  o->SetzeFokus(a->kinder[0]);
  delete b;
  delete a;
  EXPECT_EQ(reihenfolge, "acb");
  EXPECT_EQ(o->fokus, nullptr);
  EXPECT_TRUE(o->kinder.empty());
}

// --- Layout ----------------------------------------------------------------------------

TEST_F(GuiTest, AnordnungStelltKinderWieBeschrieben) {
  struct Zeile {
    const char* fall;
    std::int32_t art;
    float breite;
    std::vector<Vektor> kinder;  // preferred size; z: stretch along the run (-1: fixed size)
    float querDehnung;
    bool ersterVersteckt;
    std::vector<float> erwarteteStellen, erwarteteLaengen;
    float erwarteteQuerLaenge;
  };
  const Zeile zeilen[] = {
      {"50/60/70", 0, 300, {{50, 0, -1}, {60, 0, -1}, {70, 0, -1}}, 0, false, {50, 110, 180}, {50, 60, 70}, 40},
      {"1:3", 0, 300, {{100, 0, 1}, {100, 0, 3}}, 0, false, {10, 137.5f}, {117.5f, 152.5f}, 40},
      {"negativ", 0, 200, {{100, 0, 1}, {100, 0, 3}}, 0, false, {10, 112.5f}, {92.5f, 77.5f}, 40},
      {"quer 2", 0, 300, {{100, 0, 0}}, 2, false, {100}, {100}, 80},
      {"fest zaehlt", 0, 300, {{100, 0, 1}, {50, 0, -1}}, 0, false, {10, 240}, {220, 50}, 40},
      {"erster versteckt", 0, 300, {{50, 0, -1}, {60, 0, -1}, {70, 0, -1}}, 0, true, {75, 145}, {60, 70}, 40},
      {"spalte", 1, 300, {{50, 0, 0}, {70, 0, 0}}, 0.5f, false, {85, 145}, {50, 70}, 60}};
  o->eigenschaften["elmAbstand.x"].Setze(10.0f);
  o->eigenschaften["elmAbstand.y"].Setze(10.0f);
  for (const Zeile& z : zeilen) {
    SCOPED_TRACE(z.fall);
    auto* seite = new Gui::Seite;
    o->Hinzufuegen(seite);
    seite->SetzeAnordnung(new Gui::Anordnung(z.art, 0.5f, 0.5f));
    const int h = z.art, q = 1 - z.art;
    Vektor s{0, 0, 0};
    (h ? s.y : s.x) = z.breite;
    (q ? s.y : s.x) = 100;
    seite->SetzeGroesse(s, false);
    std::vector<Gui::Basis*> kinder;
    for (const Vektor& k : z.kinder) {
      auto* t = new Gui::Text;
      seite->Hinzufuegen(t);
      const Vektor g{h ? 40.0f : k.x, h ? k.x : 40.0f, 0};
      if (k.z < 0) {
        t->SetzeGroesse(g, false);
      } else {
        t->eigenschaften["text.groesse.x"].Setze(g.x);
        t->eigenschaften["text.groesse.y"].Setze(g.y);
        t->dehnung = h ? Vektor{z.querDehnung, k.z, 0} : Vektor{k.z, z.querDehnung, 0};
      }
      kinder.push_back(t);
    }
    if (z.ersterVersteckt) kinder[0]->SetzeSichtbar(false);
    Schritt(0.02);
    for (std::size_t i = 0; i < z.erwarteteStellen.size(); ++i) {
      Gui::Basis* k = kinder[i + (z.ersterVersteckt ? 1 : 0)];
      EXPECT_FLOAT_EQ(h ? k->position.y : k->position.x, z.erwarteteStellen[i]) << i;
      EXPECT_FLOAT_EQ(h ? k->groesse.y : k->groesse.x, z.erwarteteLaengen[i]) << i;
      EXPECT_FLOAT_EQ(h ? k->groesse.x : k->groesse.y, z.erwarteteQuerLaenge) << i;
    }
    delete seite;
  }
}

// Margins at both ends, gaps between neighbours, hidden children counted.
TEST_F(GuiTest, BevorzugteGroesseZaehltRaenderUndVersteckte) {
  o->eigenschaften["elmAbstand.x"].Setze(10.0f);
  o->eigenschaften["elmAbstand.y"].Setze(5.0f);
  auto* v = new Gui::VaterBasis;
  o->Hinzufuegen(v);
  for (Vektor g : {Vektor{50, 40, 0}, Vektor{60, 30, 0}, Vektor{70, 20, 0}}) Neu(*v, {0, 0, 0}, g);
  v->kinder[1]->SetzeSichtbar(false);
  for (auto [art, groesse] : {std::pair{0, Vektor{220, 50, 0}}, {1, Vektor{90, 110, 0}}, {2, Vektor{0, 0, 0}}})
    EXPECT_EQ(Gui::Anordnung(art, 0, 0).BerechneGroesse(*v), groesse) << art;
}

TEST_F(GuiTest, VieleAenderungenEinDurchgangImNaechstenBild) {
  struct Zaehler : Feld {
    int mal = 0;
    void SetzePosition(const Vektor& p, bool a) override { ++mal, Feld::SetzePosition(p, a); }
  };
  auto* seite = new Gui::Seite;
  o->Hinzufuegen(seite);
  seite->SetzeAnordnung(new Gui::Anordnung(0, 0, 0));
  auto* z = new Zaehler;
  seite->Hinzufuegen(z);
  for (int i = 0; i < 5; ++i) seite->SetzeSichtbar(i % 2 == 0), Neu(*seite, {0, 0, 0});
  EXPECT_EQ(z->mal, 0);
  Schritt(0.02);
  Schritt(0.02);
  EXPECT_EQ(z->mal, 1);
  EXPECT_EQ(Gui::Anordnung(0, 0, 0).BerechneGroesse(*seite), (Vektor{100 + 5 * 100, 100, 0}));
}

// --- Curves ----------------------------------------------------------------------------

TEST(Verlauf, KantenDerKurven) {
  gZeitgeber.zeit = Sek(2000);
  struct Fall {
    double vor;  // seconds since the start
    std::uint32_t art;
    float wert;
  };
  const Fall faelle[] = {{-1, 1, 1},      {-1, 5, 1},      {0.5, 0, 0.5f},  {0.5, 3, 0.75f}, {0.5, 4, std::sqrt(0.5f)},
                         {0.5, 6, 0.5f},  {0.5, 7, 0.5f},  {0.25, 8, 1.75f}, {0.25, 9, -0.75f},
                         {0.125, 10, 1},  {0.125, 11, 0}, {0.5, 12, 1},   {0.999, 13, 0},  {1.0, 13, 1},
                         {0.999, 14, 1},  {1.5, 14, 0},   {0.999, 15, 0.999f}, {1, 15, 0}, {0.999, 16, 0.001f},
                         {1, 16, 1},      {0.3, 17, 1},    {-5, 99, 1},     {1000, 5, 0},   {1000, 2, 1}};
  for (const Fall& f : faelle)
    EXPECT_NEAR(Gui::SimpelRenderer::Verlauf(gZeitgeber.zeit - Sek(f.vor), 1.0f, f.art), f.wert, 2e-4f)
        << f.vor << " " << f.art;
  EXPECT_EQ(Gui::SimpelRenderer::Verlauf(gZeitgeber.zeit - Sek(1000), 0.2f, 1), 0.0f);
  EXPECT_EQ(Gui::SimpelRenderer::Verlauf(gZeitgeber.zeit, 0.0f, 0), 0.0f);  // 0 / 0 counts as the start
}

// Each kind at t = 0.3 (0.6 s of 2 s), where no two neighbouring curves agree.
TEST(Verlauf, JedeArtAbseitsDerGemeinsamenPunkte) {
  gZeitgeber.zeit = Sek(2000);
  const float werte[17] = {0.3f,       0.7f,       0.09f,      0.91f,      0.5477226f, 0.4522774f,
                           0.2061074f, 0.7938926f, 1.5663119f, -0.5663119f, 0.4336881f, 0.5663119f,
                           0.8090170f, 0,          1,          0.3f,       0.7f};
  for (std::uint32_t art = 0; art < 17; ++art)
    EXPECT_NEAR(Gui::SimpelRenderer::Verlauf(gZeitgeber.zeit - Sek(0.6), 2.0f, art), werte[art], 2e-5f) << art;
}

}  // namespace
