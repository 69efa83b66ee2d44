#include "Quelm_Puffer.h"

#include "Quelm_Ausnahme.h"
#include "Quelm_Protokolliere.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <utility>

namespace {

// Locks the whole device buffer and copies `anzahl` bytes to its start.
template <class P>
bool SchreibeGeraetePuffer(P* puffer, std::uint64_t groesse, const std::uint8_t* daten, std::uint64_t anzahl,
                           bool dynamisch) {
  void* ziel = nullptr;
  if (!puffer || FAILED(puffer->Lock(0, static_cast<UINT>(groesse), &ziel, dynamisch ? D3DLOCK_DISCARD : 0)) ||
      !ziel)
    return false;
  std::memcpy(ziel, daten, static_cast<std::size_t>(std::min(anzahl, groesse)));
  puffer->Unlock();
  return true;
}

// The main-memory copy of a new buffer: the handed-over data itself when it fits exactly,
// otherwise a zero-filled block with the data copied to its start.
std::unique_ptr<std::uint8_t[]> BaueKopie(Quelm_PufferDaten& daten, std::uint64_t groesse) {
  if (daten.daten && daten.uebergabe == 1 && daten.groesse == groesse)
    return std::unique_ptr<std::uint8_t[]>(std::exchange(daten.daten, nullptr));
  if (groesse == 0) return nullptr;
  auto kopie = std::make_unique<std::uint8_t[]>(groesse);
  if (daten.daten)
    std::memcpy(kopie.get(), daten.daten, static_cast<std::size_t>(std::min(daten.groesse, groesse)));
  return kopie;
}

// What a receiver does with handed-over data it did not adopt.
void Erledige(Quelm_PufferDaten& daten) {
  if (daten.uebergabe == 1) daten.GibFrei();
}

// The end of both buffers' constructors, after the device buffer was made: the initial
// data goes to the device (data larger than a dynamic buffer is cut to the buffer's size),
// the main-memory copy is kept unless the buffer is volatile, handed-over data is settled.
template <class P>
std::unique_ptr<std::uint8_t[]> Befuelle(P* geraetePuffer, std::uint64_t groesse, std::uint64_t flags,
                                         Quelm_PufferDaten& daten, const char* ort) {
  if (daten.daten && !SchreibeGeraetePuffer(geraetePuffer, groesse, daten.daten, daten.groesse, flags & FLAG_DYNAMISCH))
    MeldeAusnahme("Schreiben der Initialdaten gescheitert", ort, __FILE__, __LINE__);
  std::unique_ptr<std::uint8_t[]> kopie;
  if (!(flags & FLAG_FLUECHTIG)) kopie = BaueKopie(daten, groesse);
  Erledige(daten);
  return kopie;
}

// Device usage of a buffer with these resource flags.
DWORD Verwendung(std::uint64_t flags) {
  return D3DUSAGE_WRITEONLY | ((flags & FLAG_DYNAMISCH) ? D3DUSAGE_DYNAMIC : 0);
}

// The end of a buffer's Benutzen once the device was asked for its buffer: a failure is
// reported with the class's messages and leaves the buffer released; a success makes it
// resident and uploads the main-memory copy.
template <class P>
void NachErzeugung(HRESULT hr, Quelm_BasisObjekt& puffer, P* geraetePuffer, const std::uint8_t* kopie,
                   std::uint64_t groesse, const char* klasse, const char* art) {
  const std::string name = std::string("Quelm_") + klasse;
  if (FAILED(hr)) {
    Protokolliere("!%s::%s( %d): Failed to create %s buffer", name.c_str(), name.c_str(), static_cast<int>(groesse),
                  art);
    MeldeAusnahme(std::string(klasse) + " creation failed", name + "::Benutzen", __FILE__, __LINE__);
    return;
  }
  puffer.zustand = Quelm_BasisObjekt::ZUSTAND_RESIDENT;
  if (kopie && !SchreibeGeraetePuffer(geraetePuffer, groesse, kopie, groesse, puffer.flags & FLAG_DYNAMISCH))
    MeldeAusnahme("Schreiben des Bufferinhalts gescheitert", name + "::Benutzen", __FILE__, __LINE__);
}

}  // namespace

void Quelm_PufferDaten::GibFrei() {
  delete[] daten;
  daten = nullptr;
  groesse = 0;
}

// ---------------------------------------------------------------------------------------------

Quelm_VertexBuffer::Quelm_VertexBuffer(std::uint64_t groesse, std::uint64_t flags, Quelm_PufferDaten& daten)
    : Quelm_BasisObjekt(flags) {
  this->groesse = groesse ? groesse : daten.groesse;
  if (this->groesse == 0)
    MeldeAusnahme("Ungültige Buffergröße", "Quelm_VertexBuffer::Quelm_VertexBuffer", __FILE__, __LINE__);
  const bool dynamisch = flags & FLAG_DYNAMISCH;
  if (!dynamisch && daten.groesse != this->groesse) {
    Protokolliere(
        "!Quelm_VertexBuffer::Quelm_VertexBuffer( %d, %d, ...): VertexBuffer ohne FLAG_DYNAMISCH kann "
        "nachträglich nicht mehr beschrieben werden. Vorgabedaten müssen daher den Buffer vollständig ausfüllen.",
        static_cast<int>(this->groesse), static_cast<int>(flags));
    MeldeAusnahme("Initialdaten müssen zum Buffer passen", "Quelm_VertexBuffer::Quelm_VertexBuffer", __FILE__,
                  __LINE__);
  }

  zustand = ZUSTAND_FREIGEGEBEN;
  Benutzen();
  kopie = Befuelle(geraetePuffer.get(), this->groesse, flags, daten, "Quelm_VertexBuffer::Quelm_VertexBuffer");
}

