#pragma once
#include <functional>

namespace Spiel {

// The program entry's frame around the application's life: lets SIGTERM, SIGINT and SIGHUP
// set the quit flag, activates the log, loads "tool.cfg", runs `anwendung`, saves
// "tool.cfg" also after an exception, and returns 0, -1 when an exception ended the run, or
// 1 when only the save failed. Failures also go to stderr with the log's path.
int ProgrammEinstieg(const std::function<void()>& anwendung);

}  // namespace Spiel
