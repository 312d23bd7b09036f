// mlrreport: the workbench's regression run on the command line. It reads an ASC or a delimited
// text file (or takes the demonstration data), runs the regression of one target column on a list of input
// columns and prints the details report exactly as the window's memo shows it, optionally with
// the chart caption, or the fit's numbers with all digits for other programs. It can also print
// a table as CSV, or save it as an ASC or delimited text file. Errors go to standard error and
// end the program with status 2. The file, role and model options are those of toolargs.h.
#include "mlrrun.h"
#include "mlrstream.h"
#include "orvex_blockreader.h"
#include "orvex_datatable.h"
#include "orvex_math2.h"
#include "orvex_tablewriter.h"
#include "toolargs.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <exception>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <unistd.h>

using namespace orvex;

namespace {

constexpr int ExitFailure = 2;

const char* const HelpText =
    "Usage:\n"
    "  mlrreport [FILE] --inputs LIST --target COL [--caption]\n"
    "            [--weights COL] [--no-intercept] [--robust TYPE] [--reference COL=LEVEL]\n"
    "            [--extended | [--values] [--influence] [--predict]]\n"
    "  mlrreport [FILE] --csv\n"
    "  mlrreport [FILE] --save OUT\n"
    "  mlrreport --help\n"
    "\n"
    "Fits the target column as a linear function of the input columns plus an intercept and\n"
    "prints the details report, line by line, as the workbench window shows it.\n"
    "\n"
    "  FILE           a data file; without FILE the demonstration data set is used\n"
    "                 (40 objects; columns Total Weight, Weight Skin, Length, Width,\n"
    "                 Outer Length, Net Weight). A FILE ending in .csv or .tsv is read as\n"
    "                 delimited text, one ending in .asc as an ASC file, any other by its\n"
    "                 content (ASC when its first four lines form a valid ASC header,\n"
    "                 delimited text otherwise)\n"
    "  --inputs LIST  the input columns, separated by commas; each is a 1-based column number\n"
    "                 (a whole number is always taken as a number) or an exact column name;\n"
    "                 a name that holds a comma, that is a whole number or that several\n"
    "                 columns share must be given by its number\n"
    "  --target COL   the target column, given the same way\n"
    "  --caption      print the chart caption (r2 and F) before the output\n"
    "  --extended     print the report, one empty line, then the extended block: per\n"
    "                 coefficient (inputs, then INTERCEPT) the estimate, standard error,\n"
    "                 t value, two-sided p-value, 95 % confidence interval and, for inputs,\n"
    "                 the variance inflation factor; the residual standard error, R-squared\n"
    "                 and adjusted R-squared, the F test with its p-value, the objects used\n"
    "                 and the rows left out, and the inputs that are collinear (their tests\n"
    "                 and intervals read \"n/a (collinear)\"); p-values below 1e-16 read\n"
    "                 \"< 1e-16\"\n"
    "  --values       print, instead of the report, one KEY<TAB>VALUE line per number with all\n"
    "                 digits: n, p, df, missing, near_singular (0 or 1), sres, r2, f, ssreg,\n"
    "                 ssres, sstot, then per coefficient coef<TAB>NAME<TAB>VALUE<TAB>STDERR,\n"
    "                 the inputs in column order and INTERCEPT last (control characters in\n"
    "                 a name, such as tabs, are written as spaces); then adj_r2 (adjusted\n"
    "                 R-squared), f_p (p-value of the F test) and per coefficient, in the\n"
    "                 same order, coefstat<TAB>NAME<TAB>T<TAB>P<TAB>CI_LOW<TAB>CI_HIGH<TAB>VIF:\n"
    "                 t value, two-sided p-value, 95 % confidence interval, variance\n"
    "                 inflation factor (empty for INTERCEPT, inf for a constant input);\n"
    "                 nan where the inputs are collinear and the value means nothing, and\n"
    "                 for t, p, the intervals and f_p of an essentially perfect fit or a\n"
    "                 constant target (the extended block then says so in its first line);\n"
    "                 then loglik, aic, bic (R's log-likelihood, AIC and BIC) and per input\n"
    "                 beta<TAB>NAME<TAB>VALUE, its standardized coefficient\n"
    "  --influence    print, instead of the report (after --values when both are given), per\n"
    "                 object used a line infl<TAB>ROW<TAB>H<TAB>RSTANDARD<TAB>RSTUDENT<TAB>\n"
    "                 COOKS<TAB>DFFITS<TAB>COVRATIO<TAB>FLAGS and a line dfbetas<TAB>ROW with\n"
    "                 one value per coefficient (inputs, then the intercept); ROW is the\n"
    "                 1-based table row, FLAGS the broken rules among dfb,dffit,cov.r,cook.d,\n"
    "                 hat (|DFBETAS| > 1, |DFFITS| > 3 sqrt(k/(n-k)), |1 - COVRATIO| >\n"
    "                 3k/(n-k), Cook's distance above the median of F(k, n-k), h > 3k/n);\n"
    "                 nan for the measures that divide by 1 - h where h = 1\n"
    "  --predict      print, after the outputs above, per table row whose inputs are valid\n"
    "                 (also where the target is missing) pred<TAB>ROW<TAB>ESTIMATE<TAB>SE_FIT\n"
    "                 <TAB>CI_LOW<TAB>CI_HIGH<TAB>PI_LOW<TAB>PI_HIGH<TAB>RESIDUAL: 95 %\n"
    "                 confidence and prediction intervals; RESIDUAL (actual minus estimate)\n"
    "                 is empty where the target is missing\n"
    "  --csv          print the table as CSV (RFC 4180): a header \"name\",\"attribute\" and the\n"
    "                 column names, then per row its name, attribute and values; a\n"
    "                 not-a-number cell is written NaN, an empty cell as nothing\n"
    "  --weights COL  weighted least squares with the weights in column COL (as R's\n"
    "                 lm(weights =)): objects of weight 0 are left out and counted; a\n"
    "                 negative or non-finite weight is an error that names its row\n"
    "  --no-intercept fit without intercept; R-squared and F then use the uncentred total\n"
    "                 sum of squares\n"
    "  --robust TYPE  heteroscedasticity-robust standard errors, TYPE HC0, HC1, HC2 or HC3;\n"
    "                 the extended block shows them beside the classical ones and --values\n"
    "                 adds per coefficient robust<TAB>NAME<TAB>SE<TAB>T<TAB>P\n"
    "  --reference COL=LEVEL\n"
    "                 the reference level of the categorical input COL (a level's label or\n"
    "                 number); may be repeated\n"
    "  --save OUT     write the table to the file OUT and fit nothing: .asc as an ASC file,\n"
    "                 .csv comma-separated, .tsv and .txt tab-separated. A delimited FILE\n"
    "                 saved as delimited text keeps its decimal mark, header, row names and\n"
    "                 quoting (and, for .csv, a semicolon or pipe delimiter); an ASC FILE\n"
    "                 saved as ASC keeps its key/value section. OUT is replaced only once\n"
    "                 it is completely written\n"
    "  --threads N    use N threads for reading and fitting (1 to 64); by default one per\n"
    "                 processor core\n"
    "  --stream       fit a FILE larger than memory: read it in blocks, never holding the table\n"
    "                 (two or three passes over the file, memory independent of its size); the\n"
    "                 outputs are those of the run without it, the --influence and --predict\n"
    "                 lines written after the pass that makes them. It fits the plain model:\n"
    "                 not with --csv, --save or the model options, and no column of texts\n"
    "                 as an input; ASC and delimited text files only\n"
    "  --help         show this text\n"
    "\n"
    "Reading delimited text (CSV, TSV, semicolon, pipe or blank separated values): the\n"
    "delimiter, the decimal mark, the header line and a row-name column are detected from the\n"
    "first 64 KiB; these options override the detection:\n"
    "  --delimiter C      the delimiter: , ; tab | or space (runs of blanks)\n"
    "  --decimal-comma    numbers use a decimal comma (0,5)\n"
    "  --decimal-point    numbers use a decimal point (0.5)\n"
    "  --header           the first line names the columns\n"
    "  --no-header        the first line is data; the columns are named V1, V2, ...\n"
    "  --sheet NAME|N     the sheet of an xlsx or ods workbook, by name or 1-based number\n"
    "                     (the first sheet by default; a name of digits is taken as a name\n"
    "                     first)\n"
    "Column names come from the header, so --inputs and --target take them. Quoted fields may\n"
    "hold delimiters, doubled quotes and line breaks; lines starting with # and blank lines\n"
    "are skipped. Empty cells, NA, N/A, NaN, nan, . and ? are missing values. A text column\n"
    "with at most 150 different texts becomes a column of levels (0, 1, ... in order of first\n"
    "appearance); one with more is left out with a note on standard error.\n"
    "\n"
    "A Nominal input column is categorical: it enters the fit as one indicator column per\n"
    "level present in the objects used except its reference level (the lowest level number\n"
    "unless --reference names another), named COL[label]; --values then adds per categorical\n"
    "input anovaf<TAB>NAME<TAB>F<TAB>DF<TAB>P (the F test of all its indicators together) and\n"
    "gvif<TAB>NAME<TAB>GVIF<TAB>DF<TAB>SCALED (generalized VIF and GVIF^(1/(2 DF))). An\n"
    "Ordinal input is taken as its level numbers. More than 150 levels is an error.\n"
    "Workbooks (.xlsx, .ods) are read one sheet at a time with the same column rules: its used\n"
    "range is the table, the header and row names detected as for text; booleans read as 1\n"
    "and 0, formulas as their cached values (none: empty), error values as not-a-number,\n"
    "dates as day numbers from 30 December 1899. SPSS (.sav, .zsav, .por), Stata (.dta) and\n"
    "SAS (.sas7bdat, .xpt) files give one column per variable; value labels of whole values\n"
    "from 0 to 150 become levels; every kind of missing value is an empty cell.\n"
    "\n"
    "Objects with an empty or not-a-number value in the target or in an input column are left\n"
    "out; the report then counts them in the line \"Objects with Missing Values\". The fit\n"
    "needs at least as many objects as input variables plus two. When the inputs are nearly\n"
    "collinear the fit still succeeds and the window's warning line is written to standard\n"
    "error.\n"
    "\n"
    "Exit status: 0 on success, 2 on any error, with a message on standard error:\n"
    "  - the file's table would need more memory than is available (the message gives\n"
    "    both figures, for a delimited file an estimate from its start, and points to\n"
    "    --stream); nothing is read then;\n"
    "  - a delimited file cannot be read as a table (the line, the column and the field, cut\n"
    "    to 40 characters: a line with another number of fields, a quote never closed, a\n"
    "    text in a number column);\n"
    "  - the ASC file does not read completely (its name, the reader's result code and what\n"
    "    the code means: -1 bad column count, -2 bad row count, -3 bad flag line, -5 a row\n"
    "    attribute is not a number or out of range, -6 a value is not a valid token, -8 the\n"
    "    file does not exist or cannot be read, -9 the declared table size exceeds the file);\n"
    "  - invalid roles: no input, no target, the target among the inputs, an unknown column,\n"
    "    a column name that several columns share, a column given twice in --inputs;\n"
    "  - too few objects for the number of inputs;\n"
    "  - the regression cannot be solved;\n"
    "  - OUT cannot be written (its name and the reason), or has another extension;\n"
    "  - unknown or incomplete options.\n";

struct TOptions {
  TFitArgs Fit;  // the file, how it is read, the roles, --threads and the model options
  bool Caption = false;
  bool Values = false;
  bool Extended = false;
  bool Csv = false;
  bool Help = false;
  // machine-readable outputs beside --values
  bool Influence = false;
  bool Predict = false;
  // --save OUT
  std::optional<std::string> SaveAs;
  // reading the file in blocks
  bool Stream = false;
};

// ---- Saving: --save OUT --------------------------------------------------------------------

// --save OUT or --save=OUT; false when Arg is neither.
template <typename TValue>
bool ParseSaveOption(const std::string& Arg, TValue&& Value, TOptions& O)
{
  if (Arg == "--save")
    O.SaveAs = Value("--save");
  else if (Arg.rfind("--save=", 0) == 0)
    O.SaveAs = Arg.substr(7);
  else
    return false;
  if (O.SaveAs->empty())
    UsageError("--save needs a file name");
  return true;
}

// Before anything is read: --save stands alone, and OUT's extension names a format.
void CheckSaveOptions(const TOptions& O)
{
  if (!O.SaveAs)
    return;
  if (O.Fit.Inputs || O.Fit.Target || O.Caption || O.Values || O.Extended || O.Influence || O.Predict || O.Csv ||
      O.Fit.HasModelOptions())
    UsageError("--save cannot be combined with --inputs, --target, --caption, --values, --extended, "
               "--influence, --predict, --csv or the model options");
  try {
    FormatForSaving(*O.SaveAs);
  } catch (const EOrvexTableWriteError& e) {
    ToolError(e.what());
  }
}

// Writes the table to OUT in the format of its extension, carrying over what fits of the file
// it was read from.
void SaveTable(const std::string& Out, const TDataTable& Table, const TReadSource& Source)
{
  try {
    TTableWriteOptions options;
    options.Format = FormatForSaving(Out);
    const bool delimitedSource = Source.FromFile && Source.Format == TFileFormat::Delimited;
    options.Dialect = DialectForSaving(Out, delimitedSource ? &Source.Dialect : nullptr);
    if (Source.FromFile && Source.Format == TFileFormat::Asc)
      options.CustomData = &Source.CustomData;
    WriteTableFile(Table, Out, options);
  } catch (const EOrvexTableWriteError& e) {
    ToolError(e.what());
  }
}

// ---------------------------------------------------------------------------------------------

// The machine-readable outputs of the fit beside --values; true when Arg is one of them.
bool ParseOutputOption(const std::string& Arg, TOptions& Options)
{
  if (Arg == "--influence")
    Options.Influence = true;
  else if (Arg == "--predict")
    Options.Predict = true;
  else if (Arg == "--stream")
    Options.Stream = true;
  else
    return false;
  return true;
}

// The options' lines of --values: robust standard errors, the categorical inputs' F tests and
// generalized VIFs.
void PrintOptionValues(const TMLRResult& R);

// ---------------------------------------------------------------------------------------------

TOptions ParseArguments(int argc, char** argv)
{
  TOptions o;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    auto value = [&](const char* option) {
      if (i + 1 >= argc)
        UsageError(std::string("option ") + option + " needs a value");
      return std::string(argv[++i]);
    };
    if (ParseOutputOption(arg, o))
      continue;
    if (arg == "--help" || arg == "-h")
      o.Help = true;
    else if (arg == "--caption")
      o.Caption = true;
    else if (arg == "--values")
      o.Values = true;
    else if (arg == "--extended")
      o.Extended = true;
    else if (arg == "--csv")
      o.Csv = true;
    else if (ParseSaveOption(arg, value, o))
      continue;
    else if (ParseFitArg(i, argc, argv, o.Fit))
      continue;
    else
      UsageError("unknown option " + arg);
  }
  return o;
}

