// The chart and the scale control on a high-density screen: the offscreen
// platform with QT_SCALE_FACTOR=2 (set before the application starts) gives every widget a
// device pixel ratio of 2. Back buffers hold twice the pixels each way, one-pixel lines are one
// logical pixel (two device pixels) wide with sharp edges, and sizes, margins, mappings and
// mouse positions stay logical.
#include "orvex_rchart.h"

#include <QApplication>
#include <QtGlobal>
#include <gtest/gtest.h>

using namespace orvex;

namespace {

// Runs before main() creates the application.
const bool ScaledScreen = [] {
  qputenv("QT_SCALE_FACTOR", "2");
  return true;
}();

bool Black(const QImage& Image, int X, int Y) { return (Image.pixel(X, Y) & 0xFFFFFF) == 0; }

}  // namespace

TEST(RChartHighDensity, BackBufferAtTwiceThePixelsWithSharpOnePixelLines)
{
  ASSERT_TRUE(ScaledScreen);
  TRChart chart;
  chart.resize(280, 200);
  chart.SetRange(1, 0, 0, 1, 1);
  chart.SetDataColor(clRed);
  chart.AddMark(0.5, 0.5, 24);
  chart.show();
  QApplication::processEvents();
  ASSERT_EQ(chart.devicePixelRatioF(), 2.0);
  chart.FullPaint();

  const TBitmap& bmp = chart.ControlBitmap();
  EXPECT_EQ(bmp.Width(), 280);
  EXPECT_EQ(bmp.Height(), 200);
  EXPECT_EQ(bmp.DevicePixelRatio(), 2.0);
  const QImage& img = bmp.Image();
  ASSERT_EQ(img.size(), QSize(560, 400));

  // The plot frame's left edge at logical column MarginLeft covers device columns 2 L and
  // 2 L + 1 on every row of the plot, and nothing beside them: one logical pixel, sharp.
  const TRect p = chart.PlotRect();
  int rows = 0;
  for (int y = 2 * p.Top + 4; y < 2 * p.Bottom - 4; ++y)
    rows += Black(img, 2 * p.Left, y) && Black(img, 2 * p.Left + 1, y) && !Black(img, 2 * p.Left + 2, y);
  EXPECT_EQ(rows, 2 * (p.Bottom - p.Top) - 8);
  // the top edge likewise
  int cols = 0;
  for (int x = 2 * p.Left + 4; x < 2 * p.Right - 4; ++x)
    cols += Black(img, x, 2 * p.Top) && Black(img, x, 2 * p.Top + 1) && !Black(img, x, 2 * p.Top + 2);
  EXPECT_EQ(cols, 2 * (p.Right - p.Left) - 8);

  // The mark sits on twice its logical centre; the mapping and the hit test stay logical.
  int px = 0, py = 0;
  chart.WorldToPixel(1, 0.5, 0.5, px, py);
  EXPECT_EQ(px, p.Left + (p.Right - p.Left) / 2);
  EXPECT_EQ(img.pixel(2 * px + 1, 2 * py + 1), qRgb(255, 0, 0));
  EXPECT_EQ(img.pixel(2 * px + 1 + 5, 2 * py + 1), qRgb(255, 0, 0));
  EXPECT_EQ(chart.ItemAt(px + 1, py, 2), 0);

  // What the widget shows is that buffer.
  const QImage shown = chart.grab().toImage();
  ASSERT_EQ(shown.size(), QSize(560, 400));
  EXPECT_EQ(shown.pixel(2 * px + 1, 2 * py + 1), qRgb(255, 0, 0));
  EXPECT_TRUE(Black(shown, 2 * p.Left + 1, 2 * py));

  // A plot-only refresh keeps the density.
  chart.PlotRefresh();
  EXPECT_EQ(chart.PlotBitmap().DevicePixelRatio(), 2.0);
  EXPECT_EQ(chart.ControlBitmap().Image().pixel(2 * px + 1, 2 * py + 1), qRgb(255, 0, 0));
}

TEST(RChartHighDensity, AnOpaqueScaleControlIsSharpToo)
{
  // Its baseline is one logical pixel: exactly two device rows run black along the axis.
  TScale scale;
  scale.resize(200, 60);
  scale.SetFrameStyle(fsNone);
  scale.SetColorBackGnd(clWhite);
  scale.SetSuppressPaint(false);
  scale.show();
  QApplication::processEvents();
  const QImage s = scale.grab().toImage();
  ASSERT_EQ(s.size(), QSize(400, 120));
  int baseRows = 0;
  for (int y = 0; y < s.height(); ++y) {
    int n = 0;
    for (int x = 2 * scale.MarginLeft() + 10; x < 2 * (200 - scale.MarginRight()) - 10; ++x)
      n += Black(s, x, y);
    baseRows += n > 2 * (200 - scale.MarginLeft() - scale.MarginRight()) - 40;
  }
  EXPECT_EQ(baseRows, 2);
}
