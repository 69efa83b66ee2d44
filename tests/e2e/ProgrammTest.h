#pragma once
// The real program started under the test's virtual X server with a temporary home.
#include "Quelm_Bild.h"
#include "TempOrdner.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <initializer_list>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

// What a window shows, 8-bit RGB, row 0 at the top.
struct Bild {
  int breite = 0, hoehe = 0;
  std::vector<unsigned char> rgb;

  std::array<int, 3> operator()(int x, int y) const {
    const std::size_t i = (static_cast<std::size_t>(y) * static_cast<std::size_t>(breite) + static_cast<std::size_t>(x)) * 3;
    return {rgb[i], rgb[i + 1], rgb[i + 2]};
  }
};

inline std::string Text(const std::array<int, 3>& p) {
  return std::to_string(p[0]) + "," + std::to_string(p[1]) + "," + std::to_string(p[2]);
}

// The clear colour (0.1, 0.3, 0.5) of the scene.
inline bool Hintergrund(const std::array<int, 3>& p) { return Text(p) == "26,77,128"; }
// The landscape's yellow-green and the white of selection marks and text.
inline bool Gruen(const std::array<int, 3>& p) { return p[1] > p[0] + 30 && p[1] > p[2] + 30; }
inline bool Weiss(const std::array<int, 3>& p) { return std::min({p[0], p[1], p[2]}) > 235; }

// How often `teil` stands in `text`.
inline int Vorkommen(const std::string& text, const std::string& teil) {
  int n = 0;
  for (auto p = text.find(teil); p != std::string::npos; p = text.find(teil, p + 1)) ++n;
  return n;
}

// Pixels of a kind in a rectangle, and their centre.
struct Flaeche {
  int anzahl = 0;
  double x = 0, y = 0;
};
template <class F>
Flaeche Zaehle(const Bild& b, F&& art, int x0 = 0, int y0 = 0, int x1 = 1280, int y1 = 720) {
  Flaeche f;
  for (int y = y0; y < y1; ++y)
    for (int x = x0; x < x1; ++x)
      if (art(b(x, y))) {
        ++f.anzahl;
        f.x += x;
        f.y += y;
      }
  if (f.anzahl) {
    f.x /= f.anzahl;
    f.y /= f.anzahl;
  }
  return f;
}

// The program with a temporary home: its user data folder is HOME/.local/share/ToolVelmar.
class Programm : public ::testing::Test {
 protected:
  void SetUp() override { fs::create_directories(Benutzerordner()); }
  void TearDown() override {
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    // What the program said on the terminal (an abort's own message goes nowhere else)
    // beside its log: the home and both files are gone after the test.
    if (HasFailure())
      std::printf("--- tool.log:\n%s--- stderr:\n%s---\n", Protokoll().c_str(), Terminal().c_str());
  }

  fs::path Benutzerordner() const { return home_.pfad() / ".local" / "share" / "ToolVelmar"; }
  fs::path Zwischenspeicher() const { return home_.pfad() / ".cache" / "ToolVelmar"; }
  std::string Protokoll() const { return LeseDatei(Benutzerordner() / "tool.log"); }
  std::string Einstellungen() const { return LeseDatei(Benutzerordner() / "tool.cfg"); }
  // What the program wrote to stderr.
  std::string Terminal() const { return LeseDatei(home_.pfad() / "stderr.txt"); }

  // Settings for a window (or fullscreen) of that size; 0 by 0 is the desktop's size.
  static std::string Konfig(int breite, int hoehe, bool vollbild = false) {
    const auto var = [](const char* name, const std::string& wert) {
      return "    <var name=\"" + std::string(name) + "\" wert=\"" + wert + "\" />\n";
    };
    return "<?xml version=\"1.0\" ?>\n<config>\n" + var("displaywidth", std::to_string(breite)) +
           var("displayheight", std::to_string(hoehe)) + var("fullscreen", vollbild ? "ja" : "nein") +
           "</config>\n";
  }
  void SchreibeKonfig(int breite, int hoehe, bool vollbild = false) {
    SchreibeDatei(Benutzerordner() / "tool.cfg", Konfig(breite, hoehe, vollbild));
  }
  // Waits until the log holds `zeile` (or a minute has passed); whether it does.
  bool WarteAufZeile(const std::string& zeile) {
    const auto ende = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (Protokoll().find(zeile) == std::string::npos && std::chrono::steady_clock::now() < ende)
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    return Protokoll().find(zeile) != std::string::npos;
  }

