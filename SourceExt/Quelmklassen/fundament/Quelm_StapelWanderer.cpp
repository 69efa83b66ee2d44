#include "Quelm_StapelWanderer.h"

#include "Absturz.h"
#include "Anhalten.h"
#include "Basisdienste.h"
#include "Quelm_Protokolliere.h"
#include "Symbole.h"

#include <sys/syscall.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace {
constexpr DWORD kDllInitFehlgeschlagen = 1114;
constexpr std::size_t kHoechstensRahmen = 1024;  // a stack overflow still ends the walk
// DbgHelp's options as the walker sets them: load lines, fail critical errors.
constexpr DWORD kSymOptionen = 0x10 | 0x200;
}  // namespace

const char* StapelWanderer::SymbolTypText(int typ) {
  static const char* const kTexte[] = {"-nosymbols-", "COFF", "CV", "PDB", "-exported-",
                                       "-deferred-",  "SYM",  "DIA", "Virtual"};
  return typ >= 0 && typ < 9 ? kTexte[typ] : nullptr;
}

StapelWanderer::StapelWanderer()
    : symbole_(std::make_unique<Plattform::Absturz::SymbolSitzung>()), prozessId_(getpid()) {}

StapelWanderer::~StapelWanderer() = default;

void StapelWanderer::BeiSymInit(const char* suchpfad, DWORD symOptionen, const char* benutzer) {
  AusgabeFormatiert("SymInit: Symbol-SearchPath: '%s', symOptions: %d, UserName: '%s'\n", suchpfad,
                    static_cast<int>(symOptionen), benutzer);
  utsname system{};
  if (uname(&system) != 0) return;
  int haupt = 0, neben = 0, stand = 0;
  std::sscanf(system.release, "%d.%d.%d", &haupt, &neben, &stand);
  // The last number is the kernel's version code.
  AusgabeFormatiert("OS-Version: %d.%d.%d (%s) 0x%x\n", haupt, neben, stand, system.version,
                    static_cast<unsigned>((haupt << 16) | (neben << 8) | (stand & 0xFF)));
}

void StapelWanderer::BeiModulGeladen(const char*, const char*, std::uint64_t, DWORD, DWORD, const char*, const char*,
                                     std::uint64_t) {}

void StapelWanderer::BeiDbgHelpFehler(const char*, DWORD, std::uint64_t) {}

void StapelWanderer::BeiAusgabe(const char* text) { std::fputs(text, stderr); }

void StapelWanderer::BeiStapelEintrag(EintragsTyp typ, const StapelEintrag& e) {
  if (typ == LetzterEintrag || e.adresse == 0) return;
  const std::string& name = !e.nameVollUndekoriert.empty() ? e.nameVollUndekoriert
                            : !e.nameUndekoriert.empty()   ? e.nameUndekoriert
                                                           : e.name;
  const char* text = name.empty() ? "(function-name not available)" : name.c_str();
  if (!e.datei.empty()) {
    AusgabeFormatiert("%s (%d): %s\n", e.datei.c_str(), e.zeile, text);
  } else {
    AusgabeFormatiert("%p (%s): %s: %s\n", reinterpret_cast<void*>(e.adresse),
                      e.modulName.empty() ? "(module-name not available)" : e.modulName.c_str(),
                      "(filename not available)", text);
  }
}

void StapelWanderer::AusgabeFormatiert(const char* format, ...) {
  char puffer[4096];
  va_list argumente;
  va_start(argumente, format);
  std::vsnprintf(puffer, sizeof puffer, format, argumente);
  va_end(argumente);
  BeiAusgabe(puffer);
}

bool StapelWanderer::LadeDbgHelp(const std::string& suchpfad) {
  // Without a session nothing reads symbols, as without DbgHelp's functions.
  if (!symbole_->Oeffne(suchpfad)) return false;
  // An unreadable module list is SymInitialize failing: reported, and the walk goes on
  // without the modules' symbols.
  if (!symbole_->LiesModule()) BeiDbgHelpFehler("SymInitialize", static_cast<DWORD>(errno), 0);
  const std::string benutzer = Plattform::Benutzername().value_or("");
  BeiSymInit(suchpfad.c_str(), kSymOptionen, benutzer.c_str());
  return true;
}

