// The fair peer of the tool's frame: a bare OpenGL 4.5 program doing the tool's passes on
// the tool's geometry (the edited mesh and its landscape, BenchSzene.h). Per frame: a
// shadow pass into a 2048x2048 image, a lit pass sampling it (and the white or the
// landscape texture) into a screen-sized image, one copy of that image to the window, the
// two ground grids, present. What a plain program would choose it chooses: arrays drawn
// in vertex order, the white texture read at the nearest texel (any filter gives the same
// white), the landscape anisotropic.
//   nackt_bild bild N    mean wall and main-thread CPU milliseconds per frame
//   nackt_bild passe N   median milliseconds of each pass (glFinish after each)
//   nackt_bild start     the monotonic time of the first presented frame (the tool's start
//                        peer that makes and draws the same passes, with the initial triangle)
//   nackt_bild pixel N DATEI   the lit pass's image of the fourth frame, as Werkzeug_mess writes
//                        the tool's frame
#include "BenchSzene.h"
#include "Messzeit.h"

#include <epoxy/gl.h>
#include <GLFW/glfw3.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr int kBreite = 1280, kHoehe = 720, kSchatten = 2048;

const char* kSchattenVs = R"(#version 450
layout(location = 0) in vec3 vpos;
uniform mat4 licht;
out float ftiefe;
void main() { gl_Position = licht * vec4(vpos, 1.0); ftiefe = gl_Position.z / gl_Position.w; }
)";
const char* kSchattenPs = R"(#version 450
in float ftiefe;
out vec4 erg;
void main() {
  float v = clamp(1.0 - ftiefe, 0.0, 0.9999);
  vec3 k = fract(v * vec3(1.0, 255.0, 65025.0));
  k.xy -= k.yz / 255.0;
  erg = vec4(k, 1.0);
}
)";
const char* kLichtVs = R"(#version 450
layout(location = 0) in vec3 vpos;
layout(location = 1) in vec3 vnormale;
layout(location = 2) in vec4 vfarbe;
layout(location = 3) in vec2 vuv;
uniform mat4 licht, sicht, projektion;
out vec4 ffarbe;
out vec2 fuv;
out vec4 flicht;
out vec3 fnormale;
void main() {
  gl_Position = projektion * (sicht * vec4(vpos, 1.0));
  flicht = licht * vec4(vpos, 1.0);
  fnormale = vnormale;
  ffarbe = vfarbe;
  fuv = vuv;
}
)";
const char* kLichtPs = R"(#version 450
in vec4 ffarbe;
in vec2 fuv;
in vec4 flicht;
in vec3 fnormale;
uniform vec3 richtung;
layout(binding = 0) uniform sampler2D texFarbe;
layout(binding = 1) uniform sampler2D texSchatten;
out vec4 erg;
float Verdecker(vec2 uv) {
  vec2 mitte = (floor(uv * 2048.0) + 0.5) / 2048.0;
  return 1.0 - dot(texture(texSchatten, mitte).rgb, vec3(1.0, 1.0 / 255.0, 1.0 / 65025.0));
}
void main() {
  float l = length(fnormale);
  vec3 n = l > 0.0 ? fnormale / l : vec3(0.0, 1.0, 0.0);
  float hell = clamp(dot(n, -richtung), 0.0, 1.0);
  vec2 uv = vec2(0.5 + 0.5 * flicht.x, 0.5 - 0.5 * flicht.y);
  float frei = 1.0;
  if (uv.x > 0.0 && uv.x < 1.0 && uv.y > 0.0 && uv.y < 1.0 && flicht.z > Verdecker(uv) + 0.004) frei = 0.0;
  vec3 b = vec3(0.3, 0.4, 0.6) + vec3(1.5, 1.3, 0.6) * (hell * frei);
  vec4 f = texture(texFarbe, fuv) * ffarbe;
  erg = vec4(f.rgb * b, f.a);
}
)";
const char* kKopieVs = R"(#version 450
void main() { gl_Position = vec4(gl_VertexID == 1 ? 3.0 : -1.0, gl_VertexID == 2 ? 3.0 : -1.0, 0.0, 1.0); }
)";
const char* kKopiePs = R"(#version 450
layout(binding = 0) uniform sampler2D bild;
out vec4 erg;
void main() { erg = texelFetch(bild, ivec2(gl_FragCoord.x, 719.0 - gl_FragCoord.y), 0); }
)";
const char* kLinienVs = R"(#version 450
layout(location = 0) in vec3 vpos;
uniform mat4 matrix;
void main() { gl_Position = matrix * vec4(vpos, 1.0); }
)";
const char* kLinienPs = R"(#version 450
out vec4 erg;
void main() { erg = vec4(0.6667); }
)";

