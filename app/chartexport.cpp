// Chart images and report files written through a temporary file renamed over the target; see
// the header.
#include "chartexport.h"

#include "orvex_rchart.h"

#include <QBuffer>
#include <QPageSize>
#include <QPdfWriter>
#include <QSvgGenerator>

#include <atomic>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace orvex {

namespace {

namespace fs = std::filesystem;

[[noreturn]] void Fail(const std::string& FileName, const std::string& Reason)
{
  throw EOrvexExportError("cannot save the file \"" + FileName + "\": " + Reason);
}

std::string LowerExtension(const std::string& FileName)
{
  std::string ext = fs::path(FileName).extension().string();
  for (char& c : ext)
    c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return ext;
}

// A new, empty file beside Target whose name ends in Extension; removed on destruction unless
// Committed.
class TTempFile {
public:
  TTempFile(const std::string& FileName, const fs::path& Target, const std::string& Extension)
  {
    static std::atomic<unsigned> counter{0};
    const fs::path folder = Target.has_parent_path() ? Target.parent_path() : fs::path(".");
    // The stem cut so that the temporary name stays well within the usual 255 bytes.
    std::string stem = Target.stem().string().substr(0, 120);
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
      FName = (folder / ("." + stem + ".export-" + std::to_string(::getpid()) + "-" + std::to_string(counter++) +
                         Extension))
                  .string();
      fd = ::open(FName.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
      if (fd < 0 && errno != EEXIST)
        break;
    }
    if (fd < 0) {
      const int error = errno;
      FName.clear();
      Fail(FileName, std::string("cannot create a file in its folder: ") + std::strerror(error));
    }
    // The new file keeps the permissions of the file it replaces.
    struct stat old {};
    if (::stat(Target.c_str(), &old) == 0 && ::fchmod(fd, old.st_mode & 07777) != 0) {
      const int error = errno;
      ::close(fd);
      Fail(FileName, std::string("cannot set its permissions: ") + std::strerror(error));
    }
    ::close(fd);
  }
  ~TTempFile()
  {
    if (!FName.empty())
      ::unlink(FName.c_str());
  }
  TTempFile(const TTempFile&) = delete;
  TTempFile& operator=(const TTempFile&) = delete;

  const std::string& Name() const { return FName; }
  void Committed() { FName.clear(); }

private:
  std::string FName;
};

}  // namespace

std::optional<TImageFormat> ImageFormatOf(const std::string& FileName)
{
  const std::string ext = LowerExtension(FileName);
  if (ext == ".png")
    return TImageFormat::Png;
  if (ext == ".svg")
    return TImageFormat::Svg;
  if (ext == ".pdf")
    return TImageFormat::Pdf;
  return std::nullopt;
}

const char* ImageFormatExtension(TImageFormat Format)
{
  switch (Format) {
  case TImageFormat::Svg: return ".svg";
  case TImageFormat::Pdf: return ".pdf";
  default: return ".png";
  }
}

int DevicePixels(int Length, int Dpi)
{
  return static_cast<int>(std::lround(static_cast<double>(Length) * Dpi / 96.0));
}

std::string ImageSettingsProblem(TImageFormat Format, const TImageSettings& Settings)
{
  const std::string sides = std::to_string(MinImageSide) + " and " + std::to_string(MaxImageSide) + " pixels";
  if (Settings.Width < MinImageSide || Settings.Width > MaxImageSide)
    return "the width must be between " + sides;
  if (Settings.Height < MinImageSide || Settings.Height > MaxImageSide)
    return "the height must be between " + sides;
  if (Settings.Dpi < MinImageDpi || Settings.Dpi > MaxImageDpi)
    return "the resolution must be between " + std::to_string(MinImageDpi) + " and " + std::to_string(MaxImageDpi) +
           " dots per inch";
  const int w = DevicePixels(Settings.Width, Settings.Dpi), h = DevicePixels(Settings.Height, Settings.Dpi);
  if (Format == TImageFormat::Png && static_cast<double>(w) * h > MaxImagePixels)
    return "an image of " + std::to_string(w) + " x " + std::to_string(h) + " pixels is too large";
  return {};
}

