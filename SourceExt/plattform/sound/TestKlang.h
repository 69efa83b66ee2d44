#pragma once
// The sound library's test backend: while installed, new systems take their version and
// drivers from it, and every call answers what it scripts (FMOD_OK unless set). Calls
// are recorded by name.
#include "fmod.h"

#include <string>
#include <vector>

struct TestKlang {
  struct Treiber {
    std::string name;
    FMOD_CAPS caps = FMOD_CAPS_NONE;
    int rate = 48000;
    FMOD_SPEAKERMODE lautsprecher = FMOD_SPEAKERMODE_STEREO;
    FMOD_RESULT infoFehler = FMOD_OK;
    FMOD_RESULT capsFehler = FMOD_OK;
  };

  unsigned version = FMOD_VERSION;
  std::vector<Treiber> treiber;
  FMOD_RESULT create = FMOD_OK, getVersion = FMOD_OK, getNumDrivers = FMOD_OK, setOutput = FMOD_OK,
              release = FMOD_OK, soundRelease = FMOD_OK, dspRemove = FMOD_OK, dspRelease = FMOD_OK;
  std::vector<std::string> aufrufe;

  // Installs this backend for systems created from now on; the destructor removes it.
  TestKlang();
  ~TestKlang();
  TestKlang(const TestKlang&) = delete;
  TestKlang& operator=(const TestKlang&) = delete;
};

// Objects the engine holds only as handles: tests make them here (released by the calls).
FMOD_SOUND* TestKlangSound();
FMOD_DSP* TestKlangDsp();
