#include "GlBackend.h"

#include <epoxy/gl.h>
#include <GLFW/glfw3.h>

#include <algorithm>
#include <chrono>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "GlEinfarbig.h"
#include "GlFormate.h"
#include "GlIndexFolge.h"
#include "GlSampler.h"
#include "KonstantenRing.h"
#include "fenster/Fenster.h"

namespace Plattform::D3D9 {
namespace {

// Uniform block through which every vertex shader learns the half-pixel shift of the
// current viewport (Direct3D 9 puts pixel centres on integer coordinates, OpenGL on
// half-integers). Compiled shaders use bindings below it.
constexpr GLuint kInternBindung = 15;

// ---------------------------------------------------------------- what the GL keeps per object

// Index buffers keep their indices in the IndexFolge as well.
struct GlPuffer : Anteil, IndexFolge {
  GLuint name = 0;
  ~GlPuffer() override { glDeleteBuffers(1, &name); }
};

// Whether every texel of the only level is the same: see GlEinfarbig.h.
struct GlTextur : Anteil, Einfarbigkeit {
  GLuint name = 0;
  ~GlTextur() override { glDeleteTextures(1, &name); }
};

struct GlShader : Anteil {
  GLuint shader = 0;
  std::vector<std::uint8_t> block;  // the constants as last written to the ring
  std::uint64_t stand = 0;  // the register file's change count the block was built from
  KonstantenRing::Ort ort;  // where the ring holds the block
  ~GlShader() override { glDeleteShader(shader); }
};

// Where a surface's pixels are: a texture, its level and (for cube faces) its layer.
struct Ort {
  GLuint textur = 0;
  GLint ebene = 0;
  GLint schicht = -1;
};

Ort OrtVon(const Oberflaeche& o) {
  if (o.art == Oberflaeche::Art::Ebene)
    return {static_cast<GlTextur&>(*o.textur->anteil).name, static_cast<GLint>(o.ebene),
            o.textur->wuerfel ? static_cast<GLint>(o.seite) : -1};
  return {static_cast<GlTextur&>(*o.anteil).name, 0, -1};
}

void LeereFehler() {
  while (glGetError() != GL_NO_ERROR) {
  }
}

HRESULT SpeicherFehler() {
  GLenum f;
  HRESULT hr = D3D_OK;
  while ((f = glGetError()) != GL_NO_ERROR)
    if (hr == D3D_OK) hr = f == GL_OUT_OF_MEMORY ? D3DERR_OUTOFVIDEOMEMORY : D3DERR_DRIVERINTERNALERROR;
  return hr;
}

void GLAPIENTRY MeldeGlFehler(GLenum, GLenum typ, GLuint, GLenum schwere, GLsizei, const GLchar* text,
                              const void*) {
  if (typ == GL_DEBUG_TYPE_ERROR || schwere == GL_DEBUG_SEVERITY_HIGH)
    std::fprintf(stderr, "OpenGL: %s\n", text);
}

// ---------------------------------------------------------------- Direct3D values -> GL

GLenum Vergleich(DWORD f) {
  switch (f) {
    case D3DCMP_NEVER: return GL_NEVER;
    case D3DCMP_LESS: return GL_LESS;
    case D3DCMP_EQUAL: return GL_EQUAL;
    case D3DCMP_LESSEQUAL: return GL_LEQUAL;
    case D3DCMP_GREATER: return GL_GREATER;
    case D3DCMP_NOTEQUAL: return GL_NOTEQUAL;
    case D3DCMP_GREATEREQUAL: return GL_GEQUAL;
    default: return GL_ALWAYS;
  }
}

GLenum Faktor(DWORD f) {
  switch (f) {
    case D3DBLEND_ZERO: return GL_ZERO;
    case D3DBLEND_SRCCOLOR: return GL_SRC_COLOR;
    case D3DBLEND_INVSRCCOLOR: return GL_ONE_MINUS_SRC_COLOR;
    case D3DBLEND_SRCALPHA: return GL_SRC_ALPHA;
    case D3DBLEND_INVSRCALPHA: return GL_ONE_MINUS_SRC_ALPHA;
    case D3DBLEND_DESTALPHA: return GL_DST_ALPHA;
    case D3DBLEND_INVDESTALPHA: return GL_ONE_MINUS_DST_ALPHA;
    case D3DBLEND_DESTCOLOR: return GL_DST_COLOR;
    case D3DBLEND_INVDESTCOLOR: return GL_ONE_MINUS_DST_COLOR;
    case D3DBLEND_SRCALPHASAT: return GL_SRC_ALPHA_SATURATE;
    case D3DBLEND_BLENDFACTOR: return GL_CONSTANT_COLOR;
    case D3DBLEND_INVBLENDFACTOR: return GL_ONE_MINUS_CONSTANT_COLOR;
    default: return GL_ONE;
  }
}

// BOTHSRCALPHA and BOTHINVSRCALPHA set the destination factor as well.
void Faktoren(DWORD quelle, DWORD ziel, GLenum& q, GLenum& z) {
  if (quelle == D3DBLEND_BOTHSRCALPHA) {
    q = GL_SRC_ALPHA;
    z = GL_ONE_MINUS_SRC_ALPHA;
  } else if (quelle == D3DBLEND_BOTHINVSRCALPHA) {
    q = GL_ONE_MINUS_SRC_ALPHA;
    z = GL_SRC_ALPHA;
  } else {
    q = Faktor(quelle);
    z = Faktor(ziel);
  }
}

GLenum Operation(DWORD o) {
  switch (o) {
    case D3DBLENDOP_SUBTRACT: return GL_FUNC_SUBTRACT;
    case D3DBLENDOP_REVSUBTRACT: return GL_FUNC_REVERSE_SUBTRACT;
    case D3DBLENDOP_MIN: return GL_MIN;
    case D3DBLENDOP_MAX: return GL_MAX;
    default: return GL_FUNC_ADD;
  }
}

GLenum Modus(D3DPRIMITIVETYPE t) {
  switch (t) {
    case D3DPT_POINTLIST: return GL_POINTS;
    case D3DPT_LINELIST: return GL_LINES;
    case D3DPT_LINESTRIP: return GL_LINE_STRIP;
    case D3DPT_TRIANGLESTRIP: return GL_TRIANGLE_STRIP;
    case D3DPT_TRIANGLEFAN: return GL_TRIANGLE_FAN;
    default: return GL_TRIANGLES;
  }
}

struct AttributFormat {
  GLint groesse;
  GLenum typ;
  GLboolean normiert;
};

AttributFormat Attribut(BYTE typ) {
  switch (typ) {
    case D3DDECLTYPE_FLOAT1: return {1, GL_FLOAT, GL_FALSE};
    case D3DDECLTYPE_FLOAT2: return {2, GL_FLOAT, GL_FALSE};
    case D3DDECLTYPE_FLOAT3: return {3, GL_FLOAT, GL_FALSE};
    case D3DDECLTYPE_D3DCOLOR: return {GL_BGRA, GL_UNSIGNED_BYTE, GL_TRUE};
    case D3DDECLTYPE_UBYTE4: return {4, GL_UNSIGNED_BYTE, GL_FALSE};
    case D3DDECLTYPE_SHORT2: return {2, GL_SHORT, GL_FALSE};
    case D3DDECLTYPE_SHORT4: return {4, GL_SHORT, GL_FALSE};
    case D3DDECLTYPE_UBYTE4N: return {4, GL_UNSIGNED_BYTE, GL_TRUE};
    case D3DDECLTYPE_SHORT2N: return {2, GL_SHORT, GL_TRUE};
    case D3DDECLTYPE_SHORT4N: return {4, GL_SHORT, GL_TRUE};
    case D3DDECLTYPE_USHORT2N: return {2, GL_UNSIGNED_SHORT, GL_TRUE};
    case D3DDECLTYPE_USHORT4N: return {4, GL_UNSIGNED_SHORT, GL_TRUE};
    case D3DDECLTYPE_UDEC3: return {4, GL_UNSIGNED_INT_2_10_10_10_REV, GL_FALSE};
    case D3DDECLTYPE_DEC3N: return {4, GL_INT_2_10_10_10_REV, GL_TRUE};
    case D3DDECLTYPE_FLOAT16_2: return {2, GL_HALF_FLOAT, GL_FALSE};
    case D3DDECLTYPE_FLOAT16_4: return {4, GL_HALF_FLOAT, GL_FALSE};
    default: return {4, GL_FLOAT, GL_FALSE};
  }
}

// The vertex shader gets a main of its own that shifts the position by the viewport's
// half pixel after the translated shader's main has run.
bool VerschiebePixelmitte(std::string& glsl) {
  auto leer = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; };
  auto wort = [](char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; };
  const std::size_t n = glsl.size();
  auto ueberspringe = [&](std::size_t i) {
    while (i < n && leer(glsl[i])) ++i;
    return i;
  };
  // Finds "void main()" or "void main(void)" as whole words.
  std::size_t anfang = std::string::npos, ende = 0;
  for (std::size_t p = glsl.find("void"); p != std::string::npos && anfang == std::string::npos;
       p = glsl.find("void", p + 1)) {
    if ((p > 0 && wort(glsl[p - 1])) || p + 4 >= n || !leer(glsl[p + 4])) continue;
    std::size_t i = ueberspringe(p + 4);
    if (glsl.compare(i, 4, "main") != 0 || (i + 4 < n && wort(glsl[i + 4]))) continue;
    i = ueberspringe(i + 4);
    if (i >= n || glsl[i] != '(') continue;
    i = ueberspringe(i + 1);
    if (glsl.compare(i, 4, "void") == 0) i = ueberspringe(i + 4);
    if (i >= n || glsl[i] != ')') continue;
    anfang = p;
    ende = i + 1;
  }
  if (anfang == std::string::npos) return false;
  glsl.replace(anfang, ende - anfang, "void velmar_d3d9_main()");
  glsl += "\nlayout(std140, binding = " + std::to_string(kInternBindung) +
          ") uniform VelmarD3D9Intern { vec4 velmar_pixelVersatz; };\n"
          "void main() {\n"
          "  velmar_d3d9_main();\n"
          "  gl_Position.xy += velmar_pixelVersatz.xy * gl_Position.w;\n"
          "}\n";
  return true;
}

// ---------------------------------------------------------------- the backend

class GlBackend final : public GeraeteBackend {
 public:
  explicit GlBackend(GLFWwindow* fenster) : fenster_(fenster) {}
  ~GlBackend() override;

