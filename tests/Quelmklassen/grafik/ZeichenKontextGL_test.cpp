// The render context on the OpenGL device under a virtual X server: clearing through the
// context and reading the back buffer back into an image; the screen's start without device.
#include "BildHilfen.h"
#include "GlKontextTest.h"
#include "ProtokollSammler.h"
#include "Quelm_Bild.h"
#include "Quelm_Screen3D.h"
#include "Quelm_System.h"
#include "Quelm_ZeichenKontext.h"
#include "d3d9/D3D9Steuerung.h"
#include "fenster/Fenster.h"

#include <GLFW/glfw3.h>
#include <X11/Xlib.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>

namespace {

namespace D3D9 = Plattform::D3D9;

// A window of our own with the context on it, as the screen would make them.
class OpenGLKontext : public GlKontextTest {
 protected:
  OpenGLKontext() : GlKontextTest(320, 200) {}
};

TEST_F(OpenGLKontext, RueckpufferWirdGeleertUndGelesenVsyncErreichtDasFenster) {
  // The back buffer has no alpha: its byte reads as opaque, whatever alpha the clear had.
  struct Fall {
    std::uint32_t bits16;
    std::uint64_t flags;
    std::uint32_t orange, begrenzt;  // (1, 0.5, 0) and (2, -1, 0.25) read back
  };
  for (const Fall& fall : {Fall{0, Quelm_Screen3D::VSync, 0xFFFF8000u, 0xFFFF0040u},
                           Fall{1, 0, 0xFFFF8200u, 0xFFFF0042u}}) {
    SCOPED_TRACE(fall.bits16);
    Quelm_Screen3D::modus = {320, 200, fall.bits16, 0};
    Quelm_Screen3D::modusFlags = fall.flags;
    NeuerKontext();
    ASSERT_TRUE(kontext->HatGeraet());
    EXPECT_EQ(Quelm_Screen3D::nativesFenster->tauschIntervall, fall.flags ? 1 : 0);  // vsync reaches it
    kontext->SetRenderZiel(nullptr);
    kontext->Leeren(3, 1.0f, 0.5f, 0.0f, 0.25f);
    Quelm_Bild bild(320, 200, PXFMT_A8R8G8B8);
    ASSERT_TRUE(kontext->impl.LiesBildschirmInhalt(bild));
    for (auto [x, y] : {std::pair{0, 0}, {319, 199}, {160, 100}}) EXPECT_EQ(Pixel(bild, x, y), fall.orange) << x;
    // Out-of-range components are clamped per channel, they do not spill.
    kontext->Leeren(1, 2.0f, -1.0f, 0.25f, 1.0f);
    ASSERT_TRUE(kontext->impl.LiesBildschirmInhalt(bild));
    EXPECT_EQ(Pixel(bild, 17, 42), fall.begrenzt);
    // A mode larger than the window: read in the back buffer's own size.
    Quelm_Screen3D::modus = {640, 480, fall.bits16, 0};
    Quelm_Bild gross(640, 480, PXFMT_A8R8G8B8);
    std::memset(gross.daten, 0x11, gross.pitch * gross.hoehe);
    ASSERT_TRUE(kontext->impl.LiesBildschirmInhalt(gross));
    EXPECT_EQ(Pixel(gross, 319, 199), fall.begrenzt);
    EXPECT_EQ(Pixel(gross, 320, 10), 0x11111111u);
    EXPECT_EQ(Pixel(gross, 10, 200), 0x11111111u);
  }
}

class Screen3DGL : public ProtokollTest {};

TEST_F(Screen3DGL, OhneGeraetScheitertDerStart) {
  auto steuerung = std::make_shared<D3D9::Steuerung>();
  D3D9::InstalliereSteuerung(steuerung, D3D9::Backend::OpenGL);
  steuerung->SkriptiereErgebnis("CreateDevice", D3DERR_NOTAVAILABLE);
  EXPECT_FALSE(Quelm_Screen3D::Init({320, 200, 0, 0}, 0));
  EXPECT_EQ(Quelm_Screen3D::zeichenKontext, nullptr);
  Quelm_Screen3D::Beenden();
  D3D9::EntferneSteuerung();
}

TEST_F(Screen3DGL, XUndGlfwFehlerGehenInsProtokollStattDasProgrammZuBeenden) {
  Quelm_Screen3D::InitGlfw();
  ASSERT_TRUE(Quelm_Screen3D::glfwGestartet);
  glfwWindowHint(0x7FFFFFFF, 0);  // no such hint
  // A request on a window that does not exist: Xlib's own handler would end the process.
  Display* anzeige = XOpenDisplay(nullptr);
  ASSERT_NE(anzeige, nullptr);
  XDestroyWindow(anzeige, 0x1234567);
  XSync(anzeige, False);
  XCloseDisplay(anzeige);
  Quelm_Screen3D::Beenden();
  EXPECT_TRUE(Gemeldet("): !GLFW-Fehler 0x10003: ")) << ::testing::PrintToString(sammler->zeilen);
  EXPECT_TRUE(Gemeldet("): !X-Fehler: BadWindow")) << ::testing::PrintToString(sammler->zeilen);
}

// Another client sets two sizes before the screen's next poll: the first event is stale
// by then. The device takes the window's last size with one reset, and the window is never
// set back to a size it had.
TEST_F(Screen3DGL, GroessenEreignisseSetzenDasFensterNichtZurueck) {
  ASSERT_TRUE(Quelm_Screen3D::Init({640, 480, 0, 0}, 2));
  Display* anderer = XOpenDisplay(nullptr);
  ASSERT_NE(anderer, nullptr);
  const Window fenster = Quelm_Screen3D::nativesFenster->xFenster;
  XResizeWindow(anderer, fenster, 500, 400);
  XResizeWindow(anderer, fenster, 700, 450);
  XSync(anderer, False);
  sammler->zeilen.clear();
  for (int poll = 0; poll < 5; ++poll) gSystem.proBild();
  XWindowAttributes lage{};
  ASSERT_TRUE(XGetWindowAttributes(anderer, fenster, &lage));
  EXPECT_EQ(lage.width, 700);
  EXPECT_EQ(lage.height, 450);
  EXPECT_EQ(Quelm_Screen3D::modus.width, 700u);
  EXPECT_EQ(Quelm_Screen3D::modus.height, 450u);
  const D3DPRESENT_PARAMETERS& darstellung = Quelm_Screen3D::zeichenKontext->impl.darstellung;
  EXPECT_EQ(darstellung.BackBufferWidth, 700u);
  EXPECT_EQ(darstellung.BackBufferHeight, 450u);
  EXPECT_EQ(std::ranges::count(sammler->Texte(), "ReInit Darstellung: Device zurücksetzen"), 1)
      << ::testing::PrintToString(sammler->zeilen);
  XCloseDisplay(anderer);
  Quelm_Screen3D::Beenden();
}

}  // namespace
