// PNG decode and encode of the engine against libpng and stb_image on a large photo-like
// picture (smooth shapes with sensor-like noise), a flat one (a few plain rectangles) and a
// screenshot (gradients, panels and lines, written by the engine as the tool writes its
// screenshots), 2048 x 1536.
//
// Decoding: all read the same file from memory into a new array of 32-bit pixels; photo and
// flat are written by libpng with its default settings (adaptive filters). libpng runs with
// its chunk CRC checks off, as the engine does not check them (equal work); stb_image gives
// R, G, B, A rather than B, G, R, A. Encoding: both write 8-bit RGB from those pixels to a
// file; libpng once with its defaults (level 6, adaptive filters) and once with the engine's
// settings (level 9, no filter).
#include "Quelm_Bild.h"
#include "TSpeicher.h"

#include <benchmark/benchmark.h>
#include <png.h>
#include <stb_image.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

constexpr std::uint64_t kBreite = 2048, kHoehe = 1536;

enum Motiv { Foto = 0, Flach = 1, Bildschirm = 2 };

std::unique_ptr<Quelm_Bild> ErzeugeBild(Motiv motiv) {
  auto bild = std::make_unique<Quelm_Bild>(kBreite, kHoehe, PXFMT_A8R8G8B8);
  std::mt19937 zufall(7);
  std::uniform_int_distribution<int> rauschen(-6, 6);
  for (std::uint64_t y = 0; y < kHoehe; ++y) {
    for (std::uint64_t x = 0; x < kBreite; ++x) {
      int r, g, b;
      if (motiv == Bildschirm) {
        // Sky and ground gradients, flat panels with a frame, thin lines.
        const bool himmel = y < kHoehe / 2;
        r = himmel ? int(90 + y / 12) : int(70 + (y - kHoehe / 2) / 20);
        g = himmel ? int(140 + y / 16) : int(110 + (x + y) % 7);
        b = himmel ? 230 : int(60 + x / 64);
        if (x > 60 && x < 520 && y > 40 && y < 700) {
          const bool rahmen = x < 64 || x > 516 || y < 44 || y > 696;
          r = rahmen ? 250 : 30;
          g = rahmen ? 250 : 30;
          b = rahmen ? 250 : 40;
          if (!rahmen && (y / 24) % 2 == 0 && (x / 9) % 3 != 0 && y % 24 > 6 && y % 24 < 18) r = g = b = 220;
        }
        if ((x * 3 + y * 5) % 397 == 0) r = g = b = 255;
      } else if (motiv == Foto) {
        const double u = x / 180.0, v = y / 140.0;
        r = int(128 + 90 * std::sin(u) * std::cos(v * 0.7)) + rauschen(zufall);
        g = int(110 + 70 * std::sin(u * 0.5 + v)) + rauschen(zufall);
        b = int(100 + 80 * std::cos(u * 0.3 - v * 0.8)) + rauschen(zufall);
      } else {
        const bool kasten = (x / 256 + y / 256) % 3 == 0;
        r = kasten ? 40 : 230;
        g = kasten ? 90 : 230;
        b = kasten ? 160 : 225;
      }
      auto k = [](int c) { return std::uint32_t(std::min(255, std::max(0, c))); };
      const std::uint32_t farbe = 0xFF000000u | k(r) << 16 | k(g) << 8 | k(b);
      std::memcpy(bild->daten + y * bild->pitch + x * 4, &farbe, 4);
    }
  }
  return bild;
}

struct Datei {
  std::FILE* f;
  explicit Datei(const std::filesystem::path& pfad, const char* modus) : f(std::fopen(pfad.c_str(), modus)) {
    if (!f) throw std::runtime_error("cannot open " + pfad.string());
  }
  ~Datei() { std::fclose(f); }
};

// Writes 8-bit RGB from B, G, R, A pixels with libpng.
void SchreibeMitLibpng(const Quelm_Bild& bild, const std::filesystem::path& pfad, int stufe, bool ohneFilter) {
  Datei datei(pfad, "wb");
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    throw std::runtime_error("libpng write failed");
  }
  png_init_io(png, datei.f);
  if (stufe >= 0) png_set_compression_level(png, stufe);
  if (ohneFilter) png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_NONE);
  png_set_IHDR(png, info, static_cast<png_uint_32>(bild.breite), static_cast<png_uint_32>(bild.hoehe), 8,
               PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_BASE, PNG_FILTER_TYPE_BASE);
  png_write_info(png, info);
  png_set_bgr(png);
  png_set_filler(png, 0, PNG_FILLER_AFTER);
  for (std::uint64_t y = 0; y < bild.hoehe; ++y) png_write_row(png, bild.daten + y * bild.pitch);
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
}

