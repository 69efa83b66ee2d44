// End to end: fullscreen at a size that no mode of the 1280x1024 screen comes near. 320 by
// 200 is farther from 1280x1024 than from 0 by 0; the tool takes the screen's mode, says so
// in the log and goes on drawing, at start and when switched to fullscreen at run time.
#include "ProgrammTest.h"

namespace {

constexpr const char* kModusZeile = "?Anzeigemodus 320x200 gibt es nicht, benutze den nächsten: 1280x1024.";

class Vollbild : public Programm {
 protected:
  // The window covers the screen and frames go on; the log names the mode taken, and none
  // of the lines of a failed mode change is there.
  void PruefeVollbild() {
    Bilder(5);
    const Bild b = WarteAufBild([](const Bild& b) { return b.breite == 1280 && b.hoehe == 1024; });
    EXPECT_EQ(b.breite, 1280);
    EXPECT_EQ(b.hoehe, 1024);
    if (b.breite == 1280 && b.hoehe == 1024) {
      EXPECT_TRUE(Hintergrund(b(1277, 1021))) << Text(b(1277, 1021));
    }
    const std::string log = Protokoll();
    EXPECT_NE(log.find(kModusZeile), std::string::npos) << log;
    for (const char* fehler :
         {"Invalid window size", "D3D9-Reset gescheitert", "Ungültige Texturgröße", "Failed to set render target"})
      EXPECT_EQ(log.find(fehler), std::string::npos) << fehler << "\n" << log;
  }

  // Closing the window ends the tool with 0; it saves the mode in force.
  void SchliesseUndPruefeEinstellungen() {
    ASSERT_EQ(SchliesseFenster(), 0);
    ASSERT_EQ(WarteAufEnde(std::chrono::seconds(60)), 0);
    const std::string einstellungen = Einstellungen();
    EXPECT_NE(einstellungen.find("name=\"displaywidth\" wert=\"1280\""), std::string::npos) << einstellungen;
    EXPECT_NE(einstellungen.find("name=\"displayheight\" wert=\"1024\""), std::string::npos) << einstellungen;
    EXPECT_NE(einstellungen.find("name=\"fullscreen\" wert=\"ja\""), std::string::npos) << einstellungen;
  }
};

TEST_F(Vollbild, StartBeiEinerGroesseFernVonJedemModus) {
  SchreibeKonfig(320, 200, true);
  Oeffne();
  PruefeVollbild();
  SchliesseUndPruefeEinstellungen();
}

TEST_F(Vollbild, WechselBeiEinerGroesseFernVonJedemModus) {
  SchreibeKonfig(320, 200);
  Oeffne();
  Konsole({"set fullscreen ja", "reinitvideo"});  // closed again: the picture's corner shows the scene
  PruefeVollbild();
  const std::string log = Protokoll();
  EXPECT_NE(log.find("Darstellung wird geändert auf 320x200, Vollbild."), std::string::npos) << log;
  SchliesseUndPruefeEinstellungen();
}

}  // namespace
