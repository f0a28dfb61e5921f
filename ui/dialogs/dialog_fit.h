#pragma once
// Dialogs wide enough for their own title: a window manager cuts a title
// that does not fit its bar ("Ди… зон"), so a small dialog takes the width
// its title bar needs.

class QDialog;
class QMessageBox;
class QWidget;

namespace korsi {

// The width a window needs for its whole title in the title bar: the title
// in the bar's (bold) font, plus the window icon, the bar's buttons and the
// frame.
int titleBarWidth(const QWidget& window);

// A message box sizes itself to its texts each time it is shown; this keeps
// it at least as wide as its title needs.
void fitTitle(QMessageBox& box);

// A dialog of fixed size is widened to its title's width, its contents kept
// in the middle.
void fitTitle(QDialog& dialog);

}  // namespace korsi
