#include "Tastatur.h"

#include <xcb/xcb.h>
// The XKB header names a field "explicit", a C++ keyword.
#define explicit explicit_
#include <xcb/xkb.h>
#undef explicit
#include <xkbcommon/xkbcommon-x11.h>
#include <xkbcommon/xkbcommon.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "Eingabeschicht.h"
#include "Tastentabelle.h"

struct HKL__ {
  xkb_keymap* keymap = nullptr;
  xkb_state* state = nullptr;  // reused for every translation: set from the key state
  xkb_layout_index_t gruppe = 0;  // the keymap's layout (xkb group) this layout stands for
  xkb_mod_index_t shift, lock, control, alt, numLock, levelThree;

  // Takes over the keymap reference.
  HKL__(xkb_keymap* km, xkb_layout_index_t g) : keymap(km), state(xkb_state_new(km)), gruppe(g) {
    shift = xkb_keymap_mod_get_index(km, XKB_MOD_NAME_SHIFT);
    lock = xkb_keymap_mod_get_index(km, XKB_MOD_NAME_CAPS);
    control = xkb_keymap_mod_get_index(km, XKB_MOD_NAME_CTRL);
    alt = xkb_keymap_mod_get_index(km, XKB_MOD_NAME_ALT);
    numLock = xkb_keymap_mod_get_index(km, XKB_MOD_NAME_NUM);
    levelThree = xkb_keymap_mod_get_index(km, "Mod5");
  }
  HKL__(const HKL__&) = delete;
  HKL__& operator=(const HKL__&) = delete;
  ~HKL__() {
    xkb_state_unref(state);
    xkb_keymap_unref(keymap);
  }
};

namespace Plattform::Eingabe {
namespace {

constexpr unsigned kXOffset = 8;  // X keycode = evdev code + 8

// The X server's keyboard, followed while the program runs: a connection of its own that
// receives the XKB extension's notices for the core keyboard (a new keymap, as setxkbmap
// loads one; a changed map; a switch of the active layout group) and the core protocol's
// mapping notices. They are read when a layout is asked for, that is at each key, without
// waiting.
struct Server {
  xcb_connection_t* verbindung = nullptr;
  int32_t geraet = -1;
  uint8_t xkbEreignis = 0;  // the XKB extension's event code
  // One layout for each group of the server's keymap.
  std::vector<std::unique_ptr<HKL__>> gruppen;
  xkb_layout_index_t gruppe = 0;  // the server's active group

  ~Server() {
    gruppen.clear();
    if (verbindung != nullptr) xcb_disconnect(verbindung);
  }

  // Reads the keymap and the active group again; false leaves the old ones.
  bool Lade(xkb_context* kontext) {
    xkb_keymap* keymap =
        xkb_x11_keymap_new_from_device(kontext, verbindung, geraet, XKB_KEYMAP_COMPILE_NO_FLAGS);
    if (keymap == nullptr) return false;
    std::vector<std::unique_ptr<HKL__>> neu;
    const xkb_layout_index_t anzahl = std::max<xkb_layout_index_t>(xkb_keymap_num_layouts(keymap), 1);
    for (xkb_layout_index_t g = 0; g < anzahl; ++g) {
      neu.push_back(std::make_unique<HKL__>(g == 0 ? keymap : xkb_keymap_ref(keymap), g));
    }
    if (xkb_state* zustand = xkb_x11_state_new_from_device(keymap, verbindung, geraet)) {
      gruppe = xkb_state_serialize_layout(zustand, XKB_STATE_LAYOUT_EFFECTIVE);
      xkb_state_unref(zustand);
    }
    gruppen = std::move(neu);
    return true;
  }

