// The real backend: GLFW's input callbacks of the connected window turn into raw-input
// records that reach the window procedure inside glfwPollEvents, frame by frame (Zustelle:
// a press and its release that arrive together are read in two frames); cursor and window
// geometry come from GLFW. GLFW merges all mice and keyboards into one of each.
#include <GLFW/glfw3.h>

#include <algorithm>
#include <cmath>

#include "Eingabeschicht.h"
#include "fenster/Fenster.h"

namespace Plattform::Eingabe {
namespace {

constexpr int kX11Versatz = 8;  // GLFW's scancode is the X keycode

struct Verbindung {
  HWND fenster = nullptr;
  GLFWkeyfun tasteVorher = nullptr;
  GLFWmousebuttonfun knopfVorher = nullptr;
  GLFWcursorposfun cursorVorher = nullptr;
  GLFWscrollfun radVorher = nullptr;
  double letzteX = 0, letzteY = 0;
  double radRest = 0;  // fractions of a notch from smooth scrolling
};

Verbindung gVerbindung;

bool Unsere(GLFWwindow* w) {
  return gVerbindung.fenster != nullptr && Plattform::Fenster::GlfwFenster(gVerbindung.fenster) == w;
}

void Taste(GLFWwindow* w, int key, int scancode, int action, int mods) {
  if (gVerbindung.tasteVorher) gVerbindung.tasteVorher(w, key, scancode, action, mods);
  if (!Unsere(w) || scancode < kX11Versatz || action == GLFW_REPEAT) return;
  // The lock states come from the server: the program may start with Num Lock on.
  BYTE* t = Zustaende().tasten;
  t[0x14] = static_cast<BYTE>((t[0x14] & 0x80) | ((mods & GLFW_MOD_CAPS_LOCK) ? 1 : 0));
  t[0x90] = static_cast<BYTE>((t[0x90] & 0x80) | ((mods & GLFW_MOD_NUM_LOCK) ? 1 : 0));
  Datensatz satz;
  if (TastenDatensatz(kTastatur, static_cast<unsigned>(scancode - kX11Versatz), action == GLFW_PRESS, satz)) {
    Zustelle(gVerbindung.fenster, satz);
  }
}

void Knopf(GLFWwindow* w, int button, int action, int mods) {
  if (gVerbindung.knopfVorher) gVerbindung.knopfVorher(w, button, action, mods);
  if (!Unsere(w) || button < 0 || button > 4) return;
  // Down is 1 << 2n, up 1 << (2n + 1).
  const USHORT flag = static_cast<USHORT>(1u << (2 * button + (action == GLFW_PRESS ? 0 : 1)));
  Zustelle(gVerbindung.fenster, MausDatensatz(kMaus, MOUSE_MOVE_RELATIVE, flag, 0, 0, 0));
}

void Cursor(GLFWwindow* w, double x, double y) {
  if (gVerbindung.cursorVorher) gVerbindung.cursorVorher(w, x, y);
  if (!Unsere(w)) return;
  const LONG dx = static_cast<LONG>(std::lround(x - gVerbindung.letzteX));
  const LONG dy = static_cast<LONG>(std::lround(y - gVerbindung.letzteY));
  if (dx == 0 && dy == 0) return;
  gVerbindung.letzteX += dx;
  gVerbindung.letzteY += dy;
  Zustelle(gVerbindung.fenster, MausDatensatz(kMaus, MOUSE_MOVE_RELATIVE, 0, 0, dx, dy));
}

void Rad(GLFWwindow* w, double dx, double dy) {
  if (gVerbindung.radVorher) gVerbindung.radVorher(w, dx, dy);
  if (!Unsere(w)) return;
  gVerbindung.radRest += dy * 120.0;
  const long schritte = std::lround(gVerbindung.radRest);
  if (schritte == 0) return;
  gVerbindung.radRest -= static_cast<double>(schritte);
  const SHORT daten = static_cast<SHORT>(std::clamp<long>(schritte, -32768, 32767));
  Zustelle(gVerbindung.fenster, MausDatensatz(kMaus, MOUSE_MOVE_RELATIVE, RI_MOUSE_WHEEL, daten, 0, 0));
}

class Glfw : public Backend {
 public:
  bool IstFenster(HWND fenster) override { return Plattform::Fenster::GlfwFenster(fenster) != nullptr; }

