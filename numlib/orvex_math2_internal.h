// Pieces of the least-squares solver shared by its source files; not part of the library's
// interface.
#pragma once

#include "orvex_matrix.h"
#include "orvex_vector.h"

#include <vector>

namespace orvex::detail {

// X = V diag(1/W) U^T B (zero W entries skipped) and, when Sig is given, the square roots of
// the diagonal of V diag(1/W^2) V^T, in the units of U, V and W. B has NrOfB elements; rows of
// U beyond them count as zero.
void SvdSolution(const TMatrix& U, const TMatrix& V, const TVector& W, const double* B, int NrOfB,
                 std::vector<double>& X, std::vector<double>* Sig);

// Stores X[j] * 2^XExponent into XOut and, when both are given, Sig[j] * 2^SigExponent into
// SigOut, one write per element.
void WriteSolution(const std::vector<double>& X, int XExponent, const std::vector<double>* Sig,
                   int SigExponent, TVector& XOut, TVector* SigOut);

// Sets every singular value below 1e-14 of the largest to 0; true when one was.
bool ZeroSmallSingularValues(TVector& W);

// Multiplies A by the power of two 2^-e that brings its largest magnitude into [0.5, 1) and
// returns e (0 for an all-zero or non-finite matrix, which stays as it is).
int ScaleIntoUnitRange(TMatrix& A);

// Designs of at most this many elements, counting the target column, take the path in
// extended precision.
constexpr long long ExtendedMaxElements = 16384;

// True for a design that the extended-precision path serves: at least as many rows as columns
// and at most ExtendedMaxElements elements with the target.
bool IsExtendedSize(const TMatrix& A);
bool IsExtendedSize(long long NrOfRows, long long NrOfColumns);

// The least-squares solution in extended precision (see orvex_math2_extended.cpp): X, Sig and
// NearSingular as MultiLinearRegression gives them; A and B are not changed. False, with X and
// Sig unwritten, when A or B holds a value that is not finite, when the decomposition does not
// converge or when the solution is not finite: the caller then takes the double path, which
// reports such a design as it always has.
bool SolveExtended(const TMatrix& A, const TVector& B, TVector& X, TVector* Sig, bool& NearSingular);

}  // namespace orvex::detail
