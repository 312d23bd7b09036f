// The delimited reader: files in the styles other tools write (written here, byte by byte),
// detection and every override, cells and missing tokens, text columns as levels, the failure
// messages, block and thread independence, and the table adopting a builder.
#include "datatable_event_log.h"
#include "orvex_datatable.h"
#include "orvex_delimited.h"
#include "orvex_math2.h"
#include "orvex_tablebuilder.h"
#include "table_dump.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

using namespace orvex;
using orvex_test::Dump;
namespace fs = std::filesystem;

namespace {

TDelimitedResult Read(const std::string& Text, TTableBuilder& B, const TDelimitedDialect& D = {},
                      const TReadControl& C = {})
{
  return ReadDelimitedText(Text, D, B, C);
}

// The builder adopted into a table, for reading it through the table's own accessors.
struct TReadTable {
  TDataTable Table;
  TTableBuilder Builder;
  TDelimitedResult Result;
  explicit TReadTable(const std::string& Text, const TDelimitedDialect& D = {}, const TReadControl& C = {})
      : Result(Read(Text, Builder, D, C))
  {
    if (Result.Ok())
      Table.Adopt(std::move(Builder));
  }
};


}  // namespace

TEST(Delimited, RWriteCsvWithQuotedHeaderRowNamesAndNA)
{
  // What R's write.csv(data.frame(x = c(1.5, NA), g = c("a", "b")), row.names = c("r1", "r2"))
  // writes: quoted header with an empty first field, quoted row names and texts, NA unquoted.
  TReadTable t("\"\",\"x\",\"g\"\n\"r1\",1.5,\"a\"\n\"r2\",NA,\"b\"\n");
  ASSERT_TRUE(t.Result.Ok()) << t.Result.Message;
  const TDelimitedDialect& d = t.Result.Detected.Dialect;
  EXPECT_EQ(d.Delimiter, dlComma);
  EXPECT_EQ(d.Header, TPresence::Yes);
  EXPECT_EQ(d.RowNames, TPresence::Yes);
  ASSERT_EQ(t.Table.NrOfColumns(), 2);
  ASSERT_EQ(t.Table.NrOfRows(), 2);
  EXPECT_EQ(t.Table.ColName(1), "x");
  EXPECT_EQ(t.Table.ColName(2), "g");
  EXPECT_EQ(t.Table.RowName(1), "r1");
  EXPECT_EQ(t.Table.RowName(2), "r2");
  EXPECT_EQ(t.Table.Elem(1, 1), 1.5);
  EXPECT_EQ(t.Table.CellState(1, 2), csEmpty);
  EXPECT_EQ(t.Table.VarType(2), vtNominal);
  EXPECT_EQ(t.Table.LevelName(2, 0), "a");
  EXPECT_EQ(t.Table.LevelName(2, 1), "b");
  EXPECT_EQ(t.Table.Elem(2, 2), 1.0);
}

TEST(Delimited, RWriteCsv2SemicolonAndDecimalComma)
{
  // write.csv2: semicolons, decimal commas, quoted names.
  TReadTable t("\"\";\"a\";\"b\"\n\"1\";0,435;-2,5e3\n\"2\";1,25;NA\n\"3\";7;+0,5\n");
  ASSERT_TRUE(t.Result.Ok()) << t.Result.Message;
  EXPECT_EQ(t.Result.Detected.Dialect.Delimiter, dlSemicolon);
  EXPECT_EQ(t.Result.Detected.Dialect.DecimalMark, TDecimalMark::Comma);
  ASSERT_EQ(t.Table.NrOfColumns(), 2);
  EXPECT_EQ(t.Table.Elem(1, 1), 0.435);
  EXPECT_EQ(t.Table.Elem(2, 1), -2500.0);
  EXPECT_EQ(t.Table.Elem(1, 2), 1.25);
  EXPECT_EQ(t.Table.Elem(1, 3), 7.0);
  EXPECT_EQ(t.Table.Elem(2, 3), 0.5);
  EXPECT_EQ(t.Table.CellState(2, 2), csEmpty);
  EXPECT_EQ(t.Table.RowName(3), "3");
}

