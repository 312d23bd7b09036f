// TImportDialog: the import dialog for a delimited text file. It shows what the reader detected
// from the start of the file (delimiter, decimal mark, header, row names, quote character, lines
// to skip, missing-value tokens, encoding), each changeable, and a preview grid of the first 100
// rows with each column's kind (number, levels, left out) and its count of cells that are not
// numbers. Every change previews again at once: a choice the user made is given to the
// detection, the others are detected anew around it and shown as detected. OK is possible while
// the preview reads as a table; Dialect then holds every choice resolved, which is what the
// window reads the whole file with.
//
// The dialog reads only the file's first 64 KiB (ReadFileSample); the detection and the preview
// are the delimited reader's own (orvex_delimited.h), so what the grid shows is what loads.
#pragma once

#include "orvex_delimited.h"

#include <QDialog>
#include <string>

class QCheckBox;
class QComboBox;
class QDialogButtonBox;
class QLabel;
class QLineEdit;
class QSpinBox;
class QTableWidget;

namespace orvex {

class TImportDialog : public QDialog {
  Q_OBJECT
public:
  // Reads the start of FileName and previews it with everything detected.
  explicit TImportDialog(const std::string& FileName, QWidget* Parent = nullptr);

  // controls
  QComboBox* CBDelimiter = nullptr;
  QComboBox* CBDecimalMark = nullptr;
  QCheckBox* ChkHeader = nullptr;
  QCheckBox* ChkRowNames = nullptr;
  QComboBox* CBQuote = nullptr;
  QSpinBox* SESkipLines = nullptr;
  QLineEdit* EdMissing = nullptr;
  QComboBox* CBEncoding = nullptr;
  QLabel* LblMessage = nullptr;
  QTableWidget* GrdPreview = nullptr;
  QDialogButtonBox* Buttons = nullptr;

  // properties
  const std::string& FileName() const { return FFileName; }
  // Every choice resolved (no Detect left), as previewed.
  const TDelimitedDialect& Dialect() const { return FPreview.Detected.Dialect; }
  const TDelimitedPreview& Preview() const { return FPreview; }
  // Whether the preview reads as a table (OK is enabled).
  bool Readable() const;

  // operations
  // Previews the sample again with the choices the user made, the others detected.
  void Repreview();

private:
  // Which choices the user made; the others stay with the detection.
  enum TChoice { chDelimiter, chDecimalMark, chHeader, chRowNames, chQuote, chSkipLines, chMissing, chEncoding,
                 chCount };
  void CreateControls();
  void Given(TChoice Choice);
  TDelimitedDialect GivenDialect() const;
  // Shows the resolved choices in the controls without counting that as the user's choice.
  void ShowDialect(const TDelimitedDialect& D);
  void FillGrid();

  std::string FFileName;
  std::string FSample;
  TDelimitedPreview FPreview;
  bool FGiven[chCount] = {};
  bool FUpdating = false;
};

// The missing-value tokens as the dialog's edit shows them: separated by blanks, the empty token
// (an empty field) left out because it always counts as missing. ParseMissingTokens reads such a
// text back, the empty token first.
std::string FormatMissingTokens(const std::vector<std::string>& Tokens);
std::vector<std::string> ParseMissingTokens(const std::string& Text);

}  // namespace orvex
