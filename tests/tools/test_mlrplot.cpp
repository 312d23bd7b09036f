// mlrplot run as a process without a display: every plot in every format (a PNG's pixels and
// recorded resolution, an SVG parsed as XML with one shape per mark, a PDF's page size), the
// defaults, and every bad option and failure with its exit status and message.
#include "demodata.h"
#include "mlrrun.h"
#include "orvex_datatable.h"

#include <QFile>
#include <QImage>
#include <QRegularExpression>
#include <QXmlStreamReader>
#include "tool_testutil.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

using namespace orvex;
namespace fs = std::filesystem;
using tool_test::ReadFile;
using tool_test::ShellQuoted;
using tool_test::TToolResult;

namespace {

// The marks and lines of an SVG file, which must parse as XML.
struct TSvgShapes {
  bool Parsed = false;
  int Ellipses = 0;  // ellipses and circles: the marks
  std::string Texts;
};

TSvgShapes ReadSvg(const std::string& FileName)
{
  TSvgShapes s;
  QFile f(QString::fromStdString(FileName));
  if (!f.open(QIODevice::ReadOnly))
    return s;
  QXmlStreamReader xml(&f);
  while (!xml.atEnd()) {
    if (xml.readNext() != QXmlStreamReader::StartElement)
      continue;
    if (xml.name() == u"ellipse" || xml.name() == u"circle")
      ++s.Ellipses;
    else if (xml.name() == u"text")
      s.Texts += xml.readElementText(QXmlStreamReader::IncludeChildElements).toStdString() + "|";
  }
  s.Parsed = !xml.hasError();
  return s;
}

// The page of a PDF file in points (0 x 0 when there is none).
std::pair<double, double> PdfPage(const std::string& FileName)
{
  const QString text = QString::fromLatin1(QByteArray::fromStdString(ReadFile(FileName)));
  const QRegularExpressionMatch m =
      QRegularExpression(R"(/MediaBox\s*\[\s*0\s+0\s+([\d.]+)\s+([\d.]+)\s*\])").match(text);
  return m.hasMatch() ? std::pair{m.captured(1).toDouble(), m.captured(2).toDouble()} : std::pair{0.0, 0.0};
}

// Runs the tool without a display: no DISPLAY and no platform named, unless a prefix sets one.
class MLRPlotTool : public tool_test::TToolProcessTest {
protected:
  MLRPlotTool() : TToolProcessTest(MLRPLOT_PATH, "mlrplot", "env -u DISPLAY -u QT_QPA_PLATFORM ") {}
};

// The demonstration example: Net Weight on Length and Width.
const std::vector<std::string> DemoFit = {"--inputs", "Length,Width", "--target", "Net Weight"};

std::vector<std::string> With(std::vector<std::string> Args, const std::vector<std::string>& More)
{
  Args.insert(Args.end(), More.begin(), More.end());
  return Args;
}

}  // namespace

