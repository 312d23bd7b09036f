// Sandwich standard errors: one pass over the objects forms the meat in extended precision,
// then the small n x n products with the bread.
#include "mlrrobust.h"

#include <cmath>
#include <limits>

namespace orvex {

TRobustStdErrors RobustStdErrors(const std::vector<const double*>& Columns, int M, const double* E,
                                 const std::vector<double>& Cov, TRobustType Type)
{
  constexpr double NaN = std::numeric_limits<double>::quiet_NaN();
  constexpr double UnitLeverageGap = 10 * std::numeric_limits<double>::epsilon();
  const int n = static_cast<int>(Columns.size());
  const auto nn = static_cast<std::size_t>(n);
  TRobustStdErrors r;
  r.Type = Type;
  r.StdErrors.assign(nn, NaN);
  const bool needHat = Type == TRobustType::HC2 || Type == TRobustType::HC3;
  std::vector<long double> meat(nn * nn, 0.0L);
  std::vector<double> x(nn);
  for (int i = 0; i < M; ++i) {
    for (std::size_t j = 0; j < nn; ++j)
      x[j] = Columns[j][i];
    long double omega = static_cast<long double>(E[i]) * E[i];
    if (needHat) {
      long double h = 0;
      for (std::size_t a = 0; a < nn; ++a) {
        long double row = 0;
        for (std::size_t b = 0; b < nn; ++b)
          row += static_cast<long double>(Cov[a * nn + b]) * x[b];
        h += x[a] * row;
      }
      if (h > 1 - UnitLeverageGap) {
        ++r.NrOfUnitLeverage;
        continue;
      }
      omega /= Type == TRobustType::HC2 ? (1 - h) : (1 - h) * (1 - h);
    }
    for (std::size_t a = 0; a < nn; ++a) {
      const long double xa = omega * x[a];
      for (std::size_t b = 0; b <= a; ++b)
        meat[a * nn + b] += xa * x[b];
    }
  }
  if (r.NrOfUnitLeverage > 0 || M <= n)
    return r;
  for (std::size_t a = 0; a < nn; ++a)
    for (std::size_t b = 0; b < a; ++b)
      meat[b * nn + a] = meat[a * nn + b];
  if (Type == TRobustType::HC1)
    for (long double& v : meat)
      v *= static_cast<long double>(M) / (M - n);
  // Only the diagonal of C G C is needed: (C G C)_jj = c_j' G c_j with c_j row j of C.
  for (std::size_t j = 0; j < nn; ++j) {
    const double* c = Cov.data() + j * nn;
    long double v = 0;
    for (std::size_t a = 0; a < nn; ++a) {
      long double ga = 0;
      for (std::size_t b = 0; b < nn; ++b)
        ga += meat[a * nn + b] * c[b];
      v += c[a] * ga;
    }
    r.StdErrors[j] = static_cast<double>(std::sqrt(v));
  }
  return r;
}

}  // namespace orvex
