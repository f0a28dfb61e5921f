#include "storage/export/archive_workbook.h"

#include <xlsxwriter.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "services/atomic_file.h"
#include "storage/export/csv_writer.h"
#include "storage/export/numeric_locale.h"
#include "storage/export/workbook_numbers.h"

namespace korsi {

namespace {

constexpr const char* kSheetName = "Лист1";

std::string tooManyRowsText() {
  return "В листе Excel помещается не более " + std::to_string(kMaxWorkbookRows) + " строк таблицы";
}

// Why a file could not be made or written, as the user reads it.
std::string reasonFor(const std::error_code& ec) {
  if (ec == std::errc::permission_denied || ec == std::errc::operation_not_permitted) {
    return "Нет прав на запись в эту папку или в этот файл";
  }
  if (ec == std::errc::no_such_file_or_directory) return "Папка не существует";
  if (ec == std::errc::not_a_directory) return "Путь к файлу проходит через файл, а не через папку";
  if (ec == std::errc::is_a_directory) return "Под этим именем уже есть папка";
  if (ec == std::errc::no_space_on_device) return "На диске нет места";
  if (ec == std::errc::read_only_file_system) return "Диск доступен только для чтения";
  if (ec == std::errc::filename_too_long) return "Слишком длинное имя файла";
  if (ec == std::errc::too_many_files_open || ec == std::errc::too_many_files_open_in_system) {
    return "Открыто слишком много файлов";
  }
#ifdef EDQUOT  // a disk quota; Windows has no such error number
  if (ec.value() == EDQUOT) return "Превышена квота на диске";
#endif
  if (ec == std::errc::io_error) return "Ошибка ввода-вывода на диске";
  return "Ошибка записи файла (" + ec.message() + ")";
}

std::string reasonFor(lxw_error error) {
  switch (error) {
    case LXW_ERROR_MEMORY_MALLOC_FAILED:
      return "Недостаточно памяти";
    case LXW_ERROR_CREATING_TMPFILE:
    case LXW_ERROR_READING_TMPFILE:
      return "Не удаётся записать временные файлы в папку временных файлов";
    case LXW_ERROR_MAX_STRING_LENGTH_EXCEEDED:
      return "Текст ячейки длиннее 32767 знаков, допустимых в Excel";
    default:
      return std::string("Ошибка записи файла (") + lxw_strerror(error) + ")";
  }
}

// Makes the temporary file empty, or tells why it cannot be made.
std::string createEmpty(const std::string& path) {
  errno = 0;
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return reasonFor(std::error_code(errno != 0 ? errno : EIO, std::generic_category()));
  std::fclose(file);
  return {};
}

// How many characters a text shows: its UTF-8 sequences, not its bytes.
std::size_t shownCharacters(const std::string& utf8) {
  std::size_t count = 0;
  for (const char c : utf8) {
    if ((static_cast<unsigned char>(c) & 0xC0U) != 0x80U) ++count;
  }
  return count;
}

// A thickness in millimetres with three decimals, as the grid shows it.
constexpr const char* kThicknessFormat = "0.000";
constexpr std::size_t kThicknessCharacters = 9;  // "1000.000"
// The worksheet's part in the workbook's zip file (constant-memory mode
// writes its values inline, so the only <v> elements are the thicknesses).
constexpr const char* kSheetPart = "xl/worksheets/sheet1.xml";

// The value written for a thickness, and its text in the file: the shortest
// decimal that reads back as the gauge's 32-bit float, as the CSV has it
// (0.843, not 0.8429999947547913); a value that is no float, as it is.
struct ThicknessValue {
  double value;
  std::string text;
};
ThicknessValue thicknessValue(double h) {
  ThicknessValue t{h, csv::thicknessText(h)};
  double shortest = h;
  const auto [end, error] = std::from_chars(t.text.data(), t.text.data() + t.text.size(), shortest);
  if (error == std::errc{} && end == t.text.data() + t.text.size()) t.value = shortest;
  return t;
}

// A column's width in Excel's units, characters of the sheet's font: the
// widest text, and a little for the cell's margins, so that nothing shows
// as "####" or runs into the next cell.
double columnWidth(std::size_t characters) { return static_cast<double>(characters) + 2.0; }

// Writes the workbook to `file`, which libxlsxwriter replaces whole.
std::string writeWorkbook(const std::string& file, const std::array<std::string, 4>& titles,
                          const std::vector<ArchiveRow>& rows) {
  const CNumbersOnThisThread pointNumbers;
  // Rows go to the file as they are written, with their texts in the cells:
  // twice as fast for a large table as a table of shared texts.
  lxw_workbook_options options{};
  options.constant_memory = LXW_TRUE;
  lxw_workbook* book = workbook_new_opt(file.c_str(), &options);
  if (book == nullptr) return reasonFor(LXW_ERROR_MEMORY_MALLOC_FAILED);
  lxw_worksheet* sheet = workbook_add_worksheet(book, kSheetName);
  lxw_error status = sheet != nullptr ? LXW_NO_ERROR : LXW_ERROR_MEMORY_MALLOC_FAILED;
  const auto keep = [&status](lxw_error result) {
    if (status == LXW_NO_ERROR) status = result;
  };

  // The widest text of each column, in characters.
  std::array<std::size_t, 4> widest{};
  for (lxw_col_t column = 0; column < titles.size() && status == LXW_NO_ERROR; ++column) {
    keep(worksheet_write_string(sheet, 0, column, titles[column].c_str(), nullptr));
    widest[column] = shownCharacters(titles[column]);
  }
  widest[2] = std::max(widest[2], kThicknessCharacters);
  lxw_format* thickness = workbook_add_format(book);
  if (thickness == nullptr) {
    keep(LXW_ERROR_MEMORY_MALLOC_FAILED);
  } else {
    format_set_num_format(thickness, kThicknessFormat);
  }
  std::vector<std::string> numberTexts;
  std::string text;
  for (std::size_t i = 0; i < rows.size() && status == LXW_NO_ERROR; ++i) {
    const ArchiveRow& row = rows[i];
    const auto line = static_cast<lxw_row_t>(i + 1);
    if (row.num) {
      text = std::to_string(*row.num);
      keep(worksheet_write_string(sheet, line, 0, text.c_str(), nullptr));
      widest[0] = std::max(widest[0], text.size());
    }
    if (row.date) {
      text = shownText(*row.date);
      keep(worksheet_write_string(sheet, line, 1, text.c_str(), nullptr));
      widest[1] = std::max(widest[1], text.size());
    }
    // A value that is not a finite number has no form in the file's XML.
    if (row.h && std::isfinite(*row.h)) {
      ThicknessValue t = thicknessValue(*row.h);
      keep(worksheet_write_number(sheet, line, 2, t.value, thickness));
      numberTexts.push_back(std::move(t.text));
    }
  }
  for (lxw_col_t column = 0; column < widest.size() && status == LXW_NO_ERROR; ++column) {
    keep(worksheet_set_column(sheet, column, column, columnWidth(widest[column]), nullptr));
  }
  if (status != LXW_NO_ERROR) {
    lxw_workbook_free(book);
    return reasonFor(status);
  }

  errno = 0;
  const lxw_error closed = workbook_close(book);
  // libxlsxwriter writes numbers with 16 digits: their shortest texts go in afterwards.
  if (closed == LXW_NO_ERROR) return rewriteWorksheetNumbers(file, kSheetPart, numberTexts);
  // A failing write leaves the system's reason (a full disk) in errno.
  const int cause = errno;
  if (closed != LXW_ERROR_MEMORY_MALLOC_FAILED && cause != 0) {
    return reasonFor(std::error_code(cause, std::generic_category()));
  }
  return reasonFor(closed);
}

}  // namespace

bool canWriteWorkbooks() { return true; }

std::string writeArchiveWorkbook(const std::string& path, const std::array<std::string, 4>& titles,
                                 const std::vector<ArchiveRow>& rows) {
  if (rows.size() > kMaxWorkbookRows) return tooManyRowsText();
  // Written beside the file and made durable before it takes the file's
  // name; a temporary that is not committed is removed with `replace`.
  AtomicFileReplace replace(path);
  const std::string& temporary = replace.temporary();
  if (std::string error = createEmpty(temporary); !error.empty()) return error;
  if (std::string error = writeWorkbook(temporary, titles, rows); !error.empty()) return error;
  if (const std::error_code ec = replace.commit()) return reasonFor(ec);
  return {};
}

}  // namespace korsi
