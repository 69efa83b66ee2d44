#include "Matrix.h"

#include <cmath>

namespace Spiel {

Matrix Matrix::Verschiebung(float x, float y, float z) {
  Matrix t;
  t(0, 3) = x;
  t(1, 3) = y;
  t(2, 3) = z;
  return t;
}

Matrix Matrix::DrehungX(float winkel) {
  Matrix r;
  const float c = std::cos(winkel), s = std::sin(winkel);
  r(1, 1) = c;
  r(1, 2) = s;
  r(2, 1) = -s;
  r(2, 2) = c;
  return r;
}

Matrix& Matrix::MultipliziereMatrixLinks(const Matrix& a) {
  const Matrix alt = *this;
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c)
      (*this)(r, c) = a(r, 0) * alt(0, c) + a(r, 1) * alt(1, c) + a(r, 2) * alt(2, c) + a(r, 3) * alt(3, c);
  return *this;
}

Matrix& Matrix::MultipliziereMatrix(const Matrix& a) {
  const Matrix alt = *this;
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c)
      (*this)(r, c) = a(0, r) * alt(0, c) + a(1, r) * alt(1, c) + a(2, r) * alt(2, c) + a(3, r) * alt(3, c);
  return *this;
}

}  // namespace Spiel
