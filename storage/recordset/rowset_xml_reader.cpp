#include <charconv>
#include <cstdint>
#include <limits>
#include <span>
#include <utility>

#include "storage/recordset/archive_columns.h"
#include "storage/recordset/data_file_texts.h"
#include "storage/recordset/rowset_xml.h"
#include "storage/recordset/text_codec.h"
#include "storage/recordset/xml_document.h"

namespace korsi::recordset {

namespace {

std::string_view trimmed(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

std::optional<std::int32_t> parseInteger(std::string_view text) {
  text = trimmed(text);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  std::int64_t value = 0;
  const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
  if (result.ec != std::errc{} || result.ptr != text.data() + text.size()) return std::nullopt;
  if (value < std::numeric_limits<std::int32_t>::min() || value > std::numeric_limits<std::int32_t>::max()) {
    return std::nullopt;
  }
  return static_cast<std::int32_t>(value);
}

std::optional<double> parseFloat(std::string_view text) {
  text = trimmed(text);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  double value = 0;
  const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
  if (result.ec != std::errc{} || result.ptr != text.data() + text.size()) return std::nullopt;
  return value;
}

constexpr std::size_t kSchemaElementAllowance = 10000;

struct ColumnName {
  std::string xmlName;  // the attribute name in z:row
  ArchiveColumn target;
};

class RowsetReader {
 public:
  RowsResult read(const XmlElement& root) {
    RowsResult result;
    const XmlElement* schema = child(root, kXmlDataNamespace, "Schema");
    const XmlElement* data = child(root, kRowsetNamespace, "data");
    if (schema == nullptr || data == nullptr) {
      result.error = std::string(kUnknownFormatText);
      return result;
    }
    const std::string* id = schema->attribute("", "id");
    rowNamespace_ = "#" + (id ? *id : std::string("RowsetSchema"));
    collectColumns(*schema);
    for (std::size_t t = 0; t < kArchiveColumnNames.size(); ++t) {
      bool found = false;
      for (const ColumnName& column : columns_) found = found || column.target == t;
      if (!found) {
        result.error = missingColumnText(kArchiveColumnNames[t]);
        return result;
      }
    }
    for (const XmlElement& item : data->children) {
      if (isRow(item)) {
        append(item);
      } else if (item.is(kRowsetNamespace, "insert")) {
        for (const XmlElement& row : item.children) {
          if (isRow(row)) append(row);
        }
      } else if (item.is(kRowsetNamespace, "update")) {
        appendUpdate(item);
      }
      // rs:delete holds rows that are gone; anything else is not ours.
      if (!error_.empty()) {
        result.error = error_;
        return result;
      }
    }
    result.rows = std::move(rows_);
    return result;
  }

 private:
  static const XmlElement* child(const XmlElement& parent, std::string_view ns, std::string_view local) {
    for (const XmlElement& element : parent.children) {
      if (element.is(ns, local)) return &element;
    }
    return nullptr;
  }

  bool isRow(const XmlElement& element) const { return element.is(rowNamespace_, "row"); }

  // Attribute types are declared inside the row's element type or at the
  // level of the schema and referred to from there.
  void collectColumns(const XmlElement& schema) {
    for (const XmlElement& element : schema.children) {
      if (element.is(kXmlDataNamespace, "AttributeType")) addColumn(element);
      if (element.is(kXmlDataNamespace, "ElementType")) {
        for (const XmlElement& inner : element.children) {
          if (inner.is(kXmlDataNamespace, "AttributeType")) addColumn(inner);
        }
      }
    }
  }

  void addColumn(const XmlElement& attributeType) {
    const std::string* name = attributeType.attribute("", "name");
    if (name == nullptr) return;
    // A column whose name is not a valid XML name carries it in rs:name.
    const std::string* realName = attributeType.attribute(kRowsetNamespace, "name");
    const int target = archiveColumnIndex(realName ? *realName : *name);
    if (target < 0) return;
    for (const ColumnName& known : columns_) {
      if (known.target == static_cast<std::size_t>(target)) return;
    }
    columns_.push_back({*name, static_cast<ArchiveColumn>(target)});
  }

  const ColumnName* column(std::string_view xmlName) const {
    for (const ColumnName& c : columns_) {
      if (c.xmlName == xmlName) return &c;
    }
    return nullptr;
  }

  // Sets the values the element carries; columns it does not name keep theirs.
  void apply(const XmlElement& element, ArchiveRow& row) {
    const std::size_t rowNumber = rows_.size() + 1;
    for (const XmlAttribute& attribute : element.attributes) {
      if (attribute.ns == kRowsetNamespace && attribute.local == "forcenull") {
        forceNull(attribute.value, row);
        continue;
      }
      if (!attribute.ns.empty()) continue;
      const ColumnName* c = column(attribute.local);
      if (c == nullptr) continue;
      bool good = true;
      switch (c->target) {
        case kNumColumn:
          row.num = parseInteger(attribute.value);
          good = row.num.has_value();
          break;
        case kDateColumn:
          row.date = parseIsoText(attribute.value);
          good = row.date.has_value();
          break;
        case kThicknessColumn:
          row.h = parseFloat(attribute.value);
          good = row.h.has_value();
          break;
        case kNoteColumn:
          row.prim = attribute.value;
          good = text::utf16Length(attribute.value) <= kNoteMaxUnits;
          break;
      }
      if (!good && error_.empty()) error_ = badValueText(rowNumber, kArchiveColumnNames[c->target]);
    }
  }

  void forceNull(std::string_view names, ArchiveRow& row) {
    std::size_t pos = 0;
    while (pos < names.size()) {
      const std::size_t end = std::min(names.find(' ', pos), names.size());
      if (const ColumnName* c = column(names.substr(pos, end - pos))) {
        switch (c->target) {
          case kNumColumn: row.num.reset(); break;
          case kDateColumn: row.date.reset(); break;
          case kThicknessColumn: row.h.reset(); break;
          case kNoteColumn: row.prim.reset(); break;
        }
      }
      pos = end + 1;
    }
  }

  void append(const XmlElement& element) {
    if (tooMany()) return;
    ArchiveRow row;
    apply(element, row);
    rows_.push_back(std::move(row));
  }

  // The original row, then a row with the changed values.
  void appendUpdate(const XmlElement& update) {
    if (tooMany()) return;
    ArchiveRow row;
    const XmlElement* original = child(update, kRowsetNamespace, "original");
    if (original != nullptr) {
      for (const XmlElement& element : original->children) {
        if (isRow(element)) {
          apply(element, row);
          break;
        }
      }
    }
    for (const XmlElement& element : update.children) {
      if (isRow(element)) {
        apply(element, row);
        break;
      }
    }
    rows_.push_back(std::move(row));
  }

  bool tooMany() {
    if (rows_.size() < kMaxDataFileRows) return false;
    if (error_.empty()) error_ = std::string(kTooManyRowsText);
    return true;
  }

  std::string rowNamespace_;
  std::vector<ColumnName> columns_;
  std::vector<ArchiveRow> rows_;
  std::string error_;
};

// ADO writes UTF-8; a file that another program turned into UTF-16 says so
// with its byte-order mark.
std::string utf16ToUtf8WithMark(std::string_view text) {
  std::span<const std::uint8_t> bytes(reinterpret_cast<const std::uint8_t*>(text.data()) + 2, text.size() - 2);
  if (static_cast<unsigned char>(text[0]) == 0xFF) return text::utf16leToUtf8(bytes);
  std::vector<std::uint8_t> swapped(bytes.begin(), bytes.end());
  for (std::size_t i = 0; i + 1 < swapped.size(); i += 2) std::swap(swapped[i], swapped[i + 1]);
  return text::utf16leToUtf8(swapped);
}

}  // namespace

RowsResult readRowsetXml(std::string_view text) {
  std::string converted;
  if (text.size() >= 2 && ((static_cast<unsigned char>(text[0]) == 0xFF && static_cast<unsigned char>(text[1]) == 0xFE) ||
                           (static_cast<unsigned char>(text[0]) == 0xFE && static_cast<unsigned char>(text[1]) == 0xFF))) {
    converted = utf16ToUtf8WithMark(text);
    text = converted;
  }
  // Besides one element per row a record-set file has a schema of a few
  // dozen elements and the groups of pending changes.
  const XmlParseResult parsed = parseXml(text, 2 * kMaxDataFileRows + kSchemaElementAllowance);
  if (parsed.tooManyElements) {
    RowsResult result;
    result.error = std::string(kTooManyRowsText);
    return result;
  }
  if (!parsed.ok()) {
    RowsResult result;
    result.error = std::string(kDamagedFileText) + ": " + parsed.error;
    return result;
  }
  return RowsetReader().read(parsed.root);
}

}  // namespace korsi::recordset
