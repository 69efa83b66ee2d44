// Where the start-up time of a shader goes. A typical vertex and pixel pair of the scene
// (matrix, light, texture) is translated from the macro language and compiled:
//   Paar/Speicher     UebersetzeAusString with "debugShader" off (recording device)
//   Paar/Dump         the same through the dump files
//   Stufe/Makro       the translation alone (preprocessor run and entry head)
//   Stufe/Praeprozessor  the preprocessor alone on the same three pieces
//   Stufe/D3DX        D3DXCompileShader of the translated pair (all compiler stages)
//   Stufe/Glslang     HLSL -> SPIR-V alone
//   Stufe/SpirvCross  SPIR-V -> GLSL with reflection alone
#include <benchmark/benchmark.h>

#include <cstring>
#include <filesystem>
#include <memory>
#include <string>

#include "GlslErzeugung.h"
#include "HlslUebersetzung.h"
#include "PreProcess.h"
#include "Quelm_Konsole.h"
#include "Quelm_Screen3D.h"
#include "Quelm_Shader.h"
#include "Quelm_ZeichenKontext.h"
#include "SpirvSchnittstelle.h"
#include "TSpeicher.h"
#include "d3d9/D3D9Steuerung.h"

namespace {

namespace D3D9 = Plattform::D3D9;
namespace D3dx = Plattform::D3dx;

constexpr const char* kVertex = R"(
$rein float3 vpos;
$rein float3 vnormale;
$rein float2 vuv;
$raus float4 pos;
$raus float2 uv;
$raus float3 normale;
$raus float4 schattenPos;
float4x4 gWeltSicht;
float4x4 gSchattenMatrix;
float4 gVersatz;
$main() {
  float4 welt = float4( vpos + gVersatz.xyz, 1.0f);
  pos = mul( gWeltSicht, welt);
  schattenPos = mul( gSchattenMatrix, welt);
  normale = normalize( vnormale);
  uv = TEXKOORD( vuv) * gVersatz.w;
}
)";

constexpr const char* kPixel = R"(
$rein float2 uv;
$rein float3 normale;
$rein float4 schattenPos;
$raus float4 erg;
DEF_SAMPLER_2D( gBoden);
DEF_SAMPLER_2D( gSchatten);
float4 gLichtRichtung;
float4 gLichtFarbe;
float4 gUmgebung;
$main() {
  float3 s = schattenPos.xyz / schattenPos.w;
  float tiefe = SAMPLE_2D( gSchatten, TEXKOORD_RT( s.xy * 0.5f + 0.5f)).r;
  float licht = saturate( dot( normale, -gLichtRichtung.xyz)) * (s.z <= tiefe + 0.002f ? 1.0f : 0.3f);
  float4 farbe = SAMPLE_2D( gBoden, uv);
  erg = float4( farbe.rgb * (gUmgebung.rgb + licht * gLichtFarbe.rgb), farbe.a);
}
)";

// A render context on the recording device, in a folder of its own for the dump files.
struct Umgebung {
  Umgebung() {
    D3D9::InstalliereSteuerung(std::make_shared<D3D9::Steuerung>(), D3D9::Backend::Aufzeichnung);
    Quelm_Screen3D::modus = {1280, 720, 0, 0};
    kontext = std::make_unique<Quelm_ZeichenKontext>();
    Quelm_Screen3D::zeichenKontext = kontext.get();
    ordner = std::filesystem::temp_directory_path() / "velmar-shaderbench";
    std::filesystem::create_directories(ordner);
    std::filesystem::current_path(ordner);
  }
  ~Umgebung() {
    Quelm_Screen3D::zeichenKontext = nullptr;
    kontext.reset();
    D3D9::EntferneSteuerung();
    std::filesystem::remove_all(ordner);
  }
  std::unique_ptr<Quelm_ZeichenKontext> kontext;
  std::filesystem::path ordner;
};

Umgebung& Welt() {
  static Umgebung u;
  return u;
}

void Paar(benchmark::State& state, bool dump) {
  Quelm_ZeichenKontext& k = *Welt().kontext;
  Quelm_KonsolenVariable::Finde("debugShader")->SetzeBool(dump);
  for (auto _ : state) {
    Quelm_VertexShader* vs = k.ErzeugeVertexShader();
    Quelm_PixelShader* ps = k.ErzeugePixelShader();
    if (!vs->UebersetzeAusString(kVertex) || !ps->UebersetzeAusString(kPixel)) state.SkipWithError("compile");
    k.GibFrei(vs);
    k.GibFrei(ps);
  }
}
void Paar_Speicher(benchmark::State& state) { Paar(state, false); }
void Paar_Dump(benchmark::State& state) { Paar(state, true); }

