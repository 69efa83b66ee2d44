#pragma once
// The layout of vertex data in up to four streams, turned into a device vertex declaration.
// Programs take their stream count, per-instance streams and strides from it.
#include "Quelm_BasisObjekt.h"
#include "Quelm_ComZeiger.h"

#include <cstdint>

enum Quelm_KanalTyp : std::int32_t {
  KANAL_FLOAT1 = 0,
  KANAL_FLOAT2 = 1,
  KANAL_FLOAT3 = 2,
  KANAL_FLOAT4 = 3,
  KANAL_UBYTE4 = 4,
  KANAL_UBYTE4N = 5,
  KANAL_SHORT2N = 6,
  KANAL_SHORT4N = 7,
  KANAL_SHORT2 = 8,
  KANAL_SHORT4 = 9,
  KANAL_FLOAT3X3 = 10,
  KANAL_FLOAT4X3 = 11,
  KANAL_FLOAT4X4 = 12,
  KANAL_ANZAHL = 13
};

class Quelm_VertexEingabe : public Quelm_BasisObjekt {
 public:
  static constexpr int kMaxKanaele = 16;
  static constexpr int kMaxStroeme = 4;

  struct Kanal {
    std::uint64_t pufferIndex = 0;
    Quelm_KanalTyp typ = KANAL_FLOAT1;
    std::uint64_t offset = 0;
    bool instanz = false;
  };

  std::uint64_t stromAnzahl = 0;  // highest buffer index used + 1
  std::uint64_t benutzteStroeme = 0;
  std::uint64_t instanzStroeme = 0;
  std::uint16_t strides[kMaxStroeme] = {};
  Kanal kanaele[kMaxKanaele];
  std::uint64_t kanalAnzahl = 0;
  D3DVERTEXELEMENT9 elemente[kMaxKanaele + 1] = {};
  std::uint64_t elementAnzahl = 0;  // without the end marker
  Quelm_GeraeteZeiger<IDirect3DVertexDeclaration9> deklaration;

  Quelm_VertexEingabe() = default;

  // Adds one channel of buffer `index` (0 to 3) at byte `offset`.
  void AddKanal(std::uint64_t index, Quelm_KanalTyp typ, std::uint64_t offset, bool instanz);
  // Finishes the layout and creates the device declaration.
  void Beenden();

  bool BelegtVideoRAM() override { return false; }
  void Freigeben() override {}
  void Wiederherstellen() override {}
  void Auslagern() override {}

  // Byte size of a channel type, 0 for an unknown one.
  static std::uint64_t TypGroesse(Quelm_KanalTyp typ);
};
