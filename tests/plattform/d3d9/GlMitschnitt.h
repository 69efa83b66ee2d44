#pragma once
// Records what the device layer asks of OpenGL around the constants ring and checks the
// one rule that keeps a draw's constants intact on a graphics card: a byte of the ring is
// rewritten only after a wait on a fence made after the last draw that read it has seen
// the fence signalled (or after glFinish). Mesa's software renderer copies constants when
// a draw is issued, so no pixel shows a break of the rule; this check sees it anyway.
//
// Every GL entry point in epoxy is a global function pointer: the recorder swaps those of
// draws and sync objects for wrappers that note the call and forward it. Writes into the
// persistently mapped ring are plain stores; the recorder keeps a copy of the ring and
// compares it before every draw and every wait, so each change is placed between two
// recorded calls. A rewrite with the same bytes is not seen, and needs not be.
#include <epoxy/gl.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <sstream>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace GlTest {

// Calls a swapped GL entry point's saved original from its wrapper. Epoxy's first call
// resolves the entry point through its global pointer: the global holds the saved one
// during the call, the wrapper again after it (and the saved one is then the resolved one).
template <class F, class... A>
auto RufeDurch(F& global, F& original, F ersatz, A... a) {
  global = original;
  struct Zurueck {
    F& g;
    F& o;
    F e;
    ~Zurueck() {
      o = g;
      g = e;
    }
  } zurueck{global, original, ersatz};
  return global(a...);
}

class GlMitschnitt {
 public:
  GlMitschnitt() {
    aktiv_ = this;
    Setze(true);
  }
  ~GlMitschnitt() {
    Setze(false);
    aktiv_ = nullptr;
  }
  GlMitschnitt(const GlMitschnitt&) = delete;
  GlMitschnitt& operator=(const GlMitschnitt&) = delete;

  // The ring to watch; without it the first persistently mapped uniform buffer a draw reads.
  void Beobachte(GLuint puffer) {
    GLint64 groesse = 0;
    glGetNamedBufferParameteri64v(puffer, GL_BUFFER_SIZE, &groesse);
    void* zeiger = nullptr;
    glGetNamedBufferPointerv(puffer, GL_BUFFER_MAP_POINTER, &zeiger);
    ASSERT_NE(zeiger, nullptr);
    ring_ = puffer;
    // The ring is mapped for writing only; Mesa's mapping is plain memory and can be read.
    zeiger_ = static_cast<const std::uint8_t*>(zeiger);
    schatten_.assign(zeiger_, zeiger_ + groesse);
    letzteLesung_.assign(static_cast<std::size_t>(groesse), 0);
  }

  // A draw that reads `bytes` at `offset` of the ring (the tests of the ring alone, which
  // issue no real draws, name the ranges themselves).
  void Zeichnung(const std::vector<std::pair<GLintptr, GLsizeiptr>>& bereiche) {
    Vergleiche();
    ++zeichnungen;
    for (const auto& [offset, bytes] : bereiche) Lies(offset, bytes);
  }

  // Compares the ring with the copy: every changed byte must have been read last by a
  // draw that a signalled wait covers.
  void Vergleiche() {
    if (!zeiger_) return;
    constexpr std::size_t kStueck = 256;
    for (std::size_t a = 0; a < schatten_.size(); a += kStueck) {
      const std::size_t n = std::min(kStueck, schatten_.size() - a);
      if (std::memcmp(zeiger_ + a, schatten_.data() + a, n) == 0) continue;
      for (std::size_t i = a; i < a + n; ++i) {
        if (zeiger_[i] == schatten_[i]) continue;
        schatten_[i] = zeiger_[i];
        if (i < 16) anfangGeaendert_ = true;
        if (letzteLesung_[i] > erledigt_) {
          if (verletzungen++ == 0) {
            std::ostringstream s;
            s << "byte " << i << " rewritten while draw " << letzteLesung_[i]
              << " may still read it: waited-for fences cover draws up to " << erledigt_ << " of "
              << zeichnungen;
            erste = s.str();
          }
        }
      }
    }
    // A new lap begins at offset 0.
    if (anfangGeaendert_) ++rundenAnfaenge;
    anfangGeaendert_ = false;
  }

  std::uint32_t zeichnungen = 0;     // draws seen
  std::uint64_t verletzungen = 0;    // bytes rewritten while a draw may read them
  std::string erste;                 // the first of them
  int rundenAnfaenge = 0;            // checks that found the ring's first bytes changed
  int zaeune = 0, warten = 0, fertig = 0, zeitAus = 0;
  std::vector<int> gewartet;  // the fences waited for, numbered 1, 2, ... as they were made
  // Every first wait on a fence reports a timeout without waiting.
  bool zeitUeberschreitungVortaeuschen = false;

 private:
  void Lies(GLintptr offset, GLsizeiptr bytes) {
    for (GLsizeiptr i = 0; i < bytes; ++i) letzteLesung_[static_cast<std::size_t>(offset + i)] = zeichnungen;
  }

