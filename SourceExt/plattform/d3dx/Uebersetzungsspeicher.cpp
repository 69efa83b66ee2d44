#include "Uebersetzungsspeicher.h"

#include <link.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <mutex>
#include <string>
#include <string_view>
#include <system_error>

namespace Plattform::D3dx {

namespace {
namespace fs = std::filesystem;

constexpr std::uint32_t kMagie = 0x50534856;  // "VHSP"
constexpr std::uint32_t kFormat = 1;          // raise when an entry's layout changes
// More entries than a program's shaders with their edits: the folder is emptied then.
constexpr std::size_t kMaxEintraege = 1000;
constexpr int kMaxTiefe = 32;  // structure nesting read back from an entry

// The build identity (GNU build ID, as hex) of the object that holds this code; empty when
// it has none.
std::string BauKennung() {
  struct Suche {
    std::uintptr_t adresse;
    std::string kennung;
  } suche{reinterpret_cast<std::uintptr_t>(&BauKennung), {}};
  dl_iterate_phdr(
      [](dl_phdr_info* info, std::size_t, void* daten) -> int {
        auto& s = *static_cast<Suche*>(daten);
        bool hier = false;
        for (int i = 0; i < info->dlpi_phnum; ++i) {
          const ElfW(Phdr)& ph = info->dlpi_phdr[i];
          const std::uintptr_t anfang = info->dlpi_addr + ph.p_vaddr;
          if (ph.p_type == PT_LOAD && s.adresse >= anfang && s.adresse < anfang + ph.p_memsz) hier = true;
        }
        if (!hier) return 0;
        for (int i = 0; i < info->dlpi_phnum; ++i) {
          const ElfW(Phdr)& ph = info->dlpi_phdr[i];
          if (ph.p_type != PT_NOTE) continue;
          const auto* p = reinterpret_cast<const unsigned char*>(info->dlpi_addr + ph.p_vaddr);
          std::size_t rest = ph.p_memsz;
          while (rest >= sizeof(ElfW(Nhdr))) {
            ElfW(Nhdr) kopf;
            std::memcpy(&kopf, p, sizeof kopf);
            const std::size_t name = (kopf.n_namesz + 3u) & ~std::size_t{3};
            const std::size_t beschr = (kopf.n_descsz + 3u) & ~std::size_t{3};
            if (sizeof kopf + name + beschr > rest) break;
            if (kopf.n_type == NT_GNU_BUILD_ID && kopf.n_namesz == 4 && std::memcmp(p + sizeof kopf, "GNU", 4) == 0) {
              static constexpr char kHex[] = "0123456789abcdef";
              for (std::size_t k = 0; k < kopf.n_descsz; ++k) {
                const unsigned char b = p[sizeof kopf + name + k];
                s.kennung += kHex[b >> 4];
                s.kennung += kHex[b & 15];
              }
              return 1;
            }
            p += sizeof kopf + name + beschr;
            rest -= sizeof kopf + name + beschr;
          }
        }
        return 1;
      },
      &suche);
  return suche.kennung;
}

bool IstBauKennung(const std::string& name) {
  if (name.size() < 16 || name.size() > 64) return false;
  for (char c : name)
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
  return true;
}

struct Speicher {
  std::mutex sperre;
  fs::path ordner;  // with the build's subfolder; empty: off
  bool vorbereitet = false;
  std::atomic<std::uint64_t> treffer{0}, gespeichert{0}, temporaer{0};
};

Speicher& DerSpeicher() {
  static Speicher s;
  return s;
}

// ---------------------------------------------------------------- the entry's bytes

std::uint64_t Pruefsumme(std::string_view daten) {
  std::uint64_t h = 0xcbf29ce484222325ull;  // FNV-1a
  for (unsigned char c : daten) h = (h ^ c) * 0x100000001b3ull;
  return h;
}

using Bytes = std::vector<std::uint8_t>;
using ShaderBlobDetail::Schreibe;
using ShaderBlobDetail::SchreibeText;

void SchreibeKonstanten(Bytes& aus, const std::vector<HlslKonstante>& liste) {
  Schreibe(aus, static_cast<std::uint32_t>(liste.size()));
  for (const HlslKonstante& k : liste) {
    SchreibeText(aus, k.name);
    Schreibe(aus, static_cast<std::uint32_t>(k.grundtyp));
    Schreibe(aus, static_cast<std::uint32_t>(k.explizitesRegister));
    SchreibeKonstanten(aus, k.glieder);
  }
}

void LiesKonstanten(ShaderBlobDetail::Leser& l, std::vector<HlslKonstante>& liste, int tiefe) {
  if (tiefe > kMaxTiefe) {
    l.Fehler();
    return;
  }
  const std::uint32_t n = l.Anzahl(16);
  for (std::uint32_t i = 0; i < n && l.ok; ++i) {
    HlslKonstante k;
    k.name = l.Text();
    k.grundtyp = static_cast<D3DXPARAMETER_TYPE>(l.Wort());
    k.explizitesRegister = static_cast<int>(l.Wort());
    LiesKonstanten(l, k.glieder, tiefe + 1);
    liste.push_back(std::move(k));
  }
}

std::string Schluessel(const HlslAuftrag& a) {
  Bytes s;
  Schreibe(s, static_cast<std::uint32_t>(a.stufe));
  Schreibe(s, a.zeilenMatrizen ? 1 : 0);
  SchreibeText(s, a.einstieg);
  SchreibeText(s, a.quellName);
  Schreibe(s, static_cast<std::uint32_t>(a.makros.size()));
  for (const auto& [name, wert] : a.makros) {
    SchreibeText(s, name);
    SchreibeText(s, wert);
  }
  SchreibeText(s, a.quelle);
  return std::string(s.begin(), s.end());
}

Bytes Eintrag(const std::string& schluessel, const HlslErgebnis& e) {
  Bytes s;
  Schreibe(s, kMagie);
  Schreibe(s, kFormat);
  SchreibeText(s, schluessel);
  SchreibeText(s, e.meldungen);
  Schreibe(s, static_cast<std::uint32_t>(e.spirv.size()));
  for (std::uint32_t w : e.spirv) Schreibe(s, w);
  SchreibeKonstanten(s, e.konstanten);
  Schreibe(s, static_cast<std::uint32_t>(e.samplerReihenfolge.size()));
  for (const std::string& name : e.samplerReihenfolge) SchreibeText(s, name);
  Schreibe(s, static_cast<std::uint32_t>(e.samplerRegister.size()));
  for (const auto& [name, reg] : e.samplerRegister) {
    SchreibeText(s, name);
    Schreibe(s, static_cast<std::uint32_t>(reg));
  }
  // A damaged entry must not pass for another translation.
  const std::uint64_t summe = Pruefsumme({reinterpret_cast<const char*>(s.data()), s.size()});
  const auto* p = reinterpret_cast<const std::uint8_t*>(&summe);
  s.insert(s.end(), p, p + sizeof summe);
  return s;
}

std::optional<HlslErgebnis> LiesEintrag(std::string_view daten, const std::string& schluessel) {
  std::uint64_t summe = 0;
  if (daten.size() < sizeof summe) return std::nullopt;
  std::memcpy(&summe, daten.data() + daten.size() - sizeof summe, sizeof summe);
  daten.remove_suffix(sizeof summe);
  if (Pruefsumme(daten) != summe) return std::nullopt;
  const auto* anfang = reinterpret_cast<const std::uint8_t*>(daten.data());
  ShaderBlobDetail::Leser l{anfang, anfang + daten.size()};
  if (l.Wort() != kMagie || l.Wort() != kFormat || l.Text() != schluessel) return std::nullopt;
  HlslErgebnis e;
  e.meldungen = l.Text();
  const std::uint32_t woerter = l.Anzahl(4);
  e.spirv.reserve(woerter);
  for (std::uint32_t i = 0; i < woerter; ++i) e.spirv.push_back(l.Wort());
  LiesKonstanten(l, e.konstanten, 0);
  for (std::uint32_t i = 0, n = l.Anzahl(4); i < n; ++i) e.samplerReihenfolge.push_back(l.Text());
  for (std::uint32_t i = 0, n = l.Anzahl(8); i < n; ++i) {
    std::string name = l.Text();
    e.samplerRegister[name] = static_cast<int>(l.Wort());
  }
  if (!l.ok || l.p != l.ende || e.spirv.empty()) return std::nullopt;
  e.ok = true;
  return e;
}

// ---------------------------------------------------------------- the folder

std::string DateiName(const std::string& schluessel) {
  const std::uint64_t h = Pruefsumme(schluessel);
  char name[32];
  std::snprintf(name, sizeof name, "%016llx.eintrag", static_cast<unsigned long long>(h));
  return name;
}

// Makes the folder, removes the folders of other builds beside it and empties it when it
// has grown past its bound. Only once per folder set.
fs::path VorbereiteterOrdner(Speicher& s) {
  std::lock_guard<std::mutex> sperre(s.sperre);
  if (s.ordner.empty() || s.vorbereitet) return s.ordner;
  s.vorbereitet = true;
  std::error_code f;
  fs::create_directories(s.ordner, f);
  if (f || !fs::is_directory(s.ordner, f)) {
    s.ordner.clear();
    return {};
  }
  const std::string eigener = s.ordner.filename().string();
  for (fs::directory_iterator i(s.ordner.parent_path(), f), ende; !f && i != ende; i.increment(f)) {
    const std::string name = i->path().filename().string();
    std::error_code g;
    if (name != eigener && IstBauKennung(name) && i->is_directory(g)) fs::remove_all(i->path(), g);
  }
  std::size_t eintraege = 0;
  for (fs::directory_iterator i(s.ordner, f), ende; !f && i != ende; i.increment(f)) ++eintraege;
  if (eintraege >= kMaxEintraege)
    for (fs::directory_iterator i(s.ordner, f), ende; !f && i != ende; i.increment(f)) {
      std::error_code g;
      fs::remove(i->path(), g);
    }
  return s.ordner;
}

// Written beside the entry and renamed over it, so that no reader sees half an entry.
void SchreibeDatei(Speicher& s, const fs::path& pfad, const Bytes& inhalt) {
  char endung[48];
  std::snprintf(endung, sizeof endung, ".%ld-%llu", static_cast<long>(::getpid()),
                static_cast<unsigned long long>(s.temporaer.fetch_add(1)));
  fs::path neu = pfad;
  neu += endung;
  bool gut;
  {
    std::ofstream datei(neu, std::ios::binary | std::ios::trunc);
    datei.write(reinterpret_cast<const char*>(inhalt.data()), static_cast<std::streamsize>(inhalt.size()));
    datei.close();
    gut = static_cast<bool>(datei);
  }
  std::error_code f;
  if (gut) fs::rename(neu, pfad, f);
  if (!gut || f) {
    fs::remove(neu, f);
    return;
  }
  s.gespeichert.fetch_add(1);
}

}  // namespace

void SetzeUebersetzungsspeicher(const fs::path& ordner) {
  Speicher& s = DerSpeicher();
  const std::string kennung = ordner.empty() ? std::string() : BauKennung();
  std::lock_guard<std::mutex> sperre(s.sperre);
  s.ordner = kennung.empty() ? fs::path() : ordner / kennung;
  s.vorbereitet = false;
}

UebersetzungsspeicherStand LiesUebersetzungsspeicherStand() {
  const Speicher& s = DerSpeicher();
  return {s.treffer.load(), s.gespeichert.load()};
}

HlslErgebnis UebersetzeHlslGemerkt(HlslAuftrag auftrag) {
  Speicher& s = DerSpeicher();
  const fs::path ordner = VorbereiteterOrdner(s);
  if (ordner.empty()) return UebersetzeHlsl(auftrag);
  const std::string schluessel = Schluessel(auftrag);
  const fs::path pfad = ordner / DateiName(schluessel);
  if (auto daten = LiesDatei(pfad))
    if (auto e = LiesEintrag(*daten, schluessel)) {
      s.treffer.fetch_add(1);
      return std::move(*e);
    }
  bool eingebunden = false;
  if (auftrag.einbinden)
    auftrag.einbinden = [&eingebunden, innen = std::move(auftrag.einbinden)](
                            const std::string& name, bool lokal, const std::string& von) {
      eingebunden = true;
      return innen(name, lokal, von);
    };
  HlslErgebnis e = UebersetzeHlsl(auftrag);
  if (e.ok && !eingebunden) SchreibeDatei(s, pfad, Eintrag(schluessel, e));
  return e;
}

}  // namespace Plattform::D3dx
