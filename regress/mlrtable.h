// The report's tables rendered three ways: the fixed text of the details memo (each column at
// its width and alignment after one space, a dash line above and below the header and at the
// end), tab-separated text for other programs (a header line, then the rows; no padding), and
// an HTML table (texts escaped). A table is a TReportTable of mlrresult.h: column headers,
// widths and alignments, and rows of cell texts made by the run. The report itself is a
// TReportDocument of text and table blocks: the report's lines with their tables in place.
#pragma once

#include "mlrresult.h"

#include <optional>
#include <string>
#include <vector>

namespace orvex {

// The fixed-text lines: the title (when not empty), a dash line, the header, a dash line, one
// line per row, a dash line. Each cell follows its column's Before text; a cell longer than its
// column keeps its first Width characters unless the column widens; a span centres its text
// over its columns; trailing spaces are dropped. A TextHeader replaces the header line (no
// lines: neither the header nor the dash line under it).
std::vector<std::string> RenderTableText(const TReportTable& Table);
// Appends the fixed text of Table to Lines and notes where it stands in Placed.
void AppendTable(std::vector<std::string>& Lines, std::vector<TPlacedTable>& Placed, TReportTable Table);
// Header and rows, fields separated by tabs, one line each; a tab or line break inside a cell
// becomes a space.
std::vector<std::string> RenderTableTsv(const TReportTable& Table);
// <table> with a <caption> for the title, a header row of <th> and rows of <td>; right-aligned
// columns carry style="text-align:right". &, <, > and " are escaped.
std::string RenderTableHtml(const TReportTable& Table);

// A report as its blocks in order: runs of text lines and tables. The fixed text of a table
// block is RenderTableText(Table); rendering every block as text gives the report's lines.
struct TReportBlock {
  std::vector<std::string> Lines;    // a block of text: its lines
  std::optional<TReportTable> Table;  // a table block
};
using TReportDocument = std::vector<TReportBlock>;

// The details report of a result, then with Extended an empty line and the extended block,
// as the window's memo and mlrreport --extended show them.
TReportDocument ReportDocument(const TMLRResult& Result, bool Extended);
// Lines and Placed as blocks (ReportDocument's steps).
TReportDocument DocumentOf(const std::vector<std::string>& Lines, const std::vector<TPlacedTable>& Placed);
// Every block's fixed text, one entry per line.
std::vector<std::string> RenderDocumentText(const TReportDocument& Document);
// &, <, > and " as HTML entities.
std::string HtmlEscaped(const std::string& S);
// Text blocks as <pre> (escaped), tables by RenderTableHtml.
std::string RenderDocumentHtml(const TReportDocument& Document);

}  // namespace orvex
