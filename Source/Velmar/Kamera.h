#pragma once
// The orbiting camera: it looks at a target point on the ground from a distance, tilted
// further down the closer it is.
#include "Matrix.h"
#include "Vektor.h"

namespace Spiel {

struct Kamera {
  Vektor3 ziel;  // y stays 0
  float distanz = 200;
  float zielDistanz = 200;  // the distance eases towards it
  float neigung = 1.8849558f;

  // T(0, 0, d) * R(a) * T(-x, 0, -z).
  Matrix Sicht() const;
  // Rotation transposed, translation -(R^T t).
  Matrix InverseSicht() const;
  // The camera's position in the world.
  Vektor3 Position() const;
  // The unit direction of the ray through pixel (mx, my) of a w x h screen.
  Vektor3 Strahl(float mx, float my, float breite, float hoehe) const;
  // End of frame: ease the distance, tilt with it.
  void Glaette(float dt);

  // Near plane 0.1, far plane 1000, fixed horizontal field of view; y points down.
  static Matrix Projektion(float breite, float hoehe);
};

}  // namespace Spiel
