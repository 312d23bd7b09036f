// TImportDialog: the controls of the import dialog, the round trip from the controls to a
// dialect, the delimited reader's detection and preview, and the preview grid.
#include "importdlg.h"

#include <QBrush>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>
#include <filesystem>

namespace orvex {

namespace {

// The delimiters in the order of the combo box.
constexpr char kDelimiters[] = {dlComma, dlSemicolon, dlTab, dlPipe, dlBlanks};
constexpr const char* kDelimiterCaptions[] = {"Comma (,)", "Semicolon (;)", "Tab", "Pipe (|)", "Blanks"};
// The quote characters in the order of the combo box; '\0' is no quoting.
constexpr char kQuotes[] = {'"', '\'', '\0'};
constexpr const char* kQuoteCaptions[] = {"Double quote (\")", "Single quote (')", "None"};

int IndexOf(const char* Items, int Count, char Value)
{
  for (int i = 0; i < Count; ++i)
    if (Items[i] == Value)
      return i;
  return 0;
}

const char* KindText(TColumnKind Kind)
{
  switch (Kind) {
  case TColumnKind::Number: return "number";
  case TColumnKind::Levels: return "levels";
  case TColumnKind::LeftOut: return "left out";
  }
  return "";
}

}  // namespace

std::string FormatMissingTokens(const std::vector<std::string>& Tokens)
{
  std::string text;
  for (const std::string& t : Tokens) {
    if (t.empty())
      continue;
    if (!text.empty())
      text += ' ';
    text += t;
  }
  return text;
}

std::vector<std::string> ParseMissingTokens(const std::string& Text)
{
  std::vector<std::string> tokens{std::string()};
  std::size_t i = 0;
  while (i < Text.size()) {
    while (i < Text.size() && (Text[i] == ' ' || Text[i] == '\t'))
      ++i;
    std::size_t j = i;
    while (j < Text.size() && Text[j] != ' ' && Text[j] != '\t')
      ++j;
    if (j > i)
      tokens.emplace_back(Text.substr(i, j - i));
    i = j;
  }
  return tokens;
}

TImportDialog::TImportDialog(const std::string& FileName, QWidget* Parent)
    : QDialog(Parent), FFileName(FileName), FSample(ReadFileSample(FileName))
{
  CreateControls();
  Repreview();
}

void TImportDialog::CreateControls()
{
  setObjectName("ImportDialog");
  setWindowTitle(QString::fromStdString("Import " + std::filesystem::path(FFileName).filename().string()));
  resize(760, 520);

  CBDelimiter = new QComboBox(this);
  CBDelimiter->setObjectName("CBDelimiter");
  for (const char* caption : kDelimiterCaptions)
    CBDelimiter->addItem(caption);
  CBDecimalMark = new QComboBox(this);
  CBDecimalMark->setObjectName("CBDecimalMark");
  CBDecimalMark->addItem("Point (1.5)");
  CBDecimalMark->addItem("Comma (1,5)");
  ChkHeader = new QCheckBox("First line holds the column names", this);
  ChkHeader->setObjectName("ChkHeader");
  ChkRowNames = new QCheckBox("First column holds the row names", this);
  ChkRowNames->setObjectName("ChkRowNames");
  CBQuote = new QComboBox(this);
  CBQuote->setObjectName("CBQuote");
  for (const char* caption : kQuoteCaptions)
    CBQuote->addItem(caption);
  SESkipLines = new QSpinBox(this);
  SESkipLines->setObjectName("SESkipLines");
  SESkipLines->setRange(0, 1000000);
  EdMissing = new QLineEdit(this);
  EdMissing->setObjectName("EdMissing");
  EdMissing->setToolTip("Texts that mean a missing value, separated by blanks; an empty field is always missing.");
  CBEncoding = new QComboBox(this);
  CBEncoding->setObjectName("CBEncoding");
  CBEncoding->addItem("UTF-8");
  CBEncoding->addItem("Windows-1252");

  auto* form = new QFormLayout;
  form->addRow("Delimiter:", CBDelimiter);
  form->addRow("Decimal mark:", CBDecimalMark);
  form->addRow("Quote character:", CBQuote);
  form->addRow("Lines to skip:", SESkipLines);
  form->addRow("Missing values:", EdMissing);
  form->addRow("Encoding:", CBEncoding);
  auto* checks = new QVBoxLayout;
  checks->addWidget(ChkHeader);
  checks->addWidget(ChkRowNames);
  checks->addStretch(1);
  auto* top = new QHBoxLayout;
  top->addLayout(form, 1);
  top->addLayout(checks, 1);

  LblMessage = new QLabel(this);
  LblMessage->setObjectName("LblMessage");
  LblMessage->setWordWrap(true);
  GrdPreview = new QTableWidget(this);
  GrdPreview->setObjectName("GrdPreview");
  GrdPreview->setEditTriggers(QAbstractItemView::NoEditTriggers);
  GrdPreview->setSelectionMode(QAbstractItemView::NoSelection);
  GrdPreview->verticalHeader()->setDefaultSectionSize(20);
  Buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  Buttons->setObjectName("Buttons");
  connect(Buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(Buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

  auto* column = new QVBoxLayout(this);
  column->addLayout(top);
  column->addWidget(LblMessage);
  column->addWidget(GrdPreview, 1);
  column->addWidget(Buttons);

  // Every change is the user's choice and previews again at once.
  connect(CBDelimiter, &QComboBox::currentIndexChanged, this, [this] { Given(chDelimiter); });
  connect(CBDecimalMark, &QComboBox::currentIndexChanged, this, [this] { Given(chDecimalMark); });
  connect(ChkHeader, &QCheckBox::toggled, this, [this] { Given(chHeader); });
  connect(ChkRowNames, &QCheckBox::toggled, this, [this] { Given(chRowNames); });
  connect(CBQuote, &QComboBox::currentIndexChanged, this, [this] { Given(chQuote); });
  connect(SESkipLines, &QSpinBox::valueChanged, this, [this] { Given(chSkipLines); });
  connect(EdMissing, &QLineEdit::textChanged, this, [this] { Given(chMissing); });
  connect(CBEncoding, &QComboBox::currentIndexChanged, this, [this] { Given(chEncoding); });
}

void TImportDialog::Given(TChoice Choice)
{
  if (FUpdating)
    return;
  FGiven[Choice] = true;
  Repreview();
}

TDelimitedDialect TImportDialog::GivenDialect() const
{
  TDelimitedDialect d;
  if (FGiven[chDelimiter])
    d.Delimiter = kDelimiters[std::max(0, CBDelimiter->currentIndex())];
  if (FGiven[chDecimalMark])
    d.DecimalMark = CBDecimalMark->currentIndex() == 1 ? TDecimalMark::Comma : TDecimalMark::Point;
  if (FGiven[chHeader])
    d.Header = ChkHeader->isChecked() ? TPresence::Yes : TPresence::No;
  if (FGiven[chRowNames])
    d.RowNames = ChkRowNames->isChecked() ? TPresence::Yes : TPresence::No;
  if (FGiven[chQuote])
    d.Quote = kQuotes[std::max(0, CBQuote->currentIndex())];
  if (FGiven[chSkipLines])
    d.SkipLines = SESkipLines->value();
  if (FGiven[chMissing])
    d.MissingTokens = ParseMissingTokens(EdMissing->text().toStdString());
  if (FGiven[chEncoding])
    d.Encoding = CBEncoding->currentIndex() == 1 ? TTextEncoding::Windows1252 : TTextEncoding::Utf8;
  return d;
}

void TImportDialog::ShowDialect(const TDelimitedDialect& D)
{
  FUpdating = true;
  CBDelimiter->setCurrentIndex(IndexOf(kDelimiters, 5, D.Delimiter));
  CBDecimalMark->setCurrentIndex(D.DecimalMark == TDecimalMark::Comma ? 1 : 0);
  ChkHeader->setChecked(D.Header == TPresence::Yes);
  ChkRowNames->setChecked(D.RowNames == TPresence::Yes);
  CBQuote->setCurrentIndex(IndexOf(kQuotes, 3, D.Quote));
  SESkipLines->setValue(std::max(0, D.SkipLines));
  // The edit keeps what the user typed (blanks included) once it is the user's choice.
  if (!FGiven[chMissing])
    EdMissing->setText(QString::fromStdString(FormatMissingTokens(D.MissingTokens)));
  CBEncoding->setCurrentIndex(D.Encoding == TTextEncoding::Windows1252 ? 1 : 0);
  FUpdating = false;
}

void TImportDialog::Repreview()
{
  FPreview = PreviewDelimited(FSample, GivenDialect(), 100);
  ShowDialect(FPreview.Detected.Dialect);
  if (FSample.empty() && FPreview.Message.empty())
    FPreview.Message = "The file is empty or cannot be read.";
  std::string summary;
  if (Readable()) {
    for (const std::string& reason : FPreview.Detected.Reasons)
      summary += (summary.empty() ? "Detected: " : "; ") + reason;
    if (!summary.empty())
      summary += ".";
    QPalette pal = LblMessage->palette();
    pal.setColor(QPalette::WindowText, palette().color(QPalette::WindowText));
    LblMessage->setPalette(pal);
  } else {
    summary = FPreview.Message;
    QPalette pal = LblMessage->palette();
    pal.setColor(QPalette::WindowText, Qt::red);
    LblMessage->setPalette(pal);
  }
  LblMessage->setText(QString::fromStdString(summary));
  Buttons->button(QDialogButtonBox::Ok)->setEnabled(Readable());
  FillGrid();
}

bool TImportDialog::Readable() const
{
  if (!FPreview.Message.empty() || FPreview.Columns.empty())
    return false;
  for (const TPreviewColumn& c : FPreview.Columns)
    if (c.Kind != TColumnKind::LeftOut)
      return true;
  return false;  // no column would be left
}

void TImportDialog::FillGrid()
{
  // Two rows over the data: each column's kind and its count of cells that are not numbers.
  const int cols = static_cast<int>(FPreview.Columns.size());
  const int rows = static_cast<int>(FPreview.Cells.size());
  GrdPreview->clear();
  GrdPreview->setColumnCount(cols);
  GrdPreview->setRowCount(rows + 2);
  QStringList rowHeads{"Kind", "Not numbers"};
  for (int r = 0; r < rows; ++r)
    rowHeads << (static_cast<std::size_t>(r) < FPreview.RowNames.size()
                     ? QString::fromStdString(FPreview.RowNames[static_cast<std::size_t>(r)])
                     : QString::number(r + 1));
  GrdPreview->setVerticalHeaderLabels(rowHeads);
  const QBrush infoBack(QColor(0xEE, 0xEE, 0xEE));
  const QBrush leftOutText(Qt::gray);
  for (int c = 0; c < cols; ++c) {
    const TPreviewColumn& col = FPreview.Columns[static_cast<std::size_t>(c)];
    auto* head = new QTableWidgetItem(QString::fromStdString(col.Name));
    GrdPreview->setHorizontalHeaderItem(c, head);
    auto* kind = new QTableWidgetItem(KindText(col.Kind));
    auto* notNumbers = new QTableWidgetItem(QString::number(col.NotNumbers));
    for (QTableWidgetItem* item : {kind, notNumbers}) {
      item->setBackground(infoBack);
      QFont f = item->font();
      f.setBold(true);
      item->setFont(f);
    }
    if (!col.Reason.empty()) {
      kind->setToolTip(QString::fromStdString(col.Reason));
      head->setToolTip(QString::fromStdString(col.Reason));
    }
    GrdPreview->setItem(0, c, kind);
    GrdPreview->setItem(1, c, notNumbers);
    for (int r = 0; r < rows; ++r) {
      const auto& line = FPreview.Cells[static_cast<std::size_t>(r)];
      if (static_cast<std::size_t>(c) >= line.size())
        continue;
      auto* cell = new QTableWidgetItem(QString::fromStdString(line[static_cast<std::size_t>(c)]));
      if (col.Kind == TColumnKind::LeftOut)
        cell->setForeground(leftOutText);
      GrdPreview->setItem(r + 2, c, cell);
    }
  }
}

}  // namespace orvex
