#pragma once
// The sound library's C interface, the part the engine's audio start-up calls. Every call
// answers an FMOD_RESULT; 0 is success.
#include <cstdint>

struct FMOD_SYSTEM;
struct FMOD_SOUND;
struct FMOD_DSP;

enum FMOD_RESULT : int {
  FMOD_OK = 0,
  FMOD_ERR_INITIALIZATION = 1,
  FMOD_ERR_INVALID_PARAM = 2,
  FMOD_ERR_INVALID_HANDLE = 3,
  FMOD_ERR_MEMORY = 4,
  FMOD_ERR_OUTPUT_ENUMERATION = 5,
  FMOD_ERR_OUTPUT_INIT = 6,
  FMOD_ERR_INTERNAL = 7,
};

enum FMOD_OUTPUTTYPE : int {
  FMOD_OUTPUTTYPE_AUTODETECT = 0,
  FMOD_OUTPUTTYPE_UNKNOWN = 1,
  FMOD_OUTPUTTYPE_NOSOUND = 2,
  FMOD_OUTPUTTYPE_ALSA = 3,
};

enum FMOD_SPEAKERMODE : int {
  FMOD_SPEAKERMODE_RAW = 0,
  FMOD_SPEAKERMODE_MONO = 1,
  FMOD_SPEAKERMODE_STEREO = 2,
  FMOD_SPEAKERMODE_QUAD = 3,
  FMOD_SPEAKERMODE_SURROUND = 4,
  FMOD_SPEAKERMODE_5POINT1 = 5,
  FMOD_SPEAKERMODE_7POINT1 = 6,
};

using FMOD_CAPS = std::uint32_t;
constexpr FMOD_CAPS FMOD_CAPS_NONE = 0;

// The version this library reports: 4.44.50.
constexpr unsigned FMOD_VERSION = 0x00044450;

FMOD_RESULT FMOD_System_Create(FMOD_SYSTEM** system);
FMOD_RESULT FMOD_System_getVersion(FMOD_SYSTEM* system, unsigned* version);
FMOD_RESULT FMOD_System_getNumDrivers(FMOD_SYSTEM* system, int* anzahl);
FMOD_RESULT FMOD_System_setOutput(FMOD_SYSTEM* system, FMOD_OUTPUTTYPE ausgabe);
FMOD_RESULT FMOD_System_getDriverInfo(FMOD_SYSTEM* system, int index, char* name, int namenLaenge, void* guid);
FMOD_RESULT FMOD_System_getDriverCaps(FMOD_SYSTEM* system, int index, FMOD_CAPS* caps, int* ausgabeRate,
                                      FMOD_SPEAKERMODE* lautsprecher);
FMOD_RESULT FMOD_System_release(FMOD_SYSTEM* system);
FMOD_RESULT FMOD_Sound_release(FMOD_SOUND* sound);
FMOD_RESULT FMOD_DSP_remove(FMOD_DSP* dsp);
FMOD_RESULT FMOD_DSP_release(FMOD_DSP* dsp);
const char* FMOD_ErrorString(FMOD_RESULT ergebnis);
