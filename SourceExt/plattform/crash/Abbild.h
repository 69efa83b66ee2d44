#pragma once
// Layout of "MiniDump.dmp" as written by Plattform::Absturz::SchreibeAbbild. All numbers
// little-endian.
//   header:  8 bytes kMagie, u32 kVersion, u32 number of sections
//   section: u32 kind, u32 zero, u64 length of the payload, then the payload
// Payloads:
//   Ausnahme     AbbildAusnahme below
//   Register     the 23 general registers of the interrupted context (ucontext's gregs)
//   Stapel       u64 address of the first byte, then the stack bytes from the stack
//                pointer upwards (at most kStapelBytes, within the stack's mapping)
//   Speicherkarte the text of /proc/self/maps
#include <cstdint>

namespace Plattform::Absturz {

inline constexpr char kMagie[8] = {'V', 'E', 'L', 'M', 'D', 'M', 'P', '\0'};
inline constexpr std::uint32_t kVersion = 1;
inline constexpr std::uint64_t kStapelBytes = 64 * 1024;

enum AbbildTeil : std::uint32_t { TeilAusnahme = 1, TeilRegister = 2, TeilStapel = 3, TeilSpeicherkarte = 4 };

struct AbbildAusnahme {
  std::uint32_t code;
  std::int32_t signal;
  std::int32_t signalCode;  // si_code
  std::uint32_t threadId;
  std::uint64_t adresse;       // the faulting instruction
  std::uint64_t datenAdresse;  // si_addr: the address the fault was about; 0 for a sent signal
  std::uint32_t prozessId;
  std::uint32_t absender;      // the process that sent the signal, 0 for a fault
};

}  // namespace Plattform::Absturz