TEST(Delimited, TabsWithoutQuotesAndSpreadsheetCsvWithBomAndCrLf)
{
  TReadTable tsv("a\tb\tc\n1\t2\t3\n4\t5\t6\n");
  ASSERT_TRUE(tsv.Result.Ok()) << tsv.Result.Message;
  EXPECT_EQ(tsv.Result.Detected.Dialect.Delimiter, dlTab);
  EXPECT_EQ(tsv.Table.NrOfColumns(), 3);
  EXPECT_EQ(tsv.Table.Elem(3, 2), 6.0);
  EXPECT_EQ(tsv.Table.RowName(2), "R-2");  // no row names: the table's default names

  TReadTable sheet("\xEF\xBB\xBFHeight,Weight\r\n1.80,75\r\n1.65,\r\n");
  ASSERT_TRUE(sheet.Result.Ok()) << sheet.Result.Message;
  EXPECT_EQ(sheet.Table.ColName(1), "Height");  // the byte-order mark is gone
  EXPECT_EQ(sheet.Table.NrOfRows(), 2);
  EXPECT_EQ(sheet.Table.Elem(1, 2), 1.65);
  EXPECT_EQ(sheet.Table.CellState(2, 2), csEmpty);

  // Carriage returns alone end lines as well.
  TReadTable mac("p;q\r1,5;2\r3;4,25\r");
  ASSERT_TRUE(mac.Result.Ok()) << mac.Result.Message;
  EXPECT_EQ(mac.Table.NrOfRows(), 2);
  EXPECT_EQ(mac.Table.Elem(2, 2), 4.25);
}

TEST(Delimited, QuotedFieldsHoldDelimitersDoubledQuotesAndLineBreaks)
{
  TReadTable t("name,v\n\"Smith, J.\",1\n\"say \"\"hi\"\"\",2\n\"two\nlines\",3\n");
  ASSERT_TRUE(t.Result.Ok()) << t.Result.Message;
  ASSERT_EQ(t.Table.NrOfRows(), 3);
  // All different texts in the first column: row names.
  EXPECT_EQ(t.Table.RowName(1), "Smith, J.");
  EXPECT_EQ(t.Table.RowName(2), "say \"hi\"");
  EXPECT_EQ(t.Table.RowName(3), "two\nlines");
  EXPECT_EQ(t.Table.Elem(1, 3), 3.0);
}

TEST(Delimited, CommentAndBlankLinesAreSkippedAndTitleLinesDetected)
{
  TReadTable t("# exported 2024\n\nx,y\n1,2\n\n# a note\n3,4\n");
  ASSERT_TRUE(t.Result.Ok()) << t.Result.Message;
  EXPECT_EQ(t.Table.NrOfRows(), 2);
  EXPECT_EQ(t.Table.Elem(2, 2), 4.0);

  TReadTable titled("Measurements of May\nx;y\n1;2\n3;4\n");
  ASSERT_TRUE(titled.Result.Ok()) << titled.Result.Message;
  EXPECT_EQ(titled.Result.Detected.Dialect.SkipLines, 1);
  EXPECT_EQ(titled.Table.ColName(2), "y");
  EXPECT_EQ(titled.Table.NrOfRows(), 2);
}

