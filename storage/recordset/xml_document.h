#pragma once
// A small XML reader, enough for record-set files: elements with their
// attributes and children, names resolved against their namespaces,
// character and the five predefined entity references. Text content,
// comments, processing instructions and a document type declaration are
// read over and not kept.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace korsi::recordset {

struct XmlAttribute {
  std::string ns;     // namespace URI, empty for an unprefixed attribute
  std::string local;  // name without its prefix
  std::string value;  // references replaced
};

struct XmlElement {
  std::string ns;
  std::string local;
  std::vector<XmlAttribute> attributes;
  std::vector<XmlElement> children;

  // The value of the attribute, or nullptr.
  const std::string* attribute(std::string_view ns, std::string_view local) const;
  bool is(std::string_view ns, std::string_view local) const { return this->ns == ns && this->local == local; }
};

struct XmlParseResult {
  XmlElement root;
  std::string error;  // empty when the text is well-formed
  // The text has more elements than the caller allowed.
  bool tooManyElements = false;
  bool ok() const { return error.empty(); }
};

// Parses UTF-8 text (a leading byte-order mark is allowed). Reading stops
// with an error once more than `maxElements` elements have been met, so
// that the tree never grows past what the caller can use.
XmlParseResult parseXml(std::string_view text, std::size_t maxElements = SIZE_MAX);

}  // namespace korsi::recordset
