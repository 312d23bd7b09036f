// The texts and the histogram of a regression run: the caption of the fit chart, the details
// report line by line, and the binning of the residuals. Every number goes through FormatReal,
// so the report reads the same in the window, in the command-line tool and in the tests.
#include "mlrrun.h"

#include "orvex_datatable.h"
#include "orvex_datatable_text.h"
#include "orvex_stringl.h"

#include <algorithm>
#include <cmath>

namespace orvex {

namespace {

// " " and 55 dashes, the rule between the report's blocks.
std::string DashLine()
{
  return " " + RepeatChar('-', 55);
}

// Degrees of freedom in the ANOVA table: right-justified under "DF" in four characters; a
// larger count widens the field instead of losing its trailing digits.
std::string DFField(int DF)
{
  const std::string s = std::to_string(DF);
  return s.size() >= 4 ? s : RightJustify(s, 4);
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
                                         const double* Coef, const double* Dx)
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
  r.push_back(DashLine());
  r.push_back(" ANOVA        DF  sum of squares   mean square      F");
  r.push_back(DashLine());
  r.push_back(" Regression " + DFField(a.DFReg) + "   " + FormatReal(a.SSReg, 12, -2) + "   " +
              FormatReal(a.MSReg, 12, -2) + "   " + fText);
  r.push_back("   Residual " + DFField(a.DFRes) + "   " + FormatReal(a.SSRes, 12, -2) + "   " +
              FormatReal(a.MSRes, 12, -2));
  r.push_back("      Total " + DFField(a.DFTot) + "   " + FormatReal(a.SSTot, 12, -2));
  r.push_back(DashLine());
  r.push_back("");
  r.push_back(" Regression coefficients:");
  r.push_back(DashLine());
  if (Form.Intercept)
    r.push_back(" INTERCEPT     " + FormatReal(Coef[p], 14, -2) + " +/-" + FormatReal(stdErr(p + 1), 14, -2));
  for (int j = 1; j <= p; ++j)
    r.push_back(" " + LeftJustify(ReportName(InputNames[static_cast<std::size_t>(j - 1)]), 12) + "  " +
                FormatReal(Coef[j - 1], 14, -2) + " +/-" + FormatReal(stdErr(j), 14, -2));
  r.push_back(DashLine());
  return r;
}

void TMLRRun::MakeReport(const TDataTable& Table)
{
  FReportLines =
      MakeReportLines(FSummary, Form(), Table.ColName(FTargetCol), FDesign.ColumnNames, FVecX.Data(), FVecDx.Data());
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
