// TGradFill: a graphic control that fills its whole area with a colour gradient made of a fixed
// number of flat colour steps, optionally overlays a one-pixel hatch and draws a frame. The main
// window uses it as the banner behind its tool strip. Every paint renders the complete picture
// into a fresh bitmap and copies it in one operation, so the control never shows partial states.
#pragma once

#include "orvex_controls.h"
#include "orvex_basetypes.h"

namespace orvex {

enum TGradType {
  gtHoriz, gtVert, gtMidBandHoriz, gtMidBandVert, gtEllipticFull, gtEllipticFit, gtRadial, gtDiagGrid, gtRect
};
enum TGridMode { gmNone, gmHoriz, gmVert, gmBoth };

class TGradFill : public TGraphicControl {
public:
  // A new control is 121 by 121 pixels.
  explicit TGradFill(QWidget* Parent = nullptr);
  std::string ClassName() const override { return "TGradFill"; }

  // properties (every setter ends by invalidating the control)
  TColor ColorFirst() const { return FColorFlipped ? FBaseQ : FBaseP; }
  void SetColorFirst(TColor Value);
  TColor ColorLast() const { return FColorFlipped ? FBaseP : FBaseQ; }
  void SetColorLast(TColor Value);
  // Swaps which stored colour is shown as the first and which as the last.
  bool ColorFlipped() const { return FColorFlipped; }
  void SetColorFlipped(bool Value);
  TGradType FillType() const { return FFillType; }
  void SetFillType(TGradType Value);
  // Number of colour steps, clamped to 1..255.
  int NrColors() const { return FNrColors; }
  void SetNrColors(int Value);
  TGridMode GridMode() const { return FGridMode; }
  void SetGridMode(TGridMode Value);
  TColor GridColor() const { return FGridColor; }
  void SetGridColor(TColor Value);
  TFrameStyle FrameStyle() const { return FFrameStyle; }
  void SetFrameStyle(TFrameStyle Value);

  // operations
  // Renders gradient, hatch and frame into Bitmap, using the bitmap's size.
  void GradientBitmap(TBitmap& Bitmap) const;

  // events
  // Raised after every paint.
  TNotifyEvent OnPaint;

protected:
  void Paint() override;

private:
  TColor FBaseP = clMaroon;
  TColor FBaseQ = clYellow;
  bool FColorFlipped = false;
  TGradType FFillType = gtHoriz;
  int FNrColors = 16;
  TGridMode FGridMode = gmNone;
  TColor FGridColor = clNavy;
  TFrameStyle FFrameStyle = fsNone;
};

}  // namespace orvex
