#include "Quelm_Screen3D.h"

#include "Quelm_Ausnahme.h"
#include "Quelm_InitReihenfolge.h"
#include "Quelm_Konsole.h"
#include "Quelm_Protokolliere.h"
#include "Quelm_Screen3DSignal.h"
#include "Quelm_SystemSignal.h"

#include "fenster/Fenster.h"
#include "InputSystem.h"

#include <GLFW/glfw3.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>

bool Quelm_Screen3D::glfwGestartet = false;
Quelm_Anzeigemodus Quelm_Screen3D::modus;
bool Quelm_Screen3D::initialisiert = false;
bool Quelm_Screen3D::vollbildJetzt = false;
bool Quelm_Screen3D::moduswechselLaeuft = false;
int Quelm_Screen3D::gemeldeteBreite = 0;
int Quelm_Screen3D::gemeldeteHoehe = 0;
std::uint64_t Quelm_Screen3D::modusFlags = 0;
GLFWwindow* Quelm_Screen3D::fenster = nullptr;
bool Quelm_Screen3D::eigenesFenster = false;
Quelm_ZeichenKontext* Quelm_Screen3D::zeichenKontext = nullptr;
HWND__* Quelm_Screen3D::nativesFenster = nullptr;
QUELM_INIT(QUELM_SLOT_SCREEN) Quelm_ModusSignal Quelm_Screen3D::ModusGeaendert;

