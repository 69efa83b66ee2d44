// End to end: the window on a desktop. Resized by a window manager (openbox, dragged by its
// corner as a person drags it) or by another client, the window settles at the size it was
// given and the picture takes that size; a size the manager refuses (i3 keeps a tile's)
// leaves the picture at the window's size; fullscreen taken away by the manager, also at
// once, goes on in a window, and a screen mode changed from outside is followed. Destroyed
// by another client, or cut off from the X server, the tool ends and keeps the settings of
// its run; after a killed window manager GLFW's failed assertion is reported. On a screen of
// 15, 16 or 30 colour bits fullscreen takes that depth's modes. A start that fails leaves
// the screen's settings as they were. A fullscreen start under fluxbox keeps the focus, and
// without a window manager a focus change reports no error.
#include "ProgrammTest.h"

#include <csignal>
#include <fcntl.h>

namespace {

struct Groesse {
  int breite = 0, hoehe = 0;
  bool operator==(const Groesse&) const = default;
};

class Desktop : public Programm {
 protected:
  void SetUp() override {
    Programm::SetUp();
    SchreibeKonfig(1000, 600);
  }
  void TearDown() override {
    Programm::TearDown();
    SchliesseAnderesFenster();
    if (fenstermanager_ >= 0) {
      if (fenstermanager_ > 0) {
        // fluxbox talks to the X server in its handler of SIGTERM, and hangs there when the
        // signal came in the middle of a request of its own.
        kill(fenstermanager_, fluxbox_ ? SIGKILL : SIGTERM);
        waitpid(fenstermanager_, nullptr, 0);
      }
      // openbox leaves its check property behind, naming a window that is gone; GLFW 3.3
      // then fails an assertion when the next program opens its window.
      std::system("xprop -root -remove _NET_SUPPORTING_WM_CHECK");
    }
    if (xvfb_ > 0) {
      kill(xvfb_, SIGTERM);
      waitpid(xvfb_, nullptr, 0);
      setenv("DISPLAY", display_.c_str(), 1);
    }
  }

  // A virtual X server of its own with a screen of `tiefe` colour bits, as a VNC server, a
  // virtual machine or a deep-colour workstation may have; DISPLAY names it while the test
  // runs.
  void StarteBildschirm(int tiefe) {
    int rohr[2];
    ASSERT_EQ(pipe(rohr), 0);
    xvfb_ = fork();
    if (xvfb_ == 0) {
      dup2(rohr[1], 3);
      const int still = open("/dev/null", O_WRONLY);
      dup2(still, 2);
      const std::string bildschirm = "1280x720x" + std::to_string(tiefe);
      execlp("Xvfb", "Xvfb", "-displayfd", "3", "-screen", "0", bildschirm.c_str(), "-nolisten", "tcp", "-noreset",
             static_cast<char*>(nullptr));
      _exit(127);
    }
    close(rohr[1]);
    char nummer[16] = {};
    FILE* ein = fdopen(rohr[0], "r");
    ASSERT_TRUE(ein && std::fgets(nummer, sizeof nummer, ein)) << "Xvfb did not start";
    std::fclose(ein);
    if (const char* vorher = std::getenv("DISPLAY")) display_ = vorher;
    setenv("DISPLAY", (":" + std::string(nummer, std::strcspn(nummer, "\n"))).c_str(), 1);
  }

