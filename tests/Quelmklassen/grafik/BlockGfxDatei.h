#pragma once
// Hand-written "FX3D" blocks and "FNTH" files for the loader tests: every field settable, so a
// table row changes the one it is about. Counts larger than what is written leave the file
// short of the bytes they announce.
#include "TSegmentLeser.h"
#include "TSpeicher.h"
#include "TSpeicherSchreiber.h"

#include <algorithm>
#include <cstdint>

struct Fx3dDatei {
  std::uint32_t version = 261;
  std::uint32_t instanzen = 4;
  std::uint8_t mitte = 0;
  std::uint32_t flags = 0;       // written from version 258 on
  std::uint32_t anzahl = 2;      // entry slots; id 1 is the graphic, id 0 absent
  std::uint32_t grafik[4] = {1, 0, 3, 2};
  std::uint32_t freiAnzahl = 1;  // older packer layout: a bare free list
  std::uint32_t frei[4] = {0, 2, 4, 2};
  std::uint32_t breite = 4, hoehe = 4;  // height written from version 259 on; pixel i is 0xFF000000 | i

  void SchreibeIn(TSpeicher& s) const {
    TSpeicherSchreiber w(s);
    w.U32(TSegmentLeser::Kennung("FX3D"));
    w.U32(version);
    if (version < 261) w.U64(0);
    w.U32(instanzen);
    w.U8(mitte);
    if (version >= 258) w.U32(flags);
    w.U32(0);
    w.U32(anzahl);
    for (std::uint32_t id = 0; id < std::min<std::uint32_t>(anzahl, 2); ++id) {
      w.U8(id == 1);
      if (id != 1) continue;
      for (std::uint32_t v : grafik) w.U32(v);
      for (int i = 0; i < 4; ++i) w.F32(0.25f);
    }
    w.U32(0);  // the ignored word of the older packer layout
    w.U32(freiAnzahl);
    if (freiAnzahl >= 1)
      for (std::uint32_t v : frei) w.U32(v);
    w.U32(0);
    w.U32(breite);
    if (version >= 259) w.U32(hoehe);
    const std::uint64_t h = version >= 259 ? hoehe : breite;
    // All pixels of a plausible size; a damaged one gets a few.
    const std::uint64_t alle = std::uint64_t{breite} * h;
    const std::uint64_t pixel = alle <= (1u << 16) ? alle : 64;
    for (std::uint64_t i = 0; i < pixel; ++i) w.U32(0xFF000000u | static_cast<std::uint32_t>(i));
  }
  TSpeicher Datei() const {
    TSpeicher s;
    SchreibeIn(s);
    s.position = 0;
    return s;
  }
};

// A font file around an atlas block; the metrics of glyph 1 (the atlas' graphic) and the rest zero.
struct FnthDatei {
  std::uint32_t version = 258;
  float zelle = 16.0f;
  Fx3dDatei atlas;
  std::uint32_t glyphen = 2;  // written from version 258 on; metrics from 257 on
  std::uint32_t metrikenHoechstens = 0xFFFFFFFFu;  // fewer cut the file short

  TSpeicher Datei() const {
    TSpeicher s;
    TSpeicherSchreiber w(s);
    w.U32(TSegmentLeser::Kennung("FNTH"));
    w.U32(version);
    w.F32(zelle);
    w.U32(TSegmentLeser::Kennung("BLKG"));
    atlas.SchreibeIn(s);
    if (version >= 258) w.U32(glyphen);
    const std::uint32_t metriken =
        std::min(version >= 258 ? std::min<std::uint32_t>(glyphen, 2) : 256u, metrikenHoechstens);
    for (std::uint32_t i = 0; version >= 257 && i < metriken; ++i)
      for (std::uint32_t v : {0u, 1u, i == 1 ? 5u : 0u}) w.U32(v);
    s.position = 0;
    return s;
  }
};
