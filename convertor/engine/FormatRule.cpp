// FORMAT statements used by console output: the library's buffer holds one
// record, so each run of n "/" record separators becomes an nH edit
// descriptor of n bytes 250, which the library turns back into line ends.
#include <algorithm>

#include "engine/CharacterClass.h"
#include "engine/StatementConverter.h"
#include "engine/TextUtilities.h"

namespace kvq {

namespace {

constexpr char kRecordSeparator = '\xfa';
constexpr std::string_view kChangedComment = "C *** KVQ: changed / to '\xfa' (char(250)) !!! ";
constexpr std::string_view kContinuationMark = "     &";

std::string RecordSeparators(std::size_t n) {
  return std::to_string(n) + "H" + std::string(n, kRecordSeparator);
}

// Trailing blanks go; a "," follows unless the piece ends a list item
// already or holds no more than the label and continuation columns.
std::string ClosePiece(std::string piece) {
  TrimTrailingBlanks(piece);
  char last = piece.empty() ? ' ' : piece.back();
  if (last != '(' && last != ')' && last != ',' && piece.size() > 6) piece += ",";
  return piece;
}

bool HasSlash(const std::vector<std::string>& lines) {
  for (const std::string& line : lines)
    if (FindSlash(line) != 0) return true;
  return false;
}

// The first character of a free-form continuation line that carries meaning.
char FirstSignificant(const std::string& line) {
  std::size_t at = line.find_first_not_of(' ');
  if (at != std::string::npos && line[at] == '&') at = line.find_first_not_of(' ', at + 1);
  return at == std::string::npos ? ' ' : line[at];
}

char LastNonBlank(const std::string& text) {
  std::size_t at = text.find_last_not_of(' ');
  return at == std::string::npos ? ' ' : text[at];
}

}  // namespace

std::string SeparateRecordsInQuotedFormat(const std::string& part) {
  if (part.empty() || part[0] != '\'') return part;
  std::string out = "'";
  bool innerConstant = false;  // inside ''...'' of the format itself
  std::size_t i = 1;
  for (; i < part.size(); ++i) {
    char c = part[i];
    if (c == '\'') {
      if (i + 1 < part.size() && part[i + 1] == '\'') {
        out += "''";
        innerConstant = !innerConstant;
        ++i;
        continue;
      }
      break;  // the constant's closing apostrophe
    }
    if (c != '/' || innerConstant) {
      out.push_back(c);
      continue;
    }
    std::size_t runEnd = i;
    while (runEnd < part.size() && part[runEnd] == '/') ++runEnd;
    char before = out.size() == 1 ? '(' : LastNonBlank(out);
    if (before != '(' && before != ',') out += ",";
    out += RecordSeparators(runEnd - i);
    std::size_t next = part.find_first_not_of(' ', runEnd);
    char after = next == std::string::npos ? ')' : part[next];
    if (after != ')' && after != ',') out += ",";
    i = runEnd - 1;
  }
  out.append(part, i, std::string::npos);
  return out;
}

void StatementConverter::ApplyFormatRule() {
  const std::string& text = *text_;
  std::string label;
  if (freeForm_) {
    for (char c : LabelPrefix())
      if (IsDigit(c)) label.push_back(c);
  } else {
    std::size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos || first >= 5) return;  // no label in columns 1 to 5
    for (std::size_t i = first; i < 5 && i < text.size() && !IsBlank(text[i]); ++i)
      label.push_back(text[i]);
  }
  const std::vector<std::string>& labels = run_.unit.consoleFormatLabels;
  if (label.empty() || std::find(labels.begin(), labels.end(), label) == labels.end()) return;

  std::vector<std::string> lines{text};
  while (LinesFollow()) {
    TakeLine();
    lines.push_back(*text_);
  }
  if (!HasSlash(lines)) {
    for (std::size_t i = 0; i + 1 < lines.size(); ++i) output_.WriteOutputLine(lines[i]);
    return;  // the run writes the last line, which is the current one
  }
  output_.WriteCommentLine(kChangedComment);
  if (freeForm_)
    RewriteFreeFormFormat(lines);
  else
    RewriteFixedFormFormat(lines);
}

void StatementConverter::RewriteFixedFormFormat(std::vector<std::string>& lines) {
  bool previousEndedWithComma = false;
  // Lines are taken whole: text past column 72 stays in its columns as
  // everywhere else (CARDS=Y has dropped it already), never cut.
  for (std::string line : lines) {
    line += " ";
    if (previousEndedWithComma)  // no second comma where the last piece has one
      for (std::size_t i = 6; i < line.size() && (line[i] == ',' || IsBlank(line[i])); ++i)
        line[i] = ' ';
    std::string lastClosed;
    for (std::size_t slash = FindSlash(line); slash != 0; slash = FindSlash(line)) {
      lastClosed = ClosePiece(line.substr(0, slash - 1));
      if (lastClosed != kContinuationMark) output_.WriteOutputLine(lastClosed);
      std::size_t runEnd = slash - 1;
      while (runEnd < line.size() && line[runEnd] == '/') ++runEnd;
      output_.WriteOutputLine("     &  " + RecordSeparators(runEnd - (slash - 1)) + "  ");
      // The rest keeps its columns as a continuation line.
      for (std::size_t i = 0; i < runEnd; ++i) line[i] = ' ';
      line[5] = '&';
    }
    lastClosed = ClosePiece(line);
    if (lastClosed != kContinuationMark) output_.WriteOutputLine(lastClosed);
    previousEndedWithComma = !lastClosed.empty() && lastClosed.back() == ',';
  }
  *text_ = "C";  // written as a bare comment line
}

// Free form keeps the statement's lines and replaces each run of "/" in
// place, with commas around it where the list needs them.
void StatementConverter::RewriteFreeFormFormat(std::vector<std::string>& lines) {
  char lastSignificant = '(';
  for (std::size_t k = 0; k < lines.size(); ++k) {
    const std::string& line = lines[k];
    std::string out;
    bool quoted = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
      char c = line[i];
      if (c == '\'') quoted = !quoted;
      if (c != '/' || quoted) {
        out.push_back(c);
        // Continuation marks at either end of a line carry no list item.
        bool leadingMark = c == '&' && out.find_first_not_of(' ') == out.size() - 1;
        std::size_t rest = line.find_first_not_of(' ', i + 1);
        bool trailingMark = c == '&' && (rest == std::string::npos || line[rest] == '!');
        if (!IsBlank(c) && !leadingMark && !trailingMark) lastSignificant = c;
        continue;
      }
      std::size_t runEnd = i;
      while (runEnd < line.size() && line[runEnd] == '/') ++runEnd;
      if (lastSignificant != '(' && lastSignificant != ',') out += ",";
      out += RecordSeparators(runEnd - i);
      std::size_t next = line.find_first_not_of(' ', runEnd);
      char after = next == std::string::npos ? ' ' : line[next];
      if ((after == '&' || after == ' ' || after == '!') && k + 1 < lines.size())
        after = FirstSignificant(lines[k + 1]);
      if (after != ')' && after != ',') out += ",";
      lastSignificant = ',';
      i = runEnd - 1;
    }
    if (k + 1 < lines.size())
      output_.WriteOutputLine(out);
    else
      *text_ = out;
  }
}

}  // namespace kvq
