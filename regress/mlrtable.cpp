// Rendering of the report's tables to fixed text, tab-separated text and HTML.
#include "mlrtable.h"

#include "mlrrun_text.h"
#include "orvex_stringl.h"

#include <algorithm>

namespace orvex {

namespace {

std::string Cell(const TReportColumn& C, const std::string& Text)
{
  return C.Align == TColumnAlign::Left ? LeftJustify(Text, C.Width) : RightJustify(Text, C.Width);
}

std::string TrimRight(std::string S)
{
  while (!S.empty() && S.back() == ' ')
    S.pop_back();
  return S;
}

std::string TsvField(std::string S)
{
  for (char& c : S)
    if (c == '\t' || c == '\n' || c == '\r')
      c = ' ';
  return S;
}

}  // namespace

std::string HtmlEscaped(const std::string& S)
{
  std::string e;
  for (char c : S) {
    switch (c) {
    case '&': e += "&amp;"; break;
    case '<': e += "&lt;"; break;
    case '>': e += "&gt;"; break;
    case '"': e += "&quot;"; break;
    default: e += c;
    }
  }
  return e;
}

std::vector<std::string> RenderTableText(const TReportTable& Table)
{
  const std::size_t nc = Table.Columns.size();
  int width = 0;
  for (const TReportColumn& c : Table.Columns)
    width += static_cast<int>(CharCount(c.Before)) + c.Width;
  if (Table.TextWidth > 0)
    width = Table.TextWidth;
  const std::string dash = " " + std::string(static_cast<std::size_t>(std::max(width - 1, 0)), '-');
  auto cell = [](const TReportColumn& C, const std::string& Text) {
    if (C.Widen && static_cast<int>(CharCount(Text)) >= C.Width)
      return Text;
    return Cell(C, Text);
  };
  std::vector<std::string> lines;
  if (!Table.Title.empty())
    lines.push_back(Table.Title);
  lines.push_back(dash);
  if (Table.TextHeader) {
    for (const std::string& h : *Table.TextHeader)
      lines.push_back(h);
    if (!Table.TextHeader->empty())
      lines.push_back(dash);
  } else {
    std::string head;
    for (const TReportColumn& c : Table.Columns)
      head += c.Before + cell(c, c.Header);
    lines.push_back(TrimRight(head));
    lines.push_back(dash);
  }
  for (std::size_t r = 0; r < Table.Rows.size(); ++r) {
    const std::vector<std::string>& row = Table.Rows[r];
    std::string line;
    for (std::size_t k = 0; k < nc; ++k) {
      const TReportColumn& c = Table.Columns[k];
      const std::string text = k < row.size() ? row[k] : std::string();
      const auto span = std::find_if(Table.Spans.begin(), Table.Spans.end(),
                                     [&](const TReportSpan& S) { return S.Row == r && S.Column == k; });
      if (span == Table.Spans.end() || span->Count < 2) {
        line += c.Before + cell(c, text);
        continue;
      }
      // The span's width takes in the Before texts of all its columns.
      const std::size_t last = std::min(nc, k + span->Count);
      int w = 0;
      for (std::size_t j = k; j < last; ++j)
        w += static_cast<int>(CharCount(Table.Columns[j].Before)) + Table.Columns[j].Width;
      const int len = static_cast<int>(CharCount(text));
      const int left = std::max((w - len) / 2, 0);
      line += std::string(static_cast<std::size_t>(left), ' ') + text +
              std::string(static_cast<std::size_t>(std::max(w - len - left, 0)), ' ');
      k = last - 1;
    }
    lines.push_back(TrimRight(line));
  }
  lines.push_back(dash);
  return lines;
}

void AppendTable(std::vector<std::string>& Lines, std::vector<TPlacedTable>& Placed, TReportTable Table)
{
  const std::vector<std::string> text = RenderTableText(Table);
  Placed.push_back({Lines.size(), text.size(), std::move(Table)});
  Lines.insert(Lines.end(), text.begin(), text.end());
}

std::vector<std::string> RenderTableTsv(const TReportTable& Table)
{
  std::vector<std::string> lines;
  auto join = [](const std::vector<std::string>& Fields) {
    std::string line;
    for (std::size_t k = 0; k < Fields.size(); ++k)
      line += (k ? "\t" : "") + TsvField(Fields[k]);
    return line;
  };
  std::vector<std::string> head;
  for (const TReportColumn& c : Table.Columns)
    head.push_back(c.Header);
  lines.push_back(join(head));
  for (const std::vector<std::string>& row : Table.Rows)
    lines.push_back(join(row));
  return lines;
}

std::string RenderTableHtml(const TReportTable& Table)
{
  std::string h = "<table>\n";
  if (!Table.Title.empty())
    h += "<caption>" + HtmlEscaped(Table.Title) + "</caption>\n";
  auto cell = [&](const char* Tag, const TReportColumn& C, const std::string& Text) {
    const std::string style = C.Align == TColumnAlign::Right ? " style=\"text-align:right\"" : "";
    return "<" + std::string(Tag) + style + ">" + HtmlEscaped(Text) + "</" + Tag + ">";
  };
  h += "<tr>";
  for (const TReportColumn& c : Table.Columns)
    h += cell("th", c, c.Header);
  h += "</tr>\n";
  for (const std::vector<std::string>& row : Table.Rows) {
    h += "<tr>";
    for (std::size_t k = 0; k < Table.Columns.size(); ++k)
      h += cell("td", Table.Columns[k], k < row.size() ? row[k] : std::string());
    h += "</tr>\n";
  }
  return h + "</table>\n";
}

TReportDocument DocumentOf(const std::vector<std::string>& Lines, const std::vector<TPlacedTable>& Placed)
{
  TReportDocument doc;
  std::size_t next = 0;
  auto text = [&](std::size_t End) {
    if (End > next)
      doc.push_back({std::vector<std::string>(Lines.begin() + static_cast<std::ptrdiff_t>(next),
                                              Lines.begin() + static_cast<std::ptrdiff_t>(End)),
                     std::nullopt});
  };
  for (const TPlacedTable& t : Placed) {
    text(t.FirstLine);
    doc.push_back({{}, t.Table});
    next = t.FirstLine + t.NrOfLines;
  }
  text(Lines.size());
  return doc;
}

TReportDocument ReportDocument(const TMLRResult& Result, bool Extended)
{
  TReportDocument doc = DocumentOf(Result.ReportLines, Result.ReportTables);
  if (Extended) {
    doc.push_back({{""}, std::nullopt});
    const TReportDocument ext = DocumentOf(Result.ExtendedLines, Result.ExtendedTables);
    doc.insert(doc.end(), ext.begin(), ext.end());
  }
  return doc;
}

std::vector<std::string> RenderDocumentText(const TReportDocument& Document)
{
  std::vector<std::string> lines;
  for (const TReportBlock& b : Document) {
    const std::vector<std::string> text = b.Table ? RenderTableText(*b.Table) : b.Lines;
    lines.insert(lines.end(), text.begin(), text.end());
  }
  return lines;
}

std::string RenderDocumentHtml(const TReportDocument& Document)
{
  std::string h;
  for (const TReportBlock& b : Document) {
    if (b.Table) {
      h += RenderTableHtml(*b.Table);
      continue;
    }
    h += "<pre>";
    for (const std::string& line : b.Lines)
      h += HtmlEscaped(line) + "\n";
    h += "</pre>\n";
  }
  return h;
}

}  // namespace orvex