TEST_F(MLRPlotTool, EveryPlotInEveryFormat)
{
  // The marks each chart must hold: one per object of the fit (every object of the
  // demonstration data has leverage below 1, so the diagnostic charts show them all).
  TDataTable table;
  LoadDemoData(table);
  TRoleState roles(6);
  roles.SetInput(3, true);
  roles.SetInput(4, true);
  roles.SetTarget(6, true);
  TMLRRun run;
  ASSERT_TRUE(run.Execute(table, roles));
  const int objects = static_cast<int>(run.Result()->FitPoints.size());
  ASSERT_EQ(objects, 40);

  struct TCase {
    const char* Plot;
    int Marks;
    const char* Text;  // a caption the SVG must hold
  };
  const TCase cases[] = {{"fit", objects, "Actual Data"},
                         {"histogram", 0, "residuals of Net Weight"},
                         {"residuals", objects, "Residuals vs. Estimated"},
                         {"qq", objects, "Theoretical Quantiles"},
                         {"scale-location", objects, "Scale-Location"},
                         {"leverage", objects, "Residuals vs. Leverage"}};
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Plot);
    // PNG of 400 x 300 at 192 dpi: 800 x 600 pixels recording 192 dots per inch.
    const std::string png = (Dir / (std::string(c.Plot) + ".png")).string();
    TToolResult r = Run(With(DemoFit, {"--plot", c.Plot, "--out", png, "--size", "400x300", "--dpi", "192"}));
    ASSERT_EQ(r.Status, 0) << r.Err;
    EXPECT_EQ(r.Out, "");
    const QImage image(QString::fromStdString(png));
    EXPECT_EQ(image.width(), 800);
    EXPECT_EQ(image.height(), 600);
    EXPECT_NEAR(image.dotsPerMeterX() * 0.0254, 192, 0.05);

    // SVG: parsed, one ellipse per mark, the chart's texts as texts, 400 x 300 at 96 per inch.
    const std::string svg = (Dir / (std::string(c.Plot) + ".svg")).string();
    r = Run(With(DemoFit, {"--plot=" + std::string(c.Plot), "--out=" + svg, "--size=400x300", "--dpi=192"}));
    ASSERT_EQ(r.Status, 0) << r.Err;
    const TSvgShapes shapes = ReadSvg(svg);
    EXPECT_TRUE(shapes.Parsed);
    EXPECT_EQ(shapes.Ellipses, c.Marks);
    EXPECT_NE(shapes.Texts.find(c.Text), std::string::npos) << shapes.Texts;
    EXPECT_NE(ReadFile(svg).find("width=\"105.833mm\" height=\"79.375mm\""), std::string::npos);

    // PDF: a page of 400 x 300 at 96 per inch is 300 x 225 points, whatever the resolution.
    const std::string pdf = (Dir / (std::string(c.Plot) + ".pdf")).string();
    r = Run(With(DemoFit, {"--plot", c.Plot, "--out", pdf, "--size", "400x300", "--dpi", "300"}));
    ASSERT_EQ(r.Status, 0) << r.Err;
    const auto [w, h] = PdfPage(pdf);
    EXPECT_NEAR(w, 300, 0.5);
    EXPECT_NEAR(h, 225, 0.5);
  }
}

TEST_F(MLRPlotTool, DefaultsAndTheSharedOptions)
{
  // 800 x 600 at 96 dpi by default; a PDF page of 800 x 600 is 600 x 450 points.
  const std::string png = (Dir / "default.png").string();
  TToolResult r = Run(With(DemoFit, {"--plot", "fit", "--out", png}));
  ASSERT_EQ(r.Status, 0) << r.Err;
  const QImage image(QString::fromStdString(png));
  EXPECT_EQ(image.size(), QSize(800, 600));
  EXPECT_NEAR(image.dotsPerMeterX() * 0.0254, 96, 0.05);
  const std::string pdf = (Dir / "default.pdf").string();
  r = Run(With(DemoFit, {"--plot", "leverage", "--out", pdf}));
  ASSERT_EQ(r.Status, 0) << r.Err;
  const auto [w, h] = PdfPage(pdf);
  EXPECT_NEAR(w, 600, 0.5);
  EXPECT_NEAR(h, 450, 0.5);

  // A delimited file with a missing value: 5 of its 6 objects are plotted; a platform named by
  // the caller is used.
  const fs::path csv = Dir / "small.csv";
  std::ofstream(csv) << "x,y\n1,2.5\n2,4.1\n3,NA\n4,8.2\n5,9.8\n6,12.5\n";
  const std::string svg = (Dir / "small.svg").string();
  r = Run({csv.string(), "--inputs", "x", "--target", "y", "--plot", "residuals", "--out", svg},
          "QT_QPA_PLATFORM=offscreen ");
  ASSERT_EQ(r.Status, 0) << r.Err;
  EXPECT_EQ(ReadSvg(svg).Ellipses, 5);
}

