// A program that crashes on purpose, one way per argument, for the crash-report tests, or
// ends normally for the exit-order test. Its log and dump go to the user data folder of its
// environment.
#include "DateiSperre.h"
#include "Quelm_Absturz.h"
#include "Quelm_InitReihenfolge.h"
#include "Quelm_ParallelKern.h"
#include "Quelm_Protokoll.h"
#include "Quelm_System.h"

#include <malloc.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <string>
#include <thread>

// The assertion below fails in every build type.
#undef NDEBUG
#include <cassert>

namespace {

int* volatile gNull = nullptr;
volatile int gNenner = 0;

__attribute__((noinline)) void SchreibeNull() { *gNull = 42; }

__attribute__((noinline)) int Teile(int zaehler) { return zaehler / gNenner; }

__attribute__((noinline)) void PruefeAnzahl(int anzahl) { assert(anzahl == 1); }

// A call that never returns ends its caller's code: the return address lies past it.
[[noreturn]] __attribute__((noinline)) void SchreibeNullEndgueltig() {
  *gNull = 42;
  for (;;) pause();
}
__attribute__((noinline)) void RufeAmEnde() { SchreibeNullEndgueltig(); }

// A call through a function pointer that leads nowhere: the program counter then lies in no
// module. The count after the call keeps it a call (not a jump that leaves this frame).
void (*volatile gFunktion)() = nullptr;
volatile int gNachDemAufruf = 0;
__attribute__((noinline)) void RufeZeiger() {
  gFunktion();
  gNachDemAufruf = gNachDemAufruf + 1;
}

// Code made at run time, as a JIT compiler makes it: a frame of its own, a value saved on
// the stack, then a read of address 0. The word at the stack pointer is that value.
void (*ErzeugterCode())() {
  static const unsigned char kCode[] = {
      0x55,                                            // push rbp
      0x48, 0x89, 0xE5,                                // mov rbp, rsp
      0x68, 0x78, 0x56, 0x34, 0x12,                    // push 0x12345678
      0x48, 0x8B, 0x04, 0x25, 0x00, 0x00, 0x00, 0x00,  // mov rax, [0]
      0xC9, 0xC3};                                     // leave; ret
  void* seite = mmap(nullptr, 4096, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (seite == MAP_FAILED) return nullptr;
  std::memcpy(seite, kCode, sizeof kCode);
  if (mprotect(seite, 4096, PROT_READ | PROT_EXEC) != 0) return nullptr;
  return reinterpret_cast<void (*)()>(seite);
}

// The C library's heap check finds the size of the block after ours damaged and aborts
// inside malloc, with the heap's lock held (taken once a second thread has existed).
__attribute__((noinline)) void VerderbeDenHeap() {
  std::thread([] {}).join();
  auto* block = static_cast<char*>(std::malloc(50000));  // the free rest of the heap follows it
  *reinterpret_cast<volatile std::size_t*>(block + malloc_usable_size(block)) = ~std::size_t{0xE};
  void* volatile danach = std::malloc(60000);
  std::free(danach);
}

volatile bool gWeiter = true;

__attribute__((noinline)) int Rekursion(int tiefe) {
  volatile char platz[512];
  platz[0] = static_cast<char>(tiefe);
  return (gWeiter ? Rekursion(tiefe + 1) : 0) + platz[0];
}

void FruehererBehandler(int) {
  const char text[] = "frueherer Behandler lief\n";
  [[maybe_unused]] ssize_t n = write(STDERR_FILENO, text, sizeof text - 1);
}

[[noreturn]] void WarteAufDasEnde() {
  for (;;) pause();
}

// Built after "t_logfile", destroyed before it: at a normal end its line is written directly.
struct SpaeterGlobaler {
  ~SpaeterGlobaler() { Protokolliere("Ende eines spaeteren Globalen"); }
};
QUELM_INIT(QUELM_SLOT_SPRACHE + 5) SpaeterGlobaler spaeter;

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  const std::string art = argv[1];
  gProtokoll.Aktiviere(gSystem.benutzerVerzeichnis);

  if (art == "ende") {
    // Queued lines are left to the exit handlers.
    std::thread([] { Protokolliere("Zeile aus einem Arbeitsthread"); }).join();
    return 0;
  }
  if (art == "warten") {
    // Until another process sends a signal; the line tells it when to.
    Protokolliere("bereit");
    WarteAufDasEnde();
  }
  if (art == "null") SchreibeNull();
  if (art == "nullzeiger" || art == "zeiger10" || art == "zeigerfrei" || art == "zeigerdaten" || art == "erzeugt") {
    if (art == "zeiger10") gFunktion = reinterpret_cast<void (*)()>(0x10);
    if (art == "zeigerfrei") {
      // A stale pointer: into a page that was mapped once and is gone.
      void* seite = mmap(nullptr, 4096, PROT_READ | PROT_EXEC, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
      if (seite == MAP_FAILED) return 4;
      munmap(seite, 4096);
      gFunktion = reinterpret_cast<void (*)()>(static_cast<char*>(seite) + 16);
    }
    if (art == "zeigerdaten") {
      // Into data: readable, but no code may be fetched there.
      void* seite = mmap(nullptr, 4096, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
      if (seite == MAP_FAILED) return 4;
      gFunktion = reinterpret_cast<void (*)()>(seite);
    }
    if (art == "erzeugt") {
      gFunktion = ErzeugterCode();
      if (!gFunktion) return 4;
    }
    RufeZeiger();
  }
  if (art == "am_ende") RufeAmEnde();
  if (art == "heap") VerderbeDenHeap();
  if (art == "division") return Teile(7);
  if (art == "zusicherung") PruefeAnzahl(argc);  // 2: the assertion fails
  if (art == "ausnahme") throw std::runtime_error("kaputt");
  if (art == "arbeiter" || art == "faser") {
    Quelm_ParallelKern kern;
    if (art == "arbeiter") Quelm_ParallelKern::NeueFaser(Quelm_Faser::Parallel, [] { SchreibeNull(); });
    else Quelm_ParallelKern::NeueFaser(Quelm_Faser::Parallel, [] { Rekursion(0); });
    WarteAufDasEnde();
  }
  if (art == "vorher") {
    // An earlier handler: installed before the filter, it must still run afterwards.
    LPTOP_LEVEL_EXCEPTION_FILTER filter = SetUnhandledExceptionFilter(nullptr);
    struct sigaction frueher {};
    frueher.sa_handler = &FruehererBehandler;
    sigaction(SIGSEGV, &frueher, nullptr);
    SetUnhandledExceptionFilter(filter);
    SchreibeNull();
  }
  if (art == "ohne_modulliste") {
    // No file can be opened once the report begins: the module list (from /proc) cannot be
    // read, and the log's lines reach only stderr. The dump is written before.
    gAbsturzSchutz.vorBericht = [] {
      if (!SperreDateiOeffnen()) {
        const char text[] = "keine Dateisperre\n";
        [[maybe_unused]] ssize_t n = write(STDERR_FILENO, text, sizeof text - 1);
      }
    };
    SchreibeNull();
  }
  if (art == "symbolfehler" || art == "symbolabbruch" || art == "symbolhaenger") {
    gAbsturzSchutz.frist = 1;
    if (art == "symbolfehler") gAbsturzSchutz.vorBericht = [] { SchreibeNull(); };
    else if (art == "symbolabbruch") gAbsturzSchutz.vorBericht = [] { std::abort(); };
    else gAbsturzSchutz.vorBericht = [] { WarteAufDasEnde(); };
    SchreibeNull();
  }
  return 3;
}
