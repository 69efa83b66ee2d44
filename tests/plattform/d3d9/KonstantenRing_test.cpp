// The ring of uniform blocks at its edges: where blocks land (alignment, the end of a
// quarter, the end of the ring), which earlier blocks may be bound again, when fences are
// made and waited for, and, over long random runs with the GL calls recorded, that no
// byte is rewritten while a draw may still read it.
#include "d3d9/KonstantenRing.h"

#include <GLFW/glfw3.h>
#include <gtest/gtest.h>

#include <array>
#include <algorithm>
#include <cstdint>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "GlHilfen.h"
#include "GlMitschnitt.h"

using Plattform::D3D9::KonstantenRing;
using Ort = KonstantenRing::Ort;
constexpr GLsizeiptr kMax = KonstantenRing::kMaxBlock;

namespace {

// Makes glGetIntegerv report a uniform buffer offset alignment of at least `wert`: Mesa's
// is small, 256 is the largest OpenGL allows (and a multiple of every smaller one).
class Ausrichtung {
 public:
  explicit Ausrichtung(GLint wert) {
    wert_ = wert;
    orig_ = epoxy_glGetIntegerv;
    epoxy_glGetIntegerv = &Haken;
  }
  ~Ausrichtung() { epoxy_glGetIntegerv = orig_; }

 private:
  static void EPOXY_CALLSPEC Haken(GLenum name, GLint* werte) {
    GlTest::RufeDurch(epoxy_glGetIntegerv, orig_, &Haken, name, werte);
    if (name == GL_UNIFORM_BUFFER_OFFSET_ALIGNMENT) *werte = std::max(*werte, wert_);
  }
  static inline GLint wert_ = 0;
  static inline decltype(epoxy_glGetIntegerv) orig_ = nullptr;
};

// Run with the driver's alignment (0) and with the largest.
class KonstantenRingTest : public ::testing::TestWithParam<GLint> {
 protected:
  void SetUp() override {
    ASSERT_NE(fenster_.glfw(), nullptr);
    glfwMakeContextCurrent(fenster_.glfw());
    if (GetParam()) ausrichtung_.emplace(GetParam());
    glGetIntegerv(GL_UNIFORM_BUFFER_OFFSET_ALIGNMENT, &a_);
    ASSERT_GT(a_, 0);
    ASSERT_LE(a_, 256);
    if (GetParam()) {
      ASSERT_EQ(a_, GetParam());
    }
  }
  void TearDown() override {
    ring_.Beende();
    ausrichtung_.reset();
  }

  // Starts the ring and keeps its first bytes: a write must change no byte but its own.
  void Starte(GLsizeiptr groesse) {
    ASSERT_TRUE(ring_.Starte(groesse));
    bild_ = Lies(0, ring_.Groesse());
  }
  std::vector<std::uint8_t> Lies(GLintptr offset, GLsizeiptr bytes) const {
    std::vector<std::uint8_t> d(static_cast<std::size_t>(bytes));
    glGetNamedBufferSubData(ring_.Puffer(), offset, bytes, d.data());
    return d;
  }
  // Writes `bytes` bytes of `wert` and notes them in the expected picture of the ring.
  Ort Schreibe(GLsizeiptr bytes, std::uint8_t wert) {
    const std::vector<std::uint8_t> d(static_cast<std::size_t>(bytes), wert);
    const Ort o = ring_.Schreibe(d.data(), bytes);
    if (o.offset >= 0 && o.offset + bytes <= ring_.Groesse())
      std::copy(d.begin(), d.end(), bild_.begin() + o.offset);
    return o;
  }
  // The whole ring holds what was written where it was written, and nothing else changed.
  void ErwarteBild() { EXPECT_TRUE(Lies(0, ring_.Groesse()) == bild_); }

