// The compile calls themselves: messages, profiles, macros, files and includes.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <map>

#include "D3dxTestHilfe.h"
#include "HlslUebersetzung.h"
#include "TempOrdner.h"

using d3dxtest::Uebersetze;
using d3dxtest::UebersetzeDatei;

namespace {

const char* const kPixel = "float4 gFarbe; float4 main() : COLOR0 { return gFarbe * WERT; }";

// Serves files from a map and records each file opened with the start of its parent's data.
class MapEinbindung final : public ID3DXInclude {
 public:
  std::map<std::string, std::string> dateien;
  std::vector<std::pair<std::string, std::string>> geoeffnet;
  int offen = 0;

  HRESULT Open(D3DXINCLUDE_TYPE, LPCSTR name, LPCVOID eltern, LPCVOID* daten,
               UINT* bytes) override {
    auto it = dateien.find(name);
    if (it == dateien.end()) return E_FAIL;
    geoeffnet.emplace_back(name, eltern ? std::string(static_cast<const char*>(eltern), 8) : "");
    *daten = it->second.data();
    *bytes = static_cast<UINT>(it->second.size());
    ++offen;
    return S_OK;
  }
  HRESULT Close(LPCVOID) override {
    --offen;
    return S_OK;
  }
};

}  // namespace

TEST(Uebersetzung, SyntaxfehlerGibtFehlschlagUndMeldungstext) {
  ID3DXBuffer* code = reinterpret_cast<ID3DXBuffer*>(1);
  ID3DXBuffer* meldungen = nullptr;
  ID3DXConstantTable* tabelle = reinterpret_cast<ID3DXConstantTable*>(1);
  const std::string quelle = "float4 k;\nfloat4 main() : COLOR0\n{\n  return k +* ;\n}\n";
  HRESULT hr = D3DXCompileShader(quelle.c_str(), static_cast<UINT>(quelle.size()), nullptr,
                                 nullptr, "main", "ps_3_0", 0, &code, &meldungen, &tabelle);
  EXPECT_EQ(hr, E_FAIL);
  EXPECT_EQ(code, nullptr);
  EXPECT_EQ(tabelle, nullptr);
  ASSERT_NE(meldungen, nullptr);
  const std::string text = static_cast<const char*>(meldungen->GetBufferPointer());
  // Zero-terminated, with the source position as D3DX writes it.
  EXPECT_EQ(meldungen->GetBufferSize(), text.size() + 1);
  EXPECT_NE(text.find("memory(4): error"), std::string::npos) << text;
  EXPECT_EQ(text.find("ERROR:"), std::string::npos) << text;
  meldungen->Release();
}

TEST(Uebersetzung, FehlenderEinstiegFalschesProfilUndFehlendeArgumente) {
  auto e = Uebersetze("float4 anderer() : COLOR0 { return 1; }", "ps_3_0");
  EXPECT_TRUE(FAILED(e.hr));
  EXPECT_NE(e.meldungen.find("'main'"), std::string::npos) << e.meldungen;

  for (const char* profil : {"ps_2_0", "vs_4_0", "fx_2_0", ""}) {
    auto p = Uebersetze("float4 main() : COLOR0 { return 1; }", profil);
    EXPECT_EQ(p.hr, E_FAIL) << profil;
    EXPECT_NE(p.meldungen.find("profile"), std::string::npos) << p.meldungen;
  }

  const struct {
    const char *quelle, *einstieg, *profil;
  } ohne[] = {{nullptr, "main", "ps_3_0"}, {"x", nullptr, "ps_3_0"}, {"x", "main", nullptr}};
  for (const auto& o : ohne) {
    ID3DXBuffer* code = nullptr;
    EXPECT_EQ(D3DXCompileShader(o.quelle, o.quelle ? 1 : 0, nullptr, nullptr, o.einstieg, o.profil, 0,
                                &code, nullptr, nullptr),
              E_INVALIDARG);
    EXPECT_EQ(code, nullptr);
  }
  EXPECT_EQ(D3DXGetVertexShaderProfile(nullptr), nullptr);
  EXPECT_EQ(D3DXGetPixelShaderProfile(nullptr), nullptr);
}

