#include "Bearbeitung.h"
#include "RenderTestHilfen.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace Spiel;

namespace {

constexpr float kW = 1280, kH = 720;
const Dreieck kStart{{{-10, 0, 10}, {0, 0, -10}, {10, 0, 10}}};

// Editing on a scene whose buffers go to the recording device; input comes as snapshots.
class BearbeitungTest : public AufzeichnungsTest {
 protected:
  void SetUp() override {
    AufzeichnungsTest::SetUp();
    szene = std::make_unique<Szene>();
    szene->dreiecke = {kStart};
    szene->BaueNetz();
    b = std::make_unique<Bearbeitung>(*szene);
  }
  void TearDown() override {
    b.reset();
    szene.reset();
    AufzeichnungsTest::TearDown();
  }

  // The snapshot with the mouse over world point p.
  EingabeStand Ueber(const Vektor3& p) const {
    const Matrix s = b->kamera.Sicht();
    const float x = s(0, 0) * p.x + s(0, 1) * p.y + s(0, 2) * p.z + s(0, 3);
    const float y = s(1, 0) * p.x + s(1, 1) * p.y + s(1, 2) * p.z + s(1, 3);
    const float z = s(2, 0) * p.x + s(2, 1) * p.y + s(2, 2) * p.z + s(2, 3);
    const float k = 1.36826f / kW;
    EingabeStand e;
    e.mausX = kW / 2 + x / (z * k);
    e.mausY = kH / 2 + y / (z * k);
    return e;
  }
  void Frame(EingabeStand e, double sekunden = 0) {
    zeit += Sekunden(sekunden);
    b->Schritt(e, 0.016f, zeit, kW, kH);
  }
  void Klick(const Vektor3& p, double nach = 1, bool shift = false) {
    EingabeStand e = Ueber(p);
    e.linksGedrueckt = true;
    e.unten[42] = shift;
    Frame(e, nach);
  }
  void Taste(int taste, bool strg = false) {
    EingabeStand e;
    e.losgelassen[taste] = true;
    e.unten[29] = strg;
    Frame(e);
  }
  // Right button over p: pressed in the first frame, then held.
  void Rechts(const Vektor3& p, bool druck, bool shift = false) {
    EingabeStand e = Ueber(p);
    e.rechtsUnten = true;
    e.rechtsGedrueckt = druck;
    e.unten[54] = shift;
    Frame(e);
  }

