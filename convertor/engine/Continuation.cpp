#include "engine/Continuation.h"

#include <algorithm>

#include "engine/CharacterClass.h"

namespace kvq {

std::size_t FreeFormContinuationMark(std::string_view text) {
  bool quoted = false;  // the pass has made every constant apostrophe-quoted
  std::size_t mark = std::string_view::npos;
  for (std::size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c == '\'') {
      quoted = !quoted;  // a doubled apostrophe closes and opens again
      mark = std::string_view::npos;
    } else if (c == '!' && !quoted) {
      break;  // a trailing comment
    } else if (c == '&') {
      mark = i;
    } else if (!IsBlank(c)) {
      mark = std::string_view::npos;
    }
  }
  return mark;
}

std::size_t FreeFormCodeEnd(std::string_view text) {
  std::size_t mark = FreeFormContinuationMark(text);
  if (mark != std::string_view::npos) return mark;
  bool quoted = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\'') quoted = !quoted;
    if (text[i] == '!' && !quoted) return i;
  }
  return text.size();
}

bool IsFixedFormContinuation(std::string_view line) {
  return line.size() >= 6 && !IsBlank(line[5]) && IsBlank(line[0]);
}

std::string_view StatementField(std::string_view line, bool freeForm) {
  if (freeForm || line.size() <= kFixedFormLastColumn) return line;
  line = line.substr(0, kFixedFormLastColumn);
  return line.substr(0, line.find_last_not_of(' ') + 1);  // npos + 1 is 0
}

std::string_view ContinuationText(std::string_view line, bool freeForm) {
  if (!freeForm) {
    line = StatementField(line, false);
    return line.size() > kStatementFieldColumn7 ? line.substr(kStatementFieldColumn7) : "";
  }
  std::size_t start = line.find_first_not_of(' ');
  if (start == std::string_view::npos) return "";
  // Leading blanks of a line without "&" only indent it.
  return line.substr(line[start] == '&' ? start + 1 : start);
}

void AppendContinuation(std::string& joined, std::string_view line, bool freeForm) {
  if (freeForm) {
    std::size_t mark = FreeFormContinuationMark(joined);
    if (mark != std::string::npos) joined.resize(mark);
  }
  joined.append(ContinuationText(line, freeForm));
}

}  // namespace kvq
