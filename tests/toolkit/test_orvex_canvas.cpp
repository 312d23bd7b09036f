// Pixel tests of TCanvas and TBitmap: everything is painted into an RGB32 image offscreen and the
// painted pixels are counted or compared exactly.
#include "orvex_canvas.h"

#include <QFontInfo>
#include <QGuiApplication>
#include <QPainter>
#include <QPalette>
#include <QPixmap>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <climits>
#include <functional>
#include <limits>
#include <random>
#include <set>
#include <tuple>
#include <utility>

using namespace orvex;

namespace {

// The set of pixels whose colour differs from Background.
std::set<std::pair<int, int>> Painted(const TBitmap& bmp, TColor Background = clWhite)
{
  std::set<std::pair<int, int>> result;
  const QImage& img = bmp.Image();
  for (int y = 0; y < img.height(); ++y)
    for (int x = 0; x < img.width(); ++x)
      if (FromQColor(QColor::fromRgb(img.pixel(x, y))) != Background)
        result.insert({x, y});
  return result;
}

struct Box {
  int Left, Top, Right, Bottom;  // inclusive
  bool operator==(const Box&) const = default;
};

Box BoundsOf(const std::set<std::pair<int, int>>& pts)
{
  Box b{1 << 30, 1 << 30, -(1 << 30), -(1 << 30)};
  for (auto [x, y] : pts) {
    b.Left = std::min(b.Left, x);
    b.Top = std::min(b.Top, y);
    b.Right = std::max(b.Right, x);
    b.Bottom = std::max(b.Bottom, y);
  }
  return b;
}

}  // namespace

TEST(Colors, ByteOrderSystemColoursAndContrast)
{
  const QColor red = ToQColor(clRed);
  EXPECT_EQ(red, QColor(255, 0, 0));
  EXPECT_EQ(ToQColor(0x00332211), QColor(0x11, 0x22, 0x33));
  EXPECT_EQ(FromQColor(QColor(0x11, 0x22, 0x33)), 0x00332211u);
  // System colours come from the application palette.
  EXPECT_EQ(ColorToRGB(clBtnFace), FromQColor(QGuiApplication::palette().color(QPalette::Button)));
  EXPECT_EQ(ColorToRGB(clWindow), FromQColor(QGuiApplication::palette().color(QPalette::Base)));
  EXPECT_EQ(ColorToRGB(clWhite), clWhite);
  // Grey 0.3 R + 0.59 G + 0.11 B: yellow 227 and (140,140,140) take black text, blue and
  // (139,139,139) white text.
  EXPECT_EQ(GreyValue(clYellow), 227);
  EXPECT_EQ(ContrastColor(clYellow), clBlack);
  EXPECT_EQ(ContrastColor(RGB(140, 140, 140)), clBlack);
  EXPECT_EQ(ContrastColor(RGB(139, 139, 139)), clWhite);
  EXPECT_EQ(ContrastColor(clBlue), clWhite);
  // Exactly 139.5 rounds up to 140; summed in doubles it came out as 139.49999999999997.
  EXPECT_EQ(GreyValue(RGB(1, 213, 123)), 140);
  EXPECT_EQ(ContrastColor(RGB(1, 213, 123)), clBlack);
  EXPECT_EQ(GreyValue(RGB(0, 0, 50)), 6);  // 5.5
}

TEST(Colors, MulDivRoundsHalvesAwayFromZero)
{
  EXPECT_EQ(MulDiv(1, 100, 3), 33);
  EXPECT_EQ(MulDiv(2, 100, 3), 67);
  EXPECT_EQ(MulDiv(1, 1, 2), 1);
  EXPECT_EQ(MulDiv(-1, 1, 2), -1);
  EXPECT_EQ(MulDiv(1, -3, 2), -2);
  EXPECT_EQ(MulDiv(3, 5, 0), -1);
  EXPECT_EQ(MulDiv(2000000000, 3, 4), 1500000000);  // no 32-bit overflow in between
  // A result beyond the int range fails like a zero divisor instead of wrapping around.
  EXPECT_EQ(MulDiv(2000000000, 3, 2), -1);
  EXPECT_EQ(MulDiv(std::numeric_limits<int>::min(), -1, 1), -1);
  EXPECT_EQ(MulDiv(std::numeric_limits<int>::min(), 1, 1), std::numeric_limits<int>::min());
}

