#include "ZorLinearAlgebra.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <vector>

namespace {

using Matrix = std::vector<double>;

Matrix randomMatrix(int n, std::mt19937& rng, bool symmetric) {
  std::uniform_real_distribution<double> value(-1.0, 1.0);
  Matrix a(static_cast<size_t>(n) * n);
  for (double& x : a) x = value(rng);
  if (symmetric)
    for (int i = 0; i < n; ++i)
      for (int j = 0; j < i; ++j) a[i * n + j] = a[j * n + i];
  return a;
}

}  // namespace

// Sizes below and above the 16 rows that ludcmp keeps on the stack.
TEST(LinearAlgebra, InverseTimesMatrixIsIdentity) {
  std::mt19937 rng(7);
  for (int n : {1, 2, 3, 8, 16, 17, 25}) {
    const Matrix a = randomMatrix(n, rng, false);
    Matrix inverse(a.size());
    ASSERT_EQ(matrixInverse(a.data(), n, inverse.data()), 0) << n;
    for (int i = 0; i < n; ++i)
      for (int j = 0; j < n; ++j) {
        double sum = 0.0;
        for (int k = 0; k < n; ++k) sum += a[i * n + k] * inverse[k * n + j];
        EXPECT_NEAR(sum, i == j ? 1.0 : 0.0, 1e-9) << n << " " << i << " " << j;
      }
  }
}

TEST(LinearAlgebra, DecompositionSolvesAndKnowsItsParity) {
  // Rows must swap once: the first pivot comes from row 1.
  double a[] = {0.0, 2.0, 1.0, 1.0};
  int index[2], parity = 0;
  ASSERT_EQ(ludcmp(a, 2, index, &parity), 0);
  EXPECT_EQ(parity, -1);
  EXPECT_NEAR(parity * a[0] * a[3], -2.0, 1e-15);  // determinant
  double b[] = {4.0, 3.0};  // 2y = 4, x + y = 3
  ASSERT_EQ(lubksb(a, 2, index, b), 0);
  EXPECT_NEAR(b[0], 1.0, 1e-15);
  EXPECT_NEAR(b[1], 2.0, 1e-15);
}

TEST(LinearAlgebra, SingularMatricesAreReportedNotInverted) {
  struct Case {
    const char* name;
    Matrix a;
  };
  const Case cases[] = {
      {"zero row", {1, 2, 3, 0, 0, 0, 4, 5, 6}},
      {"dependent rows", {1, 2, 3, 2, 4, 6, 1, 0, 1}},
      {"rank one", {1, 2, 2, 4}},
      {"zero", {0}},
  };
  for (const Case& c : cases) {
    const int n = static_cast<int>(std::lround(std::sqrt(c.a.size())));
    Matrix inverse(c.a.size(), -7.0);
    EXPECT_EQ(matrixInverse(c.a.data(), n, inverse.data()), 2) << c.name;
    for (double v : inverse) EXPECT_EQ(v, -7.0) << c.name;
  }
  double zeroRow[] = {1, 2, 0, 0};
  int index[2], parity;
  EXPECT_EQ(ludcmp(zeroRow, 2, index, &parity), 2);
}

TEST(LinearAlgebra, NullArgumentsAndEmptySizesAreRejected) {
  double a[4] = {1, 0, 0, 1}, b[2] = {1, 1}, x[2];
  int index[2], parity;
  EXPECT_EQ(ludcmp(nullptr, 2, index, &parity), -1);
  EXPECT_EQ(ludcmp(a, 0, index, &parity), -1);
  EXPECT_EQ(lubksb(a, 2, nullptr, b), -1);
  EXPECT_EQ(matrixInverse(a, 2, nullptr), -1);
  EXPECT_EQ(leastSquares(a, b, x, 0, 2), -1);
  EXPECT_EQ(eigen(a, 2, nullptr, nullptr, x, 1e-7), -1);
}

