#include "ZorLinearAlgebra.h"

#include <cfloat>
#include <cmath>
#include <new>
#include <utility>
#include <vector>

namespace {

constexpr double kTinyPivot = 1e-20;
constexpr int kMaxJacobiSweeps = 50;

// Work storage that stays on the stack for small sizes.
template <int FixedSize>
class WorkArray {
 public:
  WorkArray(const WorkArray&) = delete;
  WorkArray& operator=(const WorkArray&) = delete;
  explicit WorkArray(int size) {
    if (size > FixedSize) {
      m_heap.resize(static_cast<size_t>(size));
      m_data = m_heap.data();
    }
  }
  double* data() { return m_data; }
  double& operator[](int i) { return m_data[i]; }

 private:
  double m_fixed[FixedSize];
  std::vector<double> m_heap;
  double* m_data = m_fixed;
};

// True when a pivot of the decomposition is negligible against the largest
// element of the original matrix: the system is singular for working purposes
// even though ludcmp substituted a tiny pivot to go on.
bool hasNegligiblePivot(const double* lu, int n, double largestElement) {
  const double limit = n * DBL_EPSILON * largestElement;
  for (int j = 0; j < n; ++j)
    if (!(std::fabs(lu[j * n + j]) > limit)) return true;
  return false;
}

double largestAbs(const double* a, int count) {
  double largest = 0.0;
  for (int i = 0; i < count; ++i) largest = std::fmax(largest, std::fabs(a[i]));
  return largest;
}

int decompose(double* a, int n, int* index, int* parity, double* rowScale) {
  for (int i = 0; i < n; ++i) {
    const double big = largestAbs(a + i * n, n);
    if (big == 0.0) return 2;
    rowScale[i] = 1.0 / big;
  }
  *parity = 1;
  for (int j = 0; j < n; ++j) {
    for (int i = 0; i < j; ++i) {
      double sum = a[i * n + j];
      for (int k = 0; k < i; ++k) sum -= a[i * n + k] * a[k * n + j];
      a[i * n + j] = sum;
    }
    double big = 0.0;
    int pivotRow = j;
    for (int i = j; i < n; ++i) {
      double sum = a[i * n + j];
      for (int k = 0; k < j; ++k) sum -= a[i * n + k] * a[k * n + j];
      a[i * n + j] = sum;
      const double merit = rowScale[i] * std::fabs(sum);
      if (merit >= big) {
        big = merit;
        pivotRow = i;
      }
    }
    if (pivotRow != j) {
      for (int k = 0; k < n; ++k) std::swap(a[pivotRow * n + k], a[j * n + k]);
      *parity = -*parity;
      rowScale[pivotRow] = rowScale[j];
    }
    index[j] = pivotRow;
    if (a[j * n + j] == 0.0) a[j * n + j] = kTinyPivot;
    if (j != n - 1) {
      const double inversePivot = 1.0 / a[j * n + j];
      for (int i = j + 1; i < n; ++i) a[i * n + j] *= inversePivot;
    }
  }
  return 0;
}

void backSubstitute(const double* a, int n, const int* index, double* b) {
  int firstNonZero = -1;
  for (int i = 0; i < n; ++i) {
    const int row = index[i];
    double sum = b[row];
    b[row] = b[i];
    if (firstNonZero >= 0) {
      for (int j = firstNonZero; j < i; ++j) sum -= a[i * n + j] * b[j];
    } else if (sum != 0.0) {
      firstNonZero = i;
    }
    b[i] = sum;
  }
  for (int i = n - 1; i >= 0; --i) {
    double sum = b[i];
    for (int j = i + 1; j < n; ++j) sum -= a[i * n + j] * b[j];
    b[i] = sum / a[i * n + i];
  }
}

// One Jacobi rotation of the pair (a[i][j], a[k][l]).
inline void rotate(double* a, int n, double s, double tau, int i, int j, int k, int l) {
  const double g = a[i * n + j];
  const double h = a[k * n + l];
  a[i * n + j] = g - s * (h + g * tau);
  a[k * n + l] = h + s * (g - h * tau);
}

}  // namespace