TEST(Colors, SystemColoursCarryTheTopByte255)
{
  EXPECT_EQ(clBtnFace, 0xFF00000Fu);
  EXPECT_EQ(clWindow >> 24, 0xFFu);
  // Any value with the top bit set resolves through the palette by its low byte.
  EXPECT_EQ(ColorToRGB(0x8000000Fu), ColorToRGB(clBtnFace));
  // The special values are no system colours.
  EXPECT_EQ(ColorToRGB(clNone), 0xFFFFFFu);
  EXPECT_EQ(ColorToRGB(clDefault), 0u);
}

TEST(Canvas, LineSetsStartButNotEndPixelInEveryDirection)
{
  const int cx = 20, cy = 20;
  const std::pair<int, int> ends[] = {{10, 0}, {10, 4}, {10, 10}, {4, 10}, {0, 10}, {-4, 10}, {-10, 10},
                                      {-10, 3}, {-10, 0}, {-10, -7}, {-10, -10}, {-2, -10}, {0, -10},
                                      {5, -10}, {10, -10}, {10, -1}};
  for (auto [dx, dy] : ends) {
    TBitmap bmp(41, 41);
    TCanvas& c = bmp.Canvas();
    c.Pen().SetColor(clBlack);
    c.MoveTo(cx, cy);
    c.LineTo(cx + dx, cy + dy);
    const auto pts = Painted(bmp);
    SCOPED_TRACE(testing::Message() << "direction " << dx << "," << dy);
    EXPECT_TRUE(pts.count({cx, cy}));
    EXPECT_FALSE(pts.count({cx + dx, cy + dy}));
    EXPECT_EQ(static_cast<int>(pts.size()), std::max(std::abs(dx), std::abs(dy)));
    // The line stays within the box spanned by its ends and moves one pixel per step.
    const Box b = BoundsOf(pts);
    EXPECT_GE(b.Left, std::min(cx, cx + dx));
    EXPECT_LE(b.Right, std::max(cx, cx + dx));
    EXPECT_GE(b.Top, std::min(cy, cy + dy));
    EXPECT_LE(b.Bottom, std::max(cy, cy + dy));
    EXPECT_EQ(c.PenPos(), Point(cx + dx, cy + dy));
  }
}

TEST(Canvas, RectangleAndEllipseCoverX1ToX2Minus1)
{
  TBitmap bmp(30, 30);
  TCanvas& c = bmp.Canvas();
  c.Pen().SetColor(clRed);
  c.Brush().SetColor(clBlue);
  c.Rectangle(3, 4, 13, 10);
  auto pts = Painted(bmp);
  EXPECT_EQ(BoundsOf(pts), (Box{3, 4, 12, 9}));
  EXPECT_EQ(pts.size(), 60u);
  EXPECT_EQ(c.Pixels(3, 4), clRed);
  EXPECT_EQ(c.Pixels(12, 9), clRed);
  EXPECT_EQ(c.Pixels(4, 5), clBlue);
  EXPECT_EQ(c.Pixels(11, 8), clBlue);

  // Reversed corners give the same box.
  TBitmap rev(30, 30);
  rev.Canvas().Rectangle(13, 10, 3, 4);
  EXPECT_EQ(BoundsOf(Painted(rev)), (Box{3, 4, 12, 9}));

  // A clear brush keeps the inside.
  TBitmap hollow(30, 30);
  hollow.Canvas().Brush().SetStyle(bsClear);
  hollow.Canvas().Rectangle(0, 0, 5, 5);
  EXPECT_EQ(Painted(hollow).size(), 16u);

  TBitmap ell(30, 30);
  ell.Canvas().Pen().SetColor(clBlack);
  ell.Canvas().Brush().SetColor(clBlack);
  ell.Canvas().Ellipse(5, 6, 15, 12);
  EXPECT_EQ(BoundsOf(Painted(ell)), (Box{5, 6, 14, 11}));
  // Without a pen the brush alone covers the same pixels; boxes one pixel thin are lines.
  for (auto [x2, y2] : {std::pair{15, 12}, {10, 10}, {8, 8}, {6, 9}, {9, 7}, {6, 7}}) {
    SCOPED_TRACE(testing::Message() << "box to " << x2 << "," << y2);
    TBitmap outlined(30, 30);
    outlined.Canvas().Brush().SetColor(clBlack);
    outlined.Canvas().Ellipse(5, 6, x2, y2);
    TBitmap brushOnly(30, 30);
    brushOnly.Canvas().Pen().SetStyle(psClear);
    brushOnly.Canvas().Brush().SetColor(clBlack);
    brushOnly.Canvas().Ellipse(5, 6, x2, y2);
    const auto brushPts = Painted(brushOnly);
    EXPECT_EQ(brushPts, Painted(outlined));
    EXPECT_EQ(BoundsOf(brushPts), (Box{5, 6, x2 - 1, y2 - 1}));
    // A dotted outline leaves its gaps in the brush colour, so the box stays covered.
    TBitmap dotted(30, 30);
    dotted.Canvas().Pen().SetStyle(psDot);
    dotted.Canvas().Pen().SetColor(clRed);
    dotted.Canvas().Brush().SetColor(clBlack);
    dotted.Canvas().Ellipse(5, 6, x2, y2);
    EXPECT_EQ(Painted(dotted), brushPts);
  }

  // FillRect covers Left..Right-1 whatever the pen mode.
  TBitmap fill(20, 20);
  fill.Canvas().Pen().SetMode(pmXor);
  fill.Canvas().Brush().SetColor(clGreen);
  fill.Canvas().FillRect(Rect(2, 3, 7, 5));
  pts = Painted(fill);
  EXPECT_EQ(BoundsOf(pts), (Box{2, 3, 6, 4}));
  EXPECT_EQ(fill.Canvas().Pixels(2, 3), clGreen);
}

