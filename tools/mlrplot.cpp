// mlrplot: the workbench's result charts from the command line, for batch reports. It reads
// the table and fits the model exactly as mlrreport does (the shared options of toolargs.h),
// fills one chart with the window's own fill functions (resultcharts.h) and writes it as PNG,
// SVG or PDF with the window's "Save Image As..." (chartexport.h). It needs no display: the
// offscreen platform is used unless QT_QPA_PLATFORM names another.
#include "chartexport.h"
#include "demodata.h"
#include "mlrrun.h"
#include "orvex_datatable.h"
#include "orvex_graphics.h"
#include "orvex_rchart.h"
#include "resultcharts.h"
#include "toolargs.h"

#include <QApplication>

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <optional>
#include <string>

using namespace orvex;

namespace {

constexpr int ExitFailure = 2;

const char* const HelpText =
    "Usage:\n"
    "  mlrplot [FILE] --inputs LIST --target COL --plot KIND --out OUT\n"
    "          [--size WxH] [--dpi N] [--weights COL] [--no-intercept] [--robust TYPE]\n"
    "          [--reference COL=LEVEL] [reading options]\n"
    "  mlrplot --help\n"
    "\n"
    "Fits the target column as a linear function of the input columns, as mlrreport does, and\n"
    "writes one of the workbench's result charts to the file OUT.\n"
    "\n"
    "  --plot KIND    the chart: fit (actual against estimated data), histogram (distribution\n"
    "                 of the residuals), residuals (residuals against estimated data), qq\n"
    "                 (normal Q-Q), scale-location or leverage (residuals against leverage)\n"
    "  --out OUT      the file to write, by its extension: .png, .svg or .pdf. OUT is replaced\n"
    "                 only once it is completely written\n"
    "  --size WxH     the chart's size in pixels as a screen of 96 dots per inch shows it\n"
    "                 (16 to 20000 each; default 800x600)\n"
    "  --dpi N        the resolution (24 to 2400; default 96): a PNG has W*N/96 x H*N/96\n"
    "                 pixels and records N dots per inch; an SVG drawing and a PDF page\n"
    "                 measure W x H at 96 per inch whatever N\n"
    "  --help         show this text\n"
    "\n"
    "FILE, --inputs, --target, the model options (--weights, --no-intercept, --robust,\n"
    "--reference), --threads and the reading options (--delimiter, --decimal-comma,\n"
    "--decimal-point, --header, --no-header, --sheet) are those of mlrreport; see\n"
    "'mlrreport --help'. Without FILE the demonstration data set is used.\n"
    "\n"
    "Exit status: 0 when the chart was written; 2 for a bad option, a file that cannot be\n"
    "read, a fit that fails or a chart that cannot be written (with a message on standard\n"
    "error).\n";

enum class TPlot { Fit, Histogram, Residuals, QQ, ScaleLocation, Leverage };

struct TPlotOptions {
  TFitArgs Fit;
  bool Help = false;
  std::optional<TPlot> Plot;
  std::optional<std::string> Out;
  TImageSettings Image;
};

TPlot ParsePlot(const std::string& Text)
{
  const std::pair<const char*, TPlot> plots[] = {{"fit", TPlot::Fit},
                                                 {"histogram", TPlot::Histogram},
                                                 {"residuals", TPlot::Residuals},
                                                 {"qq", TPlot::QQ},
                                                 {"scale-location", TPlot::ScaleLocation},
                                                 {"leverage", TPlot::Leverage}};
  for (const auto& [name, plot] : plots)
    if (Text == name)
      return plot;
  UsageError("unknown plot \"" + Text + "\" (use fit, histogram, residuals, qq, scale-location or leverage)");
}

// A whole number of at most 5 digits, or -1.
int SmallNumber(const std::string& Text)
{
  if (Text.empty() || Text.size() > 5)
    return -1;
  int n = 0;
  for (char c : Text) {
    if (c < '0' || c > '9')
      return -1;
    n = n * 10 + (c - '0');
  }
  return n;
}

void ParseSize(const std::string& Text, TImageSettings& Image)
{
  const std::size_t x = Text.find_first_of("xX");
  const int w = x == std::string::npos ? -1 : SmallNumber(Text.substr(0, x));
  const int h = x == std::string::npos ? -1 : SmallNumber(Text.substr(x + 1));
  if (w < MinImageSide || w > MaxImageSide || h < MinImageSide || h > MaxImageSide)
    UsageError("--size needs WIDTHxHEIGHT, each from " + std::to_string(MinImageSide) + " to " +
               std::to_string(MaxImageSide) + ", not \"" + Text + "\"");
  Image.Width = w;
  Image.Height = h;
}

void ParseDpi(const std::string& Text, TImageSettings& Image)
{
  const int n = SmallNumber(Text);
  if (n < MinImageDpi || n > MaxImageDpi)
    UsageError("--dpi needs a whole number from " + std::to_string(MinImageDpi) + " to " +
               std::to_string(MaxImageDpi) + ", not \"" + Text + "\"");
  Image.Dpi = n;
}

TPlotOptions ParseArguments(int Argc, char** Argv)
{
  TPlotOptions o;
  for (int i = 1; i < Argc; ++i) {
    if (ParseFitArg(i, Argc, Argv, o.Fit))
      continue;
    const std::string arg = Argv[i];
    if (arg == "--help") {
      o.Help = true;
      continue;
    }
    // --name VALUE or --name=VALUE for the options of this tool.
    std::string name = arg, value;
    const std::size_t eq = arg.find('=');
    if (arg.rfind("--", 0) == 0 && eq != std::string::npos) {
      name = arg.substr(0, eq);
      value = arg.substr(eq + 1);
    } else if (name == "--plot" || name == "--out" || name == "--size" || name == "--dpi") {
      if (i + 1 >= Argc)
        UsageError("option " + name + " needs a value");
      value = Argv[++i];
    }
    if (name == "--plot")
      o.Plot = ParsePlot(value);
    else if (name == "--out")
      o.Out = value;
    else if (name == "--size")
      ParseSize(value, o.Image);
    else if (name == "--dpi")
      ParseDpi(value, o.Image);
    else
      UsageError("unknown option \"" + arg + "\"");
  }
  return o;
}

void CheckOptions(const TPlotOptions& O)
{
  if (!O.Plot)
    UsageError("--plot is missing");
  if (!O.Out || O.Out->empty())
    UsageError("--out is missing");
  const std::optional<TImageFormat> format = ImageFormatOf(*O.Out);
  if (!format)
    UsageError("--out must end in .png, .svg or .pdf, not \"" + *O.Out + "\"");
  if (!O.Fit.Inputs || !O.Fit.Target)
    UsageError("--inputs and --target are needed");
  if (const std::string problem = ImageSettingsProblem(*format, O.Image); !problem.empty())
    UsageError(problem);
}

void FillPlot(TCustomRChart& Chart, TPlot Plot, const TMLRResult& Result, const TDataTable& Table)
{
  SetupResultChart(Chart);
  switch (Plot) {
  case TPlot::Fit:
    FillFitChart(Chart, Result);
    return;
  case TPlot::Histogram:
    Chart.SetCaption(HistogramTitle);
    Chart.Scale1Y().SetDecPlaces(0);
    FillResidualHistogram(Chart, Result);
    return;
  default:
    break;
  }
  TDiagnosticData data = DiagnosticDataOf(Result);
  data.RowLabel = [&Table](int Row) {
    const std::string name = Table.RowName(Row);
    return name.empty() ? std::to_string(Row) : name;
  };
  switch (Plot) {
  case TPlot::Residuals: FillResidualsVsEstimated(Chart, data); break;
  case TPlot::QQ: FillNormalQQ(Chart, data); break;
  case TPlot::ScaleLocation: FillScaleLocation(Chart, data); break;
  default: FillResidualsVsLeverage(Chart, data); break;
  }
}

int Run(int Argc, char** Argv)
{
  SetToolName("mlrplot");
  const TPlotOptions o = ParseArguments(Argc, Argv);
  if (o.Help) {
    std::fputs(HelpText, stdout);
    return 0;
  }
  CheckOptions(o);
  if (o.Fit.Threads > 0)
    SetMathThreadCount(o.Fit.Threads);

  TDataTable table;
  LoadFitTable(o.Fit, table);
  const TRoleState roles = MakeRoles(o.Fit, ColumnNames(table));
  const TMLRModelOptions model = MakeModelOptions(o.Fit, table, roles);
  TMLRRun run;
  // The diagnostic charts show leverage and standardized residuals.
  run.SetInfluence(*o.Plot != TPlot::Fit && *o.Plot != TPlot::Histogram);
  if (!run.Execute(table, roles, model))
    ToolError(run.ErrorText());
  if (run.NearSingular())
    std::fprintf(stderr, "mlrplot: %s\n", NearSingularWarning);
  const TMLRResult& result = *run.Result();
  if (*o.Plot != TPlot::Fit && *o.Plot != TPlot::Histogram && !result.Influence.Available)
    ToolError("the fit leaves no residual degrees of freedom: no standardized residuals or leverage to plot");

  // A display is not needed: the chart renders offscreen unless a platform is named.
  if (std::getenv("QT_QPA_PLATFORM") == nullptr)
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
  int qtArgc = 1;
  char* qtArgv[] = {Argv[0], nullptr};
  QApplication app(qtArgc, qtArgv);
  InstallFontSubstitutions();
  TRChart chart;
  chart.resize(o.Image.Width, o.Image.Height);
  FillPlot(chart, *o.Plot, result, table);
  try {
    SaveChartImage(chart, *o.Out, o.Image);
  } catch (const EOrvexError& e) {
    ToolError(e.what());
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv)
{
  try {
    return Run(argc, argv);
  } catch (const TToolError& e) {
    std::fprintf(stderr, "mlrplot: %s\n", e.Text.c_str());
    if (e.ShowUsageHint)
      std::fputs("Try 'mlrplot --help' for more information.\n", stderr);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "mlrplot: %s\n", e.what());
  }
  return ExitFailure;
}
