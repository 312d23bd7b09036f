#include "sheetimportdlg.h"

#include "orvex_tablebuilder.h"
#include "orvex_workbook.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <cmath>
#include <filesystem>

namespace orvex {

namespace {

// Rows of a workbook read for the preview.
constexpr int PreviewRows = 20;

QString CellText(const TTableBuilder& B, int Col, int Row)
{
  if (B.CellState(Col, Row) != 0)
    return QString();
  const double v = B.Value(Col, Row);
  const TVarType type = B.VarType(Col);
  if ((type == vtNominal || type == vtOrdinal) && v == std::floor(v)) {
    const std::string label = B.LevelName(Col, static_cast<int>(v));
    if (!label.empty())
      return QString::fromStdString(label);
  }
  return QString::number(v, 'g', 15);
}

}  // namespace

TSheetImportDialog::TSheetImportDialog(const std::string& FileName, TFileFormat Format, QWidget* Parent)
    : QDialog(Parent), FFileName(FileName), FFormat(Format)
{
  setWindowTitle("Import " + QString::fromStdString(std::filesystem::path(FileName).filename().string()));
  CreateControls();
  Repreview();
}

void TSheetImportDialog::CreateControls()
{
  auto* layout = new QVBoxLayout(this);
  auto* form = new QFormLayout();
  CBSheet = new QComboBox(this);
  ChkHeader = new QCheckBox("First row holds the column names", this);
  ChkRowNames = new QCheckBox("First column holds the row names", this);
  ChkLabelsAsNames = new QCheckBox("Variable labels as column names", this);
  const bool workbook = FFormat == TFileFormat::Workbook;
  if (workbook) {
    std::string message;
    for (const std::string& name : WorkbookSheetNames(FFileName, message))
      CBSheet->addItem(QString::fromStdString(name));
    form->addRow("Sheet:", CBSheet);
    form->addRow(ChkHeader);
    form->addRow(ChkRowNames);
    ChkLabelsAsNames->hide();
  } else {
    form->addRow(ChkLabelsAsNames);
    CBSheet->hide();
    ChkHeader->hide();
    ChkRowNames->hide();
  }
  layout->addLayout(form);
  LblMessage = new QLabel(this);
  LblMessage->setWordWrap(true);
  layout->addWidget(LblMessage);
  GrdPreview = new QTableWidget(this);
  GrdPreview->setEditTriggers(QAbstractItemView::NoEditTriggers);
  GrdPreview->setMinimumSize(560, 260);
  layout->addWidget(GrdPreview);
  Buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  layout->addWidget(Buttons);
  connect(Buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(Buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(CBSheet, &QComboBox::currentIndexChanged, this, [this] {
    if (!FUpdating)
      Repreview();
  });
  connect(ChkHeader, &QCheckBox::toggled, this, [this] {
    if (!FUpdating) {
      FHeaderGiven = true;
      Repreview();
    }
  });
  connect(ChkRowNames, &QCheckBox::toggled, this, [this] {
    if (!FUpdating) {
      FRowNamesGiven = true;
      Repreview();
    }
  });
  connect(ChkLabelsAsNames, &QCheckBox::toggled, this, [this] {
    if (!FUpdating)
      Repreview();
  });
}

TTableReadOptions TSheetImportDialog::Options() const
{
  TTableReadOptions o;
  if (FFormat == TFileFormat::Workbook) {
    o.Workbook.Sheet = CBSheet->count() > 0 ? CBSheet->currentText().toStdString() : std::string();
    if (FHeaderGiven)
      o.Workbook.Rules.Header = ChkHeader->isChecked() ? TPresence::Yes : TPresence::No;
    if (FRowNamesGiven)
      o.Workbook.Rules.RowNames = ChkRowNames->isChecked() ? TPresence::Yes : TPresence::No;
  } else {
    o.Stat.LabelsAsNames = ChkLabelsAsNames->isChecked();
  }
  return o;
}

void TSheetImportDialog::Repreview()
{
  TTableReadOptions o = Options();
  o.Workbook.MaxRows = PreviewRows;
  TTableBuilder b;
  TTableFileResult r;
  std::string failure;
  try {
    r = ReadTableFileWith(FFileName, o, b);
    if (!r.Ok())
      failure = r.Message;
  } catch (const std::exception& e) {
    failure = e.what();
  }
  FReadable = failure.empty();
  GrdPreview->clear();
  QString message;
  if (!FReadable) {
    message = QString::fromStdString(failure);
    GrdPreview->setRowCount(0);
    GrdPreview->setColumnCount(0);
  } else {
    // The detected header and row-name choices, shown without counting as the user's.
    FUpdating = true;
    if (FFormat == TFileFormat::Workbook) {
      ChkHeader->setChecked(r.Workbook.Table.Header);
      ChkRowNames->setChecked(r.Workbook.Table.RowNames);
    }
    FUpdating = false;
    const int cols = b.NrOfColumns();
    const int rows = std::min(b.NrOfRows(), PreviewRows);
    GrdPreview->setColumnCount(cols);
    GrdPreview->setRowCount(rows);
    QStringList heads, rowHeads;
    for (int c = 1; c <= cols; ++c)
      heads << QString::fromStdString(b.ColName(c));
    for (int row = 1; row <= rows; ++row)
      rowHeads << QString::fromStdString(b.RowName(row));
    GrdPreview->setHorizontalHeaderLabels(heads);
    GrdPreview->setVerticalHeaderLabels(rowHeads);
    for (int c = 1; c <= cols; ++c)
      for (int row = 1; row <= rows; ++row)
        GrdPreview->setItem(row - 1, c - 1, new QTableWidgetItem(CellText(b, c, row)));
    QStringList notes;
    for (const TLeftOutColumn& c : r.Delimited.LeftOut)
      notes << QString::fromStdString("Left out: \"" + c.Name + "\" (" + c.Reason + ")");
    for (const std::string& n : r.Stat.Notes)
      notes << QString::fromStdString(n);
    message = notes.join("\n");
  }
  LblMessage->setText(message);
  LblMessage->setVisible(!message.isEmpty());
  Buttons->button(QDialogButtonBox::Ok)->setEnabled(FReadable);
}

}  // namespace orvex
