#pragma once
// The input layer's own side: what stands behind the Windows-shaped calls. A backend
// gives the window and cursor geometry and connects the window's event sources; the
// shared state holds the installed window procedures, the device list, the buffered
// records, the keyboard state and the faults a test injects.
#include <deque>
#include <string>
#include <vector>

#include "RohEingabe.h"

namespace Plattform::Eingabe {

class Backend {
 public:
  virtual ~Backend() = default;
  virtual bool IstFenster(HWND fenster) = 0;
  // Screen coordinates.
  virtual bool Cursor(POINT& punkt) = 0;
  virtual bool SetzeCursor(POINT punkt) = 0;
  // The client area's top-left corner in screen coordinates.
  virtual bool Ursprung(HWND fenster, POINT& punkt) = 0;
  // The window's outer rectangle (frame included) in screen coordinates.
  virtual bool Rahmen(HWND fenster, RECT& rechteck) = 0;
  // Width and height of the client area.
  virtual bool Clientgroesse(HWND fenster, POINT& groesse) = 0;
  // Starts (an) or stops the window's event sources; records then arrive through
  // SendeAlsNachricht.
  virtual void Verbinde(HWND fenster, bool an) = 0;
};

// Null puts the GLFW backend back.
void SetzeBackend(Backend* backend);
Backend& AktuellesBackend();

// One raw record as its bytes.
struct Datensatz {
  alignas(8) BYTE bytes[64];
  UINT groesse = 0;
};

struct Geraet {
  HANDLE handle;
  DWORD typ;  // RIM_TYPE...
  std::string name;
};

// The one merged mouse and keyboard that GLFW reports.
inline HANDLE const kMaus = reinterpret_cast<HANDLE>(0x10);
inline HANDLE const kTastatur = reinterpret_cast<HANDLE>(0x20);

struct Zustand {
  std::vector<Geraet> geraete;
  bool wow64 = false;
  bool ohneWow64Abfrage = false;  // "IsWow64Process" is not there
  // Injected faults, one per platform call that can fail.
  struct {
    bool directInput = false, systemTastatur = false, datenformat = false;
    bool geraeteAnzahl = false, geraeteListe = false, registrierung = false;
    bool tastaturZustand = false;
  } fehler;
  std::vector<RAWINPUTDEVICE> registriert;
  std::deque<Datensatz> puffer;  // what GetRawInputBuffer hands out
  BYTE tasten[256] = {};         // GetKeyboardState: bit 7 down, bit 0 toggled
};

Zustand& Zustaende();
// Back to the start: the default device list, nothing registered, buffered or held.
void SetzeZurueck();

// Calls the window's installed procedure with WM_INPUT for the record, if its kind of
// device is registered. The record can be read with GetRawInputData during the call.
void SendeAlsNachricht(HWND fenster, const Datensatz& satz);
// Queues the record for GetRawInputBuffer.
void Puffere(const Datensatz& satz);

// Records in the x64 layout; wow64 places the device part 8 bytes later, as buffered
// records of a 32-bit process on 64-bit Windows have it.
Datensatz MausDatensatz(HANDLE geraet, USHORT flags, USHORT knoepfe, SHORT daten, LONG x, LONG y,
                        bool wow64 = false);
// The record of an evdev key code, with make code, E0/E1 and virtual key; the keyboard
// state follows the key. False for a code the keyboard table does not know.
bool TastenDatensatz(HANDLE geraet, unsigned evdev, bool unten, Datensatz& satz, bool wow64 = false);

}  // namespace Plattform::Eingabe
