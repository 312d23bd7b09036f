// TFrmMLRCalc: creation and placement of every control of the main window with the settings
// the window relies on, the open dialog, "Load Data", and the guard that keeps library errors
// and exhausted memory inside the window's entry points.
#include "mainfrm.h"

#include "addestimates.h"
#include "demodata.h"
#include "orvex_datatable.h"
#include "orvex_datatable_memory.h"
#include "orvex_gradfl.h"
#include "orvex_ntabed.h"
#include "orvex_rchart.h"
#include "orvex_replist.h"
#include "orvex_resources.h"
#include "resultcharts.h"
#include "tablehistory.h"

#include <QCheckBox>
#include <QContextMenuEvent>
#include <QEvent>
#include <QMenu>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QMessageBox>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>
#include <new>

namespace orvex {

// ---------------------------------------------------------------------------------------------
// The open dialog

bool TOpenDialog::Execute(QWidget* Parent)
{
  if (ExecuteHook)
    return ExecuteHook(*this);
  // Each "description|pattern" pair becomes Qt's "description (pattern)", the pairs joined by ";;".
  const QStringList parts = QString::fromStdString(FFilter).split('|');
  QStringList filters;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2)
    filters << parts[i] + " (" + parts[i + 1] + ")";
  QFileDialog dialog(Parent, "Load Data", QString(), filters.join(";;"));
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.selectFile(QString::fromStdString(FFileName));
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
    return false;
  FFileName = dialog.selectedFiles().constFirst().toStdString();
  return true;
}

// ---------------------------------------------------------------------------------------------
// Creation

namespace {

void ShowMessageBox(QWidget* Parent, const std::string& Title, const std::string& Text)
{
  QMessageBox::warning(Parent, QString::fromStdString(Title), QString::fromStdString(Text));
}

// A label of the window: position, size, text colour and boldness.
QLabel* MakeLabel(QWidget* Parent, const char* Text, int X, int Y, int W, int H, TColor Color)
{
  auto* label = new QLabel(QString::fromUtf8(Text), Parent);
  label->setGeometry(X, Y, W, H);
  QFont f = label->font();
  f.setBold(true);
  label->setFont(f);
  QPalette pal = label->palette();
  pal.setColor(QPalette::WindowText, ToQColor(Color));
  label->setPalette(pal);
  return label;
}

QWidget* AddPage(QTabWidget* Pages, const char* Caption)
{
  auto* page = new QWidget;
  Pages->addTab(page, QString::fromUtf8(Caption));
  return page;
}

}  // namespace

TFrmMLRCalc::TFrmMLRCalc(QWidget* Parent) : QWidget(Parent)
{
  ShowWarning = [this](const std::string& Title, const std::string& Text) { ShowMessageBox(this, Title, Text); };
  AvailableMemory = AvailableMemoryBytes;
  ShowError = ShowWarning;
  CreateControls();
  CreateChartInteraction();
  FRun.SetDeferInfluence(true);
}

TFrmMLRCalc::~TFrmMLRCalc()
{
  NTData->DataTable().RemoveListener(FTableListenerKey);
  // The stack reports its clearing as it goes: nothing of this window, whose members are going,
  // may hear it.
  FHistory->Stack().disconnect();
  FHistory.reset();
}

