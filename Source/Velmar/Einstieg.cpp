#include "Einstieg.h"

#include "Quelm_Ausnahme.h"
#include "Quelm_Konfig.h"
#include "Quelm_Protokoll.h"
#include "Quelm_System.h"

#include <exception>

namespace Spiel {

int ProgrammEinstieg(const std::function<void()>& anwendung) {
  gProtokoll.Aktiviere(gSystem.benutzerVerzeichnis);
  Quelm_Konfig::Lade(gSystem.benutzerVerzeichnis, "tool.cfg");
  int ergebnis = 0;
  try {
    anwendung();
  } catch (const Quelm_Ausnahme& ausnahme) {
    Protokolliere("Exception thrown: %s (%d) - %s(): %s", ausnahme.datei.c_str(), static_cast<int>(ausnahme.zeile),
                  ausnahme.funktion.c_str(), ausnahme.text.c_str());
    ergebnis = -1;
  } catch (const std::exception& ausnahme) {
    // Anything else that escapes still leaves the settings saved.
    Protokolliere("!Exception thrown: %s", ausnahme.what());
    ergebnis = -1;
  }
  Quelm_Konfig::Speichere();
  return ergebnis;
}

}  // namespace Spiel
