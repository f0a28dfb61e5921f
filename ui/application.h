#pragma once
// The application object of the desktop program: its title, its help file,
// the display of errors that nothing else handled, the message boxes of the
// code below the windows, Qt's own Russian texts and Russian number, date
// and size formats whatever the system's locale.

#include <QApplication>
#include <QString>

namespace korsi {

inline constexpr const char* kApplicationTitle = "Толщиномер покрытий КОРСИ-7";
inline constexpr const char* kHelpFileName = "KS.HLP";

class KorsiApplication : public QApplication {
  Q_OBJECT

 public:
  // Makes Russian both Qt's default locale and Qt's view of the system
  // locale (Qt's file dialog formats sizes and dates with the latter), while
  // the C library and child processes keep the user's locale.
  KorsiApplication(int& argc, char** argv);

  const QString& title() const noexcept { return title_; }
  void setTitle(const QString& title) { title_ = title; }
  const QString& helpFile() const noexcept { return helpFile_; }
  void setHelpFile(const QString& path) { helpFile_ = path; }

  // The standard display of an error that nothing handled: a message box with
  // the error's text under the application's title. The program goes on.
  void showException(const QString& message);

  // Delivers every event; an error that leaves a handler is shown by
  // showException instead of ending the program.
  bool notify(QObject* receiver, QEvent* event) override;

 private:
  QString title_;
  QString helpFile_;
};

// Shows the messages of the code below the windows (services/error_box.h) as
// message boxes without an owner window. A call from another thread waits
// until the box has been closed on the user-interface thread.
void installMessageBoxHook();

// Loads Qt's own Russian texts (standard buttons, dialogs) from Qt's
// translation directory. False when they are not installed; Qt's English
// texts stay then.
bool loadQtTranslations(QCoreApplication& app);

}  // namespace korsi
