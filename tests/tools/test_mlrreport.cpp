// mlrreport run as a process: its report, caption, values and CSV output, and every error path
// with its exit status and message.
#include "demodata.h"
#include "mlrrun.h"
#include "orvex_datatable.h"
#include "data/table_dump.h"
#include "regress/mlrrun_testutil.h"

#include "tool_testutil.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

using namespace orvex;
namespace fs = std::filesystem;
using tool_test::ReadFile;
using tool_test::ShellQuoted;
using tool_test::TToolResult;

namespace {

class MLRReportTool : public tool_test::TToolProcessTest {
protected:
  MLRReportTool() : TToolProcessTest(MLRREPORT_PATH, "mlrreport") {}
};

std::vector<std::string> Lines(const std::string& S)
{
  std::vector<std::string> lines;
  std::istringstream in(S);
  for (std::string l; std::getline(in, l);)
    lines.push_back(l);
  return lines;
}

// Seven objects, two of them with a missing value; row attributes and names.
const char* const SmallAsc =
    "Test table for the report tool\n"
    "3\n"
    "7\n"
    "TRUE TRUE TRUE FALSE\n"
    "x1 \"second x\" y\n"
    "0 a 1 4 7.5\n"
    "1 b 2 NAN 9\n"
    "2 \"row c\" 3 5 ###\n"
    "0 d 4 1 6.25\n"
    "3 e 5 7 15\n"
    "0 f 6 2 10.5\n"
    "0 g 7 3 -12e-1\n";

// The demonstration example (inputs Length and Width, target Net Weight) run in process, to
// compare the tool's output with.
bool RunDemoExample(TMLRRun& Run)
{
  TDataTable table;
  LoadDemoData(table);
  TRoleState roles(6);
  roles.SetInput(3, true);
  roles.SetInput(4, true);
  roles.SetTarget(6, true);
  return Run.Execute(table, roles);
}

}  // namespace

TEST_F(MLRReportTool, DemonstrationReportWithCaptionMatchesTheRun)
{
  TMLRRun run;
  ASSERT_TRUE(RunDemoExample(run));

  // The command that stands in for the window in `make run`.
  const TToolResult byName = Run({"--inputs", "Length,Width", "--target", "Net Weight", "--caption"});
  ASSERT_EQ(byName.Status, 0) << byName.Err;
  EXPECT_EQ(byName.Err, "");
  std::vector<std::string> expected = {run.Caption()};
  expected.insert(expected.end(), run.ReportLines().begin(), run.ReportLines().end());
  EXPECT_EQ(Lines(byName.Out), expected);
  EXPECT_EQ(Lines(byName.Out)[0], "r2 = 0.903586  F = 173.381");

  // Column numbers, in any order, give the same report; without --caption it starts at line 1.
  const TToolResult byNumber = Run({"--target", "6", "--inputs", "4,3"});
  ASSERT_EQ(byNumber.Status, 0) << byNumber.Err;
  EXPECT_EQ(Lines(byNumber.Out), run.ReportLines());
}

TEST_F(MLRReportTool, ValuesGiveEveryNumberWithAllDigits)
{
  TMLRRun run;
  ASSERT_TRUE(RunDemoExample(run));

  const TToolResult r = Run({"--inputs", "Width,Length", "--target", "Net Weight", "--values"});
  ASSERT_EQ(r.Status, 0) << r.Err;
  const std::vector<std::string> lines = Lines(r.Out);
  // 14 lines of the fit, then adj_r2, f_p and three coefstat lines, then loglik, aic, bic and
  // two beta lines.
  ASSERT_EQ(lines.size(), 24u);
  const std::vector<std::string> keys = {"n",   "p",  "df", "missing", "near_singular", "sres",
                                         "r2",  "f",  "ssreg", "ssres", "sstot"};
  std::map<std::string, double> v;
  for (std::size_t i = 0; i < keys.size(); ++i) {
    const std::size_t tab = lines[i].find('\t');
    ASSERT_NE(tab, std::string::npos) << lines[i];
    EXPECT_EQ(lines[i].substr(0, tab), keys[i]);
    v[keys[i]] = std::strtod(lines[i].c_str() + tab + 1, nullptr);
  }
  const TFitSummary& s = run.Summary();
  EXPECT_EQ(v["n"], 40);
  EXPECT_EQ(v["p"], 2);
  EXPECT_EQ(v["df"], 37);
  EXPECT_EQ(v["missing"], 0);
  EXPECT_EQ(v["near_singular"], 0);
  // %.17g round-trips a double exactly.
  EXPECT_EQ(v["sres"], s.SRes);
  EXPECT_EQ(v["r2"], s.R2);
  EXPECT_EQ(v["f"], s.Anova.FValue);
  EXPECT_EQ(v["ssreg"], s.Anova.SSReg);
  EXPECT_EQ(v["ssres"], s.Anova.SSRes);
  EXPECT_EQ(v["sstot"], s.Anova.SSTot);

  const char* names[] = {"Length", "Width", "INTERCEPT"};
  for (int j = 1; j <= 3; ++j) {
    std::istringstream in(lines[static_cast<std::size_t>(10 + j)]);
    std::string tag, name, value, stdErr;
    std::getline(in, tag, '\t');
    std::getline(in, name, '\t');
    std::getline(in, value, '\t');
    std::getline(in, stdErr, '\t');
    EXPECT_EQ(tag, "coef");
    EXPECT_EQ(name, names[j - 1]);
    EXPECT_EQ(std::strtod(value.c_str(), nullptr), run.VecX().Elem(j));
    EXPECT_EQ(std::strtod(stdErr.c_str(), nullptr), run.VecDx().Elem(j) * s.SRes);
  }

  // --caption puts the caption line before the values.
  const TToolResult withCaption =
      Run({"--inputs", "Width,Length", "--target", "Net Weight", "--values", "--caption"});
  ASSERT_EQ(withCaption.Status, 0) << withCaption.Err;
  std::vector<std::string> expected = {run.Caption()};
  expected.insert(expected.end(), lines.begin(), lines.end());
  EXPECT_EQ(Lines(withCaption.Out), expected);
}

