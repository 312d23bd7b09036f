// The main window through its real controls: first show, the role rules, a complete run into
// both charts and the memo, "Load Data", and the window's guards against stale or failed states.
#include "mainfrm_testutil.h"
#include "orvex_datatable_memory.h"

#include "demodata.h"
#include "orvex_datatable.h"
#include "orvex_ntabed.h"
#include "orvex_rchart.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <gtest/gtest.h>

using namespace orvex;
using mainfrm_test::TShownWindow;

namespace {

// Inputs Length and Width, target Net Weight: the example the report's texts are known for.
void ChooseLengthWidthNetWeight(TShownWindow& t)
{
  t.ClickBox(2, 3);
  t.ClickBox(2, 4);
  t.ClickBox(3, 6);
}

int CountPixels(const QImage& Img, QRgb Colour)
{
  int n = 0;
  for (int y = 0; y < Img.height(); ++y)
    for (int x = 0; x < Img.width(); ++x)
      n += Img.pixel(x, y) == Colour ? 1 : 0;
  return n;
}

}  // namespace

TEST(MainWindow, FirstShowLayoutAndMinimumSize)
{
  TShownWindow t;
  TFrmMLRCalc& w = *t.W;
  EXPECT_EQ(w.windowTitle(), "Multiple Linear Regression");
  EXPECT_EQ(w.size(), QSize(700, 500));
  w.resize(500, 300);
  EXPECT_EQ(w.size(), QSize(700, 500));  // never smaller

  // Demonstration data and the list built from them, no roles.
  EXPECT_EQ(w.NTData->NrOfColumns(), 6);
  EXPECT_EQ(w.NTData->NrOfRows(), 40);
  EXPECT_EQ(w.NTData->ColName(3), "Length");
  EXPECT_EQ(w.NTData->Elem(6, 40), 68);
  ASSERT_EQ(w.RLVarSel->NrOfRows(), 6);
  for (int i = 1; i <= 6; ++i) {
    EXPECT_EQ(w.RLVarSel->CellText(1, i), std::to_string(i) + " - " + DemoColumnNames[static_cast<size_t>(i - 1)]);
    EXPECT_FALSE(w.RLVarSel->Checked(2, i));
    EXPECT_FALSE(w.RLVarSel->Checked(3, i));
  }
  EXPECT_EQ(w.RLVarSel->ColumnHeader(1), "Variable");
  EXPECT_EQ(w.RLVarSel->ColumnHeader(2), "Input");
  EXPECT_EQ(w.RLVarSel->ColumnHeader(3), "Target");
  EXPECT_EQ(w.RLVarSel->ColumnWidth(2), 51);
  EXPECT_EQ(w.RLVarSel->ColumnHeader(4), "Weight");
  EXPECT_EQ(w.RLVarSel->ColumnWidth(4), 51);
  EXPECT_EQ(w.RLVarSel->ColumnWidth(1), w.RLVarSel->ClientWidth() - 28 - 153);

  // Charts and warning hidden, the explanation shown in navy bold on both chart pages.
  EXPECT_FALSE(t.Shown(w.RCFit));
  EXPECT_FALSE(t.Shown(w.RCHisto));
  EXPECT_FALSE(t.Shown(w.LblNearSing));
  for (QLabel* label : {w.Label1, w.Label2}) {
    EXPECT_EQ(label->text(), SelectVariablesText);
    EXPECT_TRUE(label->font().bold());
    EXPECT_EQ(label->palette().color(QPalette::WindowText), ToQColor(clNavy));
  }
  const QImage page = w.TSActEstimate->grab().toImage();
  EXPECT_GT(CountPixels(page, ToQColor(clNavy).rgb()), 20);  // the label's ink

  // The fixed settings the window gives its controls.
  EXPECT_EQ(w.SButLoadData->text(), "Load Data");
  EXPECT_EQ(w.SButLoadData->toolTip(), "BF_open a stored MLR model");
  EXPECT_FALSE(w.SButLoadData->icon().isNull());
  EXPECT_EQ(w.SButLoadData->geometry(), QRect(4, 2, 149, 27));
  EXPECT_EQ(w.LblNearSing->geometry(), QRect(160, 8, 460, 16));
  EXPECT_EQ(w.Panel1->height(), 33);
  EXPECT_EQ(w.RLVarSel->width(), 281);
  EXPECT_EQ(w.RLVarSel->CommonHeader(), "List of Variables");
  EXPECT_EQ(w.RCHisto->Caption(), "Distribution of the Residuals");
  EXPECT_EQ(w.RCHisto->Scale1Y().DecPlaces(), 0);
  EXPECT_EQ(w.RCFit->MarginBottom(), 40);
  EXPECT_TRUE(QFontInfo(w.MMDetails->font()).fixedPitch());
  EXPECT_EQ(w.MMDetails->lineWrapMode(), QPlainTextEdit::NoWrap);
  EXPECT_EQ(w.ODiag.Filter(), "Data files|*.asc *.csv *.tsv *.txt *.xlsx *.xlsm *.ods *.sav *.zsav *.por *.dta *.sas7bdat *.xpt|ASC Files|*.asc|All files|*");
  EXPECT_EQ(w.PageControl1->tabText(0), "Data");
  EXPECT_EQ(w.PageControl2->tabText(1), "Distribution of Residuals");
}

