#include "storage/recordset/xml_document.h"

#include <cstdint>
#include <stdexcept>
#include <unordered_map>
#include <unordered_set>
#include <utility>

#include "storage/recordset/text_codec.h"

namespace korsi::recordset {

namespace {

// Deeper nesting than any record-set file has is refused.
constexpr std::size_t kMaxDepth = 64;

constexpr std::string_view kXmlNamespace = "http://www.w3.org/XML/1998/namespace";

class XmlError : public std::runtime_error {
 public:
  XmlError(std::size_t offset, const std::string& what)
      : std::runtime_error(what + " (смещение " + std::to_string(offset) + ")") {}
};

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

bool isNameChar(char c) {
  return !isSpace(c) && c != '=' && c != '>' && c != '/' && c != '<' && c != '"' && c != '\'' &&
         c != '&' && c != '?' && c != '!';
}

struct RawAttribute {
  std::string_view qname;
  std::string value;
};


// More elements than the caller allowed.
struct TooManyElements {};

class Parser {
 public:
  Parser(std::string_view text, std::size_t maxElements) : text_(text), maxElements_(maxElements) {}

  XmlElement parse() {
    if (text_.substr(0, 3) == "\xEF\xBB\xBF") pos_ = 3;
    skipMisc();
    if (pos_ >= text_.size() || text_[pos_] != '<') fail("нет корневого элемента");
    XmlElement root;
    std::vector<XmlElement*> open;
    std::vector<std::string_view> openNames;
    // The prefixes each open element bound, to unbind them when it closes.
    std::vector<std::vector<std::string>> boundByElement;
    bool rootDone = false;
    while (!rootDone) {
      if (pos_ >= text_.size()) fail("документ обрывается");
      const char c = text_[pos_];
      if (c != '<') {
        if (open.empty()) fail("текст вне корневого элемента");
        skipText();
        continue;
      }
      if (startsWith("<!--")) {
        skipPast("-->");
      } else if (startsWith("<![CDATA[")) {
        if (open.empty()) fail("текст вне корневого элемента");
        skipPast("]]>");
      } else if (startsWith("<?")) {
        skipPast("?>");
      } else if (startsWith("</")) {
        pos_ += 2;
        const std::string_view name = readName();
        skipSpace();
        expect('>');
        if (open.empty() || name != openNames.back()) fail("закрывающий тег не совпадает с открытым");
        open.pop_back();
        openNames.pop_back();
        unbind(boundByElement.back());
        boundByElement.pop_back();
        rootDone = open.empty();
      } else if (startsWith("<!")) {
        fail("неожиданное объявление");
      } else {
        ++pos_;
        if (++elements_ > maxElements_) throw TooManyElements{};
        const std::string_view qname = readName();
        std::vector<RawAttribute> raw;
        // Names seen so far in this tag, so that a repeat is found in one
        // look-up, however many attributes the element has.
        std::unordered_set<std::string_view> names;
        bool empty = false;
        for (;;) {
          const bool spaced = skipSpace();
          if (pos_ >= text_.size()) fail("тег обрывается");
          if (text_[pos_] == '>') {
            ++pos_;
            break;
          }
          if (startsWith("/>")) {
            pos_ += 2;
            empty = true;
            break;
          }
          if (!spaced) fail("нет пробела перед атрибутом");
          RawAttribute attribute;
          attribute.qname = readName();
          skipSpace();
          expect('=');
          skipSpace();
          attribute.value = readAttributeValue();
          if (!names.insert(attribute.qname).second) fail("атрибут повторяется");
          raw.push_back(std::move(attribute));
        }
        if (open.size() >= kMaxDepth) fail("слишком глубокая вложенность");
        std::vector<std::string> bound;
        for (const RawAttribute& attribute : raw) {
          if (attribute.qname == "xmlns") {
            bind("", attribute.value, bound);
          } else if (attribute.qname.substr(0, 6) == "xmlns:") {
            bind(std::string(attribute.qname.substr(6)), attribute.value, bound);
          }
        }
        XmlElement* element = nullptr;
        if (open.empty()) {
          rootStarted_ = true;
          element = &root;
        } else {
          open.back()->children.emplace_back();
          element = &open.back()->children.back();
        }
        resolve(qname, true, element->ns, element->local);
        for (RawAttribute& attribute : raw) {
          if (attribute.qname == "xmlns" || attribute.qname.substr(0, 6) == "xmlns:") continue;
          XmlAttribute resolved;
          resolve(attribute.qname, false, resolved.ns, resolved.local);
          resolved.value = std::move(attribute.value);
          element->attributes.push_back(std::move(resolved));
        }
        if (empty) {
          unbind(bound);
          rootDone = open.empty();
        } else {
          open.push_back(element);
          openNames.push_back(qname);
          boundByElement.push_back(std::move(bound));
        }
      }
    }
    skipMisc();
    if (pos_ != text_.size()) fail("данные после корневого элемента");
    return root;
  }

