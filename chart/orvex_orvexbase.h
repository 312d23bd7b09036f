// What the chart and the scale control share: the array and event types, the persistent settings
// objects TDTLabel (date/time label format), TCrossHair and TCustomTextLabel, and DrawMark, which
// draws one data mark centred at a pixel. The enumerations that appear as property types,
// TPersistent and DrawFrame sit one level down in orvex_basetypes.h, where the widgets use them
// too. Nothing here holds chart state; the owners create the objects, set their defaults and
// react to their OnChange notifications. The root exception EOrvexError and the shared event types
// TSortExchgEvent and TOnPercentDoneEvent come from orvex_component.h.
#pragma once

#include "orvex_basetypes.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace orvex {

// ---------------------------------------------------------------------------------------------
// Arrays and events

using TDoubleArray = std::vector<double>;
using TDouble2DArray = std::vector<TDoubleArray>;
using TStr2DArray = std::vector<std::vector<std::string>>;

using TExportTextEvent = std::function<void(TObject* Sender, int mode, int index, std::string& OutText)>;
using TZoomPanEvent = std::function<void(TObject* Sender)>;
using TSelectRectEvent =
    std::function<void(TObject* Sender, int Layer, double LoX, double LoY, double HiX, double HiY)>;

// ---------------------------------------------------------------------------------------------
// Persistent settings objects

// The date/time label format of a scale. A new object has every field zero; the scale control
// sets its own defaults.
class TDTLabel : public TPersistent {
public:
  TDTLabel() = default;
  ~TDTLabel() override;
  TDTLabel(const TDTLabel&) = delete;
  TDTLabel& operator=(const TDTLabel&) = delete;
  std::string ClassName() const override { return "TDTLabel"; }

  // properties
  TTimeFormat TimeFormat() const { return FTimeFormat; }
  void SetTimeFormat(TTimeFormat Value);  // raises OnChange every time
  char DateSeparator() const { return FDateSeparator; }
  void SetDateSeparator(char Value);
  char TimeSeparator() const { return FTimeSeparator; }
  void SetTimeSeparator(char Value);
  TYearLength YearLength() const { return FYearLength; }
  void SetYearLength(TYearLength Value);
  bool MonthName() const { return FMonthName; }
  void SetMonthName(bool Value);
  TDateOrder DateOrder() const { return FDateOrder; }
  void SetDateOrder(TDateOrder Value);  // raises OnChange every time
  TDateForTime DateForTime() const { return FDateForTime; }
  void SetDateForTime(TDateForTime Value);

  // operations
  // Takes the seven settings and the OnChange handler of a TDTLabel, without an event.
  void Assign(const TPersistent& Source) override;

  // events
  TNotifyEvent OnChange;

protected:
  void AssignTo(TPersistent& Dest) const override;

private:
  void Changed();
  void CopyFrom(const TDTLabel& Source);

  TTimeFormat FTimeFormat = tfHHMMSS;
  char FDateSeparator = '\0';
  char FTimeSeparator = '\0';
  TYearLength FYearLength = ylNone;
  bool FMonthName = false;
  TDateOrder FDateOrder = doMMDDYY;
  TDateForTime FDateForTime = dtNone;
};

// One cross-hair of a chart. A new object has every field zero; the chart sets the defaults.
class TCrossHair : public TPersistent {
public:
  TCrossHair() = default;
  TCrossHair(const TCrossHair&) = delete;
  TCrossHair& operator=(const TCrossHair&) = delete;
  std::string ClassName() const override { return "TCrossHair"; }

  // properties (every setter raises OnChange)
  double PosX() const { return FPosX; }
  void SetPosX(double Value);
  double PosY() const { return FPosY; }
  void SetPosY(double Value);
  TColor Color() const { return FColor; }
  void SetColor(TColor Value);
  TCrossHMode Mode() const { return FMode; }
  void SetMode(TCrossHMode Value);
  TPenStyle LineType() const { return FLineType; }
  void SetLineType(TPenStyle Value);
  int LineWid() const { return FLineWid; }
  void SetLineWid(int Value);
  int Layer() const { return FLayer; }
  // Clamped to 1..16.
  void SetLayer(int Value);

  // operations
  // Copies every field of a TCrossHair, OnChange included, without an event.
  void Assign(const TPersistent& Source) override;

  // events
  TNotifyEvent OnChange;

protected:
  void AssignTo(TPersistent& Dest) const override;

private:
  void Changed();
  void CopyFrom(const TCrossHair& Source);