TEST(MainWindow, RoleRules)
{
  TShownWindow t;
  TReportListView& lv = *t.W->RLVarSel;
  // One target at most: a new target unchecks the old one.
  t.ClickBox(3, 5);
  t.ClickBox(3, 2);
  EXPECT_TRUE(lv.Checked(3, 2));
  EXPECT_FALSE(lv.Checked(3, 5));
  // A target but no input: nothing shown, nothing run.
  EXPECT_FALSE(t.Shown(t.W->RCFit));
  EXPECT_EQ(t.W->Run().Status(), TRunStatus::NotRun);
  // The input box of the target row stays unchecked.
  t.ClickBox(2, 2);
  EXPECT_FALSE(lv.Checked(2, 2));
  // Making an input row the target removes its input role.
  t.ClickBox(2, 4);
  EXPECT_TRUE(t.Shown(t.W->RCFit));
  EXPECT_TRUE(t.Shown(t.W->RCHisto));
  t.ClickBox(3, 4);
  EXPECT_TRUE(lv.Checked(3, 4));
  EXPECT_FALSE(lv.Checked(2, 4));
  EXPECT_FALSE(lv.Checked(3, 2));
  // No input left: hidden again, the memo keeps the last report.
  const std::vector<std::string> memo = t.W->DetailsLines();
  EXPECT_FALSE(t.Shown(t.W->RCFit));
  EXPECT_FALSE(t.Shown(t.W->RCHisto));
  EXPECT_EQ(t.W->DetailsLines(), memo);

  // Role marking of the variable column: input bold black, target white on 0x3F3F3F.
  t.ClickBox(2, 1);
  TColor pen = 1, brush = 2, font = 3;
  TFontStyles styles;
  std::string text = "x";
  t.W->RLVarSelBeforeRenderCell(&lv, 1, 1, pen, brush, font, styles, text);
  EXPECT_EQ(font, clBlack);
  EXPECT_TRUE(styles.Contains(fsBold));
  EXPECT_EQ(brush, 2u);
  t.W->RLVarSelBeforeRenderCell(&lv, 1, 4, pen, brush, font, styles, text);
  EXPECT_EQ(pen, 0x3F3F3Fu);
  EXPECT_EQ(brush, 0x3F3F3Fu);
  EXPECT_EQ(font, clWhite);
  TColor pen2 = 7;
  TFontStyles none;
  t.W->RLVarSelBeforeRenderCell(&lv, 3, 4, pen2, brush, font, none, text);
  EXPECT_EQ(pen2, 7u);
  EXPECT_TRUE(none.Empty());
  const QImage img = lv.grab().toImage();
  const TRect cell = lv.CellRect(0, lv.GridRowOf(4));
  EXPECT_EQ(img.pixel(cell.Right - 4, cell.Top + 2), ToQColor(0x3F3F3F).rgb());
}