 private:
  [[noreturn]] void fail(const std::string& what) const { throw XmlError(pos_, what); }

  bool startsWith(std::string_view prefix) const { return text_.substr(pos_, prefix.size()) == prefix; }

  void expect(char c) {
    if (pos_ >= text_.size() || text_[pos_] != c) fail(std::string("ожидался знак ") + c);
    ++pos_;
  }

  bool skipSpace() {
    const std::size_t start = pos_;
    while (pos_ < text_.size() && isSpace(text_[pos_])) ++pos_;
    return pos_ != start;
  }

  void skipPast(std::string_view end) {
    const std::size_t found = text_.find(end, pos_);
    if (found == std::string_view::npos) fail("конструкция не закрыта");
    pos_ = found + end.size();
  }

  void skipText() {
    while (pos_ < text_.size() && text_[pos_] != '<') {
      if (text_[pos_] == '&') {
        std::string ignored;
        readReference(ignored);
      } else {
        ++pos_;
      }
    }
  }

  // Comments, processing instructions, white space and a document type
  // declaration before and after the root element.
  void skipMisc() {
    for (;;) {
      skipSpace();
      if (startsWith("<?")) {
        skipPast("?>");
      } else if (startsWith("<!--")) {
        skipPast("-->");
      } else if (startsWith("<!DOCTYPE") && !rootStarted_) {
        skipDoctype();
      } else {
        return;
      }
    }
  }

  void skipDoctype() {
    int depth = 0;
    char quote = 0;
    for (++pos_; pos_ < text_.size(); ++pos_) {
      const char c = text_[pos_];
      if (quote) {
        if (c == quote) quote = 0;
      } else if (c == '"' || c == '\'') {
        quote = c;
      } else if (c == '[') {
        ++depth;
      } else if (c == ']') {
        --depth;
      } else if (c == '>' && depth <= 0) {
        ++pos_;
        return;
      }
    }
    fail("объявление типа документа не закрыто");
  }

  std::string_view readName() {
    const std::size_t start = pos_;
    while (pos_ < text_.size() && isNameChar(text_[pos_])) ++pos_;
    if (pos_ == start) fail("ожидалось имя");
    return text_.substr(start, pos_ - start);
  }

  void readReference(std::string& out) {
    const std::size_t end = text_.find(';', pos_);
    if (end == std::string_view::npos || end - pos_ > 12) fail("неверная ссылка на знак");
    const std::string_view name = text_.substr(pos_ + 1, end - pos_ - 1);
    if (name == "lt") {
      out += '<';
    } else if (name == "gt") {
      out += '>';
    } else if (name == "amp") {
      out += '&';
    } else if (name == "quot") {
      out += '"';
    } else if (name == "apos") {
      out += '\'';
    } else if (name.size() >= 2 && name[0] == '#') {
      const bool hex = name[1] == 'x';
      const std::string_view digitsText = name.substr(hex ? 2 : 1);
      if (digitsText.empty()) fail("неверная ссылка на знак");
      std::uint32_t code = 0;
      for (const char d : digitsText) {
        int value = -1;
        if (d >= '0' && d <= '9') value = d - '0';
        if (hex && d >= 'a' && d <= 'f') value = d - 'a' + 10;
        if (hex && d >= 'A' && d <= 'F') value = d - 'A' + 10;
        if (value < 0) fail("неверная ссылка на знак");
        code = code * (hex ? 16 : 10) + static_cast<std::uint32_t>(value);
        if (code > 0x10FFFF) fail("неверная ссылка на знак");
      }
      if (code == 0 || (code >= 0xD800 && code <= 0xDFFF)) fail("неверная ссылка на знак");
      text::appendUtf8(out, code);
    } else {
      fail("неизвестная ссылка на знак");
    }
    pos_ = end + 1;
  }

