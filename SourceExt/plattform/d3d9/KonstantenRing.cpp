#include "KonstantenRing.h"

#include <cstring>

namespace Plattform::D3D9 {

bool KonstantenRing::Starte(GLsizeiptr groesse) {
  glGetIntegerv(GL_UNIFORM_BUFFER_OFFSET_ALIGNMENT, &ausrichtung_);
  if (ausrichtung_ <= 0) ausrichtung_ = 256;
  viertel_ = groesse / 4 / ausrichtung_ * ausrichtung_;
  if (viertel_ < kMaxBlock) {
    viertel_ = 0;
    return false;
  }
  constexpr GLbitfield kZugriff = GL_MAP_WRITE_BIT | GL_MAP_PERSISTENT_BIT | GL_MAP_COHERENT_BIT;
  glCreateBuffers(1, &puffer_);
  glNamedBufferStorage(puffer_, Groesse(), nullptr, kZugriff);
  zeiger_ = static_cast<std::uint8_t*>(glMapNamedBufferRange(puffer_, 0, Groesse(), kZugriff));
  return zeiger_ != nullptr;
}

void KonstantenRing::Beende() {
  for (GLsync& z : zaun_)
    if (z) glDeleteSync(z);
  zaun_ = {};
  verlassen_ = 0;
  if (puffer_) {
    if (zeiger_) glUnmapNamedBuffer(puffer_);
    glDeleteBuffers(1, &puffer_);
  }
  puffer_ = 0;
  zeiger_ = nullptr;
  // No block written before stays valid.
  pos_ = 0;
  aktuell_ = 0;
  ++runde_;
}

KonstantenRing::Ort KonstantenRing::Schreibe(const void* daten, GLsizeiptr bytes) {
  const GLsizeiptr belegt = (bytes + ausrichtung_ - 1) / ausrichtung_ * ausrichtung_;
  // A block that does not fit into the rest of its quarter goes to the start of the next.
  if (pos_ + belegt > (aktuell_ + 1) * viertel_) pos_ = (aktuell_ + 1) * viertel_;
  if (pos_ == Groesse()) {
    pos_ = 0;
    ++runde_;
  }
  if (pos_ / viertel_ != aktuell_) {
    verlassen_ |= 1u << aktuell_;
    aktuell_ = pos_ / viertel_;
    if (GLsync& z = zaun_[static_cast<std::size_t>(aktuell_)]) {
      // The draws that read this quarter a lap ago are long done. Should the fence not
      // have signalled within a second (a hung or lost GPU), glFinish waits for them
      // without limit: no byte a queued draw may read is rewritten.
      const GLenum r = glClientWaitSync(z, GL_SYNC_FLUSH_COMMANDS_BIT, 1'000'000'000);
      if (r != GL_ALREADY_SIGNALED && r != GL_CONDITION_SATISFIED) glFinish();
      glDeleteSync(z);
      z = nullptr;
    }
  }
  std::memcpy(zeiger_ + pos_, daten, static_cast<std::size_t>(bytes));
  const Ort o{pos_, runde_};
  pos_ += belegt;
  return o;
}

void KonstantenRing::Umzaeune() {
  for (std::size_t v = 0; v < zaun_.size(); ++v)
    if (verlassen_ & (1u << v)) zaun_[v] = glFenceSync(GL_SYNC_GPU_COMMANDS_COMPLETE, 0);
  verlassen_ = 0;
}

}  // namespace Plattform::D3D9