void Stufe_Makro(benchmark::State& state) {
  for (auto _ : state) {
    benchmark::DoNotOptimize(Quelm_HighLevelShaderBasis::UebersetzeMakroSprache(kVertex, {}, false));
    benchmark::DoNotOptimize(Quelm_HighLevelShaderBasis::UebersetzeMakroSprache(kPixel, {}, true));
  }
}

void Stufe_Praeprozessor(benchmark::State& state) {
  for (auto _ : state) {
    for (const char* quelle : {kVertex, kPixel}) {
      TSpeicher aus;
      PraeprozessorEingabeStuecke stuecke{{{ShaderVorspann, ShaderVorspann + std::strlen(ShaderVorspann)},
                                           {quelle, quelle},
                                           {quelle, quelle + std::strlen(quelle)}},
                                          0,
                                          ShaderVorspann,
                                          &aus};
      const PreProcessTag tags[] = {PpTagText(PPTAG_INPUT_NAME, "Kavokavo"),
                                    PpTagFunktion(PPTAG_INPUT, &PraeprozessorEingabe),
                                    PpTagFunktion(PPTAG_OUTPUT, &PraeprozessorAusgabe),
                                    PpTagZeiger(PPTAG_USERDATA, &stuecke),
                                    PpTagWert(PPTAG_LINE_MARKERS, 0),
                                    PpTagWert(PPTAG_SHOW_BANNER, 0),
                                    PpTagWert(PPTAG_END, 0)};
      PreProcessState zustand;
      PreProcess(tags, &zustand);
      benchmark::DoNotOptimize(aus.groesse);
    }
  }
}

std::string Hlsl(const char* quelle, bool pixel) {
  TSpeicher t = Quelm_HighLevelShaderBasis::UebersetzeMakroSprache(quelle, {}, pixel);
  return std::string(reinterpret_cast<const char*>(t.daten), t.groesse - 1);
}

void Stufe_D3DX(benchmark::State& state) {
  const std::string vs = Hlsl(kVertex, false), ps = Hlsl(kPixel, true);
  for (auto _ : state) {
    for (const auto& [text, profil] : {std::pair{&vs, "vs_3_0"}, std::pair{&ps, "ps_3_0"}}) {
      ID3DXBuffer *code = nullptr, *meldungen = nullptr;
      ID3DXConstantTable* tabelle = nullptr;
      if (FAILED(D3DXCompileShader(text->c_str(), static_cast<UINT>(text->size()), nullptr, nullptr, "main", profil,
                                   0, &code, &meldungen, &tabelle)))
        state.SkipWithError("compile");
      for (IUnknown* o : std::initializer_list<IUnknown*>{code, meldungen, tabelle})
        if (o) o->Release();
    }
  }
}

D3dx::HlslErgebnis Glslang(const std::string& text, Plattform::ShaderStufe stufe) {
  D3dx::HlslAuftrag auftrag;
  auftrag.quelle = text;
  auftrag.stufe = stufe;
  return D3dx::UebersetzeHlsl(auftrag);
}

void Stufe_Glslang(benchmark::State& state) {
  const std::string vs = Hlsl(kVertex, false), ps = Hlsl(kPixel, true);
  for (auto _ : state) {
    benchmark::DoNotOptimize(Glslang(vs, Plattform::ShaderStufe::Vertex).ok);
    benchmark::DoNotOptimize(Glslang(ps, Plattform::ShaderStufe::Pixel).ok);
  }
}

void Stufe_SpirvCross(benchmark::State& state) {
  const auto stufen = {Plattform::ShaderStufe::Vertex, Plattform::ShaderStufe::Pixel};
  std::vector<D3dx::HlslErgebnis> module;
  for (auto stufe : stufen) {
    module.push_back(Glslang(Hlsl(stufe == Plattform::ShaderStufe::Vertex ? kVertex : kPixel,
                                  stufe == Plattform::ShaderStufe::Pixel),
                             stufe));
    D3dx::RichteSchnittstelleEin(module.back().spirv, stufe);
  }
  for (auto _ : state) {
    for (const auto& m : module) {
      D3dx::GlslErzeugung glsl;
      if (!glsl.Lade(m.spirv) || !glsl.Reflektiere(m)) state.SkipWithError("reflect");
      benchmark::DoNotOptimize(glsl.Erzeuge());
    }
  }
}

BENCHMARK(Paar_Speicher)->Unit(benchmark::kMillisecond);
BENCHMARK(Paar_Dump)->Unit(benchmark::kMillisecond);
BENCHMARK(Stufe_Makro)->Unit(benchmark::kMillisecond);
BENCHMARK(Stufe_Praeprozessor)->Unit(benchmark::kMillisecond);
BENCHMARK(Stufe_D3DX)->Unit(benchmark::kMillisecond);
BENCHMARK(Stufe_Glslang)->Unit(benchmark::kMillisecond);
BENCHMARK(Stufe_SpirvCross)->Unit(benchmark::kMillisecond);

}  // namespace
