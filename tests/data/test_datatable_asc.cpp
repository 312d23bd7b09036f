// The ASC reader: result codes with the exact event sequences, the value tokens, the layout of
// rows as a token stream, names, VARTYPES and key/value sections, encodings, and the rules for
// declared sizes, failed rows and unreadable files.
#include "allocation_limit.h"
#include "datatable_event_log.h"
#include "orvex_datatable.h"
#include "orvex_datatable_asc.h"

#include <gtest/gtest.h>

#include <charconv>
#include <clocale>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include <sys/resource.h>
#include <sys/stat.h>

using namespace orvex;
namespace fs = std::filesystem;

namespace {

class AscFiles : public ::testing::Test {
protected:
  void SetUp() override
  {
    FDir = fs::temp_directory_path() /
           ("orvex_asc_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(FDir);
  }
  void TearDown() override { fs::remove_all(FDir); }

  std::string Write(const std::string& Content, const std::string& Name = "t.asc")
  {
    const fs::path p = FDir / Name;
    std::ofstream(p, std::ios::binary) << Content;
    return p.string();
  }

  fs::path FDir;
};

std::vector<std::string> Finale(const std::string& Resize)
{
  return {"Change", "CellState", "Attrib", "Names", "Setup", Resize};
}

// A 2 x 2 table with a little of everything, to see that a failed read keeps it.
void Prepare(TDataTable& T)
{
  T.Resize(2, 2);
  T.SetComment("before");
  T.SetElem(1, 1, 1.5);
  T.SetColName(2, "kept");
  T.SetVarType(2, vtNominal);
  T.SetLevelName(2, 0, "lbl");
  T.SetCellState(2, 2, csMarkA);
}

void ExpectPrepared(const TDataTable& T)
{
  EXPECT_EQ(T.NrOfColumns(), 2);
  EXPECT_EQ(T.NrOfRows(), 2);
  EXPECT_EQ(T.Comment(), "before");
  EXPECT_EQ(T.Elem(1, 1), 1.5);
  EXPECT_EQ(T.ColName(2), "kept");
  EXPECT_EQ(T.LevelName(2, 0), "lbl");
  EXPECT_EQ(T.CellState(2, 2), csMarkA);
}

// A file's content and the result code its read must give.
struct FileCase {
  const char* Content;
  int Code;
};

}  // namespace

TEST_F(AscFiles, HeaderErrorsKeepTheTableAndStillFireTheClosingEvents)
{
  const FileCase cases[] = {
      {"", ascBadColumnCount},
      {"only a comment line", ascBadColumnCount},
      {"c\n0\n1\nFALSE FALSE FALSE FALSE\n1\n", ascBadColumnCount},
      {"c\n-2\n1\nFALSE FALSE FALSE FALSE\n1\n", ascBadColumnCount},
      {"c\n2.0\n1\nFALSE FALSE FALSE FALSE\n1 2\n", ascBadColumnCount},
      {"c\n99999999999\n1\nFALSE FALSE FALSE FALSE\n1\n", ascBadColumnCount},
      {"c\n2\n", ascBadRowCount},
      {"c\n2\nx\nFALSE FALSE FALSE FALSE\n1 2\n", ascBadRowCount},
      {"c\n2 columns\n0 rows\nFALSE FALSE FALSE FALSE\n1 2\n", ascBadRowCount},
      {"c\n2\n1\nFALSE MAYBE FALSE FALSE\n1 2\n", ascBadFlags},
      {"c\n2\n1\nTRUE FALSE\n1 2\n", ascBadFlags},
      {"c\n2\n1\n", ascBadFlags},
  };
  for (const FileCase& c : cases) {
    SCOPED_TRACE(c.Content);
    TDataTable t;
    Prepare(t);
    TEventLog log;
    log.Attach(t);
    EXPECT_EQ(t.LoadFromASCFile(Write(c.Content)), c.Code);
    ExpectPrepared(t);
    EXPECT_EQ(log.Events, Finale("Resize 2x2->2x2"));
    // Connected again: a value write reaches OnChange through the matrix as well.
    log.Events.clear();
    t.SetElem(1, 1, 2.0);
    EXPECT_EQ(log.Events, (std::vector<std::string>{"Change", "Change"}));
  }
}

TEST_F(AscFiles, EveryOutcomeClosesTheFileAndReconnectsTheTable)
{
  const auto openFiles = [] {
    return std::distance(fs::directory_iterator("/proc/self/fd"), fs::directory_iterator());
  };
  const FileCase cases[] = {
      {"c\n2\n1\nFALSE FALSE FALSE FALSE\n1 2\n", ascOK},
      {"c\nx\n", ascBadColumnCount},
      {"c\n1\n2\nTRUE FALSE FALSE TRUE\n1 5\nx 6\n<VARTYPES>\n1 Nominal <0=a>\n</VARTYPES>\n", ascBadRowAttrib},
      {"c\n2\n2\nFALSE FALSE FALSE FALSE\n1 2\n3 y\n<custdata>\n<k>v</k>\n", ascBadValue},
      {"c\n100\n100\nFALSE FALSE FALSE FALSE\n1\n", ascSizeExceedsFile},
      {"c\n1\n1\nFALSE FALSE FALSE TRUE\n1\n<VARTYPES>\n1.5 Nominal <x=a>\nNominal\n 1 Ordinal\n</VARTYPES>\n",
       ascOK},
  };
  const auto before = openFiles();
  for (const FileCase& c : cases) {
    SCOPED_TRACE(c.Content);
    TDataTable t;
    TEventLog log;
    log.Attach(t);
    EXPECT_EQ(t.LoadFromASCFile(Write(c.Content)), c.Code);
    EXPECT_EQ(openFiles(), before);
    EXPECT_EQ(log.Events.back().rfind("Resize ", 0), 0u);
    log.Events.clear();
    t.SetElem(1, 1, 4.0);
    EXPECT_EQ(log.Events, (std::vector<std::string>{"Change", "Change"}));
    t.SetNrOfRows(t.NrOfRows() + 1);  // the resize handler is back
    EXPECT_EQ(log.Events.size(), 3u);
  }
  // A malformed VARTYPES line or item is skipped and the table stays as read.
  TDataTable t;
  ASSERT_EQ(t.LoadFromASCFile(Write(cases[5].Content)), ascOK);
  EXPECT_EQ(t.VarType(1), vtInterval);
  EXPECT_EQ(t.Elem(1, 1), 1.0);
}

TEST_F(AscFiles, MissingOrUnreadableFileChangesNothingAndFiresNothing)
{
  TDataTable t;
  Prepare(t);
  TEventLog log;
  log.Attach(t);
  EXPECT_EQ(t.LoadFromASCFile((FDir / "none.asc").string()), ascCannotRead);
  fs::create_directories(FDir / "dir.asc");
  EXPECT_EQ(t.LoadFromASCFile((FDir / "dir.asc").string()), ascCannotRead);
  // A file the system lists as regular whose read fails (the process's memory at address 0).
  EXPECT_EQ(t.LoadFromASCFile("/proc/self/mem"), ascCannotRead);
  ExpectPrepared(t);
  EXPECT_TRUE(log.Events.empty());
  std::string comment;
  int nc = 0, nr = 0;
  bool f1, f2, f3, f4;
  EXPECT_EQ(TDataTable::ReadASCHeader((FDir / "none.asc").string(), comment, nc, nr, f1, f2, f3, f4), ascCannotRead);
}

TEST_F(AscFiles, CompleteFileWithEverySection)
{
  const std::string file =
      "Body data of 3 persons\r\n"
      "3\r\n"
      "3   rows follow\r\n"
      "  true\tTRUE trUE  TRUE  \r\n"
      "\"Body weight\" (.;#;.) Sex\r\n"
      "1 Anna 61.5 NAN 1\r\n"
      "2.5 \"Bo B\" ( 72) 180 2\r\n"
      "-3 (.;#;.) ### 1.75e2\n 1\n"
      "<VARTYPES>\n"
      "3 nominal <1=female><2=male>\n"
      "1 Interval <1=ignored>\n"
      "</VARTYPES>\n";
  TDataTable t;
  Prepare(t);
  TEventLog log;
  log.Attach(t);
  TCustomData custom{{"stale", "entry"}};
  EXPECT_EQ(t.ReadASCFile(Write(file), custom), ascOK);
  EXPECT_TRUE(custom.empty());

  EXPECT_EQ(t.Comment(), "Body data of 3 persons");
  ASSERT_EQ(t.NrOfColumns(), 3);
  ASSERT_EQ(t.NrOfRows(), 3);
  EXPECT_EQ(t.ColName(1), "Body weight");
  EXPECT_EQ(t.ColName(2), "");
  EXPECT_EQ(t.ColName(3), "Sex");
  EXPECT_EQ(t.RowName(1), "Anna");
  EXPECT_EQ(t.RowName(2), "Bo B");
  EXPECT_EQ(t.RowName(3), "");
  EXPECT_EQ(t.RowAttrib(1), 1);
  EXPECT_EQ(t.RowAttrib(2), 2);  // 2.5 rounds to even
  EXPECT_EQ(t.RowAttrib(3), -3);
  EXPECT_EQ(t.Elem(1, 1), 61.5);
  EXPECT_EQ(t.CellState(1, 1), 0);
  EXPECT_EQ(t.Elem(2, 1), 0.0);
  EXPECT_EQ(t.CellState(2, 1), csNotANumber);
  EXPECT_EQ(t.Elem(1, 2), 72.0);
  EXPECT_EQ(t.CellState(1, 2), csParenthesized);
  EXPECT_TRUE(t.ElemValid(1, 2));
  EXPECT_EQ(t.CellState(1, 3), csEmpty);
  EXPECT_EQ(t.Elem(2, 3), 175.0);
  EXPECT_EQ(t.VarType(3), vtNominal);
  EXPECT_EQ(t.LevelName(3, 1), "female");
  EXPECT_EQ(t.LevelName(3, 2), "male");
  EXPECT_EQ(t.VarType(1), vtInterval);
  EXPECT_EQ(t.VarType(2), vtInterval);  // everything from before the read is gone
  EXPECT_EQ(t.CellState(2, 2), 0);

  // One state event per non-zero state read, one setup event per type and label written, then
  // the closing sequence with the size before and after the read.
  std::vector<std::string> expected = {"CellState", "CellState", "CellState", "Setup", "Setup", "Setup"};
  for (const auto& e : Finale("Resize 2x2->3x3"))
    expected.push_back(e);
  EXPECT_EQ(log.Events, expected);
}

TEST_F(AscFiles, ValueTokens)
{
  struct Case {
    const char* Token;
    int Code;
    double Value;
    std::uint8_t State;
  };
  const Case cases[] = {
      {"1.5", ascOK, 1.5, 0},
      {"-2", ascOK, -2.0, 0},
      {"+.5", ascOK, 0.5, 0},
      {"5.", ascOK, 5.0, 0},
      {"1E3", ascOK, 1000.0, 0},
      {"2.5e-3", ascOK, 0.0025, 0},
      {"1e-999", ascOK, 0.0, 0},  // underflow reads as 0
      {"0e999", ascOK, 0.0, 0},
      {"NAN", ascOK, 0.0, csNotANumber},
      {"###", ascOK, 0.0, csEmpty},
      {"( 4.5)", ascOK, 4.5, csParenthesized},
      {"(\n-1e2)", ascOK, -100.0, csParenthesized},
      {"nan", ascBadValue, 0, 0},
      {"NaN", ascBadValue, 0, 0},
      {"inf", ascBadValue, 0, 0},
      {"1e999", ascBadValue, 0, 0},
      {"-1e400", ascBadValue, 0, 0},
      {"0x10", ascBadValue, 0, 0},
      {"1,5", ascBadValue, 0, 0},
      {"1e", ascBadValue, 0, 0},
      {".", ascBadValue, 0, 0},
      {"--1", ascBadValue, 0, 0},
      {"(4.5)", ascBadValue, 0, 0},
      {"( 4.5 )", ascBadValue, 0, 0},
      {"( NAN)", ascBadValue, 0, 0},
      {"##", ascBadValue, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Token);
    TDataTable t;
    ASSERT_EQ(t.LoadFromASCFile(Write(std::string("c\n2\n1\nFALSE FALSE FALSE FALSE\n7 ") + c.Token + "\n")),
              c.Code);
    ASSERT_EQ(t.NrOfRows(), 1);
    EXPECT_EQ(t.Elem(1, 1), 7.0);
    if (c.Code == ascOK) {
      EXPECT_EQ(t.Elem(2, 1), c.Value);
      EXPECT_EQ(t.CellState(2, 1), c.State);
    } else {
      // The cell whose token failed holds no value.
      EXPECT_EQ(t.CellState(2, 1), csEmpty);
      EXPECT_FALSE(t.ElemValid(2, 1));
    }
  }
}

TEST_F(AscFiles, NumbersIgnoreTheProcessLocale)
{
  // A comma-decimal locale must not change how numbers are read (when the machine has one).
  const char* previous = std::setlocale(LC_ALL, nullptr);
  const std::string saved = previous ? previous : "C";
  for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8"})
    if (std::setlocale(LC_ALL, name))
      break;
  TDataTable t;
  const int code = t.LoadFromASCFile(Write("c\n2\n1\nFALSE FALSE FALSE FALSE\n1.25 3e-1\n"));
  const double a = t.Elem(1, 1), b = t.Elem(2, 1);
  std::setlocale(LC_ALL, saved.c_str());
  EXPECT_EQ(code, ascOK);
  EXPECT_EQ(a, 1.25);
  EXPECT_EQ(b, 0.3);
}

TEST_F(AscFiles, RowsAreATokenStream)
{
  TDataTable t;
  ASSERT_EQ(t.LoadFromASCFile(Write("c\n2\n3\nFALSE FALSE FALSE FALSE\n1 2 3 4 5 6")), ascOK);
  ASSERT_EQ(t.NrOfRows(), 3);
  EXPECT_EQ(t.Elem(1, 2), 3.0);
  EXPECT_EQ(t.Elem(2, 3), 6.0);  // the last token ends the file without a line end
  EXPECT_EQ(t.ColName(2), "C-2");
  EXPECT_EQ(t.RowName(3), "R-3");

  // One row over several lines, carriage returns alone dropped, extra tokens ignored.
  ASSERT_EQ(t.LoadFromASCFile(Write("c\r2\n2\n1\nFALSE FALSE FALSE FALSE\n\n  1.0625\r\n\t\r 2.125 99\n")), ascOK);
  EXPECT_EQ(t.Comment(), "c2");  // a lone carriage return does not end line 1
  EXPECT_EQ(t.NrOfRows(), 1);
  EXPECT_EQ(t.Elem(1, 1), 1.0625);
  EXPECT_EQ(t.Elem(2, 1), 2.125);
}

TEST_F(AscFiles, ShortAndFailingRowsKeepTheRowsReadAndMarkTheRestEmpty)
{
  TDataTable t;
  TEventLog log;
  log.Attach(t);
  // Five rows declared, three given: the fourth row fails on its first token.
  ASSERT_EQ(t.LoadFromASCFile(Write("c\n2\n5\nFALSE TRUE FALSE FALSE\nA B\n1 2\n3 4\n5 6\n")), ascBadValue);
  ASSERT_EQ(t.NrOfRows(), 4);
  EXPECT_EQ(t.ColName(2), "B");
  EXPECT_EQ(t.Elem(2, 3), 6.0);
  for (int c = 1; c <= 2; ++c) {
    EXPECT_EQ(t.Elem(c, 4), 0.0);
    EXPECT_EQ(t.CellState(c, 4), csEmpty);
  }
  EXPECT_EQ(log.Events.back(), "Resize 1x1->2x4");

  // A bad token in the middle of row 2: the value before it stays, the rest is empty. Only the
  // state read from the file ("NAN") is announced on its own; the cells marked empty are
  // covered by the closing events.
  log.Events.clear();
  ASSERT_EQ(t.LoadFromASCFile(Write("c\n3\n3\nFALSE FALSE FALSE FALSE\n1 NAN 3\n4 x 6\n7 8 9\n")), ascBadValue);
  ASSERT_EQ(t.NrOfRows(), 2);
  EXPECT_EQ(t.CellState(2, 1), csNotANumber);
  EXPECT_EQ(t.Elem(1, 2), 4.0);
  EXPECT_TRUE(t.ElemValid(1, 2));
  EXPECT_EQ(t.CellState(2, 2), csEmpty);
  EXPECT_EQ(t.CellState(3, 2), csEmpty);
  std::vector<std::string> expected = {"CellState"};
  for (const auto& e : Finale("Resize 2x4->3x2"))
    expected.push_back(e);
  EXPECT_EQ(log.Events, expected);

  // Ctrl-Z ends the file.
  ASSERT_EQ(t.LoadFromASCFile(Write(std::string("c\n1\n2\nFALSE FALSE FALSE FALSE\n1\n\x1A\n2\n"))), ascBadValue);
  EXPECT_EQ(t.NrOfRows(), 2);
  EXPECT_EQ(t.CellState(1, 2), csEmpty);
}

TEST_F(AscFiles, RowAttributes)
{
  TDataTable t;
  ASSERT_EQ(t.LoadFromASCFile(Write("c\n1\n4\nTRUE FALSE FALSE FALSE\n3.5 1\n-0.5 2\n1e1 3\n2147483647 4\n")), ascOK);
  EXPECT_EQ(t.RowAttrib(1), 4);
  EXPECT_EQ(t.RowAttrib(2), 0);
  EXPECT_EQ(t.RowAttrib(3), 10);
  EXPECT_EQ(t.RowAttrib(4), 2147483647);
  EXPECT_EQ(t.Elem(1, 4), 4.0);

  for (const char* bad : {"x", "NAN", "3e9", "-2147483649", "1e999"}) {
    SCOPED_TRACE(bad);
    ASSERT_EQ(t.LoadFromASCFile(Write(std::string("c\n2\n2\nTRUE TRUE FALSE FALSE\nP Q\n1 1 2\n") + bad + " 3 4\n")),
              ascBadRowAttrib);
    ASSERT_EQ(t.NrOfRows(), 2);
    EXPECT_EQ(t.RowAttrib(2), 0);
    EXPECT_EQ(t.RowName(2), "R-2");
    EXPECT_EQ(t.CellState(1, 2), csEmpty);
    EXPECT_EQ(t.CellState(2, 2), csEmpty);
    EXPECT_EQ(t.ColName(1), "P");
    EXPECT_EQ(t.Elem(2, 1), 2.0);
  }
}

TEST_F(AscFiles, FlagLineWords)
{
  std::string comment;
  int nc = 0, nr = 0;
  bool f1 = false, f2 = true, f3 = false, f4 = true;
  ASSERT_EQ(TDataTable::ReadASCHeader(Write("hello\n2\n3\n true false true\n"), comment, nc, nr, f1, f2, f3, f4),
            ascOK);
  EXPECT_EQ(comment, "hello");
  EXPECT_EQ(nc, 2);
  EXPECT_EQ(nr, 3);
  EXPECT_TRUE(f1);
  EXPECT_FALSE(f2);
  EXPECT_TRUE(f3);
  EXPECT_FALSE(f4);

  bool a, b, c, d;
  EXPECT_TRUE(asc::ParseFlags("FALSEtrueFALSETrue", a, b, c, d));
  EXPECT_TRUE(!a && b && !c && d);
  EXPECT_TRUE(asc::ParseFlags("\tTRUE  TRUE\tTRUE   maybe", a, b, c, d));
  EXPECT_TRUE(a && b && c && !d);
  EXPECT_FALSE(asc::ParseFlags("TRUE TRU TRUE TRUE", a, b, c, d));
  EXPECT_FALSE(asc::ParseFlags("", a, b, c, d));
}

TEST_F(AscFiles, NameScanner)
{
  const auto scan = [](const std::string& Input) {
    std::string text;
    int state = 0;
    std::size_t used = 0;
    for (char ch : Input) {
      ++used;
      if (TDataTable::ScanQuotedWord(ch, '"', text, state)) {
        EXPECT_EQ(state, 0);
        break;
      }
    }
    return text + "|" + std::to_string(used);
  };
  EXPECT_EQ(scan("  word next"), "word|7");
  EXPECT_EQ(scan("\"two words\" x"), "two words|12");
  EXPECT_EQ(scan("\"ab\"cd x"), "abcd|7");
  EXPECT_EQ(scan("\"line\nbreak\"\n"), "line\nbreak|13");
  EXPECT_EQ(scan("\"\"x y"), "\"x|4");  // a quote right after the opening one is literal
  EXPECT_EQ(scan("\"\n"), "|2");       // a control character right after the quote ends it

  TDataTable t;
  ASSERT_EQ(t.LoadFromASCFile(Write("c\n2\n1\nFALSE TRUE FALSE FALSE\n\"" + std::string(70, 'n') +
                                    "\"\n\"\"\n1 2\n")),
            ascOK);
  EXPECT_EQ(t.ColName(1), std::string(50, 'n'));
  EXPECT_EQ(t.ColName(2), "\"");
}

TEST_F(AscFiles, VarTypesSection)
{
  const std::string head = "c\n3\n1\nFALSE FALSE FALSE TRUE\n1 2 3\nnoise before\n";
  TDataTable t;
  ASSERT_EQ(t.LoadFromASCFile(Write(head + "<vartypes>\n"
                                           "2 nominal <0=low><1=mid><2=high>\n"
                                           "x Nominal <0=bad>\n"
                                           "3 ORDINAL <z=skip><1=A label longer than ten><151=out>\n"
                                           "1 Ratio <0=unkept>\n"
                                           "</VarTypes>\n"
                                           "3 Nominal <5=after end>\n"
                                           "<custdata>\n<k>v</k>\n</custdata>\n")),
            ascOK);
  EXPECT_EQ(t.VarType(2), vtNominal);
  EXPECT_EQ(t.LevelName(2, 0), "low");
  EXPECT_EQ(t.LevelName(2, 1), "mid");
  EXPECT_EQ(t.LevelName(2, 2), "high");
  EXPECT_EQ(t.FindLevel(2, "HIGH", true), 2);
  EXPECT_EQ(t.VarType(3), vtOrdinal);
  EXPECT_EQ(t.LevelName(3, 1), "A label lo");
  EXPECT_EQ(t.LevelName(3, 5), "");
  EXPECT_EQ(t.VarType(1), vtRatio);
  EXPECT_EQ(t.Elem(3, 1), 3.0);

  // With flag 4 the scan takes the file to its end: the key/value section is not read.
  TCustomData custom;
  ASSERT_EQ(t.ReadASCFile(Write(head + "<custdata>\n<k>v</k>\n</custdata>\n"), custom), ascOK);
  EXPECT_TRUE(custom.empty());

  // The same line with Interval changes nothing.
  ASSERT_EQ(t.LoadFromASCFile(Write(head + "<VARTYPES>\n2 Interval <0=low>\n</VARTYPES>\n")), ascOK);
  EXPECT_EQ(t.VarType(2), vtInterval);
  EXPECT_EQ(t.LevelName(2, 0), "");
}

TEST_F(AscFiles, CustomDataSection)
{
  TDataTable t;
  TCustomData custom;
  ASSERT_EQ(t.ReadASCFile(Write("c\n1\n1\nFALSE FALSE FALSE FALSE\n5\n"
                                "<CustData>\n"
                                "<Author>R. Smith</AUTHOR>\n"
                                "no tags here\n"
                                "<a>1</b>\n"
                                "<Unit>kg <x></Unit>\n"
                                "<empty></empty>\n"
                                "</custdata> trailing\n"
                                "<late>no</late>\n"),
                          custom),
            ascOK);
  // Lines without tags, with a closing tag of another key, or whose value runs into another
  // tag ("kg <x>") are skipped.
  ASSERT_EQ(custom.size(), 2u);
  EXPECT_EQ(custom[0].Key, "Author");
  EXPECT_EQ(custom[0].Value, "R. Smith");
  EXPECT_EQ(custom[1].Key, "empty");
  EXPECT_EQ(custom[1].Value, "");
}

TEST_F(AscFiles, DeclaredSizeBeyondTheFileIsRefusedBeforeAllocating)
{
  for (const char* counts : {"1000\n1000\n", "2\n2147483647\n", "2147483647\n2147483647\n"}) {
    SCOPED_TRACE(counts);
    TDataTable t;
    Prepare(t);
    TEventLog log;
    log.Attach(t);
    EXPECT_EQ(t.LoadFromASCFile(Write(std::string("c\n") + counts + "FALSE FALSE FALSE FALSE\n1 2 3\n")),
              ascSizeExceedsFile);
    ExpectPrepared(t);
    EXPECT_EQ(log.Events, Finale("Resize 2x2->2x2"));
  }
}

TEST_F(AscFiles, TextEncodings)
{
  // UTF-8 stays as it is; the 50-character limit never cuts inside a character.
  std::string longName;
  for (int i = 0; i < 55; ++i)
    longName += "\xC3\xA4";  // a with diaeresis
  TDataTable t;
  ASSERT_EQ(t.LoadFromASCFile(Write("\xEF\xBB\xBFMa\xC3\x9F und Gewicht\n1\n1\nFALSE TRUE FALSE TRUE\n" + longName +
                                    "\n1\n<VARTYPES>\n1 Nominal <0=\xC3\xBC\xC3\xBC\xC3\xBC\xC3\xBC\xC3\xBC\xC3\xBC"
                                    "\xC3\xBC\xC3\xBC\xC3\xBC\xC3\xBC\xC3\xBC\xC3\xBC>\n</VARTYPES>\n")),
            ascOK);
  EXPECT_EQ(t.Comment(), "Ma\xC3\x9F und Gewicht");
  EXPECT_EQ(t.ColName(1), longName.substr(0, 100));
  EXPECT_EQ(t.LevelName(1, 0).size(), 20u);

  // A file that is not UTF-8 is taken as Windows-1252, every text of it.
  TCustomData custom;
  ASSERT_EQ(t.ReadASCFile(Write("Gr\xF6\xDF" "e\n1\n1\nFALSE TRUE TRUE TRUE\n\"\x80 rate\"\nZ\xFCrich 2\n"
                                "<VARTYPES>\n1 Ordinal <0=\xE9t\xE9>\n</VARTYPES>\n"),
                          custom),
            ascOK);
  EXPECT_EQ(t.Comment(), "Gr\xC3\xB6\xC3\x9F" "e");
  EXPECT_EQ(t.ColName(1), "\xE2\x82\xAC rate");
  EXPECT_EQ(t.RowName(1), "Z\xC3\xBCrich");
  EXPECT_EQ(t.LevelName(1, 0), "\xC3\xA9t\xC3\xA9");
  ASSERT_EQ(t.ReadASCFile(Write("c\n1\n1\nFALSE FALSE FALSE FALSE\n1\n<custdata>\n<K\xE4y>\xB5g</K\xE4y>\n"), custom),
            ascOK);
  ASSERT_EQ(custom.size(), 1u);
  EXPECT_EQ(custom[0].Key, "K\xC3\xA4y");
  EXPECT_EQ(custom[0].Value, "\xC2\xB5g");
}

TEST_F(AscFiles, TheWholeFileDecidesTheEncoding)
{
  // The key/value section ends early in a file larger than one read block. A UTF-8 character
  // that straddles the block boundary after it keeps the file UTF-8; a byte that is not UTF-8
  // anywhere after it makes the whole file Windows-1252.
  const std::string head = "\xC3\xA9t\xC3\xA9\n1\n1\nFALSE FALSE FALSE FALSE\n1\n<custdata>\n<k>v</k>\n</custdata>\n";
  std::string padded = head;
  padded.resize((1u << 20) - 1, 'x');
  TDataTable t;
  TCustomData custom;
  ASSERT_EQ(t.ReadASCFile(Write(padded + "\xC3\xA9 tail\n"), custom), ascOK);
  EXPECT_EQ(t.Comment(), "\xC3\xA9t\xC3\xA9");
  ASSERT_EQ(custom.size(), 1u);
  ASSERT_EQ(t.ReadASCFile(Write(padded + "xx\xE9\n"), custom), ascOK);
  EXPECT_EQ(t.Comment(), "\xC3\x83\xC2\xA9t\xC3\x83\xC2\xA9");
}

TEST_F(AscFiles, StreamOfUnknownSizeIsHeldToTheSameSizeLimit)
{
  // A named pipe has no size to check in advance: the declared table must still not drive
  // the memory used, and is refused once the stream has ended.
  const fs::path pipe = FDir / "pipe.asc";
  const auto readThroughPipe = [&pipe](const std::string& Content, TDataTable& T) {
    EXPECT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    std::thread writer([&pipe, &Content] { std::ofstream(pipe, std::ios::binary) << Content; });
    const int code = T.LoadFromASCFile(pipe.string());
    writer.join();
    fs::remove(pipe);
    return code;
  };
  TDataTable t;
  Prepare(t);
  TEventLog log;
  log.Attach(t);
  const std::size_t before = orvex::testing::HeapBytesInUse();
  orvex::testing::ResetHeapPeak();
  EXPECT_EQ(readThroughPipe("c\n100000000\n1\nFALSE TRUE FALSE FALSE\nA B\n1 2\n", t), ascSizeExceedsFile);
  // Nothing of the declared size (800 MB of values) was set up.
  EXPECT_LT(orvex::testing::HeapPeakBytes() - before, std::size_t(64) << 20);
  ExpectPrepared(t);
  EXPECT_EQ(log.Events, Finale("Resize 2x2->2x2"));

  ASSERT_EQ(readThroughPipe("piped\n2\n2\nFALSE FALSE FALSE FALSE\n1 2\n3 NAN\n", t), ascOK);
  EXPECT_EQ(t.Comment(), "piped");
  EXPECT_EQ(t.Elem(1, 2), 3.0);
  EXPECT_EQ(t.CellState(2, 2), csNotANumber);
}

TEST_F(AscFiles, ReadCallsFromAHandlerSeeTheNewTable)
{
  // The closing events come after the new contents are in place and the matrix is connected.
  TDataTable t;
  std::vector<double> seen;
  t.OnResize = [&](TObject*, int, int, int, int) {
    seen.push_back(t.Elem(2, 2));
    t.SetElem(1, 1, 9.0);
  };
  int changes = 0;
  t.OnChange = [&](TObject*) { ++changes; };
  ASSERT_EQ(t.LoadFromASCFile(Write("c\n2\n2\nFALSE FALSE FALSE FALSE\n1 2\n3 4\n")), ascOK);
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0], 4.0);
  EXPECT_EQ(changes, 1 + 2);  // the closing OnChange, then the handler's write (table + matrix)
  EXPECT_EQ(t.Elem(1, 1), 9.0);
}

