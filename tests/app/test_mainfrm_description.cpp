// The main window's description, one row per property value the window gives its controls,
// checked against the window as built and shown (before any run): fonts, colours, sizes and
// places, options, captions, anchors and mouse modes. A row that fails names its control and
// property.
#include "mainfrm_testutil.h"

#include "orvex_gradfl.h"
#include "orvex_ntabed.h"
#include "orvex_rchart.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QToolButton>
#include <cstdio>
#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <vector>

using namespace orvex;
using namespace mainfrm_test;

namespace {

std::string S(bool V)
{
  return V ? "true" : "false";
}
std::string S(int V)
{
  return std::to_string(V);
}
std::string S(const QString& V)
{
  return V.toStdString();
}
std::string S(const QRect& R)
{
  return S(R.x()) + "," + S(R.y()) + " " + S(R.width()) + "x" + S(R.height());
}
std::string S(const QSize& Z)
{
  return S(Z.width()) + "x" + S(Z.height());
}
// Colours as 0x00BBGGRR, the way the description writes them (system colours resolved).
std::string Hex(TColor C)
{
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%06X", static_cast<unsigned>(ColorToRGB(C)));
  return buf;
}
std::string Hex(const QColor& C)
{
  return Hex(FromQColor(C));
}

struct TRow {
  const char* Control;
  const char* Property;
  std::string Want;
  std::function<std::string()> Got;
};

}  // namespace

