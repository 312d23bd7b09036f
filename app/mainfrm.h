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
// dialog, "Load Data", guarding of the entry points), mainfrm_roles.cpp (variable list, role
// rules, the run and filling the charts and the memo), mainfrm_load.cpp (opening a data file:
// the format, the import dialog, the background load with its progress strip, dropped files),
// mainfrm_save.cpp ("Save Data" and "Save Data As"), mainfrm_undo.cpp (undo and redo, unsaved
// changes, and the work that follows each edit: the refit and the roles kept on their columns)
// and mainfrm_selection.cpp (hover, linked selection and zoom on the scatter charts).
#pragma once

#include "chartexport.h"
#include "mlrrun.h"
#include "orvex_controls.h"
#include "orvex_datatable.h"
#include "orvex_delimited.h"

#include <QWidget>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <vector>

class QAction;
class QCheckBox;
class QComboBox;
class QLabel;
class QMenu;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QTabWidget;
class QTimer;
class QToolButton;

namespace orvex {

struct TAddedEstimates;
class TChartInteraction;
class TGradFill;
class TImageExportDialog;
class TImportDialog;
class TSheetImportDialog;
class TNTabEd;
class TRChart;
class TReportListView;
class TTableHistory;
struct TEstimateColumn;
struct TTableChange;

// The open-file dialog as a non-visual component: a filter of "description|pattern" pairs, each
// joined to the next by "|" ("Data files|*.csv *.txt|All files|*"),
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

// The filter of the open dialog: data files, ASC files, all files.
inline constexpr const char* DataFileFilter =
    "Data files|*.asc *.csv *.tsv *.txt *.xlsx *.xlsm *.ods *.sav *.zsav *.por *.dta *.sas7bdat *.xpt|"
    "ASC Files|*.asc|All files|*";

// The check-box columns of the variable list: the roles and the weight column.
inline constexpr int ListColInput = 2;
inline constexpr int ListColTarget = 3;
inline constexpr int ListColWeight = 4;
// The answers to "Save changes to NAME?".
enum class TSaveAnswer { Save, Discard, Cancel };

// The exclusion commands (buttons, the charts' context menu, the editor's row menu).
inline constexpr const char* ExcludeSelectedText = "Exclude Selected Objects";
// The zoom commands of a scatter chart's context menu, with their keys.
inline constexpr const char* ZoomBackText = "Zoom Back\tAlt+Left";
inline constexpr const char* ZoomForwardText = "Zoom Forward\tAlt+Right";
inline constexpr const char* FitAllMarksText = "Show All Marks\tHome";
inline constexpr const char* IncludeAllText = "Include All Objects";

// The window's caption while the demonstration data are untouched.
inline constexpr const char* MainCaption = "Multiple Linear Regression";

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
  // Undo and redo on the tool strip (also Ctrl+Z, and Ctrl+Shift+Z or Ctrl+Y).
  QToolButton* SButUndo = nullptr;
  QToolButton* SButRedo = nullptr;
  QToolButton* SButSaveData = nullptr;
  QToolButton* SButSaveDataAs = nullptr;
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
  // "Exclude Selected Objects" and "Include All Objects" under them (mainfrm_exclude.cpp).
  QToolButton* SButExclude = nullptr;
  QToolButton* SButIncludeAll = nullptr;
  // The model options under the variable list (mainfrm_options.cpp): "Intercept" (on by
  // default) and the type of robust standard errors ("None", "HC0" .. "HC3").
  QCheckBox* CBIntercept = nullptr;
  QComboBox* CBRobust = nullptr;
  QWidget* TSDetails = nullptr;
  QPlainTextEdit* MMDetails = nullptr;
  // The bar above the memo with the report commands (mainfrm_export.cpp).
  QWidget* PnlDetailsBar = nullptr;
  QToolButton* SButCopyReport = nullptr;
  QToolButton* SButSaveReport = nullptr;
  QToolButton* SButCopyCoefficients = nullptr;
  TOpenDialog ODiag;
  // The table editor's message line under it on the data page (how a paste was read).
  QLabel* LblDataMessage = nullptr;
  // The load strip at the bottom, shown while a file is read in the background.
  QWidget* PnlLoad = nullptr;
  QLabel* LblLoad = nullptr;
  QProgressBar* PBLoad = nullptr;
  QPushButton* BtnLoadCancel = nullptr;