  GlTest::VerstecktesFenster fenster_;
  std::optional<Ausrichtung> ausrichtung_;
  GLint a_ = 0;
  KonstantenRing ring_;
  std::vector<std::uint8_t> bild_;
};

TEST_P(KonstantenRingTest, AQuarterMustHoldTheLargestBlock) {
  // A quarter of exactly kMaxBlock is enough; one alignment step less is not.
  KonstantenRing klein;
  EXPECT_FALSE(klein.Starte(4 * kMax - 1));
  EXPECT_FALSE(klein.Starte(4 * (kMax - a_)));
  klein.Beende();
  ASSERT_TRUE(ring_.Starte(4 * kMax));
  EXPECT_EQ(ring_.Groesse(), 4 * kMax);
  // A size between two multiples of the alignment is rounded down per quarter.
  ring_.Beende();
  ASSERT_TRUE(ring_.Starte(4 * kMax + 4 * a_ - 1));
  EXPECT_EQ(ring_.Groesse(), a_ > 1 ? 4 * kMax : 4 * kMax + 4 * a_ - 1);
  ring_.Beende();
  ASSERT_TRUE(ring_.Starte(4 * kMax + 4 * a_));
  EXPECT_EQ(ring_.Groesse(), 4 * (kMax + a_));
}

TEST_P(KonstantenRingTest, BlocksFollowAtAlignedOffsetsAndKeepTheirNeighbours) {
  Starte(8 * kMax);
  EXPECT_FALSE(ring_.Gueltig(Ort{}));
  const Ort o1 = Schreibe(1, 0x11);           // one byte takes an alignment step
  const Ort o2 = Schreibe(a_, 0x22);          // exactly one step: the next follows at once
  const Ort o3 = Schreibe(a_ + 1, 0x33);      // one byte more: two steps
  const Ort o4 = Schreibe(100, 0x44);
  EXPECT_EQ(o1.offset, 0);
  EXPECT_EQ(o2.offset, a_);
  EXPECT_EQ(o3.offset, 2 * a_);
  EXPECT_EQ(o4.offset, 4 * a_);
  for (const Ort& o : {o1, o2, o3, o4}) {
    EXPECT_EQ(o.runde, o1.runde);
    EXPECT_TRUE(ring_.Gueltig(o));
  }
  // Partial writes at non-zero offsets after earlier ones change only their own bytes.
  ErwarteBild();
}

TEST_P(KonstantenRingTest, ABlockIsValidOnlyWhileWritingStaysInItsQuarter) {
  Starte(8 * kMax);  // quarters of 2 * kMaxBlock
  const GLsizeiptr viertel = 2 * kMax;
  const Ort a = Schreibe(a_, 0xA1);
  const Ort b = Schreibe(kMax, 0xB2);
  EXPECT_EQ(b.offset, a_);
  // The rest of the quarter is kMaxBlock minus one step: a block of that size fits exactly,
  // one of a step more goes to the next quarter.
  const Ort c = Schreibe(kMax - a_, 0xC3);
  EXPECT_EQ(c.offset, a_ + kMax);
  EXPECT_EQ(c.offset + kMax - a_, viertel);
  for (const Ort& o : {a, b, c}) EXPECT_TRUE(ring_.Gueltig(o));
  const Ort d = Schreibe(1, 0xD4);
  EXPECT_EQ(d.offset, viertel);
  EXPECT_EQ(d.runde, a.runde);
  for (const Ort& o : {a, b, c}) EXPECT_FALSE(ring_.Gueltig(o));
  EXPECT_TRUE(ring_.Gueltig(d));
  // A block one step too large for the rest of its quarter starts the next one.
  const Ort e = Schreibe(kMax, 0xE5);
  EXPECT_EQ(e.offset, viertel + a_);
  const Ort f = Schreibe(kMax - a_ + 1, 0xF6);
  EXPECT_EQ(f.offset, 2 * viertel);
  EXPECT_FALSE(ring_.Gueltig(d));
  EXPECT_FALSE(ring_.Gueltig(e));
  EXPECT_TRUE(ring_.Gueltig(f));
  ErwarteBild();
}

TEST_P(KonstantenRingTest, TheRingComesRoundAtItsEndExactly) {
  Starte(4 * kMax);  // quarters of exactly one largest block
  std::vector<Ort> ort;
  for (int i = 0; i < 4; ++i) {
    ort.push_back(Schreibe(kMax, static_cast<std::uint8_t>(i + 1)));
    ring_.Gezeichnet();
  }
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(ort[i].offset, i * kMax);
    EXPECT_EQ(ort[i].runde, ort[0].runde);
  }
  EXPECT_TRUE(ring_.Gueltig(ort[3]));  // the last block ends at the ring's end and is still valid
  ErwarteBild();
  const Ort n = Schreibe(1, 0x55);
  EXPECT_EQ(n.offset, 0);
  EXPECT_EQ(n.runde, ort[0].runde + 1);
  EXPECT_TRUE(ring_.Gueltig(n));
  // Same offset, another lap: the lap tells them apart.
  EXPECT_FALSE(ring_.Gueltig(ort[0]));
  EXPECT_FALSE(ring_.Gueltig(ort[3]));
  EXPECT_FALSE(ring_.Gueltig(Ort{0, ort[0].runde}));
  EXPECT_TRUE(ring_.Gueltig(Ort{0, n.runde}));
  ErwarteBild();
}

