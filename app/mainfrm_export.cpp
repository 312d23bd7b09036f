// TFrmMLRCalc: getting results out of the window. Every result chart has a context menu with
// "Copy Image" and "Save Image As..." (and the exclusion commands of mainfrm_exclude.cpp); the
// details page has "Copy Report", "Save Report As..." and "Copy Coefficient Table" on a bar
// above the memo and in the memo's own context menu.
//
// Images are the chart's own rendering at the chosen size and resolution (chartexport.h), not a
// grab of the screen; files are replaced only once they are complete, so a failed write shows
// its reason and keeps the old file. The clipboard gets an image, or text together with HTML in
// one QMimeData, so that a word processor takes the tables and a text editor the text.
#include "mainfrm.h"

#include "chartexport.h"
#include "chartinteraction.h"
#include "imageexportdlg.h"
#include "mlrtable.h"
#include "orvex_rchart.h"
#include "reportexport.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QMenu>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>
#include <cctype>
#include <filesystem>

namespace orvex {

namespace {

// A file name made of a chart's tab caption: "Actual vs. Estimated Data" gives
// "actual-vs-estimated-data".
std::string FileStem(const std::string& Caption)
{
  std::string stem;
  for (char c : Caption) {
    if (std::isalnum(static_cast<unsigned char>(c)))
      stem += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    else if (!stem.empty() && stem.back() != '-')
      stem += '-';
  }
  while (!stem.empty() && stem.back() == '-')
    stem.pop_back();
  return stem.empty() ? "chart" : stem;
}

void PutOnClipboard(const std::string& Text, const std::string& Html)
{
  auto* data = new QMimeData;
  data->setText(QString::fromStdString(Text));
  data->setHtml(QString::fromStdString(Html));
  QApplication::clipboard()->setMimeData(data);
}

}  // namespace

std::vector<TRChart*> TFrmMLRCalc::ResultCharts() const
{
  return {RCFit, RCHisto, RCResidEst, RCNormalQQ, RCScaleLoc, RCResidLev};
}

void TFrmMLRCalc::CreateExportControls()
{
  for (TRChart* chart : ResultCharts())
    chart->installEventFilter(this);
  ChartPopupHook = [](QMenu* Menu, const QPoint& GlobalPos) { Menu->popup(GlobalPos); };

  // The details page: the bar above the memo.
  auto* bar = new QWidget(TSDetails);
  bar->setObjectName("PnlDetailsBar");
  auto* row = new QHBoxLayout(bar);
  row->setContentsMargins(4, 2, 4, 2);
  auto button = [bar, row](const char* Name, const char* Text, const char* Hint) {
    auto* b = new QToolButton(bar);
    b->setObjectName(Name);
    b->setText(Text);
    b->setToolTip(Hint);
    row->addWidget(b);
    return b;
  };
  SButCopyReport = button("SButCopyReport", "Copy Report", "Copy the whole report as text and as HTML");
  SButSaveReport = button("SButSaveReport", "Save Report As...", "Save the report as a text file or an HTML page");
  SButCopyCoefficients = button("SButCopyCoefficients", "Copy Coefficient Table",
                                "Copy the coefficients with all their digits, for a spreadsheet or a document");
  row->addStretch(1);
  PnlDetailsBar = bar;
  static_cast<QVBoxLayout*>(TSDetails->layout())->insertWidget(0, bar);
  connect(SButCopyReport, &QToolButton::clicked, this, [this] { Guarded([this] { CopyReport(); }); });
  connect(SButSaveReport, &QToolButton::clicked, this, [this] { Guarded([this] { SaveReportAs(); }); });
  connect(SButCopyCoefficients, &QToolButton::clicked, this, [this] { Guarded([this] { CopyCoefficientTable(); }); });

  // The memo's own menu (Copy, Select All) with the report commands under it.
  MMDetails->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(MMDetails, &QPlainTextEdit::customContextMenuRequested, this, [this](const QPoint& Pos) {
    Guarded([&] {
      QMenu* menu = MMDetails->createStandardContextMenu(Pos);
      menu->addSeparator();
      AddReportActions(menu);
      menu->setAttribute(Qt::WA_DeleteOnClose);
      if (ChartPopupHook)
        ChartPopupHook(menu, MMDetails->viewport()->mapToGlobal(Pos));
    });
  });
  UpdateExportCommands();
}

void TFrmMLRCalc::AddReportActions(QMenu* Menu)
{
  const bool fitted = FRun.Succeeded() && FRun.Result();
  Menu->addAction("Copy Report", this, [this] { Guarded([this] { CopyReport(); }); });
  Menu->addAction("Save Report As...", this, [this] { Guarded([this] { SaveReportAs(); }); });
  Menu->addAction("Copy Coefficient Table", this, [this] { Guarded([this] { CopyCoefficientTable(); }); })
      ->setEnabled(fitted);
}

void TFrmMLRCalc::UpdateExportCommands()
{
  if (SButCopyCoefficients)
    SButCopyCoefficients->setEnabled(FRun.Succeeded() && FRun.Result());
}

bool TFrmMLRCalc::ChartContextMenu(QObject* Watched, QEvent* Event)
{
  if (Event->type() != QEvent::ContextMenu)
    return false;
  for (TRChart* chart : ResultCharts()) {
    if (Watched != chart)
      continue;
    const QPoint pos = static_cast<QContextMenuEvent*>(Event)->globalPos();
    Guarded([&] {
      QMenu* menu = CreateChartMenu(chart);
      menu->setAttribute(Qt::WA_DeleteOnClose);
      if (ChartPopupHook)
        ChartPopupHook(menu, pos);
    });
    return true;
  }
  return false;
}

QMenu* TFrmMLRCalc::CreateChartMenu(TRChart* Chart)
{
  auto* menu = new QMenu(this);
  menu->setObjectName("ChartMenu");
  menu->addAction("Copy Image", this, [this, Chart] { Guarded([&] { CopyChartImage(Chart); }); });
  menu->addAction("Save Image As...", this, [this, Chart] { Guarded([&] { SaveChartImageAs(Chart); }); });
  // The zoom of a scatter chart, with the keys that do the same.
  if (TChartInteraction* ci = ChartInteraction(Chart)) {
    menu->addSeparator();
    menu->addAction(ZoomBackText, this, [this, ci] { Guarded([ci] { ci->Back(); }); })->setEnabled(ci->CanGoBack());
    menu->addAction(ZoomForwardText, this, [this, ci] { Guarded([ci] { ci->Forward(); }); })
        ->setEnabled(ci->CanGoForward());
    menu->addAction(FitAllMarksText, this, [this, ci] { Guarded([ci] { ci->FitAll(); }); })
        ->setEnabled(ci->CurrentWindow() != ci->HomeWindow());
  }
  AddExclusionActions(menu);
  return menu;
}

void TFrmMLRCalc::CopyChartImage(TRChart* Chart)
{
  // The chart as it is on the screen, at the screen's pixel density.
  const double ratio = Chart->devicePixelRatioF();
  const int w = std::max(1, Chart->width()), h = std::max(1, Chart->height());
  QImage image = Chart->RenderImage(static_cast<int>(std::lround(w * ratio)), static_cast<int>(std::lround(h * ratio)),
                                    96.0 * ratio);
  QApplication::clipboard()->setImage(image);
}

bool TFrmMLRCalc::SaveChartImageAs(TRChart* Chart)
{
  TImageExportDialog dialog(this);
  // The chart's tab gives the file its name; the last export its folder, format and resolution.
  QString caption = "chart";
  for (int i = 0; i < PageControl2->count(); ++i)
    if (PageControl2->widget(i)->isAncestorOf(Chart))
      caption = PageControl2->tabText(i);
  const TImageFormat format = FLastImageFormat;
  std::filesystem::path name = FLastExportFolder.empty() ? std::filesystem::path() : std::filesystem::path(FLastExportFolder);
  name /= FileStem(caption.toStdString()) + ImageFormatExtension(format);
  dialog.SetFileName(name.string());
  dialog.SetFormat(format);
  dialog.SetSettings({std::clamp(Chart->width(), MinImageSide, MaxImageSide),
                      std::clamp(Chart->height(), MinImageSide, MaxImageSide),
                      FLastImageDpi > 0 ? FLastImageDpi : DefaultImageDpi(format)});
  const bool accepted = ExecuteImageExportHook ? ExecuteImageExportHook(dialog) : dialog.exec() == QDialog::Accepted;
  if (!accepted || !dialog.Problem().empty())
    return false;
  const std::string fileName = dialog.FileName();
  try {
    SaveChartImage(*Chart, fileName, dialog.Format(), dialog.Settings());
  } catch (const EOrvexError& e) {
    if (ShowError)
      ShowError("Save Image As", e.what());
    return false;
  }
  FLastExportFolder = std::filesystem::path(fileName).parent_path().string();
  FLastImageFormat = dialog.Format();
  FLastImageDpi = dialog.Settings().Dpi != DefaultImageDpi(dialog.Format()) ? dialog.Settings().Dpi : 0;
  return true;
}

std::string TFrmMLRCalc::ReportTitle() const
{
  const TMLRResultPtr result = FRun.Succeeded() ? FRun.Result() : nullptr;
  return result ? "Regression of " + result->TargetName : std::string("Regression report");
}

void TFrmMLRCalc::CopyReport()
{
  const std::vector<std::string> lines = DetailsLines();
  const TMLRResultPtr result = FRun.Succeeded() ? FRun.Result() : nullptr;
  PutOnClipboard(ReportText(lines), ReportHtml(ReportTitle(), lines, result.get()));
}

bool TFrmMLRCalc::SaveReportAs()
{
  std::string fileName = FLastReportFile;
  if (fileName.empty())
    fileName = (std::filesystem::path(FLastExportFolder) / "report.txt").string();
  bool chosen = false;
  if (ExecuteSaveReportHook) {
    chosen = ExecuteSaveReportHook(fileName);
  } else {
    QString filter;
    const QString name = QFileDialog::getSaveFileName(this, "Save Report As", QString::fromStdString(fileName),
                                                      "Text file (*.txt);;HTML page (*.html *.htm)", &filter,
                                                      QFileDialog::DontUseNativeDialog);
    chosen = !name.isEmpty();
    fileName = name.toStdString();
    // A name without an extension takes the chosen filter's.
    if (chosen && std::filesystem::path(fileName).extension().empty())
      fileName += filter.startsWith("HTML") ? ".html" : ".txt";
  }
  if (!chosen || fileName.empty())
    return false;
  std::string ext = std::filesystem::path(fileName).extension().string();
  for (char& c : ext)
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  const bool html = ext == ".html" || ext == ".htm";
  const std::vector<std::string> lines = DetailsLines();
  const TMLRResultPtr result = FRun.Succeeded() ? FRun.Result() : nullptr;
  try {
    ReplaceFileWithBytes(fileName, html ? ReportHtml(ReportTitle(), lines, result.get()) : ReportText(lines));
  } catch (const EOrvexError& e) {
    if (ShowError)
      ShowError("Save Report As", e.what());
    return false;
  }
  FLastReportFile = fileName;
  FLastExportFolder = std::filesystem::path(fileName).parent_path().string();
  return true;
}

void TFrmMLRCalc::CopyCoefficientTable()
{
  CompleteFit();
  const TMLRResultPtr result = FRun.Succeeded() ? FRun.Result() : nullptr;
  if (!result)
    return;
  const TReportTable table = CoefficientExportTable(*result);
  std::string tsv;
  for (const std::string& line : RenderTableTsv(table))
    tsv += line + '\n';
  PutOnClipboard(tsv, RenderTableHtml(table));
}

}  // namespace orvex
