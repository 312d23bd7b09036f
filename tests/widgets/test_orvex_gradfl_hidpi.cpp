// The gradient panel on a high-density screen (QT_SCALE_FACTOR=2 on the offscreen platform, set
// before the application starts): its bitmap holds twice the pixels each way and the band edges
// stay sharp instead of being scaled up from a bitmap of logical pixels.
#include "orvex_gradfl.h"

#include <QApplication>
#include <QtGlobal>
#include <gtest/gtest.h>

using namespace orvex;

namespace {

const bool ScaledScreen = [] {
  qputenv("QT_SCALE_FACTOR", "2");
  return true;
}();

}  // namespace

TEST(GradFillHighDensity, BandsEndOnDevicePixelsAtTwiceTheirLogicalRows)
{
  ASSERT_TRUE(ScaledScreen);
  // Two bands over 21 logical rows: the first covers rows 0..10 (MulDiv(1, 21, 2) rounds 10.5 to
  // 11), so its last device row is 21 and the next band starts at device row 22, with no blended
  // row between them.
  TGradFill fill;
  fill.resize(40, 21);
  fill.SetFrameStyle(fsNone);
  fill.SetColorFirst(clBlack);
  fill.SetColorLast(clWhite);
  fill.SetNrColors(2);
  fill.SetFillType(gtHoriz);
  fill.show();
  QApplication::processEvents();
  ASSERT_EQ(fill.devicePixelRatioF(), 2.0);
  const QImage g = fill.grab().toImage();
  ASSERT_EQ(g.size(), QSize(80, 42));
  const QRgb first = g.pixel(40, 0), last = g.pixel(40, 41);
  ASSERT_NE(first, last);
  for (int y = 0; y < 42; ++y)
    EXPECT_EQ(g.pixel(40, y), y < 22 ? first : last) << y;
}

TEST(GradFillHighDensity, EllipsesAreDrawnAtDeviceResolution)
{
  // A bitmap of logical pixels scaled up would paint every aligned 2 x 2 block of device pixels
  // in one colour; the ellipses' edges drawn at the device's resolution split some of them.
  TGradFill fill;
  fill.resize(60, 40);
  fill.SetColorFirst(clBlack);
  fill.SetColorLast(clWhite);
  fill.SetNrColors(16);
  fill.SetFillType(gtEllipticFull);
  fill.show();
  QApplication::processEvents();
  const QImage g = fill.grab().toImage();
  ASSERT_EQ(g.size(), QSize(120, 80));
  int split = 0;
  for (int y = 0; y < 80; y += 2)
    for (int x = 0; x < 120; x += 2) {
      const QRgb a = g.pixel(x, y);
      split += g.pixel(x + 1, y) != a || g.pixel(x, y + 1) != a || g.pixel(x + 1, y + 1) != a;
    }
  EXPECT_GT(split, 20);
}
