// Heteroscedasticity-robust (sandwich) standard errors of a least-squares fit, as R's
// sandwich::vcovHC gives them for a linear model: V = C (sum of w_i x_i x_i') C with C the
// unscaled covariance (X'X)^-1 of the design and w_i = e_i^2 (HC0), n/(n-k) e_i^2 (HC1),
// e_i^2 / (1 - h_i) (HC2) or e_i^2 / (1 - h_i)^2 (HC3). A weighted fit passes its sqrt(w)
// scaled design and residuals, which is sandwich's weighted form. The run calls it after the
// solve; it holds no state.
#pragma once

#include "mlrdesign.h"

#include <vector>

namespace orvex {

struct TRobustStdErrors {
  TRobustType Type = TRobustType::None;
  std::vector<double> StdErrors;  // one per design column; NaN when not available
  // Objects of leverage 1 (h within 10 machine epsilons of 1): HC2 and HC3 divide by 1 - h,
  // so all their standard errors are NaN then.
  int NrOfUnitLeverage = 0;
};

// Columns: the n design columns of M rows each; E: the M residuals; Cov: C, n x n row-major,
// NaN elements when the design is rank deficient. Type must not be None.
TRobustStdErrors RobustStdErrors(const std::vector<const double*>& Columns, int M, const double* E,
                                 const std::vector<double>& Cov, TRobustType Type);

}  // namespace orvex
