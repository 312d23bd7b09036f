// Export from the window: the charts' context menu opened by a context-menu event, "Copy Image"
// and "Save Image As..." through the real dialog (PNG size and resolution, SVG parsed with one
// shape per mark, PDF page size, a failed write keeping the old file), and the details page's
// report commands with the clipboard's text and HTML.
#include "mainfrm_testutil.h"

#include "chartexport.h"
#include "imageexportdlg.h"
#include "orvex_rchart.h"
#include "reportexport.h"

#include <QClipboard>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <QTest>
#include <QXmlStreamReader>
#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>

#include <charconv>
#include <cmath>
#include <map>
#include <sstream>

using namespace orvex;
using mainfrm_test::TShownWindow;
namespace fs = std::filesystem;

namespace {

std::string ReadAll(const fs::path& P)
{
  std::ifstream f(P, std::ios::binary);
  std::stringstream ss;
  ss << f.rdbuf();
  return ss.str();
}

// A fresh folder for one test's files.
fs::path ScratchFolder(const std::string& Name)
{
  const fs::path dir = fs::temp_directory_path() / "mainfrm_tests" / Name;
  fs::remove_all(dir);
  fs::create_directories(dir);
  return dir;
}

// The window with a fit of Net Weight on Length and Width, its menus caught instead of shown.
struct TExportWindow : TShownWindow {
  std::vector<QMenu*> Menus;
  TExportWindow()
  {
    W->ChartPopupHook = [this](QMenu* Menu, const QPoint&) { Menus.push_back(Menu); };
    ClickBox(2, 3);
    ClickBox(2, 4);
    ClickBox(3, 6);
  }
  ~TExportWindow()
  {
    for (QMenu* m : Menus)
      delete m;
  }
  // Right-clicks the chart where the user would, and returns the menu it opened.
  QMenu* OpenMenu(TRChart* Chart)
  {
    const QPoint p(Chart->width() / 2, Chart->height() / 2);
    QContextMenuEvent e(QContextMenuEvent::Mouse, p, Chart->mapToGlobal(p));
    QApplication::sendEvent(Chart, &e);
    return Menus.empty() ? nullptr : Menus.back();
  }
  static QAction* Action(QMenu* Menu, const QString& Text)
  {
    for (QAction* a : Menu->actions())
      if (a->text() == Text)
        return a;
    return nullptr;
  }
};

// The number of ellipses and circles in an SVG file, which must parse as XML.
int SvgEllipses(const std::string& FileName, bool& Parsed)
{
  QFile f(QString::fromStdString(FileName));
  Parsed = f.open(QIODevice::ReadOnly);
  QXmlStreamReader xml(&f);
  int n = 0;
  while (!xml.atEnd())
    if (xml.readNext() == QXmlStreamReader::StartElement && (xml.name() == u"ellipse" || xml.name() == u"circle"))
      ++n;
  Parsed = Parsed && !xml.hasError();
  return n;
}

// The page size of a PDF file in points.
QSizeF PdfPage(const std::string& FileName)
{
  const QString text = QString::fromLatin1(QByteArray::fromStdString(ReadAll(FileName)));
  const QRegularExpressionMatch m =
      QRegularExpression(R"(/MediaBox\s*\[\s*0\s+0\s+([\d.]+)\s+([\d.]+)\s*\])").match(text);
  return m.hasMatch() ? QSizeF(m.captured(1).toDouble(), m.captured(2).toDouble()) : QSizeF();
}

}  // namespace

TEST(MainWindowExport, EveryChartsMenuCopiesItsImageAtItsSizeOnTheScreen)
{
  TExportWindow t;
  TFrmMLRCalc& w = *t.W;
  ASSERT_TRUE(w.Run().Succeeded());
  w.resize(900, 640);
  const std::vector<TRChart*> charts = w.ResultCharts();
  ASSERT_EQ(charts.size(), 6u);
  for (int tab = 0; tab < static_cast<int>(charts.size()); ++tab) {
    w.PageControl2->setCurrentIndex(tab);
    QApplication::processEvents();
    TRChart* chart = charts[static_cast<std::size_t>(tab)];
    ASSERT_TRUE(chart->isVisible()) << tab;
    QMenu* menu = t.OpenMenu(chart);
    ASSERT_NE(menu, nullptr) << tab;
    QAction* copy = TExportWindow::Action(menu, "Copy Image");
    ASSERT_NE(copy, nullptr);
    ASSERT_NE(TExportWindow::Action(menu, "Save Image As..."), nullptr);
    QApplication::clipboard()->clear();
    copy->trigger();
    const QImage image = QApplication::clipboard()->image();
    EXPECT_EQ(image.size(), chart->size()) << tab;
    // Rendered, not blank: the plot holds its black axes and some coloured items.
    std::set<QRgb> colours;
    for (int y = 0; y < image.height(); y += 2)
      for (int x = 0; x < image.width(); x += 2)
        colours.insert(image.pixel(x, y) & 0xFFFFFF);
    EXPECT_TRUE(colours.count(0x000000)) << tab;
    EXPECT_GE(colours.size(), 4u) << tab;
  }
  EXPECT_TRUE(t.Errors.empty());
}

