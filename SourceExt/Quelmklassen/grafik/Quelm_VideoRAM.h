#pragma once
// Video-memory eviction: frees the device objects of the resources used least recently.
#include <cstdint>

class Quelm_ZeichenKontext;

// One eviction pass over the context's registry (Quelm_Screen3D::SchaffeVideoRAMPlatz
// runs it on the screen's context); returns the number of resources evicted.
std::uint64_t Quelm_SchaffeVideoRAMPlatz(Quelm_ZeichenKontext& kontext);
