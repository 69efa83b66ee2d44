#pragma once
// What the shader compiler layer hands to the device layer in place of Direct3D 9
// shader byte code: the translated GLSL and everything needed to feed it the way a
// Direct3D 9 shader is fed (constant registers, sampler stages, vertex input semantics).
//
// The compiler writes it into the ID3DXBuffer that D3DXCompileShader returns; the
// device's CreateVertexShader/CreatePixelShader reads it back from the DWORD pointer.
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace Plattform {

enum class ShaderStufe : std::uint32_t { Vertex = 0, Pixel = 1 };

// Copy instruction for the constant register file: before a draw the device writes
// `komponenten` floats of float register `register_` (x, y, z, w in that order) to
// uniform-block bytes `blockOffset + k * schrittBytes`, k = 0 .. komponenten-1.
// Matrices and arrays are described by one span per register, so the device needs no
// knowledge of packing or matrix orientation.
struct RegisterSpanne {
  std::uint32_t register_ = 0;
  std::uint32_t komponenten = 4;
  std::uint32_t blockOffset = 0;
  std::uint32_t schrittBytes = 4;
};

// A sampler: Direct3D 9 stage (s#) and the GL texture unit the GLSL binds it to.
// Pixel samplers use unit = stage; vertex samplers unit = 16 + stage.
struct SamplerBindung {
  std::uint32_t stufe = 0;
  std::uint32_t einheit = 0;
};

// A vertex shader input: Direct3D declaration usage (D3DDECLUSAGE value) and usage
// index, and the GLSL attribute location it has in the translated shader.
struct VertexEingang {
  std::uint32_t usage = 0;
  std::uint32_t usageIndex = 0;
  std::uint32_t location = 0;
};

struct ShaderBlob {
  static constexpr std::uint32_t kMagic = 0x42485351;  // "QSHB"
  ShaderStufe stufe = ShaderStufe::Vertex;
  std::string glsl;                       // GLSL 4.50 core source
  std::uint32_t uniformBlockBindung = 0;  // vertex 0, pixel 1
  std::uint32_t uniformBlockBytes = 0;    // 0: the shader has no constants
  std::vector<RegisterSpanne> spannen;
  std::vector<SamplerBindung> sampler;
  std::vector<VertexEingang> eingaenge;  // vertex shaders only
};

// Little-endian 32-bit words and texts (a word with the length, then the bytes), written and
// read back with bounds checks; also used by the translations kept on disk.
namespace ShaderBlobDetail {
inline void Schreibe(std::vector<std::uint8_t>& aus, std::uint32_t w) {
  const auto* p = reinterpret_cast<const std::uint8_t*>(&w);
  aus.insert(aus.end(), p, p + 4);
}
inline void SchreibeText(std::vector<std::uint8_t>& aus, std::string_view t) {
  Schreibe(aus, static_cast<std::uint32_t>(t.size()));
  aus.insert(aus.end(), t.begin(), t.end());
}
// After the first failed read `ok` is false and every further read gives 0 or nothing.
struct Leser {
  const std::uint8_t* p;
  const std::uint8_t* ende;
  bool ok = true;
  std::uint32_t Wort() {
    if (ende - p < 4) return Fehler();
    std::uint32_t w;
    std::memcpy(&w, p, 4);
    p += 4;
    return w;
  }
  std::string Text() {
    const std::uint32_t n = Wort();
    if (!ok || static_cast<std::size_t>(ende - p) < n) {
      Fehler();
      return {};
    }
    std::string t(reinterpret_cast<const char*>(p), n);
    p += n;
    return t;
  }
  // A count of items of at least `bytes` each, bounded by what is left.
  std::uint32_t Anzahl(std::size_t bytes) {
    const std::uint32_t n = Wort();
    return ok && n <= static_cast<std::size_t>(ende - p) / bytes ? n : Fehler();
  }
  std::uint32_t Fehler() {
    ok = false;
    p = ende;
    return 0;
  }
};
}  // namespace ShaderBlobDetail

// Serialised form: little-endian 32-bit words, padded to a multiple of 4 bytes.
inline std::vector<std::uint8_t> SerialisiereShaderBlob(const ShaderBlob& b) {
  using ShaderBlobDetail::Schreibe;
  std::vector<std::uint8_t> aus;
  Schreibe(aus, ShaderBlob::kMagic);
  Schreibe(aus, 0);  // total length, filled in below
  Schreibe(aus, static_cast<std::uint32_t>(b.stufe));
  Schreibe(aus, b.uniformBlockBindung);
  Schreibe(aus, b.uniformBlockBytes);
  Schreibe(aus, static_cast<std::uint32_t>(b.spannen.size()));
  for (const auto& s : b.spannen) {
    Schreibe(aus, s.register_);
    Schreibe(aus, s.komponenten);
    Schreibe(aus, s.blockOffset);
    Schreibe(aus, s.schrittBytes);
  }
  Schreibe(aus, static_cast<std::uint32_t>(b.sampler.size()));
  for (const auto& s : b.sampler) {
    Schreibe(aus, s.stufe);
    Schreibe(aus, s.einheit);
  }
  Schreibe(aus, static_cast<std::uint32_t>(b.eingaenge.size()));
  for (const auto& e : b.eingaenge) {
    Schreibe(aus, e.usage);
    Schreibe(aus, e.usageIndex);
    Schreibe(aus, e.location);
  }
  ShaderBlobDetail::SchreibeText(aus, b.glsl);
  while (aus.size() % 4) aus.push_back(0);
  std::uint32_t laenge = static_cast<std::uint32_t>(aus.size());
  std::memcpy(aus.data() + 4, &laenge, 4);
  return aus;
}

// Reads a blob from the device's DWORD pointer. The length is in the header, so a
// pointer alone is enough (Direct3D 9 create calls take no size).
inline bool LeseShaderBlob(const void* daten, ShaderBlob& b) {
  if (!daten) return false;
  std::uint32_t kopf[2];
  std::memcpy(kopf, daten, 8);
  if (kopf[0] != ShaderBlob::kMagic || kopf[1] < 8) return false;
  ShaderBlobDetail::Leser l{static_cast<const std::uint8_t*>(daten) + 8,
                            static_cast<const std::uint8_t*>(daten) + kopf[1]};
  b = ShaderBlob{};
  b.stufe = static_cast<ShaderStufe>(l.Wort());
  b.uniformBlockBindung = l.Wort();
  b.uniformBlockBytes = l.Wort();
  std::uint32_t n = l.Wort();
  for (std::uint32_t i = 0; i < n && l.ok; ++i) {
    RegisterSpanne s;
    s.register_ = l.Wort();
    s.komponenten = l.Wort();
    s.blockOffset = l.Wort();
    s.schrittBytes = l.Wort();
    b.spannen.push_back(s);
  }
  n = l.Wort();
  for (std::uint32_t i = 0; i < n && l.ok; ++i) {
    SamplerBindung s;
    s.stufe = l.Wort();
    s.einheit = l.Wort();
    b.sampler.push_back(s);
  }
  n = l.Wort();
  for (std::uint32_t i = 0; i < n && l.ok; ++i) {
    VertexEingang e;
    e.usage = l.Wort();
    e.usageIndex = l.Wort();
    e.location = l.Wort();
    b.eingaenge.push_back(e);
  }
  b.glsl = l.Text();
  return l.ok;
}

}  // namespace Plattform