TEST(Canvas, XorDrawingTwiceRestoresTheImage)
{
  TBitmap bmp(60, 40);
  TCanvas& c = bmp.Canvas();
  c.Brush().SetColor(RGB(10, 200, 30));
  c.FillRect(Rect(0, 0, 30, 40));
  const QImage before = bmp.Image().copy();
  c.Pen().SetMode(pmXor);
  c.Pen().SetColor(RGB(200, 100, 50));
  c.Brush().SetColor(RGB(7, 77, 177));
  auto drawAll = [&c] {
    c.MoveTo(1, 1);
    c.LineTo(57, 33);
    c.LineTo(5, 38);
    c.Rectangle(10, 5, 50, 30);
    c.Pen().SetStyle(psDashDot);
    c.Brush().SetStyle(bsClear);
    c.MoveTo(0, 20);
    c.LineTo(59, 20);
    c.Pen().SetStyle(psSolid);
    c.Brush().SetStyle(bsSolid);
  };
  drawAll();
  EXPECT_NE(bmp.Image(), before);
  drawAll();
  EXPECT_EQ(bmp.Image(), before);

  // Invert mode ignores the colour and also restores after two passes.
  c.Pen().SetMode(pmNot);
  c.MoveTo(3, 3);
  c.LineTo(40, 3);
  EXPECT_EQ(c.Pixels(3, 3), RGB(255 - 10, 255 - 200, 255 - 30));
  c.MoveTo(3, 3);
  c.LineTo(40, 3);
  EXPECT_EQ(bmp.Image(), before);

  // The focus rectangle toggles the same way.
  c.DrawFocusRect(Rect(5, 5, 25, 15));
  EXPECT_NE(bmp.Image(), before);
  c.DrawFocusRect(Rect(5, 5, 25, 15));
  EXPECT_EQ(bmp.Image(), before);

  // Shapes whose outline and inside meet set each pixel once: on black, xor gives exactly what
  // copy gives, with no outline pixel cancelled by the fill.
  const std::vector<TPoint> star = {{5, 30}, {20, 2}, {35, 30}, {2, 12}, {38, 12}};
  const std::function<void(TCanvas&)> shapes[] = {
      [](TCanvas& k) { k.Ellipse(3, 4, 31, 27); },
      [](TCanvas& k) { k.Ellipse(10, 10, 11, 20); },
      [&star](TCanvas& k) { k.Polygon(star); },
      [](TCanvas& k) {
        k.Pen().SetWidth(3);
        k.Rectangle(5, 5, 30, 25);
      },
      [](TCanvas& k) {
        k.Pen().SetWidth(4);
        k.Ellipse(6, 3, 33, 30);
      },
      [&star](TCanvas& k) {
        k.Pen().SetWidth(2);
        k.Polygon(star);
      }};
  int index = 0;
  for (const auto& shape : shapes) {
    SCOPED_TRACE(testing::Message() << "shape " << index++);
    QImage results[2];
    for (TPenMode mode : {pmCopy, pmXor}) {
      TBitmap black(40, 35);
      TCanvas& k = black.Canvas();
      k.Brush().SetColor(clBlack);
      k.FillRect(Rect(0, 0, 40, 35));
      k.Pen().SetColor(RGB(200, 100, 50));
      k.Brush().SetColor(RGB(7, 77, 177));
      k.Pen().SetMode(mode);
      shape(k);
      results[mode == pmXor] = black.Image().copy();
    }
    EXPECT_EQ(results[1], results[0]);
    TBitmap painted;
    painted.SetImage(results[0]);
    EXPECT_GE(Painted(painted, clBlack).size(), 10u);
  }
}