  HRESULT Starte();

  void Fenstergroesse(UINT& breite, UINT& hoehe) override {
    int b = 0, h = 0;
    glfwGetFramebufferSize(fenster_, &b, &h);
    breite = static_cast<UINT>(b > 0 ? b : 0);
    hoehe = static_cast<UINT>(h > 0 ? h : 0);
  }
  void Darstellung(const D3DPRESENT_PARAMETERS& pp) override {
    Aktiviere();
    taktHalten_ = pp.PresentationInterval != D3DPRESENT_INTERVAL_IMMEDIATE;
    Fenster::SetzeTauschIntervall(fenster_, taktHalten_ ? 1 : 0);
    int hz = 60;
    if (GLFWmonitor* monitor = glfwGetPrimaryMonitor())
      if (const GLFWvidmode* modus = glfwGetVideoMode(monitor); modus && modus->refreshRate > 0) hz = modus->refreshRate;
    taktAbstand_ = std::chrono::microseconds(900000 / hz);
  }
  void Faehigkeiten(D3DCAPS9& caps) override;
  void BestimmeFaehigkeiten();

  HRESULT ErzeugePuffer(Puffer& p) override;
  void* SperrePuffer(Puffer& p, UINT offset, UINT laenge, DWORD flags) override;
  void EntsperrePuffer(Puffer& p) override;
  HRESULT ErzeugeTextur(TexturBasis& t) override;
  HRESULT ErzeugeFlaeche(Oberflaeche& o) override;
  void LiesFlaeche(Oberflaeche& o, const RECT& r, void* ziel, UINT pitch) override;
  void SchreibeFlaeche(Oberflaeche& o, const RECT& r, const void* quelle, UINT pitch) override;
  HRESULT ErzeugeShader(ShaderBasis& s) override;
  void Vergiss(ObjektBasis& o) override;
  void Leere(const Zustand& z, DWORD anzahl, const D3DRECT* rechtecke, DWORD flags, D3DCOLOR farbe,
             float tiefe, DWORD stencil) override;
  void Zeichne(const Zustand& z, const Zeichnung& d) override;
  void Praesentiere(Oberflaeche& rueckpuffer) override;

