#pragma once
#include "Quelm_ParallelKern.h"

class Quelm_KonsoleBasisAnzeige;

namespace Spiel {

// The tool while it runs: owns the parallel execution core and the console display, opens
// the screen and the input system, and runs the main loop.
class Anwendung {
 public:
  Anwendung();
  ~Anwendung();

  Anwendung(const Anwendung&) = delete;
  Anwendung& operator=(const Anwendung&) = delete;

  // The main loop: frames until the quit flag of the system object is set.
  void Ausfuehren();

  // Log sink of the input library.
  static void MeldeEingabe(const char* text);

  // The mode flags the screen starts with: 2, plus 1 for fullscreen, plus 8 for vsync.
  static std::uint64_t ModusFlags(bool vollbild, bool vsync);

 private:
  // Body of the frame job: ends the main thread's job turn.
  void BeendeJobRunde();
  // Runs every main-thread job queued before this frame's turn.
  void JobRunde();

  Quelm_KonsoleBasisAnzeige* konsolenAnzeige = nullptr;
  Quelm_ParallelKern kern;
};

}  // namespace Spiel
