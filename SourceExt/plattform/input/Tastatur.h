#pragma once
// The Windows keyboard-layout services as the input library calls them, over xkbcommon:
// virtual keys and scan codes, the thread's layout and key state, characters with dead
// keys, composition and UTF-8 conversion. A layout is an xkb keymap: the X server's, or
// one built by name ("us", "de").
#include "RohEingabe.h"

using HKL = struct HKL__*;

constexpr UINT MAPVK_VK_TO_VSC = 0;
constexpr UINT MAPVK_VSC_TO_VK = 1;
constexpr UINT MAPVK_VK_TO_CHAR = 2;
constexpr UINT MAPVK_VSC_TO_VK_EX = 3;
constexpr DWORD MAP_PRECOMPOSED = 0x00000020;
constexpr UINT CP_UTF8 = 65001;

// A scan code may carry the E0 prefix as 0xE0nn.
UINT MapVirtualKeyA(UINT code, UINT mode);
UINT MapVirtualKeyExA(UINT code, UINT mode, HKL layout);
HKL GetKeyboardLayout(DWORD thread);
BOOL GetKeyboardState(BYTE* state);
// 1 or 2: units written; for a dead key 2, its spacing form twice; 0: no character.
int ToUnicodeEx(UINT vk, UINT scan, const BYTE* state, WCHAR* buffer, int size, UINT flags,
                HKL layout);
int FoldStringW(DWORD flags, const WCHAR* source, int sourceLength, WCHAR* target,
                int targetLength);
int WideCharToMultiByte(UINT codePage, DWORD flags, const WCHAR* source, int sourceLength,
                        char* target, int targetLength, const char* defaultChar, BOOL* usedDefault);

namespace Plattform::Eingabe {

// A layout built by name with xkb's evdev rules; null when xkb cannot build it. Each name
// is built once and lives as long as the process.
HKL BelegungNachName(const char* name);
// The thread's layout from now on; null goes back to the X server's (or "us" without one).
void SetzeBelegung(HKL layout);

// The virtual key a record carries for the key: letters as the layout places them, keypad
// keys by Num Lock.
BYTE VirtuelleTaste(unsigned evdev, HKL layout, bool numLock);
// The key's name in the layout, zero-terminated UTF-16; false when it has none.
bool Tastenname(unsigned evdev, WCHAR* ziel, int laenge);

}  // namespace Plattform::Eingabe
