// Build-time tool: rasterises a TrueType font with the engine's own rasteriser and packer
// and writes it as a font file ("FNTH").
//   Fontwerkzeug <font.ttf> <font.fnt>
// The atlas lives in a texture, so the tool runs on the recording device, without a window.
#include "Quelm_Font3D.h"
#include "Quelm_Konsole.h"
#include "Quelm_Screen3D.h"
#include "Quelm_ZeichenKontext.h"
#include "TSpeicher.h"
#include "d3d9/D3D9Steuerung.h"

#include <cstdio>
#include <fstream>
#include <memory>

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "Aufruf: %s <schrift.ttf> <schrift.fnt>\n", argv[0]);
    return 2;
  }
  namespace D3D9 = Plattform::D3D9;
  // No shader dump files beside the build.
  if (Quelm_KonsolenVariable* v = Quelm_KonsolenVariable::Finde("debugShader")) v->SetzeBool(false);
  auto steuerung = std::make_shared<D3D9::Steuerung>();
  steuerung->protokollieren = false;
  D3D9::InstalliereSteuerung(steuerung, D3D9::Backend::Aufzeichnung);
  Quelm_Screen3D::modus = {64, 64, 0, 0};
  auto* kontext = new Quelm_ZeichenKontext();
  Quelm_Screen3D::zeichenKontext = kontext;

  int ergebnis = 1;
  if (Quelm_Font3D* font = Quelm_Font3D::LadeTrueType(argv[1])) {
    TSpeicher speicher;
    if (font->Speichern(speicher)) {
      std::ofstream aus(argv[2], std::ios::binary | std::ios::trunc);
      aus.write(reinterpret_cast<const char*>(speicher.daten), static_cast<std::streamsize>(speicher.groesse));
      ergebnis = aus.good() ? 0 : 1;
    }
    delete font;
  }
  if (ergebnis != 0) std::fprintf(stderr, "%s: %s konnte nicht nach %s geschrieben werden\n", argv[0], argv[1], argv[2]);
  delete kontext;
  Quelm_Screen3D::zeichenKontext = nullptr;
  D3D9::EntferneSteuerung();
  return ergebnis;
}
