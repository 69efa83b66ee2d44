#pragma once
// The loaded filter effects with the GPU objects all passes share (the full-screen quad
// and four samplers), and the active set of effects with the chain computed from it.
#include "Filter.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

class Quelm_IndexBuffer;
class Quelm_Renderziel;
class Quelm_Sampler;
class Quelm_Textur;
class Quelm_VertexBuffer;
class Quelm_VertexEingabe;

namespace Spiel {

class FilterSatz;

class FilterVerwaltung {
 public:
  // One image of the chain.
  struct Bild {
    // 0 render target of the chain, 1 the rendered frame ("ergebnis"), 2 a texture declared
    // by an effect, 3 the reference image ("hdr_ref").
    std::uint32_t art = 0;
    std::string name;
    std::uint64_t teiler = 1;
    Quelm_Textur* textur = nullptr;
    Quelm_Renderziel* ziel = nullptr;
    bool ohneTexturGemeldet = false;  // an input found it without a texture
  };
  struct ParameterWert {
    std::string name;
    std::array<float, 4> wert = {0, 0, 0, 1};
  };
  struct Schritt {
    const FilterEffekt* effekt = nullptr;
    const Filter* filter = nullptr;
    std::vector<std::uint64_t> eingaben;  // image indices, one per input of the pass
    std::vector<std::int64_t> parameter;  // value indices, -1 none, one per parameter of the effect
    std::int64_t ausgabe = -1;            // image index; -1 the final output
  };

  // The final output: null target = the back buffer. Its size is the reference size of
  // every chain image.
  struct Ausgabe {
    Quelm_Renderziel* ziel = nullptr;
    std::uint64_t x = 0, y = 0, breite = 0, hoehe = 0;
  };
  struct Ressourcen {
    Quelm_VertexBuffer* quadVertexe = nullptr;
    Quelm_IndexBuffer* quadIndizes = nullptr;
    Quelm_Sampler* sampler[4] = {};
    Quelm_Textur* referenzTextur = nullptr;
    Quelm_Renderziel* referenzZiel = nullptr;
  };

  std::filesystem::path ordner;
  std::vector<FilterEffekt> effekte;
  Quelm_VertexEingabe* quadEingabe = nullptr;
  Quelm_VertexBuffer* quadVertexe = nullptr;
  Quelm_IndexBuffer* quadIndizes = nullptr;
  // Index (address code non-zero) + 2 (filter code non-zero).
  Quelm_Sampler* sampler[4] = {};
  // Copies the rendered frame to the output when no pass runs.
  Quelm_VertexShader* kopieVertexShader = nullptr;
  Quelm_PixelShader* kopiePixelShader = nullptr;
  Quelm_Programm* kopieProgramm = nullptr;

  // Builds the quad and the samplers, then loads every "filter.*.xml" of the folder. A
  // folder that cannot be listed throws std::filesystem::filesystem_error.
  explicit FilterVerwaltung(const std::filesystem::path& ordner);
  ~FilterVerwaltung();
  FilterVerwaltung(const FilterVerwaltung&) = delete;
  FilterVerwaltung& operator=(const FilterVerwaltung&) = delete;

  // Loads one file and appends its effect, or reports and skips it.
  void InternLadeEffekt(const std::filesystem::path& pfad);
  // The first effect of that exact name, or null.
  const FilterEffekt* FindeEffekt(const std::string& name) const;

  Ressourcen GibRessourcen() const;

  // Rebuilds images, parameter values and steps of the set from its map.
  static void BerechneFilterkette(FilterSatz& satz);
  // Draws the set's steps from the rendered frame `bild` to the final output; with no
  // steps the frame is copied there.
  void ZeichneFilterkette(FilterSatz& satz, Quelm_Textur* bild, const Ausgabe& ausgabe,
                          const Ressourcen& ressourcen) const;

 private:
  void ErzeugeKopierProgramm();
  void LadeOrdner();
  void GibFrei();
};

// The active effects by sequence id, and the chain computed from them.
class FilterSatz {
 public:
  std::map<std::int32_t, const FilterEffekt*> effekte;  // not owned
  std::vector<FilterVerwaltung::Bild> bilder;           // owns the textures and targets of kinds 0 and 2
  std::vector<FilterVerwaltung::ParameterWert> parameterWerte;
  std::vector<FilterVerwaltung::Schritt> schritte;

  FilterSatz() = default;
  ~FilterSatz();
  FilterSatz(const FilterSatz&) = delete;
  FilterSatz& operator=(const FilterSatz&) = delete;

  // Puts the effect under the number, replacing (with a warning) what was there. A null
  // effect is refused with a message. The chain must be computed again afterwards.
  void AddFilter(const FilterEffekt* effekt, std::int32_t sequenzId);
  // Releases the textures and targets the set owns and empties the chain.
  void LeereKette();
};

}  // namespace Spiel