bool StapelWanderer::LadeModule() {
  if (!symbole_) {
    errno = kDllInitFehlgeschlagen;
    return false;
  }
  if (moduleGeladen_) return true;
  std::string pfad;
  if (optionen_ & OptionSymbolPfadBauen) {
    if (benutzerPfad_) pfad += *benutzerPfad_ + ";";
    pfad += ".;";
    std::error_code fehler;
    const auto hier = std::filesystem::current_path(fehler);
    if (!fehler) pfad += hier.string() + ";";
    // Separate debug files: the environment's folder when given, then the system's.
    if (const char* umgebung = std::getenv("DEBUGINFOD_CACHE_PATH")) pfad += std::string(umgebung) + ";";
    pfad += "/usr/lib/debug;";
    if (pfad.size() > 4095) pfad.resize(4095);
  }
  if (!LadeDbgHelp(pfad)) {
    BeiDbgHelpFehler("Error while initializing dbghelp.dll", kDllInitFehlgeschlagen, 0);
    return false;
  }
  // Symbols and lines are read when a frame asks for them.
  for (const auto& m : symbole_->Module())
    BeiModulGeladen(m.pfad.c_str(), m.name.c_str(), m.basis, static_cast<DWORD>(m.groesse), 0, SymbolTypText(5),
                    m.pfad.c_str(), (optionen_ & OptionModulVersion) ? Plattform::Absturz::DateiVersion(m.pfad) : 0);
  moduleGeladen_ = true;
  return true;
}

bool StapelWanderer::ZeigeAufrufstapel(pid_t thread, const ucontext_t* kontext) {
  if (!LadeModule()) {
    errno = kDllInitFehlgeschlagen;
    return false;
  }
  const bool fremd = thread != 0 && thread != static_cast<pid_t>(syscall(SYS_gettid));
  std::uint64_t adressen[kHoechstensRahmen];
  std::size_t anzahl = 0;
  if (!fremd) {
    // Code in no module (reached through a null or stale function pointer, or made at run
    // time) has no unwind information, and the own stack's unwinder stops there: walked from
    // the registers instead.
    if (kontext && !Plattform::Absturz::InModulCode(reinterpret_cast<const void*>(kontext->uc_mcontext.gregs[REG_RIP])))
      anzahl = symbole_->StapelAdressen(kontext->uc_mcontext.gregs, adressen, kHoechstensRahmen);
    else
      anzahl = Plattform::Absturz::StapelAdressen(kontext, adressen, kHoechstensRahmen);
  } else if (kontext) {
    anzahl = symbole_->StapelAdressen(kontext->uc_mcontext.gregs, adressen, kHoechstensRahmen);
  } else {
    // Held only while its stack is unwound: symbols are read after it runs on.
    Plattform::Absturz::AngehaltenerThread angehalten(thread);
    if (!angehalten.Angehalten()) return false;
    anzahl = symbole_->StapelAdressen(angehalten.Register(), adressen, kHoechstensRahmen);
  }
  if (anzahl == 0) BeiDbgHelpFehler("StackWalk64", static_cast<DWORD>(errno), 0);
  for (std::size_t i = 0; i < anzahl; ++i) {
    StapelEintrag e;
    e.adresse = adressen[i];
    if (e.adresse == 0) {
      // A call through a null pointer: nothing to look up.
      BeiStapelEintrag(i == 0 ? ErsterEintrag : NaechsterEintrag, e);
      continue;
    }
    // Below the first frame the addresses are return addresses: the call lies just before.
    const std::uint64_t suche = (i == 0 && (kontext || fremd)) ? e.adresse : e.adresse - 1;
    if (symbole_->Symbol(suche, e.name)) {
      e.nameUndekoriert = Plattform::Absturz::Entschluessle(e.name, true);
      e.nameVollUndekoriert = Plattform::Absturz::Entschluessle(e.name, false);
    } else {
      BeiDbgHelpFehler("SymGetSymFromAddr64", 0, e.adresse);
    }
    if (symbole_->Zeile(suche, e.datei, e.zeile)) e.symbolTyp = SymbolTypText(3);
    else BeiDbgHelpFehler("SymGetLineFromAddr64", 0, e.adresse);
    Plattform::Absturz::SymbolModul modul;
    if (symbole_->Modul(suche, modul)) {
      e.modulName = modul.name;
      e.modulBasis = modul.basis;
      e.bildName = modul.pfad;
    } else {
      BeiDbgHelpFehler("SymGetModuleInfo64", 0, e.adresse);
    }
    BeiStapelEintrag(i == 0 ? ErsterEintrag : NaechsterEintrag, e);
  }
  AusgabeFormatiert("\n");
  return true;
}

void Quelm_StapelWanderer::BeiAusgabe(const char* text) { ProtokolliereSofort("%s", text); }
