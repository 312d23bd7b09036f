// The writers read back by the readers: ASC and delimited round trips of tables with every cell
// state, awkward names, labels and custom data (hand-made and random), the texts the writers
// must produce where the reader needs them (quotes, decimal comma, dialect), their refusals, and
// the atomic save: an injected write failure or a refused folder leaves the old file whole.
#include "orvex_datatable_asc.h"
#include "orvex_delimited.h"
#include "orvex_tablefile.h"
#include "orvex_tablewriter.h"
#include "table_dump.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <random>
#include <sstream>

using namespace orvex;
namespace fs = std::filesystem;

namespace {

std::string ReadAll(const fs::path& P)
{
  std::ifstream f(P, std::ios::binary);
  std::stringstream ss;
  ss << f.rdbuf();
  return ss.str();
}

void WriteAll(const fs::path& P, const std::string& Text)
{
  std::ofstream f(P, std::ios::binary);
  f << Text;
}

// Everything of a table the ASC format holds, beside Dump's cells, names, types and labels.
std::string FullDump(const TDataTable& T)
{
  std::string s = "comment [" + T.Comment() + "]\n" + orvex_test::Dump(T) + "attribs";
  for (int r = 1; r <= T.NrOfRows(); ++r)
    s += " " + std::to_string(T.RowAttrib(r));
  return s;
}

// What reading back must give: states cut to those the format holds, values of not-a-number and
// empty cells 0, non-finite values not-a-number.
void ExpectAfterAscRoundTrip(TDataTable& T)
{
  for (int c = 1; c <= T.NrOfColumns(); ++c) {
    for (int r = 1; r <= T.NrOfRows(); ++r) {
      std::uint8_t st = T.CellState(c, r);
      const double v = T.ColumnValues(c)[r - 1];
      if (st & csNotANumber || (!(st & csEmpty) && !std::isfinite(v)))
        st = csNotANumber;
      else if (st & csEmpty)
        st = csEmpty;
      else
        st &= csParenthesized;
      T.SetCellState(c, r, st);
      if (st & (csNotANumber | csEmpty))
        T.SetElem(c, r, 0.0);
    }
  }
}

class TableWriter : public ::testing::Test {
protected:
  void SetUp() override
  {
    Dir = fs::temp_directory_path() / ("tablewriter_test_" + std::to_string(::getpid()));
    fs::remove_all(Dir);
    fs::create_directories(Dir);
  }
  void TearDown() override
  {
    fs::permissions(Dir, fs::perms::all);
    fs::remove_all(Dir);
  }

  std::string Path(const std::string& Name) const { return (Dir / Name).string(); }

  // Writes T as ASC and reads it back on both reading paths (in place and token by token).
  void AscRoundTrip(const TDataTable& T, const TCustomData* Custom, TDataTable& Back, TCustomData& BackCustom)
  {
    const std::string file = Path("t.asc");
    TTableWriteOptions o;
    o.Format = TFileFormat::Asc;
    o.CustomData = Custom;
    WriteTableFile(T, file, o);
    ASSERT_EQ(Back.ReadASCFile(file, BackCustom), ascOK) << ReadAll(file);
    TDataTable slow;
    TCustomData slowCustom;
    TASCReadOptions tokens;
    tokens.Direct = false;
    tokens.BlockSize = 64;
    ASSERT_EQ(slow.ReadASCFile(file, slowCustom, tokens), ascOK);
    EXPECT_EQ(FullDump(slow), FullDump(Back));
  }

