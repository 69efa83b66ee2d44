#pragma once
// Free-rectangle packer of the block-graphics atlas: places rectangles at the lowest free
// corner that leaves them inside the area and off every used rectangle. Nothing is ever
// removed; growing the atlas starts a new packer.
#include <cstdint>
#include <vector>

class TSpeicher;

struct TRechteck {
  std::uint64_t x = 0, y = 0, w = 0, h = 0;
  bool operator==(const TRechteck&) const = default;
};

class TRechteckPacker {
 public:
  std::uint64_t breite = 0, hoehe = 0;
  std::vector<TRechteck> belegt;  // in placement order
  std::vector<TRechteck> frei;    // order decides ties

  // New area, both lists emptied; `plaetze` rectangles reserved in each.
  void Init(std::uint64_t breite, std::uint64_t hoehe, std::uint64_t plaetze = 0);
  void Leeren();

  bool Einfuegen(std::uint64_t w, std::uint64_t h, std::uint64_t& x, std::uint64_t& y);
  // Cuts the placed rectangle `p` out of the free list.
  void FreiAufteilen(const TRechteck& p);
  // Merges `r` into the first free rectangle it shares a whole edge with, else appends it.
  void FreiHinzufuegen(const TRechteck& r);

  // Reads the packer state at the buffer's position ("PLTZ" segment or the older bare free
  // list); false (lists empty) when it is cut short or malformed. The area is the caller's.
  bool Laden(TSpeicher& speicher);
  // Writes the state as a "PLTZ" segment.
  void Speichern(TSpeicher& speicher) const;

  static bool Ueberlappen(const TRechteck& a, const TRechteck& b) {
    return a.x < b.x + b.w && b.x < a.x + a.w && a.y < b.y + b.h && b.y < a.y + a.h;
  }
};