GLuint Programm(const char* vs, const char* ps) {
  const GLuint p = glCreateProgram();
  for (auto [art, text] : {std::pair{GL_VERTEX_SHADER, vs}, std::pair{GL_FRAGMENT_SHADER, ps}}) {
    const GLuint s = glCreateShader(art);
    glShaderSource(s, 1, &text, nullptr);
    glCompileShader(s);
    glAttachShader(p, s);
    glDeleteShader(s);
  }
  glLinkProgram(p);
  GLint ok = 0;
  glGetProgramiv(p, GL_LINK_STATUS, &ok);
  if (!ok) {
    char log[2048] = {};
    glGetProgramInfoLog(p, sizeof log, nullptr, log);
    std::fprintf(stderr, "%s\n", log);
    std::exit(1);
  }
  return p;
}

GLuint Textur(GLenum format, int breite, int hoehe, int ebenen = 1) {
  GLuint t = 0;
  glCreateTextures(GL_TEXTURE_2D, 1, &t);
  glTextureStorage2D(t, ebenen, format, breite, hoehe);
  return t;
}

GLuint Ziel(GLuint farbe, GLuint tiefe) {
  GLuint f = 0;
  glCreateFramebuffers(1, &f);
  glNamedFramebufferTexture(f, GL_COLOR_ATTACHMENT0, farbe, 0);
  glNamedFramebufferTexture(f, GL_DEPTH_ATTACHMENT, tiefe, 0);
  return f;
}

