// Chart base types: the setter and copy rules of the settings objects, and the pixels DrawMark and
// DrawFrame paint into an offscreen bitmap.
#include "orvex_orvexbase.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <set>
#include <utility>

using namespace orvex;

namespace {

using PixelSet = std::set<std::pair<int, int>>;

PixelSet PixelsOf(const TBitmap& bmp, TColor Color)
{
  PixelSet result;
  const QImage& img = bmp.Image();
  for (int y = 0; y < img.height(); ++y)
    for (int x = 0; x < img.width(); ++x)
      if (FromQColor(QColor::fromRgb(img.pixel(x, y))) == Color)
        result.insert({x, y});
  return result;
}

PixelSet NotWhite(const TBitmap& bmp)
{
  PixelSet result;
  const QImage& img = bmp.Image();
  for (int y = 0; y < img.height(); ++y)
    for (int x = 0; x < img.width(); ++x)
      if (FromQColor(QColor::fromRgb(img.pixel(x, y))) != clWhite)
        result.insert({x, y});
  return result;
}

// Draws one mark at (20, 20) of a white 40x40 bitmap in red.
PixelSet Mark(int Type)
{
  TBitmap bmp(40, 40);
  bmp.Canvas().Pen().SetColor(clRed);
  DrawMark(bmp.Canvas(), static_cast<std::uint8_t>(Type), 20, 20);
  return NotWhite(bmp);
}

PixelSet Offsets(std::initializer_list<std::pair<int, int>> d)
{
  PixelSet s;
  for (auto [dx, dy] : d)
    s.insert({20 + dx, 20 + dy});
  return s;
}

// Property values are stored and compared by ordinal, so the order of every enumeration is part
// of its contract.
static_assert(bfTile == 2 && csSystem == 1 && ftUserText == 4 && sctYR == 3 && vaBottom == 2);
static_assert(ylYYYY == 2 && doYYMMDD == 2 && dtAllTicks == 3 && ssBox == 1 && fsEngraved == 5);
static_assert(tfAMPM == 2 && orHoriz == 1 && chBox == 5 && tlamBoth == 3);
static_assert(tlsimple == 1 && tlShadow == 4);
static_assert(maZoomDrag == 9 && maDragCrossH == 10 && maSelectRect == 16 && maZoomPanColors == 18);
static_assert(uaSclTopLft == 0 && uaSclCenter == 1 && uaSclBotRgt == 2);

}  // namespace

TEST(SettingsObjects, SetterRules)
{
  int changes = 0;
  auto count = [&changes](TObject*) { ++changes; };

  TCrossHair ch;
  EXPECT_EQ(ch.Layer(), 0);  // everything zero until the chart sets its defaults
  ch.OnChange = count;
  for (auto [in, stored] : {std::pair{0, 1}, {-5, 1}, {17, 16}, {16, 16}, {7, 7}}) {
    ch.SetLayer(in);
    EXPECT_EQ(ch.Layer(), stored) << in;
  }
  ch.SetColor(ch.Color());  // unconditional
  EXPECT_EQ(changes, 6);

  changes = 0;
  TCustomTextLabel lbl;
  EXPECT_EQ(lbl.PosX(), 100.0);
  EXPECT_EQ(lbl.PosY(), 10.0);
  EXPECT_EQ(lbl.ColorShadow(), RGB(128, 128, 128));
  EXPECT_EQ(lbl.ColorBkg(), RGB(192, 192, 192));
  EXPECT_EQ(lbl.Mode(), tlsimple);
  EXPECT_EQ(lbl.VerticalAlignment(), vaBottom);
  EXPECT_EQ(lbl.Alignment(), taCenter);
  EXPECT_EQ(lbl.AttachToData(), tlamNone);
  EXPECT_EQ(lbl.ColorBorder(), clBlack);
  EXPECT_EQ(lbl.Layer(), 1);
  EXPECT_FALSE(lbl.Transparent());
  EXPECT_TRUE(lbl.Visible());
  lbl.OnChange = count;
  lbl.SetLayer(5);
  lbl.SetLayer(0);
  lbl.SetLayer(17);
  EXPECT_EQ(lbl.Layer(), 5);
  EXPECT_EQ(changes, 1);
  lbl.SetCaption("a\tb\nc\rd\x01");
  EXPECT_EQ(lbl.Caption(), "a b\nc d ");
  lbl.SetCaption("Gr\xC3\xBC\xC3\x9F");  // UTF-8 bytes above 127 are no control characters
  EXPECT_EQ(lbl.Caption(), "Gr\xC3\xBC\xC3\x9F");
  changes = 0;
  TFont big;
  big.SetSize(20);
  big.SetBold(true);
  lbl.SetFont(big);
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(lbl.Font().Size(), 20);
  EXPECT_TRUE(lbl.Font().Bold());
  lbl.Font().SetItalic(true);  // the label notices changes of its own font
  EXPECT_EQ(changes, 2);

  changes = 0;
  TDTLabel dt;
  EXPECT_EQ(dt.DateSeparator(), '\0');
  dt.OnChange = count;
  dt.SetDateSeparator('\0');
  dt.SetMonthName(false);
  dt.SetYearLength(ylNone);
  EXPECT_EQ(changes, 0);
  dt.SetTimeFormat(tfHHMMSS);
  dt.SetDateOrder(doMMDDYY);
  EXPECT_EQ(changes, 2);
  dt.SetDateSeparator('/');
  dt.SetTimeSeparator(':');
  dt.SetDateForTime(dtOnePerDay);
  EXPECT_EQ(changes, 5);
}

