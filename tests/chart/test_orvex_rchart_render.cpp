// Rendering the chart onto other devices: RenderTo at twice the screen size against the screen
// paint (the same layout scaled), a chart that was never shown, the PNG's size and resolution,
// the SVG parsed as XML with one shape per mark, the PDF's page size, and the refusals.
#include "orvex_rchart.h"

#include <QApplication>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <gtest/gtest.h>

#include <map>

using namespace orvex;

namespace {

struct TMarkAt {
  double X, Y;
  TColor Color;
};

// Filled circles (type 24, 7 x 7 pixels) in colours the frame does not use.
const TMarkAt Marks[] = {{0.1, 0.2, clRed}, {0.5, 0.5, clBlue}, {0.85, 0.9, clLime}, {0.3, 0.75, clFuchsia}};

void Fill(TRChart& Chart)
{
  Chart.resize(280, 200);
  Chart.SetRange(1, 0, 0, 1, 1);
  Chart.Scale1X().SetCaption("Length");
  Chart.SetCaption("Render test");
  for (const TMarkAt& m : Marks) {
    Chart.SetDataColor(m.Color);
    Chart.AddMark(m.X, m.Y, 24);
  }
}

QRgb Rgb(TColor C) { return qRgb(C & 0xFF, (C >> 8) & 0xFF, (C >> 16) & 0xFF); }

}  // namespace

TEST(RChartRender, TwiceTheSizeIsTheScreenLayoutScaled)
{
  TRChart shown;
  Fill(shown);
  shown.show();
  QApplication::processEvents();
  shown.FullPaint();
  const QImage screen = shown.ControlBitmap().Image();
  const TAxisMap mapX = shown.AxisMap(1, false), mapY = shown.AxisMap(1, true);
  const int hitBefore = shown.ItemAt(mapX.ToPixel(0.5), mapY.ToPixel(0.5), 2);

  const QImage big = shown.RenderImage(560, 400, 192);
  ASSERT_EQ(big.size(), QSize(560, 400));
  for (const TMarkAt& m : Marks) {
    const int px = mapX.ToPixel(m.X), py = mapY.ToPixel(m.Y);
    EXPECT_EQ(screen.pixel(px, py), Rgb(m.Color)) << m.X;
    // the centre pixel (px, py) covers 2px..2px+1 at twice the size; the mark, 7 pixels wide on
    // the screen, spans about 14 there
    for (int d : {-4, 0, 4})
      EXPECT_EQ(big.pixel(2 * px + 1 + d, 2 * py + 1), Rgb(m.Color)) << m.X << " " << d;
    EXPECT_NE(big.pixel(2 * px + 1 + 12, 2 * py + 1), Rgb(m.Color)) << m.X;
  }
  // the frame's background and the plot's white are where the screen has them
  EXPECT_EQ(big.pixel(4, 4), screen.pixel(2, 2));
  EXPECT_EQ(big.pixel(2 * 150 + 1, 2 * 100 + 1), screen.pixel(150, 100));

  // the screen's mappings and hit test are those of before
  EXPECT_EQ(shown.AxisMap(1, false).K, mapX.K);
  EXPECT_EQ(shown.AxisMap(1, true).O, mapY.O);
  EXPECT_EQ(shown.ItemAt(mapX.ToPixel(0.5), mapY.ToPixel(0.5), 2), hitBefore);
  EXPECT_EQ(hitBefore, 1);
  shown.FullPaint();
  EXPECT_EQ(shown.ControlBitmap().Image(), screen);
}

TEST(RChartRender, AChartNeverShownRendersAsAShownOne)
{
  TRChart hidden, shown;
  Fill(hidden);
  Fill(shown);
  shown.show();
  QApplication::processEvents();
  EXPECT_FALSE(hidden.isVisible());
  EXPECT_EQ(hidden.RenderImage(280, 200, 96), shown.RenderImage(280, 200, 96));
}

