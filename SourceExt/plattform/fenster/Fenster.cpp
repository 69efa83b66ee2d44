#include "Fenster.h"

#include <GLFW/glfw3.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <poll.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>

#include <algorithm>
#include <chrono>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <vector>

// GLFW's native access (its header would want the XRandR headers too): the X server's ids
// of a window and of its GLX drawable.
extern "C" Display* glfwGetX11Display();
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

VerwaltungsVollbild VollbildLautVerwaltung(GLFWwindow* fenster) {
  Display* anzeige = glfwGetX11Display();
  if (!anzeige || !fenster) return VerwaltungsVollbild::Unbekannt;
  const Atom zustand = XInternAtom(anzeige, "_NET_WM_STATE", False);
  const Atom vollbild = XInternAtom(anzeige, "_NET_WM_STATE_FULLSCREEN", False);
  const Atom versteckt = XInternAtom(anzeige, "_NET_WM_STATE_HIDDEN", False);
  Atom typ = None;
  int format = 0;
  unsigned long anzahl = 0, rest = 0;
  unsigned char* daten = nullptr;
  if (XGetWindowProperty(anzeige, glfwGetX11Window(fenster), zustand, 0, 64, False, XA_ATOM, &typ, &format, &anzahl,
                         &rest, &daten) != Success)
    return VerwaltungsVollbild::Unbekannt;
  VerwaltungsVollbild ergebnis = VerwaltungsVollbild::Nein;
  if (typ == XA_ATOM && format == 32 && daten) {
    const auto* atome = reinterpret_cast<const unsigned long*>(daten);
    for (unsigned long i = 0; i < anzahl; ++i) {
      // A hidden (minimised) window keeps its state, but nothing it shows can be trusted.
      if (atome[i] == versteckt) {
        ergebnis = VerwaltungsVollbild::Unbekannt;
        break;
      }
      if (atome[i] == vollbild) ergebnis = VerwaltungsVollbild::Ja;
    }
  }
  if (daten) XFree(daten);
  return ergebnis;
}

bool HatTastaturfokus(GLFWwindow* fenster) {
  Display* anzeige = glfwGetX11Display();
  if (!anzeige || !fenster) return false;
  Window fokus = None;
  int zurueck = 0;
  XGetInputFocus(anzeige, &fokus, &zurueck);
  return fokus == glfwGetX11Window(fenster);
}

bool VerwaltungKannVollbild() {
  Display* anzeige = glfwGetX11Display();
  if (!anzeige) return false;
  const Window wurzel = DefaultRootWindow(anzeige);
  // The values of a property of one window, as many as `max`.
  const auto lies = [&](Window w, const char* name, Atom typ, long max) {
    std::vector<unsigned long> werte;
    Atom hatTyp = None;
    int format = 0;
    unsigned long anzahl = 0, rest = 0;
    unsigned char* daten = nullptr;
    if (XGetWindowProperty(anzeige, w, XInternAtom(anzeige, name, False), 0, max, False, typ, &hatTyp, &format,
                           &anzahl, &rest, &daten) == Success &&
        hatTyp == typ && format == 32 && daten) {
      const auto* w32 = reinterpret_cast<const unsigned long*>(daten);
      werte.assign(w32, w32 + anzahl);
    }
    if (daten) XFree(daten);
    return werte;
  };
  // A manager that ended leaves its check property naming a window that is gone (or
  // another one): only a window that names itself is a running manager's. Asking a window
  // that is gone fails, which is no error to report.
  const auto pruef = lies(wurzel, "_NET_SUPPORTING_WM_CHECK", XA_WINDOW, 1);
  if (pruef.empty()) return false;
  XSync(anzeige, False);
  const XErrorHandler vorher = XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
  const bool laeuft = lies(pruef[0], "_NET_SUPPORTING_WM_CHECK", XA_WINDOW, 1) == pruef;
  XSync(anzeige, False);
  XSetErrorHandler(vorher);
  if (!laeuft) return false;
  const auto unterstuetzt = lies(wurzel, "_NET_SUPPORTED", XA_ATOM, 4096);
  return std::ranges::find(unterstuetzt, XInternAtom(anzeige, "_NET_WM_STATE_FULLSCREEN", False)) !=
         unterstuetzt.end();
}

unsigned long NaechsteAnfrage() {
  Display* anzeige = glfwGetX11Display();
  return anzeige ? NextRequest(anzeige) : 0;
}

bool WarteAufKonfiguration(GLFWwindow* fenster, unsigned long anfrage, int ms) {
  Display* anzeige = glfwGetX11Display();
  if (!anzeige || !fenster) return false;
  struct Suche {
    Window fenster;
    unsigned long ab;
    bool gefunden;
  } suche{glfwGetX11Window(fenster), anfrage, false};
  // Only looks: the predicate never takes an event out of the queue.
  const auto sieh = [](Display*, XEvent* e, XPointer roh) -> Bool {
    auto* s = reinterpret_cast<Suche*>(roh);
    if (e->type == ConfigureNotify && e->xconfigure.window == s->fenster &&
        static_cast<long>(e->xany.serial - s->ab) >= 0)
      s->gefunden = true;
    return False;
  };
  const auto ende = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  for (;;) {
    XEvent egal;
    XCheckIfEvent(anzeige, &egal, sieh, reinterpret_cast<XPointer>(&suche));
    if (suche.gefunden) return true;
    const auto bleibt =
        std::chrono::duration_cast<std::chrono::milliseconds>(ende - std::chrono::steady_clock::now()).count();
    if (bleibt <= 0) return false;
    pollfd verbindung{ConnectionNumber(anzeige), POLLIN, 0};
    poll(&verbindung, 1, static_cast<int>(std::min<long long>(bleibt, 50)));
  }
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