namespace {
using V = Quelm_KonsolenVariable;

// The display variables accept every value; their callback is there so that the
// listing of "set" shows them as watched.
bool NimmAlles(V*, int, const std::string&) { return true; }

// "fullscreen" says "nein" only because fullscreen was asked and the screen had no mode for
// it: the window is a fallback, not the user's choice, and the user's "ja" goes back into
// the variable when the screen closes, to be saved.
bool vollbildVerweigert = false;
bool screenSetztVollbild = false;

// Set by anyone but the screen (the console, the settings file): the user's own choice.
bool VollbildGesetzt(V*, int phase, const std::string&) {
  if (phase == 1 && !screenSetztVollbild) vollbildVerweigert = false;
  return true;
}

struct ScreenZustand {
  ScreenZustand() { Quelm_Screen3D::eigenesFenster = true; }
};
QUELM_INIT(QUELM_SLOT_SCREEN) ScreenZustand screenZustand;

QUELM_INIT(QUELM_SLOT_DISPLAYWIDTH) V displaywidth("displaywidth", V::Int, V::Dauerhaft, std::int32_t{0}, &NimmAlles);
QUELM_INIT(QUELM_SLOT_DISPLAYHEIGHT) V displayheight("displayheight", V::Int, V::Dauerhaft, std::int32_t{0}, &NimmAlles);
QUELM_INIT(QUELM_SLOT_DISPLAYDEPTH) V displaydepth("displaydepth", V::Int, V::Dauerhaft, std::int32_t{32}, &NimmAlles);
QUELM_INIT(QUELM_SLOT_FULLSCREEN) V fullscreen("fullscreen", V::Bool, V::Dauerhaft, true, &VollbildGesetzt);
QUELM_INIT(QUELM_SLOT_VSYNC) V vsync("vsync", V::Bool, V::Dauerhaft, true, &NimmAlles);
QUELM_INIT(QUELM_SLOT_BEFEHL_REINITVIDEO)
Quelm_KonsolenBefehl befehlReinitVideo("reinitvideo", &Quelm_Screen3D::BefehlReinitVideo);
QUELM_INIT(QUELM_SLOT_BEFEHL_VIDEORAM) Quelm_KonsolenBefehl befehlVideoRam("videoram", &Quelm_Screen3D::BefehlVideoRam);

std::uint32_t Farbbits(const GLFWvidmode& m) { return static_cast<std::uint32_t>(m.redBits + m.greenBits + m.blueBits); }

// The back buffer for a screen of that many colour bits: R5G6B5 up to 16 (15 bits: red and
// blue as the screen has them, green one bit finer), else X8R8G8B8 (30 bits too: the device
// shows no deeper format, and GLX offers 8-bit visuals there as well). The present copies it
// onto whatever visual the window got.
std::uint32_t Bits16Fuer(std::uint32_t farbbits) { return farbbits <= 16 ? 1 : 0; }

// The variable "fullscreen" takes the screen's state; a fullscreen asked for and not had is
// remembered as refused.
void SetzeVollbildVariable(bool vollbild, bool gewuenscht) {
  screenSetztVollbild = true;
  fullscreen.SetzeBool(vollbild);
  screenSetztVollbild = false;
  if (gewuenscht) vollbildVerweigert = !vollbild;
}

// The primary monitor's current mode, or null.
const GLFWvidmode* Desktopmodus() {
  if (!Quelm_Screen3D::glfwGestartet) return nullptr;
  GLFWmonitor* monitor = glfwGetPrimaryMonitor();
  return monitor ? glfwGetVideoMode(monitor) : nullptr;
}

// A window larger than the screen cannot be shown whole, and X (16-bit coordinates) and the
// device (its largest render target) cannot hold much more: a saved size beyond would end
// every later start.
constexpr std::uint64_t kMaxFensterSeite = 16384;

Quelm_Anzeigemodus BegrenzeFenster(Quelm_Anzeigemodus m) {
  std::uint64_t maxW = kMaxFensterSeite, maxH = kMaxFensterSeite;
  if (const GLFWvidmode* desktop = Desktopmodus()) {
    maxW = std::min<std::uint64_t>(maxW, static_cast<std::uint64_t>(std::max(desktop->width, 1)));
    maxH = std::min<std::uint64_t>(maxH, static_cast<std::uint64_t>(std::max(desktop->height, 1)));
  }
  if (m.width <= maxW && m.height <= maxH) return m;
  Quelm_Anzeigemodus neu = m;
  neu.width = std::min(m.width, maxW);
  neu.height = std::min(m.height, maxH);
  Protokolliere("?Fenstergröße %llux%llu ist größer als die Anzeige, benutze %llux%llu.",
                static_cast<unsigned long long>(m.width), static_cast<unsigned long long>(m.height),
                static_cast<unsigned long long>(neu.width), static_cast<unsigned long long>(neu.height));
  return neu;
}

// Below this a window shows nothing usable, and its size would be saved and come back at
// every start.
constexpr std::uint64_t kMinBreite = 320, kMinHoehe = 200;

// How long a size asked of the window waits for the window manager's answer (milliseconds);
// one that never answers leaves the window's size as it is then.
constexpr int kAntwortFrist = 1000;

bool Leer(const Quelm_Anzeigemodus& m) { return m.width == 0 || m.height == 0; }

// A size too small for a usable window becomes 0 by 0, which stands for the desktop's size.
Quelm_Anzeigemodus MitNutzbarerGroesse(Quelm_Anzeigemodus m) {
  if (Leer(m) || (m.width >= kMinBreite && m.height >= kMinHoehe)) return m;
  Protokolliere("?Fenstergröße %llux%llu ist zu klein (mindestens %llux%llu), benutze die Größe der Anzeige.",
                static_cast<unsigned long long>(m.width), static_cast<unsigned long long>(m.height),
                static_cast<unsigned long long>(kMinBreite), static_cast<unsigned long long>(kMinHoehe));
  m.width = m.height = 0;
  return m;
}

void MeldeFensterFehler(const char* text) { Protokolliere("!%s", text); }

// When the last size was reported. A manager may announce a fullscreen window's new size (a
// synthetic event) before the window has it; GLFW then tells the real change no more, as it
// has that size already. Such a report is looked at again each frame until the window has its
// size, for at most this long.
std::chrono::steady_clock::time_point gemeldetUm;
constexpr auto kAngekuendigteGroesseFrist = std::chrono::seconds(2);

// Whether a window manager that can hold fullscreen ran when GLFW started: GLFW asks then,
// and can minimise a fullscreen window only with such a one (a manager started later makes
// no difference to it).
bool vollbildVerwaltet = false;

// Replaces the wish with its fullscreen mode: the nearest of the wished colour depth, else
// of the depth the screen has, whatever it is (an X screen's modes all have its depth, which
// no program can change: 15 and 30 bits too), with that depth's back buffer. False, logged
// and the wish kept, when the monitor has none: an all-zero mode would make a window and a
// device of 0 by 0.
bool NimmVollbildModus(Quelm_Anzeigemodus& wunsch) {
  Quelm_Anzeigemodus m = Quelm_Screen3D::ErmittleModi(wunsch);
  const GLFWvidmode* desktop = Desktopmodus();
  if (Leer(m) && desktop) {
    Quelm_Anzeigemodus tiefe = wunsch;
    tiefe.bits16 = Bits16Fuer(Farbbits(*desktop));
    m = Quelm_Screen3D::ErmittleModi(tiefe, Farbbits(*desktop));
  }
  if (Leer(m)) {
    Protokolliere("?Kein Vollbildmodus für %llux%llu, benutze ein Fenster.",
                  static_cast<unsigned long long>(wunsch.width), static_cast<unsigned long long>(wunsch.height));
    return false;
  }
  wunsch = m;
  return true;
}

// Presence from the window's focus and visibility; fires the signal on change.
void AktualisierePraesenz() {
  Quelm_System::Praesenz neu = !gSystem.sichtbar ? Quelm_System::Minimiert
                               : gSystem.fokus   ? Quelm_System::Fokussiert
                                                 : Quelm_System::Sichtbar;
  if (neu != gSystem.praesenz) {
    gSystem.praesenz = neu;
    (*gSystem.praesenzGeaendert)(neu);
  }
}
}  // namespace

