#pragma once
// Why a data file could not be read or written, as the user reads it.

#include <cstddef>
#include <string>
#include <string_view>

namespace korsi::recordset {

inline constexpr std::string_view kDamagedFileText = "Файл данных повреждён";
inline constexpr std::string_view kUnknownFormatText = "Файл не является файлом данных толщиномера";
inline constexpr std::string_view kNotFoundText = "Файл не найден";
inline constexpr std::string_view kCannotReadText = "Файл не удаётся прочитать";
inline constexpr std::string_view kTooLargeText = "Файл слишком велик";
inline constexpr std::string_view kCannotWriteText = "Файл не удаётся записать";
inline constexpr std::string_view kTooManyRowsText = "В файле слишком много строк";

inline std::string missingColumnText(std::string_view column) {
  return "В файле нет столбца «" + std::string(column) + "»";
}

// The note of `row` (1-based) holds a character that an XML file cannot
// carry, given as U+XXXX (or nothing when the note is not text at all).
inline std::string xmlUnwritableNoteText(std::size_t row, std::string_view character) {
  std::string text = "Примечание в строке " + std::to_string(row) + " содержит знак";
  if (!character.empty()) text += " " + std::string(character);
  return text + ", который нельзя записать в файл XML; сохраните таблицу в файл .ks";
}

inline std::string badValueText(std::size_t row, std::string_view column) {
  return "Недопустимое значение столбца «" + std::string(column) + "» в строке " + std::to_string(row);
}

}  // namespace korsi::recordset
