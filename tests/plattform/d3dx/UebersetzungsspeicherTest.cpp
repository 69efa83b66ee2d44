// Translations kept on disk between runs: a kept entry gives exactly what a translation
// gives, for exactly the request it was made for, and a bad entry or folder costs nothing
// but the translation.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "TempOrdner.h"
#include "Uebersetzungsspeicher.h"
#include "d3dx9.h"

namespace fs = std::filesystem;
using Plattform::D3dx::LiesUebersetzungsspeicherStand;
using Plattform::D3dx::SetzeUebersetzungsspeicher;

namespace {

const std::string kVertex = R"(
struct Licht { float4 farbe; float3 richtung; };
float4x4 gMatrix;
Licht gLicht[2];
float4 gFest : register(c40);
void main(float4 p : POSITION, float3 n : NORMAL, out float4 o : POSITION, out float4 f : COLOR0) {
  o = mul(p, gMatrix) * WERT;
  f = gLicht[1].farbe * saturate(dot(n, gLicht[0].richtung)) + gFest;
}
float4 zweiter(float4 p : POSITION) : POSITION { return p * WERT; }
)";
const std::string kPixel = R"(
sampler2D gBild : register(s2);
sampler2D gMaske;
float4 gFarbe;
float4 main(float2 uv : TEXCOORD0) : COLOR0 { return tex2D(gBild, uv) * tex2D(gMaske, uv).a * gFarbe; }
)";

// Everything a compile hands back, as text: code, messages, every constant with its members.
struct Lauf {
  HRESULT hr = E_FAIL;
  std::string code, meldungen, tabelle;
  bool operator==(const Lauf&) const = default;
};

void BeschreibeKonstanten(ID3DXConstantTable* t, D3DXHANDLE eltern, UINT anzahl, std::string& aus) {
  for (UINT i = 0; i < anzahl; ++i) {
    D3DXHANDLE h = t->GetConstant(eltern, i);
    D3DXCONSTANT_DESC d{};
    UINT n = 1;
    if (!h || FAILED(t->GetConstantDesc(h, &d, &n))) continue;
    aus += std::string(d.Name ? d.Name : "?") + " " + std::to_string(d.RegisterSet) + " " +
           std::to_string(d.RegisterIndex) + " " + std::to_string(d.RegisterCount) + " " + std::to_string(d.Class) +
           " " + std::to_string(d.Type) + " " + std::to_string(d.Rows) + "x" + std::to_string(d.Columns) + "[" +
           std::to_string(d.Elements) + "] " + std::to_string(d.Bytes) + " {";
    BeschreibeKonstanten(t, h, d.StructMembers, aus);
    aus += "}\n";
  }
}

Lauf Uebersetze(const std::string& text, const char* profil, const char* wert = "2.0", const char* einstieg = "main",
                DWORD flags = 0, ID3DXInclude* einbindung = nullptr) {
  const D3DXMACRO makros[] = {{"WERT", wert}, {nullptr, nullptr}};
  ID3DXBuffer *code = nullptr, *meldungen = nullptr;
  ID3DXConstantTable* tabelle = nullptr;
  Lauf l;
  l.hr = D3DXCompileShader(text.c_str(), static_cast<UINT>(text.size()), makros, einbindung, einstieg, profil, flags,
                           &code, &meldungen, &tabelle);
  if (code) l.code.assign(static_cast<const char*>(code->GetBufferPointer()), code->GetBufferSize());
  if (meldungen) l.meldungen = static_cast<const char*>(meldungen->GetBufferPointer());
  if (tabelle) {
    D3DXCONSTANTTABLE_DESC d{};
    tabelle->GetDesc(&d);
    BeschreibeKonstanten(tabelle, nullptr, d.Constants, l.tabelle);
  }
  for (IUnknown* o : std::initializer_list<IUnknown*>{code, meldungen, tabelle})
    if (o) o->Release();
  return l;
}

std::vector<fs::path> Dateien(const fs::path& ordner) {
  std::vector<fs::path> aus;
  std::error_code f;
  for (fs::recursive_directory_iterator i(ordner, f), ende; !f && i != ende; i.increment(f))
    if (i->is_regular_file()) aus.push_back(i->path());
  return aus;
}

class Uebersetzungsspeicher : public ::testing::Test {
 protected:
  void SetUp() override { SetzeUebersetzungsspeicher(ordner_.pfad() / "shader"); }
  void TearDown() override { SetzeUebersetzungsspeicher({}); }
  // Translation without the entries, to compare against.
  Lauf Frisch(auto&&... args) {
    SetzeUebersetzungsspeicher({});
    Lauf l = Uebersetze(args...);
    SetzeUebersetzungsspeicher(ordner_.pfad() / "shader");
    return l;
  }
  static std::uint64_t Treffer() { return LiesUebersetzungsspeicherStand().treffer; }
  static std::uint64_t Gespeichert() { return LiesUebersetzungsspeicherStand().gespeichert; }
  fs::path Ordner() const { return ordner_.pfad() / "shader"; }

