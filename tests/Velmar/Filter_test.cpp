// Filter effect files and filter management on the recording device: naming, divisors,
// blending, keywords, parameters, messages, and what a failing pass leaves behind.
#include "FilterVerwaltung.h"
#include "Quelm_Konsole.h"
#include "RenderTestHilfen.h"

#include <tinyxml.h>

#include <cstring>
#include <deque>
#include <tuple>

namespace {

using Spiel::FilterEffekt;
using Spiel::FilterSatz;
using Spiel::FilterVerwaltung;

constexpr const char* kVs =
    "<vertexShader>$rein float4 vpos;\n$rein float2 vuv;\n$raus float4 pos;\n$raus float2 uv;\nfloat4 gPosOffset;\n"
    "$main() {\n  pos = vpos + gPosOffset;\n  uv = vuv;\n}\n</vertexShader>";
constexpr const char* kPs =
    "<pixelShader>$rein float2 uv;\n$raus float4 erg;\nDEF_SAMPLER_2D( bild);\nfloat4 bildGroesse;\nfloat4 gStaerke;\n"
    "$main() {\n  erg = SAMPLE_2D( bild, uv) * bildGroesse * gStaerke;\n}\n</pixelShader>";

std::string Pass(const std::string& attribute, const std::string& inhalt, bool mitShadern = true) {
  return "<filter" + attribute + ">" + inhalt + (mitShadern ? std::string(kVs) + kPs : "") + "</filter>";
}

class Filter : public AufzeichnungsTest {
 protected:
  // Without shader dumps: parallel test programs would share their files.
  void VorDemKontext() override { DebugShader(false); }
  void TearDown() override {
    verwaltung.reset();
    AufzeichnungsTest::TearDown();
    DebugShader(true);
  }
  static void DebugShader(bool an) { Quelm_KonsolenVariable::Finde("debugShader")->SetzeBool(an); }

  std::size_t Objekte() {
    std::size_t n = 0;
    kontext->FuerJedesObjekt([&](Quelm_BasisObjekt*) { ++n; });
    return n;
  }

  // A management over an empty folder; effects are parsed from text into it.
  FilterVerwaltung& Verwaltung() {
    if (!verwaltung) {
      std::filesystem::create_directories(ordner.pfad() / "leer");
      verwaltung = std::make_unique<FilterVerwaltung>(ordner.pfad() / "leer");
    }
    return *verwaltung;
  }

  FilterEffekt Lade(const std::string& inhalt) {
    FilterVerwaltung& v = Verwaltung();
    TiXmlBase::SetCondenseWhiteSpace(false);
    TiXmlDocument d;
    d.Parse(("<effekt>" + inhalt + "</effekt>").c_str(), nullptr, TIXML_ENCODING_UTF8);
    TiXmlBase::SetCondenseWhiteSpace(true);
    EXPECT_FALSE(d.Error()) << d.ErrorDesc();
    sammler->zeilen.clear();
    FilterEffekt e;
    e.LadeAus("test", *d.FirstChildElement(), v);
    return e;
  }

