// Rendering of the report's tables to fixed text, tab-separated text and HTML.
#include "mlrtable.h"

#include "orvex_stringl.h"

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

}  // namespace

std::vector<std::string> RenderTableText(const TReportTable& Table)
{
  int width = 0;
  for (const TReportColumn& c : Table.Columns)
    width += 1 + c.Width;
  const std::string dash = " " + std::string(static_cast<std::size_t>(std::max(width - 1, 0)), '-');
  std::vector<std::string> lines;
  if (!Table.Title.empty())
    lines.push_back(Table.Title);
  lines.push_back(dash);
  std::string head;
  for (const TReportColumn& c : Table.Columns)
    head += " " + Cell(c, c.Header);
  lines.push_back(TrimRight(head));
  lines.push_back(dash);
  for (const std::vector<std::string>& row : Table.Rows) {
    std::string line;
    for (std::size_t k = 0; k < Table.Columns.size(); ++k)
      line += " " + Cell(Table.Columns[k], k < row.size() ? row[k] : std::string());
    lines.push_back(TrimRight(line));
  }
  lines.push_back(dash);
  return lines;
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

}  // namespace orvex
