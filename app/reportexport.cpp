// The report as plain text and HTML, and the coefficient table in full digits.
#include "reportexport.h"

#include "mlrtable.h"

#include <charconv>
#include <cmath>

namespace orvex {

namespace {

std::string Cell(double Value)
{
  if (std::isnan(Value))
    return {};
  return FullDigits(Value);
}

}  // namespace

std::string FullDigits(double Value)
{
  if (std::isnan(Value))
    return "nan";
  if (std::isinf(Value))
    return Value > 0 ? "inf" : "-inf";
  char buf[64];
  const std::to_chars_result r = std::to_chars(buf, buf + sizeof buf, Value);
  return std::string(buf, r.ptr);
}

std::string ReportText(const std::vector<std::string>& Lines)
{
  std::string text;
  for (const std::string& line : Lines)
    text += line + '\n';
  return text;
}

std::string ReportHtml(const std::string& Title, const std::vector<std::string>& Lines, const TMLRResult* Result)
{
  std::string h = "<!DOCTYPE html>\n<html>\n<head>\n<meta charset=\"utf-8\">\n<title>" + HtmlEscaped(Title) +
                  "</title>\n<style>\ntable { border-collapse: collapse; margin: 1em 0; }\n"
                  "th, td { border: 1px solid #999; padding: 2px 8px; }\n"
                  "caption { text-align: left; font-weight: bold; }\n</style>\n</head>\n<body>\n";
  if (Result)
    return h + RenderDocumentHtml(ReportDocument(*Result, true)) + "</body>\n</html>\n";
  h += "<pre>";
  for (const std::string& line : Lines)
    h += HtmlEscaped(line) + '\n';
  h += "</pre>\n";
  return h + "</body>\n</html>\n";
}

TReportTable CoefficientExportTable(const TMLRResult& Result)
{
  const TRobustInference& robust = Result.Robust;
  const bool hasRobust = robust.Type != TRobustType::None && !robust.StdErrors.empty();
  TReportTable t;
  t.Title = "Coefficients";
  t.Columns = {{"Coefficient", 12, TColumnAlign::Left}};
  for (const char* h : {"Estimate", "Std. Error", "t value", "Pr(>|t|)", "CI 2.5 %", "CI 97.5 %", "VIF"})
    t.Columns.push_back({h, 24, TColumnAlign::Right});
  if (hasRobust)
    for (const char* h : {"Robust Std. Error", "Robust t value", "Robust Pr(>|t|)", "Robust CI 2.5 %",
                          "Robust CI 97.5 %"})
      t.Columns.push_back({h, 24, TColumnAlign::Right});
  const std::vector<TCoefficientInference>& coefficients = Result.Inference.Coefficients;
  for (std::size_t j = 0; j < coefficients.size(); ++j) {
    const TCoefficientInference& c = coefficients[j];
    std::vector<std::string> row = {c.Name,         Cell(c.Estimate), Cell(c.StdError), Cell(c.TValue),
                                    Cell(c.PValue), Cell(c.CILow),    Cell(c.CIHigh),   Cell(c.VIF)};
    if (hasRobust) {
      auto at = [j](const std::vector<double>& V) { return j < V.size() ? Cell(V[j]) : std::string(); };
      for (const std::vector<double>* v :
           {&robust.StdErrors, &robust.TValues, &robust.PValues, &robust.CILow, &robust.CIHigh})
        row.push_back(at(*v));
    }
    t.Rows.push_back(std::move(row));
  }
  return t;
}

}  // namespace orvex
