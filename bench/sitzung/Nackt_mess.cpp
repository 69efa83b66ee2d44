// The peer of the tool's start: a bare GLFW window with an OpenGL 4.5 core context that
// clears, presents once, prints the monotonic time and ends. (The frame peer is
// nackt_bild, which does the tool's passes.)
#include "Messzeit.h"

#include <epoxy/gl.h>
#include <GLFW/glfw3.h>

#include <cstdio>

int main() {
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
  glClear(GL_COLOR_BUFFER_BIT);
  glfwSwapBuffers(fenster);
  std::printf("%.6f\n", Wanduhr());
  std::fflush(stdout);
  glfwTerminate();
  return 0;
}
