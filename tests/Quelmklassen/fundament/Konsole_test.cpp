#include "ProtokollSammler.h"
#include "Quelm_Konsole.h"
#include "Quelm_Protokoll.h"

#include <gtest/gtest.h>

namespace {

using Quelm_Konsole::ZerlegeZeile;
using V = Quelm_KonsolenVariable;

// Test variables, registered like the engine's own.
V testText("test_text", V::String, V::Dauerhaft, "anfang");
V testVektor3("test_v3", V::Vektor3, 0, "0 0 0");
V testVektor4("test_v4", V::Vektor4, 0, "0 0 0 0");
V testFloat("test_float", V::Float, 0, "0");
V testSchalter("test_schalter", V::Bool, V::Dauerhaft, false);

bool verweigere(V*, int phase, const std::string&) { return phase != 0; }
V testVerweigert("test_verweigert", V::Int, 0, std::int32_t{7}, &verweigere);

std::vector<std::string> Woerter(const std::string& zeile) { return ZerlegeZeile(zeile).woerter; }

TEST(ZerlegeZeile, LeerzeichenKommasUndAnfuehrungszeichen) {
  using W = std::vector<std::string>;
  EXPECT_EQ(Woerter("a  b"), (W{"a", "b"}));
  EXPECT_EQ(Woerter("a , b"), (W{"a", "", "b"}));
  EXPECT_EQ(Woerter("\"x y\",z"), (W{"x y", "z"}));
  EXPECT_EQ(Woerter("ab\"cd\""), (W{"cd"}));
  EXPECT_EQ(Woerter("\"\""), (W{""}));
  EXPECT_EQ(Woerter("\"offen bis zum ende"), (W{"offen bis zum ende"}));
  EXPECT_EQ(Woerter("   "), (W{}));
  EXPECT_EQ(Woerter("1,2,3"), (W{"1", "2", "3"}));
  auto liste = ZerlegeZeile("1.5 x 2");
  EXPECT_EQ(liste.werte, (std::vector<float>{1.5f, 0.0f, 2.0f}));
}

TEST(KonsolenVariable, BoolAusTexten) {
  V v;
  v.typ = V::Bool;
  const std::pair<const char*, bool> faelle[] = {{"on", true}, {"an", true},  {"true", true}, {"ja", true},
                                                 {"5", true},  {"On", false}, {"yes", false}, {"0", false},
                                                 {"-3", false}, {"", false},  {"0.5", false}};
  for (const auto& [text, wahr] : faelle) {
    v.SetzeText(text);
    EXPECT_EQ(v.wertBool, wahr) << text;
    EXPECT_EQ(v.text, wahr ? "ja" : "nein");
  }
}

TEST(KonsolenVariable, AlleFormenImGleichschritt) {
  V v;
  v.typ = V::Vektor4;
  v.SetzeText("1 2");  // the text is written from the vector: missing w is 1
  EXPECT_EQ(v.text, "1.000000, 2.000000, 0.000000, 1.000000");
  EXPECT_EQ(v.wertInt, 1);

  v.typ = V::Float;
  v.SetzeText("0.1");
  EXPECT_EQ(v.text, "0.100000001");

  v.typ = V::Int;
  v.SetzeText(" 42 ");
  EXPECT_EQ(v.wertInt, 42);
  EXPECT_EQ(v.text, "42");

  v.typ = V::Bool;
  v.SetzeBool(true);
  EXPECT_EQ(v.wertInt, 1);
  EXPECT_EQ(std::vector<float>(v.wertV3, v.wertV3 + 3), (std::vector<float>{1, 0, 0}));
  EXPECT_EQ(std::vector<float>(v.wertV4, v.wertV4 + 4), (std::vector<float>{1, 1, 1, 1}));
  EXPECT_EQ(v.text, "ja");

  v.typ = V::Int;
  v.SetzeInt(0);
  EXPECT_FALSE(v.wertBool);
  v.SetzeInt(-5);
  EXPECT_FALSE(v.wertBool);
  EXPECT_EQ(v.wertFloat, -5.0f);
  EXPECT_EQ(v.text, "-5");
}

TEST(KonsolenVariable, VerweigerteAenderungLaesstAllesStehen) {
  testVerweigert.SetzeText("99");
  testVerweigert.SetzeInt(3);
  testVerweigert.SetzeBool(false);
  EXPECT_EQ(testVerweigert.wertInt, 7);
  EXPECT_EQ(testVerweigert.text, "7");
  EXPECT_TRUE(testVerweigert.wertBool);
}

TEST(KonsolenVariable, RueckrufSiehtNichtDenStandardwert) {
  // Static: the registry keeps pointing at registered variables.
  static int aufrufe = 0;
  static V v("test_rueckruf", V::Int, 0, std::int32_t{1}, [](V*, int, const std::string&) {
    ++aufrufe;
    return true;
  });
  static const int nachDemAnlegen = aufrufe;  // taken once, so the test also runs repeated
  EXPECT_EQ(nachDemAnlegen, 0);
  const int vorher = aufrufe;
  v.SetzeInt(v.wertInt + 1);
  EXPECT_EQ(aufrufe - vorher, 2);  // both phases
}

TEST(KonsolenBefehl, ZweiterBefehlGleichenNamensErsetztDenErsten) {
  static int welcher = 0;
  static Quelm_KonsolenBefehl a("test_doppelt", [](const std::string&) { welcher = 1; });
  static Quelm_KonsolenBefehl b("test_doppelt", [](const std::string&) { welcher = 2; });
  Quelm_KonsolenBefehl::Finde("test_doppelt")->ausfuehren("");
  EXPECT_EQ(welcher, 2);
}

class Konsole : public ::testing::Test {
 protected:
  void SetUp() override { AktiviereProtokoll(ordner.pfad()); }
  std::vector<std::string> Fuehre(const std::string& zeile) {
    ZeilenSammler sammler;
    sammler.FuehreKonsolenBefehlAus(zeile);
    return sammler.Texte();
  }
  TempOrdner ordner;
};

using Zeilen = std::vector<std::string>;

TEST_F(Konsole, SetOhneArgumentListetAlleVariablenInBytefolgeHelpDieBefehle) {
  Zeilen zeilen = Fuehre("set");
  ASSERT_GE(zeilen.size(), 3u);
  EXPECT_EQ(zeilen[1], "Definierte Variablen sind:");
  EXPECT_NE(std::find(zeilen.begin(), zeilen.end(), "b - dn* - t_debug: ja"), zeilen.end());
  EXPECT_NE(std::find(zeilen.begin(), zeilen.end(), "i - **f - test_verweigert: 7"), zeilen.end());
  EXPECT_NE(std::find(zeilen.begin(), zeilen.end(), "s - *n* - t_konfig: programm.cfg"), zeilen.end());
  std::vector<std::string> namen;
  for (std::size_t i = 2; i < zeilen.size(); ++i) namen.push_back(zeilen[i].substr(zeilen[i].find(" - ", 4) + 3));
  EXPECT_TRUE(std::is_sorted(namen.begin(), namen.end()));

  zeilen = Fuehre("help egal");
  EXPECT_EQ(zeilen[1], "Definierte Konsolenbefehle sind:");
  EXPECT_NE(std::find(zeilen.begin(), zeilen.end(), " - help"), zeilen.end());
  EXPECT_NE(std::find(zeilen.begin(), zeilen.end(), " - set"), zeilen.end());
}

TEST_F(Konsole, BefehleUndSetZeigenUndSetzenWerte) {
  const auto gesetzt = [](const std::string& name, const std::string& wert) {
    return "Variable \"" + name + "\" auf Wert \"" + wert + "\" gesetzt.";
  };
  // Each line is repeated after ">", then answered (a leading blank only repeats it).
  const std::pair<std::string, std::string> faelle[] = {
      {" quit", ""},
      {"", "!Unbekannter Befehl \"\""},
      {"gibtsnicht a b", "!Unbekannter Befehl \"gibtsnicht\""},
      {"set sprache", "sprache = -1"},
      {"set nix", "!Variable nix ist nicht definiert."},
      {"set nix 1", "!Variable nix ist nicht definiert."},
      {"set test_schalter 0", gesetzt("test_schalter", "nein")},
      {"set test_v3 1 2 3", gesetzt("test_v3", "1.000000, 2.000000, 3.000000")},
      {"set test_verweigert 5", gesetzt("test_verweigert", "7")},  // refused: the old text
      // A text variable takes the rest of the line as written.
      {"set test_text Hallo  Welt, du", gesetzt("test_text", "Hallo  Welt, du")},
      {"set test_text \"in Anfuehrung\"", gesetzt("test_text", "in Anfuehrung")},
      {"set test_text, komma", gesetzt("test_text", "komma")},
  };
  for (const auto& [zeile, antwort] : faelle) {
    Zeilen erwartet{">" + zeile};
    if (!antwort.empty()) erwartet.push_back(antwort);
    EXPECT_EQ(Fuehre(zeile), erwartet);
  }
  EXPECT_EQ(testText.text, "komma");
}

TEST_F(Konsole, TextDerNichtZurArtPasstWirdAbgelehntUndGemeldet) {
  const struct {
    V::Typ typ;
    const char* text;
    bool passt;
  } faelle[] = {
      {V::Int, "1280", true},       {V::Int, " -5 ", true},        {V::Int, "+7", true},
      {V::Int, "1e9", false},       {V::Int, "aaaa", false},       {V::Int, "", false},
      {V::Int, "12px", false},      {V::Int, "1.5", false},        {V::Int, "2147483648", false},
      {V::Float, "0.100000001", true}, {V::Float, "1e9", true},    {V::Float, "-2.5", true},
      {V::Float, "x", false},       {V::Float, "nan", false},      {V::Float, "1e39", false},
      {V::Vektor3, "1.000000, 2.000000, 3.000000", true},          {V::Vektor3, "1 2", true},
      {V::Vektor3, "1 2 3 4", false}, {V::Vektor3, "1 b 3", false}, {V::Vektor3, "1,,3", false},
      {V::Vektor3, "", false},      {V::Vektor4, "1 2 3 4", true}, {V::Vektor4, "1 2 3 4 5", false},
      // What stored files and earlier starts rely on still reads.
      {V::Bool, "nein", true},      {V::Bool, "aaaa", true},       {V::String, "", true},
  };
  for (const auto& f : faelle) {
    SCOPED_TRACE(std::string(f.text) + " as type " + std::to_string(f.typ));
    V v;
    v.name = "test_art";
    v.typ = f.typ;
    v.SetzeText("3");
    const std::string alt = v.text;
    ZeilenSammler sammler;
    v.SetzeText(f.text);
    if (f.passt) {
      EXPECT_TRUE(sammler.zeilen.empty());
      continue;
    }
    EXPECT_EQ(v.text, alt);
    EXPECT_EQ(v.wertInt, 3);
    EXPECT_EQ(v.wertV4[0], 3.0f);
    ASSERT_EQ(sammler.Texte().size(), 1u);
    EXPECT_EQ(sammler.Texte()[0].rfind("!Variable \"test_art\" erwartet ", 0), 0u) << sammler.Texte()[0];
    EXPECT_NE(sammler.Texte()[0].find("der Wert bleibt \"" + alt + "\""), std::string::npos);
  }
  // "set" then reports the refusal only, not an assignment.
  EXPECT_EQ(Fuehre("set sprache aaaa"),
            (Zeilen{">set sprache aaaa", "!Variable \"sprache\" erwartet eine ganze Zahl, nicht \"aaaa\"; der Wert "
                                         "bleibt \"-1\"."}));
  EXPECT_EQ(V::Finde("sprache")->wertInt, -1);
}

TEST_F(Konsole, SchreibgeschuetztNurImDebugModus) {
  bool* debug = const_cast<bool*>(gProtokoll.debugSchalter);
  *debug = false;
  EXPECT_EQ(Fuehre("set t_konfig x").back(), "!Zuweisung unmöglich: Variable \"t_konfig\" ist schreibgeschützt.");
  EXPECT_EQ(V::Finde("t_konfig")->text, "programm.cfg");
  *debug = true;
  auto zeilen = Fuehre("set t_konfig x");
  EXPECT_EQ(zeilen[1], "?Debug-Modus: schreibgeschützte Variable \"t_konfig\" geändert.");
  EXPECT_EQ(V::Finde("t_konfig")->text, "x");
  V::Finde("t_konfig")->SetzeText("programm.cfg");
}

}  // namespace
