// The import dialog driven with real key and mouse events: what it shows from the detection,
// each choice changed by the user and previewed again at once (the untouched choices detected
// anew), the preview grid with kinds and counts, a file that cannot be read, and the window's
// way through the dialog into the table (OK, Cancel, the background load).
#include "mainfrm_testutil.h"

#include "importdlg.h"
#include "sheetimportdlg.h"
#include "orvex_datatable.h"
#include "orvex_ntabed.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTableWidget>
#include <QTest>
#include <gtest/gtest.h>

using namespace orvex;
using mainfrm_test::TShownWindow;
using mainfrm_test::WaitFor;

namespace {

void Key(QWidget* W, int KeyCode, const QString& Text = QString(), Qt::KeyboardModifiers Mods = Qt::NoModifier)
{
  QKeyEvent press(QEvent::KeyPress, KeyCode, Mods, Text);
  QApplication::sendEvent(W, &press);
  QKeyEvent release(QEvent::KeyRelease, KeyCode, Mods, Text);
  QApplication::sendEvent(W, &release);
}

// Replaces the text of a line edit as typing does: select all, then one key per character.
void TypeInto(QLineEdit* E, const QString& Text)
{
  Key(E, Qt::Key_A, QString(), Qt::ControlModifier);
  Key(E, Qt::Key_Delete);
  for (const QChar c : Text)
    Key(E, 0, QString(c));
}

// A click on a check box's indicator, where a user clicks it.
void ClickCheckBox(QCheckBox* B)
{
  QStyleOptionButton opt;
  opt.initFrom(B);
  const QRect box = B->style()->subElementRect(QStyle::SE_CheckBoxIndicator, &opt, B);
  mainfrm_test::Click(B, box.center());
}

std::string Cell(const TImportDialog& D, int Row, int Col)
{
  const QTableWidgetItem* item = D.GrdPreview->item(Row, Col);
  return item ? item->text().toStdString() : std::string("<none>");
}

// As R's write.csv2 writes a data frame: semicolons, decimal commas, a quoted header with an
// empty first field, the row names quoted, NA for a missing value.
const char* const Csv2Text =
    "\"\";\"dose\";\"group\";\"y\"\n"
    "\"1\";1,5;\"a\";2,25\n"
    "\"2\";3,5;\"b\";4\n"
    "\"3\";NA;\"a\";6,75\n";

}  // namespace