void Quelm_VertexBuffer::Benutzen() {
  StempleNutzung();
  if (zustand != ZUSTAND_FREIGEGEBEN) return;
  IDirect3DDevice9* geraet = Geraet();
  const DWORD verwendung = Verwendung(flags);
  IDirect3DVertexBuffer9* neu = nullptr;
  const HRESULT hr = geraet ? ErzeugeMitAuslagerung(
                                  [&] {
                                    return geraet->CreateVertexBuffer(static_cast<UINT>(groesse), verwendung, 0,
                                                                      D3DPOOL_DEFAULT, &neu, nullptr);
                                  },
                                  false)
                            : D3DERR_INVALIDCALL;
  geraetePuffer.reset(SUCCEEDED(hr) ? neu : nullptr);
  NachErzeugung(hr, *this, geraetePuffer.get(), kopie.get(), groesse, "VertexBuffer", "vertex");
}

void Quelm_VertexBuffer::Freigeben() {
  geraetePuffer.reset();
  if (zustand == ZUSTAND_RESIDENT) zustand = ZUSTAND_FREIGEGEBEN;
}

void Quelm_VertexBuffer::SchreibeInhalt(Quelm_PufferDaten& daten) {
  // Handed-over memory belongs to the buffer from here on, also when the write is refused.
  struct Abschluss {
    Quelm_PufferDaten& d;
    ~Abschluss() { Erledige(d); }
  } abschluss{daten};

  if (!(flags & FLAG_DYNAMISCH)) {
    MeldeAusnahme("Nachträgliches Ändern des Inhalts nur bei dynamischer Ressource möglich",
                  "Quelm_VertexBuffer::SchreibeInhalt", __FILE__, __LINE__);
    return;
  }
  if (daten.groesse > groesse) {
    MeldeAusnahme("Neuer Inhalt zu groß für Buffer", "Quelm_VertexBuffer::SchreibeInhalt", __FILE__, __LINE__);
    return;
  }
  Benutzen();
  if (!daten.daten) return;
  if (!SchreibeGeraetePuffer(geraetePuffer.get(), groesse, daten.daten, daten.groesse, true)) {
    MeldeAusnahme("Schreiben des Bufferinhalts gescheitert", "Quelm_VertexBuffer::SchreibeInhalt", __FILE__,
                  __LINE__);
    return;
  }
  if (kopie) std::memcpy(kopie.get(), daten.daten, static_cast<std::size_t>(daten.groesse));
}

// ---------------------------------------------------------------------------------------------

Quelm_IndexBuffer::Quelm_IndexBuffer(std::uint64_t flags, Quelm_PufferDaten& daten)
    : Quelm_BasisObjekt(flags & ~std::uint64_t{0xFF}) {
  indexFormat = static_cast<std::uint32_t>(flags & 0xFF);
  groesse = daten.groesse;
  if (groesse == 0)
    MeldeAusnahme("Ungültige Buffergröße", "Quelm_IndexBuffer::Quelm_IndexBuffer", __FILE__, __LINE__);
  if (indexFormat == 0)
    MeldeAusnahme("Ungültiges Indexformat", "Quelm_IndexBuffer::Quelm_IndexBuffer", __FILE__, __LINE__);

  zustand = ZUSTAND_FREIGEGEBEN;
  Benutzen();
  kopie = Befuelle(geraetePuffer.get(), groesse, this->flags, daten, "Quelm_IndexBuffer::Quelm_IndexBuffer");
}

void Quelm_IndexBuffer::Benutzen() {
  StempleNutzung();
  if (zustand != ZUSTAND_FREIGEGEBEN) return;
  IDirect3DDevice9* geraet = Geraet();
  const DWORD verwendung = Verwendung(flags);
  IDirect3DIndexBuffer9* neu = nullptr;
  const HRESULT hr = geraet ? ErzeugeMitAuslagerung(
                                  [&] {
                                    return geraet->CreateIndexBuffer(static_cast<UINT>(groesse), verwendung,
                                                                     GeraeteFormat(), D3DPOOL_DEFAULT, &neu, nullptr);
                                  },
                                  false)
                            : D3DERR_INVALIDCALL;
  geraetePuffer.reset(SUCCEEDED(hr) ? neu : nullptr);
  NachErzeugung(hr, *this, geraetePuffer.get(), kopie.get(), groesse, "IndexBuffer", "index");
}

void Quelm_IndexBuffer::Freigeben() {
  geraetePuffer.reset();
  if (zustand == ZUSTAND_RESIDENT) zustand = ZUSTAND_FREIGEGEBEN;
}
