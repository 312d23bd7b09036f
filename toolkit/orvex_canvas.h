// TCanvas: the one place where the components' pixel rules meet QPainter. Charts, grids, lists
// and panels draw only through it. It works over a QPainter that somebody else opened (a
// widget's paintEvent hands its painter over) or over a painter it opens itself on a paint
// device (TBitmap does this for its QImage). Every drawing call reads the current Pen, Brush and
// Font, so settings may change freely between calls.
//
// Pixel rules (classic canvas semantics, independent of Qt's own conventions):
// - LineTo draws from the pen position to (X, Y): the start pixel is set, the end pixel is not,
//   in every direction (Bresenham, each pixel once, so xor drawing is reversible). Dotted
//   styles of a 1-pixel pen run in fixed pixel patterns that restart at each line; with a solid
//   brush the gaps take the brush colour. Pens wider than 1 draw solid.
//   Ends may lie anywhere in the int range: a line costs only its visible part.
// - Rectangle and Ellipse (X1, Y1, X2, Y2) cover X1..X2-1 by Y1..Y2-1, with or without a pen;
//   the outline is drawn with the pen, the inside with the brush. In the modes other than copy
//   each pixel of a shape is set once (outline in the pen colour, the rest in the brush colour),
//   so an xor shape keeps its outline and a second drawing removes it. FillRect covers
//   Left..Right-1 by Top..Bottom-1 with the brush and ignores the pen mode.
// - TextOut places the top-left corner of the text at (X, Y), fills the text box first when the
//   brush is solid, writes in the font colour and moves the pen position to (X + width, Y).
// - No antialiasing of lines and shapes.
// In vector mode (SetVectorMode) the same calls go to the painter as one QPainter primitive each
// (a line, rectangle, ellipse or polygon) with pens as wide as the canvas pen in the painter's
// coordinates, so they scale with its transform: for devices that are not a back buffer (SVG and
// PDF files, images rendered at another resolution). The pixel rules then hold only as far as a
// vector shape can keep them (outlines through pixel centres, no pen modes other than copy).
// The canvas sets the painter's pen, brush, font and composition mode as it needs them and does
// not restore them: a caller that draws with the same painter itself sets what it needs.
#pragma once

#include "orvex_graphics.h"

#include <QImage>
#include <QPen>
#include <QPoint>
#include <QRect>
#include <QString>
#include <memory>
#include <string>
#include <vector>

class QPainter;
class QPaintDevice;

namespace orvex {

class TBitmap;

class TCanvas {
public:
  // A canvas without a painter: drawing does nothing, text metrics still answer.
  TCanvas();
  // A canvas over a painter somebody else opened and will close; the painter must outlive the
  // canvas's drawing calls (or be detached with SetPainter(nullptr)).
  explicit TCanvas(QPainter* Painter);
  ~TCanvas();
  TCanvas(const TCanvas&) = delete;
  TCanvas& operator=(const TCanvas&) = delete;

  // properties
  TPen& Pen() { return FPen; }
  const TPen& Pen() const { return FPen; }
  TBrush& Brush() { return FBrush; }
  const TBrush& Brush() const { return FBrush; }
  TFont& Font() { return FFont; }
  const TFont& Font() const { return FFont; }
  void SetFont(const TFont& Value) { FFont.Assign(Value); }
  TPoint PenPos() const { return FPenPos; }
  void SetPenPos(TPoint Value) { FPenPos = Value; }
  // The colour of one pixel; clNone when the device cannot be read (only images can) or the
  // pixel lies outside it.
  TColor Pixels(int X, int Y) const;
  // Sets one pixel to Color regardless of pen mode and style.
  void SetPixels(int X, int Y, TColor Color);
  void SetPixel(int X, int Y, TColor Color) { SetPixels(X, Y, Color); }
  // The painter in use (nullptr when unattached).
  QPainter* Painter() const { return FPainter; }
  // Uses a foreign painter from now on (nullptr detaches); closes an owned painter first.
  void SetPainter(QPainter* Painter);
  bool HasPainter() const { return FPainter != nullptr; }
  // The clip rectangle of the painter, or the device's full area.
  TRect ClipRect() const;
  // Whether this is the printer's canvas; screen and bitmap canvases never are.
  bool IsPrinter() const;
  // Vertical resolution of the device in pixels per inch (96 when unknown).
  int VerticalResolution() const;
  // Whether shapes are drawn as vector primitives instead of pixel by pixel (see the top): when
  // set, and always on a device whose pixels are smaller than its logical pixels (a high-density
  // screen or image, device pixel ratio above 1), where pixel-by-pixel drawing would leave gaps.
  bool VectorMode() const { return FVector || FDenseDevice; }
  void SetVectorMode(bool Value) { FVector = Value; }

