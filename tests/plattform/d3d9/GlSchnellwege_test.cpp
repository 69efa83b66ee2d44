// What the OpenGL backend adds for speed, tested at its edges: sampler objects per set of
// GL parameters, textures of one value read at the nearest texel, and index runs that
// count up drawn as arrays. Where pixels cannot tell, GL state or calls are looked at.
#include <epoxy/gl.h>

#include <cstring>
#include <utility>
#include <vector>

#include "GlGeraet.h"
#include "GlMitschnitt.h"
#include "d3d9/GlEinfarbig.h"
#include "d3d9/GlIndexFolge.h"
#include "d3d9/GlSampler.h"

using namespace GlTest;
using namespace Plattform::D3D9;

namespace {

// ---------------------------------------------------------------- sampler objects

constexpr GLenum N = GL_NEAREST, L = GL_LINEAR, R = GL_REPEAT, B = GL_CLAMP_TO_BORDER;
constexpr DWORD U = D3DSAMP_ADDRESSU, V = D3DSAMP_ADDRESSV, W = D3DSAMP_ADDRESSW, FARBE = D3DSAMP_BORDERCOLOR,
                MAG = D3DSAMP_MAGFILTER, MIN = D3DSAMP_MINFILTER, MIP = D3DSAMP_MIPFILTER,
                ANISO = D3DSAMP_MAXANISOTROPY, P = D3DTEXF_POINT, LIN = D3DTEXF_LINEAR, ANI = D3DTEXF_ANISOTROPIC, RAND = D3DTADDRESS_BORDER;

// Direct3D 9's defaults with the given states changed.
SamplerZustand Zustand(std::initializer_list<std::pair<DWORD, DWORD>> aenderungen) {
  SamplerZustand s{};
  s[U] = s[V] = s[W] = D3DTADDRESS_WRAP;
  s[MAG] = s[MIN] = P;
  s[ANISO] = 1;
  for (auto [art, wert] : aenderungen) s[art] = wert;
  return s;
}

GLint Param(GLuint g, GLenum name) {
  GLint w = 0;
  glGetSamplerParameteriv(g, name, &w);
  return w;
}

GLuint Gebunden(UINT stufe) {
  glActiveTexture(GL_TEXTURE0 + stufe);
  GLint g = 0;
  glGetIntegerv(GL_SAMPLER_BINDING, &g);
  return static_cast<GLuint>(g);
}

DWORD Bits(float f) {
  DWORD d;
  std::memcpy(&d, &f, 4);
  return d;
}

auto Felder(const SamplerParameter& p) {
  return std::tuple(p.wrapS, p.wrapT, p.wrapR, p.rand, p.min, p.mag, p.bias, p.minLod, p.anisotropie);
}

TEST(GlSampler, ParametersOfEachStateAndTexture) {
  using enum Lesart;
  struct Fall { SamplerZustand s; Lesart lesart; float maxAniso; SamplerParameter soll; };
  const Fall faelle[] = {
      {Zustand({{FARBE, 7}}), Voll, 16, {R, R, R, 0, N, N, 0, 0, 1}},  // no BORDER: no colour
      {Zustand({{U, D3DTADDRESS_MIRROR}, {V, D3DTADDRESS_CLAMP}, {W, RAND}, {FARBE, 7}}), Voll, 16,
       {GL_MIRRORED_REPEAT, GL_CLAMP_TO_EDGE, B, 7, N, N, 0, 0, 1}},
      {Zustand({{U, D3DTADDRESS_MIRRORONCE}, {V, RAND}, {FARBE, 5}}), Voll, 16,
       {GL_MIRROR_CLAMP_TO_EDGE, B, R, 5, N, N, 0, 0, 1}},
      {Zustand({{U, RAND}, {FARBE, 7}, {MIN, LIN}, {MIP, P}, {MAG, LIN}}), Voll, 16,
       {B, R, R, 7, GL_LINEAR_MIPMAP_NEAREST, L, 0, 0, 1}},
      {Zustand({{MIP, P}}), Voll, 16, {R, R, R, 0, GL_NEAREST_MIPMAP_NEAREST, N, 0, 0, 1}},
      {Zustand({{MIP, LIN}}), Voll, 16, {R, R, R, 0, GL_NEAREST_MIPMAP_LINEAR, N, 0, 0, 1}},
      {Zustand({{MIN, LIN}, {MIP, LIN}}), Voll, 16, {R, R, R, 0, GL_LINEAR_MIPMAP_LINEAR, N, 0, 0, 1}},
      // Anisotropy: 0 counts as 1; the device's limit caps it, reached or passed.
      {Zustand({{MIN, ANI}, {ANISO, 0}}), Voll, 16, {R, R, R, 0, L, N, 0, 0, 1}},
      {Zustand({{MAG, ANI}, {ANISO, 16}}), Voll, 16, {R, R, R, 0, N, L, 0, 0, 16}},
      {Zustand({{MIN, ANI}, {ANISO, 9}}), Voll, 4, {R, R, R, 0, L, N, 0, 0, 4}},
      {Zustand({{MIN, LIN}, {ANISO, 8}}), Voll, 16, {R, R, R, 0, L, N, 0, 0, 1}},
      {Zustand({{D3DSAMP_MIPMAPLODBIAS, Bits(-0.5f)}, {D3DSAMP_MAXMIPLEVEL, 3}}), Voll, 16,
       {R, R, R, 0, N, N, -0.5f, 3, 1}},
      // One level: the mip part goes, the rest stays.
      {Zustand({{MIN, ANI}, {MIP, LIN}, {MAG, LIN}, {ANISO, 8}}), EineEbene, 16, {R, R, R, 0, L, L, 0, 0, 8}},
      {Zustand({{MIN, LIN}, {MIP, P}}), EineEbene, 16, {R, R, R, 0, L, N, 0, 0, 1}},
      {Zustand({{MIP, P}}), EineEbene, 16, {R, R, R, 0, N, N, 0, 0, 1}},
      {Zustand({{MIP, LIN}}), EineEbene, 16, {R, R, R, 0, N, N, 0, 0, 1}},
      // One value: the nearest texel, unless a border colour may mix in.
      {Zustand({{MIN, ANI}, {MIP, LIN}, {MAG, LIN}, {ANISO, 8}}), Einfarbig, 16, {R, R, R, 0, N, N, 0, 0, 1}},
      {Zustand({{MIN, ANI}, {MIP, LIN}, {MAG, LIN}, {ANISO, 8}, {V, RAND}}), Einfarbig, 16,
       {R, B, R, 0, L, L, 0, 0, 8}}};
  for (std::size_t i = 0; i < std::size(faelle); ++i)
    EXPECT_EQ(Felder(SamplerParameterVon(faelle[i].s, faelle[i].lesart, faelle[i].maxAniso)), Felder(faelle[i].soll))
        << "Fall " << i;
  EXPECT_EQ(std::tuple(LesartVon(1, true), LesartVon(1, false), LesartVon(2, false)),
            std::tuple(Einfarbig, EineEbene, Voll));
}

// Every field (nine of 32 bits) has a place of its own in an object's key, floats by
// their bits: the sign bit of one field changed changes that place only (0.0 to -0.0).
TEST(GlSampler, EveryParameterTellsObjectsApart) {
  static_assert(sizeof(SamplerParameter) == 36);
  const SamplerParameter basis{R, R, R, 0, N, N, 0.0f, 0, 1};
  for (int i = 0; i < 9; ++i) {
    std::array<std::uint32_t, 9> w;
    std::memcpy(w.data(), &basis, 36);
    w[i] ^= 0x80000000u;
    SamplerParameter p;
    std::memcpy(&p, w.data(), 36);
    for (int k = 0; k < 9; ++k) EXPECT_EQ(p.Schluessel()[k] != basis.Schluessel()[k], k == i) << i << ", " << k;
  }
}

// An object is made once per key, here with parameters all unlike GL's defaults; a unit is
// bound anew only when its state or its texture's kind gives another object. Each unit is
// bound to 0 from outside first, so a unit left alone shows as 0.
TEST(GlSampler, ObjectsPerKeyAndBindingsPerUnit) {
  VerstecktesFenster fenster;
  ASSERT_NE(fenster.glfw(), nullptr);
  glfwMakeContextCurrent(fenster.glfw());
  GlSampler s;
  s.Starte(4);
  const SamplerZustand z = Zustand({{U, D3DTADDRESS_MIRROR}, {V, D3DTADDRESS_CLAMP}, {W, RAND}, {FARBE, 0x80FF4000},
                                    {MIN, ANI}, {MIP, P}, {D3DSAMP_MIPMAPLODBIAS, Bits(0.25f)},
                                    {D3DSAMP_MAXMIPLEVEL, 2}, {ANISO, 9}});
  const GLuint g = s.Fuer(z, Lesart::Voll);
  EXPECT_EQ(s.Fuer(z, Lesart::Voll), g);
  EXPECT_EQ(std::tuple(Param(g, GL_TEXTURE_WRAP_S), Param(g, GL_TEXTURE_WRAP_T), Param(g, GL_TEXTURE_WRAP_R),
                       Param(g, GL_TEXTURE_MIN_FILTER), Param(g, GL_TEXTURE_MAG_FILTER)),
            std::tuple(GL_MIRRORED_REPEAT, GL_CLAMP_TO_EDGE, B, GL_LINEAR_MIPMAP_NEAREST, N));
  std::array<float, 7> f{};
  glGetSamplerParameterfv(g, GL_TEXTURE_BORDER_COLOR, &f[0]);
  glGetSamplerParameterfv(g, GL_TEXTURE_LOD_BIAS, &f[4]);
  glGetSamplerParameterfv(g, GL_TEXTURE_MIN_LOD, &f[5]);
  glGetSamplerParameterfv(g, GL_TEXTURE_MAX_ANISOTROPY, &f[6]);
  EXPECT_EQ(f, (std::array<float, 7>{1, 64 / 255.0f, 0, 128 / 255.0f, 0.25f, 2, 4}));

  const SamplerZustand punkt = Zustand({}), linear = Zustand({{MAG, LIN}});
  struct Schritt { UINT stufe; SamplerZustand s; Lesart lesart; bool neu; };
  const Schritt schritte[] = {
      {0, punkt, Lesart::Voll, true},          {0, punkt, Lesart::Voll, false},
      {0, punkt, Lesart::EineEbene, false},    {0, Zustand({{ANISO, 3}}), Lesart::EineEbene, false},
      {0, linear, Lesart::EineEbene, true},    {0, linear, Lesart::Einfarbig, true},
      {kStufen - 1, punkt, Lesart::Voll, true}, {1, punkt, Lesart::Voll, true}};
  for (std::size_t k = 0; k < std::size(schritte); ++k) {
    const Schritt& st = schritte[k];
    glBindSampler(st.stufe, 0);
    s.Setze(st.stufe, st.s, st.lesart);
    EXPECT_EQ(Gebunden(st.stufe), st.neu ? s.Fuer(st.s, st.lesart) : 0u) << "Schritt " << k;
  }
  EXPECT_EQ(s.Anzahl(), 3u);  // the point state read as one value takes the point object
  s.Beende();
  EXPECT_EQ(s.Anzahl(), 0u);
  EXPECT_FALSE(glIsSampler(g));
}

// ---------------------------------------------------------------- textures of one value

using Daten = std::vector<std::uint8_t>;

// Steps on one level, texels of 4 or 16 bytes, written whole or in part.
TEST(GlEinfarbig, WritesKeepTheOneValueOrLoseIt) {
  const Daten a{1, 2, 3, 4}, b{1, 2, 3, 5}, x(16, 7);
  Daten x2 = x;
  x2[15] = 8;
  auto mal = [](std::initializer_list<Daten> teile) {
    Daten d;
    for (const auto& t : teile) d.insert(d.end(), t.begin(), t.end());
    return d;
  };
  struct Schritt { std::size_t texelBytes; bool ganz; Daten daten; bool soll; };
  const Schritt schritte[] = {
      {4, true, mal({a, a, a}), true},  {4, false, a, true},             {4, false, b, false},
      {4, false, a, false},             {4, true, mal({a, a, b}), false}, {4, true, a, true},
      {4, true, mal({a, b, a}), false}, {4, true, {1, 2, 3}, false},     {4, true, mal({b, b}), true},
      {4, false, a, false},             {16, true, mal({x, x}), true},   {16, false, x2, false}};
  Einfarbigkeit e;
  for (std::size_t i = 0; i < std::size(schritte); ++i) {
    const Schritt& s = schritte[i];
    e.Merke(s.texelBytes, s.ganz, s.daten.data(), s.daten.size());
    EXPECT_EQ(e.einfarbig, s.soll) << "Schritt " << i;
    EXPECT_TRUE(!s.soll || std::memcmp(e.texel.data(), s.daten.data(), s.texelBytes) == 0) << "Schritt " << i;
  }
}

class SchnellwegeTest : public GlGeraetTest {};

// A 4x4 texture written whole with bytes of 0x40 (its last row with `letzteZeile`), then
// maybe a rectangle with 0x80, both from system memory. The filters of its sampler object
// after a draw show how the backend reads it.
TEST_F(SchnellwegeTest, OnlyOneLevelTexturesNothingRendersIntoAreOfOneValue) {
  using enum Lesart;
  struct Fall {
    D3DFORMAT format;
    UINT ebenen;
    DWORD usage;
    bool wuerfel;
    RECT teil;
    Lesart soll;
    int letzteZeile = 0x40;
  };
  constexpr D3DFORMAT F = D3DFMT_A8R8G8B8;
  const Fall faelle[] = {
      {F, 1, 0, false, {}, Einfarbig},           {F, 1, 0, false, {}, EineEbene, 0x41},
      {F, 1, 0, false, {1, 0, 4, 4}, EineEbene}, {F, 1, 0, false, {0, 1, 4, 4}, EineEbene},
      {F, 1, 0, false, {0, 0, 3, 4}, EineEbene}, {F, 1, 0, false, {0, 0, 4, 3}, EineEbene},
      {F, 2, 0, false, {}, Voll},                {F, 0, D3DUSAGE_AUTOGENMIPMAP, false, {}, Voll},
      {F, 1, D3DUSAGE_RENDERTARGET, false, {}, EineEbene}, {F, 1, 0, true, {}, EineEbene},
      {D3DFMT_DXT1, 1, 0, false, {}, EineEbene}, {D3DFMT_A32B32G32R32F, 1, 0, false, {}, Einfarbig},
      {D3DFMT_A8, 1, 0, false, {}, Einfarbig}};
  auto* ps = Ps(kPsTextur, {}, 0, {{0, 0}});
  for (std::size_t i = 0; i < std::size(faelle); ++i) {
    const Fall& f = faelle[i];
    IDirect3DBaseTexture9* t = nullptr;
    IDirect3DSurface9* ebene = nullptr;
    IDirect3DCubeTexture9* w = nullptr;
    IDirect3DTexture9* t2 = nullptr;
    if (f.wuerfel) {
      ASSERT_EQ(g_->CreateCubeTexture(4, f.ebenen, f.usage, f.format, D3DPOOL_DEFAULT, &w, nullptr), D3D_OK);
      w->GetCubeMapSurface(D3DCUBEMAP_FACE_POSITIVE_X, 0, &ebene);
      t = Merke(w);
    } else {
      ASSERT_EQ(g_->CreateTexture(4, 4, f.ebenen, f.usage, f.format, D3DPOOL_DEFAULT, &t2, nullptr), D3D_OK);
      t2->GetSurfaceLevel(0, &ebene);
      t = Merke(t2);
    }
    Merke(ebene);
    const UINT zeilen = f.format == D3DFMT_DXT1 ? 1 : 4;
    for (const auto& [r, wert] : {std::pair{RECT{0, 0, 4, 4}, 0x40}, {f.teil, 0x80}}) {
      if (r.right == 0) continue;
      IDirect3DSurface9* quelle = nullptr;
      ASSERT_EQ(g_->CreateOffscreenPlainSurface(4, 4, f.format, D3DPOOL_SYSTEMMEM, &quelle, nullptr), D3D_OK);
      D3DLOCKED_RECT lr{};
      ASSERT_EQ(Merke(quelle)->LockRect(&lr, nullptr, 0), D3D_OK);
      std::memset(lr.pBits, wert, static_cast<std::size_t>(lr.Pitch) * zeilen);
      if (wert == 0x40) std::memset(static_cast<BYTE*>(lr.pBits) + lr.Pitch * (zeilen - 1), f.letzteZeile, lr.Pitch);
      quelle->UnlockRect();
      const POINT ziel{r.left, r.top};
      EXPECT_EQ(g_->UpdateSurface(quelle, &r, ebene, &ziel), D3D_OK);
    }
    Beginne(ps);
    g_->SetTexture(0, t);
    for (const auto& [art, wert] : {std::pair{D3DSAMP_MINFILTER, DWORD{ANI}}, {D3DSAMP_MAGFILTER, DWORD{LIN}},
                                    {D3DSAMP_MIPFILTER, DWORD{LIN}}, {D3DSAMP_MAXANISOTROPY, DWORD{4}}})
      g_->SetSamplerState(0, art, wert);
    Rechteck(0, 0, 8, 8, 0.5f, std::array<float, 4>{}.data(), true);
    g_->EndScene();
    g_->SetTexture(0, nullptr);
    const GLuint s = Gebunden(0);
    EXPECT_EQ(std::tuple(Param(s, GL_TEXTURE_MIN_FILTER), Param(s, GL_TEXTURE_MAG_FILTER),
                         Param(s, GL_TEXTURE_MAX_ANISOTROPY)),
              f.soll == Lesart::Einfarbig   ? std::tuple(GL_NEAREST, GL_NEAREST, 1)
              : f.soll == Lesart::EineEbene ? std::tuple(GL_LINEAR, GL_LINEAR, 4)
                                    : std::tuple(GL_LINEAR_MIPMAP_LINEAR, GL_LINEAR, 4))
        << "Fall " << i;
  }
}

// ---------------------------------------------------------------- index runs

// Locks of bytes [offset, offset + daten.size()) after a first one of all indices, and how
// far the indices count after each.
TEST(GlIndexFolge, CountsAgainFromWhereALockBegins) {
  struct Schritt { UINT offset; Daten daten; DWORD flags; bool hoch; UINT folge; };  // hoch: the bytes go up
  auto pruefe = [](UINT indexBytes, Daten anfang, std::initializer_list<Schritt> schritte) {
    IndexFolge f;
    f.indizes.resize(anfang.size());
    std::vector<Schritt> alle{{0, anfang, 0, true, static_cast<UINT>(anfang.size() / indexBytes)}};
    alle.insert(alle.end(), schritte);
    for (std::size_t i = 0; i < alle.size(); ++i) {
      const Schritt& s = alle[i];
      std::uint8_t* p = f.Sperre(s.offset, static_cast<UINT>(s.daten.size()), s.flags);
      EXPECT_EQ(p, f.indizes.data() + s.offset);
      std::copy(s.daten.begin(), s.daten.end(), p);
      EXPECT_EQ(f.Entsperre(indexBytes), s.hoch) << indexBytes << ", Schritt " << i;
      EXPECT_EQ(f.folge, s.folge) << indexBytes << ", Schritt " << i;
    }
  };
  pruefe(2, {0, 0, 1, 0, 2, 0, 3, 0, 4, 0, 5, 0, 6, 0, 7, 0},
         {{6, {9, 0}, 0, true, 3},
          {10, {5, 0}, 0, true, 3},  // after the first break, unchanged: still 3
          {6, {3, 0}, D3DLOCK_DISCARD, true, 8},
          {13, {1}, 0, true, 6},  // the high byte of index 6
          {13, {0}, 0, true, 8},
          {14, {0, 0}, 0, true, 7},  // the last index
          {14, {0, 0}, D3DLOCK_READONLY, false, 7},
          {16, {}, 0, false, 7}});
  pruefe(4, {0, 0, 0, 0, 1, 0, 0, 0, 2, 0, 0, 0, 3, 0, 0, 0},
         {{8, {7, 0, 0, 0}, 0, true, 2}, {8, {2, 0, 0, 0}, 0, true, 4}, {6, {1}, 0, true, 1}});  // 65537
  // 16-bit indices count to 65535 only: the next one, 0 again, ends the run.
  IndexFolge f;
  f.indizes.resize(2 * 65537);
  for (UINT i = 0; i < 65537; ++i) std::memcpy(&f.indizes[2 * i], &i, 2);
  f.Sperre(0, 2 * 65537, 0);
  f.Entsperre(2);
  EXPECT_EQ(f.folge, 65536u);
}

TEST(GlIndexFolge, DrawsAsArraysOnlyInsideTheRun) {
  struct Fall { INT basis; UINT start, anzahl; bool arrays; };
  const Fall faelle[] = {{0, 0, 8, true},  {0, 0, 9, false},  {0, 1, 7, true}, {0, 1, 8, false},
                         {-1, 1, 7, true}, {-1, 0, 4, false}, {5, 0, 8, true}, {1, 0xFFFFFFFF, 2, false}};
  IndexFolge f;
  f.folge = 8;
  for (const Fall& a : faelle)
    EXPECT_EQ(f.AlsArrays(a.basis, a.start, a.anzahl), a.arrays) << a.basis << ", " << a.start << ", " << a.anzahl;
}

// Counts the draws made as arrays while it lives.
class ArraysZaehler {
 public:
  ArraysZaehler() {
    anzahl_ = 0;
    echt_ = epoxy_glDrawArraysInstanced;
    epoxy_glDrawArraysInstanced = &Haken;
  }
  ~ArraysZaehler() { epoxy_glDrawArraysInstanced = echt_; }
  ArraysZaehler(const ArraysZaehler&) = delete;
  ArraysZaehler& operator=(const ArraysZaehler&) = delete;
  int Anzahl() const { return anzahl_; }

