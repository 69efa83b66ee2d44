#pragma once
// The engine's audio system (one global, gAudio): at start-up it checks the sound
// library's version and surveys the output drivers; nothing is initialised for playback.
// Samples and channels exist only as tables that are emptied at shutdown.
#include "fmod.h"

#include <array>
#include <bitset>
#include <memory>
#include <string>
#include <vector>

class Quelm_AudioSample {
 public:
  FMOD_SOUND* sound = nullptr;
  ~Quelm_AudioSample();
};

class Quelm_AudioKanal {
 public:
  FMOD_DSP* echo = nullptr;
  ~Quelm_AudioKanal();
};

class Quelm_Audio {
 public:
  static constexpr std::size_t kPlaetze = 64;
  // The oldest version that will do: 4.44.50.
  static constexpr unsigned kMindestVersion = 0x44450;

  struct TreiberInfo {
    std::string name;
    FMOD_CAPS caps = FMOD_CAPS_NONE;
    int ausgabeRate = 0;
    FMOD_SPEAKERMODE lautsprecher = FMOD_SPEAKERMODE_STEREO;  // 2 until read
    bool ok = false;  // capabilities read
  };

  FMOD_SYSTEM* system = nullptr;
  std::vector<TreiberInfo> treiber;
  std::array<std::unique_ptr<Quelm_AudioKanal>, kPlaetze> kanaele;
  std::bitset<kPlaetze> kanalBelegt;
  std::array<std::unique_ptr<Quelm_AudioSample>, kPlaetze> samples;
  std::bitset<kPlaetze> sampleBelegt;
  bool offen = false;  // cleared at shutdown

  Quelm_Audio();
  ~Quelm_Audio();
  Quelm_Audio(const Quelm_Audio&) = delete;
  Quelm_Audio& operator=(const Quelm_Audio&) = delete;

  void Beenden();
};

extern Quelm_Audio gAudio;