  TempOrdner ordner_;
};

}  // namespace

TEST_F(Uebersetzungsspeicher, ZweiteUebersetzungKommtAusDemEintragUndGleichtDerErsten) {
  for (const auto& [text, profil] : {std::pair{kVertex, "vs_3_0"}, std::pair{kPixel, "ps_3_0"}}) {
    SCOPED_TRACE(profil);
    const Lauf frisch = Frisch(text, profil);
    ASSERT_EQ(frisch.hr, S_OK) << frisch.meldungen;
    ASSERT_FALSE(frisch.tabelle.empty());
    const std::uint64_t treffer = Treffer(), gespeichert = Gespeichert();
    EXPECT_EQ(Uebersetze(text, profil), frisch);
    EXPECT_EQ(Gespeichert(), gespeichert + 1);
    EXPECT_EQ(Treffer(), treffer);
    EXPECT_EQ(Uebersetze(text, profil), frisch);
    EXPECT_EQ(Treffer(), treffer + 1);
    EXPECT_EQ(Gespeichert(), gespeichert + 1);
  }
  // One folder for this build, one entry per request.
  EXPECT_EQ(Dateien(Ordner()).size(), 2u);
  std::error_code f;
  EXPECT_EQ(std::distance(fs::directory_iterator(Ordner(), f), fs::directory_iterator()), 1);
}

TEST_F(Uebersetzungsspeicher, JedeAbweichungDerAnfrageIstEineEigeneUebersetzung) {
  struct Fall {
    const char* name;
    std::string text;
    const char* wert;
    const char* einstieg;
    DWORD flags;
  };
  const Fall basis{"basis", kVertex, "2.0", "main", 0};
  const Fall faelle[] = {
      {"text", kVertex + " ", "2.0", "main", 0},
      {"makro", kVertex, "3.0", "main", 0},
      {"einstieg", kVertex, "2.0", "zweiter", 0},
      {"zeilenmatrizen", kVertex, "2.0", "main", D3DXSHADER_PACKMATRIX_ROWMAJOR},
  };
  Uebersetze(basis.text, "vs_3_0", basis.wert, basis.einstieg, basis.flags);
  for (const Fall& fall : faelle) {
    SCOPED_TRACE(fall.name);
    const Lauf frisch = Frisch(fall.text, "vs_3_0", fall.wert, fall.einstieg, fall.flags);
    ASSERT_EQ(frisch.hr, S_OK) << frisch.meldungen;
    const std::uint64_t treffer = Treffer();
    EXPECT_EQ(Uebersetze(fall.text, "vs_3_0", fall.wert, fall.einstieg, fall.flags), frisch);
    EXPECT_EQ(Treffer(), treffer);
    EXPECT_EQ(Uebersetze(fall.text, "vs_3_0", fall.wert, fall.einstieg, fall.flags), frisch);
    EXPECT_EQ(Treffer(), treffer + 1);
  }
  // The same text under another file name: its messages name the file.
  const fs::path a = SchreibeDatei(ordner_.pfad() / "a.vs", "float4 main() : POSITION { return undefiniert; }");
  const fs::path b = SchreibeDatei(ordner_.pfad() / "b.vs", LeseDatei(a));
  ID3DXBuffer* m = nullptr;
  for (const fs::path& p : {a, b}) {
    EXPECT_EQ(D3DXCompileShaderFromFileA(p.c_str(), nullptr, nullptr, "main", "vs_3_0", 0, nullptr, &m, nullptr),
              E_FAIL);
    ASSERT_NE(m, nullptr);
    EXPECT_NE(std::string(static_cast<const char*>(m->GetBufferPointer())).find(p.string()), std::string::npos);
    m->Release();
  }
}

TEST_F(Uebersetzungsspeicher, BeschaedigterEintragWirdNeuUebersetztUndErsetzt) {
  const Lauf frisch = Frisch(kPixel, "ps_3_0");
  Uebersetze(kPixel, "ps_3_0");
  const std::vector<fs::path> dateien = Dateien(Ordner());
  ASSERT_EQ(dateien.size(), 1u);
  const std::string gut = LeseDatei(dateien[0]);
  auto anders = [&](std::size_t stelle, char bit) {
    std::string t = gut;
    t[stelle] = static_cast<char>(t[stelle] ^ bit);
    return t;
  };
  const std::pair<const char*, std::string> schaeden[] = {
      {"leer", ""},
      {"halb", gut.substr(0, gut.size() / 2)},
      {"ein Byte zu kurz", gut.substr(0, gut.size() - 1)},
      {"ein Byte zu lang", gut + "x"},
      {"Kennung", anders(0, 1)},
      {"Format", anders(4, 1)},
      {"Schlüssellänge", anders(8, 0x40)},
      {"Schlüssel", anders(20, 1)},
      {"Inhalt", anders(gut.size() / 2, 1)},
      {"Prüfsumme", anders(gut.size() - 1, 1)},
  };
  for (const auto& [name, inhalt] : schaeden) {
    SCOPED_TRACE(name);
    SchreibeDatei(dateien[0], inhalt);
    const std::uint64_t treffer = Treffer();
    EXPECT_EQ(Uebersetze(kPixel, "ps_3_0"), frisch);
    EXPECT_EQ(Treffer(), treffer);
    EXPECT_EQ(LeseDatei(dateien[0]), gut);
    EXPECT_EQ(Uebersetze(kPixel, "ps_3_0"), frisch);
    EXPECT_EQ(Treffer(), treffer + 1);
  }
  EXPECT_EQ(Dateien(Ordner()).size(), 1u);  // no half-written file left beside it
}