TEST(Delimited, CellsNumbersMissingTokensAndNonFiniteValues)
{
  TReadTable t("v\n+1.5\n-2e-3\n.5\n5.\nNA\nN/A\n.\n?\n\nNaN\nnan\ninf\n-Infinity\n1e999\n1e-999\n");
  ASSERT_TRUE(t.Result.Ok()) << t.Result.Message;
  const TDataTable& T = t.Table;
  ASSERT_EQ(T.NrOfRows(), 14);  // the blank line is skipped
  EXPECT_EQ(T.Elem(1, 1), 1.5);
  EXPECT_EQ(T.Elem(1, 2), -0.002);
  EXPECT_EQ(T.Elem(1, 3), 0.5);
  EXPECT_EQ(T.Elem(1, 4), 5.0);
  for (int r = 5; r <= 8; ++r)
    EXPECT_EQ(T.CellState(1, r), csEmpty) << r;
  for (int r = 9; r <= 13; ++r) {
    EXPECT_EQ(T.CellState(1, r), csNotANumber) << r;
    EXPECT_EQ(T.ColumnValues(1)[r - 1], 0.0) << r;
  }
  EXPECT_EQ(T.Elem(1, 14), 0.0);
  EXPECT_EQ(T.CellState(1, 14), 0);
  EXPECT_EQ(t.Result.NotNumbers, 3);  // inf, -Infinity, 1e999; NaN words are missing tokens

  // An empty field in the middle and at the end of a line.
  TReadTable e("a,b,c\n1,,3\n4,5,\n");
  ASSERT_TRUE(e.Result.Ok());
  EXPECT_EQ(e.Table.CellState(2, 1), csEmpty);
  EXPECT_EQ(e.Table.CellState(3, 2), csEmpty);
  EXPECT_EQ(e.Table.Elem(2, 2), 5.0);
}

TEST(Delimited, DecimalMarkHoldsForTheWholeFile)
{
  // The reported corruption of other tools: "0,435" read as 435 because one value decided.
  TReadTable t("a;b\n1;0,435\n2;3\n");
  ASSERT_TRUE(t.Result.Ok());
  EXPECT_EQ(t.Table.Elem(2, 1), 0.435);
  // With a point file, a value with a comma is a text in a number column: an error, never 435.
  TReadTable p("a;b\n1.5;2.5\n2.5;0,435\n3.5;1.5\n");
  EXPECT_EQ(p.Result.Status, TReadStatus::BadNumber);
  EXPECT_EQ(p.Result.Line, 3);
  EXPECT_EQ(p.Result.Field, 2);
  EXPECT_EQ(p.Result.Text, "0,435");
}

TEST(Delimited, EveryOverrideIsKept)
{
  const std::string text = "1;2,5\n3;4,5\n";
  TDelimitedDialect d;
  d.Delimiter = dlComma;  // split at commas after all: "1;2" and "5"
  d.Header = TPresence::No;
  d.RowNames = TPresence::Yes;
  TReadTable t(text, d);
  ASSERT_TRUE(t.Result.Ok()) << t.Result.Message;
  EXPECT_EQ(t.Table.NrOfColumns(), 1);
  EXPECT_EQ(t.Table.RowName(1), "1;2");
  EXPECT_EQ(t.Table.Elem(1, 2), 5.0);
  EXPECT_EQ(t.Table.ColName(1), "V1");

  TDelimitedDialect point;
  point.DecimalMark = TDecimalMark::Point;
  point.Header = TPresence::No;
  TReadTable tp("1;2.5\n3;4.5\n", point);
  ASSERT_TRUE(tp.Result.Ok());
  EXPECT_EQ(tp.Table.Elem(2, 2), 4.5);

  TDelimitedDialect header;
  header.Header = TPresence::Yes;  // a header of numbers
  TReadTable th("10,20\n1,2\n", header);
  ASSERT_TRUE(th.Result.Ok());
  EXPECT_EQ(th.Table.ColName(2), "20");
  EXPECT_EQ(th.Table.NrOfRows(), 1);

  TDelimitedDialect skip;
  skip.SkipLines = 2;
  skip.MissingTokens = {"-", ""};
  skip.Quote = '\'';
  TReadTable ts("junk\nmore junk\na|b\n'x|y'|-\n'z'|2\n", skip);
  ASSERT_TRUE(ts.Result.Ok()) << ts.Result.Message;
  EXPECT_EQ(ts.Result.Detected.Dialect.Delimiter, dlPipe);
  EXPECT_EQ(ts.Table.RowName(1), "x|y");
  EXPECT_EQ(ts.Table.CellState(1, 1), csEmpty);

  TDelimitedDialect cp;
  cp.Encoding = TTextEncoding::Windows1252;
  TReadTable tc("caf\xC3\xA9,b\n1,2\n", cp);
  ASSERT_TRUE(tc.Result.Ok());
  EXPECT_EQ(tc.Table.ColName(1), "caf\xC3\x83\xC2\xA9");  // both bytes taken as Windows-1252
}

