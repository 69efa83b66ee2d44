#pragma once
// The OpenGL 4.5 core backend: draws on the OpenGL context of the window's GLFW window.
#include <memory>

#include "Backend.h"

namespace Plattform::D3D9 {

// Null (with the reason in hr) when the window has no usable OpenGL 4.5 core context.
std::unique_ptr<GeraeteBackend> ErzeugeGlBackend(HWND fenster, HRESULT& hr);

}  // namespace Plattform::D3D9
