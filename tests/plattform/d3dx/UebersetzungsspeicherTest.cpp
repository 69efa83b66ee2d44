// Translations kept on disk between runs: a kept entry gives exactly what a translation
// gives, for exactly the request it was made for, and a bad entry or folder costs nothing
// but the translation.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <utility>
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

// Everything the compiler is given.
struct Anfrage {
  std::string text;
  const char* profil = "vs_3_0";
  std::vector<std::pair<const char*, const char*>> makros = {{"WERT", "2.0"}};
  const char* einstieg = "main";
  DWORD flags = 0;
  const char* name = nullptr;  // "memory"
  ID3DXInclude* einbindung = nullptr;
};

Lauf Uebersetze(const Anfrage& a) {
  std::vector<D3DXMACRO> makros;
  for (const auto& [name, wert] : a.makros) makros.push_back({name, wert});
  makros.push_back({nullptr, nullptr});
  ID3DXBuffer *code = nullptr, *meldungen = nullptr;
  ID3DXConstantTable* tabelle = nullptr;
  Lauf l;
  l.hr = D3DXCompileShaderNamed(a.text.c_str(), static_cast<UINT>(a.text.size()), a.name, makros.data(),
                                a.einbindung, a.einstieg, a.profil, a.flags, &code, &meldungen, &tabelle);
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

// An entry: magic, format, key, messages, SPIR-V, constants, samplers as words and texts,
// then the FNV-1a sum of all that. Versiegelt makes the sum right again after a change.
std::uint32_t Wort(const std::string& e, std::size_t stelle) {
  std::uint32_t w;
  std::memcpy(&w, e.data() + stelle, 4);
  return w;
}
std::string MitWort(std::string e, std::size_t stelle, std::uint32_t w) {
  std::memcpy(e.data() + stelle, &w, 4);
  return e;
}
std::string Versiegelt(std::string e) {
  std::uint64_t h = 0xcbf29ce484222325ull;
  for (std::size_t i = 0; i + 8 < e.size(); ++i)
    h = (h ^ static_cast<unsigned char>(e[i])) * 0x100000001b3ull;
  std::memcpy(e.data() + e.size() - 8, &h, 8);
  return e;
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
  void SetUp() override { SetzeUebersetzungsspeicher(Ordner()); }
  void TearDown() override { SetzeUebersetzungsspeicher({}); }
  // Translation without the entries, to compare against.
  Lauf Frisch(const Anfrage& a) {
    SetzeUebersetzungsspeicher({});
    Lauf l = Uebersetze(a);
    SetzeUebersetzungsspeicher(Ordner());
    return l;
  }
  static std::uint64_t Treffer() { return LiesUebersetzungsspeicherStand().treffer; }
  static std::uint64_t Gespeichert() { return LiesUebersetzungsspeicherStand().gespeichert; }
  fs::path Ordner() const { return ordner_.pfad() / "shader"; }

  TempOrdner ordner_;
};

}  // namespace

TEST_F(Uebersetzungsspeicher, ZweiteUebersetzungKommtAusDemEintragUndGleichtDerErsten) {
  // The third is refused only after glslang, by the register allocation: its entry is kept,
  // and what it gives must refuse the constant again.
  const Anfrage anfragen[] = {{kVertex, "vs_3_0"},
                              {kPixel, "ps_3_0"},
                              {"int gAnzahl;\nfloat4 main() : COLOR0 { return gAnzahl; }", "ps_3_0"}};
  for (const Anfrage& a : anfragen) {
    SCOPED_TRACE(a.text);
    const Lauf frisch = Frisch(a);
    ASSERT_EQ(frisch.hr == S_OK, frisch.meldungen.find("'gAnzahl'") == std::string::npos) << frisch.meldungen;
    ASSERT_EQ(frisch.tabelle.empty(), frisch.hr != S_OK);
    const std::uint64_t treffer = Treffer(), gespeichert = Gespeichert();
    EXPECT_EQ(Uebersetze(a), frisch);
    EXPECT_EQ(Gespeichert(), gespeichert + 1);
    EXPECT_EQ(Treffer(), treffer);
    EXPECT_EQ(Uebersetze(a), frisch);
    EXPECT_EQ(Treffer(), treffer + 1);
    EXPECT_EQ(Gespeichert(), gespeichert + 1);
  }
  // One folder for this build, one entry per request.
  EXPECT_EQ(Dateien(Ordner()).size(), 3u);
  std::error_code f;
  EXPECT_EQ(std::distance(fs::directory_iterator(Ordner(), f), fs::directory_iterator()), 1);
}