TEST(SettingsObjects, AssignCopiesSettingsAndHandlerWithoutEvent)
{
  int srcEvents = 0;
  int dstEvents = 0;
  TDTLabel src;
  src.SetDateSeparator('.');
  src.SetYearLength(ylYYYY);
  src.SetMonthName(true);
  src.SetDateForTime(dtAllTicks);
  src.OnChange = [&srcEvents](TObject*) { ++srcEvents; };
  TDTLabel dst;
  dst.OnChange = [&dstEvents](TObject*) { ++dstEvents; };
  dst.Assign(src);
  EXPECT_EQ(dst.DateSeparator(), '.');
  EXPECT_EQ(dst.YearLength(), ylYYYY);
  EXPECT_TRUE(dst.MonthName());
  EXPECT_EQ(dst.DateForTime(), dtAllTicks);
  EXPECT_EQ(srcEvents + dstEvents, 0);
  dst.SetTimeSeparator('-');  // now reports to the source's handler
  EXPECT_EQ(srcEvents, 1);
  EXPECT_EQ(dstEvents, 0);

  TCrossHair a;
  a.SetLayer(3);
  a.SetPosX(1.5);
  a.SetPosY(-2.0);
  a.SetColor(clTeal);
  a.SetMode(chCrossBox);
  a.SetLineWid(2);
  a.SetLineType(psDashDotDot);
  int aEvents = 0;
  int bEvents = 0;
  a.OnChange = [&aEvents](TObject*) { ++aEvents; };
  TCrossHair b;
  b.OnChange = [&bEvents](TObject*) { ++bEvents; };
  b.Assign(a);
  EXPECT_EQ(b.Layer(), 3);
  EXPECT_EQ(b.PosX(), 1.5);
  EXPECT_EQ(b.PosY(), -2.0);
  EXPECT_EQ(b.Color(), clTeal);
  EXPECT_EQ(b.Mode(), chCrossBox);
  EXPECT_EQ(b.LineWid(), 2);
  EXPECT_EQ(b.LineType(), psDashDotDot);
  EXPECT_EQ(aEvents + bEvents, 0);
  b.SetPosX(0.0);  // the handler came along
  EXPECT_EQ(aEvents, 1);
  EXPECT_EQ(bEvents, 0);

  TCustomTextLabel l1;
  l1.SetCaption("x\ny");
  l1.Font().SetName("Courier New");
  l1.SetTransparent(true);
  int l1Events = 0;
  l1.OnChange = [&l1Events](TObject*) { ++l1Events; };
  TCustomTextLabel l2;
  l2.Assign(l1);
  EXPECT_EQ(l1Events, 0);
  EXPECT_EQ(l2.Caption(), "x\ny");
  EXPECT_EQ(l2.Font().Name(), "Courier New");
  EXPECT_TRUE(l2.Transparent());
  EXPECT_NE(&l2.Font(), &l1.Font());  // its own font object
  // The handler came along too, and the copied font still reports to its own label.
  l2.Font().SetBold(true);
  EXPECT_EQ(l1Events, 1);
  EXPECT_FALSE(l1.Font().Bold());

  // Unrelated classes refuse in both directions.
  EXPECT_THROW(dst.Assign(a), EOrvexConvertError);
  EXPECT_THROW(b.Assign(src), EOrvexConvertError);
  try {
    l2.Assign(src);
    FAIL();
  } catch (const EOrvexError& e) {
    EXPECT_STREQ(e.what(), "Cannot assign a TDTLabel to a TCustomTextLabel");
  }
}

