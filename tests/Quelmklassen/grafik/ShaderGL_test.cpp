// Programs from macro-language sources and textures drawn on the OpenGL device under a
// virtual X server, read back pixel by pixel.
#include "GlKontextTest.h"
#include "Quelm_Bild.h"
#include "Quelm_Konsole.h"
#include "Quelm_Renderziel.h"
#include "Quelm_Shader.h"
#include "Quelm_Textur.h"
#include "Quelm_VertexEingabe.h"
#include "Quelm_Zustaende.h"

#include <cstring>

namespace {

constexpr unsigned kGroesse = 64;

constexpr const char* kVertex = R"(
$rein float3 vpos;
$rein float2 vuv;
$raus float4 pos;
$raus float2 uv;
float4x4 gMatrix;
$main() {
  pos = mul( gMatrix, float4( vpos, 1.0f));
  uv = TEXKOORD( vuv);
}
)";

constexpr const char* kPixel2D = R"(
$rein float2 uv;
$raus float4 erg;
DEF_SAMPLER_2D( gBild);
float4 gFarbe;
$main() {
  erg = SAMPLE_2D( gBild, uv) * gFarbe;
}
)";

// The prelude's functions and macros, one case per quad, chosen by the constant's x; the
// last samples the cube in the direction of its y, z and w.
constexpr const char* kPixelVorspann = R"(
$rein float2 uv;
$raus float4 erg;
DEF_SAMPLER_2D( gBild);
DEF_SAMPLER_CUBE( gWuerfel);
float4 gFall;
CONST float kHalb = 0.5f;
CONST_ARRAY_START( float, kTabelle)
  0.25f, 0.5f, 0.75f
CONST_ARRAY_ENDE;
$main() {
  float f = gFall.x;
  if (f < 0.5f) {
    erg = float4( TEXKOORD_RT( float2( 0.25f, 0.25f)), 0.0f, 1.0f);
  } else if (f < 1.5f) {
    float2 d = TEXKOORD_RTD( float2( 0.25f, 0.5f));
    erg = float4( d.x, -d.y, 0.0f, 1.0f);
  } else if (f < 2.5f) {
    erg = float4( MachV2( 0.25f).y, MachV3( 0.5f).z, MachV4( 0.75f).w, 1.0f);
  } else if (f < 3.5f) {
    float3x3 m = MachFloat3x3( 0.1f, 0.2f, 0.3f, 0.4f, 0.5f, 0.6f, 0.7f, 0.8f, 0.9f);
    erg = float4( m[0][1], m[1][0], m[2][2], 1.0f);
  } else if (f < 4.5f) {
    float4x4 m = MachFloat4x4( 0.0f, 1.0f, 2.0f, 3.0f, 4.0f, 5.0f, 6.0f, 7.0f, 8.0f, 9.0f, 10.0f, 11.0f,
                               12.0f, 13.0f, 14.0f, 15.0f) / 16.0f;
    erg = float4( m[0][3], m[3][0], m[2][1], 1.0f);
  } else if (f < 5.5f) {
#if GRAFIK_DIRECTX == 9
    erg = float4( kTabelle[0], kTabelle[2], kHalb, 1.0f);
#endif
  } else if (f < 6.5f) {
    erg = SAMPLE_2D_LOD( gBild, uv, 1.0f);
  } else if (f < 7.5f) {
    erg = SAMPLE_CUBE_LOD( gWuerfel, float3( 1.0f, 0.0f, 0.0f), 0.0f);
  } else {
    erg = SAMPLE_CUBE( gWuerfel, gFall.yzw);
  }
}
)";

// Cube faces in engine order (+Y, -Y, +X, -X, +Z, -Z), one colour each.
constexpr std::uint32_t kSeitenFarbe[6] = {0xFFFF0000u, 0xFF00FF00u, 0xFF0000FFu, 0xFFFFFF00u, 0xFF00FFFFu, 0xFFFF00FFu};

