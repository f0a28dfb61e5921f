#include "ui/main_window/archive_actions.h"

#include <QAction>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QPointer>
#include <QTableView>
#include <algorithm>
#include <optional>
#include <utility>

#include "services/logs.h"
#include "storage/archive/archive_schema.h"
#include "ui/archive/archive_table_model.h"
#include "ui/main_window/archive_grid_editing.h"
#include "ui/main_window/main_window.h"
#include "ui/dialogs/dialog_fit.h"

namespace korsi {

namespace {

constexpr std::string_view kSaveCommands[] = {"ToolButton2", "N6"};
constexpr std::string_view kLoadEnables[] = {"ToolButton2", "N6", "Excel1"};

std::optional<std::string> askFileName(QWidget* parent, const char* objectName, QFileDialog::AcceptMode mode,
                                       const char* filter) {
  QFileDialog dialog(parent, QString(), QString(), QString::fromUtf8(filter));
  dialog.setObjectName(QString::fromUtf8(objectName));
  dialog.setAcceptMode(mode);
  dialog.setFileMode(mode == QFileDialog::AcceptSave ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
  dialog.setDefaultSuffix(QString::fromUtf8(archive::kDefaultSuffix));
  dialog.selectFile(QString::fromUtf8(archive::kDialogInitialFileName));
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  const QStringList chosen = dialog.selectedFiles();
  if (chosen.isEmpty()) return std::nullopt;
  return QFile::encodeName(chosen.front()).toStdString();
}

}  // namespace

FileDialogs programFileDialogs(QWidget* parent) {
  QPointer<QWidget> owner(parent);
  return FileDialogs{
      [owner] {
        return askFileName(owner, "SaveDialog1", QFileDialog::AcceptSave, archive::kSaveDialogQtFilter);
      },
      [owner] {
        return askFileName(owner, "OpenDialog1", QFileDialog::AcceptOpen, archive::kOpenDialogQtFilter);
      },
  };
}

std::unique_ptr<archive::ArchiveStore> openArchiveAtStartup(const archive::StorePaths& paths) {
  // Without a backup a broken database could not be restored.
  const std::string error = archive::provideBackup(paths.backup);
  if (!error.empty()) LOG_ERR(error);
  return archive::ArchiveStore::openAtStartup(paths);
}

ArchiveActions::ArchiveActions(archive::ArchiveStore& table, TMainForm& window, FileDialogs dialogs)
    : table_(table),
      window_(window),
      dialogs_(std::move(dialogs)),
      commands_(table),
      model_(std::make_unique<ui::ArchiveTableModel>(table)) {
  window_.setArchiveModel(model_.get());
  editing_ = std::make_unique<GridEditing>(table_, *model_, window_);
  connect(model_.get(), &QAbstractItemModel::rowsInserted, this, &ArchiveActions::offerSaveWhenRows);
  // A new row of the grid joins the table when its first cell is filled.
  connect(model_.get(), &QAbstractItemModel::dataChanged, this, &ArchiveActions::offerSaveWhenRows);
  // A table restored from the backup may start with rows.
  offerSaveWhenRows();

  connect(window_.command("N23"), &QAction::triggered, this, &ArchiveActions::clearTable);
  connect(window_.command("N22"), &QAction::triggered, this, &ArchiveActions::deleteRow);
  for (const char* name : {"N6", "ToolButton2"}) {
    connect(window_.command(name), &QAction::triggered, this, &ArchiveActions::save);
  }
  for (const char* name : {"N8", "ToolButton1"}) {
    connect(window_.command(name), &QAction::triggered, this, &ArchiveActions::load);
  }
}

ArchiveActions::~ArchiveActions() {
  editing_.reset();
  window_.setArchiveModel(nullptr);
}

bool ArchiveActions::addMeasurement(std::int32_t num, std::string_view dateText, double h) {
  const bool added = table_.addMeasurement(num, dateText, h);
  offerSaveWhenRows();
  return added;
}

void ArchiveActions::offerSaveWhenRows() {
  if (table_.empty()) return;
  window_.setCommandsEnabled(kSaveCommands, true);
  window_.showGrid();
  // As the table's cursor, the grid's stands on a row whenever there are rows.
  if (!window_.grid()->currentIndex().isValid()) setCurrentRow(0);
}

void ArchiveActions::setCurrentRow(std::optional<std::size_t> row) {
  QTableView* grid = window_.grid();
  if (!row) {
    grid->setCurrentIndex({});
    return;
  }
  const int column = std::max(grid->currentIndex().column(), 0);
  grid->setCurrentIndex(grid->model()->index(static_cast<int>(*row), column));
}

void ArchiveActions::clearTable() {
  // A click queued before a reading took the table: refused, not run late.
  if (window_.tableLocked()) return;
  clearForReading();
}

void ArchiveActions::clearForReading() {
  if (const auto error = commands_.clearTable()) showError(*error);
}

void ArchiveActions::deleteRow() {
  if (window_.tableLocked()) return;
  const QModelIndex current = window_.grid()->currentIndex();
  if (!current.isValid()) return;  // an empty table has no current row
  if (model_->newRow() == current.row()) {
    model_->dropNewRow();  // not in the table yet
    return;
  }
  const auto row = static_cast<std::size_t>(current.row());
  if (const auto error = commands_.deleteRow(row)) {
    showError(*error);
    return;
  }
  setCurrentRow(archive::rowAfterDelete(row, table_.rowCount()));
}

void ArchiveActions::save() {
  // The note being typed belongs to what the user saves.
  window_.commitGridEdit();
  const archive::ArchiveCommands::SaveOutcome outcome = commands_.save(dialogs_.save);
  if (outcome.caption) window_.setWindowTitle(QFile::decodeName(QByteArray::fromStdString(*outcome.caption)));
  if (outcome.error) showError(*outcome.error);
}

void ArchiveActions::load() {
  // A file's rows must never mix with a reading's.
  if (window_.tableLocked()) return;
  const archive::ArchiveCommands::LoadOutcome outcome = commands_.load(dialogs_.open);
  if (outcome.error) showError(*outcome.error);
  if (!outcome.loaded) return;
  window_.showGrid();
  window_.setCommandsEnabled(kLoadEnables, true);
  setCurrentRow(table_.empty() ? std::nullopt : std::optional<std::size_t>(0));
}

void ArchiveActions::showError(const archive::CommandError& error) {
  QMessageBox box(QMessageBox::Critical, QString::fromStdString(error.caption), QString::fromStdString(error.text),
                  QMessageBox::Ok);
  fitTitle(box);
  box.exec();
}

}  // namespace korsi
