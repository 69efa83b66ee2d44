#pragma once
// Coloured 3D line segments collected during a frame and drawn in one go after the scene:
// the ground grid and the wire cubes around selected corners. The line program is shared
// by all lists.
#include "Matrix.h"
#include "Vektor.h"

#include <cstdint>
#include <vector>

class Quelm_VertexBuffer;
class Quelm_ZBuffer;

namespace Spiel {

class LinienListe {
 public:
  struct LinienVertex {
    float pos[3];
    float farbe[4];
  };
  static_assert(sizeof(LinienVertex) == 28);

  std::vector<LinienVertex> vertexe;
  std::uint64_t stapelGroesse;  // most vertices per draw
  Quelm_VertexBuffer* puffer = nullptr;

  // A dynamic buffer of `puffergroesse` bytes and a reference on the shared program, whose
  // first creation takes `tiefe` as the depth buffer of its target.
  LinienListe(std::uint64_t stapelGroesse, std::uint64_t puffergroesse, Quelm_ZBuffer* tiefe);
  ~LinienListe();
  LinienListe(const LinienListe&) = delete;
  LinienListe& operator=(const LinienListe&) = delete;

  static void ErzeugeProgramm(Quelm_ZBuffer* tiefe);
  static void GibProgrammFrei();

  void FuegeLinieHinzu(const Vektor3& von, const Vektor3& bis, const float (&farbe)[4]);
  // 21 lines from start + i * schritt to start + linie + i * schritt.
  void FuegeGitterHinzu(const Vektor3& start, const Vektor3& linie, const Vektor3& schritt, const float (&farbe)[4]);
  // The 12 edges of the axis-aligned box from ecke to ecke + groesse.
  void FuegeQuaderHinzu(const Vektor3& ecke, const Vektor3& groesse, const float (&farbe)[4]);
  // Draws with projektion * sicht and empties the list.
  void Zeichne(const Matrix& sicht, const Matrix& projektion);

  static const char* const kVertexQuelle;
  static const char* const kPixelQuelle;
};

}  // namespace Spiel
