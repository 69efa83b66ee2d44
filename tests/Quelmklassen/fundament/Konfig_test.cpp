#include "ProtokollSammler.h"
#include "Quelm_Konfig.h"
#include "Quelm_Konsole.h"

#include <gtest/gtest.h>

#include <grp.h>
#include <optional>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

// First in the file, so that no earlier test has remembered a path in this process.
TEST(KonfigOhnePfad, SpeichernVorDemLadenSchreibtNichts) {
  TempOrdner ordner;
  AktiviereProtokoll(ordner.pfad());
  ZeilenSammler sammler;
  const auto vorher = std::filesystem::current_path();
  std::filesystem::current_path(ordner.pfad());
  EXPECT_FALSE(Quelm_Konfig::Speichere());
  std::filesystem::current_path(vorher);
  EXPECT_TRUE(sammler.zeilen.empty());  // no attempt on an empty path, so no failure either
  EXPECT_TRUE(Quelm_Konfig::SpeicherFehler().empty());
  for (const auto& eintrag : std::filesystem::directory_iterator(ordner.pfad()))
    EXPECT_EQ(eintrag.path().filename(), "tool.log");
}

using V = Quelm_KonsolenVariable;
V kText("k_text", V::String, V::Dauerhaft, "a&b \"c\" <d> 'e'");
V kZahl("k_zahl", V::Float, V::Dauerhaft, "0.1");
V kFluechtig("k_fluechtig", V::Int, 0, std::int32_t{3});

class Konfig : public ::testing::Test {
 protected:
  void SetUp() override {
    kText.SetzeText("a&b \"c\" <d> 'e'");
    kZahl.SetzeText("0.1");
    V::Finde("sprache")->SetzeInt(-1);
    V::Finde("t_logfile")->SetzeBool(true);
    AktiviereProtokoll(ordner.pfad());
  }
  std::filesystem::path Datei() const { return ordner.pfad() / "tool.cfg"; }
  TempOrdner ordner;
};

TEST_F(Konfig, SpeichernSchreibtDieGespeichertenVariablenGeordnetUndDieRundreiseIstByteGleich) {
  Quelm_Konfig::Lade(ordner.pfad(), "tool.cfg");
  SchreibeDatei(ordner.pfad() / "tool.cfg.neu", "fremd");  // another process's temporary file
  ASSERT_TRUE(Quelm_Konfig::Speichere());
  const std::string erwartet =
      "<?xml version=\"1.0\" ?>\n"
      "<config>\n"
      "    <var name=\"k_text\" wert='a&amp;b &quot;c&quot; &lt;d&gt; &apos;e&apos;' />\n"
      "    <var name=\"k_zahl\" wert=\"0.100000001\" />\n"
      "    <var name=\"sprache\" wert=\"-1\" />\n"
      "    <var name=\"t_debug\" wert=\"ja\" />\n"
      "    <var name=\"t_logfile\" wert=\"ja\" />\n"
      "</config>\n";
  EXPECT_EQ(LeseDatei(Datei()), erwartet);

  kText.SetzeText("anders");
  Quelm_Konfig::Lade(ordner.pfad(), "tool.cfg");
  EXPECT_EQ(kText.text, "a&b \"c\" <d> 'e'");
  ASSERT_TRUE(Quelm_Konfig::Speichere());
  EXPECT_EQ(LeseDatei(Datei()), erwartet);
  EXPECT_EQ(LeseDatei(ordner.pfad() / "tool.cfg.neu"), "fremd");
  for (const auto& eintrag : std::filesystem::directory_iterator(ordner.pfad()))
    EXPECT_FALSE(eintrag.path().filename().string().starts_with("tool.cfg.neu.")) << eintrag.path();
}

TEST_F(Konfig, UnbekannteNamenUndUnvollstaendigeElementeWerdenUebersprungen) {
  SchreibeDatei(Datei(),
                "<?xml version=\"1.0\" ?>\n<wurzel>\n"
                "  <var name=\"gibtsnicht\" wert=\"1\" />\n"
                "  <var wert=\"1\" />\n"
                "  <var name=\"k_fluechtig\" />\n"
                "  <anders name=\"sprache\" wert=\"9\" />\n"
                "  <var name=\"t_logfile\" wert=\"nein\" />\n"
                "  <var name=\"sprache\" wert=\"2\" />\n"
                "  <anders name=\"k_fluechtig\" wert=\"9\" />\n"
                "</wurzel>\n");
  ZeilenSammler sammler;
  Quelm_Konfig::Lade(ordner.pfad(), "tool.cfg");
  EXPECT_TRUE(sammler.zeilen.empty());
  EXPECT_EQ(V::Finde("sprache")->wertInt, 2);
  EXPECT_FALSE(V::Finde("t_logfile")->wertBool);  // read-only, still set from the file
  EXPECT_EQ(kFluechtig.wertInt, 3);
}

