#pragma once
#include "Quelm_ParallelKern.h"

#include <filesystem>
#include <functional>

class Quelm_BlockGfx3D;
class Quelm_Font3D;
class Quelm_KonsoleStandardAnzeige;
namespace DRENO {
class InputHandler;
class InputSystem;
}

namespace Spiel {

class Bearbeitung;
class LinienListe;
class Szene;

// The tool while it runs: owns the parallel execution core and the console display, opens
// the screen and the input system, and runs the main loop.
class Anwendung {
 public:
  Anwendung();
  ~Anwendung();

  Anwendung(const Anwendung&) = delete;
  Anwendung& operator=(const Anwendung&) = delete;

  // The main loop: frames until the quit flag of the system object is set.
  void Ausfuehren();

  // Log sink of the input library.
  static void MeldeEingabe(const char* text);

  // F11: a console taking input closes and hands the input back to `seite` (the widget
  // page); otherwise it opens and takes the input.
  static void SchalteKonsoleUm(Quelm_KonsoleStandardAnzeige& konsole, DRENO::InputSystem* eingabe,
                               DRENO::InputHandler* seite);
  static constexpr int kTasteF11 = 87;
  static constexpr int kTasteF10 = 68;

  // F10: the back buffer as the first free "screenshot%04d.png" in the user data folder's
  // "screenshots". False (and the reason in the log) when no file was written.
  static bool SpeichereBildschirmfoto();

  // The mode flags the screen starts with: 2, plus 1 for fullscreen, plus 8 for vsync.
  static std::uint64_t ModusFlags(bool vollbild, bool vsync);

  // The console display with the font file `schrift`, attached to the log. A font it cannot
  // load leaves it without text and typing; that is said in the log and on the terminal,
  // naming the file, and the tool runs on.
  static Quelm_KonsoleStandardAnzeige* ErzeugeKonsole(const std::filesystem::path& schrift);

  // The widget skin (graphic 0: the white box every widget box tints) from "grafik.png"
  // and the widget font from "calibrib.ttf"; a missing or unusable file ends the start
  // naming it.
  static void LadeGuiGrafik();
  // Released before the screen closes, so that the render context frees nothing behind
  // their backs.
  static void GibGuiGrafikFrei();
  static Quelm_BlockGfx3D* guiGrafik;
  static Quelm_Font3D* guiFont;

  // Called after every present with the scene: the benchmark harness times frames and loads
  // its meshes through it. The tool leaves it empty.
  static std::function<void(Szene&)> nachBild;

 private:
  // Ground grid and a wire cube around every selected corner, over the finished image.
  static void ZeichneHilfslinien(LinienListe& linien, Bearbeitung& bearbeitung, float breite, float hoehe);
  // Console display, input system and screen closed, in this order.
  void Abbauen();
  // Body of the frame job: ends the main thread's job turn.
  void BeendeJobRunde();
  // Runs every main-thread job queued before this frame's turn.
  void JobRunde();

  Quelm_KonsoleStandardAnzeige* konsolenAnzeige = nullptr;
  Quelm_ParallelKern kern;
};

}  // namespace Spiel