 private:
  void Aktiviere() {
    if (glfwGetCurrentContext() != fenster_) glfwMakeContextCurrent(fenster_);
  }
  HRESULT ErzeugeGlTextur(GLenum ziel, D3DFORMAT format, UINT ebenen, UINT breite, UINT hoehe,
                          std::unique_ptr<Anteil>& anteil);
  void BindeZiele(const Zustand& z);
  void SetzeViewport(const D3DVIEWPORT9& v);
  void SetzeMasken(const Zustand& z);
  GLuint Programm(ShaderBasis* vs, ShaderBasis* ps);
  void LadeKonstanten(ShaderBasis* s, const float* register_, std::uint64_t stand);
  void BindeBlock(UINT bindung, const KonstantenRing::Ort& o, GLsizeiptr bytes);
  void LadeVersatz();
  void BindeTexturen(const Zustand& z);
  void SetzeRenderStates(const Zustand& z);
  void SetzeVertexeingabe(const Zustand& z, const Zeichnung& d);

  // A swap that does not wait for the display (Mesa's software renderer on a virtual X
  // server ignores the interval) would let a frame loop run flat out and burn the
  // processor: with an interval asked for, presents come at most at the display's rate
  // (a little above it, so a swap that does wait never sleeps a frame away).
  void HalteTakt();
  bool taktHalten_ = false;
  std::chrono::microseconds taktAbstand_{15000};
  std::chrono::steady_clock::time_point letztesBild_{};

  GLFWwindow* fenster_;
  bool gestartet_ = false;
  GLuint fbo_ = 0;       // the render targets
  GLuint lesenFbo_ = 0;  // the back buffer, for Present
  GLuint vao_ = 0;
  KonstantenRing ring_;
  GlSampler sampler_;
  D3DCAPS9 caps_{};
  float maxAnisotropie_ = 1.0f;
  GLint maxTextur_ = 4096;
  GLint maxZiele_ = 4;

  // What is applied (the caches compare against the device state).
  std::array<const ObjektBasis*, kZiele> fboZiel_{};
  const ObjektBasis* fboTiefe_ = nullptr;
  GLenum fboTiefeAnhang_ = GL_NONE;
  const ObjektBasis* lesenZiel_ = nullptr;
  bool fboGebunden_ = false;
  D3DVIEWPORT9 viewport_{};
  bool viewportGueltig_ = false;
  float versatz_[4] = {0.0f, 0.0f, 0.0f, 0.0f};
  KonstantenRing::Ort versatzOrt_;
  std::map<std::pair<const ObjektBasis*, const ObjektBasis*>, GLuint> programme_;
  GLuint programm_ = 0;
  std::array<KonstantenRing::Ort, kInternBindung + 1> gebunden_{};  // block range per binding
  std::array<const ObjektBasis*, kStufen> einheit_{};
  std::array<DWORD, D3DRS_ANZAHL> rs_{};
  bool rsGueltig_ = false;
  std::array<GLboolean, kZiele * 4> masken_{};
  bool maskenGueltig_ = false;
  bool tiefeGebunden_ = false;
  const ObjektBasis* vaoDeklaration_ = nullptr;
  const ObjektBasis* vaoShader_ = nullptr;
  std::uint32_t aktiveAttribute_ = 0;
  struct Bindung {
    const ObjektBasis* puffer = nullptr;
    UINT offset = 0, stride = 0, teiler = 0;
  };
  std::array<Bindung, kStroeme> bindung_{};
  const ObjektBasis* elementPuffer_ = nullptr;
};

HRESULT GlBackend::Starte() {
  Aktiviere();
  if (epoxy_gl_version() < 45 || !epoxy_has_gl_extension("GL_EXT_texture_compression_s3tc"))
    return D3DERR_NOTAVAILABLE;
  gestartet_ = true;
  if (const char* e = std::getenv("VELMAR_GL_FEHLER"); e && *e && *e != '0') {
    glEnable(GL_DEBUG_OUTPUT);
    glEnable(GL_DEBUG_OUTPUT_SYNCHRONOUS);
    glDebugMessageCallback(MeldeGlFehler, nullptr);
  }
  // Direct3D's conventions: row 0 at the top of every target, depth from 0 to 1.
  glClipControl(GL_UPPER_LEFT, GL_ZERO_TO_ONE);
  glProvokingVertex(GL_FIRST_VERTEX_CONVENTION);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxTextur_);
  glGetIntegerv(GL_MAX_DRAW_BUFFERS, &maxZiele_);
  if (epoxy_has_gl_extension("GL_EXT_texture_filter_anisotropic") ||
      epoxy_has_gl_extension("GL_ARB_texture_filter_anisotropic"))
    glGetFloatv(GL_MAX_TEXTURE_MAX_ANISOTROPY, &maxAnisotropie_);
  BestimmeFaehigkeiten();
  sampler_.Starte(maxAnisotropie_);
  glCreateFramebuffers(1, &fbo_);
  glCreateFramebuffers(1, &lesenFbo_);
  glCreateVertexArrays(1, &vao_);
  glBindVertexArray(vao_);
  if (!ring_.Starte()) return D3DERR_NOTAVAILABLE;
  return D3D_OK;
}

GlBackend::~GlBackend() {
  if (!gestartet_) return;
  Aktiviere();
  for (auto& [schluessel, p] : programme_) glDeleteProgram(p);
  sampler_.Beende();
  ring_.Beende();
  glDeleteVertexArrays(1, &vao_);
  glDeleteFramebuffers(1, &lesenFbo_);
  glDeleteFramebuffers(1, &fbo_);
}

void GlBackend::Faehigkeiten(D3DCAPS9& caps) { caps = caps_; }

void GlBackend::BestimmeFaehigkeiten() {
  D3DCAPS9& caps = caps_;
  caps = Standardfaehigkeiten();
  const auto maxTextur = static_cast<DWORD>(std::min(maxTextur_, 16384));
  caps.MaxTextureWidth = caps.MaxTextureHeight = caps.MaxTextureAspectRatio = maxTextur;
  caps.MaxAnisotropy = static_cast<DWORD>(maxAnisotropie_);
  if (maxAnisotropie_ <= 1.0f) caps.TextureFilterCaps &= ~D3DPTFILTERCAPS_MINFANISOTROPIC;
  caps.NumSimultaneousRTs = static_cast<DWORD>(std::min<GLint>(maxZiele_, kZiele));
}

// ---------------------------------------------------------------- resources

bool IstIndexPuffer(const Puffer& p) { return p.format == D3DFMT_INDEX16 || p.format == D3DFMT_INDEX32; }

