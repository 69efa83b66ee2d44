// A small program for the exit-order test: it activates the log in the folder given as its
// argument, queues lines from another thread, and leaves the rest to the exit handlers.
#include "Quelm_InitReihenfolge.h"
#include "Quelm_Protokoll.h"

#include <thread>

namespace {
// Built after "t_logfile", destroyed before it: its line is written directly.
struct SpaeterGlobaler {
  ~SpaeterGlobaler() { Protokolliere("Ende eines spaeteren Globalen"); }
};
QUELM_INIT(QUELM_SLOT_SPRACHE + 5) SpaeterGlobaler spaeter;
}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  gProtokoll.Aktiviere(argv[1]);
  std::thread([] { Protokolliere("Zeile aus einem Arbeitsthread"); }).join();
  return 0;
}
