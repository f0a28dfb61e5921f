#pragma once
// The main window's commands on the archive table, without the window:
// clear the table, delete a row, save to a data file, load a data file. The
// window shows the dialogs and the messages; these functions decide what
// happens and return what the window must show.

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "storage/archive/archive_store.h"

namespace korsi::archive {

// The save dialog `SaveDialog1` and the open dialog `OpenDialog1`, as the
// user sees them. The filters are given as on Windows (description|pattern
// pairs) and in the form a Qt file dialog takes (the descriptions, which
// carry their patterns in parentheses, joined by ";;").
inline constexpr const char* kSaveDialogFilter = "Файлы толшиномера(*.ks)|*.ks|All files(*.*)|*.*";
inline constexpr const char* kSaveDialogQtFilter = "Файлы толшиномера(*.ks);;All files(*.*)";
inline constexpr const char* kOpenDialogFilter = "Файлы толщиномера(*.ks)|*.ks|All Files(*.*)|*.*";
inline constexpr const char* kOpenDialogQtFilter = "Файлы толщиномера(*.ks);;All Files(*.*)";
inline constexpr const char* kDialogDefaultExtension = "*.ks";
inline constexpr const char* kDialogInitialFileName = "*.ks";
// What a chosen name without an extension gets (Qt's default suffix).
inline constexpr const char* kDefaultSuffix = "ks";

inline constexpr const char* kCommandErrorCaption = "Ошибка";
inline constexpr const char* kSaveFailedText = "Не удалось сохранить файл";
inline constexpr const char* kLoadFailedText = "Не удалось открыть файл";
inline constexpr const char* kClearFailedText = "Не удалось очистить таблицу";
inline constexpr const char* kDeleteFailedText = "Не удалось удалить строку";
inline constexpr const char* kDeleteRowsFailedText = "Не удалось удалить записи";

// A message box for the window to show: error icon, this caption.
struct CommandError {
  std::string text;
  std::string caption = kCommandErrorCaption;
};

class ArchiveCommands {
 public:
  // Shows a file dialog and returns the chosen name, or nothing when the user cancelled.
  using AskFileName = std::function<std::optional<std::string>()>;

  struct SaveOutcome {
    bool saved = false;
    // The window's new caption (the chosen name) after a save through the dialog.
    std::optional<std::string> caption;
    std::optional<CommandError> error;
  };

  struct LoadOutcome {
    // The table now holds the file's rows: show the grid, enable Save and export.
    bool loaded = false;
    std::optional<CommandError> error;
  };

  explicit ArchiveCommands(ArchiveStore& store) : store_(store) {}

  // "Очистить таблицу": deletes every row, wherever the grid's cursor stands.
  std::optional<CommandError> clearTable();

  // "Удалить строку": deletes the grid's current row; nothing happens when
  // there is none (empty table).
  std::optional<CommandError> deleteRow(std::optional<std::size_t> currentRow);

  // Ctrl+Delete in the grid, once the user has agreed: deletes these rows
  // together (all or none).
  std::optional<CommandError> deleteRows(const std::vector<std::size_t>& rows);

  // "Сохранить". With a remembered name, writes to it without asking and
  // without a new caption. Otherwise asks through `askSaveDialog` (nothing
  // happens on cancel), appends ".ks" to a name without an extension, writes
  // and, once the file is written, remembers the name and returns it as the
  // caption. A name ending in ".xml" (any case) gets the XML form. The file
  // is replaced only when the new one is whole, so a failed save leaves the
  // old file as it was; a failed first save remembers nothing, so the next
  // Save asks again.
  SaveOutcome save(const AskFileName& askSaveDialog);

  // "Открыть". Asks through `askOpenDialog` (nothing happens on cancel) and
  // replaces the table by the file's rows, held in memory from then on. A
  // file that cannot be read leaves the table with its previous rows and
  // back end. Neither the remembered name nor the caption change.
  LoadOutcome load(const AskFileName& askOpenDialog);

  // Empty until the first Save through the dialog succeeds.
  const std::string& rememberedName() const noexcept { return rememberedName_; }

 private:
  std::optional<CommandError> writeTo(const std::string& fileName);

  ArchiveStore& store_;
  std::string rememberedName_;
};

// The row the grid's cursor moves to after the row at `removedRow` was
// deleted: the row that followed it, or the one before when the last row went;
// nothing when the table is empty. (Qt's selection model moves to the row
// before, so the window sets this row itself.)
std::optional<std::size_t> rowAfterDelete(std::size_t removedRow, std::size_t rowCountAfter);

// The name with ".ks" appended when its last part has no extension.
std::string withDefaultSuffix(const std::string& fileName);

}  // namespace korsi::archive
