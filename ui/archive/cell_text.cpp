#include "ui/archive/cell_text.h"

#include <cmath>

namespace korsi::ui {

QString thicknessText(double h) { return QString::number(h, 'f', 3).replace(QLatin1Char('.'), QLatin1Char(',')); }

QString dateText(const korsi::DateTime& date) { return QString::fromStdString(korsi::shownText(date)); }

QString readCellText(CellField field, const QString& text, korsi::ArchiveRow& row) {
  const QString typed = text.trimmed();
  bool ok = false;
  switch (field) {
    case CellField::Num: {
      if (typed.isEmpty()) {
        row.num.reset();
        return {};
      }
      // toInt refuses what lies outside the field's 32 bits.
      const int num = typed.toInt(&ok, 10);
      if (!ok) return QString::fromUtf8(kNumRefused);
      row.num = num;
      return {};
    }
    case CellField::Date: {
      if (typed.isEmpty()) {
        row.date.reset();
        return {};
      }
      const auto date = korsi::parseShownText(typed.toStdString());
      if (!date) return QString::fromUtf8(kDateRefused);
      row.date = *date;
      return {};
    }
    case CellField::Thickness: {
      if (typed.isEmpty()) {
        row.h.reset();
        return {};
      }
      // The comma the grid shows, or the point many keyboards give.
      QString number = typed;
      number.replace(QLatin1Char(','), QLatin1Char('.'));
      const double h = number.toDouble(&ok);
      if (!ok || !std::isfinite(h)) return QString::fromUtf8(kThicknessRefused);
      row.h = h;
      return {};
    }
  }
  return {};
}

}  // namespace korsi::ui
