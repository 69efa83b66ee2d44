// Every test program runs with a temporary HOME, set before any C++ global is built: the
// engine's system object makes its user data folder there while globals are built, and the
// caches of XDG_CACHE_HOME (unset) go there too. The program also works in that folder:
// ctest starts many test processes at once from one build folder, and what a process writes
// into its working folder (the shader dumps of "debugShader") must not meet another's.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include <unistd.h>

namespace {

std::string& HeimOrdner() {
  static std::string* ordner = new std::string;  // outlives every destructor that may run at exit
  return *ordner;
}

void RaeumeHeimAuf() {
  std::error_code fehler;
  std::filesystem::remove_all(HeimOrdner(), fehler);
}

__attribute__((constructor(101))) void SetzeTestHeim() {
  const char* tmp = std::getenv("TMPDIR");
  std::string muster = std::string(tmp && *tmp ? tmp : "/tmp") + "/velmar-heim-XXXXXX";
  if (!mkdtemp(muster.data()) || chdir(muster.c_str()) != 0) {
    std::perror(("test home " + muster).c_str());
    std::_Exit(1);
  }
  HeimOrdner() = muster;
  setenv("HOME", muster.c_str(), 1);
  unsetenv("XDG_DATA_HOME");
  unsetenv("XDG_CACHE_HOME");
  std::atexit(&RaeumeHeimAuf);
}

}  // namespace
