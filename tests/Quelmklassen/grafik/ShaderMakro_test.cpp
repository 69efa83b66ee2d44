// The shader macro language: translation into HLSL with the entry head, preprocessor
// messages and includes.
#include "ProtokollSammler.h"
#include "Quelm_Ausnahme.h"
#include "Quelm_Shader.h"
#include "Quelm_System.h"
#include "TSpeicher.h"

#include <gtest/gtest.h>

#include <regex>

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

}  // namespace