TEST(MainWindow, RunFillsChartsAndMemo)
{
  TShownWindow t;
  ChooseLengthWidthNetWeight(t);
  TFrmMLRCalc& w = *t.W;
  ASSERT_TRUE(w.Run().Succeeded());
  EXPECT_FALSE(t.Shown(w.LblNearSing));

  // The fit chart: 40 marks of type 26 tagged with their rows, then the reference line.
  TRChart& fit = *w.RCFit;
  ASSERT_EQ(fit.NumItems(), 41);
  for (int i = 0; i < 40; ++i) {
    const TrcChartItem& m = fit.Item(i);
    EXPECT_EQ(m.Kind, ikMark);
    EXPECT_EQ(m.MarkType, 26);
    EXPECT_EQ(m.Tag, i + 1);
    EXPECT_EQ(m.X1, w.NTData->Elem(6, i + 1));
    EXPECT_EQ(m.Color, clBlack);
  }
  const TrcChartItem& line = fit.Item(40);
  EXPECT_EQ(line.Kind, ikLine);
  EXPECT_EQ(line.Tag, 0);
  const double low = std::max(fit.Scale1X().RangeLow(), fit.Scale1Y().RangeLow());
  const double high = std::max(fit.Scale1X().RangeHigh(), fit.Scale1Y().RangeHigh());
  EXPECT_EQ(line.X1, low);
  EXPECT_EQ(line.Y1, low);
  EXPECT_EQ(line.X2, high);
  EXPECT_EQ(line.Y2, high);
  EXPECT_LT(fit.Scale1X().RangeLow(), 68);  // the 5 % margin around the marks
  EXPECT_GT(fit.Scale1X().RangeHigh(), 159);
  EXPECT_EQ(fit.Caption(), "r2 = 0.903586  F = 173.381");
  EXPECT_EQ(fit.Scale1X().Caption(), "Actual Data");
  EXPECT_EQ(fit.Scale1Y().Caption(), "Estimated Data");
  EXPECT_EQ(fit.Scale1X().MinTicks(), 2);
  const QImage fitImg = fit.grab().toImage();
  EXPECT_GT(CountPixels(fitImg, qRgb(0, 0, 0)), 400);  // marks, line, axes

  // The histogram: 7 yellow bars over the residual range with 5 % margins.
  TRChart& histo = *w.RCHisto;
  ASSERT_EQ(histo.NumItems(), 7);
  int total = 0;
  for (int i = 0; i < 7; ++i) {
    EXPECT_EQ(histo.Item(i).Kind, ikRect);
    EXPECT_EQ(histo.Item(i).FillColor, clYellow);
    EXPECT_EQ(histo.Item(i).Color, clBlack);
    total += static_cast<int>(histo.Item(i).Y2);
  }
  EXPECT_EQ(total, 40);
  EXPECT_NEAR(histo.Item(0).X1, -12.673, 1e-3);
  EXPECT_NEAR(histo.Item(6).X2, 18.250, 1e-3);
  EXPECT_NEAR(histo.Scale1X().RangeLow(), -14.219, 1e-3);
  EXPECT_NEAR(histo.Scale1X().RangeHigh(), 19.796, 1e-3);
  EXPECT_EQ(histo.Scale1Y().RangeLow(), 0);
  EXPECT_EQ(histo.Scale1X().Caption(), "residuals of Net Weight");
  EXPECT_EQ(histo.Scale1Y().Caption(), "count");
  w.PageControl2->setCurrentWidget(w.TSDistriResid);
  EXPECT_GT(CountPixels(histo.grab().toImage(), qRgb(255, 255, 0)), 1000);

  // The memo: the fixed report, an empty line, the extended block.
  std::vector<std::string> expected = w.Run().ReportLines();
  expected.push_back("");
  for (const std::string& s : w.Run().ExtendedLines())
    expected.push_back(s);
  const std::vector<std::string> memo = w.DetailsLines();
  EXPECT_EQ(memo, expected);
  ASSERT_GE(memo.size(), 22u);
  EXPECT_EQ(memo[0], "Number of Objects .............: 40");
  EXPECT_EQ(memo[2], "Degrees of Freedom ............: 37");
  EXPECT_EQ(memo[5], "Standard Dev. of Residuals ....: 7.6558");
  EXPECT_EQ(memo[6], "Quality of Fit ................: 0.9036");
  EXPECT_EQ(memo[11], " Regression    2    2.03243E+04    1.01622E+04   173.381");
  EXPECT_EQ(memo[18], " INTERCEPT     -1.3508957E+02 +/- 2.2448230E+01");
}

