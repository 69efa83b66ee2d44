#include "TestKlang.h"
#include "fmod.h"

#include <alsa/asoundlib.h>

#include <cstring>
#include <string>
#include <vector>

struct FMOD_SOUND {};
struct FMOD_DSP {};

namespace {
TestKlang* gTest = nullptr;

void StillesAlsa(const char*, int, const char*, int, const char*, ...) {}

// ALSA's output devices by name, without the "null" sink; nothing is opened.
std::vector<TestKlang::Treiber> AlsaAusgaben() {
  std::vector<TestKlang::Treiber> liste;
  snd_lib_error_set_handler(&StillesAlsa);
  void** hinweise = nullptr;
  if (snd_device_name_hint(-1, "pcm", &hinweise) == 0) {
    for (void** h = hinweise; *h; ++h) {
      char* name = snd_device_name_get_hint(*h, "NAME");
      char* richtung = snd_device_name_get_hint(*h, "IOID");
      // No direction means both; "Input" devices cannot play.
      if (name && std::strcmp(name, "null") != 0 && (!richtung || std::strcmp(richtung, "Output") == 0)) {
        TestKlang::Treiber t;
        t.name = name;
        liste.push_back(t);
      }
      std::free(name);
      std::free(richtung);
    }
    snd_device_name_free_hint(hinweise);
  }
  // The configuration cache would otherwise stay for the whole process.
  snd_config_update_free_global();
  snd_lib_error_set_handler(nullptr);
  return liste;
}
}  // namespace

struct FMOD_SYSTEM {
  TestKlang* test = nullptr;  // scripted answers, or null for the real backend
  bool gelesen = false;
  std::vector<TestKlang::Treiber> treiber;
  FMOD_OUTPUTTYPE ausgabe = FMOD_OUTPUTTYPE_AUTODETECT;

  FMOD_RESULT Antwort(const char* aufruf, FMOD_RESULT TestKlang::*feld) {
    if (!test) return FMOD_OK;
    test->aufrufe.emplace_back(aufruf);
    return test->*feld;
  }
  const std::vector<TestKlang::Treiber>& Treiber() {
    if (!gelesen) treiber = test ? test->treiber : AlsaAusgaben();
    gelesen = true;
    return treiber;
  }
  // The driver of an index, or null for one out of range; the call is recorded.
  const TestKlang::Treiber* TreiberBei(int index, const char* aufruf) {
    if (index < 0 || index >= static_cast<int>(Treiber().size())) return nullptr;
    if (test) test->aufrufe.emplace_back(aufruf);
    return &treiber[static_cast<std::size_t>(index)];
  }
};

TestKlang::TestKlang() { gTest = this; }
TestKlang::~TestKlang() {
  if (gTest == this) gTest = nullptr;
}

FMOD_SOUND* TestKlangSound() { return new FMOD_SOUND; }
FMOD_DSP* TestKlangDsp() { return new FMOD_DSP; }

FMOD_RESULT FMOD_System_Create(FMOD_SYSTEM** system) {
  if (!system) return FMOD_ERR_INVALID_PARAM;
  *system = nullptr;
  if (gTest) {
    gTest->aufrufe.emplace_back("FMOD_System_Create");
    if (gTest->create != FMOD_OK) return gTest->create;
  }
  *system = new FMOD_SYSTEM;
  (*system)->test = gTest;
  return FMOD_OK;
}

FMOD_RESULT FMOD_System_getVersion(FMOD_SYSTEM* system, unsigned* version) {
  if (!system || !version) return FMOD_ERR_INVALID_PARAM;
  if (FMOD_RESULT r = system->Antwort("FMOD_System_getVersion", &TestKlang::getVersion)) return r;
  *version = system->test ? system->test->version : FMOD_VERSION;
  return FMOD_OK;
}

FMOD_RESULT FMOD_System_getNumDrivers(FMOD_SYSTEM* system, int* anzahl) {
  if (!system || !anzahl) return FMOD_ERR_INVALID_PARAM;
  if (FMOD_RESULT r = system->Antwort("FMOD_System_getNumDrivers", &TestKlang::getNumDrivers)) return r;
  *anzahl = system->ausgabe == FMOD_OUTPUTTYPE_NOSOUND ? 0 : static_cast<int>(system->Treiber().size());
  return FMOD_OK;
}

