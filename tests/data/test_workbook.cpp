// The workbook reader: the same table from a CSV file and from xlsx and ods workbooks written by
// other programs; every kind of xlsx cell (shared, rich and inline texts, booleans, formulas with
// and without cached values, errors, dates in the 1904 system, absolute part names); the sheet
// chosen by name and number; header overrides; broken packages with their messages; cancel.
#include "orvex_workbook.h"
#include "orvex_xlsx_write.h"
#include "sheet_files.h"
#include "stored_zip.h"

#include <atomic>
#include <cstdint>

using namespace orvex;
using namespace orvex_test;

namespace {

// A minimal xlsx package around one sheet's XML.
std::string XlsxWithSheet(const std::string& SheetData)
{
  const std::string ns = "xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
                         "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\"";
  const std::string rel = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/";
  return orvex_zip::StoredZip({
      {"[Content_Types].xml", "<Types/>"},
      {"xl/workbook.xml", "<workbook " + ns + "><sheets><sheet name=\"S\" sheetId=\"1\" r:id=\"rId1\"/></sheets></workbook>"},
      {"xl/_rels/workbook.xml.rels", "<Relationships><Relationship Id=\"rId1\" Type=\"" + rel +
                                         "worksheet\" Target=\"worksheets/sheet1.xml\"/></Relationships>"},
      {"xl/worksheets/sheet1.xml", "<worksheet " + ns + "><sheetData>" + SheetData + "</sheetData></worksheet>"},
  });
}

TWorkbookResult ReadBook(const std::string& File, TDataTable& T, const TWorkbookOptions& O = {})
{
  TTableBuilder b;
  TWorkbookResult r = ReadWorkbookFile(File, O, b);
  if (r.Ok())
    T.Adopt(std::move(b));
  return r;
}

}  // namespace

TEST(WorkbookDates, SerialDaysCountFrom30December1899)
{
  // Reference: R, as.numeric(as.Date(c("1899-12-30", "1900-03-01", "1904-01-01",
  // "2024-01-01")) - as.Date("1899-12-30")) gives 0 61 1462 45292.
  EXPECT_EQ(SerialDay(1899, 12, 30), 0.0);
  EXPECT_EQ(SerialDay(1900, 3, 1), 61.0);
  EXPECT_EQ(SerialDay(1904, 1, 1), 1462.0);
  EXPECT_EQ(SerialDay(2024, 1, 1), 45292.0);
  EXPECT_EQ(SerialDay(2024, 1, 2, 12, 0, 0.0), 45293.5);
  EXPECT_EQ(SerialDay(1899, 12, 29), -1.0);
  EXPECT_EQ(ColumnLetters(0) + ColumnLetters(25) + ColumnLetters(26) + ColumnLetters(16383), "AZAAXFD");
}

TEST_F(SheetFiles, WorkbooksGiveTheTableOfTheirCsv)
{
  TDataTable csv, xlsx, ods;
  ASSERT_TRUE(Load(SampleFile("same.csv"), csv).Ok());
  const TTableFileResult rx = Load(SampleFile("same.xlsx"), xlsx);
  ASSERT_TRUE(rx.Ok()) << rx.Message;
  EXPECT_EQ(rx.Format, TFileFormat::Workbook);
  EXPECT_EQ(rx.Workbook.SheetUsed, "Data");
  EXPECT_EQ(rx.Workbook.SheetNames, (std::vector<std::string>{"Data", "Other"}));
  EXPECT_TRUE(rx.Workbook.Table.Header);
  EXPECT_TRUE(rx.Workbook.Table.RowNames);
  const TTableFileResult ro = Load(SampleFile("same.ods"), ods);
  ASSERT_TRUE(ro.Ok()) << ro.Message;
  EXPECT_EQ(Dump(xlsx), Dump(csv));
  EXPECT_EQ(Dump(ods), Dump(csv));
  EXPECT_EQ(csv.VarType(2), vtNominal);  // the texts became levels in every format
  EXPECT_EQ(xlsx.LevelName(2, 1), "trt");
}

TEST_F(SheetFiles, WorkbooksWrittenNowByOtherProgramsReadAlike)
{
  if (!HavePythonModules("openpyxl, odf"))
    GTEST_SKIP() << "/usr/bin/python3 with openpyxl and odfpy is not installed: workbooks not written afresh";
  ASSERT_TRUE(RunQuietly("/usr/bin/python3 " + std::string(ORVEX_SCRIPTS) + "/make-sheet-test-files.py " + Dir.string()));
  for (const char* name : {"same.xlsx", "same.ods", "cells.xlsx"}) {
    TDataTable fresh, committed;
    TTableReadOptions o;
    o.Workbook.Sheet = name == std::string("cells.xlsx") ? "2" : "";
    ASSERT_TRUE(Load(Path(name), fresh, o).Ok()) << name;
    ASSERT_TRUE(Load(SampleFile(name), committed, o).Ok()) << name;
    EXPECT_EQ(Dump(fresh), Dump(committed)) << name;
  }
}

