#pragma once
// The render context: every GPU resource is created through its factories and registered
// under an allocation id, every state change and draw goes through it. A shadow of the
// current bindings makes repeated settings free; the per-frame counters show what a frame
// did; resources still registered when it is destroyed are reported.
//
// Threads: the render context, its device and every GPU resource belong to the thread
// that creates the context, the main thread. Creating, using, releasing and drawing
// happen there only, so none of it takes a lock. Background jobs touch CPU-side data only
// (meshes, images, byte buffers) and hand their results back with a main-thread job,
// which uploads them. Debug builds check this on the context's entry points.
#include "Quelm_BasisObjekt.h"
#include "Quelm_Puffer.h"
#include "Quelm_Renderziel.h"
#include "Quelm_Shader.h"
#include "Quelm_Textur.h"
#include "Quelm_VertexEingabe.h"
#include "Quelm_ZeichenKontextImplDX9.h"
#include "Quelm_Zustaende.h"

#include <cstdint>
#include <cstdlib>
#include <memory>

class Quelm_Bild;

class Quelm_ZeichenKontext {
 public:
  struct VertexStrom {
    Quelm_VertexBuffer* puffer = nullptr;
    std::uint64_t offset = 0;
    std::uint64_t stride = 0;
  };

  // Per-frame counters; the frame loop zeroes them after each present.
  struct Zaehler {
    std::int64_t zeichnungen = 0;  // non-instanced draws, indexed or not
    std::int64_t instanzZeichnungen = 0;
    std::int64_t texturen = 0;
    std::int64_t programme = 0;
    std::int64_t renderziele = 0;
    std::int64_t konstanten = 0;
    std::int64_t bereiche = 0;  // viewport changes
    std::int64_t vertexBuffer = 0;
    std::int64_t indexBuffer = 0;
    std::int64_t alphaZustaende = 0;
    std::int64_t tiefeZustaende = 0;
    std::int64_t rueckseiten = 0;
  };

  // Device capabilities, written when the device is created.
  std::uint64_t maxTexturBreite = 0;
  std::uint64_t maxTexturHoehe = 0;
  std::uint64_t maxAnisotropie = 0;  // 0: no anisotropic minification
  std::uint64_t maxRenderziele = 0;  // simultaneous render targets

  // Registry: one heap block, the bitset words (bit set = id in use) followed by the slots;
  // `belegt` owns it.
  struct BlockFreigabe {
    void operator()(std::uint64_t* block) const { std::free(block); }
  };
  Quelm_BasisObjekt** objekte = nullptr;
  std::unique_ptr<std::uint64_t[], BlockFreigabe> belegt;
  std::uint64_t kapazitaet = 0;
  std::uint64_t freiHinweis = 0;

  // Shadow of the current bindings.
  std::uint64_t bereichX = 0, bereichY = 0, bereichBreite = 0, bereichHoehe = 0;
  std::uint64_t zielBreite = 0, zielHoehe = 0;
  Quelm_Renderziel* renderziel = nullptr;  // null = back buffer
  Quelm_Programm* programm = nullptr;
  std::uint32_t rueckseite = 0;  // 0 none, 1 clockwise, 2 counter-clockwise
  Quelm_TiefeZustand* tiefeZustand = nullptr;
  Quelm_AlphaZustand* alphaZustand = nullptr;
  VertexStrom stroeme[4];
  Quelm_IndexBuffer* indexBuffer = nullptr;
  std::uint64_t indexOffset = 0;

  Zaehler zaehler;

  Quelm_AlphaZustand* standardAlpha = nullptr;  // blending off, write mask 15
  Quelm_TiefeZustand* standardTiefe = nullptr;  // test off, write off, less or equal

  Quelm_ZeichenKontextImplDX9 impl;

  // Reads the screen's mode, mode flags and window (Quelm_Screen3D); creates the device.
  Quelm_ZeichenKontext();
  ~Quelm_ZeichenKontext();
  Quelm_ZeichenKontext(const Quelm_ZeichenKontext&) = delete;
  Quelm_ZeichenKontext& operator=(const Quelm_ZeichenKontext&) = delete;

  bool HatGeraet() const { return impl.geraet != nullptr; }

  // Stops a debug or checking build (QUELM_PRUEFE_THREAD) when called off the context's
  // thread (see the threading rule above).
#if defined(NDEBUG) && !defined(QUELM_PRUEFE_THREAD)
  void PruefeThread() const {}
#else
  void PruefeThread() const;
#endif

