#include "Matrix.h"

#include <gtest/gtest.h>

#include <cmath>

using Spiel::Matrix;

TEST(Matrix, ProdukteInDerReihenfolgeDerAufrufer) {
  Matrix t;
  t.MultipliziereMatrixLinks(Matrix::Verschiebung(1, 2, 3));  // T * I = T
  EXPECT_EQ(t.m[3] + t.m[7] + t.m[11], 6);

  Matrix tr = Matrix::DrehungX(0.7f);
  tr.MultipliziereMatrixLinks(Matrix::Verschiebung(0, 0, 5));  // T * R: moved, not turned
  EXPECT_FLOAT_EQ(tr(2, 3), 5);
  EXPECT_FLOAT_EQ(tr(1, 2), std::sin(0.7f));

  t.MultipliziereMatrix(Matrix::DrehungX(1.2f));  // R^T * T turns the translation
  EXPECT_FLOAT_EQ(t(1, 3), 2 * std::cos(1.2f) - 3 * std::sin(1.2f));
  Matrix r = Matrix::DrehungX(1.2f);
  r.MultipliziereMatrix(Matrix::DrehungX(1.2f));  // R^T * R = I
  for (int i = 0; i < 16; ++i) EXPECT_NEAR(r.m[i], Matrix().m[i], 1e-6f);
}