TEST(RChartRender, PngSvgAndPdfFiles)
{
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  TRChart chart;
  Fill(chart);
  chart.SetDataColor(clNavy);
  constexpr int MarkCount = 60;
  for (int i = 0; i < MarkCount - 4; ++i)
    chart.AddMark(0.02 + 0.016 * i, 0.5 + 0.4 * ((i % 7) / 7.0 - 0.5), 26);

  // PNG: the size asked for, with its resolution recorded
  const std::string png = (dir.path() + "/chart.png").toStdString();
  ASSERT_TRUE(chart.SaveImage(png, 900, 600, 150));
  const QImage read(QString::fromStdString(png));
  EXPECT_EQ(read.size(), QSize(900, 600));
  EXPECT_NEAR(read.dotsPerMeterX() * 0.0254, 150, 0.05);
  EXPECT_NEAR(read.dotsPerMeterY() * 0.0254, 150, 0.05);

  // SVG: every mark is one ellipse (only marks make ellipses here), texts are texts, no images
  const std::string svg = (dir.path() + "/chart.svg").toStdString();
  ASSERT_TRUE(chart.SaveSvg(svg, 800, 600, 96));
  QFile f(QString::fromStdString(svg));
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  QXmlStreamReader xml(&f);
  std::map<QString, int> elements;
  QString texts;
  while (!xml.atEnd()) {
    if (xml.readNext() == QXmlStreamReader::StartElement) {
      ++elements[xml.name().toString()];
      if (xml.name() == u"text")
        texts += xml.readElementText(QXmlStreamReader::IncludeChildElements);
    }
  }
  ASSERT_FALSE(xml.hasError()) << xml.errorString().toStdString();
  // (a round mark is written as a circle)
  EXPECT_EQ(elements["ellipse"] + elements["circle"], MarkCount);
  EXPECT_EQ(elements["image"], 0);
  EXPECT_TRUE(texts.contains("Render test"));
  EXPECT_TRUE(texts.contains("Length"));

  // PDF: a page of 8 x 4 inches at 75 dots per inch is 576 x 288 points
  const std::string pdf = (dir.path() + "/chart.pdf").toStdString();
  ASSERT_TRUE(chart.SavePdf(pdf, 600, 300, 75));
  QFile p(QString::fromStdString(pdf));
  ASSERT_TRUE(p.open(QIODevice::ReadOnly));
  const QByteArray bytes = p.readAll();
  EXPECT_TRUE(bytes.startsWith("%PDF-"));
  const QRegularExpression box(R"(/MediaBox\s*\[\s*0\s+0\s+([\d.]+)\s+([\d.]+)\s*\])");
  const QRegularExpressionMatch m = box.match(QString::fromLatin1(bytes));
  ASSERT_TRUE(m.hasMatch());
  EXPECT_NEAR(m.captured(1).toDouble(), 576, 0.5);
  EXPECT_NEAR(m.captured(2).toDouble(), 288, 0.5);
}

TEST(RChartRender, RefusedSizesAndFiles)
{
  TRChart chart;
  Fill(chart);
  QImage image(10, 10, QImage::Format_RGB32);
  for (auto [w, h, dpi] : {std::tuple{0, 10, 96.0}, std::tuple{10, -1, 96.0}, std::tuple{10, 10, 0.0},
                           std::tuple{10, 10, std::numeric_limits<double>::infinity()}}) {
    try {
      chart.RenderTo(image, w, h, dpi);
      ADD_FAILURE() << w << " " << h << " " << dpi;
    } catch (const EOrvexRChartError& e) {
      EXPECT_STREQ(e.what(), TCustomRChart::MsgRenderSize);
    }
  }
  QImage null;
  EXPECT_THROW(chart.RenderTo(null, 10, 10, 96), EOrvexRChartError);
  EXPECT_FALSE(chart.SaveSvg("/nonexistent-dir/chart.svg", 100, 100, 96));
  EXPECT_FALSE(chart.SavePdf("/nonexistent-dir/chart.pdf", 100, 100, 96));
  EXPECT_FALSE(chart.SaveImage("/nonexistent-dir/chart.png", 100, 100, 96));
}

TEST(RChartRender, AFullDiskIsAFailure)
{
  // /dev/full opens and takes writes into the file's buffer, then fails each write that
  // reaches it: small files fail only when the buffer is flushed at the end, large ones early.
  // Links with the formats' extensions lead there (a PNG is chosen by its name).
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const std::string png = dir.filePath("chart.png").toStdString();
  ASSERT_TRUE(QFile::link("/dev/full", QString::fromStdString(png)));
  TRChart chart;
  Fill(chart);
  for (int size : {20, 2000}) {
    EXPECT_FALSE(chart.SaveSvg("/dev/full", size, size, 96)) << size;
    EXPECT_FALSE(chart.SavePdf("/dev/full", size, size, 96)) << size;
    EXPECT_FALSE(chart.SaveImage(png, size, size, 96)) << size;
  }
  // The same files where there is room.
  EXPECT_TRUE(chart.SaveImage(dir.filePath("ok.png").toStdString(), 20, 20, 96));
  EXPECT_TRUE(chart.SaveSvg(dir.filePath("ok.svg").toStdString(), 20, 20, 96));
  EXPECT_TRUE(chart.SavePdf(dir.filePath("ok.pdf").toStdString(), 20, 20, 96));
}
