// The ring of uniform blocks: where blocks land, when the ring comes round, and which
// earlier blocks still hold their bytes.
#include "d3d9/KonstantenRing.h"

#include <GLFW/glfw3.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "GlHilfen.h"

using Plattform::D3D9::KonstantenRing;

namespace {

std::vector<std::uint8_t> Lies(const KonstantenRing& ring, GLintptr offset, GLsizeiptr bytes) {
  std::vector<std::uint8_t> d(static_cast<std::size_t>(bytes));
  glGetNamedBufferSubData(ring.Puffer(), offset, bytes, d.data());
  return d;
}

TEST(KonstantenRing, BlocksComeRoundAndOlderOnesLoseTheirBytes) {
  GlTest::VerstecktesFenster fenster;
  ASSERT_NE(fenster.glfw(), nullptr);
  glfwMakeContextCurrent(fenster.glfw());
  GLint ausrichtung = 0;
  glGetIntegerv(GL_UNIFORM_BUFFER_OFFSET_ALIGNMENT, &ausrichtung);
  KonstantenRing ring;
  constexpr GLsizeiptr kGroesse = 8 * KonstantenRing::kMaxBlock;
  ASSERT_TRUE(ring.Starte(kGroesse));

  // Blocks follow each other at aligned offsets; each keeps its bytes.
  std::vector<std::uint8_t> a(100, 0xA1), b(KonstantenRing::kMaxBlock, 0xB2);
  const KonstantenRing::Ort oa = ring.Schreibe(a.data(), 100);
  const KonstantenRing::Ort ob = ring.Schreibe(b.data(), KonstantenRing::kMaxBlock);
  EXPECT_EQ(oa.offset, 0);
  EXPECT_EQ(ob.offset % ausrichtung, 0);
  EXPECT_GE(ob.offset, 100);
  EXPECT_EQ(Lies(ring, oa.offset, 100), a);
  EXPECT_EQ(Lies(ring, ob.offset, KonstantenRing::kMaxBlock), b);

  // Fill up to the end: the next block starts the ring again at 0, a lap later, and the
  // blocks at the start are gone.
  KonstantenRing::Ort vorletzter = ob, letzter = ob;
  std::vector<std::uint8_t> c(KonstantenRing::kMaxBlock, 0xC3);
  for (int i = 0; i < 100 && letzter.runde == oa.runde; ++i) {
    vorletzter = letzter;
    letzter = ring.Schreibe(c.data(), KonstantenRing::kMaxBlock);
  }
  EXPECT_EQ(letzter.offset, 0);
  EXPECT_EQ(letzter.runde, oa.runde + 1);
  EXPECT_FALSE(ring.Gueltig(oa));
  EXPECT_FALSE(ring.Gueltig(ob));
  EXPECT_TRUE(ring.Gueltig(letzter));
  EXPECT_FALSE(ring.Gueltig(KonstantenRing::Ort{}));
  // The last block of the first lap stays valid until the writer comes near it: no write
  // made while it is valid reaches it.
  ASSERT_TRUE(ring.Gueltig(vorletzter));
  for (int i = 0; i < 100 && ring.Gueltig(vorletzter); ++i) {
    const KonstantenRing::Ort o = ring.Schreibe(b.data(), KonstantenRing::kMaxBlock);
    EXPECT_LE(o.offset + KonstantenRing::kMaxBlock, vorletzter.offset);
  }
  EXPECT_EQ(Lies(ring, vorletzter.offset, KonstantenRing::kMaxBlock), c);
  ring.Beende();
}

}  // namespace
