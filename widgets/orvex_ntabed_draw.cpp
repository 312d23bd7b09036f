// TNTabEd: drawing. Data cells show their value in the column's number format (or the level
// label of a level column) in the colour of their marks; the fixed cells show names and
// attributes with the headers of the selection's first column and row highlighted; the corner
// shows the current cell or the comment editor's caption. Over the cells comes the message of
// an empty table.
#include "orvex_ntabed.h"

#include "orvex_ntabed_internal.h"
#include "orvex_stringl.h"

#include <array>
#include <cmath>

namespace orvex {

namespace {
// The largest magnitude that still shows in fixed form with 1 to 8 decimals: eight digits in all.
constexpr std::array<double, 9> kFixedLimit = {999999999.0, 9999999.9, 999999.99,  99999.999, 9999.9999,
                                               999.99999,   99.999999, 9.9999999, 0.99999999};
constexpr std::array<double, 9> kSmallest = {1.0, 1e-1, 1e-2, 1e-3, 1e-4, 1e-5, 1e-6, 1e-7, 1e-8};
constexpr TColor kCommentCaptionBack = 8421376;  // teal
constexpr const char* kRowHeightSample = "9GMg\xc3\x9c$\xc2\xa7[{|";

TColor Inverted(TColor C) { return ColorToRGB(C) ^ 0xFFFFFFu; }
}  // namespace

std::string FormatCellNumber(double Value, int Width, int Decimals)
{
  const double a = std::fabs(Value);
  const bool zero = Value == 0;
  bool fixed = false;
  if (Decimals >= 0 && Decimals <= 8) {
    const auto d = static_cast<std::size_t>(Decimals);
    fixed = a <= kFixedLimit[d] && (a >= kSmallest[d] || zero);
  }
  return fixed ? FormatReal(Value, Width, Decimals) : FormatReal(Value, Width + 6, -2);
}

// The text of data cell (Col, Row) with state byte State.
static std::string DataCellText(const TDataTable& T, int Col, int Row, std::uint8_t State, int Width, int Decimals)
{
  if (State & csEmpty)
    return {};
  if (State & csNotANumber)
    return "-nan-";
  const double v = T.Elem(Col, Row);
  const TVarType type = T.VarType(Col);
  if (!IsLevelType(type))
    return FormatCellNumber(v, Width, Decimals);
  const double n = std::nearbyint(v);
  if (n >= 0 && n <= MaxLevel) {
    std::string label = T.LevelName(Col, static_cast<int>(n));
    if (!label.empty())
      return label;
  }
  return std::string(VarTypeNames[type]) + ":" + WholeNumberText(n);
}

void TNTabEd::DrawCell(int ACol, int ARow, const TRect& Rect, TGridDrawState State)
{
  TCanvas& cv = Canvas();
  cv.Brush().SetStyle(bsSolid);

  if (ACol == 0 && ARow == 0) {
    if (FCommentEditing) {
      cv.Brush().SetColor(kCommentCaptionBack);
      cv.Font().SetColor(clWhite);
      cv.TextRect(Rect, Rect.Left + 2, Rect.Top + 1, "Comment:");
      return;
    }
    cv.Brush().SetColor(clWindow);
    cv.Font().SetColor(FColorNormal);
    std::string cursor;
    if (FShowCellCursor && HasSelection())
      cursor = std::to_string(Col() - FAC) + ":" + std::to_string(Row() - FAR);
    cv.TextRect(Rect, Rect.Left + 3, Rect.Top + 2, cursor);
    return;
  }

  if (DataCell(ACol, ARow)) {
    const int j = ACol - FAC;
    const int r = ARow - FAR;
    const std::uint8_t s = FData->CellState(j, r);
    std::string text = DataCellText(*FData, j, r, s, FNumWidth, ColPrecision(j));
    const bool selected = State.Contains(gdSelected) || RowInSet(r);
    TColor fore = FColorNormal;
    switch (s & (csMarkA | csMarkB)) {
    case 0:
      fore = selected ? FColorRangeSelFG : FColorNormal;
      break;
    case csMarkA:
      fore = FColorMarkedA;
      break;
    case csMarkB:
      fore = FColorMarkedB;
      break;
    default:
      fore = FColorMarkedBoth;
      break;
    }
    TFontStyles styles = cv.Font().Style();
    if ((s & (csMarkA | csMarkB)) && FBoldMarks)
      styles.Include(fsBold);
    TColor back = selected ? FColorRangeSelBG : Color();
    Fire(OnBeforeRenderCell, this, j, r, text, fore, back, styles);
    cv.Font().SetColor(fore);
    cv.Font().SetStyle(styles);
    cv.Brush().SetColor(back);
    cv.TextRect(Rect, Rect.Left + 2, Rect.Top + 1, text);
    return;
  }

  // Fixed cells: names, attributes and the two attribute captions, inside a 1-pixel margin.
  TRect r = Rect;
  if (r.Width() > 2) {
    ++r.Left;
    --r.Right;
  }
  if (r.Height() > 2) {
    ++r.Top;
    --r.Bottom;
  }
  TRect clip = r;
  clip.Right = std::max(clip.Left, clip.Right - 2);

  const TGridRect sel = Selection();
  std::string text;
  int dy = 1;
  bool highlight = false;
  if (ACol <= FAC && ARow <= FAR) {
    if (ACol == 0 && ARow == 1)
      text = "Attribute";
    else if (ACol == 1 && ARow == 0)
      text = "Attrib";
  } else if (ACol == 0) {
    text = FData->RowName(ARow - FAR);
    dy = 0;
    highlight = ARow == sel.Top || RowInSet(ARow - FAR);
  } else if (ACol <= FAC) {
    text = FormatReal(FData->RowAttrib(ARow - FAR), 1, 0);
    highlight = ARow == sel.Top;
  } else if (ARow == 0) {
    text = FData->ColName(ACol - FAC);
    highlight = ACol == sel.Left;
  } else {
    text = FormatReal(FData->ColAttrib(ACol - FAC), 1, 0);
    highlight = ACol == sel.Left;
  }
  TColor fore = highlight ? FColorSelected : FColorNormal;
  if (highlight && FBoldSelHeads)
    cv.Font().SetBold(true);
  TColor back = FixedColor();
  if (FInvertedHeader == TGridCoord{ACol, ARow}) {
    fore = Inverted(fore);
    back = Inverted(back);
    cv.Brush().SetColor(back);
    cv.FillRect(Rect);
  }
  cv.Brush().SetColor(back);
  cv.FillRect(r);
  cv.Brush().SetStyle(bsClear);
  cv.Font().SetColor(fore);
  cv.TextRect(clip, r.Left + 2, r.Top + dy, text);
}

void TNTabEd::PaintOverlay()
{
  TCanvas& cv = Canvas();
  if (NrOfRows() == 0) {
    cv.Brush().SetStyle(bsSolid);
    cv.Brush().SetColor(Color());
    cv.FillRect(ClientRect());
    if (!FEmptyMessage.empty()) {
      cv.Font().Assign(Font());
      cv.Font().SetColor(FColorEmptyMsg);
      cv.Brush().SetStyle(bsClear);
      std::vector<std::string> lines;
      const int n = SplitString(FEmptyMessage, "|", lines);
      const int h = cv.TextHeight(FEmptyMessage);
      int y = (ClientHeight() + n * h) / 2 - n * h - 2;
      for (const std::string& line : lines) {
        cv.TextOut((ClientWidth() - cv.TextWidth(line)) / 2, y, line);
        y += h;
      }
    }
  }
  if (FOptimizeRowHeight) {
    cv.Font().Assign(Font());
    const int h = cv.TextHeight(kRowHeightSample);
    const int height = h < 4 ? 8 : h + 4;
    if (DefaultRowHeight() != height)
      SetDefaultRowHeight(height);
    if (FAR == 1)
      SetRowHeights(1, height);
  }
}

}  // namespace orvex
