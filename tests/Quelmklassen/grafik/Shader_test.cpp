// Shader objects from macro-language sources on the recording device: constant maps,
// program handles, the dump files of "debugShader", and the failure paths.
#include "Quelm_Ausnahme.h"
#include "Quelm_Konsole.h"
#include "RenderTestHilfen.h"

#include <cstdio>

// Readable failures.
std::ostream& operator<<(std::ostream& o, const Quelm_HighLevelShaderBasis::KonstantenInfo& i) {
  return o << "{" << i.register_ << ", " << int(i.anzahl) << ", " << int(i.spalten) << "x" << int(i.zeilen)
           << ", art " << int(i.art) << "}";
}

namespace {

std::string Text(const char* t) { return t ? t : ""; }

// Each test works in its own folder: with "debugShader" on, shaders are dumped there.
class Shader : public AufzeichnungsTest {
 protected:
  void SetUp() override {
    AufzeichnungsTest::SetUp();
    vorher = std::filesystem::current_path();
    std::filesystem::current_path(ordner.pfad());
    SetzeDebugShader(false);
  }
  void TearDown() override {
    std::filesystem::current_path(vorher);
    SetzeDebugShader(true);
    AufzeichnungsTest::TearDown();
  }
  static void SetzeDebugShader(bool an) { Quelm_KonsolenVariable::Finde("debugShader")->SetzeBool(an); }

  Quelm_VertexShader* Vs(const char* quelle) {
    vertexShader = kontext->ErzeugeVertexShader();
    EXPECT_TRUE(vertexShader->UebersetzeAusString(quelle)) << Text(vertexShader->GibUebersetzungsMeldungen());
    return vertexShader;
  }
  Quelm_PixelShader* Ps(const char* quelle) {
    pixelShader = kontext->ErzeugePixelShader();
    EXPECT_TRUE(pixelShader->UebersetzeAusString(quelle)) << Text(pixelShader->GibUebersetzungsMeldungen());
    return pixelShader;
  }

  std::filesystem::path vorher;
};

using Info = Quelm_HighLevelShaderBasis::KonstantenInfo;

constexpr const char* kVertex = R"(
$rein float4 vpos;
$rein float2 vuv;
$raus float4 fpos;
$raus float2 fuv;
struct Licht { float4 farbe; float4 richtung; };
float4 gLicht[3] : register(c10);
Licht gSonne;
Licht gLampen[2];
float4x4 gMatrix : register(c0);
float4 gGemeinsam;
DEF_SAMPLER_2D( gHoehe);
DEF_SAMPLER_2D( gBeide);
$main() {
  fpos = mul( gMatrix, vpos) + gLicht[0] + gLicht[2] + gSonne.farbe + gLampen[1].richtung + gGemeinsam;
  fpos += SAMPLE_2D_LOD( gHoehe, vuv, 0) + SAMPLE_2D_LOD( gBeide, vuv, 0);
  fuv = vuv;
}
)";

constexpr const char* kPixel = R"(
$rein float2 fuv;
$raus float4 erg;
float4 gNurPixel : register(c5);
float4 gGemeinsam;
DEF_SAMPLER_2D( gBild);
DEF_SAMPLER_2D( gBeide) : register(s3);
$main() {
  erg = SAMPLE_2D( gBild, fuv) * gNurPixel + gGemeinsam + SAMPLE_2D( gBeide, fuv);
}
)";

TEST_F(Shader, KonstantenkarteMitFeldernUndStrukturen) {
  Quelm_VertexShader* vs = Vs(kVertex);
  ASSERT_TRUE(vs->IstResident());
  const auto& k = vs->konstanten;
  const std::map<std::string, Info> erwartet = {
      {"gLicht", {10, 3, 4, 1, 4}},     {"gLicht[0]", {10, 1, 4, 1, 1}},  {"gLicht[1]", {11, 1, 4, 1, 1}},
      {"gLicht[2]", {12, 1, 4, 1, 1}},  {"gSonne.farbe", {k.at("gSonne").register_, 1, 4, 1, 1}},
      {"gSonne.richtung", {k.at("gSonne").register_ + 1, 1, 4, 1, 1}},
      // Members follow an element name directly.
      {"gLampen[1]richtung", {k.at("gLampen").register_ + 3, 1, 4, 1, 1}},
      {"gMatrix", {0, 4, 4, 4, 3}},
  };
  for (const auto& [name, info] : erwartet) {
    ASSERT_TRUE(k.count(name)) << name;
    EXPECT_EQ(k.at(name), info) << name;
  }
  EXPECT_EQ(k.at("gSonne").art, 4);
  EXPECT_EQ(k.at("gSonne").anzahl, 2);
  EXPECT_EQ(k.at("gLampen").art, 4);
  EXPECT_EQ(k.at("gHoehe").art, 5);
  EXPECT_FALSE(k.count("vpos"));
  EXPECT_TRUE(Texte().empty());
}

