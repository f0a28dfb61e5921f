#include <locale.h>

#include "storage/export/numeric_locale.h"

namespace korsi {

CNumbersOnThisThread::CNumbersOnThisThread() {
  // The thread's present locale with the numbers of "C"; the process-wide
  // locale, which other threads use, is not touched.
  locale_t current = duplocale(uselocale(static_cast<locale_t>(0)));
  if (current == static_cast<locale_t>(0)) return;
  locale_t own = newlocale(LC_NUMERIC_MASK, "C", current);
  if (own == static_cast<locale_t>(0)) {
    freelocale(current);
    return;
  }
  own_ = own;
  previous_ = uselocale(own);
}

CNumbersOnThisThread::~CNumbersOnThisThread() {
  if (own_ == nullptr) return;
  uselocale(static_cast<locale_t>(previous_));
  freelocale(static_cast<locale_t>(own_));
}

}  // namespace korsi
