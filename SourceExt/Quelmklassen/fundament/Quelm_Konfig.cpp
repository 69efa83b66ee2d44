#include "Quelm_Konfig.h"

#include "Quelm_InitReihenfolge.h"
#include "Quelm_Konsole.h"
#include "Quelm_Protokolliere.h"
#include "Quelm_XmlText.h"

#include <tinyxml.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <string_view>
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
constexpr std::string_view kNeuPraefix = "tool.cfg.neu.";

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
// As many links are followed as the system follows when it opens the path.
bool FolgeVerknuepfungen(std::filesystem::path& pfad, int& nummer) {
  for (int i = 0;; ++i) {
    std::error_code fehler;
    if (!std::filesystem::is_symlink(std::filesystem::symlink_status(pfad, fehler))) return true;
    if (i == kMaxVerknuepfungen) break;
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

// The save's own file beside its target. The process id in it keeps two instances ending at
// once apart; the name does not grow with the target's, so it fits wherever the target does.
std::filesystem::path NeueDatei(const std::filesystem::path& ziel, pid_t prozess) {
  return ziel.parent_path() / (std::string(kNeuPraefix) + std::to_string(prozess));
}

// A second signal ends the tool at once, also during a save, whose file then stays behind:
// the next start removes those of processes that are gone.
void RaeumeAbgebrocheneAuf() {
  std::filesystem::path ziel = konfigPfad;
  int nummer = 0;
  if (!FolgeVerknuepfungen(ziel, nummer)) return;
  std::error_code fehler;
  const std::filesystem::path ordner = ziel.parent_path().empty() ? "." : ziel.parent_path();
  for (std::filesystem::directory_iterator it(ordner, fehler), ende; !fehler && it != ende; it.increment(fehler)) {
    const std::string name = it->path().filename().string();
    const std::string zahl = name.substr(0, kNeuPraefix.size()) == kNeuPraefix ? name.substr(kNeuPraefix.size()) : "";
    if (zahl.empty() || zahl.size() > 9 || zahl.find_first_not_of("0123456789") != std::string::npos) continue;
    const pid_t prozess = std::stoi(zahl);
    if (prozess == getpid() || (kill(prozess, 0) != 0 && errno == ESRCH)) unlink(it->path().c_str());
  }
}

// Opens the settings for reading. Without waiting: a FIFO nobody writes would hold the start
// for good. Only a regular file holds settings; a device is no damage to keep a copy of.
// Null with the reason, which is empty when there is no file.
std::FILE* OeffneEinstellungen(std::string& grund) {
  const int fd = open(konfigPfad.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) {
    if (errno != ENOENT && errno != ENOTDIR) grund = std::strerror(errno);
    return nullptr;
  }
  struct stat art {};
  std::FILE* f = nullptr;
  if (fstat(fd, &art) != 0) grund = std::strerror(errno);
  else if (!S_ISREG(art.st_mode))
    grund = std::string("keine gewöhnliche Datei, sondern ") +
            (S_ISDIR(art.st_mode) ? "ein Ordner" : S_ISFIFO(art.st_mode) ? "eine FIFO" : "ein Gerät");
  else if (!(f = fdopen(fd, "rb"))) grund = std::strerror(errno);
  if (!f) close(fd);
  return f;
}

bool MeldeSpeicherFehler(const std::string& was, int nummer) {
  speicherFehler = "Konfig-Datei \"" + konfigPfad.string() + "\" konnte nicht gespeichert werden: " + was + ": " +
                   std::strerror(nummer);
  Protokolliere("!%s.", speicherFehler.c_str());
  return false;
}

// The document as it goes into the file.
bool Drucke(const TiXmlDocument& dokument, std::string& text) {
  char* puffer = nullptr;
  std::size_t groesse = 0;
  std::FILE* f = open_memstream(&puffer, &groesse);
  if (!f) return false;
  const bool gut = dokument.SaveFile(f);
  const bool zu = std::fclose(f) == 0;
  if (gut && zu) text.assign(puffer, groesse);
  std::free(puffer);
  return gut && zu;
}

// 0, or why not all was written.
int SchreibeAlles(int fd, const std::string& text) {
  for (std::size_t n = 0; n < text.size();) {
    const ssize_t k = write(fd, text.data() + n, text.size() - n);
    if (k < 0 && errno == EINTR) continue;
    if (k <= 0) return k < 0 ? errno : EIO;
    n += static_cast<std::size_t>(k);
  }
  return 0;
}

// Writes into the target as it is: a device or FIFO (a link to "/dev/null" throws the
// settings away), or a file whose owner a new one could not keep. Without waiting: a FIFO
// nobody reads, or a device that would block, is a failed save.
bool SchreibeHinein(const std::filesystem::path& ziel, const std::string& text) {
  const int fd = open(ziel.c_str(), O_WRONLY | O_NONBLOCK | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return MeldeSpeicherFehler("Öffnen", errno);
  struct stat art {};
  const bool datei = fstat(fd, &art) == 0 && S_ISREG(art.st_mode);
  int nummer = SchreibeAlles(fd, text);
  // A file keeps only the new settings, not the rest of longer old ones.
  if (!nummer && datei && (ftruncate(fd, static_cast<off_t>(text.size())) != 0 || fsync(fd) != 0)) nummer = errno;
  if (close(fd) != 0 && !nummer) nummer = errno;
  return nummer ? MeldeSpeicherFehler("Schreiben", nummer) : true;
}

// Writes a new file beside the old one (`alt`, null when there is none) and renames it over
// it, so a crash during the save keeps the previous settings. Gives up with `anOrt` when the
// old file's owner and group cannot be given to the new one.
bool ErsetzeDatei(const std::filesystem::path& ziel, const std::string& text, const struct stat* alt, bool& anOrt) {
  // Made new only, never through a link or into a file placed at the name. One there already
  // was left by a process gone that had this id, or placed: it goes. Private until the old
  // file's mode is set.
  const std::filesystem::path neu = NeueDatei(ziel, getpid());
  const auto anlegen = [&] {
    return open(neu.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, alt ? 0600 : 0666);
  };
  int fd = anlegen();
  if (fd < 0 && errno == EEXIST && unlink(neu.c_str()) == 0) fd = anlegen();
  if (fd < 0) return MeldeSpeicherFehler("\"" + neu.filename().string() + "\" nicht anlegbar", errno);
  struct stat jetzt {};
  int nummer = alt && fstat(fd, &jetzt) != 0 ? errno : 0;
  if (!nummer && alt && (jetzt.st_uid != alt->st_uid || jetzt.st_gid != alt->st_gid) &&
      fchown(fd, alt->st_uid, alt->st_gid) != 0) {
    close(fd);
    unlink(neu.c_str());
    anOrt = true;
    return false;
  }
  if (!nummer) nummer = SchreibeAlles(fd, text);
  // The mode after the settings: a write by anyone but root clears setuid and setgid.
  if (!nummer && alt && fchmod(fd, alt->st_mode & 07777) != 0) nummer = errno;
  if (!nummer && fsync(fd) != 0) nummer = errno;
  if (close(fd) != 0 && !nummer) nummer = errno;
  const char* was = "Schreiben";
  if (!nummer && rename(neu.c_str(), ziel.c_str()) != 0) {
    nummer = errno;
    was = "Umbenennen";
  }
  if (!nummer) return true;
  unlink(neu.c_str());
  return MeldeSpeicherFehler(was, nummer);
}
}  // namespace

namespace Quelm_Konfig {

const std::filesystem::path& Pfad() { return konfigPfad; }
const std::string& SpeicherFehler() { return speicherFehler; }

void Lade(const std::filesystem::path& ordner, const std::string& dateiName) {
  konfigPfad = ordner / dateiName;
  RaeumeAbgebrocheneAuf();
  std::string grund;
  Datei datei{OeffneEinstellungen(grund)};
  if (!datei.f) {
    if (grund.empty()) Protokolliere("?Keine Konfig-Datei gefunden, benutze Standardwerte.");
    else
      Protokolliere("?Konfig-Datei \"%s\" ist da, kann aber nicht gelesen werden: %s; benutze Standardwerte.",
                    konfigPfad.string().c_str(), grund.c_str());
    return;
  }
  TiXmlDocument dokument;
  std::string roh;
  std::string schaden;
  if (!Quelm_XmlText::LiesGanz(datei.f, roh)) {
    schaden = std::string("nicht lesbar: ") + std::strerror(errno);
  } else {
    switch (Quelm_XmlText::Parse(roh, dokument, kMaxTiefe)) {
      case Quelm_XmlText::Gelesen: break;
      case Quelm_XmlText::ZuTief: schaden = "zu tief verschachtelt"; break;
      case Quelm_XmlText::Fehlerhaft:
        schaden = std::string(dokument.ErrorDesc()) + " in Zeile " + std::to_string(dokument.ErrorRow()) +
                  ", Spalte " + std::to_string(dokument.ErrorCol());
        break;
    }
  }
  if (!schaden.empty()) {
    Protokolliere("?Keine Konfig-Datei gefunden, benutze Standardwerte.");
    BewahreAuf(schaden);
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
  std::string text;
  if (!Drucke(dokument, text)) return MeldeSpeicherFehler("Schreiben", ENOMEM);
  std::filesystem::path ziel = konfigPfad;
  int nummer = 0;
  if (!FolgeVerknuepfungen(ziel, nummer)) return MeldeSpeicherFehler("Verknüpfung nicht auflösbar", nummer);
  // Only a regular file is replaced; anything else takes the settings as it is.
  struct stat alt {};
  const bool da = stat(ziel.c_str(), &alt) == 0;
  // A disk (a block device) would lose what it holds at its start: never written.
  if (da && S_ISBLK(alt.st_mode)) return MeldeSpeicherFehler("ein Blockgerät wird nicht beschrieben", EPERM);
  if (da && !S_ISREG(alt.st_mode)) return SchreibeHinein(ziel, text);
  // A file its owner made read-only stays as it is. Root may write anything, so for root
  // only a file without any write bit counts as read-only.
  if (da) {
    const bool root = geteuid() == 0;
    if (root ? (alt.st_mode & 0222) == 0 : faccessat(AT_FDCWD, ziel.c_str(), W_OK, AT_EACCESS) != 0)
      return MeldeSpeicherFehler("schreibgeschützt", root ? EACCES : errno);
  }
  bool anOrt = false;
  if (ErsetzeDatei(ziel, text, da ? &alt : nullptr, anOrt)) return true;
  // Who may write another's file but not give a new one its owner writes into the old one.
  return anOrt && SchreibeHinein(ziel, text);
}

}  // namespace Quelm_Konfig
