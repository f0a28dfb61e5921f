#include "ui/application.h"

#include <QLibraryInfo>
#include <QLocale>
#include <QMessageBox>
#include <QThread>
#include <QTranslator>
#include <exception>

#include "services/error_box.h"
#include "ui/dialogs/dialog_fit.h"

namespace korsi {

namespace {

QLocale russian() { return QLocale(QLocale::Russian, QLocale::Russia); }

// Qt reads its system locale from the environment once, at its first use, and
// keeps it; the C library reads the environment when the application object
// is made. So Qt is shown LC_ALL=ru_RU.UTF-8 for that first read only, before
// the base class is made, and the user's own setting is put back.
int& withRussianSystemLocale(int& argc) {
  const bool wasSet = qEnvironmentVariableIsSet("LC_ALL");
  const QByteArray previous = qgetenv("LC_ALL");
  qputenv("LC_ALL", "ru_RU.UTF-8");
  (void)QLocale::system();
  if (wasSet) {
    qputenv("LC_ALL", previous);
  } else {
    qunsetenv("LC_ALL");
  }
  return argc;
}

}  // namespace

KorsiApplication::KorsiApplication(int& argc, char** argv) : QApplication(withRussianSystemLocale(argc), argv) {
  QLocale::setDefault(russian());
}

void KorsiApplication::showException(const QString& message) {
  QMessageBox box(QMessageBox::Critical, title_, message, QMessageBox::Ok);
  fitTitle(box);
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
  fitTitle(box);
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
  if (!translator->load(russian(), QStringLiteral("qtbase"),
                        QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    delete translator;
    return false;
  }
  return QCoreApplication::installTranslator(translator);
}

}  // namespace korsi
