#pragma once
// A hidden window with the screen's render context on the OpenGL device, for benchmarks
// that draw through the engine (run them under a display: scripts/mit_xvfb.sh).
#include "Quelm_Konsole.h"
#include "Quelm_Screen3D.h"
#include "Quelm_ZeichenKontext.h"
#include "fenster/Fenster.h"

#include <GLFW/glfw3.h>

struct GlBenchFenster {
  GLFWwindow* fenster = nullptr;
  Quelm_ZeichenKontext* kontext = nullptr;

  GlBenchFenster(int breite, int hoehe) {
    glfwInit();
    // No shader dump files beside the build.
    if (Quelm_KonsolenVariable* v = Quelm_KonsolenVariable::Finde("debugShader")) v->SetzeBool(false);
    Plattform::Fenster::SetzeOpenGLHinweise(false);
    glfwWindowHint(GLFW_VISIBLE, GLFW_FALSE);
    fenster = glfwCreateWindow(breite, hoehe, "ToolVelmar", nullptr, nullptr);
    Quelm_Screen3D::modus = {static_cast<std::uint64_t>(breite), static_cast<std::uint64_t>(hoehe), 0, 0};
    Quelm_Screen3D::fenster = fenster;
    Quelm_Screen3D::nativesFenster = Plattform::Fenster::HandleVon(fenster);
    kontext = new Quelm_ZeichenKontext();
    Quelm_Screen3D::zeichenKontext = kontext;
  }
  ~GlBenchFenster() {
    delete kontext;
    Quelm_Screen3D::zeichenKontext = nullptr;
    glfwDestroyWindow(fenster);
  }
  GlBenchFenster(const GlBenchFenster&) = delete;
  GlBenchFenster& operator=(const GlBenchFenster&) = delete;
};
