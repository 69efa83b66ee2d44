// End to end: the window on a desktop. Resized by a window manager (openbox, dragged by its
// corner as a person drags it) or by another client, the window settles at the size it was
// given and the picture takes that size; a size the manager refuses (i3 keeps a tile's)
// leaves the picture at the window's size; fullscreen taken away by the manager goes on in
// a window. Destroyed by another client, or cut off from the X server, the tool ends and
// keeps the settings of its run; after a killed window manager GLFW's failed assertion is
// reported. On a screen of 16 colour bits fullscreen takes that depth's modes.
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
  const auto ende = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (!VollbildLautVerwaltung() && std::chrono::steady_clock::now() < ende)
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  ASSERT_TRUE(VollbildLautVerwaltung());
  Bilder(10);
  if (std::string(f.fenstermanager) == "openbox") FokusAnEinAnderesFenster();
  EXPECT_TRUE(VollbildLautVerwaltung());
  EXPECT_EQ(Lage(), (Groesse{1280, 1024}));
  const std::string verlassen = "?Die Fensterverwaltung hat das Vollbild beendet";
  ASSERT_EQ(Protokoll().find(verlassen), std::string::npos) << Protokoll();

  ASSERT_EQ(std::system(("wmctrl -i -r " + fenster_ + " -b remove,fullscreen").c_str()), 0);
  ASSERT_TRUE(WarteAufZeile(verlassen)) << Protokoll();
  // Sized afterwards, as a person does (i3 keeps the tile's size).
  Xdo("windowsize " + fenster_ + " 900 500");
  Groesse g;
  ASSERT_TRUE(Ruhig(g));
  if (std::string(f.fenstermanager) == "openbox") {
    EXPECT_EQ(g, (Groesse{900, 500}));
  }
  EXPECT_NE(g, (Groesse{1280, 1024}));
  PruefeGroesse(g);
  EXPECT_NE(Einstellungen().find("name=\"fullscreen\" wert=\"nein\""), std::string::npos) << Einstellungen();
}

INSTANTIATE_TEST_SUITE_P(Fenstermanager, DesktopVollbild,
                         ::testing::Values(VollbildFall{"openbox", true}, VollbildFall{"i3", false}),
                         [](const auto& info) {
                           return std::string(info.param.fenstermanager) + (info.param.amStart ? "_Start" : "_Wechsel");
                         });

// A killed window manager leaves its check property on the root window, and GLFW 3.3 then
// fails an assertion when the tool opens its window: the abort is reported with its stack,
// a dump is written, and the process still ends by SIGABRT.
TEST_F(Desktop, AbbruchNachGetoetetemFenstermanagerWirdBerichtet) {
  StarteFenstermanager();
  kill(fenstermanager_, SIGKILL);
  waitpid(fenstermanager_, nullptr, 0);
  fenstermanager_ = 0;  // gone, its property still to be removed
  // As the crash tests run their child: the sanitizer's own small signal stack would be
  // taken for the report's.
  const char* asan = std::getenv("ASAN_OPTIONS");
  const std::string vorher = asan ? asan : "";
  setenv("ASAN_OPTIONS", (vorher + ":use_sigaltstack=0").c_str(), 1);
  Starte();
  setenv("ASAN_OPTIONS", vorher.c_str(), 1);
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
  const std::string terminal = LeseDatei(home_.pfad() / "stderr.txt");
  EXPECT_NE(terminal.find("ToolVelmar: Verbindung zum X-Server verloren.\n"), std::string::npos) << terminal;
  PruefeSpracheGespeichert();
}

// A virtual X server of its own with a screen of 16 colour bits, as a VNC server or a
// virtual machine may have; DISPLAY names it while the test runs.
class Desktop16 : public Desktop, public ::testing::WithParamInterface<bool> {
 protected:
  void SetUp() override {
    int rohr[2];
    ASSERT_EQ(pipe(rohr), 0);
    xvfb_ = fork();
    if (xvfb_ == 0) {
      dup2(rohr[1], 3);
      const int still = open("/dev/null", O_WRONLY);
      dup2(still, 2);
      execlp("Xvfb", "Xvfb", "-displayfd", "3", "-screen", "0", "1280x720x16", "-nolisten", "tcp", "-noreset",
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
    Desktop::SetUp();
  }
  void TearDown() override {
    Desktop::TearDown();
    if (xvfb_ > 0) {
      kill(xvfb_, SIGTERM);
      waitpid(xvfb_, nullptr, 0);
    }
    setenv("DISPLAY", display_.c_str(), 1);
  }
  pid_t xvfb_ = -1;
  std::string display_;
};

// Fullscreen with the size of the settings and no fullscreen line (fullscreen is the
// default), or switched to at the console: the screen's modes all have 16 bits, and the
// tool takes them rather than none.
TEST_P(Desktop16, VollbildNimmtDieModiDerTiefeDesBildschirms) {
  const bool amStart = GetParam();
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
  for (const char* fehler : {"Invalid window size", "Textur-Erzeugung gescheitert", "Failed to set render target"})
    EXPECT_EQ(log.find(fehler), std::string::npos) << fehler << "\n" << log;
  EXPECT_NE(Einstellungen().find("name=\"fullscreen\" wert=\"ja\""), std::string::npos) << Einstellungen();
}

INSTANTIATE_TEST_SUITE_P(Tiefe16, Desktop16, ::testing::Bool(),
                         [](const auto& info) { return std::string(info.param ? "Start" : "Wechsel"); });

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
  ASSERT_NO_FATAL_FAILURE(WarteAufErstesBild());
  fenster_ = Fenster();
  ASSERT_FALSE(fenster_.empty());
  Bilder(5);
  ASSERT_TRUE(Gezeigt());
  EXPECT_EQ(LetzterFokus(), "got") << Protokoll();
  Foto("screenshot0000.png");
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