TEST(ImportDialog, ShowsTheDetectionAndPreviewsEveryChangeAtOnce)
{
  const std::string file = mainfrm_test::WriteFile("r_csv2.csv", Csv2Text);
  TImportDialog d(file);
  // The detection as the controls show it.
  EXPECT_EQ(d.CBDelimiter->currentText().toStdString(), "Semicolon (;)");
  EXPECT_EQ(d.CBDecimalMark->currentIndex(), 1);  // comma
  EXPECT_TRUE(d.ChkHeader->isChecked());
  EXPECT_TRUE(d.ChkRowNames->isChecked());
  EXPECT_EQ(d.CBQuote->currentIndex(), 0);
  EXPECT_EQ(d.SESkipLines->value(), 0);
  EXPECT_EQ(d.EdMissing->text().toStdString(), FormatMissingTokens(DefaultMissingTokens()));
  EXPECT_EQ(d.CBEncoding->currentIndex(), 0);
  EXPECT_TRUE(d.Readable());
  EXPECT_TRUE(d.Buttons->button(QDialogButtonBox::Ok)->isEnabled());

  // The grid: the names as column heads, the kind and the count of cells that are not numbers
  // over the rows, the row names as row heads.
  ASSERT_EQ(d.GrdPreview->columnCount(), 3);
  ASSERT_EQ(d.GrdPreview->rowCount(), 2 + 3);
  EXPECT_EQ(d.GrdPreview->horizontalHeaderItem(0)->text(), "dose");
  EXPECT_EQ(d.GrdPreview->horizontalHeaderItem(1)->text(), "group");
  EXPECT_EQ(Cell(d, 0, 0), "number");
  EXPECT_EQ(Cell(d, 0, 1), "levels");
  EXPECT_EQ(Cell(d, 0, 2), "number");
  EXPECT_EQ(Cell(d, 1, 0), "0");
  EXPECT_EQ(d.GrdPreview->verticalHeaderItem(2)->text(), "1");
  EXPECT_EQ(d.GrdPreview->verticalHeaderItem(4)->text(), "3");
  EXPECT_EQ(Cell(d, 2, 0), "1,5");
  EXPECT_EQ(Cell(d, 4, 2), "6,75");

  // The missing-value tokens without NA: the NA cell is now a cell that is not a number.
  TypeInto(d.EdMissing, "N/A NaN nan . ?");
  EXPECT_EQ(d.Dialect().MissingTokens, ParseMissingTokens("N/A NaN nan . ?"));
  EXPECT_EQ(Cell(d, 1, 0), "1");

  // No header: the names become a line of the table and the text in it makes "dose" a column
  // that is not a number column; the row names, detected from the header's empty first field,
  // go with it and become a column of their own.
  ClickCheckBox(d.ChkHeader);
  EXPECT_FALSE(d.ChkHeader->isChecked());
  EXPECT_EQ(d.Dialect().Header, TPresence::No);
  EXPECT_FALSE(d.ChkRowNames->isChecked());
  EXPECT_EQ(d.GrdPreview->rowCount(), 2 + 4);
  ASSERT_EQ(d.GrdPreview->columnCount(), 4);
  EXPECT_EQ(Cell(d, 2, 1), "dose");
  EXPECT_EQ(Cell(d, 0, 0), "number");
  EXPECT_EQ(Cell(d, 1, 1), "2");  // "dose", and "NA" since it is no longer a missing token
  ClickCheckBox(d.ChkHeader);
  EXPECT_EQ(d.Dialect().Header, TPresence::Yes);
  EXPECT_EQ(d.GrdPreview->rowCount(), 2 + 3);

  // A line skipped by the spin box's arrow key: the header is now the first data line.
  d.SESkipLines->setFocus();
  Key(d.SESkipLines, Qt::Key_Up);
  EXPECT_EQ(d.SESkipLines->value(), 1);
  EXPECT_EQ(d.Dialect().SkipLines, 1);
  EXPECT_EQ(d.GrdPreview->rowCount(), 2 + 2);
  Key(d.SESkipLines, Qt::Key_Down);
  EXPECT_EQ(d.GrdPreview->rowCount(), 2 + 3);

  // Another delimiter chosen with the keyboard: the comma. The decimal mark, not chosen by the
  // user, is detected anew: a comma delimiter means the decimal point.
  d.CBDelimiter->setFocus();
  Key(d.CBDelimiter, Qt::Key_Up);
  EXPECT_EQ(d.CBDelimiter->currentText().toStdString(), "Comma (,)");
  EXPECT_EQ(d.Dialect().Delimiter, dlComma);
  EXPECT_EQ(d.CBDecimalMark->currentIndex(), 0);
  EXPECT_EQ(d.Dialect().DecimalMark, TDecimalMark::Point);
  EXPECT_NE(d.GrdPreview->columnCount(), 3);

  // Back to the semicolon, then the decimal point by the user's choice: "1,5" is no number.
  Key(d.CBDelimiter, Qt::Key_Down);
  EXPECT_EQ(d.Dialect().Delimiter, dlSemicolon);
  d.CBDecimalMark->setFocus();
  Key(d.CBDecimalMark, Qt::Key_Up);
  EXPECT_EQ(d.Dialect().DecimalMark, TDecimalMark::Point);
  EXPECT_NE(Cell(d, 0, 0), "number");

  // Cancel by the button.
  mainfrm_test::Click(d.Buttons->button(QDialogButtonBox::Cancel), QPoint(5, 5));
  EXPECT_EQ(d.result(), QDialog::Rejected);
}

TEST(ImportDialog, AFileThatIsNoTableSaysWhereAndRefusesOk)
{
  // A quote that is never closed.
  const std::string file = mainfrm_test::WriteFile("open_quote.csv", "a,b\n1,2\n3,\"4\n");
  TImportDialog d(file);
  EXPECT_FALSE(d.Readable());
  EXPECT_FALSE(d.Buttons->button(QDialogButtonBox::Ok)->isEnabled());
  EXPECT_FALSE(d.LblMessage->text().isEmpty());
  EXPECT_EQ(d.LblMessage->text().toStdString(), d.Preview().Message);
  EXPECT_NE(d.Preview().Message.find("line 3"), std::string::npos) << d.Preview().Message;

  // Quoting turned off by the user: the same text reads.
  d.CBQuote->setFocus();
  Key(d.CBQuote, Qt::Key_End);
  EXPECT_EQ(d.Dialect().Quote, '\0');
  EXPECT_TRUE(d.Buttons->button(QDialogButtonBox::Ok)->isEnabled());

  // An empty file.
  TImportDialog empty(mainfrm_test::WriteFile("empty.csv", ""));
  EXPECT_FALSE(empty.Readable());
  EXPECT_FALSE(empty.Buttons->button(QDialogButtonBox::Ok)->isEnabled());
}

