// Files made to hurt the delimited reader: what they give, and the heap they may take. Any file
// of S bytes must read with a peak of at most 64 S + 16 MiB (the whole text held in memory
// included), counted by the global operator new of allocation_limit.cpp.
#include "allocation_limit.h"
#include "orvex_delimited.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

using namespace orvex;
namespace fs = std::filesystem;

namespace {

class HostileDelimitedFiles : public ::testing::Test {
protected:
  void SetUp() override
  {
    FDir = fs::temp_directory_path() / ("orvex_hostile_csv_" + std::to_string(::getpid()) + "_" +
                                        ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(FDir);
  }
  void TearDown() override { fs::remove_all(FDir); }

  // Writes Content as a file, reads it into B and checks the heap peak against the bound.
  TDelimitedResult ReadChecked(const std::string& Content, TTableBuilder& B, const TDelimitedDialect& D = {})
  {
    const fs::path p = FDir / "h.csv";
    std::ofstream(p, std::ios::binary) << Content;
    const std::size_t before = orvex::testing::HeapBytesInUse();
    orvex::testing::ResetHeapPeak();
    TDelimitedResult r = ReadDelimitedFile(p.string(), D, B);
    const std::size_t peak = orvex::testing::HeapPeakBytes() - before;
    EXPECT_LE(peak, 64 * Content.size() + (16u << 20)) << "file of " << Content.size() << " bytes";
    return r;
  }

  fs::path FDir;
};

}  // namespace

TEST_F(HostileDelimitedFiles, OneLineOf100MBWithAMillionColumns)
{
  // A single line of 100 MB: a million numbers of 99 digits each, no line end at all.
  const std::string field(99, '7');
  std::string text;
  text.reserve(100u << 20);
  for (int i = 0; i < 1000000; ++i)
    text += (i ? "," : "") + field;
  TTableBuilder b;
  const TDelimitedResult r = ReadChecked(text, b);
  ASSERT_TRUE(r.Ok()) << r.Message;
  EXPECT_EQ(b.NrOfColumns(), 1000000);
  EXPECT_EQ(b.NrOfRows(), 1);
  EXPECT_EQ(b.Value(1000000, 1), 7.777777777777778e98);
  EXPECT_EQ(b.ColName(1000000), "V1000000");
}

TEST_F(HostileDelimitedFiles, AMillionNarrowColumnsWithAHeader)
{
  // The narrowest fields there are: two bytes a cell, so the table's own storage per column
  // is what the bound must hold.
  std::string text;
  for (int i = 0; i < 1000000; ++i)
    text += (i ? ",v" : "v") + std::to_string(i);
  text += '\n';
  for (int row = 0; row < 2; ++row) {
    for (int i = 0; i < 1000000; ++i)
      text += i ? ",1" : "1";
    text += '\n';
  }
  TTableBuilder b;
  const TDelimitedResult r = ReadChecked(text, b);
  ASSERT_TRUE(r.Ok()) << r.Message;
  EXPECT_EQ(b.NrOfColumns(), 1000000);
  EXPECT_EQ(b.NrOfRows(), 2);
  EXPECT_EQ(b.ColName(999999), "v999998");
}

TEST_F(HostileDelimitedFiles, FieldsOf50MB)
{
  // A quoted text of 50 MB with doubled quotes and line breaks is one level label (cut to ten
  // characters); the same bytes unquoted in a number column are a failure cut to 40.
  std::string big(50u << 20, 'x');
  for (std::size_t i = 0; i < big.size(); i += 4096)
    big[i] = i % 8192 ? '\n' : '"';
  std::string quoted;
  quoted.reserve(big.size() + big.size() / 4096);
  for (char c : big) {
    quoted += c;
    if (c == '"')
      quoted += '"';
  }
  TTableBuilder b;
  TDelimitedDialect d;
  d.Header = TPresence::Yes;
  d.RowNames = TPresence::No;
  const TDelimitedResult r = ReadChecked("g,v\n\"" + quoted + "\",1\nshort,2\n", b, d);
  ASSERT_TRUE(r.Ok()) << r.Message;
  EXPECT_EQ(b.NrOfRows(), 2);
  EXPECT_EQ(b.LevelName(1, 0), "\"xxxxxxxxx");
  EXPECT_EQ(b.LevelName(1, 1), "short");

  std::string digits(50u << 20, '1');
  digits[digits.size() / 2] = 'z';
  const TDelimitedResult bad = ReadChecked("v\n1\n2\n" + digits + "\n", b);
  EXPECT_EQ(bad.Status, TReadStatus::BadNumber);
  EXPECT_EQ(bad.Line, 4);
  EXPECT_EQ(bad.Text, std::string(40, '1'));
}

TEST_F(HostileDelimitedFiles, ManyDifferentTextsAndAQuoteNeverClosed)
{
  // A million different texts in a column: left out, each block keeping at most 151.
  std::string text = "id,x\n";
  for (int i = 0; i < 1000000; ++i)
    text += "id" + std::to_string(i % 999983) + "," + std::to_string(i % 7) + "\n";
  TTableBuilder b;
  TDelimitedDialect d;
  d.RowNames = TPresence::No;
  const TDelimitedResult r = ReadChecked(text, b, d);
  ASSERT_TRUE(r.Ok()) << r.Message;
  EXPECT_EQ(b.NrOfColumns(), 1);
  ASSERT_EQ(r.LeftOut.size(), 1u);

  // A quote opened on line 2 of 20 MB is never closed.
  std::string open = "a,b\n1,\"" + std::string(20u << 20, 'q') + "\n";
  const TDelimitedResult o = ReadChecked(open, b);
  EXPECT_EQ(o.Status, TReadStatus::OpenQuote);
  EXPECT_EQ(o.Line, 2);
  EXPECT_EQ(o.Field, 2);
}
