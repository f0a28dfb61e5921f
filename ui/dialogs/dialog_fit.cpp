#include "ui/dialogs/dialog_fit.h"

#include <QDialog>
#include <QFont>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QGridLayout>
#include <QMessageBox>
#include <QSpacerItem>
#include <QWidget>
#include <algorithm>

namespace korsi {

namespace {

int boldTextWidth(QFont font, const QString& text) {
  font.setBold(true);
  const QFontMetrics metrics(font);
  return metrics.horizontalAdvance(text);
}

int boldLineHeight(QFont font) {
  font.setBold(true);
  return QFontMetrics(font).height();
}

}  // namespace

int titleBarWidth(const QWidget& window) {
  // The window manager chooses the bar's font; the wider of the system's
  // title font and the window's own stands in for it.
  const QFont titleFont = QFontDatabase::systemFont(QFontDatabase::TitleFont);
  const QString title = window.windowTitle();
  const int text = std::max(boldTextWidth(titleFont, title), boldTextWidth(window.font(), title));
  // The icon and the buttons (minimise, maximise, close) are each about as
  // wide as the bar is tall; the frame and the gaps between them add some.
  const int button = std::max(boldLineHeight(titleFont), boldLineHeight(window.font())) + 10;
  constexpr int kFrameAndGaps = 32;
  return text + 4 * button + kFrameAndGaps;
}

void fitTitle(QMessageBox& box) {
  auto* grid = qobject_cast<QGridLayout*>(box.layout());
  if (grid == nullptr) return;
  // A row of its own under everything, as wide as the title needs: the box
  // counts it each time it works out its size.
  grid->addItem(new QSpacerItem(titleBarWidth(box), 0, QSizePolicy::Minimum, QSizePolicy::Fixed), grid->rowCount(),
                0, 1, grid->columnCount());
}

void fitTitle(QDialog& dialog) {
  const int needed = titleBarWidth(dialog);
  const int width = dialog.width();
  if (width >= needed) return;
  const int shift = (needed - width) / 2;
  for (QWidget* child : dialog.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
    child->move(child->x() + shift, child->y());
  }
  dialog.setFixedWidth(needed);
}

}  // namespace korsi
