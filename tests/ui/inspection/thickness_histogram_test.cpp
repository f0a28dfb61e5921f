// The histogram as a person sees it: the picture the widget draws is read
// back, and each bar's height in pixels is its count on the drawn scale.

#include <gtest/gtest.h>

#include <QImage>
#include <cmath>
#include <vector>

#include "ui/inspection/thickness_histogram.h"

namespace {

namespace in = korsi::inspection;
using korsi::ThicknessHistogram;

// The height, in pixels, of the bar fill in column x, counted up from the
// plot's bottom edge.
int fillHeight(const QImage& image, int x, const QRectF& plot) {
  const QRgb fill = ThicknessHistogram::barColour().rgb();
  int height = 0;
  for (int y = static_cast<int>(std::floor(plot.bottom())); y >= static_cast<int>(plot.top()) - 1; --y) {
    if (image.pixel(x, y) == fill) ++height;
  }
  return height;
}

struct Case {
  const char* name;
  std::vector<std::size_t> counts;  // bins of 10 µm from 100 µm
  std::vector<in::LimitLine> limits;
  QSize size;
};

TEST(ThicknessHistogramTest, EachBarIsItsCountHighOnTheDrawnScale) {
  using Kind = in::LimitLine::Kind;
  const std::vector<Case> cases = {
      {"one reading per bin and an empty bin", {1, 0, 1, 1}, {}, {420, 260}},
      {"tall and short bars with the rule's lines",
       {3, 40, 17, 0, 2, 1},
       {{"80 % NDFT", 96'000.0, Kind::Lower}, {"NDFT", 120'000.0, Kind::Nominal}, {"Максимум", 360'000.0, Kind::Upper}},
       {640, 360}},
      {"many readings in a large window", {250, 1000, 730, 12, 0, 0, 1}, {}, {900, 600}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<in::HistogramBin> bins;
    for (std::size_t i = 0; i < c.counts.size(); ++i) {
      bins.push_back({static_cast<in::Nanometres>(100'000 + 10'000 * i),
                      static_cast<in::Nanometres>(110'000 + 10'000 * i), c.counts[i]});
    }
    ThicknessHistogram histogram;
    histogram.resize(c.size);
    histogram.showBins(bins, in::Unit::Micrometre, c.limits);
    const QImage image = histogram.grab().toImage().convertToFormat(QImage::Format_RGB32);
    const ThicknessHistogram::Scales s = histogram.scales();
    ASSERT_GT(s.plot.height(), 50.0);
    const double pixelsPerReading = s.plot.height() / s.top;
    for (std::size_t i = 0; i < bins.size(); ++i) {
      SCOPED_TRACE(i);
      // The middle of the bin, away from its borders and the limit lines.
      const double middle = 105.0 + 10.0 * static_cast<double>(i);
      const int x = static_cast<int>(s.plot.left() + (middle - s.left) / (s.right - s.left) * s.plot.width());
      const double expected = static_cast<double>(c.counts[i]) * pixelsPerReading;
      // The border takes a pixel or two at the top; an empty bin has no fill.
      EXPECT_NEAR(fillHeight(image, x, s.plot), expected, c.counts[i] == 0 ? 0.0 : 2.5);
    }
    // The highest bar nearly fills the plot: the scale leaves a tenth above it.
    EXPECT_LE(s.top, std::ceil(static_cast<double>(*std::max_element(c.counts.begin(), c.counts.end())) * 1.1));
  }
}

TEST(ThicknessHistogramTest, ClearedItDrawsNoBar) {
  ThicknessHistogram histogram;
  histogram.resize(420, 260);
  histogram.showBins({{100'000, 110'000, 5}}, in::Unit::Micrometre, {});
  histogram.clearBins();
  EXPECT_TRUE(histogram.counts().empty());
  EXPECT_TRUE(histogram.lines().empty());
  const QImage image = histogram.grab().toImage().convertToFormat(QImage::Format_RGB32);
  const QRgb fill = ThicknessHistogram::barColour().rgb();
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) ASSERT_NE(image.pixel(x, y), fill) << x << "," << y;
  }
}

}  // namespace
