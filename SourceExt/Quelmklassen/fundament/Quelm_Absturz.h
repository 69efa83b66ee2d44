#pragma once
// Crash reporting: the process's unhandled-exception filter (installed by its own
// global, see Quelm_InitReihenfolge.h) writes "MiniDump.dmp" into the user data folder
// and a report into the log, then passes the exception on.
#include "Absturz.h"

// The filter: dump, report, then the result of the filter installed before (or
// EXCEPTION_CONTINUE_SEARCH).
LONG Quelm_AbsturzFilter(EXCEPTION_POINTERS* ausnahme);
// The report in the log: exception code and name, fault location, the call stack.
void Quelm_AbsturzBericht(EXCEPTION_POINTERS* ausnahme);
// The name of an exception code ("ACCESS_VIOLATION"); null outside the table.
const char* Quelm_AusnahmeName(DWORD code);

// How the report guards itself. `vorBericht` runs first inside the guarded part (tests
// plant a fault or a hang there); the guarded part ends after `frist` seconds.
struct Quelm_AbsturzSchutz {
  void (*vorBericht)() = nullptr;
  unsigned frist = 10;
};
extern Quelm_AbsturzSchutz gAbsturzSchutz;
