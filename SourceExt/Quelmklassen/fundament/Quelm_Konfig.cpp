#include "Quelm_Konfig.h"

#include "Basisdienste.h"
#include "Quelm_InitReihenfolge.h"
#include "Quelm_Konsole.h"
#include "Quelm_Protokolliere.h"
#include "Quelm_XmlText.h"

#include <tinyxml.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <system_error>
#include <unistd.h>

namespace {
// Built with the variable registry's slot, so it is destroyed together with it.
QUELM_INIT(QUELM_SLOT_VARIABLENREGISTER) std::filesystem::path konfigPfad;
QUELM_INIT(QUELM_SLOT_VARIABLENREGISTER) std::string speicherFehler;

// The file holds two levels; deeper elements are ignored, but a file nested this deep is
// no configuration and would exhaust the parser's stack.
constexpr std::size_t kMaxTiefe = 64;

struct Datei {
  std::FILE* f;
  ~Datei() {
    if (f) std::fclose(f);
  }
};

std::filesystem::path MitEndung(const std::filesystem::path& pfad, const std::string& endung) {
  std::filesystem::path p = pfad;
  p += endung;
  return p;
}

// A file that is there but unusable holds the user's settings: it is kept beside the new
// one, which the next save writes with the defaults.
void BewahreAuf(const std::string& schaden) {
  const std::filesystem::path kopie = MitEndung(konfigPfad, ".defekt");
  std::error_code fehler;
  std::filesystem::copy_file(konfigPfad, kopie, std::filesystem::copy_options::overwrite_existing, fehler);
  if (fehler)
    Protokolliere("!Konfig-Datei \"%s\" ist beschädigt (%s) und konnte nicht als \"%s\" aufbewahrt werden: %s.",
                  konfigPfad.string().c_str(), schaden.c_str(), kopie.filename().string().c_str(),
                  fehler.message().c_str());
  else
    Protokolliere("?Konfig-Datei \"%s\" ist beschädigt (%s), aufbewahrt als \"%s\".", konfigPfad.string().c_str(),
                  schaden.c_str(), kopie.filename().string().c_str());
}

bool MeldeSpeicherFehler(const std::string& was, int nummer) {
  speicherFehler = "Konfig-Datei \"" + konfigPfad.string() + "\" konnte nicht gespeichert werden: " + was + ": " +
                   std::strerror(nummer);
  Protokolliere("!%s.", speicherFehler.c_str());
  return false;
}
}  // namespace

namespace Quelm_Konfig {

const std::filesystem::path& Pfad() { return konfigPfad; }
const std::string& SpeicherFehler() { return speicherFehler; }

void Lade(const std::filesystem::path& ordner, const std::string& dateiName) {
  konfigPfad = ordner / dateiName;
  Datei datei{Plattform::OeffneDatei(konfigPfad, "rb")};
  const int oeffnenFehler = errno;
  TiXmlDocument dokument;
  std::string roh;
  std::string schaden;
  if (datei.f && !Quelm_XmlText::LiesGanz(datei.f, roh)) {
    schaden = std::string("nicht lesbar: ") + std::strerror(errno);
  } else if (datei.f) {
    switch (Quelm_XmlText::Parse(roh, dokument, kMaxTiefe)) {
      case Quelm_XmlText::Gelesen: break;
      case Quelm_XmlText::ZuTief: schaden = "zu tief verschachtelt"; break;
      case Quelm_XmlText::Fehlerhaft:
        schaden = std::string(dokument.ErrorDesc()) + " in Zeile " + std::to_string(dokument.ErrorRow()) +
                  ", Spalte " + std::to_string(dokument.ErrorCol());
        break;
    }
  }
  if (!datei.f || !schaden.empty()) {
    Protokolliere("?Keine Konfig-Datei gefunden, benutze Standardwerte.");
    if (!schaden.empty()) BewahreAuf(schaden);
    else if (oeffnenFehler != ENOENT)
      Protokolliere("?Konfig-Datei \"%s\" kann nicht geöffnet werden: %s.", konfigPfad.string().c_str(),
                    std::strerror(oeffnenFehler));
    return;
  }
  TiXmlElement* wurzel = dokument.FirstChildElement();
  if (!wurzel || !wurzel->FirstChildElement("var")) {
    Protokolliere("?Konfig-Datei fehlerhaft, benutze Standardwerte.");
    BewahreAuf(wurzel ? "kein Element \"var\"" : "kein Element");
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
  speicherFehler.clear();
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
  // previous settings. The name is the process's own: two instances ending at once must not
  // write into one file.
  const std::filesystem::path neu = MitEndung(konfigPfad, ".neu." + std::to_string(getpid()));
  std::FILE* f = Plattform::OeffneDatei(neu, "wb");
  if (!f) return MeldeSpeicherFehler("\"" + neu.filename().string() + "\" nicht anlegbar", errno);
  bool gut = dokument.SaveFile(f);
  gut = std::fflush(f) == 0 && gut;
  gut = fsync(fileno(f)) == 0 && gut;
  int nummer = errno;
  if (std::fclose(f) != 0 && gut) {
    gut = false;
    nummer = errno;
  }
  std::error_code fehler;
  if (gut) std::filesystem::rename(neu, konfigPfad, fehler);
  if (!gut || fehler) {
    std::error_code egal;
    std::filesystem::remove(neu, egal);
    if (gut) return MeldeSpeicherFehler("Umbenennen", fehler.value());
    return MeldeSpeicherFehler("Schreiben", nummer ? nummer : EIO);
  }
  return true;
}

}  // namespace Quelm_Konfig