TEST(Delimited, NamesAreUtf8OrWindows1252)
{
  TReadTable utf("Gr\xC3\xB6\xC3\x9F" "e,b\n1,2\n");
  EXPECT_EQ(utf.Table.ColName(1), "Gr\xC3\xB6\xC3\x9F" "e");
  TReadTable cp("Gr\xF6\xDF" "e,b\n1,2\n");
  EXPECT_EQ(cp.Result.Detected.Dialect.Encoding, TTextEncoding::Windows1252);
  EXPECT_EQ(cp.Table.ColName(1), "Gr\xC3\xB6\xC3\x9F" "e");
}

TEST(Delimited, TextColumnsBecomeLevelsOrAreLeftOut)
{
  std::string text = "g,id,v\n";
  for (int i = 0; i < 200; ++i)
    text += std::string(i % 3 == 0 ? "low" : i % 3 == 1 ? "mid" : "high") + ",id" + std::to_string(i) + "," +
            std::to_string(i) + "\n";
  TReadTable t(text, [] {
    TDelimitedDialect d;
    d.RowNames = TPresence::No;
    return d;
  }());
  ASSERT_TRUE(t.Result.Ok()) << t.Result.Message;
  ASSERT_EQ(t.Table.NrOfColumns(), 2);  // id has 200 different texts
  ASSERT_EQ(t.Result.LeftOut.size(), 1u);
  EXPECT_EQ(t.Result.LeftOut[0].Field, 2);
  EXPECT_EQ(t.Result.LeftOut[0].Name, "id");
  EXPECT_EQ(t.Result.LeftOut[0].Reason, "more than 150 different texts");
  EXPECT_EQ(t.Table.VarType(1), vtNominal);
  EXPECT_EQ(t.Table.LevelName(1, 0), "low");
  EXPECT_EQ(t.Table.LevelName(1, 1), "mid");
  EXPECT_EQ(t.Table.LevelName(1, 2), "high");
  EXPECT_EQ(t.Table.Elem(1, 5), 1.0);
  EXPECT_EQ(t.Table.ColName(2), "v");

  // Exactly 150 different texts still make levels; 151 do not.
  for (const int n : {150, 151}) {
    std::string s = "k,v\n";
    for (int i = 0; i < n; ++i)
      s += "t" + std::to_string(i % n) + "," + std::to_string(i) + "\n";
    s += "t0,1\n";
    TDelimitedDialect d;
    d.RowNames = TPresence::No;
    TReadTable tn(s, d);
    ASSERT_TRUE(tn.Result.Ok());
    EXPECT_EQ(tn.Table.NrOfColumns(), n == 150 ? 2 : 1) << n;
  }
}