  std::unique_ptr<Szene> szene;
  std::unique_ptr<Bearbeitung> b;
  TZeit zeit = Sekunden(100);
};

TEST_F(BearbeitungTest, AuswahlImRadiusUndShiftSchaltetUm) {
  // Within 4 units of the ray (squared 16) a corner is taken.
  for (auto [abstand, getroffen] : {std::pair{3.0f, true}, {3.9f, true}, {4.1f, false}, {6.0f, false}}) {
    Klick({-10 + abstand, 0, 10});
    EXPECT_EQ(b->auswahl, getroffen ? std::vector<std::size_t>{0} : std::vector<std::size_t>{}) << abstand;
  }
  Klick({-10, 0, 10});
  Klick({10, 0, 10}, 1, true);
  EXPECT_EQ(b->auswahl, (std::vector<std::size_t>{0, 2}));
  Klick({-10, 0, 10}, 1, true);
  EXPECT_EQ(b->auswahl, (std::vector<std::size_t>{2}));
}

TEST_F(BearbeitungTest, DoppelklickAnEinerKanteFuegtEinDreieckAn) {
  Klick({-10, 0, 10});
  Klick({0, 0, 20}, 1, true);
  Klick({0, 0, 20}, 0.2, true);  // exactly the window apart: two single clicks
  EXPECT_EQ(szene->dreiecke.size(), 1u);
  Klick({0, 0, 20}, 0.1, true);
  ASSERT_EQ(szene->dreiecke.size(), 2u);
  // Only the near edge qualifies (the others' segments cross it), run the other way.
  const Dreieck neu = szene->dreiecke[1];
  EXPECT_NEAR(neu.ecke[0].z, 20, 1e-3f);
  EXPECT_EQ(neu.ecke[1], kStart.ecke[0]);
  EXPECT_EQ(neu.ecke[2], kStart.ecke[2]);
  // The selection follows the list that grew (and moved) under it.
  ASSERT_EQ(b->auswahl, (std::vector<std::size_t>{0}));
  Rechts({-10, 0, 10}, true);
  Rechts({-10, 0, 0}, false);
  EXPECT_NEAR(szene->dreiecke[0].ecke[0].z, 0, 1e-3f);
  EXPECT_EQ(szene->dreiecke[1], neu);

  Klick({200, 0, 200});
  Klick({200, 0, 200}, 0.05);  // far from every edge: nothing, no undo entry
  EXPECT_EQ(szene->dreiecke.size(), 2u);
  EXPECT_EQ(b->verlauf.size(), 2u);
}

// The lines are drawn with the projection, picking uses the ray: a point drawn at a pixel
// must lie on the ray through that pixel.
TEST(KameraProjektion, GezeichneterPunktLiegtAufDemStrahlSeinesPixels) {
  Kamera kamera;
  kamera.ziel = {5, 0, -3};
  for (const Vektor3 p : {Vektor3{-10, 0, 10}, Vektor3{30, 5, -20}, Vektor3{-60, -4, 40}}) {
    const Matrix pv = [&] {
      Matrix m = kamera.Sicht();
      m.MultipliziereMatrixLinks(Kamera::Projektion(kW, kH));
      return m;
    }();
    float c[4];
    for (int r = 0; r < 4; ++r) c[r] = pv(r, 0) * p.x + pv(r, 1) * p.y + pv(r, 2) * p.z + pv(r, 3);
    const float mx = (c[0] / c[3] + 1) * kW / 2, my = (1 - c[1] / c[3]) * kH / 2;
    const Vektor3 zumPunkt = Normiert(p - kamera.Position());
    EXPECT_NEAR(Laenge(kamera.Strahl(mx, my, kW, kH) - zumPunkt), 0, 2e-4f) << p.x;
  }
}

TEST(Kreuzung, NurEchteKreuzungenZaehlen) {
  struct Fall {
    Vektor3 p, q, e0, e1;
    bool kreuzt;
  } faelle[] = {
      {{0, 0, -5}, {0, 0, 5}, {-5, 0, 0}, {5, 0, 0}, true},
      {{0, 0, -5}, {0, 0, 5}, {1, 0, 0}, {5, 0, 0}, false},      // beside the edge
      {{0, 0, -5}, {0, 0, 0}, {-5, 0, 0}, {5, 0, 0}, false},     // ends on the edge
      {{0, 0, -5}, {0, 0, 5}, {-5, 0, 5}, {5, 0, 5}, false},     // reaches it at q
      {{0, 9, -5}, {0, -9, 5}, {-5, 3, 0}, {5, 7, 0}, true},     // heights do not matter
      {{0, 0, -5}, {0, 0, 5}, {5, 0, 0}, {0.00001f, 0, 0}, true}, // touches within the slack
  };
  for (const Fall& f : faelle) EXPECT_EQ(Bearbeitung::Kreuzt(f.p, f.q, f.e0, f.e1), f.kreuzt);
}

TEST_F(BearbeitungTest, ZiehenAbSchwelleUndShiftWechselOhneSprung) {
  Klick({-10, 0, 10});
  Rechts({-10, 0, 10}, true);
  EXPECT_EQ(b->verlauf.size(), 1u);  // pushed at the press
  Rechts({-9.95f, 0, 10}, false);     // below the threshold
  EXPECT_EQ(szene->dreiecke[0], kStart);
  Rechts({-5, 0, 12}, false);
  EXPECT_NEAR(Laenge(szene->dreiecke[0].ecke[0] - Vektor3{-5, 0, 12}), 0, 1e-3f);
  Rechts({-5, 0, 12}, false, true);  // Shift pressed: new height anchor, no jump
  Rechts({-5, 8, 12}, false, true);  // lifts
  Rechts({-5, 8, 12}, false, true);  // held still: the anchor moved with it
  const Vektor3 gehoben = szene->dreiecke[0].ecke[0];
  EXPECT_NEAR(gehoben.y, 8, 1e-2f);
  Rechts({-5, 8, 12}, false);  // Shift released over another ground point: no jump
  EXPECT_EQ(szene->dreiecke[0].ecke[0], gehoben);
}

TEST_F(BearbeitungTest, ZiehenUeberEinenLinksklickHinwegBleibtEinZug) {
  Klick({-10, 0, 10});
  Rechts({-10, 0, 10}, true);
  Rechts({-5, 0, 12}, false);
  EingabeStand e = Ueber({60, 0, 60});  // a Shift-click on nothing, the right button still held
  e.linksGedrueckt = e.rechtsUnten = true;
  e.unten[42] = true;
  Frame(e, 1);
  Rechts({0, 0, 12}, false);  // neither a new undo entry nor new anchors: it moves on
  EXPECT_EQ(b->verlauf.size(), 1u);
  EXPECT_NEAR(Laenge(szene->dreiecke[0].ecke[0] - Vektor3{0, 0, 12}), 0, 1e-3f);
}

TEST_F(BearbeitungTest, StrahlUeberDemHorizontTutNichts) {
  EingabeStand e;
  e.mausY = -5000;  // far above the screen: the ray points into the sky
  e.linksGedrueckt = true;
  Frame(e, 1);
  Frame(e, 0.05);
  e.linksGedrueckt = false;
  e.rechtsUnten = e.rechtsGedrueckt = true;
  b->auswahl = {0, 1, 2};
  Frame(e);
  e.rechtsGedrueckt = false;
  e.mausY = -4000;
  Frame(e);
  EXPECT_EQ(szene->dreiecke, std::vector<Dreieck>{kStart});
}

TEST_F(BearbeitungTest, LoeschenUndRueckgaengigUndWiederholen) {
  Klick({0, 0, 20});
  Klick({0, 0, 20}, 0.05);
  const std::vector<Dreieck> zwei = szene->dreiecke;
  Klick({0, 0, -10});  // corner 1 of the first triangle only
  Taste(211);
  EXPECT_EQ(szene->dreiecke, std::vector<Dreieck>{zwei[1]});
  EXPECT_TRUE(b->auswahl.empty());

  Klick({-10, 0, 10});
  Taste(21, true);  // undo: both back, selection gone
  EXPECT_EQ(szene->dreiecke, zwei);
  EXPECT_TRUE(b->auswahl.empty());
  Taste(21, true);
  EXPECT_EQ(szene->dreiecke, std::vector<Dreieck>{kStart});
  Taste(21, true);  // nothing left to undo
  EXPECT_EQ(b->verlaufIndex, -1);
  Taste(44, true);
  EXPECT_EQ(szene->dreiecke, zwei);

  Taste(21, true);
  Klick({-10, 0, 10});
  Taste(14);  // a new edit drops the entries after the current one
  EXPECT_TRUE(szene->dreiecke.empty());
  EXPECT_EQ(b->verlauf.size(), 1u);
  Taste(44, true);
  EXPECT_TRUE(szene->dreiecke.empty());
  Taste(21, true);
  EXPECT_EQ(szene->dreiecke, std::vector<Dreieck>{kStart});
}

TEST_F(BearbeitungTest, KameraTastenZoomgrenzenUndNeigung) {
  EingabeStand e;
  e.unten[30] = e.unten[200] = true;
  Frame(e);
  EXPECT_EQ(b->kamera.ziel, (Vektor3{-0.8f, 0, -0.8f}));
  // Each key of a pair alone, 50 units a second (frames of 0.016 s).
  const std::pair<int, Vektor3> tasten[] = {{30, {-0.8f, 0, 0}}, {203, {-0.8f, 0, 0}}, {32, {0.8f, 0, 0}},
                                            {205, {0.8f, 0, 0}},  {17, {0, 0, -0.8f}},  {200, {0, 0, -0.8f}},
                                            {31, {0, 0, 0.8f}},   {208, {0, 0, 0.8f}}};
  for (const auto& [taste, schritt] : tasten) {
    b->kamera.ziel = {};
    e = {};
    e.unten[taste] = true;
    Frame(e);
    EXPECT_EQ(b->kamera.ziel, schritt) << taste;
  }
  e = {};
  for (float rad : {-1.0f, 1.0f}) {
    e.rad = rad;
    for (int i = 0; i < 10; ++i) Frame(e);
    EXPECT_EQ(b->kamera.zielDistanz, rad < 0 ? 500 : 100);
  }
  b->kamera.Glaette(0.1f);  // half the way in a tenth of a second
  EXPECT_NEAR(b->kamera.distanz, 150, 1e-3f);
  for (int i = 0; i < 200; ++i) b->kamera.Glaette(0.05f);
  EXPECT_NEAR(b->kamera.distanz, 100, 1e-3f);
  EXPECT_NEAR(b->kamera.neigung, 2.6075f, 1e-4f);
  Taste(59);
  EXPECT_EQ(b->anzeige, 2u);  // F1: the edited mesh off
  Taste(60);
  Taste(59);
  EXPECT_EQ(b->anzeige, 1u);
}

TEST_F(BearbeitungTest, OffeneKonsoleSchluecktDieEingabe) {
  bool offen = true;
  b->konsoleOffen = [&offen] { return offen; };
  EingabeStand e = Ueber({-10, 0, 10});
  e.unten[30] = true;
  e.linksGedrueckt = true;
  e.losgelassen[14] = true;
  b->auswahl = {0};
  Frame(e, 1);
  EXPECT_EQ(b->kamera.ziel.x, 0);
  EXPECT_EQ(szene->dreiecke.size(), 1u);
  offen = false;
  Frame(e, 1);
  EXPECT_LT(b->kamera.ziel.x, 0);
}

}  // namespace
