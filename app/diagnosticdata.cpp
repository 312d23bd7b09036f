// Leverage and standardized residuals of the objects of a run, for the diagnostic charts.
#include "diagnosticdata.h"

#include "mlrrun.h"
#include "orvex_math2.h"

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

void TDiagnosticValues::Assign(const TMLRRun& Run)
{
  FResult.reset();
  FStdResiduals.clear();
  FLeverage.clear();
  FNrOfCoefficients = 0;
  if (!Run.Succeeded() || !Run.Result())
    return;
  FResult = Run.Result();
  const TMLRResult& r = *FResult;
  if (r.Influence.Available)
    return;

  const std::size_t n = r.Residuals.size();
  const TMatrix& design = Run.MatD();
  const int k = design.NrOfColumns();
  if (n == 0 || static_cast<std::size_t>(design.NrOfRows()) != n)
    return;
  FNrOfCoefficients = k;
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
  double rss = 0.0;
  for (double e : r.Residuals)
    rss += e * e;
  const double df = static_cast<double>(n) - static_cast<double>(k);
  const double s = df > 0 ? std::sqrt(rss / df) : NaN;
  FStdResiduals.resize(n);
  for (std::size_t i = 0; i < n; ++i) {
    const double h = FLeverage[i];
    FStdResiduals[i] = (h < 1.0 - 10.0 * std::numeric_limits<double>::epsilon() && s > 0)
                           ? r.Residuals[i] / (s * std::sqrt(1.0 - h))
                           : NaN;
  }
}

TDiagnosticData TDiagnosticValues::Data() const
{
  if (!FResult)
    return {};
  TDiagnosticData d = DiagnosticDataOf(*FResult);
  if (!FResult->Influence.Available) {
    d.StdResiduals = FStdResiduals;
    d.Leverage = FLeverage;
    d.NrOfCoefficients = FNrOfCoefficients;
  }
  return d;
}

}  // namespace orvex