TEST(Uebersetzung, MakrosUndQuelllaengeOhneNullbyte) {
  const D3DXMACRO makros[] = {{"WERT", "0.5f"}, {"LEER", nullptr}, {nullptr, nullptr}};
  auto e = Uebersetze(std::string(kPixel) + "\n#ifndef LEER\n#error no\n#endif\n", "ps_3_0", makros);
  ASSERT_EQ(e.hr, S_OK) << e.meldungen;
  EXPECT_NE(e.blob.glsl.find("0.5"), std::string::npos) << e.blob.glsl;

  auto ohne = Uebersetze(kPixel, "ps_3_0");
  EXPECT_TRUE(FAILED(ohne.hr));
  EXPECT_NE(ohne.meldungen.find("WERT"), std::string::npos) << ohne.meldungen;

  // Only SrcDataLen bytes count; what follows is not read. Every output may be left out.
  const std::string lang = std::string(kPixel) + "JUNK";
  EXPECT_EQ(D3DXCompileShader(lang.c_str(), static_cast<UINT>(std::strlen(kPixel)), makros,
                              nullptr, "main", "ps_3_0", 0, nullptr, nullptr, nullptr),
            S_OK);
}

TEST(Uebersetzung, AusDateiMitEinbindungDaneben) {
  TempOrdner ordner;
  SchreibeDatei(ordner.pfad() / "teile/farbe.h", "#include \"wert.h\"\nfloat4 gFarbe;\n");
  SchreibeDatei(ordner.pfad() / "teile/wert.h", "#define WERT 2.0f\n");
  const std::string datei =
      SchreibeDatei(ordner.pfad() / "shader.ps",
                    "#include \"teile/farbe.h\"\nfloat4 main() : COLOR0 { return gFarbe * WERT; }\n")
          .string();
  auto e = UebersetzeDatei(datei, "ps_3_0", D3DXSHADER_DEBUG | D3DXSHADER_SKIPOPTIMIZATION);
  ASSERT_EQ(e.hr, S_OK) << e.meldungen;
  EXPECT_NE(e.Handle("gFarbe"), nullptr);

  // Errors name the file.
  const std::string kaputt = SchreibeDatei(ordner.pfad() / "kaputt.vs", "void main( {\n").string();
  auto k = UebersetzeDatei(kaputt, "vs_3_0");
  EXPECT_EQ(k.hr, E_FAIL);
  EXPECT_NE(k.meldungen.find(kaputt + "("), std::string::npos) << k.meldungen;
  auto fehlt = UebersetzeDatei(kaputt + ".fehlt", "vs_3_0");
  EXPECT_TRUE(FAILED(fehlt.hr));
  EXPECT_NE(fehlt.meldungen.find(".fehlt"), std::string::npos);

  // From memory, without a handler, nothing can be included, also when the text is named
  // after a file beside the included one; and that file itself is not read.
  auto m = Uebersetze("#include \"teile/farbe.h\"\nfloat4 main() : COLOR0 { return 1; }", "ps_3_0");
  EXPECT_TRUE(FAILED(m.hr));
  for (const char* text : {"#include \"teile/farbe.h\"\nfloat4 main() : COLOR0 { return 1; }",
                           "float4 main() : COLOR0 { return undefiniert; }"}) {
    ID3DXBuffer* meldungen = nullptr;
    EXPECT_EQ(D3DXCompileShaderNamed(text, static_cast<UINT>(std::strlen(text)), datei.c_str(), nullptr, nullptr,
                                     "main", "ps_3_0", 0, nullptr, &meldungen, nullptr),
              E_FAIL);
    ASSERT_NE(meldungen, nullptr);
    const std::string meldung = static_cast<const char*>(meldungen->GetBufferPointer());
    EXPECT_NE(meldung.find(datei + "("), std::string::npos) << meldung;
    meldungen->Release();
  }
}

