#include "Anwendung.h"
#include "Quelm_Bild.h"
#include "Quelm_System.h"
#include "RenderTestHilfen.h"

#include <fstream>

namespace {

namespace fs = std::filesystem;

class Bildschirmfoto : public AufzeichnungsTest {
 protected:
  // A 64 x 32 window under a mode that claims far more, its back buffer holding a pattern.
  void VorDemKontext() override {
    steuerung->fensterBreite = 64;
    steuerung->fensterHoehe = 32;
  }
  void SetUp() override {
    AufzeichnungsTest::SetUp();
    alterOrdner = gSystem.benutzerVerzeichnis;
    gSystem.benutzerVerzeichnis = ordner.pfad();
    SchreibeRueckpufferMuster(kontext, 64, 32);
  }
  void TearDown() override {
    gSystem.benutzerVerzeichnis = alterOrdner;
    AufzeichnungsTest::TearDown();
  }
  fs::path Foto(int n) const {
    char name[32];
    std::snprintf(name, sizeof name, "screenshot%04d.png", n);
    return ordner.pfad() / "screenshots" / name;
  }
  std::size_t Dateien() const {
    std::size_t n = 0;
    for ([[maybe_unused]] const auto& e : fs::directory_iterator(ordner.pfad() / "screenshots")) ++n;
    return n;
  }
  fs::path alterOrdner;
};

// Its pixels are compared with the window's by the session test in tests/e2e.
TEST_F(Bildschirmfoto, FrischerOrdnerGibtNullMitDemRueckpufferInSeinerGroesse) {
  ASSERT_TRUE(Spiel::Anwendung::SpeichereBildschirmfoto()) << ::testing::PrintToString(Texte());
  Quelm_Bild bild;
  ASSERT_TRUE(bild.LadeBildAusDatei(Foto(0)));
  EXPECT_EQ(bild.breite, 64u);
  EXPECT_EQ(bild.hoehe, 32u);
}

TEST_F(Bildschirmfoto, DieErsteLueckeWirdGenommenUndAlleNamenVergebenGemeldet) {
  fs::create_directories(Foto(0));  // a folder takes its name too
  SchreibeDatei(Foto(2), "x");
  ASSERT_TRUE(Spiel::Anwendung::SpeichereBildschirmfoto());
  EXPECT_GT(fs::file_size(Foto(1)), 100u);
  EXPECT_EQ(LeseDatei(Foto(2)), "x");
  for (int n = 3; n <= 9998; ++n) std::ofstream{Foto(n)};
  ASSERT_TRUE(Spiel::Anwendung::SpeichereBildschirmfoto());  // the last free name
  EXPECT_GT(fs::file_size(Foto(9999)), 100u);
  EXPECT_FALSE(Spiel::Anwendung::SpeichereBildschirmfoto());
  EXPECT_EQ(Dateien(), 10000u);
  EXPECT_TRUE(Geloggt("!Spiel::Anwendung::SpeichereBildschirmfoto(): Alle Namen in \"" +
                      (ordner.pfad() / "screenshots").string() + "\" sind vergeben."));
}

TEST_F(Bildschirmfoto, FehlgeschlagenesLesenHinterlaesstKeineDatei) {
  for (const char* methode : {"GetBackBuffer", "LockRect"}) {
    SCOPED_TRACE(methode);
    sammler->zeilen.clear();
    steuerung->SkriptiereErgebnis(methode, D3DERR_INVALIDCALL);
    EXPECT_FALSE(Spiel::Anwendung::SpeichereBildschirmfoto());
    EXPECT_EQ(Dateien(), 0u);
    EXPECT_TRUE(Geloggt("!Spiel::Anwendung::SpeichereBildschirmfoto(): Kein Bildschirmfoto gespeichert."));
    for (const auto& t : Texte()) EXPECT_EQ(t.find("Screenshot saved"), std::string::npos);
  }
}

TEST_F(Bildschirmfoto, OrdnerDerNichtAngelegtWerdenKannWirdGemeldet) {
  // The user data folder is a plain file: nothing can be made below it.
  SchreibeDatei(ordner.pfad() / "datei", "x");
  gSystem.benutzerVerzeichnis = ordner.pfad() / "datei";
  EXPECT_FALSE(Spiel::Anwendung::SpeichereBildschirmfoto());
  ASSERT_EQ(Texte().size(), 1u);
  EXPECT_EQ(Texte()[0].rfind("!Spiel::Anwendung::SpeichereBildschirmfoto(): Ordner \"", 0), 0u) << Texte()[0];
}

}  // namespace
