#pragma once
// Everything the engine tests share. A test includes the header it needs instead:
// TempOrdner.h for a temporary folder, ProtokollSammler.h for the collected log.
#include "ProtokollSammler.h"
#include "TempOrdner.h"
