#include "GlIndexFolge.h"

#include <algorithm>
#include <cstring>

namespace Plattform::D3D9 {
namespace {

// Leading indices equal to their place, from `ab` on (the ones before it are known to be).
template <class T>
UINT ZaehleFolge(const std::vector<std::uint8_t>& daten, UINT ab) {
  const UINT anzahl = static_cast<UINT>(daten.size() / sizeof(T));
  for (UINT i = ab; i < anzahl; ++i) {
    T wert;
    std::memcpy(&wert, daten.data() + static_cast<std::size_t>(i) * sizeof(T), sizeof(T));
    if (wert != static_cast<T>(i) || static_cast<UINT>(wert) != i) return i;
  }
  return anzahl;
}

}  // namespace

std::uint8_t* IndexFolge::Sperre(UINT offset, UINT laenge, DWORD flags) {
  sperrOffset = offset;
  sperrLaenge = laenge;
  sperrSchreibt = !(flags & D3DLOCK_READONLY);
  return indizes.data() + offset;
}

bool IndexFolge::Entsperre(UINT indexBytes) {
  if (!sperrSchreibt || sperrLaenge == 0) return false;
  const UINT ab = std::min(folge, sperrOffset / indexBytes);
  folge = indexBytes == 4 ? ZaehleFolge<std::uint32_t>(indizes, ab) : ZaehleFolge<std::uint16_t>(indizes, ab);
  return true;
}

bool IndexFolge::AlsArrays(INT basisVertex, UINT start, UINT anzahl) const {
  const INT erster = basisVertex + static_cast<INT>(start);
  return erster >= 0 && anzahl <= folge && start <= folge - anzahl;
}

}  // namespace Plattform::D3D9