TEST(Canvas, DashPatternsRunInPixelsAndRestartAtEachLine)
{
  struct Case {
    TPenStyle Style;
    std::vector<int> Runs;
  };
  const Case cases[] = {{psDot, {3, 3}}, {psDash, {18, 6}}, {psDashDot, {9, 6, 3, 6}},
                        {psDashDotDot, {9, 3, 3, 3, 3, 3}}};
  for (const Case& k : cases) {
    TBitmap bmp(100, 3);
    TCanvas& c = bmp.Canvas();
    c.Pen().SetStyle(k.Style);
    c.Brush().SetStyle(bsClear);
    c.MoveTo(0, 1);
    c.LineTo(60, 1);
    c.LineTo(99, 1);  // restarts the pattern at x = 60
    int x = 0;
    bool on = true;
    auto expectRuns = [&](int from, int to) {
      x = from;
      on = true;
      size_t r = 0;
      while (x < to) {
        for (int i = 0; i < k.Runs[r] && x < to; ++i, ++x)
          EXPECT_EQ(c.Pixels(x, 1), on ? clBlack : clWhite) << "style " << k.Style << " x " << x;
        on = !on;
        r = (r + 1) % k.Runs.size();
      }
    };
    expectRuns(0, 60);
    expectRuns(60, 99);
  }
  // With a solid brush the gaps take the brush colour.
  TBitmap bmp(20, 1);
  TCanvas& c = bmp.Canvas();
  c.Pen().SetStyle(psDot);
  c.Brush().SetColor(clYellow);
  c.MoveTo(0, 0);
  c.LineTo(12, 0);
  EXPECT_EQ(c.Pixels(0, 0), clBlack);
  EXPECT_EQ(c.Pixels(3, 0), clYellow);
  EXPECT_EQ(c.Pixels(6, 0), clBlack);
  EXPECT_EQ(c.Pixels(12, 0), clWhite);
  // A clear pen draws nothing.
  c.Pen().SetStyle(psClear);
  c.MoveTo(0, 0);
  c.LineTo(19, 0);
  EXPECT_EQ(c.Pixels(14, 0), clWhite);
}

TEST(Canvas, PolygonAndPolylineOutlines)
{
  TBitmap bmp(20, 20);
  TCanvas& c = bmp.Canvas();
  const std::vector<TPoint> tri = {{2, 2}, {12, 2}, {2, 12}};
  c.Brush().SetColor(clRed);
  c.Polygon(tri);
  for (const TPoint& p : tri)
    EXPECT_EQ(c.Pixels(p.X, p.Y), clBlack);  // every vertex is on the outline
  EXPECT_EQ(c.Pixels(4, 4), clRed);
  EXPECT_EQ(c.Pixels(10, 10), clWhite);
  EXPECT_EQ(BoundsOf(Painted(bmp)), (Box{2, 2, 12, 12}));

  // A filled convex polygon leaves no hole between its inside and its outline: every row is
  // painted without a gap from the outline's left end to its right end, and nothing beyond it.
  const std::vector<std::vector<TPoint>> convex = {
      {{6, 7}, {10, 14}, {14, 7}},   {{6, 13}, {10, 6}, {14, 13}}, {{13, 8}, {8, 10}, {13, 12}},
      {{7, 8}, {12, 10}, {7, 12}},   {{6, 7}, {13, 10}, {6, 13}},  {{8, 10}, {10, 12}, {12, 10}},
      {{1, 1}, {18, 5}, {9, 18}},    {{2, 9}, {9, 2}, {17, 9}, {9, 17}}};
  for (const auto& shape : convex) {
    SCOPED_TRACE(testing::Message() << "polygon from (" << shape[0].X << ", " << shape[0].Y << ")");
    TBitmap outline(20, 20), filled(20, 20);
    outline.Canvas().Brush().SetStyle(bsClear);
    outline.Canvas().Polygon(shape);
    filled.Canvas().Brush().SetColor(clBlack);
    filled.Canvas().Polygon(shape);
    const auto rim = Painted(outline);
    const auto all = Painted(filled);
    std::set<std::pair<int, int>> expected;
    for (int y = 0; y < 20; ++y) {
      int lo = 20, hi = -1;
      for (auto [px, py] : rim)
        if (py == y) {
          lo = std::min(lo, px);
          hi = std::max(hi, px);
        }
      for (int x = lo; x <= hi; ++x)
        expected.insert({x, y});
    }
    EXPECT_EQ(all, expected);
  }

  TBitmap line(20, 20);
  line.Canvas().MoveTo(7, 7);
  line.Canvas().Polyline({{0, 0}, {5, 0}, {5, 5}});
  EXPECT_EQ(Painted(line).size(), 10u);  // the last point stays unset
  EXPECT_EQ(line.Canvas().Pixels(5, 5), clWhite);
  EXPECT_EQ(line.Canvas().PenPos(), Point(7, 7));
}