HRESULT GlBackend::ErzeugePuffer(Puffer& p) {
  Aktiviere();
  auto a = std::make_unique<GlPuffer>();
  LeereFehler();
  glCreateBuffers(1, &a->name);
  glNamedBufferData(a->name, p.laenge, nullptr, (p.usage & D3DUSAGE_DYNAMIC) ? GL_DYNAMIC_DRAW : GL_STATIC_DRAW);
  if (IstIndexPuffer(p)) {
    try {
      a->indizes.assign(p.laenge, 0);
    } catch (const std::bad_alloc&) {
      return E_OUTOFMEMORY;
    }
  }
  p.anteil = std::move(a);
  return SpeicherFehler();
}

void* GlBackend::SperrePuffer(Puffer& p, UINT offset, UINT laenge, DWORD flags) {
  Aktiviere();
  if (IstIndexPuffer(p)) return static_cast<GlPuffer&>(*p.anteil).Sperre(offset, laenge, flags);
  GLbitfield zugriff;
  if (flags & D3DLOCK_DISCARD) {
    zugriff = GL_MAP_WRITE_BIT | GL_MAP_INVALIDATE_BUFFER_BIT;
  } else if (flags & D3DLOCK_NOOVERWRITE) {
    zugriff = GL_MAP_WRITE_BIT | GL_MAP_UNSYNCHRONIZED_BIT;
  } else if (flags & D3DLOCK_READONLY) {
    zugriff = GL_MAP_READ_BIT;
  } else {
    zugriff = GL_MAP_READ_BIT | GL_MAP_WRITE_BIT;
  }
  return glMapNamedBufferRange(static_cast<GlPuffer&>(*p.anteil).name, offset, laenge, zugriff);
}

void GlBackend::EntsperrePuffer(Puffer& p) {
  Aktiviere();
  auto& a = static_cast<GlPuffer&>(*p.anteil);
  if (!IstIndexPuffer(p)) {
    glUnmapNamedBuffer(a.name);
    return;
  }
  if (a.Entsperre(p.format == D3DFMT_INDEX32 ? 4 : 2))
    glNamedBufferSubData(a.name, a.sperrOffset, a.sperrLaenge, a.indizes.data() + a.sperrOffset);
}

HRESULT GlBackend::ErzeugeGlTextur(GLenum ziel, D3DFORMAT format, UINT ebenen, UINT breite, UINT hoehe,
                                   std::unique_ptr<Anteil>& anteil) {
  Aktiviere();
  const GlFormat* f = GlFormatVon(format);
  if (!f) return D3DERR_INVALIDCALL;
  auto a = std::make_unique<GlTextur>();
  LeereFehler();
  glCreateTextures(ziel, 1, &a->name);
  glTextureStorage2D(a->name, static_cast<GLsizei>(ebenen), f->intern, static_cast<GLsizei>(breite),
                     static_cast<GLsizei>(hoehe));
  glTextureParameteriv(a->name, GL_TEXTURE_SWIZZLE_RGBA, f->swizzle);
  anteil = std::move(a);
  return SpeicherFehler();
}

HRESULT GlBackend::ErzeugeTextur(TexturBasis& t) {
  return ErzeugeGlTextur(t.wuerfel ? GL_TEXTURE_CUBE_MAP : GL_TEXTURE_2D, t.format, t.ebenenIntern, t.breite,
                         t.hoehe, t.anteil);
}

HRESULT GlBackend::ErzeugeFlaeche(Oberflaeche& o) {
  return ErzeugeGlTextur(GL_TEXTURE_2D, o.desc.Format, 1, o.desc.Width, o.desc.Height, o.anteil);
}

void GlBackend::LiesFlaeche(Oberflaeche& o, const RECT& r, void* ziel, UINT pitch) {
  Aktiviere();
  const FormatInfo& fi = o.format();
  const GlFormat* f = GlFormatVon(o.desc.Format);
  const Ort ort = OrtVon(o);
  const UINT w = static_cast<UINT>(r.right - r.left), h = static_cast<UINT>(r.bottom - r.top);
  const UINT dicht = ZeilenBytes(fi, w), zeilen = Zeilen(fi, h);
  std::vector<std::uint8_t> zwischen;
  auto* aus = static_cast<std::uint8_t*>(ziel);
  if (pitch != dicht) {
    zwischen.resize(static_cast<std::size_t>(dicht) * zeilen);
    aus = zwischen.data();
  }
  const GLsizei bytes = static_cast<GLsizei>(static_cast<std::size_t>(dicht) * zeilen);
  const GLint z = ort.schicht < 0 ? 0 : ort.schicht;
  if (f->komprimiert) {
    glGetCompressedTextureSubImage(ort.textur, ort.ebene, r.left, r.top, z, static_cast<GLsizei>(w),
                                   static_cast<GLsizei>(h), 1, bytes, aus);
  } else {
    glGetTextureSubImage(ort.textur, ort.ebene, r.left, r.top, z, static_cast<GLsizei>(w),
                         static_cast<GLsizei>(h), 1, f->daten, f->typ, bytes, aus);
  }
  if (pitch != dicht)
    for (UINT i = 0; i < zeilen; ++i)
      std::memcpy(static_cast<std::uint8_t*>(ziel) + static_cast<std::size_t>(i) * pitch,
                  zwischen.data() + static_cast<std::size_t>(i) * dicht, dicht);
}

void GlBackend::SchreibeFlaeche(Oberflaeche& o, const RECT& r, const void* quelle, UINT pitch) {
  Aktiviere();
  const FormatInfo& fi = o.format();
  const GlFormat* f = GlFormatVon(o.desc.Format);
  const Ort ort = OrtVon(o);
  const UINT w = static_cast<UINT>(r.right - r.left), h = static_cast<UINT>(r.bottom - r.top);
  const UINT dicht = ZeilenBytes(fi, w), zeilen = Zeilen(fi, h);
  const auto* ein = static_cast<const std::uint8_t*>(quelle);
  std::vector<std::uint8_t> zwischen;
  if (pitch != dicht) {
    zwischen.resize(static_cast<std::size_t>(dicht) * zeilen);
    for (UINT i = 0; i < zeilen; ++i)
      std::memcpy(zwischen.data() + static_cast<std::size_t>(i) * dicht, ein + static_cast<std::size_t>(i) * pitch,
                  dicht);
    ein = zwischen.data();
  }
  if (o.art == Oberflaeche::Art::Ebene)
    static_cast<GlTextur&>(*o.textur->anteil).Merke(o, r, ein, static_cast<std::size_t>(dicht) * zeilen);
  const auto bytes = static_cast<GLsizei>(static_cast<std::size_t>(dicht) * zeilen);
  const auto gw = static_cast<GLsizei>(w), gh = static_cast<GLsizei>(h);
  if (ort.schicht < 0) {
    if (f->komprimiert) {
      glCompressedTextureSubImage2D(ort.textur, ort.ebene, r.left, r.top, gw, gh, f->intern, bytes, ein);
    } else {
      glTextureSubImage2D(ort.textur, ort.ebene, r.left, r.top, gw, gh, f->daten, f->typ, ein);
    }
  } else if (f->komprimiert) {
    glCompressedTextureSubImage3D(ort.textur, ort.ebene, r.left, r.top, ort.schicht, gw, gh, 1, f->intern, bytes,
                                  ein);
  } else {
    glTextureSubImage3D(ort.textur, ort.ebene, r.left, r.top, ort.schicht, gw, gh, 1, f->daten, f->typ, ein);
  }
}

