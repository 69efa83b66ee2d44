// Segment streams from arbitrary bytes, walked as the block-graphics packer reads its "PLTZ"
// segments: every read stays inside the buffer and every segment moves the walk forward.
#include "TSegmentLeser.h"

#include <cstdint>
#include <cstring>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* daten, std::size_t groesse) {
  TSpeicher speicher;
  speicher.Reserviere(groesse);
  if (groesse) std::memcpy(speicher.daten, daten, groesse);
  speicher.SetGroesse(groesse);

  constexpr std::uint32_t PLTZ = TSegmentLeser::Kennung("PLTZ");
  while (speicher.position < speicher.groesse) {
    const std::uint64_t vorher = speicher.position;
    TSegmentLeser leser(speicher);
    if (leser.Init(PLTZ, 0x102)) {
      if (leser.version >= 258) {
        leser.LeseU32();
        leser.LeseU32();
      }
      for (int liste = 0; liste < 2 && !leser.fehler; ++liste) {
        const std::uint32_t anzahl = leser.LeseU32();
        if (anzahl > leser.Rest() / 16) break;  // a count the segment cannot hold
        std::vector<std::uint32_t> rechtecke;
        rechtecke.reserve(std::size_t{anzahl} * 4);
        for (std::uint32_t i = 0; i < anzahl * 4; ++i) rechtecke.push_back(leser.LeseU32());
      }
      leser.Ueberspringe(leser.LeseU8());
      leser.LeseU64();
      leser.LeseF32();
    }
    const bool erstes = leser.Beenden();
    const std::uint64_t nachher = speicher.position;
    if (leser.Beenden() != erstes || speicher.position != nachher) __builtin_trap();  // second call: nothing
    if (speicher.position <= vorher || speicher.position > speicher.groesse) __builtin_trap();
  }
  return 0;
}
