#pragma once
// Sampler, blend and depth settings: immutable resources built once from a plain
// description, with the device values computed at construction. They hold no video memory.
#include "Quelm_BasisObjekt.h"

#include <cstdint>

struct Quelm_SamplerBeschr {
  // Bits 0-1 minification, 2-3 magnification, 4-5 mip filter (0 point, else linear);
  // bit 6 anisotropic (minification anisotropic, magnification and mip linear).
  std::uint64_t filter = 0;
  // Bits 0-1 U, 2-3 V, 4-5 W: 0 wrap, 1 clamp, 2 border.
  std::uint64_t adresse = 0;
  std::uint32_t maxAnisotropie = 0;
  float rahmenfarbe[4] = {0, 0, 0, 0};  // r, g, b, a
  float maxMipStufe = 0;
};

class Quelm_Sampler : public Quelm_BasisObjekt {
 public:
  Quelm_SamplerBeschr beschr;
  D3DTEXTUREADDRESS adresseU, adresseV, adresseW;
  bool rahmen;      // an axis uses the border colour
  bool anisotrop;
  D3DTEXTUREFILTERTYPE minFilter, magFilter, mipFilter;
  D3DCOLOR rahmenfarbe;
  DWORD maxMipStufe;
  DWORD maxAnisotropie;

  explicit Quelm_Sampler(const Quelm_SamplerBeschr& beschr);

  bool BelegtVideoRAM() override { return false; }
  void Freigeben() override {}
  void Wiederherstellen() override {}
  void Auslagern() override {}
};

struct Quelm_AlphaZustandBeschr {
  // One entry per render-target slot; only entry 0 is applied.
  struct Ziel {
    bool aktiv = false;
    std::uint32_t farbOperation = 0;  // 0 add, 1 subtract, 2 reverse subtract, 3 min, 4 max
    std::uint32_t farbQuelle = 1;     // factor codes: 0 zero, 1 one, 2 src alpha, 3 src colour,
    std::uint32_t farbZiel = 0;       // 4 inv src alpha, 5 inv src colour, 6 dest alpha,
    std::uint32_t alphaOperation = 0; // 7 dest colour, 8 inv dest alpha, 9 inv dest colour
    std::uint32_t alphaQuelle = 1;
    std::uint32_t alphaZiel = 0;
    std::uint64_t schreibMaske = 15;  // red, green, blue, alpha in bits 0 to 3
  };

  bool flag = false;
  Ziel ziele[8];

  Quelm_AlphaZustandBeschr() = default;
  // Blending on for slot 0 with operation add and the same factors for colour and alpha.
  Quelm_AlphaZustandBeschr(std::uint32_t quelle, std::uint32_t ziel);
};

class Quelm_AlphaZustand : public Quelm_BasisObjekt {
 public:
  Quelm_AlphaZustandBeschr beschr;
  DWORD blendAn;
  D3DBLENDOP operation;
  D3DBLEND quelle, ziel;
  DWORD separatesAlpha;
  D3DBLENDOP alphaOperation;
  D3DBLEND alphaQuelle, alphaZiel;
  DWORD schreibMaske;

  explicit Quelm_AlphaZustand(const Quelm_AlphaZustandBeschr& beschr);

  bool BelegtVideoRAM() override { return false; }
  void Freigeben() override {}
  void Wiederherstellen() override {}
  void Auslagern() override {}

  static D3DBLEND Faktor(std::uint32_t code);
  static D3DBLENDOP Operation(std::uint32_t code);
};

struct Quelm_TiefeZustandBeschr {
  bool test = false;
  bool schreiben = false;
  // 0 never, 1 less, 2 less or equal, 3 equal, 4 greater, 5 greater or equal, 6 not equal,
  // anything else always.
  std::uint32_t vergleich = 2;
};

class Quelm_TiefeZustand : public Quelm_BasisObjekt {
 public:
  Quelm_TiefeZustandBeschr beschr;
  DWORD zTest;
  DWORD zSchreiben;
  D3DCMPFUNC zFunktion;

  explicit Quelm_TiefeZustand(const Quelm_TiefeZustandBeschr& beschr);

  bool BelegtVideoRAM() override { return false; }
  void Freigeben() override {}
  void Wiederherstellen() override {}
  void Auslagern() override {}

  static D3DCMPFUNC Vergleich(std::uint32_t code);
};