// Every part of the request tells two entries apart, also where the results are the same (an
// unused macro): each request is translated once, then comes from its own entry.
TEST_F(Uebersetzungsspeicher, JedeAbweichungDerAnfrageIstEineEigeneUebersetzung) {
  // Both stages take it; glslang warns about the register's profile, naming the text.
  const Anfrage basis{R"(
float4x4 gMatrix;
float4 gFarbe : register(ps_3_0, c1);
float4 main(float4 p : TEXCOORD0) : COLOR0 { return mul(gMatrix, p) * gFarbe * WERT; }
float4 zweiter(float4 p : TEXCOORD0) : COLOR0 { return p * WERT; }
)",
                      "vs_3_0",
                      {{"WERT", "2.0"}, {"AB", "C"}}};
  auto mit = [&](auto aendern) {
    Anfrage a = basis;
    aendern(a);
    return a;
  };
  const std::pair<const char*, Anfrage> faelle[] = {
      {"basis", basis},
      {"Text", mit([](Anfrage& a) { a.text += " "; })},
      {"Stufe", mit([](Anfrage& a) { a.profil = "ps_3_0"; })},
      {"Makrowert", mit([](Anfrage& a) { a.makros[0].second = "3.0"; })},
      {"Makroname", mit([](Anfrage& a) { a.makros[1].first = "AD"; })},
      {"Grenze von Name und Wert", mit([](Anfrage& a) { a.makros[1] = {"A", "BC"}; })},
      {"Einstieg", mit([](Anfrage& a) { a.einstieg = "zweiter"; })},
      {"Zeilenmatrizen", mit([](Anfrage& a) { a.flags = D3DXSHADER_PACKMATRIX_ROWMAJOR; })},
      {"Name", mit([](Anfrage& a) { a.name = "a.vs"; })},
      {"anderer Name", mit([](Anfrage& a) { a.name = "b.vs"; })},
  };
  for (const auto& [name, anfrage] : faelle) {
    SCOPED_TRACE(name);
    const Lauf frisch = Frisch(anfrage);
    ASSERT_EQ(frisch.hr, S_OK) << frisch.meldungen;
    EXPECT_NE(frisch.meldungen.find(std::string(anfrage.name ? anfrage.name : "memory") + "(3): warning"),
              std::string::npos)
        << frisch.meldungen;
    const std::uint64_t treffer = Treffer();
    EXPECT_EQ(Uebersetze(anfrage), frisch);
    EXPECT_EQ(Treffer(), treffer);
    EXPECT_EQ(Uebersetze(anfrage), frisch);
    EXPECT_EQ(Treffer(), treffer + 1);
  }
}