  // Connects and reads the keymap; false without a server or its XKB extension.
  bool Verbinde(xkb_context* kontext) {
    if (std::getenv("DISPLAY") == nullptr || kontext == nullptr) return false;
    verbindung = xcb_connect(nullptr, nullptr);
    if (!xcb_connection_has_error(verbindung) &&
        xkb_x11_setup_xkb_extension(verbindung, XKB_X11_MIN_MAJOR_XKB_VERSION, XKB_X11_MIN_MINOR_XKB_VERSION,
                                    XKB_X11_SETUP_XKB_EXTENSION_NO_FLAGS, nullptr, nullptr, &xkbEreignis,
                                    nullptr)) {
      geraet = xkb_x11_get_core_keyboard_device_id(verbindung);
      if (geraet != -1) {
        // Notices first, then the keymap: a change in between is not missed.
        constexpr uint16_t ereignisse = XCB_XKB_EVENT_TYPE_NEW_KEYBOARD_NOTIFY |
                                        XCB_XKB_EVENT_TYPE_MAP_NOTIFY | XCB_XKB_EVENT_TYPE_STATE_NOTIFY;
        constexpr uint16_t teile = XCB_XKB_MAP_PART_KEY_TYPES | XCB_XKB_MAP_PART_KEY_SYMS |
                                   XCB_XKB_MAP_PART_MODIFIER_MAP | XCB_XKB_MAP_PART_EXPLICIT_COMPONENTS |
                                   XCB_XKB_MAP_PART_KEY_ACTIONS | XCB_XKB_MAP_PART_VIRTUAL_MODS |
                                   XCB_XKB_MAP_PART_VIRTUAL_MOD_MAP;
        constexpr uint16_t gruppenTeile = XCB_XKB_STATE_PART_GROUP_STATE | XCB_XKB_STATE_PART_GROUP_BASE |
                                          XCB_XKB_STATE_PART_GROUP_LATCH | XCB_XKB_STATE_PART_GROUP_LOCK;
        xcb_xkb_select_events_details_t details{};
        details.affectNewKeyboard = details.newKeyboardDetails = XCB_XKB_NKN_DETAIL_KEYCODES;
        details.affectState = details.stateDetails = gruppenTeile;
        xcb_generic_error_t* fehler = xcb_request_check(
            verbindung, xcb_xkb_select_events_aux_checked(verbindung, static_cast<xcb_xkb_device_spec_t>(geraet),
                                                          ereignisse, 0, 0, teile, teile, &details));
        std::free(fehler);  // without notices the keymap of the start still serves
        if (Lade(kontext)) return true;
      }
    }
    xcb_disconnect(verbindung);
    verbindung = nullptr;
    return false;
  }

  // Takes the notices that have arrived; a changed keymap is read again.
  void Folge(xkb_context* kontext) {
    if (verbindung == nullptr || xcb_connection_has_error(verbindung)) return;
    bool neuLaden = false;
    while (xcb_generic_event_t* ereignis = xcb_poll_for_event(verbindung)) {
      const uint8_t art = ereignis->response_type & 0x7F;
      if (art == XCB_MAPPING_NOTIFY) {
        neuLaden = true;
      } else if (art == xkbEreignis) {
        // Every XKB event has its kind in the second byte.
        switch (ereignis->pad0) {
          case XCB_XKB_NEW_KEYBOARD_NOTIFY:
          case XCB_XKB_MAP_NOTIFY:
            neuLaden = true;
            break;
          case XCB_XKB_STATE_NOTIFY:
            gruppe = reinterpret_cast<const xcb_xkb_state_notify_event_t*>(ereignis)->group;
            break;
          default:
            break;
        }
      }
      std::free(ereignis);
    }
    if (neuLaden) Lade(kontext);
  }

