#include "ui/report/band_pages.h"

#include <QPagedPaintDevice>
#include <utility>

namespace korsi::report {

namespace {
// A band that ends this close below the printable area still fits: its
// height is a sum of decimal fractions.
constexpr double kFitSlackMm = 1e-6;
}  // namespace

BandPages::BandPages(QPagedPaintDevice& device, PageCanvas& canvas, Band columnHeader)
    : device_(device), canvas_(canvas), columnHeader_(std::move(columnHeader)) {}

void BandPages::title(const Band& band) {
  band.draw(canvas_, top_);
  top_ += band.height;
}

void BandPages::placeHeader() {
  columnHeader_.draw(canvas_, top_);
  top_ += columnHeader_.height;
  headerPlaced_ = true;
}

void BandPages::detail(const Band& band) {
  if (!headerPlaced_) placeHeader();
  // A band higher than a whole page goes on a page of its own and is cut there.
  if (detailOnPage_ && top_ + band.height > canvas_.printableHeight() + kFitSlackMm) {
    device_.newPage();
    ++pages_;
    top_ = 0;
    detailOnPage_ = false;
    placeHeader();
  }
  band.draw(canvas_, top_);
  top_ += band.height;
  detailOnPage_ = true;
}

void BandPages::finish() {
  if (!headerPlaced_) placeHeader();
}

}  // namespace korsi::report