class ShaderGL : public GlKontextTest {
 protected:
  ShaderGL() : GlKontextTest(kGroesse, kGroesse) {}

  void SetUp() override {
    GlKontextTest::SetUp();
    Quelm_KonsolenVariable::Finde("debugShader")->SetzeBool(false);
    eingabe = kontext->ErzeugeVertexEingabe();
    eingabe->AddKanal(0, KANAL_FLOAT3, 0, false);
    eingabe->AddKanal(0, KANAL_FLOAT2, 12, false);
    eingabe->Beenden();
    float ecken[] = {0, 0, 0, 0, 0, 1, 0, 0, 1, 0, 0, 1, 0, 0, 1, 1, 1, 0, 1, 1};
    viereck = kontext->ErzeugeVertexBuffer(sizeof ecken, 0,
                                           Quelm_PufferDaten{reinterpret_cast<std::uint8_t*>(ecken), sizeof ecken, 0});
    Quelm_SamplerBeschr punkt;
    punkt.adresse = 5;  // clamp on U and V
    sampler = kontext->ErzeugeSampler(punkt);
    sammler = std::make_unique<ZeilenSammler>();
  }

  void TearDown() override {
    for (Quelm_BasisObjekt* o : std::initializer_list<Quelm_BasisObjekt*>{programm, ps, vs, eingabe, viereck, sampler})
      kontext->GibFrei(o);
    GlKontextTest::TearDown();
    Quelm_KonsolenVariable::Finde("debugShader")->SetzeBool(true);
  }

  void BaueProgramm(const char* pixel) {
    vs = kontext->ErzeugeVertexShader();
    ASSERT_TRUE(vs->UebersetzeAusString(kVertex));
    ps = kontext->ErzeugePixelShader();
    ASSERT_TRUE(ps->UebersetzeAusString(pixel));
    programm = kontext->ErzeugeProgramm(eingabe, vs, ps);
    kontext->SetRenderZiel(nullptr);
    kontext->SetRueckseite(0);
    kontext->SetProgramm(programm);
    kontext->SetVertexBuffer(0, viereck);
  }

  // The unit quad onto pixels [x0, x1) x [y0, y1) of a kGroesse target, through the
  // program's matrix (row-major, column vectors; Direct3D 9 pixel centres).
  void Viereck(float x0, float y0, float x1, float y1) {
    const float s = 2.0f / kGroesse;
    const float m[16] = {(x1 - x0) * s, 0, 0, (x0 - 0.5f) * s - 1, 0, -(y1 - y0) * s, 0, 1 - (y0 - 0.5f) * s,
                         0,             0, 1, 0,                    0, 0,              0, 1};
    kontext->SetProgrammKonstante(programm->FindeKonstante("gMatrix"), m);
    kontext->ZeichneElemente(4, 2);
  }

  std::unique_ptr<ZeilenSammler> sammler;
  Quelm_VertexEingabe* eingabe = nullptr;
  Quelm_VertexBuffer* viereck = nullptr;
  Quelm_Sampler* sampler = nullptr;
  Quelm_VertexShader* vs = nullptr;
  Quelm_PixelShader* ps = nullptr;
  Quelm_Programm* programm = nullptr;
};

// Four texels: red, green / blue, white.
constexpr std::uint32_t kTexel[4] = {0xFFFF0000u, 0xFF00FF00u, 0xFF0000FFu, 0xFFFFFFFFu};

void ErwarteViertel(const GlTest::Pixelbild& b, unsigned x0, unsigned y0, unsigned kante) {
  const unsigned h = kante / 2;
  for (unsigned i = 0; i < 4; ++i) {
    const unsigned x = x0 + (i % 2) * h, y = y0 + (i / 2) * h;
    for (unsigned py : {y, y + h - 1})
      for (unsigned px : {x, x + h - 1}) EXPECT_TRUE(GlTest::Nahe(b(px, py), kTexel[i])) << px << ", " << py;
  }
}

