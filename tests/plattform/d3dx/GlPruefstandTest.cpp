// The compiled blobs on real OpenGL (Mesa under Xvfb), fed the way the device layer
// feeds them: register file copied into the uniform blocks by the blob's spans,
// samplers on the blob's units, vertex attributes at the locations of their semantics.
// Shows that a matrix set as Direct3D 9 sets it transforms as mul() does in HLSL.
#include <epoxy/gl.h>
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <memory>
#include <vector>

#include "D3dxTestHilfe.h"
#include "GlHilfen.h"

using d3dxtest::Uebersetze;

namespace {

constexpr int kGroesse = 16;
using Register = std::array<float, 4>;
using Matrix = std::array<std::array<float, 4>, 4>;  // [row][column], column vectors

class GlPruefstand : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    fenster_ = std::make_unique<GlTest::VerstecktesFenster>(kGroesse, kGroesse);
    fenster_->MacheAktuell();
  }
  static void TearDownTestSuite() { fenster_.reset(); }

  void SetUp() override {
    ASSERT_NE(fenster_->glfw(), nullptr);
    glGenFramebuffers(1, &fbo_);
    glGenTextures(1, &ziel_);
    glBindTexture(GL_TEXTURE_2D, ziel_);
    glTexStorage2D(GL_TEXTURE_2D, 1, GL_RGBA8, kGroesse, kGroesse);
    glBindFramebuffer(GL_FRAMEBUFFER, fbo_);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, ziel_, 0);
    ASSERT_EQ(glCheckFramebufferStatus(GL_FRAMEBUFFER), static_cast<GLenum>(GL_FRAMEBUFFER_COMPLETE));
    // Direct3D's orientation: row 0 at the top, depth 0 to 1.
    glClipControl(GL_UPPER_LEFT, GL_ZERO_TO_ONE);
    glViewport(0, 0, kGroesse, kGroesse);
    glClearColor(0, 0, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT);
    vsRegister_.assign(256, Register{});
    psRegister_.assign(224, Register{});
  }
  void TearDown() override {
    glDeleteFramebuffers(1, &fbo_);
    glDeleteTextures(1, &ziel_);
    for (GLuint t : texturen_) glDeleteTextures(1, &t);
    for (GLuint t : vertexTexturen_) glDeleteTextures(1, &t);
  }

  static GLuint Stufe(GLenum art, const std::string& glsl) {
    GLuint s = glCreateShader(art);
    const char* text = glsl.c_str();
    glShaderSource(s, 1, &text, nullptr);
    glCompileShader(s);
    GLint ok = 0;
    glGetShaderiv(s, GL_COMPILE_STATUS, &ok);
    char log[2048] = {};
    glGetShaderInfoLog(s, sizeof log, nullptr, log);
    EXPECT_TRUE(ok) << log << glsl;
    return s;
  }

  // Register file -> uniform block, as the device does before a draw.
  static GLuint Block(const Plattform::ShaderBlob& blob, const std::vector<Register>& reg) {
    if (!blob.uniformBlockBytes) return 0;
    std::vector<std::uint8_t> daten(blob.uniformBlockBytes, 0);
    for (const auto& s : blob.spannen)
      for (std::uint32_t k = 0; k < s.komponenten; ++k) {
        const std::uint32_t ziel = s.blockOffset + k * s.schrittBytes;
        EXPECT_LE(ziel + 4, daten.size());
        if (ziel + 4 <= daten.size()) std::memcpy(&daten[ziel], &reg[s.register_][k], 4);
      }
    GLuint puffer;
    glGenBuffers(1, &puffer);
    glBindBuffer(GL_UNIFORM_BUFFER, puffer);
    glBufferData(GL_UNIFORM_BUFFER, static_cast<GLsizeiptr>(daten.size()), daten.data(), GL_STATIC_DRAW);
    glBindBufferBase(GL_UNIFORM_BUFFER, blob.uniformBlockBindung, puffer);
    return puffer;
  }

  // Draws a quad of 4 vertices {x, y, u, v} as POSITION0 (float2 -> float3 with z 0)
  // and TEXCOORD0.
  void Zeichne(const char* vs, const char* ps, const std::array<std::array<float, 4>, 4>& ecken) {
    auto v = Uebersetze(vs, "vs_3_0");
    auto p = Uebersetze(ps, "ps_3_0");
    ASSERT_EQ(v.hr, S_OK) << v.meldungen;
    ASSERT_EQ(p.hr, S_OK) << p.meldungen;
    GLuint programm = glCreateProgram();
    GLuint a = Stufe(GL_VERTEX_SHADER, v.blob.glsl), b = Stufe(GL_FRAGMENT_SHADER, p.blob.glsl);
    glAttachShader(programm, a);
    glAttachShader(programm, b);
    glLinkProgram(programm);
    GLint ok = 0;
    glGetProgramiv(programm, GL_LINK_STATUS, &ok);
    char log[2048] = {};
    glGetProgramInfoLog(programm, sizeof log, nullptr, log);
    ASSERT_TRUE(ok) << log;
    glUseProgram(programm);

    GLuint vbo, vao;
    glGenVertexArrays(1, &vao);
    glBindVertexArray(vao);
    glGenBuffers(1, &vbo);
    glBindBuffer(GL_ARRAY_BUFFER, vbo);
    glBufferData(GL_ARRAY_BUFFER, sizeof ecken, ecken.data(), GL_STATIC_DRAW);
    for (const auto& e : v.blob.eingaenge) {
      const std::uintptr_t versatz = e.usage == 0 ? 0 : 8;
      ASSERT_TRUE((e.usage == 0 || e.usage == 5) && e.usageIndex == 0);
      glEnableVertexAttribArray(e.location);
      glVertexAttribPointer(e.location, 2, GL_FLOAT, GL_FALSE, 16, reinterpret_cast<void*>(versatz));
    }
    GLuint vsBlock = Block(v.blob, vsRegister_), psBlock = Block(p.blob, psRegister_);
    for (const auto& s : p.blob.sampler) {
      ASSERT_LT(s.stufe, texturen_.size());
      glActiveTexture(GL_TEXTURE0 + s.einheit);
      glBindTexture(GL_TEXTURE_2D, texturen_[s.stufe]);
    }
    for (const auto& s : v.blob.sampler) {
      ASSERT_LT(s.stufe, vertexTexturen_.size());
      glActiveTexture(GL_TEXTURE0 + s.einheit);
      glBindTexture(GL_TEXTURE_2D, vertexTexturen_[s.stufe]);
    }
    glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
    ASSERT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    bild_ = GlTest::LiesGl(kGroesse, kGroesse);  // the target is upright already
    glDeleteBuffers(1, &vbo);
    glDeleteVertexArrays(1, &vao);
    if (vsBlock) glDeleteBuffers(1, &vsBlock);
    if (psBlock) glDeleteBuffers(1, &psBlock);
    glDeleteProgram(programm);
    glDeleteShader(a);
    glDeleteShader(b);
  }

  std::uint32_t Pixel(int x, int y) const { return bild_(x, y); }
  std::array<unsigned, 4> Rechteck(std::uint32_t farbe) const { return bild_.Rechteck(farbe); }

  // A matrix goes to four registers as Direct3D 9 programs upload it for HLSL's
  // default column_major packing: register r + j holds column j.
  void SetzeMatrix(std::vector<Register>& datei, int r, const Matrix& m) {
    for (int j = 0; j < 4; ++j)
      for (int i = 0; i < 4; ++i) datei[r + j][i] = m[i][j];
  }

  GLuint Textur2x2(const std::array<std::uint32_t, 4>& farben, bool vertex = false) {
    GLuint t;
    glGenTextures(1, &t);
    glBindTexture(GL_TEXTURE_2D, t);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 2, 2, 0, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, farben.data());
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    (vertex ? vertexTexturen_ : texturen_).push_back(t);
    return t;
  }

  static inline std::unique_ptr<GlTest::VerstecktesFenster> fenster_;
  GLuint fbo_ = 0, ziel_ = 0;
  std::vector<GLuint> texturen_, vertexTexturen_;
  std::vector<Register> vsRegister_, psRegister_;
  GlTest::Pixelbild bild_;
};

