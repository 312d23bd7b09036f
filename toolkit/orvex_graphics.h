// The graphic value types every component draws with: colours as 0x00BBGGRR numbers with the
// named and system colours, points and rectangles with exclusive right/bottom edges, small
// enumeration sets, and the pen, brush and font objects a TCanvas carries. Nothing here paints;
// TCanvas (orvex_canvas.h) turns these settings into QPainter calls with exact pixel rules.
#pragma once

#include "orvex_component.h"

#include <QColor>
#include <QFont>
#include <QRect>
#include <cstdint>
#include <initializer_list>
#include <string>

namespace orvex {

// ---------------------------------------------------------------------------------------------
// Colours

// A colour: 0x00BBGGRR (red in the low byte), or a system colour 0xFF0000nn (top byte 255)
// resolved from the application palette, or one of the special values clNone and clDefault.
using TColor = std::uint32_t;

// The 16 basic colours.
inline constexpr TColor clBlack = 0x000000;
inline constexpr TColor clMaroon = 0x000080;
inline constexpr TColor clGreen = 0x008000;
inline constexpr TColor clOlive = 0x008080;
inline constexpr TColor clNavy = 0x800000;
inline constexpr TColor clPurple = 0x800080;
inline constexpr TColor clTeal = 0x808000;
inline constexpr TColor clGray = 0x808080;
inline constexpr TColor clSilver = 0xC0C0C0;
inline constexpr TColor clRed = 0x0000FF;
inline constexpr TColor clLime = 0x00FF00;
inline constexpr TColor clYellow = 0x00FFFF;
inline constexpr TColor clBlue = 0xFF0000;
inline constexpr TColor clFuchsia = 0xFF00FF;
inline constexpr TColor clAqua = 0xFFFF00;
inline constexpr TColor clWhite = 0xFFFFFF;
// Aliases in common use.
inline constexpr TColor clLtGray = clSilver;
inline constexpr TColor clDkGray = clGray;
inline constexpr TColor clGrey = clGray;

inline constexpr TColor clNone = 0x1FFFFFFF;
inline constexpr TColor clDefault = 0x20000000;

// System colours: the top byte 255 plus the index of the palette entry.
inline constexpr TColor clSystemColor = 0xFF000000;
inline constexpr TColor clScrollBar = clSystemColor;
inline constexpr TColor clBackground = clSystemColor | 1;
inline constexpr TColor clActiveCaption = clSystemColor | 2;
inline constexpr TColor clInactiveCaption = clSystemColor | 3;
inline constexpr TColor clMenu = clSystemColor | 4;
inline constexpr TColor clWindow = clSystemColor | 5;
inline constexpr TColor clWindowFrame = clSystemColor | 6;
inline constexpr TColor clMenuText = clSystemColor | 7;
inline constexpr TColor clWindowText = clSystemColor | 8;
inline constexpr TColor clCaptionText = clSystemColor | 9;
inline constexpr TColor clActiveBorder = clSystemColor | 10;
inline constexpr TColor clInactiveBorder = clSystemColor | 11;
inline constexpr TColor clAppWorkSpace = clSystemColor | 12;
inline constexpr TColor clHighlight = clSystemColor | 13;
inline constexpr TColor clHighlightText = clSystemColor | 14;
inline constexpr TColor clBtnFace = clSystemColor | 15;
inline constexpr TColor clBtnShadow = clSystemColor | 16;
inline constexpr TColor clGrayText = clSystemColor | 17;
inline constexpr TColor clBtnText = clSystemColor | 18;
inline constexpr TColor clInactiveCaptionText = clSystemColor | 19;
inline constexpr TColor clBtnHighlight = clSystemColor | 20;
inline constexpr TColor cl3DDkShadow = clSystemColor | 21;
inline constexpr TColor cl3DLight = clSystemColor | 22;
inline constexpr TColor clInfoText = clSystemColor | 23;
inline constexpr TColor clInfoBk = clSystemColor | 24;

// Red, green and blue bytes of a plain colour.
constexpr int GetRValue(TColor c) { return static_cast<int>(c & 0xFF); }
constexpr int GetGValue(TColor c) { return static_cast<int>((c >> 8) & 0xFF); }
constexpr int GetBValue(TColor c) { return static_cast<int>((c >> 16) & 0xFF); }
constexpr TColor RGB(int r, int g, int b)
{
  return static_cast<TColor>((r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16));
}

// A plain 0x00BBGGRR value: system colours are resolved from the application palette (a fixed
// classic table when no application object exists), clNone and clDefault give their low bytes.
TColor ColorToRGB(TColor Color);
// The QColor of a colour, system colours resolved; always opaque.
QColor ToQColor(TColor Color);
// The colour of a QColor (alpha dropped).
TColor FromQColor(const QColor& Color);
// round(0.3 R + 0.59 G + 0.11 B) of the resolved colour.
int GreyValue(TColor Color);
// Black when the grey value is 140 or more, white otherwise: the readable text colour on Color.
TColor ContrastColor(TColor Color);

// Number * Numerator / Denominator rounded to the nearest integer, halves away from zero;
// -1 when Denominator is 0 or the result does not fit an int. Formed in 64 bits, so no
// intermediate overflow.
int MulDiv(int Number, int Numerator, int Denominator);

// ---------------------------------------------------------------------------------------------
// Points, rectangles and small sets

struct TPoint {
  int X = 0;
  int Y = 0;
  constexpr bool operator==(const TPoint&) const = default;
};

// A pixel rectangle: Left and Top are inside, Right and Bottom are the first pixels outside.
struct TRect {
  int Left = 0;
  int Top = 0;
  int Right = 0;
  int Bottom = 0;
  constexpr int Width() const { return Right - Left; }
  constexpr int Height() const { return Bottom - Top; }
  constexpr bool IsEmpty() const { return Right <= Left || Bottom <= Top; }
  constexpr bool Contains(int X, int Y) const { return X >= Left && X < Right && Y >= Top && Y < Bottom; }
  constexpr bool operator==(const TRect&) const = default;
  QRect ToQRect() const { return QRect(Left, Top, Right - Left, Bottom - Top); }
  static TRect FromQRect(const QRect& r) { return {r.left(), r.top(), r.left() + r.width(), r.top() + r.height()}; }
};

constexpr TRect Rect(int Left, int Top, int Right, int Bottom) { return {Left, Top, Right, Bottom}; }
constexpr TPoint Point(int X, int Y) { return {X, Y}; }

// A set of up to 32 values of an enumeration, as the component properties use them.
template <typename E>
class TSet {
public:
  constexpr TSet() = default;
  constexpr TSet(std::initializer_list<E> Items)
  {
    for (E e : Items)
      FBits |= Bit(e);  // cppcheck-suppress useStlAlgorithm
  }
  constexpr bool Contains(E e) const { return (FBits & Bit(e)) != 0; }
  constexpr TSet& Include(E e)
  {
    FBits |= Bit(e);
    return *this;
  }
  constexpr TSet& Exclude(E e)
  {
    FBits &= ~Bit(e);
    return *this;
  }
  constexpr bool Empty() const { return FBits == 0; }
  constexpr std::uint32_t Bits() const { return FBits; }
  constexpr TSet operator+(TSet o) const { return FromBits(FBits | o.FBits); }
  constexpr TSet operator-(TSet o) const { return FromBits(FBits & ~o.FBits); }
  constexpr TSet operator*(TSet o) const { return FromBits(FBits & o.FBits); }
  constexpr bool operator==(const TSet&) const = default;
  static constexpr TSet FromBits(std::uint32_t Bits)
  {
    TSet s;
    s.FBits = Bits;
    return s;
  }

private:
  static constexpr std::uint32_t Bit(E e) { return std::uint32_t{1} << static_cast<unsigned>(e); }
  std::uint32_t FBits = 0;
};

// Horizontal text alignment of labels and cells.
enum TAlignment { taLeftJustify, taRightJustify, taCenter };

// ---------------------------------------------------------------------------------------------
// Pen, brush and font

enum TPenStyle { psSolid, psDash, psDot, psDashDot, psDashDotDot, psClear, psInsideFrame };
// How the pen combines with what is already there: copy, exclusive or with the pen colour,
// invert the destination, or exclusive or with the inverted pen colour.
enum TPenMode { pmCopy, pmXor, pmNot, pmNotXor };
enum TBrushStyle { bsSolid, bsClear };
enum TFontStyle { fsBold, fsItalic, fsUnderline, fsStrikeOut };
using TFontStyles = TSet<TFontStyle>;

// Settings objects raise OnChange after every effective change; the canvas reads them at each
// drawing call, so changing a pen between calls needs no further action.
class TPen : public TObject {
public:
  std::string ClassName() const override { return "TPen"; }
  // properties
  TColor Color() const { return FColor; }
  void SetColor(TColor Value);
  TPenStyle Style() const { return FStyle; }
  void SetStyle(TPenStyle Value);
  // Width in pixels; values below 1 are stored as 1.
  int Width() const { return FWidth; }
  void SetWidth(int Value);
  TPenMode Mode() const { return FMode; }
  void SetMode(TPenMode Value);

