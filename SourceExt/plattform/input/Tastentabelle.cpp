#include "Tastentabelle.h"

#include <array>

#include "RohEingabe.h"

namespace Plattform::Eingabe {
namespace {

struct Zeile {
  unsigned evdev;
  Tastenbild bild;
};

constexpr BYTE E0 = RI_KEY_E0;

// Letters and digits carry their US virtual key; the layout decides the real one.
constexpr Zeile kZeilen[] = {
    {1, {0x01, 0, 0x1B}},   {2, {0x02, 0, '1'}},    {3, {0x03, 0, '2'}},    {4, {0x04, 0, '3'}},
    {5, {0x05, 0, '4'}},    {6, {0x06, 0, '5'}},    {7, {0x07, 0, '6'}},    {8, {0x08, 0, '7'}},
    {9, {0x09, 0, '8'}},    {10, {0x0A, 0, '9'}},   {11, {0x0B, 0, '0'}},   {12, {0x0C, 0, 0xBD}},
    {13, {0x0D, 0, 0xBB}},  {14, {0x0E, 0, 0x08}},  {15, {0x0F, 0, 0x09}},  {16, {0x10, 0, 'Q'}},
    {17, {0x11, 0, 'W'}},   {18, {0x12, 0, 'E'}},   {19, {0x13, 0, 'R'}},   {20, {0x14, 0, 'T'}},
    {21, {0x15, 0, 'Y'}},   {22, {0x16, 0, 'U'}},   {23, {0x17, 0, 'I'}},   {24, {0x18, 0, 'O'}},
    {25, {0x19, 0, 'P'}},   {26, {0x1A, 0, 0xDB}},  {27, {0x1B, 0, 0xDD}},  {28, {0x1C, 0, 0x0D}},
    {29, {0x1D, 0, 0x11}},  {30, {0x1E, 0, 'A'}},   {31, {0x1F, 0, 'S'}},   {32, {0x20, 0, 'D'}},
    {33, {0x21, 0, 'F'}},   {34, {0x22, 0, 'G'}},   {35, {0x23, 0, 'H'}},   {36, {0x24, 0, 'J'}},
    {37, {0x25, 0, 'K'}},   {38, {0x26, 0, 'L'}},   {39, {0x27, 0, 0xBA}},  {40, {0x28, 0, 0xDE}},
    {41, {0x29, 0, 0xC0}},  {42, {0x2A, 0, 0x10}},  {43, {0x2B, 0, 0xDC}},  {44, {0x2C, 0, 'Z'}},
    {45, {0x2D, 0, 'X'}},   {46, {0x2E, 0, 'C'}},   {47, {0x2F, 0, 'V'}},   {48, {0x30, 0, 'B'}},
    {49, {0x31, 0, 'N'}},   {50, {0x32, 0, 'M'}},   {51, {0x33, 0, 0xBC}},  {52, {0x34, 0, 0xBE}},
    {53, {0x35, 0, 0xBF}},  {54, {0x36, 0, 0x10}},  {55, {0x37, 0, 0x6A}},  {56, {0x38, 0, 0x12}},
    {57, {0x39, 0, 0x20}},  {58, {0x3A, 0, 0x14}},  {59, {0x3B, 0, 0x70}},  {60, {0x3C, 0, 0x71}},
    {61, {0x3D, 0, 0x72}},  {62, {0x3E, 0, 0x73}},  {63, {0x3F, 0, 0x74}},  {64, {0x40, 0, 0x75}},
    {65, {0x41, 0, 0x76}},  {66, {0x42, 0, 0x77}},  {67, {0x43, 0, 0x78}},  {68, {0x44, 0, 0x79}},
    {69, {0x45, 0, 0x90}},  {70, {0x46, 0, 0x91}},
    // Keypad, in its Num Lock off form.
    {71, {0x47, 0, 0x24}},  {72, {0x48, 0, 0x26}},  {73, {0x49, 0, 0x21}},  {74, {0x4A, 0, 0x6D}},
    {75, {0x4B, 0, 0x25}},  {76, {0x4C, 0, 0x0C}},  {77, {0x4D, 0, 0x27}},  {78, {0x4E, 0, 0x6B}},
    {79, {0x4F, 0, 0x23}},  {80, {0x50, 0, 0x28}},  {81, {0x51, 0, 0x22}},  {82, {0x52, 0, 0x2D}},
    {83, {0x53, 0, 0x2E}},
    {86, {0x56, 0, 0xE2}},  {87, {0x57, 0, 0x7A}},  {88, {0x58, 0, 0x7B}},
    // Extended keys.
    {96, {0x1C, E0, 0x0D}}, {97, {0x1D, E0, 0x11}}, {98, {0x35, E0, 0x6F}}, {99, {0x37, E0, 0x2C}},
    {100, {0x38, E0, 0x12}}, {102, {0x47, E0, 0x24}}, {103, {0x48, E0, 0x26}},
    {104, {0x49, E0, 0x21}}, {105, {0x4B, E0, 0x25}}, {106, {0x4D, E0, 0x27}},
    {107, {0x4F, E0, 0x23}}, {108, {0x50, E0, 0x28}}, {109, {0x51, E0, 0x22}},
    {110, {0x52, E0, 0x2D}}, {111, {0x53, E0, 0x2E}},
    // Pause arrives as E1 1D 45.
    {119, {0x1D, RI_KEY_E1, 0x13}},
    {125, {0x5B, E0, 0x5B}}, {126, {0x5C, E0, 0x5C}}, {127, {0x5D, E0, 0x5D}},
};

constexpr std::array<Tastenbild, kEvdevTasten> Tabelle() {
  std::array<Tastenbild, kEvdevTasten> t{};
  for (const Zeile& z : kZeilen) t[z.evdev] = z.bild;
  return t;
}

constexpr std::array<Tastenbild, kEvdevTasten> kTabelle = Tabelle();

}  // namespace

const Tastenbild& TastenbildFuerEvdev(unsigned evdev) {
  static const Tastenbild leer{};
  return evdev < kEvdevTasten ? kTabelle[evdev] : leer;
}

int EvdevFuerMake(unsigned make, bool e0) {
  for (unsigned e = 0; e < kEvdevTasten; ++e) {
    const Tastenbild& b = kTabelle[e];
    if (b.vk != 0 && b.make == make && b.praefix == (e0 ? E0 : 0)) return static_cast<int>(e);
  }
  return -1;
}

BYTE ZiffernblockMitNumLock(unsigned evdev) {
  static constexpr BYTE kZiffern[] = {0x67, 0x68, 0x69, 0, 0x64, 0x65, 0x66,
                                      0,    0x61, 0x62, 0x63, 0x60, 0x6E};
  return evdev >= 71 && evdev <= 83 ? kZiffern[evdev - 71] : 0;
}

}  // namespace Plattform::Eingabe