void PrintLine(const std::string& S)
{
  std::fwrite(S.data(), 1, S.size(), stdout);
  std::fputc('\n', stdout);
}

std::string Digits(double V)
{
  if (std::isnan(V))
    return "nan";  // whatever its sign bit
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.17g", V);
  return buf;
}

void PrintValues(const TMLRResult& R)
{
  const TFitSummary& s = R.Summary;
  const TAnovaTable& a = s.Anova;
  auto key = [](const char* Key, const std::string& Value) {
    PrintLine(std::string(Key) + "\t" + Value);
  };
  key("n", std::to_string(s.NrOfObjects));
  key("p", std::to_string(s.NrOfInputs));
  key("df", std::to_string(s.NrOfObjects - static_cast<int>(R.Coefficients.size())));
  key("missing", std::to_string(s.NrOfMissing));
  key("near_singular", s.NearSingular ? "1" : "0");
  key("sres", Digits(s.SRes));
  key("r2", Digits(s.R2));
  key("f", Digits(a.FValue));
  key("ssreg", Digits(a.SSReg));
  key("ssres", Digits(a.SSRes));
  key("sstot", Digits(a.SSTot));
  const std::size_t p = R.InputNames.size();
  auto coef = [&](const std::string& Name, std::size_t j) {
    PrintLine("coef\t" + Name + "\t" + Digits(R.Coefficients[j]) + "\t" + Digits(R.StdErrors[j]));
  };
  for (std::size_t j = 0; j < p; ++j)
    coef(R.InputNames[j], j);
  if (R.Intercept)
    coef("INTERCEPT", p);

  const TFitInference& inf = R.Inference;
  key("adj_r2", Digits(inf.AdjR2));
  key("f_p", Digits(inf.FPValue));
  for (const TCoefficientInference& c : inf.Coefficients)
    PrintLine("coefstat\t" + c.Name + "\t" + Digits(c.TValue) + "\t" + Digits(c.PValue) + "\t" +
              Digits(c.CILow) + "\t" + Digits(c.CIHigh) + "\t" +
              (c.Column > 0 ? Digits(c.VIF) : std::string()));

  key("loglik", Digits(R.Measures.LogLik));
  key("aic", Digits(R.Measures.AIC));
  key("bic", Digits(R.Measures.BIC));
  for (std::size_t j = 0; j < R.Measures.Beta.size(); ++j)
    PrintLine("beta\t" + R.InputNames[j] + "\t" + Digits(R.Measures.Beta[j]));
  PrintOptionValues(R);
}