TEST(Canvas, TextOutPlacesTopLeftAndMovesThePen)
{
  TBitmap bmp(200, 40);
  TCanvas& c = bmp.Canvas();
  c.Font().SetName("Arial");
  c.Font().SetSize(10);
  c.Font().SetColor(clBlack);
  c.Brush().SetStyle(bsClear);
  c.TextOut(20, 10, "HHHH");
  const int w = c.TextWidth("HHHH");
  const int h = c.TextHeight("HHHH");
  EXPECT_GT(w, 20);
  EXPECT_EQ(c.PenPos(), Point(20 + w, 10));
  const Box b = BoundsOf(Painted(bmp));
  // Capital letters lie inside the text box, starting right below its top.
  EXPECT_GE(b.Left, 20);
  EXPECT_LE(b.Right, 20 + w);
  EXPECT_GT(b.Top, 10);
  EXPECT_LT(b.Bottom, 10 + h);

  // An opaque text fills its box with the brush.
  TBitmap opaque(200, 40);
  opaque.Canvas().Font().SetName("Arial");
  opaque.Canvas().Font().SetSize(10);
  opaque.Canvas().Brush().SetColor(clAqua);
  opaque.Canvas().TextOut(5, 5, "x");
  EXPECT_EQ(opaque.Canvas().Pixels(5, 5), clAqua);
  EXPECT_EQ(opaque.Canvas().Pixels(5 + opaque.Canvas().TextWidth("x") - 1, 5 + h - 1), clAqua);
  EXPECT_EQ(opaque.Canvas().Pixels(5 + opaque.Canvas().TextWidth("x"), 5), clWhite);

  // TextRect keeps the text inside its rectangle.
  TBitmap clip(200, 40);
  clip.Canvas().Brush().SetStyle(bsClear);
  clip.Canvas().Font().SetColor(clBlack);
  clip.Canvas().TextRect(Rect(10, 0, 30, 40), 5, 5, "WWWWWWWWWW");
  const Box cb = BoundsOf(Painted(clip));
  EXPECT_GE(cb.Left, 10);
  EXPECT_LE(cb.Right, 29);
}

TEST(Canvas, FontsMapToMetricCompatibleFamilies)
{
  TFont f;
  EXPECT_EQ(f.Name(), "MS Sans Serif");
  EXPECT_EQ(f.Size(), 8);
  EXPECT_EQ(f.Height(), -11);  // 8 points at 96 pixels per inch
  EXPECT_EQ(f.ToQFont().family(), "Liberation Sans");
  f.SetName("Courier New");
  const QFontInfo info(f.ToQFont());
  EXPECT_EQ(info.family(), "Liberation Mono");
  EXPECT_TRUE(info.fixedPitch());
  int changes = 0;
  f.OnChange = [&changes](TObject*) { ++changes; };
  f.SetSize(12);
  EXPECT_EQ(f.Height(), -16);
  f.SetPixelsPerInch(300);  // a printer: same point size, more pixels
  EXPECT_EQ(f.Size(), 12);
  EXPECT_EQ(f.Height(), -50);
  f.SetBold(true);
  f.SetBold(true);
  EXPECT_TRUE(f.ToQFont().bold());
  EXPECT_EQ(changes, 3);
  EXPECT_TRUE(QFontInfo(FixedPitchFont(9)).fixedPitch());

  // Qt widgets given the classic name directly get the same family once substitutions are in.
  InstallFontSubstitutions();
  InstallFontSubstitutions();
  EXPECT_EQ(QFontInfo(QFont("MS Sans Serif")).family(), "Liberation Sans");
  EXPECT_EQ(QFont::substitutes("MS Sans Serif").size(), 1);  // not inserted twice
}

