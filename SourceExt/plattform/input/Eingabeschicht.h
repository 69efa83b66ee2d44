#pragma once
// The input layer's own side: what stands behind the Windows-shaped calls. A backend
// gives the window and cursor geometry and connects the window's event sources; the
// shared state holds the installed window procedures, the device list, the buffered
// records, the keyboard state and the faults a test injects.
#include <bitset>
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

// A record held back for the next frame's read (see Zustelle), with the keyboard state
// that GetKeyboardState answers while the record is read: the state as of the record.
struct Gehalten {
  Datensatz satz;
  BYTE tasten[256];
};

// The controls a record changes: keys by the low byte of their make code, mouse buttons
// 0 to 4 after them.
using Steuerungen = std::bitset<256 + 5>;

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
  // Frame-wise delivery (Zustelle): the records held back, the controls changed by this
  // frame's records, whether the input system's drain (the start of a frame) is under way,
  // and the held record being read.
  std::deque<Gehalten> gehalten;
  Steuerungen geaendert;
  bool abzugLaeuft = false;
  bool gehaltenerSatzWirdGelesen = false;
  BYTE tastenDesGelesenen[256] = {};
};

Zustand& Zustaende();
// Back to the start: the default device list, nothing registered, buffered or held.
void SetzeZurueck();

// Calls the window's installed procedure with WM_INPUT for the record, if its kind of
// device is registered. The record can be read with GetRawInputData during the call.
void SendeAlsNachricht(HWND fenster, const Datensatz& satz);
// Queues the record for GetRawInputBuffer.
void Puffere(const Datensatz& satz);

// Delivers a record as the real backend does, frame by frame: the input system reads a
// frame's state once, so a control (a key or a mouse button) may change only once between
// two reads. The record goes to the window procedure at once, unless it changes a control
// that this frame's records have already changed (a press and its release in one frame), or
// records are already held: then it is held back, in order, for the next frame. A frame
// begins when the input system starts its drain (its first GetRawInputBuffer call after the
// last drain ended); the drain then hands out the held records, one a call, in order, up to
// the first that would change a control a second time in that frame. Everything keeps its
// order: text typed stays in order, a double click becomes press, release, press, release
// in four frames.
void Zustelle(HWND fenster, const Datensatz& satz);
Steuerungen SteuerungenVon(const Datensatz& satz);

// Records in the x64 layout; wow64 places the device part 8 bytes later, as buffered
// records of a 32-bit process on 64-bit Windows have it.
Datensatz MausDatensatz(HANDLE geraet, USHORT flags, USHORT knoepfe, SHORT daten, LONG x, LONG y,
                        bool wow64 = false);
// The record of an evdev key code, with make code, E0/E1 and virtual key; the keyboard
// state follows the key. False for a code the keyboard table does not know.
bool TastenDatensatz(HANDLE geraet, unsigned evdev, bool unten, Datensatz& satz, bool wow64 = false);

}  // namespace Plattform::Eingabe