void PrintOptionValues(const TMLRResult& R)
{
  const TRobustInference& ri = R.Robust;
  for (std::size_t j = 0; j < ri.StdErrors.size(); ++j)
    PrintLine("robust\t" + R.Inference.Coefficients[j].Name + "\t" + Digits(ri.StdErrors[j]) + "\t" +
              Digits(ri.TValues[j]) + "\t" + Digits(ri.PValues[j]));
  for (const TCategoricalTerm& c : R.CategoricalTerms)
    PrintLine("anovaf\t" + c.Name + "\t" + Digits(c.FValue) + "\t" + std::to_string(c.DF) + "\t" +
              Digits(c.PValue));
  for (const TCategoricalTerm& c : R.CategoricalTerms)
    PrintLine("gvif\t" + c.Name + "\t" + Digits(c.GVIF) + "\t" + std::to_string(c.DF) + "\t" +
              Digits(c.ScaledGVIF));
}

// An object's influence line and its DFBETAS line.
std::string InfluenceLines(const TObjectInfluence& O)
{
  std::string flags;
  for (int b = 0; b < 5; ++b)
    if (O.Flags & (1u << b))
      flags += (flags.empty() ? "" : ",") + std::string(InfluenceFlagNames[b]);
  const std::string row = std::to_string(O.Row);
  std::string line = "infl\t" + row + "\t" + Digits(O.Hat) + "\t" + Digits(O.RStandard) + "\t" +
                     Digits(O.RStudent) + "\t" + Digits(O.CooksDistance) + "\t" + Digits(O.DFFits) + "\t" +
                     Digits(O.CovRatio) + "\t" + flags + "\ndfbetas\t" + row;
  for (int j = 0; j < O.NrOfCoefficients; ++j)
    line += "\t" + Digits(O.DFBetas[static_cast<std::size_t>(j) * O.Stride]);
  return line;
}

