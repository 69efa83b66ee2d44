#pragma once
// The keyboard table: an evdev key code (X keycode - 8) as a set-1 make code with its
// E0/E1 prefix and its Windows virtual key. For the main block the evdev code is the
// make code itself.
#include "basis/WinTypen.h"

namespace Plattform::Eingabe {

struct Tastenbild {
  BYTE make = 0;
  BYTE praefix = 0;  // RI_KEY_E0 or RI_KEY_E1
  BYTE vk = 0;       // 0: not a key of the table. Keypad keys carry their Num Lock off form.
};

constexpr unsigned kEvdevTasten = 128;

const Tastenbild& TastenbildFuerEvdev(unsigned evdev);
// The evdev code of a make code with or without E0; -1 when none has it.
int EvdevFuerMake(unsigned make, bool e0);
// The keypad's virtual key with Num Lock on; 0 for other keys.
BYTE ZiffernblockMitNumLock(unsigned evdev);

}  // namespace Plattform::Eingabe
