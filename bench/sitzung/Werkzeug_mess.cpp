// The tool itself, run for one figure. Everything but the harness is the tool as it ships.
//   start          prints the monotonic time of the first presented frame and ends
//   bild N         loads a mesh of N triangles (0: the initial triangle), waits until its
//                  landscape is in, prints the mean wall and main-thread CPU milliseconds
//                  per frame
//   passe N        the same mesh; prints the median milliseconds of the shadow pass, the
//                  lit pass, the filter copy, lines with widgets and console, the present,
//                  the next frame's start (input, jobs, camera) and the whole frame; the
//                  passes are found by the device calls and ended with glFinish
//   pixel N DATEI  the same mesh; writes the finished back buffer of a later frame to
//                  DATEI as rows of A8R8G8B8 pixels after a line "breite hoehe"
// The mesh colours and the landscape seed are fixed (kBenchSaat), as the peer draws them.
#include "Anwendung.h"
#include "BenchNetz.h"
#include "BenchSzene.h"
#include "Einstieg.h"
#include "Messzeit.h"
#include "Quelm_Bild.h"
#include "Quelm_Screen3D.h"
#include "Quelm_System.h"
#include "Quelm_ZeichenKontext.h"
#include "Szene.h"
#include "d3d9/D3D9Steuerung.h"

#include <epoxy/gl.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0.0 : v[v.size() / 2];
}

// Splits each frame at the device calls: the first of a run of colour-target changes opens
// the next pass (shadow, lit, filter); the call after the filter's first draw closes the copy.
struct Passuhr {
  enum { kSchatten, kLicht, kFilter, kOben, kPraesent, kStart, kAnzahl };
  bool aktiv = false;
  int ziele = 0;  // target changes in this frame
  bool zielLauf = false, filterGezeichnet = false, nachFilter = false;
  int abschnitt = kStart;
  double marke = 0;
  double summe[kAnzahl] = {};
  std::vector<double> zeiten[kAnzahl + 1];

  void Marke(int naechster) {
    glFinish();
    const double jetzt = Wanduhr();
    summe[abschnitt] += (jetzt - marke) * 1e3;
    marke = jetzt;
    abschnitt = naechster;
  }
  void Aufruf(const char* methode) {
    if (!aktiv) return;
    if (nachFilter) {
      nachFilter = false;
      Marke(kOben);
    }
    if (!std::strcmp(methode, "Present")) Marke(kPraesent);
    const bool ziel = !std::strcmp(methode, "SetRenderTarget");
    if (ziel && !zielLauf) {
      ++ziele;
      Marke(std::min(ziele - 1, static_cast<int>(kFilter)));
      if (ziele == 1) NeuesBild();
    }
    zielLauf = ziel;
    if (ziele >= 3 && !filterGezeichnet && !std::strncmp(methode, "Draw", 4)) filterGezeichnet = nachFilter = true;
  }
  // The first target change of a frame closes the frame before it (kept from the first
  // whole frame on).
  void NeuesBild() {
    if (summe[kSchatten] > 0) {
      double gesamt = 0;
      for (int i = 0; i < kAnzahl; ++i) {
        zeiten[i].push_back(summe[i]);
        gesamt += summe[i];
      }
      zeiten[kAnzahl].push_back(gesamt);
    }
    std::fill(std::begin(summe), std::end(summe), 0.0);
    filterGezeichnet = false;
  }
  // After the present returned: the next frame starts.
  void BildEnde() {
    if (aktiv) Marke(kStart);
    ziele = 0;
  }
};

bool SchreibeRueckpuffer(const char* datei) {
  Quelm_ZeichenKontext* k = Quelm_Screen3D::zeichenKontext;
  D3DSURFACE_DESC d{};
  if (!k || !k->impl.rueckpuffer || FAILED(k->impl.rueckpuffer->GetDesc(&d))) return false;
  Quelm_Bild bild(d.Width, d.Height, PXFMT_A8R8G8B8, 1);
  if (!k->impl.LiesBildschirmInhalt(bild)) return false;
  FILE* f = std::fopen(datei, "wb");
  if (!f) return false;
  std::fprintf(f, "%u %u\n", d.Width, d.Height);
  for (std::uint64_t y = 0; y < bild.hoehe; ++y) std::fwrite(bild.daten + y * bild.pitch, 4, bild.breite, f);
  return std::fclose(f) == 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string art = argc > 1 ? argv[1] : "start";
  const int dreiecke = argc > 2 ? std::atoi(argv[2]) : 0;
  const char* datei = argc > 3 ? argv[3] : "pixel.bin";
  bool geladen = false;
  BildUhr uhr;
  Passuhr passuhr;
  if (art == "passe") {
    auto steuerung = std::make_shared<Plattform::D3D9::Steuerung>();
    steuerung->protokollieren = false;
    steuerung->vorAufruf = [&passuhr](const char* m) { passuhr.Aufruf(m); };
    Plattform::D3D9::InstalliereSteuerung(steuerung, Plattform::D3D9::Backend::OpenGL);
  }
  int fertig = 0;
  Spiel::Anwendung::nachBild = [&](Spiel::Szene& szene) {
    if (art == "start") {
      std::printf("%.6f\n", Wanduhr());
      std::fflush(stdout);
      gSystem.beenden = true;
      return;
    }
    if (!geladen) {
      szene.dreiecke.clear();
      if (dreiecke > 0) {
        for (const auto& d : BenchNetz(dreiecke))
          szene.dreiecke.push_back({{{d[0], d[1], d[2]}, {d[3], d[4], d[5]}, {d[6], d[7], d[8]}}});
      } else {
        szene.dreiecke.push_back({{{-10, 0, 10}, {0, 0, -10}, {10, 0, 10}}});
      }
      szene.farbZufall = Spiel::Zufall(kBenchSaat);
      szene.BaueNetz();
      geladen = true;
    }
    // The landscape of the loaded mesh is swapped in before the clock starts.
    if (fertig == 0 && (szene.generierung.faser || szene.veraendert)) return;
    ++fertig;
    if (art == "pixel") {
      // Late enough for the widgets' fade-in to have ended.
      if (fertig < 120) return;
      if (!SchreibeRueckpuffer(datei)) std::exit(1);
      gSystem.beenden = true;
    } else if (art == "passe") {
      passuhr.BildEnde();
      if (fertig == uhr.aufwaermen) passuhr.aktiv = true;
      if (fertig < uhr.aufwaermen + uhr.bilder) return;
      for (const auto& z : passuhr.zeiten) std::printf("%.3f ", Median(z));
      std::printf("\n");
      std::fflush(stdout);
      gSystem.beenden = true;
    } else if (uhr.Bild()) {
      gSystem.beenden = true;
    }
  };
  return Spiel::ProgrammEinstieg([] {
    Spiel::Anwendung anwendung;
    anwendung.Ausfuehren();
  });
}
