#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct GLFWwindow;
struct GLFWvidmode;
struct HWND__;
class Quelm_ZeichenKontext;
// The display-change signal (Quelm_Screen3DSignal.h, for code that connects to it:
// signals2 is a large header).
struct Quelm_ModusSignal;

// A display mode.
struct Quelm_Anzeigemodus {
  std::uint64_t width = 0;
  std::uint64_t height = 0;
  std::uint32_t bits16 = 0;   // 1: 16-bit colour (15 too), else 24-bit (30 too)
  std::uint64_t refresh = 0;  // Hz; 0 = any rate
};

// The program's one window, its display mode and the render context. Static members only.
class Quelm_Screen3D {
 public:
  // Mode flags: bit 1 is set by the application and has no effect here.
  static constexpr std::uint64_t Vollbild = 1, Referenzgeraet = 4, VSync = 8;

  static bool glfwGestartet;
  static Quelm_Anzeigemodus modus;
  static bool initialisiert;
  static bool vollbildJetzt;
  static bool moduswechselLaeuft;
  static std::uint64_t modusFlags;
  static GLFWwindow* fenster;
  static bool eigenesFenster;
  static Quelm_ZeichenKontext* zeichenKontext;
  static HWND__* nativesFenster;
  static Quelm_ModusSignal ModusGeaendert;

  static void InitGlfw();
  // The per-frame hook: polls the window events (while GLFW is started), then brings the
  // device to the last size the window reported (in fullscreen, as the window manager's
  // state says).
  static void VerarbeiteFensterEreignisse();
  static bool Init(Quelm_Anzeigemodus modus, std::uint64_t flags);
  // `farbbits`: the modes of that many colour bits (red + green + blue); 0 for those of the
  // wish's depth (16 or 24).
  static Quelm_Anzeigemodus ErmittleModi(Quelm_Anzeigemodus gewuenscht, std::uint32_t farbbits = 0);
  static void SetzeModus(Quelm_Anzeigemodus modus, bool vollbild, bool vsync);
  static void Beenden();
  static void SchaffeVideoRAMPlatz();

  // The mode of `moden` nearest to the wish (the choice rule of ErmittleModi, without GLFW):
  // of the modes with the wished colour depth (or `farbbits`, as there) the nearest, the
  // later one of equals, however far; logged when it is not the wish. All zero for a 0 by 0
  // wish and when no mode has that depth.
  static Quelm_Anzeigemodus WaehleModus(const GLFWvidmode* moden, int anzahl, Quelm_Anzeigemodus gewuenscht,
                                        std::uint32_t farbbits = 0);

  static void GroesseRueckruf(GLFWwindow* fenster, int breite, int hoehe);
  static void FokusRueckruf(GLFWwindow* fenster, int fokussiert);
  static void IkonisierRueckruf(GLFWwindow* fenster, int ikonisiert);
  static void SchliessRueckruf(GLFWwindow* fenster);

  static void BefehlReinitVideo(const std::string& argumente);
  static void BefehlVideoRam(const std::string& argumente);

 private:
  // The last size the window reported since the device took one; 0 by 0 for none.
  static int gemeldeteBreite, gemeldeteHoehe;
  // SetzeModus; `fensterGroesseSetzen` false leaves the window's size as it is (the mode
  // follows the window).
  static void AendereModus(Quelm_Anzeigemodus modus, bool vollbild, bool vsync, bool fensterGroesseSetzen);
  static void FensterZerstoert(GLFWwindow* fenster);
  // After a size event in fullscreen: when the window's size is not the device's, the
  // device takes it, still fullscreen while the window manager's state holds fullscreen,
  // else in a window (the manager took fullscreen away).
  // False while the window has not yet the size last reported: to be called again next frame.
  static bool FolgeDerVerwaltung();

  // The screen's side of its render context, in Quelm_Screen3DKontext.cpp: the window and
  // mode code does not include the context, which reads the screen's mode and window.
  // Makes the context; false (and none kept) without a device.
  static bool ErzeugeZeichenKontext();
  static void SetzeZeichenKontextZurueck();
  static void SchliesseZeichenKontext();
};