TEST(LinearAlgebra, LeastSquaresFitsOverdeterminedSystems) {
  // y = 2 + 3t sampled exactly: the residual is zero, so x is exact.
  std::vector<double> A, b;
  for (int t = 0; t < 10; ++t) {
    A.insert(A.end(), {1.0, double(t)});
    b.push_back(2.0 + 3.0 * t);
  }
  double x[2];
  ASSERT_EQ(leastSquares(A.data(), b.data(), x, 10, 2), 0);
  EXPECT_NEAR(x[0], 2.0, 1e-12);
  EXPECT_NEAR(x[1], 3.0, 1e-12);

  // A consistent system with 12 columns (beyond the fixed work storage).
  std::mt19937 rng(3);
  const int cols = 12, rows = 40;
  Matrix wide = randomMatrix(rows, rng, false);
  wide.resize(static_cast<size_t>(rows) * cols);
  std::vector<double> truth(cols), rhs(rows, 0.0), solved(cols);
  for (int j = 0; j < cols; ++j) truth[j] = j - 5.5;
  for (int r = 0; r < rows; ++r)
    for (int j = 0; j < cols; ++j) rhs[r] += wide[r * cols + j] * truth[j];
  ASSERT_EQ(leastSquares(wide.data(), rhs.data(), solved.data(), rows, cols), 0);
  for (int j = 0; j < cols; ++j) EXPECT_NEAR(solved[j], truth[j], 1e-9);

  // Two identical columns: the normal equations are singular.
  const double dependent[] = {1, 1, 2, 2, 3, 3};
  const double rhs3[] = {1, 2, 3};
  EXPECT_EQ(leastSquares(dependent, rhs3, x, 3, 2), 2);
}

TEST(LinearAlgebra, EigenOfKnownMatrix) {
  const double a[] = {2, 1, 0, 1, 2, 0, 0, 0, 5};
  double values[3], vectors[9];
  int rotations = -1;
  ASSERT_EQ(eigen(a, 3, values, &rotations, vectors, 1e-12), 0);
  EXPECT_GE(rotations, 1);
  std::vector<double> sorted(values, values + 3);
  std::sort(sorted.begin(), sorted.end());
  EXPECT_NEAR(sorted[0], 1.0, 1e-12);
  EXPECT_NEAR(sorted[1], 3.0, 1e-12);
  EXPECT_NEAR(sorted[2], 5.0, 1e-12);
  EXPECT_EQ(a[1], 1.0);  // the input is left as it was
}

TEST(LinearAlgebra, EigenVectorsSatisfyTheDefinitionAndAreOrthonormal) {
  std::mt19937 rng(11);
  for (int n : {1, 2, 3, 6, 20}) {
    const Matrix a = randomMatrix(n, rng, true);
    Matrix vectors(a.size());
    std::vector<double> values(n);
    ASSERT_EQ(eigen(a.data(), n, values.data(), nullptr, vectors.data(), 1e-12), 0) << n;
    for (int j = 0; j < n; ++j) {
      for (int i = 0; i < n; ++i) {
        double av = 0.0;
        for (int k = 0; k < n; ++k) av += a[i * n + k] * vectors[k * n + j];
        EXPECT_NEAR(av, values[j] * vectors[i * n + j], 1e-10) << n << " " << j;
      }
      for (int m = 0; m < n; ++m) {
        double dot = 0.0;
        for (int k = 0; k < n; ++k) dot += vectors[k * n + j] * vectors[k * n + m];
        EXPECT_NEAR(dot, j == m ? 1.0 : 0.0, 1e-12);
      }
    }
  }
}

TEST(LinearAlgebra, EigenStopsOnMatricesThatNeverConverge) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double a[] = {1, nan, nan, 1};
  double values[2], vectors[4];
  EXPECT_EQ(eigen(a, 2, values, nullptr, vectors, 1e-7), 1);
}
