// Tests and collinearity figures of whole terms (an input with all its design columns): the
// F test of dropping a term from the model, as R's drop1(fit, test = "F") gives it, and the
// generalized variance inflation factor as car::vif prints it (GVIF and GVIF^(1/(2 Df))).
// Both come from the fit's unscaled covariance C = (X'X)^-1 without a refit: the sum of
// squares a term explains beyond the others is b_T' (C_TT)^-1 b_T, and the GVIF of a term is
// det(R_TT) det(R_OO) / det(R), R the correlation matrix of the non-intercept coefficients
// made from C (O the other terms' columns).
#pragma once

#include "mlrdesign.h"

#include <vector>

namespace orvex {

struct TTermTest {
  int DF = 0;                 // design columns of the term
  double SumOfSquares = 0;    // the increase of the residual sum of squares without the term
  double FValue = 0;
  double PValue = 0;
  double GVIF = 0;
  double ScaledGVIF = 0;      // GVIF^(1/(2 DF))
};

// One test per term of Design. Coefficients: the design's columns (the intercept last when
// the design has one); Cov: C, row-major over the same columns; S2: the residual variance on
// DFRes degrees of freedom. Every figure is NaN where C is not finite (a rank-deficient
// design) or the term has no column.
std::vector<TTermTest> TermTests(const TDesign& Design, const std::vector<double>& Coefficients,
                                 const std::vector<double>& Cov, double S2, int DFRes);

}  // namespace orvex
