#include "Quelm_Konfig.h"
#include "Quelm_Konsole.h"
#include "TestHilfen.h"

#include <gtest/gtest.h>

namespace {

using V = Quelm_KonsolenVariable;
V kText("k_text", V::String, V::Dauerhaft, "a&b \"c\" <d> 'e'");
V kZahl("k_zahl", V::Float, V::Dauerhaft, "0.1");
V kFluechtig("k_fluechtig", V::Int, 0, std::int32_t{3});

class Konfig : public ::testing::Test {
 protected:
  void SetUp() override {
    AktiviereProtokoll(ordner.pfad());
    kText.SetzeText("a&b \"c\" <d> 'e'");
    V::Finde("sprache")->SetzeInt(-1);
    V::Finde("t_logfile")->SetzeBool(true);
  }
  std::filesystem::path Datei() const { return ordner.pfad() / "tool.cfg"; }
  TempOrdner ordner;
};

TEST_F(Konfig, SpeichernSchreibtDieGespeichertenVariablenGeordnet) {
  Quelm_Konfig::Lade(ordner.pfad(), "tool.cfg");
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
}

TEST_F(Konfig, RundreiseIstByteGleichUndBehaeltSonderzeichen) {
  Quelm_Konfig::Lade(ordner.pfad(), "tool.cfg");
  ASSERT_TRUE(Quelm_Konfig::Speichere());
  const std::string erste = LeseDatei(Datei());
  kText.SetzeText("anders");
  Quelm_Konfig::Lade(ordner.pfad(), "tool.cfg");
  EXPECT_EQ(kText.text, "a&b \"c\" <d> 'e'");
  ASSERT_TRUE(Quelm_Konfig::Speichere());
  EXPECT_EQ(LeseDatei(Datei()), erste);
  EXPECT_FALSE(std::filesystem::exists(ordner.pfad() / "tool.cfg.neu"));
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
                "</wurzel>\n");
  ZeilenSammler sammler;
  Quelm_Konfig::Lade(ordner.pfad(), "tool.cfg");
  EXPECT_TRUE(sammler.zeilen.empty());
  EXPECT_EQ(V::Finde("sprache")->wertInt, 2);
  EXPECT_FALSE(V::Finde("t_logfile")->wertBool);  // read-only, still set from the file
  EXPECT_EQ(kFluechtig.wertInt, 3);
}

TEST_F(Konfig, FehlendeUndKaputteDateienWerdenGemeldet) {
  ZeilenSammler sammler;
  Quelm_Konfig::Lade(ordner.pfad(), "fehlt.cfg");
  SchreibeDatei(Datei(), "<config><var name=\"sprache\" wert=\"5\"");
  Quelm_Konfig::Lade(ordner.pfad(), "tool.cfg");
  SchreibeDatei(Datei(), "<config><anders /></config>");
  Quelm_Konfig::Lade(ordner.pfad(), "tool.cfg");
  EXPECT_EQ(sammler.Texte(), (std::vector<std::string>{"?Keine Konfig-Datei gefunden, benutze Standardwerte.",
                                                       "?Keine Konfig-Datei gefunden, benutze Standardwerte.",
                                                       "?Konfig-Datei fehlerhaft, benutze Standardwerte."}));
  EXPECT_EQ(V::Finde("sprache")->wertInt, -1);
}

TEST_F(Konfig, MisslungenesSpeichernLaesstDieAlteDateiStehen) {
  Quelm_Konfig::Lade(ordner.pfad(), "tool.cfg");
  ASSERT_TRUE(Quelm_Konfig::Speichere());
  const std::string alt = LeseDatei(Datei());
  // A folder where the temporary file would go makes the save fail.
  std::filesystem::create_directory(ordner.pfad() / "tool.cfg.neu");
  kText.SetzeText("neu");
  EXPECT_FALSE(Quelm_Konfig::Speichere());
  EXPECT_EQ(LeseDatei(Datei()), alt);
}

TEST(KonfigOhnePfad, SpeichernVorDemLadenSchreibtNichts) { EXPECT_FALSE(Quelm_Konfig::Speichere()); }

}  // namespace
