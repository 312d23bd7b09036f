// DrawMark: the data marks of the chart, drawn through TCanvas so that their pixel coverage
// follows the canvas rules exactly.
#include "orvex_orvexbase.h"

#include <QString>

namespace orvex {

// clang-format off
const std::uint8_t MarkGlyphs[7 * MarkGlyphCount] = {
  0x00, 0x00, 0x08, 0x1C, 0x08, 0x00, 0x00,  //  1 plus, arms of 1
  0x00, 0x08, 0x08, 0x3E, 0x08, 0x08, 0x00,  //  2 plus, arms of 2
  0x08, 0x08, 0x08, 0x7F, 0x08, 0x08, 0x08,  //  3 plus, arms of 3
  0x00, 0x00, 0x14, 0x08, 0x14, 0x00, 0x00,  //  4 diagonal cross 3x3
  0x00, 0x22, 0x14, 0x08, 0x14, 0x22, 0x00,  //  5 diagonal cross 5x5
  0x41, 0x22, 0x14, 0x08, 0x14, 0x22, 0x41,  //  6 diagonal cross 7x7
  0x00, 0x00, 0x1C, 0x1C, 0x1C, 0x00, 0x00,  //  7 filled square 3x3
  0x00, 0x3E, 0x3E, 0x3E, 0x3E, 0x3E, 0x00,  //  8 filled square 5x5
  0x7F, 0x7F, 0x7F, 0x7F, 0x7F, 0x7F, 0x7F,  //  9 filled square 7x7
  0x00, 0x00, 0x1C, 0x14, 0x1C, 0x00, 0x00,  // 10 square outline 3x3
  0x00, 0x3E, 0x22, 0x22, 0x22, 0x3E, 0x00,  // 11 square outline 5x5
  0x7F, 0x41, 0x41, 0x41, 0x41, 0x41, 0x7F,  // 12 square outline 7x7
  0x08, 0x14, 0x22, 0x49, 0x22, 0x14, 0x08,  // 13 diamond outline with centre
  0x00, 0x08, 0x1C, 0x3E, 0x1C, 0x08, 0x00,  // 14 filled diamond 5x5
  0x08, 0x1C, 0x3E, 0x7F, 0x3E, 0x1C, 0x08,  // 15 filled diamond 7x7
  0x00, 0x1C, 0x22, 0x22, 0x22, 0x1C, 0x00,  // 16 circle outline 5x5
  0x1C, 0x22, 0x41, 0x41, 0x41, 0x22, 0x1C,  // 17 circle outline 7x7
  0x55, 0x2A, 0x55, 0x2A, 0x55, 0x2A, 0x55,  // 18 checkerboard
};
// clang-format on

namespace {

void DrawGlyph(TCanvas& C, int Glyph, int X, int Y)
{
  const TColor color = C.Pen().Color();
  const std::uint8_t* rows = &MarkGlyphs[static_cast<std::size_t>(7 * (Glyph - 1))];
  for (int r = 0; r < 7; ++r)
    for (int bit = 6; bit >= 0; --bit)
      if (rows[r] & (1u << bit))
        C.SetPixels(X - 3 + (6 - bit), Y - 3 + r, color);
}

void Line(TCanvas& C, int X1, int Y1, int X2, int Y2)
{
  C.MoveTo(X1, Y1);
  C.LineTo(X2, Y2);
}

// Filled shapes take the pen colour as a solid brush; outlines a clear brush.
void FillWithPen(TCanvas& C)
{
  C.Brush().SetColor(C.Pen().Color());
  C.Brush().SetStyle(bsSolid);
}

void Hollow(TCanvas& C) { C.Brush().SetStyle(bsClear); }

void Triangle(TCanvas& C, bool Filled, TPoint A, TPoint B, TPoint D)
{
  Filled ? FillWithPen(C) : Hollow(C);
  const TPoint pts[3] = {A, B, D};
  C.Polygon(pts, 3);
}

void Plus(TCanvas& C, int X, int Y, int Lo, int Hi)
{
  Line(C, X - Lo, Y, X + Hi, Y);
  Line(C, X, Y - Lo, X, Y + Hi);
}

// The character a mark code stands for. Codes are single bytes of the western 8-bit character
// set: 128..159 hold printable signs there (the bullet at 149, for instance), where Unicode has
// invisible control codes; codes without a sign in that range keep their own value.
QChar MarkCharacter(std::uint8_t Code)
{
  static constexpr char16_t Western[32] = {
      0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
      0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
      0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
  if (Code >= 200 && Code <= 209)
    return QChar(u'0' + (Code - 200));
  if (Code >= 128 && Code < 160)
    return QChar(Western[Code - 128]);
  return QChar(static_cast<char16_t>(Code));
}

void DrawCharacterMark(TCanvas& C, std::uint8_t MarkType, int X, int Y)
{
  const QString text(MarkCharacter(MarkType));
  const TColor oldFontColor = C.Font().Color();
  C.Font().SetColor(C.Pen().Color());
  Hollow(C);
  const int w = C.TextWidth(text);
  const int h = C.TextHeight(text);
  C.TextOut(X - w / 2, Y - h / 2, text);
  C.Font().SetColor(oldFontColor);
}

}  // namespace

void DrawMark(TCanvas& C, std::uint8_t MarkType, int X, int Y)
{
  const TColor oldBrushColor = C.Brush().Color();
  const TBrushStyle oldBrushStyle = C.Brush().Style();
  const bool printer = C.IsPrinter();
  const int m = MarkType;

  switch (m) {
    case 0: C.SetPixels(X, Y, C.Pen().Color()); break;
    case 1: case 2: case 3:
      if (printer) {
        const int a = m + 1;
        Plus(C, X, Y, a, a);
      } else {
        DrawGlyph(C, m, X, Y);
      }
      break;
    case 4: case 5: case 6:
      if (printer) {
        const int a = m - 2;
        Line(C, X - a, Y - a, X + a, Y + a);
        Line(C, X - a, Y + a, X + a, Y - a);
      } else {
        DrawGlyph(C, m, X, Y);
      }
      break;
    case 7: case 8: case 9: {
      const int a = m - 6;
      FillWithPen(C);
      C.Rectangle(X - a, Y - a, X + a + 1, Y + a + 1);
      break;
    }
    case 10: case 11: case 12: {
      const int a = m - 9;
      C.MoveTo(X - a, Y - a);
      C.LineTo(X + a, Y - a);
      C.LineTo(X + a, Y + a);
      C.LineTo(X - a, Y + a);
      C.LineTo(X - a, Y - a);
      break;
    }
    case 13: case 19:
      C.MoveTo(X - 3, Y);
      C.LineTo(X, Y + 3);
      C.LineTo(X + 3, Y);
      C.LineTo(X, Y - 3);
      C.LineTo(X - 3, Y);
      if (m == 13)
        C.SetPixels(X, Y, C.Pen().Color());
      break;
    case 14: case 15: {
      const int a = m - 12;
      FillWithPen(C);
      const TPoint pts[4] = {{X - a, Y}, {X, Y + a}, {X + a, Y}, {X, Y - a}};
      C.Polygon(pts, 4);
      break;
    }
    case 16: Hollow(C); C.Ellipse(X - 2, Y - 2, X + 3, Y + 3); break;
    case 17: Hollow(C); C.Ellipse(X - 3, Y - 3, X + 4, Y + 4); break;
    case 18:
      if (printer) {
        for (int dy = -3; dy <= 3; ++dy)
          for (int dx = -3; dx <= 3; ++dx)
            if (((dx + dy) & 1) == 0)
              C.SetPixels(X + dx, Y + dy, C.Pen().Color());
      } else {
        DrawGlyph(C, 18, X, Y);
      }
      break;
    case 20: case 21: {
      const int a = m - 17;
      Line(C, X, Y, X - a, Y + a);
      Line(C, X, Y, X + a, Y + a);
      break;
    }
    case 22: case 23: {
      const int a = m - 19;
      Line(C, X, Y, X - a, Y - a);
      Line(C, X, Y, X + a, Y - a);
      break;
    }
    case 24: FillWithPen(C); C.Ellipse(X - 3, Y - 3, X + 4, Y + 4); break;
    case 25: {
      const int e1 = printer ? 3 : 4;
      const int e2 = printer ? 2 : 3;
      Line(C, X - 3, Y - 3, X + e1, Y + e1);
      Line(C, X - 3, Y - 2, X + e2, Y + e1);
      Line(C, X - 2, Y - 3, X + e1, Y + e2);
      Line(C, X - 3, Y + 3, X + e1, Y - e1);
      Line(C, X - 3, Y + 2, X + e2, Y - e1);
      Line(C, X - 2, Y + 3, X + e1, Y - e2);
      break;
    }
    case 26: FillWithPen(C); C.Ellipse(X - 2, Y - 2, X + 3, Y + 3); break;
    case 27: Hollow(C); C.Ellipse(X - 2, Y - 2, X + 2, Y + 2); break;
    case 28: FillWithPen(C); C.Ellipse(X - 2, Y - 2, X + 2, Y + 2); break;
    case 29: case 30: case 31: case 32: {
      const int a = (m == 29 || m == 31) ? 2 : 3;
      Triangle(C, m <= 30, {X - a, Y}, {X, Y + a}, {X + a, Y});
      break;
    }
    case 33: case 34: Triangle(C, m == 34, {X - 4, Y - 3}, {X, Y + 4}, {X + 4, Y - 3}); break;
    case 35: case 36: Triangle(C, m == 36, {X - 4, Y + 3}, {X, Y - 4}, {X + 4, Y + 3}); break;
    case 37:
      Line(C, X - 3, Y, X + 4, Y);
      Line(C, X, Y, X, Y - 8);
      break;
    case 38:
      Line(C, X - 3, Y - 2, X + 4, Y - 2);
      Line(C, X - 3, Y + 2, X + 4, Y + 2);
      Line(C, X, Y - 2, X, Y + 2);
      break;
    case 39:
      Hollow(C);
      C.Ellipse(X - 3, Y - 3, X + 4, Y + 4);
      Plus(C, X, Y, 3, 4);
      break;
    case 40: case 41: Triangle(C, m == 41, {X + 3, Y - 2}, {X - 2, Y}, {X + 3, Y + 2}); break;
    case 42: case 43: Triangle(C, m == 43, {X + 4, Y - 3}, {X - 3, Y}, {X + 4, Y + 3}); break;
    case 44: case 45: Triangle(C, m == 45, {X - 3, Y - 2}, {X + 2, Y}, {X - 3, Y + 2}); break;
    case 46: case 47: Triangle(C, m == 47, {X - 4, Y - 3}, {X + 3, Y}, {X - 4, Y + 3}); break;
    case 48:
      Hollow(C);
      C.Rectangle(X - 3, Y - 3, X + 4, Y + 4);
      Plus(C, X, Y, 3, 4);
      break;
    case 49:
      Hollow(C);
      C.Rectangle(X - 2, Y - 2, X + 3, Y + 3);
      Plus(C, X, Y, 4, 5);
      break;
    case 50:
      Plus(C, X, Y, 4, 5);
      Line(C, X - 3, Y - 3, X + 4, Y + 4);
      Line(C, X - 3, Y + 3, X + 4, Y - 4);
      break;
    case 51:
      Plus(C, X, Y, 4, 5);
      Line(C, X - 1, Y - 3, X + 2, Y - 3);
      Line(C, X - 1, Y + 3, X + 2, Y + 3);
      Line(C, X - 3, Y - 1, X - 3, Y + 2);
      Line(C, X + 3, Y - 1, X + 3, Y + 2);
      break;
    default: DrawCharacterMark(C, MarkType, X, Y); break;
  }

  C.Brush().SetColor(oldBrushColor);
  C.Brush().SetStyle(oldBrushStyle);
}

}  // namespace orvex
