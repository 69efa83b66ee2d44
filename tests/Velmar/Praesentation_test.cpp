#include "Praesentation.h"
#include "Quelm_System.h"
#include "RenderTestHilfen.h"

#include <gtest/gtest.h>

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

TEST_F(Praesentation, VerlorenesGeraetWirdZurueckgesetztSobaldEsGeht) {
  steuerung->VerliereGeraet(1);  // the first test still finds it lost, the second resettable
  Spiel::Praesentiere(Impl());
  EXPECT_EQ(Anzahl("TestCooperativeLevel"), 2u);
  EXPECT_EQ(Anzahl("Reset"), 1u);
  EXPECT_FALSE(Impl().geraetVerloren);
}

TEST_F(Praesentation, NochVerlorenBleibtDasFlagGesetzt) {
  steuerung->VerliereGeraet();
  Spiel::Praesentiere(Impl());
  EXPECT_TRUE(Impl().geraetVerloren);
  EXPECT_EQ(Anzahl("Reset"), 0u);
  // Once it can be reset, the next frame does it.
  steuerung->MacheZuruecksetzbar();
  Spiel::Praesentiere(Impl());
  EXPECT_EQ(Anzahl("Reset"), 1u);
  EXPECT_FALSE(Impl().geraetVerloren);
}

TEST_F(Praesentation, MinimiertWirdNichtGetestet) {
  gSystem.praesenz = Quelm_System::Minimiert;
  steuerung->VerliereGeraet();
  Spiel::Praesentiere(Impl());
  EXPECT_TRUE(Impl().geraetVerloren);
  EXPECT_EQ(Anzahl("TestCooperativeLevel"), 0u);
}

TEST_F(Praesentation, ScheiterndesZuruecksetzenLaesstDasFlagFuerDenNaechstenFrame) {
  steuerung->VerliereGeraet(0);
  steuerung->SkriptiereErgebnis("Reset", D3DERR_DRIVERINTERNALERROR);
  Spiel::Praesentiere(Impl());
  EXPECT_EQ(Anzahl("Reset"), 1u);
  EXPECT_TRUE(Impl().geraetVerloren);
}

}  // namespace
