#pragma once
// 4 x 4 matrices of the game: row-major (element (r, c) at 4 r + c), used with column
// vectors, so a translation sits in column 3 and A * B applies B first. The render
// context transposes on upload; the game never does.

namespace Spiel {

struct Matrix {
  float m[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

  static Matrix Einheit() { return {}; }
  static Matrix Verschiebung(float x, float y, float z);
  // Rotation about the x axis with rows (1,0,0), (0,cos,sin), (0,-sin,cos).
  static Matrix DrehungX(float winkel);

  float& operator()(int r, int c) { return m[4 * r + c]; }
  float operator()(int r, int c) const { return m[4 * r + c]; }

  // this = m * this. `m` must not be this matrix.
  Matrix& MultipliziereMatrixLinks(const Matrix& m);
  // this = transpose(m) * this. `m` must not be this matrix.
  Matrix& MultipliziereMatrix(const Matrix& m);
};

}  // namespace Spiel