TEST(MainWindowExport, SaveImageAsWritesPngSvgAndPdfOfTheChosenSize)
{
  TExportWindow t;
  TFrmMLRCalc& w = *t.W;
  const fs::path dir = ScratchFolder("export_images");
  // The dialog as the user meets it, then answered through its controls.
  std::vector<std::string> seen;
  std::function<void(TImageExportDialog&)> answer;
  w.ExecuteImageExportHook = [&](TImageExportDialog& d) {
    seen.push_back(d.FileName() + " " + std::to_string(d.Settings().Width) + "x" + std::to_string(d.Settings().Height) +
                   "@" + std::to_string(d.Settings().Dpi));
    answer(d);
    d.Buttons->button(QDialogButtonBox::Ok)->click();
    return d.result() == QDialog::Accepted;
  };
  QMenu* menu = t.OpenMenu(w.RCFit);
  ASSERT_NE(menu, nullptr);

  // PNG at the default: the on-screen size at 300 dpi.
  answer = [&](TImageExportDialog& d) { d.EdFileName->setText(QString::fromStdString((dir / "fit.png").string())); };
  TExportWindow::Action(menu, "Save Image As...")->trigger();
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0], "actual-vs-estimated-data.png " + std::to_string(w.RCFit->width()) + "x" +
                         std::to_string(w.RCFit->height()) + "@300");
  const QImage png(QString::fromStdString((dir / "fit.png").string()));
  ASSERT_FALSE(png.isNull());
  EXPECT_EQ(png.width(), std::lround(w.RCFit->width() * 300 / 96.0));
  EXPECT_EQ(png.height(), std::lround(w.RCFit->height() * 300 / 96.0));
  EXPECT_NEAR(png.dotsPerMeterX() * 0.0254, 300, 0.05);

  // SVG chosen in the format box: the name follows, the resolution falls back to 96; one
  // ellipse per object of the fit.
  answer = [&](TImageExportDialog& d) {
    EXPECT_EQ(d.FileName(), (dir / "actual-vs-estimated-data.png").string());  // the last folder
    d.CBFormat->setCurrentIndex(1);
    EXPECT_EQ(d.FileName(), (dir / "actual-vs-estimated-data.svg").string());
    EXPECT_EQ(d.SEDpi->value(), 96);
    d.SEWidth->setValue(640);
    d.SEHeight->setValue(480);
  };
  TExportWindow::Action(menu, "Save Image As...")->trigger();
  const std::string svg = (dir / "actual-vs-estimated-data.svg").string();
  bool parsed = false;
  EXPECT_EQ(SvgEllipses(svg, parsed), static_cast<int>(w.Run().Result()->FitPoints.size()));
  EXPECT_TRUE(parsed);
  EXPECT_NE(ReadAll(svg).find("width=\"169.333mm\""), std::string::npos);  // 640 px at 96 per inch

  // PDF typed as the name, at 150 dpi: the page is 800 x 600 at 96 per inch = 600 x 450 points.
  answer = [&](TImageExportDialog& d) {
    d.EdFileName->clear();
    QTest::keyClicks(d.EdFileName, QString::fromStdString((dir / "page.PDF").string()));
    EXPECT_EQ(d.Format(), TImageFormat::Pdf);
    d.SetSettings({800, 600, 150});
  };
  TExportWindow::Action(menu, "Save Image As...")->trigger();
  const QSizeF page = PdfPage((dir / "page.PDF").string());
  EXPECT_NEAR(page.width(), 600, 0.5);
  EXPECT_NEAR(page.height(), 450, 0.5);

  // Cancel writes nothing; settings that cannot make an image keep OK disabled.
  w.ExecuteImageExportHook = [&](TImageExportDialog& d) {
    d.SetFileName((dir / "huge.png").string());
    d.SetSettings({20000, 20000, 2400});
    EXPECT_FALSE(d.Buttons->button(QDialogButtonBox::Ok)->isEnabled());
    EXPECT_EQ(d.Problem(), "An image of 500000 x 500000 pixels is too large.");
    return false;
  };
  EXPECT_FALSE(w.SaveChartImageAs(w.RCFit));
  EXPECT_FALSE(fs::exists(dir / "huge.png"));
  EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 3);
  EXPECT_TRUE(t.Errors.empty());
}

