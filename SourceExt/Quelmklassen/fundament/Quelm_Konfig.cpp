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
#include <fcntl.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace {
// Built with the variable registry's slot, so it is destroyed together with it.
QUELM_INIT(QUELM_SLOT_VARIABLENREGISTER) std::filesystem::path konfigPfad;
QUELM_INIT(QUELM_SLOT_VARIABLENREGISTER) std::string speicherFehler;

// The file holds two levels; deeper elements are ignored, but a file nested this deep is
// no configuration and would exhaust the parser's stack.
constexpr std::size_t kMaxTiefe = 64;
// Links followed from the configuration path before it counts as a loop.
constexpr int kMaxVerknuepfungen = 40;

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

// A link (or a chain of them) is followed to the file it names, so the save replaces that
// file and the link stays. A target that is not there yet is fine: the save creates it.
bool FolgeVerknuepfungen(std::filesystem::path& pfad, int& nummer) {
  for (int i = 0; i < kMaxVerknuepfungen; ++i) {
    std::error_code fehler;
    if (!std::filesystem::is_symlink(std::filesystem::symlink_status(pfad, fehler))) return true;
    const std::filesystem::path ziel = std::filesystem::read_symlink(pfad, fehler);
    if (fehler) {
      nummer = fehler.value();
      return false;
    }
    pfad = pfad.parent_path() / ziel;  // a relative target counts from the link's folder
  }
  nummer = ELOOP;
  return false;
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
  std::filesystem::path ziel = konfigPfad;
  int nummer = 0;
  if (!FolgeVerknuepfungen(ziel, nummer)) return MeldeSpeicherFehler("Verknüpfung nicht auflösbar", nummer);
  // A file its owner made read-only stays as it is. Root may write anything, so for root
  // only a file without any write bit counts as read-only.
  struct stat alt {};
  const bool da = stat(ziel.c_str(), &alt) == 0;
  if (da) {
    const bool root = geteuid() == 0;
    if (root ? (alt.st_mode & 0222) == 0 : faccessat(AT_FDCWD, ziel.c_str(), W_OK, AT_EACCESS) != 0)
      return MeldeSpeicherFehler("schreibgeschützt", root ? EACCES : errno);
  }
  // Written beside the old file and renamed over it, so a crash during the save keeps the
  // previous settings. The name is the process's own: two instances ending at once must not
  // write into one file.
  const std::filesystem::path neu = MitEndung(ziel, ".neu." + std::to_string(getpid()));
  std::FILE* f = Plattform::OeffneDatei(neu, "wb");
  if (!f) return MeldeSpeicherFehler("\"" + neu.filename().string() + "\" nicht anlegbar", errno);
  // The old file's mode before any setting is written: a private file stays private.
  bool gut = !da || fchmod(fileno(f), alt.st_mode & 07777) == 0;
  gut = gut && dokument.SaveFile(f);
  gut = std::fflush(f) == 0 && gut;
  gut = fsync(fileno(f)) == 0 && gut;
  nummer = errno;
  if (std::fclose(f) != 0 && gut) {
    gut = false;
    nummer = errno;
  }
  std::error_code fehler;
  if (gut) std::filesystem::rename(neu, ziel, fehler);
  if (!gut || fehler) {
    std::error_code egal;
    std::filesystem::remove(neu, egal);
    if (gut) return MeldeSpeicherFehler("Umbenennen", fehler.value());
    return MeldeSpeicherFehler("Schreiben", nummer ? nummer : EIO);
  }
  return true;
}

}  // namespace Quelm_Konfig
