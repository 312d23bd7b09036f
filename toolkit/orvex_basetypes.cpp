// TPersistent's copy protocol and DrawFrame, the 3-D frame of the controls, drawn through TCanvas
// so that its pixel coverage follows the canvas rules exactly.
#include "orvex_basetypes.h"

namespace orvex {

// --- TPersistent -----------------------------------------------------------------------------

void TPersistent::Assign(const TPersistent& Source)
{
  Source.AssignTo(*this);
}

void TPersistent::AssignTo(TPersistent& Dest) const
{
  throw EOrvexConvertError("Cannot assign a " + ClassName() + " to a " + Dest.ClassName());
}

// --- DrawFrame -------------------------------------------------------------------------------

void DrawFrame(TCanvas& C, TFrameStyle Style, int Left, int Top, int Right, int Bottom,
               TColor FrameHighlight, TColor FrameLight, TColor FrameShadow, TColor FrameDarkShadow,
               TColor FrameSimple)
{
  if (Style == fsSimple) {
    C.Pen().SetColor(FrameSimple);
    C.MoveTo(Left, Top);
    C.LineTo(Left, Bottom);
    C.LineTo(Right, Bottom);
    C.LineTo(Right, Top);
    C.LineTo(Left, Top);
    return;
  }
  // Outer top-left, outer bottom-right, inner top-left, inner bottom-right.
  TColor otl, obr, itl, ibr;
  switch (Style) {
    case fsLowered: otl = FrameShadow; obr = FrameHighlight; itl = FrameDarkShadow; ibr = FrameLight; break;
    case fsRaised: otl = FrameHighlight; obr = FrameDarkShadow; itl = FrameLight; ibr = FrameShadow; break;
    case fsEmbossed: otl = FrameHighlight; obr = FrameShadow; itl = FrameShadow; ibr = FrameHighlight; break;
    case fsEngraved: otl = FrameShadow; obr = FrameHighlight; itl = FrameHighlight; ibr = FrameShadow; break;
    default: return;  // fsNone and values outside the enumeration
  }
  C.Pen().SetColor(otl);
  C.MoveTo(Left, Bottom);
  C.LineTo(Left, Top);
  C.LineTo(Right + 1, Top);
  C.Pen().SetColor(obr);
  C.MoveTo(Right, Top + 1);
  C.LineTo(Right, Bottom);
  C.LineTo(Left - 1, Bottom);
  C.Pen().SetColor(itl);
  C.MoveTo(Left + 1, Bottom - 1);
  C.LineTo(Left + 1, Top + 1);
  C.LineTo(Right, Top + 1);
  C.Pen().SetColor(ibr);
  C.MoveTo(Right - 1, Top + 2);
  C.LineTo(Right - 1, Bottom - 1);
  C.LineTo(Left, Bottom - 1);
}

}  // namespace orvex
