#pragma once
// Vertex and index buffers in video memory, each with a main-memory copy from which it is
// rebuilt after eviction or a device reset.
#include "Quelm_BasisObjekt.h"
#include "Quelm_ComZeiger.h"

#include <cstdint>
#include <memory>

// Initial or new contents of a buffer. With `uebergabe` 1 the receiver owns the memory
// afterwards (allocated with new std::uint8_t[]): it adopts or frees it and clears the record.
struct Quelm_PufferDaten {
  std::uint8_t* daten = nullptr;
  std::uint64_t groesse = 0;
  std::uint32_t uebergabe = 0;

  // Frees the memory and clears the record (what a receiver does with handed-over data).
  void GibFrei();
};

class Quelm_VertexBuffer : public Quelm_BasisObjekt {
 public:
  std::uint64_t groesse = 0;
  std::unique_ptr<std::uint8_t[]> kopie;  // none with FLAG_FLUECHTIG
  Quelm_GeraeteZeiger<IDirect3DVertexBuffer9> geraetePuffer;

  // Size 0: the size of the data. Without FLAG_DYNAMISCH the data must fill the buffer.
  Quelm_VertexBuffer(std::uint64_t groesse, std::uint64_t flags, Quelm_PufferDaten& daten);

  // Replaces the contents from byte 0 (dynamic buffers only).
  void SchreibeInhalt(Quelm_PufferDaten& daten);

  void Benutzen() override;
  bool BelegtVideoRAM() override { return true; }
  void Freigeben() override;
  void Wiederherstellen() override {}
  void Auslagern() override { Freigeben(); }
};

class Quelm_IndexBuffer : public Quelm_BasisObjekt {
 public:
  std::uint64_t groesse = 0;
  std::uint32_t indexFormat = 0;  // 2: 32-bit indices, anything else 16-bit
  std::unique_ptr<std::uint8_t[]> kopie;
  Quelm_GeraeteZeiger<IDirect3DIndexBuffer9> geraetePuffer;

  // The low byte of the flags is the index format (1 = 16-bit, 2 = 32-bit). A null data
  // pointer with a size gives a zero-filled buffer.
  Quelm_IndexBuffer(std::uint64_t flags, Quelm_PufferDaten& daten);

  D3DFORMAT GeraeteFormat() const { return indexFormat == 2 ? D3DFMT_INDEX32 : D3DFMT_INDEX16; }

  void Benutzen() override;
  bool BelegtVideoRAM() override { return true; }
  void Freigeben() override;
  void Wiederherstellen() override {}
  void Auslagern() override { Freigeben(); }
};
