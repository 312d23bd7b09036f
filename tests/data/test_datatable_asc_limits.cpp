// Files made to hurt the ASC reader: what they give, and the heap they may take. Any file of S
// bytes must load with a peak of at most 64 S + 16 MiB; the heap peak is counted by the global
// operator new the binary gets from allocation_limit.cpp (the read buffer included).
#include "allocation_limit.h"
#include "datatable_event_log.h"
#include "orvex_datatable.h"
#include "orvex_datatable_asc.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <new>
#include <string>


using namespace orvex;
namespace fs = std::filesystem;

namespace {

class HostileAscFiles : public ::testing::Test {
protected:
  void SetUp() override
  {
    FDir = fs::temp_directory_path() /
           ("orvex_hostile_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(FDir);
  }
  void TearDown() override { fs::remove_all(FDir); }

  std::string Write(const std::string& Content)
  {
    const fs::path p = FDir / "h.asc";
    std::ofstream(p, std::ios::binary) << Content;
    return p.string();
  }

  // Loads the file into T and returns the result code; Peak gets the heap the load took
  // beyond what was in use before it.
  static int Load(TDataTable& T, const std::string& File, std::size_t& Peak)
  {
    const std::size_t before = orvex::testing::HeapBytesInUse();
    orvex::testing::ResetHeapPeak();
    const int code = T.LoadFromASCFile(File);
    Peak = orvex::testing::HeapPeakBytes() - before;
    return code;
  }

  static std::size_t Limit(const std::string& Content) { return 63 * Content.size() + (16u << 20); }

  fs::path FDir;
};

TEST_F(HostileAscFiles, LongVarTypesLinesAndManyLabelledColumns)
{
  // One VARTYPES line of 1 MiB of items: every in-range item is a label write (the last one of
  // a level wins), out-of-range levels store nothing and fire nothing.
  const int items = (1 << 20) / 5;
  std::string line = "1 Nominal ";
  for (int i = 0; i < items; ++i)
    line += "<" + std::to_string(i % 200) + "=" + std::string(1, static_cast<char>('a' + i % 26)) + ">";
  const std::string longLine = "c\n1\n1\nFALSE FALSE FALSE TRUE\n1\n<VARTYPES>\n" + line + "\n</VARTYPES>\n";
  TDataTable t;
  TEventLog log;
  log.Attach(t);
  std::size_t peak = 0;
  ASSERT_EQ(Load(t, Write(longLine), peak), ascOK);
  EXPECT_LE(peak, Limit(longLine));
  int inRange = 0;
  for (int i = 0; i < items; ++i)
    inRange += i % 200 <= MaxLevel;
  EXPECT_EQ(log.Count("Setup"), 1 + inRange + 1);  // the type, the labels, the closing event
  EXPECT_EQ(t.VarType(1), vtNominal);
  for (int level : {0, 1, 77, 150}) {
    const int last = (items - 1) / 200 * 200 + level < items ? (items - 1) / 200 * 200 + level
                                                              : (items - 1) / 200 * 200 + level - 200;
    EXPECT_EQ(t.LevelName(1, level), std::string(1, static_cast<char>('a' + last % 26))) << level;
  }

  // About 180,000 columns with one label each: the labels take memory for what is present.
  const int cols = 180000;
  std::string many = "c\n" + std::to_string(cols) + "\n1\nFALSE FALSE FALSE TRUE\n";
  for (int c = 0; c < cols; ++c)
    many += "0 ";
  many += "\n<VARTYPES>\n";
  for (int c = 1; c <= cols; ++c)
    many += std::to_string(c) + " Nominal <0=a>\n";
  many += "</VARTYPES>\n";
  ASSERT_EQ(Load(t, Write(many), peak), ascOK);
  EXPECT_LE(peak, Limit(many));
  EXPECT_EQ(t.NrOfColumns(), cols);
  EXPECT_EQ(t.LevelName(cols, 0), "a");
  EXPECT_EQ(t.LevelName(cols, 1), "");
  EXPECT_EQ(t.FindLevel(cols / 2, "A", true), 0);
}

TEST_F(HostileAscFiles, DeclaredCountsAreBoundByTheBytesThatCanHoldValues)
{
  TDataTable t;
  t.Resize(2, 2);
  t.SetComment("before");
  std::size_t peak = 0;
  // Padding after the Ctrl-Z holds no values: 4,000,000 columns cannot be in this file.
  const std::string head = "c\n4000000\n1\nFALSE FALSE FALSE FALSE\n\x1a";
  std::string padded = head;
  padded.resize(4u << 20, ' ');
  EXPECT_EQ(Load(t, Write(padded), peak), ascSizeExceedsFile);
  EXPECT_LE(peak, Limit(padded));
  EXPECT_EQ(t.NrOfColumns(), 2);
  EXPECT_EQ(t.Comment(), "before");

  // Without the Ctrl-Z the blanks could hold values, two bytes each; the first row fails and
  // the table gets the declared columns, within the memory limit.
  std::string blanks = "c\n2000000\n1\nFALSE FALSE FALSE FALSE\n";
  blanks.resize(4u << 20, ' ');
  EXPECT_EQ(Load(t, Write(blanks), peak), ascBadValue);
  EXPECT_LE(peak, Limit(blanks));
  EXPECT_EQ(t.NrOfColumns(), 2000000);
  EXPECT_EQ(t.NrOfRows(), 1);
  EXPECT_EQ(t.CellState(2000000, 1), csEmpty);

  // The last value needs no separator.
  const std::string header = "c\n3\n3\nFALSE FALSE FALSE FALSE\n";
  EXPECT_EQ(t.LoadFromASCFile(Write(header + "1 2 3\n4 5 6\n7 8 9")), ascOK);
  EXPECT_EQ(t.Elem(3, 3), 9.0);
  // 50 values need 99 bytes of text; the text before the Ctrl-Z is 31 bytes of header and
  // the blanks.
  const std::string fifty = "c\n50\n1\nFALSE FALSE FALSE FALSE\n";
  ASSERT_EQ(fifty.size(), 31u);
  EXPECT_EQ(t.LoadFromASCFile(Write(fifty + std::string(68, ' ') + "\x1a" + std::string(100, ' '))), ascBadValue);
  EXPECT_EQ(t.LoadFromASCFile(Write(fifty + std::string(67, ' ') + "\x1a" + std::string(100, ' '))),
            ascSizeExceedsFile);
}

TEST_F(HostileAscFiles, SmallFilesTakeASmallReadBuffer)
{
  // The read buffer follows the file's size, not the block size: a table of four values costs
  // a few hundred bytes, whether the file is read whole at once or in the reference way.
  const std::string small = Write("c\n2\n2\nFALSE FALSE FALSE FALSE\n1 2\n3 4\n");
  for (const bool direct : {true, false}) {
    TDataTable t;
    TCustomData custom;
    TASCReadOptions options;
    options.Direct = direct;
    const std::size_t before = orvex::testing::HeapBytesInUse();
    orvex::testing::ResetHeapPeak();
    ASSERT_EQ(ReadASCFileWith(t, small, custom, options), ascOK);
    EXPECT_LT(orvex::testing::HeapPeakBytes() - before, std::size_t(4096)) << direct;
    EXPECT_EQ(t.Elem(2, 2), 4.0);
  }
  // A header read on its own, too.
  std::string comment;
  int cols = 0, rows = 0;
  bool f1, f2, f3, f4;
  const std::size_t before = orvex::testing::HeapBytesInUse();
  orvex::testing::ResetHeapPeak();
  EXPECT_EQ(TDataTable::ReadASCHeader(small, comment, cols, rows, f1, f2, f3, f4), ascOK);
  EXPECT_LT(orvex::testing::HeapPeakBytes() - before, std::size_t(4096));
  EXPECT_EQ(rows, 2);
}

}  // namespace