TEST_F(MLRReportTool, AscFileWithMissingValuesAndItsCsv)
{
  const std::string file = WriteFile("small.asc", SmallAsc);
  const TToolResult r = Run({file, "--inputs", "x1,second x", "--target", "3", "--values"});
  ASSERT_EQ(r.Status, 0) << r.Err;
  const std::vector<std::string> lines = Lines(r.Out);
  ASSERT_GE(lines.size(), 4u);
  EXPECT_EQ(lines[0], "n\t5");
  EXPECT_EQ(lines[2], "df\t2");
  EXPECT_EQ(lines[3], "missing\t2");

  const TToolResult report = Run({file, "--inputs", "1,2", "--target", "y"});
  ASSERT_EQ(report.Status, 0) << report.Err;
  const std::vector<std::string> rl = Lines(report.Out);
  ASSERT_EQ(rl.size(), 23u);
  EXPECT_EQ(rl[0], "Number of Objects .............: 5");
  EXPECT_EQ(rl[1], "Objects with Missing Values ...: 2");
  EXPECT_EQ(rl[21], " second x      " + rl[21].substr(15));

  const TToolResult csv = Run({file, "--csv"});
  ASSERT_EQ(csv.Status, 0) << csv.Err;
  EXPECT_EQ(csv.Out,
            "\"name\",\"attribute\",\"x1\",\"second x\",\"y\"\r\n"
            "\"a\",0,1,4,7.5\r\n"
            "\"b\",1,2,NaN,9\r\n"
            "\"row c\",2,3,5,\r\n"
            "\"d\",0,4,1,6.25\r\n"
            "\"e\",3,5,7,15\r\n"
            "\"f\",0,6,2,10.5\r\n"
            "\"g\",0,7,3,-1.2\r\n");

  // Without a file, the demonstration data; a quote in a name is doubled.
  const TToolResult demo = Run({"--csv"});
  ASSERT_EQ(demo.Status, 0) << demo.Err;
  const std::vector<std::string> dl = Lines(demo.Out);
  ASSERT_EQ(dl.size(), 41u);
  EXPECT_EQ(dl[0], "\"name\",\"attribute\",\"Total Weight\",\"Weight Skin\",\"Length\",\"Width\","
                   "\"Outer Length\",\"Net Weight\"\r");
  EXPECT_EQ(dl[40], "\"R-40\",0,104,36,130,34,196,68\r");
  const std::string quoted = WriteFile("quote.asc", "c\n1\n1\nFALSE TRUE FALSE FALSE\na\"\"b\n2.5\n");
  EXPECT_EQ(Run({quoted, "--csv"}).Out, "\"name\",\"attribute\",\"a\"\"b\"\r\n\"R-1\",0,2.5\r\n");
}

TEST_F(MLRReportTool, ErrorsGoToStandardErrorWithStatusTwo)
{
  const std::string small = WriteFile("small.asc", SmallAsc);
  const std::string badToken =
      WriteFile("bad.asc", "bad\n2\n2\nFALSE FALSE FALSE FALSE\n1 2\n3 abc\n");
  const std::string badCount = WriteFile("count.asc", "bad\nzero\n2\nFALSE FALSE FALSE FALSE\n");
  const std::string tiny =
      WriteFile("tiny.asc", "tiny\n3\n3\nFALSE FALSE FALSE FALSE\n1 2 3\n2 1 5\n4 4 4\n");
  const std::string huge = WriteFile(
      "huge.asc", "huge\n2\n6\nFALSE FALSE FALSE FALSE\n1 1.7e308\n2 -1.7e308\n3 1.7e308\n"
                  "4 -1.7e308\n5 1.7e308\n6 -1.7e308\n");
  const std::string missing = (Dir / "no such file.asc").string();
  const std::string empty = WriteFile("empty.asc", "");
  const std::string sameNames =
      WriteFile("same.asc", "c\n3\n4\nFALSE TRUE FALSE FALSE\nx x y\n1 2 3\n2 3 5\n3 5 4\n4 4 9\n");

  struct TCase {
    std::vector<std::string> Args;
    std::string Message;
  };
  const std::vector<TCase> cases = {
      {{missing, "--inputs", "1", "--target", "2"},
       "cannot read the ASC file \"" + missing + "\": result code -8 (the file does not exist or cannot be read)"},
      {{badToken, "--inputs", "1", "--target", "2"},
       "\"" + badToken + "\": result code -6 (a value token is not a valid token)"},
      {{badCount, "--csv"}, "result code -1 (the column count is missing"},
      {{empty, "--csv"}, "\"" + empty + "\": result code -1"},
      {{sameNames, "--inputs", "x", "--target", "y"},
       "column name \"x\" in --inputs is ambiguous (columns 1 and 2); give the column number"},
      {{"--inputs", "Length"}, "no target variable given"},
      {{"--target", "Length"}, "no input variable given"},
      {{"--inputs", "Length,Width", "--target", "Width"},
       "the target variable \"Width\" is also among the inputs"},
      {{"--inputs", "Lenght", "--target", "6"}, "unknown column \"Lenght\" in --inputs"},
      {{"--inputs", "3", "--target", "9"}, "unknown column number 9 in --target (the table has 6 columns)"},
      {{"--inputs", "0", "--target", "6"}, "unknown column number 0"},
      {{"--inputs", "3,,4", "--target", "6"}, "empty column in --inputs"},
      {{"--inputs", "Length,3", "--target", "6"}, "column \"Length\" is given twice in --inputs"},
      {{tiny, "--inputs", "1,2", "--target", "3"},
       "Not enough valid objects: 3 (2 input variables need at least 4)"},
      {{small, "--inputs", "1,2", "--target", "3", "--caption", "--csv"}, "--csv cannot be combined"},
      {{huge, "--inputs", "1", "--target", "2"}, "Regression failed: "},
      {{"--inputs", "3", "--target", "6", "--colour"}, "unknown option --colour"},
      {{"--inputs"}, "option --inputs needs a value"},
      {{small, small, "--csv"}, "more than one file given"},
      {{"--inputs", "3", "--target", "6", "--values", "--extended"},
       "--values cannot be combined with --extended"},
      {{"--extended", "--csv"}, "--csv cannot be combined"},
  };
  for (const TCase& c : cases) {
    const TToolResult r = Run(c.Args);
    std::string args;
    for (const std::string& a : c.Args)
      args += " " + a;
    EXPECT_EQ(r.Status, 2) << args;
    EXPECT_EQ(r.Out, "") << args;
    EXPECT_EQ(r.Err.rfind("mlrreport: ", 0), 0u) << args << "\n" << r.Err;
    EXPECT_NE(r.Err.find(c.Message), std::string::npos) << args << "\n" << r.Err;
  }
}

TEST_F(MLRReportTool, CollinearInputsWarnOnStandardErrorAndNamesStayOnOneLine)
{
  // Total Weight is exactly Weight Skin plus Net Weight in the demonstration data.
  const TToolResult r = Run({"--inputs", "1,2,6", "--target", "Length"});
  ASSERT_EQ(r.Status, 0) << r.Err;
  EXPECT_EQ(r.Err, "mlrreport: Warning: some of the selected input variables are highly collinear!!\n");
  EXPECT_EQ(Lines(r.Out).size(), 23u);
  const TToolResult v = Run({"--inputs", "1,2,6", "--target", "Length", "--values"});
  EXPECT_NE(v.Out.find("near_singular\t1\n"), std::string::npos);
  EXPECT_EQ(v.Err, r.Err);

  // A quoted name with a tab and a line break: the value lines keep four fields, the report
  // keeps its line count.
  const std::string file = WriteFile(
      "names.asc", "c\n2\n4\nFALSE TRUE FALSE FALSE\n\"a\tb\" \"y\nz\"\n1 2\n2 3.5\n3 3\n4 5\n");
  const TToolResult values = Run({file, "--inputs", "1", "--target", "2", "--values"});
  ASSERT_EQ(values.Status, 0) << values.Err;
  const std::vector<std::string> vl = Lines(values.Out);
  ASSERT_EQ(vl.size(), 21u);
  EXPECT_EQ(vl[11].rfind("coef\ta b\t", 0), 0u) << vl[11];
  EXPECT_EQ(std::count(vl[11].begin(), vl[11].end(), '\t'), 3);
  EXPECT_EQ(vl[15].rfind("coefstat\ta b\t", 0), 0u) << vl[15];
  EXPECT_EQ(std::count(vl[15].begin(), vl[15].end(), '\t'), 6);
  const TToolResult report = Run({file, "--inputs", "1", "--target", "2"});
  const std::vector<std::string> rl = Lines(report.Out);
  ASSERT_EQ(rl.size(), 21u);
  EXPECT_EQ(rl[3], "Target Variable ...............: y z");
}