 private:
  static void EPOXY_CALLSPEC Haken(GLenum m, GLint f, GLsizei n, GLsizei i) {
    ++anzahl_;
    RufeDurch(epoxy_glDrawArraysInstanced, echt_, &Haken, m, f, n, i);
  }
  static inline int anzahl_ = 0;
  static inline decltype(epoxy_glDrawArraysInstanced) echt_ = nullptr;
};

// Vertex i is a point at pixel (i, 0): the lit pixels of row 0 show which vertices a draw
// read. Each step locks the indices from `ab` on (unless no values are given), then draws.
TEST_F(SchnellwegeTest, IndexedDrawsFollowTheIndicesAndGoAsArraysExactlyInsideTheRun) {
  struct Schritt { UINT ab; std::vector<DWORD> werte; INT basis; UINT start, anzahl; bool arrays; };
  const Schritt schritte[] = {{0, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}, 0, 0, 12, true},
                              {7, {9, 9}, 0, 0, 7, true}, {0, {}, 0, 0, 8, false},    {0, {}, 0, 1, 6, true},
                              {0, {}, 0, 2, 6, false},    {9, {9}, 0, 0, 12, false},  {7, {7, 8}, 0, 4, 8, true},
                              {0, {}, 2, 0, 10, true},    {0, {}, -2, 2, 4, true},    {11, {0}, -2, 2, 9, true},
                              {0, {}, 3, 3, 9, false}};
  std::vector<Ecke> ecken;
  for (int i = 0; i < 16; ++i) ecken.push_back({static_cast<float>(i), 0, 0.5f, 1, 1, 1, 1, 1});
  IDirect3DVertexBuffer9* vb = nullptr;
  void* p = nullptr;
  ASSERT_EQ(g_->CreateVertexBuffer(16 * sizeof(Ecke), 0, 0, D3DPOOL_DEFAULT, &vb, nullptr), D3D_OK);
  ASSERT_EQ(Merke(vb)->Lock(0, 0, &p, 0), D3D_OK);
  std::memcpy(p, ecken.data(), 16 * sizeof(Ecke));
  vb->Unlock();
  auto* ps = Ps(kPsFarbe);
  const ArraysZaehler alsArrays;
  for (const auto& [format, bytes] : {std::pair{D3DFMT_INDEX16, 2u}, {D3DFMT_INDEX32, 4u}}) {
    IDirect3DIndexBuffer9* ib = nullptr;
    ASSERT_EQ(g_->CreateIndexBuffer(12 * bytes, 0, format, D3DPOOL_DEFAULT, &ib, nullptr), D3D_OK);
    Merke(ib);
    std::vector<DWORD> modell(12);
    for (std::size_t i = 0; i < std::size(schritte); ++i) {
      const Schritt& s = schritte[i];
      if (!s.werte.empty()) {
        ASSERT_EQ(ib->Lock(s.ab * bytes, static_cast<UINT>(s.werte.size()) * bytes, &p, 0), D3D_OK);
        for (std::size_t k = 0; k < s.werte.size(); ++k)
          std::memcpy(static_cast<BYTE*>(p) + k * bytes, &(modell[s.ab + k] = s.werte[k]), bytes);
        ib->Unlock();
      }
      g_->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
      Beginne(ps);
      g_->SetStreamSource(0, vb, 0, sizeof(Ecke));
      g_->SetIndices(ib);
      const int vorher = alsArrays.Anzahl();
      EXPECT_EQ(g_->DrawIndexedPrimitive(D3DPT_POINTLIST, s.basis, s.basis < 0 ? -s.basis : 0, 1, s.start, s.anzahl),
                D3D_OK);
      EXPECT_EQ(alsArrays.Anzahl() - vorher, s.arrays ? 1 : 0) << bytes << ", Schritt " << i;
      g_->EndScene();
      const Pixelbild b = LiesRueckpuffer();
      std::vector<bool> soll(16);
      for (UINT k = s.start; k < s.start + s.anzahl; ++k) soll[modell[k] + s.basis] = true;
      for (UINT x = 0; x < 16; ++x) EXPECT_EQ(b(x, 0) == 0xFFFFFFFF, soll[x]) << bytes << ", " << i << ", x " << x;
    }
    g_->SetIndices(nullptr);
  }
}

}  // namespace