  // operations
  // Opens an owned painter on Device (closing a previous owned one); false when Qt cannot
  // paint on it (a null image, for instance).
  bool Begin(QPaintDevice* Device);
  // Closes an owned painter; a foreign painter is only detached.
  void End();

  void MoveTo(int X, int Y);
  void LineTo(int X, int Y);
  // Lines through the points; the last point itself is not set; the pen position is unchanged.
  void Polyline(const TPoint* Points, int Count);
  void Polyline(const std::vector<TPoint>& Points) { Polyline(Points.data(), static_cast<int>(Points.size())); }
  // A closed shape filled with the brush (odd-even rule), outlined with the pen through every
  // vertex.
  void Polygon(const TPoint* Points, int Count);
  void Polygon(const std::vector<TPoint>& Points) { Polygon(Points.data(), static_cast<int>(Points.size())); }
  void Rectangle(int X1, int Y1, int X2, int Y2);
  void Rectangle(const TRect& R) { Rectangle(R.Left, R.Top, R.Right, R.Bottom); }
  void Ellipse(int X1, int Y1, int X2, int Y2);
  void Ellipse(const TRect& R) { Ellipse(R.Left, R.Top, R.Right, R.Bottom); }
  void FillRect(const TRect& R);
  // A one-pixel outline of R in the brush colour (pen untouched).
  void FrameRect(const TRect& R);
  // A dotted focus outline of R drawn by inverting, so a second call removes it.
  void DrawFocusRect(const TRect& R);

  void TextOut(int X, int Y, const QString& Text);
  void TextOut(int X, int Y, const std::string& Text) { TextOut(X, Y, QString::fromStdString(Text)); }
  void TextOut(int X, int Y, const char* Text) { TextOut(X, Y, QString::fromUtf8(Text)); }
  // Text at (X, Y) clipped to R; with a solid brush R is filled first.
  void TextRect(const TRect& R, int X, int Y, const QString& Text);
  void TextRect(const TRect& R, int X, int Y, const std::string& Text) { TextRect(R, X, Y, QString::fromStdString(Text)); }
  void TextRect(const TRect& R, int X, int Y, const char* Text) { TextRect(R, X, Y, QString::fromUtf8(Text)); }
  int TextWidth(const QString& Text) const;
  int TextWidth(const std::string& Text) const { return TextWidth(QString::fromStdString(Text)); }
  int TextWidth(const char* Text) const { return TextWidth(QString::fromUtf8(Text)); }
  int TextHeight(const QString& Text) const;
  int TextHeight(const std::string& Text) const { return TextHeight(QString::fromStdString(Text)); }
  int TextHeight(const char* Text) const { return TextHeight(QString::fromUtf8(Text)); }
  // Width (X) and height (Y) of a text in one call.
  TPoint TextExtent(const QString& Text) const { return {TextWidth(Text), TextHeight(Text)}; }
  TPoint TextExtent(const std::string& Text) const { return TextExtent(QString::fromStdString(Text)); }

  // The whole bitmap with its top-left corner at (X, Y).
  void Draw(int X, int Y, const TBitmap& Bitmap);
  // The whole bitmap scaled into R.
  void StretchDraw(const TRect& R, const TBitmap& Bitmap);
  // Any image, unscaled, at (X, Y); transparent pixels of the image (the check boxes of the
  // resources, for instance) leave the canvas as it is.
  void DrawImage(int X, int Y, const QImage& Image);

private:
  // The pixels a 1-pixel line sets: in the pen colour, and in the gaps of a dotted style drawn
  // over a solid brush.
  struct TLinePixels {
    std::vector<QPoint> On;
    std::vector<QPoint> Gaps;
  };
  // A shape to be set pixel by pixel over Area (logical coordinates): masks of the pixels in the
  // pen colour, and of those in the brush colour (dotted-outline gaps and inside; null masks
  // are empty). Only the pixels of Pen and of Gaps or Inside outside Pen are set, each once.
  struct TShapeMasks {
    QRect Area;
    QImage Pen;
    QImage Gaps;
    QImage Inside;
  };

