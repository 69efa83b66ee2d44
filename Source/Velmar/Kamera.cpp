#include "Kamera.h"

namespace Spiel {

namespace {
constexpr float kBrennweite = 1.4616958f;  // cot 0.6: horizontal field of view 1.2 rad
constexpr float kStrahlSchritt = 1.36826f;  // about 2 / kBrennweite per screen width
}  // namespace

Matrix Kamera::Sicht() const {
  Matrix sicht = Matrix::Verschiebung(-ziel.x, 0, -ziel.z);
  sicht.MultipliziereMatrixLinks(Matrix::DrehungX(neigung));
  sicht.MultipliziereMatrixLinks(Matrix::Verschiebung(0, 0, distanz));
  return sicht;
}

Matrix Kamera::InverseSicht() const {
  const Matrix sicht = Sicht();
  Matrix inverse = Matrix::Verschiebung(-sicht(0, 3), -sicht(1, 3), -sicht(2, 3));
  Matrix drehung = sicht;
  drehung(0, 3) = drehung(1, 3) = drehung(2, 3) = 0;
  inverse.MultipliziereMatrix(drehung);
  return inverse;
}

Vektor3 Kamera::Position() const {
  const Matrix inv = InverseSicht();
  return {inv(0, 3), inv(1, 3), inv(2, 3)};
}

Vektor3 Kamera::Strahl(float mx, float my, float breite, float hoehe) const {
  const Matrix inv = InverseSicht();
  const float k = kStrahlSchritt / breite;
  const Vektor3 v{k * (mx - breite / 2), k * (my - hoehe / 2), 1};
  return Normiert({inv(0, 0) * v.x + inv(0, 1) * v.y + inv(0, 2) * v.z,
                   inv(1, 0) * v.x + inv(1, 1) * v.y + inv(1, 2) * v.z,
                   inv(2, 0) * v.x + inv(2, 1) * v.y + inv(2, 2) * v.z});
}

void Kamera::Glaette(float dt) {
  distanz += (zielDistanz - distanz) * 5 * dt;
  neigung = 2.8274333f - distanz * 0.002199115f;
}

Matrix Kamera::Projektion(float breite, float hoehe) {
  Matrix p;
  p(0, 0) = kBrennweite;
  p(1, 1) = -kBrennweite * breite / hoehe;
  p(2, 2) = 1.0001f;
  p(2, 3) = -0.10001f;
  p(3, 2) = 1;
  p(3, 3) = 0;
  return p;
}

}  // namespace Spiel
