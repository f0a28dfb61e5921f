#include <locale.h>

#include <string>

#include "storage/export/numeric_locale.h"

namespace korsi {

namespace {
struct Saved {
  int perThread;
  std::string numeric;
};
}  // namespace

CNumbersOnThisThread::CNumbersOnThisThread() {
  // The numbers of "C" for this thread alone; the previous setting returns
  // when the object ends.
  const int perThread = _configthreadlocale(_ENABLE_PER_THREAD_LOCALE);
  const char* numeric = setlocale(LC_NUMERIC, nullptr);
  previous_ = new Saved{perThread, numeric != nullptr ? numeric : "C"};
  setlocale(LC_NUMERIC, "C");
}

CNumbersOnThisThread::~CNumbersOnThisThread() {
  auto* saved = static_cast<Saved*>(previous_);
  setlocale(LC_NUMERIC, saved->numeric.c_str());
  _configthreadlocale(saved->perThread);
  delete saved;
}

}  // namespace korsi
