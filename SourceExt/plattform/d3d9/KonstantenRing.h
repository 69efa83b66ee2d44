#pragma once
// Uniform blocks for the OpenGL backend, written into one persistently mapped ring
// buffer. A software renderer waits for every queued draw that reads a buffer before
// that buffer may be rewritten; each block written here goes to a part that no queued
// draw reads, so setting constants between draws never waits for the draws before.
//
// The ring is cut into four quarters; a block lies in one of them. A block is used again
// only while writing stays in its quarter, so every draw that reads a quarter comes before
// the first draw after writing has left it: the quarter's fence, made after that draw, is
// waited for before the quarter is written again a lap later.
#include <epoxy/gl.h>

#include <array>
#include <cstdint>

namespace Plattform::D3D9 {

class KonstantenRing {
 public:
  // Where a block lies: its offset and the lap of the ring it was written in (laps count
  // from 1, so a default Ort is no block).
  struct Ort {
    GLintptr offset = -1;
    std::uint64_t runde = 0;
  };

  // Needs the current context. False when the buffer cannot be made, or when a quarter of
  // `groesse` (rounded down to the uniform buffer offset alignment) cannot hold kMaxBlock.
  bool Starte(GLsizeiptr groesse = GLsizeiptr{4} << 20);
  void Beende();

  // Copies `bytes` (at most kMaxBlock) to a part of the ring that no queued draw reads.
  // At most three blocks may be written between two calls of Gezeichnet (the backend
  // writes three per draw at most): a quarter holds the largest block, so each write moves
  // on one quarter at most and never comes back to one left since the last draw.
  Ort Schreibe(const void* daten, GLsizeiptr bytes);
  // To be called after every draw that reads blocks of the ring: the quarters writing has
  // left get their fences now, after the last draw that can read them.
  void Gezeichnet() {
    if (verlassen_) Umzaeune();
  }
  // Whether a block written earlier may be bound for a draw again: it was written in this
  // lap and writing has not left its quarter.
  bool Gueltig(const Ort& o) const { return o.runde == runde_ && o.offset / viertel_ == aktuell_; }
  GLuint Puffer() const { return puffer_; }
  GLsizeiptr Groesse() const { return 4 * viertel_; }

  static constexpr GLsizeiptr kMaxBlock = 16384;

 private:
  void Umzaeune();

  GLuint puffer_ = 0;
  std::uint8_t* zeiger_ = nullptr;
  GLsizeiptr viertel_ = 0;  // bytes of a quarter
  GLsizeiptr pos_ = 0;
  std::uint64_t runde_ = 1;
  GLint ausrichtung_ = 256;
  GLintptr aktuell_ = 0;  // the quarter of the last block written
  // One fence per quarter, made after the first draw after writing has left the quarter
  // and waited for before writing into it again.
  std::array<GLsync, 4> zaun_{};
  unsigned verlassen_ = 0;  // a bit for each quarter left whose fence is still to be made
};

}  // namespace Plattform::D3D9