  fs::path Dir;
};

// A table with every state, the names the scanner makes hard, attributes, labels and a comment.
void FillAwkwardTable(TDataTable& T)
{
  T.Resize(4, 6);
  T.SetComment("Fish\tcatch, 2024: \"weights\" <VARTYPES> (.;#;.)");
  const std::vector<std::string> colNames = {"Body weight", "\"quoted\"", "", "a\"b c\"\"d"};
  for (int c = 1; c <= 4; ++c)
    T.SetColName(c, colNames[static_cast<std::size_t>(c - 1)]);
  const std::vector<std::string> rowNames = {"plain", " lead", "trail ", "tab\tin", "x\"", "\xC3\xA9t\xC3\xA9 \"\" 1"};
  const std::vector<double> values = {0.1, -0.0, 1e-310, 1.7976931348623157e308, -2.5e-7, 123456789012345680.0};
  for (int r = 1; r <= 6; ++r) {
    T.SetRowName(r, rowNames[static_cast<std::size_t>(r - 1)]);
    T.SetRowAttrib(r, r == 3 ? -2147483647 - 1 : r * 7 - 20);
    for (int c = 1; c <= 4; ++c)
      T.SetElem(c, r, values[static_cast<std::size_t>((r + c) % 6)] * (c == 4 ? 1.0 : 3.0));
  }
  T.SetCellState(1, 1, csNotANumber);
  T.SetCellState(1, 2, csEmpty);
  T.SetCellState(1, 3, csParenthesized);
  T.SetCellState(1, 4, csNotANumber | csEmpty);
  T.SetCellState(1, 5, csParenthesized | csMarkA | csMarkB);
  T.SetCellState(1, 6, csReadOnly);
  T.SetElem(2, 2, std::numeric_limits<double>::quiet_NaN());
  T.SetElem(2, 3, -std::numeric_limits<double>::infinity());
  T.SetVarType(2, vtNominal);
  T.SetLevelName(2, 0, "low");
  T.SetLevelName(2, 3, "a<b=c");
  T.SetLevelName(2, 150, "\xC3\xBC" "ber 10 ch");
  T.SetVarType(3, vtOrdinal);
  T.SetVarType(4, vtRatio);
}

}  // namespace

TEST_F(TableWriter, AscRoundTripKeepsEveryValueNameStateAndLabel)
{
  TDataTable t;
  FillAwkwardTable(t);
  const TCustomData custom = {{"Author", "E. Example"}, {"with blank", "a > b = c"}, {"a<b", ""}};
  TDataTable back;
  TCustomData backCustom;
  // With a VARTYPES section the reader passes over the key/value section: written, not read.
  AscRoundTrip(t, &custom, back, backCustom);
  EXPECT_TRUE(backCustom.empty());
  EXPECT_NE(ReadAll(Path("t.asc")).find("<Author>E. Example</Author>"), std::string::npos);
  ExpectAfterAscRoundTrip(t);
  EXPECT_EQ(FullDump(back), FullDump(t));
  // Bit for bit: the sign of zero and the smallest subnormals survive.
  for (int c = 1; c <= 4; ++c)
    for (int r = 1; r <= 6; ++r)
      EXPECT_EQ(std::memcmp(&t.ColumnValues(c)[r - 1], &back.ColumnValues(c)[r - 1], sizeof(double)), 0) << c << "," << r;

  // Without types the key/value section reads back, in order.
  for (int c = 1; c <= 4; ++c)
    t.SetVarType(c, vtInterval);
  AscRoundTrip(t, &custom, back, backCustom);
  ASSERT_EQ(backCustom.size(), custom.size());
  for (std::size_t i = 0; i < custom.size(); ++i) {
    EXPECT_EQ(backCustom[i].Key, custom[i].Key);
    EXPECT_EQ(backCustom[i].Value, custom[i].Value);
  }
  EXPECT_EQ(FullDump(back), FullDump(t));
}

TEST_F(TableWriter, AscHeaderSetsOnlyTheFlagsTheTableNeeds)
{
  TDataTable t;
  t.Resize(2, 2);
  TStringSink sink;
  WriteASCTable(t, nullptr, sink);
  EXPECT_EQ(sink.Text, "\n2\n2\nFALSE FALSE FALSE FALSE\n0 0\n0 0\n");
  t.SetElem(1, 1, 4.5);
  t.SetCellState(1, 1, csParenthesized);
  t.SetCellState(2, 2, csEmpty);
  t.SetColName(2, "w");
  sink.Text.clear();
  WriteASCTable(t, nullptr, sink);
  EXPECT_EQ(sink.Text, "\n2\n2\nFALSE TRUE FALSE FALSE\nC-1 w\n( 4.5) 0\n0 ###\n");
}

