#include "Einstieg.h"
#include "Quelm_Ausnahme.h"
#include "Quelm_Konsole.h"
#include "Quelm_System.h"
#include "TempOrdner.h"

#include <gtest/gtest.h>

#include <csignal>
#include <functional>
#include <stdexcept>
#include <utility>

namespace {

namespace fs = std::filesystem;

class Einstieg : public ::testing::Test {
 protected:
  void SetUp() override {
    gSystem.benutzerVerzeichnis = ordner.pfad();
    Quelm_KonsolenVariable::Finde("t_logfile")->SetzeBool(true);
  }
  fs::path Datei(const char* name) const { return ordner.pfad() / name; }
  TempOrdner ordner;
};

TEST_F(Einstieg, NormalesEndeSpeichertDieKonfigurationDanach) {
  bool warVorherDa = true;
  const int ergebnis = Spiel::ProgrammEinstieg([&] { warVorherDa = fs::exists(Datei("tool.cfg")); });
  EXPECT_EQ(ergebnis, 0);
  EXPECT_FALSE(warVorherDa);
  EXPECT_TRUE(fs::exists(Datei("tool.cfg")));
  EXPECT_NE(LeseDatei(Datei("tool.log")).find("): Log-Start\n"), std::string::npos);
}

TEST_F(Einstieg, AusnahmenWerdenProtokolliertSpeichernAuchUndGebenMinusEins) {
  const std::pair<std::function<void()>, const char*> faelle[] = {
      {[] { Quelm_Ausnahme::Wirf("Screen initialisation failed.", "Spiel::Anwendung::Anwendung", "Anwendung.cpp", 42); },
       "): Exception thrown: Anwendung.cpp (42) - Spiel::Anwendung::Anwendung(): Screen initialisation failed.\n"},
      {[] { throw std::runtime_error("kaputt"); }, "): !Exception thrown: kaputt\n"}};
  for (const auto& [anwendung, zeile] : faelle) {
    fs::remove_all(Datei("tool.cfg"));
    EXPECT_EQ(Spiel::ProgrammEinstieg(anwendung), -1) << zeile;
    EXPECT_NE(LeseDatei(Datei("tool.log")).find(zeile), std::string::npos) << zeile;
    EXPECT_TRUE(fs::exists(Datei("tool.cfg"))) << zeile;
  }
}

TEST_F(Einstieg, OhneLogdateiBleibtEineAlteLogdateiStehen) {
  Quelm_KonsolenVariable::Finde("t_logfile")->SetzeBool(false);
  SchreibeDatei(Datei("tool.log"), "alt\n");
  Spiel::ProgrammEinstieg([] {});
  EXPECT_EQ(LeseDatei(Datei("tool.log")), "alt\n");
}

TEST_F(Einstieg, FehlschlaegeStehenAuchAufStderrMitDemProtokollPfad) {
  const std::string log = Datei("tool.log").string();
  struct Fall {
    const char* name;
    std::function<void()> vorbereiten;
    std::function<void()> anwendung;
    int ergebnis;
    std::string stderrText;  // a part of what stderr must show
  };
  const Fall faelle[] = {
      {"Start scheitert", [] {},
       [] { Quelm_Ausnahme::Wirf("Screen initialisation failed.", "Spiel::Anwendung::Anwendung", "A.cpp", 1); }, -1,
       "ToolVelmar: Screen initialisation failed.\nToolVelmar: Protokoll: " + log + "\n"},
      {"Speichern scheitert", [this] { fs::create_directory(Datei("tool.cfg")); }, [] {}, 1,
       "konnte nicht gespeichert werden"},
      {"Datenordner fehlt", [] { gSystem.ordnerFehler = "!Unable to create user data path \"x\"."; }, [] {}, 0,
       "ToolVelmar: Unable to create user data path \"x\"."},
  };
  for (const Fall& fall : faelle) {
    SCOPED_TRACE(fall.name);
    fs::remove_all(Datei("tool.cfg"));
    fall.vorbereiten();
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(Spiel::ProgrammEinstieg(fall.anwendung), fall.ergebnis);
    const std::string fehlerText = ::testing::internal::GetCapturedStderr();
    gSystem.ordnerFehler.clear();
    EXPECT_NE(fehlerText.find(fall.stderrText), std::string::npos) << fehlerText;
    // Whatever reached stderr is in the log as well.
    const std::string erste = fehlerText.substr(12, fehlerText.find('\n') - 12);
    EXPECT_NE(LeseDatei(Datei("tool.log")).find(erste), std::string::npos) << erste;
  }
}

TEST_F(Einstieg, BeendenSignaleSetzenNurDasEndeFlag) {
  for (int signal : {SIGTERM, SIGINT, SIGHUP}) {
    gSystem.beenden = false;
    EXPECT_EQ(Spiel::ProgrammEinstieg([signal] { std::raise(signal); }), 0) << signal;
    EXPECT_TRUE(gSystem.beenden) << signal;
  }
  gSystem.beenden = false;
}

}  // namespace
