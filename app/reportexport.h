// The details report for other programs: as plain text (the memo's lines), as an HTML document
// whose tables are HTML tables, and the coefficient table as tab-separated text and HTML with
// every number in full (the shortest text that reads back as the same double, always with a
// decimal point, whatever the process's locale). No Qt; the window puts these texts on the
// clipboard and into files.
#pragma once

#include "mlrresult.h"

#include <string>
#include <vector>

namespace orvex {

// Lines joined by line feeds, with one after the last.
std::string ReportText(const std::vector<std::string>& Lines);
// A whole HTML document (UTF-8). With a Result, its report and extended block (the memo's text)
// with every table in place as an HTML table and the lines between as preformatted text;
// without one (a failed run), Lines as preformatted text. Title becomes the document's title.
std::string ReportHtml(const std::string& Title, const std::vector<std::string>& Lines, const TMLRResult* Result);
// The coefficients of Result as a table: name, estimate, standard error, t value, p-value, the
// 95 % interval and the VIF (robust standard errors and their tests when the fit has them).
// Numbers in full; a value that means nothing (NaN) is an empty cell, an infinite one "inf" or
// "-inf".
TReportTable CoefficientExportTable(const TMLRResult& Result);
// The number as the shortest text that reads back as the same double, in the C locale.
std::string FullDigits(double Value);

}  // namespace orvex
