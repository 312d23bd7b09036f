// TFrmMLRCalc: opening a data file, and the status lines (the load strip, the table editor's
// message line). Every file is read through ReadTableFile into a table builder: the format is
// decided by the file's name and content as mlrreport decides it, and a delimited text file
// first goes through the import dialog. A file of BackgroundLoadSize bytes or more is read on a
// worker thread while the window keeps answering; the load strip at the bottom shows the
// progress and a Cancel button. Only the GUI thread touches the editor's table: it adopts the
// finished builder in one step, with the table's events as for a load on the GUI thread. Cancel
// and errors leave the table and the roles as they were. A file dropped on the window opens too.
#include "mainfrm.h"

#include "importdlg.h"
#include "sheetimportdlg.h"
#include "orvex_datatable.h"
#include "orvex_datatable_memory.h"
#include "orvex_ntabed.h"
#include "orvex_tablefile.h"

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
#include <exception>
#include <filesystem>
#include <thread>

namespace orvex {

// One read of a data file into a builder, on a worker thread or on the GUI thread, with its
// cancel flag and progress. A job on a worker joins its thread when it goes, so the window never
// outlives a worker that writes into the job.
struct TFrmMLRCalc::TLoadJob {
  std::string FileName;
  TTableReadOptions Options;  // the import dialog's choices
  std::atomic<bool> Cancel{false};
  std::atomic<bool> Done{false};
  std::atomic<int> Percent{-1};  // 0..100, -1 while unknown
  TTableBuilder Builder;
  TTableFileResult Result;
  TCustomData CustomData;  // an ASC file's key/value section
  std::string Error;  // a failure outside the reader's own (memory)
  std::thread Thread;

  ~TLoadJob()
  {
    Cancel = true;
    if (Thread.joinable())
      Thread.join();
  }

