#pragma once
// 2D sprites: an atlas texture holding rectangular graphics under small integer ids, and a
// batcher that draws screen-space quads of them with one instanced draw per batch. The
// atlas grows by powers of two and re-packs its graphics when one does not fit.
#include "TRechteckPacker.h"

#include <cstdint>
#include <vector>

class Quelm_AlphaZustand;
class Quelm_Bild;
class Quelm_Textur;
class Quelm_VertexBuffer;
class TSpeicher;

// One atlas entry: pixel rectangle and the same as fractions of the atlas at packing time.
struct Quelm_BlockGrafik {
  std::uint32_t x = 0, y = 0, w = 0, h = 0;
  float u = 0, v = 0, du = 0, dv = 0;
};

// The per-instance vertex stream.
struct Quelm_BlockInstanz {
  float zielPos[3] = {0, 0, 0};  // pixels from the target's top-left corner, depth
  float groesse[2] = {0, 0};     // on screen; negative mirrors
  float grafik[4] = {0, 0, 0, 0};  // atlas pixel rectangle
  float farbe[4] = {0, 0, 0, 1};
  float param[2] = {0, 0};  // rotation in radians, pivot (0.5 centre, 0 top-left)
};
static_assert(sizeof(Quelm_BlockInstanz) == 60);

class Quelm_BlockGfx3D {
 public:
  static constexpr std::uint64_t kFlagNormalKarte = 1;  // second shader variant
  static constexpr std::uint64_t kFlagRenderziel = 2;   // atlas texture is a render target
  // The most instances a file may ask for: far above any batch the users draw, far below
  // what would exhaust memory (60 bytes each, in main memory and in the device buffer).
  static constexpr std::uint64_t kMaxInstanzen = 65536;

  std::uint64_t flags = 0;
  Quelm_Textur* textur = nullptr;
  std::uint64_t breite = 0, hoehe = 0;  // atlas size; 0 while it has none
  TRechteckPacker packer;
  std::vector<Quelm_BlockGrafik> eintraege;  // capacity in ids, a multiple of 64
  std::vector<std::uint64_t> vorhanden;      // presence bits of the entries
  std::uint8_t pivotMitte = 0;
  std::uint8_t atlasGeaendert = 0;
  Quelm_VertexBuffer* instanzPuffer = nullptr;
  std::vector<Quelm_BlockInstanz> instanzen;
  Quelm_AlphaZustand* alphaZustand = nullptr;  // not owned; null = shared premultiplied alpha

  Quelm_BlockGfx3D(std::uint64_t atlasGroesse, std::uint64_t maxInstanzen, std::uint64_t flags);
  ~Quelm_BlockGfx3D();
  Quelm_BlockGfx3D(const Quelm_BlockGfx3D&) = delete;
  Quelm_BlockGfx3D& operator=(const Quelm_BlockGfx3D&) = delete;

  // Packs and uploads the rectangle (x, y, w, h) of an A8R8G8B8 image under `id`.
  bool AddGrafik(std::uint64_t id, const Quelm_Bild* quelle, std::uint64_t x, std::uint64_t y, std::uint64_t w,
                 std::uint64_t h);
  bool HatGrafik(std::uint64_t id) const {
    return id < eintraege.size() && (vorhanden[id / 64] >> (id % 64) & 1);
  }
  // Queues one instance; w or h exactly 0 takes the graphic's own size.
  void ZeichneGrafik(std::uint64_t id, float x, float y, const float (&farbe)[4], float w, float h, float winkel);
  Quelm_BlockInstanz& NeueInstanz();

  void Zeichne();
  void BereiteZeichnenVor();
  void ZeichneInstanzen();

  void SetzeMaxInstanzen(std::uint64_t n);
  void ErzeugeTextur(std::uint64_t groesse);
  // Makes the atlas texture resident and its mip chain current.
  void AktualisiereMipStufen();

  // Reads an "FX3D" block at the buffer's position; false leaves the atlas as it was.
  bool Laden(TSpeicher& speicher);
  // Writes the atlas as an "FX3D" block (needs the level-0 copy of a dynamic atlas).
  bool Speichern(TSpeicher& speicher) const;

  void ErzeugeShader();
  void GibShaderFrei();

  // The largest atlas edge: the device's limit, at most 16384.
  static std::uint64_t MaxGroesse();

 private:
  void SetzeEintragKapazitaet(std::uint64_t plaetze);
  void SetzeVorhanden(std::uint64_t id, bool an);
  bool hatShaderAnteil_ = false;
};