  // The uniform blocks the current program reads, each through its binding.
  void EchteZeichnung() {
    Vergleiche();
    ++zeichnungen;
    GLint p = 0;
    glGetIntegerv(GL_CURRENT_PROGRAM, &p);
    if (!p) return;
    GLint bloecke = 0;
    glGetProgramiv(static_cast<GLuint>(p), GL_ACTIVE_UNIFORM_BLOCKS, &bloecke);
    for (GLint b = 0; b < bloecke; ++b) {
      GLint bindung = 0;
      glGetActiveUniformBlockiv(static_cast<GLuint>(p), static_cast<GLuint>(b), GL_UNIFORM_BLOCK_BINDING, &bindung);
      GLint puffer = 0;
      glGetIntegeri_v(GL_UNIFORM_BUFFER_BINDING, static_cast<GLuint>(bindung), &puffer);
      if (!puffer) continue;
      if (!ring_) {
        GLint flags = 0, gemappt = 0;
        glGetNamedBufferParameteriv(static_cast<GLuint>(puffer), GL_BUFFER_STORAGE_FLAGS, &flags);
        glGetNamedBufferParameteriv(static_cast<GLuint>(puffer), GL_BUFFER_MAPPED, &gemappt);
        if (gemappt && (flags & GL_MAP_PERSISTENT_BIT)) Beobachte(static_cast<GLuint>(puffer));
      }
      if (static_cast<GLuint>(puffer) != ring_) continue;
      GLint64 start = 0, groesse = 0;
      glGetInteger64i_v(GL_UNIFORM_BUFFER_START, static_cast<GLuint>(bindung), &start);
      glGetInteger64i_v(GL_UNIFORM_BUFFER_SIZE, static_cast<GLuint>(bindung), &groesse);
      if (groesse == 0) groesse = static_cast<GLint64>(schatten_.size()) - start;  // glBindBufferBase
      Lies(static_cast<GLintptr>(start), static_cast<GLsizeiptr>(groesse));
    }
  }