TEST(Delimited, FailuresNameLineColumnAndField)
{
  struct TCase {
    const char* Text;
    TReadStatus Status;
    const char* Message;
  };
  const TCase cases[] = {
      {"a,b\n1,2\n3,4,5\n6,7\n", TReadStatus::BadShape,
       "line 3, column 3 (field \"5\"): the line has more than the table's 2 fields"},
      {"a,b\n1,2\n3\n6,7\n", TReadStatus::BadShape, "line 3, column 2 (field \"\"): the line has 1 fields, the table 2"},
      {"a,b\n1,2\n3,\"open\n4,5\n", TReadStatus::OpenQuote,
       "line 3, column 2 (field \"\"open\"): a quote is never closed"},
      {"a,b\n1,2\n3,\"x\"y\n", TReadStatus::OpenQuote, "line 3, column 2 (field \"\"x\"y\"): text follows the closing quote"},
      {"a,b\n1,2\n2,3\n3,4\n4,oops-this-is-a-very-long-stray-text-of-more-than-forty\n", TReadStatus::BadNumber,
       "line 5, column 2 (field \"oops-this-is-a-very-long-stray-text-of-m\"): a text in the number column \"b\""},
      {"a,b\n", TReadStatus::NoTable, "the file holds no rows of data"},
      {"", TReadStatus::NoTable, "the file holds no rows of data"},
  };
  for (const TCase& c : cases) {
    TTableBuilder b;
    const TDelimitedResult r = Read(c.Text, b);
    EXPECT_EQ(r.Status, c.Status) << c.Text;
    EXPECT_EQ(r.Message, c.Message) << c.Text;
  }
  TTableBuilder b;
  EXPECT_EQ(ReadDelimitedFile("/nonexistent/x.csv", {}, b).Status, TReadStatus::CannotRead);
}

TEST(Delimited, SameTableForEveryBlockSizeAndThreadCount)
{
  // Random tables with quoted texts holding line breaks and delimiters, missing cells, comment
  // lines and CR LF ends: tiny blocks and one or two threads give the table of one block.
  std::mt19937 rng(12345);
  for (int round = 0; round < 20; ++round) {
    std::string text = "\"name\",\"g\",\"x\",\"y\"\r\n";
    const int rows = 1 + static_cast<int>(rng() % 60);
    for (int r = 0; r < rows; ++r) {
      if (rng() % 10 == 0)
        text += "# comment \" with a quote\n";
      text += "\"row " + std::to_string(r) + (rng() % 4 == 0 ? "\nsecond line, \"\"quoted\"\"" : "") + "\",";
      text += std::string(rng() % 2 ? "\"a\"" : "b") + ",";
      text += rng() % 5 == 0 ? std::string("NA") : std::to_string(static_cast<int>(rng() % 1000) - 500) + ".25";
      text += "," + std::to_string(rng() % 100) + (rng() % 2 ? "\r\n" : "\n");
    }
    SCOPED_TRACE(text);
    TReadTable whole(text, {}, [] {
      TReadControl c;
      c.ChunkSize = std::size_t(1) << 30;
      return c;
    }());
    ASSERT_TRUE(whole.Result.Ok()) << whole.Result.Message;
    ASSERT_EQ(whole.Table.NrOfRows(), rows);
    const std::string expected = Dump(whole.Table);
    for (const int threads : {1, 2})
      for (const std::size_t chunk : {1, 2, 3, 7, 64}) {
        SetMathThreadCount(threads);
        TReadControl c;
        c.ChunkSize = chunk;
        TReadTable t(text, {}, c);
        ASSERT_TRUE(t.Result.Ok()) << t.Result.Message;
        EXPECT_EQ(Dump(t.Table), expected) << "chunk " << chunk << " threads " << threads;
      }
    SetMathThreadCount(0);
  }
}

TEST(Delimited, FailureIsTheSameForEveryBlockSize)
{
  const std::string text = "a,b\n1,2\n3,4\n5,x\n6,7,8\n";
  for (const std::size_t chunk : {1, 2, 5, 100}) {
    TReadControl c;
    c.ChunkSize = chunk;
    TTableBuilder b;
    const TDelimitedResult r = Read(text, b, {}, c);
    EXPECT_EQ(r.Status, TReadStatus::BadNumber) << chunk;
    EXPECT_EQ(r.Line, 4) << chunk;
  }
}