// A quad from -0.5 to 0.5 in x and y.
constexpr std::array<std::array<float, 4>, 4> kQuad{{
    {-0.5f, 0.5f, 0, 0}, {0.5f, 0.5f, 1, 0}, {-0.5f, -0.5f, 0, 1}, {0.5f, -0.5f, 1, 1}}};

const char* const kWeiss = "float4 main() : COLOR0 { return 1; }";

}  // namespace

TEST_F(GlPruefstand, MatrixWieDirect3D9GesetztTransformiertWieMulMv) {
  // Scale by 0.5, move by (0.25, 0.5): the translation stands in the last column,
  // so a transposed upload would land it in w and the quad elsewhere.
  const Matrix m{{{0.5f, 0, 0, 0.25f}, {0, 0.5f, 0, 0.5f}, {0, 0, 1, 0}, {0, 0, 0, 1}}};
  SetzeMatrix(vsRegister_, 2, m);
  ASSERT_NO_FATAL_FAILURE(Zeichne(R"(
float4 gDavor[2];
float4x4 gMatrix;
void main(float2 p : POSITION0, out float4 o : POSITION0) {
  o = mul(gMatrix, float4(p, 0, 1)) + gDavor[0] * gDavor[1];
})",
          kWeiss, kQuad));
  // x: [-0.25, 0.5] * 0.5 + 0.25 = [0, 0.5] -> pixels 8..11; y: [0.25, 0.75] -> rows 2..5.
  EXPECT_EQ(Rechteck(0xFFFFFFFFu), (std::array<unsigned, 4>{8, 2, 12, 6}));
}

