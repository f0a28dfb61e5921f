#pragma once
// The colours the inspection shows its outcomes in, the same in the verdict,
// the criteria, the areas and the grid marks.

#include <QColor>
#include <QString>

#include "inspection/acceptance.h"

namespace korsi {

inline const QColor kFailingRow(0xf6, 0xbf, 0xbf);
inline const QColor kTolerableRow(0xff, 0xec, 0xa8);

// A criterion's cell: green, red, or grey when it was not checked.
QColor outcomeBackground(inspection::Outcome outcome);
// Green for a pass, red for a failure, amber for too few measurements, grey
// when the rule does not apply.
QColor verdictColour(inspection::Judgement judgement);
// The pale shade of verdictColour, for a table cell.
QColor judgementBackground(inspection::Judgement judgement);
QString verdictStyle(const QColor& background, const QColor& foreground);

}  // namespace korsi
