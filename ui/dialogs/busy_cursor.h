#pragma once
// The wait cursor over the program while a command works on the window's
// thread (an export, a report); the cursor returns however the work ends.

#include <QApplication>

namespace korsi {

class BusyCursor {
 public:
  BusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
  ~BusyCursor() { QApplication::restoreOverrideCursor(); }
  BusyCursor(const BusyCursor&) = delete;
  BusyCursor& operator=(const BusyCursor&) = delete;
};

}  // namespace korsi
