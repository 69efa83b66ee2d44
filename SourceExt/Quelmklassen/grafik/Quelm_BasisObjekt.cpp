#include "Quelm_BasisObjekt.h"

#include "Quelm_Protokolliere.h"
#include "Quelm_Zeitgeber.h"

std::uint64_t Quelm_BasisObjekt::serienZaehler = 0;

Quelm_BasisObjekt::Quelm_BasisObjekt(std::uint64_t flags)
    : seriennummer(++serienZaehler), letzteNutzung(gZeitgeber.zeit), flags(flags) {}

void Quelm_BasisObjekt::Benutzen() { StempleNutzung(); }

void Quelm_BasisObjekt::StempleNutzung() { letzteNutzung = gZeitgeber.zeit; }

void Quelm_BasisObjekt::WarneVideoRAMKnapp() { Protokolliere("?VideoRAM knapp. Versuche, Platz zu schaffen."); }
