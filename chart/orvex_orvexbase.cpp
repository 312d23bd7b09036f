// The persistent settings objects of the chart library: copying and the setter rules.
#include "orvex_orvexbase.h"

#include <algorithm>

namespace orvex {

// --- TDTLabel --------------------------------------------------------------------------------

TDTLabel::~TDTLabel() { OnChange = nullptr; }

void TDTLabel::Changed() { Fire(OnChange, this); }

void TDTLabel::SetTimeFormat(TTimeFormat Value)
{
  FTimeFormat = Value;
  Changed();
}

void TDTLabel::SetDateSeparator(char Value)
{
  if (Value == FDateSeparator)
    return;
  FDateSeparator = Value;
  Changed();
}

void TDTLabel::SetTimeSeparator(char Value)
{
  if (Value == FTimeSeparator)
    return;
  FTimeSeparator = Value;
  Changed();
}

void TDTLabel::SetYearLength(TYearLength Value)
{
  if (Value == FYearLength)
    return;
  FYearLength = Value;
  Changed();
}

void TDTLabel::SetMonthName(bool Value)
{
  if (Value == FMonthName)
    return;
  FMonthName = Value;
  Changed();
}

void TDTLabel::SetDateOrder(TDateOrder Value)
{
  FDateOrder = Value;
  Changed();
}

void TDTLabel::SetDateForTime(TDateForTime Value)
{
  if (Value == FDateForTime)
    return;
  FDateForTime = Value;
  Changed();
}

void TDTLabel::CopyFrom(const TDTLabel& Source)
{
  if (&Source == this)
    return;
  FTimeFormat = Source.FTimeFormat;
  FDateSeparator = Source.FDateSeparator;
  FTimeSeparator = Source.FTimeSeparator;
  FYearLength = Source.FYearLength;
  FMonthName = Source.FMonthName;
  FDateOrder = Source.FDateOrder;
  FDateForTime = Source.FDateForTime;
  OnChange = Source.OnChange;
}

void TDTLabel::Assign(const TPersistent& Source)
{
  if (const auto* src = dynamic_cast<const TDTLabel*>(&Source))
    CopyFrom(*src);
  else
    TPersistent::Assign(Source);
}

void TDTLabel::AssignTo(TPersistent& Dest) const
{
  if (auto* dst = dynamic_cast<TDTLabel*>(&Dest))
    dst->CopyFrom(*this);
  else
    TPersistent::AssignTo(Dest);
}

// --- TCrossHair ------------------------------------------------------------------------------

void TCrossHair::Changed() { Fire(OnChange, this); }

void TCrossHair::SetPosX(double Value)
{
  FPosX = Value;
  Changed();
}

void TCrossHair::SetPosY(double Value)
{
  FPosY = Value;
  Changed();
}

void TCrossHair::SetColor(TColor Value)
{
  FColor = Value;
  Changed();
}

void TCrossHair::SetMode(TCrossHMode Value)
{
  FMode = Value;
  Changed();
}

void TCrossHair::SetLineType(TPenStyle Value)
{
  FLineType = Value;
  Changed();
}

void TCrossHair::SetLineWid(int Value)
{
  FLineWid = Value;
  Changed();
}

void TCrossHair::SetLayer(int Value)
{
  FLayer = Value < 1 ? 1 : (Value > 16 ? 16 : Value);
  Changed();
}

void TCrossHair::CopyFrom(const TCrossHair& Source)
{
  if (&Source == this)
    return;
  FPosX = Source.FPosX;
  FPosY = Source.FPosY;
  FColor = Source.FColor;
  FMode = Source.FMode;
  FLineType = Source.FLineType;
  FLineWid = Source.FLineWid;
  FLayer = Source.FLayer;
  OnChange = Source.OnChange;
}

void TCrossHair::Assign(const TPersistent& Source)
{
  if (const auto* src = dynamic_cast<const TCrossHair*>(&Source))
    CopyFrom(*src);
  else
    TPersistent::Assign(Source);
}

void TCrossHair::AssignTo(TPersistent& Dest) const
{
  if (auto* dst = dynamic_cast<TCrossHair*>(&Dest))
    dst->CopyFrom(*this);
  else
    TPersistent::AssignTo(Dest);
}

// --- TCustomTextLabel ------------------------------------------------------------------------

TCustomTextLabel::TCustomTextLabel()
{
  FFont.OnChange = [this](TObject*) {
    if (!FSilent)
      Changed();
  };
}

TCustomTextLabel::~TCustomTextLabel()
{
  FFont.OnChange = nullptr;
  OnChange = nullptr;
}

void TCustomTextLabel::Changed() { Fire(OnChange, this); }

void TCustomTextLabel::SetPosX(double Value)
{
  FPosX = Value;
  Changed();
}

void TCustomTextLabel::SetPosY(double Value)
{
  FPosY = Value;
  Changed();
}

void TCustomTextLabel::SetLayer(int Value)
{
  if (Value < 1 || Value > 16)
    return;
  FLayer = Value;
  Changed();
}

void TCustomTextLabel::SetShadowDx(int Value)
{
  FShadowDx = Value;
  Changed();
}

void TCustomTextLabel::SetShadowDy(int Value)
{
  FShadowDy = Value;
  Changed();
}

void TCustomTextLabel::SetColorShadow(TColor Value)
{
  FColorShadow = Value;
  Changed();
}

void TCustomTextLabel::SetAlignment(TAlignment Value)
{
  FAlignment = Value;
  Changed();
}

void TCustomTextLabel::SetVerticalAlignment(TVerticalAlignment Value)
{
  FVerticalAlignment = Value;
  Changed();
}

void TCustomTextLabel::SetAttachToData(TTxtLblAttachMode Value)
{
  FAttachToData = Value;
  Changed();
}

void TCustomTextLabel::SetColorBkg(TColor Value)
{
  FColorBkg = Value;
  Changed();
}

void TCustomTextLabel::SetColorBorder(TColor Value)
{
  FColorBorder = Value;
  Changed();
}

void TCustomTextLabel::SetTransparent(bool Value)
{
  FTransparent = Value;
  Changed();
}

void TCustomTextLabel::SetFont(const TFont& Value)
{
  if (&Value == &FFont) {
    Changed();
    return;
  }
  FSilent = true;
  FFont.Assign(Value);
  FSilent = false;
  Changed();
}

void TCustomTextLabel::SetCaption(const std::string& Value)
{
  std::string s = Value;
  std::replace_if(
      s.begin(), s.end(), [](char ch) { return static_cast<unsigned char>(ch) < 32 && ch != '\n'; }, ' ');
  FCaption = s;
  Changed();
}

void TCustomTextLabel::SetMode(TTxtLblMode Value)
{
  FMode = Value;
  Changed();
}

void TCustomTextLabel::SetVisible(bool Value)
{
  FVisible = Value;
  Changed();
}

void TCustomTextLabel::CopyFrom(const TCustomTextLabel& Source)
{
  if (&Source == this)
    return;
  FPosX = Source.FPosX;
  FPosY = Source.FPosY;
  FLayer = Source.FLayer;
  FShadowDx = Source.FShadowDx;
  FShadowDy = Source.FShadowDy;
  FColorShadow = Source.FColorShadow;
  FAlignment = Source.FAlignment;
  FVerticalAlignment = Source.FVerticalAlignment;
  FAttachToData = Source.FAttachToData;
  FColorBkg = Source.FColorBkg;
  FColorBorder = Source.FColorBorder;
  FTransparent = Source.FTransparent;
  FSilent = true;
  FFont.Assign(Source.FFont);
  FSilent = false;
  FCaption = Source.FCaption;
  FMode = Source.FMode;
  FVisible = Source.FVisible;
  OnChange = Source.OnChange;
}

void TCustomTextLabel::Assign(const TPersistent& Source)
{
  if (const auto* src = dynamic_cast<const TCustomTextLabel*>(&Source))
    CopyFrom(*src);
  else
    TPersistent::Assign(Source);
}

void TCustomTextLabel::AssignTo(TPersistent& Dest) const
{
  if (auto* dst = dynamic_cast<TCustomTextLabel*>(&Dest))
    dst->CopyFrom(*this);
  else
    TPersistent::AssignTo(Dest);
}

}  // namespace orvex
