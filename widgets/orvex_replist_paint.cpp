// TReportListView: drawing. Every pixel of a cell is drawn here (the grid's default drawing is
// off): data cells with their shading, selection, highlight and the owner's rendering hook, the
// check boxes, the column headers with the sort triangle, and, over the cells, the common
// header band and the message of an empty list.
#include "orvex_replist.h"

#include "orvex_datatable_text.h"
#include "orvex_stringl.h"

#include <algorithm>
#include <cmath>

namespace orvex {

namespace {

constexpr TColor kEdgeGrey = 0x808080;

// Number of characters of a UTF-8 text.
std::size_t CharCount(const std::string& S)
{
  return static_cast<std::size_t>(
      std::count_if(S.begin(), S.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

// The last Count characters of a UTF-8 text.
std::string Utf8Right(const std::string& S, std::size_t Count)
{
  const std::size_t n = CharCount(S);
  if (Count >= n)
    return S;
  const std::size_t skip = dtext::Utf8Left(S, n - Count).size();
  return S.substr(skip);
}

// round(x) with halves away from zero, at least 1.
std::size_t KeepCount(double X)
{
  const long keep = std::lround(X);
  return keep < 1 ? 1 : static_cast<std::size_t>(keep);
}

// White on the left and top, grey on the bottom and right.
void RaisedEdge(TCanvas& C, const TRect& R)
{
  if (R.IsEmpty())
    return;
  C.Pen().SetStyle(psSolid);
  C.Pen().SetWidth(1);
  C.Pen().SetMode(pmCopy);
  C.Pen().SetColor(clWhite);
  C.MoveTo(R.Left, R.Bottom - 1);
  C.LineTo(R.Left, R.Top);
  C.LineTo(R.Right - 1, R.Top);
  C.Pen().SetColor(kEdgeGrey);
  C.MoveTo(R.Left, R.Bottom - 1);
  C.LineTo(R.Right - 1, R.Bottom - 1);
  C.LineTo(R.Right - 1, R.Top - 1);
}

}  // namespace

bool TReportListView::BoxShown(const std::string& Text) const
{
  return CharCount(Text) > 1 || FShowEmptyCheckBoxes;
}

void TReportListView::DrawCell(int ACol, int ARow, const TRect& Rect, TGridDrawState)
{
  if (Rect.IsEmpty())
    return;
  const int headers = HeaderRows();
  const int dc = DataColOf(ACol);
  if (ARow < headers) {
    // The common header band is drawn over its row in one piece by PaintOverlay.
    if (!(FCommonHeaderVisible && ARow == 0))
      DrawColumnHeader(dc, Rect);
    return;
  }
  if (NrOfRows() == 0)
    return;  // PaintOverlay fills the area and writes the empty message
  DrawDataCell(dc, DataRowOf(ARow), Rect, ACol < FixedCols());
}

// Text in a text area, clipped to it; at the top plus 1, aligned left, right or centred.
void TReportListView::DrawText(const TRect& Area, const std::string& Text, TAlignment Align)
{
  TCanvas& c = Canvas();
  int width = c.TextWidth(Text);
  if (c.Font().Italic())
    width += 2;
  int x = Area.Left;
  if (Align == taRightJustify)
    x = Area.Right - width;
  else if (Align == taCenter)
    x = Area.Left + (Area.Width() - width) / 2;
  c.Brush().SetStyle(bsClear);
  c.TextRect(Area, x, Area.Top + 1, Text);
  c.Brush().SetStyle(bsSolid);
}

void TReportListView::DrawDataCell(int DataCol, int DataRow, const TRect& Rect, bool FixedCell)
{
  TCanvas& c = Canvas();
  const bool box = CheckBoxColumn(DataCol);
  std::string text = DisplayText(DataCol, DataRow);

  TColor fontColor = FColorText;
  TColor background = FColorBkgdNormal;
  if (FRowColPattern > 0 && ((DataRow - 1) / FRowColPattern) % 2 == 0)
    background = FColorBkgdShaded;
  TFontStyles styles = Font().Style();
  const bool rowDisabled = RowDisabled(DataRow);
  if (FEnabled) {
    if (rowDisabled) {
      background = FColorDisabledBkgd;
      fontColor = FColorDisabledText;
    } else {
      const bool rowSel = RowSelected(DataRow);
      const bool colSel = ColSelected(DataCol);
      if (rowSel && colSel) {
        background = FColorSelectedBoth;
        fontColor = FColorSelectedBothText;
      } else if (colSel) {
        background = FColorSelectedCol;
        fontColor = FColorSelectedColText;
      } else if (rowSel) {
        background = FColorSelectedRow;
        fontColor = FColorSelectedRowText;
      }
      if (DataRow == FHighLightRow || DataCol == FHighLightColumn) {
        background = FColorHigh;
        fontColor = FColorHighText;
        if (FHighLightBold)
          styles.Include(fsBold);
      }
    }
  }
  if (FixedCell)
    background = ColorColumnHd();
  if (!FEnabled)
    fontColor = clInactiveCaption;

  TColor penColor = background;
  TColor brushColor = background;
  Fire(OnBeforeRenderCell, this, DataCol, DataRow, penColor, brushColor, fontColor, styles, text);

  c.Brush().SetStyle(bsSolid);
  c.Brush().SetColor(brushColor);
  c.FillRect(Rect);
  c.Font().SetColor(fontColor);
  c.Font().SetStyle(styles);

  // Too wide for the column: cut in characters, keeping the first one (a state character).
  const std::size_t length = CharCount(text);
  if (length > 0) {
    const int wt = c.TextWidth(text.substr(dtext::Utf8Left(text, 1).size()));
    const int wa = Rect.Width() - 9 - (box ? 16 : 0);
    if (wt > wa && wt > 0) {
      const std::size_t keep = KeepCount(static_cast<double>(length) * wa / wt - 4);
      if (ColumnAlignment(DataCol) == taRightJustify)
        text = dtext::Utf8Left(text, 1) + "..." + Utf8Right(text, keep);
      else
        text = dtext::Utf8Left(text, keep) + "...";
    }
  }

  TRect area{Rect.Left + 4, Rect.Top + 2, Rect.Right - 6, Rect.Bottom};
  if (!box) {
    DrawText(area, text, ColumnAlignment(DataCol));
  } else if (BoxShown(text)) {
    const bool checked = !text.empty() && text[0] != ' ';
    const std::string label = text.substr(dtext::Utf8Left(text, 1).size());
    // The label starts right of the box; its room still ends 6 pixels inside the cell.
    area.Left += 16;
    DrawText(area, label, ColumnAlignment(DataCol));
    const TColor outline = !FEnabled ? clInactiveCaption : rowDisabled ? penColor : clBtnShadow;
    c.Pen().SetStyle(psSolid);
    c.Pen().SetWidth(1);
    c.Pen().SetMode(pmCopy);
    c.Pen().SetColor(outline);
    c.Brush().SetStyle(bsClear);
    c.Rectangle(Rect.Left + 4, Rect.Top + 4, Rect.Left + 15, Rect.Top + 15);
    c.Brush().SetStyle(bsSolid);
    if (checked) {
      c.Pen().SetColor(fontColor);
      for (int i = 0; i < 3; ++i) {
        c.MoveTo(Rect.Left + 6, Rect.Top + 8 + i);
        c.LineTo(Rect.Left + 9, Rect.Top + 11 + i);
        c.MoveTo(Rect.Left + 8, Rect.Top + 10 + i);
        c.LineTo(Rect.Left + 13, Rect.Top + 5 + i);
      }
    }
  }
  if (FixedCell)
    RaisedEdge(c, Rect);
}

void TReportListView::DrawColumnHeader(int DataCol, const TRect& Rect)
{
  TCanvas& c = Canvas();
  c.Brush().SetStyle(bsSolid);
  c.Brush().SetColor(ColorColumnHd());
  c.FillRect(Rect);
  c.Font().SetColor(FColorColumnHdText);
  const bool sorted = DataCol == FData->SortColumn();
  const int available = Rect.Width() - 9 - (sorted ? 13 : 0);
  const TAlignment align = ColumnAlignment(DataCol);
  std::vector<std::string> lines;
  SplitString(ColumnHeader(DataCol), "\n", lines);
  const int h = c.TextHeight("Xg");
  const TRect area{Rect.Left + 4, Rect.Top + 2, Rect.Right - 6 - (sorted ? 13 : 0), Rect.Bottom};
  int textEnd = area.Left;
  for (std::size_t k = 0; k < lines.size(); ++k) {
    std::string line = lines[k];
    const int width = c.TextWidth(line);
    if (width > available && width > 0) {
      const std::size_t keep = KeepCount(static_cast<double>(CharCount(line)) * available / width - 3);
      line = dtext::Utf8Left(line, keep) + "...";
    }
    const TRect lineArea{area.Left, area.Top + static_cast<int>(k) * h, area.Right, Rect.Bottom};
    DrawText(lineArea, line, align);
    const int w = c.TextWidth(line);
    const int end = align == taRightJustify ? area.Right
                    : align == taCenter     ? area.Left + (area.Width() - w) / 2 + w
                                            : area.Left + w;
    if (k == 0)
      textEnd = end;
  }
  if (sorted) {
    // A small triangle after the text, lit from the top left: up for ascending, down else.
    const int x = std::min(textEnd + 4, Rect.Right - 12);
    const int y = Rect.Top + 2 + 1 + std::max(0, (h - 7) / 2);
    c.Pen().SetStyle(psSolid);
    c.Pen().SetWidth(1);
    c.Pen().SetMode(pmCopy);
    if (FData->SortDirection()) {
      c.Pen().SetColor(kEdgeGrey);
      c.MoveTo(x + 3, y);
      c.LineTo(x, y + 7);
      c.Pen().SetColor(clWhite);
      c.MoveTo(x, y + 7);
      c.LineTo(x + 7, y + 7);
      c.LineTo(x + 3, y - 1);
    } else {
      c.Pen().SetColor(kEdgeGrey);
      c.MoveTo(x + 7, y);
      c.LineTo(x, y);
      c.LineTo(x + 3, y + 7);
      c.Pen().SetColor(clWhite);
      c.MoveTo(x + 4, y + 7);
      c.LineTo(x + 7, y);
    }
  }
  RaisedEdge(c, Rect);
}

void TReportListView::PaintOverlay()
{
  if (FCommonHeaderVisible)
    DrawCommonHeader();
  if (NrOfRows() == 0)
    DrawEmptyMessage();
}

void TReportListView::DrawCommonHeader()
{
  // The band spans the visible columns: from the first one to the end of the last one.
  int right = 0;
  for (int col = 0; col < ColCount(); ++col) {
    if (col >= FixedCols() && col < TCustomGrid::LeftCol())
      continue;
    const TRect r = CellRect(col, 0);
    if (r.IsEmpty())
      break;
    right = r.Right;
  }
  const TRect band{0, 0, std::min(right, ClientWidth()), RowHeights(0)};
  if (band.IsEmpty())
    return;
  TCanvas& c = Canvas();
  c.Font().Assign(Font());
  c.Brush().SetStyle(bsSolid);
  c.Brush().SetColor(FEnabled ? FColorCommonHd : FColorDisabledBkgd);
  c.FillRect(band);
  c.Font().SetColor(FEnabled ? FColorCommonHdText : FColorDisabledText);
  std::vector<std::string> lines;
  SplitString(FData->CommonHeader(), "\n", lines);
  const int h = c.TextHeight("Xg");
  c.Brush().SetStyle(bsClear);
  for (std::size_t k = 0; k < lines.size(); ++k) {
    const int w = c.TextWidth(lines[k]);
    int x = band.Left + 4;
    if (FCommonHeaderAlignment == taRightJustify)
      x = band.Right - 6 - w;
    else if (FCommonHeaderAlignment == taCenter)
      x = band.Left + (band.Width() - w) / 2;
    c.TextRect(band, x, band.Top + static_cast<int>(k) * h, lines[k]);
  }
  c.Brush().SetStyle(bsSolid);
  RaisedEdge(c, TRect{band.Left, band.Top, band.Right - 1, band.Bottom});
  c.Pen().SetColor(clBlack);
  c.MoveTo(band.Right - 1, band.Top);
  c.LineTo(band.Right - 1, band.Bottom);
}

void TReportListView::DrawEmptyMessage()
{
  TCanvas& c = Canvas();
  int headerHeight = 0;
  for (int r = 0; r < FixedRows(); ++r)
    headerHeight += RowHeights(r);
  const int height = ClientHeight();
  c.Brush().SetStyle(bsSolid);
  c.Brush().SetColor(Color());
  c.FillRect(TRect{0, headerHeight, ClientWidth(), height});
  if (FEmptyMessage.empty())
    return;
  c.Font().Assign(Font());
  c.Font().SetColor(FColorEmptyMsg);
  std::vector<std::string> lines;
  const int n = SplitString(FEmptyMessage, "|", lines);
  const int h = c.TextHeight("Xg");
  const int top = headerHeight - h * n;
  c.Brush().SetStyle(bsClear);
  for (int k = 1; k <= n; ++k) {
    const std::string& line = lines[static_cast<std::size_t>(k - 1)];
    const int x = (ClientWidth() - c.TextWidth(line)) / 2;
    c.TextOut(x, top + (height - top) / 2 + (k - 1) * h - 2, line);
  }
  c.Brush().SetStyle(bsSolid);
}

}  // namespace orvex
