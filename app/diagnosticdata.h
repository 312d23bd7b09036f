// The per-object values of the diagnostic charts taken from a finished regression run: the
// rows, class colours, estimates and residuals of the objects used from the run's result
// value, and their leverage and standardized residuals from the result's influence measures or,
// where the result has none, from the triangular factor of the run's design (h = |R^-T x|^2,
// one triangular solve per object, never an n x n matrix). TDiagnosticValues keeps the result
// and lends the arrays to the chart fills as TDiagnosticData.
#pragma once

#include "resultcharts.h"

#include <vector>

namespace orvex {

class TMLRRun;
class TMatrix;
class TVector;

// The triangular factor R of a design (X = QR) as the leverage of any point x needs it:
// h(x) = x^T (X^T X)^-1 x = |z|^2 with R^T z = x, one forward substitution.
class TLeverageFactor {
public:
  // Factors Design (one row per object, one column per coefficient); Target only rides along.
  // False when the reduction was aborted.
  bool Assign(const TMatrix& Design, const TVector& Target);
  int NrOfCoefficients() const { return FK; }
  // X: NrOfCoefficients values in the design's column order. Z is scratch of the same length.
  double Leverage(const double* X, double* Z) const;

private:
  int FK = 0;
  std::vector<double> FRt;  // R^T row by row: FRt[j k + m] = R(m, j), m <= j
};

class TDiagnosticValues {
public:
  // Takes the result of Run's last successful run; its design stands by for the leverage while
  // the result carries no influence measures. An unsuccessful run gives no objects.
  void Assign(const TMLRRun& Run);

  // properties
  std::size_t NrOfObjects() const { return FResult ? FResult->FitPoints.size() : 0; }
  // The arrays as the fills read them (without row labels); valid while this object lives and
  // is not reassigned.
  TDiagnosticData Data() const;

private:
  TMLRResultPtr FResult;
  // Only while the result has no influence measures of its own:
  std::vector<double> FStdResiduals;
  std::vector<double> FLeverage;
  int FNrOfCoefficients = 0;
};

}  // namespace orvex
