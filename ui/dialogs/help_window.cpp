#include "ui/dialogs/help_window.h"

#include <QDialogButtonBox>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

namespace korsi {

HelpWindow::HelpWindow(QWidget* parent) : QDialog(parent), Text(new QTextBrowser(this)) {
  setObjectName(QStringLiteral("HelpWindow"));
  setWindowTitle(QStringLiteral("Справка"));
  // A window to read beside the main one: it can be maximised and does not block.
  setWindowFlags(windowFlags() | Qt::WindowMinMaxButtonsHint);
  setModal(false);
  resize(720, 560);

  Text->setObjectName(QStringLiteral("HelpText"));
  Text->setOpenExternalLinks(true);
  Text->setSource(QUrl(QString::fromUtf8(kHelpDocument)));

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::close);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(Text);
  layout->addWidget(buttons);
}

void HelpWindow::showHelp() {
  if (isVisible()) {
    if (isMinimized()) showNormal();
  } else {
    Text->home();
    show();
  }
  raise();
  activateWindow();
}

}  // namespace korsi