TEST(Uebersetzung, EinbindungUeberDenHandlerDesAufrufers) {
  MapEinbindung einbindung;
  einbindung.dateien["a.h"] = "#include \"b.h\"\nfloat4 gA;\n";
  einbindung.dateien["b.h"] = "float4 gB;\n";
  auto e = Uebersetze("#include \"a.h\"\nfloat4 main() : COLOR0 { return gA + gB; }\n", "ps_3_0",
                      nullptr, 0, &einbindung);
  ASSERT_EQ(e.hr, S_OK) << e.meldungen;
  const decltype(einbindung.geoeffnet) soll = {{"a.h", ""}, {"b.h", "#include"}};
  EXPECT_EQ(einbindung.geoeffnet, soll);
  EXPECT_EQ(einbindung.offen, 0);
  EXPECT_NE(e.Handle("gB"), nullptr);
}

TEST(Uebersetzung, MeldungenImStilVonD3DX) {
  using Plattform::D3dx::FormatiereMeldungen;
  EXPECT_EQ(FormatiereMeldungen("ERROR: memory:4: 'expression' : Expected \n"
                                "memory(4): error at column 10, HLSL parsing failed.\n"
                                "ERROR: 3 compilation errors.  No code generated.\n\n"),
            "memory(4): error: 'expression' : Expected\n"
            "memory(4): error at column 10, HLSL parsing failed.\n");
  EXPECT_EQ(FormatiereMeldungen("WARNING: /a/b.vs:12: 'x' : something odd\n"),
            "/a/b.vs(12): warning: 'x' : something odd\n");
  EXPECT_EQ(FormatiereMeldungen("ERROR: Linking fragment stage: Missing entry point\n"),
            "error: Linking fragment stage: Missing entry point\n");
}

// Square brackets that hold no index or size, also made by a macro, fail as a syntax error:
// glslang's parser would read through a null pointer on such a parameter; nested indices pass.
TEST(Uebersetzung, KaputteEckigeKlammernScheiternOhneAbsturz) {
  const struct {
    const char* vorne;
    bool gut;
  } zeilen[] = {
      {"void f(float4 p[) {}", false},
      {"#define AUF [\nvoid f(out float4 p AUF : POSITION0) {}", false},
      {"void f(float2 p[[4]2]) {}", false},
      {"void f(float2 p[;]) {}", false},
      {"void f(float2 p[*]) {}", false},
      {"void f(float2 p[4 4]) {}", false},
      {"void main( float[\"a t : TEXCOORD0)", false},  // the preprocessor fails on the open string
      {"float4 g() { float a[2]; return a[1; }", false},
      {"static const int i[2] = {0, 1};\nfloat4 g(float4 p[2]) { float a[2] = {1, 2}; return p[i[1]] * a[-i[0] + 1]; }",
       true},
  };
  for (const auto& z : zeilen) {
    std::string quelle = z.vorne;
    if (quelle.find("main(") == std::string::npos) quelle += "\nfloat4 main() : COLOR0 { return 1; }";
    ID3DXBuffer* meldungen = nullptr;
    const HRESULT hr = D3DXCompileShader(quelle.c_str(), static_cast<UINT>(quelle.size()), nullptr, nullptr, "main",
                                         "ps_3_0", 0, nullptr, &meldungen, nullptr);
    EXPECT_EQ(hr, z.gut ? S_OK : E_FAIL) << z.vorne;
    if (!z.gut) {
      ASSERT_NE(meldungen, nullptr) << z.vorne;
      EXPECT_NE(std::string(static_cast<const char*>(meldungen->GetBufferPointer())).find("memory"),
                std::string::npos)
          << z.vorne;
    }
    if (meldungen) meldungen->Release();
  }
}
