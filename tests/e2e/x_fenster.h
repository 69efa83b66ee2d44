/* Finds a top-level X window by its title, waiting up to `frist` seconds for it. */
#pragma once
#include <X11/Xlib.h>
#include <string.h>
#include <time.h>

static Window x_finde(Display* d, Window w, const char* titel) {
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
    for (unsigned int i = 0; i < n && !gefunden; ++i) gefunden = x_finde(d, kinder[i], titel);
    if (kinder) XFree(kinder);
  }
  return gefunden;
}

static Window x_warte_auf_fenster(Display* d, const char* titel, double frist) {
  Window fenster = 0;
  for (double gewartet = 0; gewartet < frist && !fenster; gewartet += 0.1) {
    fenster = x_finde(d, DefaultRootWindow(d), titel);
    if (!fenster) {
      struct timespec ts = {0, 100000000};
      nanosleep(&ts, NULL);
    }
  }
  return fenster;
}