TEST_F(Konfig, EinWertDerNichtZurArtPasstLaesstDenStandardUndWirdGemeldet) {
  SchreibeDatei(Datei(),
                "<config>\n  <var name=\"sprache\" wert=\"1e9\" />\n  <var name=\"k_zahl\" wert=\"0.5\" />\n</config>\n");
  ZeilenSammler sammler;
  Quelm_Konfig::Lade(ordner.pfad(), "tool.cfg");
  EXPECT_EQ(V::Finde("sprache")->wertInt, -1);
  EXPECT_EQ(kZahl.wertFloat, 0.5f);
  ASSERT_EQ(sammler.Texte().size(), 1u);
  EXPECT_NE(sammler.Texte()[0].find("\"sprache\" erwartet eine ganze Zahl, nicht \"1e9\""), std::string::npos);
}

TEST_F(Konfig, FehlendeUndKaputteDateienWerdenGemeldetUndAufbewahrt) {
  std::string tief;  // as deep as it takes to overflow the parser's stack
  for (int i = 0; i < 50000; ++i) tief += "<a>";
  for (int i = 0; i < 50000; ++i) tief += "</a>";
  struct Fall {
    const char* name;
    std::optional<std::string> inhalt;  // none: no file
    const char* meldung;
    const char* schaden;  // part of the damage line; null: none
  };
  const char* keine = "?Keine Konfig-Datei gefunden, benutze Standardwerte.";
  const char* fehlerhaft = "?Konfig-Datei fehlerhaft, benutze Standardwerte.";
  const Fall faelle[] = {
      {"fehlt", std::nullopt, keine, nullptr},
      {"abgeschnitten", "<config><var name=\"sprache\" wert=\"5\"", keine, "Zeile 1"},
      {"leer", "", keine, "beschädigt ("},
      {"zufall", std::string("\x9c\x01\xff<\x00\x13z", 7), keine, "beschädigt ("},
      {"tief", tief, keine, "zu tief verschachtelt"},
      {"ohne var", "<config><anders /></config>", fehlerhaft, "kein Element \"var\""},
  };
  for (const Fall& fall : faelle) {
    SCOPED_TRACE(fall.name);
    std::filesystem::remove(Datei());
    std::filesystem::remove(ordner.pfad() / "tool.cfg.defekt");
    if (fall.inhalt) SchreibeDatei(Datei(), *fall.inhalt);
    ZeilenSammler sammler;
    Quelm_Konfig::Lade(ordner.pfad(), "tool.cfg");
    const auto texte = sammler.Texte();
    ASSERT_EQ(texte.size(), fall.schaden ? 2u : 1u);
    EXPECT_EQ(texte[0], fall.meldung);
    EXPECT_EQ(V::Finde("sprache")->wertInt, -1);
    if (!fall.schaden) continue;
    EXPECT_NE(texte[1].find(fall.schaden), std::string::npos) << texte[1];
    EXPECT_NE(texte[1].find("aufbewahrt als \"tool.cfg.defekt\""), std::string::npos) << texte[1];
    // The save writes defaults; the damaged file stays as it was.
    ASSERT_TRUE(Quelm_Konfig::Speichere());
    EXPECT_EQ(LeseDatei(ordner.pfad() / "tool.cfg.defekt"), *fall.inhalt);
  }
}

TEST_F(Konfig, MisslungenesSpeichernWirdGemeldetUndLaesstNichtsZurueck) {
  // A folder named like the file: the rename fails. A missing data folder is left to the start tests.
  Quelm_Konfig::Lade(ordner.pfad(), "tool.cfg");
  std::filesystem::create_directory(Datei());
  ZeilenSammler sammler;
  EXPECT_FALSE(Quelm_Konfig::Speichere());
  EXPECT_NE(Quelm_Konfig::SpeicherFehler().find(Datei().string()), std::string::npos);
  EXPECT_EQ(sammler.Texte(), std::vector<std::string>{"!" + Quelm_Konfig::SpeicherFehler() + "."});
  for (const auto& eintrag : std::filesystem::directory_iterator(ordner.pfad()))
    EXPECT_FALSE(eintrag.path().filename().string().starts_with("tool.cfg.neu")) << eintrag.path();
}

namespace fs = std::filesystem;

mode_t Modus(const fs::path& pfad) {
  struct stat s {};
  return stat(pfad.c_str(), &s) == 0 ? s.st_mode & 07777 : 0;
}

