#include "ui/company_archive/company_archive_menu.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QStatusBar>

#include "ui/company_archive/company_archive_commands.h"
#include "ui/main_window/main_window.h"

namespace korsi {

namespace {
// A new item in `menu` just after the action `after`.
QAction* itemAfter(TMainForm& window, const char* menuName, const char* after, const char* name, const QString& text) {
  QMenu* menu = window.findChild<QMenu*>(QString::fromUtf8(menuName));
  auto* action = new QAction(text, &window);
  action->setObjectName(QString::fromUtf8(name));
  const QList<QAction*> actions = menu->actions();
  const qsizetype at = actions.indexOf(window.command(after));
  menu->insertAction(at >= 0 && at + 1 < actions.size() ? actions[at + 1] : nullptr, action);
  return action;
}
}  // namespace

CompanyArchiveMenu addCompanyArchiveMenu(TMainForm& window) {
  CompanyArchiveMenu menu{};
  menu.publish = itemAfter(window, "FileMenu", "SaveJobItem", "PublishJobItem", QString::fromUtf8(kPublishJobText));
  menu.open = itemAfter(window, "ServiceMenu", "InspectionItem", "CompanyArchiveItem",
                        QString::fromUtf8(kCompanyArchiveTitle) + QStringLiteral("…"));
  menu.waiting = new QLabel(window.StatusBar);
  menu.waiting->setObjectName(QStringLiteral("WaitingJobsLabel"));
  menu.waiting->hide();
  window.StatusBar->addPermanentWidget(menu.waiting);
  return menu;
}

}  // namespace korsi
