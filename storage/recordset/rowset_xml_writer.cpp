#include <charconv>
#include <cmath>

#include "storage/recordset/rowset_xml.h"
#include "storage/recordset/text_codec.h"

namespace korsi::recordset {

namespace {

constexpr std::string_view kSchema =
    "<xml xmlns:s='uuid:BDC6E3F0-6DA3-11d1-A2A3-00AA00C14882'\n"
    "\txmlns:dt='uuid:C2F41010-65B3-11d1-A29F-00AA00C14882'\n"
    "\txmlns:rs='urn:schemas-microsoft-com:rowset'\n"
    "\txmlns:z='#RowsetSchema'>\n"
    "<s:Schema id='RowsetSchema'>\n"
    "\t<s:ElementType name='row' content='eltOnly' rs:updatable='true'>\n"
    "\t\t<s:AttributeType name='num' rs:number='1' rs:nullable='true' rs:writeunknown='true'"
    " rs:basetable='archive' rs:basecolumn='num'>\n"
    "\t\t\t<s:datatype dt:type='int' dt:maxLength='4' rs:precision='10' rs:fixedlength='true'/>\n"
    "\t\t</s:AttributeType>\n"
    "\t\t<s:AttributeType name='date' rs:number='2' rs:nullable='true' rs:writeunknown='true'"
    " rs:basetable='archive' rs:basecolumn='date'>\n"
    "\t\t\t<s:datatype dt:type='dateTime' rs:dbtype='variantdate' dt:maxLength='16' rs:fixedlength='true'/>\n"
    "\t\t</s:AttributeType>\n"
    "\t\t<s:AttributeType name='h' rs:number='3' rs:nullable='true' rs:writeunknown='true'"
    " rs:basetable='archive' rs:basecolumn='h'>\n"
    "\t\t\t<s:datatype dt:type='float' dt:maxLength='8' rs:precision='15' rs:fixedlength='true'/>\n"
    "\t\t</s:AttributeType>\n"
    "\t\t<s:AttributeType name='Prim' rs:number='4' rs:nullable='true' rs:writeunknown='true'"
    " rs:basetable='archive' rs:basecolumn='Prim'>\n"
    "\t\t\t<s:datatype dt:type='string' dt:maxLength='255'/>\n"
    "\t\t</s:AttributeType>\n"
    "\t\t<s:extends type='rs:rowbase'/>\n"
    "\t</s:ElementType>\n"
    "</s:Schema>\n"
    "<rs:data>\n";

constexpr std::string_view kEnd = "</rs:data>\n</xml>\n";

// Attribute values are written between single quotes. White space other
// than the blank is written as a reference, or a reader would turn it into
// a blank.
void appendEscaped(std::string& out, std::string_view value) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  for (const char c : value) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '\'': out += "&apos;"; break;
      case '"': out += "&quot;"; break;
      default:
        if (static_cast<unsigned char>(c) < 0x20) {
          out += "&#x";
          if (c >= 0x10) out += kHex[c >> 4];
          out += kHex[c & 0xF];
          out += ';';
        } else {
          out += c;
        }
    }
  }
}

void appendNumber(std::string& out, double value) {
  if (std::isnan(value)) {
    out += "NaN";
  } else if (std::isinf(value)) {
    out += value < 0 ? "-INF" : "INF";
  } else {
    char text[32];
    const auto result = std::to_chars(text, text + sizeof text, value);
    out.append(text, result.ptr);
  }
}

}  // namespace

namespace {

bool xmlCanCarry(char32_t c) {
  if (c < 0x20) return c == 0x09 || c == 0x0A || c == 0x0D;
  return c != 0xFFFE && c != 0xFFFF;
}

// The first character of valid UTF-8 text that XML cannot carry.
std::optional<char32_t> firstUncarried(std::string_view text) {
  for (std::size_t i = 0; i < text.size();) {
    const auto lead = static_cast<unsigned char>(text[i]);
    const std::size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    char32_t c = length == 1 ? lead : lead & (0x7F >> length);
    for (std::size_t k = 1; k < length; ++k) c = (c << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
    if (!xmlCanCarry(c)) return c;
    i += length;
  }
  return std::nullopt;
}

}  // namespace

std::optional<XmlUnwritableNote> findXmlUnwritableNote(const std::vector<ArchiveRow>& rows) {
  for (std::size_t r = 0; r < rows.size(); ++r) {
    if (!rows[r].prim) continue;
    if (!text::isValidUtf8(*rows[r].prim)) return XmlUnwritableNote{r, 0xFFFFFFFF};
    if (const auto c = firstUncarried(*rows[r].prim)) return XmlUnwritableNote{r, *c};
  }
  return std::nullopt;
}

std::string writeRowsetXml(const std::vector<ArchiveRow>& rows) {
  std::string out;
  out.reserve(kSchema.size() + kEnd.size() + rows.size() * 80);
  out += kSchema;
  for (const ArchiveRow& row : rows) {
    out += "\t<z:row";
    if (row.num) {
      out += " num='";
      out += std::to_string(*row.num);
      out += '\'';
    }
    if (row.date) {
      out += " date='";
      out += isoText(*row.date, 'T');
      out += '\'';
    }
    if (row.h) {
      out += " h='";
      appendNumber(out, *row.h);
      out += '\'';
    }
    if (row.prim) {
      out += " Prim='";
      appendEscaped(out, *row.prim);
      out += '\'';
    }
    out += "/>\n";
  }
  out += kEnd;
  return out;
}

}  // namespace korsi::recordset