TEST_F(Uebersetzungsspeicher, BeschaedigterEintragWirdNeuUebersetztUndErsetzt) {
  const Anfrage anfrage{kPixel, "ps_3_0"};
  const Lauf frisch = Frisch(anfrage);
  Uebersetze(anfrage);
  const std::vector<fs::path> dateien = Dateien(Ordner());
  ASSERT_EQ(dateien.size(), 1u);
  const std::string gut = LeseDatei(dateien[0]);
  auto anders = [&](std::size_t stelle, char bit) {
    std::string t = gut;
    t[stelle] = static_cast<char>(t[stelle] ^ bit);
    return t;
  };
  const std::size_t meldungen = 12 + Wort(gut, 8), spirv = meldungen + 4 + Wort(gut, meldungen);
  const std::size_t nachSpirv = spirv + 4 + 4 * std::size_t{Wort(gut, spirv)};
  ASSERT_LT(nachSpirv, gut.size());
  const std::string summe = gut.substr(gut.size() - 8);
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
      // With the sum made right: each field is checked for itself.
      {"Kennung, Summe stimmt", Versiegelt(anders(0, 1))},
      {"Format, Summe stimmt", Versiegelt(anders(4, 1))},
      {"Schlüssel, Summe stimmt", Versiegelt(anders(12, 1))},
      {"ein Byte nach dem Ende, Summe stimmt", Versiegelt(gut.substr(0, gut.size() - 8) + "x" + summe)},
      {"ohne SPIR-V, Summe stimmt", Versiegelt(MitWort(gut.substr(0, spirv + 4), spirv, 0) + gut.substr(nachSpirv))},
      {"SPIR-V länger als die Datei, Summe stimmt", Versiegelt(MitWort(gut, spirv, 0xFFFFFFFFu))},
  };
  for (const auto& [name, inhalt] : schaeden) {
    SCOPED_TRACE(name);
    SchreibeDatei(dateien[0], inhalt);
    const std::uint64_t treffer = Treffer();
    EXPECT_EQ(Uebersetze(anfrage), frisch);
    EXPECT_EQ(Treffer(), treffer);
    EXPECT_EQ(LeseDatei(dateien[0]), gut);
    EXPECT_EQ(Uebersetze(anfrage), frisch);
    EXPECT_EQ(Treffer(), treffer + 1);
  }
  EXPECT_EQ(Dateien(Ordner()).size(), 1u);  // no half-written file left beside it
}

// Constants nested as deep as an entry may hold are read back from it; one level more is
// translated each time.
TEST_F(Uebersetzungsspeicher, VerschachtelungBisZurGrenzeKommtAusDemEintrag) {
  for (const auto& [ebenen, aus_eintrag] : {std::pair{31, true}, std::pair{32, false}}) {
    SCOPED_TRACE(ebenen);
    std::string text = "struct S1 { float4 a; };\n";
    for (int i = 2; i <= ebenen; ++i)
      text += "struct S" + std::to_string(i) + " { float4 a; S" + std::to_string(i - 1) + " s; };\n";
    std::string zugriff = "g";
    for (int i = 1; i < ebenen; ++i) zugriff += ".s";
    text += "S" + std::to_string(ebenen) + " g;\nfloat4 main() : COLOR0 { return g.a + " + zugriff + ".a; }\n";
    const Anfrage anfrage{text, "ps_3_0"};
    const Lauf frisch = Frisch(anfrage);
    ASSERT_EQ(frisch.hr, S_OK) << frisch.meldungen;
    Uebersetze(anfrage);
    const std::uint64_t treffer = Treffer();
    EXPECT_EQ(Uebersetze(anfrage), frisch);
    EXPECT_EQ(Treffer(), treffer + (aus_eintrag ? 1 : 0));
  }
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
  const Anfrage anfrage{"#include \"farbe.h\"\nfloat4 main() : COLOR0 { return FARBE; }", "ps_3_0",
                        {{"WERT", "1"}}, "main", 0, nullptr, &einbindung};
  const std::uint64_t gespeichert = Gespeichert();
  // The included file changes while the request stays the same: each result is its own.
  for (const char* farbe : {"float4(1, 0, 0, 1)", "float4(0, 1, 0, 1)"}) {
    einbindung.text = std::string("#define FARBE ") + farbe + "\n";
    const Lauf frisch = Frisch(anfrage);
    ASSERT_EQ(frisch.hr, S_OK) << frisch.meldungen;
    EXPECT_EQ(Uebersetze(anfrage), frisch);
  }
  const Anfrage kaputt{"float4 main() : COLOR0 { return k +* ; }", "ps_3_0"};
  const Lauf fehler = Uebersetze(kaputt);
  EXPECT_EQ(fehler.hr, E_FAIL);
  EXPECT_EQ(Uebersetze(kaputt), fehler);
  EXPECT_EQ(Gespeichert(), gespeichert);
  EXPECT_TRUE(Dateien(Ordner()).empty());
}