TEST(Bitmap, DrawStretchLoadAndResize)
{
  TBitmap src(4, 2);
  src.Canvas().Brush().SetColor(clRed);
  src.Canvas().FillRect(Rect(0, 0, 2, 2));
  TBitmap dst(20, 20);
  dst.Canvas().Draw(5, 6, src);
  EXPECT_EQ(dst.Canvas().Pixels(5, 6), clRed);
  EXPECT_EQ(dst.Canvas().Pixels(7, 7), clWhite);
  dst.Canvas().StretchDraw(Rect(0, 10, 8, 14), src);
  EXPECT_EQ(dst.Canvas().Pixels(3, 13), clRed);
  EXPECT_EQ(dst.Canvas().Pixels(4, 10), clWhite);

  // A canvas reference keeps working across a resize, with its pen; old pixels survive.
  TCanvas& c = src.Canvas();
  c.Pen().SetColor(clBlue);
  src.SetSize(10, 10);
  EXPECT_EQ(c.Pixels(1, 1), clRed);
  EXPECT_EQ(c.Pixels(8, 8), clWhite);
  c.MoveTo(0, 9);
  c.LineTo(10, 9);
  EXPECT_EQ(c.Pixels(9, 9), clBlue);

  QTemporaryDir dir;
  const QString path = dir.filePath("pic.bmp");
  ASSERT_TRUE(src.Image().save(path, "BMP"));
  TBitmap loaded;
  ASSERT_TRUE(loaded.LoadFromFile(path.toStdString()));
  EXPECT_EQ(loaded.Width(), 10);
  EXPECT_EQ(loaded.Canvas().Pixels(1, 1), clRed);
  EXPECT_EQ(loaded.Canvas().Pixels(5, 9), clBlue);
  EXPECT_FALSE(loaded.LoadFromFile(dir.filePath("missing.bmp").toStdString()));
  EXPECT_EQ(loaded.Width(), 10);

  // Transparent parts of an image turn white in a bitmap, and stay untouched by DrawImage.
  QImage alpha(4, 4, QImage::Format_ARGB32);
  alpha.fill(Qt::transparent);
  alpha.setPixel(1, 1, qRgba(255, 0, 0, 255));
  TBitmap flat;
  flat.SetImage(alpha);
  EXPECT_EQ(flat.Canvas().Pixels(0, 0), clWhite);
  EXPECT_EQ(flat.Canvas().Pixels(1, 1), clRed);
  TBitmap under(4, 4);
  under.Canvas().Brush().SetColor(clBlue);
  under.Canvas().FillRect(Rect(0, 0, 4, 4));
  under.Canvas().DrawImage(0, 0, alpha);
  EXPECT_EQ(under.Canvas().Pixels(0, 0), clBlue);
  EXPECT_EQ(under.Canvas().Pixels(1, 1), clRed);

  TBitmap empty;
  empty.SetSize(-3, 5);
  EXPECT_TRUE(empty.Empty());
  empty.Canvas().LineTo(3, 3);  // no device: nothing happens, nothing crashes
  EXPECT_EQ(empty.Canvas().Pixels(0, 0), clNone);
}

TEST(Canvas, ForeignPainterWithTransform)
{
  // The grid hands over a painter it opened itself, possibly translated.
  QImage img(20, 20, QImage::Format_RGB32);
  img.fill(Qt::white);
  QPainter p(&img);
  p.translate(5, 5);
  {
    TCanvas c(&p);
    EXPECT_FALSE(c.IsPrinter());
    c.MoveTo(0, 0);
    c.LineTo(3, 0);
    EXPECT_EQ(c.Pixels(0, 0), clBlack);
    EXPECT_EQ(c.Pixels(3, 0), clWhite);
  }
  EXPECT_TRUE(p.isActive());  // a foreign painter is not closed by the canvas
  p.end();
  EXPECT_EQ(img.pixel(5, 5), qRgb(0, 0, 0));
  EXPECT_EQ(img.pixel(7, 5), qRgb(0, 0, 0));
  EXPECT_EQ(img.pixel(8, 5), qRgb(255, 255, 255));
}

