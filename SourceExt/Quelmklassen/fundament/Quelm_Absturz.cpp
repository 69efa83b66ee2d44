#include "Quelm_Absturz.h"

#include "Quelm_InitReihenfolge.h"
#include "Quelm_Protokolliere.h"
#include "Quelm_StapelWanderer.h"
#include "Quelm_System.h"

#include <sys/syscall.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <iterator>

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

// Set by the filter while it reports a crash that left the heap's lock held.
bool gOhneHeap = false;

void GeschuetzterBericht(void* ausnahme) {
  if (gAbsturzSchutz.vorBericht) gAbsturzSchutz.vorBericht();
  Quelm_AbsturzBericht(static_cast<EXCEPTION_POINTERS*>(ausnahme));
}

// The stack from the modules' symbol tables alone, without the heap that reading symbols
// and lines needs: each frame with its module, the place in the module's file and the
// stored symbol name. Runs guarded: the modules' files are read in place.
void ZeigeStapelOhneHeap(void* roh) {
  const auto* kontext = static_cast<const ucontext_t*>(roh);
  std::uint64_t adressen[256];
  const std::size_t anzahl = Plattform::Absturz::StapelAdressen(kontext, adressen, std::size(adressen));
  for (std::size_t i = 0; i < anzahl; ++i) {
    // Below the first frame the addresses are return addresses: the call lies just before.
    const std::uint64_t suche = (i == 0 && kontext) || adressen[i] == 0 ? adressen[i] : adressen[i] - 1;
    Plattform::Absturz::Ort ort;
    Plattform::Absturz::FindeOrt(reinterpret_cast<const void*>(suche), ort);
    const char* schraeg = std::strrchr(ort.modul, '/');
    const char* modul = ort.modul[0] ? (schraeg ? schraeg + 1 : ort.modul) : "(module-name not available)";
    char name[1024];
    std::uint64_t abstand = 0;
    if (Plattform::Absturz::SymbolOhneHeap(ort, name, sizeof name, abstand))
      ProtokolliereSofort("%p (%s+0x%llx): (filename not available): %s+0x%llx", reinterpret_cast<void*>(adressen[i]),
                          modul, static_cast<unsigned long long>(ort.relativ), name,
                          static_cast<unsigned long long>(abstand));
    else
      ProtokolliereSofort("%p (%s+0x%llx): (filename not available): (function-name not available)",
                          reinterpret_cast<void*>(adressen[i]), modul, static_cast<unsigned long long>(ort.relativ));
  }
  ProtokolliereSofort("\n");
}

}  // namespace

const char* Quelm_AusnahmeName(DWORD code) {
  for (const Name& n : kNamen)
    if (n.code == code) return n.name;
  return nullptr;
}

void Quelm_AbsturzBericht(EXCEPTION_POINTERS* ausnahme) {
  const EXCEPTION_RECORD* satz = ausnahme ? ausnahme->ExceptionRecord : nullptr;
  // Nothing here allocates before the heap is known to be free.
  static constexpr auto kSterne = [] {
    std::array<char, 85> zeile{};
    zeile.fill('*');
    zeile.back() = '\0';
    return zeile;
  }();
  ProtokolliereSofort("%s", kSterne.data());

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

  if (gOhneHeap) {
    ProtokolliereSofort("!Heap locked by the crash: the stack from the modules' symbol tables only.");
    ZeigeStapelOhneHeap(ausnahme ? ausnahme->ContextRecord : nullptr);
    return;
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
  // cuts the report short instead of stopping the crash from ending. A crash inside the
  // heap (its check aborting) may have left the heap's lock held, which reading symbols
  // needs: then only what needs no heap.
  gOhneHeap = !Plattform::Absturz::HeapFrei(1);
  const int abbruch = Plattform::Absturz::FuehreGeschuetztAus(&GeschuetzterBericht, ausnahme, gAbsturzSchutz.frist);
  gOhneHeap = false;
  if (abbruch != 0) {
    if (abbruch == SIGALRM) {
      ProtokolliereSofort("!Crash report cut short: time-out after %u s while reading symbols.", gAbsturzSchutz.frist);
    } else {
      const char* text = sigdescr_np(abbruch);
      ProtokolliereSofort("!Crash report cut short: fault while reading symbols (%s).", text ? text : "?");
    }
    // The stack still, as far as it can be read without symbols.
    Plattform::Absturz::FuehreGeschuetztAus(&ZeigeStapelOhneHeap, ausnahme ? ausnahme->ContextRecord : nullptr,
                                            gAbsturzSchutz.frist);
  }

  if (datei < 0) ProtokolliereSofort("MiniDump, CreateFile() failed with error: %u", static_cast<unsigned>(dateiFehler));
  else if (abbildGeschrieben) ProtokolliereSofort("Minidump created.");
  else ProtokolliereSofort("Minidump failed with error code %d", abbildFehler);

  return gAbsturzHandler.vorher ? gAbsturzHandler.vorher(ausnahme) : EXCEPTION_CONTINUE_SEARCH;
}
