// The simple renderer on the recording device, with its boxes, texts and icons recorded.
#include "Elemente.h"
#include "GuiTestHilfe.h"
#include "Hinweis.h"
#include "Quelm_Bild.h"
#include "Quelm_BlockGfx3D.h"
#include "Quelm_Font3D.h"
#include "RenderTestHilfen.h"
#include "Renderer.h"
#include "Seite.h"

#include <gmock/gmock.h>

#include <array>
#include <cmath>

namespace {

using Gui::Vektor;
using Farbe = std::array<float, 4>;
using ::testing::FloatNear;
using ::testing::Pointwise;

struct Aufnahme : Gui::SimpelRenderer {
  struct Rechteck {
    float x, y, w, h;
    Farbe farbe;
    std::string text = "";
    std::uint32_t h_ = 0, v_ = 0;
  };
  std::vector<Rechteck> kaesten, texte, icons;
  using SimpelRenderer::SimpelRenderer;

  void Kasten(float x, float y, float w, float h, const float (&f)[4]) override {
    kaesten.push_back({x, y, w, h, {f[0], f[1], f[2], f[3]}});
  }
  void SchreibeInRahmen(float x, float y, float w, float h, const char* text) override {
    const float* f = font->farbe;
    texte.push_back({x, y, w, h, {f[0], f[1], f[2], f[3]}, text, font->ausrichtungH, font->ausrichtungV});
  }
  void Icon(Quelm_BlockGfx3D&, std::uint64_t, float x, float y, float w, float h, const float (&f)[4]) override {
    icons.push_back({x, y, w, h, {f[0], f[1], f[2], f[3]}});
  }
  void Leere() { kaesten.clear(), texte.clear(), icons.clear(); }
};

class Zeichnen : public AufzeichnungsTest {
 protected:
  void SetUp() override {
    AufzeichnungsTest::SetUp();
    gZeitgeber.eintraege.clear();
    gZeitgeber.zeit = Sek(100);
    o = std::make_unique<Gui::Oberflaeche>("");
    font.hoehe = 24;
    r.Beginne();
  }
  void TearDown() override {
    o.reset();
    AufzeichnungsTest::TearDown();
  }
  template <class T>
  T* Neu(Vektor pos, Vektor groesse) {
    T* w = ::Neu<T>(*o, pos, groesse);
    w->zeigZeit -= Sek(10);
    return w;
  }
  void Zeichne(Gui::Basis& w) {
    r.Leere();
    w.Zeichne(r);
  }
  std::unique_ptr<Gui::Oberflaeche> o;
  Quelm_Font3D font;
  Aufnahme r{nullptr, &font};
};

TEST_F(Zeichnen, TextKastenAusrichtungNurAusEigenenEigenschaftenUndBlende) {
  struct Fall {
    float breite, horiz;
    bool eigen;
    int code;  // -1: no text
    float hoehe = 50;
  };
  for (const Fall& f : {Fall{3.9f, 0.5f, true, -1}, {100, 0.5f, true, -1, 3.9f}, {100, 0.29f, true, 0},
                        {100, 0.3f, true, 1}, {100, 0.7f, true, 1}, {100, 0.71f, true, 2}, {100, 0.1f, false, 1}}) {
    auto* t = Neu<Gui::Text>({30, 40, 0}, {f.breite, f.hoehe, 0});
    t->text = "Hallo";
    (f.eigen ? t->eigenschaften : o->eigenschaften)["richt_horiz"].Setze(f.horiz);
    Zeichne(*t);
    ASSERT_EQ(r.kaesten.size(), 1u);
    ASSERT_EQ(r.texte.size(), f.code < 0 ? 0u : 1u) << f.breite;
    if (f.code >= 0) {
      EXPECT_EQ(r.texte[0].h_, static_cast<std::uint32_t>(f.code)) << f.horiz;
      EXPECT_EQ(r.texte[0].v_, 4u);
      EXPECT_EQ(r.texte[0].x + r.texte[0].w + r.texte[0].h, 32 + 96 + 46.0f);
    }
    o->eigenschaften.kinder.clear();
    delete t;
  }
  // Shown, it fades in over half a second; hidden, it fades out over half a second.
  auto* t = Neu<Gui::Text>({0, 0, 0}, {100, 50, 0});
  t->zeigZeit = gZeitgeber.zeit - Sek(0.125);
  EXPECT_NEAR(Gui::SimpelRenderer::Alpha(*t), 0.5f, 1e-5f);
  t->zeigZeit -= Sek(10);
  t->SetzeSichtbar(false);
  gZeitgeber.zeit += Sek(0.25);
  EXPECT_NEAR(Gui::SimpelRenderer::Alpha(*t), 1 - std::sqrt(0.5f), 1e-5f);
  gZeitgeber.zeit += Sek(0.26);
  Zeichne(*t);
  EXPECT_TRUE(r.kaesten.empty());
}

TEST_F(Zeichnen, HinweisGroesseLageUndSpur) {
  auto* w = Neu<Feld>({1000, 600, 0}, {100, 60, 0});
  Gui::Hinweis h(std::string(25, 'x'), w);
  EXPECT_EQ(h.groesse, (Vektor{300, 140, 0}));
  // Right and low on the screen: it opens up and to the left.
  EXPECT_EQ(h.position, (Vektor{1050 - 300 - 60, 630 - 140 - 36, 0}));
  Gui::Hinweis breit(std::string(10000, 'x'), w);
  EXPECT_FLOAT_EQ(breit.position.x, 1280 - 150 * 21);
  // Held on the screen at each edge (a 150 x 70 box for an empty text).
  struct Rand {
    const char* kante;
    Vektor position, groesse, erwartet;
  };
  for (const Rand& k : {Rand{"links", {50, 0, 0}, {1260, 10, 0}, {0, 5 + 6, 0}},
                        {"rechts", {0, 0, 0}, {1270, 10, 0}, {1280 - 150, 5 + 6, 0}},
                        {"oben", {0, 50, 0}, {10, 700, 0}, {5 + 6, 0, 0}},
                        {"unten", {0, 0, 0}, {10, 700, 0}, {5 + 6, 720 - 70, 0}}}) {
    w->SetzePosition(k.position, false);
    w->SetzeGroesse(k.groesse, false);
    EXPECT_EQ(Gui::Hinweis("", w).position, k.erwartet) << k.kante;
  }
  w->SetzePosition({1000, 600, 0}, false);
  w->SetzeGroesse({100, 60, 0}, false);
  // Level with its widget: the trail runs along its centre line.
  h.SetzePosition({1100, 630 - 70, 0}, false);
  h.zeigZeit -= Sek(10);
  h.Zeichne(r);
  ASSERT_EQ(r.kaesten.size(), 20u);
  for (int i = 1; i <= 19; ++i) {
    const auto& k = r.kaesten[i - 1];
    const float f = static_cast<float>(i * i) / 441;
    EXPECT_FLOAT_EQ(k.y + k.h / 2, 630);
    EXPECT_NEAR(k.x + k.w / 2, 1085 + f * (1250 - 1085), 1e-3f);
    EXPECT_NEAR(k.w, 300 * f, 1e-3f);
  }
  EXPECT_EQ(r.texte.at(0).x, 1105);
  EXPECT_EQ(r.texte[0].farbe, (Farbe{0, 0, 0, 1}));
  EXPECT_EQ(r.kaesten[0].farbe, (Farbe{0.8f, 0.8f, 0.8f, 0.105f}));
  EXPECT_EQ(r.kaesten[19].farbe, (Farbe{0.8f, 0.8f, 0.8f, 0.7f}));
}

TEST_F(Zeichnen, AusschnittStapelBegrenztUndStelltWiederHer) {
  auto* t = Neu<Gui::Text>({50, 60, 0}, {100, 50, 0});
  struct Bereich {
    Vektor p, g;
    std::uint64_t x, y, w, h;
  };
  const Bereich bereiche[] = {{{10, 20, 0}, {300, 200, 0}, 10, 20, 300, 200},
                              {{-5, 700, 0}, {5000, 1e30f, 0}, 0, 700, 1280, 20},
                              {{NAN, 2000, 0}, {-4, NAN, 0}, 0, 720, 0, 0}};
  for (const Bereich& b : bereiche) r.SetzeAusschnitt(t, b.p, b.g);
  for (int i = 2; i >= 0; --i) {
    const Bereich& b = bereiche[i];
    EXPECT_EQ((std::array{kontext->bereichX, kontext->bereichY, kontext->bereichBreite, kontext->bereichHoehe}),
              (std::array{b.x, b.y, b.w, b.h}));
    r.EntferneAusschnitt();
  }
  r.SetzeAusschnitt(t, {10, 20, 0}, {300, 200, 0});
  t->Zeichne(r);
  EXPECT_EQ(r.kaesten.at(0).x + r.kaesten[0].y, 40 + 40.0f);
  r.EntferneAusschnitt();
  EXPECT_EQ(r.ursprung, (Vektor{0, 0, 0}));
  EXPECT_EQ(kontext->bereichBreite * kontext->bereichHoehe, 1280u * 720u);
  r.EntferneAusschnitt();  // one pop too many does nothing
}

TEST_F(Zeichnen, RollbalkenDaumenMindestensFuenfProzentUndAbgeschnitten) {
  auto* b = Neu<Gui::Rollbalken>({0, 0, 0}, {20, 200, 0});
  b->ausrichtung = 1;
  b->maximum = 100;
  b->sichtbereich = 1;
  struct Fall {
    float wert, minimum, start, laenge;
  };
  for (const Fall& f : {Fall{50, 0, 96, 10}, {0, 0, 0, 6}, {100, 0, 196, 4}, {7, 100, 0, 200}}) {
    b->wert = f.wert;
    b->minimum = f.minimum;
    Zeichne(*b);
    ASSERT_EQ(r.kaesten.size(), 3u);
    EXPECT_EQ((std::array{r.kaesten[1].x, r.kaesten[1].y, r.kaesten[1].w, r.kaesten[1].h}),
              (std::array{4.0f, 4.0f, 12.0f, 192.0f}));
    EXPECT_FLOAT_EQ(r.kaesten[2].y, f.start) << f.wert;
    EXPECT_FLOAT_EQ(r.kaesten[2].h, f.laenge) << f.wert;
  }
}

TEST_F(Zeichnen, RandfaelleDerWeiterenWidgets) {
  Quelm_BlockGfx3D atlas(0, 0, 0);
  atlas.eintraege.resize(64);
  atlas.vorhanden.assign(1, 0b11);
  atlas.eintraege[0] = {0, 0, 64, 32};
  atlas.eintraege[1] = {0, 0, 8, 8};

  auto* knopf = Neu<Gui::Knopf>({100, 100, 0}, {200, 24, 0});
  knopf->text = "OK";
  struct Icon {
    bool mitAtlas;
    std::uint64_t id;
    float w, h, mitte, versatz;
  };
  // A graphic the atlas lacks is an icon without area (it draws nothing) that keeps its
  // slot, as wide as the face is high.
  for (const Icon& i : {Icon{true, 0, 40, 20, 122, 50}, {true, 1, 8, 8, 112, 30}, {true, 2, 0, 0, 112, 30},
                        {false, 0, 0, 0, 0, 0}}) {
    knopf->icon = {i.mitAtlas ? &atlas : nullptr, i.id};
    Zeichne(*knopf);
    ASSERT_EQ(r.icons.size(), i.mitAtlas ? 1u : 0u);
    if (i.mitAtlas) {
      EXPECT_EQ((std::array{r.icons[0].w, r.icons[0].h, r.icons[0].x}), (std::array{i.w, i.h, i.mitte}));
    }
    EXPECT_FLOAT_EQ(r.texte.at(0).x, 102 + i.versatz) << i.id;
  }
  // Disabled, focused for 0.1 s (glow 0.5) and pressed 0.1 s ago (flash at its peak).
  knopf->aktiv = false;
  knopf->icon = {&atlas, 1};
  knopf->fokussiert = true;
  knopf->fokusGewonnenZeit = knopf->druckZeit = gZeitgeber.zeit - Sek(0.1);
  Zeichne(*knopf);
  EXPECT_THAT(r.icons.at(0).farbe, Pointwise(FloatNear(1e-5f), Farbe{0.5f, 0.5f, 0.5f, 0.5f}));
  EXPECT_THAT(r.texte.at(0).farbe, Pointwise(FloatNear(1e-5f), Farbe{0.25f, 0.25f, 0.25f, 1}));
  ASSERT_EQ(r.kaesten.size(), 3u);
  EXPECT_THAT((std::array{r.kaesten[0].x, r.kaesten[0].w}), Pointwise(FloatNear(1e-3f), std::array{98.0f, 204.0f}));
  const auto& blitz = r.kaesten[2];
  EXPECT_THAT((std::array{blitz.x, blitz.y, blitz.w, blitz.h, blitz.farbe[3]}),
              Pointwise(FloatNear(1e-3f), std::array{80.0f, 80.0f, 240.0f, 64.0f, 0.5f}));
  knopf->aktiv = true;
  knopf->fokussiert = false;
  knopf->SetzeGroesse({3, 3, 0}, false);
  auto* feld = Neu<Gui::Eingabefeld>({0, 0, 0}, {200, 30, 0});
  feld->text = "\xC3\xA4" "bc";
  feld->cursor = 9;
  auto* auswahl = Neu<Gui::Auswahl>({0, 0, 0}, {200, 30, 0});
  auswahl->aktiv = false;
  auto* kreuz = Neu<Gui::Ankreuzfeld>({0, 0, 0}, {200, 30, 0});
  auto* bild = Neu<Gui::Bild>({0, 0, 0}, {20, 20, 0});
  auto* tabelle = Neu<Gui::Tabelle>({0, 0, 0}, {200, 200, 0});
  tabelle->zeilen = tabelle->spalten = 2;
  tabelle->zeilenSpuren.resize(1);
  tabelle->spaltenSpuren.resize(2);
  tabelle->zellen = {{"a", {}}};  // cells, rows and columns beyond their records are not drawn
  for (auto& s : tabelle->spaltenSpuren) s.ausdehnung = 50;
  tabelle->zeilenSpuren[0].ausdehnung = 50;
  struct Fall {
    Gui::Basis* w;
    std::size_t kaesten, texte;
    Farbe rahmen;
  };
  for (const Fall& f : {Fall{knopf, 1, 0, {0.2f, 0.2f, 0.4f, 1.8f}}, {feld, 5, 1, {0.25f, 0.25f, 0.4f, 0}},
                        {auswahl, 1, 0, {0.3f, 0.3f, 0.3f, 0.3f}}, {kreuz, 3, 1, {0.1f, 0.1f, 0.2f, 1.8f}},
                        {bild, 0, 0, {}}, {tabelle, 5, 1, {0.2f, 0.2f, 0.2f, 1}}}) {
    Zeichne(*f.w);
    EXPECT_EQ(r.kaesten.size(), f.kaesten) << typeid(*f.w).name();
    EXPECT_EQ(r.texte.size(), f.texte) << typeid(*f.w).name();
    if (f.kaesten) {
      EXPECT_EQ(r.kaesten[0].farbe, f.rahmen) << typeid(*f.w).name();
    }
  }
  feld->fokussiert = true;
  gZeitgeber.zeit += Sek(1);
  Zeichne(*feld);
  ASSERT_EQ(r.kaesten.size(), 6u);  // with the cursor at the end of the text
  EXPECT_FLOAT_EQ(r.kaesten[5].x, font.GetTextBreite(feld->text.c_str()));
  feld->text = "\xF0\x9F\x98\x80" "bc";  // a four-byte character first
  feld->cursor = 2;
  Zeichne(*feld);
  EXPECT_FLOAT_EQ(r.kaesten.at(5).x, font.GetTextBreite("\xF0\x9F\x98\x80" "b"));
  auswahl->eintraege = {{"Eins", {}}};
  for (std::uint64_t index : {5, 0}) {  // 5: no such entry
    auswahl->index = index;
    Zeichne(*auswahl);
    EXPECT_EQ(r.texte.empty() ? "" : r.texte[0].text, index ? "" : "1/1 Eins");
  }
  // Changed 0.05 s ago, sliding right: the new entry halfway in, the old one a sixteenth out.
  auswahl->aktiv = auswahl->richtung = true;
  auswahl->eintraege.push_back({"Zwei", {}});
  auswahl->index = 1;
  auswahl->vorherIndex = 0;
  auswahl->wechselZeit = gZeitgeber.zeit - Sek(0.05);
  Zeichne(*auswahl);
  ASSERT_EQ(r.texte.size(), 2u);
  EXPECT_THAT((std::array{r.texte[0].x, r.texte[0].farbe[3], r.texte[1].x, r.texte[1].farbe[3]}),
              Pointwise(FloatNear(1e-3f), std::array{100.0f, 0.5f, 5 - 190 / 16.0f, 15 / 16.0f}));
}

// The icon's atlas (icon and label): its pivot-centre flag is set and it is
// flushed, also for a graphic it lacks or a rectangle without height, where nothing is drawn.
TEST_F(Zeichnen, IconSetztDieDrehmitteUndLeertSeinenAtlas) {
  Quelm_BlockGfx3D atlas(16, 16, 0);
  Quelm_Bild weiss(8, 8, PXFMT_A8R8G8B8);
  ASSERT_TRUE(atlas.AddGrafik(1, &weiss, 0, 0, 8, 8));
  Gui::SimpelRenderer echt(nullptr, &font);
  auto* knopf = Neu<Gui::Knopf>({100, 100, 0}, {200, 24, 0});
  struct Fall {
    const char* name;
    std::uint64_t id;
    float hoehe;  // of the button; its face is 4 less
    bool gezeichnet;
  };
  // Each case starts with a different number of pending instances, so that the device is
  // told every draw's instance count (it hears only of changes).
  std::uint32_t vorher = 1;
  for (const Fall& f : {Fall{"vorhanden", 1, 24, true}, {"fehlt", 2, 24, false}, {"fehlt, ausserhalb", 70, 24, false},
                        {"Flaeche ohne Hoehe", 1, 4, false}}) {
    SCOPED_TRACE(f.name);
    knopf->SetzeGroesse({200, f.hoehe, 0}, false);
    knopf->icon = {&atlas, f.id};
    atlas.pivotMitte = 0;
    for (std::uint32_t i = 0; i < vorher; ++i) atlas.ZeichneGrafik(1, 0, 0, {1, 1, 1, 1}, 8, 8, 0);
    steuerung->LeereProtokoll();
    knopf->Zeichne(echt);
    EXPECT_EQ(atlas.pivotMitte, 1);
    EXPECT_TRUE(atlas.instanzen.empty()) << atlas.instanzen.size();
    // One draw of the atlas: the pending instances, with the icon when it has an area.
    EXPECT_EQ(steuerung->Anzahl("DrawIndexedPrimitive"), 1u);
    char anzahl[64];
    std::snprintf(anzahl, sizeof anzahl, "SetStreamSourceFreq(0, 0x%08X) = D3D_OK",
                  0x40000000u + vorher + (f.gezeichnet ? 1 : 0));
    EXPECT_EQ(steuerung->Zeilen("SetStreamSourceFreq").at(0), anzahl);
    vorher += 3;
  }
}

// Cell faces of a hovered row, one column disabled, and the check mark's bounce.
TEST_F(Zeichnen, TabellenZellenUndHakenKurve) {
  auto* tabelle = Neu<Gui::Tabelle>({100, 50, 0}, {200, 100, 0});
  tabelle->zeilen = 1;
  tabelle->spalten = 2;
  tabelle->hervorhebung = 1;
  tabelle->zeilenSpuren.resize(1);
  tabelle->spaltenSpuren.resize(2);
  tabelle->zellen = {{"a", {}}, {"b", {}}};
  Gui::TabellenSpur& zeile = tabelle->zeilenSpuren[0];
  zeile = {0.5f, true, 40, 10, true, gZeitgeber.zeit - Sek(0.1)};  // hovered for 0.1 s: highlight 0.5
  tabelle->spaltenSpuren[0] = {0.27f, true, 60, 0};
  tabelle->spaltenSpuren[1] = {0.8f, false, 80, 60};
  Zeichne(*tabelle);
  // Frame, then for each cell its highlight and its face.
  ASSERT_EQ(r.kaesten.size(), 5u);
  for (int spalte : {0, 1}) {
    SCOPED_TRACE(spalte);
    const auto& hervor = r.kaesten[1 + 2 * spalte];
    const auto& flaeche = r.kaesten[2 + 2 * spalte];
    EXPECT_THAT(hervor.farbe, Pointwise(FloatNear(1e-5f), Farbe{0.5f, 0.5f, 1, 0.25f}));
    const float grau = spalte ? 0.1f : 0.0f;
    EXPECT_THAT(flaeche.farbe, Pointwise(FloatNear(1e-5f), Farbe{grau, grau, grau, 0.9f}));
    const float x = 100.0f + (spalte ? 60 : 0), w = spalte ? 80.0f : 60.0f;
    EXPECT_THAT((std::array{flaeche.x, flaeche.y, flaeche.w, flaeche.h}),
                Pointwise(FloatNear(1e-4f), std::array{x + 4, 64.0f, w - 8, 32.0f}));
    const float ton = spalte ? 0.6f : 1.0f;
    ASSERT_EQ(r.texte.size(), 2u);
    EXPECT_EQ(r.texte[spalte].farbe, (Farbe{ton, ton, ton, 1}));
    EXPECT_EQ(r.texte[spalte].h_, spalte ? 2u : 1u);
  }

  auto* kreuz = Neu<Gui::Ankreuzfeld>({0, 0, 0}, {200, 30, 0});
  struct Haken {
    bool angekreuzt;
    float b;  // t = 0.3 of 0.2 s: bounce 0.4336881, its mirror 0.5663119
  };
  for (const Haken& h : {Haken{true, 0.4336881f}, {false, 0.4336881f * 0.5663119f}}) {
    kreuz->angekreuzt = h.angekreuzt;
    kreuz->angekreuztZeit = kreuz->abgekreuztZeit = gZeitgeber.zeit - Sek(0.06);
    kreuz->druckZeit = gZeitgeber.zeit - Sek(0.1);  // the press swells the square to 0.8
    Zeichne(*kreuz);
    ASSERT_EQ(r.kaesten.size(), 3u);
    const auto& haken = r.kaesten[2];
    EXPECT_NEAR(haken.farbe[0], 0.6f * h.b, 1e-5f) << h.angekreuzt;
    EXPECT_NEAR(haken.farbe[2], 0.8f * h.b, 1e-5f) << h.angekreuzt;
    // Inset by a tenth in the white square centred in the inner height's square at the right end.
    EXPECT_THAT((std::array{haken.x, haken.y, haken.w}), Pointwise(FloatNear(1e-4f), std::array{178.6f, 8.6f, 12.8f}));
  }
}

}  // namespace
