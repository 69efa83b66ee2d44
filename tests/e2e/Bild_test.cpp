// End to end: the picture the running program shows, read back from the X server, while
// the mesh is edited with real mouse and key events.
#include "ProgrammTest.h"
#include "Quelm_Bild.h"

#include <cmath>

namespace {

// Green dominates and is at least `mindestens`, at most `hoechstens`.
bool Gruen(const std::array<int, 3>& p, int mindestens, int hoechstens = 255) {
  return p[1] >= mindestens && p[1] <= hoechstens && p[1] > p[0] + 30 && p[1] > p[2] + 30;
}

class ProgrammBild : public Programm {};

TEST_F(ProgrammBild, HilfeKastenUntenLinksMitText) {
  SchreibeDatei(Benutzerordner() / "tool.cfg",
                "<?xml version=\"1.0\" ?>\n<config>\n"
                "    <var name=\"displaywidth\" wert=\"1280\" />\n"
                "    <var name=\"displayheight\" wert=\"720\" />\n"
                "    <var name=\"fullscreen\" wert=\"nein\" />\n"
                "</config>\n");
  Starte();
  // The box lies over the scene at 70 % of a 0.2 grey: 0.14 + 0.3 times what is below.
  const auto ueber = [](const std::array<int, 3>& innen, const std::array<int, 3>& aussen) {
    for (int k = 0; k < 3; ++k)
      if (std::abs(innen[k] - (0.14 * 255 + 0.3 * aussen[k])) > 2.5) return false;
    return true;
  };
  // Each edge of (20, 600) to (620, 700) against the pixel just outside; grid lines may cross.
  const auto kanten = [&](const Bild& b) {
    int treffer = 0;
    for (int y = 602; y < 698; ++y) treffer += ueber(b(20, y), b(19, y)) + ueber(b(619, y), b(620, y));
    for (int x = 22; x < 618; ++x) treffer += ueber(b(x, 600), b(x, 599)) + ueber(b(x, 699), b(x, 700));
    return treffer > 0.8 * 2 * (96 + 596);
  };
  Bild b = WarteAufBild(kanten);
  ASSERT_EQ(b.breite, 1280);
  EXPECT_TRUE(kanten(b)) << Text(b(20, 600)) << " " << Text(b(19, 599));
  int weiss = 0;
  for (int y = 600; y < 700; ++y)
    for (int x = 20; x < 620; ++x) weiss += std::min({b(x, y)[0], b(x, y)[1], b(x, y)[2]}) > 200;
  EXPECT_GT(weiss, 1500);
  ASSERT_EQ(SchliesseFenster(), 0);
  ASSERT_EQ(WarteAufEnde(std::chrono::seconds(60)), 0);
}


// F10 writes the frame about to be shown: it matches what the window shows, row 0 on top.
TEST_F(ProgrammBild, F10SpeichertDasBildDesFensters) {
  SchreibeDatei(Benutzerordner() / "tool.cfg",
                "<?xml version=\"1.0\" ?>\n<config>\n"
                "    <var name=\"displaywidth\" wert=\"640\" />\n"
                "    <var name=\"displayheight\" wert=\"480\" />\n"
                "    <var name=\"fullscreen\" wert=\"nein\" />\n"
                "</config>\n");
  Starte();
  const std::string w = Fenster();
  ASSERT_FALSE(w.empty());
  Bild fenster = WarteAufBild([](const Bild& b) { return b.breite == 640 && Gruen(b(320, 250), 150); });
  ASSERT_EQ(fenster.breite, 640);
  // The landscape of the first triangle is in place once two pictures in a row agree.
  for (int i = 0; i < 50; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    const Bild naechstes = Lies();
    if (naechstes.rgb == fenster.rgb) break;
    fenster = naechstes;
  }
  Xdo("windowfocus --sync " + w + " keydown F10 sleep 0.5 keyup F10");
  const fs::path foto = Benutzerordner() / "screenshots" / "screenshot0000.png";
  for (int i = 0; i < 100 && !fs::exists(foto); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(100));
  fenster = Lies();
  Quelm_Bild png;
  ASSERT_TRUE(png.LadeBildAusDatei(foto));
  ASSERT_EQ(png.breite, 640u);
  ASSERT_EQ(png.hoehe, 480u);
  int gleich = 0;
  for (int y = 0; y < 480; ++y)
    for (int x = 0; x < 640; ++x) {
      const TFarbe f = png.LiesPixel(static_cast<std::uint64_t>(x), static_cast<std::uint64_t>(y));
      const std::array<int, 3> p = fenster(x, y);
      gleich += std::abs(static_cast<int>(std::lround(f.r * 255)) - p[0]) <= 2 &&
                std::abs(static_cast<int>(std::lround(f.g * 255)) - p[1]) <= 2 &&
                std::abs(static_cast<int>(std::lround(f.b * 255)) - p[2]) <= 2;
    }
  EXPECT_GT(gleich, 640 * 480 * 99 / 100);
  const std::string log = LeseDatei(Benutzerordner() / "tool.log");
  EXPECT_NE(log.find("Screenshot saved as \"" + foto.string() + "\"."), std::string::npos) << log;
}

}  // namespace
