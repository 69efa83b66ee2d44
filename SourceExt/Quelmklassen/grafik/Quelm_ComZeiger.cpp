#include "Quelm_ComZeiger.h"

#include "Quelm_BasisObjekt.h"

void Quelm_GeraeteFreigabe::operator()(IUnknown* objekt) const {
  if (!objekt) return;
  Quelm_BasisObjekt::VergissGeraeteObjekt(objekt);
  objekt->Release();
}
