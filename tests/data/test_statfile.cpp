// The statistics-package reader: the same table from a CSV file and from SPSS, Stata and SAS
// files written by R's haven (committed, and written afresh when R is present); value labels as
// levels, and left alone outside 0..150; user-defined missing values; labels as names; broken
// files with their messages.
#include "orvex_statfile.h"
#include "sheet_files.h"

using namespace orvex;
using namespace orvex_test;

TEST_F(SheetFiles, StatFilesGiveTheTableOfTheirCsv)
{
  TDataTable csv;
  ASSERT_TRUE(Load(SampleFile("same-stat.csv"), csv).Ok());
  for (const char* name : {"same.sav", "same.zsav", "same.dta"}) {
    TDataTable t;
    const TTableFileResult r = Load(SampleFile(name), t);
    ASSERT_TRUE(r.Ok()) << name << ": " << r.Message;
    EXPECT_EQ(r.Format, TFileFormat::StatFile);
    EXPECT_EQ(Dump(t), Dump(csv)) << name;
    // The user-defined missing 999 of the SPSS files and R's NA in the Stata file alike.
    EXPECT_EQ(t.CellState(1, 2), csEmpty) << name;
    EXPECT_EQ(r.Stat.MissingCells, 2) << name;  // weight in row 2, city in row 4
  }
  // The transport file holds numbers only: group stays numeric.
  TDataTable xpt;
  ASSERT_TRUE(Load(SampleFile("same.xpt"), xpt).Ok());
  ASSERT_EQ(xpt.NrOfColumns(), 3);
  EXPECT_EQ(xpt.VarType(2), vtInterval);
  for (int r = 1; r <= 4; ++r) {
    EXPECT_EQ(xpt.CellState(1, r), csv.CellState(1, r));
    EXPECT_EQ(xpt.Elem(1, r), csv.Elem(1, r));
    EXPECT_EQ(xpt.Elem(2, r), csv.Elem(2, r));
    EXPECT_EQ(xpt.Elem(3, r), csv.Elem(3, r));
  }
}

TEST_F(SheetFiles, StatFilesWrittenNowByRReadAlike)
{
  if (!HaveRPackage("haven"))
    GTEST_SKIP() << "R with haven is not installed: statistics-package files not written afresh";
  ASSERT_TRUE(RunQuietly("Rscript " + std::string(ORVEX_SCRIPTS) + "/make-stat-test-files.R " + Dir.string()));
  for (const char* name : {"same.sav", "same.zsav", "same.dta", "same.xpt", "labels.sav"}) {
    TDataTable fresh, committed;
    ASSERT_TRUE(Load(Path(name), fresh).Ok()) << name;
    ASSERT_TRUE(Load(SampleFile(name), committed).Ok()) << name;
    EXPECT_EQ(Dump(fresh), Dump(committed)) << name;
  }
}

TEST_F(SheetFiles, ValueLabelsBecomeLevelsOnlyWithin0To150)
{
  TDataTable t;
  const TTableFileResult r = Load(SampleFile("same.sav"), t);
  ASSERT_TRUE(r.Ok()) << r.Message;
  EXPECT_EQ(t.VarType(2), vtNominal);
  EXPECT_EQ(t.LevelName(2, 0), "ctl");
  EXPECT_EQ(t.LevelName(2, 1), "trt");
  EXPECT_TRUE(r.Stat.Notes.empty());

  TDataTable labels;
  const TTableFileResult l = Load(SampleFile("labels.sav"), labels);
  ASSERT_TRUE(l.Ok()) << l.Message;
  EXPECT_EQ(labels.VarType(1), vtInterval);
  EXPECT_EQ(labels.Elem(1, 2), 200.0);
  ASSERT_EQ(l.Stat.Notes.size(), 1u);
  EXPECT_EQ(l.Stat.Notes[0], "the value labels of \"code\" are not used: its values lie outside 0..150, so it stays numeric");

  TTableReadOptions o;
  o.Stat.LabelsAsNames = true;
  TDataTable named;
  ASSERT_TRUE(Load(SampleFile("same.sav"), named, o).Ok());
  EXPECT_EQ(named.ColName(1), "Body weight (kg)");
  EXPECT_EQ(named.ColName(2), "group");  // no label: the variable's name
}

TEST_F(SheetFiles, BrokenStatFilesSayWhy)
{
  std::string sav;
  {
    std::ifstream in(SampleFile("same.sav"), std::ios::binary);
    sav.assign(std::istreambuf_iterator<char>(in), {});
  }
  const char* cases[][2] = {
      {"cut.sav", nullptr},
      {"text.sav", "weight,group\n1,2\n"},
      {"text.dta", "not a Stata file at all, but long enough to be looked at\n"},
      {"text.xpt", "HEADER RECORD*******LIBRARY HEADER RECORD!!!!!!!"},
      {"empty.por", ""},
  };
  for (const auto& c : cases) {
    const std::string file = Write(c[0], c[1] ? std::string(c[1]) : sav.substr(0, sav.size() / 2));
    TDataTable t;
    t.SetColName(1, "kept");
    const TTableFileResult r = Load(file, t);
    EXPECT_FALSE(r.Ok()) << c[0];
    EXPECT_EQ(r.Message.rfind("cannot read the file \"" + file + "\": ", 0), 0u) << r.Message;
    EXPECT_GT(r.Message.size(), file.size() + 26) << "no reason given: " << r.Message;
    EXPECT_EQ(t.ColName(1), "kept");
  }
  TDataTable t;
  EXPECT_EQ(Load(Path("gone.dta"), t).Message,
            "cannot read the file \"" + Path("gone.dta") + "\": the file does not exist or cannot be read");
}