  HKL Aktuell() const {
    if (gruppen.empty()) return nullptr;
    return gruppen[gruppe < gruppen.size() ? gruppe : 0].get();
  }
};

struct Belegungen {
  xkb_context* kontext = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
  std::map<std::string, std::unique_ptr<HKL__>> nachName;
  HKL gewaehlt = nullptr;  // SetzeBelegung's; null: the server's
  bool serverGefragt = false;
  Server server;
  ~Belegungen() {
    nachName.clear();
    server.gruppen.clear();
    xkb_context_unref(kontext);
  }
};

Belegungen& Alle() {
  static Belegungen b;
  return b;
}

// The server's current layout; null without a server.
HKL VomServer() {
  Belegungen& b = Alle();
  if (!b.serverGefragt) {
    b.serverGefragt = true;
    b.server.Verbinde(b.kontext);
  } else {
    b.server.Folge(b.kontext);
  }
  return b.server.Aktuell();
}

HKL Aktuell() {
  Belegungen& b = Alle();
  if (b.gewaehlt != nullptr) return b.gewaehlt;
  if (HKL l = VomServer()) return l;
  return BelegungNachName("us");
}

bool Unten(const BYTE* tasten, BYTE vk) { return (tasten[vk] & 0x80) != 0; }

// The xkb state for the Windows key state: Right Alt is AltGr (level three) and does not
// count as Control, so AltGr characters are not turned into control codes.
void StelleEin(HKL l, const BYTE* t) {
  auto bit = [](xkb_mod_index_t i, bool an) -> xkb_mod_mask_t {
    return an && i != XKB_MOD_INVALID ? (1u << i) : 0u;
  };
  const bool altGr = Unten(t, 0xA5);
  const xkb_mod_mask_t gedrueckt =
      bit(l->shift, Unten(t, 0x10) || Unten(t, 0xA0) || Unten(t, 0xA1)) |
      bit(l->control, Unten(t, 0xA2) || Unten(t, 0xA3) || (Unten(t, 0x11) && !altGr)) |
      bit(l->alt, Unten(t, 0xA4) || (Unten(t, 0x12) && !altGr)) | bit(l->levelThree, altGr);
  const xkb_mod_mask_t fest = bit(l->lock, t[0x14] & 1) | bit(l->numLock, t[0x90] & 1);
  xkb_state_update_mask(l->state, gedrueckt, 0, fest, 0, 0, l->gruppe);
}

// The evdev code of a scan code; 0xE0nn is the extended key.
int EvdevFuerScan(UINT scan) {
  if ((scan & 0xFF00) != 0 && (scan & 0xFF00) != 0xE000) return -1;
  return EvdevFuerMake(scan & 0xFF, (scan & 0xFF00) == 0xE000);
}

xkb_keysym_t GrundSymbol(HKL l, unsigned evdev) {
  const xkb_keycode_t taste = evdev + kXOffset;
  // A key with fewer groups than the keymap wraps the group round, as X does by default.
  const xkb_layout_index_t gruppen = xkb_keymap_num_layouts_for_key(l->keymap, taste);
  if (gruppen == 0) return XKB_KEY_NoSymbol;
  const xkb_keysym_t* symbole = nullptr;
  const int n = xkb_keymap_key_get_syms_by_level(l->keymap, taste, l->gruppe % gruppen, 0, &symbole);
  return n > 0 ? symbole[0] : XKB_KEY_NoSymbol;
}

// The spacing form a dead key types when it is pressed twice.
char16_t Abstandsform(xkb_keysym_t symbol) {
  switch (symbol) {
    case XKB_KEY_dead_grave: return 0x60;
    case XKB_KEY_dead_acute: return 0xB4;
    case XKB_KEY_dead_circumflex: return 0x5E;
    case XKB_KEY_dead_tilde: return 0x7E;
    case XKB_KEY_dead_diaeresis: return 0xA8;
    case XKB_KEY_dead_cedilla: return 0xB8;
    default: return 0;
  }
}

struct Zeichen {
  char16_t zeichen;
  const char16_t* grund;
  const char16_t* verbunden;
};

// Precomposed letters for the five marks the keyboard composes.
const Zeichen kZusammensetzungen[] = {
    {0x0300, u"AEIOUaeiou", u"\u00C0\u00C8\u00CC\u00D2\u00D9\u00E0\u00E8\u00EC\u00F2\u00F9"},
    {0x0301, u"AEIOUYaeiouyCcNnSsZz",
     u"\u00C1\u00C9\u00CD\u00D3\u00DA\u00DD\u00E1\u00E9\u00ED\u00F3\u00FA\u00FD"
     u"\u0106\u0107\u0143\u0144\u015A\u015B\u0179\u017A"},
    {0x0302, u"AEIOUaeiouCcGgHhJjSsWwYy",
     u"\u00C2\u00CA\u00CE\u00D4\u00DB\u00E2\u00EA\u00EE\u00F4\u00FB"
     u"\u0108\u0109\u011C\u011D\u0124\u0125\u0134\u0135\u015C\u015D\u0174\u0175\u0176\u0177"},
    {0x0308, u"AEIOUaeiouyY",
     u"\u00C4\u00CB\u00CF\u00D6\u00DC\u00E4\u00EB\u00EF\u00F6\u00FC\u00FF\u0178"},
    {0x0327, u"CcSsTtGgKkLlNnRr",
     u"\u00C7\u00E7\u015E\u015F\u0162\u0163\u0122\u0123\u0136\u0137\u013B\u013C\u0145\u0146"
     u"\u0156\u0157"},
};

char16_t Zusammensetze(char16_t grund, char16_t zeichen) {
  for (const Zeichen& z : kZusammensetzungen) {
    if (z.zeichen != zeichen) continue;
    for (int i = 0; z.grund[i] != 0; ++i) {
      if (z.grund[i] == grund) return z.verbunden[i];
    }
  }
  return 0;
}

}  // namespace

HKL BelegungNachName(const char* name) {
  Belegungen& b = Alle();
  const std::string schluessel = name ? name : "";
  if (auto gefunden = b.nachName.find(schluessel); gefunden != b.nachName.end()) {
    return gefunden->second.get();
  }
  if (b.kontext == nullptr) return nullptr;
  xkb_rule_names namen{"evdev", "pc105", schluessel.c_str(), "", ""};
  xkb_keymap* keymap = xkb_keymap_new_from_names(b.kontext, &namen, XKB_KEYMAP_COMPILE_NO_FLAGS);
  if (keymap == nullptr) return nullptr;
  auto& eintrag = b.nachName[schluessel];
  eintrag = std::make_unique<HKL__>(keymap, 0);
  return eintrag.get();
}

void SetzeBelegung(HKL layout) { Alle().gewaehlt = layout; }

BYTE VirtuelleTaste(unsigned evdev, HKL layout, bool numLock) {
  const Tastenbild& bild = TastenbildFuerEvdev(evdev);
  if (bild.vk == 0) return 0;
  if (numLock && ZiffernblockMitNumLock(evdev) != 0) return ZiffernblockMitNumLock(evdev);
  if (layout != nullptr && bild.praefix == 0) {
    const xkb_keysym_t symbol = GrundSymbol(layout, evdev);
    if (symbol >= XKB_KEY_a && symbol <= XKB_KEY_z) return static_cast<BYTE>('A' + symbol - XKB_KEY_a);
  }
  return bild.vk;
}

bool Tastenname(unsigned evdev, WCHAR* ziel, int laenge) {
  HKL l = Aktuell();
  if (l == nullptr || laenge < 2 || TastenbildFuerEvdev(evdev).vk == 0) return false;
  const xkb_keysym_t symbol = GrundSymbol(l, evdev);
  if (symbol == XKB_KEY_NoSymbol) return false;
  std::uint32_t z = xkb_keysym_to_utf32(symbol);
  if (z > 0x20 && z != 0x7F && z < 0x10000) {
    // Printable keys are named by their capital, as key caps show them.
    if ((z >= 'a' && z <= 'z') || (z >= 0xE0 && z <= 0xFE && z != 0xF7)) z -= 0x20;
    ziel[0] = static_cast<WCHAR>(z);
    ziel[1] = 0;
    return true;
  }
  char name[64];
  if (xkb_keysym_get_name(symbol, name, sizeof name) <= 0) return false;
  int i = 0;
  for (; name[i] != 0 && i + 1 < laenge; ++i) ziel[i] = static_cast<WCHAR>(name[i]);
  ziel[i] = 0;
  return true;
}

}  // namespace Plattform::Eingabe

