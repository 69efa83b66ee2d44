#include "Messzeit.h"

#include <cstdio>

bool BildUhr::Bild() {
  ++gezaehlt;
  if (gezaehlt == aufwaermen) {
    wand0 = Wanduhr();
    cpu0 = FadenCpu();
  }
  if (gezaehlt < aufwaermen + bilder) return false;
  std::printf("%.4f %.4f\n", (Wanduhr() - wand0) * 1e3 / bilder, (FadenCpu() - cpu0) * 1e3 / bilder);
  std::fflush(stdout);
  return true;
}
