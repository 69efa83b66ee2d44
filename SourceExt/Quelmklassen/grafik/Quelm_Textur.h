#pragma once
// 2D and cube textures. Both keep main-memory copies of the levels they were given, from
// which they are rebuilt after eviction or a device reset, and accept contents as pixel
// regions in any engine format, converting on upload.
#include "Quelm_BasisObjekt.h"
#include "Quelm_ComZeiger.h"
#include "TBereich.h"

#include <array>
#include <cstdint>
#include <memory>

class Quelm_Bild;

// Initial contents of one texture or one cube face: level i in entry i. With `uebergabe`
// 1 the texture takes the level buffers (allocated with new std::uint8_t[]): it adopts or
// frees them and clears the entries.
struct Quelm_TexturVorgabe {
  static constexpr int kMaxStufen = 16;

  TBereich stufen[kMaxStufen];
  std::uint32_t uebergabe = 0;

  // Present when entry 0 has data, width, height and pitch.
  bool IstVorhanden() const;
  // Frees the buffers of all entries and clears them.
  void GibFrei();

  // Refers to the image's levels (handover 0): the image keeps its memory.
  static Quelm_TexturVorgabe AusBild(Quelm_Bild& bild);
  // Takes over the image's level buffers (handover 1); the image's levels are left empty.
  static Quelm_TexturVorgabe UebernimmBild(Quelm_Bild& bild);
};

// A region written into a texture; with `uebergabe` 1 the texture frees its memory afterwards.
struct Quelm_TexturBereich : TBereich {
  std::uint32_t uebergabe = 0;
};

// Main-memory copies of one texture or cube face, level i in entry i.
using Quelm_StufenKopien = std::array<std::unique_ptr<std::uint8_t[]>, Quelm_TexturVorgabe::kMaxStufen>;

// The construction, creation and upload steps both texture kinds share.
template <class T>
struct Quelm_TexturWerk;

namespace Quelm {
// Engine pixel format -> device format (A8R8G8B8 for an invalid one, reported).
D3DFORMAT GetD3DPixelFormat(std::int32_t format);
// Engine cube face (0 +Y, 1 -Y, 2 +X, 3 -X, 4 +Z, 5 -Z) -> device face (+X for an invalid one, reported).
D3DCUBEMAP_FACES GetD3DSeite(std::uint32_t seite);
}  // namespace Quelm

class Quelm_Textur : public Quelm_BasisObjekt {
 public:
  std::uint64_t breite = 0, hoehe = 0;
  std::uint64_t mipStufen = 0;
  std::int32_t format = 0;
  Quelm_StufenKopien kopien;  // none with FLAG_FLUECHTIG
  Quelm_GeraeteZeiger<IDirect3DTexture9> geraeteTextur;
  D3DFORMAT geraeteFormat = D3DFMT_A8R8G8B8;

  // Width or height 0: from the Vorgabe's level 0. Mip levels 0: the full chain.
  // `formatUndFlags`: pixel format in the low byte, resource flags above it.
  Quelm_Textur(std::uint64_t breite, std::uint64_t hoehe, std::uint64_t mipStufen, std::uint64_t formatUndFlags,
               Quelm_TexturVorgabe& vorgabe);

  // Writes a region into level 0 at (x, y) (meant for dynamic textures).
  void SchreibeTeilInhalt(std::uint64_t x, std::uint64_t y, Quelm_TexturBereich& bereich);
  // Uploads a region into one level of the device texture.
  void InternSchreibeInhalt(std::uint64_t stufe, std::uint64_t x, std::uint64_t y, const TBereich& quelle);

  std::uint64_t StufenBreite(std::uint64_t stufe) const;
  std::uint64_t StufenHoehe(std::uint64_t stufe) const;
  // The main-memory copy of a level as a region (empty when there is none).
  TBereich KopieBereich(std::uint64_t stufe) const;

  void Benutzen() override;
  bool BelegtVideoRAM() override { return true; }
  void Freigeben() override;
  void Wiederherstellen() override {}
  void Auslagern() override { Freigeben(); }

 private:
  friend struct Quelm_TexturWerk<Quelm_Textur>;
  std::uint64_t kopienAnzahl_ = 0;
};

class Quelm_WuerfelTextur : public Quelm_BasisObjekt {
 public:
  std::uint64_t kante = 0;
  std::uint64_t mipStufen = 0;
  std::int32_t format = 0;
  Quelm_StufenKopien kopien[6];  // per engine face
  Quelm_GeraeteZeiger<IDirect3DCubeTexture9> geraeteTextur;
  D3DFORMAT geraeteFormat = D3DFMT_A8R8G8B8;

  // Six Vorgaben in engine face order. Edge 0: face 0's level 0 width.
  Quelm_WuerfelTextur(std::uint64_t kante, std::uint64_t mipStufen, std::uint64_t formatUndFlags,
                      Quelm_TexturVorgabe (&vorgaben)[6]);

  void InternSchreibeInhalt(std::uint32_t seite, std::uint64_t stufe, const TBereich& quelle);

  std::uint64_t StufenKante(std::uint64_t stufe) const;
  TBereich KopieBereich(std::uint32_t seite, std::uint64_t stufe) const;

  void Benutzen() override;
  bool BelegtVideoRAM() override { return true; }
  void Freigeben() override;
  void Wiederherstellen() override {}
  void Auslagern() override { Freigeben(); }

 private:
  friend struct Quelm_TexturWerk<Quelm_WuerfelTextur>;
  std::uint64_t kopienAnzahl_ = 0;
};