TEST_F(MLRReportTool, HelpExplainsTheOptionsAndErrors)
{
  const TToolResult r = Run({"--help"});
  EXPECT_EQ(r.Status, 0);
  EXPECT_EQ(r.Err, "");
  for (const char* word : {"Usage:", "--inputs LIST", "--target COL", "--caption", "--values",
                           "--csv", "near_singular", "INTERCEPT", "Exit status", "-6", "-8",
                           "--extended", "adj_r2", "f_p", "coefstat", "VIF", "< 1e-16",
                           "n/a (collinear)"})
    EXPECT_NE(r.Out.find(word), std::string::npos) << word;
}

// Tab-separated fields of one output line.
std::vector<std::string> Fields(const std::string& Line)
{
  std::vector<std::string> f;
  std::size_t start = 0;
  for (;;) {
    const std::size_t tab = Line.find('\t', start);
    f.push_back(Line.substr(start, tab - start));
    if (tab == std::string::npos)
      return f;
    start = tab + 1;
  }
}

TEST_F(MLRReportTool, ExtendedBlockAndInferenceValues)
{
  TMLRRun run;
  ASSERT_TRUE(RunDemoExample(run));

  // The fixed report unchanged, one empty line, the extended block.
  const TToolResult e = Run({"--inputs", "Length,Width", "--target", "Net Weight", "--extended"});
  ASSERT_EQ(e.Status, 0) << e.Err;
  std::vector<std::string> expected = run.ReportLines();
  expected.push_back("");
  expected.insert(expected.end(), run.ExtendedLines().begin(), run.ExtendedLines().end());
  EXPECT_EQ(Lines(e.Out), expected);

  // The new value lines round-trip the run's numbers; the old ones stay in front.
  const TToolResult v = Run({"--inputs", "Length,Width", "--target", "Net Weight", "--values"});
  ASSERT_EQ(v.Status, 0) << v.Err;
  const std::vector<std::string> lines = Lines(v.Out);
  ASSERT_EQ(lines.size(), 24u);
  EXPECT_EQ(lines[13], "coef\tINTERCEPT\t" + Fields(lines[13])[2] + "\t" + Fields(lines[13])[3]);
  const TFitInference& inf = run.Inference();
  EXPECT_EQ(Fields(lines[14])[0], "adj_r2");
  EXPECT_EQ(std::strtod(Fields(lines[14])[1].c_str(), nullptr), inf.AdjR2);
  EXPECT_EQ(Fields(lines[15])[0], "f_p");
  EXPECT_EQ(std::strtod(Fields(lines[15])[1].c_str(), nullptr), inf.FPValue);
  for (std::size_t j = 0; j < 3; ++j) {
    const std::vector<std::string> f = Fields(lines[16 + j]);
    const TCoefficientInference& c = inf.Coefficients[j];
    ASSERT_EQ(f.size(), 7u) << lines[16 + j];
    EXPECT_EQ(f[0], "coefstat");
    EXPECT_EQ(f[1], c.Name);
    EXPECT_EQ(std::strtod(f[2].c_str(), nullptr), c.TValue);
    EXPECT_EQ(std::strtod(f[3].c_str(), nullptr), c.PValue);
    EXPECT_EQ(std::strtod(f[4].c_str(), nullptr), c.CILow);
    EXPECT_EQ(std::strtod(f[5].c_str(), nullptr), c.CIHigh);
    if (j < 2)
      EXPECT_EQ(std::strtod(f[6].c_str(), nullptr), c.VIF);
    else
      EXPECT_EQ(f[6], "");
  }
  EXPECT_EQ(Fields(lines[18])[1], "INTERCEPT");

  // Collinear inputs (Total Weight = Weight Skin + Net Weight): nan in place of their tests;
  // the list of their names wraps before 100 characters.
  const TToolResult c = Run({"--inputs", "1,2,6", "--target", "Length", "--values"});
  ASSERT_EQ(c.Status, 0) << c.Err;
  const std::vector<std::string> cl = Lines(c.Out);
  ASSERT_EQ(cl.size(), 27u);
  // The collinear inputs have no beta coefficient either.
  EXPECT_EQ(cl[24], "beta\tTotal Weight\tnan");
  EXPECT_EQ(cl[26], "beta\tNet Weight\tnan");
  for (std::size_t j = 17; j < 20; ++j) {
    const std::vector<std::string> f = Fields(cl[j]);
    ASSERT_EQ(f.size(), 7u);
    for (std::size_t k = 2; k < 6; ++k)
      EXPECT_EQ(f[k], "nan") << cl[j];
    EXPECT_GT(std::strtod(f[6].c_str(), nullptr), 1e12) << cl[j];
  }
  const TToolResult ce = Run({"--inputs", "1,2,6", "--target", "Length", "--extended"});
  EXPECT_NE(ce.Out.find(" Collinear (t, p and intervals not available): \"Total Weight\" (column 1), "
                        "\"Weight Skin\" (column 2),\n   \"Net Weight\" (column 6)\n"),
            std::string::npos)
      << ce.Out;
}

TEST_F(MLRReportTool, LargeFileGivesTheReportOfTheTableReadInProcess)
{
  // A file of a million rows, large enough for the reader's parallel path and for huge-page
  // storage: the tool's report must be the one the run gives on the same file read in this
  // process.
  std::string text = "large\n3\n1000000\nFALSE TRUE FALSE FALSE\nx \"x two\" y\n";
  text.reserve(18u << 20);
  for (int r = 1; r <= 1000000; ++r) {
    const int x1 = r % 1000, x2 = (r * 7) % 113;
    text += std::to_string(x1) + " " + std::to_string(x2) + " " + std::to_string(3 * x1 - x2 + r % 5) + ".25   \n";
  }
  ASSERT_GE(text.size(), std::size_t(16) << 20);
  const std::string file = WriteFile("large.asc", text);
  const TToolResult r = Run({file, "--inputs", "x,x two", "--target", "y", "--caption"});
  ASSERT_EQ(r.Status, 0) << r.Err;

  TDataTable table;
  ASSERT_EQ(table.LoadFromASCFile(file), ascOK);
  TRoleState roles(3);
  roles.SetInput(1, true);
  roles.SetInput(2, true);
  roles.SetTarget(3, true);
  TMLRRun run;
  ASSERT_TRUE(run.Execute(table, roles));
  std::string expected = run.Caption() + "\n";
  for (const std::string& line : run.ReportLines())
    expected += line + "\n";
  EXPECT_EQ(r.Out, expected);
  EXPECT_EQ(Lines(r.Out).at(1), "Number of Objects .............: 1000000");
}

