#include "WinKeyboard.h"

#include "Tastatur.h"
#include "WinInput.h"

namespace {

// The combining form of a dead key's spacing character.
std::uint16_t Combining(WCHAR spacing) {
  switch (spacing) {
    case 0x5E: return 0x0302;
    case 0x60: return 0x0300;
    case 0xA8: return 0x0308;
    case 0xB4: return 0x0301;
    case 0xB8: return 0x0327;
    default: return spacing;
  }
}

// Key codes for the keys whose virtual key decides them (extended twins and the keypad).
std::int32_t CodeForVirtualKey(UINT vk, bool e0) {
  switch (vk) {
    case 0x0C: return 0x4C;
    case 0x0D: return e0 ? 0x9C : 0x1C;
    case 0x11: return e0 ? 0x9D : 0x1D;
    case 0x12: return e0 ? 0xB8 : 0x38;
    case 0x21: return e0 ? 0xC9 : 0x49;
    case 0x22: return e0 ? 0xD1 : 0x51;
    case 0x23: return e0 ? 0xCF : 0x4F;
    case 0x24: return e0 ? 0xC7 : 0x47;
    case 0x25: return e0 ? 0xCB : 0x4B;
    case 0x26: return e0 ? 0xC8 : 0x48;
    case 0x27: return e0 ? 0xCD : 0x4D;
    case 0x28: return e0 ? 0xD0 : 0x50;
    case 0x2D: return e0 ? 0xD2 : 0x52;
    case 0x2E: return e0 ? 0xD3 : 0xB3;  // Delete without E0 is the keypad's decimal key
    default: return -1;
  }
}

}  // namespace

WinKeyboard::WinKeyboard(WinInput* system, std::uint64_t id, HANDLE handle, IDirectInputDevice8A* systemKeyboard)
    : Keyboard(system, id), handle(handle), systemKeyboard(systemKeyboard) {}

bool WinKeyboard::IsButtonDown(std::uint64_t key) const { return Bit(keys, key); }
bool WinKeyboard::WasButtonPressed(std::uint64_t key) const { return Bit(keys, key) && !Bit(previousKeys, key); }
bool WinKeyboard::WasButtonReleased(std::uint64_t key) const {
  return key < 256 && !Bit(keys, key) && Bit(previousKeys, key);
}

WinKeyboard* WinKeyboard::Target() {
  if (system->GetSeparateDevices()) return this;
  auto* first = dynamic_cast<WinKeyboard*>(system->GetKeyboardByIndex(0));
  return first != nullptr ? first : this;
}

void WinKeyboard::HandleRawInput(const RAWKEYBOARD& record) {
  if (record.VKey == 0xFF) return;
  const bool down = (record.Flags & RI_KEY_BREAK) == 0;
  const bool e0 = (record.Flags & RI_KEY_E0) != 0;
  UINT vk = record.VKey;
  std::int32_t code = record.MakeCode;
  if (vk == 0x10) {
    vk = MapVirtualKeyA(record.MakeCode, MAPVK_VSC_TO_VK_EX);
    code = vk == 0xA1 ? 0x36 : 0x2A;
  } else if (vk == 0x90) {
    code = static_cast<std::int32_t>(MapVirtualKeyA(0x90, MAPVK_VK_TO_VSC));
  }
  if (record.Flags & RI_KEY_E1) {
    code = vk == 0x13 ? 0xC5 : static_cast<std::int32_t>(MapVirtualKeyA(vk, MAPVK_VK_TO_VSC));
  }
  if (const std::int32_t byVirtualKey = CodeForVirtualKey(vk, e0); byVirtualKey >= 0) code = byVirtualKey;

  // Keys held when the program starts report themselves now: that is not input.
  if (firstFrame) return;
  system->SwapKeyboardsOnActivity(this);
  // The character comes from the key the record names, E0 included, so that extended
  // twins (the keypad's slash) type their own character while sharing the key code.
  const unsigned scan = record.MakeCode | (e0 ? 0xE000u : 0u);
  SetKeyState(code, Translate(scan), down);
}

std::uint64_t WinKeyboard::TranslateKey(std::int32_t key) {
  return key < 0 || key > 255 ? 0 : Translate(static_cast<unsigned>(key));
}

std::uint64_t WinKeyboard::Translate(unsigned scan) {
  HKL layout = GetKeyboardLayout(0);
  BYTE state[256];
  if (!GetKeyboardState(state)) return 0;
  const UINT vk = MapVirtualKeyExA(scan, MAPVK_VSC_TO_VK_EX, layout);
  if (vk == 0) return 0;
  WCHAR buffer[3] = {};
  const int answer = ToUnicodeEx(vk, scan, state, buffer, 3, 0, layout);
  if (answer == 1) {
    std::uint64_t character = buffer[0];
    if (pendingDeadKey != 0) {
      const WCHAR pair[3] = {buffer[0], pendingDeadKey, 0};
      WCHAR folded[3] = {};
      character = FoldStringW(MAP_PRECOMPOSED, pair, 3, folded, 3) > 0 ? folded[0] : 0;
    }
    pendingDeadKey = 0;
    return character;
  }
  if (answer == 2) pendingDeadKey = Combining(buffer[0]);
  return 0;
}

void WinKeyboard::SetKeyState(std::int32_t key, std::uint64_t character, bool down) {
  WinKeyboard* target = Target();
  if (key < 0 || key > 255) return;
  const auto k = static_cast<std::uint64_t>(key);
  if (Bit(target->keys, k) == down) return;  // the platform's own typematic repeats
  const std::uint64_t bit = std::uint64_t{1} << (k % 64);
  if (down) {
    target->keys[k / 64] |= bit;
    system->ArmKeyRepeat(target, key, character);
  } else {
    target->keys[k / 64] &= ~bit;
    system->DisarmKeyRepeat(key);
  }
  system->SendKeyEvent(target, key, character, down);
}

void WinKeyboard::ReleaseAllKeys(bool focus) {
  if (focus) return;
  for (std::int32_t key = 0; key < 256; ++key) {
    const auto k = static_cast<std::uint64_t>(key);
    if (!Bit(keys, k)) continue;
    SetKeyState(key, 0, false);
    previousKeys[k / 64] |= std::uint64_t{1} << (k % 64);
  }
}

std::string WinKeyboard::GetKeyText(std::uint64_t key) const {
  if (systemKeyboard == nullptr || key > 255) return {};
  DIPROPSTRING name{};
  name.diph = {sizeof(DIPROPSTRING), sizeof(DIPROPHEADER), static_cast<DWORD>(key), DIPH_BYOFFSET};
  if (FAILED(systemKeyboard->GetProperty(DIPROP_KEYNAME, &name.diph))) return {};
  char text[256];
  if (WideCharToMultiByte(CP_UTF8, 0, name.wsz, -1, text, sizeof text, nullptr, nullptr) == 0) return {};
  return text;
}
