#include "storage/archive/archive_commands.h"

#include <utility>

#include "storage/recordset/data_file.h"

namespace korsi::archive {

std::string withDefaultSuffix(const std::string& fileName) {
  const std::size_t slash = fileName.find_last_of("/\\");
  const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
  if (fileName.find('.', nameStart) != std::string::npos || nameStart == fileName.size()) return fileName;
  return fileName + "." + kDefaultSuffix;
}

std::optional<std::size_t> rowAfterDelete(std::size_t removedRow, std::size_t rowCountAfter) {
  if (rowCountAfter == 0) return std::nullopt;
  return removedRow < rowCountAfter ? removedRow : rowCountAfter - 1;
}

std::optional<CommandError> ArchiveCommands::clearTable() {
  if (store_.clear()) return std::nullopt;
  return CommandError{std::string(kClearFailedText) + "\n" + store_.lastError()};
}

std::optional<CommandError> ArchiveCommands::deleteRow(std::optional<std::size_t> currentRow) {
  if (!currentRow || *currentRow >= store_.rowCount()) return std::nullopt;
  if (store_.removeRow(*currentRow)) return std::nullopt;
  return CommandError{std::string(kDeleteFailedText) + "\n" + store_.lastError()};
}

std::optional<CommandError> ArchiveCommands::deleteRows(const std::vector<std::size_t>& rows) {
  if (store_.removeRows(rows)) return std::nullopt;
  return CommandError{std::string(rows.size() == 1 ? kDeleteFailedText : kDeleteRowsFailedText) + "\n" +
                      store_.lastError()};
}

std::optional<CommandError> ArchiveCommands::writeTo(const std::string& fileName) {
  const std::string error = recordset::writeDataFile(fileName, store_.rows());
  if (error.empty()) return std::nullopt;
  return CommandError{std::string(kSaveFailedText) + " " + fileName + "\n" + error};
}

ArchiveCommands::SaveOutcome ArchiveCommands::save(const AskFileName& askSaveDialog) {
  SaveOutcome outcome;
  if (!rememberedName_.empty()) {
    outcome.error = writeTo(rememberedName_);
    outcome.saved = !outcome.error;
    return outcome;
  }
  const std::optional<std::string> chosen = askSaveDialog();
  if (!chosen || chosen->empty()) return outcome;
  const std::string fileName = withDefaultSuffix(*chosen);
  outcome.error = writeTo(fileName);
  if (outcome.error) return outcome;
  rememberedName_ = fileName;
  outcome.saved = true;
  outcome.caption = fileName;
  return outcome;
}

ArchiveCommands::LoadOutcome ArchiveCommands::load(const AskFileName& askOpenDialog) {
  LoadOutcome outcome;
  const std::optional<std::string> chosen = askOpenDialog();
  if (!chosen || chosen->empty()) return outcome;
  recordset::RowsResult read = recordset::readDataFile(*chosen);
  if (!read.ok()) {
    outcome.error = CommandError{std::string(kLoadFailedText) + " " + *chosen + "\n" + read.error};
    return outcome;
  }
  if (!store_.replaceWithFileRows(std::move(read.rows))) {
    outcome.error = CommandError{std::string(kLoadFailedText) + " " + *chosen + "\n" + store_.lastError()};
    return outcome;
  }
  outcome.loaded = true;
  return outcome;
}

}  // namespace korsi::archive