TEST_F(Shader, ProgrammGibtHandlesBeiderShader) {
  Vs(kVertex);
  Ps(kPixel);
  eingabe = kontext->ErzeugeVertexEingabe();
  eingabe->AddKanal(0, KANAL_FLOAT4, 0, false);
  eingabe->AddKanal(0, KANAL_FLOAT2, 16, false);
  eingabe->Beenden();
  programm = kontext->ErzeugeProgramm(eingabe, vertexShader, pixelShader);
  EXPECT_EQ(programm->geraetePixelShader, pixelShader->geraeteShader.get());

  const std::int32_t vsGemeinsam = vertexShader->konstanten.at("gGemeinsam").register_;
  const std::int32_t psGemeinsam = pixelShader->konstanten.at("gGemeinsam").register_;
  EXPECT_EQ(programm->FindeKonstante("gNurPixel"), 0x5FFF);
  EXPECT_EQ(programm->FindeKonstante("gLicht[2]"), (0xFFF << 12) | 12);
  EXPECT_EQ(programm->FindeKonstante("gGemeinsam"), (psGemeinsam << 12) | vsGemeinsam);
  EXPECT_EQ(programm->FindeKonstante("fehlt"), 0xFFFFFF);
  EXPECT_EQ(programm->FindeSampler("gBeide"), (static_cast<std::int32_t>(vertexShader->konstanten.at("gBeide").register_) << 8) | 3);
  EXPECT_EQ(programm->FindeSampler("gHoehe") & 0xFF, 0xFF);
  EXPECT_EQ(programm->FindeSampler("gBild") >> 8, 0xFF);
  EXPECT_EQ(programm->FindeSampler("fehlt"), 0xFFFF);

}

// Matrix and array inputs take their registers: the vertex inputs the device is told about
// follow the TEXCOORD numbers of the entry head, and the stages meet on arrays.
TEST_F(Shader, MatrixUndFeldEingaengeBelegenIhreRegister) {
  Vs("$rein float3 p;\n$rein float4x4 m;\n$rein float2 t;\n$rein float4 a[2];\n$raus float4 pos;\n"
     "$raus float2 uv;\n$raus float4 b[2];\n"
     "$main() { pos = mul( m, float4( p, 1)) + a[1]; uv = t; b[0] = a[0]; b[1] = a[1]; }\n");
  Ps("$rein float2 uv;\n$rein float4 b[2];\n$raus float4 erg;\n$main() { erg = b[0] + b[1] + uv.x; }\n");
  Plattform::ShaderBlob blob;
  ASSERT_TRUE(Plattform::LeseShaderBlob(vertexShader->code->GetBufferPointer(), blob));
  std::vector<std::uint32_t> texcoord;
  for (const auto& e : blob.eingaenge)
    if (e.usage == D3DDECLUSAGE_TEXCOORD) texcoord.push_back(e.usageIndex);
  EXPECT_EQ(texcoord, (std::vector<std::uint32_t>{0, 1, 2, 3, 4, 5, 6}));
}

