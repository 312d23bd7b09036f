// The texts and the histogram of a regression run: the caption of the fit chart, the details
// report line by line, and the binning of the residuals. Every number goes through FormatReal,
// so the report reads the same in the window, in the command-line tool and in the tests.
#include "mlrrun.h"
#include "mlrtable.h"

#include "orvex_datatable.h"
#include "orvex_datatable_text.h"
#include "orvex_stringl.h"

#include <algorithm>
#include <cmath>

namespace orvex {

namespace {

// The rules between the report's blocks: " " and 55 dashes.
constexpr int ReportWidth = 56;

// A number of the report's tables: FormatReal's text for a field of Width characters without
// the padding, which the table's column gives back.
std::string Number(long double Value, int Width)
{
  const std::string s = FormatReal(Value, Width, -2);
  return s.substr(std::min(s.find_first_not_of(' '), s.size()));
}

}  // namespace

std::string ReportName(const std::string& Name)
{
  std::string s = Name;
  for (char& c : s)
    if (static_cast<unsigned char>(c) < 32)
      c = ' ';
  return s;
}

std::string MakeFText(double FValue)
{
  if (FValue > 1E6)
    return " >1E6";
  return FormatReal(FValue, 1, 3);
}

std::string MakeCaption(const TFitSummary& Summary)
{
  return "r2 = " + FormatReal(Summary.R2, 1, 6) + "  F = " + MakeFText(Summary.Anova.FValue);
}

std::vector<std::string> MakeReportLines(const TFitSummary& Summary, const TModelForm& Form,
                                         const std::string& TargetName, const std::vector<std::string>& InputNames,
                                         const double* Coef, const double* Dx, std::vector<TPlacedTable>& Placed)
{
  const TFitSummary& s = Summary;
  const TAnovaTable& a = s.Anova;
  const int p = s.NrOfInputs;
  const std::string fText = MakeFText(a.FValue);
  // Standard error of a coefficient: its unscaled deviation times the residual deviation.
  auto stdErr = [Dx, &s](int j) {
    return static_cast<long double>(Dx[j - 1]) * static_cast<long double>(s.SRes);
  };

  std::vector<std::string> r;
  r.push_back("Number of Objects .............: " + std::to_string(s.NrOfObjects));
  if (s.NrOfMissing > 0)
    r.push_back("Objects with Missing Values ...: " + std::to_string(s.NrOfMissing));
  if (s.NrOfExcluded > 0)
    r.push_back("Objects Excluded by the User ...: " + std::to_string(s.NrOfExcluded));
  r.push_back("Number of Input Variables .....: " + std::to_string(p));
  const int n = p + (Form.Intercept ? 1 : 0);
  r.push_back("Degrees of Freedom ............: " + std::to_string(s.NrOfObjects - n));
  // The line holds at most 83 characters; names (at most 50) always fit whole.
  r.push_back(dtext::Utf8Left("Target Variable ...............: " + ReportName(TargetName), 83));
  r.push_back("");
  r.push_back("Standard Dev. of Residuals ....: " + FormatReal(s.SRes, 1, 4));
  r.push_back("Quality of Fit ................: " + FormatReal(s.R2, 1, 4));
  if (!Form.Intercept)
    r.push_back(NoInterceptNote);
  r.push_back("");

  // The analysis of variance: the source right-aligned, the degrees of freedom in four
  // characters, the numbers after three spaces; the heading is the report's own line.
  TReportTable anova;
  anova.Columns = {{"Source", 10, TColumnAlign::Right},
                   {"DF", 4, TColumnAlign::Right, " ", true},
                   {"Sum of squares", 12, TColumnAlign::Right, "   ", true},
                   {"Mean square", 12, TColumnAlign::Right, "   ", true},
                   {"F", 7, TColumnAlign::Left, "   ", true}};
  anova.TextHeader = std::vector<std::string>{" ANOVA        DF  sum of squares   mean square      F"};
  anova.TextWidth = ReportWidth;
  anova.Rows = {{"Regression", std::to_string(a.DFReg), Number(a.SSReg, 12), Number(a.MSReg, 12), fText},
                {"Residual", std::to_string(a.DFRes), Number(a.SSRes, 12), Number(a.MSRes, 12)},
                {"Total", std::to_string(a.DFTot), Number(a.SSTot, 12)}};
  AppendTable(r, Placed, std::move(anova));
  r.push_back("");

  // The coefficients, the intercept first, each with its standard error after "+/-"; no heading.
  TReportTable coef;
  coef.Title = " Regression coefficients:";
  coef.Columns = {{"Coefficient", 12, TColumnAlign::Left},
                  {"Estimate", 14, TColumnAlign::Right, "  ", true},
                  {"Std. Error", 14, TColumnAlign::Right, " +/-", true}};
  coef.TextHeader = std::vector<std::string>();
  coef.TextWidth = ReportWidth;
  if (Form.Intercept)
    coef.Rows.push_back({"INTERCEPT", Number(Coef[p], 14), Number(stdErr(p + 1), 14)});
  for (int j = 1; j <= p; ++j)
    coef.Rows.push_back({ReportName(InputNames[static_cast<std::size_t>(j - 1)]), Number(Coef[j - 1], 14),
                         Number(stdErr(j), 14)});
  AppendTable(r, Placed, std::move(coef));
  return r;
}

void TMLRRun::MakeReport(const TDataTable& Table)
{
  FReportTables.clear();
  FReportLines = MakeReportLines(FSummary, Form(), Table.ColName(FTargetCol), FDesign.ColumnNames, FVecX.Data(),
                                 FVecDx.Data(), FReportTables);
}

// Bins the residuals (estimated minus actual) of the pairs in Stats between ResidMin and
// ResidMax. The number of bins follows the table's row count, not the number of pairs.
void TMLRRun::MakeHistogram(const TDataTable& Table, TResidualHistogram& Histogram) const
{
  TResidualHistogram& h = Histogram;
  const int nrRows = std::max(Table.NrOfRows(), 0);
  h.NrOfBins = std::clamp(static_cast<int>(std::lround(std::sqrt(static_cast<double>(nrRows)))),
                          7, 100);
  const int nb = h.NrOfBins;
  double w = (FResidMax - FResidMin) / nb;
  if (w < 1e-14)
    w = 0;
  h.BinWidth = w;

  // The residuals are those of the statistics pairs (estimated minus actual value), binned in
  // fixed row blocks on the math threads; the counts of the blocks add up exactly, and as a
  // count only grows the largest final count is the largest one ever reached.
  const int np = FStats.NumPairs();
  const double* actual = FVecC.Data();
  const double* est = FEstimates.data();
  const double* sw = Weighted() ? FSqrtW.data() : nullptr;
  const int blocks = (np + PointBlock - 1) / PointBlock;
  std::vector<int> blockCounts(static_cast<std::size_t>(blocks) * static_cast<std::size_t>(nb), 0);
  ForEachMathTask(blocks, [&](int k) {
    int* counts = blockCounts.data() + static_cast<std::size_t>(k) * static_cast<std::size_t>(nb);
    const int end = std::min(np, (k + 1) * PointBlock);
    for (int i = k * PointBlock; i < end; ++i) {
      const double r = sw ? (est[i] - actual[i]) / sw[i] : est[i] - actual[i];
      int b = 1;
      if (w != 0)
        b = static_cast<int>(std::trunc((r - FResidMin) / w)) + 1;
      b = std::clamp(b, 1, nb);  // the largest residual falls into the last bin
      ++counts[b - 1];
    }
  });
  std::vector<int> counts(static_cast<std::size_t>(nb), 0);
  for (std::size_t k = 0; k < blockCounts.size(); ++k)
    counts[k % static_cast<std::size_t>(nb)] += blockCounts[k];
  h.MaxCount = *std::max_element(counts.begin(), counts.end());

  h.Bars.clear();
  h.Bars.reserve(static_cast<std::size_t>(nb));
  for (int k = 1; k <= nb; ++k)
    h.Bars.push_back(THistogramBar{FResidMin + (k - 1) * w, FResidMin + k * w,
                                   counts[static_cast<std::size_t>(k - 1)]});

  const double span = FResidMax - FResidMin;
  h.LowX = FResidMin - 0.05 * span;
  h.HighX = FResidMax + 0.05 * span;
  h.LowY = 0;
  h.HighY = h.MaxCount + 1;
  // Limited to 63 characters; names (at most 50) always fit whole.
  h.XCaption = dtext::Utf8Left("residuals of " + ReportName(Table.ColName(FTargetCol)), 63);
  h.YCaption = "count";
}

}  // namespace orvex
