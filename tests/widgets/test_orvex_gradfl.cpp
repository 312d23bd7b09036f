// TGradFill: property rules and the bands, shapes, hatch and frame it paints, read back as pixels.
#include "orvex_gradfl.h"

#include <gtest/gtest.h>

using namespace orvex;

namespace {

// Renders the control's picture at the given size.
QImage Render(const TGradFill& g, int W, int H)
{
  TBitmap bmp(W, H);
  g.GradientBitmap(bmp);
  return bmp.Image().copy();
}

TColor At(const QImage& img, int x, int y) { return FromQColor(QColor::fromRgb(img.pixel(x, y))); }

// The colour of each row (or column) of an image, checking that the line is uniform.
std::vector<TColor> Lines(const QImage& img, bool Rows)
{
  std::vector<TColor> result;
  const int n = Rows ? img.height() : img.width();
  const int m = Rows ? img.width() : img.height();
  for (int i = 0; i < n; ++i) {
    const TColor c = Rows ? At(img, 0, i) : At(img, i, 0);
    for (int j = 1; j < m; ++j)
      EXPECT_EQ(Rows ? At(img, j, i) : At(img, i, j), c) << (Rows ? "row " : "column ") << i;
    result.push_back(c);
  }
  return result;
}

}  // namespace

TEST(GradFill, PropertiesClampAndFlip)
{
  TGradFill g;
  EXPECT_EQ(g.Width(), 121);
  EXPECT_EQ(g.Height(), 121);
  EXPECT_EQ(g.ColorFirst(), RGB(128, 0, 0));
  EXPECT_EQ(g.ColorLast(), RGB(255, 255, 0));
  EXPECT_EQ(g.GridColor(), RGB(0, 0, 128));
  EXPECT_EQ(g.NrColors(), 16);
  EXPECT_EQ(g.FillType(), gtHoriz);
  EXPECT_EQ(g.GridMode(), gmNone);
  EXPECT_EQ(g.FrameStyle(), fsNone);
  EXPECT_FALSE(g.ColorFlipped());

  for (auto [in, stored] : {std::pair{0, 1}, {-7, 1}, {300, 255}, {256, 255}, {255, 255}, {2, 2}}) {
    g.SetNrColors(in);
    EXPECT_EQ(g.NrColors(), stored) << in;
  }

  g.SetColorFirst(clRed);
  g.SetColorLast(clBlue);
  g.SetColorFlipped(true);
  EXPECT_EQ(g.ColorFirst(), clBlue);
  EXPECT_EQ(g.ColorLast(), clRed);
  // While flipped, setting the first colour changes the base colour it stands for.
  g.SetColorFirst(clGreen);
  g.SetColorFlipped(false);
  EXPECT_EQ(g.ColorFirst(), clRed);
  EXPECT_EQ(g.ColorLast(), clGreen);
}