TEST_F(Shader, DumpDateienMitGetrenntenZaehlern) {
  SetzeDebugShader(true);
  const int vs0 = Quelm_VertexShaderArt::dumpZaehler, ps0 = Quelm_PixelShaderArt::dumpZaehler;
  auto name = [](const char* muster, int n) {
    char puffer[32];
    std::snprintf(puffer, sizeof puffer, muster, n);
    return std::string(puffer);
  };
  Quelm_VertexShader* erster = Vs(kVertex);
  Ps(kPixel);
  Quelm_VertexShader* zweiter = kontext->ErzeugeVertexShader();
  ASSERT_TRUE(zweiter->UebersetzeAusString("$raus float4 p;\n$main() { p = 1; }\n"));

  EXPECT_EQ(Quelm_VertexShaderArt::dumpZaehler, vs0 + 2);
  EXPECT_EQ(Quelm_PixelShaderArt::dumpZaehler, ps0 + 1);
  const std::string dump = LeseDatei(name("vs%03d.txt", vs0));
  ASSERT_FALSE(dump.empty());
  EXPECT_EQ(dump.back(), '\0');  // the whole text, its zero byte included
  EXPECT_NE(dump.find("void main( float4 vpos : POSITION0"), std::string::npos);
  EXPECT_NE(LeseDatei(name("vs%03d.txt", vs0 + 1)).find("void main( out float4 p : POSITION0)"), std::string::npos);
  EXPECT_NE(LeseDatei(name("ps%03d.txt", ps0)).find("out float4 erg : COLOR0"), std::string::npos);
  // Compiled from the file: same constants as from memory.
  EXPECT_EQ(erster->konstanten.at("gLicht").register_, 10u);
}

TEST_F(Shader, NichtSchreibbarerDumpWirdAusDemSpeicherUebersetzt) {
  SetzeDebugShader(true);
  char name[32];
  std::snprintf(name, sizeof name, "ps%03d.txt", static_cast<int>(Quelm_PixelShaderArt::dumpZaehler));
  // A folder of the dump's name: the file cannot be written, and nothing stale may be compiled.
  std::filesystem::create_directory(name);
  Ps(kPixel);
  EXPECT_EQ(pixelShader->konstanten.at("gNurPixel").register_, 5u);
  EXPECT_TRUE(Geloggt(std::string("?Quelm_PixelShader::UebersetzeQuelltext(...): \"") + name +
                      "\" nicht schreibbar, übersetze aus dem Speicher."));
}

TEST_F(Shader, FehlschlaegeMitUndOhneStill) {
  const char* kaputt = "$raus float4 erg;\n$main() { erg = unbekannt; }\n";
  Quelm_PixelShader* ps = kontext->ErzeugePixelShader();
  EXPECT_FALSE(ps->UebersetzeAusString(kaputt, {}, true));
  EXPECT_TRUE(Texte().empty());
  ASSERT_NE(ps->GibUebersetzungsMeldungen(), nullptr);
  const std::string text = ps->GibUebersetzungsMeldungen();
  EXPECT_NE(text.find("unbekannt"), std::string::npos) << text;
  EXPECT_FALSE(ps->IstResident());

  EXPECT_FALSE(ps->UebersetzeAusString(kaputt));
  const auto t = Texte();
  ASSERT_GE(t.size(), 3u);
  EXPECT_EQ(t[0], "!Quelm_PixelShader::UebersetzeQuelltext(...): Übersetzung gescheitert. DirectX meinte:");
  EXPECT_EQ(t[1] + "\n", "?" + text);
  EXPECT_TRUE(FehlerGeloggt("PixelShader-Übersetzung gescheitert."));

  // Too many inputs: an exception, or with `still` set false and the reason as the message.
  Quelm_VertexShader* vs = kontext->ErzeugeVertexShader();
  std::string viele;
  for (int i = 0; i < 17; ++i) viele += "$rein float e" + std::to_string(i) + ";\n";
  EXPECT_THROW(vs->UebersetzeAusString(viele.c_str()), Quelm_Ausnahme);
  EXPECT_FALSE(vs->UebersetzeAusString(viele.c_str(), {}, true));
  EXPECT_NE(std::string(vs->GibUebersetzungsMeldungen()).find("mehr als 16"), std::string::npos);

  // The device refuses: its own messages.
  sammler->zeilen.clear();
  steuerung->SkriptiereErgebnis("CreateVertexShader", E_FAIL);
  EXPECT_FALSE(vs->UebersetzeAusString("$raus float4 p;\n$main() { p = 1; }\n"));
  EXPECT_TRUE(Geloggt("!Quelm_VertexShader::ErzeugeShader(...): Shader-Erzeugung gescheitert."));
  EXPECT_TRUE(FehlerGeloggt("VertexShader-Erzeugung gescheitert."));
}

}  // namespace
