#include "ProtokollSammler.h"
#include "Quelm_Konfig.h"
#include "Quelm_Konsole.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <grp.h>
#include <optional>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

namespace fs = std::filesystem;

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
    std::string meldung;
    const char* schaden;                      // part of the damage line; null: none
    void (*anlegen)(const fs::path&) = nullptr;  // lays out what is no regular file
  };
  const char* keine = "?Keine Konfig-Datei gefunden, benutze Standardwerte.";
  const char* fehlerhaft = "?Konfig-Datei fehlerhaft, benutze Standardwerte.";
  // There, but no settings in it: said as it is, and nothing to keep a copy of.
  const auto unlesbar = [&](const std::string& grund) {
    return "?Konfig-Datei \"" + Datei().string() + "\" ist da, kann aber nicht gelesen werden: " + grund +
           "; benutze Standardwerte.";
  };
  const Fall faelle[] = {
      {"fehlt", std::nullopt, keine, nullptr},
      {"abgeschnitten", "<config><var name=\"sprache\" wert=\"5\"", keine, "Zeile 1"},
      {"leer", "", keine, "beschädigt ("},
      {"zufall", std::string("\x9c\x01\xff<\x00\x13z", 7), keine, "beschädigt ("},
      {"tief", tief, keine, "zu tief verschachtelt"},
      {"ohne var", "<config><anders /></config>", fehlerhaft, "kein Element \"var\""},
      {"ordner", std::nullopt, unlesbar("keine gewöhnliche Datei, sondern ein Ordner"), nullptr,
       [](const fs::path& p) { fs::create_directory(p); }},
      {"schleife", std::nullopt, unlesbar(std::strerror(ELOOP)), nullptr,
       [](const fs::path& p) { fs::create_symlink(p.filename(), p); }},
      // Nobody writes the FIFO: not waited for.
      {"fifo", std::nullopt, unlesbar("keine gewöhnliche Datei, sondern eine FIFO"), nullptr,
       [](const fs::path& p) { ASSERT_EQ(mkfifo(p.c_str(), 0600), 0); }},
      {"geraet", std::nullopt, unlesbar("keine gewöhnliche Datei, sondern ein Gerät"), nullptr,
       [](const fs::path& p) { ASSERT_EQ(mknod(p.c_str(), S_IFCHR | 0666, makedev(1, 3)), 0); }},
  };
  for (const Fall& fall : faelle) {
    SCOPED_TRACE(fall.name);
    if (fall.name == std::string("geraet") && geteuid() != 0) continue;  // a device node needs root
    std::filesystem::remove(Datei());
    std::filesystem::remove(ordner.pfad() / "tool.cfg.defekt");
    if (fall.inhalt) SchreibeDatei(Datei(), *fall.inhalt);
    if (fall.anlegen) fall.anlegen(Datei());
    ZeilenSammler sammler;
    alarm(30);  // a load that waits ends the test
    Quelm_Konfig::Lade(ordner.pfad(), "tool.cfg");
    alarm(0);
    const auto texte = sammler.Texte();
    EXPECT_EQ(texte.size(), fall.schaden ? 2u : 1u) << texte.back();
    if (texte.size() != (fall.schaden ? 2u : 1u)) continue;
    EXPECT_EQ(texte[0], fall.meldung);
    EXPECT_EQ(V::Finde("sprache")->wertInt, -1);
    if (!fall.schaden) {
      EXPECT_FALSE(fs::exists(ordner.pfad() / "tool.cfg.defekt"));
      continue;
    }
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

mode_t Modus(const fs::path& pfad) {
  struct stat s {};
  return stat(pfad.c_str(), &s) == 0 ? s.st_mode & 07777 : 0;
}

enum class Art { Datei, Fifo, Null, Voll, Block };  // Null and Voll: the devices of /dev/null and /dev/full
enum class Wer { Selbst, Niemand, Beide };   // Niemand: uid 65534 with the supplementary group 100

struct Verhalten {
  const char* name;
  std::vector<std::pair<std::string, std::string>> links;  // link in the folder ("PID": the saver's), what it names
  std::string ziel;  // what the links lead to, in the folder; empty: none
  mode_t modus;      // of that before the save, a file written "alt"; 0: none there
  bool gelingt;
  Art art = Art::Datei;
  Wer wer = Wer::Selbst;
  uid_t besitzer = 0;  // of the old file, when not 0
  gid_t gruppe = 0;
};

// tool.cfg -> k1 -> ... -> dotfiles/tool.cfg, `anzahl` links in all.
std::vector<std::pair<std::string, std::string>> Kette(int anzahl) {
  std::vector<std::pair<std::string, std::string>> links{{"tool.cfg", "k1"}};
  for (int i = 1; i < anzahl; ++i)
    links.emplace_back("k" + std::to_string(i), i + 1 < anzahl ? "k" + std::to_string(i + 1) : "dotfiles/tool.cfg");
  return links;
}

// Saves into `platz`, where Lade found no file and the row's files were laid out; what is
// wrong afterwards, empty when nothing. Returns text so that a child process can tell it.
std::string SpeichereUndPruefe(const Verhalten& fall, const fs::path& platz) {
  std::string fehler;
  const auto pruefe = [&](bool gut, const std::string& was) {
    if (!gut) fehler += was + "; ";
  };
  const fs::path datei = platz / "tool.cfg";
  const fs::path ziel = platz / fall.ziel;
  const mode_t maske = umask(0);
  umask(maske);
  struct stat vorher {};
  lstat(ziel.c_str(), &vorher);
  alarm(30);  // a save that waits ends the test
  const bool gespeichert = Quelm_Konfig::Speichere();
  alarm(0);
  pruefe(gespeichert == fall.gelingt, "Speichere: " + Quelm_Konfig::SpeicherFehler());
  for (const auto& [link, wohin] : fall.links)
    pruefe(link.find(".neu.") != std::string::npos || fs::is_symlink(platz / link), "link replaced: " + link);
  struct stat nachher {};
  lstat(ziel.c_str(), &nachher);
  if (fall.art != Art::Datei) {
    pruefe(nachher.st_mode == vorher.st_mode && nachher.st_rdev == vorher.st_rdev, "replaced");
  } else if (fall.gelingt) {
    pruefe(LeseDatei(ziel).find("<var name=\"k_zahl\"") != std::string::npos, "target not saved");
    pruefe(Modus(ziel) == (fall.modus ? fall.modus : 0666 & ~maske), "mode " + std::to_string(Modus(ziel)));
  } else if (fall.modus) {
    pruefe(LeseDatei(ziel) == "alt" && Modus(ziel) == fall.modus, "file changed");
  }
  if (!fall.gelingt)
    pruefe(Quelm_Konfig::SpeicherFehler().find(datei.string()) != std::string::npos, "error does not name the file");
  if (fall.art == Art::Block)
    pruefe(Quelm_Konfig::SpeicherFehler().find("Blockgerät") != std::string::npos, "block device not refused");
  if (fall.besitzer)
    pruefe(nachher.st_uid == fall.besitzer && nachher.st_gid == fall.gruppe,
           "owner " + std::to_string(nachher.st_uid) + ":" + std::to_string(nachher.st_gid));
  pruefe(!fs::exists(platz / "opfer"), "written through a link at the save's own name");
  for (const auto& eintrag : fs::recursive_directory_iterator(platz))
    pruefe(eintrag.path().filename().string().find(".neu.") == std::string::npos, "left " + eintrag.path().string());
  return fehler;
}

TEST_F(Konfig, VerknuepfungenRechteUndSchreibschutzBleiben) {
  const std::string absolut = (ordner.pfad() / "absolut0" / "dotfiles" / "tool.cfg").string();
  const std::string lang = "dotfiles/" + std::string(250, 'n');
  const Verhalten faelle[] = {
      {"absolut", {{"tool.cfg", absolut}}, "dotfiles/tool.cfg", 0640, true},
      // Each relative target counts from its own link's folder; a missing target is created.
      {"relativ", {{"tool.cfg", "a/zwischen"}, {"a/zwischen", "../dotfiles/tool.cfg"}}, "dotfiles/tool.cfg", 0, true},
      {"privat", {}, "tool.cfg", 0600, true},
      {"schreibgeschuetzt", {}, "tool.cfg", 0444, false, Art::Datei, Wer::Beide},
      {"schleife", {{"tool.cfg", "tool.cfg"}}, "", 0, false},
      // As many links as the system follows.
      {"40 Verknuepfungen", Kette(40), "dotfiles/tool.cfg", 0640, true},
      {"41 Verknuepfungen", Kette(41), "dotfiles/tool.cfg", 0640, false},
      // The save's own file: a name that fits beside any target's, made new only.
      {"langer Name", {{"tool.cfg", lang}}, lang, 0600, true},
      {"Verknuepfung am eigenen Namen", {{"tool.cfg.neu.PID", "opfer"}}, "tool.cfg", 0600, true},
      // No regular file: written into, never replaced, never waited for.
      {"fifo", {}, "tool.cfg", 0600, false, Art::Fifo, Wer::Beide},
      {"null", {{"tool.cfg", "geraete/null"}}, "geraete/null", 0666, true, Art::Null, Wer::Beide},
      {"voll", {{"tool.cfg", "geraete/voll"}}, "geraete/voll", 0666, false, Art::Voll},
      // A loop device's numbers that no loop device has: a write would meet none, the refusal says so.
      {"block", {{"tool.cfg", "geraete/platte"}}, "geraete/platte", 0666, false, Art::Block},
      // Owner, group and the whole mode stay; who cannot give the owner writes into the file.
      {"setuid", {}, "tool.cfg", 06775, true, Art::Datei, Wer::Beide},
      {"eines Nutzers", {}, "tool.cfg", 0640, true, Art::Datei, Wer::Selbst, 65534, 65534},
      {"der Gruppe", {}, "tool.cfg", 0664, true, Art::Datei, Wer::Niemand, 1000, 100},
  };
  const bool root = geteuid() == 0;
  for (const Verhalten& fall : faelle) {
    SCOPED_TRACE(fall.name);
    const bool nurRoot = fall.besitzer || fall.art == Art::Null || fall.art == Art::Voll || fall.art == Art::Block;
    for (int lauf = 0; lauf < 2; ++lauf) {
      const bool alsNiemand = lauf == 1;
      if (alsNiemand ? !root || fall.wer == Wer::Selbst : fall.wer == Wer::Niemand || (nurRoot && !root)) continue;
      const fs::path platz = ordner.pfad() / (std::string(fall.name) + std::to_string(lauf));
      for (const char* unter : {"a", "dotfiles", "geraete"}) fs::create_directories(platz / unter);
      Quelm_Konfig::Lade(platz, "tool.cfg");
      const fs::path ziel = platz / fall.ziel;
      if (fall.art == Art::Fifo) {
        ASSERT_EQ(mkfifo(ziel.c_str(), fall.modus), 0);
      } else if (fall.art == Art::Block) {
        ASSERT_EQ(mknod(ziel.c_str(), S_IFBLK, makedev(7, 250)), 0);
      } else if (fall.art != Art::Datei) {
        ASSERT_EQ(mknod(ziel.c_str(), S_IFCHR, makedev(1, fall.art == Art::Null ? 3 : 7)), 0);
      }
      if (fall.art == Art::Datei && fall.modus) SchreibeDatei(ziel, "alt");
      for (auto [link, wohin] : fall.links) {
        if (link.ends_with("PID")) link.replace(link.size() - 3, 3, std::to_string(getpid()));
        fs::create_symlink(wohin, platz / link);
      }
      // The mode after any owner, whose change clears setuid and setgid.
      const auto gibBesitzerUndModus = [&] {
        if (fall.besitzer) {
          ASSERT_EQ(chown(ziel.c_str(), fall.besitzer, fall.gruppe), 0);
        }
        if (fall.modus) fs::permissions(ziel, static_cast<fs::perms>(fall.modus));
      };
      if (!alsNiemand) {
        gibBesitzerUndModus();
        EXPECT_EQ(SpeichereUndPruefe(fall, platz), "");
        continue;
      }
      // As nobody, in a child that tells by its exit status; the folder and the log become its own.
      ASSERT_EQ(lchown(ordner.pfad().c_str(), 65534, 65534), 0);
      for (const auto& eintrag : fs::recursive_directory_iterator(ordner.pfad()))
        ASSERT_EQ(lchown(eintrag.path().c_str(), 65534, 65534), 0) << eintrag.path();
      gibBesitzerUndModus();
      const pid_t kind = fork();
      if (kind == 0) {
        const gid_t gruppen[] = {100};
        if (setgroups(1, gruppen) != 0 || setgid(65534) != 0 || setuid(65534) != 0) _exit(2);
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

// A save cut short by a second signal left its file; the next start removes it once its
// process is gone, whatever the file the settings are linked to is called.
TEST_F(Konfig, DerStartRaeumtAbgebrocheneSpeicherungenAuf) {
  const pid_t tot = fork();
  if (tot == 0) _exit(0);
  ASSERT_EQ(waitpid(tot, nullptr, 0), tot);
  fs::create_directories(ordner.pfad() / "dotfiles");
  fs::create_symlink("dotfiles/einstellungen", Datei());
  const fs::path liegengeblieben = ordner.pfad() / "dotfiles" / ("tool.cfg.neu." + std::to_string(tot));
  const fs::path lebend = ordner.pfad() / "dotfiles" / "tool.cfg.neu.1";  // init is always there
  SchreibeDatei(liegengeblieben, "<config");
  SchreibeDatei(lebend, "<config");
  Quelm_Konfig::Lade(ordner.pfad(), "tool.cfg");
  EXPECT_FALSE(fs::exists(liegengeblieben));
  EXPECT_TRUE(fs::exists(lebend));
}

}  // namespace