TEST_F(MLRReportTool, PerfectFitAndConstantTargetWriteNanForTheirTests)
{
  // y = a + 2 b exactly, and a constant target; R gives NaN t values for the constant one and
  // warns of an essentially perfect fit for both.
  const std::string file = WriteFile(
      "perfect.asc", "p\n4\n5\nTRUE TRUE TRUE FALSE\na b y c\n0 r1 1 2 5 5\n0 r2 2 1 4 5\n"
                     "0 r3 3 5 13 5\n0 r4 4 3 10 5\n0 r5 5 7 19 5\n");
  for (const char* target : {"y", "c"}) {
    const TToolResult r = Run({file, "--inputs", "a,b", "--target", target, "--values"});
    ASSERT_EQ(r.Status, 0) << r.Err;
    const std::vector<std::string> l = Lines(r.Out);
    ASSERT_EQ(l.size(), 24u) << target;
    EXPECT_EQ(l[15], "f_p\tnan") << target;
    EXPECT_EQ(l[16].substr(0, 27), "coefstat\ta\tnan\tnan\tnan\tnan\t") << target;
    EXPECT_EQ(l[18], "coefstat\tINTERCEPT\tnan\tnan\tnan\tnan\t") << target;
  }
  const TToolResult c = Run({file, "--inputs", "a,b", "--target", "c", "--values"});
  EXPECT_NE(c.Out.find("coef\ta\t0\t0\ncoef\tb\t0\t0\ncoef\tINTERCEPT\t5\t0\n"), std::string::npos);
  const TToolResult e = Run({file, "--inputs", "a,b", "--target", "c", "--extended"});
  EXPECT_NE(e.Out.find("\n\n The target is constant over the objects used: there is nothing to "
                       "explain.\n Coefficient tests"),
            std::string::npos);
}

TEST_F(MLRReportTool, DelimitedFilesGiveTheReportOfTheSameDataInAsc)
{
  // The small table as R's write.csv would write it (row names, NA), as write.csv2 would
  // (semicolons, decimal commas) and as a headerless tab file read with --no-header: every
  // report equals the ASC file's, whose row attributes the report does not use.
  const std::string asc = WriteFile("small.asc", SmallAsc);
  const TToolResult expected = Run({asc, "--inputs", "x1,second x", "--target", "y", "--values"});
  ASSERT_EQ(expected.Status, 0) << expected.Err;
  const std::string csv = WriteFile("small.csv",
                                    "\"\",\"x1\",\"second x\",\"y\"\n\"a\",1,4,7.5\n\"b\",2,NaN,9\n\"row c\",3,5,NA\n"
                                    "\"d\",4,1,6.25\n\"e\",5,7,15\n\"f\",6,2,10.5\n\"g\",7,3,-12e-1\n");
  const TToolResult fromCsv = Run({csv, "--inputs", "x1,second x", "--target", "y", "--values"});
  ASSERT_EQ(fromCsv.Status, 0) << fromCsv.Err;
  EXPECT_EQ(fromCsv.Out, expected.Out);

  const std::string csv2 = WriteFile("small2.txt",
                                     "\"\";\"x1\";\"second x\";\"y\"\n\"a\";1;4;7,5\n\"b\";2;NaN;9\n\"row c\";3;5;NA\n"
                                     "\"d\";4;1;6,25\n\"e\";5;7;15\n\"f\";6;2;10,5\n\"g\";7;3;-1,2\n");
  const TToolResult fromCsv2 = Run({csv2, "--inputs", "x1,second x", "--target", "y", "--values"});
  ASSERT_EQ(fromCsv2.Status, 0) << fromCsv2.Err;
  EXPECT_EQ(fromCsv2.Out, expected.Out);

  const std::string tsv = WriteFile("small.tsv", "1\t4\t7.5\n2\tnan\t9\n3\t5\t\n4\t1\t6.25\n5\t7\t15\n6\t2\t10.5\n7\t3\t-1.2\n");
  const TToolResult fromTsv = Run({tsv, "--no-header", "--inputs", "V1,V2", "--target", "V3", "--values"});
  ASSERT_EQ(fromTsv.Status, 0) << fromTsv.Err;
  // The coefficient lines carry the column names; the numbers are the same.
  std::string renamed = expected.Out;
  for (const auto& [from, to] : {std::pair<std::string, std::string>{"\tx1\t", "\tV1\t"}, {"\tsecond x\t", "\tV2\t"}})
    for (std::size_t p; (p = renamed.find(from)) != std::string::npos;)
      renamed.replace(p, from.size(), to);
  EXPECT_EQ(fromTsv.Out, renamed);

  // The table itself, through --csv: the same cells and names as from the ASC file.
  const std::string ascCsv = Run({asc, "--csv"}).Out;
  std::string withoutAttribs;
  for (const std::string& line : Lines(ascCsv)) {
    // Drop the attribute column, which a delimited file has not.
    const std::size_t first = line.find(',');
    const std::size_t second = line.find(',', first + 1);
    withoutAttribs += line.substr(0, first) + ",0" + line.substr(second) + "\n";
  }
  std::string fromCsvTable;
  for (const std::string& line : Lines(Run({csv, "--csv"}).Out)) {
    const std::size_t first = line.find(',');
    const std::size_t second = line.find(',', first + 1);
    fromCsvTable += line.substr(0, first) + ",0" + line.substr(second) + "\n";
  }
  EXPECT_EQ(fromCsvTable, withoutAttribs);
}

TEST_F(MLRReportTool, ReadingOptionsOverrideTheDetection)
{
  // Semicolons with decimal points: detected, and the same when given.
  const std::string file = WriteFile("data.dat", "a;b;c\n1.5;2;3.5\n2;4.5;6\n3;5;9.25\n4.5;8;12\n5;9.5;14\n");
  const TToolResult detected = Run({file, "--inputs", "a,b", "--target", "c", "--values"});
  ASSERT_EQ(detected.Status, 0) << detected.Err;
  const TToolResult given =
      Run({file, "--delimiter", ";", "--decimal-point", "--header", "--inputs", "a,b", "--target", "c", "--values"});
  ASSERT_EQ(given.Status, 0) << given.Err;
  EXPECT_EQ(given.Out, detected.Out);
  // A decimal comma given for a file of decimal points: the first value with a point is a
  // text in a number column, named by line, column and field.
  const TToolResult comma = Run({file, "--decimal-comma", "--inputs", "a,b", "--target", "c"});
  EXPECT_EQ(comma.Status, 2);
  EXPECT_EQ(comma.Err, "mlrreport: cannot read the file \"" + file +
                           "\": line 2, column 1 (field \"1.5\"): a text in the number column \"a\"\n");
  // --delimiter tab: one column per line, so b is unknown.
  const TToolResult tab = Run({file, "--delimiter", "tab", "--inputs", "a,b", "--target", "c"});
  EXPECT_EQ(tab.Status, 2);
  EXPECT_NE(tab.Err.find("unknown column \"a\""), std::string::npos) << tab.Err;
  const TToolResult bad = Run({file, "--delimiter", "x"});
  EXPECT_EQ(bad.Status, 2);
  EXPECT_NE(bad.Err.find("unknown delimiter \"x\""), std::string::npos) << bad.Err;

  // An ASC file without the extension is known by its header.
  const std::string asc = WriteFile("small.data", SmallAsc);
  const TToolResult byContent = Run({asc, "--inputs", "1,2", "--target", "3", "--values"});
  ASSERT_EQ(byContent.Status, 0) << byContent.Err;
  EXPECT_EQ(byContent.Out, Run({WriteFile("small.asc", SmallAsc), "--inputs", "1,2", "--target", "3", "--values"}).Out);
}

