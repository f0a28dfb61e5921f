#include <gtest/gtest.h>

#include <QAction>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QStandardItemModel>
#include <QStatusBar>
#include <QTableView>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <set>
#include <string>

#include "tests/support/qt_helpers.h"
#include "ui/main_window/archive_grid.h"
#include "ui/main_window/main_window.h"

namespace {

using korsi::TMainForm;

// Every menu item and toolbar button as the window is built: its designer
// name, the caption (menu) or tooltip (toolbar) the user sees, and its state.
struct Command {
  const char* name;
  const char* text;
  bool enabled;
  bool visible;
  bool toolButton;
};

std::ostream& operator<<(std::ostream& out, const Command& c) { return out << c.name; }

constexpr Command kCommands[] = {
    {"N8", "Открыть", true, true, false},
    {"N6", "Сохранить", false, true, false},
    {"N7", "Сохранить как", false, false, false},
    {"Excel1", "&Экспорт в Excel", true, true, false},
    {"OpenJobItem", "Открыть проверку…", true, true, false},
    {"SaveJobItem", "Сохранить проверку…", true, true, false},
    {"N14", "Предварительный просмотр", true, true, false},
    {"N15", "Печать", true, true, false},
    {"N10", "Выход", true, true, false},
    {"N2", "Найти устройство", true, true, false},
    {"N12", "Настройки", true, false, false},
    {"N16", "Принять данные", false, true, false},
    {"N17", "Весь архив", true, true, false},
    {"N18", "Диапазон измерений", true, true, false},
    {"N19", "Одно измерение", true, true, false},
    {"N22", "Удалить строку", true, true, false},
    {"N23", "Очистить таблицу", true, true, false},
    {"InspectionItem", "Статистика и приёмка…", true, true, false},
    {"N5", "&О программе", true, true, false},
    {"N20", "&Справка", true, true, false},
    {"A", "Считать весь архив", true, true, false},
    {"B", "Считать диапазон", true, true, false},
    {"C", "Считать измерение", true, true, false},
    {"ToolButton1", "Открыть файл", true, true, true},
    {"ToolButton2", "Сохранить данные", false, true, true},
    {"PrintButton", "Печать", true, true, true},
    {"PreviewButton", "Просмотр и печать", true, true, true},
    {"ToolButton4", "Поиск устройства", true, true, true},
    {"ToolButton12", "Чтение данных с прибора", false, true, true},
    {"ToolButton13", nullptr, true, false, true},
    {"ToolButton10", nullptr, true, false, true},
    {"ToolButton6", "OptButton", true, false, true},
    {"ToolButton8", "Справка", true, false, true},
};

class MainWindowCommand : public ::testing::TestWithParam<Command> {
 protected:
  TMainForm form;
};

TEST_P(MainWindowCommand, HasItsDesignerNameTextAndStartingState) {
  const Command& c = GetParam();
  auto* action = form.findChild<QAction*>(QString::fromUtf8(c.name));
  ASSERT_NE(action, nullptr);
  EXPECT_EQ(form.command(c.name), action);
  if (c.text != nullptr) {
    EXPECT_EQ((c.toolButton ? action->toolTip() : action->text()).toStdString(), c.text);
  }
  EXPECT_EQ(korsi::test::enabledInItself(action), c.enabled);
  EXPECT_EQ(action->isVisible(), c.visible);
  if (c.toolButton && c.visible) {
    auto* button = form.ToolBar->findChild<QToolButton*>(QString::fromUtf8(c.name));
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(button->isEnabled(), c.enabled);
    EXPECT_FALSE(action->icon().pixmap(16, 16).isNull());
  }
}

INSTANTIATE_TEST_SUITE_P(AtConstruction, MainWindowCommand, ::testing::ValuesIn(kCommands),
                         [](const auto& info) { return std::string(info.param.name); });

// Names of a menu's or toolbar's actions in order, "|" for a separator,
// hidden ones left out.
std::string shownOrder(const QList<QAction*>& actions) {
  std::string out;
  for (QAction* action : actions) {
    if (!action->isVisible()) continue;
    if (!out.empty()) out += ' ';
    out += action->isSeparator() ? std::string("|") : action->objectName().toStdString();
  }
  return out;
}

TEST(MainWindow, MenusAndToolbarShowTheirItemsInOrder) {
  TMainForm form;
  std::string menus;
  for (QAction* top : form.MainMenu->actions()) menus += top->text().toStdString() + ";";
  EXPECT_EQ(menus, "&Файл;&Сервис;О Програ&мме;");

  auto menu = [&](const char* name) { return form.findChild<QMenu*>(QString::fromUtf8(name))->actions(); };
  EXPECT_EQ(shownOrder(menu("FileMenu")), "N8 N6 Excel1 | OpenJobItem SaveJobItem | N14 N15 | N10");
  EXPECT_EQ(shownOrder(menu("ServiceMenu")), "N2 | N16 | N22 N23 | InspectionItem");
  EXPECT_EQ(shownOrder(menu("N16")), "N17 N18 N19");
  EXPECT_EQ(shownOrder(menu("AboutMenu")), "N5 N20");
  EXPECT_EQ(shownOrder(form.PopupMenu->actions()), "A B C");
  EXPECT_EQ(shownOrder(form.ToolBar->actions()),
            "ToolButton1 ToolButton2 | PrintButton PreviewButton | ToolButton4 | ToolButton12");

  EXPECT_EQ(form.ToolButton12->popupMode(), QToolButton::MenuButtonPopup);
  EXPECT_EQ(form.ToolButton12->menu(), form.PopupMenu);
  EXPECT_EQ(form.PopupMenu->objectName(), "PopupMenu");
  EXPECT_EQ(form.ToolBar->iconSize(), QSize(16, 16));
}

TEST(MainWindow, EnablingByNameReachesOnlyTheNamedItems) {
  TMainForm form;
  constexpr std::string_view names[] = {"ToolButton2", "N16", "NoSuchItem"};
  form.setCommandsEnabled(names, true);
  EXPECT_TRUE(form.command("ToolButton2")->isEnabled());
  EXPECT_TRUE(form.command("N16")->isEnabled());
  EXPECT_FALSE(form.command("N6")->isEnabled());  // the menu item of the same command keeps its state
  EXPECT_EQ(form.command("NoSuchItem"), nullptr);
}

TEST(MainWindow, TitleStatusBarsAndMaximisedShowing) {
  TMainForm form;
  EXPECT_EQ(form.windowTitle().toStdString(), "Толщиномер КОРСИ-7 ");
  EXPECT_EQ(form.objectName(), "MainForm");
  EXPECT_EQ(form.statusBar(), form.StatusBar);
  EXPECT_EQ(form.StatusBar->objectName(), "StatusBar");
  EXPECT_EQ(form.StatusBar->findChildren<QLabel*>().size(), 1);
  form.setStatusText(QStringLiteral("Поиск устройства"));
  EXPECT_EQ(form.statusText().toStdString(), "Поиск устройства");
  EXPECT_EQ(form.StatusBar2->objectName(), "StatusBar2");

  form.show();
  EXPECT_TRUE(form.windowState() & Qt::WindowMaximized);
  EXPECT_FALSE(form.StatusBar2->isVisible());
  EXPECT_TRUE(form.StatusBar->isVisible());
  form.setWindowState(Qt::WindowNoState);
  form.hide();
  form.show();  // maximised again whenever it is shown
  EXPECT_TRUE(form.windowState() & Qt::WindowMaximized);
}

TEST(MainWindow, GridHasItsColumnsAndAppearsOnceTheTableHoldsRows) {
  TMainForm form;
  form.show();
  QTableView* grid = form.MainDBGrid;
  EXPECT_EQ(grid->objectName(), "MainDBGrid");
  EXPECT_FALSE(grid->isVisible());

  QStandardItemModel rows(0, 4);
  form.setArchiveModel(&rows);
  EXPECT_FALSE(grid->isVisible());  // an empty table keeps the grid hidden

  const char* titles[] = {"№ измерения", "Дата/Время", "Толщина, мм", "Примечание"};
  const int widths[] = {80, 293, 359, 518};
  int total = 0;
  for (int column = 0; column < 4; ++column) {
    EXPECT_EQ(grid->model()->headerData(column, Qt::Horizontal).toString().toStdString(), titles[column]);
    // As designed, unless the desktop's font needs more room for the title.
    const int title = grid->horizontalHeader()->fontMetrics().horizontalAdvance(QString::fromUtf8(titles[column]));
    EXPECT_GT(grid->columnWidth(column), title);
    total += grid->columnWidth(column);
    if (column == 3) continue;
    EXPECT_GE(grid->columnWidth(column), widths[column]);
    if (title + 24 <= widths[column]) {
      EXPECT_EQ(grid->columnWidth(column), widths[column]);
    }
  }
  // The note gives up what the other titles take, so the row keeps its designed width.
  EXPECT_EQ(total, 80 + 293 + 359 + 518);

  rows.appendRow({new QStandardItem("1"), new QStandardItem("09.03.2009 6:22:05"), new QStandardItem("0.125"),
                  new QStandardItem("")});
  EXPECT_TRUE(grid->isVisible());
  EXPECT_EQ(grid->verticalHeader()->count(), 1);  // one row, one row selector
  const QModelIndex cell = grid->model()->index(0, 2);
  EXPECT_EQ(cell.data(Qt::TextAlignmentRole).toInt(), static_cast<int>(Qt::AlignCenter));
  EXPECT_EQ(cell.data().toString(), "0.125");
  EXPECT_TRUE(grid->editTriggers() & QAbstractItemView::DoubleClicked);
  EXPECT_EQ(grid->selectionMode(), QAbstractItemView::ExtendedSelection);
  EXPECT_TRUE(grid->tabKeyNavigation());

  rows.removeRows(0, 1);
  EXPECT_TRUE(grid->isVisible());  // once shown it stays
}

TEST(MainWindow, ClosingItEndsTheMessageLoop) {
  TMainForm form;
  form.show();
  QTimer::singleShot(0, &form, [&] { form.close(); });
  EXPECT_EQ(QApplication::exec(), 0);
  EXPECT_FALSE(form.isVisible());
}

}  // namespace