TEST(MainWindowExport, AFailedWriteShowsWhyAndKeepsTheOldFile)
{
  TExportWindow t;
  TFrmMLRCalc& w = *t.W;
  const fs::path dir = ScratchFolder("export_failures");
  const fs::path old = dir / "old.png";
  std::ofstream(old, std::ios::binary) << "old";
  std::string target;
  w.ExecuteImageExportHook = [&](TImageExportDialog& d) {
    d.SetFileName(target);
    return true;
  };
  // A folder that does not exist.
  target = (dir / "no" / "x.png").string();
  EXPECT_FALSE(w.SaveChartImageAs(w.RCHisto));
  ASSERT_EQ(t.Errors.size(), 1u);
  EXPECT_EQ(t.Errors[0], "cannot save the file \"" + target + "\": cannot create a file in its folder: No such file or directory");
#ifndef ORVEX_SANITIZED
  // A full disk, as a file size limit of 1 KiB makes it: the write fails, the old file stays
  // whole and no temporary file is left. (The signal that would end the process is ignored.)
  target = old.string();
  rlimit saved{};
  getrlimit(RLIMIT_FSIZE, &saved);
  const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  rlimit capped = saved;
  capped.rlim_cur = 1024;
  setrlimit(RLIMIT_FSIZE, &capped);
  const bool written = w.SaveChartImageAs(w.RCHisto);
  const fs::path oldReport = dir / "report.html";
  w.ExecuteSaveReportHook = [&](std::string& Name) {
    Name = oldReport.string();
    return true;
  };
  std::ofstream(oldReport, std::ios::binary) << "old";
  const bool reportWritten = w.SaveReportAs();
  setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, oldHandler);
  EXPECT_FALSE(written);
  EXPECT_FALSE(reportWritten);
  ASSERT_EQ(t.Errors.size(), 3u);
  EXPECT_EQ(t.Errors[1], "cannot save the file \"" + target + "\": cannot write it");
  EXPECT_EQ(t.Errors[2], "cannot save the file \"" + oldReport.string() + "\": cannot write it: File too large");
  EXPECT_EQ(ReadAll(old), "old");
  EXPECT_EQ(ReadAll(oldReport), "old");
#endif
  // Nothing but the old files.
  EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), fs::exists(dir / "report.html") ? 2 : 1);
}

