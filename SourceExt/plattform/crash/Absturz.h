#pragma once
// The unhandled-exception filter over POSIX signals. A fault (SIGSEGV, SIGBUS, SIGILL,
// SIGFPE, SIGTRAP), an abort (SIGABRT) or a C++ exception that escapes every handler is
// handed to the installed filter as an exception record with the matching Windows
// exception code; afterwards the signal passes on to the action that was installed
// before, or to the default, which ends the process.
#include "WinTypen.h"

#include <csignal>
#include <cstddef>
#include <cstdint>
#include <ucontext.h>

constexpr DWORD EXCEPTION_ACCESS_VIOLATION = 0xC0000005u;
constexpr DWORD EXCEPTION_GUARD_PAGE = 0x80000001u;
constexpr DWORD EXCEPTION_DATATYPE_MISALIGNMENT = 0x80000002u;
constexpr DWORD EXCEPTION_BREAKPOINT = 0x80000003u;
constexpr DWORD EXCEPTION_SINGLE_STEP = 0x80000004u;
constexpr DWORD EXCEPTION_IN_PAGE_ERROR = 0xC0000006u;
constexpr DWORD EXCEPTION_INVALID_HANDLE = 0xC0000008u;
constexpr DWORD EXCEPTION_ILLEGAL_INSTRUCTION = 0xC000001Du;
constexpr DWORD EXCEPTION_NONCONTINUABLE_EXCEPTION = 0xC0000025u;
constexpr DWORD EXCEPTION_INVALID_DISPOSITION = 0xC0000026u;
constexpr DWORD EXCEPTION_ARRAY_BOUNDS_EXCEEDED = 0xC000008Cu;
constexpr DWORD EXCEPTION_FLT_DENORMAL_OPERAND = 0xC000008Du;
constexpr DWORD EXCEPTION_FLT_DIVIDE_BY_ZERO = 0xC000008Eu;
constexpr DWORD EXCEPTION_FLT_INEXACT_RESULT = 0xC000008Fu;
constexpr DWORD EXCEPTION_FLT_INVALID_OPERATION = 0xC0000090u;
constexpr DWORD EXCEPTION_FLT_OVERFLOW = 0xC0000091u;
constexpr DWORD EXCEPTION_FLT_STACK_CHECK = 0xC0000092u;
constexpr DWORD EXCEPTION_FLT_UNDERFLOW = 0xC0000093u;
constexpr DWORD EXCEPTION_INT_DIVIDE_BY_ZERO = 0xC0000094u;
constexpr DWORD EXCEPTION_INT_OVERFLOW = 0xC0000095u;
constexpr DWORD EXCEPTION_PRIV_INSTRUCTION = 0xC0000096u;
constexpr DWORD EXCEPTION_STACK_OVERFLOW = 0xC00000FDu;

constexpr LONG EXCEPTION_CONTINUE_SEARCH = 0;  // pass the signal on to the earlier handler
constexpr LONG EXCEPTION_EXECUTE_HANDLER = 1;  // end the process without the earlier handler

struct EXCEPTION_RECORD {
  // 0 when nothing faulted: a C++ exception escaped every handler, or a process sent the
  // signal (kill, sigqueue, tgkill; abort sends it to its own process).
  DWORD ExceptionCode = 0;
  void* ExceptionAddress = nullptr; // the faulting instruction; null for a sent signal
  int signal = 0;                   // 0 without a signal
  const siginfo_t* info = nullptr;
  // The system's description of what happened: the signal's description, with the sender
  // of a sent signal (or that the process raised it itself), or the escaped exception's
  // type and message. Never null.
  const char* beschreibung = "";
};

struct EXCEPTION_POINTERS {
  EXCEPTION_RECORD* ExceptionRecord;
  ucontext_t* ContextRecord;  // registers of the faulting thread
};

using LPTOP_LEVEL_EXCEPTION_FILTER = LONG (*)(EXCEPTION_POINTERS*);

// Installs `filter` and returns the one installed before (null when none). The first
// filter hooks the fault signals and SIGABRT (alternate stack, earlier actions kept) and
// std::terminate; setting null again restores the earlier actions and terminate handler.
LPTOP_LEVEL_EXCEPTION_FILTER SetUnhandledExceptionFilter(LPTOP_LEVEL_EXCEPTION_FILTER filter);

namespace Plattform::Absturz {

// True when a process sent the signal (kill, sigqueue, tgkill, raise): nothing faulted, and
// the info holds the sender's process and user id instead of a fault address.
bool IstGesendet(const siginfo_t* info);

// The exception code for a signal with its details and the interrupted registers; 0 for a
// sent signal.
DWORD CodeFuerSignal(int signal, const siginfo_t* info, const ucontext_t* kontext);

// Gives the calling thread an alternate signal stack (once), so that a fault caused by a
// stack overflow can still run the filter. Threads that may crash call it at their start;
// the stack is released when the thread ends.
void BereiteThreadVor();

// Runs `arbeit(daten)` so that a fault inside it, or running longer than `sekunden`,
// returns to the caller instead of ending the process. For work done inside the filter
// that is not safe in a signal handler. 0 when the work ran to its end, else the signal
// that cut it short: SIGALRM when the time ran out, otherwise the fault's (or the abort's).
int FuehreGeschuetztAus(void (*arbeit)(void*), void* daten, unsigned sekunden);

// Whether this thread can still allocate: a crash inside the heap's own code (its check
// aborting) leaves the heap's lock held, and every allocation would then wait for good.
// Tried under FuehreGeschuetztAus with `sekunden`.
bool HeapFrei(unsigned sekunden);

// Signal-safe file creation for the dump: creates or empties `pfad` for reading and
// writing; the file descriptor, or -1 with errno set.
int ErzeugeAbbildDatei(const char* pfad);

// Writes a dump of the crashing thread into the open file: the exception, registers, the
// stack bytes above the stack pointer and the process's memory map. Signal-safe. False
// with errno set when a write fails.
bool SchreibeAbbild(int datei, std::uint32_t threadId, const EXCEPTION_POINTERS* ausnahme);

// Where an address lies: the module's file path (empty when the address lies in no
// module), the 1-based index of the module's loaded segment holding it and the offset
// in that segment (both 0 when none holds it).
struct Ort {
  char modul[4096] = {};
  unsigned abschnitt = 0;
  std::uint64_t versatz = 0;
  std::uint64_t relativ = 0;  // the address in the module file's own numbering
};
void FindeOrt(const void* adresse, Ort& ort);

// The name (as stored, mangled) of the symbol in the module's symbol table that holds the
// place `ort`, and how far into it the place lies. Read from the file without the heap,
// for a report that cannot allocate. False when the module has no such symbol.
bool SymbolOhneHeap(const Ort& ort, char* name, std::size_t groesse, std::uint64_t& abstand);

// True when `adresse` lies in the code of one of the process's modules: an executable
// loaded segment (the loader's list, read in memory). An instruction anywhere else was
// reached through a null or stale function pointer and has no unwind information.
bool InModulCode(const void* adresse);

// The return addresses of the calling thread's stack, starting at the frame that was
// interrupted with `kontext` (or at the caller, without one); the faulting instruction
// comes first. Returns the count. When that instruction lies in no module's code, it is
// the only address: the unwinder would read the code there to look for a signal frame (and
// fault); SymbolSitzung::StapelAdressen walks on from such a frame.
std::size_t StapelAdressen(const ucontext_t* kontext, std::uint64_t* adressen, std::size_t hoechstens);

}  // namespace Plattform::Absturz
