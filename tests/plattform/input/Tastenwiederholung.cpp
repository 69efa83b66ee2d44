// Apart from the tests: Xlib's macros clash with GoogleTest's names.
#include <X11/Xlib.h>

void SchalteTastenwiederholungAus() {
  if (Display* display = XOpenDisplay(nullptr)) {
    XAutoRepeatOff(display);
    XCloseDisplay(display);
  }
}
