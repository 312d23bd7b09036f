// Extract from Clipboard and Paste of text from elsewhere: the text is read as a small delimited
// table, its delimiter and decimal mark detected once per paste (never per value), ScanNumber's
// rules within a cell, empty cells in their place, and the message line saying how the text was
// read, with "." taken where the text does not decide the mark.
#include "ntabed_test_util.h"

#include <QAction>
#include <QClipboard>
#include <gtest/gtest.h>

using namespace orvex;

namespace {

struct TCell {
  int K, M;
  double V;
  bool Empty;
  bool operator==(const TCell& O) const { return K == O.K && M == O.M && Empty == O.Empty && (Empty || V == O.V); }
};

std::ostream& operator<<(std::ostream& Out, const TCell& C)
{
  return Out << "{" << C.K << "," << C.M << "," << (C.Empty ? std::string("empty") : std::to_string(C.V)) << "}";
}

std::vector<TCell> Scan(const std::string& Text, TClipboardReading* Reading = nullptr)
{
  std::vector<TCell> cells;
  const TClipboardReading r =
      ScanClipboardText(Text, [&](int K, int M, double V, bool Empty) { cells.push_back({K, M, V, Empty}); });
  if (Reading)
    *Reading = r;
  return cells;
}

constexpr bool E = true;   // an empty cell
constexpr bool N = false;  // a number

}  // namespace

TEST(NTabEdPaste, ReadingRules)
{
  struct TCase {
    const char* Text;
    char Delimiter;
    bool DecimalComma;
    bool Undecided;
    std::vector<TCell> Cells;
  };
  const TCase cases[] = {
      // The spreadsheet block of the report that split every decimal comma into two cells.
      {"3,5\t4,2\r\n1,5\t2\r\n", '\t', true, false, {{0, 0, 3.5, N}, {1, 0, 4.2, N}, {0, 1, 1.5, N}, {1, 1, 2, N}}},
      {"3,5\t4,2\n1,5\t2\n", '\t', true, false, {{0, 0, 3.5, N}, {1, 0, 4.2, N}, {0, 1, 1.5, N}, {1, 1, 2, N}}},
      {"3.5\t4.2\r1.5\t2", '\t', false, false, {{0, 0, 3.5, N}, {1, 0, 4.2, N}, {0, 1, 1.5, N}, {1, 1, 2, N}}},
      // Cells left empty in the spreadsheet keep their place.
      {"1\t\t3\n\t5\t\n", '\t', false, false,
       {{0, 0, 1, N}, {1, 0, 0, E}, {2, 0, 3, N}, {0, 1, 0, E}, {1, 1, 5, N}, {2, 1, 0, E}}},
      {"1\n\n3\n\n\n", '\t', false, false, {{0, 0, 1, N}, {0, 1, 0, E}, {0, 2, 3, N}}},
      {"1,5;2\n3;4,25\n", ';', true, false, {{0, 0, 1.5, N}, {1, 0, 2, N}, {0, 1, 3, N}, {1, 1, 4.25, N}}},
      // A comma delimiter means the decimal point.
      {"1,2,3\n4,5.5,6\n", ',', false, false,
       {{0, 0, 1, N}, {1, 0, 2, N}, {2, 0, 3, N}, {0, 1, 4, N}, {1, 1, 5.5, N}, {2, 1, 6, N}}},
      {"1 2   3\n  4 -5 6e1  \n", ' ', false, false,
       {{0, 0, 1, N}, {1, 0, 2, N}, {2, 0, 3, N}, {0, 1, 4, N}, {1, 1, -5, N}, {2, 1, 60, N}}},
      // Runs of "#" (as Copy writes cells without a value) and texts are empty cells.
      {" 1\t####\r\n ##\tNA\r\n", '\t', false, false, {{0, 0, 1, N}, {1, 0, 0, E}, {0, 1, 0, E}, {1, 1, 0, E}}},
      // ScanNumber's rules within a cell: signs, exponent, the limit of +-1.7E308; a cell that is
      // not wholly a number is empty.
      {"+1,5e3\t-2,5E-1\t1e400\t-1e99999\t2x\n", '\t', true, false,
       {{0, 0, 1500, N}, {1, 0, -0.25, N}, {2, 0, 1.7e308, N}, {3, 0, -1.7e308, N}, {4, 0, 0, E}}},
      // Quoted cells.
      {"\"1,5\"\t\"2\"\n", '\t', true, false, {{0, 0, 1.5, N}, {1, 0, 2, N}}},
      // Undecidable: one thousand two hundred thirty-four or 1.234? "." is taken, so the cell is
      // no number; so too where both marks stand in the numbers.
      {"1,234", '\t', false, true, {{0, 0, 0, E}}},
      {"1,234\n5,678\n", '\t', false, true, {{0, 0, 0, E}, {0, 1, 0, E}}},
      {"1,5\t2.5\n", '\t', false, true, {{0, 0, 0, E}, {1, 0, 2.5, N}}},
      // Decided by a comma that is no group separator.
      {"1,234\n5,6\n", '\t', true, false, {{0, 0, 1.234, N}, {0, 1, 5.6, N}}},
  };
  for (const TCase& c : cases) {
    TClipboardReading r;
    EXPECT_EQ(Scan(c.Text, &r), c.Cells) << c.Text;
    EXPECT_EQ(r.Delimiter, c.Delimiter) << c.Text;
    EXPECT_EQ(r.DecimalComma, c.DecimalComma) << c.Text;
    EXPECT_EQ(r.MarkUndecided, c.Undecided) << c.Text;
  }
  EXPECT_TRUE(Scan("").empty());
  EXPECT_TRUE(Scan("\r\n\n").empty());
}

