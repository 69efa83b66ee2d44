#pragma once
// Draws one frame of the edited scene: a shadow pass from a fixed light direction into a
// 2048 x 2048 shadow image, a lit pass from the camera into a screen-sized scene image, and
// the filter chain from the scene image onto the back buffer.
#include "FilterVerwaltung.h"
#include "Matrix.h"
#include "Vektor.h"

#include <cstdint>
#include <string>

class Quelm_Renderziel;
class Quelm_Sampler;
class Quelm_Textur;
class Quelm_TiefeZustand;
class Quelm_ZBuffer;

namespace Spiel {

class Szene;

class SzenenRenderer {
 public:
  // Built first: it loads the effect files.
  FilterVerwaltung filterVerwaltung;

  Quelm_VertexEingabe* eingabe = nullptr;  // the 48-byte scene vertex
  Quelm_VertexShader* startVertexShader = nullptr;
  Quelm_VertexShader* schattenVertexShader = nullptr;
  Quelm_PixelShader* startPixelShader = nullptr;
  Quelm_PixelShader* schattenPixelShader = nullptr;
  Quelm_Programm* start = nullptr;     // lit pass
  Quelm_Programm* schatten = nullptr;  // shadow pass
  Quelm_ZBuffer* tiefe = nullptr;      // shared by both targets; made by the first frame
  Quelm_Textur* weiss = nullptr;
  Quelm_Textur* schattenBild = nullptr;
  Quelm_Renderziel* schattenZiel = nullptr;
  Quelm_Sampler* farbSampler = nullptr;
  Quelm_Sampler* schattenSampler = nullptr;
  Quelm_TiefeZustand* tiefeZustand = nullptr;
  Matrix lichtMatrix;
  Vektor3 lichtRichtung;
  Quelm_Textur* szenenBild = nullptr;
  Quelm_Renderziel* szenenZiel = nullptr;

  static constexpr std::uint64_t kSchattenKante = 2048;

  // Loads effects and programs from the program folder's "Daten". Throws Quelm_Ausnahme when
  // a shader file cannot be read or translated; nothing stays registered then.
  SzenenRenderer();
  ~SzenenRenderer();
  SzenenRenderer(const SzenenRenderer&) = delete;
  SzenenRenderer& operator=(const SzenenRenderer&) = delete;

  // flags: bit 0 the edited mesh, bit 1 the landscape chunks.
  void Zeichne(const Szene& szene, const Vektor3& kameraZiel, float abstand, float neigung, FilterSatz& filterSatz,
               std::uint32_t flags);
  void ZeichneDurchgang(const Szene& szene, bool schattenDurchgang, const Matrix& sicht, const Matrix& projektion,
                        std::uint32_t flags);

  // Light-space matrix of a frame; `richtung` receives the light's direction in the world.
  static Matrix LichtMatrix(const Vektor3& kameraZiel, float abstand, Vektor3& richtung);
  // View and projection of the lit pass for a w x h screen.
  static Matrix KameraSicht(const Vektor3& kameraZiel, float abstand, float neigung);
  static Matrix KameraProjektion(float breite, float hoehe);

 private:
  void LadeProgramm(const std::string& name, Quelm_VertexShader*& vs, Quelm_PixelShader*& ps, Quelm_Programm*& p);
  void Baue();
  void GibFrei();
  void PasseGroesseAn(std::uint64_t breite, std::uint64_t hoehe);
};

}  // namespace Spiel