TEST(MainWindowDescription, EveryPropertyValueAsBuilt)
{
  TShownWindow t;
  TFrmMLRCalc& w = *t.W;
  TNTabEd& ed = *w.NTData;
  TReportListView& lv = *w.RLVarSel;
  const TMLRRun& run = w.Run();
  const TGridOptions editorOptions{goFixedVertLine, goFixedHorzLine, goVertLine,
                                   goHorzLine,      goRangeSelect,   goColSizing};
  const QRect dataPage = w.TSData->rect();

  std::vector<TRow> rows = {
      {"TFrmMLRCalc", "Caption", "Multiple Linear Regression", [&] { return S(w.windowTitle()); }},
      {"TFrmMLRCalc", "size", "700x500", [&] { return S(w.size()); }},
      {"TFrmMLRCalc", "minimum size", "700x500", [&] { return S(w.minimumSize()); }},
      {"TFrmMLRCalc", "face colour", Hex(clBtnFace), [&] { return Hex(w.palette().color(QPalette::Window)); }},
      {"TFrmMLRCalc", "font", S(MapFontFamily("MS Sans Serif")), [&] { return S(w.font().family()); }},
      {"TFrmMLRCalc", "font height", "13", [&] { return S(w.font().pixelSize()); }},

      {"Panel1", "top strip, height", "0,0 700x33", [&] { return S(w.Panel1->geometry()); }},
      {"GradFill1", "fills the panel", S(w.Panel1->rect()), [&] { return S(w.GradFill1->geometry()); }},
      {"GradFill1", "ColorFirst", Hex(clBtnFace), [&] { return Hex(w.GradFill1->ColorFirst()); }},
      {"GradFill1", "ColorLast", Hex(clWhite), [&] { return Hex(w.GradFill1->ColorLast()); }},
      {"GradFill1", "NrColors", "64", [&] { return S(w.GradFill1->NrColors()); }},
      {"GradFill1", "FrameStyle fsNone", "true", [&] { return S(w.GradFill1->FrameStyle() == fsNone); }},
      {"GradFill1", "GridMode gmNone", "true", [&] { return S(w.GradFill1->GridMode() == gmNone); }},
      {"GradFill1", "ColorFlipped", "false", [&] { return S(w.GradFill1->ColorFlipped()); }},

      {"SButLoadData", "place", "4,2 149x27", [&] { return S(w.SButLoadData->geometry()); }},
      {"SButLoadData", "Caption", "Load Data", [&] { return S(w.SButLoadData->text()); }},
      {"SButLoadData", "Hint", "BF_open a stored MLR model", [&] { return S(w.SButLoadData->toolTip()); }},
      {"SButLoadData", "flat", "true", [&] { return S(w.SButLoadData->autoRaise()); }},
      {"SButLoadData", "glyph", "true", [&] { return S(!w.SButLoadData->icon().isNull()); }},

      {"LblNearSing", "place", "160,8 460x16", [&] { return S(w.LblNearSing->geometry()); }},
      {"LblNearSing", "Caption", "Warning: some of the selected input variables are highly collinear!!",
       [&] { return S(w.LblNearSing->text()); }},
      {"LblNearSing", "colour", Hex(clRed), [&] { return Hex(w.LblNearSing->palette().color(QPalette::WindowText)); }},
      {"LblNearSing", "bold", "true", [&] { return S(w.LblNearSing->font().bold()); }},
      {"LblNearSing", "transparent", "true",
       [&] { return S(w.LblNearSing->testAttribute(Qt::WA_TranslucentBackground)); }},
      {"LblNearSing", "hidden at start", "true", [&] { return S(w.LblNearSing->isHidden()); }},

      {"PageControl1", "below the panel", "33", [&] { return S(w.PageControl1->y()); }},
      {"PageControl1", "fills the rest", "700x467", [&] { return S(w.PageControl1->size()); }},
      {"PageControl1", "pages", "Data|Regression|Details",
       [&] {
         return S(w.PageControl1->tabText(0) + "|" + w.PageControl1->tabText(1) + "|" + w.PageControl1->tabText(2));
       }},

      {"NTData", "fills the page", S(dataPage), [&] { return S(ed.geometry()); }},
      {"NTData", "AutoAdvance", "true", [&] { return S(ed.AutoAdvance()); }},
      {"NTData", "AutoAdvanceDir orVert", "true", [&] { return S(ed.AutoAdvanceDir() == orVert); }},
      {"NTData", "AttribRowVisible", "true", [&] { return S(ed.AttribRowVisible()); }},
      {"NTData", "AttribColVisible", "false", [&] { return S(ed.AttribColVisible()); }},
      {"NTData", "CommentEditingAllowed", "true", [&] { return S(ed.CommentEditingAllowed()); }},
      {"NTData", "DataReadOnly", "false", [&] { return S(ed.DataReadOnly()); }},
      {"NTData", "NumWidth", "1", [&] { return S(ed.NumWidth()); }},
      {"NTData", "ClipboardUseFullPrec", "true", [&] { return S(ed.ClipboardUseFullPrec()); }},
      {"NTData", "BoldMarks", "true", [&] { return S(ed.BoldMarks()); }},
      {"NTData", "BoldSelHeads", "true", [&] { return S(ed.BoldSelHeads()); }},
      {"NTData", "DefaultColWidth", "64", [&] { return S(ed.DefaultColWidth()); }},
      {"NTData", "ColorNormal", "0x002000", [&] { return Hex(ed.ColorNormal()); }},
      {"NTData", "ColorSelected", "0x404040", [&] { return Hex(ed.ColorSelected()); }},
      {"NTData", "ColorMarkedA", Hex(clRed), [&] { return Hex(ed.ColorMarkedA()); }},
      {"NTData", "ColorMarkedB", Hex(clBlue), [&] { return Hex(ed.ColorMarkedB()); }},
      {"NTData", "ColorMarkedBoth", "0xCC00BB", [&] { return Hex(ed.ColorMarkedBoth()); }},
      {"NTData", "ColorRangeSelFG", "0x80552C", [&] { return Hex(ed.ColorRangeSelFG()); }},
      {"NTData", "ColorRangeSelBG", "0xF8E8E0", [&] { return Hex(ed.ColorRangeSelBG()); }},
      {"NTData", "Options (lines, range selection, column sizing)", "true",
       [&] {
         const TGridOptions o = ed.Options();
         bool all = true;
         for (TGridOption opt : {goFixedVertLine, goFixedHorzLine, goVertLine, goHorzLine, goRangeSelect, goColSizing})
           all = all && o.Contains(opt) == editorOptions.Contains(opt);
         return S(all && !o.Contains(goRowSizing));
       }},

      {"RLVarSel", "left, width", "0 281", [&] { return S(lv.x()) + " " + S(lv.width()); }},
      {"RLVarSel", "columns", "4", [&] { return S(lv.NrOfColumns()); }},
      {"RLVarSel", "CommonHeader", "List of Variables", [&] { return lv.CommonHeader(); }},
      {"RLVarSel", "CommonHeaderAlignment centred", "true", [&] { return S(lv.CommonHeaderAlignment() == taCenter); }},
      {"RLVarSel", "CommonHeaderVisible", "true", [&] { return S(lv.CommonHeaderVisible()); }},
      {"RLVarSel", "CommonHeaderHeight", "20", [&] { return S(lv.CommonHeaderHeight()); }},
      {"RLVarSel", "ColumnHeadersVisible", "true", [&] { return S(lv.ColumnHeadersVisible()); }},
      {"RLVarSel", "ColumnHeadersHeight", "20", [&] { return S(lv.ColumnHeadersHeight()); }},
      {"RLVarSel", "header rows as drawn", "20 20", [&] { return S(lv.RowHeights(0)) + " " + S(lv.RowHeights(1)); }},
      {"RLVarSel", "DefaultRowHeight", "18", [&] { return S(lv.DefaultRowHeight()); }},
      {"RLVarSel", "ShowEmptyCheckBoxes", "true", [&] { return S(lv.ShowEmptyCheckBoxes()); }},
      {"RLVarSel", "RowColPattern", "1", [&] { return S(lv.RowColPattern()); }},
      {"RLVarSel", "RowSelectMode", "0", [&] { return S(lv.RowSelectMode()); }},
      {"RLVarSel", "SortEnabled", "false", [&] { return S(lv.SortEnabled()); }},
      {"RLVarSel", "UseCtrlForMultiSel", "true", [&] { return S(lv.UseCtrlForMultiSel()); }},
      {"RLVarSel", "FixedFirstColumn", "false", [&] { return S(lv.FixedFirstColumn()); }},
      {"RLVarSel", "ColorText", "0x002000", [&] { return Hex(lv.ColorText()); }},
      {"RLVarSel", "ColorBkgdNormal", Hex(clWhite), [&] { return Hex(lv.ColorBkgdNormal()); }},
      {"RLVarSel", "ColorBkgdShaded", "0xE7DFDE", [&] { return Hex(lv.ColorBkgdShaded()); }},
      {"RLVarSel", "ColorHigh", "0xECF0E1", [&] { return Hex(lv.ColorHigh()); }},
      {"RLVarSel", "ColorHighText", Hex(clWhite), [&] { return Hex(lv.ColorHighText()); }},
      {"RLVarSel", "ColorSelectedRow", "0x3F3F3F", [&] { return Hex(lv.ColorSelectedRow()); }},
      {"RLVarSel", "ColorSelectedRowText", "0xE5FFFF", [&] { return Hex(lv.ColorSelectedRowText()); }},
      {"RLVarSel", "ColorDisabledBkgd", "0xF0F0F0", [&] { return Hex(lv.ColorDisabledBkgd()); }},
      {"RLVarSel", "ColorDisabledText", Hex(clSilver), [&] { return Hex(lv.ColorDisabledText()); }},
      {"RLVarSel", "ColorCommonHd", Hex(clBtnFace), [&] { return Hex(lv.ColorCommonHd()); }},
      {"RLVarSel", "ColorCommonHdText", Hex(clBlack), [&] { return Hex(lv.ColorCommonHdText()); }},
      {"RLVarSel", "ColorColumnHd", Hex(clBtnFace), [&] { return Hex(lv.ColorColumnHd()); }},
      {"RLVarSel", "ColorColumnHdText", Hex(clBlack), [&] { return Hex(lv.ColorColumnHdText()); }},
      {"RLVarSel", "OnCheckedChange", "true", [&] { return S(static_cast<bool>(lv.OnCheckedChange)); }},
      {"RLVarSel", "OnBeforeRenderCell", "true", [&] { return S(static_cast<bool>(lv.OnBeforeRenderCell)); }},

      {"PageControl2", "fills the rest of the page", S(QRect(281, 0, w.TSMLR->width() - 281, w.TSMLR->height())),
       [&] { return S(w.PageControl2->geometry()); }},
      {"PageControl2", "first page active", "0", [&] { return S(w.PageControl2->currentIndex()); }},
      {"PageControl2", "pages", "Actual vs. Estimated Data|Distribution of Residuals",
       [&] { return S(w.PageControl2->tabText(0) + "|" + w.PageControl2->tabText(1)); }},

      {"MMDetails", "font", S(MapFontFamily("Courier New")), [&] { return S(w.MMDetails->font().family()); }},
      {"MMDetails", "font height", "13", [&] { return S(w.MMDetails->font().pixelSize()); }},
      {"MMDetails", "both scroll bars", "true",
       [&] {
         return S(w.MMDetails->horizontalScrollBarPolicy() == Qt::ScrollBarAlwaysOn &&
                  w.MMDetails->verticalScrollBarPolicy() == Qt::ScrollBarAlwaysOn);
       }},
      {"MMDetails", "no word wrap", "true", [&] { return S(w.MMDetails->lineWrapMode() == QPlainTextEdit::NoWrap); }},

      // The open dialog offers every data file the readers take, ASC files alone, or any file.
      {"ODiag", "Filter", "Data files|*.asc *.csv *.tsv *.txt *.xlsx *.xlsm *.ods *.sav *.zsav *.por *.dta *.sas7bdat *.xpt|ASC Files|*.asc|All files|*",
       [&] { return w.ODiag.Filter(); }},
      {"ODiag", "FileName", "", [&] { return w.ODiag.FileName(); }},
      {"SelColumns", "NrOfElem", "1", [&] { return S(run.SelColumns().NrOfElem()); }},
      {"MatD", "size", "1x1", [&] { return S(run.MatD().NrOfColumns()) + "x" + S(run.MatD().NrOfRows()); }},
      {"VecC VecX VecDx", "NrOfElem", "1 1 1",
       [&] { return S(run.VecC().NrOfElem()) + " " + S(run.VecX().NrOfElem()) + " " + S(run.VecDx().NrOfElem()); }},
  };

  // The explanation labels, and the two charts that lie above them.
  for (QLabel* label : {w.Label2, w.Label1}) {
    const char* name = label == w.Label2 ? "Label2" : "Label1";
    rows.push_back({name, "place", "16,16 144x48", [=] { return S(label->geometry()); }});
    rows.push_back({name, "word wrap", "true", [=] { return S(label->wordWrap()); }});
    rows.push_back({name, "Caption", SelectVariablesText, [=] { return S(label->text()); }});
    rows.push_back({name, "colour", Hex(clNavy), [=] { return Hex(label->palette().color(QPalette::WindowText)); }});
    rows.push_back({name, "bold", "true", [=] { return S(label->font().bold()); }});
  }
  for (TRChart* chart : {w.RCFit, w.RCHisto}) {
    const char* name = chart == w.RCFit ? "RCFit" : "RCHisto";
    QWidget* page = chart == w.RCFit ? w.TSActEstimate : w.TSDistriResid;
    QLabel* label = chart == w.RCFit ? w.Label2 : w.Label1;
    rows.push_back({name, "fills the page", S(page->rect()), [=] { return S(chart->geometry()); }});
    rows.push_back({name, "above its label", "true", [=] {
                      const QObjectList& kids = page->children();
                      return S(kids.indexOf(chart) > kids.indexOf(label));
                    }});
    rows.push_back({name, "hidden at start", "true", [=] { return S(chart->isHidden()); }});
    rows.push_back({name, "AutoRedraw", "true", [=] { return S(chart->AutoRedraw()); }});
    rows.push_back({name, "margins right top bottom", "20 20 40", [=] {
                      return S(chart->MarginRight()) + " " + S(chart->MarginTop()) + " " + S(chart->MarginBottom());
                    }});
    rows.push_back({name, "scales 1X 1Y visible", "true true",
                    [=] { return S(chart->Scale1X().Visible()) + " " + S(chart->Scale1Y().Visible()); }});
    rows.push_back({name, "scale 1X DecPlaces", "-2", [=] { return S(chart->Scale1X().DecPlaces()); }});
    rows.push_back(
        {name, "scale 1Y DecPlaces", chart == w.RCFit ? "-2" : "0", [=] { return S(chart->Scale1Y().DecPlaces()); }});
    rows.push_back({name, "MinTicks", "3 3",
                    [=] { return S(chart->Scale1X().MinTicks()) + " " + S(chart->Scale1Y().MinTicks()); }});
    rows.push_back({name, "scale font", "Arial -13 Arial -13", [=] {
                      return chart->Scale1X().Font().Name() + " " + S(chart->Scale1X().Font().Height()) + " " +
                             chart->Scale1Y().Font().Name() + " " + S(chart->Scale1Y().Font().Height());
                    }});
    rows.push_back(
        {name, "title anchored top right", "true",
         [=] { return S(chart->CaptionAnchorHoriz() == cahChartRight && chart->CaptionAnchorVert() == cavChartTop); }});
    rows.push_back(
        {name, "title right-justified", "true", [=] { return S(chart->CaptionAlignment() == taRightJustify); }});
    rows.push_back({name, "mouse action none", "true", [=] { return S(chart->MouseAction() == maNone); }});
  }
  rows.push_back({"RCHisto", "Caption", "Distribution of the Residuals", [&] { return w.RCHisto->Caption(); }});

  for (const TRow& r : rows)
    EXPECT_EQ(r.Got(), r.Want) << r.Control << " " << r.Property;
  EXPECT_GT(rows.size(), 120u);
}

