// Opening data files in the main window: the background load (progress strip, the table's
// events as for a load on the GUI thread, Cancel and errors keeping table and roles), files
// dropped on the window, the file given at start, and the choice of the format by name and
// content.
#include "mainfrm_testutil.h"

#include "orvex_datatable.h"
#include "orvex_ntabed.h"
#include "orvex_rchart.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QLabel>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QUrl>
#include <gtest/gtest.h>

using namespace orvex;
using mainfrm_test::TShownWindow;
using mainfrm_test::WaitFor;

namespace {

// An ASC file of Cols named columns and Rows rows; cell (c, r) holds r * 10 + c, one cell
// "NAN" and one "###" so that state changes are part of the read.
std::string AscText(int Cols, int Rows)
{
  std::string s = "generated\n" + std::to_string(Cols) + "\n" + std::to_string(Rows) + "\nFALSE TRUE FALSE FALSE\n";
  for (int c = 1; c <= Cols; ++c)
    s += "V" + std::to_string(c) + (c < Cols ? " " : "\n");
  for (int r = 1; r <= Rows; ++r)
    for (int c = 1; c <= Cols; ++c) {
      if (r == 2 && c == 1)
        s += "NAN";
      else if (r == 3 && c == 2)
        s += "###";
      else
        s += std::to_string(r * 10 + c);
      s += c < Cols ? " " : "\n";
    }
  return s;
}

// Records the table's events in order; the editor's own handlers still run.
std::shared_ptr<std::vector<std::string>> RecordTableEvents(TDataTable& T)
{
  auto log = std::make_shared<std::vector<std::string>>();
  auto wrap = [&](TNotifyEvent& E, const char* Name) {
    E = [inner = E, Name, log](TObject* S) {
      log->push_back(Name);
      if (inner)
        inner(S);
    };
  };
  wrap(T.OnChange, "Change");
  wrap(T.OnChangeSetup, "ChangeSetup");
  wrap(T.OnChangeNames, "ChangeNames");
  wrap(T.OnChangeCellState, "ChangeCellState");
  wrap(T.OnChangeAttrib, "ChangeAttrib");
  T.OnResize = [inner = T.OnResize, log](TObject* S, int OC, int OR, int NC, int NR) {
    log->push_back("Resize " + std::to_string(OC) + "x" + std::to_string(OR) + " -> " + std::to_string(NC) + "x" +
                   std::to_string(NR));
    if (inner)
      inner(S, OC, OR, NC, NR);
  };
  return log;
}

// Every value and state of two tables, with names and comment.
void ExpectSameTable(const TDataTable& A, const TDataTable& B)
{
  ASSERT_EQ(A.NrOfColumns(), B.NrOfColumns());
  ASSERT_EQ(A.NrOfRows(), B.NrOfRows());
  EXPECT_EQ(A.Comment(), B.Comment());
  for (int c = 1; c <= A.NrOfColumns(); ++c) {
    EXPECT_EQ(A.ColName(c), B.ColName(c));
    for (int r = 1; r <= A.NrOfRows(); ++r) {
      EXPECT_EQ(A.Elem(c, r), B.Elem(c, r)) << c << ":" << r;
      EXPECT_EQ(A.CellState(c, r), B.CellState(c, r)) << c << ":" << r;
    }
  }
  for (int r = 1; r <= A.NrOfRows(); ++r)
    EXPECT_EQ(A.RowName(r), B.RowName(r));
}

void Drop(QWidget* W, const std::string& File)
{
  QMimeData mime;
  mime.setUrls({QUrl::fromLocalFile(QString::fromStdString(File))});
  QDragEnterEvent enter(QPoint(50, 50), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(W, &enter);
  ASSERT_TRUE(enter.isAccepted());
  QDropEvent drop(QPointF(50, 50), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(W, &drop);
  EXPECT_TRUE(drop.isAccepted());
}

}  // namespace

TEST(MainWindowLoad, BackgroundLoadAdoptsOnTheGuiThreadWithTheSameEvents)
{
  const std::string file = mainfrm_test::WriteFile("background.asc", AscText(4, 300));

  // The reference: the same file loaded on the GUI thread.
  TShownWindow sync;
  auto syncLog = RecordTableEvents(sync.W->NTData->DataTable());
  sync.W->OpenDataFile(file);
  ASSERT_FALSE(sync.W->Loading());
  ASSERT_TRUE(sync.Warnings.empty());

  TShownWindow t;
  TFrmMLRCalc& w = *t.W;
  w.SetBackgroundLoadSize(0);
  t.ClickBox(2, 1);
  t.ClickBox(3, 2);
  auto log = RecordTableEvents(w.NTData->DataTable());
  int ended = 0;
  w.OnLoadEnded = [&](TFrmMLRCalc* Sender) {
    EXPECT_EQ(Sender, &w);
    ++ended;
  };
  w.OpenDataFile(file);
  // While the worker reads, the strip shows and the table is untouched.
  EXPECT_TRUE(w.Loading());
  EXPECT_TRUE(t.Shown(w.PnlLoad));
  EXPECT_NE(w.LblLoad->text().indexOf("background.asc"), -1);
  EXPECT_EQ(w.NTData->NrOfColumns(), 6);
  EXPECT_TRUE(log->empty());
  ASSERT_TRUE(WaitFor([&] { return !w.Loading(); }));
  EXPECT_EQ(ended, 1);
  EXPECT_FALSE(t.Shown(w.PnlLoad));
  EXPECT_TRUE(t.Warnings.empty());
  ExpectSameTable(w.NTData->DataTable(), sync.W->NTData->DataTable());
  EXPECT_EQ(*log, *syncLog);
  // The list follows the new table, every role cleared, the charts hidden.
  ASSERT_EQ(w.RLVarSel->NrOfRows(), 4);
  EXPECT_EQ(w.RLVarSel->CellText(1, 4), "4 - V4");
  EXPECT_EQ(w.RLVarSel->NrChecked(2) + w.RLVarSel->NrChecked(3), 0);
  EXPECT_FALSE(t.Shown(w.RCFit));
  // The editor shows the new table.
  EXPECT_EQ(w.NTData->NrOfRows(), 300);
  EXPECT_EQ(w.NTData->Elem(3, 300), 3003);
}

TEST(MainWindowLoad, CancelAndErrorsKeepTableAndRoles)
{
  TShownWindow t;
  TFrmMLRCalc& w = *t.W;
  w.SetBackgroundLoadSize(0);
  t.ClickBox(2, 3);
  t.ClickBox(3, 6);
  ASSERT_TRUE(t.Shown(w.RCFit));
  TDataTable before;
  before.Assign(w.NTData->DataTable());
  auto log = RecordTableEvents(w.NTData->DataTable());
  auto expectUnchanged = [&](const char* What) {
    SCOPED_TRACE(What);
    ExpectSameTable(w.NTData->DataTable(), before);
    EXPECT_TRUE(log->empty());
    EXPECT_TRUE(w.RLVarSel->Checked(2, 3));
    EXPECT_TRUE(w.RLVarSel->Checked(3, 6));
    EXPECT_TRUE(t.Shown(w.RCFit));
    EXPECT_FALSE(w.Loading());
    EXPECT_FALSE(t.Shown(w.PnlLoad));
  };

  // Cancel by the strip's button: nothing arrives, not even when the worker finishes later.
  const std::string big = mainfrm_test::WriteFile("cancelled.asc", AscText(5, 20000));
  int ended = 0;
  w.OnLoadEnded = [&](TFrmMLRCalc*) { ++ended; };
  w.OpenDataFile(big);
  ASSERT_TRUE(w.Loading());
  mainfrm_test::Click(w.BtnLoadCancel, QPoint(5, 5));
  EXPECT_EQ(ended, 1);
  QElapsedTimer clock;
  clock.start();
  while (clock.elapsed() < 500)
    QApplication::processEvents(QEventLoop::AllEvents, 10);
  expectUnchanged("cancelled");
  EXPECT_TRUE(t.Warnings.empty());

  // A value token that is not valid: a warning with the file and the reader's result code.
  const std::string bad = mainfrm_test::WriteFile("bad.asc", "bad\n2\n3\nFALSE TRUE FALSE FALSE\nA B\n1 2\n3 x\n5 6\n");
  w.OpenDataFile(bad);
  ASSERT_TRUE(WaitFor([&] { return !w.Loading(); }));
  EXPECT_EQ(ended, 2);
  expectUnchanged("bad value");
  ASSERT_EQ(t.Warnings.size(), 1u);
  EXPECT_NE(t.Warnings[0].find(bad), std::string::npos);
  EXPECT_NE(t.Warnings[0].find("Result code -6: " + std::string(AscResultMeaning(ascBadValue))), std::string::npos)
      << t.Warnings[0];

  // A header that is not one, given the ASC name: refused the same way.
  const std::string header = mainfrm_test::WriteFile("header.asc", "bad\nzwei\n3\nFALSE TRUE FALSE FALSE\n");
  w.OpenDataFile(header);
  ASSERT_TRUE(WaitFor([&] { return !w.Loading(); }));
  expectUnchanged("bad header");
  ASSERT_EQ(t.Warnings.size(), 2u);
  EXPECT_NE(t.Warnings[1].find("Result code -1"), std::string::npos) << t.Warnings[1];

  // A new load while one runs replaces it; only the second arrives.
  const std::string small = mainfrm_test::WriteFile("second.asc", AscText(2, 5));
  w.OpenDataFile(big);
  w.OpenDataFile(small);
  ASSERT_TRUE(WaitFor([&] { return !w.Loading(); }));
  EXPECT_EQ(w.NTData->NrOfColumns(), 2);
  EXPECT_EQ(w.NTData->NrOfRows(), 5);
}

TEST(MainWindowLoad, DroppedFileAndStartFileOpen)
{
  const std::string file = mainfrm_test::WriteFile("dropped.asc", AscText(3, 7));
  TShownWindow t;
  TFrmMLRCalc& w = *t.W;
  Drop(&w, file);
  // Opened once the drop has ended, through the event loop.
  EXPECT_EQ(w.NTData->NrOfColumns(), 6);
  ASSERT_TRUE(WaitFor([&] { return w.NTData->NrOfColumns() == 3; }));
  EXPECT_EQ(w.RLVarSel->NrOfRows(), 3);

  // Text dragged over the window is not taken.
  QMimeData text;
  text.setText("1 2 3");
  QDragEnterEvent enter(QPoint(50, 50), Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(&w, &enter);
  EXPECT_FALSE(enter.isAccepted());

  // mlrcalc FILE: the window starts on the file instead of the demonstration data.
  TFrmMLRCalc started;
  started.SetStartFile(file);
  started.show();
  QApplication::processEvents();
  EXPECT_EQ(started.NTData->NrOfColumns(), 3);
  EXPECT_EQ(started.NTData->ColName(2), "V2");
  EXPECT_EQ(started.RLVarSel->NrOfRows(), 3);

  // A start file that cannot be read leaves the demonstration data, with a warning.
  TFrmMLRCalc missing;
  std::vector<std::string> warnings;
  missing.ShowWarning = [&](const std::string&, const std::string& Text) { warnings.push_back(Text); };
  missing.SetStartFile(file + ".missing.asc");
  missing.show();
  QApplication::processEvents();
  EXPECT_EQ(missing.NTData->NrOfColumns(), 6);
  EXPECT_EQ(missing.RLVarSel->NrOfRows(), 6);
  ASSERT_EQ(warnings.size(), 1u);
  EXPECT_NE(warnings[0].find("Result code -8"), std::string::npos) << warnings[0];
}

TEST(MainWindowLoad, FormatByNameThenContent)
{
  TShownWindow t;
  TFrmMLRCalc& w = *t.W;
  // An ASC header in a file with another name: read as ASC.
  const std::string ascTxt = mainfrm_test::WriteFile("table.txt", AscText(2, 3));
  w.OpenDataFile(ascTxt);
  EXPECT_TRUE(t.Warnings.empty());
  EXPECT_EQ(w.NTData->NrOfColumns(), 2);
  EXPECT_EQ(w.NTData->ColName(1), "V1");
}
