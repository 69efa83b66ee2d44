#include "Quelm_Absturz.h"

#include "Quelm_InitReihenfolge.h"
#include "Quelm_Protokolliere.h"
#include "Quelm_StapelWanderer.h"
#include "Quelm_System.h"

#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

Quelm_AbsturzSchutz gAbsturzSchutz;

namespace {

// Static initialiser 12: the filter from start-up to exit, the earlier one restored then.
struct Quelm_AbsturzHandler {
  LPTOP_LEVEL_EXCEPTION_FILTER vorher = nullptr;
  Quelm_AbsturzHandler() { vorher = SetUnhandledExceptionFilter(&Quelm_AbsturzFilter); }
  ~Quelm_AbsturzHandler() { SetUnhandledExceptionFilter(vorher); }
};
QUELM_INIT(QUELM_SLOT_ABSTURZ) Quelm_AbsturzHandler gAbsturzHandler;

// The system's text for codes outside the table; keeps its last content.
char gSystemMeldung[512];

struct Name {
  DWORD code;
  const char* name;
};
constexpr Name kNamen[] = {
    {EXCEPTION_ACCESS_VIOLATION, "ACCESS_VIOLATION"},
    {EXCEPTION_GUARD_PAGE, "GUARD_PAGE"},
    {EXCEPTION_DATATYPE_MISALIGNMENT, "DATATYPE_MISALIGNMENT"},
    {EXCEPTION_BREAKPOINT, "BREAKPOINT"},
    {EXCEPTION_SINGLE_STEP, "SINGLE_STEP"},
    {EXCEPTION_IN_PAGE_ERROR, "IN_PAGE_ERROR"},
    {EXCEPTION_INVALID_HANDLE, "INVALID_HANDLE"},
    {EXCEPTION_ILLEGAL_INSTRUCTION, "ILLEGAL_INSTRUCTION"},
    {EXCEPTION_NONCONTINUABLE_EXCEPTION, "NONCONTINUABLE_EXCEPTION"},
    {EXCEPTION_INVALID_DISPOSITION, "INVALID_DISPOSITION"},
    {EXCEPTION_ARRAY_BOUNDS_EXCEEDED, "ARRAY_BOUNDS_EXCEEDED"},
    {EXCEPTION_FLT_DENORMAL_OPERAND, "FLT_DENORMAL_OPERAND"},
    {EXCEPTION_FLT_DIVIDE_BY_ZERO, "FLT_DIVIDE_BY_ZERO"},
    {EXCEPTION_FLT_INEXACT_RESULT, "FLT_INEXACT_RESULT"},
    {EXCEPTION_FLT_INVALID_OPERATION, "FLT_INVALID_OPERATION"},
    {EXCEPTION_FLT_OVERFLOW, "FLT_OVERFLOW"},
    {EXCEPTION_FLT_STACK_CHECK, "FLT_STACK_CHECK"},
    {EXCEPTION_FLT_UNDERFLOW, "FLT_UNDERFLOW"},
    {EXCEPTION_INT_DIVIDE_BY_ZERO, "INT_DIVIDE_BY_ZERO"},
    {EXCEPTION_INT_OVERFLOW, "INT_OVERFLOW"},
    {EXCEPTION_PRIV_INSTRUCTION, "PRIV_INSTRUCTION"},
    {EXCEPTION_STACK_OVERFLOW, "STACK_OVERFLOW"},
};

// "<user data folder>/MiniDump.dmp" without allocating: the filter may run in a signal handler.
const char* AbbildPfad() {
  static char pfad[4096];
  const char* ordner = gSystem.benutzerVerzeichnis.c_str();
  const char kName[] = "/MiniDump.dmp";
  std::size_t laenge = std::strlen(ordner);
  if (laenge + sizeof kName > sizeof pfad) laenge = sizeof pfad - sizeof kName;
  std::memcpy(pfad, ordner, laenge);
  std::memcpy(pfad + laenge, kName, sizeof kName);
  return pfad;
}

void GeschuetzterBericht(void* ausnahme) {
  if (gAbsturzSchutz.vorBericht) gAbsturzSchutz.vorBericht();
  Quelm_AbsturzBericht(static_cast<EXCEPTION_POINTERS*>(ausnahme));
}

}  // namespace

const char* Quelm_AusnahmeName(DWORD code) {
  for (const Name& n : kNamen)
    if (n.code == code) return n.name;
  return nullptr;
}

void Quelm_AbsturzBericht(EXCEPTION_POINTERS* ausnahme) {
  const EXCEPTION_RECORD* satz = ausnahme ? ausnahme->ExceptionRecord : nullptr;
  ProtokolliereSofort("%s", std::string(84, '*').c_str());

  const DWORD code = satz ? satz->ExceptionCode : 0;
  const char* name = Quelm_AusnahmeName(code);
  if (!name) {
    if (satz && satz->beschreibung && *satz->beschreibung)
      std::snprintf(gSystemMeldung, sizeof gSystemMeldung, "%s", satz->beschreibung);
    name = gSystemMeldung;
  }
  ProtokolliereSofort("!Exception code: %08X %s", code, name);

  const void* adresse = satz ? satz->ExceptionAddress : nullptr;
  if (satz && Plattform::Absturz::IstGesendet(satz->info)) {
    ProtokolliereSofort("Fault address:  none");
  } else {
    Plattform::Absturz::Ort ort;
    Plattform::Absturz::FindeOrt(adresse, ort);
    ProtokolliereSofort("Fault address:  %08X %02X:%08X %s",
                        static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(adresse)), ort.abschnitt,
                        static_cast<unsigned>(ort.versatz), ort.modul);
  }

  Quelm_StapelWanderer wanderer;
  wanderer.ZeigeAufrufstapel(static_cast<pid_t>(syscall(SYS_gettid)), ausnahme ? ausnahme->ContextRecord : nullptr);
}

LONG Quelm_AbsturzFilter(EXCEPTION_POINTERS* ausnahme) {
  // The dump first, with signal-safe calls only: it stands even when the report fails.
  const int datei = Plattform::Absturz::ErzeugeAbbildDatei(AbbildPfad());
  const int dateiFehler = errno;
  bool abbildGeschrieben = false;
  int abbildFehler = 0;
  if (datei >= 0) {
    abbildGeschrieben =
        Plattform::Absturz::SchreibeAbbild(datei, static_cast<std::uint32_t>(syscall(SYS_gettid)), ausnahme);
    abbildFehler = errno;
    close(datei);
  }

  // Symbols are read with calls a signal handler may not make: a fault or hang there
  // cuts the report short instead of stopping the crash from ending.
  if (!Plattform::Absturz::FuehreGeschuetztAus(&GeschuetzterBericht, ausnahme, gAbsturzSchutz.frist))
    ProtokolliereSofort("!Crash report cut short: fault or time-out while reading symbols.");

  if (datei < 0) ProtokolliereSofort("MiniDump, CreateFile() failed with error: %u", static_cast<unsigned>(dateiFehler));
  else if (abbildGeschrieben) ProtokolliereSofort("Minidump created.");
  else ProtokolliereSofort("Minidump failed with error code %d", abbildFehler);

  return gAbsturzHandler.vorher ? gAbsturzHandler.vorher(ausnahme) : EXCEPTION_CONTINUE_SEARCH;
}
