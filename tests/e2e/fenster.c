/* Acts on the top-level X window of a title, waiting up to SECONDS for it to appear:
 *   fenster schliessen TITLE SECONDS       asks it to close, as a window manager's close
 *                                          button does (the WM_DELETE_WINDOW message);
 *   fenster bild TITLE SECONDS FILE        writes what it shows, as the X server holds it,
 *                                          as a binary PPM file;
 *   fenster bilder TITLE SECONDS N MS      waits until it has drawn N frames and MS
 *                                          milliseconds have passed: input sent before
 *                                          has then been read by a frame, however slow;
 *   fenster zerstoeren TITLE SECONDS       destroys it, as a broken window manager or a
 *                                          script may (XDestroyWindow);
 *   fenster trennen TITLE SECONDS          closes its owner's connection to the X server,
 *                                          as a forced close does (XKillClient);
 *   fenster ankuendigen TITLE SECONDS W H  tells it a size it does not have yet, as a window
 *                                          manager may before it resizes (a synthetic
 *                                          ConfigureNotify).
 * Exit 0 when done, 1 when no such window appeared (or too few frames in time), 2 on other
 * errors. */
#define _POSIX_C_SOURCE 200809L
#include <X11/Xlibint.h>
#include <X11/Xutil.h>
#include <X11/extensions/damageproto.h>
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

static double sekunden(void) {
  struct timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return (double)ts.tv_sec + ts.tv_nsec / 1e9;
}

/* A frame's drawing may arrive as several DAMAGE events; the last one has no "more" flag. */
static Bool letztes_rechteck(Display* d, XEvent* e, xEvent* roh) {
  const xDamageNotifyEvent* n = (const xDamageNotifyEvent*)roh;
  (void)d;
  memset(e, 0, sizeof *e);
  e->type = n->type & 0x7f;
  e->xclient.data.l[0] = !(n->level & DamageNotifyMore);
  return True;
}

/* The DAMAGE extension reports every drawing into the window; no client library needed. */
static int zaehle_bilder(Display* dpy, Window fenster, double frist, int anzahl, double ms) {
  int opcode = 0, ereignis = 0, fehler = 0;
  if (!XQueryExtension(dpy, "DAMAGE", &opcode, &ereignis, &fehler)) return 2;
  XESetWireToEvent(dpy, ereignis + XDamageNotify, letztes_rechteck);
  LockDisplay(dpy);
  xDamageQueryVersionReq* version;
  GetReq(DamageQueryVersion, version);
  version->reqType = (CARD8)opcode;
  version->damageReqType = X_DamageQueryVersion;
  version->majorVersion = 1;
  version->minorVersion = 1;
  xDamageQueryVersionReply antwort;
  const int bekannt = _XReply(dpy, (xReply*)&antwort, 0, xTrue);
  xDamageCreateReq* neu;
  GetReq(DamageCreate, neu);
  neu->reqType = (CARD8)opcode;
  neu->damageReqType = X_DamageCreate;
  neu->damage = XAllocID(dpy);
  neu->drawable = fenster;
  neu->level = XDamageReportRawRectangles;
  UnlockDisplay(dpy);
  SyncHandle();
  if (!bekannt) return 2;
  XSelectInput(dpy, fenster, StructureNotifyMask);
  XSync(dpy, False);
  const double start = sekunden();
  int bilder = 0;
  while (bilder < anzahl || sekunden() - start < ms / 1000) {
    if (sekunden() - start > frist) return 1;
    while (XPending(dpy)) {
      XEvent e;
      XNextEvent(dpy, &e);
      if (e.type == DestroyNotify) return 1;
      bilder += e.type == ereignis + XDamageNotify && e.xclient.data.l[0];
    }
    struct timespec ts = {0, 2000000};
    nanosleep(&ts, NULL);
  }
  return 0;
}

static int kuendige_an(Display* d, Window fenster, int breite, int hoehe) {
  XEvent e;
  memset(&e, 0, sizeof e);
  e.xconfigure.type = ConfigureNotify;
  e.xconfigure.display = d;
  e.xconfigure.event = fenster;
  e.xconfigure.window = fenster;
  e.xconfigure.width = breite;
  e.xconfigure.height = hoehe;
  if (!XSendEvent(d, fenster, False, StructureNotifyMask, &e)) return 1;
  XSync(d, False);
  return 0;
}

int main(int argc, char** argv) {
  int bild = argc == 5 && strcmp(argv[1], "bild") == 0;
  int bilder = argc == 6 && strcmp(argv[1], "bilder") == 0;
  int zerstoeren = argc == 4 && strcmp(argv[1], "zerstoeren") == 0;
  int trennen = argc == 4 && strcmp(argv[1], "trennen") == 0;
  int ankuendigen = argc == 6 && strcmp(argv[1], "ankuendigen") == 0;
  if (!bild && !bilder && !zerstoeren && !trennen && !ankuendigen && (argc != 4 || strcmp(argv[1], "schliessen") != 0)) return 2;
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
  int ergebnis = !fenster     ? 1
                 : bild       ? schreibe_bild(d, fenster, argv[4])
                 : bilder     ? zaehle_bilder(d, fenster, atof(argv[3]), atoi(argv[4]), atof(argv[5]))
                 : zerstoeren ? (XDestroyWindow(d, fenster), XSync(d, False), 0)
                 : trennen    ? (XKillClient(d, fenster), XSync(d, False), 0)
                 : ankuendigen ? kuendige_an(d, fenster, atoi(argv[4]), atoi(argv[5]))
                              : schliesse(d, fenster);
  XCloseDisplay(d);
  return ergebnis;
}
