#pragma once
// The render context of the fuzz targets: one for the whole run, on the recording device
// without a window, with its call log off so that nothing grows from input to input.
#include "Absturz.h"
#include "Quelm_BlockGfx3D.h"
#include "Quelm_Konsole.h"
#include "Quelm_Screen3D.h"
#include "Quelm_ZeichenKontext.h"
#include "TSpeicher.h"
#include "d3d9/D3D9Steuerung.h"

#include <cstdint>
#include <cstring>
#include <memory>

inline Quelm_ZeichenKontext* Aufzeichnungskontext() {
  static Quelm_ZeichenKontext* kontext = [] {
    namespace D3D9 = Plattform::D3D9;
    auto steuerung = std::make_shared<D3D9::Steuerung>();
    steuerung->protokollieren = false;
    D3D9::InstalliereSteuerung(steuerung, D3D9::Backend::Aufzeichnung);
    Quelm_Screen3D::modus = {640, 480, 0, 0};
    Quelm_Screen3D::modusFlags = 0;
    Quelm_Screen3D::nativesFenster = nullptr;
    auto* k = new Quelm_ZeichenKontext();
    Quelm_Screen3D::zeichenKontext = k;
    return k;
  }();
  return kontext;
}

// For LLVMFuzzerInitialize, before libFuzzer sets its signal handlers: the engine's crash
// handler would otherwise keep them and end the process without the fuzzer's report. Shaders
// compile from memory, without a dump file per input in the working folder. One atlas for the
// whole run holds the shared block shader set, so that the atlases of each input do not build
// it anew.
inline void BereiteLaufVor() {
  SetUnhandledExceptionFilter(nullptr);
  Quelm_KonsolenVariable::Finde("debugShader")->SetzeBool(false);
  Aufzeichnungskontext();
  static const Quelm_BlockGfx3D* dauernutzer = new Quelm_BlockGfx3D(0, 0, 0);
  (void)dauernutzer;
}

inline TSpeicher AlsSpeicher(const std::uint8_t* daten, std::size_t groesse) {
  TSpeicher speicher;
  speicher.Reserviere(groesse);
  if (groesse) std::memcpy(speicher.daten, daten, groesse);
  speicher.SetGroesse(groesse);
  return speicher;
}
