// Leverage and standardized residuals of the objects of a run, for the diagnostic charts.
#include "diagnosticdata.h"

#include "mlrrun.h"
#include "orvex_datatable.h"
#include "orvex_math2.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace orvex {

bool TLeverageFactor::Assign(const TMatrix& Design, const TVector& Target)
{
  TMatrix r;
  TVector qtb;
  double residualNorm = 0.0;
  FK = 0;
  FRt.clear();
  if (!ReduceToTriangle(Design, Target, r, qtb, residualNorm))
    return false;
  FK = Design.NrOfColumns();
  const auto kk = static_cast<std::size_t>(FK);
  FRt.assign(kk * kk, 0.0);
  for (std::size_t j = 0; j < kk; ++j)
    for (std::size_t m = 0; m <= j; ++m)
      FRt[j * kk + m] = r.Elem(static_cast<int>(j) + 1, static_cast<int>(m) + 1);
  return true;
}

double TLeverageFactor::Leverage(const double* X, double* Z) const
{
  const auto kk = static_cast<std::size_t>(FK);
  double h = 0.0;
  for (std::size_t j = 0; j < kk; ++j) {
    double v = X[j];
    for (std::size_t m = 0; m < j; ++m)
      v -= FRt[j * kk + m] * Z[m];
    Z[j] = v / FRt[j * kk + j];
    h += Z[j] * Z[j];
  }
  return h;
}

void TDiagnosticValues::Assign(const TMLRRun& Run, const TDataTable& Table)
{
  FRows.clear();
  FColorIndexes.clear();
  FEstimated.clear();
  FResiduals.clear();
  FStdResiduals.clear();
  FLeverage.clear();
  FRowLabels.clear();
  FNrOfCoefficients = 0;
  if (!Run.Succeeded())
    return;

  const auto& points = Run.FitPoints();
  const std::size_t n = points.size();
  const TMatrix& design = Run.MatD();
  const int k = design.NrOfColumns();
  if (n == 0 || static_cast<std::size_t>(design.NrOfRows()) != n)
    return;
  FNrOfCoefficients = k;
  FRows.reserve(n);
  double rss = 0.0;
  for (const TFitPoint& p : points) {
    FRows.push_back(p.Row);
    FColorIndexes.push_back(p.ColorIndex);
    FEstimated.push_back(p.Estimated);
    FResiduals.push_back(p.Estimated - p.Actual);
    rss += (p.Estimated - p.Actual) * (p.Estimated - p.Actual);
    const std::string name = Table.RowName(p.Row);
    FRowLabels.push_back(name.empty() ? std::to_string(p.Row) : name);
  }

  constexpr double NaN = std::numeric_limits<double>::quiet_NaN();
  FLeverage.assign(n, NaN);
  TLeverageFactor factor;
  if (factor.Assign(design, Run.VecC())) {
    const auto kk = static_cast<std::size_t>(k);
    std::vector<const double*> columns(kk);
    for (std::size_t j = 0; j < kk; ++j)
      columns[j] = design.Column(static_cast<int>(j) + 1);
    std::vector<double> x(kk), z(kk);
    for (std::size_t i = 0; i < n; ++i) {
      for (std::size_t j = 0; j < kk; ++j)
        x[j] = columns[j][i];
      FLeverage[i] = factor.Leverage(x.data(), z.data());
    }
  }

  // Standardized residuals e / (s sqrt(1 - h)); none where h is 1 up to rounding.
  const double df = static_cast<double>(n) - static_cast<double>(k);
  const double s = df > 0 ? std::sqrt(rss / df) : NaN;
  FStdResiduals.resize(n);
  for (std::size_t i = 0; i < n; ++i) {
    const double h = FLeverage[i];
    FStdResiduals[i] = (h < 1.0 - 10.0 * std::numeric_limits<double>::epsilon() && s > 0)
                           ? FResiduals[i] / (s * std::sqrt(1.0 - h))
                           : NaN;
  }
}

TDiagnosticData TDiagnosticValues::Data() const
{
  TDiagnosticData d;
  d.Rows = FRows;
  d.ColorIndexes = FColorIndexes;
  d.Estimated = FEstimated;
  d.Residuals = FResiduals;
  d.StdResiduals = FStdResiduals;
  d.Leverage = FLeverage;
  d.NrOfCoefficients = FNrOfCoefficients;
  // Rows of the run come in increasing order: the label of a row is found by binary search.
  d.RowLabel = [this](int Row) {
    const auto it = std::lower_bound(FRows.begin(), FRows.end(), Row);
    return it != FRows.end() && *it == Row ? FRowLabels[static_cast<std::size_t>(it - FRows.begin())]
                                           : std::to_string(Row);
  };
  return d;
}

}  // namespace orvex
