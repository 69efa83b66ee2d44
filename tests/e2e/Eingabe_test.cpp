// End to end: input that the tool reads once a frame. Clicks and key taps whose press and
// release arrive together (xdotool sends them while the tool stands still, so that they
// all arrive for one frame) are each read; characters follow a keyboard layout changed
// while the tool runs.
#include "ProgrammTest.h"

#include <algorithm>
#include <csignal>

namespace {

class Eingabe : public Programm {
 protected:
  void SetUp() override {
    Programm::SetUp();
    SchreibeKonfig(1280, 720);
  }
  void TearDown() override {
    std::system("setxkbmap us");
    Programm::TearDown();
  }
  // The pointer to (x, y), then a pause: clicks 0.2 s apart are two clicks, not a double click.
  void ZeigeUndWarte(int x, int y) {
    Zeige(x, y);
    Bilder(3, 300);
  }
  // What xdotool sends while the tool is stopped arrives for its next frame all at once.
  void Angehalten(const std::string& befehl) {
    ASSERT_EQ(kill(pid_, SIGSTOP), 0);
    Xdo(befehl);
    ASSERT_EQ(kill(pid_, SIGCONT), 0);
    Bilder();
  }
  static int GruenGesamt(const Bild& b) { return Zaehle(b, Gruen, 0, 0, b.breite, b.hoehe).anzahl; }
};

TEST_F(Eingabe, KlicksUndTastenInEinemBildWirkenJeder) {
  Oeffne();
  Bilder(10);
  Bild b = Lies();
  ASSERT_EQ(b.breite, 1280);
  ASSERT_FALSE(Gruen(b(630, 440))) << "the ground in front of the triangle";
  const int gruenAmAnfang = GruenGesamt(b);

  // A double click in front of the triangle adds one along its front edge. Its presses are
  // read two frames apart: when frames come too slowly for 0.2 s, it was two clicks on
  // empty ground, and it is tried again.
  for (int versuch = 0; versuch < 5 && !Gruen(b(630, 440)); ++versuch) {
    ZeigeUndWarte(640, 468);
    Angehalten("click --repeat 2 --delay 80 1");
    Bilder(5);
    b = Lies();
  }
  b = WarteAufBild([](const Bild& b) { return Gruen(b(630, 440)); });
  ASSERT_TRUE(Gruen(b(630, 440))) << Text(b(630, 440));
  const int gruenMitNeuem = GruenGesamt(b);
  EXPECT_GT(gruenMitNeuem, gruenAmAnfang);

  // A click selects the far corner: a white wire cube.
  ZeigeUndWarte(640, 330);
  Angehalten("click 1");
  b = WarteAufBild([](const Bild& b) { return Zaehle(b, Weiss, 620, 296, 660, 336).anzahl > 20; });
  EXPECT_GT(Zaehle(b, Weiss, 620, 296, 660, 336).anzahl, 20);

  // Delete removes the triangle that holds it; the new one stays.
  Angehalten("key Delete");
  b = WarteAufBild([&](const Bild& b) { return GruenGesamt(b) < gruenMitNeuem - gruenAmAnfang / 2; });
  EXPECT_LT(GruenGesamt(b), gruenMitNeuem - gruenAmAnfang / 2);
  EXPECT_TRUE(Gruen(b(630, 440))) << Text(b(630, 440));
  EXPECT_LT(Zaehle(b, Weiss, 620, 296, 660, 336).anzahl, 20) << "the selection is gone";
}

// The key right of T types y on the US layout and z on the German one: typed into the
// console after "setxkbmap de", it makes the unknown command "z".
TEST_F(Eingabe, ZeichenFolgenDerBelegungDesServers) {
  Oeffne();
  Taste("F11");
  ASSERT_EQ(std::system("setxkbmap de"), 0);
  Taste("29");  // the X keycode of that key
  Taste("Return");
  WarteAufZeile("Unbekannter Befehl");
  const std::string log = Protokoll();
  EXPECT_NE(log.find("!Unbekannter Befehl \"z\""), std::string::npos) << log;
}

}  // namespace