  // Draws the 1-pixel line from (X0, Y0) towards (X1, Y1) without its end pixel; with Collect
  // the pixels are added there instead of being drawn (wide pens are never collected).
  void PenLine(int X0, int Y0, int X1, int Y1, TLinePixels* Collect = nullptr);
  // The closed outline of a polygon through PenLine (drawn, or collected into Collect); false
  // when all its points coincide, so that no edge was drawn.
  bool PolygonOutline(const TPoint* Points, int Count, TLinePixels* Collect);
  // Sets the pixels of the masks, the pen mode applied once to each.
  void PlotShape(const TShapeMasks& Masks) const;
  // The visible part of Box grown by the pen's width on every side; empty when nothing shows.
  QRect ShapeArea(const QRect& Box) const;
  // Qt's pen for the outlines Qt draws itself (ellipses, wide lines) in Color.
  QPen ShapePen(const QColor& Color, bool Styled) const;
  // Sets every visible pixel of Box in Color, combined by the pen mode.
  void PlotBox(const QRect& Box, TColor Color) const;
  void ApplyPenMode() const;
  void ResetMode() const;
  bool PenVisible() const { return FPen.Style() != psClear; }
  // Sets each point once in Color combined by Mode.
  void PlotPoints(const std::vector<QPoint>& Points, TColor Color, TPenMode Mode) const;
  bool PlotDirect(const QPoint* Points, int Count, TColor Color, TPenMode Mode) const;
  // Vector mode: the canvas pen as a QPen in painter coordinates (NoPen when clear), the brush
  // as a QBrush (NoBrush unless solid).
  QPen VectorPen() const;
  QBrush VectorBrush() const;

  TPen FPen;
  TBrush FBrush;
  TFont FFont;
  TPoint FPenPos;
  QPainter* FPainter = nullptr;
  std::unique_ptr<QPainter> FOwnPainter;
  bool FVector = false;
  bool FDenseDevice = false;  // the painter's device has a device pixel ratio other than 1
};

// An off-screen image (32 bits per pixel) with its own canvas. Resizing keeps the canvas's
// pen, brush and font; new pixels are white. Sizes are logical pixels: with a device pixel ratio
// r (a back buffer for a high-density screen) the image holds r times as many pixels each way
// and its canvas draws in vector mode.
class TBitmap {
public:
  TBitmap();
  TBitmap(int Width, int Height);
  TBitmap(int Width, int Height, double Ratio);
  ~TBitmap();
  TBitmap(const TBitmap&) = delete;
  TBitmap& operator=(const TBitmap&) = delete;

  // properties
  int Width() const { return FWidth; }
  void SetWidth(int Value) { SetSize(Value, Height()); }
  int Height() const { return FHeight; }
  // Image pixels per logical pixel (1 unless SetSize gave another).
  double DevicePixelRatio() const { return FRatio; }
  void SetHeight(int Value) { SetSize(Width(), Value); }
  bool Empty() const { return FImage.isNull(); }
  // The canvas drawing into the image (its painter is opened on first use).
  TCanvas& Canvas();
  // The pixels (drawing writes into them directly; take a copy() to keep a snapshot).
  const QImage& Image() const { return FImage; }

  // operations
  // Negative sizes count as 0. The old contents are kept where they fit. Keeps the ratio.
  void SetSize(int Width, int Height) { SetSize(Width, Height, FRatio); }
  // The size in logical pixels at a device pixel ratio (values below 1, or not finite, give 1).
  void SetSize(int Width, int Height, double Ratio);
  // Reads any format Qt reads (BMP included); false when the file cannot be read, the bitmap
  // then keeps its old contents.
  bool LoadFromFile(const std::string& FileName);
  // Takes a copy of Image; transparent parts become white, as the bitmap has no alpha.
  void SetImage(const QImage& Image);
  void Assign(const TBitmap& Source);

private:
  void Adopt(QImage Image, double Ratio);

  QImage FImage;
  TCanvas FCanvas;
  int FWidth = 0;
  int FHeight = 0;
  double FRatio = 1.0;
};

}  // namespace orvex
