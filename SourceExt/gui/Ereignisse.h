#pragma once
// Event records the surface routes from the focus up the parent chain.
#include "EigenschaftsBaum.h"

#include <cstdint>

namespace Gui {

class Basis;

struct BasisEreignis {
  std::int32_t art = 0;
  bool behandelt = false;

  explicit BasisEreignis(std::int32_t art) : art(art) {}
  virtual ~BasisEreignis() = default;
  virtual void Behandelt() { behandelt = true; }
};

struct TasteEreignis : BasisEreignis {
  std::uint64_t taste;
  std::uint32_t zustand;  // 1 pressed, 4 released
  bool doppelt;
  TasteEreignis(std::uint64_t taste, std::uint32_t zustand, bool doppelt)
      : BasisEreignis(0), taste(taste), zustand(zustand), doppelt(doppelt) {}
};

struct FokusEreignis : BasisEreignis {
  Basis* komponente;
  bool gewonnen;
  FokusEreignis(Basis* komponente, bool gewonnen) : BasisEreignis(2), komponente(komponente), gewonnen(gewonnen) {}
};

struct MausBewegungEreignis : BasisEreignis {
  BVektor3<float> position;
  BVektor3<float> bewegung;
  MausBewegungEreignis(const BVektor3<float>& position, const BVektor3<float>& bewegung)
      : BasisEreignis(3), position(position), bewegung(bewegung) {}
};

}  // namespace Gui
