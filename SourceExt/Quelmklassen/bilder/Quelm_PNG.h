#pragma once
// zlib streams on byte buffers and the CRC-32 of PNG and zlib. The PNG reader and writer
// themselves are members of Quelm_Bild.
#include <cstdint>
#include <limits>

class TSpeicher;

// Inflates the zlib stream from the source's position to its end into the target, from the
// target's offset 0 on; the source position moves past the consumed input. True when the
// stream ended properly. With `hoechstens` the output stops once it passes that many bytes
// (result false, nothing logged): a hostile stream cannot make the target grow without end.
bool ZLib_Entpacken(TSpeicher& quelle, TSpeicher& ziel,
                    std::uint64_t hoechstens = std::numeric_limits<std::uint64_t>::max());

// Deflates the whole source contents (level 9) and appends the stream to the target's
// contents; the target is sized to hold even incompressible data. False on a zlib failure.
bool ZLib_Packen(TSpeicher& quelle, TSpeicher& ziel);

// CRC-32 of ISO 3309 as PNG and zlib use it; a length below 1 gives 0.
std::uint32_t Crc32(const void* bytes, std::int32_t laenge);
// Continues a CRC over further bytes: Crc32Weiter(Crc32(a), b) is the CRC of a followed by b.
std::uint32_t Crc32Weiter(std::uint32_t crc, const void* bytes, std::uint64_t laenge);
