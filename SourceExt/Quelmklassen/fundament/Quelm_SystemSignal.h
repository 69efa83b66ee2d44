#pragma once
// The system object's presence signal, for code that connects to it or fires it.
#include "Quelm_System.h"

#include <boost/signals2/signal.hpp>

struct Quelm_PraesenzSignal : boost::signals2::signal<void(Quelm_System::Praesenz)> {};
