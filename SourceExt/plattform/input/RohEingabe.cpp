#include <algorithm>
#include <cstddef>
#include <cstring>
#include <map>
#include <utility>

#include "Eingabeschicht.h"
#include "Tastatur.h"
#include "Tastentabelle.h"

namespace Plattform::Eingabe {

Backend* GlfwBackend();

namespace {

Backend* gBackend = nullptr;

// The procedure a window has before anyone subclasses it: it handles nothing.
LRESULT StandardProzedur(HWND, UINT, WPARAM, LPARAM) { return 0; }

std::map<HWND, WNDPROC>& Prozeduren() {
  static std::map<HWND, WNDPROC> p;
  return p;
}

// The record a window message refers to, readable while the procedure runs.
const Datensatz* gNachricht = nullptr;

std::vector<Geraet> StandardGeraete() {
  return {{kMaus, RIM_TYPEMOUSE, "\\\\?\\GLFW#Maus"}, {kTastatur, RIM_TYPEKEYBOARD, "\\\\?\\GLFW#Tastatur"}};
}

bool Registriert(USHORT usage) {
  const auto& r = Zustaende().registriert;
  return std::any_of(r.begin(), r.end(), [&](const RAWINPUTDEVICE& d) {
    return d.usUsagePage == 1 && d.usUsage == usage;
  });
}

Datensatz Leer(DWORD typ, HANDLE geraet, UINT teilGroesse, bool wow64) {
  Datensatz satz{};
  satz.groesse = sizeof(RAWINPUTHEADER) + (wow64 ? 8 : 0) + teilGroesse;
  RAWINPUTHEADER kopf{typ, satz.groesse, geraet, 0};
  std::memcpy(satz.bytes, &kopf, sizeof kopf);
  return satz;
}

void Setze(BYTE vk, bool unten) {
  BYTE& t = Zustaende().tasten[vk];
  t = static_cast<BYTE>(unten ? (t | 0x80) : (t & 0x7F));
}

// Windows' thread key state: the key, its left/right form and the generic modifier.
void FolgeTaste(unsigned evdev, BYTE vk, bool unten) {
  BYTE* t = Zustaende().tasten;
  if (unten && (t[vk] & 0x80) == 0 && (vk == 0x14 || vk == 0x90 || vk == 0x91)) t[vk] ^= 1;
  BYTE seite = 0;
  if (vk == 0x10) seite = evdev == 54 ? 0xA1 : 0xA0;
  if (vk == 0x11) seite = evdev == 97 ? 0xA3 : 0xA2;
  if (vk == 0x12) seite = evdev == 100 ? 0xA5 : 0xA4;
  if (seite != 0) {
    Setze(seite, unten);
    const BYTE links = static_cast<BYTE>(seite & ~1), rechts = static_cast<BYTE>(seite | 1);
    Setze(vk, ((t[links] | t[rechts]) & 0x80) != 0);
  } else {
    Setze(vk, unten);
  }
}

}  // namespace

void SetzeBackend(Backend* backend) { gBackend = backend; }

Backend& AktuellesBackend() { return gBackend ? *gBackend : *GlfwBackend(); }

Zustand& Zustaende() {
  static Zustand z = [] {
    Zustand anfang;
    anfang.geraete = StandardGeraete();
    return anfang;
  }();
  return z;
}

void SetzeZurueck() {
  Zustand anfang;
  anfang.geraete = StandardGeraete();
  Zustaende() = std::move(anfang);
}

void SendeAlsNachricht(HWND fenster, const Datensatz& satz) {
  RAWINPUTHEADER kopf;
  std::memcpy(&kopf, satz.bytes, sizeof kopf);
  if (!Registriert(kopf.dwType == RIM_TYPEMOUSE ? 2 : 6)) return;
  auto gefunden = Prozeduren().find(fenster);
  if (gefunden == Prozeduren().end()) return;
  const Datensatz* vorher = gNachricht;
  gNachricht = &satz;
  gefunden->second(fenster, WM_INPUT, 0, reinterpret_cast<LPARAM>(&satz));
  gNachricht = vorher;
}

void Puffere(const Datensatz& satz) { Zustaende().puffer.push_back(satz); }

Steuerungen SteuerungenVon(const Datensatz& satz) {
  Steuerungen s;
  RAWINPUTHEADER kopf;
  std::memcpy(&kopf, satz.bytes, sizeof kopf);
  if (kopf.dwType == RIM_TYPEMOUSE && satz.groesse >= sizeof kopf + sizeof(RAWMOUSE)) {
    RAWMOUSE maus;
    std::memcpy(&maus, satz.bytes + sizeof kopf, sizeof maus);
    // Button n: down 1 << 2n, up 1 << (2n + 1).
    for (unsigned n = 0; n < 5; ++n) {
      if (maus.usButtonFlags & (3u << (2 * n))) s.set(256 + n);
    }
  } else if (kopf.dwType == RIM_TYPEKEYBOARD && satz.groesse >= sizeof kopf + sizeof(RAWKEYBOARD)) {
    RAWKEYBOARD taste;
    std::memcpy(&taste, satz.bytes + sizeof kopf, sizeof taste);
    // Keys that share a make code (an extended key and its twin) count as one: holding one
    // back too many only delays it by a frame.
    if (taste.VKey != 0xFF) s.set(taste.MakeCode & 0xFF);
  }
  return s;
}

void Zustelle(HWND fenster, const Datensatz& satz) {
  RAWINPUTHEADER kopf;
  std::memcpy(&kopf, satz.bytes, sizeof kopf);
  if (!Registriert(kopf.dwType == RIM_TYPEMOUSE ? 2 : 6) || Prozeduren().count(fenster) == 0) return;
  Zustand& z = Zustaende();
  const Steuerungen s = SteuerungenVon(satz);
  if (!z.gehalten.empty() || (s & z.geaendert).any()) {
    Gehalten& h = z.gehalten.emplace_back();
    h.satz = satz;
    std::memcpy(h.tasten, z.tasten, sizeof h.tasten);
    return;
  }
  z.geaendert |= s;
  SendeAlsNachricht(fenster, satz);
}

Datensatz MausDatensatz(HANDLE geraet, USHORT flags, USHORT knoepfe, SHORT daten, LONG x, LONG y,
                        bool wow64) {
  Datensatz satz = Leer(RIM_TYPEMOUSE, geraet, sizeof(RAWMOUSE), wow64);
  RAWMOUSE maus{};
  maus.usFlags = flags;
  maus.usButtonFlags = knoepfe;
  maus.usButtonData = static_cast<USHORT>(daten);
  maus.lLastX = x;
  maus.lLastY = y;
  std::memcpy(satz.bytes + satz.groesse - sizeof maus, &maus, sizeof maus);
  return satz;
}

bool TastenDatensatz(HANDLE geraet, unsigned evdev, bool unten, Datensatz& satz, bool wow64) {
  const Tastenbild& bild = TastenbildFuerEvdev(evdev);
  if (bild.vk == 0) return false;
  const BYTE vk = VirtuelleTaste(evdev, GetKeyboardLayout(0), Zustaende().tasten[0x90] & 1);
  FolgeTaste(evdev, bild.vk, unten);
  satz = Leer(RIM_TYPEKEYBOARD, geraet, sizeof(RAWKEYBOARD), wow64);
  RAWKEYBOARD taste{};
  taste.MakeCode = bild.make;
  taste.Flags = static_cast<USHORT>(bild.praefix | (unten ? RI_KEY_MAKE : RI_KEY_BREAK));
  taste.VKey = vk;
  taste.Message = unten ? 0x0100 : 0x0101;
  std::memcpy(satz.bytes + satz.groesse - sizeof taste, &taste, sizeof taste);
  return true;
}

}  // namespace Plattform::Eingabe

