// The base types that the chart library and the widgets share, below both: the enumerations that
// appear as property types, TPersistent (the root of the settings objects that copy themselves)
// and DrawFrame, which draws the 3-D frame of a control through the canvas.
#pragma once

#include "orvex_canvas.h"
#include "orvex_component.h"

namespace orvex {

// ---------------------------------------------------------------------------------------------
// Enumerations (first value is ordinal 0)

enum TBkgFill { bfSimple, bfStretch, bfTile };
enum TColorScheme { csBWG, csSystem };
enum TFigType { ftNoFigs, ftNum, ftTime, ftDateTime, ftUserText };
enum TScaleType { sctXB, sctXT, sctYL, sctYR };
enum TVerticalAlignment { vaTop, vaCenter, vaBottom };
enum TYearLength { ylNone, ylYY, ylYYYY };
enum TDateOrder { doMMDDYY, doDDMMYY, doYYMMDD };
enum TDateForTime { dtNone, dtOnePerChart, dtOnePerDay, dtAllTicks };
enum TShadowStyle { ssFlying, ssBox };
enum TFrameStyle { fsNone, fsSimple, fsLowered, fsRaised, fsEmbossed, fsEngraved };
enum TTimeFormat { tfHHMMSS, tfHHhMM, tfAMPM };
enum TOrientation { orVert, orHoriz };
enum TCrossHMode { chOff, chHoriz, chVert, chBoth, chCrossBox, chBox };
enum TTxtLblAttachMode { tlamNone, tlamXOnly, tlamYOnly, tlamBoth };
enum TTxtLblMode { tlOff, tlsimple, tlBox, tlUnderline, tlShadow };
enum TMouseActMode {
  maNone, maPan, maPanHoriz, maPanVert, maPanGrid, maRubberBand, maZoom, maZoomWind, maZoomWindPos,
  maZoomDrag, maDragCrossH, maDragLabel, maRotate, maRotAndZoom, maRotXOnly, maRotZOnly,
  maSelectRect, maDrawMTrace, maZoomPanColors
};
// Where the caption of a scale control is anchored along its axis (the type of the scale's
// CaptionAnchor); declared here so that the scale and the chart's standard layouts share it.
enum TScaleUnitAnchor { uaSclTopLft, uaSclCenter, uaSclBotRgt };

// ---------------------------------------------------------------------------------------------
// Persistent settings

// A settings object that can take the settings of another. The base accepts nothing: Assign
// asks the source to copy itself into the destination, and a source that does not know the
// destination's class raises EOrvexConvertError ("Cannot assign a TX to a TY").
class TPersistent : public TObject {
public:
  std::string ClassName() const override { return "TPersistent"; }
  virtual void Assign(const TPersistent& Source);

protected:
  virtual void AssignTo(TPersistent& Dest) const;
};

// ---------------------------------------------------------------------------------------------
// Drawing helpers

// Draws the frame of Style on the rectangle whose corners (Left, Top) and (Right, Bottom) are
// both included. Lowered, raised, embossed and engraved frames are two nested rings.
void DrawFrame(TCanvas& Canvas, TFrameStyle Style, int Left, int Top, int Right, int Bottom,
               TColor FrameHighlight, TColor FrameLight, TColor FrameShadow, TColor FrameDarkShadow,
               TColor FrameSimple);

}  // namespace orvex
