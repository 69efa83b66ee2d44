#include "Fenster.h"

#include <GLFW/glfw3.h>
#include <X11/Xlib.h>

#include <cstdio>

#include <memory>
#include <mutex>
#include <unordered_map>

namespace Plattform::Fenster {
namespace {

struct Register {
  std::mutex m;
  std::unordered_map<GLFWwindow*, std::unique_ptr<HWND__>> eintraege;
};

Register& Alle() {
  static Register r;
  return r;
}

void (*fehlerMeldung)(const char*) = nullptr;

void GlfwFehler(int code, const char* text) {
  if (!fehlerMeldung) return;
  char zeile[1024];
  std::snprintf(zeile, sizeof zeile, "GLFW-Fehler 0x%x: %s", code, text ? text : "");
  fehlerMeldung(zeile);
}

// Xlib's default handler ends the process on any protocol error; a failed request is
// logged instead and the program goes on.
int XFehler(Display* anzeige, XErrorEvent* fehler) {
  if (!fehlerMeldung) return 0;
  char text[256] = "";
  XGetErrorText(anzeige, fehler->error_code, text, sizeof text);
  char zeile[512];
  std::snprintf(zeile, sizeof zeile, "X-Fehler: %s (Anfrage %d.%d, Wert 0x%lx)", text, fehler->request_code,
                fehler->minor_code, fehler->resourceid);
  fehlerMeldung(zeile);
  return 0;
}

}  // namespace

HWND HandleVon(GLFWwindow* fenster) {
  if (!fenster) return nullptr;
  auto& r = Alle();
  std::lock_guard<std::mutex> l(r.m);
  auto& e = r.eintraege[fenster];
  if (!e) {
    e = std::make_unique<HWND__>();
    e->glfw = fenster;
  }
  return e.get();
}

GLFWwindow* GlfwFenster(HWND handle) { return handle ? handle->glfw : nullptr; }

void SetzeTauschIntervall(GLFWwindow* fenster, int intervall) {
  if (glfwGetCurrentContext() != fenster) glfwMakeContextCurrent(fenster);
  glfwSwapInterval(intervall);
  HandleVon(fenster)->tauschIntervall = intervall;
}

void Vergiss(GLFWwindow* fenster) {
  auto& r = Alle();
  std::lock_guard<std::mutex> l(r.m);
  r.eintraege.erase(fenster);
}

void LeiteFehlerUm(void (*meldung)(const char* text)) {
  fehlerMeldung = meldung;
  glfwSetErrorCallback(&GlfwFehler);
  XSetErrorHandler(&XFehler);
}

void SetzeOpenGLHinweise(bool bits16) {
  glfwWindowHint(GLFW_CLIENT_API, GLFW_OPENGL_API);
  glfwWindowHint(GLFW_CONTEXT_VERSION_MAJOR, 4);
  glfwWindowHint(GLFW_CONTEXT_VERSION_MINOR, 5);
  glfwWindowHint(GLFW_OPENGL_PROFILE, GLFW_OPENGL_CORE_PROFILE);
  glfwWindowHint(GLFW_OPENGL_FORWARD_COMPAT, GLFW_TRUE);
  glfwWindowHint(GLFW_DOUBLEBUFFER, GLFW_TRUE);
  glfwWindowHint(GLFW_RED_BITS, bits16 ? 5 : 8);
  glfwWindowHint(GLFW_GREEN_BITS, bits16 ? 6 : 8);
  glfwWindowHint(GLFW_BLUE_BITS, bits16 ? 5 : 8);
  glfwWindowHint(GLFW_DEPTH_BITS, 0);
  glfwWindowHint(GLFW_STENCIL_BITS, 0);
}

}  // namespace Plattform::Fenster
