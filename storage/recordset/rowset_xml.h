#pragma once
// ADO's XML persistence format for a record set: a schema section in
// XML-Data (s:Schema id="RowsetSchema") that declares the columns as
// attribute types of the element "row", and a data section (rs:data) with one
// z:row element per row, one attribute per column that is not NULL. Pending
// changes appear as rs:insert, rs:update (rs:original and the changed values)
// and rs:delete groups in the data section.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "storage/recordset/archive_row.h"
#include "storage/recordset/rows_result.h"

namespace korsi::recordset {

inline constexpr std::string_view kXmlDataNamespace = "uuid:BDC6E3F0-6DA3-11d1-A2A3-00AA00C14882";
inline constexpr std::string_view kDataTypesNamespace = "uuid:C2F41010-65B3-11d1-A29F-00AA00C14882";
inline constexpr std::string_view kRowsetNamespace = "urn:schemas-microsoft-com:rowset";

// The rows as ADO saves a record set of table `archive` in XML (UTF-8).
std::string writeRowsetXml(const std::vector<ArchiveRow>& rows);

// A note XML 1.0 cannot carry: the first character of it that no XML reader
// accepts, even written as a reference (U+0000 to U+001F other than tab,
// line feed and carriage return, U+FFFE, U+FFFF), or bytes that are not UTF-8.
struct XmlUnwritableNote {
  std::size_t row;     // 0-based
  char32_t character;  // 0xFFFFFFFF for bytes that are not UTF-8
};
std::optional<XmlUnwritableNote> findXmlUnwritableNote(const std::vector<ArchiveRow>& rows);

// The archive table's rows from an ADO XML record set that has the columns
// num, date, h and Prim (by name, in any case; other columns are ignored).
RowsResult readRowsetXml(std::string_view text);

}  // namespace korsi::recordset