// Folders named as a build (16 to 64 lower-case hex digits) other than this build's are
// removed when the folder is set, not while it is in use; anything else stays.
TEST_F(Uebersetzungsspeicher, OrdnerAndererBauteWerdenEntferntFremdesBleibt) {
  const std::pair<std::string, bool> namen[] = {
      {std::string(15, 'a'), false}, {"0123456789abcdef", true},       {std::string(64, '0'), true},
      {std::string(65, '9'), false}, {std::string(39, 'a') + "g", false},  {std::string(40, 'A'), false},
      {"notizen", false},
  };
  const Anfrage anfrage{kPixel, "ps_3_0"};
  ASSERT_EQ(Uebersetze(anfrage).hr, S_OK);
  for (const auto& [name, _] : namen) SchreibeDatei(Ordner() / name / "1111111111111111.eintrag", "alt");
  SchreibeDatei(Ordner() / "fedcba9876543210fedcba9876543210fedcba98", "eine Datei, kein Ordner");
  ASSERT_EQ(Uebersetze(anfrage).hr, S_OK);
  for (const auto& [name, _] : namen) EXPECT_TRUE(fs::exists(Ordner() / name)) << name;

  SetzeUebersetzungsspeicher(Ordner());
  const std::uint64_t treffer = Treffer();
  ASSERT_EQ(Uebersetze(anfrage).hr, S_OK);
  EXPECT_EQ(Treffer(), treffer + 1);
  for (const auto& [name, entfernt] : namen) EXPECT_EQ(fs::exists(Ordner() / name), !entfernt) << name;
  EXPECT_TRUE(fs::exists(Ordner() / "fedcba9876543210fedcba9876543210fedcba98"));
}

// Emptied when it holds 1000 files as it is set, not with 999.
TEST_F(Uebersetzungsspeicher, OrdnerMitTausendDateienWirdGeleert) {
  const Anfrage anfrage{kPixel, "ps_3_0"};
  Uebersetze(anfrage);
  const std::vector<fs::path> eintrag = Dateien(Ordner());
  ASSERT_EQ(eintrag.size(), 1u);
  for (const auto& [andere, geleert] : {std::pair{998, false}, std::pair{999, true}}) {
    SCOPED_TRACE(andere);
    for (int i = 0; i < andere; ++i) SchreibeDatei(eintrag[0].parent_path() / ("x" + std::to_string(i)), "");
    SetzeUebersetzungsspeicher(Ordner());
    const std::uint64_t treffer = Treffer();
    ASSERT_EQ(Uebersetze(anfrage).hr, S_OK);
    EXPECT_EQ(Treffer(), treffer + (geleert ? 0 : 1));
    EXPECT_EQ(Dateien(Ordner()).size(), geleert ? 1u : 1u + andere);
  }
}

TEST_F(Uebersetzungsspeicher, UnbrauchbarerOrdnerUebersetztOhneEintraege) {
  const fs::path datei = SchreibeDatei(ordner_.pfad() / "datei", "kein Ordner");
  const Anfrage anfrage{kVertex, "vs_3_0"};
  const Lauf frisch = Frisch(anfrage);
  SetzeUebersetzungsspeicher(datei / "shader");
  const std::uint64_t gespeichert = Gespeichert();
  EXPECT_EQ(Uebersetze(anfrage), frisch);
  EXPECT_EQ(Uebersetze(anfrage), frisch);
  EXPECT_EQ(Gespeichert(), gespeichert);
  EXPECT_EQ(LeseDatei(datei), "kein Ordner");
}