  // operations
  void Assign(const TPen& Source);  // copies the settings, not the handler

  // events
  TNotifyEvent OnChange;

private:
  void Changed();
  TColor FColor = clBlack;
  TPenStyle FStyle = psSolid;
  int FWidth = 1;
  TPenMode FMode = pmCopy;
};

class TBrush : public TObject {
public:
  std::string ClassName() const override { return "TBrush"; }
  TColor Color() const { return FColor; }
  void SetColor(TColor Value);
  TBrushStyle Style() const { return FStyle; }
  void SetStyle(TBrushStyle Value);
  void Assign(const TBrush& Source);
  TNotifyEvent OnChange;

private:
  void Changed();
  TColor FColor = clWhite;
  TBrushStyle FStyle = bsSolid;
};

// A font by name, size and attributes. Height follows the classic convention: negative values
// are the character height in pixels (Size in points at PixelsPerInch), positive values the
// cell height. The names "MS Sans Serif" and "Arial" resolve to Liberation Sans, "Courier New"
// and "Courier" to Liberation Mono (a fixed-pitch font), so texts keep their intended width.
class TFont : public TObject {
public:
  TFont();
  std::string ClassName() const override { return "TFont"; }
  TFont(const TFont& Other);             // copies the settings, not the handler
  TFont& operator=(const TFont& Other);  // same as Assign

