// TFrmMLRCalc: "Save Data" and "Save Data As", two glyph buttons at the right end of the tool
// strip and the keys Ctrl+S and Ctrl+Shift+S. The window remembers the file behind the table
// (set by a load in mainfrm_load.cpp and by every save): its name, format, delimited dialect and
// an ASC file's key/value section. Save writes the table back there through WriteTableFile
// (orvex_tablewriter.h), which replaces the file atomically; Save As asks for a name and takes
// the format from its extension. A failed save changes nothing: the old file stays whole, the
// table and the remembered file stay, and a message box names the file and the reason.
#include "mainfrm.h"

#include "orvex_ntabed.h"
#include "orvex_resources.h"
#include "orvex_tablewriter.h"
#include "tablehistory.h"

#include <QFileDialog>
#include <QIcon>
#include <QKeySequence>
#include <QLabel>
#include <QPixmap>
#include <QShortcut>
#include <QToolButton>
#include <cctype>

namespace orvex {

namespace {

QToolButton* MakeSaveButton(QWidget* Parent, const char* Name, const char* Text, const char* Glyph)
{
  auto* button = new QToolButton(Parent);
  button->setObjectName(Name);
  button->setAutoRaise(true);
  button->setText(Text);
  button->setIcon(QIcon(QPixmap::fromImage(ResourceImage(Glyph))));
  // Glyphs only: the strip between "Load Data" and its right end belongs to the collinearity
  // warning. The text shows as the tooltip.
  button->setToolButtonStyle(Qt::ToolButtonIconOnly);
  button->resize(27, 27);
  return button;
}

}  // namespace

void TFrmMLRCalc::CreateSaveControls()
{
  SButSaveData = MakeSaveButton(Panel1, "SButSaveData", "Save Data", "SAVEDATA");
  SButSaveData->setToolTip("Save Data (Ctrl+S)");
  SButSaveDataAs = MakeSaveButton(Panel1, "SButSaveDataAs", "Save Data As", "SAVEDATAAS");
  SButSaveDataAs->setToolTip("Save Data As (Ctrl+Shift+S)");
  PlaceSaveButtons();
  Panel1->installEventFilter(this);
  connect(SButSaveData, &QToolButton::clicked, this, [this] { Guarded([this] { SaveDataFile(); }); });
  connect(SButSaveDataAs, &QToolButton::clicked, this, [this] { Guarded([this] { SaveDataFileAs(); }); });
  auto* save = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_S), this);
  connect(save, &QShortcut::activated, this, [this] { Guarded([this] { SaveDataFile(); }); });
  auto* saveAs = new QShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S), this);
  connect(saveAs, &QShortcut::activated, this, [this] { Guarded([this] { SaveDataFileAs(); }); });
}

// At the strip's right end, right of the collinearity warning (which ends at 620, left of them
// at the window's smallest width of 700).
void TFrmMLRCalc::PlaceSaveButtons()
{
  const int right = Panel1->width() - 4;
  SButSaveDataAs->move(right - SButSaveDataAs->width(), 2);
  SButSaveData->move(SButSaveDataAs->x() - 2 - SButSaveData->width(), 2);
}

bool TFrmMLRCalc::SaveDataFile()
{
  if (FDataFile.FileName.empty() || FDataFile.Partial)
    return SaveDataFileAs();
  return WriteDataFile(FDataFile.FileName, FDataFile.Format, FDataFile.Dialect);
}

bool TFrmMLRCalc::SaveDataFileAs()
{
  std::string fileName = FDataFile.FileName;
  if (!(ExecuteSaveHook ? ExecuteSaveHook(fileName) : RunSaveDialog(fileName)) || fileName.empty())
    return false;
  TFileFormat format = TFileFormat::Asc;
  try {
    format = FormatForSaving(fileName);
  } catch (const EOrvexTableWriteError& e) {
    ShowSaveFailure(e.what());
    return false;
  }
  // A delimited table saved as delimited text keeps its decimal mark, header, row names and
  // quoting; the delimiter follows the extension.
  const bool fromDelimited = !FDataFile.FileName.empty() && FDataFile.Format == TFileFormat::Delimited;
  const TDelimitedDialect dialect = format == TFileFormat::Delimited
                                        ? DialectForSaving(fileName, fromDelimited ? &FDataFile.Dialect : nullptr)
                                        : TDelimitedDialect();
  return WriteDataFile(fileName, format, dialect);
}

bool TFrmMLRCalc::RunSaveDialog(std::string& FileName)
{
  QFileDialog dialog(this, "Save Data As", QString(),
                     "ASC files (*.asc);;Comma-separated values (*.csv);;Tab-separated values (*.tsv *.txt);;"
                     "Workbooks (*.xlsx)");
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  const bool csv = FDataFile.Format == TFileFormat::Delimited && !FDataFile.FileName.empty();
  dialog.setDefaultSuffix(csv ? "csv" : "asc");
  if (csv)
    dialog.selectNameFilter("Comma-separated values (*.csv)");
  if (!FileName.empty())
    dialog.selectFile(QString::fromStdString(FileName));
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
    return false;
  FileName = dialog.selectedFiles().constFirst().toStdString();
  return true;
}

bool TFrmMLRCalc::WriteDataFile(const std::string& FileName, TFileFormat Format, const TDelimitedDialect& Dialect)
{
  TTableWriteOptions options;
  options.Format = Format;
  options.Dialect = Dialect;
  // The key/value section of an ASC file goes on with the table into the next ASC file.
  if (Format == TFileFormat::Asc && !FDataFile.CustomData.empty())
    options.CustomData = &FDataFile.CustomData;
  std::string failure;
  try {
    WriteTableFile(NTData->DataTable(), FileName, options);
  } catch (const EOrvexError& e) {
    failure = e.what();
  } catch (const std::bad_alloc&) {
    failure = "cannot save the file \"" + FileName + "\": not enough memory";
  }
  if (!failure.empty()) {
    ShowSaveFailure(failure);
    return false;
  }
  DataFileSaved(FileName, Format, Dialect);
  return true;
}

void TFrmMLRCalc::ShowSaveFailure(std::string Text)
{
  if (!Text.empty())
    Text[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(Text[0])));
  if (ShowError)
    ShowError("Save Data", Text + ".\nThe data in the window are unchanged.");
}

void TFrmMLRCalc::DataFileSaved(const std::string& FileName, TFileFormat Format, const TDelimitedDialect& Dialect)
{
  // The key/value section lives on only in ASC files.
  if (Format != TFileFormat::Asc)
    FDataFile.CustomData.clear();
  FDataFile.FileName = FileName;
  FDataFile.Format = Format;
  FDataFile.Dialect = Dialect;
  FDataFile.Partial = false;
  // The table as written is the saved one: the clean point of the undo history.
  FHistory->SetClean();
  UpdateCaption();
}

}  // namespace orvex
