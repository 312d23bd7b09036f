// The run over a file read in blocks against the run over the same file's table: the same
// report and extended block to the character, the same coefficients bit for bit, the influence
// measures and predictions to 1e-12, for any block size and thread count.
#include "mlrstream.h"
#include "orvex_tablefile.h"
#include "regress/mlrrun_testutil.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

using namespace orvex;
namespace fs = std::filesystem;

namespace {

class MLRStream : public ::testing::Test {
protected:
  void SetUp() override
  {
    Dir = fs::temp_directory_path() / ("mlrstream_test_" + std::to_string(::getpid()));
    fs::create_directories(Dir);
  }
  void TearDown() override
  {
    fs::remove_all(Dir);
    SetMathThreadCount(0);
  }
  std::string WriteFile(const std::string& Name, const std::string& Text) const
  {
    const fs::path p = Dir / Name;
    std::ofstream(p, std::ios::binary) << Text;
    return p.string();
  }
  fs::path Dir;
};

// What a stream run handed out row by row.
struct TCaptured {
  std::vector<TObjectInfluence> Influence;
  std::vector<std::vector<double>> DFBetas;
  std::vector<TObjectPrediction> Predictions;
};

struct TStreamRun {
  bool Ok = false;
  std::string Error;
  TMLRResultPtr Result;
  TCaptured Rows;
  int Passes = 0;
};

TStreamRun RunStream(const std::string& File, const std::vector<int>& Inputs, int Target,
                     const TBlockReadOptions& Options = {})
{
  TStreamRun out;
  const TBlockSource open = [&](std::string& Message) { return OpenBlockReader(File, {}, Message, Options); };
  std::string message;
  std::unique_ptr<TBlockReader> first = open(message);
  if (!first) {
    out.Error = message;
    return out;
  }
  TMLRStream run;
  run.OnInfluence = [&](TMLRStream*, const TObjectInfluence& O) {
    out.Rows.Influence.push_back(O);
    std::vector<double> d;
    for (int j = 0; j < O.NrOfCoefficients; ++j)
      d.push_back(O.DFBetas[static_cast<std::size_t>(j) * O.Stride]);
    out.Rows.DFBetas.push_back(d);
  };
  run.OnPrediction = [&](TMLRStream*, const TObjectPrediction& P) { out.Rows.Predictions.push_back(P); };
  run.OnRestart = [&](TMLRStream*) { out.Rows = TCaptured(); };
  out.Ok = run.Execute(std::move(first), open, Inputs, Target);
  out.Error = run.ErrorText();
  out.Result = run.Result();
  out.Passes = run.NrOfPasses();
  return out;
}

// The in-memory run over the table of the same file.
TMLRResultPtr RunTable(const std::string& File, const std::vector<int>& Inputs, int Target,
                       std::string* Error = nullptr)
{
  TTableBuilder b;
  if (!ReadTableFile(File, {}, b).Ok())
    return nullptr;
  TDataTable table;
  table.Adopt(std::move(b));
  TRoleState roles(table.NrOfColumns());
  for (int c : Inputs)
    roles.SetInput(c, true);
  roles.SetTarget(Target, true);
  TMLRRun run;
  if (!run.Execute(table, roles)) {
    if (Error)
      *Error = run.ErrorText();
    return nullptr;
  }
  return run.Result();
}

// Within 1e-12 of each other relative to the larger magnitude (NaN matches NaN): the influence
// measures take the residual sum of squares from the triangular factor, not from the residuals.
::testing::AssertionResult Close(double A, double B)
{
  if ((std::isnan(A) && std::isnan(B)) || A == B || std::fabs(A - B) <= 1e-12 * std::max(std::fabs(A), std::fabs(B)))
    return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << A << " vs " << B;
}

void ExpectSameFit(const TMLRResult& M, const TStreamRun& S)
{
  ASSERT_TRUE(S.Ok) << S.Error;
  const TMLRResult& R = *S.Result;
  EXPECT_EQ(R.ReportLines, M.ReportLines);
  EXPECT_EQ(R.ExtendedLines, M.ExtendedLines);
  EXPECT_EQ(R.Caption, M.Caption);
  EXPECT_EQ(R.Coefficients, M.Coefficients);
  EXPECT_EQ(R.StdErrors, M.StdErrors);
  EXPECT_EQ(R.Summary.SRes, M.Summary.SRes);
  EXPECT_EQ(R.Summary.R2, M.Summary.R2);
  EXPECT_EQ(R.Summary.Anova.FValue, M.Summary.Anova.FValue);
  EXPECT_EQ(R.LeftOutRows, M.LeftOutRows);
  EXPECT_EQ(R.Rank, M.Rank);
  EXPECT_EQ(R.Measures.LogLik, M.Measures.LogLik);
  for (std::size_t j = 0; j < M.Measures.Beta.size(); ++j) {
    EXPECT_TRUE(Close(R.Measures.Beta[j], M.Measures.Beta[j])) << j;
    EXPECT_TRUE(Close(R.Inference.Coefficients[j].VIF, M.Inference.Coefficients[j].VIF)) << j;
  }
  const TInfluence& f = M.Influence;
  ASSERT_EQ(S.Rows.Influence.size(), f.Hat.size());
  for (std::size_t i = 0; i < f.Hat.size(); ++i) {
    const TObjectInfluence& o = S.Rows.Influence[i];
    ASSERT_EQ(o.Row, M.UsedRows[i]);
    EXPECT_EQ(o.Hat, f.Hat[i]);
    EXPECT_TRUE(Close(o.RStudent, f.RStudent[i])) << i;
    EXPECT_TRUE(Close(o.CooksDistance, f.CooksDistance[i])) << i;
    EXPECT_TRUE(Close(o.CovRatio, f.CovRatio[i])) << i;
    EXPECT_EQ(o.Flags, f.Flags[i]) << i;
    for (int j = 0; j < f.NrOfCoefficients; ++j)
      EXPECT_TRUE(Close(S.Rows.DFBetas[i][static_cast<std::size_t>(j)], f.DFBeta(static_cast<int>(i), j))) << i;
  }
  const TPredictions& p = M.Predictions;
  ASSERT_EQ(S.Rows.Predictions.size(), p.Rows.size());
  for (std::size_t a = 0; a < p.Rows.size(); ++a) {
    const TObjectPrediction& o = S.Rows.Predictions[a];
    ASSERT_EQ(o.Row, p.Rows[a]);
    EXPECT_EQ(o.Estimate, p.Estimate[a]);
    EXPECT_TRUE(Close(o.Residual, p.Residual[a])) << a;
    EXPECT_TRUE(Close(o.Interval.SEFit, p.SEFit[a])) << a;
    EXPECT_TRUE(Close(o.Interval.PIHigh, p.PIHigh[a])) << a;
  }
}

// Rows of three inputs and a target with missing and not-a-number cells and a few outliers, as
// CSV with row names and CR LF.
std::string CsvData(int Rows, double Offset, unsigned Seed)
{
  std::mt19937 gen(Seed);
  std::normal_distribution<double> n01;
  std::string s = ",x1,x2,x3,y\r\n";
  char buf[200];
  for (int r = 1; r <= Rows; ++r) {
    const double x1 = Offset + n01(gen), x2 = 3 * n01(gen), x3 = n01(gen) * n01(gen);
    const double y = 2 - 0.5 * x1 + 0.25 * x2 + x3 + (r % 97 == 0 ? 20 : 1) * n01(gen);
    std::snprintf(buf, sizeof buf, "obj %d,%.17g,%.17g,%s,%s\r\n", r, x1, x2,
                  r % 41 == 0 ? "NA" : std::to_string(x3).c_str(),
                  r % 53 == 0   ? "NaN"
                  : r % 59 == 0 ? ""
                                : std::to_string(y).c_str());
    s += buf;
  }
  return s;
}

TEST_F(MLRStream, DelimitedFileGivesTheTablesFitForAnyBlocksAndThreads)
{
  // 20000 rows: the reduction runs over chunks, as for a file larger than memory.
  const std::string file = WriteFile("big.csv", CsvData(20000, 0.5, 1));
  const TMLRResultPtr m = RunTable(file, {1, 2, 3}, 4);
  ASSERT_TRUE(m);
  ASSERT_GT(m->LeftOutRows.size(), 900u);
  ASSERT_GT(m->Influence.Flagged.size(), 20u);  // the extended block lists some and says how many more
  struct TCase {
    std::size_t BlockBytes;
    int Threads;
  };
  for (const TCase& c : {TCase{0, 1}, TCase{0, 2}, TCase{300, 4}, TCase{1, 1}}) {
    SCOPED_TRACE(::testing::Message() << "block " << c.BlockBytes << ", threads " << c.Threads);
    SetMathThreadCount(c.Threads);
    TBlockReadOptions o;
    o.BlockBytes = c.BlockBytes;
    o.ChunkSize = c.BlockBytes > 0 ? 1000 : 0;
    const TStreamRun s = RunStream(file, {1, 2, 3}, 4, o);
    ExpectSameFit(*m, s);
    EXPECT_EQ(s.Passes, 2);
  }
}

TEST_F(MLRStream, AscFileWithCtrlZAndASmallDesignGivesTheTablesFit)
{
  // 300 objects: the design fits one chunk and takes the solver's small-design paths.
  std::mt19937 gen(3);
  std::normal_distribution<double> n01;
  std::string text = "made for the test\r\n3\r\n300\r\nTRUE TRUE FALSE FALSE\r\na \"b b\" y\r\n";
  for (int r = 1; r <= 300; ++r) {
    const double a = n01(gen), b = 10 + n01(gen);
    const std::string y = r % 37 == 0 ? "###" : r % 43 == 0 ? "NAN" : std::to_string(a - b + 0.1 * n01(gen));
    text += std::to_string(r % 3) + " " + std::to_string(a) + " " + std::to_string(b) + "\r\n  " + y + "\r\n";
  }
  const std::string file = WriteFile("small.asc", text + "\x1a"
                                                         "999 999\r\n");
  const TMLRResultPtr m = RunTable(file, {1, 2}, 3);
  ASSERT_TRUE(m);
  for (int rows : {0, 1, 16}) {
    TBlockReadOptions o;
    o.BlockRows = rows;
    o.BlockBytes = rows == 0 ? 0 : 40;
    ExpectSameFit(*m, RunStream(file, {1, 2}, 3, o));
  }
}

TEST_F(MLRStream, AscMeasurementTypesGiveTheTablesFitOrTheRefusalOfACategoricalInput)
{
  // An Ordinal input and a Nominal column whose values are not whole numbers (a table rounds
  // them), a numeric input, a target, and the types declared after the rows.
  std::mt19937 gen(5);
  std::normal_distribution<double> n01;
  std::string text = "typed\n4\n2000\nFALSE TRUE FALSE TRUE\no x g y\n";
  for (int r = 1; r <= 2000; ++r) {
    const double o = 2.5 + 1.3 * n01(gen), x = n01(gen), g = 1.5 + n01(gen);
    const double y = 1 + 0.7 * std::nearbyint(o) - x + 0.5 * std::nearbyint(g) + 0.2 * n01(gen);
    text += std::to_string(o) + " " + std::to_string(x) + " " + (r % 29 ? std::to_string(g) : "###") + " " +
            std::to_string(y) + "\n";
  }
  text += "<VARTYPES>\n1 ordinal\n3 nominal <0=a><1=b><2=c>\n</VARTYPES>\n";
  const std::string file = WriteFile("typed.asc", text);
  TBlockReadOptions o;
  o.BlockRows = 300;
  o.BlockBytes = 700;
  // The Ordinal input and the Nominal column as the target: rounded as in the table.
  const TMLRResultPtr m = RunTable(file, {1, 2}, 3);
  ASSERT_TRUE(m);
  ASSERT_EQ(m->LeftOutRows.size(), 68u);
  ExpectSameFit(*m, RunStream(file, {1, 2}, 3, o));
  // The Nominal column as an input: the table codes it as indicators, the stream refuses it.
  ASSERT_TRUE(RunTable(file, {1, 2, 3}, 4));
  const TStreamRun s = RunStream(file, {1, 2, 3}, 4, o);
  EXPECT_FALSE(s.Ok);
  EXPECT_EQ(s.Error, "The input \"g\" is categorical (Nominal): a run over a file in blocks takes numeric inputs only");
}

TEST_F(MLRStream, IllConditionedFitTakesTheRefinementPass)
{
  // An input far from zero next to the intercept: the solver refines the solution against the
  // design, which the stream reads once more for it; and the factor's residual sum of squares
  // is off from the residuals' own by more than the measures may be, so they take a pass of
  // their own.
  const std::string file = WriteFile("far.csv", CsvData(12000, 1e6, 2));
  const TMLRResultPtr m = RunTable(file, {1, 2, 3}, 4);
  ASSERT_TRUE(m);
  TBlockReadOptions o;
  o.BlockBytes = 5000;
  const TStreamRun s = RunStream(file, {1, 2, 3}, 4, o);
  EXPECT_EQ(s.Passes, 4);
  ExpectSameFit(*m, s);
}

TEST_F(MLRStream, FailuresGiveTheRunsAndTheReadersMessages)
{
  std::string text = CsvData(9000, 0, 4);
  const std::string few = WriteFile("few.csv", ",x1,x2,y\n1,1,2,NA\n2,2,3,1\n3,4,5,2\n");
  std::string tableError;
  ASSERT_FALSE(RunTable(few, {1, 2}, 3, &tableError));
  const TStreamRun s = RunStream(few, {1, 2}, 3);
  EXPECT_FALSE(s.Ok);
  EXPECT_EQ(s.Error, tableError);
  EXPECT_EQ(s.Error, "Not enough valid objects: 2 (2 input variables need at least 4)");

  // A bad field in the middle of the file ends the first pass with the reader's message.
  text.insert(text.find("\r\nobj 8000,") + 2, "obj x,1,2,three,4\r\n");
  const std::string bad = WriteFile("bad.csv", text);
  const TStreamRun b = RunStream(bad, {1, 2, 3}, 4);
  EXPECT_FALSE(b.Ok);
  EXPECT_EQ(b.Error, "cannot read the file \"" + bad +
                         "\": line 8001, column 4 (field \"three\"): a text in the number column \"x3\"");
}

}  // namespace
