#include "Quelm_Audio.h"

#include "Quelm_InitReihenfolge.h"
#include "Quelm_Protokolliere.h"

QUELM_INIT(QUELM_SLOT_AUDIO) Quelm_Audio gAudio;

namespace {
void MeldeErgebnis(FMOD_RESULT ergebnis) {
  Protokolliere("!  Fehler %d: %s", static_cast<int>(ergebnis), FMOD_ErrorString(ergebnis));
}
}  // namespace

Quelm_AudioSample::~Quelm_AudioSample() {
  if (!sound) return;
  if (FMOD_RESULT r = FMOD_Sound_release(sound)) {
    Protokolliere("!Quelm_AudioSample::~Quelm_AudioSample(): Freigeben des Audio-Samples fehlgeschlagen");
    MeldeErgebnis(r);
  }
}

Quelm_AudioKanal::~Quelm_AudioKanal() {
  if (!echo) return;
  if (FMOD_RESULT r = FMOD_DSP_remove(echo)) {
    Protokolliere("!Quelm_AudioKanal::~Quelm_AudioKanal(): Entfernen des Echo-DSPs gescheitert.");
    MeldeErgebnis(r);
  }
  if (FMOD_RESULT r = FMOD_DSP_release(echo)) {
    Protokolliere("!Quelm_AudioKanal::~Quelm_AudioKanal(): Freigeben des Echo-DSPs gescheitert.");
    MeldeErgebnis(r);
  }
}

Quelm_Audio::Quelm_Audio() {
  offen = true;
  if (FMOD_RESULT r = FMOD_System_Create(&system)) {
    Protokolliere("!%s", "!Quelm_Audio::Quelm_Audio(): FMOD-Interface konnte nicht erstellt werden.");
    MeldeErgebnis(r);
    system = nullptr;
    return;
  }

  // A failed step: its message through "!%s", the result line, then shutdown.
  const auto scheitere = [this](const char* text, FMOD_RESULT r) {
    Protokolliere("!%s", text);
    MeldeErgebnis(r);
    Beenden();
  };
  unsigned version = 0;
  if (FMOD_RESULT r = FMOD_System_getVersion(system, &version)) {
    scheitere("!Quelm_Audio::Quelm_Audio(): Versionsabfrage gescheitert.", r);
    return;
  }
  if (version < kMindestVersion) {
    scheitere("!Quelm_Audio::Quelm_Audio(): Falsche FMOD-Version liegt neben der Exe.", FMOD_OK);
    return;
  }

  int anzahl = 0;
  if (FMOD_RESULT r = FMOD_System_getNumDrivers(system, &anzahl)) {
    scheitere("Quelm_Audio::Quelm_Audio(): Verfügbare Audio-Treiber konnten nicht ermittelt werden", r);
    return;
  }
  if (anzahl == 0) {
    Protokolliere("!Quelm_Audio::Quelm_Audio(): Keine Audio-Treiber verfügbar.");
    if (FMOD_System_setOutput(system, FMOD_OUTPUTTYPE_NOSOUND) != FMOD_OK)
      Protokolliere("! Quelm_Audio::Quelm_Audio(): Nicht einmal 'kein Sound' konnte initialisiert werden.");
  }

  for (int i = 0; i < anzahl; ++i) {
    TreiberInfo info;
    char name[256] = {};
    FMOD_RESULT r = FMOD_System_getDriverInfo(system, i, name, 256, nullptr);
    if (r == FMOD_OK) r = FMOD_System_getDriverCaps(system, i, &info.caps, &info.ausgabeRate, &info.lautsprecher);
    if (r == FMOD_OK) {
      info.name = name;
      info.ok = true;
    } else {
      // A failed query may have written part of its answer.
      info = TreiberInfo{};
      Protokolliere("!Quelm_Audio::Quelm_Audio(): Fähigkeiten-Prüfung bei Treiber %d fehlgeschlagen", i);
      MeldeErgebnis(r);
    }
    treiber.push_back(std::move(info));
  }
}

Quelm_Audio::~Quelm_Audio() { Beenden(); }

void Quelm_Audio::Beenden() {
  offen = false;
  if (!system) return;
  ProtokolliereAusfuehrlich("Audio wird geschlossen.");
  for (std::size_t i = 0; i < kPlaetze; ++i)
    if (sampleBelegt[i]) samples[i].reset();
  for (std::size_t i = 0; i < kPlaetze; ++i)
    if (kanalBelegt[i]) kanaele[i].reset();
  sampleBelegt.reset();
  kanalBelegt.reset();
  if (FMOD_RESULT r = FMOD_System_release(system)) {
    Protokolliere("!%s", "Quelm_Audio::Beenden(): Schliessen von FMOD schlug fehl.");
    MeldeErgebnis(r);
  }
  system = nullptr;
}
