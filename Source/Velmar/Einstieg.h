#pragma once
#include <functional>

namespace Spiel {

// The program entry's frame around the application's life: activates the log, loads
// "tool.cfg", runs `anwendung`, saves "tool.cfg" also after an exception, and returns 0,
// or -1 when an exception ended the run.
int ProgrammEinstieg(const std::function<void()>& anwendung);

}  // namespace Spiel
