#pragma once
// What the OpenGL backend keeps of an index buffer besides the GL buffer: a copy of its
// indices. A draw whose indices only count up (0, 1, 2, ...) is drawn as arrays, which a
// software renderer does without fetching an index per vertex. `folge` counts the
// leading indices equal to their place; locks hand out the copy, unlocks upload what was
// locked and count again from where the lock began.
#include <cstdint>
#include <vector>

#include "d3d9/d3d9typen.h"

namespace Plattform::D3D9 {

struct IndexFolge {
  std::vector<std::uint8_t> indizes;  // the buffer's bytes
  UINT folge = 0;
  UINT sperrOffset = 0, sperrLaenge = 0;
  bool sperrSchreibt = false;

  // Where the caller reads and writes bytes [offset, offset + laenge) of a lock.
  std::uint8_t* Sperre(UINT offset, UINT laenge, DWORD flags);
  // Ends the lock of indices of `indexBytes` (2 or 4) each. True when the locked bytes
  // may have changed and go up to the GL buffer; `folge` is then counted again.
  bool Entsperre(UINT indexBytes);
  // Whether the `anzahl` indices from `start` on are start, start + 1, ...: the draw then
  // reads vertices basisVertex + start on in order, as arrays.
  bool AlsArrays(INT basisVertex, UINT start, UINT anzahl) const;
};

}  // namespace Plattform::D3D9