using namespace Plattform::Eingabe;

UINT MapVirtualKeyExA(UINT code, UINT mode, HKL layout) {
  if (layout == nullptr) layout = GetKeyboardLayout(0);
  if (mode == MAPVK_VK_TO_VSC) {
    switch (code) {
      case 0xA0: return 0x2A;
      case 0xA1: return 0x36;
      case 0xA2: case 0xA3: return 0x1D;
      case 0xA4: case 0xA5: return 0x38;
      default: break;
    }
    for (unsigned e = 0; e < kEvdevTasten; ++e) {
      const Tastenbild& bild = TastenbildFuerEvdev(e);
      if (bild.praefix == RI_KEY_E1) continue;
      if (VirtuelleTaste(e, layout, false) == code || ZiffernblockMitNumLock(e) == code) return bild.make;
    }
    return 0;
  }
  if (mode != MAPVK_VSC_TO_VK && mode != MAPVK_VSC_TO_VK_EX) return 0;
  const int evdev = EvdevFuerScan(code);
  if (evdev < 0) return 0;
  const BYTE vk = VirtuelleTaste(static_cast<unsigned>(evdev), layout, false);
  if (mode == MAPVK_VSC_TO_VK) return vk;
  const bool e0 = (code & 0xFF00) == 0xE000;
  switch (vk) {
    case 0x10: return (code & 0xFF) == 0x36 ? 0xA1 : 0xA0;
    case 0x11: return e0 ? 0xA3 : 0xA2;
    case 0x12: return e0 ? 0xA5 : 0xA4;
    default: return vk;
  }
}

UINT MapVirtualKeyA(UINT code, UINT mode) { return MapVirtualKeyExA(code, mode, nullptr); }

HKL GetKeyboardLayout(DWORD) { return Aktuell(); }

