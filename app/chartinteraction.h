// TChartInteraction: what the mouse and the keys do on one scatter chart of the window. It is an
// event filter on the chart and uses only the chart's public interface: ItemAt for the mark under
// the pointer, the chart's own drag modes for panning, zoom windows and selection rectangles, and
// SetRange for the wheel, Home and the zoom history.
//
// Gestures: hovering a mark shows a tooltip (its text comes from the owner); a click (press and
// release within ClickTolerance pixels) on a mark reports its table row, on empty plot a row of 0;
// a plain drag pans (maPan), Ctrl+drag zooms into a rectangle (maZoomWindPos), Shift+drag selects
// the marks in a rectangle (maSelectRect); the wheel zooms about the pointer; a double click or
// Home fits all marks; Back and Forward (Alt+Left, Alt+Right, the mouse's side buttons) walk the
// zoom history, which ResetHistory (a new fit) empties; Escape asks the owner to clear the
// selection. The mode is set from the modifiers at the press and put back to maNone at the release.
//
// A mark maps to its table row through its item tag, which the fills set to the row of the
// result, never through its place in the item list. The selected rows are drawn as rings in
// SelectionRingColor over the chart's frame, without rendering the chart again.
#pragma once

#include "orvex_basetypes.h"
#include "orvex_graphics.h"

#include <QObject>
#include <QPoint>
#include <QPointer>
#include <algorithm>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class QMouseEvent;
class QWheelEvent;
class QKeyEvent;

namespace orvex {

class TCustomRChart;
class TDataTable;
struct TMLRResult;

// The ring around a selected mark: cyan, which no class colour is (0x00BBGGRR).
inline constexpr TColor SelectionRingColor = 0xFFFF00;
// Ring radius (pixels from the mark's centre to the ring's middle) and pen width.
inline constexpr int SelectionRingRadius = 6;
inline constexpr int SelectionRingWidth = 2;

// One world window of layer 1.
struct TZoomWindow {
  double LowX = 0, LowY = 0, HighX = 1, HighY = 1;
  bool operator==(const TZoomWindow&) const = default;
};

class TChartInteraction : public QObject {
public:
  // A child of Chart: it goes with the chart.
  explicit TChartInteraction(TCustomRChart& Chart);
  ~TChartInteraction() override;

  // properties
  TCustomRChart& Chart() const { return FChart; }
  // Pixels a press may move and still be a click.
  int ClickTolerance() const { return FClickTolerance; }
  void SetClickTolerance(int Value) { FClickTolerance = std::max(0, Value); }
  // Pixels from a mark's centre within which the pointer is over it.
  int HitTolerance() const { return FHitTolerance; }
  void SetHitTolerance(int Value) { FHitTolerance = std::max(0, Value); }
  // The wheel's zoom per notch (one step of 120 eighths of a degree): above 1.
  double WheelFactor() const { return FWheelFactor; }
  void SetWheelFactor(double Value)
  {
    if (Value > 1)
      FWheelFactor = Value;
  }
  // The table row of the mark at control pixel (X, Y) within HitTolerance; 0 for none.
  int RowAt(int X, int Y) const;
  // The rows of the marks inside the world rectangle (corners in any order), increasing.
  std::vector<int> RowsIn(double X1, double Y1, double X2, double Y2) const;
  // The rows drawn with a ring; SetSelectedRows repaints the chart's frame only.
  const std::vector<int>& SelectedRows() const { return FSelected; }
  void SetSelectedRows(const std::vector<int>& Rows);
  // The tooltip's text while the pointer is over a mark (empty otherwise) and that mark's row.
  const std::string& ToolTipText() const { return FToolTip; }
  int HoverRow() const { return FHoverRow; }

  // Zoom history: the windows the user went through since the last fit, and the current one's
  // place (0-based).
  TZoomWindow CurrentWindow() const;
  TZoomWindow HomeWindow() const { return FHome; }
  const std::vector<TZoomWindow>& History() const { return FHistory; }
  int HistoryIndex() const { return FHistoryIndex; }
  bool CanGoBack() const { return FHistoryIndex > 0; }
  bool CanGoForward() const { return FHistoryIndex + 1 < static_cast<int>(FHistory.size()); }

  // operations
  // After a new fit: the chart's window is home, and the history holds only it.
  void ResetHistory();
  // Home: the window of the fit, which shows every mark (a step of the history when it changes
  // the window).
  void FitAll();
  bool Back();
  bool Forward();
  // Zooms by Factor (above 1 in, below 1 out) about control pixel (X, Y), which keeps showing
  // the same world point; false outside the plot.
  bool ZoomAt(int X, int Y, double Factor);

  // events
  // The tooltip text for the mark of Row.
  std::function<std::string(TChartInteraction* Sender, int Row)> OnToolTip;
  // A click: Row 0 on empty plot; Modifiers those held at the press.
  std::function<void(TChartInteraction* Sender, int Row, Qt::KeyboardModifiers Modifiers)> OnClickMark;
  // A Shift+drag rectangle: the rows of its marks (possibly none).
  std::function<void(TChartInteraction* Sender, const std::vector<int>& Rows)> OnSelectRows;
  // Escape.
  std::function<void(TChartInteraction* Sender)> OnClearSelection;

protected:
  bool eventFilter(QObject* Watched, QEvent* Event) override;

private:
  bool MousePress(QMouseEvent* Event);
  bool MouseMove(QMouseEvent* Event);
  bool MouseRelease(QMouseEvent* Event);
  bool Wheel(QWheelEvent* Event);
  bool KeyPress(QKeyEvent* Event);
  bool Paint(QEvent* Event);
  void Hover(QPoint Pos);
  void HideToolTip();
  // Sends Event to the chart past this filter.
  void Deliver(QEvent& Event);
  void Apply(const TZoomWindow& Window);
  // Makes the current window a new step after the present one (dropping the steps ahead);
  // Merge replaces the present step instead when it was made by the same kind of gesture.
  void Record(bool Merge = false);
  void DrawRings();

  TCustomRChart& FChart;
  QPointer<QObject> FAlive;  // null once the chart is being destroyed (no downcast then)
  int FClickTolerance = 3;
  int FHitTolerance = 5;
  double FWheelFactor = 1.25;

  // the press of a left-button gesture
  bool FPressed = false;
  bool FMoved = false;
  QPoint FPressPos;
  Qt::KeyboardModifiers FPressMods;
  int FGestureMode = 0;  // the TMouseActMode set at the press
  bool FForwarding = false;

  // hover
  int FHoverRow = 0;
  std::string FToolTip;

  // selection: one flag per table row
  std::vector<int> FSelected;
  std::vector<std::uint8_t> FSelectedFlag;

  // zoom history
  TZoomWindow FHome;
  std::vector<TZoomWindow> FHistory;
  int FHistoryIndex = 0;
  bool FLastStepWheel = false;  // the present step came from the wheel at FWheelPos
  QPoint FWheelPos;
};

// The tooltip of the mark of table row Row as a fit shows it: the row's number and name, its
// class, the actual and estimated values and the residual (actual minus estimated), with
// Influence also its leverage and Cook's distance, numbers as the report writes them. Empty for
// a row that is not an object of the fit.
std::string MarkToolTipText(const TMLRResult& Result, const TDataTable& Table, int Row, bool Influence);

}  // namespace orvex
