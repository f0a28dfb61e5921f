#include "ui/main_window/main_window.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QStandardItemModel>
#include <QStatusBar>
#include <QTableView>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

#include "ui/archive/archive_table_model.h"
#include "ui/main_window/archive_grid.h"
#include "ui/main_window/command_groups.h"
#include "ui/look.h"

namespace korsi {

namespace {
// Disabled once the window is built; everything else starts enabled. The read
// commands wait for a found gauge; saving waits for rows; "Сохранить как" is
// never used.
constexpr std::string_view kDisabledAtStart[] = {"ToolButton12", "N16", "ToolButton2", "N6", "N7"};
}  // namespace

TMainForm::TMainForm(QWidget* parent)
    : QMainWindow(parent),
      MainMenu(new QMenuBar(this)),
      ToolBar(new QToolBar(this)),
      PopupMenu(new QMenu(this)),
      StatusBar(new QStatusBar(this)),
      StatusBar2(new QStatusBar(this)),
      MainDBGrid(new ArchiveGridView(this)) {
  setObjectName(QStringLiteral("MainForm"));
  setWindowTitle(QStringLiteral("Толщиномер КОРСИ-7 "));
  setContextMenuPolicy(Qt::NoContextMenu);  // the toolbar cannot be switched off

  buildMenus();
  buildToolBar();
  buildGrid();

  StatusBar->setObjectName(QStringLiteral("StatusBar"));
  StatusBar->setSizeGripEnabled(true);
  statusPanel_ = new QLabel(StatusBar);
  statusPanel_->setObjectName(QStringLiteral("StatusBarPanel0"));
  statusPanel_->setMinimumWidth(50);
  StatusBar->addWidget(statusPanel_, 1);
  setStatusBar(StatusBar);
  StatusBar2->setObjectName(QStringLiteral("StatusBar2"));
  StatusBar2->hide();

  setCommandsEnabled(kDisabledAtStart, false);
}

TMainForm::~TMainForm() = default;

QAction* TMainForm::addCommand(const char* name, const QString& text) {
  auto* action = new QAction(text, this);
  action->setObjectName(QString::fromUtf8(name));
  commands_.emplace(name, action);
  return action;
}

QAction* TMainForm::addMenuItem(QMenu* menu, const char* name, const QString& text) {
  QAction* action = addCommand(name, text);
  menu->addAction(action);
  return action;
}

QAction* TMainForm::addToolButton(const char* name, const QString& hint) {
  QAction* action = addCommand(name, hint);
  action->setToolTip(hint);
  ToolBar->addAction(action);
  if (QWidget* button = ToolBar->widgetForAction(action)) button->setObjectName(QString::fromUtf8(name));
  return action;
}

void TMainForm::buildMenus() {
  MainMenu->setObjectName(QStringLiteral("MainMenu"));
  setMenuBar(MainMenu);

  QMenu* file = MainMenu->addMenu(QStringLiteral("&Файл"));
  file->setObjectName(QStringLiteral("FileMenu"));
  addMenuItem(file, "N8", QStringLiteral("Открыть"));
  addMenuItem(file, "N6", QStringLiteral("Сохранить"));
  addMenuItem(file, "N7", QStringLiteral("Сохранить как"))->setVisible(false);
  addMenuItem(file, "Excel1", QStringLiteral("&Экспорт в Excel"));
  file->addSeparator();
  // The inspection job's file; the inspection window opens with it.
  addMenuItem(file, "OpenJobItem", QStringLiteral("Открыть проверку…"));
  addMenuItem(file, "SaveJobItem", QStringLiteral("Сохранить проверку…"));
  file->addSeparator();
  addMenuItem(file, "N14", QStringLiteral("Предварительный просмотр"));
  addMenuItem(file, "N15", QStringLiteral("Печать"));
  file->addSeparator();
  addMenuItem(file, "N10", QStringLiteral("Выход"));

  QMenu* service = MainMenu->addMenu(QStringLiteral("&Сервис"));
  service->setObjectName(QStringLiteral("ServiceMenu"));
  addMenuItem(service, "N2", QStringLiteral("Найти устройство"));
  service->addSeparator();
  addMenuItem(service, "N12", QStringLiteral("Настройки"))->setVisible(false);
  QMenu* receive = service->addMenu(QStringLiteral("Принять данные"));
  receive->setObjectName(QStringLiteral("N16"));
  receive->menuAction()->setObjectName(QStringLiteral("N16"));
  commands_.emplace("N16", receive->menuAction());
  addMenuItem(receive, "N17", QStringLiteral("Весь архив"));
  addMenuItem(receive, "N18", QStringLiteral("Диапазон измерений"));
  addMenuItem(receive, "N19", QStringLiteral("Одно измерение"));
  service->addSeparator();
  addMenuItem(service, "N22", QStringLiteral("Удалить строку"));
  addMenuItem(service, "N23", QStringLiteral("Очистить таблицу"));
  service->addSeparator();
  addMenuItem(service, "InspectionItem", QStringLiteral("Статистика и приёмка…"));

  QMenu* about = MainMenu->addMenu(QStringLiteral("О Програ&мме"));
  about->setObjectName(QStringLiteral("AboutMenu"));
  addMenuItem(about, "N5", QStringLiteral("&О программе"));
  addMenuItem(about, "N20", QStringLiteral("&Справка"));

  PopupMenu->setObjectName(QStringLiteral("PopupMenu"));
  addMenuItem(PopupMenu, "A", QStringLiteral("Считать весь архив"));
  addMenuItem(PopupMenu, "B", QStringLiteral("Считать диапазон"));
  addMenuItem(PopupMenu, "C", QStringLiteral("Считать измерение"));
}

void TMainForm::buildToolBar() {
  ToolBar->setObjectName(QStringLiteral("ToolBar"));
  ToolBar->setMovable(false);
  ToolBar->setFloatable(false);
  ToolBar->setIconSize(QSize(16, 16));
  ToolBar->setToolButtonStyle(Qt::ToolButtonIconOnly);
  addToolBar(Qt::TopToolBarArea, ToolBar);

  addToolButton("ToolButton1", QStringLiteral("Открыть файл"))->setIcon(toolIcon(ToolPicture::Open));
  addToolButton("ToolButton2", QStringLiteral("Сохранить данные"))->setIcon(toolIcon(ToolPicture::Save));
  ToolBar->addSeparator();
  addToolButton("PrintButton", QStringLiteral("Печать"))->setIcon(toolIcon(ToolPicture::Print));
  addToolButton("PreviewButton", QStringLiteral("Просмотр и печать"))->setIcon(toolIcon(ToolPicture::Preview));
  ToolBar->addSeparator();
  addToolButton("ToolButton4", QStringLiteral("Поиск устройства"))->setIcon(toolIcon(ToolPicture::FindDevice));
  ToolBar->addSeparator();
  QAction* read = addToolButton("ToolButton12", QStringLiteral("Чтение данных с прибора"));
  read->setIcon(toolIcon(ToolPicture::Read));
  ToolButton12 = qobject_cast<QToolButton*>(ToolBar->widgetForAction(read));
  ToolButton12->setMenu(PopupMenu);
  ToolButton12->setPopupMode(QToolButton::MenuButtonPopup);

  // Buttons that are never shown.
  addToolButton("ToolButton13", QStringLiteral("Экспорт в Excel"))->setVisible(false);
  addToolButton("ToolButton10", QStringLiteral("Выход"))->setVisible(false);
  QAction* options = addToolButton("ToolButton6", QStringLiteral("OptButton"));
  options->setVisible(false);
  addToolButton("ToolButton8", QStringLiteral("Справка"))->setVisible(false);
}

void TMainForm::buildGrid() {
  MainDBGrid->setObjectName(QStringLiteral("MainDBGrid"));
  MainDBGrid->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                              QAbstractItemView::AnyKeyPressed);
  MainDBGrid->setSelectionMode(QAbstractItemView::ExtendedSelection);
  MainDBGrid->setTabKeyNavigation(true);
  MainDBGrid->setShowGrid(true);
  MainDBGrid->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
  MainDBGrid->horizontalHeader()->setDefaultAlignment(Qt::AlignCenter);
  MainDBGrid->horizontalHeader()->setHighlightSections(false);
  MainDBGrid->verticalHeader()->setDefaultSectionSize(MainDBGrid->fontMetrics().height() + 6);
  MainDBGrid->verticalHeader()->setMinimumWidth(12);  // a row selector without numbers
  cellDelegate_ = new CellDelegate(MainDBGrid);
  cellDelegate_->setMaxLength(static_cast<int>(kNoteColumn), ui::ArchiveTableModel::kNoteMaxLength);
  MainDBGrid->setItemDelegate(cellDelegate_);

