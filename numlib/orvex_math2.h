// The least-squares solver (singular value decomposition, back substitution and the multiple
// linear regression entry) and TCurveFit, the accumulator of (observed, estimated) pairs with
// its statistics and analysis-of-variance table.
#pragma once

#include "orvex_component.h"
#include "orvex_math1.h"
#include "orvex_matrix.h"
#include "orvex_taskpool.h"
#include "orvex_vector.h"

#include <functional>
#include <memory>
#include <vector>

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
// largest and was zeroed. False only when the decomposition fails; X and Sig are then left
// unwritten. A tall A (many more rows than columns) is first reduced to its n x n triangular
// factor, which has the singular values of A, and is left unchanged; any other A is decomposed
// directly and holds U afterwards. Callers treat A's content afterwards as unspecified. An
// ill-conditioned fit is improved by iterative refinement against the residual formed in
// extended precision. A small design (at least as many rows as columns and a few thousand
// elements at most) is solved in extended precision throughout and is left unchanged; its
// NearSingular applies the same 1e-14 rule to the singular values of A. The result depends
// only on the input, not on MathThreadCount.
bool MultiLinearRegression(TMatrix& A, const TVector& B, TVector& X, TVector* Sig, bool& NearSingular);

// MultiLinearRegression of the design whose column k is column k of A times 2^-Exponents[k - 1]
// (Exponents has n elements), without forming that design: X and Sig belong to the scaled
// columns, A is not changed. The scaling is exact, so the result is that of
// MultiLinearRegression on the scaled copy; a caller that equilibrates its columns saves the
// copy of a large design.
bool MultiLinearRegressionScaled(const TMatrix& A, const std::vector<int>& Exponents, const TVector& B,
                                 TVector& X, TVector* Sig, bool& NearSingular);
// The same, also giving in R the unscaled triangular factor of A exactly as ReduceToTriangle
// gives it, when the solve reduced A to one (a tall design beyond the small size): Factored
// tells, and R is not written otherwise. Callers that need the factor after the fit save a
// second reduction of the design.
bool MultiLinearRegressionScaled(const TMatrix& A, const std::vector<int>& Exponents, const TVector& B,
                                 TVector& X, TVector* Sig, bool& NearSingular, TMatrix& R, bool& Factored);

// A design held as column pointers (each column NrOfRows values), for a caller whose columns
// live elsewhere and that would otherwise copy them into a TMatrix first.
struct TColumnDesign {
  std::vector<const double*> Columns;
  int NrOfRows = 0;
  int NrOfColumns() const { return static_cast<int>(Columns.size()); }
};
// The columns of A.
TColumnDesign ColumnDesignOf(const TMatrix& A);
// Whether MultiLinearRegressionScaled reduces a design of this size to its triangular factor (a
// tall design beyond the small size): the only designs the column form below takes.
bool ReducesBySize(int NrOfRows, int NrOfColumns);
// MultiLinearRegressionScaled with the factor, of a design given by its columns, with the very
// same results; false, with nothing written, for a size that ReducesBySize refuses.
bool MultiLinearRegressionScaled(const TColumnDesign& A, const std::vector<int>& Exponents, const TVector& B,
                                 TVector& X, TVector* Sig, bool& NearSingular, TMatrix& R, bool& Factored);

// Scaled receives A with column k multiplied by 2^-Exponents[k - 1] (exactly, also where the
// factor is no normal double).
void ScaleColumns(const TMatrix& A, const std::vector<int>& Exponents, TMatrix& Scaled);

// The plain path: SVDecompose of the whole (power-of-two scaled) A, the 1e-14 rule and SVSolve,
// without reduction or refinement. A holds U afterwards.
bool MultiLinearRegressionDirect(TMatrix& A, const TVector& B, TVector& X, TVector* Sig, bool& NearSingular);

// Householder reduction of [A B] in fixed row blocks: R (resized to n x n) receives the upper
// triangular factor with A = Q R, QtB the first n elements of Q^T B, and ResidualNorm the norm
// of the rest of Q^T B, the residual of the least-squares fit. A and B are not changed. The
// blocks and their merge order depend only on the size of A, so the result does not depend on
// the number of threads. Each finished block of rows is one step of the progress globals on the
// calling thread; false when MathAbort stopped the reduction (outputs then unwritten).
bool ReduceToTriangle(const TMatrix& A, const TVector& B, TMatrix& R, TVector& QtB, double& ResidualNorm);
// The same with the threads, cancel flag and progress callback of Context in place of the
// progress globals (one progress step per block of rows); false, with the outputs unwritten,
// when the run was cancelled.
bool ReduceToTriangle(const TMatrix& A, const TVector& B, TMatrix& R, TVector& QtB, double& ResidualNorm,
                      const TTaskContext& Context);