void Quelm_Screen3D::InitGlfw() {
  if (glfwGestartet) return;
  Plattform::Fenster::LeiteFehlerUm(&MeldeFensterFehler);
  if (!glfwInit()) return;
  Plattform::Fenster::LeiteFehlerUm(&MeldeFensterFehler);
  Plattform::Fenster::BeiZerstoerung(&FensterZerstoert);
  vollbildVerwaltet = Plattform::Fenster::VerwaltungKannVollbild();
  gSystem.proBild = &VerarbeiteFensterEreignisse;
  glfwGestartet = true;
}

void Quelm_Screen3D::VerarbeiteFensterEreignisse() {
  if (glfwGestartet) glfwPollEvents();
  if (gemeldeteBreite < 1) return;
  if (vollbildJetzt) {
    if (FolgeDerVerwaltung()) gemeldeteBreite = gemeldeteHoehe = 0;
    return;
  }
  // A window manager sends a size for every step of a drag, queued until the next poll:
  // only the last one of a poll is the window's size now, and the device takes it. The
  // window's size is never set from an event: that would undo the later steps.
  const Quelm_Anzeigemodus neu{static_cast<std::uint64_t>(gemeldeteBreite),
                               static_cast<std::uint64_t>(gemeldeteHoehe), modus.bits16, modus.refresh};
  gemeldeteBreite = gemeldeteHoehe = 0;
  // The size that SetzeModus waited for, or one the device has already: nothing to change.
  if (neu.width == modus.width && neu.height == modus.height && fullscreen.wertBool == vollbildJetzt &&
      vsync.wertBool == ((modusFlags & VSync) != 0))
    return;
  AendereModus(neu, fullscreen.wertBool, vsync.wertBool, false);
}