TEST(Canvas, FastImagePathAgreesWithPainterPathAndHonoursClip)
{
  // On a pixmap the canvas cannot write pixels itself and goes through QPainter; both ways must
  // give exactly the same pixels.
  auto draw = [](QPainter& p) {
    TCanvas c(&p);
    c.Brush().SetColor(clYellow);
    for (TPenMode mode : {pmCopy, pmXor, pmNot, pmNotXor})
      for (TPenStyle style : {psSolid, psDot, psDashDotDot}) {
        c.Pen().SetMode(mode);
        c.Pen().SetStyle(style);
        c.Pen().SetColor(RGB(30 * mode, 200, 40 * style));
        c.MoveTo(3 + mode, 1 + style);
        c.LineTo(57 - mode, 38 - 2 * style);
        c.LineTo(2, 30);
        c.Rectangle(5 + 3 * mode, 5 + style, 40, 35);
      }
    c.SetPixels(59, 39, clRed);
    c.DrawFocusRect(Rect(1, 1, 50, 20));
  };
  QImage direct(60, 40, QImage::Format_RGB32);
  direct.fill(Qt::white);
  {
    QPainter p(&direct);
    draw(p);
  }
  QPixmap pixmap(60, 40);
  pixmap.fill(Qt::white);
  {
    QPainter p(&pixmap);
    draw(p);
  }
  EXPECT_EQ(direct, pixmap.toImage().convertToFormat(QImage::Format_RGB32));

  // A rectangular clip keeps the direct path inside it.
  QImage clipped(60, 40, QImage::Format_RGB32);
  clipped.fill(Qt::white);
  {
    QPainter p(&clipped);
    p.setClipRect(10, 10, 20, 20);
    TCanvas c(&p);
    c.MoveTo(0, 15);
    c.LineTo(60, 15);
    c.SetPixels(5, 5, clRed);
  }
  EXPECT_EQ(clipped.pixel(9, 15), qRgb(255, 255, 255));
  EXPECT_EQ(clipped.pixel(10, 15), qRgb(0, 0, 0));
  EXPECT_EQ(clipped.pixel(29, 15), qRgb(0, 0, 0));
  EXPECT_EQ(clipped.pixel(30, 15), qRgb(255, 255, 255));
  EXPECT_EQ(clipped.pixel(5, 5), qRgb(255, 255, 255));
}

TEST(Canvas, FarAwayEndsDrawOnlyTheVisiblePartExactly)
{
  // Long lines are walked only where they are visible: the pixels must be the ones the whole
  // line would set, with the dash pattern counted from the real start pixel. The reference is the
  // same line drawn whole on a big image, shifted by (Ox, Oy).
  constexpr int Ox = 1000, Oy = 700;
  struct Case {
    int X0, Y0, X1, Y1;
    TPenStyle Style;
  };
  const Case cases[] = {{-1000, -300, 1000, 337, psSolid}, {-1000, -300, 1000, 337, psDot},
                        {1000, 20, -1000, 5, psDashDot},  {7, -700, 30, 650, psDashDotDot},
                        {-999, 13, 998, 13, psDot},       {25, 600, 25, -650, psDash},
                        {-980, -900, 1020, 900, psDashDot}, {900, -772, -600, 578, psDot}};
  for (const Case& k : cases) {
    SCOPED_TRACE(testing::Message() << k.X0 << "," << k.Y0 << " to " << k.X1 << "," << k.Y1);
    TBitmap small(40, 40);
    small.Canvas().Pen().SetStyle(k.Style);
    small.Canvas().Brush().SetColor(clYellow);
    small.Canvas().MoveTo(k.X0, k.Y0);
    small.Canvas().LineTo(k.X1, k.Y1);
    TBitmap big(2100, 1500);
    big.Canvas().Pen().SetStyle(k.Style);
    big.Canvas().Brush().SetColor(clYellow);
    big.Canvas().MoveTo(k.X0 + Ox, k.Y0 + Oy);
    big.Canvas().LineTo(k.X1 + Ox, k.Y1 + Oy);
    EXPECT_FALSE(Painted(small).empty());
    EXPECT_EQ(small.Image(), big.Image().copy(Ox, Oy, 40, 40));
  }
  // Many random lines, most of them missing the small image or leaving it through its top or
  // bottom edge, in every style and both pen modes.
  {
    std::mt19937 rng(5);
    std::uniform_int_distribution<int> rx(-Ox, Ox), ry(-Oy, Oy), style(psSolid, psDashDotDot), color(0, 0xFFFFFF);
    TBitmap small(40, 40);
    TBitmap big(2100, 1500);
    for (int i = 0; i < 400; ++i) {
      const int x0 = rx(rng), y0 = ry(rng), x1 = rx(rng), y1 = ry(rng);
      const auto st = static_cast<TPenStyle>(style(rng));
      const auto col = static_cast<TColor>(color(rng));
      for (auto [bmp, dx, dy] : {std::tuple{&small, 0, 0}, {&big, Ox, Oy}}) {
        TCanvas& c = bmp->Canvas();
        c.Pen().SetStyle(st);
        c.Pen().SetColor(col);
        c.Pen().SetMode(i % 2 ? pmXor : pmCopy);
        c.Brush().SetColor(col ^ 0x808080);
        c.MoveTo(x0 + dx, y0 + dy);
        c.LineTo(x1 + dx, y1 + dy);
      }
    }
    EXPECT_GT(Painted(small).size(), 100u);
    EXPECT_EQ(small.Image(), big.Image().copy(Ox, Oy, 40, 40));
  }

  // Ends at the limits of the int range: no overflow, no endless walk.
  TBitmap bmp(40, 40);
  TCanvas& c = bmp.Canvas();
  c.MoveTo(INT_MIN, 5);
  c.LineTo(INT_MAX, 5);
  c.MoveTo(INT_MIN, INT_MIN);
  c.LineTo(INT_MAX, INT_MAX);
  auto pts = Painted(bmp);
  for (int x = 0; x < 40; ++x) {
    EXPECT_TRUE(pts.count({x, 5})) << x;
    EXPECT_TRUE(pts.count({x, x})) << x;
  }
  EXPECT_EQ(pts.size(), 40u + 39u);
  // xor over the same far line restores the image.
  const QImage before = bmp.Image().copy();
  c.Pen().SetMode(pmXor);
  c.Pen().SetColor(clLime);
  for (int pass = 0; pass < 2; ++pass) {
    c.MoveTo(INT_MIN / 3, INT_MAX / 5);
    c.LineTo(INT_MAX / 2, INT_MIN / 7);
  }
  EXPECT_EQ(bmp.Image(), before);
  c.Pen().SetMode(pmCopy);

  // Shapes with far corners: a huge filled box covers everything, a huge hollow one nothing, a
  // one-pixel-high strip and a focus rectangle only their visible pixels.
  TBitmap shapes(30, 20);
  TCanvas& s = shapes.Canvas();
  s.Brush().SetStyle(bsClear);
  s.Rectangle(INT_MIN, INT_MIN, INT_MAX, INT_MAX);
  s.Ellipse(INT_MIN, INT_MIN, INT_MAX, INT_MAX);
  s.DrawFocusRect(Rect(INT_MIN, INT_MIN, INT_MAX, INT_MAX));
  EXPECT_TRUE(Painted(shapes).empty());
  s.Rectangle(-5, 3, INT_MAX, 4);
  EXPECT_EQ(Painted(shapes).size(), 30u);
  s.DrawFocusRect(Rect(-7, 10, INT_MAX, 12));
  EXPECT_EQ(Painted(shapes).size(), 30u + 30u);  // every other pixel of two rows
  s.Brush().SetStyle(bsSolid);
  s.Brush().SetColor(clRed);
  s.Rectangle(INT_MIN, INT_MIN, INT_MAX, INT_MAX);
  s.FillRect(Rect(INT_MIN, INT_MIN, INT_MAX, INT_MAX));
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 30; ++x)
      ASSERT_EQ(s.Pixels(x, y), clRed) << x << "," << y;
}