  auto* central = new QWidget(this);
  central->setObjectName(QStringLiteral("CentralArea"));
  auto* layout = new QVBoxLayout(central);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(MainDBGrid);
  setCentralWidget(central);

  // Until the archive table is bound, an empty table of the same columns.
  auto* empty = new QStandardItemModel(0, static_cast<int>(kGridColumns.size()), this);
  setArchiveModel(empty);
  MainDBGrid->hide();
}

void TMainForm::setArchiveModel(QAbstractItemModel* model) {
  if (gridModel_ == nullptr) {
    gridModel_ = new ArchiveGridModel(this);
    // The grid takes in a change before it is shown: a grid shown first
    // would count new rows twice in its row selector.
    MainDBGrid->setModel(gridModel_);
    connect(gridModel_, &QAbstractItemModel::rowsInserted, this, &TMainForm::showGridWhenRows);
    connect(gridModel_, &QAbstractItemModel::modelReset, this, &TMainForm::showGridWhenRows);
    connect(gridModel_, &QAbstractItemModel::layoutChanged, this, &TMainForm::showGridWhenRows);
  }
  gridModel_->setSourceModel(model);
  for (std::size_t i = 0; i < kGridColumns.size(); ++i) {
    MainDBGrid->setColumnWidth(static_cast<int>(i), gridColumnWidth(i));
  }
  showGridWhenRows();
}