TEST_F(TableWriter, AscRefusesWhatTheFormatCannotHold)
{
  auto refusal = [](const TDataTable& T, const TCustomData* Custom = nullptr) {
    TStringSink sink;
    try {
      WriteASCTable(T, Custom, sink);
    } catch (const EOrvexTableWriteError& e) {
      return std::string(e.what());
    }
    return std::string();
  };
  TDataTable t;
  t.Resize(2, 2);
  t.SetColName(1, "\tstart");
  EXPECT_EQ(refusal(t), "the name of column 1 starts with a control character, which an ASC file cannot hold");
  t.SetColName(1, "x");
  t.SetRowName(2, "a\"\nb");
  EXPECT_EQ(refusal(t), "the name of row 2 has a control character after a double quote, which an ASC file cannot hold");
  t.SetRowName(2, "ok");
  t.SetVarType(2, vtNominal);
  t.SetLevelName(2, 4, "a>b");
  EXPECT_EQ(refusal(t), "the level label 4 of column 2 holds \">\", a line end or Ctrl-Z, which an ASC file cannot hold");
  t.SetLevelName(2, 4, "</vartypes");
  EXPECT_EQ(refusal(t), "a level label of column 2 reads as the end of the VARTYPES section");
  t.SetVarType(2, vtInterval);
  const TCustomData custom = {{"k", "a<b"}};
  EXPECT_EQ(refusal(t, &custom), "the key/value entry 1 holds a text the ASC file's key/value section cannot hold");
  t.Resize(0, 0);
  EXPECT_EQ(refusal(t), "an ASC file holds at least one column and one row");
}

// Random tables: every state, values of every magnitude, names from blanks, quotes, tabs and
// letters. Each is written as ASC and read back; the same tables without what delimited text
// cannot hold go through every delimiter, decimal mark and header choice.
TEST_F(TableWriter, RandomTablesRoundTrip)
{
  std::mt19937_64 rng(20240611);
  const std::string alphabet = "ab \"\t#,;|.1\xC3\xA9";
  auto randomName = [&](bool ControlAllowed) {
    std::string s;
    const int n = static_cast<int>(rng() % 8);
    for (int i = 0; i < n; ++i) {
      std::size_t k = rng() % (alphabet.size() - 1);
      if (alphabet[k] == '\xC3')
        s += "\xC3\xA9";
      else if (alphabet[k] != '\xA9' && (alphabet[k] != '\t' || ControlAllowed))
        s += alphabet[k];
    }
    return s;
  };
  auto randomValue = [&]() {
    switch (rng() % 6) {
    case 0: return static_cast<double>(static_cast<std::int64_t>(rng() % 2000) - 1000);
    case 1: return std::ldexp(static_cast<double>(rng() >> 11), static_cast<int>(rng() % 2100) - 1074 - 53);
    case 2: return -0.0;
    default: return (static_cast<double>(rng() >> 11) / 9007199254740992.0 - 0.5) * 1e3;
    }
  };
  const std::uint8_t states[] = {0, 0, 0, csNotANumber, csEmpty, csParenthesized, csMarkA, csMarkB | csParenthesized};
  for (int round = 0; round < 40; ++round) {
    TDataTable t;
    const int cols = 1 + static_cast<int>(rng() % 5);
    const int rows = 1 + static_cast<int>(rng() % 30);
    t.Resize(cols, rows);
    for (int c = 1; c <= cols; ++c) {
      const std::string name = randomName(true);
      // A tab after a quote or at the start cannot be written: those names are left out.
      bool writable = name.empty() || static_cast<unsigned char>(name[0]) >= 32;
      for (std::size_t i = 1; i < name.size(); ++i)
        writable = writable && !(name[i] == '\t' && name[i - 1] == '"');
      if (writable && name != "(.;#;.)")
        t.SetColName(c, name);
      for (int r = 1; r <= rows; ++r) {
        t.SetElem(c, r, randomValue());
        t.SetCellState(c, r, states[rng() % std::size(states)]);
      }
    }
    for (int r = 1; r <= rows; ++r) {
      t.SetRowName(r, randomName(false));
      t.SetRowAttrib(r, static_cast<std::int32_t>(rng() % 100) - 50);
    }
    TDataTable back;
    TCustomData custom;
    AscRoundTrip(t, nullptr, back, custom);
    ExpectAfterAscRoundTrip(t);
    ASSERT_EQ(FullDump(back), FullDump(t)) << ReadAll(Path("t.asc"));

    // Delimited: no attributes or comment; names must not be empty (they read back as Vn).
    for (int c = 1; c <= cols; ++c)
      if (t.ColName(c).empty())
        t.SetColName(c, "c" + std::to_string(c));
    for (int r = 1; r <= rows; ++r)
      t.SetRowAttrib(r, 0);
    t.SetComment("");
    for (int c = 1; c <= cols; ++c)
      for (int r = 1; r <= rows; ++r)
        t.SetCellState(c, r, t.CellState(c, r) & (csNotANumber | csEmpty));
    TDelimitedDialect d;
    const char delimiters[] = {dlComma, dlSemicolon, dlTab, dlPipe, dlBlanks};
    d.Delimiter = delimiters[round % 5];
    d.DecimalMark = round % 3 == 0 ? TDecimalMark::Comma : TDecimalMark::Point;
    d.Header = TPresence::Yes;
    d.RowNames = TPresence::Yes;
    d.SkipLines = 0;
    d.Encoding = round % 4 == 0 ? TTextEncoding::Windows1252 : TTextEncoding::Utf8;
    TTableWriteOptions o;
    o.Format = TFileFormat::Delimited;
    o.Dialect = d;
    const std::string file = Path("t.csv");
    WriteTableFile(t, file, o);
    TTableBuilder builder;
    const TDelimitedResult res = ReadDelimitedFile(file, d, builder);
    ASSERT_TRUE(res.Ok()) << res.Message << "\n" << ReadAll(file);
    TDataTable csvBack;
    csvBack.Adopt(std::move(builder));
    ASSERT_EQ(orvex_test::Dump(csvBack), orvex_test::Dump(t)) << ReadAll(file);
  }
}

