// A lost connection to the X server reaches the handler set with BeiVerbindungsverlust,
// also when the loss is first met by a write rather than a read.
#include <gtest/gtest.h>

// After gtest: Xlib's macros (None, Bool) would break its headers.
#include <X11/Xlib.h>
#include <unistd.h>

#include "fenster/Fenster.h"

namespace {

// Runs in a child: its connection is killed by a second client, as a forced close does;
// then a request is written to the closed socket (what a frame's drawing meets when the
// close comes just before its write), and the next call reads.
void SchreibtAufGetrennteVerbindung() {
  Plattform::Fenster::BeiVerbindungsverlust(+[] { _exit(7); });
  Display* eigene = XOpenDisplay(nullptr);
  Display* andere = XOpenDisplay(nullptr);
  if (!eigene || !andere) _exit(2);
  const Window fenster = XCreateSimpleWindow(eigene, DefaultRootWindow(eigene), 0, 0, 10, 10, 0, 0, 0);
  XSync(eigene, False);
  XKillClient(andere, fenster);
  XSync(andere, False);
  const char keineOperation[4] = {127, 0, 1, 0};
  if (write(ConnectionNumber(eigene), keineOperation, sizeof keineOperation) >= 0) _exit(3);
  XSync(eigene, False);
  _exit(0);
}

TEST(FensterVerbindung, SchreibenAufGetrennteVerbindungErreichtDenHandler) {
  EXPECT_EXIT(SchreibtAufGetrennteVerbindung(), testing::ExitedWithCode(7), "");
}

}  // namespace
