#include "KonstantenRing.h"

#include <cstring>

namespace Plattform::D3D9 {

bool KonstantenRing::Starte(GLsizeiptr groesse) {
  glGetIntegerv(GL_UNIFORM_BUFFER_OFFSET_ALIGNMENT, &ausrichtung_);
  if (ausrichtung_ <= 0) ausrichtung_ = 256;
  constexpr GLbitfield kZugriff = GL_MAP_WRITE_BIT | GL_MAP_PERSISTENT_BIT | GL_MAP_COHERENT_BIT;
  glCreateBuffers(1, &puffer_);
  glNamedBufferStorage(puffer_, groesse, nullptr, kZugriff);
  zeiger_ = static_cast<std::uint8_t*>(glMapNamedBufferRange(puffer_, 0, groesse, kZugriff));
  groesse_ = zeiger_ ? groesse : 0;
  return zeiger_ != nullptr;
}

void KonstantenRing::Beende() {
  for (GLsync& z : zaun_)
    if (z) glDeleteSync(z);
  zaun_ = {};
  if (puffer_) {
    if (zeiger_) glUnmapNamedBuffer(puffer_);
    glDeleteBuffers(1, &puffer_);
  }
  puffer_ = 0;
  zeiger_ = nullptr;
}

KonstantenRing::Ort KonstantenRing::Schreibe(const void* daten, GLsizeiptr bytes) {
  const GLsizeiptr belegt = (bytes + ausrichtung_ - 1) / ausrichtung_ * ausrichtung_;
  if (pos_ + belegt > groesse_) {
    pos_ = 0;
    ++runde_;
  }
  const GLsizeiptr viertel = groesse_ / 4;
  const int ziel = static_cast<int>((pos_ + belegt - 1) / viertel);
  while (viertel_ != ziel) {
    zaun_[viertel_] = glFenceSync(GL_SYNC_GPU_COMMANDS_COMPLETE, 0);
    viertel_ = (viertel_ + 1) % 4;
    if (GLsync& z = zaun_[viertel_]) {
      // A lap of constants later the draws that read this quarter are long done; the
      // limit only keeps a lost context from hanging the program.
      glClientWaitSync(z, GL_SYNC_FLUSH_COMMANDS_BIT, 1'000'000'000);
      glDeleteSync(z);
      z = nullptr;
    }
  }
  std::memcpy(zeiger_ + pos_, daten, static_cast<std::size_t>(bytes));
  const Ort o{pos_, runde_};
  pos_ += belegt;
  return o;
}

bool KonstantenRing::Gueltig(const Ort& o) const {
  if (o.offset < 0) return false;
  if (o.runde == runde_) return true;
  return o.runde + 1 == runde_ && o.offset >= pos_ + kMaxBlock;
}

}  // namespace Plattform::D3D9
