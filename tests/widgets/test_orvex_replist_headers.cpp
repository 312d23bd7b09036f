// TReportListView's header rows and cell colours on the screen: the common header's three
// alignments, column headers broken into lines and shortened with "...", the sort arrow up and
// down, and the colours of a selected column, a selected row and column, and the highlight.
// Texts are placed against the ink of the same text drawn alone at (0, 0) in the list's font.
#include "orvex_replist.h"

#include <QApplication>
#include <gtest/gtest.h>
#include <string>

using namespace orvex;

namespace {

QRect DiffBox(const QImage& A, const QImage& B)
{
  QRect box;
  for (int y = 0; y < A.height(); ++y)
    for (int x = 0; x < A.width(); ++x)
      if (A.pixel(x, y) != B.pixel(x, y))
        box |= QRect(x, y, 1, 1);
  return box;
}

TColor At(const QImage& Img, int X, int Y)
{
  return FromQColor(QColor::fromRgb(Img.pixel(X, Y)));
}

// A list of 3 columns (widths 120, 80, 80), both headers visible and tall, 3 rows.
struct THeaderList {
  TReportListView lv;
  THeaderList()
  {
    lv.setFrameShape(QFrame::NoFrame);
    lv.setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    lv.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    lv.resize(300, 200);
    lv.SetNrOfColumns(3);
    lv.SetNrOfRows(3);
    lv.SetCommonHeaderVisible(true);
    lv.SetColumnHeadersHeight(40);
    lv.SetColumnWidth(1, 120);
    lv.SetColumnWidth(2, 80);
    lv.SetColumnWidth(3, 80);
    lv.SetSortEnabled(true);
  }
  QImage Shot() { return lv.viewport()->grab().toImage(); }
  TRect Header(int Col) const { return lv.CellRect(Col - 1, 1); }
  // The ink of Text drawn alone with its top-left corner at (0, 0), and the text's width.
  QRect RefInk(const std::string& Text, int* Width = nullptr)
  {
    TBitmap bmp(400, 40);
    bmp.Canvas().Brush().SetColor(clWhite);
    bmp.Canvas().FillRect({0, 0, 400, 40});
    const QImage blank = bmp.Image().copy();
    bmp.Canvas().Font().Assign(lv.Font());
    bmp.Canvas().Brush().SetStyle(bsClear);
    bmp.Canvas().TextOut(0, 0, Text);
    if (Width)
      *Width = bmp.Canvas().TextWidth(Text);
    return DiffBox(bmp.Image(), blank);
  }
};

}  // namespace

TEST(ReportListHeaders, CommonHeaderAlignments)
{
  THeaderList t;
  const std::string text = "List of Variables";
  int w = 0;
  const QRect ref = t.RefInk(text, &w);
  const int bandRight = t.lv.CellRect(2, 0).Right;  // the band spans the three columns
  const struct {
    TAlignment Align;
    int X;
  } cases[] = {{taLeftJustify, 4}, {taRightJustify, bandRight - 6 - w}, {taCenter, (bandRight - w) / 2}};
  for (const auto& c : cases) {
    t.lv.SetCommonHeaderAlignment(c.Align);
    t.lv.SetCommonHeader("");
    const QImage before = t.Shot();
    t.lv.SetCommonHeader(text);
    EXPECT_EQ(DiffBox(before, t.Shot()), ref.translated(c.X, 0)) << c.Align;
  }
}

TEST(ReportListHeaders, ColumnHeaderLinesAndShortening)
{
  THeaderList t;
  const TRect h = t.Header(1);
  // Header lines are written as cell texts are: 4 pixels in, and 1 pixel below the text area,
  // which starts 2 pixels below the cell's top. A line feed starts a second line one text height
  // lower, at the same left edge.
  t.lv.SetColumnHeader(1, "Ab");
  const QImage one = t.Shot();
  t.lv.SetColumnHeader(1, "Ab\nCd");
  TCanvas measure;
  measure.SetFont(t.lv.Font());
  const int lineHeight = measure.TextHeight("Xg");
  EXPECT_EQ(DiffBox(one, t.Shot()), t.RefInk("Cd").translated(h.Left + 4, h.Top + 3 + lineHeight));

  // A header too wide for its column: its first characters and "...", inside the column.
  const std::string wide(30, 'W');
  t.lv.SetColumnHeader(1, "");
  const QImage empty = t.Shot();
  t.lv.SetColumnHeader(1, wide);
  const QRect ink = DiffBox(empty, t.Shot());
  const int available = h.Width() - 9;
  const int keep = static_cast<int>(std::lround(30.0 * available / measure.TextWidth(wide) - 3));
  ASSERT_GE(keep, 1);
  EXPECT_EQ(ink, t.RefInk(std::string(static_cast<std::size_t>(keep), 'W') + "...").translated(h.Left + 4, h.Top + 3));
  EXPECT_LE(ink.right(), h.Right - 6);
  // In the sorted column the arrow takes 13 more pixels: fewer characters are kept.
  t.lv.SortByColumn(1, true);
  EXPECT_LT(DiffBox(empty, t.Shot()).right(), ink.right());
}