FMOD_RESULT FMOD_System_setOutput(FMOD_SYSTEM* system, FMOD_OUTPUTTYPE ausgabe) {
  if (!system) return FMOD_ERR_INVALID_PARAM;
  if (FMOD_RESULT r = system->Antwort("FMOD_System_setOutput", &TestKlang::setOutput)) return r;
  system->ausgabe = ausgabe;
  return FMOD_OK;
}

FMOD_RESULT FMOD_System_getDriverInfo(FMOD_SYSTEM* system, int index, char* name, int namenLaenge, void*) {
  const TestKlang::Treiber* t = system ? system->TreiberBei(index, "FMOD_System_getDriverInfo") : nullptr;
  if (!t) return FMOD_ERR_INVALID_PARAM;
  if (t->infoFehler != FMOD_OK) return t->infoFehler;
  if (name && namenLaenge > 0) {
    std::strncpy(name, t->name.c_str(), static_cast<std::size_t>(namenLaenge) - 1);
    name[namenLaenge - 1] = '\0';
  }
  return FMOD_OK;
}

FMOD_RESULT FMOD_System_getDriverCaps(FMOD_SYSTEM* system, int index, FMOD_CAPS* caps, int* ausgabeRate,
                                      FMOD_SPEAKERMODE* lautsprecher) {
  const TestKlang::Treiber* t = system ? system->TreiberBei(index, "FMOD_System_getDriverCaps") : nullptr;
  if (!t) return FMOD_ERR_INVALID_PARAM;
  if (t->capsFehler != FMOD_OK) return t->capsFehler;
  if (caps) *caps = t->caps;
  if (ausgabeRate) *ausgabeRate = t->rate;
  if (lautsprecher) *lautsprecher = t->lautsprecher;
  return FMOD_OK;
}

FMOD_RESULT FMOD_System_release(FMOD_SYSTEM* system) {
  if (!system) return FMOD_ERR_INVALID_HANDLE;
  // A scripted failure still frees the object: the engine forgets the handle either way.
  const FMOD_RESULT r = system->Antwort("FMOD_System_release", &TestKlang::release);
  delete system;
  return r;
}

FMOD_RESULT FMOD_Sound_release(FMOD_SOUND* sound) {
  if (!sound) return FMOD_ERR_INVALID_HANDLE;
  if (gTest) {
    gTest->aufrufe.emplace_back("FMOD_Sound_release");
  }
  delete sound;
  return gTest ? gTest->soundRelease : FMOD_OK;
}

FMOD_RESULT FMOD_DSP_remove(FMOD_DSP* dsp) {
  if (!dsp) return FMOD_ERR_INVALID_HANDLE;
  if (gTest) {
    gTest->aufrufe.emplace_back("FMOD_DSP_remove");
    return gTest->dspRemove;
  }
  return FMOD_OK;
}

FMOD_RESULT FMOD_DSP_release(FMOD_DSP* dsp) {
  if (!dsp) return FMOD_ERR_INVALID_HANDLE;
  if (gTest) {
    gTest->aufrufe.emplace_back("FMOD_DSP_release");
  }
  delete dsp;
  return gTest ? gTest->dspRelease : FMOD_OK;
}

const char* FMOD_ErrorString(FMOD_RESULT ergebnis) {
  switch (ergebnis) {
    case FMOD_OK: return "No errors.";
    case FMOD_ERR_INITIALIZATION: return "Initialization failed.";
    case FMOD_ERR_INVALID_PARAM: return "An invalid parameter was passed to this function.";
    case FMOD_ERR_INVALID_HANDLE: return "An invalid object handle was used.";
    case FMOD_ERR_MEMORY: return "Not enough memory or resources.";
    case FMOD_ERR_OUTPUT_ENUMERATION: return "Error enumerating the available driver list.";
    case FMOD_ERR_OUTPUT_INIT: return "Error initializing output device.";
    case FMOD_ERR_INTERNAL: return "An internal error occurred.";
  }
  return "Unknown error.";
}