std::string PredictionLine(const TObjectPrediction& P)
{
  const TPredictionRow& v = P.Interval;
  return "pred\t" + std::to_string(P.Row) + "\t" + Digits(P.Estimate) + "\t" + Digits(v.SEFit) + "\t" +
         Digits(v.CILow) + "\t" + Digits(v.CIHigh) + "\t" + Digits(v.PILow) + "\t" + Digits(v.PIHigh) + "\t" +
         (std::isnan(P.Residual) ? std::string() : Digits(P.Residual));
}

// Per object used its influence line and its DFBETAS line; a buffer per line keeps a million
// objects quick.
void PrintInfluence(const TMLRResult& R)
{
  const TInfluence& f = R.Influence;
  std::vector<double> dfbetas(static_cast<std::size_t>(f.NrOfCoefficients));
  for (std::size_t i = 0; i < f.Hat.size(); ++i) {
    f.DFBetaRow(static_cast<int>(i), dfbetas.data());
    PrintLine(InfluenceLines(TObjectInfluence{R.UsedRows[i], f.Hat[i], f.RStandard[i], f.RStudent[i],
                                              f.CooksDistance[i], f.DFFits[i], f.CovRatio[i], f.Flags[i],
                                              dfbetas.data(), 1, f.NrOfCoefficients}));
  }
}

