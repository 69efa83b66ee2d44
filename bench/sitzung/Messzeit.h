#pragma once
// Clocks the frame figures share: wall time on the machine-wide monotonic clock (so a
// parent process can compare it with its own), CPU time of the calling thread.
#include <ctime>

inline double Wanduhr() {
  timespec t{};
  clock_gettime(CLOCK_MONOTONIC, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

inline double FadenCpu() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// Counts frames after a warm-up and prints one line "wall-ms cpu-ms" per frame on average.
struct BildUhr {
  int aufwaermen = 30, bilder = 200;
  int gezaehlt = -1;
  double wand0 = 0, cpu0 = 0;

  // Called once per presented frame that counts; true when the figure is printed.
  bool Bild();
};