// The four texels from an image and as DXT5 blocks of 4 x 4, each on a quad placed through
// the matrix constant.
TEST_F(ShaderGL, ProgrammAusMakroSpracheZeichnetTexturierteVierecke) {
  BaueProgramm(kPixel2D);
  Quelm_Bild bild(2, 2, PXFMT_A8R8G8B8);
  std::memcpy(bild.daten, kTexel, sizeof kTexel);
  Quelm_BasisObjekt* ausBild = kontext->ErzeugeTexturAusBild(bild);

  Quelm_Bild gross(8, 8, PXFMT_A8R8G8B8);
  for (unsigned y = 0; y < 8; ++y)
    for (unsigned x = 0; x < 8; ++x) std::memcpy(gross.daten + y * gross.pitch + x * 4, &kTexel[(y / 4) * 2 + x / 4], 4);
  std::uint8_t bloecke[64];
  Quelm_TexturVorgabe vorgabe;
  vorgabe.stufen[0] = TBereich(bloecke, PXFMT_DXT5, 8, 8, Quelm_Pitch(PXFMT_DXT5, 8));
  TBereich::KonvertiereFormat(gross, vorgabe.stufen[0]);
  Quelm_BasisObjekt* dxt = kontext->ErzeugeTextur(0, 0, 1, PXFMT_DXT5 | FLAG_MANUELLE_MIPMAPS, vorgabe);

  kontext->Leeren(1, 0.0f, 0.0f, 0.0f, 1.0f);
  kontext->SetProgrammKonstante(programm->FindeKonstante("gFarbe"), 1.0f, 1.0f, 1.0f, 1.0f);
  const float ecke[2][2] = {{2, 4}, {32, 32}};
  Quelm_BasisObjekt* texturen[2] = {ausBild, dxt};
  for (int i = 0; i < 2; ++i) {
    kontext->SetTextur(static_cast<std::uint32_t>(programm->FindeSampler("gBild")), sampler, texturen[i]);
    Viereck(ecke[i][0], ecke[i][1], ecke[i][0] + 28, ecke[i][1] + 28);
    kontext->GibFrei(texturen[i]);
  }
  const GlTest::Pixelbild b = Lies();
  EXPECT_EQ(b.Anzahl(0xFF000000u), kGroesse * kGroesse - 2u * 28u * 28u);  // exactly the quads are drawn
  for (const auto& e : ecke) ErwarteViertel(b, static_cast<unsigned>(e[0]), static_cast<unsigned>(e[1]), 28);
  EXPECT_TRUE(sammler->zeilen.empty());
}

// The prelude's cube case towards the engine faces 0..5.
constexpr float kRichtung[6][4] = {{8, 0, 1, 0}, {8, 0, -1, 0}, {8, 1, 0, 0},
                                   {8, -1, 0, 0}, {8, 0, 0, 1}, {8, 0, 0, -1}};

// A cube drawn into face by face as a render target, each face in its colour. (The cube from
// an image is sampled by the prelude test.)
TEST_F(ShaderGL, WuerfelAlsRenderzielJeSeite) {
  BaueProgramm(kPixelVorspann);
  Quelm_TexturVorgabe leer[6];
  auto* ziel = new Quelm_WuerfelTextur(4, 1, 2560, leer);
  kontext->Registriere(ziel);
  for (std::uint32_t s = 0; s < 6; ++s) {
    Quelm_RenderzielBeschr beschr(ziel, nullptr);
    beschr.wuerfelSeiten[0] = s;
    Quelm_Renderziel* rt = kontext->ErzeugeRenderziel(beschr);
    kontext->SetRenderZiel(rt);
    const std::uint32_t f = kSeitenFarbe[s];
    kontext->Leeren(1, ((f >> 16) & 255) / 255.0f, ((f >> 8) & 255) / 255.0f, (f & 255) / 255.0f, 1.0f);
    kontext->SetRenderZiel(nullptr);
    kontext->GibFrei(rt);
  }

  const auto wuerfel = static_cast<std::uint32_t>(programm->FindeSampler("gWuerfel"));
  const std::int32_t richtung = programm->FindeKonstante("gFall");
  kontext->Leeren(1, 0.0f, 0.0f, 0.0f, 1.0f);
  kontext->SetTextur(wuerfel, sampler, ziel);
  for (unsigned s = 0; s < 6; ++s) {
    kontext->SetProgrammKonstante(richtung, kRichtung[s]);
    Viereck(s * 8.0f, 0, s * 8.0f + 8, 8);
  }
  const GlTest::Pixelbild b = Lies();
  for (unsigned s = 0; s < 6; ++s) EXPECT_TRUE(GlTest::Nahe(b(s * 8 + 4, 4), kSeitenFarbe[s])) << "Seite " << s;
}

