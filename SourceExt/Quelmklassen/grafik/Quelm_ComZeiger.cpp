#include "Quelm_ComZeiger.h"

#include "Quelm_BasisObjekt.h"
#include "Quelm_ZeichenKontext.h"

void Quelm_GeraeteFreigabe::operator()(IUnknown* objekt) const {
  if (!objekt) return;
  if (Quelm_ZeichenKontext* kontext = Quelm_BasisObjekt::Kontext()) kontext->impl.VergissGeraeteObjekt(objekt);
  objekt->Release();
}