TEST(ImportDialog, WindowLoadsThroughTheDialog)
{
  const std::string file = mainfrm_test::WriteFile("window_csv2.csv", Csv2Text);
  for (const bool background : {false, true}) {
    SCOPED_TRACE(background ? "background" : "GUI thread");
    TShownWindow t;
    TFrmMLRCalc& w = *t.W;
    if (background)
      w.SetBackgroundLoadSize(0);
    t.ClickBox(2, 1);
    t.ClickBox(3, 2);

    // Cancel: the table and the roles stay.
    int shown = 0;
    w.ExecuteImportHook = [&](TImportDialog& D) {
      ++shown;
      EXPECT_EQ(D.FileName(), file);
      return false;
    };
    w.OpenDataFile(file);
    EXPECT_EQ(shown, 1);
    EXPECT_FALSE(w.Loading());
    EXPECT_EQ(w.NTData->NrOfColumns(), 6);
    EXPECT_TRUE(w.RLVarSel->Checked(3, 2));

    // OK after the user turned the row names off: they become a number column.
    w.ExecuteImportHook = [&](TImportDialog& D) {
      ClickCheckBox(D.ChkRowNames);
      EXPECT_EQ(D.Dialect().RowNames, TPresence::No);
      mainfrm_test::Click(D.Buttons->button(QDialogButtonBox::Ok), QPoint(5, 5));
      return D.result() == QDialog::Accepted;
    };
    w.OpenDataFile(file);
    ASSERT_TRUE(WaitFor([&] { return !w.Loading(); }));
    EXPECT_TRUE(t.Warnings.empty()) << (t.Warnings.empty() ? "" : t.Warnings[0]);
    const TDataTable& table = w.NTData->DataTable();
    ASSERT_EQ(table.NrOfColumns(), 4);
    ASSERT_EQ(table.NrOfRows(), 3);
    EXPECT_EQ(table.ColName(2), "dose");
    EXPECT_EQ(table.Elem(1, 3), 3);
    EXPECT_EQ(table.Elem(2, 2), 3.5);
    EXPECT_EQ(table.CellState(2, 3), csEmpty);
    EXPECT_EQ(table.VarType(3), vtNominal);
    EXPECT_EQ(table.LevelName(3, 1), "b");
    EXPECT_EQ(table.Elem(3, 3), 0);
    EXPECT_EQ(table.Elem(4, 3), 6.75);
    // The list follows, every role cleared.
    ASSERT_EQ(w.RLVarSel->NrOfRows(), 4);
    EXPECT_EQ(w.RLVarSel->NrChecked(2) + w.RLVarSel->NrChecked(3), 0);
  }
}

TEST(ImportDialog, EncodingDetectedAndChangeable)
{
  // A header written in Windows-1252: "Größe" is not valid UTF-8.
  const std::string file = mainfrm_test::WriteFile("cp1252.csv", "Gr\xF6\xDF"
                                                                 "e,y\n1.5,2\n2.5,3\n");
  TImportDialog d(file);
  EXPECT_EQ(d.CBEncoding->currentText(), "Windows-1252");
  EXPECT_EQ(d.GrdPreview->horizontalHeaderItem(0)->text(), QString::fromUtf8("Gr\xC3\xB6\xC3\x9F"
                                                                             "e"));
  d.CBEncoding->setFocus();
  Key(d.CBEncoding, Qt::Key_Up);
  EXPECT_EQ(d.Dialect().Encoding, TTextEncoding::Utf8);
  EXPECT_NE(d.GrdPreview->horizontalHeaderItem(0)->text(), QString::fromUtf8("Gr\xC3\xB6\xC3\x9F"
                                                                             "e"));
}

