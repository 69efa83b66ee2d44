#pragma once
// The window record that stands behind an HWND: a plain struct around the GLFW window,
// which other layers may extend with fields of their own. The device layer creates its
// device on the GLFW window of the record.
#include "basis/WinTypen.h"

struct GLFWwindow;

struct HWND__ {
  GLFWwindow* glfw = nullptr;
  int tauschIntervall = -1;  // as last set by SetzeTauschIntervall; -1 before
  // The X server's ids of the window and of its GLX drawable (0 without one).
  unsigned long xFenster = 0, glxFenster = 0;
  bool zerstoert = false;  // another client destroyed the window
};

namespace Plattform::Fenster {

// The record of a GLFW window, made on first use (the same record every time); null for
// a null window.
HWND HandleVon(GLFWwindow* fenster);

// The GLFW window behind a handle; null for a null handle.
GLFWwindow* GlfwFenster(HWND handle);

// Makes the window's context current and sets its swap interval (0: present at once, 1: wait
// for the vertical blank); the record keeps the value.
void SetzeTauschIntervall(GLFWwindow* fenster, int intervall);

// Drops the record of a window; call it before the GLFW window is destroyed.
void Vergiss(GLFWwindow* fenster);

// GLFW errors and X protocol errors go to `meldung` (one line each) instead of ending the
// process. GLFW puts back Xlib's default handler after some of its calls (window creation):
// call this again after those.
//
// A window of a record that another client destroyed makes every request on it fail: the
// first error that names it (BadWindow or BadDrawable on the window, any error on its GLX
// drawable, which the server frees with it) marks the record and calls `zerstoert` once,
// from inside Xlib; those errors are not reported to `meldung`.
void LeiteFehlerUm(void (*meldung)(const char* text));
void BeiZerstoerung(void (*zerstoert)(GLFWwindow* fenster));

// When the connection to the X server breaks (the server ends, or the client is killed),
// `verloren` runs instead of Xlib's default handler, which ends the process with status 1
// and says nothing of why. It must make no X call and not return; should it return, the
// process ends with status 1 at once. SIGPIPE is ignored from then on, so that a write to
// the closed connection reaches `verloren` too.
void BeiVerbindungsverlust(void (*verloren)());

// What the window manager says of a window's fullscreen state (_NET_WM_STATE): holds it,
// does not hold it (also when the manager has set no state at all), or nothing to go by
// (the window is hidden, or the state cannot be read).
enum class VerwaltungsVollbild { Unbekannt, Ja, Nein };
VerwaltungsVollbild VollbildLautVerwaltung(GLFWwindow* fenster);

// Whether the window holds the keyboard focus now, as the X server says. A focus event may
// tell of a change that is over already, or of none: while the focus is on the desktop, the
// window under the pointer shares it, and the server reports a loss of that share to it when
// a window manager gives it the focus itself.
bool HatTastaturfokus(GLFWwindow* fenster);

// Whether a window manager runs that can hold a window fullscreen (EWMH: its check window
// and _NET_WM_STATE_FULLSCREEN among what it supports). Only such a one can minimise a
// fullscreen window. Call it once GLFW has started.
bool VerwaltungKannVollbild();

// The number of the next request to the X server; events that a request from then on
// caused carry this number or a later one.
unsigned long NaechsteAnfrage();

// Waits until the window got a ConfigureNotify (the window manager's answer to a size asked
// for: granted, changed or refused, ICCCM's synthetic event included) caused by a request
// from `anfrage` on, or `ms` milliseconds have passed; whether it came. The event stays
// queued for GLFW.
bool WarteAufKonfiguration(GLFWwindow* fenster, unsigned long anfrage, int ms);

// Window hints for the next glfwCreateWindow: an OpenGL 4.5 core context (the device
// layer draws with it) and colour bits 5/6/5 when bits16 is set, else 8/8/8. The window
// needs no depth or stencil bits: the device draws into buffers of its own.
void SetzeOpenGLHinweise(bool bits16);

}  // namespace Plattform::Fenster
