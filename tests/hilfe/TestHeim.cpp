// Every test program runs with a temporary HOME, set before any C++ global is built: the
// engine's system object makes its user data folder there while globals are built.
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
