// TNTabEd inside an owner: the font taken from the parent, an owner's popup menu beside the
// comment editor, the sender of OnClear, the widths of columns added to an emptied table, and
// the drawn header highlight of the current row, the attribute captions and attribute values.
#include "ntabed_test_util.h"

#include <QMenu>
#include <QPlainTextEdit>
#include <gtest/gtest.h>
#include <memory>

using namespace orvex;

namespace {

QFont PixelFont(const char* Family, int Pixels, bool Bold = false)
{
  QFont f(QString::fromLatin1(Family));
  f.setPixelSize(Pixels);
  f.setBold(Bold);
  return f;
}

}  // namespace

TEST(NTabEdOwner, ParentFontFollowsTheParentUntilTheFontIsSetItself)
{
  QWidget parent;
  parent.setFont(PixelFont("Liberation Serif", 20, true));
  auto* e = new TNTabEd(&parent);
  e->setFrameShape(QFrame::NoFrame);
  e->resize(400, 200);
  // A new editor keeps its own font.
  EXPECT_FALSE(e->ParentFont());
  EXPECT_EQ(e->Font().Height(), -11);
  const TRect corner = e->CellRect(0, 0);
  const TColor window = ColorToRGB(clWindow);
  const int ownInk = InkBox(Grab(*e), corner, window).Height();

  e->SetParentFont(true);
  EXPECT_EQ(e->Font().Height(), -20);
  EXPECT_TRUE(e->Font().Bold());
  EXPECT_EQ(e->Font().ToQFont().family(), QStringLiteral("Liberation Serif"));
  EXPECT_GT(InkBox(Grab(*e), corner, window).Height(), ownInk);  // drawn in the parent's size
  // A later change of the parent's font reaches the editor; a point size counts at 96 dpi.
  QFont points(QStringLiteral("Liberation Sans"));
  points.setPointSize(12);
  parent.setFont(points);
  EXPECT_EQ(e->Font().Height(), -16);
  EXPECT_FALSE(e->Font().Bold());
  // Setting the font itself ends following the parent.
  e->Font().SetHeight(-12);
  EXPECT_FALSE(e->ParentFont());
  parent.setFont(PixelFont("Liberation Sans", 25));
  EXPECT_EQ(e->Font().Height(), -12);
  // An editor without a parent has nothing to follow and keeps its font.
  TNTabEd alone;
  alone.SetParentFont(true);
  EXPECT_EQ(alone.Font().Height(), -11);
}

TEST(NTabEdOwner, AnOwnerPopupMenuLeavesTheCornerToTheCommentEditor)
{
  TNTabEd E;
  E.resize(400, 200);
  std::vector<QMenu*> shown;
  E.PopupHook = [&](QMenu* M, const QPoint&) { shown.push_back(M); };
  QMenu owner;
  E.SetPopupMenu(&owner);
  Click(E, CellCentre(E, 2, 1), Qt::RightButton);  // a data cell: the owner's menu
  Click(E, CellCentre(E, 2, 0), Qt::RightButton);  // a column header: the owner's menu
  EXPECT_EQ(shown, (std::vector<QMenu*>{&owner, &owner}));
  EXPECT_FALSE(E.CommentEditing());
  Click(E, CellCentre(E, 0, 0), Qt::RightButton);  // the corner: the comment editor
  EXPECT_TRUE(E.CommentEditing());
  ASSERT_NE(E.CommentMemo(), nullptr);
  EXPECT_FALSE(E.CommentMemo()->isHidden());
  EXPECT_EQ(shown.size(), 2u);
  Click(E, CellCentre(E, 0, 0));  // a press on the corner cancels
  EXPECT_FALSE(E.CommentEditing());
  // Without comment editing, or with the internal popups blocked, the corner is the owner's.
  E.SetCommentEditingAllowed(false);
  Click(E, CellCentre(E, 0, 0), Qt::RightButton);
  E.SetCommentEditingAllowed(true);
  E.SetBlockInternalPopup(true);
  Click(E, CellCentre(E, 0, 0), Qt::RightButton);
  EXPECT_EQ(shown.size(), 4u);
  EXPECT_FALSE(E.CommentEditing());
}

TEST(NTabEdOwner, ClearFromTheMenuPassesTheMenuCommand)
{
  TNTabEd E;
  E.SetElem(1, 1, 5);
  E.SetSelection({2, 1, 2, 1});
  TObject* sender = nullptr;
  E.OnClear = [&](TObject* S) { sender = S; };
  E.DataItem(6)->trigger();
  ASSERT_NE(sender, nullptr);
  EXPECT_EQ(sender, E.ClearCommand());
  EXPECT_EQ(sender->ClassName(), "TMenuItem");
  EXPECT_EQ(E.Elem(1, 1), 5);  // the handler replaced the clearing
}

