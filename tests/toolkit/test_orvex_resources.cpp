// The compiled-in resources are reachable by name from a program that links the toolkit.
#include "orvex_resources.h"

#include <QFile>
#include <QPixmap>
#include <gtest/gtest.h>

using namespace orvex;

TEST(Resources, AllNamesResolveToImagesOfTheirSize)
{
  struct Case {
    const char* Name;
    int Size;
  };
  const Case cases[] = {{"CURHAND", 32},   {"CURZOOMW", 32}, {"CURZOOMD", 32},  {"CURZOOMP", 32},
                        {"CHECKEDBOX", 16}, {"EMPTYBOX", 16}, {"LOADDATA", 16}, {"SAVEDATA", 16}, {"SAVEDATAAS", 16}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    const QImage img = ResourceImage(c.Name);
    ASSERT_FALSE(img.isNull());
    EXPECT_EQ(img.width(), c.Size);
    EXPECT_EQ(img.height(), c.Size);
    // The path itself is usable by anyone once registered.
    EXPECT_TRUE(QFile::exists(QStringLiteral(":/") + c.Name));
  }
  EXPECT_TRUE(ResourceImage("NOSUCHNAME").isNull());
  EXPECT_TRUE(ResourceImage("").isNull());
}

TEST(Resources, CheckedAndEmptyBoxDifferOnlyInside)
{
  const QImage checked = ResourceImage("CHECKEDBOX").convertToFormat(QImage::Format_ARGB32);
  const QImage empty = ResourceImage("EMPTYBOX").convertToFormat(QImage::Format_ARGB32);
  int differing = 0;
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x)
      if (checked.pixel(x, y) != empty.pixel(x, y)) {
        ++differing;
        EXPECT_TRUE(x > 1 && x < 13 && y > 1 && y < 13) << x << "," << y;
      }
  EXPECT_GT(differing, 10);
  // The box outline is opaque, the corner outside it transparent.
  EXPECT_EQ(qAlpha(empty.pixel(1, 1)), 255);
  EXPECT_EQ(qAlpha(empty.pixel(0, 0)), 0);
}

TEST(Resources, CursorsCarryTheirImageAndHotSpot)
{
  const QCursor hand = ResourceCursor("CURHAND");
  EXPECT_EQ(hand.shape(), Qt::BitmapCursor);
  EXPECT_EQ(hand.pixmap().width(), 32);
  EXPECT_EQ(hand.hotSpot(), QPoint(9, 9));
  const QCursor zoom = ResourceCursor("CURZOOMP");
  EXPECT_EQ(zoom.hotSpot(), QPoint(11, 11));
  EXPECT_EQ(ResourceCursor("NOSUCHNAME").shape(), Qt::ArrowCursor);
}