TEST_F(TableWriter, DelimitedQuotesWhatTheReaderWouldTakeApart)
{
  TDataTable t;
  t.Resize(3, 2);
  t.SetColName(1, "#first");
  t.SetColName(2, "a,b");
  t.SetColName(3, " say \"hi\"");
  t.SetElem(1, 1, 1.5);
  t.SetElem(2, 1, -0.25);
  t.SetCellState(3, 1, csEmpty);
  t.SetCellState(1, 2, csNotANumber);
  t.SetElem(2, 2, std::numeric_limits<double>::infinity());
  t.SetElem(3, 2, 1e21);
  TDelimitedDialect d;
  d.Delimiter = dlComma;
  d.DecimalMark = TDecimalMark::Point;
  TStringSink sink;
  WriteDelimitedTable(t, d, sink);
  EXPECT_EQ(sink.Text, "\"#first\",\"a,b\",\" say \"\"hi\"\"\"\n1.5,-0.25,\nNaN,NaN,1e+21\n");

  // A decimal comma beside the comma as delimiter: the numbers are quoted.
  d.DecimalMark = TDecimalMark::Comma;
  d.MissingTokens = {"NA"};
  sink.Text.clear();
  WriteDelimitedTable(t, d, sink);
  EXPECT_EQ(sink.Text, "\"#first\",\"a,b\",\" say \"\"hi\"\"\"\n\"1,5\",\"-0,25\",NA\nNaN,NaN,1e+21\n");

  // One column: an empty cell alone on its line would be a blank line, skipped.
  TDataTable one;
  one.Resize(1, 3);
  one.SetCellState(1, 2, csEmpty);
  d = TDelimitedDialect();
  sink.Text.clear();
  WriteDelimitedTable(one, d, sink);
  EXPECT_EQ(sink.Text, "C-1\n0\n\"\"\n0\n");
  TTableBuilder b;
  ASSERT_TRUE(ReadDelimitedText(sink.Text, TDelimitedDialect(), b).Ok());
  EXPECT_EQ(b.NrOfRows(), 3);
  EXPECT_EQ(b.CellState(1, 2), csEmpty);
}

