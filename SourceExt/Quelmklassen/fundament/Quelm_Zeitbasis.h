#pragma once
#include <cstdint>

// All engine times are performance-counter ticks.
using TZeit = std::int64_t;

// The time base, written once before main (zero until then).
extern std::int64_t Quelm_ZaehlerFrequenz;     // ticks per second
extern float Quelm_TicksProSekunde;
extern double Quelm_TicksProSekundeD;
extern float Quelm_SekundenProTick;
extern double Quelm_SekundenProTickD;

// The performance counter now.
std::int64_t Quelm_Zaehlerstand();