TEST(NTabEdPaste, DescriptionSaysHowTheTextWasRead)
{
  TClipboardReading r;
  Scan("3,5\t4,2\n", &r);
  EXPECT_EQ(r.Description(), "Read the pasted text as cells separated by tabs, with the decimal comma \",\".");
  Scan("1;2\n", &r);
  EXPECT_EQ(r.Description(), "Read the pasted text as cells separated by semicolons, with the decimal point \".\".");
  Scan("1,234", &r);
  EXPECT_EQ(r.Description(), "Read the pasted text as cells separated by tabs, with the decimal point \".\". The text "
                             "does not show which decimal mark it uses; \".\" was taken.");
}

TEST(NTabEdPaste, ExtractAndForeignPasteWriteTheBlockAndSayHowTheyRead)
{
  TNTabEd ed;
  ed.resize(500, 300);
  ed.Resize(4, 5);
  TEditorLog log;
  log.Attach(ed);
  std::vector<std::string> messages;
  ed.OnMessage = [&](TObject* Sender, const std::string& Text) {
    EXPECT_EQ(Sender, &ed);
    messages.push_back(Text);
  };
  ed.PopupHook = [](QMenu*, const QPoint&) {};

  // Before any Copy, text from elsewhere makes Paste possible and reads as Extract does.
  QApplication::clipboard()->setText("3,5\t4,2\r\n1,5\t2\r\n");
  ed.SetSelection({2, 2, 2, 2});  // data cell (1, 2)
  ed.SetCellState(2, 2, csMarkA);
  ed.SetElem(2, 3, 9);
  ed.SetCellState(2, 3, csEmpty);
  log.Events.clear();
  ed.DataItem(8)->trigger();
  EXPECT_EQ(ed.Elem(1, 2), 3.5);
  EXPECT_EQ(ed.Elem(2, 2), 4.2);
  EXPECT_EQ(ed.Elem(1, 3), 1.5);
  EXPECT_EQ(ed.Elem(2, 3), 2);
  EXPECT_EQ(ed.CellState(2, 2), csMarkA);  // states stay
  EXPECT_EQ(ed.Selection(), (TGridRect{2, 2, 3, 3}));
  EXPECT_EQ(log.WithoutSelection(), (std::vector<std::string>{"Change", "Paste"}));
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0], "Read the pasted text as cells separated by tabs, with the decimal comma \",\".");
  EXPECT_EQ(ed.MessageText(), messages[0]);

  // Extract of the undecidable text: the cell is left empty and the message says so.
  ed.SetSelection({2, 5, 2, 5});
  ed.SetElem(1, 5, 7);
  QApplication::clipboard()->setText("1,234");
  ed.DataItem(9)->trigger();
  EXPECT_EQ(ed.Elem(1, 5), 7);
  EXPECT_EQ(ed.CellState(1, 5), csEmpty);
  EXPECT_NE(ed.MessageText().find("\".\" was taken"), std::string::npos) << ed.MessageText();

  // After the editor's own Copy, Paste writes the copy table (values and states) again.
  ed.SetSelection({2, 2, 3, 2});
  ed.CopySelection();
  ed.SetSelection({2, 4, 2, 4});
  ed.DataItem(8)->trigger();
  EXPECT_EQ(ed.Elem(1, 4), 3.5);
  EXPECT_EQ(ed.Elem(2, 4), 4.2);
  EXPECT_EQ(ed.CellState(2, 4), csMarkA);
  // Text put there by someone else after that Copy is read as text again.
  QApplication::clipboard()->setText("8;9,5");
  ed.SetSelection({2, 4, 2, 4});
  ed.DataItem(8)->trigger();
  EXPECT_EQ(ed.Elem(1, 4), 8);
  EXPECT_EQ(ed.Elem(2, 4), 9.5);
  EXPECT_EQ(ed.CellState(2, 4), csMarkA);

  // Read-only: neither command writes.
  ed.SetDataReadOnly(true);
  QApplication::clipboard()->setText("1\t2");
  ed.DataItem(8)->trigger();
  ed.DataItem(9)->trigger();
  EXPECT_EQ(ed.Elem(1, 4), 8);
}
