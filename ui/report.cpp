#include "ui/report.h"

namespace korsi {

TRepForm::TRepForm(QWidget* parent) : QWidget(parent) { setObjectName(QStringLiteral("RepForm")); }

}  // namespace korsi