TEST(DrawMark, ShapesCoverTheirPixels)
{
  // Glyph marks and line marks, pixel exact.
  EXPECT_EQ(Mark(0), Offsets({{0, 0}}));
  EXPECT_EQ(Mark(1), Offsets({{0, -1}, {-1, 0}, {0, 0}, {1, 0}, {0, 1}}));
  EXPECT_EQ(Mark(4), Offsets({{-1, -1}, {1, -1}, {0, 0}, {-1, 1}, {1, 1}}));
  EXPECT_EQ(Mark(3).size(), 13u);
  EXPECT_EQ(Mark(6).size(), 13u);
  EXPECT_EQ(Mark(18).size(), 25u);
  EXPECT_TRUE(Mark(18).count({17, 17}) && Mark(18).count({23, 23}) && Mark(18).count({20, 20}));
  EXPECT_EQ(Mark(10), Offsets({{-1, -1}, {0, -1}, {1, -1}, {-1, 0}, {1, 0}, {-1, 1}, {0, 1}, {1, 1}}));
  EXPECT_EQ(Mark(13).size(), 13u);
  EXPECT_EQ(Mark(19).size(), 12u);
  EXPECT_FALSE(Mark(19).count({20, 20}));
  EXPECT_EQ(Mark(20), Offsets({{0, 0}, {-1, 1}, {-2, 2}, {1, 1}, {2, 2}}));
  EXPECT_EQ(Mark(23), Offsets({{0, 0}, {-1, -1}, {-2, -2}, {-3, -3}, {1, -1}, {2, -2}, {3, -3}}));

  // Filled squares cover X-a..X+a.
  for (int a = 1; a <= 3; ++a) {
    const PixelSet p = Mark(6 + a);
    EXPECT_EQ(p.size(), static_cast<size_t>((2 * a + 1) * (2 * a + 1)));
    EXPECT_TRUE(p.count({20 - a, 20 - a}) && p.count({20 + a, 20 + a}));
  }

  // 26 is a filled circle five pixels across; 24 seven.
  for (auto [type, radius] : {std::pair{26, 2}, {24, 3}}) {
    const PixelSet p = Mark(type);
    for (int d = -radius; d <= radius; ++d) {
      EXPECT_TRUE(p.count({20 + d, 20})) << type << " row " << d;
      EXPECT_TRUE(p.count({20, 20 + d})) << type << " column " << d;
    }
    EXPECT_FALSE(p.count({20 + radius + 1, 20}));
    EXPECT_FALSE(p.count({20 - radius - 1, 20}));
    EXPECT_FALSE(p.count({20, 20 + radius + 1}));
  }
  // 16 is the outline of 26: the centre stays free.
  EXPECT_FALSE(Mark(16).count({20, 20}));
  EXPECT_TRUE(Mark(16).count({22, 20}));

  // Every shape stays near its centre and paints only in the pen colour.
  for (int t = 0; t <= 51; ++t) {
    TBitmap bmp(40, 40);
    bmp.Canvas().Pen().SetColor(clRed);
    DrawMark(bmp.Canvas(), static_cast<std::uint8_t>(t), 20, 20);
    const PixelSet all = NotWhite(bmp);
    EXPECT_FALSE(all.empty()) << t;
    EXPECT_EQ(all, PixelsOf(bmp, clRed)) << t;
    for (auto [x, y] : all)
      EXPECT_TRUE(std::abs(x - 20) <= 4 && std::abs(y - 20) <= 8) << "mark " << t << " at " << x << "," << y;
  }
  // The bold cross spans -3..+3 in both diagonals.
  const PixelSet bold = Mark(25);
  for (int d = -3; d <= 3; ++d) {
    EXPECT_TRUE(bold.count({20 + d, 20 + d})) << d;
    EXPECT_TRUE(bold.count({20 + d, 20 - d})) << d;
  }
}

