#pragma once
// The "Ошибка" box that the windows' own commands show when a file cannot be
// written or a print fails: an error icon and OK, waiting for the user.

#include <QString>

class QWidget;

namespace korsi {

void showErrorMessage(const QString& text, QWidget* owner = nullptr);

}  // namespace korsi
