#include "Quelm_System.h"

#include "Basisdienste.h"
#include "Quelm_Ausnahme.h"
#include "Quelm_InitReihenfolge.h"
#include "Quelm_Konsole.h"
#include "Quelm_Protokolliere.h"
#include "Quelm_SystemSignal.h"

#include <system_error>

const char Quelm_AnwendungsName[] = "ToolVelmar";

QUELM_INIT(QUELM_SLOT_SYSTEM) Quelm_System gSystem;

Quelm_SystemQuellen Quelm_SystemQuellen::VomBetriebssystem() {
  return {Plattform::AusfuehrbarerPfad(), Plattform::AnwendungsdatenVerzeichnis(), Plattform::Benutzername()};
}

Quelm_System::Quelm_System() : Quelm_System(Quelm_SystemQuellen::VomBetriebssystem()) {}

std::filesystem::path Quelm_System::ProgrammVerzeichnisAus(const std::filesystem::path& ausfuehrbar) {
  std::filesystem::path ordner = ausfuehrbar;
  ordner.remove_filename();  // keeps the trailing separator
  if (ordner.empty()) return ordner;
  std::filesystem::path ohneTrenner = ordner.parent_path();
  const std::string name = ohneTrenner.filename().string();
  if (name == "bin32" || name == "bin64") return ohneTrenner.parent_path();
  return ordner;
}

Quelm_System::Quelm_System(const Quelm_SystemQuellen& quellen)
    : praesenzGeaendert(std::make_unique<Quelm_PraesenzSignal>()) {
  if (!quellen.ausfuehrbarerPfad) {
    Protokolliere("!Unable to obtain path to executable.");
    Protokolliere("!Now we are all going to die.");
    Quelm_Ausnahme::Wirf("Unable to obtain path to game executable.", "Quelm_System::Quelm_System", __FILE__, 28);
  }
  programmVerzeichnis = ProgrammVerzeichnisAus(*quellen.ausfuehrbarerPfad);

  std::filesystem::path basis;
  if (quellen.anwendungsdaten) {
    basis = *quellen.anwendungsdaten;
  } else {
    Protokolliere("?Unable to obtain path to \"AppData\". Trying application directory...");
    basis = programmVerzeichnis;
  }
  if (quellen.benutzerName) benutzerName = *quellen.benutzerName;

  benutzerVerzeichnis = basis / Quelm_AnwendungsName;
  std::error_code fehler;
  if (!std::filesystem::exists(benutzerVerzeichnis, fehler)) {
    // A file-system error is reported like a folder that could not be made: start-up goes
    // on, and later writes into the folder fail where they happen.
    if (!std::filesystem::create_directories(benutzerVerzeichnis, fehler)) {
      // The log is not on yet: the program entry repeats the line once it is.
      ordnerFehler = "!Unable to create user data path \"" + benutzerVerzeichnis.string() +
                     "\". This will end in tears." + (fehler ? " (" + fehler.message() + ")" : std::string());
      Protokolliere("%s", ordnerFehler.c_str());
    }
  }

  if (benutzerName.empty()) {
    Protokolliere("?Unable to obtain user name. Using dummy name instead...");
    benutzerName = "user";
  }
}

Quelm_System::~Quelm_System() = default;

void Quelm_System::BefehlQuit(const std::string&) { gSystem.beenden = true; }

QUELM_INIT(QUELM_SLOT_BEFEHL_QUIT) static Quelm_KonsolenBefehl befehlQuit("quit", &Quelm_System::BefehlQuit);
