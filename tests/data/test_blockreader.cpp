// The block readers against the whole-file readers: the same columns, names, values, states and
// row names for any block size and thread count, and the same messages on failure.
#include "orvex_blockreader.h"
#include "orvex_tablefile.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

using namespace orvex;
namespace fs = std::filesystem;

namespace {

class BlockReader : public ::testing::Test {
protected:
  void SetUp() override
  {
    Dir = fs::temp_directory_path() / ("blockreader_test_" + std::to_string(::getpid()));
    fs::create_directories(Dir);
  }
  void TearDown() override { fs::remove_all(Dir); }

  std::string WriteFile(const std::string& Name, const std::string& Text) const
  {
    const fs::path p = Dir / Name;
    std::ofstream(p, std::ios::binary) << Text;
    return p.string();
  }

  fs::path Dir;
};

std::string Cell(double V, int State)
{
  char buf[64];
  std::snprintf(buf, sizeof buf, " %.17g/%d", V, State);
  return buf;
}

// The names with the measurement types and every row of a file as the whole-file reader takes
// it, or its message.
std::string WholeDump(const std::string& File, const TDelimitedDialect& Dialect = {})
{
  TTableBuilder b;
  const TTableFileResult res = ReadTableFile(File, Dialect, b);
  if (!res.Ok())
    return res.Message;
  TDataTable t;
  t.Adopt(std::move(b));
  std::string s;
  for (int c = 1; c <= t.NrOfColumns(); ++c)
    s += t.ColName(c) + " " + VarTypeNames[t.VarType(c)] + "|";
  s += "\n";
  for (int r = 1; r <= t.NrOfRows(); ++r) {
    s += t.RowName(r);
    for (int c = 1; c <= t.NrOfColumns(); ++c)
      s += Cell(t.ColumnValues(c)[r - 1], t.CellState(c, r));
    s += "\n";
  }
  return s;
}

// The same from a block reader; Blocks receives the number of blocks.
std::string BlockDump(const std::string& File, const TBlockReadOptions& Options, int* Blocks = nullptr,
                      const TDelimitedDialect& Dialect = {})
{
  std::string message;
  const std::unique_ptr<TBlockReader> reader = OpenBlockReader(File, Dialect, message, Options);
  if (!reader)
    return message;
  std::string s;
  for (int c = 1; c <= reader->NrOfColumns(); ++c)
    s += reader->ColName(c) + " " + VarTypeNames[reader->VarType(c)] + "|";
  s += "\n";
  TRowBlock b;
  int blocks = 0;
  std::int64_t next = 1;
  while (reader->Next(b)) {
    ++blocks;
    EXPECT_EQ(b.FirstRow, next);
    next += b.NrOfRows;
    for (int i = 0; i < b.NrOfRows; ++i) {
      s += b.RowName(i);
      for (int c = 1; c <= b.NrOfColumns; ++c)
        s += Cell(b.Column(c)[i], b.ColumnStates(c)[i]);
      s += "\n";
    }
  }
  if (Blocks)
    *Blocks = blocks;
  EXPECT_EQ(reader->RowsRead(), next - 1);
  return reader->Failed() ? reader->Message() : s;
}

// A delimited text with every feature the parse has: a header one field short (row names),
// CR LF, quoted fields with delimiters, doubled quotes and a line break, missing tokens, NaN,
// "inf", a level column, comment and blank lines; Rows rows.
std::string DelimitedText(int Rows)
{
  std::string s = "# made for the test\r\nx,\"y, quoted\",kind,z\r\n";
  for (int r = 1; r <= Rows; ++r) {
    s += "r" + std::to_string(r) + ",";
    s += (r % 17 == 0 ? std::string("NA") : std::to_string(r * 0.25)) + ",";
    s += (r % 23 == 0 ? std::string("NaN") : std::to_string(-r / 7.0)) + ",";
    s += (r % 3 == 0 ? "\"big, one\"" : r % 3 == 1 ? "small" : "\"say \"\"mid\"\"\"") + std::string(",");
    s += r % 101 == 0 ? "inf" : r % 29 == 0 ? "" : std::to_string(r % 13);
    s += r % 500 == 0 ? "\r\n\r\n# a comment\r\n" : "\r\n";
    if (r == 7)
      s += "\"r\nbroken\",1,2,small,3\r\n";
  }
  return s;
}

TEST_F(BlockReader, DelimitedBlocksGiveTheWholeFilesTable)
{
  const std::string file = WriteFile("d.csv", DelimitedText(6000));
  const std::string whole = WholeDump(file);
  ASSERT_EQ(whole.substr(0, 66), "x Interval|y, quoted Interval|kind Nominal|z Interval|\nr1 0.25/0 -")
      << whole.substr(0, 200);
  struct TCase {
    std::size_t BlockBytes, ChunkSize;
    int Threads;
  };
  for (const TCase& c : {TCase{0, 0, 0}, TCase{1, 64, 1}, TCase{100, 300, 2}, TCase{4096, 1000, 4}}) {
    TBlockReadOptions o;
    o.BlockBytes = c.BlockBytes;
    o.ChunkSize = c.ChunkSize;
    o.Threads = c.Threads;
    int blocks = 0;
    EXPECT_EQ(BlockDump(file, o, &blocks), whole) << c.BlockBytes << " " << c.ChunkSize;
    if (c.BlockBytes > 0) {
      EXPECT_GT(blocks, 20) << "tiny blocks";
    }
  }
}

TEST_F(BlockReader, RowNamesAndTheDecimalCommaComeThroughEveryBlock)
{
  std::string text = ";a;b\n";
  for (int r = 1; r <= 3000; ++r)
    text += "name " + std::to_string(r) + ";" + std::to_string(r) + ",5;" + (r % 11 ? "-0,125" : "") + "\n";
  const std::string file = WriteFile("names.txt", text);
  const std::string whole = WholeDump(file);
  ASSERT_EQ(whole.substr(0, 45), "a Interval|b Interval|\nname 1 1.5/0 -0.125/0\n");
  TBlockReadOptions o;
  o.BlockBytes = 33;
  EXPECT_EQ(BlockDump(file, o), whole);
}

TEST_F(BlockReader, AscBlocksGiveTheWholeFilesTable)
{
  // Attributes, quoted names, CR LF, "###", "NAN", parenthesized values, values spread over
  // lines and a Ctrl-Z with text after it.
  std::string text = "comment\r\n3\r\n500\r\nTRUE TRUE FALSE FALSE\r\n\"first one\" b \"\"\r\n";
  for (int r = 1; r <= 500; ++r) {
    text += std::to_string(r % 4) + " " + (r % 19 ? std::to_string(r * 1.5) : "###") + " ";
    text += (r % 31 ? std::to_string(-r) : "NAN") + (r % 2 ? "\r\n" : " ");
    text += (r % 13 ? std::to_string(r % 7) + "e-1" : "( 4)") + "\r\n";
  }
  text += "\x1a"
          "1 2 3 garbage\r\n";
  const std::string file = WriteFile("a.asc", text);
  const std::string whole = WholeDump(file);
  ASSERT_EQ(whole.substr(0, 30), "first one Interval|b Interval|") << whole.substr(0, 100);
  for (int rows : {0, 1, 7, 499}) {
    TBlockReadOptions o;
    o.BlockRows = rows;
    o.BlockBytes = rows == 0 ? 0 : 64;
    o.ChunkSize = rows == 7 ? 16 : 0;
    EXPECT_EQ(BlockDump(file, o), whole) << rows;
  }
}

TEST_F(BlockReader, AscMeasurementTypesAfterTheRowsAreKnownBeforeTheFirstBlock)
{
  // Names with "<" in them, rows over several lines, two type sections (a later line for a
  // column wins), a line for a column the file does not have, labels, and a Ctrl-Z with a
  // section after it that the file's text does not hold.
  std::string rows;
  for (int r = 1; r <= 300; ++r)
    rows += std::to_string(r * 0.37) + " " + std::to_string(r % 5) + ".5\r\n" + std::to_string(r % 3) + " " +
            std::to_string(-r) + "\r\n";
  const std::string head = "types\r\n4\r\n300\r\nFALSE TRUE FALSE TRUE\r\n\"<a>\" b<c c d\r\n";
  const std::string types = "free text\r\n<VarTypes>\r\n1 ordinal\r\n3 nominal <0=zero><1=one>\r\n9 nominal\r\n"
                            "</VARTYPES>\r\n<VARTYPES>\r\n1 ratio\r\n2 ordinal\r\n</VARTYPES>\r\n\x1a"
                            "<VARTYPES>\r\n4 nominal\r\n</VARTYPES>\r\n";
  const std::string file = WriteFile("types.asc", head + rows + types);
  const std::string whole = WholeDump(file);
  ASSERT_EQ(whole.substr(0, whole.find('\n')), "<a> Ratio|b<c Ordinal|c Nominal|d Interval|");
  for (std::size_t bytes : {std::size_t(0), std::size_t(16), std::size_t(100)}) {
    TBlockReadOptions o;
    o.BlockBytes = bytes;
    o.BlockRows = bytes == 0 ? 0 : 7;
    EXPECT_EQ(BlockDump(file, o), whole) << bytes;
  }
  // Without flag 4 the section is not read: every column is as written.
  std::string noFlag = head + rows + types;
  noFlag.replace(noFlag.find("FALSE TRUE FALSE TRUE"), 21, "FALSE TRUE FALSE FALSE");
  const std::string plain = WriteFile("plain.asc", noFlag);
  const std::string plainWhole = WholeDump(plain);
  ASSERT_EQ(plainWhole.substr(0, plainWhole.find('\n')), "<a> Interval|b<c Interval|c Interval|d Interval|");
  TBlockReadOptions o;
  o.BlockBytes = 16;
  EXPECT_EQ(BlockDump(plain, o), plainWhole);
}

TEST_F(BlockReader, FailuresGiveTheWholeFileReadersMessages)
{
  std::string text = DelimitedText(3000);
  text.insert(text.find("\r\nr2500,") + 2, "rx,1,oops,small,3\r\n");
  const std::string badNumber = WriteFile("bad.csv", text);
  const std::string shortLine = WriteFile("short.csv", DelimitedText(2000) + "r9,1,2\r\n");
  std::string asc = "c\n2\n300\nFALSE FALSE FALSE FALSE\n";
  for (int r = 1; r < 300; ++r)
    asc += "1 2\n";
  const std::string badAsc = WriteFile("bad.asc", asc + "1 x\n");
  const std::string longAsc = WriteFile("long.asc", "c\n2\n3\nFALSE FALSE FALSE FALSE\n1 2\n3 4\n5\n");
  TBlockReadOptions tiny;
  tiny.BlockBytes = 50;
  tiny.BlockRows = 2;
  for (const std::string& f : {badNumber, shortLine, badAsc, longAsc}) {
    const std::string whole = WholeDump(f);
    ASSERT_EQ(whole.rfind("cannot read the ", 0), 0u) << f << ": " << whole.substr(0, 100);
    EXPECT_EQ(BlockDump(f, {}), whole);
    EXPECT_EQ(BlockDump(f, tiny), whole);
  }
  const std::string missing = (Dir / "none.csv").string();
  EXPECT_EQ(BlockDump(missing, {}), WholeDump(missing));
  // Row names of an ASC file are not read in blocks.
  const std::string named = WriteFile("named.asc", "c\n1\n1\nFALSE FALSE TRUE FALSE\nr 5\n");
  EXPECT_EQ(BlockDump(named, {}),
            "the ASC file \"" + named + "\" names its rows, which a read in blocks does not support yet");
}

}  // namespace
