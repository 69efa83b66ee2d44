/* Asks a top-level window to close, as a window manager's close button does: sends it
 * the WM_DELETE_WINDOW protocol message. Usage: fenster_schliessen TITLE [SECONDS]
 * Waits up to SECONDS (default 20) for a window with that title to appear.
 * Exit 0 when the message was sent, 1 when no such window appeared. */
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

#include "x_fenster.h"

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  double frist = argc > 2 ? atof(argv[2]) : 20.0;
  Display* d = XOpenDisplay(NULL);
  if (!d) return 2;
  Window fenster = x_warte_auf_fenster(d, argv[1], frist);
  if (!fenster) return 1;
  XEvent e;
  memset(&e, 0, sizeof e);
  e.xclient.type = ClientMessage;
  e.xclient.window = fenster;
  e.xclient.message_type = XInternAtom(d, "WM_PROTOCOLS", False);
  e.xclient.format = 32;
  e.xclient.data.l[0] = (long)XInternAtom(d, "WM_DELETE_WINDOW", False);
  e.xclient.data.l[1] = CurrentTime;
  XSendEvent(d, fenster, False, NoEventMask, &e);
  XFlush(d);
  XCloseDisplay(d);
  return 0;
}
