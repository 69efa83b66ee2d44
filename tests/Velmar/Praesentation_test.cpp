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

// The frame loop tries a reset that fails again every frame, but logs the failure once,
// until it fails differently, another mode is asked for, or a reset succeeds.
TEST_F(Praesentation, GescheiterterResetWirdEinmalGemeldetNichtJedesBild) {
  const auto zeilen = [&](const std::string& text) {
    return static_cast<std::size_t>(std::ranges::count_if(
        Texte(), [&](const std::string& t) { return t.find(text) != std::string::npos; }));
  };
  const auto bilder = [&](int anzahl) {
    sammler->zeilen.clear();
    steuerung->LeereProtokoll();
    for (int i = 0; i < anzahl; ++i) Spiel::Praesentiere(Impl());
  };
  const struct {
    const char* name;
    HRESULT reset;                   // what Reset answers in these frames
    Quelm_Anzeigemodus modus;        // the mode asked for
    std::size_t reinits, fehler;     // "ReInit ..." and "D3D9-Reset gescheitert" lines
    bool erfolgZeile;                // the line on success after failed tries
  } faelle[] = {
      {"scheitert", D3DERR_INVALIDCALL, {1280, 720, 0, 0}, 1, 1, false},
      {"scheitert weiter gleich", D3DERR_INVALIDCALL, {1280, 720, 0, 0}, 0, 0, false},
      {"scheitert anders", D3DERR_DRIVERINTERNALERROR, {1280, 720, 0, 0}, 0, 1, false},
      {"anderer Modus", D3DERR_DRIVERINTERNALERROR, {1024, 768, 0, 0}, 1, 1, false},
      {"gelingt", D3D_OK, {1024, 768, 0, 0}, 0, 0, true},
      {"scheitert wieder", D3DERR_INVALIDCALL, {1024, 768, 0, 0}, 1, 1, false},
  };
  constexpr int kBilder = 3;
  steuerung->VerliereGeraet(0);  // resettable at once
  for (const auto& f : faelle) {
    SCOPED_TRACE(f.name);
    Quelm_Screen3D::modus = f.modus;
    if (f.reset != D3D_OK) steuerung->SkriptiereErgebnis("Reset", f.reset, 1, kBilder);
    bilder(f.reset == D3D_OK ? 1 : kBilder);
    // Tried in every frame, as long as it fails.
    EXPECT_EQ(Anzahl("Reset"), f.reset == D3D_OK ? 1u : static_cast<std::size_t>(kBilder));
    EXPECT_EQ(Impl().geraetVerloren, f.reset != D3D_OK);
    EXPECT_EQ(zeilen("ReInit Darstellung: Device zurücksetzen"), f.reinits) << ::testing::PrintToString(Texte());
    EXPECT_EQ(zeilen("\"D3D9-Reset gescheitert\""), f.fehler) << ::testing::PrintToString(Texte());
    EXPECT_EQ(zeilen("ReInit Darstellung: Device nach 3 gescheiterten Versuchen zurückgesetzt."),
              f.erfolgZeile ? 1u : 0u)
        << ::testing::PrintToString(Texte());
    if (f.reset == D3D_OK) steuerung->VerliereGeraet(0);  // lost again for the next case
  }
}

}  // namespace
