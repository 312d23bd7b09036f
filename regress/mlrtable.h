// The report's tables rendered three ways: the fixed text of the details memo (each column at
// its width and alignment after one space, a dash line above and below the header and at the
// end), tab-separated text for other programs (a header line, then the rows; no padding), and
// an HTML table (texts escaped). A table is a TReportTable of mlrresult.h: column headers,
// widths and alignments, and rows of cell texts made by the run.
#pragma once

#include "mlrresult.h"

#include <string>
#include <vector>

namespace orvex {

// The fixed-text lines: the title (when not empty), a dash line, the header, a dash line, one
// line per row, a dash line. A cell longer than its column keeps its first Width characters;
// trailing spaces are dropped.
std::vector<std::string> RenderTableText(const TReportTable& Table);
// Header and rows, fields separated by tabs, one line each; a tab or line break inside a cell
// becomes a space.
std::vector<std::string> RenderTableTsv(const TReportTable& Table);
// <table> with a <caption> for the title, a header row of <th> and rows of <td>; right-aligned
// columns carry style="text-align:right". &, <, > and " are escaped.
std::string RenderTableHtml(const TReportTable& Table);

}  // namespace orvex