TEST_F(TableWriter, DelimitedKeepsTheDialectItWasReadWith)
{
  // Semicolons, decimal commas, row names, Windows-1252 texts and a level column.
  const std::string original = "Name;Gr\xF6\xDF" "e;Art\nHecht;1,5;Raub\nKarpfen;2,25;Fried\nBarsch;NA;Raub\n";
  const std::string file = Path("fish.csv");
  WriteAll(file, original);
  TTableBuilder b;
  const TDelimitedResult res = ReadDelimitedFile(file, TDelimitedDialect(), b);
  ASSERT_TRUE(res.Ok()) << res.Message;
  const TDelimitedDialect& d = res.Detected.Dialect;
  ASSERT_EQ(d.Delimiter, dlSemicolon);
  ASSERT_EQ(d.DecimalMark, TDecimalMark::Comma);
  ASSERT_EQ(d.Encoding, TTextEncoding::Windows1252);
  TDataTable t;
  t.Adopt(std::move(b));
  ASSERT_EQ(t.VarType(2), vtNominal);

  TTableWriteOptions o;
  o.Format = FormatForSaving(file);
  o.Dialect = d;
  WriteTableFile(t, file, o);
  // The missing token written is the first empty one of the dialect's list: the empty text.
  EXPECT_EQ(ReadAll(file), ";Gr\xF6\xDF" "e;Art\nHecht;1,5;Raub\nKarpfen;2,25;Fried\nBarsch;;Raub\n");
  TTableBuilder again;
  const TDelimitedResult res2 = ReadDelimitedFile(file, TDelimitedDialect(), again);
  ASSERT_TRUE(res2.Ok()) << res2.Message;
  EXPECT_EQ(res2.Detected.Dialect, d);
  TDataTable back;
  back.Adopt(std::move(again));
  EXPECT_EQ(orvex_test::Dump(back), orvex_test::Dump(t));

  // A character Windows-1252 has no place for is refused in that encoding.
  t.SetColName(1, "\xE2\x82\xAC and \xE2\x88\x91");
  TStringSink sink;
  EXPECT_THROW(WriteDelimitedTable(t, d, sink), EOrvexTableWriteError);
  TDelimitedDialect unquoted = d;
  unquoted.Quote = '\0';
  unquoted.Encoding = TTextEncoding::Utf8;
  t.SetColName(1, "a;b");
  try {
    WriteDelimitedTable(t, unquoted, sink);
    ADD_FAILURE() << "no refusal";
  } catch (const EOrvexTableWriteError& e) {
    EXPECT_STREQ(e.what(), "the field \"a;b\" needs quotes, but the file's dialect has no quote character");
  }
}

TEST_F(TableWriter, SaveAsWorkbookReadsBackTheSameTable)
{
  // The same level-column table as above, saved through the one entry as .xlsx and read back:
  // names, row names, values, the missing cell and the labels are kept.
  const std::string csv = Path("fish.csv");
  WriteAll(csv, "Name;Weight;Kind\nPike;1,5;Predator\nCarp;2,25;Peaceful\nPerch;NA;Predator\n");
  TTableBuilder b;
  ASSERT_TRUE(ReadDelimitedFile(csv, TDelimitedDialect(), b).Ok());
  TDataTable t;
  t.Adopt(std::move(b));
  const std::string file = Path("fish.xlsx");
  TTableWriteOptions o;
  o.Format = FormatForSaving(file);
  WriteTableFile(t, file, o);
  TTableBuilder again;
  const TTableFileResult r = ReadTableFileWith(file, TTableReadOptions(), again);
  ASSERT_TRUE(r.Ok()) << r.Message;
  EXPECT_EQ(r.Format, TFileFormat::Workbook);
  TDataTable back;
  back.Adopt(std::move(again));
  EXPECT_EQ(orvex_test::Dump(back), orvex_test::Dump(t));
  // A folder that does not exist is refused with the file's name, as for the other formats.
  o.Format = FormatForSaving(Path("none/fish.xlsx"));
  EXPECT_THROW(WriteTableFile(t, Path("none/fish.xlsx"), o), EOrvexTableWriteError);
}