TEST_F(MLRReportTool, DelimitedFailuresAndLeftOutColumns)
{
  const std::string ragged = WriteFile("ragged.csv", "a,b\n1,2\n3,4,5\n");
  const TToolResult r = Run({ragged, "--csv"});
  EXPECT_EQ(r.Status, 2);
  EXPECT_EQ(r.Err, "mlrreport: cannot read the file \"" + ragged +
                       "\": line 3, column 3 (field \"5\"): the line has more than the table's 2 fields\n");

  // 155 different ids, some twice (so no row names): more than a level column holds.
  std::string ids = "id,g,x,y\n";
  for (int i = 0; i < 160; ++i)
    ids += "id" + std::to_string(i % 155) + "," + (i % 2 ? "u" : "v") + "," + std::to_string(i) + "," +
           std::to_string(2 * i + (i % 3)) + "\n";
  const std::string file = WriteFile("ids.csv", ids);
  const TToolResult left = Run({file, "--inputs", "x,g", "--target", "y", "--values"});
  ASSERT_EQ(left.Status, 0) << left.Err;
  EXPECT_EQ(left.Err, "mlrreport: column 1 \"id\" left out: more than 150 different texts\n");
  EXPECT_EQ(Lines(left.Out)[0], "n\t160");
}

TEST_F(MLRReportTool, ThreadCountsGiveTheSameDigits)
{
  // Large enough for the reader's chunks and the run's blocks to spread over the threads.
  std::string text = "threads\n4\n200000\nFALSE FALSE FALSE FALSE\n";
  for (int r = 1; r <= 200000; ++r) {
    const int a = (r * 37) % 1009, b = (r * 11) % 97, c = r % 13;
    text += std::to_string(a) + " " + std::to_string(b) + "." + std::to_string(c) + " " + std::to_string(c) + " " +
            std::to_string(2 * a - b + 3 * c + r % 7) + ".5\n";
  }
  const std::string file = WriteFile("threads.asc", text);
  std::string first;
  for (const char* threads : {"1", "2", "4"}) {
    const TToolResult r = Run({file, "--inputs", "1,2,3", "--target", "4", "--values", "--threads", threads});
    ASSERT_EQ(r.Status, 0) << r.Err;
    if (first.empty())
      first = r.Out;
    EXPECT_EQ(r.Out, first) << threads;
  }
  for (const char* bad : {"0", "65", "two", ""}) {
    const TToolResult r = Run({file, "--inputs", "1", "--target", "4", "--threads", bad});
    EXPECT_EQ(r.Status, 2) << bad;
    EXPECT_NE(r.Err.find("--threads needs a whole number from 1 to 64"), std::string::npos) << r.Err;
  }
}

TEST_F(MLRReportTool, ATooLargeTableIsRefusedBeforeReading)
{
#ifdef ORVEX_SANITIZED
  GTEST_SKIP() << "AddressSanitizer reserves far more address space than the capped child has, so "
                  "the child aborts before the tool runs";
#endif
  // 21 x 400,000 values need about 225 MiB in memory; with the address space capped at about
  // 150 MB the tool says so and reads nothing. A file too short for its declared table still
  // gets the reader's own message.
  std::string wide = "wide\n21\n400000\nFALSE FALSE FALSE FALSE\n";
  wide.reserve(wide.size() + 2 * 21 * 400000);
  for (int r = 0; r < 400000; ++r)
    for (int c = 1; c <= 21; ++c)
      wide += c == 21 ? "1\n" : "1 ";
  const std::string wideFile = WriteFile("wide.asc", wide);
  const TToolResult refused = Run({wideFile, "--inputs", "1", "--target", "2"}, "ulimit -v 150000; ");
  EXPECT_EQ(refused.Status, 2);
  EXPECT_EQ(refused.Out, "");
  EXPECT_EQ(refused.Err.rfind("mlrreport: the table of \"" + wideFile + "\" needs about 225 MiB of memory, but only ", 0), 0u)
      << refused.Err;
  EXPECT_NE(refused.Err.find(" MiB are available; --stream fits it without holding the table\n"), std::string::npos)
      << refused.Err;
  // Read in blocks, the same file fits under the same cap and gives the report of the run on
  // the table.
  const TToolResult streamed = Run({wideFile, "--inputs", "1", "--target", "2", "--stream"}, "ulimit -v 150000; ");
  EXPECT_EQ(streamed.Status, 0) << streamed.Err;
  const TToolResult inMemory = Run({wideFile, "--inputs", "1", "--target", "2"});
  EXPECT_EQ(inMemory.Status, 0) << inMemory.Err;
  EXPECT_EQ(streamed.Out, inMemory.Out);
  EXPECT_NE(streamed.Out.find("Number of Objects .............: 400000\n"), std::string::npos) << streamed.Out;
  // The same table as CSV: its size is estimated from its start, and --stream reads it.
  std::string csv;
  csv.reserve(2 * 21 * 400000);
  for (int r = 0; r < 400000; ++r)
    for (int c = 1; c <= 21; ++c)
      csv += c == 21 ? "1\n" : "1,";
  const std::string csvFile = WriteFile("wide.csv", csv);
  const TToolResult csvRefused = Run({csvFile, "--inputs", "1", "--target", "2"}, "ulimit -v 150000; ");
  EXPECT_EQ(csvRefused.Status, 2);
  EXPECT_EQ(csvRefused.Err.rfind("mlrreport: the table of \"" + csvFile + "\" needs about 241 MiB of memory", 0), 0u)
      << csvRefused.Err;
  EXPECT_NE(csvRefused.Err.find("--stream"), std::string::npos);
  const TToolResult csvStreamed = Run({csvFile, "--inputs", "1", "--target", "2", "--stream"}, "ulimit -v 150000; ");
  EXPECT_EQ(csvStreamed.Status, 0) << csvStreamed.Err;
  const TToolResult csvInMemory = Run({csvFile, "--inputs", "1", "--target", "2"});
  EXPECT_EQ(csvStreamed.Out, csvInMemory.Out);
  EXPECT_NE(csvStreamed.Out.find("Number of Objects .............: 400000\n"), std::string::npos) << csvStreamed.Out;
  const std::string shortFile = WriteFile("short.asc", "short\n21\n400000000\nFALSE FALSE FALSE FALSE\n1 2 3\n");
  const TToolResult tooShort = Run({shortFile, "--inputs", "1", "--target", "2"}, "ulimit -v 150000; ");
  EXPECT_EQ(tooShort.Status, 2);
  EXPECT_NE(tooShort.Err.find("result code -9"), std::string::npos) << tooShort.Err;
}

