#pragma once
// The help window: the program's Russian help, compiled into the program so
// it is there wherever the program is started from. It does not block the
// main window, so the user can read it while working.

#include <QDialog>

class QTextBrowser;

namespace korsi {

// Where the help document lives among the program's resources.
inline constexpr const char* kHelpDocument = "qrc:/help/korsi7_help.html";

class HelpWindow : public QDialog {
  Q_OBJECT

 public:
  explicit HelpWindow(QWidget* parent = nullptr);

  QTextBrowser* const Text;

  // Shows the window at the start of the document, or brings it forward as
  // the user left it when it is already open.
  void showHelp();
};

}  // namespace korsi
