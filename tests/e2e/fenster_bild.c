/* Writes what a top-level window shows as a binary PPM file, as the X server holds it.
 * Usage: fenster_bild TITLE FILE [SECONDS]
 * Waits up to SECONDS (default 20) for a window with that title to appear.
 * Exit 0 when the file was written, 1 when no such window appeared, 2 on other errors. */
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <stdio.h>
#include <stdlib.h>

#include "x_fenster.h"

int main(int argc, char** argv) {
  if (argc < 3) return 2;
  double frist = argc > 3 ? atof(argv[3]) : 20.0;
  Display* d = XOpenDisplay(NULL);
  if (!d) return 2;
  Window fenster = x_warte_auf_fenster(d, argv[1], frist);
  if (!fenster) return 1;
  XWindowAttributes a;
  if (!XGetWindowAttributes(d, fenster, &a)) return 2;
  XImage* bild = XGetImage(d, fenster, 0, 0, (unsigned)a.width, (unsigned)a.height, AllPlanes, ZPixmap);
  if (!bild) return 2;
  FILE* f = fopen(argv[2], "wb");
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
  XCloseDisplay(d);
  return 0;
}
