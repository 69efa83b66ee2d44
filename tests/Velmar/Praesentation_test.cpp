#include "Anwendung.h"
#include "Praesentation.h"
#include "Quelm_System.h"
#include "RenderTestHilfen.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

class Praesentation : public AufzeichnungsTest {
 protected:
  void SetUp() override {
    AufzeichnungsTest::SetUp();
    gSystem.praesenz = Quelm_System::Fokussiert;
  }
  Quelm_ZeichenKontextImplDX9& Impl() { return kontext->impl; }
};

TEST_F(Praesentation, OffeneSzeneWirdVorDemPresentGeschlossen) {
  Impl().geraet->BeginScene();
  Impl().szeneOffen = true;
  steuerung->LeereProtokoll();
  Spiel::Praesentiere(Impl());
  ASSERT_EQ(steuerung->Aufrufe().size(), 2u);
  EXPECT_EQ(steuerung->Aufrufe()[0].methode, "EndScene");
  EXPECT_EQ(steuerung->Aufrufe()[1].methode, "Present");
  EXPECT_FALSE(Impl().szeneOffen);
}

TEST_F(Praesentation, BildendePraesentiertUndZaehltDasNaechsteBildVonNull) {
  kontext->zaehler.zeichnungen = 7;
  kontext->zaehler.texturen = 2;
  kontext->zaehler.rueckseiten = 1;
  steuerung->LeereProtokoll();
  Spiel::BeendeBild(*kontext);
  EXPECT_EQ(Anzahl("Present"), 1u);
  const Quelm_ZeichenKontext::Zaehler null{};
  EXPECT_EQ(std::memcmp(&kontext->zaehler, &null, sizeof null), 0);
}

// The screen starts with 2, plus 1 for fullscreen, plus 8 for vsync.
TEST(StartModus, FlagsAusVollbildUndVsync) {
  EXPECT_EQ(Spiel::Anwendung::ModusFlags(false, true), 10u);
  EXPECT_EQ(Spiel::Anwendung::ModusFlags(true, true), 11u);
  EXPECT_EQ(Spiel::Anwendung::ModusFlags(false, false), 2u);
  EXPECT_EQ(Spiel::Anwendung::ModusFlags(true, false), 3u);
}

// A lost device is tested unless minimised and reset as soon as it can be; while it cannot
// (or the reset fails) the flag stays set for the next frame.
TEST_F(Praesentation, VerlorenesGeraet) {
  struct Fall {
    const char* name;
    Quelm_System::Praesenz praesenz;
    unsigned versuche;  // answers of "lost" before the device can be reset
    HRESULT reset;
    std::size_t tests, resets;
    bool verloren;
  };
  const Fall faelle[] = {
      {"zuruecksetzbar beim zweiten Test", Quelm_System::Fokussiert, 1, D3D_OK, 2, 1, false},
      {"noch verloren", Quelm_System::Fokussiert, ~0u, D3D_OK, 2, 0, true},
      {"minimiert", Quelm_System::Minimiert, ~0u, D3D_OK, 0, 0, true},
      {"Reset scheitert", Quelm_System::Fokussiert, 0, D3DERR_DRIVERINTERNALERROR, 2, 1, true},
  };
  for (const Fall& f : faelle) {
    SCOPED_TRACE(f.name);
    gSystem.praesenz = f.praesenz;
    steuerung->VerliereGeraet(f.versuche);
    if (f.reset != D3D_OK) steuerung->SkriptiereErgebnis("Reset", f.reset);
    steuerung->LeereProtokoll();
    Spiel::Praesentiere(Impl());
    EXPECT_EQ(Anzahl("TestCooperativeLevel"), f.tests);
    EXPECT_EQ(Anzahl("Reset"), f.resets);
    EXPECT_EQ(Impl().geraetVerloren, f.verloren);
    // Once it can be reset, the next frame does it.
    steuerung->MacheZuruecksetzbar();
    gSystem.praesenz = Quelm_System::Fokussiert;
    Spiel::Praesentiere(Impl());
    EXPECT_FALSE(Impl().geraetVerloren);
  }
}

}  // namespace