void TFrmMLRCalc::CreateControls()
{
  InstallFontSubstitutions();
  setObjectName("FrmMLRCalc");
  setWindowTitle("Multiple Linear Regression");
  setMinimumSize(700, 500);
  resize(700, 500);
  TFont windowFont;
  windowFont.SetName("MS Sans Serif");
  windowFont.SetHeight(-13);
  setFont(windowFont.ToQFont());
  QPalette pal = palette();
  pal.setColor(QPalette::Window, ToQColor(clBtnFace));
  setPalette(pal);

  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(0);

  // The tool strip: the gradient banner with the button and the warning on top of it.
  Panel1 = new QWidget(this);
  Panel1->setObjectName("Panel1");
  Panel1->setFixedHeight(33);
  column->addWidget(Panel1);
  GradFill1 = new TGradFill(Panel1);
  GradFill1->SetName("GradFill1");
  GradFill1->SetColorFirst(clBtnFace);
  GradFill1->SetColorLast(clWhite);
  GradFill1->SetNrColors(64);
  GradFill1->SetFrameStyle(fsNone);
  GradFill1->SetGridMode(gmNone);
  GradFill1->SetColorFlipped(false);
  GradFill1->SetAlign(alClient);

  SButLoadData = new QToolButton(Panel1);
  SButLoadData->setObjectName("SButLoadData");
  SButLoadData->setAutoRaise(true);
  SButLoadData->setText("Load Data");
  SButLoadData->setIcon(QIcon(QPixmap::fromImage(ResourceImage("LOADDATA"))));
  SButLoadData->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
  SButLoadData->setToolTip("BF_open a stored MLR model");
  SButLoadData->setGeometry(4, 2, 149, 27);
  connect(SButLoadData, &QToolButton::clicked, this, [this] { Guarded([this] { SButLoadDataClick(); }); });

  LblNearSing = MakeLabel(Panel1, NearSingularWarning, 160, 8, 460, 16, clRed);
  LblNearSing->setObjectName("LblNearSing");
  LblNearSing->setAttribute(Qt::WA_TranslucentBackground);
  LblNearSing->hide();

  PageControl1 = new QTabWidget(this);
  PageControl1->setObjectName("PageControl1");
  column->addWidget(PageControl1, 1);

  // Data page: the table editor.
  TSData = AddPage(PageControl1, "Data");
  NTData = new TNTabEd(TSData);
  NTData->SetName("NTData");
  NTData->SetAutoAdvance(true);
  NTData->SetAutoAdvanceDir(orVert);
  NTData->SetAttribRowVisible(true);
  NTData->SetAttribColVisible(false);
  NTData->SetCommentEditingAllowed(true);
  NTData->SetDataReadOnly(false);
  NTData->SetNumWidth(1);
  NTData->SetClipboardUseFullPrec(true);
  NTData->SetBoldMarks(true);
  NTData->SetBoldSelHeads(true);
  NTData->SetDefaultColWidth(64);
  NTData->SetColorNormal(0x002000);
  NTData->SetColorSelected(0x404040);
  NTData->SetColorMarkedA(clRed);
  NTData->SetColorMarkedB(clBlue);
  NTData->SetColorMarkedBoth(0xCC00BB);
  NTData->SetColorRangeSelFG(0x80552C);
  NTData->SetColorRangeSelBG(0xF8E8E0);
  NTData->SetOptions(TGridOptions{goFixedVertLine, goFixedHorzLine, goVertLine, goHorzLine, goRangeSelect,
                                  goColSizing});
  auto* dataLayout = new QVBoxLayout(TSData);
  dataLayout->setContentsMargins(0, 0, 0, 0);
  dataLayout->addWidget(NTData);
  // The variable list follows the table's columns (count and names).
  NTData->OnChangeSetup = [this](TObject*) { Guarded([this] { FollowTable(); }); };
  NTData->OnHeadingChanged = NTData->OnChangeSetup;
  NTData->OnLayoutChanged = NTData->OnChangeSetup;

  // Regression page: the variable list left, the result charts right.
  TSMLR = AddPage(PageControl1, "Regression");
  auto* mlrLayout = new QHBoxLayout(TSMLR);
  mlrLayout->setContentsMargins(0, 0, 0, 0);
  mlrLayout->setSpacing(0);
  RLVarSel = new TReportListView(TSMLR);
  RLVarSel->SetName("RLVarSel");
  RLVarSel->setFixedWidth(281);
  RLVarSel->SetSuppressPaint(true);
  RLVarSel->SetNrOfColumns(4);
  RLVarSel->SetCommonHeader("List of Variables");
  RLVarSel->SetCommonHeaderAlignment(taCenter);
  RLVarSel->SetCommonHeaderVisible(true);
  RLVarSel->SetCommonHeaderHeight(20);
  RLVarSel->SetColumnHeadersVisible(true);
  RLVarSel->SetColumnHeadersHeight(20);
  RLVarSel->SetDefaultRowHeight(18);
  RLVarSel->SetShowEmptyCheckBoxes(true);
  RLVarSel->SetRowColPattern(1);
  RLVarSel->SetRowSelectMode(0);
  RLVarSel->SetSortEnabled(false);
  RLVarSel->SetUseCtrlForMultiSel(true);
  RLVarSel->SetFixedFirstColumn(false);
  RLVarSel->SetColorText(0x002000);
  RLVarSel->SetColorBkgdNormal(clWhite);
  RLVarSel->SetColorBkgdShaded(0xE7DFDE);
  RLVarSel->SetColorHigh(0xECF0E1);
  RLVarSel->SetColorHighText(clWhite);
  RLVarSel->SetColorSelectedRow(0x3F3F3F);
  RLVarSel->SetColorSelectedRowText(0xE5FFFF);
  RLVarSel->SetColorDisabledBkgd(0xF0F0F0);
  RLVarSel->SetColorDisabledText(clSilver);
  RLVarSel->SetColorCommonHd(clBtnFace);
  RLVarSel->SetColorCommonHdText(clBlack);
  RLVarSel->SetColorColumnHd(clBtnFace);
  RLVarSel->SetColorColumnHdText(clBlack);
  RLVarSel->SetNrOfRows(0);
  RLVarSel->OnCheckedChange = [this](TObject* Sender, bool& State, int Col, int Row) {
    Guarded([&] { RLVarSelCheckedChange(Sender, State, Col, Row); });
  };
  RLVarSel->OnBeforeRenderCell = [this](TObject* Sender, int ACol, int ARow, TColor& PenColor, TColor& BrushColor,
                                        TColor& FontColor, TFontStyles& FontStyles, std::string& Text) {
    RLVarSelBeforeRenderCell(Sender, ACol, ARow, PenColor, BrushColor, FontColor, FontStyles, Text);
  };
  RLVarSel->SetSuppressPaint(false);
  // The list gets its client width only when its page is first shown: the variable column is
  // fitted again then (and on every later resize).
  RLVarSel->viewport()->installEventFilter(this);
  auto* listColumn = new QVBoxLayout;
  listColumn->setSpacing(0);
  listColumn->addWidget(RLVarSel, 1);
  listColumn->addWidget(CreateOptionsBar(TSMLR));
  listColumn->addWidget(CreateEstimatesBar(TSMLR));
  listColumn->addWidget(CreateExclusionBar(TSMLR));
  connect(SButAddEstimates, &QToolButton::clicked, this,
          [this] { Guarded([this] { AddEstimatesToTable(CBIntervals->isChecked()); }); });
  mlrLayout->addLayout(listColumn);

  PageControl2 = new QTabWidget(TSMLR);
  PageControl2->setObjectName("PageControl2");
  mlrLayout->addWidget(PageControl2, 1);

  // Each chart lies over its explanation label and starts hidden, so the label shows until a run.
  TSActEstimate = AddPage(PageControl2, "Actual vs. Estimated Data");
  Label2 = MakeLabel(TSActEstimate, SelectVariablesText, 16, 16, 144, 48, clNavy);
  Label2->setObjectName("Label2");
  Label2->setWordWrap(true);
  Label2->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  RCFit = new TRChart(TSActEstimate);
  RCFit->SetName("RCFit");
  SetupChart(*RCFit);

  TSDistriResid = AddPage(PageControl2, "Distribution of Residuals");
  Label1 = MakeLabel(TSDistriResid, SelectVariablesText, 16, 16, 144, 48, clNavy);
  Label1->setObjectName("Label1");
  Label1->setWordWrap(true);
  Label1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  RCHisto = new TRChart(TSDistriResid);
  RCHisto->SetName("RCHisto");
  SetupChart(*RCHisto);
  RCHisto->SetCaption(HistogramTitle);
  RCHisto->Scale1Y().SetDecPlaces(0);
  CreateDiagnosticPages();

  // Details page: the report memo.
  TSDetails = AddPage(PageControl1, "Details");
  MMDetails = new QPlainTextEdit(TSDetails);
  MMDetails->setObjectName("MMDetails");
  TFont memoFont;
  memoFont.SetName("Courier New");
  memoFont.SetHeight(-13);
  MMDetails->setFont(memoFont.ToQFont());
  MMDetails->setLineWrapMode(QPlainTextEdit::NoWrap);
  MMDetails->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  MMDetails->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  auto* detailsLayout = new QVBoxLayout(TSDetails);
  detailsLayout->setContentsMargins(0, 0, 0, 0);
  detailsLayout->addWidget(MMDetails);

  PageControl1->setCurrentIndex(0);
  PageControl2->setCurrentIndex(0);

  ODiag.SetFilter(DataFileFilter);
  CreateStatusLines();
  CreateSaveControls();
  CreateUndoControls();
  CreateExportControls();
}

