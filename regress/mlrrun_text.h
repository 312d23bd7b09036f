// Text helpers that the run's report files share.
#pragma once

#include "mlrresult.h"

#include <cstddef>
#include <string>
#include <vector>

namespace orvex {

// Characters (not bytes) of a UTF-8 text.
std::size_t CharCount(const std::string& S);

// Prefix followed by Items joined with ", ", broken after a comma where a line would pass 100
// characters; continuation lines are indented by three spaces.
void AppendWrapped(std::vector<std::string>& Lines, const std::string& Prefix,
                   const std::vector<std::string>& Items);

// The model options' lines and tables at the end of the extended block (robust standard errors,
// the categorical inputs' tests, weights, Ordinal inputs taken as numbers).
void AppendOptionsReport(TMLRResult& R);

// The coefficient tests of the extended block (no title): the name, the estimate, its standard
// error, t, p, the interval and the VIF, a collinear coefficient's reason across the tests.
TReportTable CoefficientTestTable(const TFitInference& Inference, int NameWidth);

// The width of the coefficient names' column that shows every name whole: at least 12.
int CoefficientNameWidth(const std::vector<TCoefficientInference>& Coefficients);

}  // namespace orvex