TEST(MainWindow, DuplicatedInputShowsWarningAndClassColours)
{
  TShownWindow t;
  TFrmMLRCalc& w = *t.W;
  // A seventh column equal to Length; row 1 of class 19 takes colour entry 3 (red).
  w.NTData->Resize(7, 40);
  for (int r = 1; r <= 40; ++r)
    w.NTData->SetElem(7, r, w.NTData->Elem(3, r));
  w.NTData->SetRowAttrib(1, 19);
  w.RebuildVariableList();
  ASSERT_EQ(w.RLVarSel->NrOfRows(), 7);
  t.ClickBox(2, 3);
  t.ClickBox(2, 7);
  t.ClickBox(3, 6);
  ASSERT_TRUE(w.Run().Succeeded());
  EXPECT_TRUE(t.Shown(w.LblNearSing));
  EXPECT_EQ(w.RCFit->Item(0).Color, ClassColors[3]);
  EXPECT_EQ(w.RCFit->Item(1).Color, clBlack);
  // A new role click hides the warning until the run says otherwise.
  t.ClickBox(2, 7);
  EXPECT_FALSE(t.Shown(w.LblNearSing));
}

TEST(MainWindow, LoadData)
{
  TShownWindow t;
  TFrmMLRCalc& w = *t.W;
  ChooseLengthWidthNetWeight(t);
  const std::vector<std::string> memo = w.DetailsLines();

  // Cancelling changes nothing, not even the roles; the dialog is asked with its filter and name.
  int asked = 0;
  w.ODiag.ExecuteHook = [&](TOpenDialog& d) {
    ++asked;
    EXPECT_EQ(d.Filter(), "Data files|*.asc *.csv *.tsv *.txt *.xlsx *.xlsm *.ods *.sav *.zsav *.por *.dta *.sas7bdat *.xpt|ASC Files|*.asc|All files|*");
    EXPECT_EQ(d.FileName(), "");
    return false;
  };
  w.SButLoadData->click();
  EXPECT_EQ(asked, 1);
  EXPECT_TRUE(w.RLVarSel->Checked(3, 6));
  EXPECT_TRUE(t.Shown(w.RCFit));
  EXPECT_EQ(w.NTData->NrOfColumns(), 6);

  // A good file: new columns, no roles, charts hidden, the memo kept, no warning.
  const std::string good = mainfrm_test::WriteFile("good.asc", "two\n2\n3\nFALSE TRUE FALSE FALSE\nAlpha Beta\n1 2\n3 4\n5 7\n");
  w.ODiag.ExecuteHook = [&](TOpenDialog& d) {
    d.SetFileName(good);
    return true;
  };
  w.SButLoadData->click();
  EXPECT_TRUE(t.Warnings.empty());
  ASSERT_EQ(w.RLVarSel->NrOfRows(), 2);
  EXPECT_EQ(w.RLVarSel->CellText(1, 2), "2 - Beta");
  EXPECT_EQ(w.RLVarSel->NrChecked(2) + w.RLVarSel->NrChecked(3), 0);
  EXPECT_FALSE(t.Shown(w.RCFit));
  EXPECT_FALSE(t.Shown(w.RCHisto));
  EXPECT_EQ(w.DetailsLines(), memo);

  // A file shorter than it declares: a warning naming the file and the code; the table and the
  // roles stay as they were.
  std::string rows;
  for (int r = 1; r <= 39; ++r)
    rows += std::to_string(r) + " " + std::to_string(2 * r) + " " + std::to_string(r % 7) + "\n";
  const std::string shortFile = mainfrm_test::WriteFile("short.asc", "short\n3\n40\nFALSE TRUE FALSE FALSE\nA B C\n" + rows);
  w.ODiag.ExecuteHook = [&](TOpenDialog& d) {
    d.SetFileName(shortFile);
    return true;
  };
  t.ClickBox(3, 1);
  w.SButLoadData->click();
  ASSERT_EQ(t.Warnings.size(), 1u);
  EXPECT_NE(t.Warnings[0].find(shortFile), std::string::npos);
  TDataTable reference;
  const int code = reference.LoadFromASCFile(shortFile);
  ASSERT_NE(code, ascOK);
  EXPECT_NE(t.Warnings[0].find("Result code " + std::to_string(code) + ": " + AscResultMeaning(code)),
            std::string::npos)
      << t.Warnings[0];
  EXPECT_EQ(w.NTData->NrOfColumns(), 2);
  EXPECT_EQ(w.NTData->ColName(2), "Beta");
  EXPECT_EQ(w.RLVarSel->NrOfRows(), 2);
  EXPECT_TRUE(w.RLVarSel->Checked(3, 1));

  // A table larger than the memory available: its own message, nothing read, the table shown
  // and its roles kept.
  LoadDemoData(w.NTData->DataTable());
  w.RebuildVariableList();
  ChooseLengthWidthNetWeight(t);
  w.AvailableMemory = [] { return std::int64_t(1) << 20; };
  w.ODiag.ExecuteHook = [&](TOpenDialog& d) {
    d.SetFileName(good);
    return true;
  };
  w.SButLoadData->click();
  ASSERT_EQ(t.Warnings.size(), 2u);
  EXPECT_EQ(t.Warnings[1], "The file \"" + good + "\" holds a table too large for the memory of this computer.\n"
                           "It needs about " + std::to_string(TableFitMemoryBytes(2, 3) >> 20) +
                           " MiB, but only 1 MiB are available. The data shown were kept.");
  EXPECT_EQ(w.NTData->NrOfColumns(), 6);
  EXPECT_TRUE(w.RLVarSel->Checked(3, 6));
  EXPECT_TRUE(t.Shown(w.RCFit));
  // Unknown memory loads as before.
  w.AvailableMemory = [] { return std::int64_t(-1); };
  w.SButLoadData->click();
  EXPECT_EQ(t.Warnings.size(), 2u);
  EXPECT_EQ(w.NTData->NrOfColumns(), 2);
}