using namespace Plattform::Eingabe;

BOOL IsWindow(HWND window) { return window != nullptr && AktuellesBackend().IstFenster(window); }

HMODULE GetModuleHandleA(LPCSTR name) {
  static char kernel;
  return name != nullptr && std::strcmp(name, "kernel32") == 0 ? &kernel : nullptr;
}

FARPROC GetProcAddress(HMODULE module, LPCSTR name) {
  if (module == nullptr || name == nullptr || Zustaende().ohneWow64Abfrage) return nullptr;
  if (std::strcmp(name, "IsWow64Process") != 0) return nullptr;
  return reinterpret_cast<FARPROC>(&IsWow64Process);
}

HANDLE GetCurrentProcess() { return reinterpret_cast<HANDLE>(-1); }

BOOL IsWow64Process(HANDLE, PBOOL wow64) {
  if (wow64 == nullptr) return FALSE;
  *wow64 = Zustaende().wow64 ? TRUE : FALSE;
  return TRUE;
}

LONG_PTR SetWindowLongPtrW(HWND window, int index, LONG_PTR value) {
  if (index != GWLP_WNDPROC || !IsWindow(window)) return 0;
  auto& prozeduren = Prozeduren();
  const auto gefunden = prozeduren.find(window);
  const WNDPROC vorher = gefunden != prozeduren.end() ? gefunden->second : &StandardProzedur;
  const WNDPROC neu = reinterpret_cast<WNDPROC>(value);
  // A window whose own procedure is back needs no event sources.
  if (neu == nullptr || neu == &StandardProzedur) {
    prozeduren.erase(window);
    // Held records were meant for the procedure that is gone.
    Zustaende().gehalten.clear();
    AktuellesBackend().Verbinde(window, false);
  } else {
    prozeduren[window] = neu;
    AktuellesBackend().Verbinde(window, true);
  }
  return reinterpret_cast<LONG_PTR>(vorher);
}