  std::unique_ptr<FilterVerwaltung> verwaltung;
};

struct PassFall {
  std::string xml;
  std::size_t paesse;
  std::string meldung;  // expected log line ("" none)
  std::string ausgabe = "ergebnis";
  std::uint64_t teiler = 1;
  int quelle = -1, ziel = -1;  // blend state factors; -1 none
  std::string danach = "";      // part of the line that follows the message
};

// Each accepted pass holds its program and two shaders (and its blend state); a refused one
// leaves no object behind.
TEST_F(Filter, PaesseAusDemEffekt) {
  Verwaltung();
  const std::size_t vorher = Objekte();
  const std::string kaputt =
      "<pixelShader>$rein float2 uv;\n$raus float4 erg;\n$main() { erg = gibtsnicht; }</pixelShader>";
  const std::string fehlerZiel =
      "!FilterEffekt::LadeAus(...): Fehler beim Laden des 1. Filters in Effekt \"test\" - Laden des Filters gescheitert.";
  const std::string teilerFalsch =
      "!Filter::LadeAus(...): Ungültige Angabe im Attribut \"teiler\" der Ausgabebild-Angabe.";
  const std::vector<PassFall> faelle = {
      {Pass("", "<ausgabe name=\"ergebnis\" teiler=\"4\"/>"), 1, "", "ergebnis", 1},
      {Pass("", "<ausgabe name=\"halb\" teiler=\"3abc\"/>"), 1, "", "halb", 3},
      {Pass("", "<ausgabe name=\"halb\" teiler=\"0\"/>"), 1, teilerFalsch, "halb", 1},
      // A negative divisor is refused, not wrapped to a huge one.
      {Pass("", "<ausgabe name=\"halb\" teiler=\"-2\"/>"), 1, teilerFalsch, "halb", 1},
      {Pass("", "<alphablending quelle=\"alpha\" ziel=\"invalpha\"/>"), 1, "", "ergebnis", 1, 2, 4},
      {Pass("", "<alphablending/>"), 1, "", "ergebnis", 1},
      // Either factor off its default makes a state.
      {Pass("", "<alphablending quelle=\"alpha\"/>"), 1, "", "ergebnis", 1, 2, 0},
      {Pass("", "<alphablending ziel=\"eins\"/>"), 1, "", "ergebnis", 1, 1, 1},
      {Pass("", "<alphablending quelle=\"null\" ziel=\"null\"/>"), 1, "", "ergebnis", 1, 0, 0},
      {Pass("", "<alphatest/>"), 1, "?Filter::LadeAus(...): Element <alphatest> wird nicht mehr unterstützt."},
      {Pass("", "<alphablending quelle=\"Eins\"/>"), 0,
       "!Filter::LadeAus(...): Ungültige AlphaBlending-Angabe im Attribut \"quelle\". Gültige Werte sind \"eins\", "
       "\"null\", \"alpha\" und \"invalpha\"."},
      {Pass("", "<eingabe name=\"ergebnis\" sampler=\"bild\" konstante=\"k\" koords=\"Begrenzen\"/>"), 0,
       "!Filter::LadeAus(...): Ungültige Texkoord-Einstellung in der 1. Eingabe. Gültige Werte sind \"begrenzen\" "
       "und \"wiederholen\"."},
      {Pass("", "<eingabe name=\"a\" sampler=\"s\" konstante=\"k\"/><eingabe name=\"b\" konstante=\"k\"/>"), 0,
       "!Filter::LadeAus(...): 2. Eingabe muss einen Textursampler über \"sampler\" definieren."},
      {Pass("", kVs, false), 0, "!Filter::LadeAus(...): Filter muss ein PixelShader-Skript definieren."},
      {Pass("", "<alphablending quelle=\"alpha\" ziel=\"invalpha\"/>" + std::string(kVs) + kaputt, false), 0,
       "!Filter::LadeAus(...): Fehler beim Kompilieren des PixelShaders.", "ergebnis", 1, -1, -1, "gibtsnicht"},
      {Pass("", "<eingabe name=\"a\" sampler=\"s\"/>"), 0,
       "!Filter::LadeAus(...): 1. Eingabe muss eine Shaderkonstante über \"konstante\" definieren."},
  };
  for (const PassFall& f : faelle) {
    SCOPED_TRACE(f.xml);
    const FilterEffekt e = Lade(f.xml);
    ASSERT_EQ(e.filter.size(), f.paesse) << ::testing::PrintToString(Texte());
    EXPECT_EQ(Objekte(), vorher + 3 * f.paesse + (f.quelle >= 0));
    EXPECT_EQ(f.paesse == 0, Geloggt(fehlerZiel));
    if (f.meldung.empty()) {
      EXPECT_TRUE(Texte().empty()) << ::testing::PrintToString(Texte());
    } else {
      const std::vector<std::string> texte = Texte();
      const auto stelle = std::ranges::find(texte, f.meldung);
      ASSERT_NE(stelle, texte.end()) << ::testing::PrintToString(texte);
      if (!f.danach.empty()) {
        ASSERT_NE(stelle + 1, texte.end());
        EXPECT_TRUE(stelle[1].starts_with("!") && stelle[1].find(f.danach) != std::string::npos) << stelle[1];
      }
    }
    if (f.paesse == 0) continue;
    const Spiel::Filter& p = e.filter[0];
    EXPECT_EQ(p.ausgabe, f.ausgabe);
    EXPECT_EQ(p.teiler, f.teiler);
    ASSERT_EQ(p.alpha != nullptr, f.quelle >= 0);
    if (p.alpha) {
      // On, adding, the same factors for colour and alpha.
      const auto& z = p.alpha->beschr.ziele[0];
      EXPECT_EQ(std::tuple(z.aktiv, z.farbOperation, z.farbQuelle, z.farbZiel, z.alphaOperation, z.alphaQuelle,
                           z.alphaZiel, z.schreibMaske),
                std::tuple(true, 0u, static_cast<std::uint32_t>(f.quelle), static_cast<std::uint32_t>(f.ziel), 0u,
                           static_cast<std::uint32_t>(f.quelle), static_cast<std::uint32_t>(f.ziel), 15u));
    }
  }
}

TEST_F(Filter, NamenEingabenUndOrdinalZaehlenNurAngenommenePaesse) {
  const FilterEffekt e = Lade(
      "<beschreibung>Ein Test</beschreibung>" + Pass("", "<alphablending ziel=\"eins\"/><eingabe name=\"x\"/>") +
      Pass("", "<eingabe name=\"ergebnis\" sampler=\"bild\" konstante=\"bildGroesse\" koords=\"wiederholen\" "
               "filter=\"linear\"/>") +
      Pass(" name=\"zwei\"", "") + Pass("", ""));
  EXPECT_EQ(e.beschreibung, "Ein Test");
  ASSERT_EQ(e.filter.size(), 3u);
  EXPECT_EQ(e.filter[0].name, "Filter1");
  EXPECT_EQ(e.filter[1].name, "zwei");
  EXPECT_EQ(e.filter[2].name, "Filter3");
  EXPECT_EQ(e.filter[0].eingaben[0].adresse, 0u);
  EXPECT_EQ(e.filter[0].eingaben[0].filter, 21u);
  EXPECT_TRUE(Geloggt("!Filter::LadeAus(...): 1. Eingabe muss einen Textursampler über \"sampler\" definieren."));
  // Shader text keeps its lines.
  EXPECT_NE(e.filter[0].vertexQuelle.find("float4 vpos;\n$rein"), std::string::npos);
}

TEST_F(Filter, TexturenUndParameter) {
  const FilterEffekt e = Lade(
      "<textur beschreibung=\"ohne Namen\"/><textur name=\"rauschen\" standard=\"r.png\"/>"
      "<param><konstante wert=\"k0\"/></param>"
      "<param name=\"ohneKonstante\"/>"
      "<param name=\"ohneWert\"><konstante/></param>"
      "<param name=\"staerke\"><beschreibung>wie stark</beschreibung><konstante wert=\"gStaerke\"/>"
      "<standard r=\"0.5\" a=\"viel\" b=\"1e-1x\"/></param>"
      "<param name=\"leer\"><konstante wert=\"gLeer\"/></param>");
  ASSERT_EQ(e.texturen.size(), 1u);
  EXPECT_EQ(e.texturen[0].standard, "r.png");
  ASSERT_EQ(e.parameter.size(), 2u);
  EXPECT_EQ(e.parameter[0].konstante, "gStaerke");
  EXPECT_EQ(e.parameter[0].beschreibung, "wie stark");
  EXPECT_EQ(e.parameter[0].standard, (std::array<float, 4>{0.5f, 0, 0, 1}));
  EXPECT_EQ(e.parameter[1].standard, (std::array<float, 4>{0, 0, 0, 1}));
  for (const char* m :
       {"!FilterEffekt::LadeAus(...): Textureintrag in Filtereffekt \"test\" hat kein \"name\"-Atribut.",
        "!FilterEffekt::LadeAus(...): Parameter in Filtereffekt \"test\" hat kein \"name\"-Atribut.",
        "!FilterEffekt::LadeAus(...): Der 1. Parameter in Filtereffekt \"test\" hat kein \"konstante\"-Element.",
        "!FilterEffekt::LadeAus(...): Der Konstanteneintrag im 1. Parameter des Filtereffekts \"test\" hat kein "
        "\"wert\"-Atribut."})
    EXPECT_TRUE(Geloggt(m)) << m;
}

TEST_F(Filter, OrdnerLaedtNurPassendeDateien) {
  const auto daten = ordner.pfad() / "daten";
  std::filesystem::create_directories(daten / "filter.ordner.xml");
  const std::string gut = "<effekt>" + Pass("", "") + "</effekt>";
  for (const char* name : {"filter.a.xml", "Filter.b.xml", "filter.c.txt", "x.filter.d.xml", "filter.xml"})
    SchreibeDatei(daten / name, gut);
  SchreibeDatei(daten / "filter.kaputt.xml", "<effekt>\n<filter>\n</effekt>\n");
  SchreibeDatei(daten / "filter.leer.xml", "<?xml version=\"1.0\"?>\n");
  SchreibeDatei(daten / "filter.nackt.xml", "<wurzel/>");
  SchreibeDatei(daten / "filter.zweit.xml", "<effekt/>");
  FilterVerwaltung v(daten);
  std::vector<std::string> namen;
  for (const FilterEffekt& e : v.effekte) namen.push_back(e.name);
  std::sort(namen.begin(), namen.end());
  EXPECT_EQ(namen, (std::vector<std::string>{"a", "nackt", "zweit"}));
  EXPECT_EQ(v.FindeEffekt("a")->filter.size(), 1u);
  EXPECT_EQ(v.FindeEffekt("A"), nullptr);
  EXPECT_TRUE(Geloggt("!FilterVerwaltung::InternLadeEffekt(): Datei \"filter.kaputt.xml\" ist nicht lesbar."));
  // The parser's rows count from 1: the mismatched end tag stands in row 3.
  EXPECT_TRUE(Geloggt("!Zeile 3: Error reading end tag.")) << ::testing::PrintToString(Texte());
  EXPECT_TRUE(Geloggt("!FilterVerwaltung::InternLadeEffekt(): Datei \"filter.leer.xml\" ist nicht lesbar."));
  EXPECT_TRUE(
      Geloggt("?FilterVerwaltung::FilterVerwaltung(): Datei \"filter.xml\" nennt keinen Filtereffekt und wird übergangen."));
  EXPECT_THROW(FilterVerwaltung(ordner.pfad() / "fehlt"), std::filesystem::filesystem_error);
}

TEST_F(Filter, SatzErsetztMitWarnungUndWeistNullZurueck) {
  FilterEffekt a, b;
  a.name = "a";
  b.name = "b";
  FilterSatz satz;
  satz.AddFilter(&a, 3);
  satz.AddFilter(&b, 3);
  EXPECT_TRUE(Geloggt("?FilterSatz::AddFilter( \"b\", 3): Bislang unter SequenzID 3 aktiver Filter \"a\" wird ersetzt."));
  satz.AddFilter(nullptr, 3);
  satz.AddFilter(nullptr, 0);
  EXPECT_EQ(satz.effekte.size(), 1u);
  EXPECT_EQ(satz.effekte.at(3), &b);
  EXPECT_EQ(Texte().size(), 3u);
}

// --- The chain -------------------------------------------------------------------------------

struct PassBeschr {
  std::vector<std::string> eingaben;
  std::string ausgabe = "ergebnis";
  std::uint64_t teiler = 1;
};

class Kette : public Filter {
 protected:
  // An effect of passes that read their inputs through "bild" and "bildGroesse".
  const FilterEffekt* Effekt(const std::string& name, const std::vector<PassBeschr>& paesse,
                             const std::string& extra = "") {
    std::string xml = extra;
    for (const PassBeschr& p : paesse) {
      std::string innen;
      for (const std::string& e : p.eingaben)
        innen += "<eingabe name=\"" + e + "\" sampler=\"bild\" konstante=\"bildGroesse\"/>";
      innen += "<ausgabe name=\"" + p.ausgabe + "\" teiler=\"" + std::to_string(p.teiler) + "\"/>";
      xml += Pass("", innen);
    }
    effekte.push_back(Lade(xml));
    effekte.back().name = name;
    return &effekte.back();
  }