TEST(ReportListHeaders, SortArrowPointsUpAndDown)
{
  THeaderList t;
  t.lv.SetColumnHeader(2, "Ab");
  const TRect h = t.Header(2);
  TCanvas measure;
  measure.SetFont(t.lv.Font());
  // The arrow starts 4 pixels after the text and is centred on the first line.
  const int x = std::min(h.Left + 4 + measure.TextWidth("Ab") + 4, h.Right - 12);
  const int y = h.Top + 3 + std::max(0, (measure.TextHeight("Xg") - 7) / 2);
  const TColor face = ColorToRGB(t.lv.ColorColumnHd());
  const TColor grey = 0x808080;
  QImage img = t.Shot();
  EXPECT_EQ(At(img, x + 5, y), face);  // no arrow before sorting
  EXPECT_EQ(At(img, x + 5, y + 7), face);

  t.lv.SortByColumn(2, true);  // ascending: up, a white base line below a grey left flank
  img = t.Shot();
  EXPECT_EQ(At(img, x + 5, y + 7), clWhite);
  EXPECT_EQ(At(img, x + 2, y + 3), grey);
  EXPECT_EQ(At(img, x + 5, y), face);

  t.lv.SortByColumn(2, false);  // descending: down, a grey top line
  img = t.Shot();
  EXPECT_EQ(At(img, x + 5, y), grey);
  EXPECT_EQ(At(img, x + 5, y + 7), face);
  EXPECT_EQ(At(img, x + 6, y + 2), clWhite);  // the lit right flank
  // The arrow belongs to the sorted column only.
  EXPECT_EQ(At(img, t.Header(3).Left + 4 + 4 + 5, y), face);
}

TEST(ReportListHeaders, SelectedColumnRowAndHighlightColours)
{
  THeaderList t;
  t.lv.SetRowColPattern(0);
  t.lv.SetRowSelectMode(1);
  t.lv.SetColorSelectedCol(clLime);
  t.lv.SetColorSelectedColText(clRed);
  t.lv.SetColorSelectedBoth(clAqua);
  t.lv.SetColorSelectedBothText(clBlue);
  t.lv.SetColorSelectedRow(clYellow);
  t.lv.SetColorHigh(clFuchsia);
  for (int r = 1; r <= 3; ++r)
    for (int c = 1; c <= 3; ++c)
      t.lv.SetCellText(c, r, "HHH");
  t.lv.SetColSelected(2, true);
  t.lv.SetRowSelected(3, true);
  t.lv.SetHighLightColumn(3);
  const QImage img = t.Shot();
  auto back = [&](int Col, int Row) {
    const TRect r = t.lv.CellRect(Col - 1, t.lv.GridRowOf(Row));
    return At(img, r.Right - 2, r.Top + 1);
  };
  auto hasText = [&](int Col, int Row, TColor C) {
    const TRect r = t.lv.CellRect(Col - 1, t.lv.GridRowOf(Row));
    for (int y = r.Top; y < r.Bottom; ++y)
      for (int x = r.Left; x < r.Right; ++x)
        if (At(img, x, y) == C)
          return true;
    return false;
  };
  EXPECT_EQ(back(1, 1), ColorToRGB(clWhite));
  EXPECT_EQ(back(2, 1), clLime);  // the selected column
  EXPECT_TRUE(hasText(2, 1, clRed));
  EXPECT_EQ(back(2, 3), clAqua);  // selected column and row
  EXPECT_TRUE(hasText(2, 3, clBlue));
  EXPECT_EQ(back(1, 3), clYellow);  // the selected row alone
  // The highlighted column wins over the selected row.
  EXPECT_EQ(back(3, 1), clFuchsia);
  EXPECT_EQ(back(3, 3), clFuchsia);
  EXPECT_TRUE(hasText(3, 1, ColorToRGB(t.lv.ColorHighText())));
}