LRESULT CallWindowProcW(WNDPROC procedure, HWND window, UINT message, WPARAM w, LPARAM l) {
  return procedure ? procedure(window, message, w, l) : 0;
}

UINT GetRawInputDeviceList(RAWINPUTDEVICELIST* list, PUINT count, UINT entrySize) {
  const Zustand& z = Zustaende();
  if (count == nullptr || entrySize != sizeof(RAWINPUTDEVICELIST)) return static_cast<UINT>(-1);
  const UINT anzahl = static_cast<UINT>(z.geraete.size());
  if (list == nullptr) {
    if (z.fehler.geraeteAnzahl) return static_cast<UINT>(-1);
    *count = anzahl;
    return 0;
  }
  if (z.fehler.geraeteListe || *count < anzahl) {
    *count = anzahl;
    return static_cast<UINT>(-1);
  }
  for (UINT i = 0; i < anzahl; ++i) list[i] = {z.geraete[i].handle, z.geraete[i].typ};
  return anzahl;
}

UINT GetRawInputDeviceInfoA(HANDLE device, UINT command, LPVOID data, PUINT size) {
  if (command != RIDI_DEVICENAME || size == nullptr) return static_cast<UINT>(-1);
  for (const Geraet& g : Zustaende().geraete) {
    if (g.handle != device) continue;
    const UINT noetig = static_cast<UINT>(g.name.size() + 1);
    if (data == nullptr || *size < noetig) {
      *size = noetig;
      return data == nullptr ? 0 : static_cast<UINT>(-1);
    }
    std::memcpy(data, g.name.c_str(), noetig);
    return noetig - 1;
  }
  return static_cast<UINT>(-1);
}

BOOL RegisterRawInputDevices(const RAWINPUTDEVICE* devices, UINT count, UINT entrySize) {
  if (devices == nullptr || entrySize != sizeof(RAWINPUTDEVICE) || Zustaende().fehler.registrierung) {
    return FALSE;
  }
  auto& r = Zustaende().registriert;
  r.insert(r.end(), devices, devices + count);
  return TRUE;
}

UINT GetRawInputData(HRAWINPUT input, UINT command, LPVOID data, PUINT size, UINT headerSize) {
  const Datensatz* satz = gNachricht;
  if (command != RID_INPUT || size == nullptr || headerSize != sizeof(RAWINPUTHEADER) || satz == nullptr ||
      reinterpret_cast<const Datensatz*>(input) != satz) {
    return static_cast<UINT>(-1);
  }
  // A record read from a message always has its device part right after the header.
  if (data == nullptr) {
    *size = satz->groesse;
    return 0;
  }
  if (*size < satz->groesse) return static_cast<UINT>(-1);
  std::memcpy(data, satz->bytes, satz->groesse);
  return satz->groesse;
}

