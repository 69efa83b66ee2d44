// The tool itself, run for one figure. "start": prints the monotonic time of the first
// presented frame and ends. "bild N": loads a mesh of N triangles (0: the initial
// triangle), waits until its landscape is in, then prints the mean wall and main-thread
// CPU milliseconds per frame. Everything else is the tool as it ships.
#include "Anwendung.h"
#include "BenchNetz.h"
#include "Einstieg.h"
#include "Messzeit.h"
#include "Quelm_System.h"
#include "Szene.h"

#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
  const std::string art = argc > 1 ? argv[1] : "start";
  const int dreiecke = argc > 2 ? std::atoi(argv[2]) : 0;
  bool geladen = false;
  BildUhr uhr;
  Spiel::Anwendung::nachBild = [&](Spiel::Szene& szene) {
    if (art == "start") {
      std::printf("%.6f\n", Wanduhr());
      std::fflush(stdout);
      gSystem.beenden = true;
      return;
    }
    if (!geladen && dreiecke > 0) {
      szene.dreiecke.clear();
      for (const auto& d : BenchNetz(dreiecke))
        szene.dreiecke.push_back({{{d[0], d[1], d[2]}, {d[3], d[4], d[5]}, {d[6], d[7], d[8]}}});
      szene.BaueNetz();
    }
    geladen = true;
    // The landscape of the loaded mesh is swapped in before the clock starts.
    if (uhr.gezaehlt < 0 && (szene.generierung.faser || szene.veraendert)) return;
    if (uhr.Bild()) gSystem.beenden = true;
  };
  return Spiel::ProgrammEinstieg([] {
    Spiel::Anwendung anwendung;
    anwendung.Ausfuehren();
  });
}
