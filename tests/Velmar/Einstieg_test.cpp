#include "Einstieg.h"
#include "Quelm_Ausnahme.h"
#include "Quelm_Konsole.h"
#include "Quelm_System.h"
#include "TestHilfen.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

namespace fs = std::filesystem;

class Einstieg : public ::testing::Test {
 protected:
  void SetUp() override { gSystem.benutzerVerzeichnis = ordner.pfad(); }
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

TEST_F(Einstieg, EngineAusnahmeWirdProtokolliertUndGibtMinusEins) {
  const int ergebnis = Spiel::ProgrammEinstieg(
      [] { Quelm_Ausnahme::Wirf("Screen initialisation failed.", "Spiel::Anwendung::Anwendung", "Anwendung.cpp", 42); });
  EXPECT_EQ(ergebnis, -1);
  EXPECT_NE(LeseDatei(Datei("tool.log"))
                .find("): Exception thrown: Anwendung.cpp (42) - Spiel::Anwendung::Anwendung(): "
                      "Screen initialisation failed.\n"),
            std::string::npos);
  EXPECT_TRUE(fs::exists(Datei("tool.cfg")));
}

TEST_F(Einstieg, StandardAusnahmeSpeichertAuchUndGibtMinusEins) {
  const int ergebnis = Spiel::ProgrammEinstieg([] { throw std::runtime_error("kaputt"); });
  EXPECT_EQ(ergebnis, -1);
  EXPECT_NE(LeseDatei(Datei("tool.log")).find("): !Exception thrown: kaputt\n"), std::string::npos);
  EXPECT_TRUE(fs::exists(Datei("tool.cfg")));
}

TEST_F(Einstieg, OhneLogdateiBleibtEineAlteLogdateiStehen) {
  Quelm_KonsolenVariable::Finde("t_logfile")->SetzeBool(false);
  SchreibeDatei(Datei("tool.log"), "alt\n");
  Spiel::ProgrammEinstieg([] {});
  EXPECT_EQ(LeseDatei(Datei("tool.log")), "alt\n");
}

}  // namespace