TEST(DrawMark, EveryShapeFillsTheBoxOfItsCorners)
{
  // The box each shape reaches (offsets from the centre), from the corner coordinates of the
  // shape: lines and boxes leave out their right/bottom end, polygons include their vertices.
  // Centre tells whether the centre pixel itself is painted (not for hollow outlines).
  struct Box {
    int Type, X0, X1, Y0, Y1;
    bool Centre;
  };
  const Box boxes[] = {
      {0, 0, 0, 0, 0, true},     {1, -1, 1, -1, 1, true},    {2, -2, 2, -2, 2, true},
      {3, -3, 3, -3, 3, true},   {4, -1, 1, -1, 1, true},    {5, -2, 2, -2, 2, true},
      {6, -3, 3, -3, 3, true},   {7, -1, 1, -1, 1, true},    {8, -2, 2, -2, 2, true},
      {9, -3, 3, -3, 3, true},   {10, -1, 1, -1, 1, false},  {11, -2, 2, -2, 2, false},
      {12, -3, 3, -3, 3, false}, {13, -3, 3, -3, 3, true},   {14, -2, 2, -2, 2, true},
      {15, -3, 3, -3, 3, true},  {16, -2, 2, -2, 2, false},  {17, -3, 3, -3, 3, false},
      {18, -3, 3, -3, 3, true},  {19, -3, 3, -3, 3, false},  {20, -2, 2, 0, 2, true},
      {21, -3, 3, 0, 3, true},   {22, -2, 2, -2, 0, true},   {23, -3, 3, -3, 0, true},
      {24, -3, 3, -3, 3, true},  {25, -3, 3, -3, 3, true},   {26, -2, 2, -2, 2, true},
      {27, -2, 1, -2, 1, false}, {28, -2, 1, -2, 1, true},   {29, -2, 2, 0, 2, true},
      {30, -3, 3, 0, 3, true},   {31, -2, 2, 0, 2, true},    {32, -3, 3, 0, 3, true},
      {33, -4, 4, -3, 4, false}, {34, -4, 4, -3, 4, true},   {35, -4, 4, -4, 3, false},
      {36, -4, 4, -4, 3, true},  {37, -3, 3, -7, 0, true},   {38, -3, 3, -2, 2, true},
      {39, -3, 3, -3, 3, true},  {40, -2, 3, -2, 2, false},  {41, -2, 3, -2, 2, true},
      {42, -3, 4, -3, 3, false}, {43, -3, 4, -3, 3, true},   {44, -3, 2, -2, 2, false},
      {45, -3, 2, -2, 2, true},  {46, -4, 3, -3, 3, false},  {47, -4, 3, -3, 3, true},
      {48, -3, 3, -3, 3, true},  {49, -4, 4, -4, 4, true},   {50, -4, 4, -4, 4, true},
      {51, -4, 4, -4, 4, true}};
  for (const Box& b : boxes) {
    const PixelSet p = Mark(b.Type);
    ASSERT_FALSE(p.empty()) << b.Type;
    int x0 = 99, x1 = -99, y0 = 99, y1 = -99;
    for (auto [x, y] : p) {
      x0 = std::min(x0, x - 20);
      x1 = std::max(x1, x - 20);
      y0 = std::min(y0, y - 20);
      y1 = std::max(y1, y - 20);
    }
    EXPECT_EQ((std::array{x0, x1, y0, y1}), (std::array{b.X0, b.X1, b.Y0, b.Y1})) << "mark " << b.Type;
    EXPECT_EQ(p.count({20, 20}) == 1, b.Centre) << "mark " << b.Type;
  }

  // A filled shape covers its outline twin and more.
  for (auto [filled, outline] : {std::pair{7, 10}, {8, 11}, {9, 12}, {15, 13}, {24, 17}, {26, 16}, {28, 27},
                                 {29, 31}, {30, 32}, {34, 33}, {36, 35}, {41, 40}, {43, 42}, {45, 44}, {47, 46}}) {
    const PixelSet f = Mark(filled);
    const PixelSet o = Mark(outline);
    EXPECT_TRUE(std::includes(f.begin(), f.end(), o.begin(), o.end())) << filled << " over " << outline;
    EXPECT_GT(f.size(), o.size()) << filled << " over " << outline;
  }
}