struct Speicherleser {
  const std::vector<std::uint8_t>* daten;
  std::size_t position;
};

void LiesAusSpeicher(png_structp png, png_bytep ziel, png_size_t laenge) {
  auto* leser = static_cast<Speicherleser*>(png_get_io_ptr(png));
  if (leser->position + laenge > leser->daten->size()) png_error(png, "read past end");
  std::memcpy(ziel, leser->daten->data() + leser->position, laenge);
  leser->position += laenge;
}

// Reads a PNG from memory with libpng into new B, G, R, A pixels (a fresh array each time,
// as the engine's reader makes a new image).
void LiesMitLibpng(const std::vector<std::uint8_t>& daten, std::unique_ptr<std::uint8_t[]>& pixel) {
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_read_struct(&png, &info, nullptr);
    throw std::runtime_error("libpng read failed");
  }
  // No chunk CRCs, as the engine's reader; the zlib stream's own check stays on in both.
  png_set_crc_action(png, PNG_CRC_QUIET_USE, PNG_CRC_QUIET_USE);
  Speicherleser leser{&daten, 0};
  png_set_read_fn(png, &leser, LiesAusSpeicher);
  png_read_info(png, info);
  const png_uint_32 breite = png_get_image_width(png, info), hoehe = png_get_image_height(png, info);
  png_set_bgr(png);
  if (png_get_color_type(png, info) == PNG_COLOR_TYPE_RGB) png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
  png_read_update_info(png, info);
  pixel.reset();
  pixel.reset(new std::uint8_t[std::size_t{breite} * hoehe * 4]);
  for (png_uint_32 y = 0; y < hoehe; ++y) png_read_row(png, pixel.get() + std::size_t{y} * breite * 4, nullptr);
  png_read_end(png, nullptr);
  png_destroy_read_struct(&png, &info, nullptr);
}

std::vector<std::uint8_t> LeseDatei(const std::filesystem::path& pfad) {
  Datei datei(pfad, "rb");
  std::vector<std::uint8_t> d(std::filesystem::file_size(pfad));
  if (std::fread(d.data(), 1, d.size(), datei.f) != d.size()) throw std::runtime_error("short read");
  return d;
}

// The pictures and their libpng-written files, made once.
struct Vorrat {
  std::unique_ptr<Quelm_Bild> bild[3];
  std::vector<std::uint8_t> datei[3];
  std::filesystem::path ordner;

  Vorrat() {
    ordner = std::filesystem::temp_directory_path() / ("velmar-bild-bench-" + std::to_string(getpid()));
    std::filesystem::create_directories(ordner);
    for (int m : {Foto, Flach, Bildschirm}) {
      bild[m] = ErzeugeBild(static_cast<Motiv>(m));
      const auto pfad = ordner / ("quelle" + std::to_string(m) + ".png");
      if (m == Bildschirm)
        Quelm_Bild::SpeicherePNG(*bild[m], pfad);
      else
        SchreibeMitLibpng(*bild[m], pfad, -1, false);
      datei[m] = LeseDatei(pfad);
    }
  }
  ~Vorrat() {
    std::error_code fehler;
    std::filesystem::remove_all(ordner, fehler);
  }
};

Vorrat& Daten() {
  static Vorrat vorrat;
  return vorrat;
}

void DekodiereQuelm(benchmark::State& state) {
  const auto motiv = static_cast<Motiv>(state.range(0));
  const auto& datei = Daten().datei[motiv];
  TSpeicher speicher;
  speicher.SetKapazitaet(datei.size());
  std::memcpy(speicher.daten, datei.data(), datei.size());
  speicher.SetGroesse(datei.size());
  Quelm_Bild bild;
  for (auto _ : state) {
    speicher.SetzePosition(0);
    if (!Quelm_Bild::LadePNG(bild, speicher)) state.SkipWithError("decode failed");
    benchmark::DoNotOptimize(bild.daten);
  }
  if (std::memcmp(bild.daten, Daten().bild[motiv]->daten, kBreite * kHoehe * 4) != 0)
    state.SkipWithError("decoded pixels differ");
  state.SetBytesProcessed(state.iterations() * kBreite * kHoehe * 4);
  state.counters["datei_kb"] = datei.size() / 1024.0;
}

