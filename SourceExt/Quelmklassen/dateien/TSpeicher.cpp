#include "TSpeicher.h"

#include "Basisdienste.h"
#include "Quelm_Ausnahme.h"

#include <sys/types.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <limits>
#include <new>
#include <string>
#include <system_error>

namespace {

constexpr std::uint64_t kMax = std::numeric_limits<std::uint64_t>::max();

struct DateiSchliesser {
  std::FILE* f;
  ~DateiSchliesser() {
    if (f) std::fclose(f);
  }
};

// Packed text: the 64 characters of the usual base-64 alphabet carry 6 bits each; every
// other byte is invalid (64).
constexpr std::array<std::uint8_t, 256> PackTabelle() {
  std::array<std::uint8_t, 256> t{};
  for (auto& e : t) e = 64;
  const char* zeichen = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  for (std::uint8_t i = 0; i < 64; ++i) t[static_cast<unsigned char>(zeichen[i])] = i;
  return t;
}
constexpr std::array<std::uint8_t, 256> kPackTabelle = PackTabelle();

// The file's length in 64 bits: by seeking where the stream allows it (binary files), else
// from the file system (the text-mode reader cannot seek).
bool DateiLaenge(std::FILE* f, const std::filesystem::path& pfad, std::uint64_t& laenge) {
  if (fseeko(f, 0, SEEK_END) == 0) {
    off_t ende = ftello(f);
    if (ende >= 0 && fseeko(f, 0, SEEK_SET) == 0) {
      laenge = static_cast<std::uint64_t>(ende);
      return true;
    }
  }
  std::error_code fehler;
  std::uintmax_t n = std::filesystem::file_size(pfad, fehler);
  if (fehler) return false;
  laenge = n;
  return true;
}

}  // namespace

TSpeicher::~TSpeicher() { GibFrei(); }

void TSpeicher::GibFrei() noexcept {
  if (!IstIntern()) delete[] daten;
  daten = intern;
}

TSpeicher::TSpeicher(const TSpeicher& andere)
    : daten(intern), kapazitaet(andere.kapazitaet), position(andere.position), groesse(andere.groesse),
      flag(andere.flag) {
  if (!andere.IstIntern()) daten = new std::uint8_t[kapazitaet];
  // The whole storage: the zero bytes behind loaded text belong to what users rely on.
  std::memcpy(daten, andere.daten, andere.IstIntern() ? kInternGroesse : kapazitaet);
}

TSpeicher& TSpeicher::operator=(const TSpeicher& andere) {
  if (this != &andere) {
    TSpeicher kopie(andere);
    GibFrei();
    UebernimmVon(kopie);
  }
  return *this;
}

TSpeicher::TSpeicher(TSpeicher&& andere) noexcept : daten(intern) { UebernimmVon(andere); }

TSpeicher& TSpeicher::operator=(TSpeicher&& andere) noexcept {
  if (this != &andere) {
    GibFrei();
    UebernimmVon(andere);
  }
  return *this;
}

// Takes over the storage of `andere` (this holds none) and leaves `andere` empty and inline.
void TSpeicher::UebernimmVon(TSpeicher& andere) noexcept {
  if (andere.IstIntern()) {
    daten = intern;
    std::memcpy(intern, andere.intern, kInternGroesse);
  } else {
    daten = andere.daten;
  }
  kapazitaet = andere.kapazitaet;
  position = andere.position;
  groesse = andere.groesse;
  flag = andere.flag;
  andere.daten = andere.intern;
  andere.kapazitaet = kInternGroesse;
  andere.position = 0;
  andere.groesse = 0;
}

void TSpeicher::SetKapazitaet(std::uint64_t n) {
  const bool neuIntern = n <= kInternGroesse;
  if (neuIntern && IstIntern()) return;
  if (!neuIntern && n > std::numeric_limits<std::size_t>::max()) throw std::bad_alloc();
  // Allocated before anything changes, so a failure leaves the old storage in place.
  std::uint8_t* neu = neuIntern ? intern : new std::uint8_t[n];
  position = std::min(position, n);
  groesse = std::min(groesse, n);
  if (groesse > 0) std::memmove(neu, daten, groesse);
  if (!IstIntern()) delete[] daten;
  daten = neu;
  kapazitaet = n;
}

