// The main window of the workbench, TFrmMLRCalc: the tool strip with "Load Data" and the
// collinearity warning, the data page with the table editor, the regression page with the
// variable list and the two result charts, and the details page with the report memo.
//
// The window is thin: the regression itself is TMLRRun (mlrrun.h), which knows no GUI. The
// window reads the roles from the variable list's check boxes, calls the run and pushes its
// results into the charts and the memo. Everything that talks to the user modally (the open
// dialog, warnings and error boxes) goes through replaceable hooks, so tests can answer them.
//
// The unit is split by concern: mainfrm.cpp (creation and layout of the controls, the open
// dialog, "Load Data", guarding of the entry points) and mainfrm_roles.cpp (variable list, role
// rules, the run and filling the charts and the memo).
#pragma once

#include "mlrrun.h"
#include "orvex_controls.h"

#include <QWidget>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class QCheckBox;
class QLabel;
class QPlainTextEdit;
class QTabWidget;
class QToolButton;

namespace orvex {

class TAddedEstimates;
class TGradFill;
class TNTabEd;
class TRChart;
class TReportListView;

// The open-file dialog as a non-visual component: a filter in the "description|pattern" form,
// an initial (and, after Execute, the chosen) file name. Execute runs ExecuteHook when one is
// set, a real modal QFileDialog otherwise; it returns False when the user cancels.
class TOpenDialog {
public:
  // properties
  const std::string& Filter() const { return FFilter; }
  void SetFilter(const std::string& Value) { FFilter = Value; }
  const std::string& FileName() const { return FFileName; }
  void SetFileName(const std::string& Value) { FFileName = Value; }

  // operations
  bool Execute(QWidget* Parent);

  // Replaces the dialog (tests); it may change FileName and returns whether a file was chosen.
  std::function<bool(TOpenDialog& Dialog)> ExecuteHook;

private:
  std::string FFilter;
  std::string FFileName;
};

// Shows a modal message (title, text); a warning box by default.
using TMessageHook = std::function<void(const std::string& Title, const std::string& Text)>;

// The text of both explanation labels while no run has been made.
inline constexpr const char* SelectVariablesText = "Please select input variables and/or the target variable";

class TFrmMLRCalc : public QWidget {
  Q_OBJECT
public:
  explicit TFrmMLRCalc(QWidget* Parent = nullptr);
  ~TFrmMLRCalc() override;

  // controls
  QWidget* Panel1 = nullptr;
  TGradFill* GradFill1 = nullptr;
  QToolButton* SButLoadData = nullptr;
  QLabel* LblNearSing = nullptr;
  QTabWidget* PageControl1 = nullptr;
  QWidget* TSData = nullptr;
  TNTabEd* NTData = nullptr;
  QWidget* TSMLR = nullptr;
  TReportListView* RLVarSel = nullptr;
  QTabWidget* PageControl2 = nullptr;
  QWidget* TSActEstimate = nullptr;
  QLabel* Label2 = nullptr;
  TRChart* RCFit = nullptr;
  QWidget* TSDistriResid = nullptr;
  QLabel* Label1 = nullptr;
  TRChart* RCHisto = nullptr;
  // The diagnostic charts, each on its own page over its explanation label (mainfrm_diagnostics.cpp).
  QWidget* TSResidEst = nullptr;
  QLabel* LabelResidEst = nullptr;
  TRChart* RCResidEst = nullptr;
  QWidget* TSNormalQQ = nullptr;
  QLabel* LabelNormalQQ = nullptr;
  TRChart* RCNormalQQ = nullptr;
  QWidget* TSScaleLoc = nullptr;
  QLabel* LabelScaleLoc = nullptr;
  TRChart* RCScaleLoc = nullptr;
  QWidget* TSResidLev = nullptr;
  QLabel* LabelResidLev = nullptr;
  TRChart* RCResidLev = nullptr;
  // "Add Estimates to Table" under the variable list, with the choice of the interval columns.
  QToolButton* SButAddEstimates = nullptr;
  QCheckBox* CBIntervals = nullptr;
  QWidget* TSDetails = nullptr;
  QPlainTextEdit* MMDetails = nullptr;
  TOpenDialog ODiag;

  // The run with its containers (SelColumns, MatD, VecC, VecX, VecDx, Stats) and results.
  TMLRRun& Run() { return FRun; }

  // operations: the handlers, callable directly
  void FormShow();
  void SButLoadDataClick();
  void RebuildVariableList();
  void RunRegression();
  void RLVarSelCheckedChange(TObject* Sender, bool& State, int Col, int Row);
  void RLVarSelBeforeRenderCell(TObject* Sender, int ACol, int ARow, TColor& PenColor, TColor& BrushColor,
                                TColor& FontColor, TFontStyles& FontStyles, std::string& Text);
  // "Add Estimates to Table": appends the estimates and residuals of the last run (and, with
  // WithIntervals, the confidence and prediction limits) as columns without a role, replacing
  // those of an earlier add; the roles and the fit stay. False when there is no run to add.
  bool AddEstimatesToTable(bool WithIntervals);
  // The role state as the check boxes of the variable list hold it.
  TRoleState Roles() const;
  // The memo's lines.
  std::vector<std::string> DetailsLines() const;

  // Hooks, replaceable by tests: the warning after a failed load and the box that shows an error
  // caught at an entry point.
  TMessageHook ShowWarning;
  TMessageHook ShowError;

protected:
  void showEvent(QShowEvent* Event) override;
  bool eventFilter(QObject* Watched, QEvent* Event) override;

private:
  void CreateControls();
  void SetupChart(TRChart& Chart);
  // Runs a handler so that no library error or exhausted memory leaves it into Qt.
  template <typename F>
  void Guarded(F&& Handler);
  // Keeps the variable list in step with the table's columns (rebuild on a count change, row
  // texts on renames).
  void FollowTable();
  void RefreshVariableTexts();
  void ShowRunFailure(const std::string& Text);
  void SetExplanation(const std::string& Text);
  void FillFitChart();
  void FillResidualHistogram();
  void FillDetails();
  // Diagnostic pages and the estimates command (mainfrm_diagnostics.cpp).
  void CreateDiagnosticPages();
  QWidget* CreateEstimatesBar(QWidget* Parent);
  void FillDiagnosticCharts();
  // Shows or hides every result chart at once (the explanation labels show where they are hidden).
  void ShowResultCharts(bool Visible);
  std::vector<QLabel*> ExplanationLabels() const;
  std::unique_ptr<TAddedEstimates> FLastEstimates;

  TMLRRun FRun;
  bool FShown = false;
};

}  // namespace orvex