namespace {

// A held record in the layout of buffered records: a 32-bit process on 64-bit Windows
// finds the device part 8 bytes later.
Datensatz Gepuffert(const Datensatz& satz) {
  if (!Zustaende().wow64 || satz.groesse < sizeof(RAWINPUTHEADER)) return satz;
  RAWINPUTHEADER kopf;
  std::memcpy(&kopf, satz.bytes, sizeof kopf);
  const UINT teil = satz.groesse - sizeof kopf;
  Datensatz breit = Leer(kopf.dwType, kopf.hDevice, teil, true);
  std::memcpy(breit.bytes + breit.groesse - teil, satz.bytes + sizeof kopf, teil);
  return breit;
}

// The next held record, if this frame may read it; before a drain the frame is still to
// begin, and the first held record comes first.
const Gehalten* NaechsterGehaltener() {
  const Zustand& z = Zustaende();
  if (z.gehalten.empty()) return nullptr;
  const Gehalten& h = z.gehalten.front();
  return z.abzugLaeuft && (SteuerungenVon(h.satz) & z.geaendert).any() ? nullptr : &h;
}

}  // namespace

UINT GetRawInputBuffer(RAWINPUT* data, PUINT size, UINT headerSize) {
  Zustand& z = Zustaende();
  auto& puffer = z.puffer;
  if (size == nullptr || headerSize != sizeof(RAWINPUTHEADER)) return static_cast<UINT>(-1);
  if (data == nullptr) {
    const Gehalten* h = NaechsterGehaltener();
    *size = h != nullptr ? Gepuffert(h->satz).groesse : puffer.empty() ? 0 : puffer.front().groesse;
    return 0;
  }
  // The first call of a drain starts the frame; the held record read before is done.
  if (!z.abzugLaeuft) {
    z.abzugLaeuft = true;
    z.geaendert.reset();
  }
  z.gehaltenerSatzWirdGelesen = false;
  BYTE* ziel = reinterpret_cast<BYTE*>(data);
  // Held records one a call: GetKeyboardState answers the held record's key state until
  // the next call.
  if (const Gehalten* h = NaechsterGehaltener()) {
    const Datensatz satz = Gepuffert(h->satz);
    if (satz.groesse > *size) {
      *size = satz.groesse;
      z.abzugLaeuft = false;
      return static_cast<UINT>(-1);
    }
    std::memcpy(ziel, satz.bytes, std::min<std::size_t>(satz.groesse, sizeof satz.bytes));
    z.geaendert |= SteuerungenVon(h->satz);
    std::memcpy(z.tastenDesGelesenen, h->tasten, sizeof z.tastenDesGelesenen);
    z.gehaltenerSatzWirdGelesen = true;
    z.gehalten.pop_front();
    return 1;
  }
  UINT belegt = 0, anzahl = 0;
  while (!puffer.empty()) {
    const Datensatz& satz = puffer.front();
    const UINT laenge = std::max<UINT>(satz.groesse, sizeof(RAWINPUTHEADER));
    if (belegt + laenge > *size) break;
    std::memcpy(ziel + belegt, satz.bytes, std::min<UINT>(laenge, sizeof satz.bytes));
    belegt = (belegt + laenge + 7) & ~7u;
    ++anzahl;
    puffer.pop_front();
  }
  // The drain is over: messages of this frame follow.
  if (anzahl == 0) z.abzugLaeuft = false;
  return anzahl;
}

BOOL GetCursorPos(POINT* point) { return point != nullptr && AktuellesBackend().Cursor(*point); }

BOOL SetCursorPos(int x, int y) { return AktuellesBackend().SetzeCursor({x, y}); }

BOOL ScreenToClient(HWND window, POINT* point) {
  POINT ursprung;
  if (point == nullptr || !AktuellesBackend().Ursprung(window, ursprung)) return FALSE;
  point->x -= ursprung.x;
  point->y -= ursprung.y;
  return TRUE;
}

BOOL ClientToScreen(HWND window, POINT* point) {
  POINT ursprung;
  if (point == nullptr || !AktuellesBackend().Ursprung(window, ursprung)) return FALSE;
  point->x += ursprung.x;
  point->y += ursprung.y;
  return TRUE;
}

BOOL GetWindowRect(HWND window, RECT* rect) {
  return rect != nullptr && AktuellesBackend().Rahmen(window, *rect);
}

BOOL GetClientRect(HWND window, RECT* rect) {
  POINT groesse;
  if (rect == nullptr || !AktuellesBackend().Clientgroesse(window, groesse)) return FALSE;
  *rect = {0, 0, groesse.x, groesse.y};
  return TRUE;
}