bool Quelm_Screen3D::FolgeDerVerwaltung() {
  // Under X the window manager may take fullscreen away (its key, a rule, another program)
  // or size a fullscreen window to a screen mode changed from outside. Its state tells
  // which; before its first answer, and on a desktop without one, the state holds nothing,
  // but the window then has the mode's size. The size and the state are read together,
  // now: an event may be older than the manager's last change.
  int breite = 0, hoehe = 0;
  glfwGetWindowSize(fenster, &breite, &hoehe);
  if ((breite != gemeldeteBreite || hoehe != gemeldeteHoehe) &&
      std::chrono::steady_clock::now() - gemeldetUm < kAngekuendigteGroesseFrist)
    return false;
  if (breite < 1 || hoehe < 1 ||
      (static_cast<std::uint64_t>(breite) == modus.width && static_cast<std::uint64_t>(hoehe) == modus.height))
    return true;
  const Quelm_Anzeigemodus neu{static_cast<std::uint64_t>(breite), static_cast<std::uint64_t>(hoehe), modus.bits16,
                               modus.refresh};
  switch (Plattform::Fenster::VollbildLautVerwaltung(fenster)) {
    case Plattform::Fenster::VerwaltungsVollbild::Ja: AendereModus(neu, true, vsync.wertBool, false); return true;
    case Plattform::Fenster::VerwaltungsVollbild::Unbekannt: return true;
    case Plattform::Fenster::VerwaltungsVollbild::Nein: break;
  }
  // A fullscreen window that loses the focus is minimised (FokusRueckruf): that is no leaving.
  if (glfwGetWindowAttrib(fenster, GLFW_ICONIFIED)) return true;
  Protokolliere("?Die Fensterverwaltung hat das Vollbild beendet, weiter im Fenster mit %dx%d.", breite, hoehe);
  // As "set fullscreen nein" and "reinitvideo" would, at the window's size.
  AendereModus(neu, false, vsync.wertBool, false);
  return true;
}

void Quelm_Screen3D::FensterZerstoert(GLFWwindow* zerstoert) {
  if (zerstoert != fenster) return;
  // Every request on it fails from now on: the run ends as when the window is closed.
  Protokolliere("!Das Fenster wurde von einem anderen Programm zerstört.");
  SchliessRueckruf(zerstoert);
}

bool Quelm_Screen3D::Init(Quelm_Anzeigemodus gewuenscht, std::uint64_t flags) {
  Protokolliere("Screen wird initialisiert.");
  InitGlfw();
  modus = MitNutzbarerGroesse(gewuenscht);
  modusFlags = flags;

  const bool vollbildGewuenscht = (flags & Vollbild) != 0;
  bool desktopGelesen = false;
  std::uint32_t desktopFarbbits = 24;
  if (Leer(modus)) {
    if (const GLFWvidmode* desktop = Desktopmodus()) {
      modus.width = static_cast<std::uint64_t>(desktop->width);
      modus.height = static_cast<std::uint64_t>(desktop->height);
      desktopFarbbits = Farbbits(*desktop);
      desktopGelesen = true;
    } else {
      Protokolliere("!No monitor found. What the heck is going on here? Starting up windowed.");
    }
    if (Leer(modus)) {
      modusFlags &= ~Vollbild;
      modus.width = 1280;
      modus.height = 768;
      desktopGelesen = false;
    }
  }

  const bool vollbild = (modusFlags & Vollbild) && NimmVollbildModus(modus);
  if (vollbild) {
    vollbildJetzt = true;
  } else {
    modusFlags &= ~Vollbild;
    if (desktopGelesen) modus.bits16 = Bits16Fuer(desktopFarbbits);
    modus = BegrenzeFenster(modus);
  }
  SetzeVollbildVariable(vollbild, vollbildGewuenscht);
  // The chosen size goes back into the variables, so that "reinitvideo" and the saved
  // configuration see the real size rather than 0 by 0.
  displaywidth.SetzeInt(static_cast<std::int32_t>(modus.width));
  displayheight.SetzeInt(static_cast<std::int32_t>(modus.height));

  // An OpenGL context rather than none: the device layer draws with it.
  if (glfwGestartet) {
    Plattform::Fenster::SetzeOpenGLHinweise(modus.bits16 == 1);
    // The focus callback minimises a fullscreen window that lost the focus, where GLFW would
    // on every loss it is told of (FokusRueckruf).
    glfwWindowHint(GLFW_AUTO_ICONIFY, GLFW_FALSE);
  }
  fenster = glfwGestartet ? glfwCreateWindow(static_cast<int>(modus.width), static_cast<int>(modus.height),
                                             "ToolVelmar", vollbild ? glfwGetPrimaryMonitor() : nullptr, nullptr)
                          : nullptr;
  if (glfwGestartet) Plattform::Fenster::LeiteFehlerUm(&MeldeFensterFehler);
  if (!fenster) {
    Protokolliere("!Quelm_Screen3D::Init(...): Couldn't create window.");
    MeldeAusnahme("Failed to create window", "Quelm_Screen3D::Init", __FILE__, __LINE__);
    return false;
  }
  nativesFenster = Plattform::Fenster::HandleVon(fenster);
  glfwSetWindowSizeCallback(fenster, &GroesseRueckruf);
  glfwSetWindowCloseCallback(fenster, &SchliessRueckruf);
  glfwSetWindowFocusCallback(fenster, &FokusRueckruf);
  glfwSetWindowIconifyCallback(fenster, &IkonisierRueckruf);

  if (!ErzeugeZeichenKontext()) {
    // Going on without a device would fail at the first draw; stop start-up instead.
    Plattform::Fenster::Vergiss(fenster);
    glfwDestroyWindow(fenster);
    fenster = nullptr;
    nativesFenster = nullptr;
    return false;
  }
  initialisiert = true;
  return true;
}