void PrintPredictions(const TMLRResult& R)
{
  const TPredictions& p = R.Predictions;
  for (std::size_t a = 0; a < p.Rows.size(); ++a)
    PrintLine(PredictionLine(
        TObjectPrediction{p.Rows[a], p.Estimate[a], {p.SEFit[a], p.CILow[a], p.CIHigh[a], p.PILow[a], p.PIHigh[a]},
                          p.Residual[a]}));
}

std::string CsvQuoted(const std::string& S)
{
  std::string q = "\"";
  for (char c : S) {
    if (c == '"')
      q += '"';
    q += c;
  }
  return q + "\"";
}

// RFC 4180: every record ends with CR LF; texts are quoted, numbers are not.
void PrintCsv(const TDataTable& Table)
{
  std::string line = "\"name\",\"attribute\"";
  for (int c = 1; c <= Table.NrOfColumns(); ++c)
    line += "," + CsvQuoted(Table.ColName(c));
  std::fputs((line + "\r\n").c_str(), stdout);
  for (int r = 1; r <= Table.NrOfRows(); ++r) {
    line = CsvQuoted(Table.RowName(r)) + "," + std::to_string(Table.RowAttrib(r));
    for (int c = 1; c <= Table.NrOfColumns(); ++c) {
      line += ',';
      const unsigned state = Table.CellState(c, r);
      if (state & 1u)
        line += "NaN";
      else if (!(state & 2u))
        line += Digits(Table.Elem(c, r));
    }
    line += "\r\n";
    std::fwrite(line.data(), 1, line.size(), stdout);
  }
}

