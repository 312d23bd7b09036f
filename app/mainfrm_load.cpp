// TFrmMLRCalc: opening a data file. The format is decided by the file's name and content (an
// ASC file loads at once, a delimited text file goes through the import dialog). A file of
// BackgroundLoadSize bytes or more is read on a worker thread into a table of its own while the
// window keeps answering; the load strip at the bottom shows the progress and a Cancel button.
// Only the GUI thread touches the editor's table: when the worker is done, the table takes the
// result over there, and the table's events fire as for a load on the GUI thread. Cancel and
// errors leave the table and the roles as they were. A file dropped on the window opens too.
#include "mainfrm.h"
#include "orvex_datatable_memory.h"

#include "orvex_datatable.h"
#include "orvex_ntabed.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>
#include <atomic>
#include <filesystem>
#include <thread>

namespace orvex {

// One background load: the worker thread with its cancel flag and progress, and what it read.
// The job joins its thread when it goes, so the window never outlives a worker that writes
// into the job.
struct TFrmMLRCalc::TLoadJob {
  std::string FileName;
  std::atomic<bool> Cancel{false};
  std::atomic<bool> Done{false};
  std::atomic<int> Percent{-1};  // 0..100, -1 while unknown
  // Runs on the worker: reads FileName into Table and sets Code or Error.
  std::function<void(TLoadJob& Job)> Read;
  // Runs on the GUI thread after a read that was not cancelled.
  std::function<void(TLoadJob& Job)> Adopt;
  std::unique_ptr<TDataTable> Table;
  int Code = 0;
  std::string Error;
  std::thread Thread;