TEST(DrawMark, CharactersAndDigitsAndRestoredBrush)
{
  // 205 is the digit 5 and 65 the letter A, each the same as the text written centred by hand.
  for (auto [type, text] : {std::pair{205, "5"}, {65, "A"}, {200, "0"}, {120, "x"}}) {
    TBitmap bmp(40, 40);
    bmp.Canvas().Pen().SetColor(clBlue);
    DrawMark(bmp.Canvas(), static_cast<std::uint8_t>(type), 20, 20);
    TBitmap ref(40, 40);
    TCanvas& c = ref.Canvas();
    c.Font().SetColor(clBlue);
    c.Brush().SetStyle(bsClear);
    c.TextOut(20 - c.TextWidth(text) / 2, 20 - c.TextHeight(text) / 2, text);
    EXPECT_EQ(bmp.Image(), ref.Image()) << type;
    EXPECT_FALSE(NotWhite(bmp).empty());
  }
  // Codes 128..159 are the printable signs of the western 8-bit set (149 the bullet, 128 the euro
  // sign), not invisible control codes.
  for (auto [type, ch] : {std::pair{149, u'\u2022'}, {128, u'\u20AC'}, {151, u'\u2014'}}) {
    TBitmap bmp(40, 40);
    bmp.Canvas().Pen().SetColor(clBlue);
    DrawMark(bmp.Canvas(), static_cast<std::uint8_t>(type), 20, 20);
    TBitmap ref(40, 40);
    TCanvas& c = ref.Canvas();
    c.Font().SetColor(clBlue);
    c.Brush().SetStyle(bsClear);
    const QString text(QChar{ch});
    c.TextOut(20 - c.TextWidth(text) / 2, 20 - c.TextHeight(text) / 2, text);
    EXPECT_FALSE(NotWhite(bmp).empty()) << type;
    EXPECT_EQ(bmp.Image(), ref.Image()) << type;
  }
  // 205 differs from 53 (the code of "5") only by going through the digit table; both draw "5".
  {
    TBitmap a(40, 40), b(40, 40);
    DrawMark(a.Canvas(), 205, 20, 20);
    DrawMark(b.Canvas(), 53, 20, 20);
    EXPECT_EQ(a.Image(), b.Image());
  }

  // Brush colour and style, and the font colour, are as before after every mark.
  TBitmap bmp(40, 40);
  TCanvas& c = bmp.Canvas();
  c.Pen().SetColor(clGreen);
  c.Font().SetColor(clMaroon);
  for (TBrushStyle style : {bsSolid, bsClear}) {
    for (int t = 0; t <= 255; ++t) {
      c.Brush().SetColor(clYellow);
      c.Brush().SetStyle(style);
      DrawMark(c, static_cast<std::uint8_t>(t), 20, 20);
      ASSERT_EQ(c.Brush().Color(), clYellow) << t;
      ASSERT_EQ(c.Brush().Style(), style) << t;
      ASSERT_EQ(c.Font().Color(), clMaroon) << t;
    }
  }
}

TEST(DrawFrame, CornerColoursByStyle)
{
  const TColor hi = RGB(255, 255, 254), light = RGB(192, 192, 191), shadow = RGB(128, 128, 127),
               dark = RGB(1, 1, 1), simple = RGB(200, 0, 0);
  struct Case {
    TFrameStyle Style;
    TColor OuterTL, OuterBR, InnerTL, InnerBR;
  };
  const Case cases[] = {{fsLowered, shadow, hi, dark, light},
                        {fsRaised, hi, dark, light, shadow},
                        {fsEmbossed, hi, shadow, shadow, hi},
                        {fsEngraved, shadow, hi, hi, shadow}};
  for (const Case& k : cases) {
    TBitmap bmp(12, 12);
    TCanvas& c = bmp.Canvas();
    DrawFrame(c, k.Style, 0, 0, 9, 9, hi, light, shadow, dark, simple);
    SCOPED_TRACE(k.Style);
    EXPECT_EQ(c.Pixels(0, 0), k.OuterTL);
    EXPECT_EQ(c.Pixels(9, 0), k.OuterTL);
    EXPECT_EQ(c.Pixels(9, 9), k.OuterBR);
    EXPECT_EQ(c.Pixels(0, 9), k.OuterBR);
    EXPECT_EQ(c.Pixels(0, 5), k.OuterTL);
    EXPECT_EQ(c.Pixels(9, 5), k.OuterBR);
    EXPECT_EQ(c.Pixels(1, 1), k.InnerTL);
    EXPECT_EQ(c.Pixels(8, 1), k.InnerTL);
    EXPECT_EQ(c.Pixels(8, 8), k.InnerBR);
    EXPECT_EQ(c.Pixels(1, 8), k.InnerBR);
    EXPECT_EQ(c.Pixels(2, 2), clWhite);
    EXPECT_EQ(c.Pixels(10, 10), clWhite);
    EXPECT_EQ(NotWhite(bmp).size(), 36u + 28u);
  }
  TBitmap simpleBmp(12, 12);
  DrawFrame(simpleBmp.Canvas(), fsSimple, 1, 1, 10, 10, hi, light, shadow, dark, simple);
  EXPECT_EQ(PixelsOf(simpleBmp, simple).size(), 36u);
  EXPECT_EQ(NotWhite(simpleBmp).size(), 36u);
  // 7 has no name but is a value of the enumeration (its range is 0..7): drawn as no frame.
  for (TFrameStyle none : {fsNone, static_cast<TFrameStyle>(7)}) {
    TBitmap bmp(12, 12);
    DrawFrame(bmp.Canvas(), none, 0, 0, 9, 9, hi, light, shadow, dark, simple);
    EXPECT_TRUE(NotWhite(bmp).empty());
  }
}
