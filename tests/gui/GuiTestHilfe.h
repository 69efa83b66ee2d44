#pragma once
// Widgets for the library tests and a surface on a clock stepped by hand.
#include "Basis.h"
#include "Ereignisse.h"
#include "Oberflaeche.h"
#include "Quelm_Screen3D.h"
#include "Quelm_Zeitgeber.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

inline TZeit Sek(double s) { return static_cast<TZeit>(s * Quelm_TicksProSekundeD); }

// A widget that takes input (unless told not to) and records the keys it is given.
struct Feld : Gui::Basis {
  bool eingabe = true, behandeln = false;
  std::vector<std::uint64_t> tasten;  // key * 10 + double press
  std::string* protokoll = nullptr;
  char name = '?';
  ~Feld() override {
    if (protokoll) *protokoll += name;
  }
  void Zeichne(Gui::Renderer&) override {}
  bool NimmtEingabe() override { return eingabe; }
  void BehandleTaste(Gui::TasteEreignis& e) override {
    tasten.push_back(e.taste * 10 + e.doppelt);
    if (behandeln) e.Behandelt();
  }
};

struct Modal : Gui::VaterBasis {
  bool IstModal() override { return true; }
};

template <class T = Feld>
T* Neu(Gui::VaterBasis& v, Gui::Vektor pos, Gui::Vektor groesse = {100, 100, 0}) {
  auto* w = new T;
  v.Hinzufuegen(w);
  w->SetzePosition(pos, false);
  w->SetzeGroesse(groesse, false);
  return w;
}

class GuiTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Quelm_Screen3D::modus = {1280, 720, 0, 0};
    gZeitgeber.eintraege.clear();
    gZeitgeber.zeit = Sek(100);
    o = std::make_unique<Gui::Oberflaeche>("");
    Schritt(0.01);
  }
  void TearDown() override {
    o.reset();
    EXPECT_TRUE(gZeitgeber.eintraege.empty()) << "a timed call outlived the surface";
  }
  static void Schritt(double s) { gZeitgeber.FeuereFaellige(Sek(s)); }
  void Zeige(float x, float y) { o->VerarbeiteMausBewegung({x, y, 0}); }
  std::unique_ptr<Gui::Oberflaeche> o;
};