TEST_F(SheetFiles, EveryKindOfXlsxCell)
{
  TDataTable t;
  TWorkbookOptions o;
  o.Sheet = "Data & more";
  const TWorkbookResult r = ReadBook(SampleFile("cells.xlsx"), t, o);
  ASSERT_TRUE(r.Ok()) << r.Message;
  EXPECT_EQ(r.SheetNames, (std::vector<std::string>{"Notes", "Data & more"}));
  EXPECT_EQ(r.Table.ErrorCells, 1);
  EXPECT_EQ(r.Table.NoValueCells, 1);
  ASSERT_EQ(t.NrOfColumns(), 5);
  ASSERT_EQ(t.NrOfRows(), 3);
  EXPECT_EQ(t.ColName(1) + t.ColName(2) + t.ColName(3) + t.ColName(4) + t.ColName(5), "xwhenflagcalclabel");
  // x: plain numbers; a format showing a quoted "d" is no date.
  EXPECT_EQ(t.Elem(1, 1), 1.5);
  EXPECT_EQ(t.Elem(1, 2), 2.5);
  EXPECT_EQ(t.Elem(1, 3), -300.0);
  // when: date cells of the 1904 system moved onto the count from 1899-12-30; an ISO date cell.
  EXPECT_EQ(t.Elem(2, 1), 1462.0);
  EXPECT_EQ(t.Elem(2, 2), 1463.5);
  EXPECT_EQ(t.Elem(2, 3), 45293.5);
  // flag: booleans.
  EXPECT_EQ(t.Elem(3, 1), 1.0);
  EXPECT_EQ(t.Elem(3, 2), 0.0);
  EXPECT_EQ(t.Elem(3, 3), 1.0);
  // calc: a cached formula value, a formula without one (empty), an error value (not a number).
  EXPECT_EQ(t.Elem(4, 1), 3.0);
  EXPECT_EQ(t.CellState(4, 2), csEmpty);
  EXPECT_EQ(t.CellState(4, 3), csNotANumber);
  // label: rich shared text without its phonetic run, a formula's text, an inline text in runs.
  EXPECT_EQ(t.VarType(5), vtNominal);
  EXPECT_EQ(t.LevelName(5, 0), "low <1");
  EXPECT_EQ(t.LevelName(5, 1), "hi");
  EXPECT_EQ(t.Elem(5, 1), 0.0);
  EXPECT_EQ(t.Elem(5, 2), 1.0);
  EXPECT_EQ(t.Elem(5, 3), 0.0);
}

TEST_F(SheetFiles, SheetsAreChosenByNameOrNumber)
{
  TDataTable byNumber, byName, first;
  TWorkbookOptions o;
  o.Sheet = "2";
  ASSERT_TRUE(ReadBook(SampleFile("cells.xlsx"), byNumber, o).Ok());
  o.Sheet = "Data & more";
  ASSERT_TRUE(ReadBook(SampleFile("cells.xlsx"), byName, o).Ok());
  EXPECT_EQ(Dump(byNumber), Dump(byName));
  const TWorkbookResult r = ReadBook(SampleFile("cells.xlsx"), first);
  ASSERT_TRUE(r.Ok()) << r.Message;
  EXPECT_EQ(r.SheetUsed, "Notes");
  EXPECT_EQ(first.LevelName(1, 0), "not this s");  // a level label keeps 10 characters

  o.Sheet = "Other";  // one row "q", 1: no header; a first column of texts holds row names
  TDataTable other;
  ASSERT_TRUE(ReadBook(SampleFile("same.xlsx"), other, o).Ok());
  EXPECT_EQ(other.NrOfColumns(), 1);
  EXPECT_EQ(other.ColName(1) + other.RowName(1), "V1q");
  EXPECT_EQ(other.Elem(1, 1), 1.0);

  for (const char* file : {"cells.xlsx", "same.ods"}) {
    TDataTable t;
    o.Sheet = "Nope";
    const TWorkbookResult missing = ReadBook(SampleFile(file), t, o);
    EXPECT_EQ(missing.Status, TReadStatus::NoTable);
    EXPECT_NE(missing.Message.find("it has no sheet \"Nope\" (its sheets: \""), std::string::npos) << missing.Message;
  }
  std::string message;
  EXPECT_EQ(WorkbookSheetNames(SampleFile("same.ods"), message), (std::vector<std::string>{"Data"}));
  EXPECT_EQ(WorkbookSheetNames(SampleFile("cells.xlsx"), message),
            (std::vector<std::string>{"Notes", "Data & more"}));
}

