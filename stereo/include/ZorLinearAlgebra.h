/*
 * ZorLinearAlgebra.h - small dense linear algebra of the geometry toolkit.
 *
 * Matrices are row-major arrays of doubles: element (i, j) of an n x n matrix
 * is a[i * n + j]. Every function returns -1 for a null pointer or a size
 * below 1. Compiles as C and as C++.
 */
#ifndef ZOR_LINEAR_ALGEBRA_H
#define ZOR_LINEAR_ALGEBRA_H

#include "stelox.h"

#ifdef __cplusplus
extern "C" {
#endif

/* LU decomposition with implicit partial pivoting (Crout), in place: a holds L
 * (unit diagonal, not stored) and U; index[i] is the row swapped with row i;
 * *parity is +1 or -1 for an even or odd number of swaps. Zero pivots are
 * replaced by 1e-20. Returns 0, 1 when the work array cannot be allocated, 2
 * when a row is all zero (singular). */
STELOX_API int ludcmp(double* a, int n, int* index, int* parity);

/* Solves A x = b in place in b, with a and index from ludcmp. */
STELOX_API int lubksb(const double* a, int n, const int* index, double* b);

/* inverse = a^-1 (a is left unchanged; inverse may not alias a). Returns the
 * code of ludcmp; inverse is written only on success. */
STELOX_API int matrixInverse(const double* a, int n, double* inverse);

/* Least-squares solution x (cols values) of A x = b, A with `rows` rows of
 * `cols` values, through the normal equations A^T A x = A^T b. Returns the code
 * of ludcmp; x is written only on success. */
STELOX_API int leastSquares(const double* A, const double* b, double* x, int rows, int cols);

/* Eigen-decomposition of the symmetric matrix a (cyclic Jacobi; a is left
 * unchanged): values[j] is the j-th eigenvalue (unsorted) and column j of
 * vectors (vectors[i * n + j]) its unit eigenvector. *rotations receives the
 * number of Jacobi rotations (may be null). Stops when the sum of the absolute
 * off-diagonal elements falls below tolerance. Returns 0, 1 when that did not
 * happen within 50 sweeps (outputs then hold the last sweep), 3 when the work
 * storage cannot be allocated. */
STELOX_API int eigen(const double* a, int n, double* values, int* rotations, double* vectors,
                     double tolerance);

#ifdef __cplusplus
}
#endif

#endif
