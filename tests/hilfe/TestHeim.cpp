// Every test program runs with a temporary home: the engine's system object makes its user
// data folder below HOME while globals are built, and tests must not leave folders in the
// real home. Runs before any C++ global is built (constructor priority 101) and removes the
// folder after the last one is gone.
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
  if (!mkdtemp(muster.data())) return;
  HeimOrdner() = muster;
  setenv("HOME", muster.c_str(), 1);
  unsetenv("XDG_DATA_HOME");
  std::atexit(&RaeumeHeimAuf);
}

}  // namespace
