#include "ProtokollSammler.h"
#include "Quelm_Audio.h"
#include "TestKlang.h"

namespace {

using Texte = std::vector<std::string>;

struct Fall {
  const char* name;
  void (*vorbereiten)(TestKlang&);
  Texte zeilen;
  bool systemBleibt;  // the handle is still set after start-up
};

class AudioStart : public ProtokollTest, public ::testing::WithParamInterface<Fall> {};

TEST_P(AudioStart, ZeilenUndZustand) {
  TestKlang klang;
  GetParam().vorbereiten(klang);
  Quelm_Audio audio;
  EXPECT_EQ(sammler->Texte(), GetParam().zeilen);
  EXPECT_EQ(audio.system != nullptr, GetParam().systemBleibt);
}

const Texte kLeer;

INSTANTIATE_TEST_SUITE_P(
    Fehlerwege, AudioStart,
    ::testing::Values(
        Fall{"Erstellen", [](TestKlang& k) { k.create = FMOD_ERR_MEMORY; },
             {"!!Quelm_Audio::Quelm_Audio(): FMOD-Interface konnte nicht erstellt werden.",
              "!  Fehler 4: Not enough memory or resources."},
             false},
        Fall{"Version", [](TestKlang& k) { k.getVersion = FMOD_ERR_INTERNAL; },
             {"!!Quelm_Audio::Quelm_Audio(): Versionsabfrage gescheitert.", "!  Fehler 7: An internal error occurred.",
              "Audio wird geschlossen."},
             false},
        Fall{"AlteVersion", [](TestKlang& k) { k.version = 0x44449; },
             {"!!Quelm_Audio::Quelm_Audio(): Falsche FMOD-Version liegt neben der Exe.", "!  Fehler 0: No errors.",
              "Audio wird geschlossen."},
             false},
        Fall{"TreiberZahl", [](TestKlang& k) { k.getNumDrivers = FMOD_ERR_OUTPUT_ENUMERATION; },
             {"!Quelm_Audio::Quelm_Audio(): Verfügbare Audio-Treiber konnten nicht ermittelt werden",
              "!  Fehler 5: Error enumerating the available driver list.", "Audio wird geschlossen."},
             false},
        Fall{"KeinTreiber", [](TestKlang&) {}, {"!Quelm_Audio::Quelm_Audio(): Keine Audio-Treiber verfügbar."}, true},
        Fall{"NichtEinmalKeinSound", [](TestKlang& k) { k.setOutput = FMOD_ERR_OUTPUT_INIT; },
             {"!Quelm_Audio::Quelm_Audio(): Keine Audio-Treiber verfügbar.",
              "! Quelm_Audio::Quelm_Audio(): Nicht einmal 'kein Sound' konnte initialisiert werden."},
             true},
        Fall{"ZweiTreiber", [](TestKlang& k) { k.treiber = {{"a"}, {"b"}}; }, kLeer, true}),
    [](const auto& info) { return std::string(info.param.name); });

class AudioTest : public ProtokollTest {};

TEST_F(AudioTest, TreiberOhneFaehigkeitenBleibtMitOkFalschUndStereo) {
  TestKlang klang;
  TestKlang::Treiber gut{"hw:0", 7, 44100, FMOD_SPEAKERMODE_5POINT1};
  TestKlang::Treiber kaputt{"hw:1", 3, 96000, FMOD_SPEAKERMODE_QUAD, FMOD_OK, FMOD_ERR_OUTPUT_INIT};
  TestKlang::Treiber ohneName{"hw:2", 0, 0, FMOD_SPEAKERMODE_MONO, FMOD_ERR_INVALID_PARAM};
  klang.treiber = {gut, kaputt, ohneName};
  Quelm_Audio audio;
  ASSERT_EQ(audio.treiber.size(), 3u);
  EXPECT_TRUE(audio.treiber[0].ok);
  EXPECT_EQ(audio.treiber[0].name, "hw:0");
  EXPECT_EQ(audio.treiber[0].ausgabeRate, 44100);
  EXPECT_EQ(audio.treiber[0].lautsprecher, FMOD_SPEAKERMODE_5POINT1);
  for (int i : {1, 2}) {
    EXPECT_FALSE(audio.treiber[i].ok);
    EXPECT_EQ(audio.treiber[i].lautsprecher, FMOD_SPEAKERMODE_STEREO);
  }
  EXPECT_EQ(sammler->Texte(), (Texte{"!Quelm_Audio::Quelm_Audio(): Fähigkeiten-Prüfung bei Treiber 1 fehlgeschlagen",
                                     "!  Fehler 6: Error initializing output device.",
                                     "!Quelm_Audio::Quelm_Audio(): Fähigkeiten-Prüfung bei Treiber 2 fehlgeschlagen",
                                     "!  Fehler 2: An invalid parameter was passed to this function."}));
}

TEST_F(AudioTest, BeendenLeertDieTabellenUndMeldetJedenFehler) {
  TestKlang klang;
  klang.treiber = {{"a"}};
  klang.soundRelease = FMOD_ERR_INVALID_HANDLE;
  klang.dspRemove = FMOD_ERR_INTERNAL;
  klang.dspRelease = FMOD_ERR_MEMORY;
  klang.release = FMOD_ERR_INTERNAL;
  Quelm_Audio audio;
  audio.samples[3] = std::make_unique<Quelm_AudioSample>();
  audio.samples[3]->sound = TestKlangSound();
  audio.sampleBelegt.set(3);
  audio.kanaele[5] = std::make_unique<Quelm_AudioKanal>();
  audio.kanaele[5]->echo = TestKlangDsp();
  audio.kanalBelegt.set(5);
  audio.Beenden();
  EXPECT_EQ(sammler->Texte(), (Texte{"Audio wird geschlossen.",
                                     "!Quelm_AudioSample::~Quelm_AudioSample(): Freigeben des Audio-Samples fehlgeschlagen",
                                     "!  Fehler 3: An invalid object handle was used.",
                                     "!Quelm_AudioKanal::~Quelm_AudioKanal(): Entfernen des Echo-DSPs gescheitert.",
                                     "!  Fehler 7: An internal error occurred.",
                                     "!Quelm_AudioKanal::~Quelm_AudioKanal(): Freigeben des Echo-DSPs gescheitert.",
                                     "!  Fehler 4: Not enough memory or resources.",
                                     "!Quelm_Audio::Beenden(): Schliessen von FMOD schlug fehl.",
                                     "!  Fehler 7: An internal error occurred."}));
  EXPECT_TRUE(audio.sampleBelegt.none() && audio.kanalBelegt.none() && !audio.samples[3] && !audio.kanaele[5]);
  sammler->zeilen.clear();
  audio.Beenden();  // only while the handle is set
  EXPECT_TRUE(sammler->zeilen.empty());
}

TEST_F(AudioTest, OhneSoundkarteFindetDieEchteSchichtKeinenTreiber) {
  Quelm_Audio audio;
  EXPECT_TRUE(audio.treiber.empty());
  EXPECT_EQ(sammler->Texte(), (Texte{"!Quelm_Audio::Quelm_Audio(): Keine Audio-Treiber verfügbar."}));
}

}  // namespace