void TSpeicher::Reserviere(std::uint64_t n) {
  if (n > kMax - position) throw std::bad_alloc();
  const std::uint64_t bedarf = position + n;
  if (bedarf <= kapazitaet) return;
  std::uint64_t neu = kapazitaet;
  while (neu < bedarf) neu = neu <= kInternGroesse ? 10000 : (neu > kMax / 2 ? bedarf : neu * 2);
  SetKapazitaet(neu);
}

std::int64_t TSpeicher::SetzePosition(std::uint64_t p) {
  const std::uint64_t alt = position;
  position = std::min(p, groesse);
  return static_cast<std::int64_t>(position - alt);
}

void TSpeicher::SetGroesse(std::uint64_t n) {
  if (n > kapazitaet) {
    MeldeAusnahme("Neue Inhaltgröße übersteigt die Puffergröße", "TSpeicher::SetGroesse", __FILE__, __LINE__);
    return;
  }
  groesse = n;
  position = std::min(position, n);
}

bool TSpeicher::SchreibeFormatText(const char* format, ...) {
  Reserviere(kFormatPuffer);
  va_list argumente;
  va_start(argumente, format);
  int n;
  char* ziel = reinterpret_cast<char*>(daten + position);
  if (position >= groesse) {
    // Appending: whatever an overlong text writes lands in the scratch behind the contents.
    n = std::vsnprintf(ziel, kFormatPuffer, format, argumente);
  } else {
    // Inside the contents: formatted aside, so an overlong text and the terminating zero
    // leave the bytes behind the written text alone.
    // On the heap: jobs run on fiber stacks of 120 KiB.
    std::string zwischen(kFormatPuffer, '\0');
    n = std::vsnprintf(zwischen.data(), kFormatPuffer, format, argumente);
    if (n >= 0 && static_cast<std::uint64_t>(n) < kFormatPuffer) std::memcpy(ziel, zwischen.data(), n);
  }
  va_end(argumente);
  if (n < 0 || static_cast<std::uint64_t>(n) >= kFormatPuffer) {
    MeldeAusnahme("Formatierter String zu groß für den internen Puffer", "TSpeicher::SchreibeFormatText", __FILE__,
                  __LINE__);
    return false;
  }
  position += static_cast<std::uint64_t>(n);
  groesse = std::max(groesse, position);
  return true;
}

bool TSpeicher::LadeDatei(const std::filesystem::path& pfad, std::uint32_t modus) {
  DateiSchliesser datei{Plattform::OeffneDatei(pfad, modus == Text ? "r" : "rb")};
  if (!datei.f) return false;
  std::uint64_t laenge = 0;
  if (!DateiLaenge(datei.f, pfad, laenge)) return false;
  position = 0;
  groesse = 0;

  if (modus <= Text) {
    if (laenge > kMax - 8) throw std::bad_alloc();
    if (laenge + 8 > kapazitaet) SetKapazitaet(laenge + 8);
    // Up to 8 bytes more than announced, so a file that grew a little still ends up whole.
    groesse = std::fread(daten, 1, laenge + 8, datei.f);
  } else {
    std::uint8_t kopf[8];
    if (std::fread(kopf, 1, sizeof kopf, datei.f) < sizeof kopf) laenge = 0;
    const std::uint64_t bedarf = laenge / 6 * 4 + laenge % 6 * 4 / 6 + 8;  // 4 * laenge / 6 + 8
    if (bedarf > kapazitaet) SetKapazitaet(bedarf);
    std::uint8_t block[1024];
    std::uint8_t gruppe[6];
    std::size_t inGruppe = 0;
    std::size_t gelesen;
    while ((gelesen = std::fread(block, 1, sizeof block, datei.f)) > 0) {
      for (std::size_t i = 0; i < gelesen; ++i) {
        const std::uint8_t zeichen = block[i];
        if (inGruppe == 0 && std::isspace(zeichen)) continue;
        const std::uint8_t wert = kPackTabelle[zeichen];
        if (wert >= 64) return false;
        gruppe[inGruppe++] = wert;
        if (inGruppe < 6) continue;
        inGruppe = 0;
        std::uint64_t wort = 0;
        for (std::uint8_t g : gruppe) wort = wort << 6 | g;
        // The file may have grown since its length was taken.
        if (groesse + 4 > kapazitaet) Reserviere(groesse + 4 - position);
        for (int b = 0; b < 4; ++b) daten[groesse + b] = static_cast<std::uint8_t>(wort >> (8 * b));
        groesse += 4;
      }
    }
  }

  const std::uint64_t nullen = std::min<std::uint64_t>(32, kapazitaet - groesse);
  std::memset(daten + groesse, 0, nullen);
  return true;
}