void TFrmMLRCalc::SetupChart(TRChart& Chart)
{
  Chart.SetSuppressPaint(true);
  Chart.hide();
  Chart.SetAutoRedraw(true);
  SetupResultChart(Chart);
  Chart.SetMouseAction(maNone);
  Chart.SetAlign(alClient);
  Chart.raise();
  Chart.SetSuppressPaint(false);
}

// ---------------------------------------------------------------------------------------------
// Entry points

bool TFrmMLRCalc::eventFilter(QObject* Watched, QEvent* Event)
{
  if (ChartContextMenu(Watched, Event))
    return true;
  if (Watched == RLVarSel->viewport() && Event->type() == QEvent::ContextMenu) {
    // A categorical variable's menu of reference levels; shown without blocking.
    const QPoint pos = static_cast<QContextMenuEvent*>(Event)->pos();
    Guarded([&] {
      const TGridCoord cell = RLVarSel->MouseCoord(pos.x(), pos.y());
      if (QMenu* menu = cell.Y >= 0 ? CreateVariableMenu(cell.Y - RLVarSel->HeaderRows() + 1) : nullptr) {
        menu->setAttribute(Qt::WA_DeleteOnClose);
        menu->popup(RLVarSel->viewport()->mapToGlobal(pos));
      }
    });
    return true;
  }
  if (Watched == RLVarSel->viewport() && Event->type() == QEvent::Resize && RLVarSel->NrOfColumns() >= 3)
    RLVarSel->FitColumnWidth(1, 28);
  if (Watched == Panel1 && Event->type() == QEvent::Resize) {
    PlaceSaveButtons();
    PlaceHistoryButtons();
  }
  return QWidget::eventFilter(Watched, Event);
}

void TFrmMLRCalc::showEvent(QShowEvent* Event)
{
  QWidget::showEvent(Event);
  // OnShow: the demonstration data come in once, when the window first appears.
  if (!FShown) {
    FShown = true;
    Guarded([this] { FormShow(); });
  }
}

void TFrmMLRCalc::FormShow()
{
  // The demonstration data stay when a file given at start cannot be read or is cancelled.
  LoadDemoData(NTData->DataTable());
  FHistory->Clear();  // the demonstration data are the untouched table
  FKeptRoles.reset();
  FDataFile = TDataFile();
  RebuildVariableList();
  UpdateCaption();
  if (!FStartFile.empty())
    OpenDataFile(FStartFile);
}

void TFrmMLRCalc::SButLoadDataClick()
{
  if (!ConfirmDiscard())
    return;
  ODiag.SetFilter(DataFileFilter);
  ODiag.SetFileName("");
  if (!ODiag.Execute(this))
    return;
  OpenDataFile(ODiag.FileName());
}

}  // namespace orvex