  // Quoted value; literal white space becomes a blank (a CR LF pair one
  // blank), as XML normalises attribute values; references keep their character.
  std::string readAttributeValue() {
    if (pos_ >= text_.size() || (text_[pos_] != '"' && text_[pos_] != '\'')) fail("значение атрибута без кавычек");
    const char quote = text_[pos_++];
    std::string value;
    for (;;) {
      if (pos_ >= text_.size()) fail("значение атрибута не закрыто");
      const char c = text_[pos_];
      if (c == quote) {
        ++pos_;
        return value;
      }
      if (c == '<') fail("знак < в значении атрибута");
      if (c == '&') {
        readReference(value);
        continue;
      }
      if (c == '\r' && pos_ + 1 < text_.size() && text_[pos_ + 1] == '\n') ++pos_;
      value += (c == '\t' || c == '\n' || c == '\r') ? ' ' : c;
      ++pos_;
    }
  }

  void resolve(std::string_view qname, bool element, std::string& ns, std::string& local) {
    const std::size_t colon = qname.find(':');
    if (colon == std::string_view::npos) {
      local = std::string(qname);
      ns.clear();
      if (element) ns = lookup("");
      return;
    }
    const std::string_view prefix = qname.substr(0, colon);
    local = std::string(qname.substr(colon + 1));
    if (prefix == "xml") {
      ns = std::string(kXmlNamespace);
      return;
    }
    ns = lookup(prefix);
    if (ns.empty()) fail("неизвестный префикс " + std::string(prefix));
  }

  // Each prefix keeps the stack of its bindings, innermost last, so that a
  // look-up costs the same however many prefixes are bound.
  void bind(std::string prefix, const std::string& uri, std::vector<std::string>& bound) {
    bindings_[prefix].push_back(uri);
    bound.push_back(std::move(prefix));
  }

  void unbind(const std::vector<std::string>& bound) {
    for (const std::string& prefix : bound) {
      const auto it = bindings_.find(prefix);
      it->second.pop_back();
      if (it->second.empty()) bindings_.erase(it);
    }
  }

  std::string lookup(std::string_view prefix) const {
    const auto it = bindings_.find(std::string(prefix));
    return it == bindings_.end() ? std::string() : it->second.back();
  }

  std::string_view text_;
  std::size_t maxElements_;
  std::size_t elements_ = 0;
  std::size_t pos_ = 0;
  bool rootStarted_ = false;
  std::unordered_map<std::string, std::vector<std::string>> bindings_;
};

}  // namespace

const std::string* XmlElement::attribute(std::string_view wantedNs, std::string_view wantedLocal) const {
  for (const XmlAttribute& a : attributes) {
    if (a.ns == wantedNs && a.local == wantedLocal) return &a.value;
  }
  return nullptr;
}

XmlParseResult parseXml(std::string_view text, std::size_t maxElements) {
  XmlParseResult result;
  if (!text::isValidUtf8(text)) {
    result.error = "текст не в кодировке UTF-8";
    return result;
  }
  try {
    result.root = Parser(text, maxElements).parse();
  } catch (const XmlError& e) {
    result.error = e.what();
  } catch (const TooManyElements&) {
    result.root = XmlElement{};
    result.tooManyElements = true;
    result.error = "больше " + std::to_string(maxElements) + " элементов";
  }
  return result;
}

}  // namespace korsi::recordset