TEST(Delimited, CancelStopsTheReadAndProgressReachesOne)
{
  std::string text = "a,b\n";
  for (int i = 0; i < 20000; ++i)
    text += std::to_string(i) + "," + std::to_string(2 * i) + "\n";
  std::atomic<bool> cancel{true};
  TReadControl c;
  c.Cancel = &cancel;
  TTableBuilder b;
  EXPECT_EQ(Read(text, b, {}, c).Status, TReadStatus::Cancelled);

  cancel = false;
  std::vector<double> seen;
  c.ChunkSize = 4096;
  c.Progress = [&](double f) {
    seen.push_back(f);
    if (f > 0.5)
      cancel = true;  // stop half way
  };
  EXPECT_EQ(Read(text, b, {}, c).Status, TReadStatus::Cancelled);
  ASSERT_FALSE(seen.empty());
  EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));

  cancel = false;
  seen.clear();
  c.Progress = [&](double f) { seen.push_back(f); };
  const TDelimitedResult r = Read(text, b, {}, c);
  ASSERT_TRUE(r.Ok());
  EXPECT_EQ(seen.back(), 1.0);
  EXPECT_EQ(b.NrOfRows(), 20000);
}

TEST(Delimited, AdoptionReplacesTheTableWithOneRoundOfEvents)
{
  TDataTable t;
  t.Resize(3, 4);
  TEventLog log;
  log.Attach(t);
  TTableBuilder b;
  ASSERT_TRUE(Read("x,y\n1,2\n", b).Ok());
  t.Adopt(std::move(b));
  const std::vector<std::string> expected = {"Change", "CellState", "Attrib", "Names", "Setup", "Resize 3x4->2x1"};
  EXPECT_EQ(log.Events, expected);
  EXPECT_EQ(t.ColName(2), "y");
  EXPECT_EQ(b.NrOfColumns(), 1);  // the builder is empty again
  // The table's values matrix reports to the table as before: a cell write is announced as on
  // a table that never adopted anything.
  TDataTable fresh;
  TEventLog freshLog;
  freshLog.Attach(fresh);
  fresh.SetElem(1, 1, 5.0);
  log.Events.clear();
  t.SetElem(1, 1, 5.0);
  EXPECT_EQ(log.Events, freshLog.Events);
  EXPECT_EQ(t.Elem(1, 1), 5.0);
}

TEST(Delimited, DetectionFromASample)
{
  struct TCase {
    const char* Text;
    char Delimiter;
    TDecimalMark Mark;
    TPresence Header;
    TPresence RowNames;
  };
  const TCase cases[] = {
      {"a,b\n1,2\n", dlComma, TDecimalMark::Point, TPresence::Yes, TPresence::No},
      {"1,2\n3,4\n", dlComma, TDecimalMark::Point, TPresence::No, TPresence::No},
      {"1,5;2,5\n3,5;4,5\n", dlSemicolon, TDecimalMark::Comma, TPresence::No, TPresence::No},
      {"a|b\n1.5|2\n", dlPipe, TDecimalMark::Point, TPresence::Yes, TPresence::No},
      {"  a   b\n  1   2\n 10  20\n", dlBlanks, TDecimalMark::Point, TPresence::Yes, TPresence::No},
      {"x\ty\n1,5\t2\n", dlTab, TDecimalMark::Comma, TPresence::Yes, TPresence::No},
      // R's write.table: the header lacks the row-name field.
      {"\"x\" \"y\"\n\"a\" 1 2\n\"b\" 3 4\n", dlBlanks, TDecimalMark::Point, TPresence::Yes, TPresence::Yes},
      // A first column of repeated texts is a level column, not row names.
      {"g,v\nA,1\nA,2\nB,3\n", dlComma, TDecimalMark::Point, TPresence::Yes, TPresence::No},
      {"g,v\nA,1\nB,2\nC,3\n", dlComma, TDecimalMark::Point, TPresence::Yes, TPresence::Yes},
  };
  for (const TCase& c : cases) {
    const TDetectedDialect d = DetectDialect(c.Text);
    EXPECT_EQ(d.Dialect.Delimiter, c.Delimiter) << c.Text;
    EXPECT_EQ(d.Dialect.DecimalMark, c.Mark) << c.Text;
    EXPECT_EQ(d.Dialect.Header, c.Header) << c.Text;
    EXPECT_EQ(d.Dialect.RowNames, c.RowNames) << c.Text;
    EXPECT_FALSE(d.Reasons.empty());
  }
}

