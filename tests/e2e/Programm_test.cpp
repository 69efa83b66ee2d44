// End to end: the real program under a virtual X server, started with a window size it
// must change, and without a screen.
#include "ProgrammTest.h"

#include <csignal>

namespace {

// The virtual screen is 1280 by 1024. 0 by 0 means the desktop size; a size beyond the
// screen is held to it, not handed to X, which would end the tool at every start. Either way
// the real size is saved. SIGTERM ends the tool as a window close does, saving first.
TEST_F(Programm, FenstergroesseWirdZurAnzeigeUndGespeichert) {
  struct Fall {
    int breite, hoehe;
    bool sigterm;  // else the window is closed
    const char* logZeile;
  };
  const Fall faelle[] = {
      {0, 0, false, "Screen wird geschlossen."},
      {40000, 32767, true, "?Fenstergröße 40000x32767 ist größer als die Anzeige, benutze 1280x1024."}};
  for (const Fall& fall : faelle) {
    SCOPED_TRACE(fall.breite);
    SchreibeKonfig(fall.breite, fall.hoehe);
    Starte();
    if (fall.sigterm) {
      WarteAufErstesBild();
      kill(pid_, SIGTERM);
    } else {
      ASSERT_EQ(SchliesseFenster(), 0);
    }
    ASSERT_EQ(WarteAufEnde(std::chrono::seconds(60)), 0);
    const std::string log = Protokoll();
    EXPECT_NE(log.find(fall.logZeile), std::string::npos) << log;
    EXPECT_NE(log.find("Screen wird geschlossen."), std::string::npos) << log;
    const std::string cfg = Einstellungen();
    EXPECT_NE(cfg.find("<var name=\"displaywidth\" wert=\"1280\" />"), std::string::npos) << cfg;
    EXPECT_NE(cfg.find("<var name=\"displayheight\" wert=\"1024\" />"), std::string::npos) << cfg;
  }
}

TEST_F(Programm, OhneBildschirmEndetMitMinusEinsUndSpeichertTrotzdem) {
  Starte(false);
  ASSERT_EQ(WarteAufEnde(std::chrono::seconds(60)), 255);  // -1
  EXPECT_NE(Protokoll().find("Screen initialisation failed."), std::string::npos) << Protokoll();
  EXPECT_TRUE(fs::exists(Benutzerordner() / "tool.cfg"));
}

}  // namespace