void ReplaceFileWith(const std::string& FileName, const std::function<std::string(const std::string& TempName)>& Write)
{
  std::error_code ec;
  fs::path target(FileName);
  if (FileName.empty())
    Fail(FileName, "no file name");
  if (fs::is_symlink(target, ec)) {
    const fs::path resolved = fs::weakly_canonical(target, ec);
    if (!ec)
      target = resolved;
  }
  if (fs::is_directory(target, ec))
    Fail(FileName, "it is a folder");
  TTempFile temp(FileName, target, target.extension().string());
  const std::string problem = Write(temp.Name());
  if (!problem.empty())
    Fail(FileName, problem);
  if (::rename(temp.Name().c_str(), target.c_str()) != 0)
    Fail(FileName, std::string("cannot replace it: ") + std::strerror(errno));
  temp.Committed();
}

void ReplaceFileWithBytes(const std::string& FileName, const std::string& Bytes)
{
  ReplaceFileWith(FileName, [&Bytes](const std::string& TempName) -> std::string {
    const int fd = ::open(TempName.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    if (fd < 0)
      return std::string("cannot write it: ") + std::strerror(errno);
    std::size_t done = 0;
    while (done < Bytes.size()) {
      const ssize_t n = ::write(fd, Bytes.data() + done, Bytes.size() - done);
      if (n < 0 && errno == EINTR)
        continue;
      if (n <= 0) {
        const int error = n < 0 ? errno : ENOSPC;
        ::close(fd);
        return std::string("cannot write it: ") + std::strerror(error);
      }
      done += static_cast<std::size_t>(n);
    }
    if (::fsync(fd) != 0 || ::close(fd) != 0)
      return std::string("cannot write it to the disk: ") + std::strerror(errno);
    return {};
  });
}

void SaveChartImage(TCustomRChart& Chart, const std::string& FileName, TImageFormat Format,
                    const TImageSettings& Settings)
{
  if (const std::string problem = ImageSettingsProblem(Format, Settings); !problem.empty())
    Fail(FileName, problem);
  const int w = DevicePixels(Settings.Width, Settings.Dpi), h = DevicePixels(Settings.Height, Settings.Dpi);
  const double dpi = Settings.Dpi;
  if (Format == TImageFormat::Png) {
    ReplaceFileWith(FileName, [&](const std::string& TempName) -> std::string {
      try {
        return Chart.SaveImage(TempName, w, h, dpi) ? std::string() : std::string("cannot write it");
      } catch (const EOrvexError& e) {
        return e.what();
      }
    });
    return;
  }
  // The vector formats are drawn into memory and written with every write checked: their
  // generators do not report a write that the disk refused.
  QBuffer buffer;
  buffer.open(QIODevice::WriteOnly);
  try {
    if (Format == TImageFormat::Svg) {
      QSvgGenerator svg;
      svg.setOutputDevice(&buffer);
      svg.setSize(QSize(w, h));
      svg.setViewBox(QRect(0, 0, w, h));
      svg.setResolution(Settings.Dpi);
      Chart.RenderTo(svg, w, h, dpi);
    } else {
      QPdfWriter pdf(&buffer);
      pdf.setResolution(Settings.Dpi);
      pdf.setPageSize(QPageSize(QSizeF(w / dpi, h / dpi), QPageSize::Inch));
      pdf.setPageMargins(QMarginsF(0, 0, 0, 0));
      Chart.RenderTo(pdf, pdf.width(), pdf.height(), dpi);
    }
  } catch (const EOrvexError& e) {
    Fail(FileName, e.what());
  }
  buffer.close();
  ReplaceFileWithBytes(FileName, buffer.data().toStdString());
}

void SaveChartImage(TCustomRChart& Chart, const std::string& FileName, const TImageSettings& Settings)
{
  const std::optional<TImageFormat> format = ImageFormatOf(FileName);
  if (!format)
    Fail(FileName, "an image is saved as .png, .svg or .pdf");
  SaveChartImage(Chart, FileName, *format, Settings);
}

}  // namespace orvex
