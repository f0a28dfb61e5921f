#pragma once
// The texts the grid's cells show, and reading back what the user typed into
// a cell's editor: the measurement's number, its date in the shown form and
// the thickness with a decimal comma or point.

#include <QString>

#include "storage/recordset/archive_row.h"

namespace korsi::ui {

// Why a typed value is refused; the window shows it under "Ошибка".
inline constexpr const char* kNumRefused = "Номер измерения должен быть целым числом от -2147483648 до 2147483647";
inline constexpr const char* kDateRefused =
    "Дата должна иметь вид ДД.ММ.ГГГГ Ч:ММ:СС или ДД.ММ.ГГГГ, например 09.03.2009 6:22:05";
inline constexpr const char* kThicknessRefused = "Толщина должна быть числом, например 0,125";

// Three decimals after a decimal comma, as Russian users write numbers: 0,125.
QString thicknessText(double h);
// 09.03.2009 6:22:05, or the date alone at midnight.
QString dateText(const korsi::DateTime& date);

// The cell's fields, in the grid's order.
enum class CellField { Num, Date, Thickness };

// Reads `text` into that field of `row`. A blank text empties the field.
// Returns the reason for refusing it (the row is then unchanged), or an
// empty text when the row took the value.
QString readCellText(CellField field, const QString& text, korsi::ArchiveRow& row);

}  // namespace korsi::ui