HRESULT GlBackend::ErzeugeShader(ShaderBasis& s) {
  Aktiviere();
  const bool vertex = s.blob.stufe == ShaderStufe::Vertex;
  if (s.blob.uniformBlockBindung >= kInternBindung) return D3DERR_INVALIDCALL;
  std::string glsl = s.blob.glsl;
  if (vertex && !VerschiebePixelmitte(glsl)) return D3DERR_INVALIDCALL;
  auto a = std::make_unique<GlShader>();
  a->shader = glCreateShader(vertex ? GL_VERTEX_SHADER : GL_FRAGMENT_SHADER);
  const char* text = glsl.c_str();
  glShaderSource(a->shader, 1, &text, nullptr);
  glCompileShader(a->shader);
  GLint ok = GL_FALSE;
  glGetShaderiv(a->shader, GL_COMPILE_STATUS, &ok);
  if (!ok) {
    char log[2048] = {};
    glGetShaderInfoLog(a->shader, sizeof log, nullptr, log);
    std::fprintf(stderr, "%s: GLSL-Übersetzung gescheitert:\n%s\n", s.name().c_str(), log);
    return D3DERR_INVALIDCALL;
  }
  if (s.blob.uniformBlockBytes > KonstantenRing::kMaxBlock) return D3DERR_INVALIDCALL;
  a->block.assign(s.blob.uniformBlockBytes, 0);
  s.anteil = std::move(a);
  return D3D_OK;
}

void GlBackend::Vergiss(ObjektBasis& o) {
  Aktiviere();
  const ObjektBasis* p = &o;
  for (UINT i = 0; i < kZiele; ++i) {
    if (fboZiel_[i] == p) {
      glNamedFramebufferTexture(fbo_, GL_COLOR_ATTACHMENT0 + i, 0, 0);
      fboZiel_[i] = nullptr;
    }
  }
  if (fboTiefe_ == p) {
    glNamedFramebufferTexture(fbo_, fboTiefeAnhang_, 0, 0);
    fboTiefe_ = nullptr;
  }
  if (lesenZiel_ == p) {
    glNamedFramebufferTexture(lesenFbo_, GL_COLOR_ATTACHMENT0, 0, 0);
    lesenZiel_ = nullptr;
  }
  for (auto& e : einheit_)
    if (e == p) e = nullptr;
  for (auto& b : bindung_)
    if (b.puffer == p) b = Bindung{};
  if (elementPuffer_ == p) elementPuffer_ = nullptr;
  if (vaoDeklaration_ == p || vaoShader_ == p) vaoDeklaration_ = vaoShader_ = nullptr;
  for (auto it = programme_.begin(); it != programme_.end();) {
    if (it->first.first == p || it->first.second == p) {
      if (programm_ == it->second) programm_ = 0;
      glDeleteProgram(it->second);
      it = programme_.erase(it);
    } else {
      ++it;
    }
  }
}

// ---------------------------------------------------------------- drawing

void GlBackend::BindeZiele(const Zustand& z) {
  if (!fboGebunden_) {
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, fbo_);
    fboGebunden_ = true;
  }
  bool puffer = false;
  for (UINT i = 0; i < kZiele; ++i) {
    const Oberflaeche* o = z.ziel[i];
    if (fboZiel_[i] == o) continue;
    if (o) {
      const Ort ort = OrtVon(*o);
      if (ort.schicht < 0) {
        glNamedFramebufferTexture(fbo_, GL_COLOR_ATTACHMENT0 + i, ort.textur, ort.ebene);
      } else {
        glNamedFramebufferTextureLayer(fbo_, GL_COLOR_ATTACHMENT0 + i, ort.textur, ort.ebene, ort.schicht);
      }
    } else {
      glNamedFramebufferTexture(fbo_, GL_COLOR_ATTACHMENT0 + i, 0, 0);
    }
    fboZiel_[i] = o;
    puffer = true;
    maskenGueltig_ = false;
  }
  if (puffer) {
    GLenum liste[kZiele];
    for (UINT i = 0; i < kZiele; ++i) liste[i] = z.ziel[i] ? GL_COLOR_ATTACHMENT0 + i : GL_NONE;
    glNamedFramebufferDrawBuffers(fbo_, kZiele, liste);
  }
  if (fboTiefe_ != z.tiefe) {
    if (fboTiefe_) glNamedFramebufferTexture(fbo_, fboTiefeAnhang_, 0, 0);
    fboTiefe_ = z.tiefe;
    if (z.tiefe) {
      fboTiefeAnhang_ = z.tiefe->desc.Format == D3DFMT_D24S8 ? GL_DEPTH_STENCIL_ATTACHMENT : GL_DEPTH_ATTACHMENT;
      glNamedFramebufferTexture(fbo_, fboTiefeAnhang_, OrtVon(*z.tiefe).textur, 0);
    }
  }
}

void GlBackend::SetzeViewport(const D3DVIEWPORT9& v) {
  if (viewportGueltig_ && std::memcmp(&v, &viewport_, sizeof v) == 0) return;
  // Row 0 of the target is the top row, so the viewport's Y counts from there as well.
  glViewport(static_cast<GLint>(v.X), static_cast<GLint>(v.Y), static_cast<GLsizei>(v.Width),
             static_cast<GLsizei>(v.Height));
  glDepthRangef(v.MinZ, v.MaxZ);
  const float versatz[4] = {v.Width ? 1.0f / static_cast<float>(v.Width) : 0.0f,
                            v.Height ? -1.0f / static_cast<float>(v.Height) : 0.0f, 0.0f, 0.0f};
  if (!viewportGueltig_ || versatz[0] != versatz_[0] || versatz[1] != versatz_[1]) {
    std::memcpy(versatz_, versatz, sizeof versatz);
    versatzOrt_ = {};
  }
  viewport_ = v;
  viewportGueltig_ = true;
}