Quelm_Anzeigemodus Quelm_Screen3D::WaehleModus(const GLFWvidmode* moden, int anzahl, Quelm_Anzeigemodus gewuenscht,
                                               std::uint32_t farbbits) {
  Quelm_Anzeigemodus ergebnis;
  // 0 by 0 stands for the desktop's size, which the callers put in themselves.
  if (gewuenscht.width == 0 && gewuenscht.height == 0) return ergebnis;
  const std::uint32_t w = static_cast<std::uint32_t>(gewuenscht.width);
  const std::uint32_t h = static_cast<std::uint32_t>(gewuenscht.height);
  const std::uint32_t r = static_cast<std::uint32_t>(gewuenscht.refresh);
  auto abstand = [&](std::uint32_t mw, std::uint32_t mh, std::uint32_t mr) {
    auto diff = [](std::uint32_t a, std::uint32_t b) { return a > b ? a - b : b - a; };
    std::uint32_t d = diff(mw, w) + diff(mh, h);
    if (r != 0) d += diff(mr, r);
    return d;
  };
  // Every real mode is nearer than none: a wish far from all of them still gets one.
  bool gefunden = false;
  std::uint32_t besterAbstand = 0;
  const std::uint32_t gesuchteBits = farbbits ? farbbits : gewuenscht.bits16 == 1 ? 16 : 24;
  for (int i = 0; i < anzahl; ++i) {
    const GLFWvidmode& m = moden[i];
    if (Farbbits(m) != gesuchteBits) continue;
    const std::uint32_t d = abstand(static_cast<std::uint32_t>(m.width), static_cast<std::uint32_t>(m.height),
                                    static_cast<std::uint32_t>(m.refreshRate));
    if (!gefunden || d <= besterAbstand) {
      gefunden = true;
      besterAbstand = d;
      ergebnis = {static_cast<std::uint64_t>(m.width), static_cast<std::uint64_t>(m.height), gewuenscht.bits16,
                  static_cast<std::uint64_t>(m.refreshRate)};
    }
  }
  if (gewuenscht.refresh == 0) ergebnis.refresh = 0;
  if (gefunden && (ergebnis.width != gewuenscht.width || ergebnis.height != gewuenscht.height ||
                   ergebnis.refresh != gewuenscht.refresh)) {
    const auto text = [](const Quelm_Anzeigemodus& m) {
      std::string t = std::to_string(m.width) + "x" + std::to_string(m.height);
      if (m.refresh != 0) t += " bei " + std::to_string(m.refresh) + " Hz";
      return t;
    };
    Protokolliere("?Anzeigemodus %s gibt es nicht, benutze den nächsten: %s.", text(gewuenscht).c_str(),
                  text(ergebnis).c_str());
  }
  return ergebnis;
}

