#pragma once
// The recording backend: no window and no drawing. It keeps the contents of buffers and
// surfaces, so what a test wrote (or the code under test uploaded) can be read back.
#include <memory>

#include "Backend.h"
#include "d3d9/D3D9Steuerung.h"

namespace Plattform::D3D9 {

std::unique_ptr<GeraeteBackend> ErzeugeAufzeichnungsBackend(Steuerung& steuerung);

}  // namespace Plattform::D3D9