TEST_F(Uebersetzungsspeicher, FehlschlagUndEingebundeneDateienWerdenNichtGespeichert) {
  class Einbindung final : public ID3DXInclude {
   public:
    std::string text;
    HRESULT Open(D3DXINCLUDE_TYPE, LPCSTR, LPCVOID, LPCVOID* daten, UINT* bytes) override {
      *daten = text.data();
      *bytes = static_cast<UINT>(text.size());
      return S_OK;
    }
    HRESULT Close(LPCVOID) override { return S_OK; }
  } einbindung;
  const std::string quelle = "#include \"farbe.h\"\nfloat4 main() : COLOR0 { return FARBE; }";
  const std::uint64_t gespeichert = Gespeichert();
  // The included file changes while the request stays the same: each result is its own.
  for (const char* farbe : {"float4(1, 0, 0, 1)", "float4(0, 1, 0, 1)"}) {
    einbindung.text = std::string("#define FARBE ") + farbe + "\n";
    const Lauf frisch = Frisch(quelle, "ps_3_0", "1", "main", 0, &einbindung);
    ASSERT_EQ(frisch.hr, S_OK) << frisch.meldungen;
    EXPECT_EQ(Uebersetze(quelle, "ps_3_0", "1", "main", 0, &einbindung), frisch);
  }
  const Lauf fehler = Uebersetze("float4 main() : COLOR0 { return k +* ; }", "ps_3_0");
  EXPECT_EQ(fehler.hr, E_FAIL);
  EXPECT_EQ(Uebersetze("float4 main() : COLOR0 { return k +* ; }", "ps_3_0"), fehler);
  EXPECT_EQ(Gespeichert(), gespeichert);
  EXPECT_TRUE(Dateien(Ordner()).empty());
}

TEST_F(Uebersetzungsspeicher, OrdnerAndererBauteWerdenEntferntFremdesBleibt) {
  const fs::path alt = Ordner() / "0123456789abcdef0123456789abcdef01234567";
  SchreibeDatei(alt / "1111111111111111.eintrag", "alt");
  SchreibeDatei(Ordner() / "notizen" / "liesmich", "bleibt");
  SchreibeDatei(Ordner() / "fedcba9876543210fedcba9876543210fedcba98", "eine Datei, kein Ordner");
  SetzeUebersetzungsspeicher(Ordner());
  ASSERT_EQ(Uebersetze(kPixel, "ps_3_0").hr, S_OK);
  EXPECT_FALSE(fs::exists(alt));
  EXPECT_TRUE(fs::exists(Ordner() / "notizen" / "liesmich"));
  EXPECT_TRUE(fs::exists(Ordner() / "fedcba9876543210fedcba9876543210fedcba98"));
  EXPECT_EQ(Dateien(Ordner()).size(), 3u);
}

TEST_F(Uebersetzungsspeicher, UebervollerOrdnerWirdGeleert) {
  Uebersetze(kPixel, "ps_3_0");
  const std::vector<fs::path> eintrag = Dateien(Ordner());
  ASSERT_EQ(eintrag.size(), 1u);
  // The bound is 1000 entries; more than a program's shaders with all their edits.
  for (int i = 0; i < 1000; ++i) SchreibeDatei(eintrag[0].parent_path() / ("x" + std::to_string(i)), "");
  SetzeUebersetzungsspeicher(Ordner());
  const std::uint64_t treffer = Treffer();
  ASSERT_EQ(Uebersetze(kPixel, "ps_3_0").hr, S_OK);
  EXPECT_EQ(Treffer(), treffer);
  EXPECT_EQ(Dateien(Ordner()), eintrag);
}

TEST_F(Uebersetzungsspeicher, UnbrauchbarerOrdnerUebersetztOhneEintraege) {
  const fs::path datei = SchreibeDatei(ordner_.pfad() / "datei", "kein Ordner");
  SetzeUebersetzungsspeicher(datei / "shader");
  const Lauf frisch = Frisch(kVertex, "vs_3_0");
  SetzeUebersetzungsspeicher(datei / "shader");
  const std::uint64_t gespeichert = Gespeichert();
  EXPECT_EQ(Uebersetze(kVertex, "vs_3_0"), frisch);
  EXPECT_EQ(Uebersetze(kVertex, "vs_3_0"), frisch);
  EXPECT_EQ(Gespeichert(), gespeichert);
  EXPECT_EQ(LeseDatei(datei), "kein Ordner");
}
