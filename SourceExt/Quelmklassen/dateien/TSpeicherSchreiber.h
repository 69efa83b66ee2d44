#pragma once
// Appends big-endian numbers to a TSpeicher at its position: the writing side of the
// engine's binary files (block graphics, fonts), used by the tools that build them.
#include "TSpeicher.h"

#include <cstdint>
#include <cstring>

class TSpeicherSchreiber {
 public:
  explicit TSpeicherSchreiber(TSpeicher& speicher) : speicher_(speicher) {}

  void U8(std::uint8_t v) { Bytes(&v, 1); }
  void U32(std::uint32_t v) {
    const std::uint8_t b[4] = {static_cast<std::uint8_t>(v >> 24), static_cast<std::uint8_t>(v >> 16),
                               static_cast<std::uint8_t>(v >> 8), static_cast<std::uint8_t>(v)};
    Bytes(b, 4);
  }
  void U64(std::uint64_t v) {
    U32(static_cast<std::uint32_t>(v >> 32));
    U32(static_cast<std::uint32_t>(v));
  }
  void F32(float f) {
    std::uint32_t bits;
    std::memcpy(&bits, &f, 4);
    U32(bits);
  }
  void Bytes(const void* quelle, std::uint64_t n) {
    speicher_.Reserviere(n);
    std::memcpy(speicher_.daten + speicher_.position, quelle, n);
    speicher_.position += n;
    if (speicher_.position > speicher_.groesse) speicher_.groesse = speicher_.position;
  }

 private:
  TSpeicher& speicher_;
};
