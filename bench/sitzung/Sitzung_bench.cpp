// The tool as a user meets it, against bare GLFW programs: start to the first presented
// frame (a window that clears once), and frame time at 1280x720 (the tool's passes on the
// tool's geometry, Nackt_bild.cpp) with the initial triangle and meshes of 1 000 and
// 10 000 triangles (counter "cpu_ms": the main thread's CPU time per frame). Each iteration starts the program afresh with a temporary home
// whose "tool.cfg" asks for a 1280x720 window without vsync. Needs a display.
#include "Messzeit.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

struct Heim {
  fs::path pfad;
  Heim() {
    char muster[] = "/tmp/velmar_sitzung_XXXXXX";
    pfad = mkdtemp(muster);
    fs::create_directories(pfad / ".local/share/ToolVelmar");
    std::ofstream(pfad / ".local/share/ToolVelmar/tool.cfg")
        << "<?xml version=\"1.0\" ?>\n<config>\n"
           "    <var name=\"displaywidth\" wert=\"1280\" />\n"
           "    <var name=\"displayheight\" wert=\"720\" />\n"
           "    <var name=\"fullscreen\" wert=\"nein\" />\n"
           "    <var name=\"vsync\" wert=\"nein\" />\n"
           "</config>\n";
  }
  ~Heim() { fs::remove_all(pfad); }
};

// Runs `programm art n` and returns its first output line; empty when it failed.
std::string Lauf(const char* programm, const char* art, int n) {
  static Heim heim;
  int rohr[2];
  if (pipe(rohr) != 0) return {};
  const pid_t kind = fork();
  if (kind == 0) {
    dup2(rohr[1], 1);
    close(rohr[0]);
    close(rohr[1]);
    setenv("HOME", heim.pfad.c_str(), 1);
    unsetenv("XDG_DATA_HOME");
    const std::string zahl = std::to_string(n);
    execl(programm, programm, art, zahl.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  close(rohr[1]);
  std::string zeile;
  char zeichen;
  while (read(rohr[0], &zeichen, 1) == 1 && zeichen != '\n') zeile += zeichen;
  close(rohr[0]);
  int status = 0;
  waitpid(kind, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? zeile : std::string();
}

void Start(benchmark::State& state, const char* programm) {
  for (auto _ : state) {
    const double vorher = Wanduhr();
    const std::string zeile = Lauf(programm, "start", 0);
    if (zeile.empty()) {
      state.SkipWithError("program failed");
      return;
    }
    state.SetIterationTime(std::stod(zeile) - vorher);
  }
}

void Bild(benchmark::State& state, const char* programm) {
  double cpu = 0;
  for (auto _ : state) {
    const std::string zeile = Lauf(programm, "bild", static_cast<int>(state.range(0)));
    double wand = 0, faden = 0;
    if (std::sscanf(zeile.c_str(), "%lf %lf", &wand, &faden) != 2) {
      state.SkipWithError("program failed");
      return;
    }
    state.SetIterationTime(wand * 1e-3);
    cpu += faden;
  }
  state.counters["cpu_ms"] = cpu / static_cast<double>(state.iterations());
}

BENCHMARK_CAPTURE(Start, Werkzeug, WERKZEUG)->Iterations(5)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Start, Nackt, NACKT)->Iterations(5)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Bild, Werkzeug, WERKZEUG)->Arg(0)->Arg(1000)->Arg(10000)->Iterations(3)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Bild, Nackt, NACKT_BILD)->Arg(0)->Arg(1000)->Arg(10000)->Iterations(3)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace
