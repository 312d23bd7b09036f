// The per-object values of the diagnostic charts taken from a finished regression run: the
// table rows and class colours of the objects used, their estimates and residuals from the
// run's chart points, and the leverage and standardized residuals from the triangular factor of
// the run's design (h = |R^-T x|^2, one triangular solve per object, never an n x n matrix).
// TDiagnosticValues owns the arrays and lends them to the chart fills as TDiagnosticData.
#pragma once

#include "resultcharts.h"

#include <string>
#include <vector>

namespace orvex {

class TDataTable;
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
  // Takes the values of the last successful Run over Table (the table the run read); an
  // unsuccessful run gives no objects.
  void Assign(const TMLRRun& Run, const TDataTable& Table);

  // properties
  std::size_t NrOfObjects() const { return FRows.size(); }
  // The arrays as the fills read them; valid while this object lives and is not reassigned.
  TDiagnosticData Data() const;
  const std::vector<double>& Leverage() const { return FLeverage; }
  const std::vector<double>& StdResiduals() const { return FStdResiduals; }

private:
  std::vector<int> FRows;
  std::vector<int> FColorIndexes;
  std::vector<double> FEstimated;
  std::vector<double> FResiduals;
  std::vector<double> FStdResiduals;
  std::vector<double> FLeverage;
  std::vector<std::string> FRowLabels;  // by object
  int FNrOfCoefficients = 0;
};

}  // namespace orvex