  bool Cursor(POINT& punkt) override {
    GLFWwindow* w = Plattform::Fenster::GlfwFenster(gVerbindung.fenster);
    if (w == nullptr) return false;
    double x = 0, y = 0;
    glfwGetCursorPos(w, &x, &y);
    POINT ursprung{0, 0};
    Ursprung(gVerbindung.fenster, ursprung);
    punkt = {ursprung.x + static_cast<LONG>(std::floor(x)), ursprung.y + static_cast<LONG>(std::floor(y))};
    return true;
  }

  bool SetzeCursor(POINT punkt) override {
    GLFWwindow* w = Plattform::Fenster::GlfwFenster(gVerbindung.fenster);
    POINT ursprung;
    if (w == nullptr || !Ursprung(gVerbindung.fenster, ursprung)) return false;
    glfwSetCursorPos(w, punkt.x - ursprung.x, punkt.y - ursprung.y);
    return true;
  }

  bool Ursprung(HWND fenster, POINT& punkt) override {
    GLFWwindow* w = Plattform::Fenster::GlfwFenster(fenster);
    if (w == nullptr) return false;
    int x = 0, y = 0;
    glfwGetWindowPos(w, &x, &y);
    punkt = {x, y};
    return true;
  }

  bool Rahmen(HWND fenster, RECT& rechteck) override {
    GLFWwindow* w = Plattform::Fenster::GlfwFenster(fenster);
    POINT ursprung, groesse;
    if (w == nullptr || !Ursprung(fenster, ursprung) || !Clientgroesse(fenster, groesse)) return false;
    int links = 0, oben = 0, rechts = 0, unten = 0;
    glfwGetWindowFrameSize(w, &links, &oben, &rechts, &unten);
    rechteck = {ursprung.x - links, ursprung.y - oben, ursprung.x + groesse.x + rechts,
                ursprung.y + groesse.y + unten};
    return true;
  }

  bool Clientgroesse(HWND fenster, POINT& groesse) override {
    GLFWwindow* w = Plattform::Fenster::GlfwFenster(fenster);
    if (w == nullptr) return false;
    int b = 0, h = 0;
    glfwGetWindowSize(w, &b, &h);
    groesse = {b, h};
    return true;
  }

  void Verbinde(HWND fenster, bool an) override {
    GLFWwindow* w = Plattform::Fenster::GlfwFenster(fenster);
    if (w == nullptr) return;
    if (an && gVerbindung.fenster != fenster) {
      gVerbindung = {};
      gVerbindung.fenster = fenster;
      glfwGetCursorPos(w, &gVerbindung.letzteX, &gVerbindung.letzteY);
      glfwSetInputMode(w, GLFW_LOCK_KEY_MODS, GLFW_TRUE);
      if (glfwRawMouseMotionSupported()) glfwSetInputMode(w, GLFW_RAW_MOUSE_MOTION, GLFW_TRUE);
      gVerbindung.tasteVorher = glfwSetKeyCallback(w, &Taste);
      gVerbindung.knopfVorher = glfwSetMouseButtonCallback(w, &Knopf);
      gVerbindung.cursorVorher = glfwSetCursorPosCallback(w, &Eingabe::Cursor);
      gVerbindung.radVorher = glfwSetScrollCallback(w, &Rad);
    } else if (!an && gVerbindung.fenster == fenster) {
      glfwSetKeyCallback(w, gVerbindung.tasteVorher);
      glfwSetMouseButtonCallback(w, gVerbindung.knopfVorher);
      glfwSetCursorPosCallback(w, gVerbindung.cursorVorher);
      glfwSetScrollCallback(w, gVerbindung.radVorher);
      gVerbindung = {};
    }
  }
};

}  // namespace

Backend* GlfwBackend() {
  static Glfw backend;
  return &backend;
}

}  // namespace Plattform::Eingabe
