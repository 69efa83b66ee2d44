#pragma once
#include "TSpeicher.h"

#include <cstdint>
#include <limits>

// Reads one tagged segment of an engine file from a TSpeicher at its position: a four-character
// start id, a version word (bit 31: a 64-bit length follows), the owner's contents and an end
// marker (the id with its last three characters lower-cased). All numbers are big-endian.
//
// The owner calls Init, reads the contents with the Lese functions while `gueltig` holds, and
// calls Beenden, which checks the end marker and, when it is wrong, moves to the recorded end.
// Reads past the buffer's contents give 0 and set `fehler`; nothing here throws.
class TSegmentLeser {
 public:
  static constexpr std::uint64_t kKeinEnde = std::numeric_limits<std::uint64_t>::max();

  TSpeicher* speicher;
  std::uint32_t kennung = 0;  // expected start id, first character in the highest byte
  std::uint32_t version = 0;
  std::uint64_t ende = kKeinEnde;  // recorded end offset in the buffer
  bool beendet = false;
  bool gueltig = false;  // header read whole, id and version accepted
  bool fehler = false;   // a read ran past the contents, or the end marker was wrong

  explicit TSegmentLeser(TSpeicher& speicher) : speicher(&speicher) {}

  // "PLTZ" -> 0x504C545A.
  static constexpr std::uint32_t Kennung(const char (&text)[5]) {
    return static_cast<std::uint32_t>(static_cast<unsigned char>(text[0])) << 24 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(text[1])) << 16 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(text[2])) << 8 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(text[3]));
  }

  // Reads the header and checks id and version. A wrong id or version, a header cut short or a
  // length that cannot belong to a segment in this buffer is reported and gives false.
  bool Init(std::uint32_t kennung, std::uint32_t hoechsteVersion);
  // Checks the end marker once (later calls do nothing). Returns true when the whole segment
  // was read correctly. After a refused header it reads no marker; a segment of the right id
  // whose version was refused is skipped to its recorded end.
  bool Beenden();

  // Big-endian reads at the buffer's position.
  std::uint8_t LeseU8();
  std::uint32_t LeseU32();
  std::uint64_t LeseU64();
  float LeseF32();
  // Moves forward n bytes; false (at the end of the contents, `fehler` set) when fewer remain.
  bool Ueberspringe(std::uint64_t n);
  // Bytes left to read up to the recorded end (or the end of the contents when that is
  // nearer): an upper bound for counts read from the segment.
  std::uint64_t Rest() const;

 private:
  // The next n bytes, or null (position at the end, `fehler` set) when fewer remain.
  const std::uint8_t* Nimm(std::uint64_t n);
  std::uint64_t LeseBigEndian(int bytes);
};