TEST_F(MLRReportTool, InfluenceAndPredictionLinesGiveTheResultsValues)
{
  // SmallAsc: row 2 lacks an input (no prediction), row 3 lacks the target (a prediction with
  // an empty residual); five objects are used.
  const std::string file = WriteFile("small.asc", SmallAsc);
  const TToolResult r = Run({file, "--inputs", "1,2", "--target", "3", "--influence", "--predict"});
  ASSERT_EQ(r.Status, 0) << r.Err;
  TDataTable table;
  ASSERT_EQ(table.LoadFromASCFile(file), ascOK);
  TMLRRun run;
  ASSERT_TRUE(run.Execute(table, MakeRoles(3, {1, 2}, 3)));
  const TMLRResult& res = *run.Result();
  const std::vector<std::string> l = Lines(r.Out);
  ASSERT_EQ(l.size(), 2 * 5 + 6u);
  for (std::size_t i = 0; i < 5; ++i) {
    const std::vector<std::string> f = Fields(l[2 * i]);
    ASSERT_EQ(f.size(), 9u) << l[2 * i];
    EXPECT_EQ(f[0], "infl");
    EXPECT_EQ(std::stoi(f[1]), res.UsedRows[i]);
    EXPECT_EQ(std::strtod(f[2].c_str(), nullptr), res.Influence.Hat[i]);
    EXPECT_EQ(std::strtod(f[7].c_str(), nullptr), res.Influence.CovRatio[i]);
    const std::vector<std::string> d = Fields(l[2 * i + 1]);
    ASSERT_EQ(d.size(), 5u);
    EXPECT_EQ(d[0] + d[1], "dfbetas" + f[1]);
    EXPECT_EQ(std::strtod(d[4].c_str(), nullptr), res.Influence.DFBeta(static_cast<int>(i), 2));
  }
  // Row 5 breaks three rules, row 6 none: the names in their fixed order.
  EXPECT_EQ(Fields(l[4])[8], "dfb,cov.r,cook.d");
  EXPECT_EQ(Fields(l[6]).back(), "");
  EXPECT_EQ(l[6].back(), '\t');
  EXPECT_EQ(l[10].substr(0, 7), "pred\t1\t");
  EXPECT_EQ(l[11].substr(0, 7), "pred\t3\t");
  EXPECT_EQ(l[11].back(), '\t');  // no target, no residual
  const std::vector<std::string> p = Fields(l[15]);
  ASSERT_EQ(p.size(), 9u);
  EXPECT_EQ(std::strtod(p[8].c_str(), nullptr), -1.2 - res.Predictions.Estimate[5]);
  EXPECT_LT(std::strtod(p[6].c_str(), nullptr), std::strtod(p[4].c_str(), nullptr));  // PI wider
  EXPECT_EQ(Run({"--inputs", "3", "--target", "6", "--predict", "--extended"}).Status, 2);
}

namespace {

// The data set of the model options' R comparison (tests/regress/test_mlroptions.cpp, which
// keeps the R code) as CSV: region is a text column, so it reads as a categorical column with
// the levels north, south, east, west in order of first appearance; row 25 has no target and
// row 26 weight 0.
std::string OptionsCsv()
{
  const char* region[] = {"north", "south", "east", "west"};
  const int levels[] = {0, 1, 2, 3, 0, 1, 2, 3, 0, 1, 2, 3, 0, 1, 2, 3, 0, 1, 2, 3, 3, 2, 3, 2, 1, 0};
  const char* rows[] = {"2.02,-1.61,2,2.28,7.772", "7.87,0.63,0,1.48,13.935", "8.58,0.36,0,1,6.3",
                        "4.78,3.82,2,2.97,4.236", "2.16,3.07,2,1.8,1.672", "6.51,4.46,1,0.83,-0.852",
                        "1.12,1.96,2,2.19,1.526", "9.22,4.12,2,1.54,8.91", "2.51,-0.04,0,1.57,5.887",
                        "2.44,2.52,1,2.69,2.879", "6.96,0.14,0,1.27,2.508", "5.82,4.41,0,0.99,0.673",
                        "9.22,1.7,2,2.23,10.286", "8.34,0.4,1,1.8,10.441", "5.9,1.46,1,0.9,1.632",
                        "9.29,2.59,0,2.91,9.259", "1.14,-0.22,2,1.13,6.773", "5.7,4.24,2,2.96,7.307",
                        "4.29,0.45,0,1.51,1.468", "2.07,1.49,2,2.02,4.016", "1.65,2.06,0,0.93,1.893",
                        "9.52,2.75,2,2.95,6.19", "4.61,0.78,2,0.67,7.649", "5.73,3.77,0,2.11,3.359",
                        "5,1,1,1.2,", "3.3,0.5,1,0,5.5"};
  std::string s = "region,x1,x2,grade,w,y\n";
  for (int r = 0; r < 26; ++r)
    s += std::string(region[levels[r]]) + "," + rows[r] + "\n";
  return s;
}

// The value lines by their key, and by key and name for the lines that carry a name
// ("coef\tx1"); each with all its fields.
std::map<std::string, std::vector<std::string>> KeyedLines(const std::string& Out)
{
  std::map<std::string, std::vector<std::string>> m;
  for (const std::string& l : Lines(Out)) {
    std::vector<std::string> f;
    std::istringstream in(l);
    for (std::string x; std::getline(in, x, '\t');)
      f.push_back(x);
    if (!f.empty())
      m[f.size() > 2 ? f[0] + "\t" + f[1] : f[0]] = f;
  }
  return m;
}

double Rel(const std::string& Text, double Expected)
{
  return std::fabs(std::strtod(Text.c_str(), nullptr) - Expected) / std::fabs(Expected);
}

}  // namespace

TEST_F(MLRReportTool, ModelOptionsGiveRsFiguresInTheirValueLines)
{
  const std::string file = WriteFile("options.csv", OptionsCsv());
  const TToolResult r = Run({file, "--inputs", "region,x1,x2,grade", "--target", "y", "--weights", "w",
                             "--reference", "region=south", "--robust", "HC3", "--values"});
  ASSERT_EQ(r.Status, 0) << r.Err;
  auto v = KeyedLines(r.Out);
  EXPECT_EQ(v["n"][1], "24");
  EXPECT_EQ(v["p"][1], "6");
  EXPECT_EQ(v["df"][1], "17");
  // R: coef(fa), vcovHC(fa, "HC3"), drop1(fa, test = "F") and car::vif(fa) of the R code.
  EXPECT_LT(Rel(v["coef\tregion[north]"][2], -0.93361246170390999), 1e-9);
  EXPECT_LT(Rel(v["coef\tINTERCEPT"][2], 3.7333847058115941), 1e-9);
  EXPECT_LT(Rel(v["robust\tx1"][2], 0.1410634230241683), 1e-9);
  EXPECT_LT(Rel(v["robust\tINTERCEPT"][2], 1.5637432815118559), 1e-9);
  ASSERT_EQ(v["anovaf\tregion"].size(), 5u);
  EXPECT_LT(Rel(v["anovaf\tregion"][2], 5.030534802505171), 1e-9);
  EXPECT_EQ(v["anovaf\tregion"][3], "3");
  EXPECT_LT(Rel(v["anovaf\tregion"][4], 0.011223592998181035), 1e-6);
  ASSERT_EQ(v["gvif\tregion"].size(), 5u);
  EXPECT_LT(Rel(v["gvif\tregion"][2], 1.6015760055586492), 1e-9);
  EXPECT_EQ(v["gvif\tregion"][3], "3");
  EXPECT_LT(Rel(v["gvif\tregion"][4], 1.0816612185046977), 1e-9);
  // The level by its number gives the same model.
  const TToolResult byNumber = Run({file, "--inputs", "region,x1,x2,grade", "--target", "y", "--weights", "w",
                                    "--reference", "region=1", "--robust", "HC3", "--values"});
  EXPECT_EQ(byNumber.Out, r.Out);

  // Without intercept: no INTERCEPT coefficient, and the report says R-squared is uncentred.
  const TToolResult none = Run({file, "--inputs", "x1,x2", "--target", "y", "--no-intercept", "--weights", "w"});
  ASSERT_EQ(none.Status, 0) << none.Err;
  EXPECT_NE(none.Out.find("\n(no intercept: R-squared uncentred)\n"), std::string::npos) << none.Out;
  EXPECT_EQ(none.Out.find("INTERCEPT"), std::string::npos);
  const TToolResult noneValues =
      Run({file, "--inputs", "x1,x2", "--target", "y", "--no-intercept", "--weights", "w", "--values"});
  auto nv = KeyedLines(noneValues.Out);
  EXPECT_EQ(nv.count("coef\tINTERCEPT"), 0u);
  EXPECT_LT(Rel(nv["r2"][1], 0.80874890953303868), 1e-9);
  EXPECT_EQ(nv["df"][1], "22");
}

