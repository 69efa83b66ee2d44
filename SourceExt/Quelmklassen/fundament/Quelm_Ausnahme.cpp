#include "Quelm_Ausnahme.h"

#include "Quelm_Protokolliere.h"

Quelm_Ausnahme::Quelm_Ausnahme(const std::string& text, const std::string& funktion,
                               const std::string& datei, std::int64_t zeile)
    : text(text), funktion(funktion), datei(datei), zeile(zeile) {}

void Quelm_Ausnahme::Wirf(const std::string& text, const std::string& funktion,
                          const std::string& datei, std::int64_t zeile) {
  throw Quelm_Ausnahme(text, funktion, datei, zeile);
}

void MeldeAusnahme(const std::string& text, const std::string& funktion, const std::string& datei,
                   std::int64_t zeile) {
  Protokolliere("!Ausnahme \"%s\" aufgetreten in Funktion %s (%s:%d).", text.c_str(), funktion.c_str(),
                datei.c_str(), static_cast<int>(zeile));
}