  void Starte(bool mitBildschirm = true, const std::string& programm = VELMAR_PROGRAMM) {
    pid_ = fork();
    if (pid_ == 0) {
      if (!mitBildschirm) unsetenv("DISPLAY");
      setenv("HOME", home_.pfad().c_str(), 1);
      unsetenv("XDG_DATA_HOME");
      unsetenv("XDG_CACHE_HOME");
      for (const auto& [name, wert] : umgebung_) setenv(name.c_str(), wert.c_str(), 1);
      // Its own working folder: with "debugShader" on, every start writes its shader dumps
      // there, and programs of tests running side by side must not read each other's.
      if (chdir(home_.pfad().c_str()) != 0) _exit(126);
      // What it says on the terminal, for the tests to read.
      if (FILE* f = std::fopen((home_.pfad() / "stderr.txt").c_str(), "w")) dup2(fileno(f), 2);
      execl(programm.c_str(), programm.c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
  }

  // Waits for the program's end; -2 when it did not end in time.
  int WarteAufEnde(std::chrono::seconds frist) {
    const auto ende = std::chrono::steady_clock::now() + frist;
    while (std::chrono::steady_clock::now() < ende) {
      int status = 0;
      if (waitpid(pid_, &status, WNOHANG) == pid_) {
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return -2;
  }

  // What the window shows now.
  Bild Lies() {
    const fs::path datei = home_.pfad() / "fenster.ppm";
    Bild b;
    if (std::system((std::string(FENSTER) + " bild ToolVelmar 60 " + datei.string()).c_str()) != 0) return b;
    std::ifstream ein(datei, std::ios::binary);
    std::string p6;
    int tiefe = 0;
    ein >> p6 >> b.breite >> b.hoehe >> tiefe;
    ein.get();
    b.rgb.resize(static_cast<std::size_t>(b.breite) * static_cast<std::size_t>(b.hoehe) * 3);
    ein.read(reinterpret_cast<char*>(b.rgb.data()), static_cast<std::streamsize>(b.rgb.size()));
    if (p6 != "P6" || !ein) b.breite = 0;
    return b;
  }
  // Reads pictures until `fertig` holds for one (or a minute has passed: a loaded machine
  // draws slowly).
  template <class F>
  Bild WarteAufBild(F&& fertig) {
    const auto ende = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    Bild b;
    do {
      b = Lies();
      if (b.breite > 0 && fertig(b)) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(200));
    } while (std::chrono::steady_clock::now() < ende);
    return b;
  }
  // Input reaches the program only once its frames run: keys typed while it starts are
  // read as pressed and released in no time. Its first picture shows that it runs.
  void WarteAufErstesBild() {
    const Bild b = WarteAufBild([](const Bild& b) { return Hintergrund(b(2, 2)); });
    ASSERT_TRUE(b.breite > 0 && Hintergrund(b(2, 2))) << "no picture appeared";
  }
  // Waits until the window has drawn `anzahl` frames and `ms` have passed. The program
  // reads its input once a frame, so what was sent before has then been read, however
  // slowly the frames come; the first frame counted may be one already under way.
  static void Bilder(int anzahl = 3, int ms = 0) {
    const std::string befehl =
        std::string(FENSTER) + " bilder ToolVelmar 120 " + std::to_string(anzahl) + " " + std::to_string(ms);
    ASSERT_EQ(std::system(befehl.c_str()), 0) << "no frames drawn";
  }

  static void Xdo(const std::string& befehl) {
    ASSERT_EQ(std::system(("xdotool " + befehl).c_str()), 0) << befehl;
  }
  // Lines typed at the console (F11 opens and closes it), each seen in the log.
  void Konsole(std::initializer_list<std::string> zeilen) {
    Taste("F11");
    for (const std::string& zeile : zeilen) {
      Xdo("type --delay 80 '" + zeile + "'");
      Taste("Return");
      ASSERT_TRUE(WarteAufZeile(">" + zeile + "\n")) << Protokoll();
    }
    Taste("F11");
  }
  // F10: the screenshot of that number appears and is logged; it holds what the window shows.
  Bild Foto(const char* name) {
    Taste("F10");
    const fs::path foto = Benutzerordner() / "screenshots" / name;
    // Logged once the file is complete.
    const std::string zeile = "Screenshot saved as \"" + foto.string() + "\".";
    EXPECT_TRUE(WarteAufZeile(zeile)) << Protokoll();
    Quelm_Bild png;
    EXPECT_TRUE(png.LadeBildAusDatei(foto)) << name;
    Bild b{static_cast<int>(png.breite), static_cast<int>(png.hoehe), {}};
    for (std::uint64_t y = 0; y < png.hoehe; ++y)
      for (std::uint64_t x = 0; x < png.breite; ++x) {
        const TFarbe f = png.LiesPixel(x, y);
        for (float k : {f.r, f.g, f.b}) b.rgb.push_back(static_cast<unsigned char>(std::lround(k * 255)));
      }
    return b;
  }
  // The id of the program's window (or of the first that xdotool's `suche` finds), empty when
  // none appeared.
  static std::string Fenster(const std::string& suche = "--name '^ToolVelmar$'") {
    std::string id;
    if (FILE* aus = popen(("xdotool search --sync " + suche).c_str(), "r")) {
      char zeile[32] = {};
      if (std::fgets(zeile, sizeof zeile, aus)) id = std::string(zeile, std::strcspn(zeile, "\n"));
      pclose(aus);
    }
    return id;
  }

  static int SchliesseFenster() {
    return std::system((std::string(FENSTER) + " schliessen ToolVelmar 60").c_str());
  }

  // Starts the program and waits for its first picture, its window focused.
  void Oeffne(const std::string& programm = VELMAR_PROGRAMM) {
    Starte(true, programm);
    WarteAufErstesBild();
    fenster_ = Fenster();
    ASSERT_FALSE(fenster_.empty());
    Xdo("windowfocus --sync " + fenster_);
  }
  // The pointer to (x, y) in the window.
  void Zeige(int x, int y) { Xdo("mousemove --window " + fenster_ + " " + std::to_string(x) + " " + std::to_string(y)); }
  // A key held over a few frames: keys are read once a frame.
  void Taste(const std::string& taste) {
    Xdo("keydown " + taste);
    Bilder();
    Xdo("keyup " + taste);
    Bilder();
  }

  TempOrdner home_;
  pid_t pid_ = -1;
  // Variables set for the program started next, on top of the test's own.
  std::vector<std::pair<std::string, std::string>> umgebung_;
  std::string fenster_;
};

