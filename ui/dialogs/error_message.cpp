#include "ui/dialogs/error_message.h"

#include <QMessageBox>

#include "services/error_box.h"
#include "ui/dialogs/dialog_fit.h"

namespace korsi {

void showErrorMessage(const QString& text, QWidget* owner) {
  QMessageBox box(QMessageBox::Critical, QString::fromUtf8(kErrorCaption), text, QMessageBox::Ok, owner);
  fitTitle(box);
  box.exec();
}

}  // namespace korsi
