#include "Anhalten.h"

#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <ctime>

namespace Plattform::Absturz {
namespace {

// The state of the current request: its number times 4 plus the phase. The number tells a
// late handler that its request is over.
enum Phase : std::uint64_t { Angefragt = 0, Kopiert = 1, Haelt = 2, Vorbei = 3 };
std::atomic<std::uint64_t> gStand{Vorbei};
std::atomic<long> gHaltFristMs{0};
gregset_t gRegister;
std::mutex gSperre;
std::uint64_t gLetzteAnfrage = 0;  // under gSperre

std::uint64_t Stand(std::uint64_t anfrage, Phase phase) { return anfrage * 4 + phase; }

long MillisekundenJetzt() {
  timespec t{};
  clock_gettime(CLOCK_MONOTONIC, &t);
  return t.tv_sec * 1000 + t.tv_nsec / 1000000;
}

void KurzWarten() {
  const timespec kurz{0, 100 * 1000};
  nanosleep(&kurz, nullptr);
}

// Runs on the held thread: signal-safe calls only.
void Anhaltebehandler(int, siginfo_t* info, void* roh) {
  if (info->si_code != SI_QUEUE || info->si_pid != getpid()) return;  // not sent by AngehaltenerThread
  const int gesichertesErrno = errno;
  const auto anfrage = reinterpret_cast<std::uintptr_t>(info->si_value.sival_ptr);
  std::uint64_t erwartet = Stand(anfrage, Angefragt);
  if (gStand.compare_exchange_strong(erwartet, Stand(anfrage, Kopiert))) {
    std::memcpy(gRegister, static_cast<ucontext_t*>(roh)->uc_mcontext.gregs, sizeof gRegister);
    gStand.store(Stand(anfrage, Haelt), std::memory_order_release);
    const long ende = MillisekundenJetzt() + gHaltFristMs.load();
    while (gStand.load(std::memory_order_acquire) == Stand(anfrage, Haelt) && MillisekundenJetzt() < ende)
      KurzWarten();
    // Not released in time: run on; the reader's memory reads stay safe.
    erwartet = Stand(anfrage, Haelt);
    gStand.compare_exchange_strong(erwartet, Stand(anfrage, Vorbei));
  }
  errno = gesichertesErrno;
}

bool InstalliereBehandler() {
  static const bool installiert = [] {
    struct sigaction jetzt{};
    if (sigaction(AnhalteSignal(), nullptr, &jetzt) != 0 || jetzt.sa_handler != SIG_DFL) return false;  // taken
    struct sigaction neu{};
    neu.sa_sigaction = &Anhaltebehandler;
    sigemptyset(&neu.sa_mask);
    neu.sa_flags = SA_SIGINFO | SA_RESTART;
    return sigaction(AnhalteSignal(), &neu, nullptr) == 0;
  }();
  return installiert;
}

}  // namespace

int AnhalteSignal() { return SIGRTMIN + 4; }

AngehaltenerThread::AngehaltenerThread(pid_t thread, std::chrono::milliseconds frist,
                                       std::chrono::milliseconds haltFrist)
    : sperre_(gSperre) {
  if (!InstalliereBehandler()) {
    errno = EBUSY;
    return;
  }
  anfrage_ = ++gLetzteAnfrage;
  gHaltFristMs.store(static_cast<long>(haltFrist.count()));
  gStand.store(Stand(anfrage_, Angefragt), std::memory_order_release);
  siginfo_t info{};
  info.si_signo = AnhalteSignal();
  info.si_code = SI_QUEUE;
  info.si_pid = getpid();
  info.si_uid = getuid();
  info.si_value.sival_ptr = reinterpret_cast<void*>(static_cast<std::uintptr_t>(anfrage_));
  if (syscall(SYS_rt_tgsigqueueinfo, getpid(), thread, AnhalteSignal(), &info) != 0) return;
  const long ende = MillisekundenJetzt() + static_cast<long>(frist.count());
  for (;;) {
    std::uint64_t stand = gStand.load(std::memory_order_acquire);
    if (stand == Stand(anfrage_, Haelt)) {
      angehalten_ = true;
      return;
    }
    if (stand == Stand(anfrage_, Vorbei)) {  // the thread gave up on us already
      errno = ETIMEDOUT;
      return;
    }
    // No answer in time: withdrawn, unless the thread is copying (that ends at once).
    std::uint64_t erwartet = Stand(anfrage_, Angefragt);
    if (MillisekundenJetzt() >= ende && gStand.compare_exchange_strong(erwartet, Stand(anfrage_, Vorbei))) {
      errno = ETIMEDOUT;
      return;
    }
    KurzWarten();
  }
}

AngehaltenerThread::~AngehaltenerThread() {
  if (anfrage_ != 0) gStand.store(Stand(anfrage_, Vorbei), std::memory_order_release);
}

const gregset_t& AngehaltenerThread::Register() const { return gRegister; }

}  // namespace Plattform::Absturz
