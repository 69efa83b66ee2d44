#include "Dreno.h"
#include "InputSystem.h"
#include "Quelm_Konsole.h"
#include "Quelm_Screen3DSignal.h"
#include "Quelm_SystemSignal.h"
#include "RenderTestHilfen.h"

#include <GLFW/glfw3.h>
#include <gtest/gtest.h>

namespace {

// Split as GLFW splits an X screen's depth: 16 as 5/6/5, 15 as 5/5/5, 30 as 10/10/10.
GLFWvidmode Modus(int w, int h, int bits, int hz) {
  const int gruen = bits == 16 ? 6 : bits / 3;
  const int rotBlau = bits == 16 ? 5 : bits / 3;
  return GLFWvidmode{w, h, rotBlau, gruen, rotBlau, hz};
}

Quelm_Anzeigemodus Wunsch(std::uint64_t w, std::uint64_t h, std::uint32_t bits16 = 0, std::uint64_t hz = 0) {
  Quelm_Anzeigemodus m;
  m.width = w;
  m.height = h;
  m.bits16 = bits16;
  m.refresh = hz;
  return m;
}

class ModusWahl : public ProtokollTest {};

TEST_F(ModusWahl, NaechsterModusPassenderTiefeUndBeiGleichstandDerLetzte) {
  const GLFWvidmode moden[] = {Modus(800, 600, 24, 60), Modus(1024, 768, 24, 60), Modus(1280, 720, 24, 60),
                               Modus(1280, 800, 24, 75), Modus(1280, 800, 24, 60)};
  const GLFWvidmode gemischt[] = {Modus(640, 480, 16, 60), Modus(800, 600, 24, 60)};
  const GLFWvidmode nurFullHd[] = {Modus(1920, 1080, 24, 60)};
  const GLFWvidmode tief15[] = {Modus(1280, 720, 15, 60), Modus(1024, 768, 15, 60)};
  const GLFWvidmode tief30[] = {Modus(800, 600, 30, 60), Modus(1280, 720, 30, 60)};
  const struct {
    const GLFWvidmode* moden;
    int anzahl;
    Quelm_Anzeigemodus wunsch, erwartet;
    const char* zeile;  // the log line, none when the wish is met
    std::uint32_t farbbits = 0;
  } faelle[] = {
      // 1280x800 (distance 70) twice and 1280x720 (distance 70): the last of the equals wins;
      // no rate wished is reported as 0.
      {moden, 5, Wunsch(1250, 760), Wunsch(1280, 800),
       "?Anzeigemodus 1250x760 gibt es nicht, benutze den nächsten: 1280x800."},
      {moden, 5, Wunsch(1280, 800, 0, 75), Wunsch(1280, 800, 0, 75), nullptr},
      {moden, 5, Wunsch(1024, 768), Wunsch(1024, 768), nullptr},
      {moden, 5, Wunsch(1280, 800, 0, 70), Wunsch(1280, 800, 0, 75),
       "?Anzeigemodus 1280x800 bei 70 Hz gibt es nicht, benutze den nächsten: 1280x800 bei 75 Hz."},
      {moden, 5, Wunsch(1000, 700), Wunsch(1024, 768),
       "?Anzeigemodus 1000x700 gibt es nicht, benutze den nächsten: 1024x768."},
      // Farther from every mode than from 0 by 0: still the nearest real mode.
      {moden, 5, Wunsch(100, 100), Wunsch(800, 600), "?Anzeigemodus 100x100 gibt es nicht, benutze den nächsten: 800x600."},
      {nurFullHd, 1, Wunsch(900, 500), Wunsch(1920, 1080),
       "?Anzeigemodus 900x500 gibt es nicht, benutze den nächsten: 1920x1080."},
      {nurFullHd, 1, Wunsch(1024, 600), Wunsch(1920, 1080),
       "?Anzeigemodus 1024x600 gibt es nicht, benutze den nächsten: 1920x1080."},
      {nurFullHd, 1, Wunsch(900, 500, 0, 75), Wunsch(1920, 1080, 0, 60),
       "?Anzeigemodus 900x500 bei 75 Hz gibt es nicht, benutze den nächsten: 1920x1080 bei 60 Hz."},
      {nurFullHd, 1, Wunsch(4000, 3000), Wunsch(1920, 1080),
       "?Anzeigemodus 4000x3000 gibt es nicht, benutze den nächsten: 1920x1080."},
      // 0 by 0 stands for the desktop's size: nothing is chosen for it.
      {moden, 5, Wunsch(0, 0), Wunsch(0, 0), nullptr},
      {nurFullHd, 1, Wunsch(0, 0), Wunsch(0, 0), nullptr},
      {moden, 5, Wunsch(800, 600, 1), Wunsch(0, 0), nullptr},  // no 16-bit mode: the null mode
      {moden, 0, Wunsch(800, 600), Wunsch(0, 0), nullptr},     // no mode at all
      {gemischt, 2, Wunsch(800, 600, 1), Wunsch(640, 480, 1),
       "?Anzeigemodus 800x600 gibt es nicht, benutze den nächsten: 640x480."},
      // Screens of 15 and 30 bits: only their own depth asked by its bits finds their modes.
      {tief15, 2, Wunsch(1280, 720, 1), Wunsch(0, 0), nullptr},
      {tief15, 2, Wunsch(1280, 720, 1), Wunsch(1280, 720, 1), nullptr, 15},
      {tief30, 2, Wunsch(1280, 720), Wunsch(0, 0), nullptr},
      {tief30, 2, Wunsch(1000, 700), Wunsch(1280, 720),
       "?Anzeigemodus 1000x700 gibt es nicht, benutze den nächsten: 1280x720.", 30},
      {tief30, 2, Wunsch(1280, 720), Wunsch(0, 0), nullptr, 15},
  };
  for (const auto& f : faelle) {
    SCOPED_TRACE(std::to_string(f.wunsch.width) + "x" + std::to_string(f.wunsch.height) + " bei " +
                 std::to_string(f.wunsch.refresh));
    sammler->zeilen.clear();
    const Quelm_Anzeigemodus m = Quelm_Screen3D::WaehleModus(f.moden, f.anzahl, f.wunsch, f.farbbits);
    EXPECT_EQ(std::vector<std::uint64_t>({m.width, m.height, m.bits16, m.refresh}),
              std::vector<std::uint64_t>({f.erwartet.width, f.erwartet.height, f.erwartet.bits16, f.erwartet.refresh}));
    EXPECT_EQ(sammler->Texte(), f.zeile ? std::vector<std::string>{f.zeile} : std::vector<std::string>{});
  }
}

// Records the focus the screen hands to the input system.
class FokusSystem : public DRENO::InputSystem {
 public:
  void ResetDevices(bool focus) override { meldungen.push_back(focus); }
  void PlaceCursor(bool) override {}
  std::vector<bool> meldungen;
};

TEST(Praesenz, FokusUndIkonisierenAendernPraesenzUndMeldenDemEingabesystem) {
  std::vector<Quelm_System::Praesenz> signale;
  boost::signals2::scoped_connection verbindung =
      gSystem.praesenzGeaendert->connect([&](Quelm_System::Praesenz p) { signale.push_back(p); });
  auto* eingabe = new FokusSystem;  // becomes the instance; Shutdown deletes it

  Quelm_Screen3D::FokusRueckruf(nullptr, 0);
  EXPECT_EQ(gSystem.praesenz, Quelm_System::Sichtbar);
  Quelm_Screen3D::IkonisierRueckruf(nullptr, 1);
  EXPECT_EQ(gSystem.praesenz, Quelm_System::Minimiert);
  Quelm_Screen3D::FokusRueckruf(nullptr, 0);  // still iconified: no change, no signal
  Quelm_Screen3D::IkonisierRueckruf(nullptr, 0);
  Quelm_Screen3D::FokusRueckruf(nullptr, 1);
  EXPECT_EQ(gSystem.praesenz, Quelm_System::Fokussiert);
  EXPECT_EQ(signale, (std::vector<Quelm_System::Praesenz>{Quelm_System::Sichtbar, Quelm_System::Minimiert,
                                                            Quelm_System::Sichtbar, Quelm_System::Fokussiert}));
  // The input system hears focus lost (the first one), then regained (the last).
  EXPECT_EQ(eingabe->meldungen, (std::vector<bool>{false, true}));
  DRENO::Shutdown();
}

// "reinitvideo" on the recording device: no window, the screen's own statics set by the test.
class ReinitVideo : public AufzeichnungsTest {
 protected:
  void Setze(const char* name, const char* wert) { Quelm_KonsolenVariable::Finde(name)->SetzeText(wert); }
  void Reinit() { Quelm_KonsolenBefehl::Finde("reinitvideo")->ausfuehren(""); }
};

TEST_F(ReinitVideo, WendetDieVariablenAnUndSetztDasGeraetZurueck) {
  Quelm_Screen3D::eigenesFenster = false;
  Reinit();
  EXPECT_TRUE(Geloggt("Geht nicht, ist kein selbsterstelltes Fenster."));
  EXPECT_EQ(Anzahl("Reset"), 0u);

  Quelm_Screen3D::eigenesFenster = true;
  Setze("displaywidth", "800");
  Setze("displayheight", "600");
  Setze("fullscreen", "nein");
  Setze("vsync", "nein");
  int signale = 0;
  boost::signals2::scoped_connection verbindung = Quelm_Screen3D::ModusGeaendert.connect([&] { ++signale; });
  Reinit();
  EXPECT_TRUE(Geloggt("Darstellung wird geändert auf 800x600, Fenster.")) << ::testing::PrintToString(Texte());
  EXPECT_EQ(Quelm_Screen3D::modusFlags & (Quelm_Screen3D::Vollbild | Quelm_Screen3D::VSync), 0u);
  ASSERT_EQ(Anzahl("Reset"), 1u);
  EXPECT_NE(Aufrufe("Reset")[0].find("800x600"), std::string::npos) << Aufrufe("Reset")[0];
  EXPECT_EQ(signale, 1);
  EXPECT_FALSE(Quelm_Screen3D::moduswechselLaeuft);
}

// Fullscreen asked with no mode to take (here no monitor): the run goes on in a window, and
// "fullscreen" says so, also through the window's resizes; the user's "ja" is what the
// closed screen leaves to be saved, unless the user chose "nein" since.
TEST_F(ReinitVideo, VollbildOhneModusLaesstDenWunschStehen) {
  Quelm_Screen3D::eigenesFenster = true;
  for (const bool danachNein : {false, true}) {
    SCOPED_TRACE(danachNein);
    Setze("displaywidth", "1000");
    Setze("displayheight", "600");
    Setze("fullscreen", "ja");
    Reinit();
    EXPECT_TRUE(Geloggt("?Kein Vollbildmodus für 1000x600, benutze ein Fenster.")) << ::testing::PrintToString(Texte());
    EXPECT_EQ(Quelm_Screen3D::modusFlags & Quelm_Screen3D::Vollbild, 0u);
    Quelm_Screen3D::GroesseRueckruf(nullptr, 900, 500);
    Quelm_Screen3D::VerarbeiteFensterEreignisse();
    EXPECT_EQ(Quelm_Screen3D::modus.width, 900u);
    EXPECT_EQ(Quelm_KonsolenVariable::Finde("fullscreen")->text, "nein");
    if (danachNein) Setze("fullscreen", "nein");
    Quelm_Screen3D::Beenden();
    kontext = nullptr;  // closed with the screen
    EXPECT_EQ(Quelm_KonsolenVariable::Finde("fullscreen")->text, danachNein ? "nein" : "ja");
  }
}

TEST_F(ReinitVideo, NullMalNullWirdNieDieGeraetegroesse) {
  Quelm_Screen3D::eigenesFenster = true;
  Quelm_Screen3D::GroesseRueckruf(nullptr, 0, 0);  // minimised
  // 0 by 0 stands for the desktop; a size too small for a usable window falls back to it.
  for (const char* breite : {"0", "1", "319"}) {
    SCOPED_TRACE(breite);
    Setze("displaywidth", breite);
    Setze("displayheight", "600");
    Setze("fullscreen", "nein");
    const std::size_t resets = Anzahl("Reset");
    Reinit();
    // Without a monitor to ask, the current mode stays.
    EXPECT_EQ(Quelm_Screen3D::modus.width, 1280u);
    EXPECT_EQ(Quelm_Screen3D::modus.height, 720u);
    EXPECT_EQ(Quelm_KonsolenVariable::Finde("displaywidth")->wertInt, 1280);
    ASSERT_EQ(Anzahl("Reset"), resets + 1);
    EXPECT_EQ(Aufrufe("Reset")[resets].find(std::string(breite) + "x600"), std::string::npos) << Aufrufe("Reset")[resets];
    EXPECT_EQ(Geloggt("?Fenstergröße " + std::string(breite) + "x600 ist zu klein (mindestens 320x200), benutze die "
                      "Größe der Anzeige."),
              std::string(breite) != "0");
  }
}

}  // namespace
