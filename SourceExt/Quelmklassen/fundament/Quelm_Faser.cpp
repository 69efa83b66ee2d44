#include "Quelm_Faser.h"

#include "Quelm_Protokolliere.h"

#include <cxxabi.h>
#include <sys/mman.h>

#include <cstdlib>
#include <exception>
#include <new>

#if defined(__SANITIZE_ADDRESS__)
#define QUELM_ASAN 1
#include <sanitizer/asan_interface.h>
#include <sanitizer/common_interface_defs.h>
#endif
#if defined(__SANITIZE_THREAD__)
#define QUELM_TSAN 1
#include <sanitizer/tsan_interface.h>
#endif

namespace ctx = boost::context::detail;

namespace {
thread_local Quelm_Faser* tLaufendeFaser = nullptr;
}

std::string Quelm_TypName(const std::type_info& typ) {
  int status = 0;
  char* lesbar = abi::__cxa_demangle(typ.name(), nullptr, nullptr, &status);
  std::string name = (status == 0 && lesbar) ? lesbar : typ.name();
  std::free(lesbar);
  return name;
}

Quelm_Faser* Quelm_Faser::Aktuelle() { return tLaufendeFaser; }

void Quelm_Faser::BereiteKontextVor() {
  // A block that ran a job before keeps its fiber, parked where the last job ended.
  if (!kontext) kontext = ctx::make_fcontext(Stapel() + kStapelGroesse, kStapelGroesse, &Quelm_Faser::Einstieg);
  rueckKontext = nullptr;
}

void Quelm_Faser::FuehreAus() {
  Quelm_Faser* vorher = tLaufendeFaser;
  tLaufendeFaser = this;
#ifdef QUELM_ASAN
  // ASan must know which stack is live, or it reports the fiber's frames as overflows.
  void* falscherStapel = nullptr;
  __sanitizer_start_switch_fiber(&falscherStapel, Stapel(), kStapelGroesse);
#endif
#ifdef QUELM_TSAN
  tsanRueck = __tsan_get_current_fiber();
  tsanFaser = __tsan_create_fiber(0);
  __tsan_switch_to_fiber(tsanFaser, 0);
#endif
  kontext = ctx::jump_fcontext(kontext, this).fctx;
#ifdef QUELM_ASAN
  __sanitizer_finish_switch_fiber(falscherStapel, nullptr, nullptr);
#endif
#ifdef QUELM_TSAN
  __tsan_destroy_fiber(tsanFaser);
  tsanFaser = nullptr;
#endif
  tLaufendeFaser = vorher;
}

void Quelm_Faser::Einstieg(ctx::transfer_t von) {
  // Everything with a destructor lives in Lauf: this frame is never left. After each job the
  // fiber parks here; the block's next job resumes it, possibly from another thread.
  for (;;) {
    auto* faser = static_cast<Quelm_Faser*>(von.data);
    faser->rueckKontext = von.fctx;
#ifdef QUELM_ASAN
    __sanitizer_finish_switch_fiber(faser->asanStapel, &faser->rueckStapel, &faser->rueckStapelGroesse);
#endif
    faser->Lauf();
#ifdef QUELM_ASAN
    __sanitizer_start_switch_fiber(&faser->asanStapel, faser->rueckStapel, faser->rueckStapelGroesse);
#endif
#ifdef QUELM_TSAN
    __tsan_switch_to_fiber(faser->tsanRueck, 0);
#endif
    von = ctx::jump_fcontext(faser->rueckKontext, nullptr);
  }
}

void Quelm_Faser::Lauf() noexcept {
  zustand.store(Laeuft, std::memory_order_release);
  try {
    if (koerper) koerper();
  } catch (const std::exception& e) {
    Protokolliere("Unbehandelte Ausnahme %s wegen \"%s\" bei Faser-Ausführung.", Quelm_TypName(typeid(e)).c_str(),
                  e.what());
  } catch (...) {
    Protokolliere("Unbehandelte sonstige Ausnahme bei Faser-Ausführung.");
  }
  zustand.store(Fertig, std::memory_order_release);
}

void Quelm_Faser::Recycle() {
  art = Frei;
  zustand.store(ZustandFrei, std::memory_order_relaxed);
  id.store(kKeineId, std::memory_order_release);
  koerper = nullptr;
  rueckKontext = nullptr;  // `kontext` stays: the parked fiber runs the block's next job
}

char* Quelm_Faser::ReserviereBloecke(std::size_t anzahl) {
  const std::size_t groesse = anzahl * kBlockGroesse;
  void* p = mmap(nullptr, groesse, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
  if (p == MAP_FAILED) return nullptr;
  char* bereich = static_cast<char*>(p);
  for (std::size_t i = 0; i < anzahl; ++i) {
    char* block = bereich + i * kBlockGroesse;
    if (mprotect(block + kWaechterAbstand, kSeitenGroesse, PROT_NONE) != 0) {
      // An unguarded stack could silently overwrite its neighbour: no block at all.
      for (std::size_t j = 0; j < i; ++j) reinterpret_cast<Quelm_Faser*>(bereich + j * kBlockGroesse)->~Quelm_Faser();
      munmap(bereich, groesse);
      return nullptr;
    }
    new (block) Quelm_Faser();
  }
  return bereich;
}

void Quelm_Faser::GibBloeckeFrei(char* bereich, std::size_t anzahl) {
  if (!bereich) return;
  for (std::size_t i = 0; i < anzahl; ++i) reinterpret_cast<Quelm_Faser*>(bereich + i * kBlockGroesse)->~Quelm_Faser();
  munmap(bereich, anzahl * kBlockGroesse);
}