  // The run with its containers (SelColumns, MatD, VecC, VecX, VecDx, Stats) and results; its
  // result is complete (a pending completion is made first).
  TMLRRun& Run()
  {
    CompleteFit();
    return FRun;
  }
  // A fit is shown in two steps: the run publishes the fit's part, the charts, the histogram
  // and the report are painted, and then (a posted event of low priority, after the paint's)
  // the influence measures, the predictions and the report's influential objects are made and
  // shown. Whether the shown fit still waits for that second step:
  bool ResultPending() const { return FRun.ResultPending(); }
  // Makes the pending second step now and shows it (the diagnostic chart on show, the memo);
  // whatever reads the influence measures or the predictions calls it first.
  void CompleteFit();

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
  // The model options as the window holds them: the variable list's "Weight" column, the
  // "Intercept" check box, the robust type and the reference levels chosen in the list's menu.
  TMLRModelOptions ModelOptions() const;
  // The reference level of the categorical column Col, as the list's context menu sets it; a
  // complete role state runs again.
  void SetReferenceLevel(int Col, int Level);
  // The variable list's context menu for its row Row: for a categorical (Nominal) column one
  // checkable action per level that holds values, the reference level checked; null for any
  // other column. The caller owns the menu.
  QMenu* CreateVariableMenu(int Row);
  // The memo's lines, complete.
  std::vector<std::string> DetailsLines();
  // The selected objects: the rows selected in the table editor (TNTabEd::SelectedRows), which
  // the scatter charts show with rings and choose by click and Shift+drag (mainfrm_selection.cpp).
  std::vector<int> SelectedObjects() const;
  // The hover, selection and zoom of a scatter chart; null for the histogram.
  TChartInteraction* ChartInteraction(const TRChart* Chart) const;

  // Export (mainfrm_export.cpp). The result charts in the order of their tabs.
  std::vector<TRChart*> ResultCharts() const;
  // The context menu of a result chart: "Copy Image", "Save Image As...", "Exclude Selected
  // Objects", "Include All Objects". The caller owns the menu.
  QMenu* CreateChartMenu(TRChart* Chart);
  // "Copy Image": the chart rendered at its size on the screen, as an image on the clipboard.
  void CopyChartImage(TRChart* Chart);
  // "Save Image As...": the export dialog, then the file; true when it was written. A failure is
  // shown with the file's name and the reason, and an old file stays whole.
  bool SaveChartImageAs(TRChart* Chart);
  // The details page: "Copy Report" (the memo's text, and the report as HTML), "Save Report
  // As..." (.txt, or .html/.htm with the tables as HTML tables; true when written) and "Copy
  // Coefficient Table" (tab-separated text and an HTML table, every number in full).
  void CopyReport();
  bool SaveReportAs();
  void CopyCoefficientTable();

  // Objects excluded by the user (mainfrm_exclude.cpp): table rows left out of the fit with
  // their values kept, increasing. The selected objects are SelectedObjects() above.
  const std::vector<int>& ExcludedRows() const { return FExcludedRows; }
  // Each is one step of the undo history and refits at once.
  void ExcludeSelectedObjects();
  void IncludeAllObjects();

  // Opens a data file as "Load Data" does once a file is chosen: an ASC file without a dialog,
  // a delimited text file through the import dialog; files of BackgroundLoadSize bytes or more are
  // read on a worker thread while the window keeps answering.
  void OpenDataFile(const std::string& FileName);
  // The file mlrcalc was started with: FormShow opens it over the demonstration data, which stay
  // when it cannot be read or its load is cancelled.
  const std::string& StartFile() const { return FStartFile; }
  void SetStartFile(const std::string& Value) { FStartFile = Value; }
  std::int64_t BackgroundLoadSize() const { return FBackgroundLoadSize; }
  void SetBackgroundLoadSize(std::int64_t Value) { FBackgroundLoadSize = Value; }
  // Whether a background load runs; CancelLoad ends it and keeps the table and the roles.
  bool Loading() const;
  void CancelLoad();

  // Undo and unsaved changes (mainfrm_undo.cpp). Every change of the table is a step of the
  // history; a load starts a new one. Modified: the table differs from the last load or save.
  TTableHistory& History() { return *FHistory; }
  bool Modified() const;
  void Undo();
  void Redo();
  // Before the table is replaced or the window closes: asks "Save changes to NAME?" when there
  // are unsaved changes. True when the caller may go on (saved, discarded or nothing to ask).
  bool ConfirmDiscard();
  // What the caption and the question call the table: the file's name, or the demonstration data.
  std::string DocumentName() const;
  // The box "Save changes to NAME?" with Save, Discard and Cancel; its close button is Cancel.
  static TSaveAnswer AskSaveChangesBox(QWidget* Parent, const std::string& Name);
  // Asks the question (AskSaveChangesBox by default).
  std::function<TSaveAnswer(const std::string& Name)> AskSaveChanges;
  // "Save Data" (Ctrl+S): writes the table back to the file it was loaded from or last saved to,
  // in that file's format and dialect (and an ASC file's key/value section); with no such file
  // (the demonstration data), or when the load left columns of the file out or skipped lines
  // before the table, which a save would lose, it is Save As. "Save Data As" (Ctrl+Shift+S):
  // asks for a file name; the format follows its extension (.asc, .csv, .tsv, .txt). Both
  // return true only when the file was written; a failure is shown with the file's name and
  // the reason, and the table stays as it is.
  bool SaveDataFile();
  bool SaveDataFileAs();
  // The file the table was loaded from or last saved to; empty for the demonstration data.
  const std::string& DataFileName() const { return FDataFile.FileName; }
  TFileFormat DataFileFormat() const { return FDataFile.Format; }
  const TDelimitedDialect& DataFileDialect() const { return FDataFile.Dialect; }

