// End to end: the start with missing or damaged data and settings, a window size to change,
// or no screen. A copy of the program beside a copy of "Daten" with one file changed, or a
// home with a bad "tool.cfg" or no usable user data folder. Each start ends as documented:
// the file named in "tool.log" (or on the terminal when there is no log), -1 when the start
// cannot go on, never a crash, and "tool.cfg" is still there afterwards.
#include "ProgrammTest.h"

#include <csignal>
#include <functional>
#include <grp.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

namespace {

// Runs: closed by its window, or ended by SIGTERM, which saves as a window close does.
enum class Ende { MinusEins, OhneBildschirm, Laeuft, Sigterm };

struct Fall {
  const char* name;
  std::function<void(const fs::path& daten, const fs::path& benutzer)> vorbereiten;
  Ende ende;
  const char* meldung;  // in "tool.log", or on stderr when `aufTerminal`
  bool aufTerminal = false;
  // Of "tool.cfg": 0 by 0 is the desktop's size, a larger one is held to the 1280x1024
  // screen, not handed to X, which would end the tool at every start.
  int breite = 640, hoehe = 480;
  const char* breiteText = nullptr;  // written for "displaywidth" in place of `breite`
  const char* terminal = nullptr;    // also on stderr, for a start that runs on
};

void Kuerze(const fs::path& datei, std::size_t bytes) { fs::resize_file(datei, bytes); }

const std::string kTief = [] {
  std::string text = "<?xml version=\"1.0\" ?>\n<config>";
  for (int i = 0; i < 20000; ++i) text += "<var>";
  return text + "</config>\n";
}();

class Startdaten : public Programm, public ::testing::WithParamInterface<Fall> {
 protected:
  static std::string KonfigVon(const Fall& fall) {
    std::string text = Konfig(fall.breite, fall.hoehe);
    const std::string zahl = "wert=\"" + std::to_string(fall.breite) + "\"";
    if (fall.breiteText) text.replace(text.find(zahl), zahl.size(), "wert=\"" + std::string(fall.breiteText) + "\"");
    return text;
  }
};

// A copy of the program with its data folder in `ordner` ("bin64/ToolVelmar", "Daten"), to
// be changed or run by another user; the program's path.
fs::path KopiereProgramm(const fs::path& ordner) {
  const fs::path quelle = fs::path(VELMAR_PROGRAMM).parent_path().parent_path() / "Daten";
  const fs::path daten = ordner / "Daten";
  fs::create_directories(ordner / "bin64");
  fs::create_directories(daten);
  for (const auto& e : fs::directory_iterator(quelle))
    if (e.path().filename().string()[0] != '.') fs::copy_file(fs::canonical(e.path()), daten / e.path().filename());
  const fs::path programm = ordner / "bin64" / "ToolVelmar";
  fs::copy_file(VELMAR_PROGRAMM, programm);
  return programm;
}

TEST_P(Startdaten, EndetWieBeschrieben) {
  const Fall& fall = GetParam();
  TempOrdner ordner;
  const fs::path daten = ordner.pfad() / "Daten";
  const fs::path programm = KopiereProgramm(ordner.pfad());
  SchreibeDatei(Benutzerordner() / "tool.cfg", KonfigVon(fall));
  fall.vorbereiten(daten, Benutzerordner());
  const std::string vorher = fs::is_directory(Benutzerordner()) ? Einstellungen() : "";

  if (fall.ende == Ende::Laeuft) {
    // It runs: the console opens and draws (without text when its font is unusable), and
    // closing the window ends it.
    Oeffne(programm.string());
    Taste("F11");
    Xdo("type --delay 80 help");
    ASSERT_EQ(SchliesseFenster(), 0);
  } else {
    Starte(fall.ende != Ende::OhneBildschirm, programm.string());
    if (fall.ende == Ende::Sigterm) {
      WarteAufErstesBild();
      kill(pid_, SIGTERM);
    }
  }
  const int code = WarteAufEnde(std::chrono::seconds(60));
  const std::string log = Protokoll();
  const std::string terminal = Terminal();
  if (fall.ende == Ende::MinusEins || fall.ende == Ende::OhneBildschirm) {
    EXPECT_EQ(code, 255) << log;
    EXPECT_NE(log.find("Exception thrown: "), std::string::npos) << log;
  } else {
    // Only a save that found no folder counts as a failed run.
    EXPECT_EQ(code, fall.aufTerminal ? 1 : 0) << log << terminal;
    EXPECT_TRUE(fall.aufTerminal || log.find("Screen wird geschlossen.") != std::string::npos) << log;
  }
  EXPECT_NE((fall.aufTerminal ? terminal : log).find(fall.meldung), std::string::npos) << log << terminal;
  if (fall.terminal) {
    EXPECT_NE(terminal.find(fall.terminal), std::string::npos) << terminal;
  }
  if (!fall.aufTerminal) {
    EXPECT_TRUE(fs::exists(Benutzerordner() / "tool.cfg"));
    // A damaged file is kept as it was beside the new one.
    if (vorher != KonfigVon(fall)) {
      EXPECT_EQ(LeseDatei(Benutzerordner() / "tool.cfg.defekt"), vorher);
    }
    // The real size is saved.
    if (fall.breite != 640) {
      const std::string cfg = Einstellungen();
      EXPECT_NE(cfg.find("<var name=\"displayheight\" wert=\"1024\" />"), std::string::npos) << cfg;
      EXPECT_NE(cfg.find("<var name=\"displaywidth\" wert=\"1280\" />"), std::string::npos) << cfg;
    }
  }
}

const auto kFaelle = ::testing::Values(
    Fall{"GuiKonfigFehlt", [](auto& d, auto&) { fs::remove(d / "GuiKonfig.xml"); }, Ende::MinusEins,
         "GuiKonfig.xml\""},
    Fall{"GuiKonfigBeschaedigt", [](auto& d, auto&) { SchreibeDatei(d / "GuiKonfig.xml", "<Oberflaeche><"); },
         Ende::MinusEins, "GuiKonfig.xml\""},
    Fall{"GrafikBeschaedigt", [](auto& d, auto&) { Kuerze(d / "grafik.png", 40); }, Ende::MinusEins,
         "grafik.png\""},
    // The terminal says what is wrong with the file, and names it.
    Fall{"GrafikFehlt", [](auto& d, auto&) { fs::remove(d / "grafik.png"); }, Ende::MinusEins, "grafik.png\" fehlt.",
         true},
    Fall{"GrafikZuGross",
         [](auto& d, auto&) {
           // Only the header: 20000 by 20000 RGBA is refused before any pixel data is read.
           SchreibeDatei(d / "grafik.png", std::string("\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR\0\0\x4e\x20\0\0\x4e\x20\x08\x06\0\0\0"
                                                       "\0\0\0\0", 33));
         },
         Ende::MinusEins, "grafik.png\" ist nicht ladbar: PNG-Bild ist mit 20000x20000 Pixeln zu groß", true},
    Fall{"ShaderFehltAufDemTerminal", [](auto& d, auto&) { fs::remove(d / "schatten.ps"); }, Ende::MinusEins,
         "schatten.ps\" ist nicht lesbar", true},
    Fall{"ShaderFehlt", [](auto& d, auto&) { fs::remove(d / "start.ps"); }, Ende::MinusEins, "start.ps\" nicht lesen"},
    Fall{"ShaderBeschaedigt", [](auto& d, auto&) { SchreibeDatei(d / "schatten.vs", "kein { shader"); },
         Ende::MinusEins, "schatten.vs\" ist nicht"},
    Fall{"PauseFehlt", [](auto& d, auto&) { fs::remove(d / "filter.pause.xml"); }, Ende::Laeuft,
         "filter.pause.xml"},
    Fall{"PauseBeschaedigt", [](auto& d, auto&) { SchreibeDatei(d / "filter.pause.xml", "<effekt><<"); },
         Ende::Laeuft, "\"filter.pause.xml\" ist nicht lesbar"},
    Fall{"SchriftBeschaedigt", [](auto& d, auto&) { Kuerze(d / "calibrib.ttf", 1000); }, Ende::MinusEins,
         "calibrib.ttf\" fehlt"},
    // The tool runs on without console text or typing, and says so on the terminal too.
    Fall{.name = "KonsolenSchriftBeschaedigt",
         .vorbereiten = [](auto& d, auto&) { Kuerze(d / "calibrib.fnt", 1000); },
         .ende = Ende::Laeuft,
         .meldung = "calibrib.fnt\"): Schriftdaten sind unvollst",
         .terminal = "calibrib.fnt\" ist nicht ladbar: Schriftdaten sind unvollständig oder fehlerhaft. Die "
                     "Konsole zeigt keinen Text und nimmt keine Eingabe.\nToolVelmar: Protokoll: "},
    Fall{.name = "KonsolenSchriftFehlt",
         .vorbereiten = [](auto& d, auto&) { fs::remove(d / "calibrib.fnt"); },
         .ende = Ende::Laeuft,
         .meldung = "calibrib.fnt\" fehlt. Die Konsole zeigt keinen Text und nimmt keine Eingabe.",
         .terminal = "calibrib.fnt\" fehlt. Die Konsole zeigt keinen Text und nimmt keine Eingabe.\nToolVelmar: "
                     "Protokoll: "},
    Fall{"KonfigBeschaedigt", [](auto&, auto& b) { SchreibeDatei(b / "tool.cfg", "<config><var name="); },
         Ende::Laeuft, "tool.cfg\" ist besch"},
    Fall{"KonfigZuTief", [](auto&, auto& b) { SchreibeDatei(b / "tool.cfg", kTief); }, Ende::Laeuft,
         "(zu tief verschachtelt)"},
    // Root may write anywhere: a file where the folder should be stops everyone.
    Fall{"BenutzerordnerUnbrauchbar",
         [](auto&, auto& b) {
           fs::remove_all(b);
           SchreibeDatei(b, "kein Ordner");
         },
         Ende::Laeuft, "tool.log\" kann nicht geschrieben werden", true},
    Fall{"OhneBildschirm", [](auto&, auto&) {}, Ende::OhneBildschirm, "Screen initialisation failed."},
    Fall{"OhneGroesse", [](auto&, auto&) {}, Ende::Laeuft, "Screen wird geschlossen.", false, 0, 0},
    Fall{"ZuGross", [](auto&, auto&) {}, Ende::Sigterm,
         "?Fenstergröße 40000x32767 ist größer als die Anzeige, benutze 1280x1024.", false, 40000, 32767},
    // Sizes that leave no usable window start at the desktop's size, which is then saved.
    Fall{"BreiteKeineGanzeZahl", [](auto&, auto&) {}, Ende::Sigterm,
         "!Variable \"displaywidth\" erwartet eine ganze Zahl, nicht \"1e9\"", false, 1, 480, "1e9"},
    Fall{"FensterZuSchmal", [](auto&, auto&) {}, Ende::Sigterm, "?Fenstergröße 1x480 ist zu klein", false, 1, 480});

INSTANTIATE_TEST_SUITE_P(Programm, Startdaten, kFaelle,
                         [](const ::testing::TestParamInfo<Fall>& info) { return std::string(info.param.name); });

// The program run by a user who is not root (nobody, when the tests run as root), who may
// not write whatever it likes; it ends by SIGTERM once it draws.
class AlsNutzer : public Programm {
 protected:
  static constexpr uid_t kNiemand = 65534;

