#pragma once
// The words of a PDF file with their boxes, as poppler's `pdftotext -bbox`
// finds them, in millimetres from each page's top left corner.

#include <array>
#include <charconv>
#include <cstdio>
#include <memory>
#include <optional>
#include <regex>
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
  static const std::regex word(
      R"re(<word xMin="([0-9.]+)" yMin="([0-9.]+)" xMax="([0-9.]+)" yMax="([0-9.]+)">(.*)</word>)re");
  std::istringstream lines(out);
  for (std::string line; std::getline(lines, line);) {
    if (line.find("<page ") != std::string::npos) {
      ++result.pages;
      continue;
    }
    std::smatch m;
    if (!std::regex_search(line, m, word)) continue;
    result.words.push_back(PdfWord{result.pages, pdfNumber(m[1]) * kMmPerPoint, pdfNumber(m[2]) * kMmPerPoint,
                                   pdfNumber(m[3]) * kMmPerPoint, pdfNumber(m[4]) * kMmPerPoint,
                                   unescapeXml(m[5])});
  }
  return result;
}

}  // namespace korsi::test
