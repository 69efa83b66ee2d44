// End to end: the real program under a virtual X server, driven as a user would.
#include "ProgrammTest.h"

#include <csignal>
#include <thread>

namespace {

TEST_F(Programm, StartetImFensterUndEndetBeimSchliessen) {
  SchreibeDatei(Benutzerordner() / "tool.cfg",
                "<?xml version=\"1.0\" ?>\n<config>\n"
                "    <var name=\"displaywidth\" wert=\"640\" />\n"
                "    <var name=\"displayheight\" wert=\"480\" />\n"
                "    <var name=\"fullscreen\" wert=\"nein\" />\n"
                "    <var name=\"vsync\" wert=\"nein\" />\n"
                "</config>\n");
  Starte();
  ASSERT_EQ(SchliesseFenster(), 0) << "no window titled ToolVelmar appeared";
  ASSERT_EQ(WarteAufEnde(std::chrono::seconds(60)), 0);

  const std::string log = LeseDatei(Benutzerordner() / "tool.log");
  EXPECT_NE(log.find("): Log-Start\n"), std::string::npos) << log;
  EXPECT_NE(log.find("Screen wird initialisiert."), std::string::npos) << log;
  EXPECT_NE(log.find("Screen wird geschlossen."), std::string::npos) << log;
  EXPECT_NE(log.find("Input says: DRENO instance created.\n"), std::string::npos) << log;
  EXPECT_EQ(log.find("): !"), std::string::npos) << log;

  const std::string cfg = LeseDatei(Benutzerordner() / "tool.cfg");
  EXPECT_NE(cfg.find("<var name=\"displaywidth\" wert=\"640\" />"), std::string::npos) << cfg;
  EXPECT_NE(cfg.find("<var name=\"fullscreen\" wert=\"nein\" />"), std::string::npos) << cfg;
  EXPECT_NE(cfg.find("<var name=\"t_logfile\" wert=\"ja\" />"), std::string::npos) << cfg;

  // Every saved variable of the program, in byte order of the names.
  std::vector<std::string> namen;
  for (auto p = cfg.find("name=\""); p != std::string::npos; p = cfg.find("name=\"", p + 1))
    namen.push_back(cfg.substr(p + 6, cfg.find('"', p + 6) - p - 6));
  EXPECT_EQ(namen, (std::vector<std::string>{"debugShader", "displaydepth", "displayheight", "displaywidth", "fullscreen",
                                             "sprache", "t_debug", "t_logfile", "vsync"}));
}

// The virtual screen is 1280 by 1024. 0 by 0 means the desktop size; a size beyond the
// screen is held to it, not handed to X, which would end the tool at every start. Either way
// the real size is saved. SIGTERM ends the tool as a window close does, saving first.
TEST_F(Programm, FenstergroesseWirdZurAnzeigeUndGespeichert) {
  struct Fall {
    const char* name;
    const char* groesse;  // the size variables of tool.cfg
    bool sigterm;         // else the window is closed
    const char* logZeile;
  };
  const Fall faelle[] = {
      {"ohne Groesse", "", false, "Screen wird geschlossen."},
      {"zu gross",
       "    <var name=\"displaywidth\" wert=\"40000\" />\n    <var name=\"displayheight\" wert=\"32767\" />\n", true,
       "?Fenstergröße 40000x32767 ist größer als die Anzeige, benutze 1280x1024."},
  };
  for (const Fall& fall : faelle) {
    SCOPED_TRACE(fall.name);
    SchreibeDatei(Benutzerordner() / "tool.cfg", std::string("<?xml version=\"1.0\" ?>\n<config>\n") + fall.groesse +
                                                     "    <var name=\"fullscreen\" wert=\"nein\" />\n</config>\n");
    Starte();
    if (fall.sigterm) {
      WarteAufErstesBild();
      kill(pid_, SIGTERM);
    } else {
      ASSERT_EQ(SchliesseFenster(), 0);
    }
    ASSERT_EQ(WarteAufEnde(std::chrono::seconds(60)), 0);
    const std::string log = LeseDatei(Benutzerordner() / "tool.log");
    EXPECT_NE(log.find(fall.logZeile), std::string::npos) << log;
    EXPECT_NE(log.find("Screen wird geschlossen."), std::string::npos) << log;
    const std::string cfg = LeseDatei(Benutzerordner() / "tool.cfg");
    EXPECT_NE(cfg.find("<var name=\"displaywidth\" wert=\"1280\" />"), std::string::npos) << cfg;
    EXPECT_NE(cfg.find("<var name=\"displayheight\" wert=\"1024\" />"), std::string::npos) << cfg;
  }
}

TEST_F(Programm, KonsoleMitF11UndQuitBeendetMitNull) {
  SchreibeDatei(Benutzerordner() / "tool.cfg",
                "<?xml version=\"1.0\" ?>\n<config>\n"
                "    <var name=\"displaywidth\" wert=\"640\" />\n"
                "    <var name=\"displayheight\" wert=\"480\" />\n"
                "    <var name=\"fullscreen\" wert=\"nein\" />\n"
                "</config>\n");
  Starte();
  WarteAufErstesBild();
  const std::string xdo = "timeout 60 xdotool search --sync --name '^ToolVelmar$' windowfocus --sync ";
  ASSERT_EQ(std::system((xdo + "keydown F11 sleep 2 keyup F11 sleep 3 type --delay 80 quit").c_str()), 0);
  ASSERT_EQ(std::system("xdotool sleep 0.2 keydown Return sleep 0.2 keyup Return"), 0);
  ASSERT_EQ(WarteAufEnde(std::chrono::seconds(60)), 0);
}

TEST_F(Programm, OhneBildschirmEndetMitMinusEinsUndSpeichertTrotzdem) {
  Starte(false);
  ASSERT_EQ(WarteAufEnde(std::chrono::seconds(60)), 255);  // -1
  const std::string log = LeseDatei(Benutzerordner() / "tool.log");
  EXPECT_NE(log.find("Screen initialisation failed."), std::string::npos) << log;
  EXPECT_TRUE(fs::exists(Benutzerordner() / "tool.cfg"));
}

}  // namespace