TEST(AscTextFile, TokensAndLinesAcrossBlocks)
{
  const fs::path p = fs::temp_directory_path() / "orvex_asc_blocks.asc";
  std::string content = "first line\r\n";
  std::string longToken(40, '7');
  content += "  " + longToken + " x\r\nlast";
  std::ofstream(p, std::ios::binary) << content;

  TASCTextFile f;
  ASSERT_TRUE(f.Open(p.string(), 16));  // blocks far smaller than the tokens and lines
  std::string line;
  ASSERT_TRUE(f.ReadLine(line));
  EXPECT_EQ(line, "first line");
  EXPECT_EQ(f.NextToken(), longToken);
  EXPECT_EQ(f.NextToken(), "x");
  ASSERT_TRUE(f.ReadLine(line));
  EXPECT_EQ(line, "");
  ASSERT_TRUE(f.ReadLine(line));
  EXPECT_EQ(line, "last");
  EXPECT_FALSE(f.ReadLine(line));
  EXPECT_EQ(f.NextToken(), "");
  EXPECT_TRUE(f.Utf8Valid());
  EXPECT_EQ(f.Size(), static_cast<std::int64_t>(content.size()));
  f.Close();
  fs::remove(p);
}

TEST(AscNumbers, ParseNumberIsCorrectlyRounded)
{
  // Every printed double must come back bit for bit, whichever path the parser takes (short
  // mantissas with small exponents, long ones, extreme exponents, denormals).
  std::mt19937_64 gen(2024);
  std::uniform_real_distribution<double> mantissa(-10.0, 10.0);
  std::uniform_int_distribution<int> exp10(-320, 300);
  std::uniform_int_distribution<int> precision(1, 17);
  char buf[64];
  for (int k = 0; k < 20000; ++k) {
    const double x = mantissa(gen) * std::pow(10.0, exp10(gen) % (k % 3 == 0 ? 300 : 25));
    const int p = precision(gen);
    const auto format = k % 2 ? std::chars_format::scientific : std::chars_format::general;
    const auto res = std::to_chars(buf, buf + sizeof buf, x, format, p);
    const std::string_view text(buf, static_cast<std::size_t>(res.ptr - buf));
    double expected = 0.0;
    std::from_chars(text.data(), text.data() + text.size(), expected);
    double got = 1.0;
    ASSERT_TRUE(asc::ParseNumber(text, got)) << text;
    ASSERT_EQ(got, expected) << text;
  }
  double v = 0.0;
  ASSERT_TRUE(asc::ParseNumber("0.000000000000000000000000000001", v));
  EXPECT_EQ(v, 1e-30);
  ASSERT_TRUE(asc::ParseNumber("123456789012345678901234567890", v));
  EXPECT_EQ(v, 1.2345678901234568e29);
  // Around the limits of the exact path: 2^53 and one above it, 19 and 20 digits.
  for (const char* text : {"9007199254740992", "9007199254740993", "9007199254740993e-3", "1234567890123456789",
                           "12345678901234567891", "0.0000000000000000001", "1e22", "1e23", "3e-22", "3e-23"}) {
    double expected = 0.0;
    std::from_chars(text, text + std::strlen(text), expected);
    ASSERT_TRUE(asc::ParseNumber(text, v)) << text;
    EXPECT_EQ(v, expected) << text;
  }
  ASSERT_TRUE(asc::ParseNumber("-0", v));
  EXPECT_TRUE(std::signbit(v));
  ASSERT_TRUE(asc::ParseNumber("4.9e-324", v));
  EXPECT_GT(v, 0.0);
}

