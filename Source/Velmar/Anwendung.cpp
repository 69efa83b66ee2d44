#include "Anwendung.h"

#include "Bearbeitung.h"
#include "Buttons.h"
#include "Einstieg.h"
#include "FilterVerwaltung.h"
#include "LinienListe.h"
#include "Praesentation.h"
#include "Szene.h"
#include "SzenenRenderer.h"

#include "Dreno.h"
#include "InputSystem.h"
#include "Quelm_Ausnahme.h"
#include "Quelm_Bild.h"
#include "Quelm_BlockGfx3D.h"
#include "Quelm_Font3D.h"
#include "Quelm_Konsole.h"
#include "Quelm_KonsoleStandardAnzeige.h"
#include "Quelm_Protokoll.h"
#include "Quelm_Screen3D.h"
#include "Quelm_System.h"
#include "Quelm_ZeichenKontext.h"
#include "Quelm_Zeitbasis.h"
#include "Quelm_Zeitgeber.h"

#include <algorithm>
#include <cstdlib>
#include <string_view>
#include <system_error>
#include <utility>
#include <vector>

namespace Spiel {

namespace {
std::string_view NachKlammer(std::string_view z) {
  const std::size_t ende = z.find("):");
  if (ende == std::string_view::npos) return z;
  z.remove_prefix(ende + 2);
  z.remove_prefix(std::min(z.find_first_not_of(' '), z.size()));
  return z;
}

// The message of a logged error line, without its time, thread, mark and origin; empty for
// other lines. A loader says why it failed only in the log.
std::string_view FehlerMeldung(std::string_view z) {
  z = NachKlammer(z);  // the line's time and thread
  if (!z.starts_with('!')) return {};
  z = NachKlammer(z);  // "Klasse::Methode(...):"
  const std::size_t anfang = z.find_first_not_of(" \n");
  if (anfang == std::string_view::npos) return {};
  return z.substr(anfang, z.find_last_not_of(" \n") + 1 - anfang);
}

// While it lives, keeps the message of the last error line logged and hands every line on
// to the sink attached before.
class LetzterFehler : public Quelm_KonsoleBasisAnzeige {
 public:
  LetzterFehler() : vorher_(gProtokoll.anzeige) { gProtokoll.anzeige = this; }
  ~LetzterFehler() override { gProtokoll.anzeige = vorher_; }
  void NeueZeile(const char* zeile) override {
    if (const std::string_view m = FehlerMeldung(zeile); !m.empty()) meldung = m;
    if (vorher_) vorher_->NeueZeile(zeile);
  }
  std::string meldung;

 private:
  Quelm_KonsoleBasisAnzeige* vorher_;
};

Quelm_KonsolenVariable& Variable(const char* name) {
  Quelm_KonsolenVariable* v = Quelm_KonsolenVariable::Finde(name);
  if (!v) Quelm_Ausnahme::Wirf(std::string("Variable fehlt: ") + name, "Spiel::Anwendung::Anwendung", __FILE__, __LINE__);
  return *v;
}

// The screen's settings as they were before the start (the file's, else the defaults); put
// back unless the start got through. What the screen chose for a start that failed (a
// window, a size where there was no display) is no choice of the user's, and is not saved.
class BildschirmEinstellungen {
 public:
  BildschirmEinstellungen() {
    for (const char* name : {"fullscreen", "displaywidth", "displayheight"}) {
      Quelm_KonsolenVariable& variable = Variable(name);
      vorher_.emplace_back(&variable, variable.text);
    }
  }
  ~BildschirmEinstellungen() {
    if (gestartet) return;
    for (const auto& [variable, text] : vorher_) variable->SetzeText(text.c_str());
  }
  bool gestartet = false;

