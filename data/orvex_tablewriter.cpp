// Saving a table: the format by extension, the atomic file and the dispatch to the writers; see
// the header. The atomic file is a temporary file beside the target, created exclusively with
// the target's permissions (or the default ones for a new file); it is written, synced and
// renamed over the target, so a reader of the target sees either the old file or the new one.
// A symbolic link is followed: the file it points to is replaced, the link stays.
#include "orvex_tablewriter.h"

#include "orvex_xlsx_write.h"

#include "orvex_datatable_text.h"
#include "orvex_math2.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <random>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace orvex {

namespace {

std::string Extension(const std::string& FileName)
{
  const std::size_t dot = FileName.find_last_of('.');
  const std::size_t slash = FileName.find_last_of('/');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
    return {};
  return dtext::LowerAscii(FileName.substr(dot + 1));
}

[[noreturn]] void Fail(const std::string& FileName, const std::string& Reason)
{
  throw EOrvexTableWriteError("cannot save the file \"" + FileName + "\": " + Reason);
}

[[noreturn]] void FailErrno(const std::string& FileName, const char* What, int Error)
{
  Fail(FileName, std::string(What) + ": " + std::strerror(Error));
}

// A temporary file beside the target, renamed over it by Commit; removed when not committed.
// Writes are buffered.
class TAtomicFile : public TWriteSink {
public:
  TAtomicFile(const std::string& FileName, const TTableWriteOptions& Options)
      : FFileName(FileName), FTarget(FileName), FFault(Options.WriteFault)
  {
    namespace fs = std::filesystem;
    std::error_code ec;
    if (fs::is_symlink(FTarget, ec)) {
      const fs::path resolved = fs::weakly_canonical(FTarget, ec);
      if (!ec)
        FTarget = resolved.string();
    }
    if (fs::is_directory(FTarget, ec))
      Fail(FFileName, "it is a folder");
    const fs::path target(FTarget);
    const std::string folder = target.has_parent_path() ? target.parent_path().string() : std::string(".");
    // The base name, cut so that the temporary name stays within the usual 255 bytes.
    const std::string base = dtext::Utf8LeftBytes(target.filename().string(), 200);
    struct stat old {};
    const bool exists = ::stat(FTarget.c_str(), &old) == 0;
    static std::atomic<unsigned> counter{0};
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
      FTemp = (fs::path(folder) / ("." + base + ".save-" + std::to_string(::getpid()) + "-" +
                                   std::to_string(counter++) + "-" + std::to_string(random() % 1000000)))
                  .string();
      // New files get 0666 less the umask, as any program's would.
      FFd = ::open(FTemp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
      if (FFd >= 0 || errno != EEXIST)
        break;
    }
    if (FFd < 0)
      FailErrno(FFileName, "cannot create a file in its folder", errno);
    // The saved file keeps the permissions of the file it replaces.
    if (exists && ::fchmod(FFd, old.st_mode & 07777) != 0) {
      const int error = errno;
      Discard();
      FailErrno(FFileName, "cannot set its permissions", error);
    }
    FBuffer.reserve(BufferSize);
  }

  ~TAtomicFile() override { Discard(); }
  TAtomicFile(const TAtomicFile&) = delete;
  TAtomicFile& operator=(const TAtomicFile&) = delete;

  void Write(std::string_view Data) override
  {
    if (FBuffer.size() + Data.size() <= BufferSize) {
      FBuffer.append(Data);
      return;
    }
    Flush();
    if (Data.size() >= BufferSize / 2)
      WriteOut(Data);
    else
      FBuffer.append(Data);
  }

  // Writes what is buffered, syncs, closes and renames the file over the target.
  void Commit()
  {
    Flush();
    if (::fsync(FFd) != 0)
      FailErrno(FFileName, "cannot write it to the disk", errno);
    const int fd = FFd;
    FFd = -1;
    if (::close(fd) != 0)
      FailErrno(FFileName, "cannot write it to the disk", errno);
    if (::rename(FTemp.c_str(), FTarget.c_str()) != 0)
      FailErrno(FFileName, "cannot replace it", errno);
    FTemp.clear();
    // The rename itself reaches the disk with the folder; a folder that cannot be synced is
    // no reason to report a failure once the file is in place.
    const std::filesystem::path folder = std::filesystem::path(FTarget).parent_path();
    const int dir = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
      ::fsync(dir);
      ::close(dir);
    }
  }

private:
  static constexpr std::size_t BufferSize = std::size_t(1) << 20;

  void Flush()
  {
    if (!FBuffer.empty()) {
      WriteOut(FBuffer);
      FBuffer.clear();
    }
  }

