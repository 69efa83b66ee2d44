#pragma once
// The real program started under the test's virtual X server with a temporary home.
#include "TestHilfen.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;

// The program with a temporary home: its user data folder is HOME/.local/share/ToolVelmar.
class Programm : public ::testing::Test {
 protected:
  void SetUp() override { fs::create_directories(Benutzerordner()); }
  void TearDown() override {
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
  }

  fs::path Benutzerordner() const { return home_.pfad() / ".local" / "share" / "ToolVelmar"; }

  void Starte(bool mitBildschirm = true, const std::string& programm = VELMAR_PROGRAMM) {
    pid_ = fork();
    if (pid_ == 0) {
      if (!mitBildschirm) unsetenv("DISPLAY");
      setenv("HOME", home_.pfad().c_str(), 1);
      unsetenv("XDG_DATA_HOME");
      execl(programm.c_str(), programm.c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
  }

  // Waits for the program's end; -2 when it did not end in time.
  int WarteAufEnde(std::chrono::seconds frist) {
    const auto ende = std::chrono::steady_clock::now() + frist;
    while (std::chrono::steady_clock::now() < ende) {
      int status = 0;
      if (waitpid(pid_, &status, WNOHANG) == pid_) {
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return -2;
  }

  static int SchliesseFenster() {
    return std::system((std::string(FENSTER_SCHLIESSEN) + " ToolVelmar 60").c_str());
  }

  TempOrdner home_;
  pid_t pid_ = -1;
};