GLuint Sampler(GLenum min, float anisotropie) {
  GLuint s = 0;
  glCreateSamplers(1, &s);
  glSamplerParameteri(s, GL_TEXTURE_MIN_FILTER, static_cast<GLint>(min));
  glSamplerParameteri(s, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  glSamplerParameteri(s, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
  glSamplerParameteri(s, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
  glSamplerParameterf(s, GL_TEXTURE_MAX_ANISOTROPY, anisotropie);
  return s;
}

// One vertex list on the GPU, drawn in vertex order where its indices only repeat it.
struct Netz {
  GLuint vao = 0, textur = 0;
  GLsizei anzahl = 0;
  bool indiziert = false;

  explicit Netz(const BenchTeil& t) {
    GLuint vbo = 0;
    glCreateVertexArrays(1, &vao);
    glCreateBuffers(1, &vbo);
    glNamedBufferStorage(vbo, static_cast<GLsizeiptr>(t.vertexe.size() * sizeof(BenchVertex)), t.vertexe.data(), 0);
    glVertexArrayVertexBuffer(vao, 0, vbo, 0, sizeof(BenchVertex));
    const GLint groesse[4] = {3, 3, 4, 2};
    const GLuint offset[4] = {0, 12, 24, 40};
    for (GLuint a = 0; a < 4; ++a) {
      glEnableVertexArrayAttrib(vao, a);
      glVertexArrayAttribFormat(vao, a, groesse[a], GL_FLOAT, GL_FALSE, offset[a]);
      glVertexArrayAttribBinding(vao, a, 0);
    }
    anzahl = static_cast<GLsizei>(t.indizes.size());
    for (std::size_t i = 0; i < t.indizes.size() && !indiziert; ++i) indiziert = t.indizes[i] != i;
    if (indiziert) {
      GLuint ibo = 0;
      glCreateBuffers(1, &ibo);
      glNamedBufferStorage(ibo, static_cast<GLsizeiptr>(t.indizes.size() * 4), t.indizes.data(), 0);
      glVertexArrayElementBuffer(vao, ibo);
    }
    if (t.kante > 0) {
      int ebenen = 1;
      while ((t.kante >> ebenen) > 0) ++ebenen;
      textur = Textur(GL_RGBA8, t.kante, t.kante, ebenen);
      glTextureSubImage2D(textur, 0, 0, 0, t.kante, t.kante, GL_BGRA, GL_UNSIGNED_BYTE, t.pixel.data());
      glGenerateTextureMipmap(textur);
    }
  }
  void Zeichne() const {
    glBindVertexArray(vao);
    if (indiziert) {
      glDrawElements(GL_TRIANGLES, anzahl, GL_UNSIGNED_INT, nullptr);
    } else {
      glDrawArrays(GL_TRIANGLES, 0, anzahl);
    }
  }
};

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0.0 : v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  const std::string art = argc > 1 ? argv[1] : "bild";
  const int dreiecke = argc > 2 ? std::atoi(argv[2]) : 0;
  const BenchSzene szene = BaueBenchSzene(dreiecke, kBreite, kHoehe);
  if (!glfwInit()) return 1;
  glfwWindowHint(GLFW_CONTEXT_VERSION_MAJOR, 4);
  glfwWindowHint(GLFW_CONTEXT_VERSION_MINOR, 5);
  glfwWindowHint(GLFW_OPENGL_PROFILE, GLFW_OPENGL_CORE_PROFILE);
  glfwWindowHint(GLFW_RESIZABLE, GLFW_FALSE);
  GLFWwindow* fenster = glfwCreateWindow(kBreite, kHoehe, "Nackt", nullptr, nullptr);
  if (!fenster) return 1;
  glfwMakeContextCurrent(fenster);
  glfwSwapInterval(0);
  glClipControl(GL_UPPER_LEFT, GL_ZERO_TO_ONE);

  const GLuint tiefe = Textur(GL_DEPTH_COMPONENT32F, std::max(kBreite, kSchatten), std::max(kHoehe, kSchatten));
  const GLuint schattenBild = Textur(GL_RGBA8, kSchatten, kSchatten);
  const GLuint szenenBild = Textur(GL_RGBA8, kBreite, kHoehe);
  const GLuint schattenZiel = Ziel(schattenBild, tiefe), szenenZiel = Ziel(szenenBild, tiefe);
  const GLuint weiss = Textur(GL_RGBA8, 32, 32);
  const std::vector<std::uint32_t> weissePixel(32 * 32, 0xFFFFFFFFu);
  glTextureSubImage2D(weiss, 0, 0, 0, 32, 32, GL_BGRA, GL_UNSIGNED_BYTE, weissePixel.data());
  const GLuint bilinear = Sampler(GL_LINEAR, 1), anisotrop = Sampler(GL_LINEAR_MIPMAP_LINEAR, 16);
  const GLuint naechster = Sampler(GL_NEAREST, 1);

  const GLuint schatten = Programm(kSchattenVs, kSchattenPs), licht = Programm(kLichtVs, kLichtPs);
  const GLuint kopie = Programm(kKopieVs, kKopiePs), linien = Programm(kLinienVs, kLinienPs);
  glProgramUniformMatrix4fv(schatten, glGetUniformLocation(schatten, "licht"), 1, GL_TRUE, szene.licht.data());
  glProgramUniformMatrix4fv(licht, glGetUniformLocation(licht, "licht"), 1, GL_TRUE, szene.licht.data());
  glProgramUniformMatrix4fv(licht, glGetUniformLocation(licht, "sicht"), 1, GL_TRUE, szene.sicht.data());
  glProgramUniformMatrix4fv(licht, glGetUniformLocation(licht, "projektion"), 1, GL_TRUE, szene.projektion.data());
  glProgramUniform3fv(licht, glGetUniformLocation(licht, "richtung"), 1, szene.lichtRichtung.data());
  glProgramUniformMatrix4fv(linien, glGetUniformLocation(linien, "matrix"), 1, GL_TRUE, szene.linien.data());

  const Netz netz(szene.netz);
  std::vector<Netz> landschaft;
  for (const BenchTeil& t : szene.landschaft) landschaft.emplace_back(t);
  GLuint leer = 0, gitterVao = 0, gitterVbo = 0;
  glCreateVertexArrays(1, &leer);
  glCreateVertexArrays(1, &gitterVao);
  glCreateBuffers(1, &gitterVbo);
  glNamedBufferStorage(gitterVbo, static_cast<GLsizeiptr>(szene.gitter.size() * 12), szene.gitter.data(), 0);
  glVertexArrayVertexBuffer(gitterVao, 0, gitterVbo, 0, 12);
  glEnableVertexArrayAttrib(gitterVao, 0);
  glVertexArrayAttribFormat(gitterVao, 0, 3, GL_FLOAT, GL_FALSE, 0);
  glVertexArrayAttribBinding(gitterVao, 0, 0);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);

  const bool passe = art == "passe";
  std::vector<double> zeiten[7];  // the tool's columns; no frame start of its own (5)
  double marke = Wanduhr();
  auto messe = [&](int abschnitt) {
    if (!passe) return;
    glFinish();
    const double jetzt = Wanduhr();
    zeiten[abschnitt].push_back((jetzt - marke) * 1e3);
    marke = jetzt;
  };
  const float leerFarbe[4] = {0, 0, 0, 0}, himmel[4] = {0.1f, 0.3f, 0.5f, 0}, eins = 1;
  BildUhr uhr;
  for (int bild = 0;; ++bild) {
    if (passe && bild == uhr.aufwaermen)
      for (auto& z : zeiten) z.clear();
    if (passe && bild == uhr.aufwaermen + uhr.bilder) break;
    const double anfang = marke;
    // Shadow pass.
    glBindFramebuffer(GL_FRAMEBUFFER, schattenZiel);
    glViewport(0, 0, kSchatten, kSchatten);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glDepthMask(GL_TRUE);
    glDisable(GL_CULL_FACE);
    glClearNamedFramebufferfv(schattenZiel, GL_COLOR, 0, leerFarbe);
    glClearNamedFramebufferfv(schattenZiel, GL_DEPTH, 0, &eins);
    glUseProgram(schatten);
    netz.Zeichne();
    for (const Netz& n : landschaft) n.Zeichne();
    messe(0);
    // Lit pass.
    glBindFramebuffer(GL_FRAMEBUFFER, szenenZiel);
    glViewport(0, 0, kBreite, kHoehe);
    glEnable(GL_CULL_FACE);
    glCullFace(GL_FRONT);
    glClearNamedFramebufferfv(szenenZiel, GL_COLOR, 0, himmel);
    glClearNamedFramebufferfv(szenenZiel, GL_DEPTH, 0, &eins);
    glUseProgram(licht);
    glBindTextureUnit(1, schattenBild);
    glBindSampler(1, bilinear);
    glBindTextureUnit(0, weiss);
    glBindSampler(0, naechster);
    netz.Zeichne();
    glBindSampler(0, anisotrop);
    for (const Netz& n : landschaft) {
      glBindTextureUnit(0, n.textur);
      n.Zeichne();
    }
    messe(1);
    // The image to the window.
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_CULL_FACE);
    glUseProgram(kopie);
    glBindTextureUnit(0, szenenBild);
    glBindSampler(0, 0);
    glBindVertexArray(leer);
    glDrawArrays(GL_TRIANGLES, 0, 3);
    messe(2);
    // Grid lines over it, present.
    glEnable(GL_BLEND);
    glUseProgram(linien);
    glBindVertexArray(gitterVao);
    glDrawArrays(GL_LINES, 0, static_cast<GLsizei>(szene.gitter.size()));
    glDisable(GL_BLEND);
    messe(3);
    glfwSwapBuffers(fenster);
    glfwPollEvents();
    messe(4);
    if (art == "start") {
      std::printf("%.6f\n", Wanduhr());
      break;
    }
    if (art == "pixel" && bild == 3) {
      std::vector<std::uint32_t> pixel(static_cast<std::size_t>(kBreite) * kHoehe);
      glGetTextureImage(szenenBild, 0, GL_BGRA, GL_UNSIGNED_BYTE, static_cast<GLsizei>(pixel.size() * 4), pixel.data());
      if (FILE* f = std::fopen(argc > 3 ? argv[3] : "pixel.bin", "wb")) {
        std::fprintf(f, "%d %d\n", kBreite, kHoehe);
        std::fwrite(pixel.data(), 4, pixel.size(), f);
        std::fclose(f);
      }
      break;
    }
    if (passe) {
      zeiten[6].push_back((marke - anfang) * 1e3);
    } else if (uhr.Bild()) {
      break;
    }
  }
  if (passe) {
    for (const auto& z : zeiten) std::printf("%.3f ", Median(z));
    std::printf("\n");
    std::fflush(stdout);
  }
  glfwTerminate();
  return 0;
}
