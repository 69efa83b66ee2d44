#pragma once
// The test backend: a window with set geometry and cursor, the shared state reset at both
// ends of its life, and records delivered as window messages or buffered.
#include <utility>
#include <vector>

#include "Eingabeschicht.h"
#include "Tastatur.h"

namespace Plattform::Eingabe {

class TestBackend : public Backend {
 public:
  // Installs itself with the layout "us"; the destructor puts the GLFW backend back.
  TestBackend();
  ~TestBackend() override;

  bool IstFenster(HWND fenster) override { return fenster != nullptr && fensterGueltig; }
  bool Cursor(POINT& punkt) override;
  bool SetzeCursor(POINT punkt) override;
  bool Ursprung(HWND fenster, POINT& punkt) override;
  bool Rahmen(HWND fenster, RECT& rechteck) override;
  bool Clientgroesse(HWND fenster, POINT& groesse) override;
  void Verbinde(HWND fenster, bool an) override { verbindungen.emplace_back(fenster, an); }

  // The cursor relative to the client area's top-left corner.
  void SetzeClientCursor(LONG x, LONG y) { cursor = {ursprung.x + x, ursprung.y + y}; }
  POINT ClientCursor() const { return {cursor.x - ursprung.x, cursor.y - ursprung.y}; }

  // Delivery to the window the procedure was installed on.
  void Nachricht(const Datensatz& satz) { SendeAlsNachricht(fenster, satz); }
  // A key as the real layer builds it, as a message (or buffered).
  void Taste(unsigned evdev, bool unten, bool gepuffert = false, HANDLE geraet = kTastatur);
  // Delivery as the GLFW backend does it, frame by frame (Zustelle).
  void Zustellen(const Datensatz& satz) { Zustelle(fenster, satz); }
  void TasteZustellen(unsigned evdev, bool unten, HANDLE geraet = kTastatur);

  Zustand& zustand = Zustaende();
  HWND fenster = nullptr;  // the last window connected
  bool fensterGueltig = true;
  POINT cursor{0, 0};        // screen coordinates
  POINT ursprung{200, 100};  // the client area's corner on the screen
  POINT groesse{640, 480};   // client area
  LONG rand = 4, titel = 24;  // the frame around it
  std::vector<std::pair<HWND, bool>> verbindungen;
  std::vector<POINT> gesetzt;  // every SetCursorPos, in screen coordinates
};

}  // namespace Plattform::Eingabe
