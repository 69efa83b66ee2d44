#include "Einstieg.h"

#include "Basisdienste.h"
#include "Quelm_Ausnahme.h"
#include "Quelm_Konfig.h"
#include "Quelm_Protokoll.h"
#include "Quelm_System.h"
#include "Uebersetzungsspeicher.h"
#include "fenster/Fenster.h"

#include <unistd.h>

#include <cstdio>
#include <exception>
#include <string>

namespace Spiel {

namespace {
// Saves "tool.cfg"; a failed save is said on the terminal. Whether the settings survived.
bool SpeichereEinstellungen() {
  if (Quelm_Konfig::Speichere() || Quelm_Konfig::SpeicherFehler().empty()) return true;
  MeldeAufTerminal(Quelm_Konfig::SpeicherFehler());
  return false;
}

// The X server is gone (it ended, or the connection was killed): no window and no device
// can be closed any more, and every X call would end up here again.
void VerbindungVerloren() {
  const char* text = "Verbindung zum X-Server verloren.";
  Protokolliere("!%s", text);
  MeldeAufTerminal(text);
  SpeichereEinstellungen();
  _exit(1);
}
}  // namespace

void MeldeAufTerminal(const std::string& text) {
  if (gProtokoll.dateiPfad.empty())
    std::fprintf(stderr, "ToolVelmar: %s\n", text.c_str());
  else
    std::fprintf(stderr, "ToolVelmar: %s\nToolVelmar: Protokoll: %s\n", text.c_str(),
                 gProtokoll.dateiPfad.string().c_str());
}

int ProgrammEinstieg(const std::function<void()>& anwendung) {
  Plattform::FangeBeendenSignale(gSystem.beenden);
  Plattform::Fenster::BeiVerbindungsverlust(&VerbindungVerloren);
  Plattform::BehalteFreigegebenenSpeicher();
  gProtokoll.Aktiviere(gSystem.benutzerVerzeichnis);
  if (!gSystem.ordnerFehler.empty()) {
    Protokolliere("%s", gSystem.ordnerFehler.c_str());
    MeldeAufTerminal(gSystem.ordnerFehler.substr(1));
  }
  Quelm_Konfig::Lade(gSystem.benutzerVerzeichnis, "tool.cfg");
  // Shader translations are kept between starts in the user's cache folder.
  if (const auto zwischenspeicher = Plattform::ZwischenspeicherVerzeichnis())
    Plattform::D3dx::SetzeUebersetzungsspeicher(*zwischenspeicher / Quelm_AnwendungsName / "shader");
  int ergebnis = 0;
  try {
    anwendung();
  } catch (const Quelm_Ausnahme& ausnahme) {
    Protokolliere("Exception thrown: %s (%d) - %s(): %s", ausnahme.datei.c_str(), static_cast<int>(ausnahme.zeile),
                  ausnahme.funktion.c_str(), ausnahme.text.c_str());
    MeldeAufTerminal(ausnahme.text);
    ergebnis = -1;
  } catch (const std::exception& ausnahme) {
    // Anything else that escapes still leaves the settings saved.
    Protokolliere("!Exception thrown: %s", ausnahme.what());
    MeldeAufTerminal(ausnahme.what());
    ergebnis = -1;
  }
  // A lost save is a failed run: the user's settings did not survive it.
  if (!SpeichereEinstellungen() && ergebnis == 0) ergebnis = 1;
  return ergebnis;
}

}  // namespace Spiel