TEST_F(ShaderGL, VorspannRechnetWieBeschrieben) {
  BaueProgramm(kPixelVorspann);
  // Level 0 red, level 1 green: the LOD sample must read level 1.
  std::vector<std::uint32_t> rot(16, 0xFFFF0000u), gruen(4, 0xFF00FF00u);
  Quelm_TexturVorgabe stufen;
  stufen.stufen[0] = TBereich(reinterpret_cast<std::uint8_t*>(rot.data()), PXFMT_A8R8G8B8, 4, 4, 16);
  stufen.stufen[1] = TBereich(reinterpret_cast<std::uint8_t*>(gruen.data()), PXFMT_A8R8G8B8, 2, 2, 8);
  Quelm_Textur* textur = kontext->ErzeugeTextur(0, 0, 2, PXFMT_A8R8G8B8 | FLAG_MANUELLE_MIPMAPS, stufen);
  Quelm_Bild wuerfelBild;
  wuerfelBild.SetCubeMapGroesse(4, PXFMT_A8R8G8B8, 1);
  for (int s = 0; s < 6; ++s)
    for (unsigned i = 0; i < 16; ++i) std::memcpy(wuerfelBild.seiten[s]->daten + i * 4, &kSeitenFarbe[s], 4);
  Quelm_BasisObjekt* wuerfel = kontext->ErzeugeTexturAusBild(wuerfelBild);
  kontext->SetTextur(static_cast<std::uint32_t>(programm->FindeSampler("gBild")), sampler, textur);
  kontext->SetTextur(static_cast<std::uint32_t>(programm->FindeSampler("gWuerfel")), sampler, wuerfel);

  const std::uint32_t erwartet[] = {
      0xFF40BF00u,  // TEXKOORD_RT: (0.25, 0.75)
      0xFF408000u,  // TEXKOORD_RTD: (0.25, -0.5)
      0xFF4080BFu,  // MachV2, MachV3, MachV4
      0xFF3366E6u,  // MachFloat3x3 in row order: [0][1] 0.2, [1][0] 0.4, [2][2] 0.9
      0xFF30BF8Fu,  // MachFloat4x4 in row order: [0][3] 3/16, [3][0] 12/16, [2][1] 9/16
      0xFF40BF80u,  // CONST, CONST_ARRAY_START/ENDE, GRAFIK_DIRECTX
      0xFF00FF00u,  // SAMPLE_2D_LOD at level 1
      kSeitenFarbe[2],  // SAMPLE_CUBE_LOD towards +X
  };
  kontext->Leeren(1, 0.0f, 0.0f, 0.0f, 1.0f);
  for (unsigned fall = 0; fall < std::size(erwartet); ++fall) {
    kontext->SetProgrammKonstante(programm->FindeKonstante("gFall"), static_cast<float>(fall), 0.0f, 0.0f, 0.0f);
    Viereck(fall * 8.0f, 0, fall * 8.0f + 8, 8);
  }
  const GlTest::Pixelbild b = Lies();
  for (unsigned fall = 0; fall < std::size(erwartet); ++fall)
    EXPECT_TRUE(GlTest::Nahe(b(fall * 8 + 4, 4), erwartet[fall])) << "Fall " << fall;
}

}  // namespace
