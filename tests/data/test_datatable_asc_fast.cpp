// The direct, chunked reader against the sequential block reader on generated files, valid and
// malformed: every field of the table, the custom data, the result code and the events must
// be the same, with one or two threads, tiny chunks and tiny blocks.
#include "datatable_event_log.h"
#include "orvex_datatable.h"
#include "orvex_datatable_asc.h"
#include "orvex_datatable_text.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>

#include <filesystem>
#include <iterator>
#include <fstream>
#include <random>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

using namespace orvex;
namespace fs = std::filesystem;

namespace {

std::string RandomFile(std::mt19937& Gen)
{
  const auto pick = [&Gen](int N) { return static_cast<int>(Gen() % static_cast<unsigned>(N)); };
  const bool f1 = pick(2), f2 = pick(2), f3 = pick(3) == 0, f4 = pick(3) == 0;
  const int cols = 1 + pick(6), rows = 1 + pick(40);
  const char* eol = pick(3) == 0 ? "\r\n" : "\n";
  const auto sep = [&]() -> std::string {
    switch (pick(8)) {
      case 0: return eol;
      case 1: return "\t";
      case 2: return "  ";
      default: return " ";
    }
  };
  const auto name = [&]() -> std::string {
    switch (pick(5)) {
      case 0: return "\"a b" + std::to_string(pick(100)) + "\"";
      case 1: return "(.;#;.)";
      case 2: return "\"q\"\"x\"";
      default: return "n" + std::to_string(pick(1000));
    }
  };
  // Number forms at the edges of the one-pass parse: digit counts around 19 and 2^53, exponents
  // around the exact range and beyond the double range, signs, bare points and broken forms.
  static const char* const oddNumbers[] = {
      "+1.5e+3", "1.",      ".5",   "-0",       "1e22",  "1e23",   "1e-22", "1e-23", "9007199254740992",
      "9007199254740993", "1234567890123456789", "12345678901234567890", "0.00000000000000000001",
      "1e400",   "1e-400",  "1e0007", "1e00007", "1e",    "1e+",    "-",     "+.e1",  "1.5.5",  "--1",
      "1e5e5",   "0x1p3",   "inf",  "nan",      "1,5",   "\xe9",  "1\xe9"};
  const auto value = [&]() -> std::string {
    switch (pick(13)) {
      case 0: return "NAN";
      case 1: return "###";
      case 2: return "( " + std::to_string(pick(1000)) + ".5)";
      case 3: return std::to_string(pick(2000) - 1000) + "e" + std::to_string(pick(40) - 20);
      case 4: return "-." + std::to_string(pick(100000));
      case 5:
        if (pick(4) == 0)
          return oddNumbers[pick(static_cast<int>(std::size(oddNumbers)))];
        [[fallthrough]];
      default: {
        char buf[32];
        std::snprintf(buf, sizeof buf, "%.6g", (static_cast<double>(Gen()) - 2e9) / 1e5);
        return buf;
      }
    }
  };
  std::string s = "comment " + std::to_string(pick(100)) + eol + std::to_string(cols) + eol + std::to_string(rows) +
                  eol + (f1 ? "TRUE " : "FALSE ") + (f2 ? "TRUE " : "FALSE ") + (f3 ? "TRUE " : "FALSE ") +
                  (f4 ? "TRUE" : "FALSE") + eol;
  if (f2)
    for (int c = 0; c < cols; ++c)
      s += name() + sep();
  s += eol;
  for (int r = 0; r < rows; ++r) {
    if (f1)
      s += std::to_string(pick(20) - 5) + (pick(4) == 0 ? ".5" : "") + sep();
    if (f3)
      s += name() + sep();
    for (int c = 0; c < cols; ++c)
      s += value() + sep();
    if (pick(3))
      s += eol;
  }
  if (f4)
    s += std::string("<VARTYPES>") + eol + "1 Nominal <0=lo><1=hi>" + eol + "2 ordinal <2=x>" + eol + "</VARTYPES>" + eol;
  else if (pick(2))
    s += std::string("<custdata>") + eol + "<k>v " + std::to_string(pick(9)) + "</k>" + eol + "</custdata>" + eol;
  // Malformed variants: cut, or a byte replaced, or a Ctrl-Z inserted, at a random place.
  switch (pick(6)) {
    case 0: s.resize(static_cast<std::size_t>(pick(static_cast<int>(s.size())))); break;
    case 1: s[static_cast<std::size_t>(pick(static_cast<int>(s.size())))] = "x(.)e#N\n \xe9"[pick(10)]; break;
    case 2: s.insert(static_cast<std::size_t>(pick(static_cast<int>(s.size()))), 1, '\x1a'); break;
    default: break;
  }
  return s;
}

struct TSnapshot {
  int Code = 0;
  std::vector<std::string> Events;
  std::string Text;
};

TSnapshot ReadWith(const std::string& File, const TASCReadOptions& Options)
{
  TDataTable t;
  t.Resize(2, 3);
  TEventLog log;
  log.Attach(t);
  TCustomData custom;
  TSnapshot s;
  s.Code = ReadASCFileWith(t, File, custom, Options);
  s.Events = log.Events;
  std::string& x = s.Text;
  x = t.Comment() + "|" + std::to_string(t.NrOfColumns()) + "x" + std::to_string(t.NrOfRows()) + "\n";
  for (int c = 1; c <= t.NrOfColumns(); ++c) {
    x += t.ColName(c) + "|" + std::to_string(t.ColAttrib(c)) + "|" + std::to_string(t.VarType(c));
    for (int l = 0; l <= MaxLevel; ++l)
      if (!t.LevelName(c, l).empty())
        x += "|" + std::to_string(l) + "=" + t.LevelName(c, l);
    x += "\n";
  }
  char buf[40];
  for (int r = 1; r <= t.NrOfRows(); ++r) {
    x += t.RowName(r) + "|" + std::to_string(t.RowAttrib(r));
    for (int c = 1; c <= t.NrOfColumns(); ++c) {
      std::snprintf(buf, sizeof buf, " %a/%d", t.Elem(c, r), t.CellState(c, r));
      x += buf;
    }
    x += "\n";
  }
  for (const TCustDataEntry& e : custom)
    x += e.Key + "=" + e.Value + "\n";
  return s;
}

TEST(AscFastReader, MatchesTheSequentialReaderOnGeneratedFiles)
{
  const fs::path file = fs::temp_directory_path() /
                        ("orvex_asc_fast_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + ".asc");
  std::mt19937 gen(20261208);
  TASCReadOptions reference;
  reference.Direct = false;
  TASCReadOptions tinyBlocks = reference;
  tinyBlocks.BlockSize = 7;
  int failures = 0;
  for (int k = 0; k < 3000; ++k) {
    const std::string content = RandomFile(gen);
    std::ofstream(file, std::ios::binary | std::ios::trunc) << content;
    const TSnapshot expected = ReadWith(file.string(), reference);
    failures += expected.Code != ascOK;
    // Threads, chunk size, block size: one block or many (a unit split between blocks).
    for (const auto& [threads, chunk, block] : {std::tuple{1, 0, 0}, {2, 3, 0}, {2, 64, 0}, {1, 0, 7}, {2, 3, 20}}) {
      TASCReadOptions fast;
      fast.Threads = threads;
      fast.ChunkSize = static_cast<std::size_t>(chunk);
      if (block > 0)
        fast.BlockSize = static_cast<std::size_t>(block);
      const TSnapshot got = ReadWith(file.string(), fast);
      const std::string how = "\nthreads " + std::to_string(threads) + " chunk " + std::to_string(chunk) + " block " +
                              std::to_string(block);
      ASSERT_EQ(got.Code, expected.Code) << content << how;
      ASSERT_EQ(got.Text, expected.Text) << content << how;
      ASSERT_EQ(got.Events, expected.Events) << content << how;
    }
    const TSnapshot blocks = ReadWith(file.string(), tinyBlocks);
    ASSERT_EQ(blocks.Code, expected.Code) << content;
    ASSERT_EQ(blocks.Text, expected.Text) << content;
  }
  fs::remove(file);
  // The generator must exercise both outcomes.
  EXPECT_GT(failures, 300);
  EXPECT_LT(failures, 2700);
}

TEST(AscFastReader, ParenthesesAndLongTokensAtEveryBlockBoundary)
{
  // Lone "(" tokens pair with whatever follows, also another "(": a block must never end
  // between the two. Long tokens outgrow tiny blocks. Every block size from the smallest up
  // puts a boundary at every place once.
  const std::string header = "c\n2\n3\nFALSE FALSE FALSE FALSE\n";
  const std::vector<std::string> bodies = {
      "( 1) ( 2)\n(   3) 4 5 ( 6)\n",
      "( ( 1) 2 3 4 5 6\n",
      "( ( ( 1) 2 3 4 5\n<custdata>\n<k>( v</k>\n</custdata>\n",
      "1 2 3 4 5 (",
      "1 2 3 4 5 ( 6)",
      "1 2 3 4 5 ( (",
      "12345678901234567890123456789 2 3e-400 4 -0.0000000000000000000000005 6\n",
      "1 2 3 4 5 " + std::string(300, '7') + "\n",
      "1 2 3 4 5 6" + std::string(200, ' ') + "\n<custdata>\n<a>b</a>\n</custdata>\n",
  };
  const fs::path file = fs::temp_directory_path() /
                        ("orvex_asc_paren_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + ".asc");
  TASCReadOptions reference;
  reference.Direct = false;
  for (const std::string& body : bodies) {
    std::ofstream(file, std::ios::binary | std::ios::trunc) << header + body;
    const TSnapshot expected = ReadWith(file.string(), reference);
    for (std::size_t block = 16; block <= header.size() + body.size() + 2; ++block)
      for (const int threads : {1, 2}) {
        TASCReadOptions fast;
        fast.BlockSize = block;
        fast.Threads = threads;
        fast.ChunkSize = threads == 2 ? 5 : 0;
        const TSnapshot got = ReadWith(file.string(), fast);
        ASSERT_EQ(got.Code, expected.Code) << body << "\nblock " << block << " threads " << threads;
        ASSERT_EQ(got.Text, expected.Text) << body << "\nblock " << block << " threads " << threads;
        ASSERT_EQ(got.Events, expected.Events) << body << "\nblock " << block;
      }
  }
  fs::remove(file);
}

// Everything a text file gives, block by block.
struct TTextRead {
  std::string Text;
  std::string Ended;  // per block, whether the file had nothing more to give
  std::int64_t TextSize = 0;
  std::int64_t BytesRead = 0;
  bool Utf8Valid = false;
  bool Failed = false;
};

TTextRead ReadText(TASCTextFile& f, const std::string& File, int Threads, std::size_t BlockSize)
{
  TTextRead r;
  f.SetThreads(Threads);
  if (!f.Open(File, BlockSize))
    return r;
  do {
    r.Text.append(f.BlockData() + f.BlockPos(), f.BlockEnd() - f.BlockPos());
    r.Ended += f.AllRead() ? '1' : '0';
    f.Seek(f.BlockEnd());
  } while (f.Fill());
  r.TextSize = f.TextSize();
  r.BytesRead = f.BytesRead();
  r.Utf8Valid = f.Utf8Valid();
  r.Failed = f.Failed();
  f.Close();  // a pipe's writer that a Ctrl-Z left with more to write may finish
  return r;
}

// A regular file's large blocks are read in parts on two threads; a pipe is read in one piece
// on the calling thread. Both must give the same text, sizes and UTF-8 verdict, whatever falls
// on a part's or a block's boundary: a Ctrl-Z, a character, a byte that is no UTF-8.
TEST(AscTextFile, ABlockReadInPartsReadsAsAPipeDoes)
{
  const std::size_t mib = std::size_t(1) << 20;
  ASSERT_EQ(TASCTextFile::ParallelReadBytes, mib);
  const fs::path dir = fs::temp_directory_path() /
                       ("orvex_asc_parts_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
  fs::create_directories(dir);
  const fs::path file = dir / "text.asc";
  const fs::path pipe = dir / "pipe";
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  // A read that a Ctrl-Z ends closes the pipe before the writer is done.
  const auto oldPipeAction = ::signal(SIGPIPE, SIG_IGN);
  std::string plain(5 * mib + 12345, ' ');
  for (std::size_t i = 0; i < plain.size(); ++i)
    plain[i] = "0123456789 .e-\n"[i % 15];
  // One block of the whole file: two parts, split in the middle of the buffer (the file's size
  // and one byte more). Blocks of 2 MiB: each read in two parts of 1 MiB.
  const std::size_t middle = (plain.size() + 2) / 2;
  struct TCase {
    const char* Name;
    std::size_t Block;
    std::vector<std::pair<std::size_t, std::string>> Put;
    bool Valid;
    std::size_t Text;
  };
  const std::vector<TCase> cases = {
      {"plain", 8 * mib, {}, true, plain.size()},
      {"Ctrl-Z in the second part, junk after it", 8 * mib, {{middle + 100, "\x1a\xff"}}, true, middle + 100},
      {"Ctrl-Z in the first part, junk in the second", 8 * mib, {{1000, "\x1a"}, {middle + 5, "\xff"}}, true, 1000},
      {"a character across the parts", 8 * mib, {{middle - 1, "\xe2\x82\xac"}}, true, plain.size()},
      {"no UTF-8 in the second part only", 8 * mib, {{middle + 7, "\xc3"}}, false, plain.size()},
      {"a character cut by the end of a block", 2 * mib, {{2 * mib - 1, "\xc3"}}, false, plain.size()},
      {"a character across blocks", 2 * mib, {{2 * mib - 1, "\xc3\xa9"}}, true, plain.size()},
      {"a cut character, a plain block, a stray continuation byte", 2 * mib, {{2 * mib - 1, "\xc3"}, {4 * mib, "\xa9"}},
       false, plain.size()},
      {"Ctrl-Z as the first byte of a part", 2 * mib, {{mib, "\x1a"}}, true, mib},
  };
  TASCTextFile reused;
  for (const TCase& c : cases) {
    std::string content = plain;
    for (const auto& [at, bytes] : c.Put)
      content.replace(at, bytes.size(), bytes);
    std::ofstream(file, std::ios::binary | std::ios::trunc) << content;
    std::thread writer([&] { std::ofstream(pipe, std::ios::binary) << content; });
    // One file object for the pipe and the regular file read on two threads: what it learnt of
    // the one must not carry over to the other.
    const TTextRead piped = ReadText(reused, pipe.string(), 1, c.Block);
    writer.join();
    EXPECT_EQ(piped.Text.size(), c.Text) << c.Name;
    EXPECT_EQ(piped.Utf8Valid, c.Valid) << c.Name;
    EXPECT_EQ(piped.Utf8Valid, dtext::IsValidUtf8(piped.Text)) << c.Name;
    for (const int threads : {1, 2}) {
      TASCTextFile own;
      const TTextRead r = ReadText(threads == 2 ? reused : own, file.string(), threads, c.Block);
      const std::string how = std::string(c.Name) + ", threads " + std::to_string(threads);
      EXPECT_TRUE(r.Text == piped.Text) << how;
      EXPECT_EQ(r.Ended, piped.Ended) << how;
      EXPECT_EQ(r.TextSize, piped.TextSize) << how;
      EXPECT_EQ(r.BytesRead, piped.BytesRead) << how;
      EXPECT_EQ(r.Utf8Valid, piped.Utf8Valid) << how;
      EXPECT_FALSE(r.Failed) << how;
    }
  }
  ::signal(SIGPIPE, oldPipeAction);
  fs::remove_all(dir);
}

}  // namespace