// Colour write masks per target; X8R8G8B8 targets keep their X byte at 255.
void GlBackend::SetzeMasken(const Zustand& z) {
  static constexpr D3DRENDERSTATETYPE kMaske[kZiele] = {D3DRS_COLORWRITEENABLE, D3DRS_COLORWRITEENABLE1,
                                                         D3DRS_COLORWRITEENABLE2, D3DRS_COLORWRITEENABLE3};
  for (UINT i = 0; i < kZiele; ++i) {
    const DWORD m = z.rs[kMaske[i]];
    const bool x8 = z.ziel[i] && z.ziel[i]->desc.Format == D3DFMT_X8R8G8B8;
    const GLboolean w[4] = {static_cast<GLboolean>((m & 1) != 0), static_cast<GLboolean>((m & 2) != 0),
                            static_cast<GLboolean>((m & 4) != 0), static_cast<GLboolean>((m & 8) != 0 && !x8)};
    if (maskenGueltig_ && std::memcmp(w, &masken_[i * 4], 4) == 0) continue;
    glColorMaski(i, w[0], w[1], w[2], w[3]);
    std::memcpy(&masken_[i * 4], w, 4);
  }
  maskenGueltig_ = true;
}

GLuint GlBackend::Programm(ShaderBasis* vs, ShaderBasis* ps) {
  const std::pair<const ObjektBasis*, const ObjektBasis*> schluessel{vs, ps};
  auto it = programme_.find(schluessel);
  if (it != programme_.end()) return it->second;
  GLuint p = glCreateProgram();
  glAttachShader(p, static_cast<GlShader&>(*vs->anteil).shader);
  glAttachShader(p, static_cast<GlShader&>(*ps->anteil).shader);
  glLinkProgram(p);
  GLint ok = GL_FALSE;
  glGetProgramiv(p, GL_LINK_STATUS, &ok);
  if (!ok) {
    char log[2048] = {};
    glGetProgramInfoLog(p, sizeof log, nullptr, log);
    std::fprintf(stderr, "%s + %s: GLSL-Binden gescheitert:\n%s\n", vs->name().c_str(), ps->name().c_str(), log);
    glDeleteProgram(p);
    p = 0;
  } else {
    // Each stage's constant block at its stage's binding, whatever the GLSL says.
    GLint bloecke = 0;
    glGetProgramiv(p, GL_ACTIVE_UNIFORM_BLOCKS, &bloecke);
    for (GLuint b = 0; b < static_cast<GLuint>(bloecke); ++b) {
      char name[256] = {};
      glGetActiveUniformBlockName(p, b, sizeof name, nullptr, name);
      if (std::strcmp(name, "VelmarD3D9Intern") == 0) continue;
      GLint imVertex = 0, imPixel = 0;
      glGetActiveUniformBlockiv(p, b, GL_UNIFORM_BLOCK_REFERENCED_BY_VERTEX_SHADER, &imVertex);
      glGetActiveUniformBlockiv(p, b, GL_UNIFORM_BLOCK_REFERENCED_BY_FRAGMENT_SHADER, &imPixel);
      if (imVertex && !imPixel) glUniformBlockBinding(p, b, vs->blob.uniformBlockBindung);
      if (imPixel && !imVertex) glUniformBlockBinding(p, b, ps->blob.uniformBlockBindung);
    }
  }
  programme_[schluessel] = p;
  return p;
}

// Copies the register file into the shader's uniform block along its spans; the block
// goes to the ring when it changed or writing has left the ring's quarter that holds it.
void GlBackend::LadeKonstanten(ShaderBasis* s, const float* register_, std::uint64_t stand) {
  auto& a = static_cast<GlShader&>(*s->anteil);
  if (a.block.empty()) return;
  bool neu = !ring_.Gueltig(a.ort);
  if (a.stand != stand) {
    for (const RegisterSpanne& sp : s->blob.spannen)
      for (UINT k = 0; k < sp.komponenten; ++k) {
        std::uint8_t* ziel = a.block.data() + sp.blockOffset + k * sp.schrittBytes;
        const float* wert = &register_[sp.register_ * 4 + k];
        if (std::memcmp(ziel, wert, 4) == 0) continue;
        std::memcpy(ziel, wert, 4);
        neu = true;
      }
    a.stand = stand;
  }
  const auto bytes = static_cast<GLsizeiptr>(a.block.size());
  if (neu) a.ort = ring_.Schreibe(a.block.data(), bytes);
  BindeBlock(s->blob.uniformBlockBindung, a.ort, bytes);
}

// The viewport's half-pixel shift for every vertex shader.
void GlBackend::LadeVersatz() {
  if (!ring_.Gueltig(versatzOrt_)) versatzOrt_ = ring_.Schreibe(versatz_, sizeof versatz_);
  BindeBlock(kInternBindung, versatzOrt_, sizeof versatz_);
}

void GlBackend::BindeBlock(UINT bindung, const KonstantenRing::Ort& o, GLsizeiptr bytes) {
  KonstantenRing::Ort& g = gebunden_[bindung];
  if (g.offset == o.offset && g.runde == o.runde) return;
  glBindBufferRange(GL_UNIFORM_BUFFER, bindung, ring_.Puffer(), o.offset, bytes);
  g = o;
}

void GlBackend::BindeTexturen(const Zustand& z) {
  for (UINT i = 0; i < kStufen; ++i) {
    TexturBasis* t = z.textur[i];
    if (t && t->mipsVeraltet) {
      glGenerateTextureMipmap(static_cast<GlTextur&>(*t->anteil).name);
      t->mipsVeraltet = false;
    }
    if (einheit_[i] != t) {
      glBindTextureUnit(i, t ? static_cast<GlTextur&>(*t->anteil).name : 0);
      einheit_[i] = t;
    }
    if (t)
      sampler_.Setze(i, z.sampler[i], LesartVon(t->ebenenIntern, static_cast<const GlTextur&>(*t->anteil).einfarbig));
  }
}

