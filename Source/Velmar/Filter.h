#pragma once
// Filter effects read from "filter.<name>.xml": an effect is an ordered list of passes,
// each drawing a full-screen quad with its own shaders from named input images into a named
// output image, plus declared textures and named parameters.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

class Quelm_AlphaZustand;
class Quelm_PixelShader;
class Quelm_Programm;
class Quelm_VertexShader;
class TiXmlElement;

namespace Spiel {

class FilterVerwaltung;

// One pass. Owns its shaders, program and blend state.
class Filter {
 public:
  struct Eingabe {
    std::string name;       // image name
    std::string sampler;    // shader sampler that receives the image
    std::string konstante;  // float4 shader constant that receives the size ratios
    std::uint32_t adresse = 21;  // 21 clamp, 0 wrap
    std::uint32_t filter = 0;    // 0 point, 21 linear
  };

  std::string name;
  std::vector<Eingabe> eingaben;
  std::string ausgabe = "ergebnis";
  std::uint64_t teiler = 1;
  Quelm_AlphaZustand* alpha = nullptr;  // null: no blending
  std::string vertexQuelle;
  std::string pixelQuelle;
  Quelm_VertexShader* vertexShader = nullptr;
  Quelm_PixelShader* pixelShader = nullptr;
  Quelm_Programm* programm = nullptr;

  // Builds the pass from its "filter" element, its program over the quad layout of
  // `verwaltung`. Throws Quelm_Ausnahme after logging why; nothing stays registered then.
  Filter(const std::string& name, const TiXmlElement& element, const FilterVerwaltung& verwaltung);
  ~Filter();
  Filter(Filter&& andere) noexcept;
  Filter(const Filter&) = delete;
  Filter& operator=(const Filter&) = delete;
  Filter& operator=(Filter&&) = delete;

 private:
  void Lade(const TiXmlElement& element, const FilterVerwaltung& verwaltung);
  void GibFrei();
};

class FilterEffekt {
 public:
  struct Textur {
    std::string name, beschreibung, standard;
  };
  struct Parameter {
    std::string name, beschreibung;
    std::string konstante;  // shader constant that receives the value
    std::array<float, 4> standard = {0, 0, 0, 1};
  };

  std::string name;
  std::string beschreibung;
  std::vector<Filter> filter;
  std::vector<Parameter> parameter;
  std::vector<Textur> texturen;

  // Fills this (empty) effect from the root element of its file. Passes, textures and
  // parameters that fail are reported and skipped.
  void LadeAus(const std::string& name, const TiXmlElement& wurzel, const FilterVerwaltung& verwaltung);
};

}  // namespace Spiel
