#pragma once
// Owning pointers for reference-counted platform objects: the owner's reference is released
// when the pointer goes. Device objects are also dropped from the backend's binding shadows
// first, so that a new object at the same address is bound again.
#include "basis/WinTypen.h"

#include <memory>

struct Quelm_ComFreigabe {
  void operator()(IUnknown* objekt) const {
    if (objekt) objekt->Release();
  }
};

struct Quelm_GeraeteFreigabe {
  void operator()(IUnknown* objekt) const;
};

template <class T>
using Quelm_ComZeiger = std::unique_ptr<T, Quelm_ComFreigabe>;

template <class T>
using Quelm_GeraeteZeiger = std::unique_ptr<T, Quelm_GeraeteFreigabe>;
