#pragma once
// Lines of a PDF page as a reader sees them: pdftotext gives a page's words
// in its own flow order (a table's columns may come one after the other);
// these gather the words that stand on one line, left to right.

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/pdf_words.h"

namespace korsi::test {

// The words on `page` whose middle lies within `slack` millimetres of the
// middle of a line at `middle`, left to right, joined by blanks.
inline std::string pdfLineAt(const PdfText& pdf, int page, double middle, double slack = 1.0) {
  std::vector<PdfWord> line;
  for (const PdfWord& w : pdf.words) {
    if (w.page == page && std::abs((w.top + w.bottom) / 2 - middle) <= slack) line.push_back(w);
  }
  std::sort(line.begin(), line.end(), [](const PdfWord& a, const PdfWord& b) { return a.left < b.left; });
  std::string out;
  for (const PdfWord& w : line) out += (out.empty() ? "" : " ") + w.text;
  return out;
}

// The whole line that holds the first word `word` on `page` left of
// `beforeLeft` millimetres; nothing when there is none.
inline std::optional<std::string> pdfLineOf(const PdfText& pdf, int page, const std::string& word,
                                            double beforeLeft = 1000.0) {
  for (const PdfWord& w : pdf.words) {
    if (w.page == page && w.text == word && w.left < beforeLeft) return pdfLineAt(pdf, page, (w.top + w.bottom) / 2);
  }
  return std::nullopt;
}

}  // namespace korsi::test
