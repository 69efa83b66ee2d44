#pragma once
// Holding another thread of the process still, to read its stack: a real-time signal makes
// the thread copy its registers and wait inside the handler until it is released. Every
// wait is bounded, so a thread that ended, blocks the signal or never gets released costs
// time, not a deadlock.
#include <sys/types.h>
#include <ucontext.h>

#include <chrono>
#include <cstdint>
#include <mutex>

namespace Plattform::Absturz {

// The signal that holds a thread. Its handler is installed on first use and stays, so a
// late delivery never meets the signal's default action (which ends the process).
int AnhalteSignal();

class AngehaltenerThread {
 public:
  // Waits at most `frist` for `thread` (a thread id of this process, not the caller's) to
  // stop. The thread itself waits at most `haltFrist` for its release.
  explicit AngehaltenerThread(pid_t thread, std::chrono::milliseconds frist = std::chrono::seconds(1),
                              std::chrono::milliseconds haltFrist = std::chrono::seconds(5));
  // Releases the thread.
  ~AngehaltenerThread();
  AngehaltenerThread(const AngehaltenerThread&) = delete;
  AngehaltenerThread& operator=(const AngehaltenerThread&) = delete;

  // False with errno set when the thread did not stop: ESRCH (no such thread), ETIMEDOUT
  // (no answer: blocked signal, or it ended meanwhile), EBUSY (the signal is taken).
  bool Angehalten() const { return angehalten_; }
  // The registers where the thread was interrupted; valid while it is held.
  const gregset_t& Register() const;

 private:
  std::unique_lock<std::mutex> sperre_;  // one held thread at a time
  std::uint64_t anfrage_ = 0;
  bool angehalten_ = false;
};

}  // namespace Plattform::Absturz
