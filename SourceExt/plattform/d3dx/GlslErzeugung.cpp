#include "GlslErzeugung.h"

#include <spirv_cross/spirv_cross_c.h>

#include <algorithm>
#include <set>

namespace Plattform::D3dx {

namespace {

void MerkeFehler(void* ziel, const char* text) {
  auto* fehler = static_cast<std::string*>(ziel);
  if (!fehler->empty()) *fehler += "; ";
  *fehler += text ? text : "";
}

std::vector<spvc_reflected_resource> Liste(spvc_resources res, spvc_resource_type art) {
  const spvc_reflected_resource* liste = nullptr;
  size_t anzahl = 0;
  if (spvc_resources_get_resource_list_for_type(res, art, &liste, &anzahl) != SPVC_SUCCESS)
    return {};
  return {liste, liste + anzahl};
}

}  // namespace

GlslErzeugung::GlslErzeugung() {
  if (spvc_context_create(&kontext_) == SPVC_SUCCESS)
    spvc_context_set_error_callback(kontext_, MerkeFehler, &fehler_);
}

GlslErzeugung::~GlslErzeugung() {
  if (kontext_) spvc_context_destroy(kontext_);
}

bool GlslErzeugung::Scheitere(std::string text) {
  fehler_ = std::move(text);
  return false;
}

bool GlslErzeugung::Lade(const std::vector<std::uint32_t>& spirv) {
  if (!kontext_) return Scheitere("error: SPIRV-Cross cannot start");
  spvc_parsed_ir ir = nullptr;
  if (spvc_context_parse_spirv(kontext_, spirv.data(), spirv.size(), &ir) != SPVC_SUCCESS ||
      spvc_context_create_compiler(kontext_, SPVC_BACKEND_GLSL, ir,
                                   SPVC_CAPTURE_MODE_TAKE_OWNERSHIP, &compiler_) != SPVC_SUCCESS)
    return Scheitere("error: SPIRV-Cross cannot read the module: " + fehler_);
  return true;
}

LayoutTyp GlslErzeugung::Typ(std::uint32_t typId, std::uint32_t strukturId, unsigned glied,
                             const HlslKonstante* hlsl) {
  LayoutTyp t;
  spvc_type h = spvc_compiler_get_type_handle(compiler_, typId);
  spvc_type struktur = spvc_compiler_get_type_handle(compiler_, strukturId);
  const unsigned dimensionen = spvc_type_get_num_array_dimensions(h);
  // SPIRV-Cross lists the innermost size first.
  for (unsigned d = dimensionen; d-- > 0;)
    t.feld.push_back(static_cast<std::uint32_t>(spvc_type_get_array_dimension(h, d)));
  if (dimensionen) {
    unsigned schritt = 16;
    spvc_compiler_type_struct_member_array_stride(compiler_, struktur, glied, &schritt);
    t.feldSchritt = schritt;
  }
  const spvc_basetype basis = spvc_type_get_basetype(h);
  if (basis == SPVC_BASETYPE_STRUCT) {
    t.klasse = D3DXPC_STRUCT;
    t.grundtyp = D3DXPT_VOID;
    const spvc_type_id sid = spvc_type_get_base_type_id(h);
    spvc_type sh = spvc_compiler_get_type_handle(compiler_, sid);
    const unsigned n = spvc_type_get_num_member_types(sh);
    for (unsigned i = 0; i < n; ++i) {
      LayoutTyp::Glied g;
      const char* name = spvc_compiler_get_member_name(compiler_, sid, i);
      g.name = name ? name : "";
      unsigned offset = 0;
      spvc_compiler_type_struct_member_offset(compiler_, sh, i, &offset);
      g.offset = offset;
      const HlslKonstante* unter = hlsl && i < hlsl->glieder.size() ? &hlsl->glieder[i] : nullptr;
      g.typ = Typ(spvc_type_get_member_type(sh, i), sid, i, unter);
      t.glieder.push_back(std::move(g));
    }
    return t;
  }
  switch (basis) {
    case SPVC_BASETYPE_BOOLEAN:
      t.grundtyp = D3DXPT_BOOL;
      break;
    case SPVC_BASETYPE_INT32:
    case SPVC_BASETYPE_UINT32:
      t.grundtyp = D3DXPT_INT;
      break;
    default:
      t.grundtyp = D3DXPT_FLOAT;
      break;
  }
  // The block stores bool as an integer; the syntax tree knows better.
  if (hlsl && hlsl->grundtyp != D3DXPT_VOID) t.grundtyp = hlsl->grundtyp;
  const unsigned spalten = spvc_type_get_columns(h);
  const unsigned vektor = spvc_type_get_vector_size(h);
  if (spalten > 1) {
    // glslang keeps an HLSL row as a SPIR-V column; column_major packing shows as
    // the RowMajor decoration.
    const bool hlslSpaltenweise =
        spvc_compiler_has_member_decoration(compiler_, strukturId, glied, SpvDecorationRowMajor);
    t.klasse = hlslSpaltenweise ? D3DXPC_MATRIX_COLUMNS : D3DXPC_MATRIX_ROWS;
    t.zeilen = spalten;
    t.spalten = vektor;
    unsigned schritt = 16;
    spvc_compiler_type_struct_member_matrix_stride(compiler_, struktur, glied, &schritt);
    t.matrixSchritt = schritt;
  } else {
    t.klasse = vektor == 1 ? D3DXPC_SCALAR : D3DXPC_VECTOR;
    t.zeilen = 1;
    t.spalten = vektor;
  }
  return t;
}

bool GlslErzeugung::Reflektiere(const HlslErgebnis& hlsl) {
  spvc_resources alle = nullptr, aktive = nullptr;
  spvc_set aktiv = nullptr;
  if (spvc_compiler_create_shader_resources(compiler_, &alle) != SPVC_SUCCESS ||
      spvc_compiler_get_active_interface_variables(compiler_, &aktiv) != SPVC_SUCCESS ||
      spvc_compiler_create_shader_resources_for_active_variables(compiler_, &aktive, aktiv) !=
          SPVC_SUCCESS)
    return Scheitere("error: SPIRV-Cross cannot reflect the module: " + fehler_);

  static const std::pair<spvc_resource_type, const char*> kFremd[] = {
      {SPVC_RESOURCE_TYPE_STORAGE_BUFFER, "structured buffer"},
      {SPVC_RESOURCE_TYPE_STORAGE_IMAGE, "read-write texture"},
      {SPVC_RESOURCE_TYPE_SEPARATE_IMAGE, "texture object"},
      {SPVC_RESOURCE_TYPE_SEPARATE_SAMPLERS, "sampler state object"},
      {SPVC_RESOURCE_TYPE_PUSH_CONSTANT, "push constant"},
  };
  for (const auto& [art, name] : kFremd) {
    auto liste = Liste(alle, art);
    if (!liste.empty())
      return Scheitere(std::string("error: '") + (liste[0].name ? liste[0].name : "") + "': " +
                       name + " is not available in this profile");
  }

  auto puffer = Liste(alle, SPVC_RESOURCE_TYPE_UNIFORM_BUFFER);
  for (const auto& p : puffer) {
    const char* typName = spvc_compiler_get_name(compiler_, p.base_type_id);
    if (puffer.size() > 1 || !typName || std::string(typName) != "$Global")
      return Scheitere(std::string("error: '") + (typName ? typName : "") +
                       "': constant buffers are not available in this profile");
    blockVariable_ = p.id;
    blockTyp_ = p.base_type_id;
    spvc_type bt = spvc_compiler_get_type_handle(compiler_, p.base_type_id);
    size_t groesse = 0;
    spvc_compiler_get_declared_struct_size(compiler_, bt, &groesse);
    blockBytes_ = static_cast<std::uint32_t>(groesse);
    std::set<unsigned> benutzt;
    const spvc_buffer_range* bereiche = nullptr;
    size_t anzahl = 0;
    if (spvc_compiler_get_active_buffer_ranges(compiler_, p.id, &bereiche, &anzahl) == SPVC_SUCCESS)
      for (size_t i = 0; i < anzahl; ++i) benutzt.insert(bereiche[i].index);
    const unsigned n = spvc_type_get_num_member_types(bt);
    for (unsigned i = 0; i < n; ++i) {
      BlockKonstante k;
      const char* name = spvc_compiler_get_member_name(compiler_, p.base_type_id, i);
      k.name = name ? name : "";
      unsigned offset = 0;
      spvc_compiler_type_struct_member_offset(compiler_, bt, i, &offset);
      k.offset = offset;
      const HlslKonstante* fakt = nullptr;
      if (i < hlsl.konstanten.size() && hlsl.konstanten[i].name == k.name) fakt = &hlsl.konstanten[i];
      k.typ = Typ(spvc_type_get_member_type(bt, i), p.base_type_id, i, fakt);
      k.explizitesRegister = fakt ? fakt->explizitesRegister : -1;
      k.benutzt = benutzt.count(i) != 0;
      block_.push_back(std::move(k));
    }
  }

  std::set<std::uint32_t> aktiveSampler;
  for (const auto& s : Liste(aktive, SPVC_RESOURCE_TYPE_SAMPLED_IMAGE)) aktiveSampler.insert(s.id);
  // Stages are handed out in declaration order; the module lists by first use.
  auto samplerListe = Liste(alle, SPVC_RESOURCE_TYPE_SAMPLED_IMAGE);
  auto rang = [&](const spvc_reflected_resource& r) {
    const auto& reihe = hlsl.samplerReihenfolge;
    return std::find(reihe.begin(), reihe.end(), r.name ? r.name : "") - reihe.begin();
  };
  std::stable_sort(samplerListe.begin(), samplerListe.end(),
                   [&](const auto& a, const auto& b) { return rang(a) < rang(b); });
  for (const auto& s : samplerListe) {
    SamplerKonstante k;
    k.name = s.name ? s.name : "";
    spvc_type h = spvc_compiler_get_type_handle(compiler_, s.type_id);
    for (unsigned d = 0; d < spvc_type_get_num_array_dimensions(h); ++d)
      k.elemente *= static_cast<std::uint32_t>(spvc_type_get_array_dimension(h, d));
    switch (spvc_type_get_image_dimension(h)) {
      case SpvDim1D:
        k.typ = D3DXPT_SAMPLER1D;
        break;
      case SpvDim3D:
        k.typ = D3DXPT_SAMPLER3D;
        break;
      case SpvDimCube:
        k.typ = D3DXPT_SAMPLERCUBE;
        break;
      default:
        k.typ = D3DXPT_SAMPLER2D;
        break;
    }
    if (auto it = hlsl.samplerRegister.find(k.name); it != hlsl.samplerRegister.end())
      k.explizitesRegister = it->second;
    k.benutzt = aktiveSampler.count(s.id) != 0;
    sampler_.push_back(std::move(k));
    samplerVariablen_.push_back(s.id);
  }
  return true;
}

void GlslErzeugung::SetzeBindungen(ShaderStufe stufe, std::uint32_t blockBindung,
                                   const std::vector<std::uint32_t>& einheiten) {
  const bool vertex = stufe == ShaderStufe::Vertex;
  if (blockVariable_) {
    spvc_compiler_set_decoration(compiler_, blockVariable_, SpvDecorationBinding, blockBindung);
    spvc_compiler_set_name(compiler_, blockTyp_, vertex ? "VertexKonstanten" : "PixelKonstanten");
  }
  for (std::size_t i = 0; i < samplerVariablen_.size(); ++i) {
    if (i < einheiten.size() && einheiten[i] != 0xFFFFFFFFu)
      spvc_compiler_set_decoration(compiler_, samplerVariablen_[i], SpvDecorationBinding,
                                   einheiten[i]);
    spvc_compiler_set_name(compiler_, samplerVariablen_[i],
                           ((vertex ? "vs_" : "ps_") + sampler_[i].name).c_str());
  }
}

std::optional<std::string> GlslErzeugung::Erzeuge() {
  spvc_compiler_options optionen = nullptr;
  if (spvc_compiler_create_compiler_options(compiler_, &optionen) != SPVC_SUCCESS) {
    Scheitere("error: SPIRV-Cross options: " + fehler_);
    return std::nullopt;
  }
  spvc_compiler_options_set_uint(optionen, SPVC_COMPILER_OPTION_GLSL_VERSION, 450);
  spvc_compiler_options_set_bool(optionen, SPVC_COMPILER_OPTION_GLSL_ES, SPVC_FALSE);
  spvc_compiler_options_set_bool(optionen, SPVC_COMPILER_OPTION_GLSL_VULKAN_SEMANTICS, SPVC_FALSE);
  // Redeclares gl_PerVertex, so the shaders also work as separable programs.
  spvc_compiler_options_set_bool(optionen, SPVC_COMPILER_OPTION_GLSL_SEPARATE_SHADER_OBJECTS,
                                 SPVC_TRUE);
  spvc_compiler_install_compiler_options(compiler_, optionen);
  const char* text = nullptr;
  if (spvc_compiler_compile(compiler_, &text) != SPVC_SUCCESS || !text) {
    Scheitere("error: GLSL generation failed: " + fehler_);
    return std::nullopt;
  }
  return std::string(text);
}

}  // namespace Plattform::D3dx
