#pragma once
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>

// The presence signal (Quelm_SystemSignal.h, for code that connects to or fires it:
// signals2 is a large header).
struct Quelm_PraesenzSignal;

// The application's name; it names the user data folder.
extern const char Quelm_AnwendungsName[];

// What the system object learns from the operating system. The default constructor asks
// the platform; tests hand in their own answers.
struct Quelm_SystemQuellen {
  std::optional<std::filesystem::path> ausfuehrbarerPfad;
  std::optional<std::filesystem::path> anwendungsdaten;
  std::optional<std::string> benutzerName;

  static Quelm_SystemQuellen VomBetriebssystem();
};

// The engine's process-wide system object (one global, gSystem).
class Quelm_System {
 public:
  enum Praesenz : std::uint32_t { Fokussiert = 0, Sichtbar = 1, Minimiert = 2 };

  Praesenz praesenz = Fokussiert;
  bool sichtbar = true;
  bool fokus = true;
  // Quit flag: goes from false to true only; atomic, as a signal handler sets it too.
  std::atomic<bool> beenden{false};
  std::filesystem::path benutzerVerzeichnis;
  std::filesystem::path programmVerzeichnis;
  std::string benutzerName;
  // The log line of a user data folder that could not be made (empty when it is there).
  std::string ordnerFehler;
  std::function<void()> proBild;  // per-frame hook, installed by the screen
  std::unique_ptr<Quelm_PraesenzSignal> praesenzGeaendert;  // fired when `praesenz` changes

  Quelm_System();
  explicit Quelm_System(const Quelm_SystemQuellen& quellen);
  ~Quelm_System();

  // Handler of the console command "quit".
  static void BefehlQuit(const std::string& argumente);

  // The folder of the executable; a folder named exactly "bin32" or "bin64" is replaced by
  // its parent.
  static std::filesystem::path ProgrammVerzeichnisAus(const std::filesystem::path& ausfuehrbar);
};

extern Quelm_System gSystem;
