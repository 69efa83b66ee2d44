#include "Quelm_Zeitbasis.h"

#include "Basisdienste.h"
#include "Quelm_InitReihenfolge.h"

std::int64_t Quelm_ZaehlerFrequenz = 0;
float Quelm_TicksProSekunde = 0.0f;
double Quelm_TicksProSekundeD = 0.0;
float Quelm_SekundenProTick = 0.0f;
double Quelm_SekundenProTickD = 0.0;

std::int64_t Quelm_Zaehlerstand() { return Plattform::Zaehlerstand(); }

namespace {
struct Zeitbasis {
  Zeitbasis() {
    Quelm_ZaehlerFrequenz = Plattform::ZaehlerFrequenz();
    Quelm_TicksProSekundeD = static_cast<double>(Quelm_ZaehlerFrequenz);
    Quelm_TicksProSekunde = static_cast<float>(Quelm_ZaehlerFrequenz);
    Quelm_SekundenProTickD = 1.0 / Quelm_TicksProSekundeD;
    Quelm_SekundenProTick = static_cast<float>(Quelm_SekundenProTickD);
  }
};
QUELM_INIT(QUELM_SLOT_ZAEHLERFREQUENZ) Zeitbasis zeitbasis;
}  // namespace