  // --- Factories: the caller gives each object back with GibFrei.
  Quelm_VertexBuffer* ErzeugeVertexBuffer(std::uint64_t groesse, std::uint64_t flags, Quelm_PufferDaten& daten);
  Quelm_VertexBuffer* ErzeugeVertexBuffer(std::uint64_t groesse, std::uint64_t flags,
                                          Quelm_PufferDaten&& daten = {});
  // Flags with the index format in the low byte (1 = 16-bit, 2 = 32-bit indices).
  Quelm_IndexBuffer* ErzeugeIndexBuffer(std::uint64_t flags, Quelm_PufferDaten& daten);
  Quelm_IndexBuffer* ErzeugeIndexBuffer(std::uint64_t flags, Quelm_PufferDaten&& daten);
  Quelm_VertexEingabe* ErzeugeVertexEingabe();
  Quelm_VertexShader* ErzeugeVertexShader();
  Quelm_PixelShader* ErzeugePixelShader();
  // The shaders must be compiled and the layout finished before.
  Quelm_Programm* ErzeugeProgramm(Quelm_VertexEingabe* eingabe, Quelm_VertexShader* vertexShader,
                                  Quelm_PixelShader* pixelShader);
  Quelm_Textur* ErzeugeTextur(std::uint64_t breite, std::uint64_t hoehe, std::uint64_t mipStufen,
                              std::uint64_t formatUndFlags, Quelm_TexturVorgabe& vorgabe);
  Quelm_Textur* ErzeugeTextur(std::uint64_t breite, std::uint64_t hoehe, std::uint64_t mipStufen,
                              std::uint64_t formatUndFlags, Quelm_TexturVorgabe&& vorgabe = {});
  // A Quelm_Textur, or a Quelm_WuerfelTextur for a cube image; the image keeps its memory.
  Quelm_BasisObjekt* ErzeugeTexturAusBild(Quelm_Bild& bild);
  Quelm_ZBuffer* ErzeugeZBuffer(std::uint64_t breite, std::uint64_t hoehe);
  Quelm_Renderziel* ErzeugeRenderziel(const Quelm_RenderzielBeschr& beschr);
  Quelm_Sampler* ErzeugeSampler(const Quelm_SamplerBeschr& beschr);
  Quelm_AlphaZustand* ErzeugeAlphaZustand(const Quelm_AlphaZustandBeschr& beschr);
  Quelm_TiefeZustand* ErzeugeTiefeZustand(const Quelm_TiefeZustandBeschr& beschr);

  // Registers a constructed resource under the lowest free id (what every factory does).
  void Registriere(Quelm_BasisObjekt* objekt);
  // Deregisters and destroys a resource; null is ignored.
  void GibFrei(Quelm_BasisObjekt* objekt);
  std::uint64_t FindeFreieAllocID();

  // Visits every registered resource in ascending id order; the visitor must not
  // register or release resources.
  template <class F>
  void FuerJedesObjekt(F&& besuche) {
    for (std::uint64_t w = 0; w < kapazitaet / 64; ++w) {
      for (std::uint64_t bits = belegt[w]; bits; bits &= bits - 1) {
        const std::uint64_t id = w * 64 + static_cast<std::uint64_t>(__builtin_ctzll(bits));
        besuche(objekte[id]);
      }
    }
  }

  // Drops `objekt` from the binding shadows, so that the next setting of it, or of a new
  // object at the same address, reaches the device. Run when a resource is evicted, and
  // with `zerstoert` when it is released for good.
  void VergissBindungen(Quelm_BasisObjekt* objekt, bool zerstoert = false);

  // --- State setters; unchanged values cost nothing.
  void SetRenderZiel(Quelm_Renderziel* ziel);
  // Clipped to the current target; -1 as width or height means up to the target's edge.
  void SetRenderBereich(std::uint64_t x, std::uint64_t y, std::uint64_t breite, std::uint64_t hoehe);
  void Leeren(std::uint32_t flags, float r, float g, float b, float a);
  void SetRueckseite(std::uint32_t modus);
  void SetProgramm(Quelm_Programm* programm);
  void SetProgrammKonstante(std::int32_t handle, const float (&werte)[4]);
  void SetProgrammKonstante(std::int32_t handle, float x, float y, float z, float w);
  // A row-major 4 x 4 matrix; it is transposed for the shader.
  void SetProgrammKonstante(std::int32_t handle, const float (&matrix)[16]);
  void SetTiefeZustand(Quelm_TiefeZustand* zustand);  // null = default
  void SetAlphaZustand(Quelm_AlphaZustand* zustand);  // null = default
  // Stride 0: the stride the current program's layout gives this stream.
  void SetVertexBuffer(std::uint64_t strom, Quelm_VertexBuffer* puffer, std::uint64_t stride = 0);
  void SetIndexBuffer(Quelm_IndexBuffer* puffer);
  void SetTextur(std::uint32_t samplerHandle, Quelm_Sampler* sampler, Quelm_BasisObjekt* textur);

  // --- Draws. A draw without program, stream-0 buffer or stream-0 stride is reported and skipped.
  void ZeichneElemente(std::uint32_t typ, std::uint64_t anzahl);
  void ZeichneIndexElemente(std::uint32_t typ, std::uint64_t anzahl);
  // Two triangles (one quad) per instance.
  void ZeichneIndexInstanzen(std::uint64_t instanzen);

  void SetzeZustandZurueck();
  void SetzeZaehlerZurueck() { zaehler = Zaehler{}; }
  // Logs the "videoram" statistics.
  void GibStatistik();

 private:
  // The registry owns the object from here on (a failed registration frees it).
  template <class T>
  T* Neu(std::unique_ptr<T> objekt) {
    Registriere(objekt.get());
    return objekt.release();
  }
  bool KannZeichnen(const char* funktion, bool indiziert);

  std::uint32_t thread_;  // the creating thread's id

  // Bits 0-3: the stream's binding must be sent again although the shadow matches;
  // bit 4 the same for the index buffer (set when the bound buffer was evicted).
  std::uint32_t veraltet_ = 0;
};