TEST_F(MLRReportTool, BadModelOptionsAreErrors)
{
  const std::string file = WriteFile("options.csv", OptionsCsv());
  const std::vector<std::string> base = {file, "--inputs", "region,x1", "--target", "y"};
  auto run = [&](std::vector<std::string> Extra) {
    std::vector<std::string> a = base;
    a.insert(a.end(), Extra.begin(), Extra.end());
    return Run(a);
  };
  const struct {
    std::vector<std::string> Args;
    std::string Message;
  } cases[] = {
      {{"--robust", "HC4"}, "mlrreport: --robust needs HC0, HC1, HC2 or HC3, not \"HC4\""},
      {{"--reference", "region"}, "mlrreport: --reference needs COL=LEVEL, not \"region\""},
      {{"--reference", "region=nowhere"}, "mlrreport: --reference: column \"region\" has no level \"nowhere\""},
      {{"--reference", "x1=1"}, "mlrreport: --reference: column \"x1\" is not categorical (Nominal)"},
      {{"--weights", "y"}, "mlrreport: the weight column \"y\" is also the target"},
      {{"--weights", "x1"}, "mlrreport: the weight column \"x1\" is also among the inputs"},
      {{"--weights", "x2"}, "mlrreport: The weight in row 1 of column \"x2\" is -1.61: weights must be "
                            "finite and not negative"},
  };
  for (const auto& c : cases) {
    const TToolResult r = run(c.Args);
    EXPECT_EQ(r.Status, 2) << c.Message;
    EXPECT_EQ(Lines(r.Err).at(0), c.Message);
  }
}

// --save: the demonstration data and a file with every state go ASC -> ASC, ASC -> CSV -> ASC
// and CSV -> CSV unchanged; the extension decides the format, and nothing is fitted.
TEST_F(MLRReportTool, SaveRoundTripsThroughBothFormats)
{
  TDataTable demo;
  LoadDemoData(demo);
  const std::string demoAsc = (Dir / "demo.asc").string();
  const TToolResult saved = Run({"--save", demoAsc});
  ASSERT_EQ(saved.Status, 0) << saved.Err;
  EXPECT_EQ(saved.Out, "");
  EXPECT_EQ(saved.Err, "");
  TDataTable back;
  ASSERT_EQ(back.LoadFromASCFile(demoAsc), ascOK);
  EXPECT_EQ(orvex_test::Dump(back), orvex_test::Dump(demo));

  const std::string csv = (Dir / "demo.csv").string();
  const std::string again = (Dir / "again.asc").string();
  ASSERT_EQ(Run({demoAsc, "--save=" + csv}).Status, 0);
  ASSERT_EQ(Run({csv, "--save", again}).Status, 0);
  ASSERT_EQ(back.LoadFromASCFile(again), ascOK);
  EXPECT_EQ(orvex_test::Dump(back), orvex_test::Dump(demo));
  EXPECT_EQ(ReadFile(again), ReadFile(demoAsc));
  const std::string csv2 = (Dir / "demo2.csv").string();
  ASSERT_EQ(Run({csv, "--save", csv2}).Status, 0);
  EXPECT_EQ(ReadFile(csv2), ReadFile(csv));

  // Attributes, names with blanks, NAN, ### and a key/value section survive ASC -> ASC.
  const std::string small = WriteFile("small.asc", std::string(SmallAsc) + "<custdata>\n<k>v w</k>\n</custdata>\n");
  const std::string copy = (Dir / "copy.ASC").string();
  ASSERT_EQ(Run({small, "--save", copy}).Status, 0);
  TDataTable a, b;
  TCustomData ca, cb;
  ASSERT_EQ(a.ReadASCFile(small, ca), ascOK);
  ASSERT_EQ(b.ReadASCFile(copy, cb), ascOK);
  EXPECT_EQ(orvex_test::Dump(b), orvex_test::Dump(a));
  EXPECT_EQ(b.Comment(), a.Comment());
  for (int r = 1; r <= a.NrOfRows(); ++r)
    EXPECT_EQ(b.RowAttrib(r), a.RowAttrib(r));
  ASSERT_EQ(cb.size(), 1u);
  EXPECT_EQ(cb[0].Key, "k");
  EXPECT_EQ(cb[0].Value, "v w");

  // A semicolon file with decimal commas stays one as .csv and becomes tab-separated as .tsv.
  const std::string semi = WriteFile("semi.csv", "a;b\n1,5;2\n3;-4,25\n");
  const std::string semiOut = (Dir / "semi_out.csv").string();
  ASSERT_EQ(Run({semi, "--save", semiOut}).Status, 0);
  EXPECT_EQ(ReadFile(semiOut), "a;b\n1,5;2\n3;-4,25\n");
  const std::string tsv = (Dir / "semi_out.tsv").string();
  ASSERT_EQ(Run({semi, "--save", tsv}).Status, 0);
  EXPECT_EQ(ReadFile(tsv), "a\tb\n1,5\t2\n3\t-4,25\n");
}

TEST_F(MLRReportTool, SaveFailuresExitWithStatusTwoAndKeepTheOldFile)
{
  const std::string missing = (Dir / "no" / "x.csv").string();
  const TToolResult r = Run({"--save", missing});
  EXPECT_EQ(r.Status, 2);
  EXPECT_EQ(r.Err, "mlrreport: cannot save the file \"" + missing +
                       "\": cannot create a file in its folder: No such file or directory\n");
  const TToolResult ext = Run({"--save", (Dir / "x.xls").string()});
  EXPECT_EQ(ext.Status, 2);
  EXPECT_NE(ext.Err.find("\".xls\" is not a format that can be saved; use .asc, .csv, .tsv, .txt or .xlsx"),
            std::string::npos) << ext.Err;
  const TToolResult both = Run({"--save", (Dir / "x.csv").string(), "--inputs", "1"});
  EXPECT_EQ(both.Status, 2);
  EXPECT_EQ(both.Err.rfind("mlrreport: --save cannot be combined with --inputs", 0), 0u) << both.Err;
  EXPECT_FALSE(fs::exists(Dir / "x.csv"));
}