TEST(GradFill, HorizontalBandsFollowMulDivRounding)
{
  TGradFill g;
  g.SetColorFirst(clRed);
  g.SetColorLast(clBlue);
  g.SetNrColors(3);
  const std::vector<TColor> rows = Lines(Render(g, 10, 100), true);
  // 255 - MulDiv(k, 255, 3) red and MulDiv(k, 255, 3) blue: the last band is one step short.
  for (int y = 0; y < 100; ++y) {
    const TColor expected = y <= 32 ? clRed : (y <= 66 ? RGB(170, 0, 85) : RGB(85, 0, 170));
    EXPECT_EQ(rows[y], expected) << y;
  }

  g.SetFillType(gtVert);
  const std::vector<TColor> cols = Lines(Render(g, 100, 7), false);
  EXPECT_EQ(cols[32], clRed);
  EXPECT_EQ(cols[33], RGB(170, 0, 85));
  EXPECT_EQ(cols[99], RGB(85, 0, 170));

  // System colours are resolved before the steps are formed (the window's banner runs from the
  // button face to white): the bands are the palette's colour, not the constant's low bytes.
  g.SetFillType(gtHoriz);
  g.SetColorFirst(clBtnFace);
  g.SetColorLast(clWhite);
  g.SetNrColors(2);
  const TColor face = ColorToRGB(clBtnFace);
  const std::vector<TColor> banner = Lines(Render(g, 8, 10), true);
  EXPECT_EQ(banner[0], face);
  EXPECT_EQ(banner[9], RGB(GetRValue(face) + MulDiv(1, 255 - GetRValue(face), 2),
                           GetGValue(face) + MulDiv(1, 255 - GetGValue(face), 2),
                           GetBValue(face) + MulDiv(1, 255 - GetBValue(face), 2)));
  g.SetColorFirst(clRed);
  g.SetColorLast(clBlue);

  // One step: the whole area has the first colour, for every geometry.
  g.SetNrColors(1);
  for (TGradType t : {gtHoriz, gtVert, gtMidBandHoriz, gtMidBandVert, gtEllipticFull, gtEllipticFit, gtRect,
                      gtRadial}) {
    g.SetFillType(t);
    const QImage img = Render(g, 31, 17);
    for (int y = 0; y < 17; ++y)
      for (int x = 0; x < 31; ++x)
        ASSERT_EQ(At(img, x, y), clRed) << "type " << t << " at " << x << "," << y;
  }
}

TEST(GradFill, MidBandsRunToTheLastColourAndBack)
{
  TGradFill g;
  g.SetColorFirst(clRed);
  g.SetColorLast(clBlue);
  g.SetFillType(gtMidBandVert);
  const TColor half = RGB(127, 0, 128);  // Col(1, 2): 255 + MulDiv(1, -255, 2), MulDiv(1, 255, 2)

  g.SetNrColors(4);
  std::vector<TColor> cols = Lines(Render(g, 100, 5), false);
  const TColor four[] = {clRed, half, clBlue, clRed};
  for (int x = 0; x < 100; ++x)
    EXPECT_EQ(cols[x], four[x / 25]) << x;

  g.SetNrColors(5);
  cols = Lines(Render(g, 100, 5), false);
  const TColor five[] = {clRed, half, clBlue, half, clRed};
  for (int x = 0; x < 100; ++x)
    EXPECT_EQ(cols[x], five[x / 20]) << x;

  g.SetFillType(gtMidBandHoriz);
  const std::vector<TColor> rows = Lines(Render(g, 5, 100), true);
  EXPECT_EQ(rows[50], clBlue);
  EXPECT_EQ(rows[0], clRed);
  EXPECT_EQ(rows[99], clRed);
}