TEST_P(KonstantenRingTest, ABlockThatDoesNotFitTheLastQuarterStartsTheNextLap) {
  Starte(4 * kMax);
  for (int i = 0; i < 3; ++i) {
    Schreibe(kMax, 1);
    ring_.Gezeichnet();
  }
  const Ort a = Schreibe(a_, 2);
  EXPECT_EQ(a.offset, 3 * kMax);
  const Ort b = Schreibe(kMax - a_, 3);  // fits up to the end exactly
  EXPECT_EQ(b.offset, 3 * kMax + a_);
  EXPECT_EQ(b.runde, a.runde);
  ring_.Gezeichnet();
  const Ort c = Schreibe(kMax, 4);
  EXPECT_EQ(c.offset, 0);
  EXPECT_EQ(c.runde, a.runde + 1);
  ring_.Gezeichnet();
  Schreibe(kMax, 5);
  ring_.Gezeichnet();
  Schreibe(kMax, 5);
  ring_.Gezeichnet();
  const Ort d = Schreibe(a_, 6);
  const Ort e = Schreibe(kMax - a_ + 1, 7);  // one byte too many for the rest
  EXPECT_EQ(d.offset, 3 * kMax);
  EXPECT_EQ(e.offset, 0);
  EXPECT_EQ(e.runde, a.runde + 2);
  ErwarteBild();
}

TEST_P(KonstantenRingTest, NoBlockStaysValidAcrossARestart) {
  Starte(4 * kMax);
  const Ort a = Schreibe(16, 1);
  ring_.Beende();
  Starte(4 * kMax);
  const Ort b = Schreibe(16, 2);
  EXPECT_EQ(b.offset, 0);
  EXPECT_FALSE(ring_.Gueltig(a));
  EXPECT_TRUE(ring_.Gueltig(b));
}

// Fences: one per quarter left, made at the first draw after leaving it, waited for when
// writing comes back to the quarter a lap later.
TEST_P(KonstantenRingTest, OneFencePerQuarterLeftMadeAfterTheNextDraw) {
  Starte(4 * kMax);
  GlTest::GlMitschnitt m;
  m.Beobachte(ring_.Puffer());
  Schreibe(16, 1);
  ring_.Gezeichnet();
  Schreibe(kMax - a_, 1);  // fills quarter 0 exactly
  ring_.Gezeichnet();
  EXPECT_EQ(m.zaeune, 0);  // writing has not left quarter 0
  Schreibe(16, 2);          // now it has
  EXPECT_EQ(m.zaeune, 0);   // the fence waits for the draw
  ring_.Gezeichnet();
  EXPECT_EQ(m.zaeune, 1);
  ring_.Gezeichnet();
  EXPECT_EQ(m.zaeune, 1);  // and is made once
  // Three quarters left before one draw: three fences after it.
  Schreibe(kMax, 3);
  Schreibe(kMax, 4);
  Schreibe(1, 5);  // the start of the next lap
  EXPECT_EQ(m.zaeune, 1);
  ring_.Gezeichnet();
  EXPECT_EQ(m.zaeune, 4);
  // The first lap waited for nothing; coming back to quarter 0 waited for its fence, the
  // first one made.
  EXPECT_EQ(m.gewartet, std::vector<int>{1});
  EXPECT_EQ(m.fertig, 0);
  // Then quarter 1's, the second.
  Schreibe(kMax, 6);
  ring_.Gezeichnet();
  EXPECT_EQ(m.gewartet, (std::vector<int>{1, 2}));
  EXPECT_EQ(m.zaeune, 5);
  // A quarter left just before the ring ends gets no fence in the ring started next.
  Schreibe(kMax, 7);
  ring_.Beende();
  Starte(4 * kMax);
  ring_.Gezeichnet();
  Schreibe(kMax, 8);
  ring_.Gezeichnet();
  EXPECT_EQ(m.zaeune, 5);
}