TEST(MainWindowDescription, FitChartTitleSitsRightJustifiedAtTheChartsTopRight)
{
  TShownWindow t;
  TFrmMLRCalc& w = *t.W;
  t.ClickBox(2, 3);  // inputs Length and Width, target Net Weight
  t.ClickBox(2, 4);
  t.ClickBox(3, 6);
  ASSERT_TRUE(w.Run().Succeeded());
  TRChart& fit = *w.RCFit;
  const std::string title = fit.Caption();
  ASSERT_EQ(title.rfind("r2 = ", 0), 0u) << title;
  ASSERT_NE(title.find("  F = "), std::string::npos) << title;

  // The title's ink: the chart with and without it.
  const QImage with = fit.grab().toImage();
  fit.SetCaption("");
  const QImage without = fit.grab().toImage();
  QRect ink;
  for (int y = 0; y < with.height(); ++y)
    for (int x = 0; x < with.width(); ++x)
      if (with.pixel(x, y) != without.pixel(x, y))
        ink |= QRect(x, y, 1, 1);
  // The same text drawn alone at (0, 0) in the chart's font.
  TBitmap ref(600, 40);
  ref.Canvas().Brush().SetColor(clWhite);
  ref.Canvas().FillRect({0, 0, 600, 40});
  const QImage blank = ref.Image().copy();
  ref.Canvas().Font().Assign(fit.Font());
  ref.Canvas().Brush().SetStyle(bsClear);
  ref.Canvas().TextOut(0, 0, title);
  QRect refInk;
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 600; ++x)
      if (ref.Image().pixel(x, y) != blank.pixel(x, y))
        refInk |= QRect(x, y, 1, 1);
  // Anchored at the chart's top right (control width - MarginRight, MarginTop), offset by the
  // caption position, the text's right end at the anchor.
  const int anchorX = fit.width() - fit.MarginRight() - fit.ShadowWidth() + fit.CaptionPosX();
  const int top = fit.MarginTop() + fit.CaptionPosY();
  const int left = anchorX - ref.Canvas().TextWidth(title);
  EXPECT_EQ(ink, refInk.translated(left, top));
  EXPECT_LT(ink.bottom(), fit.MarginTop());  // above the plot
}
