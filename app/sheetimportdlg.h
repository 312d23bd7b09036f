// The import dialog of workbooks (xlsx, ods) and statistics-package files (SPSS, Stata, SAS):
// the sheet of a workbook, whether its first row is the header and its first column the row
// names, whether a statistics-package file's variable labels name the columns; a preview of
// the first rows as they will be read, with the reader's notes (value labels not used as
// levels, columns left out) or the reason the file cannot be read.
#pragma once

#include "orvex_delimited.h"
#include "orvex_tablefile.h"

#include <QDialog>
#include <string>

class QCheckBox;
class QComboBox;
class QDialogButtonBox;
class QLabel;
class QTableWidget;

namespace orvex {

class TSheetImportDialog : public QDialog {
  Q_OBJECT
public:
  // Lists the sheets of a workbook and previews FileName with everything detected.
  TSheetImportDialog(const std::string& FileName, TFileFormat Format, QWidget* Parent = nullptr);

  // controls (the sheet list and the two workbook boxes are hidden for a statistics-package
  // file, the labels box for a workbook)
  QComboBox* CBSheet = nullptr;
  QCheckBox* ChkHeader = nullptr;
  QCheckBox* ChkRowNames = nullptr;
  QCheckBox* ChkLabelsAsNames = nullptr;
  QLabel* LblMessage = nullptr;
  QTableWidget* GrdPreview = nullptr;
  QDialogButtonBox* Buttons = nullptr;

  // properties
  const std::string& FileName() const { return FFileName; }
  // The choices as previewed, for reading the whole file.
  TTableReadOptions Options() const;
  bool Readable() const { return FReadable; }

  // operations
  void Repreview();

private:
  void CreateControls();

  std::string FFileName;
  TFileFormat FFormat;
  bool FHeaderGiven = false;
  bool FRowNamesGiven = false;
  bool FReadable = false;
  bool FUpdating = false;
};

}  // namespace orvex