struct Verhalten {
  const char* name;
  std::vector<std::pair<const char*, std::string>> links;  // link in the folder, what it names
  const char* ziel;  // the file the links lead to, in the folder; null: none
  mode_t modus;      // of that file before the save, written "alt"; 0: no file
  bool gelingt;
};

// Saves into `platz`, where Lade found no file and the row's files were laid out; what is
// wrong afterwards, empty when nothing. Returns text so that a child process can tell it.
std::string SpeichereUndPruefe(const Verhalten& fall, const fs::path& platz) {
  std::string fehler;
  const auto pruefe = [&](bool gut, const std::string& was) {
    if (!gut) fehler += was + "; ";
  };
  const fs::path datei = platz / "tool.cfg";
  const fs::path ziel = platz / (fall.ziel ? fall.ziel : "");
  const mode_t maske = umask(0);
  umask(maske);
  const bool gespeichert = Quelm_Konfig::Speichere();
  pruefe(gespeichert == fall.gelingt, "Speichere: " + Quelm_Konfig::SpeicherFehler());
  pruefe(fall.links.empty() || fs::is_symlink(datei), "link replaced");
  if (fall.gelingt) {
    pruefe(LeseDatei(ziel).find("<var name=\"k_zahl\"") != std::string::npos, "target not saved");
    pruefe(Modus(ziel) == (fall.modus ? fall.modus : 0666 & ~maske), "mode " + std::to_string(Modus(ziel)));
  } else {
    pruefe(Quelm_Konfig::SpeicherFehler().find(datei.string()) != std::string::npos, "error does not name the file");
    if (fall.modus) pruefe(LeseDatei(ziel) == "alt" && Modus(ziel) == fall.modus, "file changed");
  }
  for (const auto& eintrag : fs::recursive_directory_iterator(platz))
    pruefe(eintrag.path().filename().string().find(".neu.") == std::string::npos, "left " + eintrag.path().string());
  return fehler;
}

TEST_F(Konfig, VerknuepfungenRechteUndSchreibschutzBleiben) {
  const std::string absolut = (ordner.pfad() / "absolut0" / "dotfiles" / "tool.cfg").string();
  const Verhalten faelle[] = {
      {"absolut", {{"tool.cfg", absolut}}, "dotfiles/tool.cfg", 0640, true},
      // Each relative target counts from its own link's folder; a missing target is created.
      {"relativ", {{"tool.cfg", "a/zwischen"}, {"a/zwischen", "../dotfiles/tool.cfg"}}, "dotfiles/tool.cfg", 0, true},
      {"privat", {}, "tool.cfg", 0600, true},
      {"schreibgeschuetzt", {}, "tool.cfg", 0444, false},
      {"schleife", {{"tool.cfg", "tool.cfg"}}, nullptr, 0, false},
  };
  for (const Verhalten& fall : faelle) {
    SCOPED_TRACE(fall.name);
    // Root may write anything, so the read-only file is also saved by a user who is not.
    const bool alsNiemand = fall.modus == 0444 && geteuid() == 0;
    for (int lauf = 0; lauf < (alsNiemand ? 2 : 1); ++lauf) {
      const fs::path platz = ordner.pfad() / (std::string(fall.name) + std::to_string(lauf));
      fs::create_directories(platz / "a");
      fs::create_directories(platz / "dotfiles");
      Quelm_Konfig::Lade(platz, "tool.cfg");
      if (fall.modus) {
        SchreibeDatei(platz / fall.ziel, "alt");
        fs::permissions(platz / fall.ziel, static_cast<fs::perms>(fall.modus));
      }
      for (const auto& [link, ziel] : fall.links) fs::create_symlink(ziel, platz / link);
      if (lauf == 0) {
        EXPECT_EQ(SpeichereUndPruefe(fall, platz), "");
        continue;
      }
      // As nobody, in a child that tells by its exit status; the folder and the log become its own.
      ASSERT_EQ(lchown(ordner.pfad().c_str(), 65534, 65534), 0);
      for (const auto& eintrag : fs::recursive_directory_iterator(ordner.pfad()))
        ASSERT_EQ(lchown(eintrag.path().c_str(), 65534, 65534), 0) << eintrag.path();
      const pid_t kind = fork();
      if (kind == 0) {
        if (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0) _exit(2);
        const std::string fehler = SpeichereUndPruefe(fall, platz);
        if (!fehler.empty()) std::fprintf(stderr, "as nobody: %s\n", fehler.c_str());
        _exit(fehler.empty() ? 0 : 1);
      }
      int status = -1;
      ASSERT_EQ(waitpid(kind, &status, 0), kind);
      EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "as nobody: status " << status;
    }
  }
}

}  // namespace