// Long random runs as the backend makes them: up to three blocks per draw, each bound
// again while the ring says it is valid and its values did not change, else written anew.
void Zeichnungen(KonstantenRing& ring, GlTest::GlMitschnitt& m, unsigned seed, int runden) {
  std::mt19937 zufall(seed);
  auto bis = [&](unsigned n) { return zufall() % n; };
  struct Block {
    GLsizeiptr bytes;
    Ort ort;
    double aenderung = 0;
  };
  std::vector<Block> bloecke;
  for (GLsizeiptr b : std::initializer_list<GLsizeiptr>{16, 16, 272, 1024, 4096, 8192, kMax, kMax, kMax - 16})
    bloecke.push_back({b, {}});
  std::vector<std::uint8_t> daten(static_cast<std::size_t>(kMax));
  const Ort erster = ring.Schreibe(daten.data(), 16);
  const std::uint64_t ende = erster.runde + static_cast<std::uint64_t>(runden);
  int n = 0;
  for (Ort letzter = erster; letzter.runde < ende; ++n) {
    ASSERT_LT(n, 200000);
    if (n % 100 == 0)
      for (Block& b : bloecke) b.aenderung = std::array{0.0, 0.02, 0.3, 1.0}[bis(4)];
    std::vector<std::pair<GLintptr, GLsizeiptr>> gelesen;
    for (unsigned k = 0, anzahl = 1 + bis(3); k < anzahl; ++k) {
      Block& b = bloecke[bis(static_cast<unsigned>(bloecke.size()))];
      if (!ring.Gueltig(b.ort) || std::uniform_real_distribution<>(0, 1)(zufall) < b.aenderung) {
        for (GLsizeiptr i = 0; i < b.bytes; i += 4) daten[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(zufall());
        b.ort = ring.Schreibe(daten.data(), b.bytes);
        letzter = b.ort;
      }
      gelesen.emplace_back(b.ort.offset, b.bytes);
    }
    m.Zeichnung(gelesen);
    ring.Gezeichnet();
  }
  m.Vergleiche();
}

// Six laps of a random run in a ring of `groesse` bytes with the GL calls recorded, then
// `pruefe` with the record once the ring has ended. `zeitAus`: every first wait on a fence
// reports a timeout.
template <class Pruefe>
void Zufallslauf(GLsizeiptr groesse, unsigned seed, bool zeitAus, Pruefe pruefe) {
  KonstantenRing ring;
  ASSERT_TRUE(ring.Starte(groesse));
  GlTest::GlMitschnitt m;
  m.Beobachte(ring.Puffer());
  m.zeitUeberschreitungVortaeuschen = zeitAus;
  Zeichnungen(ring, m, seed, 6);
  ring.Beende();
  pruefe(m);
}

TEST_P(KonstantenRingTest, NoByteIsRewrittenWhileADrawMayReadIt) {
  for (GLsizeiptr groesse : {4 * kMax, 4 * kMax + 4 * a_, 10 * kMax, GLsizeiptr{1} << 20}) {
    SCOPED_TRACE(groesse);
    Zufallslauf(groesse, static_cast<unsigned>(groesse), false, [](const GlTest::GlMitschnitt& m) {
      EXPECT_EQ(m.verletzungen, 0u) << m.erste;
      EXPECT_GT(m.warten, 4 * 5 - 1);
      EXPECT_EQ(m.fertig, 0);
    });
  }
}

TEST_P(KonstantenRingTest, AWaitThatRunsOutDoesNotLetTheRingRewrite) {
  Zufallslauf(8 * kMax, 7, true, [](const GlTest::GlMitschnitt& m) {
    EXPECT_EQ(m.verletzungen, 0u) << m.erste;
    EXPECT_GT(m.zeitAus, 0);
  });
}

INSTANTIATE_TEST_SUITE_P(Ausrichtungen, KonstantenRingTest, ::testing::Values(0, 256),
                         [](const ::testing::TestParamInfo<GLint>& i) {
                           return i.param ? "Ausrichtung" + std::to_string(i.param) : std::string("Treiber");
                         });

}  // namespace