// A bitmap at a device pixel ratio of 2 keeps logical sizes and draws in vector mode: a diagonal
// line leaves no gap on any device row (pixel by pixel it would set every other row only), and
// a one-pixel outline is two device pixels wide.
TEST(CanvasDense, ABitmapAtRatioTwoDrawsWholeLinesInLogicalPixels)
{
  TBitmap b(20, 20, 2.0);
  EXPECT_EQ(b.Width(), 20);
  EXPECT_EQ(b.Image().size(), QSize(40, 40));
  TCanvas& c = b.Canvas();
  EXPECT_TRUE(c.VectorMode());
  c.Pen().SetColor(clBlack);
  c.MoveTo(0, 0);
  c.LineTo(18, 18);
  const QImage& img = b.Image();
  for (int y = 1; y < 36; ++y) {
    int black = 0;
    for (int x = 0; x < 40; ++x)
      black += (img.pixel(x, y) & 0xFFFFFF) == 0;
    EXPECT_GE(black, 1) << y;
  }
  TBitmap r(20, 20, 2.0);
  r.Canvas().Pen().SetColor(clBlack);
  r.Canvas().Brush().SetStyle(bsClear);
  r.Canvas().Rectangle(2, 2, 12, 12);
  const QImage& ri = r.Image();
  EXPECT_EQ(ri.pixel(4, 10) & 0xFFFFFF, 0u);
  EXPECT_EQ(ri.pixel(5, 10) & 0xFFFFFF, 0u);
  EXPECT_EQ(ri.pixel(6, 10) & 0xFFFFFF, 0xFFFFFFu);
  EXPECT_EQ(ri.pixel(3, 10) & 0xFFFFFF, 0xFFFFFFu);
  // A ratio of 1 is the plain pixel canvas.
  TBitmap plain(20, 20);
  EXPECT_FALSE(plain.Canvas().VectorMode());
}