extern "C" {

int ludcmp(double* a, int n, int* index, int* parity) {
  if (!a || !index || !parity || n < 1) return -1;
  try {
    WorkArray<16> rowScale(n);
    return decompose(a, n, index, parity, rowScale.data());
  } catch (const std::bad_alloc&) {
    return 1;
  }
}

int lubksb(const double* a, int n, const int* index, double* b) {
  if (!a || !index || !b || n < 1) return -1;
  backSubstitute(a, n, index, b);
  return 0;
}

int matrixInverse(const double* a, int n, double* inverse) {
  if (!a || !inverse || n < 1) return -1;
  try {
    const size_t count = static_cast<size_t>(n) * static_cast<size_t>(n);
    std::vector<double> lu(a, a + count);
    std::vector<int> index(static_cast<size_t>(n));
    std::vector<double> column(static_cast<size_t>(n));
    int parity = 1;
    const int code = ludcmp(lu.data(), n, index.data(), &parity);
    if (code != 0) return code;
    if (hasNegligiblePivot(lu.data(), n, largestAbs(a, static_cast<int>(count)))) return 2;
    for (int j = 0; j < n; ++j) {
      for (int i = 0; i < n; ++i) column[i] = (i == j) ? 1.0 : 0.0;
      backSubstitute(lu.data(), n, index.data(), column.data());
      for (int i = 0; i < n; ++i) inverse[i * n + j] = column[i];
    }
    return 0;
  } catch (const std::bad_alloc&) {
    return 1;
  }
}

int leastSquares(const double* A, const double* b, double* x, int rows, int cols) {
  if (!A || !b || !x || rows < 1 || cols < 1) return -1;
  try {
    WorkArray<81> normal(cols * cols);
    WorkArray<9> rhs(cols);
    for (int i = 0; i < cols; ++i) {
      for (int j = i; j < cols; ++j) {
        double sum = 0.0;
        for (int r = 0; r < rows; ++r) sum += A[r * cols + i] * A[r * cols + j];
        normal[i * cols + j] = sum;
        normal[j * cols + i] = sum;
      }
      double sum = 0.0;
      for (int r = 0; r < rows; ++r) sum += A[r * cols + i] * b[r];
      rhs[i] = sum;
    }
    const double largest = largestAbs(normal.data(), cols * cols);
    std::vector<int> index(static_cast<size_t>(cols));
    int parity = 1;
    const int code = ludcmp(normal.data(), cols, index.data(), &parity);
    if (code != 0) return code;
    if (hasNegligiblePivot(normal.data(), cols, largest)) return 2;
    backSubstitute(normal.data(), cols, index.data(), rhs.data());
    for (int i = 0; i < cols; ++i) x[i] = rhs[i];
    return 0;
  } catch (const std::bad_alloc&) {
    return 1;
  }
}

int eigen(const double* a, int n, double* values, int* rotations, double* vectors,
          double tolerance) {
  if (!a || !values || !vectors || n < 1) return -1;
  try {
    const size_t count = static_cast<size_t>(n) * static_cast<size_t>(n);
    std::vector<double> work(a, a + count);
    std::vector<double> diagonal(static_cast<size_t>(n));
    std::vector<double> accumulated(static_cast<size_t>(n), 0.0);
    double* w = work.data();
    double* d = values;
    double* v = vectors;
    for (int p = 0; p < n; ++p) {
      for (int q = 0; q < n; ++q) v[p * n + q] = (p == q) ? 1.0 : 0.0;
      diagonal[p] = d[p] = w[p * n + p];
    }
    int rotationCount = 0;
    int result = 1;
    for (int sweep = 1; sweep <= kMaxJacobiSweeps; ++sweep) {
      double offDiagonal = 0.0;
      for (int p = 0; p < n - 1; ++p)
        for (int q = p + 1; q < n; ++q) offDiagonal += std::fabs(w[p * n + q]);
      if (offDiagonal < tolerance || offDiagonal == 0.0) {
        result = 0;
        break;
      }
      // Early sweeps rotate only the larger elements.
      const double threshold = sweep < 4 ? 0.2 * offDiagonal / (n * n) : 0.0;
      for (int p = 0; p < n - 1; ++p) {
        for (int q = p + 1; q < n; ++q) {
          const double apq = w[p * n + q];
          const double g = 100.0 * std::fabs(apq);
          if (sweep > 4 && std::fabs(d[p]) + g == std::fabs(d[p]) &&
              std::fabs(d[q]) + g == std::fabs(d[q])) {
            w[p * n + q] = 0.0;
          } else if (std::fabs(apq) > threshold) {
            double h = d[q] - d[p];
            double t;
            if (std::fabs(h) + g == std::fabs(h)) {
              t = apq / h;
            } else {
              const double theta = 0.5 * h / apq;
              t = 1.0 / (std::fabs(theta) + std::sqrt(1.0 + theta * theta));
              if (theta < 0.0) t = -t;
            }
            const double c = 1.0 / std::sqrt(1.0 + t * t);
            const double s = t * c;
            const double tau = s / (1.0 + c);
            h = t * apq;
            accumulated[p] -= h;
            accumulated[q] += h;
            d[p] -= h;
            d[q] += h;
            w[p * n + q] = 0.0;
            for (int j = 0; j < p; ++j) rotate(w, n, s, tau, j, p, j, q);
            for (int j = p + 1; j < q; ++j) rotate(w, n, s, tau, p, j, j, q);
            for (int j = q + 1; j < n; ++j) rotate(w, n, s, tau, p, j, q, j);
            for (int j = 0; j < n; ++j) rotate(v, n, s, tau, j, p, j, q);
            ++rotationCount;
          }
        }
      }
      for (int p = 0; p < n; ++p) {
        diagonal[p] += accumulated[p];
        d[p] = diagonal[p];
        accumulated[p] = 0.0;
      }
    }
    if (rotations) *rotations = rotationCount;
    return result;
  } catch (const std::bad_alloc&) {
    return 3;
  }
}

}  // extern "C"
