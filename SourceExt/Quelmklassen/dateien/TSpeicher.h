#pragma once
#include <cstdint>
#include <filesystem>

// The engine's growable byte buffer with a read/write position: files are loaded into it
// whole, encoders and decoders write into it, the shader translator formats text into it.
// Small contents stay in the inline store; from 513 bytes on the storage is a heap block.
//
// Readers and writers use `daten`, `position` and `groesse` directly. Bytes from `groesse`
// up to `kapazitaet` are scratch.
class TSpeicher {
 public:
  static constexpr std::uint64_t kInternGroesse = 512;
  // Room reserved for one formatted write; a text may use all but the terminating zero.
  static constexpr std::uint64_t kFormatPuffer = 10000;

  std::uint8_t* daten;
  std::uint64_t kapazitaet = kInternGroesse;
  std::uint64_t position = 0;
  std::uint64_t groesse = 0;  // number of valid bytes
  std::uint8_t intern[kInternGroesse];
  std::uint8_t flag = 0;  // free for the owner; the buffer never reads it

  TSpeicher() : daten(intern) {}
  ~TSpeicher();
  TSpeicher(const TSpeicher& andere);
  TSpeicher& operator=(const TSpeicher& andere);
  TSpeicher(TSpeicher&& andere) noexcept;
  TSpeicher& operator=(TSpeicher&& andere) noexcept;

  bool IstIntern() const { return daten == intern; }

  // Moves the contents to storage of n bytes (the inline store for n <= 512); contents and
  // position are cut to n. Inline to inline changes nothing, not even the capacity.
  void SetKapazitaet(std::uint64_t n);
  // Guarantees position + n <= capacity: from the inline store to 10000 bytes, then doubling.
  void Reserviere(std::uint64_t n);
  // Position := min(p, groesse); returns the distance actually moved.
  std::int64_t SetzePosition(std::uint64_t p);
  // Sets the content length; above the capacity it is reported and nothing changes.
  void SetGroesse(std::uint64_t n);
  // printf-style text at the position, at most kFormatPuffer - 1 characters. A longer text is
  // reported and writes nothing. The terminating zero is not counted.
  bool SchreibeFormatText(const char* format, ...) __attribute__((format(printf, 2, 3)));

  // Modes of LadeDatei.
  enum : std::uint32_t { Binaer = 0, Text = 1, GepackterText = 2 };
  // Replaces the contents with a file: mode 0 binary, 1 text (line ends translated), 2 and
  // above packed text (6 characters -> one 32-bit word). 32 zero bytes (at most up to the
  // capacity) follow the contents so text can be used as a zero-terminated string. False when
  // the file cannot be opened (buffer unchanged) or holds an invalid packed character.
  bool LadeDatei(const std::filesystem::path& pfad, std::uint32_t modus);

 private:
  void UebernimmVon(TSpeicher& andere) noexcept;
  void GibFrei() noexcept;
};
