#include "ProtokollSammler.h"
#include "Quelm_Konfig.h"
#include "Quelm_Konsole.h"

#include <gtest/gtest.h>

#include <optional>

namespace {

// First in the file, so that no earlier test has remembered a path in this process.
TEST(KonfigOhnePfad, SpeichernVorDemLadenSchreibtNichts) {
  TempOrdner ordner;
  AktiviereProtokoll(ordner.pfad());
  ZeilenSammler sammler;
  const auto vorher = std::filesystem::current_path();
  std::filesystem::current_path(ordner.pfad());
  EXPECT_FALSE(Quelm_Konfig::Speichere());
  std::filesystem::current_path(vorher);
  EXPECT_TRUE(sammler.zeilen.empty());  // no attempt on an empty path, so no failure either
  EXPECT_TRUE(Quelm_Konfig::SpeicherFehler().empty());
  for (const auto& eintrag : std::filesystem::directory_iterator(ordner.pfad()))
    EXPECT_EQ(eintrag.path().filename(), "tool.log");
}

using V = Quelm_KonsolenVariable;
V kText("k_text", V::String, V::Dauerhaft, "a&b \"c\" <d> 'e'");
V kZahl("k_zahl", V::Float, V::Dauerhaft, "0.1");
V kFluechtig("k_fluechtig", V::Int, 0, std::int32_t{3});

class Konfig : public ::testing::Test {
 protected:
  void SetUp() override {
    kText.SetzeText("a&b \"c\" <d> 'e'");
    kZahl.SetzeText("0.1");
    V::Finde("sprache")->SetzeInt(-1);
    V::Finde("t_logfile")->SetzeBool(true);
    AktiviereProtokoll(ordner.pfad());
  }
  std::filesystem::path Datei() const { return ordner.pfad() / "tool.cfg"; }
  TempOrdner ordner;
};

TEST_F(Konfig, SpeichernSchreibtDieGespeichertenVariablenGeordnetUndDieRundreiseIstByteGleich) {
  Quelm_Konfig::Lade(ordner.pfad(), "tool.cfg");
  SchreibeDatei(ordner.pfad() / "tool.cfg.neu", "fremd");  // another process's temporary file
  ASSERT_TRUE(Quelm_Konfig::Speichere());
  const std::string erwartet =
      "<?xml version=\"1.0\" ?>\n"
      "<config>\n"
      "    <var name=\"k_text\" wert='a&amp;b &quot;c&quot; &lt;d&gt; &apos;e&apos;' />\n"
      "    <var name=\"k_zahl\" wert=\"0.100000001\" />\n"
      "    <var name=\"sprache\" wert=\"-1\" />\n"
      "    <var name=\"t_debug\" wert=\"ja\" />\n"
      "    <var name=\"t_logfile\" wert=\"ja\" />\n"
      "</config>\n";
  EXPECT_EQ(LeseDatei(Datei()), erwartet);

  kText.SetzeText("anders");
  Quelm_Konfig::Lade(ordner.pfad(), "tool.cfg");
  EXPECT_EQ(kText.text, "a&b \"c\" <d> 'e'");
  ASSERT_TRUE(Quelm_Konfig::Speichere());
  EXPECT_EQ(LeseDatei(Datei()), erwartet);
  EXPECT_EQ(LeseDatei(ordner.pfad() / "tool.cfg.neu"), "fremd");
  for (const auto& eintrag : std::filesystem::directory_iterator(ordner.pfad()))
    EXPECT_FALSE(eintrag.path().filename().string().starts_with("tool.cfg.neu.")) << eintrag.path();
}

TEST_F(Konfig, UnbekannteNamenUndUnvollstaendigeElementeWerdenUebersprungen) {
  SchreibeDatei(Datei(),
                "<?xml version=\"1.0\" ?>\n<wurzel>\n"
                "  <var name=\"gibtsnicht\" wert=\"1\" />\n"
                "  <var wert=\"1\" />\n"
                "  <var name=\"k_fluechtig\" />\n"
                "  <anders name=\"sprache\" wert=\"9\" />\n"
                "  <var name=\"t_logfile\" wert=\"nein\" />\n"
                "  <var name=\"sprache\" wert=\"2\" />\n"
                "  <anders name=\"k_fluechtig\" wert=\"9\" />\n"
                "</wurzel>\n");
  ZeilenSammler sammler;
  Quelm_Konfig::Lade(ordner.pfad(), "tool.cfg");
  EXPECT_TRUE(sammler.zeilen.empty());
  EXPECT_EQ(V::Finde("sprache")->wertInt, 2);
  EXPECT_FALSE(V::Finde("t_logfile")->wertBool);  // read-only, still set from the file
  EXPECT_EQ(kFluechtig.wertInt, 3);
}

TEST_F(Konfig, EinWertDerNichtZurArtPasstLaesstDenStandardUndWirdGemeldet) {
  SchreibeDatei(Datei(),
                "<config>\n  <var name=\"sprache\" wert=\"1e9\" />\n  <var name=\"k_zahl\" wert=\"0.5\" />\n</config>\n");
  ZeilenSammler sammler;
  Quelm_Konfig::Lade(ordner.pfad(), "tool.cfg");
  EXPECT_EQ(V::Finde("sprache")->wertInt, -1);
  EXPECT_EQ(kZahl.wertFloat, 0.5f);
  ASSERT_EQ(sammler.Texte().size(), 1u);
  EXPECT_NE(sammler.Texte()[0].find("\"sprache\" erwartet eine ganze Zahl, nicht \"1e9\""), std::string::npos);
}

TEST_F(Konfig, FehlendeUndKaputteDateienWerdenGemeldetUndAufbewahrt) {
  std::string tief;  // as deep as it takes to overflow the parser's stack
  for (int i = 0; i < 50000; ++i) tief += "<a>";
  for (int i = 0; i < 50000; ++i) tief += "</a>";
  struct Fall {
    const char* name;
    std::optional<std::string> inhalt;  // none: no file
    const char* meldung;
    const char* schaden;  // part of the damage line; null: none
  };
  const char* keine = "?Keine Konfig-Datei gefunden, benutze Standardwerte.";
  const char* fehlerhaft = "?Konfig-Datei fehlerhaft, benutze Standardwerte.";
  const Fall faelle[] = {
      {"fehlt", std::nullopt, keine, nullptr},
      {"abgeschnitten", "<config><var name=\"sprache\" wert=\"5\"", keine, "Zeile 1"},
      {"leer", "", keine, "beschädigt ("},
      {"zufall", std::string("\x9c\x01\xff<\x00\x13z", 7), keine, "beschädigt ("},
      {"tief", tief, keine, "zu tief verschachtelt"},
      {"ohne var", "<config><anders /></config>", fehlerhaft, "kein Element \"var\""},
  };
  for (const Fall& fall : faelle) {
    SCOPED_TRACE(fall.name);
    std::filesystem::remove(Datei());
    std::filesystem::remove(ordner.pfad() / "tool.cfg.defekt");
    if (fall.inhalt) SchreibeDatei(Datei(), *fall.inhalt);
    ZeilenSammler sammler;
    Quelm_Konfig::Lade(ordner.pfad(), "tool.cfg");
    const auto texte = sammler.Texte();
    ASSERT_EQ(texte.size(), fall.schaden ? 2u : 1u);
    EXPECT_EQ(texte[0], fall.meldung);
    EXPECT_EQ(V::Finde("sprache")->wertInt, -1);
    if (!fall.schaden) continue;
    EXPECT_NE(texte[1].find(fall.schaden), std::string::npos) << texte[1];
    EXPECT_NE(texte[1].find("aufbewahrt als \"tool.cfg.defekt\""), std::string::npos) << texte[1];
    // The save writes defaults; the damaged file stays as it was.
    ASSERT_TRUE(Quelm_Konfig::Speichere());
    EXPECT_EQ(LeseDatei(ordner.pfad() / "tool.cfg.defekt"), *fall.inhalt);
  }
}

TEST_F(Konfig, MisslungenesSpeichernWirdGemeldetUndLaesstNichtsZurueck) {
  // A folder named like the file: the rename fails. A missing data folder is left to the start tests.
  Quelm_Konfig::Lade(ordner.pfad(), "tool.cfg");
  std::filesystem::create_directory(Datei());
  ZeilenSammler sammler;
  EXPECT_FALSE(Quelm_Konfig::Speichere());
  EXPECT_NE(Quelm_Konfig::SpeicherFehler().find(Datei().string()), std::string::npos);
  EXPECT_EQ(sammler.Texte(), std::vector<std::string>{"!" + Quelm_Konfig::SpeicherFehler() + "."});
  for (const auto& eintrag : std::filesystem::directory_iterator(ordner.pfad()))
    EXPECT_FALSE(eintrag.path().filename().string().starts_with("tool.cfg.neu")) << eintrag.path();
}

}  // namespace
