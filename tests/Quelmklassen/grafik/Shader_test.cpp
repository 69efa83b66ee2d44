// Shaders from macro-language sources: the translation into HLSL with its entry head,
// preprocessor messages and includes; on the recording device the constant maps, program
// handles, the dump files of "debugShader", and the failure paths.
#include "Quelm_Ausnahme.h"
#include "Quelm_Konsole.h"
#include "Quelm_System.h"
#include "RenderTestHilfen.h"
#include "TSpeicher.h"

#include <algorithm>
#include <cstdio>
#include <regex>

// Readable failures.
std::ostream& operator<<(std::ostream& o, const Quelm_HighLevelShaderBasis::KonstantenInfo& i) {
  return o << "{" << i.register_ << ", " << int(i.anzahl) << ", " << int(i.spalten) << "x" << int(i.zeilen)
           << ", art " << int(i.art) << "}";
}

namespace {

std::string Hlsl(const std::string& quelle, bool pixel, const Quelm_ShaderDefines& defines = {}) {
  TSpeicher t = Quelm_HighLevelShaderBasis::UebersetzeMakroSprache(quelle.c_str(), defines, pixel);
  EXPECT_GT(t.groesse, 0u);
  if (t.groesse == 0) return {};
  EXPECT_EQ(t.daten[t.groesse - 1], 0);
  return std::string(reinterpret_cast<const char*>(t.daten), t.groesse - 1);
}

std::string Kopf(const std::string& hlsl) {
  std::smatch treffer;
  return std::regex_search(hlsl, treffer, std::regex("void main\\( [^)]*\\)")) ? treffer.str() : "(kein Kopf)";
}

constexpr const char* kVertexBeispiel =
    "$rein float3 vpos;\n$rein float4 vfarbe;\n\n$raus float4 fpos;\n$raus float4 ffarbe;\n\nfloat4x4 gMatrix;\n\n"
    "$main() {\n  fpos = mul( gMatrix, float4( vpos, 1.0f));\n  ffarbe = vfarbe;\n}\n";
constexpr const char* kPixelBeispiel = "$rein float4 ffarbe;\n$raus float4 erg;\n\n$main() {\n  erg = ffarbe;\n}\n";

TEST(ShaderMakro, EinstiegsKopfMitSemantikenUndRegisterzahlen) {
  const struct {
    std::string quelle;
    bool pixel;
    const char* kopf;
  } faelle[] = {
      {kVertexBeispiel, false,
       "void main( float3 vpos : POSITION0, float4 vfarbe : TEXCOORD0, out float4 fpos : POSITION0, "
       "out float4 ffarbe : TEXCOORD0)"},
      {kPixelBeispiel, true, "void main( float4 ffarbe : TEXCOORD0, out float4 erg : COLOR0)"},
      {"$rein float3 p;\n$rein float4x4 m;\n$rein float2 t;\n$main(){}", false,
       "void main( float3 p : POSITION0, float4x4 m : TEXCOORD0, float2 t : TEXCOORD4)"},
      {"$raus float4 a;\n$raus float4 b;\n$main(){}", true, "void main( out float4 a : COLOR0, out float4 b : COLOR1)"},
      {"$main(){}", true, "void main( )"},
      // Inputs and outputs count float3x4 and float4x3 differently; arrays up to four count
      // their elements, longer ones one register.
      {"$rein float3x4 a;\n$rein float4x3 b;\n$rein float2 c[2];\n$rein float4 d[8];\n$rein float e;\n"
       "$raus float4 p;\n$raus float3x4 q;\n$raus float4x3 r;\n$raus float4 s[3];\n$raus float t;\n$main(){}",
       false,
       "void main( float3x4 a : POSITION0, float4x3 b : TEXCOORD3, float2 c[2] : TEXCOORD4, "
       "float4 d[8] : TEXCOORD6, float e : TEXCOORD7, out float4 p : POSITION0, out float3x4 q : TEXCOORD0, "
       "out float4x3 r : TEXCOORD3, out float4 s[3] : TEXCOORD7, out float t : TEXCOORD10)"},
      {"$rein   float4\ttab ;\n$main(){}", true, "void main( float4 tab  : TEXCOORD0)"},
  };
  for (const auto& fall : faelle) EXPECT_EQ(Kopf(Hlsl(fall.quelle, fall.pixel)), fall.kopf) << fall.quelle;
}

TEST(ShaderMakro, DeklarationenFallenWegDerRestBleibt) {
  const std::string leer = Hlsl("", false);
  // The prelude's functions are there, its macros at work.
  EXPECT_NE(leer.find("float4 MachV4( float x) { return float4( x, x, x, x); }"), std::string::npos);
  EXPECT_NE(Hlsl("DEF_SAMPLER_2D( gBild);", true).find("sampler2D gBild;"), std::string::npos);

  // Line ends of the declarations stay; matrix and body are untouched.
  EXPECT_EQ(Hlsl(kVertexBeispiel, false),
            leer + "\n\n\n\nfloat4x4 gMatrix;\n" + Kopf(Hlsl(kVertexBeispiel, false)) +
                " {\nfpos = mul( gMatrix, float4( vpos, 1.0f));\nffarbe = vfarbe;\n}\n");
  // Without any '$' the preprocessed text passes unchanged.
  const std::string ohne = "float4 gFarbe;\nfloat4 main() : COLOR0 { return gFarbe; }\n";
  EXPECT_EQ(Hlsl(ohne, true), leer + ohne);
  // A '$' that starts no construct is dropped alone.
  EXPECT_EQ(Hlsl("$main () {}\nfloat $x;\n", true), leer + "main () {}\nfloat x;\n");
}

TEST(ShaderMakro, DefinesStehenVorDerQuelle) {
  EXPECT_EQ(Hlsl("float a = WERT; float b = ZWEI;\n", false, {{"WERT", "3.5"}, {"ZWEI", "WERT * 2"}}),
            Hlsl("", false) + "float a = 3.5; float b = 3.5 * 2;\n");
}

TEST(ShaderMakro, MehrAlsSechzehnDeklarationenWerdenAbgelehnt) {
  std::string rein, raus;
  for (int i = 0; i < 16; ++i) {
    rein += "$rein float e" + std::to_string(i) + ";\n";
    raus += "$raus float a" + std::to_string(i) + ";\n";
  }
  EXPECT_NE(Kopf(Hlsl(rein + raus + "$main(){}", true)).find("out float a15 : COLOR15)"), std::string::npos);
  for (const std::string& zuViel : {rein + "$rein float x;\n", raus + "$raus float x;\n"}) {
    try {
      Hlsl(zuViel, false);
      ADD_FAILURE() << zuViel;
    } catch (const Quelm_Ausnahme& a) {
      EXPECT_NE(a.text.find("mehr als 16"), std::string::npos) << a.text;
    }
  }
}

// A declaration is a type and a name, and the entry head is followed by its body: the compiler
// would crash on a parameter without a name or with a second semantic, or on a bare head.
TEST(ShaderMakro, DeklarationOhneNamenUndKopfOhneRumpfWerdenAbgelehnt) {
  const std::pair<const char*, const char*> zeilen[] = {
      {"$raus float;$main(){}", "ohne Namen"},       {"$rein float4 ;$main(){}", "ohne Namen"},
      {"$raus float2 [2];$main(){}", "ohne Namen"},  {"$main(){$raus float", "ohne Namen"},
      {"$rein ;$main(){}", "ohne Namen"},            {"$raus float: u;$main(){}", "mit Semantik"},
      {"float4 v;$main()v", "kein Funktionsrumpf"},  {"$main()", "kein Funktionsrumpf"},
  };
  for (const auto& [quelle, meldung] : zeilen) {
    try {
      Hlsl(quelle, false);
      ADD_FAILURE() << quelle;
    } catch (const Quelm_Ausnahme& a) {
      EXPECT_NE(a.text.find(meldung), std::string::npos) << a.text;
    }
  }
  const std::string kopf = Kopf(Hlsl("$rein float2 uv [2];\n$raus float4x4\tm;\n$main(){}", false));
  EXPECT_NE(kopf.find("float2 uv [2] : POSITION0, out float4x4 m : POSITION0"), std::string::npos) << kopf;
}

class ShaderMakroProtokoll : public ProtokollTest {};

TEST_F(ShaderMakroProtokoll, MeldungenInsProtokollEinbindungenAusDemProgrammordner) {
  const auto alt = gSystem.programmVerzeichnis;
  gSystem.programmVerzeichnis = ordner.pfad();
  std::filesystem::create_directories(ordner.pfad() / "Daten");
  SchreibeDatei(ordner.pfad() / "Daten" / "licht.h", "float4 gLicht;\n");
  const std::string hlsl = Hlsl("#include \"Daten/licht.h\"\n#include \"fehlt.h\"\n#error halt\n", false);
  gSystem.programmVerzeichnis = alt;

  EXPECT_NE(hlsl.find("float4 gLicht;"), std::string::npos);
  EXPECT_TRUE(Gemeldet("Cannot open include file \"fehlt.h\""));
  EXPECT_TRUE(Gemeldet("cpp: \"Kavokavo\", line 3: Error: "));
  EXPECT_TRUE(Gemeldet("#error directive encountered"));
}

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
float4x4 gKnochen[3] : register(c20);
float4 gGemeinsam;
float4 gRand : register(c255);
DEF_SAMPLER_2D( gHoehe);
DEF_SAMPLER_2D( gBeide);
DEF_SAMPLER_2D( gLetzte) : register(s3);
$main() {
  fpos = mul( gMatrix, vpos) + gLicht[0] + gLicht[2] + gSonne.farbe + gLampen[1].richtung + gGemeinsam + gRand;
  fpos += SAMPLE_2D_LOD( gHoehe, vuv, 0) + SAMPLE_2D_LOD( gBeide, vuv, 0) + SAMPLE_2D_LOD( gLetzte, vuv, 0);
  fpos += mul( gKnochen[1], vpos) + mul( gKnochen[2], vpos);
  fuv = vuv;
}
)";