BOOL GetKeyboardState(BYTE* state) {
  const Zustand& z = Zustaende();
  if (state == nullptr || z.fehler.tastaturZustand) return FALSE;
  // While the input system reads a held record: the state as it was when the key was hit.
  std::memcpy(state, z.gehaltenerSatzWirdGelesen ? z.tastenDesGelesenen : z.tasten, 256);
  return TRUE;
}

int ToUnicodeEx(UINT vk, UINT scan, const BYTE* state, WCHAR* buffer, int size, UINT, HKL layout) {
  if (layout == nullptr) layout = GetKeyboardLayout(0);
  if (layout == nullptr || vk == 0 || state == nullptr || buffer == nullptr || size < 1) return 0;
  const int evdev = EvdevFuerScan(scan);
  if (evdev < 0) return 0;
  StelleEin(layout, state);
  const xkb_keycode_t taste = static_cast<xkb_keycode_t>(evdev) + kXOffset;
  const xkb_keysym_t symbol = xkb_state_key_get_one_sym(layout->state, taste);
  if (const char16_t spacing = Abstandsform(symbol); spacing != 0) {
    buffer[0] = spacing;
    if (size < 2) return 1;
    buffer[1] = spacing;
    return 2;
  }
  const std::uint32_t z = xkb_state_key_get_utf32(layout->state, taste);
  if (z == 0 || z == 0x7F || (z >= 0xD800 && z < 0xE000) || z > 0x10FFFF) return 0;
  if (z < 0x10000) {
    buffer[0] = static_cast<WCHAR>(z);
    return 1;
  }
  if (size < 2) return 0;
  buffer[0] = static_cast<WCHAR>(0xD800 + ((z - 0x10000) >> 10));
  buffer[1] = static_cast<WCHAR>(0xDC00 + ((z - 0x10000) & 0x3FF));
  return 2;
}

int FoldStringW(DWORD flags, const WCHAR* source, int sourceLength, WCHAR* target, int targetLength) {
  if (source == nullptr || target == nullptr || (flags & MAP_PRECOMPOSED) == 0) return 0;
  if (sourceLength < 0) {
    sourceLength = 0;
    while (source[sourceLength] != 0) ++sourceLength;
    ++sourceLength;
  }
  int n = 0;
  for (int i = 0; i < sourceLength; ++i) {
    WCHAR z = source[i];
    if (i + 1 < sourceLength) {
      if (const WCHAR verbunden = Plattform::Eingabe::Zusammensetze(z, source[i + 1]); verbunden != 0) {
        z = verbunden;
        ++i;
      }
    }
    if (n >= targetLength) return 0;
    target[n++] = z;
  }
  return n;
}

int WideCharToMultiByte(UINT codePage, DWORD, const WCHAR* source, int sourceLength, char* target,
                        int targetLength, const char*, BOOL*) {
  if (codePage != CP_UTF8 || source == nullptr) return 0;
  const bool mitEnde = sourceLength < 0;
  if (mitEnde) {
    sourceLength = 0;
    while (source[sourceLength] != 0) ++sourceLength;
    ++sourceLength;
  }
  int n = 0;
  auto schreibe = [&](std::uint32_t byte) {
    if (target != nullptr && n < targetLength) target[n] = static_cast<char>(byte);
    ++n;
  };
  for (int i = 0; i < sourceLength; ++i) {
    std::uint32_t z = source[i];
    if (z >= 0xD800 && z < 0xDC00 && i + 1 < sourceLength && source[i + 1] >= 0xDC00 &&
        source[i + 1] < 0xE000) {
      z = 0x10000 + ((z - 0xD800) << 10) + (source[++i] - 0xDC00);
    } else if (z >= 0xD800 && z < 0xE000) {
      z = 0xFFFD;  // a lone surrogate
    }
    if (z < 0x80) {
      schreibe(z);
    } else if (z < 0x800) {
      schreibe(0xC0 | (z >> 6)), schreibe(0x80 | (z & 0x3F));
    } else if (z < 0x10000) {
      schreibe(0xE0 | (z >> 12)), schreibe(0x80 | ((z >> 6) & 0x3F)), schreibe(0x80 | (z & 0x3F));
    } else {
      schreibe(0xF0 | (z >> 18)), schreibe(0x80 | ((z >> 12) & 0x3F));
      schreibe(0x80 | ((z >> 6) & 0x3F)), schreibe(0x80 | (z & 0x3F));
    }
  }
  if (target != nullptr && n > targetLength) return 0;  // too small, as Windows answers
  return n;
}