TEST(GradFill, ShapesPutTheFirstColourAtTheCentre)
{
  TGradFill g;
  g.SetColorFirst(clRed);
  g.SetColorLast(clBlue);
  g.SetNrColors(8);
  const TColor outerStep = RGB(255 - MulDiv(7, 255, 8), 0, MulDiv(7, 255, 8));

  g.SetFillType(gtRect);
  QImage img = Render(g, 41, 31);
  EXPECT_EQ(At(img, 20, 15), clRed);
  EXPECT_EQ(At(img, 0, 0), outerStep);
  EXPECT_EQ(At(img, 40, 30), outerStep);

  g.SetFillType(gtEllipticFit);
  img = Render(g, 41, 31);
  EXPECT_EQ(At(img, 20, 15), clRed);
  EXPECT_EQ(At(img, 0, 0), clBlue);  // outside the ellipse: the last colour

  g.SetFillType(gtEllipticFull);
  img = Render(g, 41, 31);
  EXPECT_EQ(At(img, 20, 15), clRed);
  EXPECT_EQ(At(img, 0, 0), outerStep);  // the outer ellipse covers the corners

  // Radial: the colour turns from straight down (first) to straight up (last step).
  g.SetFillType(gtRadial);
  img = Render(g, 41, 41);
  EXPECT_EQ(At(img, 20, 40), clRed);
  EXPECT_EQ(At(img, 20, 0), outerStep);
  EXPECT_EQ(At(img, 0, 20), At(img, 40, 20));  // both sides mirror each other
  // Two steps: the lower half-turn has the first colour, the upper the second, and no corner of
  // the area stays blank between the sector chords.
  g.SetNrColors(2);
  img = Render(g, 41, 41);
  const TColor second = RGB(255 - MulDiv(1, 255, 2), 0, MulDiv(1, 255, 2));
  EXPECT_EQ(At(img, 20, 38), clRed);
  EXPECT_EQ(At(img, 20, 2), second);
  for (auto [x, y] : {std::pair{0, 0}, {40, 0}, {0, 40}, {40, 40}})
    EXPECT_NE(At(img, x, y), clWhite) << x << "," << y;
  g.SetNrColors(8);

  // Diagonal grid: first colour above, last below, graded lines across.
  g.SetFillType(gtDiagGrid);
  img = Render(g, 40, 40);
  EXPECT_EQ(At(img, 1, 1), clRed);
  EXPECT_EQ(At(img, 1, 39), clBlue);
  EXPECT_EQ(At(img, 0, 5), clRed);  // column 0 is step 0 of the vertical lines
  EXPECT_EQ(At(img, 38, 5), RGB(255 - MulDiv(19, 255, 20), 0, MulDiv(19, 255, 20)));
  // An odd column shows the horizontal lines: step k at row 2k and at row 2k + 2r - 1 (r = 10),
  // the first colour on the other rows of the upper half, the last colour below.
  auto step = [](int k, int r) { return RGB(255 - MulDiv(k, 255, r), 0, MulDiv(k, 255, r)); };
  for (int y = 0; y < 40; ++y) {
    TColor expected = y < 20 ? clRed : clBlue;
    if (y % 2 == 0 && y <= 20)
      expected = step(y / 2, 10);
    if (y >= 19 && (y - 19) % 2 == 0)
      expected = step((y - 19) / 2, 10);
    EXPECT_EQ(At(img, 7, y), expected) << "row " << y;
  }
}

TEST(GradFill, HatchAndFrame)
{
  TGradFill g;
  g.SetColorFirst(clWhite);
  g.SetColorLast(clWhite);
  g.SetGridColor(clNavy);
  g.SetGridMode(gmBoth);
  QImage img = Render(g, 5, 5);
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 5; ++x) {
      const bool onGrid = x % 2 == 0 || y % 2 == 0;
      EXPECT_EQ(At(img, x, y), onGrid ? clNavy : clWhite) << x << "," << y;
    }
  g.SetGridMode(gmHoriz);
  img = Render(g, 5, 5);
  EXPECT_EQ(At(img, 1, 0), clNavy);
  EXPECT_EQ(At(img, 0, 1), clWhite);

  g.SetGridMode(gmNone);
  g.SetColorFirst(clYellow);
  g.SetColorLast(clYellow);
  g.SetFrameStyle(fsLowered);
  img = Render(g, 20, 10);
  EXPECT_EQ(At(img, 0, 0), clGray);
  EXPECT_EQ(At(img, 19, 9), clWhite);
  EXPECT_EQ(At(img, 1, 1), clBlack);
  EXPECT_EQ(At(img, 18, 8), clSilver);
  EXPECT_EQ(At(img, 5, 5), clYellow);
}

TEST(GradFill, PaintShowsTheBitmapAndRaisesOnPaint)
{
  TGradFill g;
  g.resize(60, 30);
  g.SetColorFirst(clGreen);
  g.SetColorLast(clAqua);
  g.SetFillType(gtRadial);
  int paints = 0;
  g.OnPaint = [&paints, &g](const TObject* Sender) {
    EXPECT_EQ(Sender, &g);
    ++paints;
  };
  const QImage shown = g.grab().toImage().convertToFormat(QImage::Format_RGB32);
  EXPECT_GE(paints, 1);
  EXPECT_EQ(shown, Render(g, 60, 30));
}
