#include "ui/inspection/typed_number.h"

#include <QLineEdit>
#include <QRegularExpression>
#include <cmath>

namespace korsi {

TypedNumber readTypedNumber(const QString& text) {
  static const QRegularExpression kNumber(QStringLiteral("^[+-]?(\\d+([.,]\\d*)?|[.,]\\d+)$"));
  TypedNumber out;
  QString t = text.trimmed();
  out.empty = t.isEmpty();
  if (out.empty || !kNumber.match(t).hasMatch()) return out;
  t.replace(QLatin1Char(','), QLatin1Char('.'));
  bool ok = false;
  const double value = t.toDouble(&ok);
  if (ok && std::isfinite(value)) out.value = value;
  return out;
}

QString typedNumberProblem(const QString& caption, const QString& text, const QString& example) {
  if (readTypedNumber(text).ok()) return {};
  return QStringLiteral("%1: «%2» — не число; введите, например, %3").arg(caption, text.trimmed(), example);
}

void markTypedNumber(QLineEdit* edit, const QString& problem) {
  edit->setStyleSheet(problem.isEmpty() ? QString() : QStringLiteral("QLineEdit { background: #fde0e0; }"));
  edit->setToolTip(problem);
}

}  // namespace korsi