  void WriteOut(std::string_view Data)
  {
    while (!Data.empty()) {
      const std::size_t size = std::min<std::size_t>(Data.size(), std::size_t(1) << 30);
      if (FFault)
        if (const int error = FFault(FOffset, size))
          FailErrno(FFileName, "cannot write it", error);
      const ssize_t n = ::write(FFd, Data.data(), size);
      if (n < 0) {
        if (errno == EINTR)
          continue;
        FailErrno(FFileName, "cannot write it", errno);
      }
      if (n == 0)
        FailErrno(FFileName, "cannot write it", ENOSPC);
      Data.remove_prefix(static_cast<std::size_t>(n));
      FOffset += n;
    }
  }

  void Discard()
  {
    if (FFd >= 0) {
      ::close(FFd);
      FFd = -1;
    }
    if (!FTemp.empty()) {
      ::unlink(FTemp.c_str());
      FTemp.clear();
    }
  }

  std::string FFileName;  // as given, for messages
  std::string FTarget;    // the file that is replaced
  std::string FTemp;
  int FFd = -1;
  std::int64_t FOffset = 0;
  std::string FBuffer;
  std::function<int(std::int64_t, std::size_t)> FFault;
};

}  // namespace

TFileFormat FormatForSaving(const std::string& FileName)
{
  const std::string ext = Extension(FileName);
  if (ext == "asc")
    return TFileFormat::Asc;
  if (ext == "csv" || ext == "tsv" || ext == "txt")
    return TFileFormat::Delimited;
  if (ext == "xlsx")
    return TFileFormat::Workbook;
  Fail(FileName, ext.empty() ? "the name has no extension; use .asc, .csv, .tsv, .txt or .xlsx"
                             : "\"." + ext + "\" is not a format that can be saved; use .asc, .csv, .tsv, .txt or .xlsx");
}

TDelimitedDialect DialectForSaving(const std::string& FileName, const TDelimitedDialect* Loaded)
{
  TDelimitedDialect d;
  if (Loaded) {
    d.DecimalMark = Loaded->DecimalMark;
    d.Header = Loaded->Header;
    d.RowNames = Loaded->RowNames;
    d.Quote = Loaded->Quote;
    d.MissingTokens = Loaded->MissingTokens;
  }
  const std::string ext = Extension(FileName);
  if (ext == "tsv" || ext == "txt")
    d.Delimiter = dlTab;
  else if (Loaded && (Loaded->Delimiter == dlSemicolon || Loaded->Delimiter == dlPipe))
    d.Delimiter = Loaded->Delimiter;
  else
    d.Delimiter = dlComma;
  // A decimal comma goes with a delimiter other than the comma unless the dialect asks for it.
  if (d.DecimalMark == TDecimalMark::Detect)
    d.DecimalMark = TDecimalMark::Point;
  if (d.Header == TPresence::Detect)
    d.Header = TPresence::Yes;
  d.SkipLines = 0;
  d.Encoding = TTextEncoding::Utf8;
  return d;
}

void WriteRowBlocks(int NrRows, int RowsPerBlock, const std::function<void(int From, int To, std::string& Out)>& Format,
                    TWriteSink& Sink)
{
  RowsPerBlock = std::max(1, RowsPerBlock);
  const int blocks = NrRows / RowsPerBlock + (NrRows % RowsPerBlock != 0 ? 1 : 0);
  // A batch of blocks is formatted at once, then written in order; the texts are reused.
  constexpr int BlocksPerBatch = 4;
  std::vector<std::string> texts(static_cast<std::size_t>(std::min(blocks, BlocksPerBatch)));
  for (int first = 0; first < blocks; first += BlocksPerBatch) {
    const int count = std::min(BlocksPerBatch, blocks - first);
    auto work = [&](int i) {
      std::string& out = texts[static_cast<std::size_t>(i)];
      out.clear();
      const int from = (first + i) * RowsPerBlock;
      Format(from, std::min(NrRows, from + RowsPerBlock), out);
    };
    if (count == 1)
      work(0);
    else
      ForEachMathTask(count, work);
    for (int i = 0; i < count; ++i)
      Sink.Write(texts[static_cast<std::size_t>(i)]);
  }
}

void WriteTableFile(const TDataTable& Table, const std::string& FileName, const TTableWriteOptions& Options)
{
  if (Options.Format == TFileFormat::Workbook) {
    // The workbook writer makes its own temporary file and renames it when complete.
    try {
      WriteXlsxFile(Table, FileName);
    } catch (const EOrvexXlsxWriteError& e) {
      throw EOrvexTableWriteError(e.what());
    }
    return;
  }
  TAtomicFile file(FileName, Options);
  try {
    if (Options.Format == TFileFormat::Asc)
      WriteASCTable(Table, Options.CustomData, file);
    else
      WriteDelimitedTable(Table, Options.Dialect, file);
  } catch (const EOrvexTableWriteError& e) {
    const std::string what = e.what();
    if (what.rfind("cannot save the file", 0) == 0)
      throw;
    Fail(FileName, what);
  } catch (const std::bad_alloc&) {
    Fail(FileName, "not enough memory");
  }
  file.Commit();
}

}  // namespace orvex
