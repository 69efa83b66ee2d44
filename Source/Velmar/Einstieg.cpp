#include "Einstieg.h"

#include "Basisdienste.h"
#include "Quelm_Ausnahme.h"
#include "Quelm_Konfig.h"
#include "Quelm_Protokoll.h"
#include "Quelm_System.h"
#include "Uebersetzungsspeicher.h"

#include <cstdio>
#include <exception>
#include <string>

namespace Spiel {

void MeldeAufTerminal(const std::string& text) {
  if (gProtokoll.dateiPfad.empty())
    std::fprintf(stderr, "ToolVelmar: %s\n", text.c_str());
  else
    std::fprintf(stderr, "ToolVelmar: %s\nToolVelmar: Protokoll: %s\n", text.c_str(),
                 gProtokoll.dateiPfad.string().c_str());
}

int ProgrammEinstieg(const std::function<void()>& anwendung) {
  Plattform::FangeBeendenSignale(gSystem.beenden);
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
  if (!Quelm_Konfig::Speichere() && !Quelm_Konfig::SpeicherFehler().empty()) {
    MeldeAufTerminal(Quelm_Konfig::SpeicherFehler());
    if (ergebnis == 0) ergebnis = 1;
  }
  return ergebnis;
}

}  // namespace Spiel
