#pragma once
// Lays a banded report's bands down its pages, one below the other: the
// title band once at the top of the first page, the column header band at
// the top of every page (below the title on the first), and the detail bands
// after it. A detail band that does not fit in what is left of a page starts
// the next page.

#include <functional>

#include "ui/report/page_canvas.h"

class QPagedPaintDevice;

namespace korsi::report {

struct Band {
  double height;  // millimetres
  // Draws the band with its top at `top` millimetres on the canvas's page.
  std::function<void(PageCanvas& canvas, double top)> draw;
};

class BandPages {
 public:
  // The painter of `canvas` is active on `device`.
  BandPages(QPagedPaintDevice& device, PageCanvas& canvas, Band columnHeader);

  // The title band: call it first, once.
  void title(const Band& band);
  void detail(const Band& band);
  // Ends the report: a report without detail bands still has its column header.
  void finish();

  int pageCount() const noexcept { return pages_; }

 private:
  void placeHeader();

  QPagedPaintDevice& device_;
  PageCanvas& canvas_;
  Band columnHeader_;
  double top_ = 0;
  bool headerPlaced_ = false;
  bool detailOnPage_ = false;
  int pages_ = 1;
};

}  // namespace korsi::report