TEST(MainWindowExport, ReportCommandsPutTextAndHtmlTogetherAndSaveBothKinds)
{
  TExportWindow t;
  TFrmMLRCalc& w = *t.W;
  const std::vector<std::string> lines = w.DetailsLines();

  t.W->SButCopyReport->click();
  const QMimeData* data = QApplication::clipboard()->mimeData();
  ASSERT_TRUE(data->hasText() && data->hasHtml());
  EXPECT_EQ(data->text().toStdString(), ReportText(lines));
  const std::string html = data->html().toStdString();
  EXPECT_NE(html.find("<pre>Number of Objects .............: 40\n"), std::string::npos);
  EXPECT_NE(html.find("<table>"), std::string::npos);

  // The coefficient table: a header and one row per coefficient, every number in full digits
  // that read back as the run's own doubles.
  t.W->SButCopyCoefficients->click();
  data = QApplication::clipboard()->mimeData();
  ASSERT_TRUE(data->hasText() && data->hasHtml());
  const QStringList rows = data->text().split('\n', Qt::SkipEmptyParts);
  const TMLRResult& r = *w.Run().Result();
  ASSERT_EQ(rows.size(), 1 + static_cast<qsizetype>(r.Inference.Coefficients.size()));
  EXPECT_EQ(rows[0].toStdString(), "Coefficient\tEstimate\tStd. Error\tt value\tPr(>|t|)\tCI 2.5 %\tCI 97.5 %\tVIF");
  for (std::size_t j = 0; j < r.Inference.Coefficients.size(); ++j) {
    const QStringList f = rows[static_cast<qsizetype>(j + 1)].split('\t');
    ASSERT_EQ(f.size(), 8);
    EXPECT_EQ(f[0].toStdString(), r.Inference.Coefficients[j].Name);
    const std::string estimate = f[1].toStdString(), se = f[2].toStdString();
    double e = 0, s = 0;
    std::from_chars(estimate.data(), estimate.data() + estimate.size(), e);
    std::from_chars(se.data(), se.data() + se.size(), s);
    EXPECT_EQ(e, r.Inference.Coefficients[j].Estimate) << estimate;
    EXPECT_EQ(s, r.Inference.Coefficients[j].StdError) << se;
    EXPECT_EQ(estimate.find(','), std::string::npos);
  }
  // The intercept has no VIF: an empty last field. The demonstration estimate reads -135.0895...
  EXPECT_TRUE(rows.back().startsWith("INTERCEPT\t-135.0895"));
  EXPECT_TRUE(rows.back().endsWith("\t"));
  const std::string table = data->html().toStdString();
  EXPECT_NE(table.find("<th>Coefficient</th>"), std::string::npos);
  EXPECT_NE(table.find("<td>Length</td>"), std::string::npos);

  // Save Report As: .txt is the memo's text, .html the document.
  const fs::path dir = ScratchFolder("export_report");
  std::string name;
  w.ExecuteSaveReportHook = [&](std::string& FileName) {
    FileName = name;
    return true;
  };
  name = (dir / "report.txt").string();
  ASSERT_TRUE(w.SaveReportAs());
  EXPECT_EQ(ReadAll(name), ReportText(lines));
  name = (dir / "report.HTML").string();
  ASSERT_TRUE(w.SaveReportAs());
  const std::string saved = ReadAll(name);
  EXPECT_EQ(saved.rfind("<!DOCTYPE html>", 0), 0u);
  EXPECT_NE(saved.find("<title>Regression of Net Weight</title>"), std::string::npos);
  // The tables in place, as tables: the analysis of variance among them, not as fixed text.
  EXPECT_EQ(saved.find(" Regression    2    2.03243E+04"), std::string::npos);
  EXPECT_NE(saved.find("Regression</td><td style=\"text-align:right\">2</td>"), std::string::npos);
  EXPECT_NE(saved.find("<td>Length</td>"), std::string::npos);
  EXPECT_TRUE(t.Errors.empty());
}

TEST(ImageExportDialog, FormatFollowsTheNameAndTheNameTheFormat)
{
  TImageExportDialog d;
  std::string offered;
  d.BrowseHook = [&](std::string& Name) {
    offered = Name;
    Name = "/tmp/chosen.Svg";
    return true;
  };
  d.SetFileName("/tmp/a.pdf");
  EXPECT_EQ(d.Format(), TImageFormat::Pdf);
  EXPECT_EQ(d.SEDpi->value(), 96);
  d.BtnBrowse->click();
  EXPECT_EQ(offered, "/tmp/a.pdf");
  EXPECT_EQ(d.Format(), TImageFormat::Svg);
  d.SetFormat(TImageFormat::Png);
  EXPECT_EQ(d.FileName(), "/tmp/chosen.png");
  EXPECT_EQ(d.SEDpi->value(), 300);
  // A resolution the user chose stays when the format changes.
  d.SEDpi->setValue(150);
  d.SetFormat(TImageFormat::Pdf);
  EXPECT_EQ(d.SEDpi->value(), 150);
  EXPECT_EQ(d.LblResult->text().toStdString(), "8.33 x 6.25 inches");
  d.SetFormat(TImageFormat::Png);
  EXPECT_EQ(d.LblResult->text().toStdString(), "1250 x 938 pixels at 150 dpi");
  // A name of another kind gets the extension added.
  d.EdFileName->setText("/tmp/plot.data");
  d.SetFormat(TImageFormat::Svg);
  EXPECT_EQ(d.FileName(), "/tmp/plot.data.svg");
  d.EdFileName->clear();
  EXPECT_FALSE(d.Buttons->button(QDialogButtonBox::Ok)->isEnabled());
}