constexpr const char* kPixel = R"(
$rein float2 fuv;
$raus float4 erg;
float4 gNurPixel : register(c5);
float4 gGemeinsam;
float4 gRand : register(c223);
DEF_SAMPLER_2D( gBild);
DEF_SAMPLER_2D( gBeide) : register(s3);
DEF_SAMPLER_2D( gLetzte) : register(s15);
$main() {
  erg = SAMPLE_2D( gBild, fuv) * gNurPixel + gGemeinsam + SAMPLE_2D( gBeide, fuv) + gRand + SAMPLE_2D( gLetzte, fuv);
}
)";

TEST_F(Shader, KonstantenkarteMitFeldernUndStrukturenUndDieHandlesDesProgramms) {
  const auto& k = Vs(kVertex)->konstanten;
  const std::map<std::string, Info> erwartet = {
      {"gLicht", {10, 3, 4, 1, 4}},     {"gLicht[0]", {10, 1, 4, 1, 1}},  {"gLicht[1]", {11, 1, 4, 1, 1}},
      {"gLicht[2]", {12, 1, 4, 1, 1}},  {"gSonne.farbe", {k.at("gSonne").register_, 1, 4, 1, 1}},
      {"gSonne.richtung", {k.at("gSonne").register_ + 1, 1, 4, 1, 1}},
      // Members follow an element name directly.
      {"gLampen[1]richtung", {k.at("gLampen").register_ + 3, 1, 4, 1, 1}},
      {"gMatrix", {0, 4, 4, 4, 3}},
      // Elements of a multi-register type each start at their own register.
      {"gKnochen", {20, 12, 4, 4, 4}},  {"gKnochen[1]", {24, 4, 4, 4, 3}}, {"gKnochen[2]", {28, 4, 4, 4, 3}},
      {"gLampen[0]farbe", {k.at("gLampen").register_, 1, 4, 1, 1}},
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

  Ps(kPixel);
  eingabe = kontext->ErzeugeVertexEingabe();
  eingabe->AddKanal(0, KANAL_FLOAT4, 0, false);
  eingabe->AddKanal(0, KANAL_FLOAT2, 16, false);
  eingabe->Beenden();
  programm = kontext->ErzeugeProgramm(eingabe, vertexShader, pixelShader);

  const std::int32_t vsGemeinsam = k.at("gGemeinsam").register_;
  const std::int32_t psGemeinsam = pixelShader->konstanten.at("gGemeinsam").register_;
  EXPECT_EQ(programm->FindeKonstante("gNurPixel"), 0x5FFF);
  EXPECT_EQ(programm->FindeKonstante("gLicht[2]"), (0xFFF << 12) | 12);
  EXPECT_EQ(programm->FindeKonstante("gGemeinsam"), (psGemeinsam << 12) | vsGemeinsam);
  EXPECT_EQ(programm->FindeKonstante("fehlt"), 0xFFFFFF);
  // The last register and stage of each profile.
  EXPECT_EQ(programm->FindeKonstante("gRand"), (223 << 12) | 255);
  EXPECT_EQ(programm->FindeSampler("gLetzte"), (3 << 8) | 15);
  EXPECT_EQ(programm->FindeSampler("gBeide"), (static_cast<std::int32_t>(k.at("gBeide").register_) << 8) | 3);
  EXPECT_EQ(programm->FindeSampler("gHoehe") & 0xFF, 0xFF);
  EXPECT_EQ(programm->FindeSampler("gBild") >> 8, 0xFF);
  EXPECT_EQ(programm->FindeSampler("fehlt"), 0xFFFF);
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
  EXPECT_EQ(erster->konstanten.at("gLicht").register_, 10u);
  // The text compiled is this process's, not the file read back (another process may have
  // written the same name in the meantime); here the dump goes nowhere.
  std::filesystem::create_symlink("/dev/null", name("vs%03d.txt", vs0 + 2));
  const Quelm_VertexShader* dritter = Vs(kVertex);
  EXPECT_EQ(Quelm_VertexShaderArt::dumpZaehler, vs0 + 3);
  ASSERT_TRUE(dritter->konstanten.count("gLicht"));
  EXPECT_EQ(dritter->konstanten.at("gLicht").register_, 10u);

  // A folder of the next dump's name: the file cannot be written, and nothing stale may be compiled.
  std::filesystem::create_directory(name("ps%03d.txt", ps0 + 1));
  Ps(kPixel);
  EXPECT_EQ(pixelShader->konstanten.at("gNurPixel").register_, 5u);
  EXPECT_TRUE(Geloggt("?Quelm_PixelShader::UebersetzeQuelltext(...): \"" + name("ps%03d.txt", ps0 + 1) +
                      "\" nicht schreibbar, übersetze aus dem Speicher."));

  // The compiler's messages name the dump, with the line of the fault in it.
  Quelm_PixelShader* kaputt = kontext->ErzeugePixelShader();
  EXPECT_FALSE(kaputt->UebersetzeAusString("$raus float4 erg;\n$main() {\n erg = unbekannt; }\n", {}, true));
  const std::string psDump = LeseDatei(name("ps%03d.txt", ps0 + 2));
  const auto zeile = std::count(psDump.begin(), psDump.begin() + psDump.find("unbekannt"), '\n') + 1;
  const std::string meldung = Text(kaputt->GibUebersetzungsMeldungen());
  EXPECT_NE(meldung.find(name("ps%03d.txt", ps0 + 2) + "(" + std::to_string(zeile) + "): error"), std::string::npos)
      << meldung;
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
  EXPECT_TRUE(FehlerGeloggt("VertexShader-Erzeugung gescheitert."));
}

}  // namespace