TEST_F(AscFiles, RunningOutOfMemoryWhileReadingKeepsThePreviousTable)
{
#ifdef ORVEX_SANITIZED
  GTEST_SKIP() << "AddressSanitizer reserves far more address space than RLIMIT_AS leaves the "
                  "child, and the child then deadlocks inside the sanitizer's error report";
#endif
  // 4,000,000 rows of four one-digit values need about 128 MB aside while being read (the
  // rows' default names take no memory). In a child process whose address space is capped a
  // little above its current size, the read must fail with the table's out-of-memory error and
  // leave the previous table as it was.
  std::string content = "big\n4\n4000000\nFALSE FALSE FALSE FALSE\n";
  content.reserve(content.size() + 32000000);
  for (int i = 0; i < 4000000; ++i)
    content += "1 2 3 4\n";
  const std::string file = Write(content);
  const auto readCapped = [&file] {
    TDataTable t;
    t.SetName("T1");
    Prepare(t);
    int closing = 0;
    t.OnResize = [&closing](TObject*, int, int, int, int) { ++closing; };
    std::ifstream statm("/proc/self/statm");
    long pages = 0;
    statm >> pages;
    const rlim_t limit = static_cast<rlim_t>(pages) * 4096 + (16u << 20);
    const rlimit rl{limit, limit};
    if (setrlimit(RLIMIT_AS, &rl) != 0)
      std::exit(3);
    try {
      t.LoadFromASCFile(file);
      std::exit(4);
    } catch (const EOrvexDataTableError& e) {
      if (std::string(e.what()) != "Component \"T1\": not enough memory on heap")
        std::exit(5);
    }
    const bool intact = t.NrOfColumns() == 2 && t.NrOfRows() == 2 && t.Comment() == "before" &&
                        t.Elem(1, 1) == 1.5 && t.LevelName(2, 0) == "lbl" && t.CellState(2, 2) == csMarkA;
    std::exit(intact && closing == 1 ? 0 : 6);
  };
  EXPECT_EXIT(readCapped(), ::testing::ExitedWithCode(0), "");
}