  // properties
  const std::string& Name() const { return FName; }
  void SetName(const std::string& Value);
  int Size() const;
  void SetSize(int Value);
  int Height() const { return FHeight; }
  void SetHeight(int Value);
  TColor Color() const { return FColor; }
  void SetColor(TColor Value);
  TFontStyles Style() const { return FStyle; }
  void SetStyle(TFontStyles Value);
  bool Bold() const { return FStyle.Contains(fsBold); }
  void SetBold(bool Value);
  bool Italic() const { return FStyle.Contains(fsItalic); }
  void SetItalic(bool Value);
  int PixelsPerInch() const { return FPixelsPerInch; }
  void SetPixelsPerInch(int Value);

  // operations
  void Assign(const TFont& Source);  // copies every attribute, not the handler
  // The Qt font this font stands for, family mapped as described above.
  QFont ToQFont() const;
  // The pixel size the Qt font gets.
  int PixelSize() const;

  // events
  TNotifyEvent OnChange;

private:
  void Changed();
  std::string FName = "MS Sans Serif";
  int FHeight = -11;  // 8 points at 96 pixels per inch
  TColor FColor = clWindowText;
  TFontStyles FStyle;
  int FPixelsPerInch = 96;
  // The Qt font is built once per change: texts are measured and drawn per grid cell.
  mutable QFont FQFont;
  mutable bool FQFontValid = false;
};

// The installed family a font name resolves to.
QString MapFontFamily(const std::string& Name);
// Lets QFont itself resolve the classic names as MapFontFamily does (for Qt widgets that are given
// a family name directly); safe to call more than once.
void InstallFontSubstitutions();
// A fixed-pitch font for memos: Liberation Mono when installed, else the system's fixed font.
QFont FixedPitchFont(int PointSize);
// Ratio of vertical to horizontal logical resolution of the screen (1.0 when unknown).
double ScreenAspect();

}  // namespace orvex
