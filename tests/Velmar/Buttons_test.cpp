// The widget page: what it passes to the surface, and the page taking the input back when
// F11 closes the console. Its layout and a missing configuration are checked by the tests
// in tests/e2e.
#include "Anwendung.h"
#include "Buttons.h"
#include "InputSystem.h"
#include "Oberflaeche.h"
#include "Quelm_Ausnahme.h"
#include "Quelm_Bild.h"
#include "Quelm_BlockGfx3D.h"
#include "Quelm_Font3D.h"
#include "Quelm_Konsole.h"
#include "Quelm_Screen3D.h"
#include "Quelm_Zeitgeber.h"
#include "Quelm_System.h"
#include "Quelm_KonsoleStandardAnzeige.h"
#include "RenderTestHilfen.h"
#include "Seite.h"

#include <functional>

namespace {

struct Maus : DRENO::Mouse {
  using Mouse::Mouse;
  float GetMouseX() const override { return 321; }
  float GetMouseY() const override { return 123; }
};

struct Eingabe : DRENO::InputSystem {
  Eingabe() { AddDevice(std::make_unique<Maus>(this, 0)); }
  void ResetDevices(bool) override {}
  void PlaceCursor(bool) override {}
};

class ButtonsTest : public AufzeichnungsTest {
 protected:
  std::filesystem::path Konfig() {
    const auto pfad = ordner.pfad() / "GuiKonfig.xml";
    SchreibeDatei(pfad, "<gui><elmAbstand><x>10</x><y>10</y></elmAbstand></gui>");
    return pfad;
  }
};

TEST_F(ButtonsTest, WasDieSeiteWeitergibt) {
  Eingabe eingabe;
  Spiel::Buttons b(Konfig());
  const std::uint64_t* zustand = b.oberflaeche->tastenZustand.data();
  struct Fall {
    int art;  // 0 key, 1 button, 2 wheel
    std::uint64_t was;
    bool unten;
    std::uint64_t code, erwartet;
  };
  for (const Fall& f : {Fall{0, 1, true, 266, 3}, {0, 1, false, 266, 4}, {0, 2, true, 266, 4}, {1, 0, true, 265, 3},
                        {1, 0, false, 265, 4}, {1, 1, true, 265, 4}, {2, 0, true, 265, 4}}) {
    const bool genommen = f.art == 0   ? b.OnKey(nullptr, static_cast<std::int32_t>(f.was), f.unten)
                          : f.art == 1 ? b.OnMouseButton(nullptr, f.was, f.unten)
                                       : b.OnMouseWheel(nullptr, 1);
    EXPECT_TRUE(genommen);
    EXPECT_EQ(zustand[f.code], f.erwartet) << f.art << " " << f.was;
  }
  EXPECT_TRUE(b.OnMouseMoved(nullptr, 0, 0));
  EXPECT_EQ(b.oberflaeche->zeigerPosition, (Gui::Vektor{321, 123, 0}));
}

TEST_F(ButtonsTest, NachDemSchliessenDerKonsoleNimmtDieSeiteDieEingabe) {
  Eingabe eingabe;
  Spiel::Buttons b(Konfig());
  Quelm_KonsoleStandardAnzeige konsole(VELMAR_DATEN "/calibrib.fnt");
  eingabe.SetInputHandler(&b);
  Spiel::Anwendung::SchalteKonsoleUm(konsole, &eingabe, &b);
  EXPECT_EQ(eingabe.GetInputHandler(), &konsole);
  Spiel::Anwendung::SchalteKonsoleUm(konsole, &eingabe, &b);
  EXPECT_EQ(eingabe.GetInputHandler(), &b);
}

TEST_F(ButtonsTest, WidgetGrafikFehltZuKleinOderOhneSchriftNenntDieDatei) {
  const std::filesystem::path alt = gSystem.programmVerzeichnis, daten = ordner.pfad() / "Daten";
  gSystem.programmVerzeichnis = ordner.pfad();
  std::filesystem::create_directories(daten);
  struct Fall {
    int bildBreite;  // 0: no picture
    bool schrift;
    const char* fehler;  // null: loads
  };
  for (const Fall& f : {Fall{0, true, "grafik.png"}, {16, true, "grafik.png"}, {32, false, "calibrib.ttf"},
                        {32, true, nullptr}}) {
    std::filesystem::remove(daten / "grafik.png");
    std::filesystem::remove(daten / "calibrib.ttf");
    if (f.bildBreite) Quelm_Bild::SpeicherePNG(Quelm_Bild(f.bildBreite, 16), daten / "grafik.png");
    if (f.schrift) std::filesystem::copy_file(VELMAR_DATEN "/calibrib.ttf", daten / "calibrib.ttf");
    try {
      Spiel::Anwendung::LadeGuiGrafik();
      EXPECT_EQ(f.fehler, nullptr);
      EXPECT_TRUE(Spiel::Anwendung::guiGrafik->HatGrafik(0) && Spiel::Anwendung::guiGrafik->HatGrafik(1));
      EXPECT_FALSE(Spiel::Anwendung::guiFont->autoZeichnen);
    } catch (const Quelm_Ausnahme& a) {
      ASSERT_NE(f.fehler, nullptr) << a.text;
      EXPECT_NE(a.text.find(f.fehler), std::string::npos) << a.text;
    }
    Spiel::Anwendung::GibGuiGrafikFrei();
  }
  gSystem.programmVerzeichnis = alt;
}

// A console font that does not load leaves the tool running without console text or typing;
// the log and the terminal say so, naming the file, the way the other start data do.
TEST_F(ButtonsTest, KonsolenSchriftDieNichtLaedtStehtImProtokollUndAufDemTerminal) {
  const std::filesystem::path schrift = ordner.pfad() / "calibrib.fnt";
  const auto kopiere = [&](std::uintmax_t bytes) {
    std::filesystem::copy_file(VELMAR_DATEN "/calibrib.fnt", schrift);
    if (bytes) std::filesystem::resize_file(schrift, bytes);
  };
  struct Fall {
    const char* name;
    std::function<void()> vorbereiten;
    const char* meldung;  // after the path; null: the font loads and nothing is said
  };
  const Fall faelle[] = {
      {"gut", [&] { kopiere(0); }, nullptr},
      {"fehlt", [] {}, "\" fehlt."},
      {"beschaedigt", [&] { kopiere(1000); },
       "\" ist nicht ladbar: Schriftdaten sind unvollständig oder fehlerhaft."},
      {"keine Schrift", [&] { SchreibeDatei(schrift, "kein FNTH"); }, "\" ist nicht ladbar: Header ist ungültig."},
  };
  for (const Fall& f : faelle) {
    SCOPED_TRACE(f.name);
    std::filesystem::remove(schrift);
    f.vorbereiten();
    ::testing::internal::CaptureStderr();
    std::unique_ptr<Quelm_KonsoleStandardAnzeige> konsole(Spiel::Anwendung::ErzeugeKonsole(schrift));
    const std::string terminal = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(gProtokoll.anzeige, konsole.get());
    EXPECT_EQ(konsole->schriftGeladen, f.meldung == nullptr);
    const std::string text = "Konsolen-Schrift \"" + schrift.string() + (f.meldung ? f.meldung : "") +
                             " Die Konsole zeigt keinen Text und nimmt keine Eingabe.";
    const bool geloggt = std::any_of(konsole->zeilen.begin(), konsole->zeilen.end(), [&](const std::string& z) {
      return z.find("): !" + text + "\n") != std::string::npos;
    });
    if (f.meldung) {
      EXPECT_EQ(terminal.rfind("ToolVelmar: " + text + "\n", 0), 0u) << terminal;
      EXPECT_TRUE(geloggt) << ::testing::PrintToString(konsole->zeilen);
    } else {
      EXPECT_EQ(terminal, "");
      EXPECT_TRUE(konsole->zeilen.empty()) << ::testing::PrintToString(konsole->zeilen);
    }
    konsole.reset();
    gProtokoll.anzeige = sammler.get();
  }
}

// The loader's own exception goes on unchanged; the log line names the file.
TEST_F(ButtonsTest, UnlesbareKonfigurationBleibtDieAusnahmeDesLadersDerPfadStehtImProtokoll) {
  for (const char* inhalt : {static_cast<const char*>(nullptr), "<gui><"}) {
    const auto pfad = ordner.pfad() / "Kaputt.xml";
    std::filesystem::remove(pfad);
    if (inhalt) SchreibeDatei(pfad, inhalt);
    sammler->zeilen.clear();
    try {
      Spiel::Buttons b(pfad);
      ADD_FAILURE() << "loaded " << pfad;
    } catch (const Quelm_Ausnahme& a) {
      EXPECT_EQ(a.text, "Datei nicht geladen");
      EXPECT_EQ(a.funktion, "TEigenschaften_Serialisierung::LadeEigenschaftenAusXml");
    }
    EXPECT_TRUE(Geloggt("!Widget-Einstellungen \"" + pfad.string() + "\" nicht geladen.")) << testing::PrintToString(Texte());
  }
}

// After a mode change the page keeps its margin and the help box stays inside the window.
TEST_F(ButtonsTest, SeiteFolgtDerAnzeige) {
  Quelm_Screen3D::eigenesFenster = true;
  const auto setze = [](const char* name, const char* wert) { Quelm_KonsolenVariable::Finde(name)->SetzeText(wert); };
  setze("fullscreen", "nein");
  Spiel::Buttons b(Konfig());
  struct Fall {
    const char* wie;
    std::function<void()> wechsel;
    float breite, hoehe;
  };
  const Fall faelle[] = {
      {"Start", [] {}, 1280, 720},
      {"reinitvideo",
       [&] {
         setze("displaywidth", "800");
         setze("displayheight", "600");
         Quelm_KonsolenBefehl::Finde("reinitvideo")->ausfuehren("");
       },
       800, 600},
      {"Fenstergroesse",
       [] {
         Quelm_Screen3D::GroesseRueckruf(nullptr, 1024, 768);
         Quelm_Screen3D::VerarbeiteFensterEreignisse();  // taken after the poll
       },
       1024, 768}};
  for (const Fall& f : faelle) {
    SCOPED_TRACE(f.wie);
    f.wechsel();
    gZeitgeber.FeuereFaellige(1);
    ASSERT_EQ(Quelm_Screen3D::modus.width, static_cast<std::uint64_t>(f.breite));
    EXPECT_EQ(b.oberflaeche->groesse, (Gui::Vektor{f.breite, f.hoehe, 0}));
    EXPECT_EQ(b.seite->position, (Gui::Vektor{10, 10, 0}));
    EXPECT_EQ(b.seite->groesse, (Gui::Vektor{f.breite - 20, f.hoehe - 20, 0}));
    // Bottom left inside the page's spacing.
    EXPECT_EQ(b.hilfe->AbsolutePosition(), (Gui::Vektor{20, f.hoehe - 120, 0}));
    EXPECT_EQ(b.hilfe->groesse, (Gui::Vektor{600, 100, 0}));
  }
  EXPECT_EQ(b.hilfe->FindeEigeneEigenschaft("richt_horiz", 0.5f), 0.0f);  // left-aligned text
}

}  // namespace