TEST_F(SheetFiles, HeaderAndRowNamesCanBeOverridden)
{
  TDataTable t;
  TWorkbookOptions o;
  o.Rules.RowNames = TPresence::No;
  ASSERT_TRUE(ReadBook(SampleFile("same.xlsx"), t, o).Ok());
  EXPECT_EQ(t.NrOfColumns(), 4);
  EXPECT_EQ(t.ColName(1), "V1");  // the empty header cell
  EXPECT_EQ(t.LevelName(1, 3), "d");
  o.Rules.Header = TPresence::No;
  const TWorkbookResult r = ReadBook(SampleFile("same.xlsx"), t, o);
  EXPECT_EQ(r.Status, TReadStatus::BadNumber);
  EXPECT_EQ(r.Message, "cannot read the workbook \"" + SampleFile("same.xlsx") +
                           "\": sheet \"Data\", cell B1 (\"weight\"): a text in the number column \"V2\"");
  o = {};
  o.MaxRows = 2;
  ASSERT_TRUE(ReadBook(SampleFile("same.ods"), t, o).Ok());
  EXPECT_EQ(t.NrOfRows(), 2);
}

TEST_F(SheetFiles, BrokenWorkbooksSayWhy)
{
  std::string whole;
  {
    std::ifstream in(SampleFile("same.xlsx"), std::ios::binary);
    whole.assign(std::istreambuf_iterator<char>(in), {});
  }
  const std::string big(200000, 'a');
  struct TCase {
    std::string Name, Content, Reason;
  } const cases[] = {
      {"text.xlsx", "a,b\n1,2\n", "the file is not a zip package"},
      {"cut.xlsx", whole.substr(0, whole.size() / 2), "the zip directory is missing"},
      {"bomb.xlsx", orvex_zip::StoredZip({{"xl/workbook.xml", "<workbook/>"}}, 0x7FFFFFFF), "would unpack to more than"},
      {"noworkbook.xlsx", orvex_zip::StoredZip({{"a.txt", "hello"}}), "the package holds no workbook part"},
      {"nosheets.xlsx", orvex_zip::StoredZip({{"xl/workbook.xml", "<workbook><sheets/></workbook>"}}), "holds no sheet"},
      {"badxml.xlsx", XlsxWithSheet("<row><c r=\"A1\"><v>1</v></c></row><c r="), "the part \"xl/worksheets/sheet1.xml\" is no well-formed XML (not well-formed"},
      {"badxml.ods",
       orvex_zip::StoredZip({{"mimetype", "application/vnd.oasis.opendocument.spreadsheet"},
                             {"content.xml", "<office:document-content><office:body><table:table"}}),
       "the part \"content.xml\" is no well-formed XML"},
      {"badref.xlsx", XlsxWithSheet("<row><c r=\"1A\"><v>1</v></c></row>"), "the cell reference \"1A\" is not valid"},
      {"far.xlsx", XlsxWithSheet("<row><c r=\"A1\"><v>1</v></c><c r=\"XFD1048576\"><v>1</v></c></row>"),
       "the used range A1:XFD1048576 is too large"},
      {"badindex.xlsx", XlsxWithSheet("<row><c r=\"A1\" t=\"s\"><v>7</v></c></row>"),
       "refers to shared text 7, but there are only 0"},
      {"empty.xlsx", XlsxWithSheet(""), "sheet \"S\" holds no cells"},
      {"cut.ods", std::string("PK\x03\x04", 4) + big, "the zip directory is missing"},
  };
  for (const TCase& c : cases) {
    TDataTable t;
    t.SetColName(1, "kept");
    const TTableFileResult r = Load(Write(c.Name, c.Content), t);
    EXPECT_FALSE(r.Ok()) << c.Name;
    EXPECT_EQ(r.Message.rfind("cannot read the workbook \"" + Path(c.Name) + "\": ", 0), 0u) << r.Message;
    EXPECT_NE(r.Message.find(c.Reason), std::string::npos) << c.Name << ": " << r.Message;
    EXPECT_EQ(t.ColName(1), "kept");
  }
  TDataTable t;
  const TTableFileResult gone = Load(Path("gone.xlsx"), t);
  EXPECT_EQ(gone.Message, "cannot read the workbook \"" + Path("gone.xlsx") + "\": the file does not exist or cannot be read");
}