// Copies the lines a pass wrote aside to the output.
void CopyToOutput(std::FILE* F)
{
  std::rewind(F);
  char buf[1 << 16];
  std::size_t got;
  while ((got = std::fread(buf, 1, sizeof buf, F)) > 0)
    std::fwrite(buf, 1, got, stdout);
  if (std::ferror(F))
    ToolError("cannot read back the lines written aside");
}

// The fit of a file read in blocks (--stream): the same outputs in the same order as the run
// on the table. The per-row lines come during the last pass, before the numbers that precede
// them are known, so they wait in temporary files.
int RunStream(const TOptions& O)
{
  if (!O.Fit.FileName)
    UsageError("--stream needs a FILE");
  // The run over a file in blocks fits the plain model only.
  const std::pair<bool, const char*> unsupported[] = {
      {O.Csv, "--csv"},       {O.SaveAs.has_value(), "--save"},         {O.Fit.Weights.has_value(), "--weights"},
      {O.Fit.NoIntercept, "--no-intercept"}, {O.Fit.Robust != TRobustType::None, "--robust"},
      {!O.Fit.References.empty(), "--reference"}};
  for (const auto& [given, option] : unsupported)
    if (given)
      UsageError(std::string("--stream cannot be combined with ") + option);
  const TFileFormat format = DecideFileFormat(*O.Fit.FileName);
  if (format != TFileFormat::Asc && format != TFileFormat::Delimited)
    ToolError("--stream reads ASC and delimited text files only, not \"" + *O.Fit.FileName + "\"");
  TBlockReadOptions reading;
  reading.Threads = O.Fit.Threads;
  auto open = [&](std::string& Message) {
    return OpenBlockReader(*O.Fit.FileName, O.Fit.Reading.Delimited, Message, reading);
  };
  std::string message;
  std::unique_ptr<TBlockReader> first = open(message);
  if (!first)
    ToolError(message);
  for (const TLeftOutColumn& c : first->LeftOut())
    std::fprintf(stderr, "mlrreport: column %d \"%s\" left out: %s\n", c.Field, c.Name.c_str(), c.Reason.c_str());
  std::vector<std::string> names;
  for (int c = 1; c <= first->NrOfColumns(); ++c)
    names.push_back(first->ColName(c));
  const TRoleState roles = MakeRoles(O.Fit, names);
  std::vector<int> inputs;
  int target = 0;
  for (int c = 1; c <= roles.NrOfColumns(); ++c) {
    if (roles.Input(c))
      inputs.push_back(c);
    if (roles.Target(c))
      target = c;
  }

  struct TFileCloser {
    void operator()(std::FILE* F) const { std::fclose(F); }
  };
  std::unique_ptr<std::FILE, TFileCloser> influence, predict;
  TMLRStream run;
  if (O.Influence) {
    influence.reset(std::tmpfile());
    if (!influence)
      ToolError("cannot create a temporary file for the influence lines");
    run.OnInfluence = [&](TMLRStream*, const TObjectInfluence& Object) {
      const std::string lines = InfluenceLines(Object) + "\n";
      std::fwrite(lines.data(), 1, lines.size(), influence.get());
    };
  }
  if (O.Predict) {
    predict.reset(std::tmpfile());
    if (!predict)
      ToolError("cannot create a temporary file for the prediction lines");
    run.OnPrediction = [&](TMLRStream*, const TObjectPrediction& Row) {
      const std::string line = PredictionLine(Row) + "\n";
      std::fwrite(line.data(), 1, line.size(), predict.get());
    };
  }
  run.OnRestart = [&](TMLRStream*) {
    for (std::FILE* f : {influence.get(), predict.get()})
      if (f && (std::fflush(f) != 0 || ::ftruncate(::fileno(f), 0) != 0 || std::fseek(f, 0, SEEK_SET) != 0))
        ToolError("cannot start the temporary file of the per-row lines again");
  };
  if (!run.Execute(std::move(first), open, inputs, target))
    ToolError(run.ErrorText());
  const TMLRResult& r = *run.Result();
  if (r.NearSingular)
    std::fprintf(stderr, "mlrreport: %s\n", NearSingularWarning);
  if (O.Caption)
    PrintLine(r.Caption);
  if (O.Values)
    PrintValues(r);
  for (auto* f : {influence.get(), predict.get()})
    if (f) {
      if (std::fflush(f) != 0 || std::ferror(f))
        ToolError("cannot write the temporary file of the per-row lines");
      CopyToOutput(f);
    }
  if (!(O.Values || O.Influence || O.Predict))
    for (const std::string& line : r.ReportLines)
      PrintLine(line);
  if (O.Extended) {
    PrintLine("");
    for (const std::string& line : r.ExtendedLines)
      PrintLine(line);
  }
  return 0;
}

