#pragma once
#include <boost/context/detail/fcontext.hpp>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <typeinfo>

// One job of the parallel execution core: the header at the start of a 128 KiB block
// whose rest is the job's fiber stack. Layout of a block:
//   [0, 4 KiB)        this header
//   [4 KiB, 8 KiB)    guard page (no access): an overflowing stack faults here instead
//                     of running over the header and into the block below
//   [8 KiB, 128 KiB)  fiber stack, its top at the block's end
//
// Jobs run to their end in one go: there is no operation to yield or to wait for
// another job, so the header carries no request or waiter fields.
struct Quelm_Faser {
  enum Art : std::uint32_t { Frei = 0, Hauptthread = 1, Parallel = 2, EinAusgabe = 3 };
  enum Zustand : std::uint32_t { ZustandFrei = 0, Eingereiht = 1, Laeuft = 2, Fertig = 3 };

  static constexpr std::size_t kBlockGroesse = 131072;
  static constexpr std::size_t kSeitenGroesse = 4096;
  static constexpr std::size_t kWaechterAbstand = kSeitenGroesse;
  static constexpr std::size_t kStapelAbstand = 2 * kSeitenGroesse;
  static constexpr std::size_t kStapelGroesse = kBlockGroesse - kStapelAbstand;
  static constexpr std::uint64_t kKeineId = ~std::uint64_t{0};

  std::uint32_t art = Frei;
  std::uint32_t prioritaet = 0;  // 0 to 2, 2 is served first
  // Atomic: a handle's owner may compare it while a worker recycles the block.
  std::atomic<std::uint64_t> id{kKeineId};
  std::function<void()> koerper;
  boost::context::detail::fcontext_t kontext = nullptr;
  boost::context::detail::fcontext_t rueckKontext = nullptr;
  std::atomic<std::uint32_t> zustand{ZustandFrei};

  // Where the switch back lands, for the sanitizers' fiber bookkeeping.
  const void* rueckStapel = nullptr;
  std::size_t rueckStapelGroesse = 0;
  void* asanStapel = nullptr;  // the parked fiber's fake stack
  void* tsanFaser = nullptr;
  void* tsanRueck = nullptr;
  // The next block of the core's stack of recycled blocks while this one is free.
  Quelm_Faser* naechsterFreier = nullptr;

  char* Stapel() { return reinterpret_cast<char*>(this) + kStapelAbstand; }
  char* Waechterseite() { return reinterpret_cast<char*>(this) + kWaechterAbstand; }

  // Makes the fiber context on the block's stack, starting in Einstieg, unless the block
  // keeps a parked fiber from its last job.
  void BereiteKontextVor();
  // Switches the calling thread into the job and returns when the job has finished.
  void FuehreAus();
  // Back to a free block: destroys the callable.
  void Recycle();

  // The function every fiber starts in; runs one job per resume and never returns.
  static void Einstieg(boost::context::detail::transfer_t von);

  // The job running on the calling thread, or null.
  static Quelm_Faser* Aktuelle();

  // Maps `anzahl` blocks in one region, each with its header built and its guard page
  // set; null when the memory cannot be had. Release with GibBloeckeFrei.
  static char* ReserviereBloecke(std::size_t anzahl);
  static void GibBloeckeFrei(char* bereich, std::size_t anzahl);

 private:
  void Lauf() noexcept;
};

static_assert(sizeof(Quelm_Faser) <= Quelm_Faser::kSeitenGroesse, "the job header must fit below the guard page");

// Readable name of a type (demangled), for log lines about exceptions.
std::string Quelm_TypName(const std::type_info& typ);
