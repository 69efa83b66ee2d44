// The window manager's changes of a window's state are seen in the events Xlib reads, so
// that the state is read only after one.
#include <gtest/gtest.h>

#include <GLFW/glfw3.h>
// After gtest: Xlib's macros (None, Bool) would break its headers.
#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include "fenster/Fenster.h"

extern "C" Window glfwGetX11Window(GLFWwindow* fenster);

namespace {

TEST(FensterZustand, NurEineAenderungDesZustandsWirdGemeldet) {
  ASSERT_TRUE(glfwInit());
  glfwWindowHint(GLFW_CLIENT_API, GLFW_NO_API);
  GLFWwindow* fenster = glfwCreateWindow(64, 64, "Zustand", nullptr, nullptr);
  ASSERT_NE(fenster, nullptr);
  EXPECT_TRUE(Plattform::Fenster::ZustandGeaendert(fenster));  // never asked yet
  EXPECT_FALSE(Plattform::Fenster::ZustandGeaendert(fenster));

  // Another client sets properties of the window, as a window manager does.
  Display* verwaltung = XOpenDisplay(nullptr);
  ASSERT_NE(verwaltung, nullptr);
  const Window id = glfwGetX11Window(fenster);
  const auto setze = [&](const char* name) {
    const Atom wert = XInternAtom(verwaltung, "_NET_WM_STATE_FULLSCREEN", False);
    XChangeProperty(verwaltung, id, XInternAtom(verwaltung, name, False), XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&wert), 1);
    XSync(verwaltung, False);
    // The event has reached this client once a round trip after it is done.
    glfwGetWindowAttrib(fenster, GLFW_ICONIFIED);
    glfwPollEvents();
  };
  setze("_ANDERE_EIGENSCHAFT");
  EXPECT_FALSE(Plattform::Fenster::ZustandGeaendert(fenster));
  setze("_NET_WM_STATE");
  EXPECT_TRUE(Plattform::Fenster::ZustandGeaendert(fenster));
  EXPECT_FALSE(Plattform::Fenster::ZustandGeaendert(fenster));

  XCloseDisplay(verwaltung);
  Plattform::Fenster::Vergiss(fenster);
  glfwDestroyWindow(fenster);
  glfwTerminate();
}

}  // namespace