TEST(Delimited, SmallTextsForPasting)
{
  struct TCase {
    const char* Text;
    bool DelimiterDecided;
    char Delimiter;
    bool MarkDecided;
    TDecimalMark Mark;
  };
  const TCase cases[] = {
      {"1,5\t2\n3\t4,25\n", true, dlTab, true, TDecimalMark::Comma},
      {"1.5\t2\n", true, dlTab, true, TDecimalMark::Point},
      {"1,5\n2,5\n", false, dlTab, true, TDecimalMark::Comma},  // one column of decimal commas, or two
      {"7\n8\n", false, dlTab, false, TDecimalMark::Point},
      {"1.5,2.5\n", true, dlComma, true, TDecimalMark::Point},
      {"1.5\t2,5\n", true, dlTab, false, TDecimalMark::Point},  // both marks: undecidable
  };
  for (const TCase& c : cases) {
    const TSmallTextDialect d = DetectSmallText(c.Text);
    EXPECT_EQ(d.DelimiterDecided, c.DelimiterDecided) << c.Text;
    EXPECT_EQ(d.Delimiter, c.Delimiter) << c.Text;
    EXPECT_EQ(d.DecimalMarkDecided, c.MarkDecided) << c.Text;
    EXPECT_EQ(d.DecimalMark, c.Mark) << c.Text;
  }
}

TEST(Delimited, PreviewShowsKindsAndCountsOfCellsThatAreNotNumbers)
{
  std::string text = "name,g,v,w\n";
  for (int i = 0; i < 300; ++i)
    text += "n" + std::to_string(i) + "," + (i % 2 ? "a" : "b") + "," + std::to_string(i) + "," +
            (i == 7 ? "oops" : i == 8 ? "inf" : "1") + "\n";
  const TDelimitedPreview p = PreviewDelimited(text, {}, 100);
  EXPECT_TRUE(p.Message.empty()) << p.Message;
  ASSERT_EQ(p.Columns.size(), 3u);  // name holds the row names
  EXPECT_EQ(p.Columns[0].Name, "g");
  EXPECT_EQ(p.Columns[0].Kind, TColumnKind::Levels);
  EXPECT_EQ(p.Columns[1].Kind, TColumnKind::Number);
  EXPECT_EQ(p.Columns[1].NotNumbers, 0);
  EXPECT_EQ(p.Columns[2].Kind, TColumnKind::Number);
  EXPECT_EQ(p.Columns[2].NotNumbers, 2);
  EXPECT_EQ(p.Cells.size(), 100u);
  EXPECT_EQ(p.RowNames[5], "n5");
  EXPECT_EQ(p.Cells[7][2], "oops");
}

TEST(Delimited, TextAfterAClosingQuoteFailsAlikeInEveryBlockSize)
{
  // Found by the fuzzer: a block boundary right after the closing quote cut the record, and
  // the block then saw a short line instead of the text after the quote.
  const std::string text = "name,v\n\"Smith, J.\",1\n\"s\"hi\"\"\",2\n\"two\nlines\",3\n";
  for (const std::size_t chunk : {1, 2, 3, 1000}) {
    TReadControl c;
    c.ChunkSize = chunk;
    TTableBuilder b;
    const TDelimitedResult r = Read(text, b, {}, c);
    EXPECT_EQ(r.Status, TReadStatus::OpenQuote) << chunk;
    EXPECT_EQ(r.Message, "line 3, column 1 (field \"\"s\"hi\"\"\",2\"): text follows the closing quote")
        << chunk;
  }
}