void DekodiereLibpng(benchmark::State& state) {
  const auto motiv = static_cast<Motiv>(state.range(0));
  const auto& datei = Daten().datei[motiv];
  std::unique_ptr<std::uint8_t[]> pixel;
  for (auto _ : state) {
    LiesMitLibpng(datei, pixel);
    benchmark::DoNotOptimize(pixel.get());
  }
  if (std::memcmp(pixel.get(), Daten().bild[motiv]->daten, kBreite * kHoehe * 4) != 0)
    state.SkipWithError("decoded pixels differ");
  state.SetBytesProcessed(state.iterations() * kBreite * kHoehe * 4);
  state.counters["datei_kb"] = datei.size() / 1024.0;
}

void DekodiereStb(benchmark::State& state) {
  const auto motiv = static_cast<Motiv>(state.range(0));
  const auto& datei = Daten().datei[motiv];
  stbi_uc* pixel = nullptr;
  for (auto _ : state) {
    stbi_image_free(pixel);
    int w = 0, h = 0, n = 0;
    pixel = stbi_load_from_memory(datei.data(), static_cast<int>(datei.size()), &w, &h, &n, 4);
    if (!pixel) state.SkipWithError("decode failed");
    benchmark::DoNotOptimize(pixel);
  }
  // R, G, B, A against the engine's B, G, R, A.
  for (std::uint64_t i = 0; pixel && i < kBreite * kHoehe * 4; i += 4) {
    const std::uint8_t* q = Daten().bild[motiv]->daten + i;
    if (pixel[i] != q[2] || pixel[i + 1] != q[1] || pixel[i + 2] != q[0] || pixel[i + 3] != q[3]) {
      state.SkipWithError("decoded pixels differ");
      break;
    }
  }
  stbi_image_free(pixel);
  state.SetBytesProcessed(state.iterations() * kBreite * kHoehe * 4);
}

void KodiereQuelm(benchmark::State& state) {
  const auto motiv = static_cast<Motiv>(state.range(0));
  const auto pfad = Daten().ordner / "quelm.png";
  for (auto _ : state)
    if (!Quelm_Bild::SpeicherePNG(*Daten().bild[motiv], pfad)) state.SkipWithError("encode failed");
  state.SetBytesProcessed(state.iterations() * kBreite * kHoehe * 4);
  state.counters["datei_kb"] = std::filesystem::file_size(pfad) / 1024.0;
}

// range(1): 0 libpng defaults, 1 the engine's settings (level 9, no filter).
void KodiereLibpng(benchmark::State& state) {
  const auto motiv = static_cast<Motiv>(state.range(0));
  const bool wieQuelm = state.range(1) == 1;
  const auto pfad = Daten().ordner / "libpng.png";
  for (auto _ : state) SchreibeMitLibpng(*Daten().bild[motiv], pfad, wieQuelm ? 9 : -1, wieQuelm);
  state.SetBytesProcessed(state.iterations() * kBreite * kHoehe * 4);
  state.counters["datei_kb"] = std::filesystem::file_size(pfad) / 1024.0;
}

}  // namespace

// Argument 0: photo-like, 1: flat, 2: screenshot.
BENCHMARK(DekodiereQuelm)->DenseRange(Foto, Bildschirm)->Unit(benchmark::kMillisecond);
BENCHMARK(DekodiereLibpng)->DenseRange(Foto, Bildschirm)->Unit(benchmark::kMillisecond);
BENCHMARK(DekodiereStb)->DenseRange(Foto, Bildschirm)->Unit(benchmark::kMillisecond);
BENCHMARK(KodiereQuelm)->Arg(Foto)->Arg(Flach)->Unit(benchmark::kMillisecond);
BENCHMARK(KodiereLibpng)
    ->Args({Foto, 0})
    ->Args({Flach, 0})
    ->Args({Foto, 1})
    ->Args({Flach, 1})
    ->Unit(benchmark::kMillisecond);
