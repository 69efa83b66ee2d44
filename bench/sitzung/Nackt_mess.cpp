// The peer of the tool's figures: a bare GLFW window with an OpenGL 4.5 core context.
// "start": clears, presents once, prints the monotonic time and ends. "bild N": draws the
// same N triangles as the tool's figure (0: the tool's initial triangle) with one shader
// and the tool's camera, clears and presents every frame, and prints the mean wall and
// main-thread CPU milliseconds per frame.
#include "BenchNetz.h"
#include "Messzeit.h"

#include <epoxy/gl.h>
#include <GLFW/glfw3.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

const char* kVertex = R"(#version 450
layout(location = 0) in vec3 pos;
uniform mat4 sichtProj;
out float hell;
void main() { gl_Position = sichtProj * vec4(pos, 1.0); hell = 0.5 + pos.y * 0.01; }
)";
const char* kPixel = R"(#version 450
in float hell;
out vec4 farbe;
void main() { farbe = vec4(0.3 * hell, hell, 0.3 * hell, 1.0); }
)";

GLuint Shader(GLenum art, const char* text) {
  const GLuint s = glCreateShader(art);
  glShaderSource(s, 1, &text, nullptr);
  glCompileShader(s);
  return s;
}

// Projection times view of the tool's start camera (distance 200, tilt 1.8849558, target
// at the origin), column-major for OpenGL, depth 0 to 1 mapped to -1 to 1.
void SichtProjektion(float breite, float hoehe, float m[16]) {
  const float a = 1.8849558f, d = 200, f = 1.4616958f;
  const float c = std::cos(a), s = std::sin(a);
  // Rows of view V = T(0, 0, d) R(a).
  const float v[4][4] = {{1, 0, 0, 0}, {0, c, s, 0}, {0, -s, c, d}, {0, 0, 0, 1}};
  const float p[4][4] = {{f, 0, 0, 0}, {0, f * breite / hoehe, 0, 0}, {0, 0, 1.0002f, -0.20002f}, {0, 0, 1, 0}};
  for (int r = 0; r < 4; ++r)
    for (int k = 0; k < 4; ++k) {
      float summe = 0;
      for (int j = 0; j < 4; ++j) summe += p[r][j] * v[j][k];
      m[k * 4 + r] = summe;
    }
}

}  // namespace

int main(int argc, char** argv) {
  const std::string art = argc > 1 ? argv[1] : "start";
  const int dreiecke = argc > 2 ? std::atoi(argv[2]) : 0;
  if (!glfwInit()) return 1;
  glfwWindowHint(GLFW_CONTEXT_VERSION_MAJOR, 4);
  glfwWindowHint(GLFW_CONTEXT_VERSION_MINOR, 5);
  glfwWindowHint(GLFW_OPENGL_PROFILE, GLFW_OPENGL_CORE_PROFILE);
  glfwWindowHint(GLFW_RESIZABLE, GLFW_FALSE);
  GLFWwindow* fenster = glfwCreateWindow(1280, 720, "Nackt", nullptr, nullptr);
  if (!fenster) return 1;
  glfwMakeContextCurrent(fenster);
  glfwSwapInterval(0);
  glClearColor(0.1f, 0.3f, 0.5f, 0);
  if (art == "start") {
    glClear(GL_COLOR_BUFFER_BIT);
    glfwSwapBuffers(fenster);
    std::printf("%.6f\n", Wanduhr());
    std::fflush(stdout);
    glfwTerminate();
    return 0;
  }

  auto netz = dreiecke > 0 ? BenchNetz(dreiecke) : std::vector<std::array<float, 9>>{{-10, 0, 10, 0, 0, -10, 10, 0, 10}};
  GLuint vao = 0, vbo = 0;
  glCreateVertexArrays(1, &vao);
  glCreateBuffers(1, &vbo);
  glNamedBufferStorage(vbo, static_cast<GLsizeiptr>(netz.size() * sizeof netz[0]), netz.data(), 0);
  glVertexArrayVertexBuffer(vao, 0, vbo, 0, 3 * sizeof(float));
  glEnableVertexArrayAttrib(vao, 0);
  glVertexArrayAttribFormat(vao, 0, 3, GL_FLOAT, GL_FALSE, 0);
  glVertexArrayAttribBinding(vao, 0, 0);
  const GLuint programm = glCreateProgram();
  glAttachShader(programm, Shader(GL_VERTEX_SHADER, kVertex));
  glAttachShader(programm, Shader(GL_FRAGMENT_SHADER, kPixel));
  glLinkProgram(programm);
  float m[16];
  SichtProjektion(1280, 720, m);
  glUseProgram(programm);
  glUniformMatrix4fv(glGetUniformLocation(programm, "sichtProj"), 1, GL_FALSE, m);
  glBindVertexArray(vao);
  glEnable(GL_DEPTH_TEST);

  BildUhr uhr;
  do {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glDrawArrays(GL_TRIANGLES, 0, static_cast<GLsizei>(netz.size() * 3));
    glfwSwapBuffers(fenster);
    glfwPollEvents();
  } while (!uhr.Bild());
  glfwTerminate();
  return 0;
}