TEST(MainWindow, FailedRunDoesNotLookCurrent)
{
  TShownWindow t;
  TFrmMLRCalc& w = *t.W;
  ChooseLengthWidthNetWeight(t);
  ASSERT_TRUE(t.Shown(w.RCFit));
  w.Run().SetSolver([](TMatrix&, const TVector&, TVector&, TVector*, bool&) { return false; });
  t.ClickBox(2, 1);
  EXPECT_FALSE(w.Run().Succeeded());
  EXPECT_FALSE(t.Shown(w.RCFit));
  EXPECT_FALSE(t.Shown(w.RCHisto));
  EXPECT_FALSE(t.Shown(w.LblNearSing));
  const std::string failure = w.Run().ErrorText();
  ASSERT_FALSE(failure.empty());
  EXPECT_EQ(w.DetailsLines(), std::vector<std::string>{failure});
  EXPECT_EQ(w.Label1->text().toStdString(), failure);
  EXPECT_EQ(w.Label2->text().toStdString(), failure);
  EXPECT_GE(w.Label2->height(), w.Label2->heightForWidth(144));  // the whole text fits

  // Too few objects for the inputs is a failure of the same kind.
  w.Run().SetSolver({});
  w.NTData->Resize(6, 3);
  t.ClickBox(2, 2);
  EXPECT_EQ(w.Run().Status(), TRunStatus::TooFewObjects);
  EXPECT_EQ(w.Label1->text().toStdString(), w.Run().ErrorText());

  // The next successful run brings the charts and the usual explanation back.
  w.NTData->Resize(6, 40);
  LoadDemoData(w.NTData->DataTable());
  t.ClickBox(2, 2);
  ASSERT_TRUE(w.Run().Succeeded());
  EXPECT_TRUE(t.Shown(w.RCFit));
  EXPECT_EQ(w.Label1->text(), SelectVariablesText);
  EXPECT_EQ(w.DetailsLines().front(), "Number of Objects .............: 40");
}

