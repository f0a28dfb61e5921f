#include "ui/application.h"

#include <QLibraryInfo>
#include <QLocale>
#include <QMessageBox>
#include <QThread>
#include <QTranslator>
#include <exception>

#include "services/error_box.h"

namespace korsi {

KorsiApplication::KorsiApplication(int& argc, char** argv) : QApplication(argc, argv) {}

void KorsiApplication::showException(const QString& message) {
  QMessageBox box(QMessageBox::Critical, title_, message, QMessageBox::Ok);
  box.exec();
}

bool KorsiApplication::notify(QObject* receiver, QEvent* event) {
  try {
    return QApplication::notify(receiver, event);
  } catch (const std::exception& error) {
    showException(QString::fromUtf8(error.what()));
  } catch (...) {
    showException(QString());
  }
  return false;
}

namespace {

void showMessageBox(const std::string& text, const std::string& caption, BoxIcon icon) {
  QMessageBox box(icon == BoxIcon::Warning ? QMessageBox::Warning : QMessageBox::Critical,
                  QString::fromStdString(caption), QString::fromStdString(text), QMessageBox::Ok);
  box.exec();
}

}  // namespace

void installMessageBoxHook() {
  setErrorBoxHook([](const std::string& text, const std::string& caption, BoxIcon icon) {
    QCoreApplication* app = QCoreApplication::instance();
    if (app == nullptr) return;
    if (QThread::currentThread() == app->thread()) {
      showMessageBox(text, caption, icon);
    } else {
      QMetaObject::invokeMethod(
          app, [&] { showMessageBox(text, caption, icon); }, Qt::BlockingQueuedConnection);
    }
  });
}

bool loadQtTranslations(QCoreApplication& app) {
  auto* translator = new QTranslator(&app);
  if (!translator->load(QLocale(QLocale::Russian, QLocale::Russia), QStringLiteral("qtbase"),
                        QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    delete translator;
    return false;
  }
  return QCoreApplication::installTranslator(translator);
}

}  // namespace korsi