Quelm_Anzeigemodus Quelm_Screen3D::ErmittleModi(Quelm_Anzeigemodus gewuenscht, std::uint32_t farbbits) {
  InitGlfw();
  GLFWmonitor* monitor = glfwGestartet ? glfwGetPrimaryMonitor() : nullptr;
  if (!monitor) {
    Protokolliere("!No monitor found. What the heck is going on here?");
    Quelm_Anzeigemodus leer;
    return leer;
  }
  int anzahl = 0;
  const GLFWvidmode* moden = glfwGetVideoModes(monitor, &anzahl);
  return WaehleModus(moden, moden ? anzahl : 0, gewuenscht, farbbits);
}

void Quelm_Screen3D::SetzeModus(Quelm_Anzeigemodus neu, bool vollbild, bool vsyncAn) {
  AendereModus(neu, vollbild, vsyncAn, true);
}

void Quelm_Screen3D::AendereModus(Quelm_Anzeigemodus neu, bool vollbild, bool vsyncAn, bool fensterGroesseSetzen) {
  moduswechselLaeuft = true;
  const bool vollbildGewuenscht = vollbild;
  Quelm_Anzeigemodus vollbildModus = neu;
  // A fullscreen window that the manager sized to the screen's new mode keeps that size.
  if (vollbild && (fensterGroesseSetzen || !vollbildJetzt)) vollbild = NimmVollbildModus(vollbildModus);
  modus = vollbild ? vollbildModus : fensterGroesseSetzen ? BegrenzeFenster(neu) : neu;
  if (eigenesFenster) {
    vsync.SetzeBool(vsyncAn);
    modusFlags = (modusFlags & ~(Vollbild | VSync)) | (vollbild ? Vollbild : 0) |
                 (vsyncAn ? VSync : 0);
    if (fenster) {
      const int w = static_cast<int>(modus.width), h = static_cast<int>(modus.height);
      const unsigned long anfrage = Plattform::Fenster::NaechsteAnfrage();
      // A window manager may refuse a window's size (a tiling one keeps the tile's) or
      // change it; a fullscreen mode's size is the screen's own.
      bool groesseErbeten = false;
      if (!vollbildJetzt && vollbild) {
        glfwSetWindowMonitor(fenster, glfwGetPrimaryMonitor(), 0, 0, w, h,
                             modus.refresh ? static_cast<int>(modus.refresh) : GLFW_DONT_CARE);
      } else if (vollbildJetzt && !vollbild) {
        // Left through the window manager, the window stays where it is.
        int x = 64, y = 64;
        if (!fensterGroesseSetzen) glfwGetWindowPos(fenster, &x, &y);
        glfwSetWindowMonitor(fenster, nullptr, x, y, w, h, GLFW_DONT_CARE);
        groesseErbeten = true;
      }
      if (fensterGroesseSetzen && !groesseErbeten) {
        int jetztW = 0, jetztH = 0;
        glfwGetWindowSize(fenster, &jetztW, &jetztH);
        if (jetztW != w || jetztH != h) {
          glfwSetWindowSize(fenster, w, h);
          groesseErbeten = !vollbild;
        }
      }
      if (groesseErbeten) {
        // The device takes the size the window has once the manager has answered.
        Plattform::Fenster::WarteAufKonfiguration(fenster, anfrage, kAntwortFrist);
        int jetztW = 0, jetztH = 0;
        glfwGetWindowSize(fenster, &jetztW, &jetztH);
        if (jetztW > 0 && jetztH > 0) {
          modus.width = static_cast<std::uint64_t>(jetztW);
          modus.height = static_cast<std::uint64_t>(jetztH);
        }
      }
      Plattform::Fenster::LeiteFehlerUm(&MeldeFensterFehler);
    }
    displaywidth.SetzeInt(static_cast<std::int32_t>(modus.width));
    displayheight.SetzeInt(static_cast<std::int32_t>(modus.height));
    vollbildJetzt = vollbild;
    SetzeVollbildVariable(vollbild, vollbildGewuenscht);
  }
  SetzeZeichenKontextZurueck();
  moduswechselLaeuft = false;
  ModusGeaendert();
}

