#include "Quelm_Konfig.h"

#include "Basisdienste.h"
#include "Quelm_InitReihenfolge.h"
#include "Quelm_Konsole.h"
#include "Quelm_Protokoll.h"

#include <tinyxml.h>

#include <cstdio>
#include <system_error>
#include <unistd.h>

namespace {
// Built with the variable registry's slot, so it is destroyed together with it.
QUELM_INIT(QUELM_SLOT_VARIABLENREGISTER) std::filesystem::path konfigPfad;

struct Datei {
  std::FILE* f;
  ~Datei() {
    if (f) std::fclose(f);
  }
};
}  // namespace

namespace Quelm_Konfig {

const std::filesystem::path& Pfad() { return konfigPfad; }

void Lade(const std::filesystem::path& ordner, const std::string& dateiName) {
  konfigPfad = ordner / dateiName;
  Datei datei{Plattform::OeffneDatei(konfigPfad, "rb")};
  TiXmlDocument dokument;
  if (!datei.f || !dokument.LoadFile(datei.f)) {
    Protokolliere("?Keine Konfig-Datei gefunden, benutze Standardwerte.");
    return;
  }
  TiXmlElement* wurzel = dokument.FirstChildElement();
  if (!wurzel || !wurzel->FirstChildElement("var")) {
    Protokolliere("?Konfig-Datei fehlerhaft, benutze Standardwerte.");
    return;
  }
  for (TiXmlElement* var = wurzel->FirstChildElement("var"); var; var = var->NextSiblingElement("var")) {
    const char* name = var->Attribute("name");
    if (!name) continue;
    Quelm_KonsolenVariable* variable = Quelm_KonsolenVariable::Finde(name);
    if (!variable) continue;
    const char* wert = var->Attribute("wert");
    if (!wert) continue;
    variable->SetzeText(wert);
  }
}

bool Speichere() {
  if (konfigPfad.empty()) return false;
  TiXmlDocument dokument;
  dokument.LinkEndChild(new TiXmlDeclaration("1.0", "", ""));
  auto* wurzel = new TiXmlElement("config");
  dokument.LinkEndChild(wurzel);
  if (const auto* alle = Quelm_KonsolenVariable::Alle()) {
    for (const auto& [name, variable] : *alle) {
      if (!(variable->flags & Quelm_KonsolenVariable::Dauerhaft)) continue;
      auto* var = new TiXmlElement("var");
      var->SetAttribute("name", name.c_str());
      var->SetAttribute("wert", variable->text.c_str());
      wurzel->LinkEndChild(var);
    }
  }
  // Written beside the old file and renamed over it, so a crash during the save keeps the
  // previous settings.
  std::filesystem::path neu = konfigPfad;
  neu += ".neu";
  std::FILE* f = Plattform::OeffneDatei(neu, "wb");
  if (!f) return false;
  bool gut = dokument.SaveFile(f);
  gut = std::fflush(f) == 0 && gut;
  gut = fsync(fileno(f)) == 0 && gut;
  gut = std::fclose(f) == 0 && gut;
  std::error_code fehler;
  if (gut) std::filesystem::rename(neu, konfigPfad, fehler);
  if (!gut || fehler) {
    std::filesystem::remove(neu, fehler);
    return false;
  }
  return true;
}

}  // namespace Quelm_Konfig
