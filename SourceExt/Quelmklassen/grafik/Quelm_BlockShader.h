#pragma once
// The shader set every block-graphics atlas shares: vertex layout, the plain and the
// normal-map program with their handles, the quad, premultiplied alpha and the sampler.
// The first atlas creates it, the last one releases it.
#include <cstdint>

class Quelm_AlphaZustand;
class Quelm_IndexBuffer;
class Quelm_PixelShader;
class Quelm_Programm;
class Quelm_Sampler;
class Quelm_VertexBuffer;
class Quelm_VertexEingabe;
class Quelm_VertexShader;

namespace Quelm_BlockShader {

struct Variante {
  Quelm_VertexShader* vertexShader = nullptr;
  Quelm_PixelShader* pixelShader = nullptr;
  Quelm_Programm* programm = nullptr;
  std::int32_t quellGroesse = 0;  // gQuellGroesse: 1 / atlas size
  std::int32_t zielGroesse = 0;   // gZielGroesse: 1 / target size
  std::int32_t textur = 0;        // sampler handle
};

struct Satz {
  Quelm_VertexEingabe* eingabe = nullptr;
  Variante varianten[2];  // plain, normal map
  Quelm_VertexBuffer* quad = nullptr;
  Quelm_IndexBuffer* indizes = nullptr;
  Quelm_AlphaZustand* alpha = nullptr;
  Quelm_Sampler* sampler = nullptr;
  std::uint64_t nutzer = 0;
};

// Counts one user, creating the set for the first; false (nothing counted) without a render context.
bool Nimm();
// Drops one user; the last one releases the set.
void Gib();
// The set, or null when there is none or its programs could not be built.
const Satz* Aktuell();

extern const char* const kVertexQuelle;
extern const char* const kPixelQuelle;  // the define NORMALKARTE gives the second variant

}  // namespace Quelm_BlockShader
