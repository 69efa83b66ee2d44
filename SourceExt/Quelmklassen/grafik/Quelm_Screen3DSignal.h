#pragma once
// The screen's display-change signal, for code that connects to it.
#include <boost/signals2/signal.hpp>

struct Quelm_ModusSignal : boost::signals2::signal<void()> {};