TEST_F(GlPruefstand, MatrixFuerMulVmIstDieTransponierte) {
  // Row-vector programs keep the translation in the last row and write mul(v, M).
  const Matrix m{{{0.5f, 0, 0, 0}, {0, 0.5f, 0, 0}, {0, 0, 1, 0}, {-0.25f, -0.5f, 0, 1}}};
  SetzeMatrix(vsRegister_, 0, m);
  ASSERT_NO_FATAL_FAILURE(Zeichne(R"(
float4x4 gWelt;
void main(float2 p : POSITION0, out float4 o : POSITION0) { o = mul(float4(p, 0, 1), gWelt); })",
          kWeiss, kQuad));
  // x: [-0.5, 0] -> pixels 4..7; y: [-0.75, -0.25] -> rows 10..13.
  EXPECT_EQ(Rechteck(0xFFFFFFFFu), (std::array<unsigned, 4>{4, 10, 8, 14}));
}

TEST_F(GlPruefstand, KonstantenSamplerUndInterpolatorenImPixelShader) {
  // Texture row 0 (red, green) is the top of the image, as in Direct3D.
  Textur2x2({0xFFFF0000u, 0xFF00FF00u, 0xFF0000FFu, 0xFFFFFFFFu});
  Textur2x2({0xFF000000u, 0xFF000000u, 0xFF000000u, 0xFF000000u});
  // gFarben[1] = (1, 1, 1, 1) multiplies; gZusatz.farbe = 0 adds nothing; the second
  // sampler (black) is weighted by gGewicht = 0.
  psRegister_[1] = {1, 1, 1, 1};
  psRegister_[3] = {0, 0, 0, 0};
  ASSERT_NO_FATAL_FAILURE(Zeichne(R"(
void main(float2 p : POSITION0, float2 uv : TEXCOORD0, out float4 o : POSITION0, out float2 t : TEXCOORD0) {
  o = float4(p * 2, 0, 1);
  t = uv;
})",
          R"(
float4 gFarben[2];
float gGewicht;
struct Zusatz { float4 farbe; };
Zusatz gZusatz;
sampler2D gBild;
sampler2D gSchwarz;
float4 main(float4 t : TEXCOORD0) : COLOR0 {
  return tex2D(gBild, t.xy) * gFarben[1] + gZusatz.farbe + tex2D(gSchwarz, t.xy) * gGewicht;
})",
          kQuad));
  EXPECT_EQ(Pixel(0, 0), 0xFFFF0000u);
  EXPECT_EQ(Pixel(15, 0), 0xFF00FF00u);
  EXPECT_EQ(Pixel(0, 15), 0xFF0000FFu);
  EXPECT_EQ(Pixel(15, 15), 0xFFFFFFFFu);
  EXPECT_EQ(Rechteck(0xFFFF0000u), (std::array<unsigned, 4>{0, 0, 8, 8}));
}

TEST_F(GlPruefstand, GleicheNamenInBeidenStufenSindVerschiedeneKonstanten) {
  // Direct3D 9 keeps the two stages' constants apart; in one GL program uniforms of
  // the same name would be one uniform.
  Textur2x2({0xFFFF0000u, 0xFFFF0000u, 0xFFFF0000u, 0xFFFF0000u});        // pixel: red
  Textur2x2({0xFF00FF00u, 0xFF00FF00u, 0xFF00FF00u, 0xFF00FF00u}, true);  // vertex: green
  vsRegister_[0] = {0.5f, 0.5f, 0, 0};  // vertex gFarbe: scales the quad
  psRegister_[0] = {0, 0, 1, 0};        // pixel gFarbe: adds blue
  ASSERT_NO_FATAL_FAILURE(Zeichne(R"(
float4 gFarbe;
sampler2D gBild;
void main(float2 p : POSITION0, out float4 o : POSITION0, out float4 f : COLOR0) {
  o = float4(p * 2 * gFarbe.xy, 0, 1);
  f = tex2Dlod(gBild, float4(0.5, 0.5, 0, 0));
})",
          R"(
float4 gFarbe;
sampler2D gBild;
float4 main(float4 f : COLOR0) : COLOR0 { return f + tex2D(gBild, float2(0.5, 0.5)) + gFarbe; })",
          kQuad));
  EXPECT_EQ(Rechteck(0xFFFFFFFFu), (std::array<unsigned, 4>{4, 4, 12, 12}));
}
