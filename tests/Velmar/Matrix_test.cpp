#include "Matrix.h"

#include <gtest/gtest.h>

#include <cmath>

using Spiel::Matrix;

namespace {

void ErwarteGleich(const Matrix& a, const Matrix& b) {
  for (int i = 0; i < 16; ++i) EXPECT_NEAR(a.m[i], b.m[i], 1e-6f) << "Element " << i;
}

Matrix Transponiert(const Matrix& a) {
  Matrix t;
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) t(r, c) = a(c, r);
  return t;
}

TEST(Matrix, LinksMultipliziertVonLinks) {
  Matrix a = Matrix::Einheit();
  a.MultipliziereMatrixLinks(Matrix::Verschiebung(1, 2, 3));
  ErwarteGleich(a, Matrix::Verschiebung(1, 2, 3));

  // T * R applies R first: the rotated point is then moved.
  Matrix tr = Matrix::DrehungX(0.7f);
  tr.MultipliziereMatrixLinks(Matrix::Verschiebung(0, 0, 5));
  Matrix rt = Matrix::Verschiebung(0, 0, 5);
  rt.MultipliziereMatrixLinks(Matrix::DrehungX(0.7f));
  EXPECT_NEAR(tr(2, 3), 5.0f, 1e-6f);
  EXPECT_NEAR(rt(1, 3), 5.0f * std::sin(0.7f), 1e-6f);

  Matrix unveraendert = rt;
  unveraendert.MultipliziereMatrixLinks(Matrix::Einheit());
  ErwarteGleich(unveraendert, rt);
}

TEST(Matrix, MultipliziereMatrixNimmtDieTransponierte) {
  const Matrix r = Matrix::DrehungX(1.2f);
  Matrix inv = Matrix::Einheit();
  inv.MultipliziereMatrix(r);
  ErwarteGleich(inv, Transponiert(r));
  inv.MultipliziereMatrixLinks(r);  // R * R^T = I
  ErwarteGleich(inv, Matrix::Einheit());
}

}  // namespace