int TMainForm::gridColumnWidth(std::size_t column) const {
  // The designed width, or wider where the desktop's font would cut the
  // title: the header's own need for the title with its margins.
  const auto needed = [this](std::size_t c) {
    return std::max(kGridColumns[c].width, MainDBGrid->horizontalHeader()->sectionSizeHint(static_cast<int>(c)));
  };
  if (column != kNoteColumn) return needed(column);
  // The note gives up what the other titles take beyond their design, so the
  // grid keeps its designed overall width and a window maximised on a screen
  // 1280 pixels wide shows all four columns.
  int taken = 0;
  for (std::size_t c = 0; c < kGridColumns.size(); ++c) {
    if (c != kNoteColumn) taken += needed(c) - kGridColumns[c].width;
  }
  const int noteTitle = MainDBGrid->horizontalHeader()->sectionSizeHint(static_cast<int>(kNoteColumn));
  return std::max(kGridColumns[kNoteColumn].width - taken, noteTitle);
}

void TMainForm::showGridWhenRows() {
  if (gridModel_ != nullptr && gridModel_->rowCount() > 0) showGrid();
}

void TMainForm::showGrid() { MainDBGrid->show(); }

void TMainForm::commitGridEdit() { cellDelegate_->commitOpenEditor(); }

QAction* TMainForm::command(std::string_view name) const {
  const auto found = commands_.find(name);
  return found == commands_.end() ? nullptr : found->second;
}

void TMainForm::setCommandsEnabled(std::span<const std::string_view> names, bool enabled) {
  for (std::string_view name : names) {
    if (QAction* action = command(name)) action->setEnabled(enabled);
  }
}

void TMainForm::setTableLocked(bool locked) {
  setCommandsEnabled(tableCommandNames(), !locked);
  if (locked == tableLocked_) return;
  tableLocked_ = locked;
  emit tableLockChanged(locked);
}

QString TMainForm::statusText() const { return statusPanel_->text(); }

void TMainForm::setStatusText(const QString& text) { statusPanel_->setText(text); }

void TMainForm::showEvent(QShowEvent* event) {
  setWindowState(windowState() | Qt::WindowMaximized);
  QMainWindow::showEvent(event);
}

void TMainForm::closeEvent(QCloseEvent* event) {
  QMainWindow::closeEvent(event);
  QCoreApplication::quit();
}

}  // namespace korsi
