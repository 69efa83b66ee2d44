#pragma once
// The screen's render context on a hidden window of the OpenGL device, set up as the
// screen would make them, for tests that draw through the engine and read pixels back.
#include "GlHilfen.h"
#include "ProtokollSammler.h"
#include "Quelm_Screen3D.h"
#include "Quelm_ZeichenKontext.h"
#include "fenster/Fenster.h"

class GlKontextTest : public ::testing::Test {
 protected:
  GlKontextTest(int breite, int hoehe) : fenster(breite, hoehe), breite_(breite), hoehe_(hoehe) {}

  void SetUp() override {
    AktiviereProtokoll(ordner.pfad());
    ASSERT_NE(fenster.glfw(), nullptr);
    Quelm_Screen3D::modus = {static_cast<std::uint64_t>(breite_), static_cast<std::uint64_t>(hoehe_), 0, 0};
    Quelm_Screen3D::modusFlags = 0;
    Quelm_Screen3D::fenster = fenster.glfw();
    Quelm_Screen3D::nativesFenster = Plattform::Fenster::HandleVon(fenster.glfw());
    NeuerKontext();
    ASSERT_TRUE(kontext->HatGeraet());
  }

  void TearDown() override {
    delete kontext;
    Quelm_Screen3D::zeichenKontext = nullptr;
    Quelm_Screen3D::nativesFenster = nullptr;
    Quelm_Screen3D::fenster = nullptr;
  }

  GlTest::Pixelbild Lies() { return GlTest::LiesRueckpuffer(kontext->impl.geraet.get()); }

  // A new context for the current mode and flags.
  void NeuerKontext() {
    delete kontext;
    kontext = new Quelm_ZeichenKontext();
    Quelm_Screen3D::zeichenKontext = kontext;
  }

  TempOrdner ordner;
  GlTest::VerstecktesFenster fenster;
  Quelm_ZeichenKontext* kontext = nullptr;

 private:
  int breite_, hoehe_;
};
