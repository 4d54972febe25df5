#include "engine/ProgramUnits.h"

#include <algorithm>
#include <string>

#include "engine/CharacterClass.h"
#include "engine/Continuation.h"

namespace kvq {

namespace {

enum class HeadKind { Subroutine, Function, MainProgram };

struct HeadKeyword {
  std::string_view word;  // blank-free, upper case
  HeadKind kind;
};

// Compared in this order as soon as the word read reaches their length.
constexpr HeadKeyword kHeadKeywords[] = {
    {"SUBROUTINE", HeadKind::Subroutine},
    {"FUNCTION", HeadKind::Function},
    {"DOUBLEPRECISIONFUNCTION", HeadKind::Function},
    {"REALFUNCTION", HeadKind::Function},
    {"INTEGERFUNCTION", HeadKind::Function},
    {"LOGICALFUNCTION", HeadKind::Function},
    {"CHARACTERFUNCTION", HeadKind::Function},
    {"COMPLEXFUNCTION", HeadKind::Function},
    {"PROGRAM", HeadKind::MainProgram},
};

// Initials of the head keywords.
constexpr std::string_view kHeadInitials = "PSFRILCD";

// A name goes on while the scanner delivers codes from "0" upwards, so "(",
// ",", "!", "*", "&" and the end marker end it.
bool ContinuesUnitName(char c) {
  return static_cast<unsigned char>(c) >= '0';
}

UnitHead AcceptHead(SourceReader& reader, HeadKind kind, std::string& procedureName) {
  switch (kind) {
    case HeadKind::Subroutine:
    case HeadKind::Function:
      procedureName.clear();
      for (char c = reader.NextChar(); ContinuesUnitName(c); c = reader.NextChar())
        procedureName.push_back(c);
      return UnitHead::Procedure;
    case HeadKind::MainProgram:
      reader.statement().Text = kDllMainHead;
      return UnitHead::MainProgram;
  }
  return UnitHead::None;
}

}  // namespace

UnitHead RecogniseUnitHead(SourceReader& reader, std::string& procedureName) {
  reader.statement().ScanPos = 0;
  char c = reader.NextChar();
  if (kHeadInitials.find(c) == std::string_view::npos) return UnitHead::None;
  std::string word(1, c);
  for (;;) {
    c = reader.NextChar();
    if (c == '*')  // a type length such as *8 is passed over
      do c = reader.NextChar();
      while (IsDigit(c));
    word.push_back(c);
    bool longerKeywordPossible = false;
    for (const HeadKeyword& keyword : kHeadKeywords) {
      if (keyword.word == word) return AcceptHead(reader, keyword.kind, procedureName);
      if (keyword.word.starts_with(word)) longerKeywordPossible = true;
    }
    if (!longerKeywordPossible) return UnitHead::None;
  }
}

bool IsUnitEnd(SourceReader& reader) {
  Statement& stmt = reader.statement();
  stmt.ScanPos = 0;
  stmt.RawScan = false;
  char c = reader.NextChar();
  // A label in front of END (a jump target) belongs to the END line; in
  // fixed form it stands in columns 1 to 5, a digit in column 6 is a
  // continuation mark.
  while (IsDigit(c) && (reader.FreeForm() || stmt.ScanPos <= 5)) c = reader.NextChar();
  if (c != 'E') return false;
  std::size_t endColumn = stmt.ScanPos;
  std::string word(1, c);
  for (c = reader.NextChar(); IsNameChar(c); c = reader.NextChar()) word.push_back(c);
  if (word == "END" || word.starts_with("ENDFUNCTION") || word.starts_with("ENDSUBROUTINE"))
    return true;
  if (word.starts_with("ENDPROGRAM")) {
    stmt.Text = stmt.Text.substr(0, endColumn - 1) + "END";
    return true;
  }
  return false;
}

bool CollectCharacterNames(SourceReader& reader, OutputChannel& output) {
  if (!reader.LineStartsWith("CHARACTER")) return false;
  Statement& stmt = reader.statement();
  std::string joined = stmt.Text;
  while (reader.ContinuationFollows()) {
    AppendContinuation(joined, reader.Lookahead(), reader.FreeForm());
    output.WriteOutputLine(stmt.Text);
    reader.ReadStatement();
  }
  output.WriteOutputLine(stmt.Text);

  // The names start after the first blank from column 10 on, which passes
  // over the keyword and a length written against it (CHARACTER*8).
  stmt.Text = std::move(joined);
  stmt.RawScan = false;
  stmt.ScanPos = 10;
  while (stmt.ScanPos < stmt.Text.size() && !IsBlank(stmt.Text[stmt.ScanPos - 1])) ++stmt.ScanPos;
  std::vector<std::string>& names = reader.run().unit.CharacterNames;
  for (;;) {
    std::string name = reader.ScanName();
    if (!name.empty() && std::find(names.begin(), names.end(), name) == names.end())
      names.push_back(std::move(name));
    if (stmt.NameEnd == kEndMarker) break;
  }
  return true;
}

}  // namespace kvq