TEST_F(MLRReportTool, SaveOntoAFullDiskKeepsTheOldFile)
{
#ifdef ORVEX_SANITIZED
  GTEST_SKIP() << "the sanitizer's own files do not fit the capped file size";
#endif
  // A file size limit of 1 KiB stands in for a full disk: the write fails with "File too
  // large" (the signal that would end the process is ignored), the old file stays whole and
  // no temporary file is left.
  std::string big = "a,b\n";
  for (int i = 0; i < 400; ++i)
    big += std::to_string(i) + "," + std::to_string(i * 0.5) + "\n";
  const std::string in = WriteFile("big.csv", big);
  const fs::path out = Dir / "target";
  fs::create_directories(out);
  const std::string old = (out / "old.asc").string();
  std::ofstream(old, std::ios::binary) << "old";
  const TToolResult r = Run({in, "--save", old}, "trap '' XFSZ; ulimit -f 1; ");
  EXPECT_EQ(r.Status, 2);
  EXPECT_EQ(r.Err, "mlrreport: cannot save the file \"" + old + "\": cannot write it: File too large\n");
  EXPECT_EQ(ReadFile(old), "old");
  EXPECT_EQ(std::distance(fs::directory_iterator(out), fs::directory_iterator()), 1);
}

TEST_F(MLRReportTool, WorkbookSheetsAndStatFilesReadAsTheirCsv)
{
  const std::string files = ORVEX_TEST_FILES;
  const std::vector<std::string> fit = {"--inputs", "weight", "--target", "y", "--values"};
  auto run = [&](std::vector<std::string> Args) {
    Args.insert(Args.end(), fit.begin(), fit.end());
    return Run(Args);
  };
  const TToolResult csv = run({files + "/same.csv"});
  ASSERT_EQ(csv.Status, 0) << csv.Err;
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{files + "/same.xlsx"}, {files + "/same.xlsx", "--sheet", "1"},
        {files + "/same.xlsx", "--sheet=Data"}, {files + "/same.ods"}, {files + "/same.sav"}, {files + "/same.dta"}}) {
    const TToolResult r = run(args);
    ASSERT_EQ(r.Status, 0) << args[0] << ": " << r.Err;
    EXPECT_EQ(r.Out, csv.Out) << args[0];
  }
  const TToolResult other = run({files + "/same.xlsx", "--sheet", "Other"});
  EXPECT_EQ(other.Status, 2);
  EXPECT_EQ(other.Err, "mlrreport: unknown column \"weight\" in --inputs\n");
  const TToolResult missing = run({files + "/same.xlsx", "--sheet", "3"});
  EXPECT_EQ(missing.Status, 2);
  EXPECT_EQ(missing.Err, "mlrreport: cannot read the workbook \"" + files + "/same.xlsx\": it has no sheet \"3\" (its "
                         "sheets: \"Data\", \"Other\")\n");
  const TToolResult noValue = Run({files + "/same.xlsx", "--sheet"});
  EXPECT_EQ(noValue.Status, 2);
  EXPECT_NE(noValue.Err.find("option --sheet needs a value"), std::string::npos) << noValue.Err;
}

// --stream against the run on the table: a delimited file with row names, CR LF and missing
// values, and an ASC file with a Ctrl-Z; every output the same, the per-row lines included.
TEST_F(MLRReportTool, StreamGivesTheOutputsOfTheRunOnTheTable)
{
  std::string csv = "\"\",\"a\",\"b\",\"y\"\r\n";
  std::string asc = "streamed\r\n3\r\n2500\r\nFALSE TRUE FALSE FALSE\r\na b y\r\n";
  for (int r = 1; r <= 2500; ++r) {
    const double a = std::sin(r * 0.7) * 10, b = std::cos(r * 1.3) + r * 1e-3;
    const double y = 3 + 0.5 * a - 2 * b + std::sin(r * 12.9898) * 0.3;
    const std::string ys = r % 31 == 0 ? "NA" : std::to_string(y);
    csv += "\"row " + std::to_string(r) + "\"," + std::to_string(a) + "," + std::to_string(b) + "," + ys + "\r\n";
    asc += std::to_string(a) + " " + std::to_string(b) + " " + (r % 31 == 0 ? "###" : ys) + "\r\n";
  }
  const std::string files[] = {WriteFile("s.csv", csv), WriteFile("s.asc", asc + "\x1a" "junk")};
  for (const std::string& f : files)
    for (const std::vector<std::string>& outputs :
         {std::vector<std::string>{"--extended", "--caption"}, {"--values", "--influence", "--predict"}}) {
      std::vector<std::string> args = {f, "--inputs", "a,b", "--target", "y"};
      args.insert(args.end(), outputs.begin(), outputs.end());
      const TToolResult table = Run(args);
      args.push_back("--stream");
      const TToolResult stream = Run(args);
      ASSERT_EQ(table.Status, 0) << table.Err;
      ASSERT_EQ(stream.Status, 0) << stream.Err;
      const std::vector<std::string> t = Lines(table.Out), s = Lines(stream.Out);
      ASSERT_EQ(s.size(), t.size()) << f;
      // The report's lines are the same text; the numbers of the other lines agree to 1e-12
      // (the VIFs and beta coefficients take the inputs' moments in another order of sums).
      for (std::size_t i = 0; i < t.size(); ++i) {
        const std::vector<std::string> tf = Fields(t[i]), sf = Fields(s[i]);
        ASSERT_EQ(sf.size(), tf.size()) << t[i] << "\n" << s[i];
        for (std::size_t k = 0; k < tf.size(); ++k) {
          if (tf[k] == sf[k])
            continue;
          const double x = std::strtod(tf[k].c_str(), nullptr), z = std::strtod(sf[k].c_str(), nullptr);
          EXPECT_LE(std::fabs(x - z), 1e-12 * std::fabs(x)) << t[i] << "\n" << s[i];
        }
      }
      if (outputs[0] == "--extended") {
        EXPECT_EQ(stream.Out, table.Out);
      }
    }
  const TToolResult noFile = Run({"--inputs", "1", "--target", "2", "--stream"});
  EXPECT_EQ(noFile.Status, 2);
  EXPECT_EQ(noFile.Err, "mlrreport: --stream needs a FILE\nTry 'mlrreport --help' for more information.\n");

  // Only the plain model: every model option is refused by name, and so is a text column as
  // an input, which the run on the table would code as indicators.
  for (const std::vector<std::string>& option :
       {std::vector<std::string>{"--weights", "b"}, {"--no-intercept"}, {"--robust", "HC1"},
        {"--reference", "a=1"}}) {
    std::vector<std::string> args = {files[0], "--inputs", "a", "--target", "y", "--stream"};
    args.insert(args.end(), option.begin(), option.end());
    const TToolResult refused = Run(args);
    EXPECT_EQ(refused.Status, 2);
    EXPECT_EQ(refused.Err, "mlrreport: --stream cannot be combined with " + option[0] +
                               "\nTry 'mlrreport --help' for more information.\n");
  }
  const TToolResult texts = Run({WriteFile("t.csv", "g,x,y\nu,1,2\nv,2,3.5\nu,3,3.9\nv,4,6\n"), "--inputs", "g,x",
                                 "--target", "y", "--stream"});
  EXPECT_EQ(texts.Status, 2);
  EXPECT_EQ(texts.Err, "mlrreport: The input \"g\" is categorical (a column of texts): a run over a file in blocks "
                       "takes numeric inputs only\n");
}