TEST(MainWindow, VariableListFollowsTheTable)
{
  TShownWindow t;
  TFrmMLRCalc& w = *t.W;
  ChooseLengthWidthNetWeight(t);
  // A rename keeps the roles and updates the row.
  w.NTData->SetColName(3, "Len");
  EXPECT_EQ(w.RLVarSel->CellText(1, 3), "3 - Len");
  EXPECT_TRUE(w.RLVarSel->Checked(2, 3));
  EXPECT_TRUE(t.Shown(w.RCFit));
  // Deleting column 1 through the editor's heading command keeps the roles on their columns, and
  // the fit is made again once the event has finished.
  w.NTData->DeleteHeading(1 + 1, 0);
  QApplication::processEvents();
  EXPECT_EQ(w.NTData->NrOfColumns(), 5);
  ASSERT_EQ(w.RLVarSel->NrOfRows(), 5);
  EXPECT_EQ(w.RLVarSel->CellText(1, 5), "5 - Net Weight");
  EXPECT_TRUE(w.RLVarSel->Checked(2, 2) && w.RLVarSel->Checked(2, 3) && w.RLVarSel->Checked(3, 5));
  EXPECT_EQ(w.RLVarSel->NrChecked(2) + w.RLVarSel->NrChecked(3), 3);
  EXPECT_TRUE(t.Shown(w.RCFit));
  EXPECT_EQ(w.Run().TargetCol(), 5);
  // A column inserted without any editor event is followed as well.
  w.NTData->InsertColumn(1);
  QApplication::processEvents();
  ASSERT_EQ(w.RLVarSel->NrOfRows(), 6);
  EXPECT_TRUE(w.RLVarSel->Checked(3, 6));
  EXPECT_EQ(w.Run().Status(), TRunStatus::Succeeded);
  EXPECT_EQ(w.Run().TargetCol(), 6);
}

TEST(MainWindow, ErrorsStayInsideTheWindow)
{
  TShownWindow t;
  TFrmMLRCalc& w = *t.W;
  ChooseLengthWidthNetWeight(t);
  const std::vector<std::string> memo = w.DetailsLines();
  const std::string caption = w.RCFit->Caption();
  w.Run().SetSolver([](TMatrix&, const TVector&, TVector&, TVector*, bool&) -> bool {
    throw EOrvexError("Component \"Solver\": not enough memory on heap");
  });
  t.ClickBox(2, 1);
  ASSERT_EQ(t.Errors.size(), 1u);
  EXPECT_EQ(t.Errors[0], "Component \"Solver\": not enough memory on heap");
  EXPECT_EQ(w.DetailsLines(), memo);
  EXPECT_EQ(w.RCFit->Caption(), caption);
  w.Run().SetSolver([](TMatrix&, const TVector&, TVector&, TVector*, bool&) -> bool { throw std::bad_alloc(); });
  t.ClickBox(2, 2);
  ASSERT_EQ(t.Errors.size(), 2u);
  EXPECT_EQ(w.DetailsLines(), memo);
}
