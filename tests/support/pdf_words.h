#pragma once
// The words of a PDF file with their boxes, as poppler's `pdftotext -bbox`
// finds them, in millimetres from each page's top left corner.

#include <array>
#include <charconv>
#include <cstdio>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace korsi::test {

struct PdfWord {
  int page;  // from 1
  double left;
  double top;
  double right;
  double bottom;
  std::string text;
};

struct PdfText {
  int pages = 0;
  std::vector<PdfWord> words;
  std::string error;

  // The box around the words of `phrase` (blank-separated) standing one
  // after the other on `page`, the first such run.
  std::optional<PdfWord> find(int page, const std::string& phrase) const {
    std::vector<std::string> parts;
    std::istringstream in(phrase);
    for (std::string part; in >> part;) parts.push_back(part);
    for (std::size_t i = 0; i + parts.size() <= words.size(); ++i) {
      bool match = true;
      for (std::size_t k = 0; k < parts.size() && match; ++k) {
        match = words[i + k].page == page && words[i + k].text == parts[k];
      }
      if (!match) continue;
      PdfWord box = words[i];
      box.text = phrase;
      for (std::size_t k = 1; k < parts.size(); ++k) {
        box.left = std::min(box.left, words[i + k].left);
        box.top = std::min(box.top, words[i + k].top);
        box.right = std::max(box.right, words[i + k].right);
        box.bottom = std::max(box.bottom, words[i + k].bottom);
      }
      return box;
    }
    return std::nullopt;
  }

  std::vector<PdfWord> onPage(int page) const {
    std::vector<PdfWord> out;
    for (const PdfWord& word : words) {
      if (word.page == page) out.push_back(word);
    }
    return out;
  }
};

inline std::string unescapeXml(std::string text) {
  const std::pair<const char*, const char*> entities[] = {
      {"&lt;", "<"}, {"&gt;", ">"}, {"&quot;", "\""}, {"&apos;", "'"}, {"&amp;", "&"}};
  for (const auto& [entity, plain] : entities) {
    for (std::size_t at = text.find(entity); at != std::string::npos; at = text.find(entity, at + 1)) {
      text.replace(at, std::char_traits<char>::length(entity), plain);
    }
  }
  return text;
}

// Independent of the locale, as pdftotext writes them.
inline double pdfNumber(const std::string& text) {
  double value = 0;
  std::from_chars(text.data(), text.data() + text.size(), value);
  return value;
}

inline PdfText readPdfWords(const std::string& path) {
  constexpr double kMmPerPoint = 25.4 / 72.0;
  PdfText result;
  const std::string command = "pdftotext -bbox '" + path + "' - 2>&1";
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
  if (!pipe) {
    result.error = "cannot run pdftotext";
    return result;
  }
  std::string out;
  std::array<char, 4096> buffer{};
  while (std::size_t n = std::fread(buffer.data(), 1, buffer.size(), pipe.get())) out.append(buffer.data(), n);
  if (pclose(pipe.release()) != 0) {
    result.error = "pdftotext failed (install poppler-utils): " + out;
    return result;
  }
  // <word xMin="..." yMin="..." xMax="..." yMax="...">text</word>, read by
  // hand: std::regex draws false "may be used uninitialized" warnings from
  // GCC 12 in the sanitizer build.
  const auto attribute = [](const std::string& line, const char* name) -> std::optional<std::string> {
    const std::string key = std::string(name) + "=\"";
    const auto start = line.find(key);
    if (start == std::string::npos) return std::nullopt;
    const auto end = line.find('"', start + key.size());
    if (end == std::string::npos) return std::nullopt;
    return line.substr(start + key.size(), end - start - key.size());
  };
  std::istringstream lines(out);
  for (std::string line; std::getline(lines, line);) {
    if (line.find("<page ") != std::string::npos) {
      ++result.pages;
      continue;
    }
    const auto open = line.find("<word ");
    const auto textStart = line.find('>', open);
    const auto textEnd = line.rfind("</word>");
    if (open == std::string::npos || textStart == std::string::npos || textEnd == std::string::npos ||
        textEnd < textStart) {
      continue;
    }
    const auto xMin = attribute(line, "xMin");
    const auto yMin = attribute(line, "yMin");
    const auto xMax = attribute(line, "xMax");
    const auto yMax = attribute(line, "yMax");
    if (!xMin || !yMin || !xMax || !yMax) continue;
    result.words.push_back(PdfWord{result.pages, pdfNumber(*xMin) * kMmPerPoint, pdfNumber(*yMin) * kMmPerPoint,
                                   pdfNumber(*xMax) * kMmPerPoint, pdfNumber(*yMax) * kMmPerPoint,
                                   unescapeXml(line.substr(textStart + 1, textEnd - textStart - 1))});
  }
  return result;
}

}  // namespace korsi::test
