// "Save Data" and "Save Data As" in the window, through the keys and the tool strip's buttons:
// the demonstration data go to Save As, a loaded file is written back in its own format and
// dialect, the format follows the extension, and a failed save keeps the file, the table and
// the remembered file and says why.
#include "mainfrm_testutil.h"

#include "data/table_dump.h"
#include "orvex_datatable.h"
#include "orvex_ntabed.h"
#include "importdlg.h"

#include <QKeyEvent>
#include <QLabel>
#include <gtest/gtest.h>

#include <filesystem>

using namespace orvex;
using namespace mainfrm_test;
namespace fs = std::filesystem;

namespace {

std::string ReadText(const std::string& Path)
{
  std::ifstream f(Path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

// The window with its Save As dialog answered by SetAnswer's name (an empty one
// cancels); Suggested keeps the name each dialog suggested.
struct TSaveWindow : TShownWindow {
  std::vector<std::string> Suggested;
  void SetAnswer(const std::string& FileName) { Answer = FileName; }
  TSaveWindow()
  {
    W->ExecuteSaveHook = [this](std::string& FileName) {
      Suggested.push_back(FileName);
      FileName = Answer;
      return !Answer.empty();
    };
    W->ExecuteImportHook = [](TImportDialog&) { return true; };
    // Window shortcuts answer only in the active window.
    QApplication::setActiveWindow(W.get());
  }
  // S with Modifiers, pressed and released on the table editor as the keyboard sends it.
  std::string Answer;
  void Key(Qt::KeyboardModifiers Modifiers)
  {
    QKeyEvent press(QEvent::KeyPress, Qt::Key_S, Modifiers, "s");
    QApplication::sendEvent(W->NTData, &press);
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_S, Modifiers, "s");
    QApplication::sendEvent(W->NTData, &release);
  }
};

std::string TempPath(const std::string& Name)
{
  const fs::path dir = fs::temp_directory_path() / "mainfrm_save_tests";
  fs::create_directories(dir);
  return (dir / Name).string();
}

}  // namespace

TEST(MainWindowSave, DemonstrationDataGoThroughSaveAsThenSaveWritesBack)
{
  TSaveWindow w;
  const std::string file = TempPath("demo.asc");
  fs::remove(file);
  // Cancelled: nothing is written, no file is remembered.
  w.Key(Qt::ControlModifier);
  ASSERT_EQ(w.Suggested.size(), 1u);
  EXPECT_EQ(w.Suggested[0], "");
  EXPECT_FALSE(fs::exists(file));
  EXPECT_EQ(w.W->DataFileName(), "");

  w.SetAnswer(file);
  w.Key(Qt::ControlModifier);
  ASSERT_EQ(w.Suggested.size(), 2u);
  ASSERT_EQ(w.W->DataFileName(), file);
  TDataTable back;
  ASSERT_EQ(back.LoadFromASCFile(file), ascOK);
  EXPECT_EQ(orvex_test::Dump(back), orvex_test::Dump(w.W->NTData->DataTable()));

  // An edit, then Ctrl+S: written back without a dialog.
  w.W->NTData->DataTable().SetElem(2, 3, 123.25);
  w.Key(Qt::ControlModifier);
  EXPECT_EQ(w.Suggested.size(), 2u);
  ASSERT_EQ(back.LoadFromASCFile(file), ascOK);
  EXPECT_EQ(back.Elem(2, 3), 123.25);

  // Ctrl+Shift+S always asks, suggesting the current file; .tsv writes tab-separated text.
  const std::string tsv = TempPath("demo.tsv");
  w.SetAnswer(tsv);
  w.Key(Qt::ControlModifier | Qt::ShiftModifier);
  ASSERT_EQ(w.Suggested.size(), 3u);
  EXPECT_EQ(w.Suggested[2], file);
  EXPECT_EQ(w.W->DataFileName(), tsv);
  EXPECT_EQ(w.W->DataFileFormat(), TFileFormat::Delimited);
  const std::string text = ReadText(tsv);
  EXPECT_EQ(text.substr(0, text.find('\n')), "Total Weight\tWeight Skin\tLength\tWidth\tOuter Length\tNet Weight");
}

TEST(MainWindowSave, LoadedDelimitedFileKeepsItsDialect)
{
  TSaveWindow w;
  const std::string file = WriteFile("dialect.csv", "x;y\n1,5;2\n3;4,25\n");
  w.W->OpenDataFile(file);
  ASSERT_EQ(w.W->DataFileName(), file);
  ASSERT_EQ(w.W->DataFileDialect().Delimiter, dlSemicolon);
  w.W->NTData->DataTable().SetElem(1, 2, -7.5);
  // The button, clicked as the mouse does.
  Click(w.W->SButSaveData, QPoint(10, 10));
  EXPECT_TRUE(w.Suggested.empty());
  EXPECT_EQ(ReadText(file), "x;y\n1,5;2\n-7,5;4,25\n");

  // Save As a .csv keeps the semicolon and the decimal comma.
  const std::string copy = TempPath("copy.csv");
  w.SetAnswer(copy);
  Click(w.W->SButSaveDataAs, QPoint(10, 10));
  EXPECT_EQ(ReadText(copy), "x;y\n1,5;2\n-7,5;4,25\n");
  EXPECT_TRUE(w.Errors.empty());
}

TEST(MainWindowSave, FileWhoseLoadLeftPartsOutIsNotOverwritten)
{
  TSaveWindow w;
  // 151 different texts: the column is left out, so Save asks for a new file.
  std::string content = "a,t\n";
  for (int i = 0; i < 160; ++i)
    content += std::to_string(i) + ",text" + std::to_string(i) + "\n";
  const std::string file = WriteFile("leftout.csv", content);
  w.W->OpenDataFile(file);
  ASSERT_EQ(w.W->DataFileName(), file);
  w.SetAnswer("");
  EXPECT_FALSE(w.W->SaveDataFile());
  EXPECT_EQ(w.Suggested.size(), 1u);
  EXPECT_EQ(ReadText(file), content);
}

TEST(MainWindowSave, FailedSaveKeepsTableAndFileAndSaysWhy)
{
  TSaveWindow w;
  const std::string asc = WriteFile("keep.asc", "kept\n1\n2\nFALSE FALSE FALSE FALSE\n1\n2\n");
  w.W->OpenDataFile(asc);
  ASSERT_EQ(w.W->DataFileName(), asc);
  const std::string before = orvex_test::Dump(w.W->NTData->DataTable());

  const std::string missing = TempPath("no/such/folder/x.csv");
  w.SetAnswer(missing);
  EXPECT_FALSE(w.W->SaveDataFileAs());
  ASSERT_EQ(w.Errors.size(), 1u);
  EXPECT_EQ(w.Errors[0], "Cannot save the file \"" + missing +
                             "\": cannot create a file in its folder: No such file or directory.\n"
                             "The data in the window are unchanged.");
  EXPECT_EQ(w.W->DataFileName(), asc);
  EXPECT_EQ(orvex_test::Dump(w.W->NTData->DataTable()), before);

  w.SetAnswer(TempPath("wrong.xlsm"));
  EXPECT_FALSE(w.W->SaveDataFileAs());
  ASSERT_EQ(w.Errors.size(), 2u);
  EXPECT_EQ(w.Errors[1], "Cannot save the file \"" + w.Answer +
                             "\": \".xlsm\" is not a format that can be saved; use .asc, .csv, .tsv, .txt or .xlsx.\n"
                             "The data in the window are unchanged.");
  EXPECT_EQ(ReadText(asc), "kept\n1\n2\nFALSE FALSE FALSE FALSE\n1\n2\n");
}

// The buttons sit at the strip's right end, clear of the warning's place, also at the window's
// smallest width, and follow the window's width.
TEST(MainWindowSave, ButtonsSitAtTheStripsRightEndClearOfTheWarning)
{
  TSaveWindow w;
  EXPECT_EQ(w.W->SButSaveData->text(), "Save Data");
  EXPECT_EQ(w.W->SButSaveDataAs->text(), "Save Data As");
  EXPECT_FALSE(w.W->SButSaveData->icon().isNull());
  EXPECT_FALSE(w.W->SButSaveDataAs->icon().isNull());
  for (const int width : {700, 900}) {
    w.W->resize(width, 500);
    QApplication::processEvents();
    const QRect load = w.W->SButLoadData->geometry();
    const QRect save = w.W->SButSaveData->geometry();
    const QRect saveAs = w.W->SButSaveDataAs->geometry();
    EXPECT_EQ(save.top(), load.top());
    EXPECT_EQ(saveAs.top(), load.top());
    EXPECT_GT(save.left(), w.W->LblNearSing->geometry().right());
    EXPECT_GT(saveAs.left(), save.right());
    EXPECT_EQ(saveAs.right(), width - 5);
  }
}