  // Starts a window manager ("openbox", "i3" or "fluxbox") and waits until it manages the screen.
  void StarteFenstermanager(const std::string& name = "openbox") {
    // i3 with a configuration of its own: no bar, no key bindings.
    const fs::path i3Konfig = SchreibeDatei(home_.pfad() / "i3.config", "# i3 config file (v4)\nfont pango:monospace 8\n");
    // fluxbox writes its configuration into the home; with no wallpaper set, it starts no
    // programs that would show windows of their own.
    fluxbox_ = name == "fluxbox";
    if (fluxbox_) SchreibeDatei(home_.pfad() / ".fluxbox" / "overlay", "background: none\n");
    fenstermanager_ = fork();
    if (fenstermanager_ == 0) {
      if (name == "i3") {
        execlp("i3", "i3", "-c", i3Konfig.c_str(), static_cast<char*>(nullptr));
      } else if (name == "fluxbox") {
        setenv("HOME", home_.pfad().c_str(), 1);
        const int still = open("/dev/null", O_WRONLY);
        dup2(still, 1);
        dup2(still, 2);
        execlp("fluxbox", "fluxbox", static_cast<char*>(nullptr));
      } else {
        execlp("openbox", "openbox", "--sm-disable", static_cast<char*>(nullptr));
      }
      _exit(127);
    }
    const auto ende = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (std::system("xprop -root _NET_SUPPORTING_WM_CHECK | grep -q 'window id'") != 0) {
      ASSERT_LT(std::chrono::steady_clock::now(), ende) << name << " did not start";
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
  }

  // The window's size and its place on the screen, as the X server has them.
  Groesse Lage(int* x = nullptr, int* y = nullptr) const {
    Groesse g;
    int px = 0, py = 0;
    if (FILE* aus = popen(("xdotool getwindowgeometry --shell " + fenster_).c_str(), "r")) {
      char zeile[64];
      while (std::fgets(zeile, sizeof zeile, aus)) {
        std::sscanf(zeile, "WIDTH=%d", &g.breite);
        std::sscanf(zeile, "HEIGHT=%d", &g.hoehe);
        std::sscanf(zeile, "X=%d", &px);
        std::sscanf(zeile, "Y=%d", &py);
      }
      pclose(aus);
    }
    if (x) *x = px;
    if (y) *y = py;
    return g;
  }

  int Resets() const { return Vorkommen(Protokoll(), "Device zurücksetzen"); }

  // Waits until neither the window's size nor the device's resets have changed for two
  // seconds (at most a minute: a loaded machine draws slowly); whether they did, and the
  // size then.
  bool Ruhig(Groesse& g) {
    const auto ende = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    g = Lage();
    int resets = Resets();
    int gleich = 0;
    while (gleich < 4 && std::chrono::steady_clock::now() < ende) {
      std::this_thread::sleep_for(std::chrono::milliseconds(500));
      const Groesse jetzt = Lage();
      const int r = Resets();
      gleich = (jetzt == g && r == resets) ? gleich + 1 : 0;
      g = jetzt;
      resets = r;
    }
    return gleich == 4;
  }

  // The window settled at `soll` and the log went quiet, the picture has that size (a
  // screenshot is the device's back buffer), and one SIGTERM ends the tool with 0, saving
  // that size.
  void PruefeGroesse(Groesse soll) {
    Groesse g;
    EXPECT_TRUE(Ruhig(g)) << "still changing after a minute";
    EXPECT_EQ(g.breite, soll.breite);
    EXPECT_EQ(g.hoehe, soll.hoehe);
    const Bild foto = Foto("screenshot0000.png");
    EXPECT_EQ(foto.breite, soll.breite);
    EXPECT_EQ(foto.hoehe, soll.hoehe);
    ASSERT_EQ(kill(pid_, SIGTERM), 0);
    ASSERT_EQ(WarteAufEnde(std::chrono::seconds(30)), 0);
    const std::string cfg = Einstellungen();
    EXPECT_NE(cfg.find("name=\"displaywidth\" wert=\"" + std::to_string(soll.breite) + "\""), std::string::npos) << cfg;
    EXPECT_NE(cfg.find("name=\"displayheight\" wert=\"" + std::to_string(soll.hoehe) + "\""), std::string::npos) << cfg;
  }

  // A setting changed at the console, to be found saved afterwards.
  void AendereSprache() { Konsole({"set sprache 8"}); }
  void PruefeSpracheGespeichert() {
    const std::string cfg = Einstellungen();
    EXPECT_NE(cfg.find("<var name=\"sprache\" wert=\"8\" />"), std::string::npos) << cfg;
  }

  // Whether the window manager holds the window fullscreen.
  bool VollbildLautVerwaltung() const {
    return std::system(("xprop -id " + fenster_ + " _NET_WM_STATE | grep -q _NET_WM_STATE_FULLSCREEN").c_str()) == 0;
  }
  void WarteAufVollbild() {
    const auto ende = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!VollbildLautVerwaltung() && std::chrono::steady_clock::now() < ende)
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    ASSERT_TRUE(VollbildLautVerwaltung());
  }

