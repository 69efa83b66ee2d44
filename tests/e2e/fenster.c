/* Acts on the top-level X window of a title, waiting up to SECONDS for it to appear:
 *   fenster schliessen TITLE SECONDS       asks it to close, as a window manager's close
 *                                          button does (the WM_DELETE_WINDOW message);
 *   fenster bild TITLE SECONDS FILE        writes what it shows, as the X server holds it,
 *                                          as a binary PPM file.
 * Exit 0 when done, 1 when no such window appeared, 2 on other errors. */
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

static Window finde(Display* d, Window w, const char* titel) {
  char* name = NULL;
  if (XFetchName(d, w, &name) && name) {
    int gleich = strcmp(name, titel) == 0;
    XFree(name);
    if (gleich) return w;
  }
  Window wurzel, eltern, *kinder = NULL;
  unsigned int n = 0;
  Window gefunden = 0;
  if (XQueryTree(d, w, &wurzel, &eltern, &kinder, &n)) {
    for (unsigned int i = 0; i < n && !gefunden; ++i) gefunden = finde(d, kinder[i], titel);
    if (kinder) XFree(kinder);
  }
  return gefunden;
}

static int schliesse(Display* d, Window fenster) {
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
  return 0;
}

static int schreibe_bild(Display* d, Window fenster, const char* datei) {
  XWindowAttributes a;
  if (!XGetWindowAttributes(d, fenster, &a)) return 2;
  XImage* bild = XGetImage(d, fenster, 0, 0, (unsigned)a.width, (unsigned)a.height, AllPlanes, ZPixmap);
  if (!bild) return 2;
  FILE* f = fopen(datei, "wb");
  if (!f) return 2;
  fprintf(f, "P6\n%d %d\n255\n", a.width, a.height);
  for (int y = 0; y < a.height; ++y)
    for (int x = 0; x < a.width; ++x) {
      unsigned long p = XGetPixel(bild, x, y);
      unsigned char rgb[3] = {(unsigned char)(p >> 16), (unsigned char)(p >> 8), (unsigned char)p};
      fwrite(rgb, 1, 3, f);
    }
  fclose(f);
  XDestroyImage(bild);
  return 0;
}

int main(int argc, char** argv) {
  int bild = argc == 5 && strcmp(argv[1], "bild") == 0;
  if (!bild && (argc != 4 || strcmp(argv[1], "schliessen") != 0)) return 2;
  Display* d = XOpenDisplay(NULL);
  if (!d) return 2;
  Window fenster = 0;
  for (double gewartet = 0; gewartet < atof(argv[3]) && !fenster; gewartet += 0.1) {
    fenster = finde(d, DefaultRootWindow(d), argv[2]);
    if (!fenster) {
      struct timespec ts = {0, 100000000};
      nanosleep(&ts, NULL);
    }
  }
  int ergebnis = !fenster ? 1 : bild ? schreibe_bild(d, fenster, argv[4]) : schliesse(d, fenster);
  XCloseDisplay(d);
  return ergebnis;
}
