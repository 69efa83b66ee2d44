#pragma once
#include <functional>
#include <string>

namespace Spiel {

// The program entry's frame around the application's life: lets SIGTERM, SIGINT and SIGHUP
// set the quit flag, activates the log, loads "tool.cfg", runs `anwendung`, saves
// "tool.cfg" also after an exception, and returns 0, -1 when an exception ended the run, or
// 1 when only the save failed. Failures also go to stderr with the log's path. A lost
// connection to the X server is logged and said there too; the settings are saved and the
// process ends with 1 at once.
int ProgrammEinstieg(const std::function<void()>& anwendung);

// A start failure, or start data the tool runs on without, said on the terminal too (the
// log alone is easily missed): "ToolVelmar: <text>", then where the log is when there is
// one. The caller logs the text as well.
void MeldeAufTerminal(const std::string& text);

}  // namespace Spiel
