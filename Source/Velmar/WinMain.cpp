// The program entry.
#include "Anwendung.h"
#include "Einstieg.h"

int WinMain(void*, void*, char*, int) {
  return Spiel::ProgrammEinstieg([] {
    Spiel::Anwendung anwendung;
    anwendung.Ausfuehren();
  });
}

int main() { return WinMain(nullptr, nullptr, nullptr, 0); }
