// TImageExportDialog: the modal dialog of "Save Image As...". It asks for the file (typed, or
// chosen with "Browse..."), the format (PNG, SVG, PDF; it follows the file's extension and
// changes it), the width and height in pixels as the chart has them on the screen, and the
// resolution in dots per inch, and shows what that makes: the pixels of a PNG, or the inches of
// an SVG drawing or a PDF page. OK is possible while the settings can make an image; the
// window then writes it with SaveChartImage (chartexport.h).
#pragma once

#include "chartexport.h"

#include <QDialog>
#include <functional>
#include <string>

class QComboBox;
class QDialogButtonBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;

namespace orvex {

// The resolution a format starts with: 300 dots per inch for a PNG, 96 for the vector formats.
int DefaultImageDpi(TImageFormat Format);

class TImageExportDialog : public QDialog {
  Q_OBJECT
public:
  explicit TImageExportDialog(QWidget* Parent = nullptr);

  // controls
  QLineEdit* EdFileName = nullptr;
  QPushButton* BtnBrowse = nullptr;
  QComboBox* CBFormat = nullptr;
  QSpinBox* SEWidth = nullptr;
  QSpinBox* SEHeight = nullptr;
  QSpinBox* SEDpi = nullptr;
  QLabel* LblResult = nullptr;
  QDialogButtonBox* Buttons = nullptr;

  // properties
  std::string FileName() const;
  // Sets the file name; a known extension sets the format.
  void SetFileName(const std::string& Value);
  TImageFormat Format() const;
  // Sets the format and gives the file name its extension; the resolution follows the format
  // until the user changes it.
  void SetFormat(TImageFormat Value);
  TImageSettings Settings() const;
  void SetSettings(const TImageSettings& Value);
  // What OK would write, or why it cannot ("" when it can).
  std::string Problem() const;

  // Asks for a file name ("Browse..."), Name holding the current one; a modal save dialog by
  // default. False when the user cancels.
  std::function<bool(std::string& Name)> BrowseHook;

private:
  void CreateControls();
  void Browse();
  void FileNameEdited();
  void FormatChosen();
  void UpdateResult();

  bool FDpiGiven = false;  // the user changed the resolution: it no longer follows the format
  bool FUpdating = false;
};

}  // namespace orvex
