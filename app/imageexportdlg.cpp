// The "Save Image As..." dialog: file, format, size and resolution, with the result shown as the
// settings change.
#include "imageexportdlg.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <algorithm>
#include <cstdio>
#include <filesystem>

namespace orvex {

namespace {

constexpr TImageFormat Formats[] = {TImageFormat::Png, TImageFormat::Svg, TImageFormat::Pdf};
constexpr const char* FormatNames[] = {"PNG image (*.png)", "SVG drawing (*.svg)", "PDF document (*.pdf)"};

std::string Inches(int Pixels)
{
  char buf[32];
  std::snprintf(buf, sizeof buf, "%d.%02d", Pixels / 96, (Pixels % 96 * 100 + 48) / 96);
  return buf;
}

}  // namespace

int DefaultImageDpi(TImageFormat Format)
{
  return Format == TImageFormat::Png ? 300 : 96;
}

TImageExportDialog::TImageExportDialog(QWidget* Parent) : QDialog(Parent)
{
  BrowseHook = [this](std::string& Name) {
    const QString chosen = QFileDialog::getSaveFileName(
        this, "Save Image As", QString::fromStdString(Name),
        QString(FormatNames[0]) + ";;" + FormatNames[1] + ";;" + FormatNames[2], nullptr,
        QFileDialog::DontUseNativeDialog);
    if (chosen.isEmpty())
      return false;
    Name = chosen.toStdString();
    return true;
  };
  CreateControls();
}

void TImageExportDialog::CreateControls()
{
  setObjectName("ImageExportDialog");
  setWindowTitle("Save Image As");
  setModal(true);

  auto* form = new QFormLayout;
  EdFileName = new QLineEdit(this);
  EdFileName->setObjectName("EdFileName");
  EdFileName->setMinimumWidth(320);
  BtnBrowse = new QPushButton("Browse...", this);
  BtnBrowse->setObjectName("BtnBrowse");
  auto* fileRow = new QHBoxLayout;
  fileRow->addWidget(EdFileName, 1);
  fileRow->addWidget(BtnBrowse);
  form->addRow("File:", fileRow);

  CBFormat = new QComboBox(this);
  CBFormat->setObjectName("CBFormat");
  for (const char* name : FormatNames)
    CBFormat->addItem(name);
  form->addRow("Format:", CBFormat);

  auto spin = [this](const char* Name, int Low, int High, const char* Suffix) {
    auto* s = new QSpinBox(this);
    s->setObjectName(Name);
    s->setRange(Low, High);
    s->setSuffix(Suffix);
    s->setAccelerated(true);
    return s;
  };
  SEWidth = spin("SEWidth", MinImageSide, MaxImageSide, " px");
  SEHeight = spin("SEHeight", MinImageSide, MaxImageSide, " px");
  SEDpi = spin("SEDpi", MinImageDpi, MaxImageDpi, " dpi");
  form->addRow("Width:", SEWidth);
  form->addRow("Height:", SEHeight);
  form->addRow("Resolution:", SEDpi);
  LblResult = new QLabel(this);
  LblResult->setObjectName("LblResult");
  form->addRow("", LblResult);

  Buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  auto* column = new QVBoxLayout(this);
  column->addLayout(form);
  column->addWidget(Buttons);

  connect(Buttons, &QDialogButtonBox::accepted, this, [this] {
    if (Problem().empty())
      accept();
  });
  connect(Buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(BtnBrowse, &QPushButton::clicked, this, [this] { Browse(); });
  connect(EdFileName, &QLineEdit::textEdited, this, [this] { FileNameEdited(); });
  connect(EdFileName, &QLineEdit::textChanged, this, [this] { UpdateResult(); });
  connect(CBFormat, &QComboBox::currentIndexChanged, this, [this] {
    if (!FUpdating)
      FormatChosen();
  });
  for (QSpinBox* s : {SEWidth, SEHeight})
    connect(s, &QSpinBox::valueChanged, this, [this] { UpdateResult(); });
  connect(SEDpi, &QSpinBox::valueChanged, this, [this] {
    if (!FUpdating)
      FDpiGiven = true;
    UpdateResult();
  });

  FUpdating = true;
  SEWidth->setValue(800);
  SEHeight->setValue(600);
  SEDpi->setValue(DefaultImageDpi(TImageFormat::Png));
  FUpdating = false;
  UpdateResult();
}

std::string TImageExportDialog::FileName() const
{
  return EdFileName->text().trimmed().toStdString();
}

void TImageExportDialog::SetFileName(const std::string& Value)
{
  EdFileName->setText(QString::fromStdString(Value));
  FileNameEdited();
}

TImageFormat TImageExportDialog::Format() const
{
  return Formats[std::clamp(CBFormat->currentIndex(), 0, 2)];
}

void TImageExportDialog::SetFormat(TImageFormat Value)
{
  const int index = static_cast<int>(Value);
  if (CBFormat->currentIndex() != index)
    CBFormat->setCurrentIndex(index);  // FormatChosen follows
  else
    FormatChosen();
}

TImageSettings TImageExportDialog::Settings() const
{
  return {SEWidth->value(), SEHeight->value(), SEDpi->value()};
}

void TImageExportDialog::SetSettings(const TImageSettings& Value)
{
  FUpdating = true;
  SEWidth->setValue(Value.Width);
  SEHeight->setValue(Value.Height);
  SEDpi->setValue(Value.Dpi);
  FUpdating = false;
  FDpiGiven = Value.Dpi != DefaultImageDpi(Format());
  UpdateResult();
}

std::string TImageExportDialog::Problem() const
{
  if (FileName().empty())
    return "Choose a file.";
  std::string problem = ImageSettingsProblem(Format(), Settings());
  if (!problem.empty()) {
    // "the width must be ..." as a sentence
    problem[0] = static_cast<char>(problem[0] - 'a' + 'A');
    problem += '.';
  }
  return problem;
}

void TImageExportDialog::Browse()
{
  std::string name = FileName();
  if (BrowseHook && BrowseHook(name))
    SetFileName(name);
}

void TImageExportDialog::FileNameEdited()
{
  if (const std::optional<TImageFormat> format = ImageFormatOf(FileName())) {
    FUpdating = true;
    CBFormat->setCurrentIndex(static_cast<int>(*format));
    FUpdating = false;
    if (!FDpiGiven) {
      FUpdating = true;
      SEDpi->setValue(DefaultImageDpi(*format));
      FUpdating = false;
    }
  }
  UpdateResult();
}

void TImageExportDialog::FormatChosen()
{
  const TImageFormat format = Format();
  // The file name takes the format's extension, replacing a known one.
  std::string name = FileName();
  if (!name.empty()) {
    std::filesystem::path path(name);
    if (ImageFormatOf(name))
      path.replace_extension(ImageFormatExtension(format));
    else
      path += ImageFormatExtension(format);
    EdFileName->setText(QString::fromStdString(path.string()));
  }
  if (!FDpiGiven) {
    FUpdating = true;
    SEDpi->setValue(DefaultImageDpi(format));
    FUpdating = false;
  }
  UpdateResult();
}

void TImageExportDialog::UpdateResult()
{
  const TImageSettings s = Settings();
  std::string text;
  if (Format() == TImageFormat::Png)
    text = std::to_string(DevicePixels(s.Width, s.Dpi)) + " x " + std::to_string(DevicePixels(s.Height, s.Dpi)) +
           " pixels at " + std::to_string(s.Dpi) + " dpi";
  else
    text = Inches(s.Width) + " x " + Inches(s.Height) + " inches";
  const std::string problem = Problem();
  LblResult->setText(QString::fromStdString(problem.empty() || problem == "Choose a file." ? text : problem));
  Buttons->button(QDialogButtonBox::Ok)->setEnabled(problem.empty());
}

}  // namespace orvex
