#pragma once

class Quelm_ZeichenKontextImplDX9;

namespace Spiel {

// The end of a frame on the device: closes an open scene, presents, and handles a lost
// device (tested each frame unless the window is iconified, reset when it can be).
void Praesentiere(Quelm_ZeichenKontextImplDX9& impl);

}  // namespace Spiel