  void Erledigt(std::uint32_t bis) { erledigt_ = std::max(erledigt_, bis); }

#define VELMAR_GL_HAKEN(name, ret, params, args, vorher)            \
  static inline decltype(epoxy_##name) orig_##name = nullptr;       \
  static ret EPOXY_CALLSPEC haken_##name params {                   \
    if (aktiv_) aktiv_->vorher;                                     \
    return RufeDurch(epoxy_##name, orig_##name, &haken_##name, VELMAR_GL_ARGS args); \
  }
#define VELMAR_GL_ARGS(...) __VA_ARGS__

  VELMAR_GL_HAKEN(glDrawArrays, void, (GLenum m, GLint f, GLsizei c), (m, f, c), EchteZeichnung())
  VELMAR_GL_HAKEN(glDrawArraysInstanced, void, (GLenum m, GLint f, GLsizei c, GLsizei i), (m, f, c, i),
                  EchteZeichnung())
  VELMAR_GL_HAKEN(glDrawArraysInstancedBaseInstance, void, (GLenum m, GLint f, GLsizei c, GLsizei i, GLuint b),
                  (m, f, c, i, b), EchteZeichnung())
  VELMAR_GL_HAKEN(glDrawElements, void, (GLenum m, GLsizei c, GLenum t, const void* o), (m, c, t, o),
                  EchteZeichnung())
  VELMAR_GL_HAKEN(glDrawElementsBaseVertex, void, (GLenum m, GLsizei c, GLenum t, const void* o, GLint b),
                  (m, c, t, o, b), EchteZeichnung())
  VELMAR_GL_HAKEN(glDrawElementsInstanced, void, (GLenum m, GLsizei c, GLenum t, const void* o, GLsizei i),
                  (m, c, t, o, i), EchteZeichnung())
  VELMAR_GL_HAKEN(glDrawElementsInstancedBaseVertex, void,
                  (GLenum m, GLsizei c, GLenum t, const void* o, GLsizei i, GLint b), (m, c, t, o, i, b),
                  EchteZeichnung())
  VELMAR_GL_HAKEN(glDrawRangeElements, void, (GLenum m, GLuint s, GLuint e, GLsizei c, GLenum t, const void* o),
                  (m, s, e, c, t, o), EchteZeichnung())
  VELMAR_GL_HAKEN(glDrawRangeElementsBaseVertex, void,
                  (GLenum m, GLuint s, GLuint e, GLsizei c, GLenum t, const void* o, GLint b),
                  (m, s, e, c, t, o, b), EchteZeichnung())
  VELMAR_GL_HAKEN(glDeleteSync, void, (GLsync s), (s), Vergessen(s))

#undef VELMAR_GL_HAKEN
#undef VELMAR_GL_ARGS

  void Vergessen(GLsync s) {
    zaunNach_.erase(s);
    gewartet_.erase(s);
  }

  static inline decltype(epoxy_glFenceSync) orig_glFenceSync = nullptr;
  static GLsync EPOXY_CALLSPEC haken_glFenceSync(GLenum bedingung, GLbitfield flags) {
    GLsync s = RufeDurch(epoxy_glFenceSync, orig_glFenceSync, &haken_glFenceSync, bedingung, flags);
    if (aktiv_ && s) {
      aktiv_->zaunNach_[s] = {aktiv_->zeichnungen, ++aktiv_->zaeune};
    }
    return s;
  }

  static inline decltype(epoxy_glClientWaitSync) orig_glClientWaitSync = nullptr;
  static GLenum EPOXY_CALLSPEC haken_glClientWaitSync(GLsync s, GLbitfield flags, GLuint64 frist) {
    GlMitschnitt* m = aktiv_;
    if (m) {
      m->Vergleiche();
      ++m->warten;
      if (m->zeitUeberschreitungVortaeuschen && m->gewartet_.insert(s).second) {
        ++m->zeitAus;
        return GL_TIMEOUT_EXPIRED;
      }
    }
    const GLenum r = RufeDurch(epoxy_glClientWaitSync, orig_glClientWaitSync, &haken_glClientWaitSync, s, flags, frist);
    if (m) {
      auto it = m->zaunNach_.find(s);
      m->gewartet.push_back(it != m->zaunNach_.end() ? it->second.nummer : 0);
      if (it != m->zaunNach_.end() && (r == GL_ALREADY_SIGNALED || r == GL_CONDITION_SATISFIED))
        m->Erledigt(it->second.nachZeichnung);
    }
    return r;
  }

  static inline decltype(epoxy_glGetSynciv) orig_glGetSynciv = nullptr;
  static void EPOXY_CALLSPEC haken_glGetSynciv(GLsync s, GLenum pname, GLsizei n, GLsizei* laenge, GLint* werte) {
    if (aktiv_) aktiv_->Vergleiche();
    RufeDurch(epoxy_glGetSynciv, orig_glGetSynciv, &haken_glGetSynciv, s, pname, n, laenge, werte);
    if (aktiv_ && pname == GL_SYNC_STATUS && n > 0 && werte && *werte == GL_SIGNALED) {
      auto it = aktiv_->zaunNach_.find(s);
      if (it != aktiv_->zaunNach_.end()) aktiv_->Erledigt(it->second.nachZeichnung);
    }
  }

  // glFinish returns when every draw issued before it is done.
  static inline decltype(epoxy_glFinish) orig_glFinish = nullptr;
  static void EPOXY_CALLSPEC haken_glFinish() {
    if (aktiv_) aktiv_->Vergleiche();
    RufeDurch(epoxy_glFinish, orig_glFinish, &haken_glFinish);
    if (aktiv_) {
      ++aktiv_->fertig;
      aktiv_->Erledigt(aktiv_->zeichnungen);
    }
  }

  static void Setze(bool an) {
#define VELMAR_GL_TAUSCH(name)     \
  if (an) {                        \
    orig_##name = epoxy_##name;    \
    epoxy_##name = &haken_##name;  \
  } else {                         \
    epoxy_##name = orig_##name;    \
  }
    VELMAR_GL_TAUSCH(glDrawArrays)
    VELMAR_GL_TAUSCH(glDrawArraysInstanced)
    VELMAR_GL_TAUSCH(glDrawArraysInstancedBaseInstance)
    VELMAR_GL_TAUSCH(glDrawElements)
    VELMAR_GL_TAUSCH(glDrawElementsBaseVertex)
    VELMAR_GL_TAUSCH(glDrawElementsInstanced)
    VELMAR_GL_TAUSCH(glDrawElementsInstancedBaseVertex)
    VELMAR_GL_TAUSCH(glDrawRangeElements)
    VELMAR_GL_TAUSCH(glDrawRangeElementsBaseVertex)
    VELMAR_GL_TAUSCH(glFinish)
    VELMAR_GL_TAUSCH(glDeleteSync)
    VELMAR_GL_TAUSCH(glFenceSync)
    VELMAR_GL_TAUSCH(glClientWaitSync)
    VELMAR_GL_TAUSCH(glGetSynciv)
#undef VELMAR_GL_TAUSCH
  }

  static inline GlMitschnitt* aktiv_ = nullptr;
  GLuint ring_ = 0;
  const std::uint8_t* zeiger_ = nullptr;
  std::vector<std::uint8_t> schatten_;
  std::vector<std::uint32_t> letzteLesung_;  // per byte: the last draw that read it, 0 for none
  std::uint32_t erledigt_ = 0;               // draws known to be done
  bool anfangGeaendert_ = false;
  struct Zaun {
    std::uint32_t nachZeichnung;  // the draws made before it
    int nummer;
  };
  std::unordered_map<GLsync, Zaun> zaunNach_;
  std::unordered_set<GLsync> gewartet_;
};

}  // namespace GlTest