  double FPosX = 0.0;
  double FPosY = 0.0;
  TColor FColor = 0;
  TCrossHMode FMode = chOff;
  TPenStyle FLineType = psSolid;
  int FLineWid = 0;
  int FLayer = 0;
};

// A text label of a chart (the chart's TTextLabel publishes these properties). Every setter
// raises OnChange, except that Layer ignores values outside 1..16. Changing the label's own
// font also raises OnChange.
class TCustomTextLabel : public TPersistent {
public:
  TCustomTextLabel();
  ~TCustomTextLabel() override;
  TCustomTextLabel(const TCustomTextLabel&) = delete;
  TCustomTextLabel& operator=(const TCustomTextLabel&) = delete;
  std::string ClassName() const override { return "TCustomTextLabel"; }

  // properties
  double PosX() const { return FPosX; }
  void SetPosX(double Value);
  double PosY() const { return FPosY; }
  void SetPosY(double Value);
  int Layer() const { return FLayer; }
  void SetLayer(int Value);
  int ShadowDx() const { return FShadowDx; }
  void SetShadowDx(int Value);
  int ShadowDy() const { return FShadowDy; }
  void SetShadowDy(int Value);
  TColor ColorShadow() const { return FColorShadow; }
  void SetColorShadow(TColor Value);
  TAlignment Alignment() const { return FAlignment; }
  void SetAlignment(TAlignment Value);
  TVerticalAlignment VerticalAlignment() const { return FVerticalAlignment; }
  void SetVerticalAlignment(TVerticalAlignment Value);
  TTxtLblAttachMode AttachToData() const { return FAttachToData; }
  void SetAttachToData(TTxtLblAttachMode Value);
  TColor ColorBkg() const { return FColorBkg; }
  void SetColorBkg(TColor Value);
  TColor ColorBorder() const { return FColorBorder; }
  void SetColorBorder(TColor Value);
  bool Transparent() const { return FTransparent; }
  void SetTransparent(bool Value);
  TFont& Font() { return FFont; }
  const TFont& Font() const { return FFont; }
  // Copies the attributes of Value into the label's own font.
  void SetFont(const TFont& Value);
  const std::string& Caption() const { return FCaption; }
  // Control characters other than the line feed become spaces.
  void SetCaption(const std::string& Value);
  TTxtLblMode Mode() const { return FMode; }
  void SetMode(TTxtLblMode Value);
  bool Visible() const { return FVisible; }
  void SetVisible(bool Value);

  // operations
  // Copies every field of a TCustomTextLabel (the font by attributes, OnChange included),
  // without an event.
  void Assign(const TPersistent& Source) override;

  // events
  TNotifyEvent OnChange;

protected:
  void AssignTo(TPersistent& Dest) const override;

private:
  void Changed();
  void CopyFrom(const TCustomTextLabel& Source);

  double FPosX = 100.0;
  double FPosY = 10.0;
  int FLayer = 1;
  int FShadowDx = 0;
  int FShadowDy = 0;
  TColor FColorShadow = clGray;
  TAlignment FAlignment = taCenter;
  TVerticalAlignment FVerticalAlignment = vaBottom;
  TTxtLblAttachMode FAttachToData = tlamNone;
  TColor FColorBkg = clSilver;
  TColor FColorBorder = clBlack;
  bool FTransparent = false;
  TFont FFont;
  std::string FCaption;
  TTxtLblMode FMode = tlsimple;
  bool FVisible = true;
  bool FSilent = false;  // set while copying, so the font's change is not reported
};

// ---------------------------------------------------------------------------------------------
// Drawing helpers

// 7x7 one-bit glyphs, 7 bytes per glyph, glyph g (1-based) at bytes 7(g-1) .. 7(g-1)+6. In a row
// byte bit 6 is the leftmost column and bit 0 the rightmost (X+3); the first byte is row
// Y-3. Glyphs 1-3 are plus signs of arm 1, 2 and 3, 4-6 diagonal crosses of the same sizes, 18 a
// checkerboard with the corners and the centre set; 7-17 are the shapes of the marks with the
// same numbers.
inline constexpr int MarkGlyphCount = 18;
extern const std::uint8_t MarkGlyphs[7 * MarkGlyphCount];

// Draws mark MarkType centred at (X, Y) in the canvas's pen colour: 0-51 shapes, 200-209 the
// digits "0"-"9", every other code from 52 the character with that code in the western 8-bit
// character set (so 149 is the bullet, not an invisible control code). Filled shapes are filled
// with the pen colour; the brush (colour and style) and the font colour are as before afterwards.
void DrawMark(TCanvas& Canvas, std::uint8_t MarkType, int X, int Y);

}  // namespace orvex
