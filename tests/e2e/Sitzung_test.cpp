// End to end: one session as a user has it, in a 1280x720 window. Every step is checked by
// what the window shows (read back from the X server) or by "tool.log". The keys are sent
// by position on the US layout of the virtual X server: undo sits on the key that reads Z
// on a German keyboard (Y here).
#include "ProgrammTest.h"

#include <algorithm>
#include <cmath>
#include <set>

namespace {

bool Rot(const std::array<int, 3>& p) { return p[0] > 200 && p[1] < 60 && p[2] < 60; }
bool Grau(const std::array<int, 3>& p) { return p[0] == p[1] && p[1] == p[2] && p[0] > 140 && p[0] < 200; }

// Distinct colours of a 12x12 patch: the landscape's grey noise gives many, the flat-shaded
// mesh one.
int Farben(const Bild& b, int x, int y) {
  std::set<int> farben;
  for (int dy = 0; dy < 12; ++dy)
    for (int dx = 0; dx < 12; ++dx) {
      const auto p = b(x + dx, y + dy);
      farben.insert(p[0] << 16 | p[1] << 8 | p[2]);
    }
  return static_cast<int>(farben.size());
}

// Where the scene shows the clear colour: the shape of everything drawn, whatever the
// random shades of the mesh and the noise of the landscape.
std::vector<bool> Umriss(const Bild& b) {
  std::vector<bool> m;
  for (int y = 0; y < b.hoehe; ++y)
    for (int x = 0; x < b.breite; ++x) m.push_back(Hintergrund(b(x, y)));
  return m;
}

// Pixels of the same size that differ by at most 2 in every channel.
int Gleich(const Bild& a, const Bild& b) {
  int n = 0;
  for (std::size_t i = 0; i + 2 < std::min(a.rgb.size(), b.rgb.size()); i += 3)
    n += std::abs(a.rgb[i] - b.rgb[i]) <= 2 && std::abs(a.rgb[i + 1] - b.rgb[i + 1]) <= 2 &&
         std::abs(a.rgb[i + 2] - b.rgb[i + 2]) <= 2;
  return n;
}

class Sitzung : public Programm {
 protected:
  void SetUp() override {
    Programm::SetUp();
    SchreibeKonfig(1280, 720);
  }
  // Each step read by a frame. Clicks 0.2 s apart on the program's clock are a double
  // click: the wait before pressing keeps clicks apart.
  void Klick(int x, int y) {
    Zeige(x, y);
    Bilder(3, 300);
    for (const char* schritt : {"mousedown 1", "mouseup 1"}) {
      Xdo(schritt);
      Bilder();
    }
  }
  // The picture once the frames have settled (the camera eases, the landscape follows):
  // the same outline three times, frames and a quarter second apart.
  Bild Ruhig() {
    const auto ende = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    Bild vorher = Lies();
    for (int gleich = 0; std::chrono::steady_clock::now() < ende;) {
      Bilder(3, 250);
      Bild b = Lies();
      gleich = b.breite == 1280 && Umriss(b) == Umriss(vorher) ? gleich + 1 : 0;
      vorher = std::move(b);
      if (gleich == 2) break;
    }
    return vorher;
  }
};

TEST_F(Sitzung, EinTagMitDemWerkzeug) {
  // 1. Start.
  Oeffne();
  Bild b = Ruhig();
  ASSERT_EQ(b.breite, 1280);
  ASSERT_EQ(b.hoehe, 720);
  EXPECT_TRUE(Hintergrund(b(5, 5))) << Text(b(5, 5));
  EXPECT_TRUE(Gruen(b(650, 370)) && b(650, 370)[1] > 150) << Text(b(650, 370));  // lit
  EXPECT_GT(Farben(b, 645, 365), 10) << "no landscape noise";
  // The start's shader translations are kept for the next one: one folder for this build.
  std::vector<fs::path> bauten;
  for (const auto& e : fs::directory_iterator(Zwischenspeicher() / "shader")) bauten.push_back(e.path());
  ASSERT_EQ(bauten.size(), 1u);
  EXPECT_GE(std::distance(fs::directory_iterator(bauten[0]), fs::directory_iterator()), 10);
  // The grid lines cross the ground around the triangle, grey over the clear colour.
  EXPECT_GT(Zaehle(b, Grau, 300, 100, 1000, 300).anzahl, 200);
  // The help box at the bottom left lies over the scene at 70 % of a 0.2 grey: 0.14 + 0.3
  // times what is below. Each edge against the pixel just outside; grid lines may cross.
  const auto ueber = [](const std::array<int, 3>& innen, const std::array<int, 3>& aussen) {
    for (int k = 0; k < 3; ++k)
      if (std::abs(innen[k] - (0.14 * 255 + 0.3 * aussen[k])) > 2.5) return false;
    return true;
  };
  int kante = 0;
  for (int y = 602; y < 698; ++y) kante += ueber(b(20, y), b(19, y)) + ueber(b(619, y), b(620, y));
  for (int x = 22; x < 618; ++x) kante += ueber(b(x, 600), b(x, 599)) + ueber(b(x, 699), b(x, 700));
  EXPECT_GT(kante, 0.8 * 2 * (96 + 596));
  // Its text wraps to the box's 600 pixels and fills it.
  int zeilen = 0;
  for (int y = 600, leer = 1; y < 700; ++y) {
    const bool text = Zaehle(b, Weiss, 20, y, 620, y + 1).anzahl > 0;
    zeilen += text && leer;
    leer = !text;
  }
  EXPECT_GE(zeilen, 3);

  // 3. Editing. A double click in front of the triangle adds one along its front edge; the
  // flat-shaded mesh shows first, the landscape's noise follows.
  // Its two clicks must fall in frames 0.2 s apart: when frames come too slowly for that
  // it was two clicks on empty ground, and it is tried again.
  Zeige(640, 468);
  const auto neu = [](const Bild& b) { return Gruen(b(630, 440)); };
  auto geklickt = std::chrono::steady_clock::now();
  for (int versuch = 0; versuch < 10 && !neu(b); ++versuch) {
    Bilder(3, 300);
    geklickt = std::chrono::steady_clock::now();
    for (const char* schritt : {"mousedown 1", "mouseup 1", "mousedown 1", "mouseup 1"}) {
      Xdo(schritt);
      Bilder(2);
    }
    Bilder();
    b = Lies();
  }
  // The landscape follows within 1.5 s, or 90 frames when they come more slowly.
  b = WarteAufBild([&](const Bild& b) { return neu(b) && Farben(b, 624, 434) > 10; });
  const auto gedauert = std::chrono::steady_clock::now() - geklickt;
  const auto vor90 = std::chrono::steady_clock::now();
  Bilder(90);
  EXPECT_LT(gedauert, std::max<std::chrono::nanoseconds>(std::chrono::steady_clock::now() - vor90,
                                                          std::chrono::milliseconds(1500)));
  ASSERT_TRUE(neu(b)) << Text(b(630, 440));
  // A click selects the far corner (a white wire cube).
  Klick(640, 330);
  b = Ruhig();
  EXPECT_GT(Zaehle(b, Weiss, 620, 296, 660, 336).anzahl, 20);

  // Shift and the right button lift it into a wall between the light and the new triangle:
  // its shadow falls on the new triangle's upper right.
  std::string heben;
  for (int y = 690; y >= 20; y -= 10) heben += " mousemove --window " + fenster_ + " 640 " + std::to_string(y) + " sleep 0.02";
  for (int mal = 0; mal < 2; ++mal) {
    Zeige(640, 700);
    Xdo("keydown shift");
    Bilder();
    Xdo("mousedown 3");
    Bilder();
    Xdo(heben);
    Bilder();
    Xdo("mouseup 3 keyup shift");
    Bilder();
  }
  b = Ruhig();
  EXPECT_TRUE(Gruen(b(665, 405)) && b(665, 405)[1] < 140) << Text(b(665, 405));
  EXPECT_TRUE(Gruen(b(630, 440)) && b(630, 440)[1] > 200) << Text(b(630, 440));
  // 4. F10 saves that picture, row 0 on top.
  const Bild foto = Foto("screenshot0000.png");
  ASSERT_EQ(foto.breite, 1280);
  ASSERT_EQ(foto.hoehe, 720);
  EXPECT_GT(Gleich(foto, Lies()), 1280 * 720 * 99 / 100);

  // Delete removes the triangle that holds the selected corner; undo brings it back.
  const Flaeche gruenMitWand = Zaehle(b, Gruen);
  Taste("Delete");
  b = Ruhig();
  EXPECT_LT(Zaehle(b, Gruen).anzahl, gruenMitWand.anzahl * 3 / 4);
  EXPECT_TRUE(Gruen(b(630, 440)));
  Xdo("keydown ctrl");
  Taste("y");
  Xdo("keyup ctrl");
  b = Ruhig();
  EXPECT_GT(Zaehle(b, Gruen).anzahl, gruenMitWand.anzahl * 9 / 10);

  // 4. F1 hides the mesh: the landscape's noise stays; F2 hides the landscape too (nothing
  // green, one colour); F1 shows the flat mesh alone; F2 brings both back.
  struct Ansicht {
    const char* taste;
    bool gruen, rauschen;
  };
  for (const Ansicht& a : {Ansicht{"F1", true, true}, {"F2", false, false}, {"F1", true, false}, {"F2", true, true}}) {
    Taste(a.taste);
    b = Ruhig();
    EXPECT_EQ(Zaehle(b, Gruen).anzahl > 0, a.gruen) << a.taste;
    const int farben = Farben(b, 624, 434);
    EXPECT_TRUE(a.rauschen ? farben > 10 : farben <= 2) << a.taste << " " << farben;
  }

  // 2. Camera. The wheel zooms out and in (its limits and the tilt following the distance
  // are the editing tests' to check).
  // The wheel counts once a frame, however far it turned.
  const auto rad = [&](int mal, const char* knopf) {
    for (int i = 0; i < mal; ++i) {
      Xdo(std::string("click ") + knopf);
      Bilder();
    }
  };
  rad(10, "5");
  const Bild fern = Ruhig();
  rad(10, "4");
  const Bild nah = Ruhig();
  EXPECT_GT(Zaehle(nah, Gruen).anzahl, 4 * Zaehle(fern, Gruen).anzahl);
  rad(2, "5");
  b = Ruhig();
  // D moves the camera along +x: the picture moves left; W along -z: the picture moves down.
  Flaeche vorher = Zaehle(b, Gruen);
  Xdo("keydown d");
  Bilder(3, 500);
  Xdo("keyup d");
  b = Ruhig();
  EXPECT_LT(Zaehle(b, Gruen).x, vorher.x - 20);
  vorher = Zaehle(b, Gruen);
  Xdo("keydown w");
  Bilder(3, 500);
  Xdo("keyup w");
  b = Ruhig();
  EXPECT_GT(Zaehle(b, Gruen).y, vorher.y + 20);

  // 4. F11 opens the console: a typed "set displayw" completed with Tab shows the value;
  // an unknown command answers in red; the echoed lines are green, the rest white.
  Taste("F11");
  Xdo("type --delay 80 'set displayw'");
  Taste("Tab");
  Taste("Return");
  Xdo("type --delay 80 'gibtsnicht'");
  Taste("Return");
  Xdo("type --delay 80 'set vsync nein'");
  Taste("Return");
  b = Ruhig();
  const auto rein = [](const std::array<int, 3>& p) { return p[1] > 200 && p[0] < 60 && p[2] < 60; };
  EXPECT_GT(Zaehle(b, rein, 0, 0, 1280, 430).anzahl, 50);
  EXPECT_GT(Zaehle(b, Rot, 0, 0, 1280, 430).anzahl, 50);
  EXPECT_GT(Zaehle(b, Weiss, 0, 0, 1280, 400).anzahl, 50);
  std::string log = Protokoll();
  EXPECT_NE(log.find(">set displaywidth \n"), std::string::npos) << log;
  EXPECT_NE(log.find("displaywidth = 1280\n"), std::string::npos) << log;
  EXPECT_NE(log.find("!Unbekannter Befehl \"gibtsnicht\""), std::string::npos) << log;
  // F11 closes it; the tool takes the mouse again: a click selects a corner.
  Taste("F11");
  b = Ruhig();
  EXPECT_EQ(Zaehle(b, Rot, 0, 0, 1280, 430).anzahl, 0);

  // 5. Typed "quit" ends the program with 0 and saves the settings.
  Taste("F11");
  // The console acts on the key's press: the program is gone before its release.
  Xdo("type --delay 80 quit");
  Xdo("key Return");
  ASSERT_EQ(WarteAufEnde(std::chrono::seconds(60)), 0);
  // The one error is the typed one, and everything made was released.
  log = Protokoll();
  EXPECT_EQ(Vorkommen(log, "): !"), 1) << log;
  EXPECT_EQ(log.find("nicht freigegeben"), std::string::npos) << log;

  // 6. A second start keeps the settings the first saved; closing the window ends it the
  // same way.
  Oeffne();
  ASSERT_EQ(SchliesseFenster(), 0);
  ASSERT_EQ(WarteAufEnde(std::chrono::seconds(60)), 0);
  const std::string cfg = Einstellungen();
  for (const char* var : {"vsync\" wert=\"nein", "displaywidth\" wert=\"1280", "t_logfile\" wert=\"ja"})
    EXPECT_NE(cfg.find("<var name=\"" + std::string(var) + "\" />"), std::string::npos) << cfg;
  // Every saved variable of the program, in byte order of the names.
  std::vector<std::string> namen;
  for (auto p = cfg.find("name=\""); p != std::string::npos; p = cfg.find("name=\"", p + 1))
    namen.push_back(cfg.substr(p + 6, cfg.find('"', p + 6) - p - 6));
  EXPECT_EQ(namen, (std::vector<std::string>{"debugShader", "displaydepth", "displayheight", "displaywidth",
                                             "fullscreen", "sprache", "t_debug", "t_logfile", "vsync"}));
  log = Protokoll();
  EXPECT_EQ(log.find("): !"), std::string::npos) << log;
  for (const char* zeile : {"): Log-Start\n", "Screen wird initialisiert.", "Screen wird geschlossen.",
                            "Input says: DRENO instance created.\n"})
    EXPECT_NE(log.find(zeile), std::string::npos) << zeile;
}

}  // namespace