// A least-squares fit whose rows arrive in pieces, as from a file read block by block. The rows
// of [A B] are reduced as they come, in the very chunks and blocks in which
// MultiLinearRegressionScaled reduces a whole tall design, so the triangular factor and the
// solution are the same bit for bit. At most eight chunks of rows are held; they are reduced
// together on the math threads and merged in chunk order, as the whole design's are. A fit of
// at most one chunk of rows is solved by MultiLinearRegressionScaled itself (the small and
// extended-precision paths included). An ill-conditioned tall fit needs the rows once more for
// its refinement step: NeedsRefinement tells, AddRefinementRows takes them in the same order,
// FinishRefinement writes the refined solution.
class TStreamedRegression {
public:
  // Rows held before the first reduction: the reduction's chunk.
  static constexpr int ChunkRows = 8192;

  explicit TStreamedRegression(int NrOfColumns);
  ~TStreamedRegression();
  TStreamedRegression(const TStreamedRegression&) = delete;
  TStreamedRegression& operator=(const TStreamedRegression&) = delete;

  // properties
  int NrOfColumns() const;
  long long NrOfRows() const;
  bool NeedsRefinement() const;

  // operations
  // Adds Count rows: Columns[j][i] is column j + 1 of row i, B[i] its right-hand side.
  void AddRows(const double* const* Columns, const double* B, int Count);
  // After the last AddRows: X, Sig and NearSingular as MultiLinearRegressionScaled gives them
  // for all rows added and Exponents. False when the decomposition fails.
  bool Solve(const std::vector<int>& Exponents, TVector& X, TVector* Sig, bool& NearSingular);
  void AddRefinementRows(const double* const* Columns, const double* B, int Count);
  // False, with X and Sig as Solve wrote them, when the correction is not finite.
  bool FinishRefinement(TVector& X, TVector* Sig);
  // The unscaled triangular factor as ReduceToTriangle gives it for all rows added; valid
  // after Solve.
  void Triangle(TMatrix& R, TVector& QtB, double& ResidualNorm) const;

private:
  struct TState;
  std::unique_ptr<TState> F;
};

// Calls Work(Task) for every Task in 0..Count-1 through the library's task runner on up to
// MathThreadCount threads, the calling thread included, and returns when all are done. Tasks
// run in any order and at the same time, so each must write only its own results and must not
// touch the progress globals; an exception of a task is thrown again here after the others
// finished.
void ForEachMathTask(int Count, const std::function<void(int)>& Work);
// The same with an explicit context; false when it was cancelled before every task started.
bool ForEachMathTask(int Count, const std::function<void(int)>& Work, const TTaskContext& Context);

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
  // Whether the pairs are kept (the default) or only their sums, as for a fit over more
  // pairs than memory holds; DataX and DataY then read 0.
  bool StorePairs() const { return FStorePairs; }
  void SetStorePairs(bool Value) { FStorePairs = Value; }
  // Pair i (1-based); 0 outside 1..NumPairs.
  double DataX(int i) const;
  double DataY(int i) const;

  // operations
  void Clear();
  // Adds one pair and returns the new NumPairs.
  int AddPair(double X, double Y);
  // Adds the pairs (X[i], Y[i]) for i = 0..Count-1 in order, with the same sums and store as
  // Count calls of AddPair, and returns the new NumPairs.
  int AddPairs(const double* X, const double* Y, int Count);
  void GetStatistics(int& N, double& MeanX, double& MeanY, double& StdDevX, double& StdDevY,
                     double& MeanDiff, double& StdDevDiff, double& RCorr) const;
  TCurveFitStatistics GetStatistics() const;
  void CalcAnova(int NumIndep, bool Intercept, int& DFReg, int& DFRes, int& DFTot, double& SSRes,
                 double& SSReg, double& SSTot, double& MSRes, double& MSReg, double& FValue) const;
  TAnovaTable CalcAnova(int NumIndep, bool Intercept) const;

private:
  static constexpr int StoreGrowth = 1000;
  // AddPairs of at least this many pairs spreads its sums over the math threads.
  static constexpr int ParallelPairs = 65536;
  // Grows the store, as AddPair does, until it holds Pairs rows.
  void GrowStore(long long Pairs);

  // Pairs in rows 1..FNumPairs: column 1 holds x, column 2 holds y. Grows in blocks of
  // StoreGrowth rows (see AddPair).
  TMatrix FStore;
  int FNumPairs = 0;
  bool FStorePairs = true;
  // Running sums in extended precision: x, y, x^2, y^2, x - y, (x - y)^2, x y.
  long double FSx = 0, FSy = 0, FSxx = 0, FSyy = 0, FSd = 0, FSdd = 0, FSxy = 0;
};

}  // namespace orvex
