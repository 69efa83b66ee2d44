#pragma once

class Quelm_ZeichenKontext;
class Quelm_ZeichenKontextImplDX9;

namespace Spiel {

// The end of a frame on the device: closes an open scene, presents, and handles a lost
// device (tested each frame unless the window is iconified, reset when it can be).
void Praesentiere(Quelm_ZeichenKontextImplDX9& impl);

// The end of a frame: presents, then zeroes the render context's per-frame counters, so that
// each frame's statistics count that frame alone.
void BeendeBild(Quelm_ZeichenKontext& kontext);

}  // namespace Spiel