TEST(Delimited, NumbersOfEveryFormAreReadAsTheCLibraryReadsThem)
{
  // Numeric files mixing the plain numbers most files hold with forms the plain parse leaves to
  // the full one (16 and more digits, exponents, signs, quotes, blanks), read from a file in
  // blocks of a few hundred bytes on one and two threads: every cell equals strtod's value of
  // its text, bit for bit, the sign of zero included. The decimal-comma file has a row-name
  // column, quoted, plain or with blanks around.
  std::mt19937 rng(2026);
  const auto token = [&] {
    std::string t;
    switch (rng() % 8) {
    case 0: t = std::to_string(rng() % 100000); break;
    case 1: t = std::to_string(rng() % 1000) + "." + std::to_string(rng() % 1000000); break;
    case 2: t = "-" + std::to_string(rng() % 100) + "." + std::to_string(rng()); break;
    case 3: t = std::to_string(rng()) + std::to_string(rng()) + "." + std::to_string(rng()); break;  // > 15 digits
    case 4: t = std::to_string(rng() % 100) + "." + std::to_string(rng() % 100) + "e" + std::to_string(int(rng() % 40) - 20); break;
    case 5: t = rng() % 2 ? "+." + std::to_string(rng() % 1000) : std::to_string(rng() % 1000) + "."; break;
    case 6: t = rng() % 2 ? "-0" : "-0.0"; break;
    default: t = "0.000" + std::to_string(rng() % 10000); break;
    }
    return t;
  };
  const fs::path file = fs::temp_directory_path() / ("orvex_numbers_" + std::to_string(std::random_device{}()) + ".csv");
  for (const bool comma : {false, true}) {
    const char delimiter = comma ? ';' : ',';
    std::string text = comma ? "\"\";a;b;c\n" : "a,b,c\n";
    std::vector<std::string> cells;
    for (int r = 0; r < 400; ++r) {
      if (comma) {
        const std::string name = "r" + std::to_string(r);
        text += (r % 3 == 0 ? "\"" + name + "\"" : r % 7 == 1 ? " " + name + " " : name) + ";";
      }
      for (int c = 0; c < 3; ++c) {
        std::string t = token();
        cells.push_back(t);
        if (comma)
          std::replace(t.begin(), t.end(), '.', ',');
        if (rng() % 50 == 0)
          t = "\"" + t + "\"";
        else if (rng() % 50 == 0)
          t = " " + t;
        text += t;
        text += c < 2 ? std::string(1, delimiter) : std::string(rng() % 3 == 0 ? "\r\n" : "\n");
      }
    }
    text.pop_back();  // the last line without its line end (a CR LF loses only the LF)
    if (text.back() == '\r')
      text.pop_back();
    std::ofstream(file, std::ios::binary) << text;
    for (const int threads : {1, 2}) {
      SetMathThreadCount(threads);
      TReadControl control;
      control.BlockSize = 300;
      control.ChunkSize = 500;
      TDelimitedDialect d;
      d.Delimiter = delimiter;
      TTableBuilder b;
      const TDelimitedResult res = ReadDelimitedFile(file.string(), d, b, control);
      ASSERT_TRUE(res.Ok()) << res.Message;
      ASSERT_EQ(b.NrOfRows(), 400);
      ASSERT_EQ(b.NrOfColumns(), 3);
      for (int r = 0; r < 400; ++r)
        for (int c = 0; c < 3; ++c) {
          if (comma && c == 0) {
            EXPECT_EQ(b.RowName(r + 1), "r" + std::to_string(r));
          }
          const std::string& t = cells[static_cast<std::size_t>(r * 3 + c)];
          const double expected = std::strtod(t.c_str(), nullptr);
          const double got = b.Column(c + 1)[r];
          EXPECT_EQ(std::memcmp(&got, &expected, sizeof got), 0) << t << " read as " << got << " threads " << threads;
        }
    }
    SetMathThreadCount(0);
  }
  fs::remove(file);
}
