#include "Quelm_Ausnahme.h"
#include "Quelm_Konsole.h"
#include "Quelm_ProfilManager.h"
#include "Quelm_System.h"
#include "Quelm_Zeitbasis.h"
#include "TempOrdner.h"

#include <gtest/gtest.h>

#include <pwd.h>

namespace {

namespace fs = std::filesystem;

TEST(ProgrammVerzeichnis, Bin32UndBin64FuehrenZumElternordner) {
  EXPECT_EQ(Quelm_System::ProgrammVerzeichnisAus("/opt/tool/bin64/ToolVelmar"), fs::path("/opt/tool"));
  EXPECT_EQ(Quelm_System::ProgrammVerzeichnisAus("/opt/tool/bin32/ToolVelmar"), fs::path("/opt/tool"));
  EXPECT_EQ(Quelm_System::ProgrammVerzeichnisAus("/opt/tool/Bin64/ToolVelmar"), fs::path("/opt/tool/Bin64/"));
  EXPECT_EQ(Quelm_System::ProgrammVerzeichnisAus("/opt/tool/bin640/ToolVelmar"), fs::path("/opt/tool/bin640/"));
  EXPECT_EQ(Quelm_System::ProgrammVerzeichnisAus("/opt/tool/ToolVelmar"), fs::path("/opt/tool/"));
  EXPECT_EQ(Quelm_System::ProgrammVerzeichnisAus("/ToolVelmar"), fs::path("/"));
  EXPECT_EQ(Quelm_System::ProgrammVerzeichnisAus("ToolVelmar"), fs::path(""));
}

TEST(SystemObjekt, LegtDasBenutzerverzeichnisMitElternAnOderMerktDenFehler) {
  TempOrdner ordner;
  Quelm_SystemQuellen quellen{ordner.pfad() / "bin64" / "ToolVelmar", ordner.pfad() / "a" / "b", "anna"};
  Quelm_System system(quellen);
  EXPECT_EQ(system.programmVerzeichnis, ordner.pfad());
  EXPECT_EQ(system.benutzerVerzeichnis, ordner.pfad() / "a" / "b" / "ToolVelmar");
  EXPECT_TRUE(fs::is_directory(system.benutzerVerzeichnis));
  EXPECT_EQ(system.benutzerName, "anna");
  EXPECT_TRUE(system.ordnerFehler.empty());

  // Without application data and name: the program folder and "user".
  Quelm_System ohne(Quelm_SystemQuellen{ordner.pfad() / "ToolVelmar", std::nullopt, std::string()});
  EXPECT_EQ(ohne.benutzerVerzeichnis, ordner.pfad() / "ToolVelmar");
  EXPECT_EQ(ohne.benutzerName, "user");

  SchreibeDatei(ordner.pfad() / "datei", "");
  Quelm_System gesperrt(Quelm_SystemQuellen{ordner.pfad() / "ToolVelmar", ordner.pfad() / "datei", "anna"});
  EXPECT_TRUE(gesperrt.ordnerFehler.starts_with("!Unable to create user data path \"" + ordner.pfad().string() +
                                                "/datei/ToolVelmar\"."))
      << gesperrt.ordnerFehler;
}

TEST(SystemObjekt, OhnePfadZurProgrammdateiWirdGeworfen) {
  try {
    Quelm_System system(Quelm_SystemQuellen{std::nullopt, std::nullopt, std::nullopt});
    FAIL();
  } catch (const Quelm_Ausnahme& a) {
    EXPECT_EQ(a.text, "Unable to obtain path to game executable.");
  }
}

TEST(StatischeInitialisierung, TestsLaufenNichtImEchtenHome) {
  const passwd* eintrag = getpwuid(geteuid());
  ASSERT_NE(eintrag, nullptr);
  EXPECT_NE(gSystem.benutzerVerzeichnis, fs::path(eintrag->pw_dir) / ".local" / "share" / "ToolVelmar");
}

// The commands and variables registered before main are used by the console's tests.
TEST(StatischeInitialisierung, AllesIstVorMainGebautUndQuitSetztDasEndeflag) {
  EXPECT_FALSE(gSystem.programmVerzeichnis.empty());
  EXPECT_GT(Quelm_ZaehlerFrequenz, 0);
  ASSERT_NE(gProfilManager.registry, nullptr);
  EXPECT_EQ(gProfilManager.stapel.back(), &gProfilManager.wurzel);
  EXPECT_EQ(Quelm_KonsolenVariable::Finde("sprache")->wertInt, -1);
  gSystem.beenden = false;
  Quelm_KonsolenBefehl::Finde("quit")->ausfuehren("egal");
  EXPECT_TRUE(gSystem.beenden);
}

}  // namespace