TEST_F(TableWriter, FormatAndDialectForSavingFollowTheExtension)
{
  EXPECT_EQ(FormatForSaving("/x/a.ASC"), TFileFormat::Asc);
  EXPECT_EQ(FormatForSaving("a.csv"), TFileFormat::Delimited);
  EXPECT_EQ(FormatForSaving("a.Tsv"), TFileFormat::Delimited);
  EXPECT_EQ(FormatForSaving("a.txt"), TFileFormat::Delimited);
  EXPECT_EQ(FormatForSaving("a.XLSX"), TFileFormat::Workbook);
  try {
    FormatForSaving("/x.y/data.xyz");
    ADD_FAILURE() << "no refusal";
  } catch (const EOrvexTableWriteError& e) {
    EXPECT_STREQ(e.what(), "cannot save the file \"/x.y/data.xyz\": \".xyz\" is not a format that can be saved; use "
                           ".asc, .csv, .tsv, .txt or .xlsx");
  }
  EXPECT_THROW(FormatForSaving("/x.y/data"), EOrvexTableWriteError);
  EXPECT_EQ(DialectForSaving("a.txt").Delimiter, dlTab);
  EXPECT_EQ(DialectForSaving("a.csv").Delimiter, dlComma);
  TDelimitedDialect loaded;
  loaded.Delimiter = dlSemicolon;
  loaded.DecimalMark = TDecimalMark::Comma;
  loaded.Encoding = TTextEncoding::Windows1252;
  const TDelimitedDialect d = DialectForSaving("b.csv", &loaded);
  EXPECT_EQ(d.Delimiter, dlSemicolon);
  EXPECT_EQ(d.DecimalMark, TDecimalMark::Comma);
  EXPECT_EQ(d.Encoding, TTextEncoding::Utf8);
  EXPECT_EQ(DialectForSaving("b.tsv", &loaded).Delimiter, dlTab);
}

// A failed save leaves the old file as it was and no temporary file behind; the message names
// the file and the system's reason.
TEST_F(TableWriter, FailedSaveLeavesTheOldFileWhole)
{
  TDataTable t;
  t.Resize(20, 5000);
  const std::string file = Path("old.asc");
  WriteAll(file, "old contents\n");
  ::chmod(file.c_str(), 0640);
  TTableWriteOptions o;
  o.Format = TFileFormat::Asc;
  o.WriteFault = [](std::int64_t Offset, std::size_t Size) { return Offset + static_cast<std::int64_t>(Size) > 4096 ? ENOSPC : 0; };
  try {
    WriteTableFile(t, file, o);
    ADD_FAILURE() << "no error";
  } catch (const EOrvexTableWriteError& e) {
    EXPECT_EQ(std::string(e.what()), "cannot save the file \"" + file + "\": cannot write it: " + std::strerror(ENOSPC));
  }
  EXPECT_EQ(ReadAll(file), "old contents\n");
  EXPECT_EQ(std::distance(fs::directory_iterator(Dir), fs::directory_iterator()), 1);

  // A save that succeeds replaces the file and keeps its permissions; a link stays a link.
  o.WriteFault = nullptr;
  const std::string link = Path("link.asc");
  fs::create_symlink(file, link);
  WriteTableFile(t, link, o);
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(fs::status(file).permissions() & fs::perms::all, fs::perms(0640));
  TDataTable back;
  EXPECT_EQ(back.LoadFromASCFile(file), ascOK);
  EXPECT_EQ(back.NrOfRows(), 5000);
  EXPECT_EQ(std::distance(fs::directory_iterator(Dir), fs::directory_iterator()), 2);
}

// A folder without write permission, for a user who is not root (a child that drops root's
// rights when the test runs as root).
TEST_F(TableWriter, SaveIntoAFolderWithoutWritePermissionFails)
{
  const fs::path folder = Dir / "locked";
  fs::create_directories(folder);
  const std::string file = (folder / "data.csv").string();
  WriteAll(file, "a\n1\n");
  fs::permissions(folder, fs::perms(0555));
  fs::permissions(Dir, fs::perms(0777));
  TDataTable t;
  TTableWriteOptions o;
  o.Format = TFileFormat::Delimited;
  auto attempt = [&]() -> std::string {
    try {
      WriteTableFile(t, file, o);
    } catch (const EOrvexTableWriteError& e) {
      return e.what();
    }
    return "saved";
  };
  const std::string expected = "cannot save the file \"" + file + "\": cannot create a file in its folder: " +
                               std::strerror(EACCES);
  if (::geteuid() != 0) {
    EXPECT_EQ(attempt(), expected);
  } else {
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      const bool dropped = ::setgid(65534) == 0 && ::setuid(65534) == 0;
      ::_exit(!dropped ? 3 : attempt() == expected ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
  }
  fs::permissions(folder, fs::perms::all);
  EXPECT_EQ(ReadAll(file), "a\n1\n");
  EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1);
}