  // The chain in short: its images as name/kind/divisor, then per step "inputs>output".
  std::string Beschrieben() const {
    std::string text;
    for (const auto& b : satz.bilder) text += b.name + "/" + std::to_string(b.art) + "/" + std::to_string(b.teiler) + " ";
    text += "|";
    for (const auto& schritt : satz.schritte) {
      for (std::size_t i = 0; i < schritt.eingaben.size(); ++i)
        text += (i ? "," : " ") + std::to_string(schritt.eingaben[i]);
      text += ">" + std::to_string(schritt.ausgabe);
    }
    return text;
  }
  void Berechne() {
    sammler->zeilen.clear();
    FilterVerwaltung::BerechneFilterkette(satz);
  }

  std::deque<FilterEffekt> effekte;
  FilterSatz satz;
};

TEST_F(Kette, Tabellen) {
  const PassBeschr liestErgebnis{{"ergebnis"}};
  const std::string fest = "ergebnis/1/1 hdr_ref/3/1 ";
  const struct {
    std::vector<PassBeschr> paesse;
    std::string kette, meldung;
  } faelle[] = {
      {{}, fest + "|", ""},
      {{liestErgebnis}, fest + "| 0>-1", ""},
      {{liestErgebnis, liestErgebnis}, fest + "quiff/0/1 | 0>2 2>-1", ""},
      {{liestErgebnis, liestErgebnis, liestErgebnis}, fest + "quiff/0/1 quoff/0/1 | 0>2 2>3 3>-1", ""},
      {{liestErgebnis, liestErgebnis, liestErgebnis, liestErgebnis}, fest + "quiff/0/1 quoff/0/1 | 0>2 2>3 3>2 2>-1",
       ""},
      // Drawn over what the last writer of "ergebnis" drew.
      {{liestErgebnis, {{"hdr_ref"}}, liestErgebnis}, fest + "quiff/0/1 | 0>2 1>2 2>-1", ""},
      {{{{"ergebnis"}, "halb", 2}, {{"halb"}, "halb", 4}, {{"halb", "ergebnis"}}}, fest + "halb/0/2 | 0>2 2>2 2,0>-1",
       "!FilterEffekt \"e\", Filter \"Filter2\" definiert Ausgabebild mit konfliktbehafteten Parametern."},
      {{{{"ergebnis", "fehlt"}}}, fest + "| 0,0>-1",
       "!FilterVerwaltung::BerechneFilterkette(): Das 2. Eingabebild \"fehlt\" des Filters \"Filter1\" im Effekt "
       "\"e\" konnte nicht zugeordnet werden. Rohbild der Engine wird verwendet."},
  };
  for (const auto& f : faelle) {
    SCOPED_TRACE(f.kette);
    satz.effekte.clear();
    if (!f.paesse.empty()) satz.AddFilter(Effekt("e", f.paesse), 0);
    Berechne();
    EXPECT_EQ(Beschrieben(), f.kette);
    if (f.meldung.empty())
      EXPECT_TRUE(Texte().empty()) << ::testing::PrintToString(Texte());
    else
      EXPECT_EQ(Texte(), std::vector<std::string>{f.meldung});
  }
}

TEST_F(Kette, MehrereEffekteTeilenParameterUndTexturen) {
  const std::string param = "<param name=\"staerke\"><konstante wert=\"gStaerke\"/><standard r=\"%\"/></param>";
  auto mitWert = [&](const char* w) { return std::string(param).replace(param.find('%'), 1, w); };
  satz.AddFilter(Effekt("spaet", {{{"ergebnis"}}}, mitWert("2") + "<textur name=\"quiff\"/>"), 5);
  satz.AddFilter(Effekt("frueh", {{{"ergebnis", "rauschen"}}}, mitWert("1") + "<textur name=\"rauschen\"/>"), -1);
  satz.AddFilter(Effekt("leer", {}, mitWert("3")), 2);
  satz.effekte[7] = nullptr;  // put past AddFilter's refusal: skipped
  Berechne();
  EXPECT_EQ(Beschrieben(), "ergebnis/1/1 hdr_ref/3/1 rauschen/2/1 quiff/2/1 quiff/0/1 | 0,2>4 4>-1");
  ASSERT_EQ(satz.parameterWerte.size(), 1u);
  EXPECT_EQ(satz.parameterWerte[0].wert[0], 1.0f);
  EXPECT_EQ(satz.schritte[1].parameter, std::vector<std::int64_t>{0});
  EXPECT_TRUE(Texte().empty()) << ::testing::PrintToString(Texte());

  // Declared textures take their names before any output does.
  satz.effekte.clear();
  satz.AddFilter(Effekt("a", {{{"ergebnis"}, "zwischen"}}), 0);
  satz.AddFilter(Effekt("b", {{{"zwischen"}}}, "<textur name=\"zwischen\"/>"), 1);
  satz.AddFilter(Effekt("c", {{{"ergebnis"}, "zwischen"}}, "<textur name=\"hdr_ref\"/>"), 2);
  Berechne();
  EXPECT_EQ(Texte(), (std::vector<std::string>{
                         "!Filtereffekt \"c\" definiert Eingabetextur \"hdr_ref\", die vorher schon Renderziel war.",
                         "!FilterEffekt \"a\", Filter \"Filter1\" definiert Ausgabebild mit konfliktbehafteten Parametern.",
                         "!FilterEffekt \"c\", Filter \"Filter1\" definiert Ausgabebild mit konfliktbehafteten Parametern."}));
}

// --- Drawing the chain -----------------------------------------------------------------------

class KetteZeichnen : public Kette {
 protected:
  // Into a large target, so that the output's size and place are free.
  void Zeichne(std::uint64_t breite, std::uint64_t hoehe, std::uint64_t x = 10, std::uint64_t y = 20) {
    if (!szene) {
      szene = kontext->ErzeugeTextur(1280, 768, 1, 2560);
      const std::string erzeugt = Aufrufe("CreateTexture").back();
      bindeSzene = "SetTexture(0, " + erzeugt.substr(erzeugt.find("-> ") + 3) + ") = D3D_OK";
      ziel = kontext->ErzeugeRenderziel(Quelm_RenderzielBeschr(kontext->ErzeugeTextur(2048, 2048, 1, 2560), nullptr));
    }
    steuerung->LeereProtokoll();
    sammler->zeilen.clear();
    Verwaltung().ZeichneFilterkette(satz, szene, {ziel, x, y, breite, hoehe}, Verwaltung().GibRessourcen());
  }
  // Width and height of the textures created.
  std::vector<std::string> Erzeugt() const {
    std::vector<std::string> g;
    for (const auto& a : Aufrufe("CreateTexture")) g.push_back(a.substr(14, a.find(", 1, 0x1") - 14));
    return g;
  }
  void TearDown() override {
    satz.LeereKette();
    if (ziel) {
      kontext->GibFrei(ziel->beschr.farbBuffer[0]);
      kontext->GibFrei(ziel);
    }
    kontext->GibFrei(szene);
    Kette::TearDown();
  }
  Quelm_Textur* szene = nullptr;
  Quelm_Renderziel* ziel = nullptr;
  std::string bindeSzene;  // the log line that binds the scene image
};

TEST_F(KetteZeichnen, BildgroessenBereicheUndKonstanten) {
  satz.AddFilter(Effekt("e", {{{"ergebnis"}, "viertel", 4}, {{"viertel"}}}), 0);
  Berechne();
  Zeichne(1280, 768);
  EXPECT_EQ(Erzeugt(), std::vector<std::string>{"320, 192"});
  // The chain image's viewport is the whole target, which binding it sets already.
  EXPECT_EQ(Aufrufe("SetViewport"), std::vector<std::string>{"SetViewport({10, 20, 1280, 768, 0, 1}) = D3D_OK"});
  // Per pass: "gPosOffset" of its viewport, then the size ratios of its input.
  EXPECT_EQ(Aufrufe("SetVertexShaderConstantF"),
            (std::vector<std::string>{"SetVertexShaderConstantF(0, 1, {-0.0015625 0.00260417 0 0}) = D3D_OK",
                                      "SetVertexShaderConstantF(0, 1, {-0.000390625 0.000651042 0 0}) = D3D_OK"}));
  EXPECT_EQ(Aufrufe("SetPixelShaderConstantF"),
            (std::vector<std::string>{"SetPixelShaderConstantF(0, 1, {1 1 0.00078125 0.00130208}) = D3D_OK",
                                      "SetPixelShaderConstantF(0, 1, {1 1 0.003125 0.00520833}) = D3D_OK"}));
  EXPECT_EQ(Anzahl("DrawIndexedPrimitive"), 2u);

  Zeichne(1280, 768);
  EXPECT_EQ(Anzahl("CreateTexture"), 0u);
  Zeichne(1920, 1080, 0, 0);
  EXPECT_EQ(Erzeugt(), std::vector<std::string>{"480, 270"});
}

TEST_F(KetteZeichnen, TeilerUeberDerGroesseGibtEinPixel) {
  satz.AddFilter(Effekt("e", {{{"ergebnis"}, "klein", 5000}, {{"klein"}}}), 0);
  Berechne();
  Zeichne(1280, 768);
  EXPECT_EQ(Erzeugt(), std::vector<std::string>{"1, 1"});
  // 1280 / 5000 is 0: the ratio is 0, not a division by zero.
  EXPECT_EQ(Aufrufe("SetPixelShaderConstantF").back(), "SetPixelShaderConstantF(0, 1, {0 0 1 1}) = D3D_OK");
}

// 1280 / 3 and 768 / 5 leave a rest: the image is rounded down, and what reads it is told
// that it fills it.
TEST_F(KetteZeichnen, TeilerDerNichtAufgeht) {
  satz.AddFilter(Effekt("e", {{{"ergebnis"}, "drittel", 3}, {{"drittel"}, "fuenftel", 5}, {{"fuenftel"}}}), 0);
  Berechne();
  Zeichne(1280, 768);
  EXPECT_EQ(Erzeugt(), (std::vector<std::string>{"426, 256", "256, 153"}));
  EXPECT_EQ(Aufrufe("SetVertexShaderConstantF"),
            (std::vector<std::string>{"SetVertexShaderConstantF(0, 1, {-0.00117371 0.00195312 0 0}) = D3D_OK",
                                      "SetVertexShaderConstantF(0, 1, {-0.00195312 0.00326797 0 0}) = D3D_OK",
                                      "SetVertexShaderConstantF(0, 1, {-0.000390625 0.000651042 0 0}) = D3D_OK"}));
  EXPECT_EQ(Aufrufe("SetPixelShaderConstantF"),
            (std::vector<std::string>{"SetPixelShaderConstantF(0, 1, {1 1 0.00078125 0.00130208}) = D3D_OK",
                                      "SetPixelShaderConstantF(0, 1, {1 1 0.00234742 0.00390625}) = D3D_OK",
                                      "SetPixelShaderConstantF(0, 1, {1 1 0.00390625 0.00653595}) = D3D_OK"}));
}

// A parameter's value reaches the constant it names, shared by name across effects; the
// quad the passes draw covers the screen with v running downwards.
TEST_F(KetteZeichnen, ParameterUndQuad) {
  const std::string param = "<param name=\"staerke\"><konstante wert=\"gStaerke\"/><standard r=\"0.5\" g=\"0.25\"/></param>";
  satz.AddFilter(Effekt("a", {{{"ergebnis"}}}, param), 0);
  satz.AddFilter(Effekt("b", {{{"ergebnis"}}}, param + "<param name=\"x\"><konstante wert=\"gFehlt\"/></param>"), 1);
  Berechne();
  Zeichne(1280, 768);
  const std::vector<std::string> konstanten = Aufrufe("SetPixelShaderConstantF");
  ASSERT_EQ(konstanten.size(), 2u);
  for (const std::string& k : konstanten) EXPECT_NE(k.find("{0.5 0.25 0 1}"), std::string::npos) << k;

  const auto* quad = reinterpret_cast<const float*>(Verwaltung().quadVertexe->kopie.get());
  EXPECT_EQ(std::vector<float>(quad, quad + 24),
            (std::vector<float>{-1, -1, 0.1f, 1, 0, 1, 1, -1, 0.1f, 1, 1, 1, -1, 1, 0.1f, 1, 0, 0, 1, 1, 0.1f, 1, 1, 0}));
}

TEST_F(KetteZeichnen, LeereKetteKopiertDasBild) {
  Berechne();
  Zeichne(1280, 768);
  EXPECT_EQ(Anzahl("DrawIndexedPrimitive"), 1u);
  EXPECT_EQ(Aufrufe("SetTexture"), std::vector<std::string>{bindeSzene});
  EXPECT_EQ(Aufrufe("SetViewport"), std::vector<std::string>{"SetViewport({10, 20, 1280, 768, 0, 1}) = D3D_OK"});
}

// Its sampler and size constant are cleared: the pass must not read the image bound before.
TEST_F(KetteZeichnen, EingabeOhneTexturWirdNichtGebundenUndEinmalGemeldet) {
  satz.AddFilter(Effekt("e", {{{"ergebnis", "rauschen", "hdr_ref"}}}, "<textur name=\"rauschen\"/>"), 0);
  Berechne();
  Zeichne(1280, 768);
  // All three share one sampler and one constant: what the last input leaves reaches the draw.
  EXPECT_EQ(Aufrufe("SetTexture"), (std::vector<std::string>{bindeSzene, "SetTexture(0, null) = D3D_OK"}));
  EXPECT_EQ(Aufrufe("SetPixelShaderConstantF"),
            std::vector<std::string>{"SetPixelShaderConstantF(0, 1, {0 0 0 0}) = D3D_OK"});
  EXPECT_EQ(Texte(), (std::vector<std::string>{
                         "?FilterVerwaltung::ZeichneFilterkette(): Eingabebild \"rauschen\" des Filters \"Filter1\" hat "
                         "keine Textur und wird nicht gebunden.",
                         "?FilterVerwaltung::ZeichneFilterkette(): Eingabebild \"hdr_ref\" des Filters \"Filter1\" hat "
                         "keine Textur und wird nicht gebunden."}));
  Zeichne(1280, 768);
  EXPECT_TRUE(Texte().empty());
}

// Per pass its own blend state, or none; per input the sampler of its address and filter
// mode.
TEST_F(KetteZeichnen, MischungUndSamplerJePass) {
  auto pass = [](const std::string& eingabe, const std::string& mischung) {
    return Pass("", "<eingabe name=\"ergebnis\" sampler=\"bild\" konstante=\"bildGroesse\"" + eingabe + "/>" + mischung);
  };
  effekte.push_back(Lade(pass("", "<alphablending quelle=\"alpha\" ziel=\"invalpha\"/>") +
                         pass(" koords=\"wiederholen\"", "") + pass(" filter=\"linear\"", "") +
                         pass(" koords=\"wiederholen\" filter=\"linear\"", "<alphablending ziel=\"eins\"/>")));
  satz.AddFilter(&effekte.back(), 0);
  Berechne();
  Zeichne(1280, 768);
  // The state changes before each draw, as the device sees them (unchanged ones are not sent).
  std::vector<std::string> jeZeichnung(1);
  for (const std::string& a : steuerung->Zeilen()) {
    if (a.starts_with("DrawIndexedPrimitive")) jeZeichnung.emplace_back();
    for (const char* name : {"D3DRS_ALPHABLENDENABLE", "D3DRS_SRCBLEND", "D3DRS_DESTBLEND", "D3DSAMP_ADDRESSU",
                             "D3DSAMP_MINFILTER"})
      if (const auto stelle = a.find(std::string(name) + ", "); stelle != std::string::npos)
        jeZeichnung.back() += std::string(name).substr(std::string(name).find('_') + 1) + "=" + a.substr(stelle + std::strlen(name) + 2, 1) + " ";
  }
  // Blend 1 on, SRCALPHA (5), INVSRCALPHA (6); address 3 clamp, 1 wrap; filter 1 point, 2 linear.
  EXPECT_EQ(jeZeichnung, (std::vector<std::string>{"ALPHABLENDENABLE=1 SRCBLEND=5 DESTBLEND=6 ADDRESSU=3 MINFILTER=1 ",
                                                     "ALPHABLENDENABLE=0 ADDRESSU=1 ", "ADDRESSU=3 MINFILTER=2 ",
                                                     "ALPHABLENDENABLE=1 SRCBLEND=2 DESTBLEND=2 ADDRESSU=1 ", ""}));
}

}  // namespace
