#pragma once
// libxlsxwriter writes cell values with the C library's number formatting,
// which follows the user's locale: under a Russian locale 0.125 would be
// written "0,125" and every number in the file would be spoilt. While an
// object of this class lives, numbers formatted on its thread use the
// decimal point.

namespace korsi {

class CNumbersOnThisThread {
 public:
  CNumbersOnThisThread();
  ~CNumbersOnThisThread();
  CNumbersOnThisThread(const CNumbersOnThisThread&) = delete;
  CNumbersOnThisThread& operator=(const CNumbersOnThisThread&) = delete;

 private:
  void* own_ = nullptr;
  void* previous_ = nullptr;
};

}  // namespace korsi