  // Fullscreen taken away: the tool says so and goes on in a window. Sized afterwards, as a
  // person does (i3 keeps the tile's size), the picture follows, and the run saves a window
  // of its size.
  void WeiterImFenster(const std::string& fenstermanager) {
    ASSERT_TRUE(WarteAufZeile(kVerlassen)) << Protokoll();
    Xdo("windowsize " + fenster_ + " 900 500");
    Groesse g;
    ASSERT_TRUE(Ruhig(g));
    if (fenstermanager == "openbox") {
      EXPECT_EQ(g, (Groesse{900, 500}));
    }
    EXPECT_NE(g, (Groesse{1280, 1024}));
    PruefeGroesse(g);
    EXPECT_NE(Einstellungen().find("name=\"fullscreen\" wert=\"nein\""), std::string::npos) << Einstellungen();
  }
  static constexpr const char* kVerlassen = "?Die Fensterverwaltung hat das Vollbild beendet";

  // Another client's window, shown; its id.
  std::string ZeigeAnderesFenster() {
    anderes_ = fork();
    if (anderes_ == 0) {
      execlp("xmessage", "xmessage", "-name", "anderes", "anderes Fenster", static_cast<char*>(nullptr));
      _exit(127);
    }
    return Fenster("--classname '^anderes$'");
  }
  void SchliesseAnderesFenster() {
    if (anderes_ > 0) {
      kill(anderes_, SIGTERM);
      waitpid(anderes_, nullptr, 0);
    }
    anderes_ = -1;
  }

