#include "Quelm_BasisObjekt.h"

#include "Quelm_Protokoll.h"
#include "Quelm_Screen3D.h"
#include "Quelm_VideoRAM.h"
#include "Quelm_ZeichenKontext.h"
#include "Quelm_Zeitgeber.h"

std::atomic<std::uint64_t> Quelm_BasisObjekt::serienZaehler{0};

Quelm_BasisObjekt::Quelm_BasisObjekt(std::uint64_t flags)
    : seriennummer(++serienZaehler), letzteNutzung(gZeitgeber.zeit), flags(flags) {}

void Quelm_BasisObjekt::Benutzen() { StempleNutzung(); }

void Quelm_BasisObjekt::StempleNutzung() { letzteNutzung = gZeitgeber.zeit; }

Quelm_ZeichenKontext* Quelm_BasisObjekt::Kontext() { return Quelm_Screen3D::zeichenKontext; }

IDirect3DDevice9* Quelm_BasisObjekt::Geraet() {
  Quelm_ZeichenKontext* kontext = Kontext();
  return kontext ? kontext->impl.geraet : nullptr;
}

void Quelm_BasisObjekt::VergissGeraeteObjekt(const void* objekt) {
  if (Quelm_ZeichenKontext* kontext = Kontext()) kontext->impl.VergissGeraeteObjekt(objekt);
}

void Quelm_BasisObjekt::WarneVideoRAMKnapp() { Protokolliere("?VideoRAM knapp. Versuche, Platz zu schaffen."); }

std::uint64_t Quelm_BasisObjekt::SchaffePlatz() {
  Quelm_ZeichenKontext* kontext = Kontext();
  return kontext ? Quelm_SchaffeVideoRAMPlatz(*kontext) : 0;
}
