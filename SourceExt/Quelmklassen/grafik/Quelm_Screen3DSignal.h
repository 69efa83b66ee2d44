#pragma once
// The screen's display-change signal, for code that connects to it.
#include "Quelm_Screen3D.h"

#include <boost/signals2/signal.hpp>

struct Quelm_ModusSignal : boost::signals2::signal<void()> {};
