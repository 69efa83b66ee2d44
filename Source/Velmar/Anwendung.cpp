#include "Anwendung.h"

#include "Bearbeitung.h"
#include "Praesentation.h"
#include "Szene.h"

#include "Dreno.h"
#include "InputSystem.h"
#include "Quelm_Ausnahme.h"
#include "Quelm_Konsole.h"
#include "Quelm_Protokoll.h"
#include "Quelm_Screen3D.h"
#include "Quelm_System.h"
#include "Quelm_ZeichenKontext.h"
#include "Quelm_Zeitbasis.h"
#include "Quelm_Zeitgeber.h"

#include <algorithm>
#include <cstdlib>

namespace Spiel {

namespace {
const Quelm_KonsolenVariable& Variable(const char* name) {
  const Quelm_KonsolenVariable* v = Quelm_KonsolenVariable::Finde(name);
  if (!v) Quelm_Ausnahme::Wirf(std::string("Variable fehlt: ") + name, "Spiel::Anwendung::Anwendung", __FILE__, __LINE__);
  return *v;
}
}  // namespace

std::uint64_t Anwendung::ModusFlags(bool vollbild, bool vsync) {
  return (vollbild ? 3u : 2u) + (vsync ? 8u : 0u);
}

Anwendung::Anwendung() {
  Quelm_Anzeigemodus modus;
  modus.width = static_cast<std::uint64_t>(std::max(Variable("displaywidth").wertInt, 0));
  modus.height = static_cast<std::uint64_t>(std::max(Variable("displayheight").wertInt, 0));
  modus.bits16 = 0;
  if (!Quelm_Screen3D::Init(modus, ModusFlags(Variable("fullscreen").wertBool, Variable("vsync").wertBool)))
    Quelm_Ausnahme::Wirf("Screen initialisation failed.", "Spiel::Anwendung::Anwendung", __FILE__, __LINE__);

  const TZeit zehntel = static_cast<TZeit>(Quelm_TicksProSekundeD * 0.1);
  gZeitgeber.maxSchritt = zehntel > 0 ? zehntel : 0;

  Protokolliere("Creating Input");
  if (!DRENO::Initialize(reinterpret_cast<HWND>(Quelm_Screen3D::nativesFenster))) {
    // The screen is closed again too, so nothing of the window outlives the failed start.
    Quelm_Screen3D::Beenden();
    Quelm_Ausnahme::Wirf("Failed to initialize input system", "Spiel::Anwendung::Anwendung", __FILE__, __LINE__);
  }
  DRENO::LogCallback = &Anwendung::MeldeEingabe;

  // Console display and widget graphics: added with the console overlay and the widgets.
}

Anwendung::~Anwendung() {
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

void Anwendung::Ausfuehren() {
  Szene szene;
  const auto saat = static_cast<std::uint32_t>(Quelm_Zaehlerstand() & 0xFFFFFFFFu);
  std::srand(saat);
  szene.farbZufall = Zufall(saat);
  szene.dreiecke.push_back({{{-10, 0, 10}, {0, 0, -10}, {10, 0, 10}}});
  szene.BaueNetz();
  // Widget page, scene renderer, line list and filter set: built here by their parts.
  Bearbeitung bearbeitung(szene);

  while (!gSystem.beenden) {
    DRENO::InputSystem* eingabe = DRENO::GetInstance();
    if (eingabe) eingabe->Update();
    if (gSystem.proBild) gSystem.proBild();
    gZeitgeber.Aktualisiere();
    gProtokoll.LeereProtokollWarteschlange();
    JobRunde();
    szene.StarteGenerierung();

    const float dt = static_cast<float>(gZeitgeber.schritt) * Quelm_SekundenProTick;
    bearbeitung.Schritt(EingabeStand::Lies(eingabe), dt, Quelm_Zaehlerstand(),
                        static_cast<float>(Quelm_Screen3D::modus.width), static_cast<float>(Quelm_Screen3D::modus.height));
    bearbeitung.kamera.Glaette(dt);
    // Scene, debug lines, widgets, console display, screenshot and console keys: each
    // joins the frame here with its part.
    Praesentiere(Quelm_Screen3D::zeichenKontext->impl);
    Quelm_Screen3D::zeichenKontext->SetzeZaehlerZurueck();
  }
  // The editing state goes before the scene; a landscape job still in flight is dropped
  // with the core's main-thread queue.
}

}  // namespace Spiel
