#pragma once
// The library's entry points: start and end the process's one input system.
#include "InputSystem.h"
#include "WinTypen.h"

namespace DRENO {

// Creates the input system for the window. False (with one line through LogCallback)
// when it cannot be built or when one already lives; the live one then stays as it is.
// Never throws.
bool Initialize(HWND window);

// Destroys the input system, if there is one.
void Shutdown();

}  // namespace DRENO
