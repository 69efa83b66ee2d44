// How the resources reach the screen's render context, its device and the eviction pass.
// Apart from Quelm_BasisObjekt.cpp and Quelm_VideoRAM.cpp because the screen and the
// context include the resource classes: the resource code itself includes neither.
#include "Quelm_BasisObjekt.h"
#include "Quelm_Screen3D.h"
#include "Quelm_VideoRAM.h"
#include "Quelm_ZeichenKontext.h"

Quelm_ZeichenKontext* Quelm_BasisObjekt::Kontext() { return Quelm_Screen3D::zeichenKontext; }

IDirect3DDevice9* Quelm_BasisObjekt::Geraet() {
  Quelm_ZeichenKontext* kontext = Kontext();
  return kontext ? kontext->impl.geraet.get() : nullptr;
}

void Quelm_BasisObjekt::VergissGeraeteObjekt(const void* objekt) {
  if (Quelm_ZeichenKontext* kontext = Kontext()) kontext->impl.VergissGeraeteObjekt(objekt);
}

std::uint64_t Quelm_BasisObjekt::SchaffePlatz() {
  Quelm_ZeichenKontext* kontext = Kontext();
  return kontext ? Quelm_SchaffeVideoRAMPlatz(*kontext) : 0;
}

void Quelm_Screen3D::SchaffeVideoRAMPlatz() {
  if (zeichenKontext) Quelm_SchaffeVideoRAMPlatz(*zeichenKontext);
}
