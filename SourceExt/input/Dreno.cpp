#include "Dreno.h"

#include <exception>
#include <stdexcept>

#include "WinInput.h"

namespace DRENO {

bool Initialize(HWND window) {
  try {
    // Refused before anything is built: the live system keeps its window, its devices and
    // its place as the instance.
    if (GetInstance() != nullptr) throw std::runtime_error("Input already initialized");
    // The system registers itself as the instance; a failed build unregisters itself again.
    new WinInput(window);
    return true;
  } catch (const std::exception& error) {
    InputSystem::Log("Exception while creating DRENO instance: %s", error.what());
  } catch (...) {
    InputSystem::Log("Exception while creating DRENO instance: %s", "unknown error");
  }
  return false;
}

void Shutdown() {
  // The destructor clears the instance as its last step.
  delete GetInstance();
}

}  // namespace DRENO
