#pragma once
// A number as the inspector types it into an entry of the inspection window
// or the area box: digits with at most one decimal comma or point, a sign in
// front, spaces around; nothing else ("12,5,3", "100 мкм", "abc" and "nan"
// are no number). A field that holds no number is refused where it is typed:
// it is marked, and the refusal names the field and what it holds.

#include <QString>
#include <optional>

class QLineEdit;

namespace korsi {

struct TypedNumber {
  bool empty = true;
  std::optional<double> value;  // nothing when the text is no number
  bool ok() const { return empty || value.has_value(); }
};
TypedNumber readTypedNumber(const QString& text);

// "Максимальная толщина: «100 мкм» — не число; введите, например, 360"; empty
// when the field is empty or holds a number. `caption` without its colon.
QString typedNumberProblem(const QString& caption, const QString& text, const QString& example);

// Marks the field red with the problem as its tip, or clears the mark.
void markTypedNumber(QLineEdit* edit, const QString& problem);

}  // namespace korsi
