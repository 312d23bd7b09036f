// The least-squares solver (singular value decomposition, back substitution and the multiple
// linear regression entry) and TCurveFit, the accumulator of (observed, estimated) pairs with
// its statistics and analysis-of-variance table.
#pragma once

#include "orvex_component.h"
#include "orvex_math1.h"
#include "orvex_matrix.h"
#include "orvex_vector.h"

namespace orvex {

// A (m x n, m = NrOfRows observations, n = NrOfColumns parameters) is overwritten by U;
// V (n x n) and W (n singular values, unsorted, non-negative) receive the rest of A = U W V^T.
// False when one singular value needed 30 sweeps without converging.
bool SVDecompose(TMatrix& A, TMatrix& V, TVector& W);

// Least-squares solution X = V diag(1/W) U^T B (zero W entries are skipped); Sig, when given,
// receives the unscaled standard deviations of the solution components. Always true.
bool SVSolve(const TMatrix& U, const TMatrix& V, const TVector& W, const TVector& B, TVector& X,
             TVector* Sig);

// Fits B by the columns of A: X receives the n coefficients, Sig (when given) their unscaled
// standard deviations, NearSingular tells whether a singular value fell below 1e-14 of the
// largest and was zeroed. A holds U afterwards. False only when the decomposition fails; X and
// Sig are then left unwritten.
bool MultiLinearRegression(TMatrix& A, const TVector& B, TVector& X, TVector* Sig, bool& NearSingular);

struct TCurveFitStatistics {
  int N = 0;
  double MeanX = 0, MeanY = 0, StdDevX = 0, StdDevY = 0, MeanDiff = 0, StdDevDiff = 0, RCorr = 0;
};

struct TAnovaTable {
  int DFReg = 0, DFRes = 0, DFTot = 0;
  // MSRes and MSReg are NaN when their degrees of freedom are 0 or below, and FValue is NaN
  // when either of them is.
  double SSRes = 0, SSReg = 0, SSTot = 0, MSRes = 0, MSReg = 0, FValue = 0;
};

class TCurveFit : public TComponent {
public:
  explicit TCurveFit(TComponent* AOwner = nullptr);
  std::string ClassName() const override { return "TCurveFit"; }

  // properties
  int NumPairs() const;
  // Pair i (1-based); 0 outside 1..NumPairs.
  double DataX(int i) const;
  double DataY(int i) const;

  // operations
  void Clear();
  // Adds one pair and returns the new NumPairs.
  int AddPair(double X, double Y);
  void GetStatistics(int& N, double& MeanX, double& MeanY, double& StdDevX, double& StdDevY,
                     double& MeanDiff, double& StdDevDiff, double& RCorr) const;
  TCurveFitStatistics GetStatistics() const;
  void CalcAnova(int NumIndep, bool Intercept, int& DFReg, int& DFRes, int& DFTot, double& SSRes,
                 double& SSReg, double& SSTot, double& MSRes, double& MSReg, double& FValue) const;
  TAnovaTable CalcAnova(int NumIndep, bool Intercept) const;

private:
  static constexpr int StoreGrowth = 1000;

  // Pairs in rows 1..FNumPairs: column 1 holds x, column 2 holds y. Grows in blocks of
  // StoreGrowth rows (see AddPair).
  TMatrix FStore;
  int FNumPairs = 0;
  // Running sums in extended precision: x, y, x^2, y^2, x - y, (x - y)^2, x y.
  long double FSx = 0, FSy = 0, FSxx = 0, FSyy = 0, FSd = 0, FSdd = 0, FSxy = 0;
};

}  // namespace orvex
