#pragma once
// The raw-input keyboard: key codes in the DirectInput scan-code space, characters from
// the current layout with dead keys composed here, and the 256-key state of this frame
// and the one before.
#include <array>
#include <string>

#include "DirectInput.h"
#include "Device.h"

class WinInput;

class WinKeyboard : public DRENO::Keyboard {
 public:
  WinKeyboard(WinInput* system, std::uint64_t id, HANDLE handle, IDirectInputDevice8A* systemKeyboard);

  std::uint64_t GetNumButtons() const override { return 256; }
  std::string GetButtonText(std::uint64_t key) const override { return GetKeyText(key); }
  bool IsButtonDown(std::uint64_t key) const override;
  bool WasButtonPressed(std::uint64_t key) const override;
  bool WasButtonReleased(std::uint64_t key) const override;

  // The keyboard part of a record; the input system has found it at 24 bytes into the
  // record, or 32 for buffered records of a WOW64 process.
  void HandleRawInput(const RAWKEYBOARD& record);
  void SetKeyState(std::int32_t key, std::uint64_t character, bool down);
  // On focus loss every held key goes up with its event and reads as released.
  void ReleaseAllKeys(bool focus);
  // The key's name in UTF-8; empty when it has none.
  std::string GetKeyText(std::uint64_t key) const;
  // The character the key code types now, with the pending dead key applied.
  std::uint64_t TranslateKey(std::int32_t key);
  void StartFrame() { previousKeys = keys; }

  HANDLE handle;
  IDirectInputDevice8A* systemKeyboard;  // owned by the input system
  std::array<std::uint64_t, 4> keys{};
  std::array<std::uint64_t, 4> previousKeys{};
  std::uint16_t pendingDeadKey = 0;  // a combining character waiting for its letter

 private:
  static bool Bit(const std::array<std::uint64_t, 4>& set, std::uint64_t key) {
    return key < 256 && ((set[key / 64] >> (key % 64)) & 1u) != 0;
  }
  // The character of the key with this scan code (0xE0nn for extended keys).
  std::uint64_t Translate(unsigned scan);
  WinKeyboard* Target();
};