  // Hooks, replaceable by tests: the warning after a failed load and the box that shows an error
  // caught at an entry point.
  TMessageHook ShowWarning;
  TMessageHook ShowError;
  // Runs the import dialog (modal by default); true when the user chose OK.
  std::function<bool(TImportDialog& Dialog)> ExecuteImportHook;
  // The same for the dialog of workbooks and statistics-package files.
  std::function<bool(TSheetImportDialog& Dialog)> ExecuteSheetImportHook;
  // Asks for the file name of "Save Data As", FileName holding a suggestion; a modal save
  // dialog by default. False when the user cancels.
  std::function<bool(std::string& FileName)> ExecuteSaveHook;
  // Runs the dialog of "Save Image As..." (modal by default); true when the user chose OK.
  std::function<bool(TImageExportDialog& Dialog)> ExecuteImageExportHook;
  // Asks for the file name of "Save Report As...", FileName holding a suggestion; a modal save
  // dialog by default. False when the user cancels.
  std::function<bool(std::string& FileName)> ExecuteSaveReportHook;
  // Opens the charts' and the memo's context menus without blocking (QMenu::popup by default).
  std::function<void(QMenu* Menu, const QPoint& GlobalPos)> ChartPopupHook;
  // Fired when a background load has ended: adopted, failed or cancelled.
  std::function<void(TFrmMLRCalc* Sender)> OnLoadEnded;
  // The memory "Load Data" may take for a table, in bytes (below 0: unknown, every table is
  // loaded); by default what the system has available.
  std::function<std::int64_t()> AvailableMemory;

protected:
  void showEvent(QShowEvent* Event) override;
  // The posted second step of a fit (CompleteFit).
  void customEvent(QEvent* Event) override;
  bool eventFilter(QObject* Watched, QEvent* Event) override;
  void dragEnterEvent(QDragEnterEvent* Event) override;
  void dropEvent(QDropEvent* Event) override;
  void closeEvent(QCloseEvent* Event) override;

private:
  struct TLoadJob;
  // The file behind the table, as loaded or saved.
  struct TDataFile {
    std::string FileName;  // empty: none (the demonstration data)
    TFileFormat Format = TFileFormat::Asc;
    TDelimitedDialect Dialect;  // as used, for a delimited file
    TCustomData CustomData;     // an ASC file's key/value section
    // The load left columns out or skipped lines: a save over the file would lose them.
    bool Partial = false;
  };
  void CreateControls();
  // mainfrm_undo.cpp
  void CreateUndoControls();
  void TableChanged(const TTableChange& Change);
  // Runs AfterEvent once the event being handled has finished (once however often it is asked).
  void ScheduleAfterEvent();
  // Closes the undo step of the event, brings the variable list in step, refits when needed.
  void AfterEvent();
  // Puts the roles kept across a column change back on the rebuilt variable list.
  void RestoreKeptRoles();
  // The role rules' last two steps on the current roles: charts shown and run when complete.
  void Refit();
  void UpdateCaption();
  void PlaceHistoryButtons();
  // The prompt's Save answer: true when the table was written.
  bool SaveForPrompt();
  // Makes "Add Estimates to Table" a step of the history.
  void PushAddEstimates(std::vector<TEstimateColumn> Columns, const TAddedEstimates& Previous);
  // mainfrm_load.cpp
  void CreateStatusLines();
  void StartBackgroundLoad(std::shared_ptr<TLoadJob> Job);
  // Puts a finished read into the table (on success) or says why not.
  void AdoptLoad(TLoadJob& Job);
  void PollLoad();
  void EndLoad();
  void SetupChart(TRChart& Chart);
  // mainfrm_export.cpp
  void CreateExportControls();
  bool ChartContextMenu(QObject* Watched, QEvent* Event);
  void AddReportActions(QMenu* Menu);
  void UpdateExportCommands();
  std::string ReportTitle() const;
  // mainfrm_exclude.cpp
  QWidget* CreateExclusionBar(QWidget* Parent);
  void AddExclusionActions(QMenu* Menu);
  void SetExcludedRows(std::vector<int> Rows, const char* Command);
  void ApplyExcludedRows(const std::vector<int>& Rows);
  // The set as an edit's undo or redo left it.
  void RestoreExcludedRows(const std::vector<int>& Rows);
  // "Exclude Selected Objects" only with objects selected, "Include All Objects" only with
  // objects excluded.
  void UpdateExclusionCommands();
  void UpdateExclusionCommands(bool AnySelected);
  // Keeps the excluded rows on their rows as rows come and go; a load clears them.
  void MoveExcludedRows(const TTableChange& Change);
  std::vector<int> FExcludedRows;
  std::vector<QAction*> FRowMenuActions;  // added to the editor's heading menu
  std::string FLastExportFolder;
  std::string FLastReportFile;
  TImageFormat FLastImageFormat = TImageFormat::Png;
  int FLastImageDpi = 0;  // 0: the format's default
  // mainfrm_save.cpp
  void CreateSaveControls();
  void PlaceSaveButtons();
  bool RunSaveDialog(std::string& FileName);
  bool WriteDataFile(const std::string& FileName, TFileFormat Format, const TDelimitedDialect& Dialect);
  void ShowSaveFailure(std::string Text);
  // Called once a save has written FileName: it is now the table's file.
  void DataFileSaved(const std::string& FileName, TFileFormat Format, const TDelimitedDialect& Dialect);
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
  // The memo: the report and the extended block of the run's result; the lines that a
  // completion changes are replaced, the rest stays (and so does the scroll position).
  void FillDetails();
  std::vector<std::string> FShownDetails;  // the memo's lines as FillDetails wrote them
  bool FCompletionPosted = false;
  // Diagnostic pages and the estimates command (mainfrm_diagnostics.cpp).
  void CreateDiagnosticPages();
  QWidget* CreateEstimatesBar(QWidget* Parent);
  // mainfrm_selection.cpp
  void CreateChartInteraction();
  void MarkClicked(int Row, Qt::KeyboardModifiers Modifiers);
  void ShowSelectionOnCharts();
  // A new fit: the zoom histories start again from the fitted windows.
  void ChartsRefitted();
  // A chart filled after the fit (a diagnostic chart's page shown): its history starts there.
  void ChartRefilled(TRChart* Chart);
  std::vector<TChartInteraction*> FChartInteractions;
  // mainfrm_options.cpp
  QWidget* CreateOptionsBar(QWidget* Parent);
  // The weight rule of the list: one "Weight" column at most, never an input or the target.
  void ApplyWeightRule(int Col, int Row);
  // Runs again when the roles are complete (after an option changed).
  void OptionsChanged();
  // Reference levels by table column; cleared when the list is rebuilt.
  std::map<int, int> FReferenceLevels;
  // The diagnostic charts are filled when their page is shown, not by every run: a run marks
  // them all out of date and fills the one whose page is current (the smoothers and four sets of
  // marks would otherwise cost more than the run itself on a large table).
  void DiagnosticChartsOutOfDate();
  void FillShownDiagnosticChart();
  unsigned FStaleDiagnostics = 0;  // one bit per diagnostic page, in tab order
  // Shows or hides every result chart at once (the explanation labels show where they are hidden).
  void ShowResultCharts(bool Visible);
  std::vector<QLabel*> ExplanationLabels() const;
  std::unique_ptr<TAddedEstimates> FLastEstimates;
  std::unique_ptr<TTableHistory> FHistory;
  int FTableListenerKey = 0;
  bool FAfterEventPosted = false;
  bool FRefitPending = false;
  // The roles, the weight column and the reference levels shifted with the columns, until the
  // variable list has been rebuilt for them.
  struct TKeptRoles {
    TRoleState Roles;
    int WeightCol = 0;
    std::map<int, int> ReferenceLevels;
  };
  std::optional<TKeptRoles> FKeptRoles;
  TDataFile FDataFile;

  TMLRRun FRun;
  bool FShown = false;
  std::string FStartFile;
  std::int64_t FBackgroundLoadSize = std::int64_t(8) << 20;
  // The running background load; the job joins its thread when it goes.
  std::shared_ptr<TLoadJob> FLoad;
  QTimer* FLoadTimer = nullptr;
};

template <typename F>
void TFrmMLRCalc::Guarded(F&& Handler)
{
  try {
    Handler();
  } catch (const EOrvexError& e) {
    if (ShowError)
      ShowError("Multiple Linear Regression", e.what());
  } catch (const std::bad_alloc&) {
    if (ShowError)
      ShowError("Multiple Linear Regression", "Not enough memory to complete the command.");
  }
}

}  // namespace orvex