  int LaufeBisSigterm() {
    const bool root = geteuid() == 0;
    std::string programm = VELMAR_PROGRAMM;
    if (root) {
      // The build may lie where nobody cannot reach it (below root's home): the program and
      // its data go into the home it is given.
      programm = KopiereProgramm(home_.pfad() / "programm").string();
      EXPECT_EQ(lchown(home_.pfad().c_str(), kNiemand, kNiemand), 0);
      for (const auto& e : fs::recursive_directory_iterator(home_.pfad()))
        EXPECT_EQ(lchown(e.path().c_str(), kNiemand, kNiemand), 0) << e.path();
    }
    const fs::path daten = fs::path(programm).parent_path().parent_path() / "Daten";
    const char* anzeige = std::getenv("DISPLAY");
    const std::string xSocket = std::string("/tmp/.X11-unix/X") + (anzeige ? anzeige + 1 : "");
    pid_ = fork();
    if (pid_ == 0) {
      if (FILE* f = std::fopen((home_.pfad() / "stderr.txt").c_str(), "w")) dup2(fileno(f), 2);
      if (root && (setgroups(0, nullptr) != 0 || setgid(kNiemand) != 0 || setuid(kNiemand) != 0)) _exit(125);
      for (const auto& [pfad, art] : {std::pair{programm, X_OK},
                                      std::pair{daten.string(), R_OK | X_OK}, std::pair{xSocket, R_OK | W_OK}})
        if (access(pfad.c_str(), art) != 0) {
          std::fprintf(stderr, "not reachable for uid %d: %s\n", static_cast<int>(getuid()), pfad.c_str());
          _exit(125);
        }
      setenv("HOME", home_.pfad().c_str(), 1);
      unsetenv("XDG_DATA_HOME");
      unsetenv("XDG_CACHE_HOME");
      if (chdir(home_.pfad().c_str()) != 0) _exit(126);
      execl(programm.c_str(), programm.c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
    WarteAufErstesBild();
    kill(pid_, SIGTERM);
    return WarteAufEnde(std::chrono::seconds(60));
  }
  static unsigned Rechte(const fs::path& pfad) { return static_cast<unsigned>(fs::status(pfad).permissions()); }
};

// "ln -s ~/dotfiles/tool.cfg": the link stays, the private file it names gets the settings.
TEST_F(AlsNutzer, VerknuepfteEinstellungenWerdenGespeichertUndBleibenPrivat) {
  const fs::path ziel = SchreibeDatei(home_.pfad() / "dotfiles" / "tool.cfg", Konfig(640, 480));
  fs::permissions(ziel, static_cast<fs::perms>(0600));
  fs::create_symlink(ziel, Benutzerordner() / "tool.cfg");
  EXPECT_EQ(LaufeBisSigterm(), 0) << Terminal();
  EXPECT_TRUE(fs::is_symlink(Benutzerordner() / "tool.cfg"));
  const std::string cfg = LeseDatei(ziel);
  EXPECT_NE(cfg.find("<var name=\"displaywidth\" wert=\"640\" />"), std::string::npos) << cfg;
  EXPECT_NE(cfg.find("<var name=\"vsync\""), std::string::npos) << cfg;  // the program's, not the test's
  EXPECT_EQ(Rechte(ziel), 0600u);
}

// Made read-only by its owner: kept as it is, and the failed save is said and ends with 1.
TEST_F(AlsNutzer, SchreibgeschuetzteEinstellungenBleibenUndDerLaufScheitert) {
  const fs::path datei = Benutzerordner() / "tool.cfg";
  SchreibeKonfig(640, 480);
  fs::permissions(datei, static_cast<fs::perms>(0444));
  EXPECT_EQ(LaufeBisSigterm(), 1) << Terminal();
  EXPECT_EQ(Einstellungen(), Konfig(640, 480));
  EXPECT_EQ(Rechte(datei), 0444u);
  EXPECT_NE(Terminal().find("ToolVelmar: Konfig-Datei \"" + datei.string() + "\" konnte nicht gespeichert werden"),
            std::string::npos)
      << Terminal();
}

// "ln -s /dev/null tool.cfg" (a null device of the test's own), or a FIFO nobody reads or
// writes: the start does not wait for it, and the save writes into it and never replaces it.
// The FIFO cannot take the settings: a failed save.
class AlsNutzerOhneDatei : public AlsNutzer, public ::testing::WithParamInterface<bool> {};

TEST_P(AlsNutzerOhneDatei, WirdNichtErsetzt) {
  const bool geraet = GetParam();
  if (geraet && geteuid() != 0) GTEST_SKIP() << "a device node needs root";
  const fs::path ziel = home_.pfad() / "ablage" / "ziel";
  fs::create_directories(ziel.parent_path());
  ASSERT_EQ(geraet ? mknod(ziel.c_str(), S_IFCHR, makedev(1, 3)) : mkfifo(ziel.c_str(), 0), 0);
  fs::permissions(ziel, static_cast<fs::perms>(0666));
  fs::create_symlink(ziel, Benutzerordner() / "tool.cfg");
  EXPECT_EQ(LaufeBisSigterm(), geraet ? 0 : 1) << Terminal() << Protokoll();
  struct stat s {};
  ASSERT_EQ(lstat(ziel.c_str(), &s), 0);
  EXPECT_EQ(s.st_mode & S_IFMT, geraet ? S_IFCHR : S_IFIFO);
  EXPECT_NE(Protokoll().find("ist da, kann aber nicht gelesen werden: keine gewöhnliche Datei, sondern " +
                             std::string(geraet ? "ein Gerät" : "eine FIFO")),
            std::string::npos)
      << Protokoll();
  if (!geraet) {
    EXPECT_NE(Terminal().find("ToolVelmar: Konfig-Datei \"" + (Benutzerordner() / "tool.cfg").string() +
                              "\" konnte nicht gespeichert werden"),
              std::string::npos)
        << Terminal();
  }
}

INSTANTIATE_TEST_SUITE_P(Programm, AlsNutzerOhneDatei, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) { return info.param ? "Geraet" : "Fifo"; });

}  // namespace
