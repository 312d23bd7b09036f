// Writing a result chart to a file as the window's "Save Image As..." and the command-line plot
// tool do it: PNG, SVG or PDF by the file's extension, for a chart laid out at Width x Height
// logical pixels (the size it has on a screen of 96 dots per inch) and drawn at Dpi dots per
// inch. A PNG then has Width·Dpi/96 x Height·Dpi/96 pixels and records Dpi; an SVG drawing and
// a PDF page measure Width x Height at 96 per inch (800 x 600 is 8.33 x 6.25 inches, a PDF page
// of 600 x 450 points) whatever Dpi, which sets only how finely they are drawn. The drawing is
// the chart's own rendering (RenderTo and the file exports built on it), never a screen grab.
//
// Files are replaced, never overwritten in place: the image is written to a temporary file in
// the target's folder, which is renamed over the target once it is complete, so a failed export
// keeps the old file whole. The same applies to any text written through ReplaceFileWith (the
// window's report files).
#pragma once

#include "orvex_component.h"

#include <functional>
#include <optional>
#include <string>

namespace orvex {

class TCustomRChart;

// A file that cannot be written, or settings that cannot make an image. The message reads
// "cannot save the file "NAME": reason".
class EOrvexExportError : public EOrvexError {
public:
  using EOrvexError::EOrvexError;
};

enum class TImageFormat { Png, Svg, Pdf };

// The format of a file name's extension (".png", ".svg", ".pdf", case ignored); none otherwise.
std::optional<TImageFormat> ImageFormatOf(const std::string& FileName);
// ".png", ".svg" or ".pdf".
const char* ImageFormatExtension(TImageFormat Format);

// The limits of the settings: a side of 16 to 20000 logical pixels, 24 to 2400 dots per inch,
// and a PNG of at most MaxImagePixels pixels.
inline constexpr int MinImageSide = 16;
inline constexpr int MaxImageSide = 20000;
inline constexpr int MinImageDpi = 24;
inline constexpr int MaxImageDpi = 2400;
inline constexpr double MaxImagePixels = 200e6;

struct TImageSettings {
  int Width = 800;   // logical pixels
  int Height = 600;
  int Dpi = 96;
};

// Device pixels of a logical length at Dpi: round(Length·Dpi/96).
int DevicePixels(int Length, int Dpi);
// Why Settings cannot make an image of Format (empty when they can), e.g. "the width must be
// between 16 and 20000 pixels".
std::string ImageSettingsProblem(TImageFormat Format, const TImageSettings& Settings);

// Writes Chart to FileName in Format with Settings. Raises EOrvexExportError naming the file for
// settings outside the limits or a file that cannot be written; the old file is then unchanged.
void SaveChartImage(TCustomRChart& Chart, const std::string& FileName, TImageFormat Format,
                    const TImageSettings& Settings);
// The same with the format of the file's extension (EOrvexExportError for another extension).
void SaveChartImage(TCustomRChart& Chart, const std::string& FileName, const TImageSettings& Settings);

// Replaces FileName by what Write puts into the file named by its argument: a new temporary file
// beside FileName, with FileName's extension, that Write may open, truncate and fill by name.
// Write returns an empty text on success, or the reason it failed. The temporary file takes the
// permissions of the file it replaces (those of a new file otherwise) and is renamed over it; a
// symbolic link is followed. On any failure the temporary file is removed and EOrvexExportError
// is raised.
void ReplaceFileWith(const std::string& FileName, const std::function<std::string(const std::string& TempName)>& Write);
// ReplaceFileWith writing Bytes.
void ReplaceFileWithBytes(const std::string& FileName, const std::string& Bytes);

}  // namespace orvex