  // Another window takes the focus, and the fullscreen window is minimised; activated again
  // (with `zuerstSchliessen` after the other one closed, the focus back on the desktop), it is
  // fullscreen as before.
  void FokusAnEinAnderesFenster(bool zuerstSchliessen = false) {
    Xdo("windowactivate --sync " + ZeigeAnderesFenster());
    const auto ende = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (std::system(("xprop -id " + fenster_ + " WM_STATE | grep -q Iconic").c_str()) != 0) {
      ASSERT_LT(std::chrono::steady_clock::now(), ende) << "not minimised";
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    // A minimised window draws nothing: its frames run on meanwhile.
    std::this_thread::sleep_for(std::chrono::seconds(1));
    if (zuerstSchliessen) SchliesseAnderesFenster();
    Xdo("windowactivate --sync " + fenster_);
    SchliesseAnderesFenster();
    Bilder(5);
  }

  pid_t fenstermanager_ = -1;
  pid_t xvfb_ = -1;
  std::string display_;
  bool fluxbox_ = false;
  pid_t anderes_ = -1;
};

// A size asked at the console: granted (no window manager, openbox), the device takes it with
// one reset; refused (i3 keeps the tile's size), the picture keeps the window's size.
struct GroessenFall {
  const char* fenstermanager;  // "" for none
  bool gewaehrt;
};

void PrintTo(const GroessenFall& f, std::ostream* aus) { *aus << (*f.fenstermanager ? f.fenstermanager : "ohne"); }

class DesktopGroesse : public Desktop, public ::testing::WithParamInterface<GroessenFall> {};

TEST_P(DesktopGroesse, DasBildNimmtDieGroesseDesFensters) {
  const GroessenFall& f = GetParam();
  if (*f.fenstermanager) StarteFenstermanager(f.fenstermanager);
  Oeffne();
  Groesse vorher;
  ASSERT_TRUE(Ruhig(vorher));
  const int resets = Resets();
  Konsole({"set displaywidth 800", "set displayheight 500", "reinitvideo"});
  ASSERT_TRUE(WarteAufZeile("Darstellung wird geändert auf 800x500, Fenster.")) << Protokoll();
  Groesse g;
  ASSERT_TRUE(Ruhig(g));
  EXPECT_EQ(Resets(), resets + 1) << Protokoll();
  if (f.gewaehrt) {
    EXPECT_EQ(g, (Groesse{800, 500}));
  } else {
    EXPECT_EQ(g, vorher);
  }
  PruefeGroesse(g);
}

INSTANTIATE_TEST_SUITE_P(Fenstermanager, DesktopGroesse,
                         ::testing::Values(GroessenFall{"", true}, GroessenFall{"openbox", true},
                                           GroessenFall{"i3", false}),
                         [](const auto& info) {
                           return std::string(*info.param.fenstermanager ? info.param.fenstermanager : "ohne");
                         });

// Fullscreen, at start or switched to at the console, stays under a window manager; taken
// away by it, the tool goes on in a window: the picture follows the window, and the run
// saves a window of its size.
struct VollbildFall {
  const char* fenstermanager;
  bool amStart;
};

void PrintTo(const VollbildFall& f, std::ostream* aus) {
  *aus << f.fenstermanager << (f.amStart ? ", am Start" : ", gewechselt");
}

class DesktopVollbild : public Desktop, public ::testing::WithParamInterface<VollbildFall> {};

TEST_P(DesktopVollbild, VonDerVerwaltungBeendetGehtImFensterWeiter) {
  const VollbildFall& f = GetParam();
  SchreibeKonfig(1000, 600, f.amStart);
  StarteFenstermanager(f.fenstermanager);
  Oeffne();
  if (!f.amStart) Konsole({"set fullscreen ja", "reinitvideo"});
  WarteAufVollbild();
  Bilder(10);
  if (std::string(f.fenstermanager) == "openbox") FokusAnEinAnderesFenster();
  EXPECT_TRUE(VollbildLautVerwaltung());
  EXPECT_EQ(Lage(), (Groesse{1280, 1024}));
  ASSERT_EQ(Protokoll().find(kVerlassen), std::string::npos) << Protokoll();

  ASSERT_EQ(std::system(("wmctrl -i -r " + fenster_ + " -b remove,fullscreen").c_str()), 0);
  WeiterImFenster(f.fenstermanager);
}

INSTANTIATE_TEST_SUITE_P(Fenstermanager, DesktopVollbild,
                         ::testing::Values(VollbildFall{"openbox", true}, VollbildFall{"i3", false}),
                         [](const auto& info) {
                           return std::string(info.param.fenstermanager) + (info.param.amStart ? "_Start" : "_Wechsel");
                         });

// A manager may tell a fullscreen window its next size (a synthetic event) before it has it,
// as openbox does when it takes fullscreen away; GLFW then tells the real change no more, as
// it has that size already. Here another client announces a size and then sets it, with no
// manager (whose state would say fullscreen): the tool still sees the window's new size and
// goes on in a window of it.
TEST_F(Desktop, AngekuendigteGroesseImVollbildWirdGesehen) {
  SchreibeKonfig(1000, 600, true);
  Oeffne();
  Bilder(5);
  ASSERT_EQ(std::system((std::string(FENSTER) + " ankuendigen ToolVelmar 10 1100 900").c_str()), 0);
  Bilder(2);
  Xdo("windowsize " + fenster_ + " 1100 900");
  ASSERT_TRUE(WarteAufZeile(std::string(kVerlassen) + ", weiter im Fenster mit 1100x900.")) << Protokoll();
  PruefeGroesse({1100, 900});
}

// Taken away as soon as the manager shows it (a rule against fullscreen, a script): the
// tool's first look at the state already lacks it.
class DesktopVollbildWeg : public Desktop, public ::testing::WithParamInterface<const char*> {};

TEST_P(DesktopVollbildWeg, SofortWeggenommenGehtImFensterWeiter) {
  SchreibeKonfig(1000, 600, true);
  StarteFenstermanager(GetParam());
  const pid_t wache = fork();
  if (wache == 0) {
    execlp("timeout", "timeout", "60", "sh", "-c",
           "until w=$(xdotool search --name '^ToolVelmar$'); do :; done;"
           "until xprop -id $w _NET_WM_STATE | grep -q _NET_WM_STATE_FULLSCREEN; do :; done;"
           "exec wmctrl -i -r $w -b remove,fullscreen",
           static_cast<char*>(nullptr));
    _exit(127);
  }
  Oeffne();
  int status = -1;
  waitpid(wache, &status, 0);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  WeiterImFenster(GetParam());
}

INSTANTIATE_TEST_SUITE_P(Fenstermanager, DesktopVollbildWeg, ::testing::Values("openbox", "i3"),
                         [](const auto& info) { return std::string(info.param); });

// The screen's mode changed from outside (display settings) while fullscreen: openbox sizes
// the window to it, and the picture and the saved size follow, still fullscreen.
TEST_F(Desktop, VollbildFolgtDemVonAussenGeaendertenModus) {
  SchreibeKonfig(1000, 600, true);
  StarteFenstermanager();
  Oeffne();
  WarteAufVollbild();
  // The test's screen is the next test's too.
  struct Zurueck {
    ~Zurueck() {
      std::system("xrandr --output screen --mode 1280x1024; xrandr --delmode screen 1024x600_60;"
                  "xrandr --rmmode 1024x600_60");
    }
  } zurueck;
  ASSERT_EQ(std::system("xrandr --newmode 1024x600_60 49 1024 1072 1168 1312 600 603 613 624 -hsync +vsync &&"
                        "xrandr --addmode screen 1024x600_60 && xrandr --output screen --mode 1024x600_60"),
            0);
  PruefeGroesse({1024, 600});
  EXPECT_NE(Einstellungen().find("name=\"fullscreen\" wert=\"ja\""), std::string::npos) << Einstellungen();
}

// A killed window manager leaves its check property on the root window, and GLFW 3.3 then
// fails an assertion when the tool opens its window: the abort is reported with its stack,
// a dump is written, and the process still ends by SIGABRT.
TEST_F(Desktop, AbbruchNachGetoetetemFenstermanagerWirdBerichtet) {
  StarteFenstermanager();
  kill(fenstermanager_, SIGKILL);
  waitpid(fenstermanager_, nullptr, 0);
  fenstermanager_ = 0;  // gone, its property still to be removed
  Starte();
  ASSERT_EQ(WarteAufEnde(std::chrono::seconds(60)), 128 + SIGABRT);
  const std::string log = Protokoll();
  EXPECT_NE(log.find("!Exception code: 00000000 Aborted, raised by the process itself\n"), std::string::npos) << log;
  // The stack from the abort through the screen's start to the program entry.
  std::size_t stelle = 0;
  for (const char* rahmen : {": abort\n", "__assert_fail", "Quelm_Screen3D::Init", "Spiel::ProgrammEinstieg"}) {
    stelle = log.find(rahmen, stelle);
    ASSERT_NE(stelle, std::string::npos) << rahmen << "\n" << log;
  }
  EXPECT_NE(log.find("Minidump created."), std::string::npos) << log;
  EXPECT_TRUE(fs::exists(Benutzerordner() / "MiniDump.dmp"));
}

// The corner dragged with Alt and the right button, 240 by 150 pixels in 30 steps 16 ms
// apart, sent by one xdotool as a person's hand would.
TEST_F(Desktop, ZiehenMitFenstermanagerKommtZurRuhe) {
  StarteFenstermanager();
  Oeffne();
  // Room to the right and below for the drag.
  Xdo("windowmove " + fenster_ + " 0 0");
  Bilder(5);
  int x = 0, y = 0;
  const Groesse vorher = Lage(&x, &y);
  ASSERT_EQ(vorher, (Groesse{1000, 600}));
  const int sx = x + vorher.breite - 20, sy = y + vorher.hoehe - 20;
  ASSERT_LT(sx + 240, 1280);
  ASSERT_LT(sy + 150, 1024);
  std::string zug = "mousemove " + std::to_string(sx) + " " + std::to_string(sy) + " keydown alt mousedown 3";
  for (int i = 1; i <= 30; ++i)
    zug += " sleep 0.016 mousemove " + std::to_string(sx + 240 * i / 30) + " " + std::to_string(sy + 150 * i / 30);
  zug += " mouseup 3 keyup alt";
  Xdo(zug);
  PruefeGroesse({1240, 750});
}

// Without a window manager: two sizes set back to back by another client.
TEST_F(Desktop, ZweiGroessenHintereinanderOhneFenstermanager) {
  Oeffne();
  Bilder(5);
  Xdo("windowsize " + fenster_ + " 800 600 windowsize " + fenster_ + " 1000 700");
  PruefeGroesse({1000, 700});
}

// Every request on a destroyed window fails: the tool says once that it is gone and ends
// as when the window is closed.
TEST_F(Desktop, FensterVonAussenZerstoertEndetDenLauf) {
  Oeffne();
  AendereSprache();
  ASSERT_EQ(std::system((std::string(FENSTER) + " zerstoeren ToolVelmar 10").c_str()), 0);
  ASSERT_EQ(WarteAufEnde(std::chrono::seconds(30)), 0);
  const std::string log = Protokoll();
  EXPECT_EQ(Vorkommen(log, "!Das Fenster wurde von einem anderen Programm zerstört.\n"), 1) << log;
  EXPECT_EQ(Vorkommen(log, "X-Fehler"), 0) << log;
  EXPECT_NE(log.find("Screen wird geschlossen."), std::string::npos) << log;
  PruefeSpracheGespeichert();
}

// The connection killed by another client (a forced close): logged and said on the
// terminal, the settings saved, a failed run.
TEST_F(Desktop, VerbindungVerlorenSpeichertUndEndetMitFehler) {
  Oeffne();
  AendereSprache();
  ASSERT_EQ(std::system((std::string(FENSTER) + " trennen ToolVelmar 10").c_str()), 0);
  EXPECT_EQ(WarteAufEnde(std::chrono::seconds(30)), 1);
  EXPECT_NE(Protokoll().find("): !Verbindung zum X-Server verloren.\n"), std::string::npos) << Protokoll();
  const std::string terminal = Terminal();
  EXPECT_NE(terminal.find("ToolVelmar: Verbindung zum X-Server verloren.\n"), std::string::npos) << terminal;
  PruefeSpracheGespeichert();
}

// Fullscreen with the size of the settings and no fullscreen line (fullscreen is the
// default), or switched to at the console: the screen's modes all have its depth, and the
// tool takes them rather than none.
struct TiefenFall {
  int tiefe;
  bool amStart;
};

void PrintTo(const TiefenFall& f, std::ostream* aus) {
  *aus << f.tiefe << (f.amStart ? " Bit, am Start" : " Bit, gewechselt");
}

class DesktopTiefe : public Desktop, public ::testing::WithParamInterface<TiefenFall> {
 protected:
  void SetUp() override {
    Desktop::SetUp();
    StarteBildschirm(GetParam().tiefe);
  }
};

TEST_P(DesktopTiefe, VollbildNimmtDieModiDerTiefeDesBildschirms) {
  const bool amStart = GetParam().amStart;
  if (amStart)
    SchreibeDatei(Benutzerordner() / "tool.cfg",
                  "<?xml version=\"1.0\" ?>\n<config>\n    <var name=\"displaywidth\" wert=\"1280\" />\n"
                  "    <var name=\"displayheight\" wert=\"720\" />\n</config>\n");
  Starte();
  // Its colours are not those of 24 bits: frames drawn show that it runs.
  Bilder(3);
  fenster_ = Fenster();
  ASSERT_FALSE(fenster_.empty());
  Xdo("windowfocus --sync " + fenster_);
  if (!amStart) Konsole({"set fullscreen ja", "reinitvideo"});
  Bilder(5);
  PruefeGroesse({1280, 720});
  const std::string log = Protokoll();
  for (const char* fehler :
       {"Kein Vollbildmodus", "Invalid window size", "Textur-Erzeugung gescheitert", "Failed to set render target"})
    EXPECT_EQ(log.find(fehler), std::string::npos) << fehler << "\n" << log;
  EXPECT_NE(Einstellungen().find("name=\"fullscreen\" wert=\"ja\""), std::string::npos) << Einstellungen();
}

INSTANTIATE_TEST_SUITE_P(Tiefe, DesktopTiefe,
                         ::testing::Values(TiefenFall{16, true}, TiefenFall{16, false}, TiefenFall{15, true},
                                           TiefenFall{30, false}),
                         [](const auto& info) {
                           const std::string tiefe = "Bit" + std::to_string(info.param.tiefe);
                           return tiefe + (info.param.amStart ? "_Start" : "_Wechsel");
                         });

// A start that fails, with no display at all (as over ssh) or on a screen without GLX (8
// bits), leaves the screen's settings as the file had them, else as the defaults: not the
// window or the size that the screen chose for it.
struct FehlstartFall {
  int tiefe;  // 0: no display
  bool mitKonfig;
};

void PrintTo(const FehlstartFall& f, std::ostream* aus) {
  *aus << (f.tiefe ? std::to_string(f.tiefe) + " Bit" : "ohne Anzeige") << (f.mitKonfig ? ", tool.cfg" : "");
}

class DesktopFehlstart : public Desktop, public ::testing::WithParamInterface<FehlstartFall> {};

TEST_P(DesktopFehlstart, LaesstDieEinstellungenDesBildschirms) {
  const FehlstartFall& f = GetParam();
  if (f.tiefe) StarteBildschirm(f.tiefe);
  if (f.mitKonfig)
    SchreibeKonfig(1600, 900, true);
  else
    fs::remove(Benutzerordner() / "tool.cfg");
  Starte(f.tiefe != 0);
  ASSERT_EQ(WarteAufEnde(std::chrono::seconds(60)), 255);
  EXPECT_NE(Protokoll().find("Screen initialisation failed."), std::string::npos) << Protokoll();
  const std::string cfg = Einstellungen();
  for (const auto& [name, wert] : {std::pair{"fullscreen", "ja"}, std::pair{"displaywidth", f.mitKonfig ? "1600" : "0"},
                                   std::pair{"displayheight", f.mitKonfig ? "900" : "0"}})
    EXPECT_NE(cfg.find("<var name=\"" + std::string(name) + "\" wert=\"" + wert + "\" />"), std::string::npos)
        << name << "\n" << cfg;
}

INSTANTIATE_TEST_SUITE_P(Anzeige, DesktopFehlstart,
                         ::testing::Values(FehlstartFall{0, true}, FehlstartFall{0, false}, FehlstartFall{8, true}),
                         [](const auto& info) {
                           return (info.param.tiefe ? "Bit" + std::to_string(info.param.tiefe) : std::string("Ohne")) +
                                  (info.param.mitKonfig ? "_Konfig" : "_Standard");
                         });

// Without a window manager: two sizes set back to back, again and again, from the moment
// the window exists (its first frames and the first landscape still under way), 0 to 50 ms
// apart. The tool draws on through every reset and settles at the last size.
TEST_F(Desktop, ZweiGroessenImmerWiederOhneFenstermanager) {
  Starte();
  fenster_ = Fenster();
  ASSERT_FALSE(fenster_.empty());
  std::string folge;
  for (int i = 0; i < 24; ++i) {
    static const char* const kAbstand[] = {"0", "0.01", "0.02", "0.05"};
    folge += " windowsize " + fenster_ + " 800 600 sleep " + kAbstand[i % 4] + " windowsize " + fenster_ +
             " 1000 700 sleep 0.03";
  }
  Xdo(folge);
  // Then once more at once with the frames running, as a person's two quick drags.
  Bilder(5);
  Xdo("windowsize " + fenster_ + " 800 600 windowsize " + fenster_ + " 1000 700");
  PruefeGroesse({1000, 700});
}

// The resizes with Mesa's render threads held up where a busy machine preempts them: after
// counting a scene done, before unlocking its fence (renderfaden_bremse.c). The main thread
// must not free the fence under them; the C library fills freed memory, so an unlock on
// freed memory is seen, and a heap it corrupted aborts or hangs the tool.
TEST_F(Desktop, GroessenBeiAufgehaltenenRenderThreads) {
  // The sanitizer's runtime would insist on being loaded first.
  const char* asan = std::getenv("ASAN_OPTIONS");
  umgebung_ = {{"LD_PRELOAD", BREMSE},
               {"GLIBC_TUNABLES", "glibc.malloc.tcache_count=0:glibc.malloc.perturb=165"},
               {"ASAN_OPTIONS", std::string(asan ? asan : "") + ":verify_asan_link_order=0"}};
  // Resized from the window's first moment, while its textures and their mipmaps are new.
  Starte();
  fenster_ = Fenster();
  ASSERT_FALSE(fenster_.empty());
  std::string folge;
  for (int i = 0; i < 80; ++i)
    folge += " windowsize " + fenster_ + " " + std::to_string(600 + 5 * i) + " 500 sleep 0.05 windowsize " + fenster_ +
             " 1000 700 sleep 0.05";
  Xdo(folge);
  PruefeGroesse({1000, 700});
  EXPECT_EQ(Terminal().find("Bremse:"), std::string::npos) << Terminal();
}

// The focus of a fullscreen window. The focus changes that X reports are not all real: with
// the focus on the desktop, the window under the pointer has it too, and loses it when a
// window manager gives the focus to that very window.
class DesktopFokus : public Desktop {
 protected:
  // The tool's last focus change as the log has it: "got" or "lost".
  std::string LetzterFokus() const {
    const std::string log = Protokoll();
    const auto got = log.rfind("DRENO: got focus"), lost = log.rfind("DRENO: lost focus");
    if (lost == std::string::npos) return "got";
    return got != std::string::npos && got > lost ? "got" : "lost";
  }
  bool Gezeigt() const {
    return std::system(("xprop -id " + fenster_ + " WM_STATE | grep -q 'state: Normal'").c_str()) == 0;
  }
};

// Under fluxbox, fullscreen as the first window of a fresh desktop: shown with the keyboard
// focus, F10 reaches it; minimised by another window, activated again after that one
// closed, it is shown again.
TEST_F(DesktopFokus, VollbildstartUnterFluxbox) {
  SchreibeKonfig(1000, 600, true);
  StarteFenstermanager("fluxbox");
  // As on a new X server: the focus on the desktop, where earlier tests may have left none.
  ASSERT_EQ(std::system("xdotool windowfocus $(xwininfo -root | awk '/Window id/ {print $4}')"), 0);
  Starte();
  fenster_ = Fenster();
  ASSERT_FALSE(fenster_.empty());
  // Its frames and its own screenshot, not a capture of the window: fluxbox may leave a
  // fullscreen window it has just mapped a title bar's height down, partly off the screen,
  // where the X server gives no capture of it.
  Bilder(5);
  ASSERT_TRUE(Gezeigt());
  EXPECT_EQ(LetzterFokus(), "got") << Protokoll();
  EXPECT_TRUE(Hintergrund(Foto("screenshot0000.png")(2, 2)));
  ASSERT_NO_FATAL_FAILURE(FokusAnEinAnderesFenster(true));
  ASSERT_TRUE(Gezeigt());
  Foto("screenshot0001.png");
}

// With no window manager nothing can minimise a fullscreen window: focus changes log no
// error, and the presence follows them.
TEST_F(DesktopFokus, VollbildOhneFenstermanagerWechseltDenFokusOhneFehler) {
  SchreibeKonfig(1000, 600, true);
  Oeffne();
  Xdo("windowfocus --sync " + ZeigeAnderesFenster());
  Bilder(3);
  EXPECT_EQ(LetzterFokus(), "lost") << Protokoll();
  Xdo("windowfocus --sync " + fenster_);
  Bilder(3);
  EXPECT_EQ(LetzterFokus(), "got") << Protokoll();
  EXPECT_EQ(Protokoll().find("GLFW-Fehler"), std::string::npos) << Protokoll();
}

}  // namespace
