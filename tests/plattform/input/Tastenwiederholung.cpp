// Apart from the tests: Xlib's macros clash with GoogleTest's names.
#include <X11/XKBlib.h>
#include <X11/Xlib.h>

void SchalteTastenwiederholungAus() {
  if (Display* display = XOpenDisplay(nullptr)) {
    XAutoRepeatOff(display);
    XCloseDisplay(display);
  }
}

void SperreGruppe(unsigned gruppe) {
  if (Display* display = XOpenDisplay(nullptr)) {
    XkbLockGroup(display, XkbUseCoreKbd, gruppe);
    XCloseDisplay(display);
  }
}