void Quelm_Screen3D::Beenden() {
  Protokolliere("Screen wird geschlossen.");
  initialisiert = false;
  // The device draws with the window's OpenGL context, so the render context (and every
  // device object with it) goes before the window.
  SchliesseZeichenKontext();
  if (fenster) {
    Plattform::Fenster::Vergiss(fenster);
    glfwDestroyWindow(fenster);
    fenster = nullptr;
    nativesFenster = nullptr;
  }
  if (glfwGestartet) {
    glfwTerminate();
    glfwGestartet = false;
  }
  // A window that fullscreen had no mode for was no choice of the user's.
  if (vollbildVerweigert) SetzeVollbildVariable(true, false);
  vollbildVerweigert = false;
}

void Quelm_Screen3D::GroesseRueckruf(GLFWwindow*, int breite, int hoehe) {
  // Minimising reports 0 by 0: that must never become the device's size.
  if (breite < 1 || hoehe < 1 || moduswechselLaeuft) return;
  // Taken once after the poll (VerarbeiteFensterEreignisse); in fullscreen the window
  // manager's state decides what it means.
  gemeldeteBreite = breite;
  gemeldeteHoehe = hoehe;
  gemeldetUm = std::chrono::steady_clock::now();
}

void Quelm_Screen3D::FokusRueckruf(GLFWwindow* fenster, int fokussiert) {
  gSystem.fokus = fokussiert != 0;
  AktualisierePraesenz();
  if (DRENO::InputSystem* eingabe = DRENO::GetInstance()) eingabe->SetFocus(fokussiert != 0);
  // A fullscreen window that another window took the focus from gives up the screen, as a
  // fullscreen program does, where a manager can minimise it. A loss told while the window
  // still holds the focus is none (a manager focusing the new window under the pointer).
  if (!fokussiert && fenster && vollbildJetzt && vollbildVerwaltet && !Plattform::Fenster::HatTastaturfokus(fenster))
    glfwIconifyWindow(fenster);
}

void Quelm_Screen3D::IkonisierRueckruf(GLFWwindow*, int ikonisiert) {
  gSystem.sichtbar = ikonisiert == 0;
  AktualisierePraesenz();
  if (DRENO::InputSystem* eingabe = DRENO::GetInstance()) eingabe->SetFocus(ikonisiert == 0);
}

void Quelm_Screen3D::SchliessRueckruf(GLFWwindow*) { Quelm_System::BefehlQuit(std::string()); }

void Quelm_Screen3D::BefehlReinitVideo(const std::string&) {
  if (!eigenesFenster) {
    Protokolliere("Geht nicht, ist kein selbsterstelltes Fenster.");
    return;
  }
  Quelm_Anzeigemodus neu = MitNutzbarerGroesse({static_cast<std::uint64_t>(std::max(displaywidth.wertInt, 0)),
                                                 static_cast<std::uint64_t>(std::max(displayheight.wertInt, 0)),
                                                 modus.bits16, modus.refresh});
  // 0 stands for the desktop size, as at start.
  if (Leer(neu)) {
    if (const GLFWvidmode* desktop = Desktopmodus()) {
      neu.width = static_cast<std::uint64_t>(desktop->width);
      neu.height = static_cast<std::uint64_t>(desktop->height);
    } else {
      neu.width = modus.width;
      neu.height = modus.height;
    }
  }
  Protokolliere("Darstellung wird geändert auf %dx%d, %s.", static_cast<int>(neu.width), static_cast<int>(neu.height),
                fullscreen.wertBool ? "Vollbild" : "Fenster");
  SetzeModus(neu, fullscreen.wertBool, vsync.wertBool);
}
