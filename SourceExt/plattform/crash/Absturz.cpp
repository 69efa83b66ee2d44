#include "Absturz.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cxxabi.h>
#include <exception>
#include <fcntl.h>
#include <link.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <typeinfo>
#include <unistd.h>
#include <unwind.h>

namespace Plattform::Absturz {
namespace {

constexpr int kSignale[] = {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGTRAP, SIGABRT};
constexpr std::size_t kAltStapel = 1024 * 1024;  // the report reads symbols on it (reserved, not committed)

LPTOP_LEVEL_EXCEPTION_FILTER gFilter = nullptr;
struct sigaction gVorher[NSIG];
std::terminate_handler gVorherBeenden = nullptr;

// The thread that is reporting a crash; others that crash meanwhile wait for the end.
std::atomic<pid_t> gAbsturzThread{0};

thread_local sigjmp_buf* tGeschuetzt = nullptr;
std::atomic<pid_t> gGeschuetzterThread{0};

pid_t EigeneThreadId() { return static_cast<pid_t>(syscall(SYS_gettid)); }

// The calling thread's alternate stack, unmapped when the thread ends; the one it replaced
// is put back then, for whoever installed it to release.
struct AltStapel {
  void* speicher = nullptr;
  stack_t vorher{nullptr, SS_DISABLE, 0};
  ~AltStapel() {
    if (!speicher) return;
    sigaltstack(&vorher, nullptr);
    munmap(speicher, kAltStapel + 4096);
  }
};
thread_local AltStapel tAltStapel;

bool IstFehlerSignal(int signal, const siginfo_t* info) {
  // Sent by kill or raise, an abort, or a breakpoint: returning would not repeat the fault.
  return info && !IstGesendet(info) && signal != SIGTRAP && signal != SIGABRT;
}

// Hands the signal to what was installed before us, then lets the default end the process.
void GibWeiter(int signal, siginfo_t* info, void* kontext, bool vorherigeAufrufen) {
  struct sigaction vorher = gVorher[signal];
  struct sigaction standard{};
  standard.sa_handler = SIG_DFL;
  sigemptyset(&standard.sa_mask);
  sigaction(signal, &standard, nullptr);
  if (vorherigeAufrufen) {
    if (vorher.sa_flags & SA_SIGINFO) {
      if (vorher.sa_sigaction) vorher.sa_sigaction(signal, info, kontext);
    } else if (vorher.sa_handler != SIG_DFL && vorher.sa_handler != SIG_IGN && vorher.sa_handler) {
      vorher.sa_handler(signal);
    }
  }
  sigaction(signal, &standard, nullptr);
  if (!IstFehlerSignal(signal, info)) {
    sigset_t menge;
    sigemptyset(&menge);
    sigaddset(&menge, signal);
    pthread_sigmask(SIG_UNBLOCK, &menge, nullptr);
    raise(signal);
  }
  // A fault repeats on return and meets the default action.
}

// True when this thread may report; false when the report is already under way.
bool UebernimmAbsturz() {
  const pid_t ich = EigeneThreadId();
  pid_t frei = 0;
  if (gAbsturzThread.compare_exchange_strong(frei, ich)) return true;
  if (frei == ich) return false;  // faulted again while passing on
  for (;;) pause();               // the reporting thread ends the process
}

// Sent by another process (kill, sigqueue): nothing in this process faulted.
bool VonAussen(const siginfo_t* info) { return IstGesendet(info) && info->si_pid != getpid(); }

void Signalbehandler(int signal, siginfo_t* info, void* roh) {
  // A signal sent from outside while a crash is reported is dropped: the report goes on and
  // then ends the process by the first signal.
  if (VonAussen(info) && gAbsturzThread.load() != 0) return;
  if (tGeschuetzt) siglongjmp(*tGeschuetzt, signal);
  const int gesichertesErrno = errno;
  auto* kontext = static_cast<ucontext_t*>(roh);
  if (!UebernimmAbsturz()) {
    GibWeiter(signal, info, roh, false);
    return;
  }
  EXCEPTION_RECORD satz;
  satz.ExceptionCode = CodeFuerSignal(signal, info, kontext);
  satz.signal = signal;
  satz.info = info;
  const char* text = sigdescr_np(signal);
  satz.beschreibung = text ? text : "";
  char absender[160];
  if (IstGesendet(info)) {
    // Where the thread happened to be is no fault address; who sent it is what helps. An
    // abort (a failed assertion, the heap check) is the process's own: its stack says why.
    if (info->si_pid == getpid())
      std::snprintf(absender, sizeof absender, "%s, raised by the process itself", satz.beschreibung);
    else
      std::snprintf(absender, sizeof absender, "%s, sent by process %d (user %u)", satz.beschreibung,
                    static_cast<int>(info->si_pid), static_cast<unsigned>(info->si_uid));
    satz.beschreibung = absender;
  } else if (kontext) {
    satz.ExceptionAddress = reinterpret_cast<void*>(kontext->uc_mcontext.gregs[REG_RIP]);
  }
  EXCEPTION_POINTERS zeiger{&satz, kontext};
  LONG ergebnis = gFilter ? gFilter(&zeiger) : EXCEPTION_CONTINUE_SEARCH;
  errno = gesichertesErrno;
  // A signal from another process faulted nothing that an earlier handler (a sanitizer's)
  // could look into: the default ends the process by it, as without such a handler.
  GibWeiter(signal, info, roh, ergebnis != EXCEPTION_EXECUTE_HANDLER && !VonAussen(info));
}

// std::terminate: a C++ exception escaped every handler (or terminate was called).
void Beenden() {
  char text[512] = "std::terminate";
  if (std::type_info* typ = abi::__cxa_current_exception_type()) {
    int status = 0;
    char* lesbar = abi::__cxa_demangle(typ->name(), nullptr, nullptr, &status);
    const char* name = (status == 0 && lesbar) ? lesbar : typ->name();
    const char* was = "";
    try {
      throw;
    } catch (const std::exception& e) {
      was = e.what();
    } catch (...) {
    }
    std::snprintf(text, sizeof text, "%s: %s", name, was);
    std::free(lesbar);
  }
  if (UebernimmAbsturz() && gFilter) {
    ucontext_t kontext;
    getcontext(&kontext);
    EXCEPTION_RECORD satz;
    satz.ExceptionAddress = reinterpret_cast<void*>(kontext.uc_mcontext.gregs[REG_RIP]);
    satz.beschreibung = text;
    EXCEPTION_POINTERS zeiger{&satz, &kontext};
    gFilter(&zeiger);
  }
  if (gVorherBeenden && gVorherBeenden != &Beenden) gVorherBeenden();
  std::abort();
}

void Wachhund(int, siginfo_t* info, void*) {
  if (VonAussen(info)) return;  // not our timer
  if (tGeschuetzt) siglongjmp(*tGeschuetzt, SIGALRM);
  // Delivered to another thread: hand it to the one that runs the guarded work.
  if (pid_t ziel = gGeschuetzterThread.load()) syscall(SYS_tgkill, getpid(), ziel, SIGALRM);
}

void Installiere() {
  BereiteThreadVor();
  for (int signal : kSignale) {
    struct sigaction neu{};
    neu.sa_sigaction = &Signalbehandler;
    sigemptyset(&neu.sa_mask);
    // NODEFER: a fault inside the report enters the handler again and is caught there.
    neu.sa_flags = SA_SIGINFO | SA_ONSTACK | SA_NODEFER;
    sigaction(signal, &neu, &gVorher[signal]);
  }
  gVorherBeenden = std::set_terminate(&Beenden);
}

void Entferne() {
  for (int signal : kSignale) sigaction(signal, &gVorher[signal], nullptr);
  std::set_terminate(gVorherBeenden);
  gVorherBeenden = nullptr;
}

}  // namespace

bool IstGesendet(const siginfo_t* info) { return info && info->si_code <= 0; }

DWORD CodeFuerSignal(int signal, const siginfo_t* info, const ucontext_t* kontext) {
  if (IstGesendet(info)) return 0;
  const int code = info ? info->si_code : 0;
  switch (signal) {
    case SIGSEGV: {
      // A fault just below the stack pointer is the stack running out (a guard page).
      if (kontext && info) {
        auto sp = static_cast<std::uint64_t>(kontext->uc_mcontext.gregs[REG_RSP]);
        auto ziel = reinterpret_cast<std::uint64_t>(info->si_addr);
        if (ziel < sp + 4096 && sp - ziel < 65536 && ziel != 0) return EXCEPTION_STACK_OVERFLOW;
      }
      return EXCEPTION_ACCESS_VIOLATION;
    }
    case SIGBUS: return code == BUS_ADRALN ? EXCEPTION_DATATYPE_MISALIGNMENT : EXCEPTION_IN_PAGE_ERROR;
    case SIGILL:
      return (code == ILL_PRVOPC || code == ILL_PRVREG) ? EXCEPTION_PRIV_INSTRUCTION : EXCEPTION_ILLEGAL_INSTRUCTION;
    case SIGFPE:
      switch (code) {
        case FPE_INTDIV: return EXCEPTION_INT_DIVIDE_BY_ZERO;
        case FPE_INTOVF: return EXCEPTION_INT_OVERFLOW;
        case FPE_FLTDIV: return EXCEPTION_FLT_DIVIDE_BY_ZERO;
        case FPE_FLTOVF: return EXCEPTION_FLT_OVERFLOW;
        case FPE_FLTUND: return EXCEPTION_FLT_UNDERFLOW;
        case FPE_FLTRES: return EXCEPTION_FLT_INEXACT_RESULT;
        case FPE_FLTSUB: return EXCEPTION_ARRAY_BOUNDS_EXCEEDED;
        default: return EXCEPTION_FLT_INVALID_OPERATION;
      }
    case SIGTRAP: return code == TRAP_TRACE ? EXCEPTION_SINGLE_STEP : EXCEPTION_BREAKPOINT;
    default: return 0;
  }
}

void BereiteThreadVor() {
  if (tAltStapel.speicher) return;
  stack_t jetzt{};
  if (sigaltstack(nullptr, &jetzt) != 0 || (jetzt.ss_flags & SS_ONSTACK)) return;
  // Someone else's serves when it is as large; a smaller one (AddressSanitizer's) would
  // overflow while the report reads symbols.
  if (!(jetzt.ss_flags & SS_DISABLE) && jetzt.ss_size >= kAltStapel) return;
  void* p = mmap(nullptr, kAltStapel + 4096, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (p == MAP_FAILED) return;
  mprotect(p, 4096, PROT_NONE);  // overflowing the handler's stack faults instead of overwriting
  stack_t neu{};
  neu.ss_sp = static_cast<char*>(p) + 4096;
  neu.ss_size = kAltStapel;
  if (sigaltstack(&neu, nullptr) != 0) {
    munmap(p, kAltStapel + 4096);
    return;
  }
  tAltStapel.speicher = p;
  if (!(jetzt.ss_flags & SS_DISABLE)) tAltStapel.vorher = jetzt;
}

int FuehreGeschuetztAus(void (*arbeit)(void*), void* daten, unsigned sekunden) {
  struct sigaction wache{}, vorher{};
  wache.sa_sigaction = &Wachhund;
  sigemptyset(&wache.sa_mask);
  wache.sa_flags = SA_SIGINFO | SA_ONSTACK | SA_NODEFER;
  sigaction(SIGALRM, &wache, &vorher);
  sigjmp_buf sprung;
  sigjmp_buf* aeusserer = tGeschuetzt;
  const int abbruch = sigsetjmp(sprung, 1);
  if (abbruch == 0) {
    tGeschuetzt = &sprung;
    gGeschuetzterThread.store(EigeneThreadId());
    alarm(sekunden);
    arbeit(daten);
  }
  alarm(0);
  gGeschuetzterThread.store(0);
  tGeschuetzt = aeusserer;
  sigaction(SIGALRM, &vorher, nullptr);
  return abbruch;
}

bool HeapFrei(unsigned sekunden) {
  return FuehreGeschuetztAus(
             [](void*) {
               // calloc takes the heap's lock even where malloc would take a cached block.
               void* volatile block = std::calloc(1, 1);
               std::free(block);
             },
             nullptr, sekunden) == 0;
}

namespace {
// The loaded segment that holds an address: its module's path, segment number and offset
// into `ort` when given. `nurCode`: only executable segments count.
struct Suche {
  std::uint64_t adresse;
  Ort* ort;
  bool gefunden;
  bool nurCode;
};

int SucheSegment(dl_phdr_info* info, size_t, void* roh) {
  auto* s = static_cast<Suche*>(roh);
  const std::uint64_t relativ = s->adresse - info->dlpi_addr;
  unsigned segment = 0;
  for (int i = 0; i < info->dlpi_phnum; ++i) {
    const ElfW(Phdr)& kopf = info->dlpi_phdr[i];
    if (kopf.p_type != PT_LOAD) continue;
    ++segment;
    const std::uint64_t groesse = kopf.p_memsz > kopf.p_filesz ? kopf.p_memsz : kopf.p_filesz;
    if (relativ < kopf.p_vaddr || relativ > kopf.p_vaddr + groesse) continue;
    // Code: an executable segment, its end (the first byte past it) not counted.
    if (s->nurCode && (!(kopf.p_flags & PF_X) || relativ == kopf.p_vaddr + groesse)) continue;
    s->gefunden = true;
    if (!s->ort) return 1;
    s->ort->abschnitt = segment;
    s->ort->versatz = relativ - kopf.p_vaddr;
    s->ort->relativ = relativ;
    const char* name = info->dlpi_name;
    if (!name || !*name) {
      // The program itself carries no name here.
      ssize_t n = readlink("/proc/self/exe", s->ort->modul, sizeof s->ort->modul - 1);
      s->ort->modul[n > 0 ? n : 0] = '\0';
    } else {
      std::strncpy(s->ort->modul, name, sizeof s->ort->modul - 1);
    }
    return 1;
  }
  return 0;
}
}  // namespace

void FindeOrt(const void* adresse, Ort& ort) {
  ort = Ort{};
  Suche suche{reinterpret_cast<std::uint64_t>(adresse), &ort, false, false};
  dl_iterate_phdr(&SucheSegment, &suche);
}

bool SymbolOhneHeap(const Ort& ort, char* name, std::size_t groesse, std::uint64_t& abstand) {
  if (!ort.modul[0] || groesse == 0) return false;
  const int datei = open(ort.modul, O_RDONLY | O_CLOEXEC);
  if (datei < 0) return false;
  struct stat info{};
  void* abbild = fstat(datei, &info) == 0 && info.st_size > 0
                     ? mmap(nullptr, static_cast<std::size_t>(info.st_size), PROT_READ, MAP_PRIVATE, datei, 0)
                     : MAP_FAILED;
  close(datei);
  if (abbild == MAP_FAILED) return false;
  const auto laenge = static_cast<std::uint64_t>(info.st_size);
  const auto* d = static_cast<const unsigned char*>(abbild);
  auto passt = [&](std::uint64_t stelle, std::uint64_t bytes) { return stelle <= laenge && bytes <= laenge - stelle; };
  bool gefunden = false;
  const auto* kopf = reinterpret_cast<const ElfW(Ehdr)*>(d);
  if (passt(0, sizeof *kopf) && std::memcmp(kopf->e_ident, ELFMAG, SELFMAG) == 0 &&
      kopf->e_ident[EI_CLASS] == ELFCLASS64 && kopf->e_shentsize == sizeof(ElfW(Shdr)) &&
      passt(kopf->e_shoff, std::uint64_t{kopf->e_shnum} * sizeof(ElfW(Shdr)))) {
    const auto* abschnitte = reinterpret_cast<const ElfW(Shdr)*>(d + kopf->e_shoff);
    // The full table where the file keeps it, else the exported symbols.
    const ElfW(Shdr)* tabelle = nullptr;
    for (int art : {SHT_SYMTAB, SHT_DYNSYM})
      for (unsigned i = 0; i < kopf->e_shnum && !tabelle; ++i)
        if (abschnitte[i].sh_type == static_cast<unsigned>(art)) tabelle = &abschnitte[i];
    const ElfW(Shdr)* texte = tabelle && tabelle->sh_link < kopf->e_shnum ? &abschnitte[tabelle->sh_link] : nullptr;
    if (texte && passt(tabelle->sh_offset, tabelle->sh_size) && passt(texte->sh_offset, texte->sh_size)) {
      const auto* symbole = reinterpret_cast<const ElfW(Sym)*>(d + tabelle->sh_offset);
      const std::uint64_t anzahl = tabelle->sh_size / sizeof(ElfW(Sym));
      for (std::uint64_t i = 0; i < anzahl && !gefunden; ++i) {
        const ElfW(Sym)& sym = symbole[i];
        const int typ = ELF64_ST_TYPE(sym.st_info);
        if (typ != STT_FUNC && typ != STT_GNU_IFUNC && typ != STT_NOTYPE) continue;  // code only
        if (sym.st_shndx == SHN_UNDEF || sym.st_size == 0 || sym.st_name >= texte->sh_size) continue;
        if (ort.relativ < sym.st_value || ort.relativ - sym.st_value >= sym.st_size) continue;
        const char* text = reinterpret_cast<const char*>(d + texte->sh_offset + sym.st_name);
        const std::size_t hoechstens = std::min<std::uint64_t>(groesse - 1, texte->sh_size - sym.st_name);
        std::size_t n = 0;
        while (n < hoechstens && text[n]) ++n;
        std::memcpy(name, text, n);
        name[n] = '\0';
        abstand = ort.relativ - sym.st_value;
        gefunden = true;
      }
    }
  }
  munmap(abbild, static_cast<std::size_t>(info.st_size));
  return gefunden;
}

bool InModulCode(const void* adresse) {
  Suche suche{reinterpret_cast<std::uint64_t>(adresse), nullptr, false, true};
  dl_iterate_phdr(&SucheSegment, &suche);
  return suche.gefunden;
}

std::size_t StapelAdressen(const ucontext_t* kontext, std::uint64_t* adressen, std::size_t hoechstens) {
  struct Sammlung {
    std::uint64_t start;
    std::uint64_t funktion;  // start of the function that holds `start`
    bool begonnen;
    std::uint64_t* adressen;
    std::size_t anzahl, hoechstens;
  } s{kontext ? static_cast<std::uint64_t>(kontext->uc_mcontext.gregs[REG_RIP]) : 0, 0, kontext == nullptr, adressen,
      0, hoechstens};
  if (kontext && hoechstens > 0 && !InModulCode(reinterpret_cast<const void*>(s.start))) {
    // Past the signal frame, the unwinder would look for a signal trampoline in the code at
    // an address without unwind information: there is none to read.
    adressen[0] = s.start;
    return 1;
  }
  if (kontext)
    s.funktion = reinterpret_cast<std::uint64_t>(_Unwind_FindEnclosingFunction(reinterpret_cast<void*>(s.start)));
  _Unwind_Backtrace(
      [](_Unwind_Context* ctx, void* roh) -> _Unwind_Reason_Code {
        auto* s = static_cast<Sammlung*>(roh);
        int vorDerAnweisung = 0;
        const std::uint64_t ip = _Unwind_GetIPInfo(ctx, &vorDerAnweisung);
        if (ip == 0) return _URC_END_OF_STACK;
        // The frames of the handler itself come first; the walk begins at the fault.
        if (!s->begonnen) {
          // A context taken with getcontext holds an address inside its frame's function.
          if (ip != s->start && (s->funktion == 0 || _Unwind_GetRegionStart(ctx) != s->funktion)) return _URC_NO_REASON;
          s->begonnen = true;
        }
        s->adressen[s->anzahl++] = ip;
        return s->anzahl < s->hoechstens ? _URC_NO_REASON : _URC_END_OF_STACK;
      },
      &s);
  if (!s.begonnen && kontext && hoechstens > 0) {
    // The unwinder did not get past the signal frame: at least the faulting instruction.
    adressen[0] = s.start;
    return 1;
  }
  return s.anzahl;
}

}  // namespace Plattform::Absturz

LPTOP_LEVEL_EXCEPTION_FILTER SetUnhandledExceptionFilter(LPTOP_LEVEL_EXCEPTION_FILTER filter) {
  using namespace Plattform::Absturz;
  LPTOP_LEVEL_EXCEPTION_FILTER vorher = gFilter;
  if (filter && !vorher) Installiere();
  if (!filter && vorher) Entferne();
  gFilter = filter;
  return vorher;
}
