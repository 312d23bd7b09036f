// The xlsx writer: a table written and read back through the workbook reader is the same table
// (names, row names, numbers, missing cells, level labels); labels that read as numbers are
// written as numbers; a failed save keeps the old file and leaves no temporary file behind.
#include "orvex_workbook.h"
#include "orvex_xlsx_write.h"
#include "sheet_files.h"

using namespace orvex;
using namespace orvex_test;

namespace {

TDataTable& Sample(TDataTable& T)
{
  T.Resize(3, 4);
  const double x[] = {1.5, -0.25, 1e-300, 123456789.125};
  for (int r = 1; r <= 4; ++r) {
    T.SetElem(1, r, x[r - 1]);
    T.SetElem(2, r, (r - 1) % 2);
    T.SetElem(3, r, r * 10.0);
    T.SetRowName(r, "obj " + std::to_string(r));
  }
  T.SetColName(1, "x");
  T.SetColName(2, "group");
  T.SetColName(3, "y & <z>");
  T.SetVarType(2, vtNominal);
  T.SetLevelName(2, 0, "ctl");
  T.SetLevelName(2, 1, "trt");
  T.SetElem(3, 2, 0.0);  // an empty cell reads back as 0
  T.SetCellState(3, 2, csEmpty);
  return T;
}

}  // namespace

TEST_F(SheetFiles, WrittenWorkbooksReadBackAsTheSameTable)
{
  TDataTable t, back;
  Sample(t);
  const std::string file = Path("out.xlsx");
  WriteXlsxFile(t, file);
  const TTableFileResult r = Load(file, back);
  ASSERT_TRUE(r.Ok()) << r.Message;
  EXPECT_TRUE(r.Workbook.Table.RowNames);
  EXPECT_EQ(Dump(back), Dump(t));

  // A not-a-number cell is written empty; default row names are not written.
  TDataTable plain, plainBack;
  plain.Resize(2, 3);
  plain.SetElem(1, 1, 4.0);
  plain.SetCellState(2, 3, csNotANumber);
  WriteXlsxFile(plain, file);  // over the old file
  ASSERT_TRUE(Load(file, plainBack).Ok());
  EXPECT_EQ(plainBack.NrOfColumns(), 2);
  EXPECT_EQ(plainBack.ColName(1), "C-1");
  EXPECT_EQ(plainBack.RowName(1), "R-1");
  EXPECT_EQ(plainBack.Elem(1, 1), 4.0);
  EXPECT_EQ(plainBack.CellState(2, 3), csEmpty);
}

TEST_F(SheetFiles, LevelLabelsThatReadAsNumbersAreWrittenAsNumbers)
{
  TDataTable t, back;
  Sample(t);
  t.SetLevelName(2, 1, "2.5");
  WriteXlsxFile(t, Path("n.xlsx"));
  ASSERT_TRUE(Load(Path("n.xlsx"), back).Ok());
  EXPECT_EQ(back.VarType(2), vtInterval);
  EXPECT_EQ(back.Elem(2, 2), 1.0);
}

TEST_F(SheetFiles, AFailedSaveKeepsTheOldFile)
{
  TDataTable t;
  Sample(t);
  const std::string old = Write("keep.xlsx", "old contents");
  fs::create_directories(Dir / "dir.xlsx");
  try {
    WriteXlsxFile(t, Path("dir.xlsx"));  // a folder stands where the file would go
    ADD_FAILURE() << "no error";
  } catch (const EOrvexXlsxWriteError& e) {
    EXPECT_EQ(std::string(e.what()).rfind("cannot save the file \"" + Path("dir.xlsx") + "\": ", 0), 0u) << e.what();
  }
  try {
    WriteXlsxFile(t, Path("missing/folder.xlsx"));
    ADD_FAILURE() << "no error";
  } catch (const EOrvexXlsxWriteError& e) {
    EXPECT_EQ(std::string(e.what()).rfind("cannot save the file \"" + Path("missing/folder.xlsx") + "\": ", 0), 0u);
  }
  int files = 0;
  for (const auto& e : fs::directory_iterator(Dir))
    files += e.path().filename().string().find(".tmp") != std::string::npos;
  EXPECT_EQ(files, 0);
  std::ifstream in(old);
  std::string text;
  std::getline(in, text);
  EXPECT_EQ(text, "old contents");
}