 private:
  std::vector<std::pair<Quelm_KonsolenVariable*, std::string>> vorher_;
};
}  // namespace

std::uint64_t Anwendung::ModusFlags(bool vollbild, bool vsync) {
  return (vollbild ? 3u : 2u) + (vsync ? 8u : 0u);
}

Anwendung::Anwendung() {
  BildschirmEinstellungen einstellungen;
  Quelm_Anzeigemodus modus;
  modus.width = static_cast<std::uint64_t>(std::max(Variable("displaywidth").wertInt, 0));
  modus.height = static_cast<std::uint64_t>(std::max(Variable("displayheight").wertInt, 0));
  modus.bits16 = 0;
  if (!Quelm_Screen3D::Init(modus, ModusFlags(Variable("fullscreen").wertBool, Variable("vsync").wertBool)))
    Quelm_Ausnahme::Wirf("Screen initialisation failed.", "Spiel::Anwendung::Anwendung", __FILE__, __LINE__);

  const TZeit zehntel = static_cast<TZeit>(Quelm_TicksProSekundeD * 0.1);
  gZeitgeber.maxSchritt = zehntel > 0 ? zehntel : 0;

  Protokolliere("Creating Input");
  // Set first, so that the start's own lines and a failed start's reason reach the log.
  DRENO::LogCallback = &Anwendung::MeldeEingabe;
  if (!DRENO::Initialize(reinterpret_cast<HWND>(Quelm_Screen3D::nativesFenster))) {
    // The screen is closed again too, so nothing of the window outlives the failed start.
    Quelm_Screen3D::Beenden();
    Quelm_Ausnahme::Wirf("Failed to initialize input system", "Spiel::Anwendung::Anwendung", __FILE__, __LINE__);
  }

  konsolenAnzeige = ErzeugeKonsole(gSystem.programmVerzeichnis / "Daten" / "calibrib.fnt");
  try {
    LadeGuiGrafik();
  } catch (...) {
    // No destructor runs for a half-built application: close what stands.
    Abbauen();
    throw;
  }
  einstellungen.gestartet = true;
}

Quelm_KonsoleStandardAnzeige* Anwendung::ErzeugeKonsole(const std::filesystem::path& schrift) {
  auto* konsole = new Quelm_KonsoleStandardAnzeige(schrift);
  gProtokoll.anzeige = konsole;
  if (konsole->schriftGeladen) return konsole;
  // The tool runs on without it. The font's loader told the console why, in the last error
  // line it holds: the console has only the lines since it was made.
  std::string grund;
  for (auto z = konsole->zeilen.rbegin(); grund.empty() && z != konsole->zeilen.rend(); ++z) grund = FehlerMeldung(*z);
  std::error_code fehler;
  if (!std::filesystem::exists(schrift, fehler) && !fehler)
    grund = "fehlt.";
  else
    grund = "ist nicht ladbar: " + (grund.empty() ? std::string("keine lesbare Schrift.") : grund);
  const std::string text = "Konsolen-Schrift \"" + schrift.string() + "\" " + grund +
                           " Die Konsole zeigt keinen Text und nimmt keine Eingabe.";
  Protokolliere("!%s", text.c_str());
  MeldeAufTerminal(text);
  return konsole;
}

Quelm_BlockGfx3D* Anwendung::guiGrafik = nullptr;
Quelm_Font3D* Anwendung::guiFont = nullptr;
std::function<void(Szene&)> Anwendung::nachBild;

void Anwendung::LadeGuiGrafik() {
  GibGuiGrafikFrei();
  const std::filesystem::path daten = gSystem.programmVerzeichnis / "Daten";
  const std::filesystem::path bildPfad = daten / "grafik.png";
  const auto wirf = [&](const std::string& was) {
    Quelm_Ausnahme::Wirf("Widget-Grafik \"" + bildPfad.string() + "\" " + was, "Spiel::Anwendung::LadeGuiGrafik",
                         __FILE__, __LINE__);
  };
  Quelm_Bild bild;
  std::error_code fehler;
  if (!std::filesystem::exists(bildPfad, fehler) && !fehler) wirf("fehlt.");
  {
    LetzterFehler grund;
    if (!bild.LadeBildAusDatei(bildPfad))
      wirf("ist nicht ladbar: " + (grund.meldung.empty() ? std::string("kein lesbares Bild.") : grund.meldung));
  }
  // Graphic 0 lies at (16, 0) and is 16 by 16: a smaller picture cannot hold it.
  if (bild.breite < 32 || bild.hoehe < 16)
    wirf("ist mit " + std::to_string(bild.breite) + "x" + std::to_string(bild.hoehe) + " kleiner als 32x16.");
  guiGrafik = new Quelm_BlockGfx3D(1024, 1000, 0);
  if (!guiGrafik->AddGrafik(0, &bild, 16, 0, 16, 16) || !guiGrafik->AddGrafik(1, &bild, 0, 0, 15, 15))
    wirf("passt nicht in den Atlas.");
  guiGrafik->AktualisiereMipStufen();

  const std::filesystem::path fontPfad = daten / "calibrib.ttf";
  guiFont = Quelm_Font3D::LadeTrueType(fontPfad);
  if (!guiFont)
    Quelm_Ausnahme::Wirf("Widget-Schrift \"" + fontPfad.string() + "\" fehlt oder ist nicht lesbar.",
                         "Spiel::Anwendung::LadeGuiGrafik", __FILE__, __LINE__);
  guiFont->autoZeichnen = 0;
}

void Anwendung::GibGuiGrafikFrei() {
  delete guiFont;
  delete guiGrafik;
  guiFont = nullptr;
  guiGrafik = nullptr;
}

Anwendung::~Anwendung() { Abbauen(); }

void Anwendung::Abbauen() {
  GibGuiGrafikFrei();
  if (konsolenAnzeige) {
    gProtokoll.anzeige = nullptr;
    delete konsolenAnzeige;
    konsolenAnzeige = nullptr;
  }
  DRENO::Shutdown();
  Quelm_Screen3D::Beenden();
  // The core (a member) is destroyed after this body: it drains and joins its threads.
}

void Anwendung::MeldeEingabe(const char* text) { Protokolliere("Input says: %s", text); }

void Anwendung::BeendeJobRunde() { kern.hauptInfos.front().stop.store(true); }

void Anwendung::JobRunde() {
  Quelm_ParallelKern::NeueFaser(1, [this] { BeendeJobRunde(); });
  kern.ArbeiterSchleife(kern.hauptInfos.front());
  kern.hauptInfos.front().stop.store(false);
}

void Anwendung::SchalteKonsoleUm(Quelm_KonsoleStandardAnzeige& konsole, DRENO::InputSystem* eingabe,
                                 DRENO::InputHandler* seite) {
  if (konsole.eingabeAktiv) {
    konsole.sichtbar = konsole.eingabeAktiv = 0;
    if (eingabe) eingabe->SetInputHandler(seite);
    return;
  }
  konsole.sichtbar = konsole.eingabeAktiv = 1;
  if (eingabe) eingabe->SetInputHandler(&konsole);
}

void Anwendung::ZeichneHilfslinien(LinienListe& linien, Bearbeitung& bearbeitung, float breite, float hoehe) {
  const float grau[4] = {2.0f / 3, 2.0f / 3, 2.0f / 3, 2.0f / 3};
  const float weiss[4] = {1, 1, 1, 1};
  linien.FuegeGitterHinzu({-100, 0, -100}, {0, 0, 200}, {10, 0, 0}, grau);
  linien.FuegeGitterHinzu({-100, 0, -100}, {200, 0, 0}, {0, 0, 10}, grau);
  for (std::size_t stelle : bearbeitung.auswahl) {
    const Vektor3& v = bearbeitung.Ecke(stelle);
    linien.FuegeQuaderHinzu(v - Vektor3{1.5f, 1.5f, 1.5f}, {3, 3, 3}, weiss);
  }
  linien.Zeichne(bearbeitung.kamera.Sicht(), Kamera::Projektion(breite, hoehe));
}

void Anwendung::Ausfuehren() {
  Szene szene;
  const auto saat = static_cast<std::uint32_t>(Quelm_Zaehlerstand() & 0xFFFFFFFFu);
  std::srand(saat);
  szene.farbZufall = Zufall(saat);
  szene.dreiecke.push_back({{{-10, 0, 10}, {0, 0, -10}, {10, 0, 10}}});
  szene.BaueNetz();
  Buttons buttons;
  if (DRENO::InputSystem* eingabe = DRENO::GetInstance()) eingabe->SetInputHandler(&buttons);
  // Nothing may reach the page once it is gone.
  struct Abmelden {
    Buttons* seite;
    ~Abmelden() {
      if (DRENO::InputSystem* eingabe = DRENO::GetInstance(); eingabe && eingabe->GetInputHandler() == seite)
        eingabe->SetInputHandler(nullptr);
    }
  } abmelden{&buttons};
  Bearbeitung bearbeitung(szene);
  bearbeitung.konsoleOffen = [this] { return konsolenAnzeige && konsolenAnzeige->eingabeAktiv; };
  SzenenRenderer renderer;
  // The scene renderer's depth buffer does not exist yet: the lines draw over the image.
  LinienListe linien(65536, 0x380000, renderer.tiefe);
  FilterSatz filterSatz;
  const FilterEffekt* pause = renderer.filterVerwaltung.FindeEffekt("pause");
  if (pause)
    filterSatz.AddFilter(pause, 0);
  else
    Protokolliere("!Filtereffekt \"pause\" fehlt (Datei \"%s\"): das Bild wird ungefiltert gezeigt.",
                  (gSystem.programmVerzeichnis / "Daten" / "filter.pause.xml").string().c_str());
  FilterVerwaltung::BerechneFilterkette(filterSatz);

  while (!gSystem.beenden) {
    DRENO::InputSystem* eingabe = DRENO::GetInstance();
    if (eingabe) eingabe->Update();
    if (gSystem.proBild) gSystem.proBild();
    gZeitgeber.Aktualisiere();
    gProtokoll.LeereProtokollWarteschlange();
    JobRunde();
    szene.StarteGenerierung();

    const float dt = static_cast<float>(gZeitgeber.schritt) * Quelm_SekundenProTick;
    const EingabeStand stand = EingabeStand::Lies(eingabe);
    const float breite = static_cast<float>(Quelm_Screen3D::modus.width);
    const float hoehe = static_cast<float>(Quelm_Screen3D::modus.height);
    bearbeitung.Schritt(stand, dt, Quelm_Zaehlerstand(), breite, hoehe);
    bearbeitung.kamera.Glaette(dt);
    renderer.Zeichne(szene, bearbeitung.kamera.ziel, bearbeitung.kamera.distanz, bearbeitung.kamera.neigung,
                     filterSatz, bearbeitung.anzeige);
    ZeichneHilfslinien(linien, bearbeitung, breite, hoehe);
    buttons.Zeichne();
    if (konsolenAnzeige) konsolenAnzeige->Zeichne();
    // After drawing, before the present: the picture shows the frame about to appear.
    if (stand.losgelassen[kTasteF10]) SpeichereBildschirmfoto();
    if (konsolenAnzeige && stand.losgelassen[kTasteF11]) SchalteKonsoleUm(*konsolenAnzeige, eingabe, &buttons);
    BeendeBild(*Quelm_Screen3D::zeichenKontext);
    if (nachBild) nachBild(szene);
  }
  // The editing state goes before the scene; a landscape job still in flight is dropped
  // with the core's main-thread queue.
}

}  // namespace Spiel
