#include "ui/inspection/inspection_look.h"

namespace korsi {

QColor outcomeBackground(inspection::Outcome outcome) {
  switch (outcome) {
    case inspection::Outcome::Pass:
      return QColor(0xd7, 0xef, 0xd8);
    case inspection::Outcome::Fail:
      return QColor(0xf6, 0xcf, 0xcf);
    case inspection::Outcome::NotChecked:
      break;
  }
  return QColor(0xee, 0xee, 0xee);
}

QColor verdictColour(inspection::Judgement judgement) {
  switch (judgement) {
    case inspection::Judgement::Pass:
      return QColor(0x2e, 0x7d, 0x32);
    case inspection::Judgement::Fail:
      return QColor(0xc6, 0x28, 0x28);
    case inspection::Judgement::TooFewMeasurements:
      return QColor(0xb2, 0x6a, 0x00);
    case inspection::Judgement::NotApplicable:
      break;
  }
  return QColor(0x61, 0x61, 0x61);
}

QColor judgementBackground(inspection::Judgement judgement) {
  switch (judgement) {
    case inspection::Judgement::Pass:
      return QColor(0xd7, 0xef, 0xd8);
    case inspection::Judgement::Fail:
      return QColor(0xf6, 0xcf, 0xcf);
    case inspection::Judgement::TooFewMeasurements:
      return QColor(0xff, 0xe0, 0xb2);
    case inspection::Judgement::NotApplicable:
      break;
  }
  return QColor(0xee, 0xee, 0xee);
}

QString verdictStyle(const QColor& background, const QColor& foreground) {
  return QStringLiteral("QLabel { background: %1; color: %2; padding: 8px; border-radius: 3px; }")
      .arg(background.name(), foreground.name());
}

}  // namespace korsi
