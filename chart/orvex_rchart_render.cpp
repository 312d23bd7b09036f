// Rendering the chart onto any paint device at any size and resolution, and the file exports
// built on it (PNG and the other raster formats Qt writes, SVG, PDF).
//
// RenderTo lays the frame out for a control of Width / s x Height / s pixels (s = Dpi / 96, the
// screen's resolution) and draws it through a painter scaled by s, with the canvas in vector
// mode: every line, rectangle, ellipse and polygon is one QPainter primitive whose pen scales
// with the painter, and marks are drawn shape by shape instead of being copied from the screen
// paint's pixel stamps. While it renders, the frame size is the rendering's; afterwards the
// chart's mappings, its ticks and its axis controls are as before, so the screen, the mouse and
// ItemAt do not notice (the hit index of the last screen paint stays as it was).
#include "orvex_rchart_painter.h"

#include <QFile>
#include <QFileInfo>
#include <QImageWriter>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSvgGenerator>

#include <cmath>
#include <functional>

namespace orvex {

namespace {

void CheckRenderSize(int Width, int Height, double Dpi)
{
  if (Width < 1 || Height < 1 || !(Dpi > 0) || !std::isfinite(Dpi))
    throw EOrvexRChartError(TCustomRChart::MsgRenderSize);
}

// Writes a file through Write and tells whether every byte reached it. A write that fails on the
// way (a full disk) leaves an error that closing the file would clear once its buffer is empty,
// and a short file fails only when its buffer is flushed: both are read before the close.
bool WriteFile(const std::string& FileName, const std::function<bool(QFile&)>& Write)
{
  QFile file(QString::fromStdString(FileName));
  if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
    return false;
  const bool written = Write(file) && file.flush() && file.error() == QFileDevice::NoError;
  file.close();
  return written && file.error() == QFileDevice::NoError;
}

}  // namespace

void TCustomRChart::RenderTo(QPaintDevice& Device, int Width, int Height, double Dpi)
{
  CheckRenderSize(Width, Height, Dpi);
  const double scale = Dpi / 96.0;
  const auto logical = [scale](int Pixels) {
    return static_cast<int>(std::clamp(std::lround(Pixels / scale), 1L, 1L << 24));
  };
  const int w = logical(Width), h = logical(Height);
  QPainter painter;
  if (!painter.begin(&Device))
    throw EOrvexRChartError(MsgRenderDevice);
  painter.scale(static_cast<double>(Width) / w, static_cast<double>(Height) / h);

  // What the rendering changes and the screen keeps: restored however the rendering ends.
  struct TKeep {
    TCustomRChart& Chart;
    std::array<TAxisMap, MaxLayers> MapX, MapY;
    std::array<TScaleWalk, MaxLayers> TicksX, TicksY;
    size_t TraceRendered;
    ~TKeep()
    {
      Chart.FFrameWidth = Chart.FFrameHeight = -1;
      Chart.FLayers.MapX = MapX;
      Chart.FLayers.MapY = MapY;
      Chart.FAxes.TicksX = std::move(TicksX);
      Chart.FAxes.TicksY = std::move(TicksY);
      Chart.FMouseHandler.SetTraceRendered(TraceRendered);
      Chart.PlaceAllAxes();
    }
  } keep{*this, FLayers.MapX, FLayers.MapY, FAxes.TicksX, FAxes.TicksY, FMouseHandler.TraceRendered()};
  FFrameWidth = w;
  FFrameHeight = h;
  TCanvas canvas(&painter);
  canvas.SetVectorMode(true);
  TRcPainter(*this).RenderFrame(canvas, true);
  canvas.SetPainter(nullptr);
  painter.end();
}

QImage TCustomRChart::RenderImage(int Width, int Height, double Dpi)
{
  CheckRenderSize(Width, Height, Dpi);
  QImage image(Width, Height, QImage::Format_RGB32);
  if (image.isNull())
    throw EOrvexRChartError(MsgRenderDevice);
  image.fill(Qt::white);
  const int dotsPerMeter = static_cast<int>(std::lround(Dpi / 0.0254));
  image.setDotsPerMeterX(dotsPerMeter);
  image.setDotsPerMeterY(dotsPerMeter);
  RenderTo(image, Width, Height, Dpi);
  return image;
}

bool TCustomRChart::SaveImage(const std::string& FileName, int Width, int Height, double Dpi)
{
  const QImage image = RenderImage(Width, Height, Dpi);
  // The format by the name's extension, as QImage::save chooses it.
  const QByteArray format = QFileInfo(QString::fromStdString(FileName)).suffix().toLatin1();
  if (!QImageWriter::supportedImageFormats().contains(format.toLower()))
    return false;
  return WriteFile(FileName, [&](QFile& File) {
    QImageWriter writer(&File, format.toLower());
    return writer.write(image);
  });
}

bool TCustomRChart::SaveSvg(const std::string& FileName, int Width, int Height, double Dpi)
{
  CheckRenderSize(Width, Height, Dpi);
  return WriteFile(FileName, [&](QFile& File) {
    QSvgGenerator svg;
    svg.setOutputDevice(&File);
    svg.setSize(QSize(Width, Height));
    svg.setViewBox(QRect(0, 0, Width, Height));
    svg.setResolution(static_cast<int>(std::lround(Dpi)));
    RenderTo(svg, Width, Height, Dpi);
    return true;
  });
}

bool TCustomRChart::SavePdf(const std::string& FileName, int Width, int Height, double Dpi)
{
  CheckRenderSize(Width, Height, Dpi);
  return WriteFile(FileName, [&](QFile& File) {
    QPdfWriter pdf(&File);
    pdf.setResolution(static_cast<int>(std::lround(Dpi)));
    pdf.setPageSize(QPageSize(QSizeF(Width / Dpi, Height / Dpi), QPageSize::Inch));
    pdf.setPageMargins(QMarginsF(0, 0, 0, 0));
    // The page in device units at that resolution, which may differ from Width x Height by a
    // rounding of the page size.
    RenderTo(pdf, pdf.width(), pdf.height(), Dpi);
    return true;
  });
}

}  // namespace orvex