TEST_F(MLRPlotTool, BadOptionsAndFailuresExitWithStatusTwo)
{
  const std::string out = (Dir / "x.png").string();
  struct TCase {
    std::vector<std::string> Args;
    std::string Err;  // the first line of standard error
  };
  const std::vector<TCase> cases = {
      {With(DemoFit, {"--out", out}), "mlrplot: --plot is missing"},
      {With(DemoFit, {"--plot", "fit"}), "mlrplot: --out is missing"},
      {With(DemoFit, {"--plot", "pie", "--out", out}),
       "mlrplot: unknown plot \"pie\" (use fit, histogram, residuals, qq, scale-location or leverage)"},
      {With(DemoFit, {"--plot", "fit", "--out", (Dir / "x.jpg").string()}),
       "mlrplot: --out must end in .png, .svg or .pdf, not \"" + (Dir / "x.jpg").string() + "\""},
      {With(DemoFit, {"--plot", "fit", "--out", out, "--size", "800"}),
       "mlrplot: --size needs WIDTHxHEIGHT, each from 16 to 20000, not \"800\""},
      {With(DemoFit, {"--plot", "fit", "--out", out, "--size", "10x600"}),
       "mlrplot: --size needs WIDTHxHEIGHT, each from 16 to 20000, not \"10x600\""},
      {With(DemoFit, {"--plot", "fit", "--out", out, "--dpi", "0"}),
       "mlrplot: --dpi needs a whole number from 24 to 2400, not \"0\""},
      {With(DemoFit, {"--plot", "fit", "--out", out, "--dpi"}), "mlrplot: option --dpi needs a value"},
      {With(DemoFit, {"--plot", "fit", "--out", out, "--size", "20000x20000", "--dpi", "2400"}),
       "mlrplot: an image of 500000 x 500000 pixels is too large"},
      {With(DemoFit, {"--plot", "fit", "--out", out, "--colour", "red"}), "mlrplot: unknown option \"--colour\""},
      {{"--plot", "fit", "--out", out, "--target", "6"}, "mlrplot: --inputs and --target are needed"},
      // A fit that fails: three objects for two inputs.
      {{"--inputs", "1,2", "--target", "6", "--plot", "fit", "--out", out, (Dir / "three.csv").string()},
       ""},
      {With(DemoFit, {"--plot", "fit", "--out", (Dir / "no" / "x.png").string()}),
       "mlrplot: cannot save the file \"" + (Dir / "no" / "x.png").string() +
           "\": cannot create a file in its folder: No such file or directory"},
  };
  std::ofstream(Dir / "three.csv") << "a,b,c,d,e,f\n1,2,3,4,5,6\n2,1,4,3,6,5\n3,3,1,1,2,2\n";
  for (const TCase& c : cases) {
    const TToolResult r = Run(c.Args);
    EXPECT_EQ(r.Status, 2) << c.Err;
    EXPECT_EQ(r.Out, "");
    // The tool's own message (Qt may note its setup before it).
    const std::size_t at = r.Err.find("mlrplot: ");
    const std::string first = at == std::string::npos ? r.Err : r.Err.substr(at, r.Err.find('\n', at) - at);
    if (!c.Err.empty())
      EXPECT_EQ(first, c.Err);
    else
      EXPECT_EQ(first.rfind("mlrplot: ", 0), 0u) << r.Err;
  }
  EXPECT_FALSE(fs::exists(out));
  EXPECT_NE(Run({"--help"}).Out.find("--plot KIND"), std::string::npos);
}

TEST_F(MLRPlotTool, AFullDiskKeepsTheOldFile)
{
#ifdef ORVEX_SANITIZED
  GTEST_SKIP() << "the sanitizer's own files do not fit the capped file size";
#endif
  // A file size limit of 1 KiB stands in for a full disk (its signal ignored): the old file
  // stays whole and no temporary file is left.
  const fs::path folder = Dir / "target";
  fs::create_directories(folder);
  const std::string old = (folder / "chart.svg").string();
  std::ofstream(old, std::ios::binary) << "old";
  const TToolResult r = Run(With(DemoFit, {"--plot", "fit", "--out", old}), "sh -c 'trap \"\" XFSZ; ulimit -f 1; exec \"$0\" \"$@\"' ");
  EXPECT_EQ(r.Status, 2);
  EXPECT_NE(r.Err.find("mlrplot: cannot save the file \"" + old + "\": cannot write it: File too large\n"),
            std::string::npos) << r.Err;
  EXPECT_EQ(ReadFile(old), "old");
  EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1);
}