// A directory entry that declares more packed data than the package holds, or more unpacked
// data than deflate can make of its packed data, is refused before anything is unpacked: the
// entry count of the end record is damaged to 1, so that only the directory walk sees the
// second entry.
TEST_F(SheetFiles, PartsLargerThanTheirDataAreRefusedBeforeUnpacking)
{
  const std::string good = XlsxWithSheet("<row><c r=\"A1\"><v>1</v></c></row>");
  auto damaged = [&](int Field, std::uint32_t Value) {
    std::string zip = good;
    const std::size_t end = zip.rfind(std::string("PK\x05\x06", 4));
    zip[end + 8] = zip[end + 10] = 1, zip[end + 9] = zip[end + 11] = 0;
    // The last directory entry: the sheet's.
    const std::size_t entry = zip.rfind(std::string("PK\x01\x02", 4));
    for (int i = 0; i < 4; ++i)
      zip[entry + static_cast<std::size_t>(Field + i)] = static_cast<char>((Value >> (8 * i)) & 0xFF);
    return zip;
  };
  struct TCase {
    std::string Name, Content;
  } const cases[] = {
      {"packed.xlsx", damaged(20, 0x60000000)},
      {"unpacked.xlsx", damaged(24, 0x60000000)},
  };
  for (const TCase& c : cases) {
    TDataTable t;
    const TTableFileResult r = Load(Write(c.Name, c.Content), t);
    EXPECT_FALSE(r.Ok()) << c.Name;
    EXPECT_NE(r.Message.find("declares a part larger than its data"), std::string::npos) << c.Name << ": " << r.Message;
  }
  TDataTable t;
  EXPECT_TRUE(Load(Write("good.xlsx", good), t).Ok());
  EXPECT_DOUBLE_EQ(t.Elem(1, 1), 1);
}

TEST_F(SheetFiles, FormatsAreDecidedByNameThenContent)
{
  EXPECT_EQ(DecideFileFormat(SampleFile("same.xlsx")), TFileFormat::Workbook);
  EXPECT_EQ(DecideFileFormat(SampleFile("same.ods")), TFileFormat::Workbook);
  EXPECT_EQ(DecideFileFormat(SampleFile("same.sav")), TFileFormat::StatFile);
  EXPECT_EQ(DecideFileFormat(SampleFile("same.csv")), TFileFormat::Delimited);
  fs::copy_file(SampleFile("same.xlsx"), Path("book"));
  fs::copy_file(SampleFile("same.ods"), Path("sheet.dat"));
  fs::copy_file(SampleFile("same.sav"), Path("data"));
  EXPECT_EQ(DecideFileFormat(Path("book")), TFileFormat::Workbook);
  EXPECT_EQ(DecideFileFormat(Path("sheet.dat")), TFileFormat::Workbook);
  EXPECT_EQ(DecideFileFormat(Path("data")), TFileFormat::StatFile);
  TDataTable a, b;
  ASSERT_TRUE(Load(Path("sheet.dat"), a).Ok());
  ASSERT_TRUE(Load(SampleFile("same.csv"), b).Ok());
  EXPECT_EQ(Dump(a), Dump(b));
}

TEST_F(SheetFiles, CancelStopsTheReadAndProgressRuns)
{
  TDataTable big;
  big.Resize(3, 20000);
  for (int r = 1; r <= 20000; ++r)
    for (int c = 1; c <= 3; ++c)
      big.SetElem(c, r, r * 0.5 + c);
  const std::string file = Path("big.xlsx");
  WriteXlsxFile(big, file);
  std::atomic<bool> cancel{true};
  TReadControl control;
  control.Cancel = &cancel;
  TTableBuilder b;
  const TWorkbookResult r = ReadWorkbookFile(file, {}, b, control);
  EXPECT_EQ(r.Status, TReadStatus::Cancelled);
  EXPECT_EQ(r.Message, "the read was cancelled");

  cancel = false;
  double last = -1.0;
  bool rising = true;
  control.Progress = [&](double F) {
    rising = rising && F >= last;
    last = F;
  };
  TDataTable back;
  TTableBuilder b2;
  ASSERT_TRUE(ReadWorkbookFile(file, {}, b2, control).Ok());
  back.Adopt(std::move(b2));
  EXPECT_TRUE(rising);
  EXPECT_EQ(last, 1.0);
  EXPECT_EQ(back.Elem(3, 20000), 10003.0);
}
