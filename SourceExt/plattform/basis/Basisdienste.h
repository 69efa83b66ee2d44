#pragma once
// Base services of the operating system as the engine needs them: the executable's
// path, the per-user data folder, the login name, the performance counter, thread ids,
// and opening files by path.
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>

namespace Plattform {

// The engine's path type: folder and file paths are kept as filesystem paths and
// stored on disk as UTF-8.
using Pfad = std::filesystem::path;

// Full path of the running executable; empty optional when it cannot be read.
std::optional<Pfad> AusfuehrbarerPfad();

// The per-user application-data folder: $XDG_DATA_HOME when absolute, else $HOME/.local/share,
// else the home folder from the password database with ".local/share".
std::optional<Pfad> AnwendungsdatenVerzeichnis();
// The per-user cache folder, for what can be made anew: $XDG_CACHE_HOME when absolute, else
// $HOME/.cache, else the home folder from the password database with ".cache".
std::optional<Pfad> ZwischenspeicherVerzeichnis();

// The login name of the effective user, else $USER.
std::optional<std::string> Benutzername();

// Monotonic performance counter in ticks, and its ticks per second.
std::int64_t Zaehlerstand();
std::int64_t ZaehlerFrequenz();

// The calling thread's operating-system id.
std::uint32_t ThreadId();
// Number of hardware threads this process may run on (at least 1).
unsigned HardwareThreads();

void Schlafe(unsigned millisekunden);
// Stops in an attached debugger (raises SIGTRAP).
void Haltepunkt();

// SIGTERM, SIGINT and SIGHUP set `flagge` instead of ending the process; a second one
// ends it.
void FangeBeendenSignale(std::atomic<bool>& flagge);

// Freed memory up to 32 MB a block stays in the process's heap (up to 64 MB at its top)
// instead of going back to the system at once. A frame's large buffers (Mesa's software
// renderer allocates its vertex buffers per draw) would otherwise be mapped, faulted in
// page by page and unmapped again every frame.
void BehalteFreigegebenenSpeicher();

// Opens a file by path with an fopen mode. Refuses folders (returns null with
// errno EISDIR). A text-mode read ("r" or "rt", without "b" and without "+") drops the
// carriage return of every CR LF pair, as the Windows runtime does; writes are unchanged.
std::FILE* OeffneDatei(const Pfad& pfad, const char* modus);

}  // namespace Plattform