  ~TLoadJob()
  {
    Cancel = true;
    if (Thread.joinable())
      Thread.join();
  }
};

namespace {

enum class TDataFileKind { Asc, Delimited };

std::string LowerExtension(const std::string& FileName)
{
  std::string ext = std::filesystem::path(FileName).extension().string();
  for (char& c : ext)
    if (c >= 'A' && c <= 'Z')
      c = static_cast<char>(c - 'A' + 'a');
  return ext;
}

// ".csv" and ".tsv" are delimited text, ".asc" is ASC; any other file is ASC when its first
// four lines form a valid ASC header and delimited text otherwise.
TDataFileKind DataFileKindOf(const std::string& FileName)
{
  const std::string ext = LowerExtension(FileName);
  if (ext == ".csv" || ext == ".tsv")
    return TDataFileKind::Delimited;
  if (ext == ".asc")
    return TDataFileKind::Asc;
  std::string comment;
  int cols = 0, rows = 0;
  bool f1 = false, f2 = false, f3 = false, f4 = false;
  return TDataTable::ReadASCHeader(FileName, comment, cols, rows, f1, f2, f3, f4) == ascOK ? TDataFileKind::Asc
                                                                                          : TDataFileKind::Delimited;
}

std::int64_t FileSizeOf(const std::string& FileName)
{
  std::error_code ec;
  const auto size = std::filesystem::file_size(FileName, ec);
  return ec ? -1 : static_cast<std::int64_t>(size);
}

std::string AscFailureText(const std::string& FileName, int Code)
{
  return "The file \"" + FileName + "\" could not be read completely.\nResult code " + std::to_string(Code) + ": " +
         AscResultMeaning(Code) + ".";
}

// Target takes over everything Source holds and keeps its own handlers; the events fire as an
// ASC read fires them: one state change per cell read with a state, then the closing round.
void AdoptTable(TDataTable& Target, TDataTable& Source)
{
  std::size_t stateNotices = 0;
  for (int c = 1; c <= Source.NrOfColumns(); ++c) {
    const std::uint8_t* states = Source.ColumnStates(c);
    for (int r = 0; r < Source.NrOfRows(); ++r)
      stateNotices += states[r] != 0 ? 1 : 0;
  }
  const int oldCols = Target.NrOfColumns();
  const int oldRows = Target.NrOfRows();
  // Assign copies the source's handlers: the target's own are put back.
  auto onChange = Target.OnChange;
  auto onChangeSetup = Target.OnChangeSetup;
  auto onChangeNames = Target.OnChangeNames;
  auto onChangeCellState = Target.OnChangeCellState;
  auto onChangeAttrib = Target.OnChangeAttrib;
  auto onPercentDone = Target.OnPercentDone;
  auto onResize = Target.OnResize;
  auto onSortExchange = Target.OnSortExchange;
  auto onExportText = Target.OnExportText;
  Target.Assign(Source);
  Target.OnChange = std::move(onChange);
  Target.OnChangeSetup = std::move(onChangeSetup);
  Target.OnChangeNames = std::move(onChangeNames);
  Target.OnChangeCellState = std::move(onChangeCellState);
  Target.OnChangeAttrib = std::move(onChangeAttrib);
  Target.OnPercentDone = std::move(onPercentDone);
  Target.OnResize = std::move(onResize);
  Target.OnSortExchange = std::move(onSortExchange);
  Target.OnExportText = std::move(onExportText);
  auto fire = [&](const TNotifyEvent& E) {
    if (E)
      E(&Target);
  };
  for (std::size_t k = 0; k < stateNotices; ++k)
    fire(Target.OnChangeCellState);
  fire(Target.OnChange);
  fire(Target.OnChangeCellState);
  fire(Target.OnChangeAttrib);
  fire(Target.OnChangeNames);
  fire(Target.OnChangeSetup);
  if (Target.OnResize)
    Target.OnResize(&Target, oldCols, oldRows, Target.NrOfColumns(), Target.NrOfRows());
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// The load strip

void TFrmMLRCalc::CreateLoadStrip()
{
  PnlLoad = new QWidget(this);
  PnlLoad->setObjectName("PnlLoad");
  auto* row = new QHBoxLayout(PnlLoad);
  row->setContentsMargins(4, 2, 4, 2);
  LblLoad = new QLabel(PnlLoad);
  LblLoad->setObjectName("LblLoad");
  PBLoad = new QProgressBar(PnlLoad);
  PBLoad->setObjectName("PBLoad");
  PBLoad->setTextVisible(false);
  BtnLoadCancel = new QPushButton("Cancel", PnlLoad);
  BtnLoadCancel->setObjectName("BtnLoadCancel");
  row->addWidget(LblLoad);
  row->addWidget(PBLoad, 1);
  row->addWidget(BtnLoadCancel);
  PnlLoad->hide();
  if (auto* column = qobject_cast<QVBoxLayout*>(layout()))
    column->addWidget(PnlLoad);
  connect(BtnLoadCancel, &QPushButton::clicked, this, [this] { Guarded([this] { CancelLoad(); }); });

  FLoadTimer = new QTimer(this);
  FLoadTimer->setInterval(40);
  connect(FLoadTimer, &QTimer::timeout, this, [this] { Guarded([this] { PollLoad(); }); });

  // Files dropped anywhere on the window open; the memo would take them as text.
  setAcceptDrops(true);
  MMDetails->setAcceptDrops(false);
}

bool TFrmMLRCalc::Loading() const { return FLoad != nullptr; }

// ---------------------------------------------------------------------------------------------
// Opening a file

void TFrmMLRCalc::OpenDataFile(const std::string& FileName)
{
  CancelLoad();
  if (DataFileKindOf(FileName) == TDataFileKind::Delimited) {
    if (ShowWarning)
      ShowWarning("Load Data", "The file \"" + FileName + "\" is not an ASC file.");
    return;
  }
  // A table that would not fit is not read at all: the table shown and the roles stay.
  const std::int64_t available = AvailableMemory ? AvailableMemory() : AvailableMemoryBytes();
  const TMemoryCheck memory = available >= 0 ? CheckAscFileFitsInMemory(FileName, available) : TMemoryCheck();
  if (!memory.Fits) {
    if (ShowWarning)
      ShowWarning("Load Data", "The file \"" + FileName + "\" holds a table too large for the memory of this " +
                                   "computer.\nIt needs about " + std::to_string(memory.NeededBytes >> 20) +
                                   " MiB, but only " + std::to_string(memory.AvailableBytes >> 20) +
                                   " MiB are available. The data shown were kept.");
    return;
  }
  const std::int64_t size = FileSizeOf(FileName);
  if (size < FBackgroundLoadSize) {
    // A small file (or one whose size is unknown) loads at once on the GUI thread.
    const int code = NTData->DataTable().LoadFromASCFile(FileName);
    if (code != ascOK && ShowWarning)
      ShowWarning("Load Data", AscFailureText(FileName, code));
    RebuildVariableList();
    return;
  }
  auto job = std::make_shared<TLoadJob>();
  job->FileName = FileName;
  job->Read = [](TLoadJob& Job) {
    auto table = std::make_unique<TDataTable>();
    Job.Code = table->LoadFromASCFile(Job.FileName);
    Job.Table = std::move(table);
  };
  job->Adopt = [this](TLoadJob& Job) {
    if (Job.Code != ascOK) {
      if (ShowWarning)
        ShowWarning("Load Data", AscFailureText(Job.FileName, Job.Code));
      return;
    }
    AdoptTable(NTData->DataTable(), *Job.Table);
    RebuildVariableList();
  };
  StartBackgroundLoad(std::move(job));
}

void TFrmMLRCalc::StartBackgroundLoad(std::shared_ptr<TLoadJob> Job)
{
  LblLoad->setText(QString::fromStdString("Loading " + std::filesystem::path(Job->FileName).filename().string()));
  PBLoad->setRange(0, 0);  // busy until the reader reports a share
  PnlLoad->show();
  TLoadJob* job = Job.get();
  FLoad = std::move(Job);
  job->Thread = std::thread([job] {
    // Nothing may escape the worker: a failure becomes the job's error.
    try {
      job->Read(*job);
    } catch (const EOrvexError& e) {
      job->Error = e.what();
    } catch (const std::bad_alloc&) {
      job->Error = "Not enough memory to load the file.";
    }
    job->Done = true;
  });
  FLoadTimer->start();
}

void TFrmMLRCalc::PollLoad()
{
  if (!FLoad)
    return;
  const int percent = FLoad->Percent;
  if (percent >= 0) {
    PBLoad->setRange(0, 100);
    PBLoad->setValue(percent);
  }
  if (FLoad->Done)
    EndLoad();
}

void TFrmMLRCalc::EndLoad()
{
  FLoadTimer->stop();
  PnlLoad->hide();
  const std::shared_ptr<TLoadJob> job = std::move(FLoad);
  job->Thread.join();
  if (!job->Error.empty()) {
    if (ShowWarning)
      ShowWarning("Load Data", "The file \"" + job->FileName + "\" could not be read.\n" + job->Error);
  } else if (job->Adopt) {
    job->Adopt(*job);
  }
  if (OnLoadEnded)
    OnLoadEnded(this);
}

void TFrmMLRCalc::CancelLoad()
{
  if (!FLoad)
    return;
  FLoadTimer->stop();
  PnlLoad->hide();
  FLoad->Cancel = true;
  // The worker sees the flag at its next check; its result is dropped unread.
  FCancelledLoad = std::move(FLoad);
  if (OnLoadEnded)
    OnLoadEnded(this);
}

// ---------------------------------------------------------------------------------------------
// Dropped files

namespace {
std::string DroppedFile(const QMimeData* Mime)
{
  if (!Mime || !Mime->hasUrls())
    return {};
  for (const QUrl& url : Mime->urls())
    if (url.isLocalFile())
      return url.toLocalFile().toStdString();
  return {};
}
}  // namespace

void TFrmMLRCalc::dragEnterEvent(QDragEnterEvent* Event)
{
  if (!DroppedFile(Event->mimeData()).empty())
    Event->acceptProposedAction();
}

void TFrmMLRCalc::dropEvent(QDropEvent* Event)
{
  const std::string file = DroppedFile(Event->mimeData());
  if (file.empty())
    return;
  Event->acceptProposedAction();
  // Opened after the drop has ended, so that a dialog does not hold the drag source.
  QTimer::singleShot(0, this, [this, file] { Guarded([&] { OpenDataFile(file); }); });
}

}  // namespace orvex