  // Reads the file; nothing escapes, a failure becomes the job's error.
  void Read()
  {
    TReadControl control;
    control.Cancel = &Cancel;
    control.Progress = [this](double Fraction) { Percent = static_cast<int>(Fraction * 100.0 + 0.5); };
    try {
      Result = ReadTableFileWith(FileName, Options, Builder, control, &CustomData);
    } catch (const EOrvexError& e) {
      Error = e.what();
    } catch (const std::bad_alloc&) {
      Error = "Not enough memory to load the file.";
    } catch (const std::exception& e) {
      Error = e.what();
    }
    Done = true;
  }
};

namespace {

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

}  // namespace

// ---------------------------------------------------------------------------------------------
// The editor's message line and the load strip

void TFrmMLRCalc::CreateStatusLines()
{
  LblDataMessage = new QLabel(TSData);
  LblDataMessage->setObjectName("LblDataMessage");
  LblDataMessage->setContentsMargins(4, 2, 4, 2);
  if (auto* dataColumn = qobject_cast<QVBoxLayout*>(TSData->layout()))
    dataColumn->addWidget(LblDataMessage);
  LblDataMessage->hide();  // takes no room until there is something to say
  NTData->OnMessage = [this](TObject*, const std::string& Text) {
    LblDataMessage->setText(QString::fromStdString(Text));
    LblDataMessage->setVisible(!Text.empty());
  };

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
  MMDetails->viewport()->setAcceptDrops(false);
}

bool TFrmMLRCalc::Loading() const { return FLoad != nullptr; }

// ---------------------------------------------------------------------------------------------
// Opening a file

void TFrmMLRCalc::OpenDataFile(const std::string& FileName)
{
  CancelLoad();
  const TFileFormat format = DecideFileFormat(FileName);
  if (format == TFileFormat::Asc) {
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
  }
  auto job = std::make_shared<TLoadJob>();
  job->FileName = FileName;
  if (format == TFileFormat::Delimited) {
    // A delimited file loads with the choices the user confirms in the import dialog.
    TImportDialog dialog(FileName, this);
    const bool accepted = ExecuteImportHook ? ExecuteImportHook(dialog) : dialog.exec() == QDialog::Accepted;
    if (!accepted)
      return;
    job->Options.Delimited = dialog.Dialect();
  } else if (format == TFileFormat::Workbook || format == TFileFormat::StatFile) {
    // A workbook or statistics-package file with the sheet and the choices of its dialog.
    TSheetImportDialog dialog(FileName, format, this);
    const bool accepted =
        ExecuteSheetImportHook ? ExecuteSheetImportHook(dialog) : dialog.exec() == QDialog::Accepted;
    if (!accepted)
      return;
    job->Options = dialog.Options();
  }
  if (FileSizeOf(FileName) < FBackgroundLoadSize) {
    // A small file (or one whose size is unknown) is read at once on the GUI thread.
    job->Read();
    AdoptLoad(*job);
    return;
  }
  StartBackgroundLoad(std::move(job));
}

void TFrmMLRCalc::AdoptLoad(TLoadJob& Job)
{
  const TTableFileResult& res = Job.Result;
  if (!Job.Error.empty() || !res.Ok()) {
    // The table and the roles stay as they were.
    std::string text;
    if (!Job.Error.empty())
      text = "The file \"" + Job.FileName + "\" could not be read.\n" + Job.Error;
    else if (res.Format == TFileFormat::Asc)
      text = AscFailureText(Job.FileName, res.AscCode);
    else
      text = "The file \"" + Job.FileName + "\" could not be read.\n" +
             (res.Format == TFileFormat::Delimited ? res.Delimited.Message : res.Message);
    if (ShowWarning)
      ShowWarning("Load Data", text);
    return;
  }
  NTData->DataTable().Adopt(std::move(Job.Builder));
  // The table's file from now on, for "Save Data".
  FDataFile.FileName = Job.FileName;
  FDataFile.Format = res.Format;
  FDataFile.Dialect = res.Format == TFileFormat::Delimited ? res.Delimited.Detected.Dialect : TDelimitedDialect();
  FDataFile.CustomData = std::move(Job.CustomData);
  // A workbook may hold other sheets and a statistics-package file more than a table: Save
  // never writes over either (it asks for a new file, as Save As does).
  FDataFile.Partial = res.Format == TFileFormat::Workbook || res.Format == TFileFormat::StatFile ||
                      (res.Format == TFileFormat::Delimited &&
                       (!res.Delimited.LeftOut.empty() || res.Delimited.Detected.Dialect.SkipLines > 0));
  RebuildVariableList();
  // Text columns that were not taken are named in the editor's message line.
  std::string leftOut;
  for (const TLeftOutColumn& c : res.Delimited.LeftOut)
    leftOut += (leftOut.empty() ? "Left out: " : "; ") + ("\"" + c.Name + "\" (" + c.Reason + ")");
  LblDataMessage->setText(QString::fromStdString(leftOut));
  LblDataMessage->setVisible(!leftOut.empty());
}

void TFrmMLRCalc::StartBackgroundLoad(std::shared_ptr<TLoadJob> Job)
{
  LblLoad->setText(QString::fromStdString("Loading " + std::filesystem::path(Job->FileName).filename().string()));
  PBLoad->setRange(0, 0);  // busy until the reader reports a share
  PnlLoad->show();
  TLoadJob* job = Job.get();
  FLoad = std::move(Job);
  job->Thread = std::thread([job] { job->Read(); });
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
  AdoptLoad(*job);
  if (OnLoadEnded)
    OnLoadEnded(this);
}

void TFrmMLRCalc::CancelLoad()
{
  if (!FLoad)
    return;
  FLoadTimer->stop();
  PnlLoad->hide();
  // The reader stops at its next check; the job joins its thread when it goes.
  FLoad->Cancel = true;
  FLoad.reset();
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
  QTimer::singleShot(0, this, [this, file] {
    Guarded([&] {
      if (ConfirmDiscard())
        OpenDataFile(file);
    });
  });
}

}  // namespace orvex