TEST(SheetImportDialog, WorkbooksAndStatisticsFilesLoadWithTheirChoices)
{
  const std::string files = ORVEX_TEST_FILES;
  TShownWindow t;
  TFrmMLRCalc& w = *t.W;

  // A workbook: its sheets listed, the first previewed with its header detected; the user picks
  // the other sheet with the keyboard, then Cancel keeps the table.
  const int before = w.NTData->NrOfColumns();
  w.ExecuteSheetImportHook = [&](TSheetImportDialog& D) {
    EXPECT_TRUE(D.CBSheet->isVisibleTo(&D));
    EXPECT_FALSE(D.ChkLabelsAsNames->isVisibleTo(&D));
    EXPECT_EQ(D.CBSheet->count(), 2);
    EXPECT_EQ(D.CBSheet->currentText(), "Data");
    EXPECT_TRUE(D.ChkHeader->isChecked());
    EXPECT_TRUE(D.ChkRowNames->isChecked());
    EXPECT_EQ(D.GrdPreview->horizontalHeaderItem(0)->text(), "weight");
    EXPECT_EQ(D.GrdPreview->item(0, 0)->text(), "71.5");
    EXPECT_EQ(D.GrdPreview->item(1, 0)->text(), "");  // missing
    EXPECT_EQ(D.GrdPreview->item(0, 1)->text(), "ctl");
    D.CBSheet->setFocus();
    QTest::keyClick(D.CBSheet, Qt::Key_Down);
    EXPECT_EQ(D.Options().Workbook.Sheet, "Other");
    EXPECT_NE(D.GrdPreview->horizontalHeaderItem(0)->text(), "weight");
    return false;
  };
  w.OpenDataFile(files + "/same.xlsx");
  EXPECT_EQ(w.NTData->NrOfColumns(), before);

  // OK on the first sheet loads the same table as the CSV of the same data.
  w.ExecuteSheetImportHook = [&](TSheetImportDialog& D) {
    mainfrm_test::Click(D.Buttons->button(QDialogButtonBox::Ok), QPoint(5, 5));
    return D.result() == QDialog::Accepted;
  };
  w.OpenDataFile(files + "/same.xlsx");
  ASSERT_TRUE(WaitFor([&] { return !w.Loading(); }));
  EXPECT_TRUE(t.Warnings.empty()) << (t.Warnings.empty() ? "" : t.Warnings[0]);
  EXPECT_EQ(w.NTData->DataTable().ColName(1), "weight");
  EXPECT_EQ(w.NTData->DataTable().Elem(1, 1), 71.5);
  EXPECT_EQ(w.NTData->DataTable().CellState(1, 2), csEmpty);

  // A statistics-package file: the labels box renames the columns in the preview and the load.
  w.ExecuteSheetImportHook = [&](TSheetImportDialog& D) {
    EXPECT_FALSE(D.CBSheet->isVisibleTo(&D));
    EXPECT_EQ(D.GrdPreview->horizontalHeaderItem(0)->text(), "weight");
    ClickCheckBox(D.ChkLabelsAsNames);
    EXPECT_EQ(D.GrdPreview->horizontalHeaderItem(0)->text(), "Body weight (kg)");
    mainfrm_test::Click(D.Buttons->button(QDialogButtonBox::Ok), QPoint(5, 5));
    return D.result() == QDialog::Accepted;
  };
  w.OpenDataFile(files + "/same.sav");
  ASSERT_TRUE(WaitFor([&] { return !w.Loading(); }));
  EXPECT_EQ(w.NTData->DataTable().ColName(1), "Body weight (kg)");

  // A file whose values keep their labels out says so, and a broken file disables OK.
  w.ExecuteSheetImportHook = [&](TSheetImportDialog& D) {
    EXPECT_TRUE(D.Readable());
    EXPECT_NE(D.LblMessage->text().toStdString().find("are not used"), std::string::npos);
    return false;
  };
  w.OpenDataFile(files + "/labels.sav");
  const std::string broken = mainfrm_test::WriteFile("broken.xlsx", "PK\x03\x04 not a workbook");
  w.ExecuteSheetImportHook = [&](TSheetImportDialog& D) {
    EXPECT_FALSE(D.Readable());
    EXPECT_FALSE(D.Buttons->button(QDialogButtonBox::Ok)->isEnabled());
    EXPECT_FALSE(D.LblMessage->text().isEmpty());
    return false;
  };
  w.OpenDataFile(broken);
  EXPECT_EQ(w.NTData->DataTable().ColName(1), "Body weight (kg)");
}