void GlBackend::SetzeRenderStates(const Zustand& z) {
  auto neu = [&](D3DRENDERSTATETYPE s) { return !rsGueltig_ || rs_[s] != z.rs[s]; };
  const bool tiefe = z.tiefe != nullptr && z.rs[D3DRS_ZENABLE] != D3DZB_FALSE;
  if (!rsGueltig_ || tiefe != tiefeGebunden_) {
    if (tiefe) {
      glEnable(GL_DEPTH_TEST);
    } else {
      glDisable(GL_DEPTH_TEST);
    }
    tiefeGebunden_ = tiefe;
  }
  if (neu(D3DRS_ZWRITEENABLE)) glDepthMask(z.rs[D3DRS_ZWRITEENABLE] ? GL_TRUE : GL_FALSE);
  if (neu(D3DRS_ZFUNC)) glDepthFunc(Vergleich(z.rs[D3DRS_ZFUNC]));
  if (neu(D3DRS_CULLMODE)) {
    // Direct3D culls by the winding on screen. With the upper-left origin GL sees the
    // same winding, and its front faces (counter-clockwise) are Direct3D's
    // counter-clockwise ones.
    switch (z.rs[D3DRS_CULLMODE]) {
      case D3DCULL_CW:
        glEnable(GL_CULL_FACE);
        glCullFace(GL_BACK);
        break;
      case D3DCULL_CCW:
        glEnable(GL_CULL_FACE);
        glCullFace(GL_FRONT);
        break;
      default:
        glDisable(GL_CULL_FACE);
        break;
    }
  }
  if (neu(D3DRS_ALPHABLENDENABLE)) {
    if (z.rs[D3DRS_ALPHABLENDENABLE]) {
      glEnable(GL_BLEND);
    } else {
      glDisable(GL_BLEND);
    }
  }
  if (neu(D3DRS_SRCBLEND) || neu(D3DRS_DESTBLEND) || neu(D3DRS_SEPARATEALPHABLENDENABLE) ||
      neu(D3DRS_SRCBLENDALPHA) || neu(D3DRS_DESTBLENDALPHA)) {
    GLenum q, ziel, qa, za;
    Faktoren(z.rs[D3DRS_SRCBLEND], z.rs[D3DRS_DESTBLEND], q, ziel);
    if (z.rs[D3DRS_SEPARATEALPHABLENDENABLE]) {
      Faktoren(z.rs[D3DRS_SRCBLENDALPHA], z.rs[D3DRS_DESTBLENDALPHA], qa, za);
    } else {
      qa = q;
      za = ziel;
    }
    glBlendFuncSeparate(q, ziel, qa, za);
  }
  if (neu(D3DRS_BLENDOP) || neu(D3DRS_BLENDOPALPHA) || neu(D3DRS_SEPARATEALPHABLENDENABLE)) {
    const GLenum o = Operation(z.rs[D3DRS_BLENDOP]);
    glBlendEquationSeparate(o, z.rs[D3DRS_SEPARATEALPHABLENDENABLE] ? Operation(z.rs[D3DRS_BLENDOPALPHA]) : o);
  }
  if (neu(D3DRS_BLENDFACTOR)) {
    float f[4];
    Farbe(z.rs[D3DRS_BLENDFACTOR], f);
    glBlendColor(f[0], f[1], f[2], f[3]);
  }
  rs_ = z.rs;
  rsGueltig_ = true;
  SetzeMasken(z);
}

void GlBackend::SetzeVertexeingabe(const Zustand& z, const Zeichnung& d) {
  const Deklaration* dekl = z.deklaration;
  if (vaoDeklaration_ != dekl || vaoShader_ != z.vs) {
    for (GLuint l = 0; l < 32; ++l)
      if (aktiveAttribute_ & (1u << l)) glDisableVertexArrayAttrib(vao_, l);
    aktiveAttribute_ = 0;
    for (const D3DVERTEXELEMENT9& e : dekl->elemente) {
      for (const VertexEingang& ein : z.vs->blob.eingaenge) {
        if (ein.usage != e.Usage || ein.usageIndex != e.UsageIndex || ein.location >= 32) continue;
        const AttributFormat f = Attribut(e.Type);
        glEnableVertexArrayAttrib(vao_, ein.location);
        glVertexArrayAttribFormat(vao_, ein.location, f.groesse, f.typ, f.normiert, e.Offset);
        glVertexArrayAttribBinding(vao_, ein.location, e.Stream);
        aktiveAttribute_ |= 1u << ein.location;
      }
    }
    vaoDeklaration_ = dekl;
    vaoShader_ = z.vs;
  }
  std::uint32_t stroeme = 0;
  for (const D3DVERTEXELEMENT9& e : dekl->elemente) stroeme |= 1u << e.Stream;
  for (UINT s = 0; s < kStroeme; ++s) {
    if (!(stroeme & (1u << s))) continue;
    const Strom& st = z.strom[s];
    Bindung& b = bindung_[s];
    const UINT teiler = (d.instanzen > 0 && (st.frequenz & D3DSTREAMSOURCE_INSTANCEDATA))
                            ? (st.frequenz & 0x3FFFFFFF)
                            : 0;
    if (b.puffer != st.puffer || b.offset != st.offset || b.stride != st.stride) {
      glVertexArrayVertexBuffer(vao_, s, static_cast<GlPuffer&>(*st.puffer->anteil).name, st.offset,
                                static_cast<GLsizei>(st.stride));
      b.puffer = st.puffer;
      b.offset = st.offset;
      b.stride = st.stride;
    }
    if (b.teiler != teiler) {
      glVertexArrayBindingDivisor(vao_, s, teiler);
      b.teiler = teiler;
    }
  }
  if (d.indiziert && elementPuffer_ != z.indizes) {
    glVertexArrayElementBuffer(vao_, static_cast<GlPuffer&>(*z.indizes->anteil).name);
    elementPuffer_ = z.indizes;
  }
}

void GlBackend::Zeichne(const Zustand& z, const Zeichnung& d) {
  Aktiviere();
  const GLuint p = Programm(z.vs, z.ps);
  if (!p) return;
  BindeZiele(z);
  SetzeViewport(z.viewport);
  if (programm_ != p) {
    glUseProgram(p);
    programm_ = p;
  }
  LadeVersatz();
  LadeKonstanten(z.vs, z.vsKonst.data(), z.vsStand);
  LadeKonstanten(z.ps, z.psKonst.data(), z.psStand);
  BindeTexturen(z);
  SetzeRenderStates(z);
  SetzeVertexeingabe(z, d);
  const GLenum modus = Modus(d.typ);
  const GLsizei instanzen = static_cast<GLsizei>(d.instanzen > 0 ? d.instanzen : 1);
  const INT erster = d.basisVertex + static_cast<INT>(d.start);
  if (d.indiziert && static_cast<GlPuffer&>(*z.indizes->anteil).AlsArrays(d.basisVertex, d.start, d.anzahl)) {
    // Indices that only count up name the vertices in order.
    glDrawArraysInstanced(modus, erster, static_cast<GLsizei>(d.anzahl), instanzen);
  } else if (d.indiziert) {
    const UINT bytes = z.indizes->IndexBytes();
    const auto* offset = reinterpret_cast<const void*>(static_cast<std::uintptr_t>(d.start) * bytes);
    glDrawElementsInstancedBaseVertex(modus, static_cast<GLsizei>(d.anzahl),
                                      bytes == 4 ? GL_UNSIGNED_INT : GL_UNSIGNED_SHORT, offset,
                                      instanzen, d.basisVertex);
  } else {
    glDrawArrays(modus, static_cast<GLint>(d.start), static_cast<GLsizei>(d.anzahl));
  }
  ring_.Gezeichnet();
}