int Run(int argc, char** argv)
{
  const TOptions o = ParseArguments(argc, argv);
  if (o.Help) {
    std::fputs(HelpText, stdout);
    return 0;
  }
  if (o.Csv && (o.Fit.Inputs || o.Fit.Target || o.Caption || o.Values || o.Extended))
    UsageError("--csv cannot be combined with --inputs, --target, --caption, --values or --extended");
  const bool machine = o.Values || o.Influence || o.Predict;
  if (o.Values && o.Extended)
    UsageError("--values cannot be combined with --extended");
  if (machine && o.Extended)
    UsageError("--influence and --predict cannot be combined with --extended");
  if (o.Csv && (o.Influence || o.Predict))
    UsageError("--csv cannot be combined with --influence or --predict");
  CheckSaveOptions(o);

  if (o.Fit.Threads > 0)
    SetMathThreadCount(o.Fit.Threads);
  if (o.Stream)
    return RunStream(o);
  TDataTable table;
  TReadSource source;
  LoadFitTable(o.Fit, table, &source, "; --stream fits it without holding the table");
  if (o.SaveAs) {
    SaveTable(*o.SaveAs, table, source);
    return 0;
  }
  if (o.Csv) {
    PrintCsv(table);
    return 0;
  }

  const TRoleState roles = MakeRoles(o.Fit, ColumnNames(table));
  const TMLRModelOptions model = MakeModelOptions(o.Fit, table, roles);
  TMLRRun run;
  // The influence measures and predictions cost more than the fit: made only when printed.
  run.SetInfluence(o.Influence || o.Predict || o.Extended);
  run.SetPredictions(o.Predict);
  run.SetObjectMeasures(o.Influence);  // --extended lists the first flagged objects only
  run.SetChartPoints(false);  // it draws no chart
  run.SetBorrowTable(true);   // the table stays as loaded until the tool ends
  if (!run.Execute(table, roles, model))
    ToolError(run.ErrorText());
  if (run.NearSingular())
    std::fprintf(stderr, "mlrreport: %s\n", NearSingularWarning);
  if (o.Caption)
    PrintLine(run.Caption());
  if (o.Values)
    PrintValues(*run.Result());
  if (o.Influence)
    PrintInfluence(*run.Result());
  if (o.Predict)
    PrintPredictions(*run.Result());
  if (!machine)
    for (const std::string& line : run.ReportLines())
      PrintLine(line);
  if (o.Extended && !o.Values) {
    PrintLine("");
    for (const std::string& line : run.ExtendedLines())
      PrintLine(line);
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv)
{
  try {
    const int status = Run(argc, argv);
    if (std::fflush(stdout) != 0) {
      std::fputs("mlrreport: cannot write the output\n", stderr);
      return ExitFailure;
    }
    return status;
  } catch (const TToolError& e) {
    std::fprintf(stderr, "mlrreport: %s\n", e.Text.c_str());
    if (e.ShowUsageHint)
      std::fputs("Try 'mlrreport --help' for more information.\n", stderr);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "mlrreport: %s\n", e.what());
  }
  return ExitFailure;
}
