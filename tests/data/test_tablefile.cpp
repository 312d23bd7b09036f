// Reading a file of either format into a builder: the ASC reader on the builder (cancel,
// failures that leave the table, a header with blank lines), the decision between the formats,
// and the same data as ASC and as CSV giving the same table.
#include "datatable_event_log.h"
#include "orvex_tablefile.h"
#include "table_dump.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <string>

using namespace orvex;
using orvex_test::Dump;
namespace fs = std::filesystem;

namespace {

class TableFiles : public ::testing::Test {
protected:
  void SetUp() override
  {
    FDir = fs::temp_directory_path() / ("orvex_tablefile_" + std::to_string(::getpid()) + "_" +
                                        ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(FDir);
  }
  void TearDown() override { fs::remove_all(FDir); }
  std::string Write(const std::string& Name, const std::string& Content)
  {
    const fs::path p = FDir / Name;
    std::ofstream(p, std::ios::binary) << Content;
    return p.string();
  }
  fs::path FDir;
};


const char* const Asc =
    "Weights\n"
    "3\n"
    "4\n"
    "FALSE TRUE TRUE TRUE\n"
    "\"Body weight\" group y\n"
    "a 71.5 0 1.25\n"
    "b NAN 1 -2e-3\n"
    "c ### 0 7\n"
    "d 80 1 1e5\n"
    "<VARTYPES>\n"
    "2 Nominal <0=ctl><1=trt>\n"
    "</VARTYPES>\n";

const char* const Csv =
    "\"\",\"Body weight\",\"group\",\"y\"\n"
    "\"a\",71.5,\"ctl\",1.25\n"
    "\"b\",NaN,\"trt\",-2e-3\n"
    "\"c\",NA,\"ctl\",7\n"
    "\"d\",80,\"trt\",1e5\n";

}  // namespace

TEST_F(TableFiles, AscAndCsvOfTheSameDataGiveTheSameTable)
{
  TDataTable fromAsc, fromCsv;
  TTableBuilder a, c;
  const TTableFileResult ra = ReadTableFile(Write("w.asc", Asc), {}, a);
  const TTableFileResult rc = ReadTableFile(Write("w.csv", Csv), {}, c);
  ASSERT_TRUE(ra.Ok()) << ra.Message;
  ASSERT_TRUE(rc.Ok()) << rc.Message;
  EXPECT_EQ(ra.Format, TFileFormat::Asc);
  EXPECT_EQ(rc.Format, TFileFormat::Delimited);
  fromAsc.Adopt(std::move(a));
  fromCsv.Adopt(std::move(c));
  EXPECT_EQ(Dump(fromCsv), Dump(fromAsc));
  EXPECT_EQ(fromAsc.Comment(), "Weights");  // a comment only the ASC format has
}

TEST_F(TableFiles, FormatByExtensionThenByContent)
{
  EXPECT_EQ(DecideFileFormat(Write("x.CSV", Asc)), TFileFormat::Delimited);  // the extension wins
  EXPECT_EQ(DecideFileFormat(Write("x.tsv", Asc)), TFileFormat::Delimited);
  EXPECT_EQ(DecideFileFormat(Write("x.Asc", Csv)), TFileFormat::Asc);
  EXPECT_EQ(DecideFileFormat(Write("x.txt", Asc)), TFileFormat::Asc);
  EXPECT_EQ(DecideFileFormat(Write("x.txt", Csv)), TFileFormat::Delimited);
  EXPECT_EQ(DecideFileFormat(Write("noext", "c\n2\n1\nTRUE FALSE FALSE FALSE\n1 2\n")), TFileFormat::Asc);
  EXPECT_EQ(DecideFileFormat(Write("dir.d/noext", "a,b\n1,2\n")), TFileFormat::Delimited);
  // A comment line, counts and a bad flag line: not an ASC header.
  EXPECT_EQ(DecideFileFormat(Write("bad.dat", "c\n2\n1\nYES NO\n")), TFileFormat::Delimited);
}

TEST_F(TableFiles, AscIntoABuilderLeavesTheTableUntilAdoptedAndCancelStopsIt)
{
  std::string big = "big\n2\n200000\nFALSE FALSE FALSE FALSE\n";
  for (int i = 0; i < 200000; ++i)
    big += std::to_string(i) + " 1.5\n";
  const std::string file = Write("big.asc", big);
  std::atomic<bool> cancel{false};
  TASCReadOptions options;
  options.BlockSize = 4096;
  options.Cancel = &cancel;
  double last = -1;
  options.Progress = [&](double f) {
    EXPECT_GE(f, last);
    last = f;
    if (f > 0.3)
      cancel = true;
  };
  TTableBuilder b;
  TCustomData custom;
  EXPECT_EQ(ReadASCFileInto(file, b, custom, options), ascCancelled);
  EXPECT_GT(last, 0.3);
  EXPECT_LT(last, 1.0);
  // The token path (names force it) stops as well.
  std::string named = "n\n1\n70000\nFALSE FALSE TRUE FALSE\n";
  for (int i = 0; i < 70000; ++i)
    named += "r" + std::to_string(i) + " 1\n";
  cancel = true;
  options.Progress = nullptr;
  EXPECT_EQ(ReadASCFileInto(Write("named.asc", named), b, custom, options), ascCancelled);

  cancel = false;
  TDataTable t;
  TEventLog log;
  log.Attach(t);
  ASSERT_EQ(ReadASCFileInto(file, b, custom, options), ascOK);
  EXPECT_TRUE(log.Events.empty());
  EXPECT_EQ(t.NrOfRows(), 1);
  t.Adopt(std::move(b));
  EXPECT_EQ(t.NrOfRows(), 200000);
  EXPECT_EQ(t.Elem(1, 200000), 199999.0);
  EXPECT_EQ(log.Events.back(), "Resize 1x1->2x200000");
}

TEST_F(TableFiles, DelimitedFailureKeepsTheTableAndReadTableFileSaysWhy)
{
  TDataTable t;
  t.Resize(2, 3);
  t.SetColName(1, "kept");
  TTableBuilder b;
  const TTableFileResult r = ReadTableFile(Write("bad.csv", "a,b\n1,2\n3,x\n"), {}, b);
  EXPECT_FALSE(r.Ok());
  EXPECT_FALSE(r.HasTable());
  EXPECT_EQ(r.Message, "cannot read the file \"" + (FDir / "bad.csv").string() +
                           "\": line 3, column 2 (field \"x\"): a text in the number column \"b\"");
  EXPECT_EQ(t.ColName(1), "kept");

  const TTableFileResult ra = ReadTableFile(Write("bad.asc", "c\n2\n3\nFALSE FALSE FALSE FALSE\n1 2\n3 x\n"), {}, b);
  EXPECT_EQ(ra.AscCode, ascBadValue);
  EXPECT_TRUE(ra.HasTable());  // the rows up to the failing one, as the ASC format defines
  EXPECT_EQ(b.NrOfRows(), 2);
  EXPECT_EQ(ra.Message, "cannot read the ASC file \"" + (FDir / "bad.asc").string() +
                            "\": result code -6 (a value token is not a valid token)");
}

TEST_F(TableFiles, AscHeaderWithBlankLinesReadsAsWithout)
{
  // Blank lines before the counts are passed over, and the names and rows follow the flag
  // line: the same table as from the plain four-line header.
  const std::string plain = "comment\n2\n2\nFALSE TRUE FALSE FALSE\nx y\n1 2\n3 4\n";
  const std::string blanks = "comment\n\n2\n\n\n2\nFALSE TRUE FALSE FALSE\nx y\n1 2\n3 4\n";
  TDataTable a, b;
  ASSERT_EQ(a.LoadFromASCFile(Write("plain.asc", plain)), ascOK);
  ASSERT_EQ(b.LoadFromASCFile(Write("blanks.asc", blanks)), ascOK);
  EXPECT_EQ(Dump(b), Dump(a));
  EXPECT_EQ(b.ColName(2), "y");
  // A blank line in place of the flag line is a bad flag line.
  TDataTable c;
  EXPECT_EQ(c.LoadFromASCFile(Write("flags.asc", "comment\n2\n2\n\nFALSE TRUE FALSE FALSE\nx y\n1 2\n3 4\n")),
            ascBadFlags);
}
