// TRChart decorations as they land on the screen: the chart caption at each of its horizontal
// and vertical anchors with each alignment, and the caption of a vertical axis at its anchors.
// Each text's ink is found by grabbing the chart with and without the text; where it must be
// follows from the margins (280 x 200 chart, margins 50, 20, 20, 40: plot x 50..260, y 20..160)
// and from the ink box of the same text drawn at (0, 0) in the same font.
#include "orvex_rchart.h"

#include <QApplication>
#include <gtest/gtest.h>

#include <functional>
#include <string>

using namespace orvex;

namespace {

constexpr int CW = 280, CH = 200, ML = 50, MR = 20, MT = 20, MB = 40;
constexpr int PW = CW - ML - MR, PH = CH - MT - MB;

// The box of the pixels in which two images differ (empty when they are equal).
TRect DiffBox(const QImage& A, const QImage& B)
{
  TRect box{A.width(), A.height(), 0, 0};
  for (int y = 0; y < A.height(); ++y)
    for (int x = 0; x < A.width(); ++x)
      if (A.pixel(x, y) != B.pixel(x, y)) {
        box.Left = std::min(box.Left, x);
        box.Top = std::min(box.Top, y);
        box.Right = std::max(box.Right, x + 1);
        box.Bottom = std::max(box.Bottom, y + 1);
      }
  return box;
}

// The ink box of Text drawn with its top-left corner at (0, 0) in Font, and its width.
struct TInk {
  TRect Box;
  int Width = 0;
};
TInk ReferenceInk(const TFont& Font, const std::string& Text)
{
  TBitmap bmp(200, 60);
  bmp.Canvas().Brush().SetColor(clWhite);
  bmp.Canvas().FillRect({0, 0, 200, 60});
  bmp.Canvas().Font().Assign(Font);
  bmp.Canvas().Font().SetColor(clBlack);
  bmp.Canvas().Brush().SetStyle(bsClear);
  bmp.Canvas().TextOut(0, 0, Text);
  TBitmap blank(200, 60);
  blank.Canvas().Brush().SetColor(clWhite);
  blank.Canvas().FillRect({0, 0, 200, 60});
  return {DiffBox(bmp.Image(), blank.Image()), bmp.Canvas().TextWidth(Text)};
}

// Where the ink of a text lands whose top-left corner is at (X, Y).
TRect Placed(const TInk& Ink, int X, int Y)
{
  return {X + Ink.Box.Left, Y + Ink.Box.Top, X + Ink.Box.Right, Y + Ink.Box.Bottom};
}

int Aligned(int AnchorX, int Width, TAlignment A)
{
  return A == taLeftJustify ? AnchorX : A == taRightJustify ? AnchorX - Width : AnchorX - Width / 2;
}

struct TDecorChart {
  TRChart Chart;
  TDecorChart()
  {
    Chart.resize(CW, CH);
    Chart.SetMargins(ML, MR, MT, MB);
    Chart.show();
    QApplication::processEvents();
  }
  QImage Shot() { return Chart.grab().toImage(); }
  // The ink that Change adds to the chart.
  TRect InkOf(const std::function<void()>& Change)
  {
    const QImage before = Shot();
    Change();
    return DiffBox(before, Shot());
  }
};

}  // namespace

TEST(RChartDecor, CaptionAtEveryAnchorAndAlignment)
{
  TDecorChart t;
  const std::string text = "HxH 12";
  const TInk ink = ReferenceInk(t.Chart.Font(), text);
  const struct {
    TCaptionAnchorHoriz H;
    int AnchorX;
  } horiz[] = {{cahControlLeft, 0},
               {cahChartLeft, ML},
               {cahChartCenter, ML + PW / 2},
               {cahChartRight, CW - MR},
               {cahControlRight, CW}};
  // Vertical anchors with an offset that keeps the text outside the plot, above or below it.
  const struct {
    TCaptionAnchorVert V;
    int AnchorY;
    int PosY;
  } vert[] = {{cavControlTop, 0, 2}, {cavChartTop, MT, -16}, {cavChartBottom, CH - MB, 4}, {cavControlBottom, CH, -18}};
  for (const auto& v : vert)
    for (const auto& h : horiz)
      for (TAlignment a : {taLeftJustify, taRightJustify, taCenter}) {
        // Texts that would leave the control are not asked for.
        const int left = Aligned(h.AnchorX + 3, ink.Width, a);
        if (left < 0 || left + ink.Width > CW)
          continue;
        t.Chart.SetCaption("");
        t.Chart.SetCaptionAnchorHoriz(h.H);
        t.Chart.SetCaptionAnchorVert(v.V);
        t.Chart.SetCaptionAlignment(a);
        t.Chart.SetCaptionPosX(3);
        t.Chart.SetCaptionPosY(v.PosY);
        const TRect got = t.InkOf([&] { t.Chart.SetCaption(text); });
        EXPECT_EQ(got, Placed(ink, left, v.AnchorY + v.PosY)) << "anchors " << h.H << "/" << v.V << " alignment " << a;
      }
  // The centre of the plot, vertically, with the text in the left margin.
  t.Chart.SetCaption("");
  t.Chart.SetCaptionAnchorHoriz(cahControlLeft);
  t.Chart.SetCaptionAnchorVert(cavChartCenter);
  t.Chart.SetCaptionAlignment(taLeftJustify);
  t.Chart.SetCaptionPosX(2);
  t.Chart.SetCaptionPosY(0);
  EXPECT_EQ(t.InkOf([&] { t.Chart.SetCaption("Hx"); }), Placed(ReferenceInk(t.Chart.Font(), "Hx"), 2, MT + PH / 2));
}

TEST(RChartDecor, CaptionOfAVerticalAxisAtItsAnchors)
{
  TDecorChart t;
  TScalePropsVert& y = t.Chart.Scale1Y();
  // The axis's base line is the plot's left edge. Its anchors are the top of the plot, the middle
  // and the bottom of the axis, which reaches one row below the plot (the chart gives the axis
  // its own bottom margin less 1). Offsets move the texts into the margins, clear of the tick
  // labels, which sit right-aligned against the axis.
  constexpr int AxisBottom = CH - (MB - 1);
  const struct {
    TScaleUnitAnchor Anchor;
    int AnchorY;
    TAlignment Align;
    int PosX, PosY;
    const char* Text;
  } cases[] = {
      {uaSclTopLft, MT, taLeftJustify, -45, -16, "Estimated"},
      {uaSclTopLft, MT, taRightJustify, 60, -16, "Estimated"},
      {uaSclTopLft, MT, taCenter, 0, -17, "Estimated"},
      {uaSclBotRgt, AxisBottom, taLeftJustify, -48, 22, "Estimated"},
      {uaSclCenter, MT + (AxisBottom - MT) / 2, taLeftJustify, -48, -6, "Est"},
  };
  for (const auto& c : cases) {
    const TInk ink = ReferenceInk(y.Font(), c.Text);
    y.SetCaption("");
    y.SetCaptionAnchor(c.Anchor);
    y.SetCaptionAlignment(c.Align);
    y.SetCaptionPosX(c.PosX);
    y.SetCaptionPosY(c.PosY);
    const TRect got = t.InkOf([&] { y.SetCaption(c.Text); });
    EXPECT_EQ(got, Placed(ink, Aligned(ML + c.PosX, ink.Width, c.Align), c.AnchorY + c.PosY))
        << "anchor " << c.Anchor << " alignment " << c.Align;
  }
}
