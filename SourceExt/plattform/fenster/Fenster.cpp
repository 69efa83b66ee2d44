#include "Fenster.h"

#include <GLFW/glfw3.h>
#include <X11/Xlib.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>

#include <algorithm>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <vector>

// GLFW's native access (its header would want the XRandR headers too): the X server's ids
// of a window and of its GLX drawable.
extern "C" Window glfwGetX11Window(GLFWwindow* fenster);
extern "C" XID glfwGetGLXWindow(GLFWwindow* fenster);

namespace Plattform::Fenster {
namespace {

struct Register {
  std::mutex m;
  std::unordered_map<GLFWwindow*, std::unique_ptr<HWND__>> eintraege;
  // The X ids of destroyed windows whose records are gone: Xlib reports an error only when
  // it next reads from the server, so the failed requests of closing such a window may be
  // reported after it.
  std::vector<unsigned long> zerstoerteIds;
};

Register& Alle() {
  static Register r;
  return r;
}

void (*fehlerMeldung)(const char*) = nullptr;
void (*zerstoerungMeldung)(GLFWwindow*) = nullptr;
void (*verbindungVerloren)() = nullptr;

void GlfwFehler(int code, const char* text) {
  if (!fehlerMeldung) return;
  char zeile[1024];
  std::snprintf(zeile, sizeof zeile, "GLFW-Fehler 0x%x: %s", code, text ? text : "");
  fehlerMeldung(zeile);
}

// Whether the failed request names a window of a record that is gone; the first such
// error marks it.
bool NenntZerstoertesFenster(const XErrorEvent& fehler) {
  GLFWwindow* neu = nullptr;
  bool gefunden = false;
  {
    auto& r = Alle();
    std::lock_guard<std::mutex> l(r.m);
    if (std::ranges::find(r.zerstoerteIds, fehler.resourceid) != r.zerstoerteIds.end()) return true;
    for (auto& [glfw, e] : r.eintraege) {
      const bool fensterFehlt = e->xFenster != 0 && fehler.resourceid == e->xFenster &&
                                (fehler.error_code == BadWindow || fehler.error_code == BadDrawable);
      if (!fensterFehlt && (e->glxFenster == 0 || fehler.resourceid != e->glxFenster)) continue;
      gefunden = true;
      if (!e->zerstoert) neu = glfw;
      e->zerstoert = true;
      break;
    }
  }
  // Outside the lock: the one told may ask for the record.
  if (neu && zerstoerungMeldung) zerstoerungMeldung(neu);
  return gefunden;
}

// Xlib's default handler ends the process on any protocol error; a failed request is
// logged instead and the program goes on.
int XFehler(Display* anzeige, XErrorEvent* fehler) {
  if (NenntZerstoertesFenster(*fehler) || !fehlerMeldung) return 0;
  char text[256] = "";
  XGetErrorText(anzeige, fehler->error_code, text, sizeof text);
  char zeile[512];
  std::snprintf(zeile, sizeof zeile, "X-Fehler: %s (Anfrage %d.%d, Wert 0x%lx)", text, fehler->request_code,
                fehler->minor_code, fehler->resourceid);
  fehlerMeldung(zeile);
  return 0;
}

int XVerbindungVerloren(Display*) {
  if (verbindungVerloren) verbindungVerloren();
  _exit(1);
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
    e->xFenster = glfwGetX11Window(fenster);
    // Asked only of a window with a GLX context: GLFW reports an error otherwise.
    if (glfwGetWindowAttrib(fenster, GLFW_CLIENT_API) != GLFW_NO_API &&
        glfwGetWindowAttrib(fenster, GLFW_CONTEXT_CREATION_API) == GLFW_NATIVE_CONTEXT_API)
      e->glxFenster = glfwGetGLXWindow(fenster);
    // A new connection to the server may hand out the ids of an earlier one again.
    std::erase_if(r.zerstoerteIds, [&](unsigned long id) { return id == e->xFenster || id == e->glxFenster; });
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
  const auto e = r.eintraege.find(fenster);
  if (e == r.eintraege.end()) return;
  if (e->second->zerstoert) {
    for (unsigned long id : {e->second->xFenster, e->second->glxFenster})
      if (id != 0) r.zerstoerteIds.push_back(id);
  }
  r.eintraege.erase(e);
}

void LeiteFehlerUm(void (*meldung)(const char* text)) {
  fehlerMeldung = meldung;
  glfwSetErrorCallback(&GlfwFehler);
  XSetErrorHandler(&XFehler);
}

void BeiZerstoerung(void (*zerstoert)(GLFWwindow* fenster)) { zerstoerungMeldung = zerstoert; }

void BeiVerbindungsverlust(void (*verloren)()) {
  verbindungVerloren = verloren;
  XSetIOErrorHandler(&XVerbindungVerloren);
  // A write that meets the server's close (between the library's check of the socket and
  // its write, or while another thread reads) would end the process by SIGPIPE before
  // the handler is reached; ignored, the write fails and the next call reaches it.
  std::signal(SIGPIPE, SIG_IGN);
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
