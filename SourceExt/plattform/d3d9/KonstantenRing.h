#pragma once
// Uniform blocks for the OpenGL backend, written into one persistently mapped ring
// buffer. A software renderer waits for every queued draw that reads a buffer before
// that buffer may be rewritten; each block written here goes to a part that no queued
// draw reads, so setting constants between draws never waits for the draws before.
#include <epoxy/gl.h>

#include <array>
#include <cstdint>

namespace Plattform::D3D9 {

class KonstantenRing {
 public:
  // Where a block lies: its offset and the lap of the ring it was written in.
  struct Ort {
    GLintptr offset = -1;
    std::uint64_t runde = 0;
  };

  // Needs the current context. False when the buffer cannot be made.
  bool Starte(GLsizeiptr groesse = GLsizeiptr{4} << 20);
  void Beende();

  // Copies `bytes` (at most kMaxBlock) to a part of the ring that no queued draw reads.
  Ort Schreibe(const void* daten, GLsizeiptr bytes);
  // Whether a block written earlier still holds its bytes: the writes after it have not
  // come round to it, with room for kMaxBlock bytes more.
  bool Gueltig(const Ort& o) const;
  GLuint Puffer() const { return puffer_; }

  static constexpr GLsizeiptr kMaxBlock = 16384;

 private:
  GLuint puffer_ = 0;
  std::uint8_t* zeiger_ = nullptr;
  GLsizeiptr groesse_ = 0;
  GLsizeiptr pos_ = 0;
  std::uint64_t runde_ = 1;
  GLint ausrichtung_ = 256;
  // One fence per quarter, set when writing leaves it; waited for before writing into it
  // again a lap later.
  std::array<GLsync, 4> zaun_{};
  int viertel_ = 0;
};

}  // namespace Plattform::D3D9