TEST(NTabEdOwner, ColumnsAddedToAnEmptiedTableTakeTheLastDataColumnsWidth)
{
  TNTabEd E;
  E.SetDefaultColWidth(70);
  E.SetColWidths(4, 95);  // data column 3, the last
  E.Resize(0, 4);
  E.Resize(2, 4);
  // Not the attribute column's 32 pixels, which the grid's last column had while empty.
  EXPECT_EQ(E.ColWidths(2), 95);
  EXPECT_EQ(E.ColWidths(3), 95);
  EXPECT_EQ(E.ColWidths(1), 32);
  EXPECT_EQ(E.ColPrecision(1), 2);
  // Without the attribute column the row-name column is last while empty: again not its 80.
  E.SetAttribRowVisible(false);
  E.SetColWidths(2, 41);
  E.Resize(0, 1);
  E.Resize(3, 1);
  for (int c = 1; c <= 3; ++c)
    EXPECT_EQ(E.ColWidths(c), 41) << c;
  EXPECT_EQ(E.ColWidths(0), 80);
  // A default width set while the table is empty is what the new columns get.
  E.Resize(0, 1);
  E.SetDefaultColWidth(57);
  E.Resize(2, 1);
  EXPECT_EQ(E.ColWidths(1), 57);
  EXPECT_EQ(E.ColWidths(2), 57);
}

TEST(NTabEdOwner, RowHeaderHighlightAttributeCaptionsAndValues)
{
  TNTabEd E;
  E.setFrameShape(QFrame::NoFrame);
  E.resize(600, 300);
  E.Font().SetHeight(-13);
  E.Resize(3, 3);
  for (int r = 1; r <= 3; ++r)
    E.SetRowName(r, "WWW");
  E.SetRowAttrib(2, 255);
  E.SetAttribColVisible(true);
  E.SetColAttrib(3, 17);
  E.SetSelection({3, 4, 3, 4});  // data cell (2, 3)
  const QImage img = Grab(E);
  const TColor fixed = ColorToRGB(clBtnFace);
  // The ink in Cell against Text drawn alone at (X, Y): the same offsets and the same width.
  auto expectPlaced = [&](const TRect& Cell, TColor Fore, int X, int Y, const char* Text, bool Bold = false) {
    const TRect got = InkBox(img, Cell, fixed);
    const TRect want = ReferenceInk(E, Cell, fixed, Fore, X, Y, Text, Bold);
    EXPECT_EQ(got.Left - Cell.Left, want.Left) << Text;
    EXPECT_EQ(got.Top - Cell.Top, want.Top) << Text;
    EXPECT_EQ(got.Width(), want.Width()) << Text;
  };

  // The current row's name in ColorSelected and bold, at 3 pixels in and 1 down (margin
  // included); the other rows' names in ColorNormal.
  const TRect cur = E.CellRect(0, 4);
  expectPlaced(cur, E.ColorSelected(), 3, 1, "WWW", true);
  EXPECT_TRUE(HasColour(img, cur, E.ColorSelected()));
  const TRect other = E.CellRect(0, 3);
  EXPECT_FALSE(HasColour(img, other, E.ColorSelected()));
  EXPECT_TRUE(HasColour(img, other, E.ColorNormal()));
  expectPlaced(other, E.ColorNormal(), 3, 1, "WWW");
  // The current row's attribute value is highlighted too.
  EXPECT_TRUE(HasColour(img, E.CellRect(1, 4), E.ColorSelected()));

  // "Attribute" left of the column attributes and "Attrib" above the row attributes, both at
  // 3 pixels in and 2 down; "Attrib" is cut 2 pixels before the 32-pixel column's inner edge.
  expectPlaced(E.CellRect(0, 1), E.ColorNormal(), 3, 2, "Attribute");
  const TRect attrib = E.CellRect(1, 0);
  const TRect attribInk = InkBox(img, attrib, fixed);
  EXPECT_EQ(attribInk.Left - attrib.Left, ReferenceInk(E, attrib, fixed, E.ColorNormal(), 3, 2, "Attrib").Left);
  EXPECT_LE(attribInk.Right, attrib.Right - 3);
  EXPECT_GE(attribInk.Right, attrib.Right - 6);                 // the text goes on to the cut
  EXPECT_TRUE(InkBox(img, E.CellRect(1, 1), fixed).IsEmpty());  // the corner of the two stays blank

  // Attribute values as integers: row 2's 255, column 3's 17 and column 1's 0 (not blank), at
  // 3 pixels in and 2 down.
  expectPlaced(E.CellRect(1, 3), E.ColorNormal(), 3, 2, "255");
  expectPlaced(E.CellRect(5, 1), E.ColorNormal(), 3, 2, "17");
  expectPlaced(E.CellRect(3, 1), E.ColorNormal(), 3, 2, "0");
}