void GlBackend::Leere(const Zustand& z, DWORD anzahl, const D3DRECT* rechtecke, DWORD flags, D3DCOLOR farbe,
                      float tiefe, DWORD stencil) {
  Aktiviere();
  BindeZiele(z);
  // Clear writes every channel, whatever the write masks say.
  for (UINT i = 0; i < kZiele; ++i) glColorMaski(i, GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
  maskenGueltig_ = false;
  glDepthMask(GL_TRUE);
  glStencilMask(0xFF);
  rsGueltig_ = false;
  float f[4];
  Farbe(farbe, f);
  const D3DVIEWPORT9& v = z.viewport;
  const D3DRECT ganz{static_cast<LONG>(v.X), static_cast<LONG>(v.Y), static_cast<LONG>(v.X + v.Width),
                     static_cast<LONG>(v.Y + v.Height)};
  // A clear of the framebuffer's whole area needs no scissor. Mesa clears a buffer larger than
  // the framebuffer (the scene's depth buffer is shared with a 2048x2048 target) with a drawn
  // quad when a scissor is on, compiling a shader for it; without one it clears the same
  // area, as GL clears no pixel outside the framebuffer.
  UINT flaecheB = ~0u, flaecheH = ~0u;
  auto nimm = [&](const Oberflaeche* o) {
    if (!o) return;
    flaecheB = std::min(flaecheB, o->desc.Width);
    flaecheH = std::min(flaecheH, o->desc.Height);
  };
  for (const Oberflaeche* o : z.ziel) nimm(o);
  nimm(z.tiefe);
  const bool ganzeFlaeche = anzahl == 0 && v.X == 0 && v.Y == 0 && v.Width >= flaecheB && v.Height >= flaecheH;
  if (!ganzeFlaeche) glEnable(GL_SCISSOR_TEST);
  for (DWORD n = 0; n < (anzahl ? anzahl : 1); ++n) {
    // Only the part of each rectangle inside the viewport is cleared.
    const D3DRECT r = anzahl ? rechtecke[n] : ganz;
    const LONG x1 = std::max(r.x1, ganz.x1), y1 = std::max(r.y1, ganz.y1);
    const LONG x2 = std::min(r.x2, ganz.x2), y2 = std::min(r.y2, ganz.y2);
    if (x1 >= x2 || y1 >= y2) continue;
    if (!ganzeFlaeche) glScissor(x1, y1, x2 - x1, y2 - y1);
    if (flags & D3DCLEAR_TARGET) {
      for (UINT i = 0; i < kZiele; ++i) {
        if (!z.ziel[i]) continue;
        float c[4] = {f[0], f[1], f[2], z.ziel[i]->desc.Format == D3DFMT_X8R8G8B8 ? 1.0f : f[3]};
        glClearNamedFramebufferfv(fbo_, GL_COLOR, static_cast<GLint>(i), c);
      }
    }
    const bool t = (flags & D3DCLEAR_ZBUFFER) != 0, s = (flags & D3DCLEAR_STENCIL) != 0;
    if (t && s) {
      glClearNamedFramebufferfi(fbo_, GL_DEPTH_STENCIL, 0, tiefe, static_cast<GLint>(stencil & 0xFF));
    } else if (t) {
      glClearNamedFramebufferfv(fbo_, GL_DEPTH, 0, &tiefe);
    } else if (s) {
      const GLint w = static_cast<GLint>(stencil & 0xFF);
      glClearNamedFramebufferiv(fbo_, GL_STENCIL, 0, &w);
    }
  }
  if (!ganzeFlaeche) glDisable(GL_SCISSOR_TEST);
}

void GlBackend::Praesentiere(Oberflaeche& rueckpuffer) {
  Aktiviere();
  if (lesenZiel_ != &rueckpuffer) {
    glNamedFramebufferTexture(lesenFbo_, GL_COLOR_ATTACHMENT0, OrtVon(rueckpuffer).textur, 0);
    glNamedFramebufferReadBuffer(lesenFbo_, GL_COLOR_ATTACHMENT0);
    lesenZiel_ = &rueckpuffer;
  }
  int b = 0, h = 0;
  glfwGetFramebufferSize(fenster_, &b, &h);
  const auto w = static_cast<GLint>(rueckpuffer.desc.Width), hh = static_cast<GLint>(rueckpuffer.desc.Height);
  glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
  fboGebunden_ = false;
  glColorMaski(0, GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
  maskenGueltig_ = false;
  // The window's row 0 is at the bottom: the copy turns the image over. A window of
  // another size gets the back buffer stretched, as Direct3D does.
  if (b > 0 && h > 0)
    glBlitNamedFramebuffer(lesenFbo_, 0, 0, 0, w, hh, 0, h, b, 0, GL_COLOR_BUFFER_BIT,
                           (b == w && h == hh) ? GL_NEAREST : GL_LINEAR);
  glfwSwapBuffers(fenster_);
  HalteTakt();
}

void GlBackend::HalteTakt() {
  if (!taktHalten_) return;
  const auto frist = letztesBild_ + taktAbstand_;
  if (std::chrono::steady_clock::now() < frist) std::this_thread::sleep_until(frist);
  letztesBild_ = std::chrono::steady_clock::now();
}

}  // namespace

std::unique_ptr<GeraeteBackend> ErzeugeGlBackend(HWND fenster, HRESULT& hr) {
  GLFWwindow* w = Fenster::GlfwFenster(fenster);
  if (!w || glfwGetWindowAttrib(w, GLFW_CLIENT_API) == GLFW_NO_API) {
    hr = D3DERR_INVALIDCALL;
    return nullptr;
  }
  auto b = std::make_unique<GlBackend>(w);
  hr = b->Starte();
  if (FAILED(hr)) return nullptr;
  return b;
}

}  // namespace Plattform::D3D9
