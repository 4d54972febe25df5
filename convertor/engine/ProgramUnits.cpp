#include "engine/ProgramUnits.h"

#include <algorithm>
#include <string>

#include "engine/CharacterClass.h"
#include "engine/Continuation.h"
#include "engine/Scanner.h"
#include "engine/TextUtilities.h"

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

UnitHead AcceptHead(Scanner& scan, std::string& text, HeadKind kind, std::string& procedureName) {
  switch (kind) {
    case HeadKind::Subroutine:
    case HeadKind::Function:
      procedureName.clear();
      for (char c = scan.NextChar(); ContinuesUnitName(c); c = scan.NextChar())
        procedureName.push_back(c);
      return UnitHead::Procedure;
    case HeadKind::MainProgram:
      text = kDllMainHead;
      return UnitHead::MainProgram;
  }
  return UnitHead::None;
}

}  // namespace

UnitHead RecogniseUnitHead(std::string& text, bool freeForm, std::string& procedureName) {
  const std::string field(StatementField(text, freeForm));
  Scanner scan(field);
  char c = scan.NextChar();
  if (kHeadInitials.find(c) == std::string_view::npos) return UnitHead::None;
  std::string word(1, c);
  for (;;) {
    c = scan.NextChar();
    if (c == '*')  // a type length such as *8 is passed over
      do c = scan.NextChar();
      while (IsDigit(c));
    word.push_back(c);
    bool longerKeywordPossible = false;
    for (const HeadKeyword& keyword : kHeadKeywords) {
      if (keyword.word == word) return AcceptHead(scan, text, keyword.kind, procedureName);
      if (keyword.word.starts_with(word)) longerKeywordPossible = true;
    }
    if (!longerKeywordPossible) return UnitHead::None;
  }
}

bool IsUnitEnd(std::string& text, bool freeForm) {
  // What stands beyond column 72 of a fixed-form line is no part of it.
  const std::string field(StatementField(text, freeForm));
  Scanner scan(field);
  char c = scan.NextChar();
  // A label in front of END (a jump target) belongs to the END line; in
  // fixed form it stands in columns 1 to 5, a digit in column 6 is a
  // continuation mark.
  while (IsDigit(c) && (freeForm || scan.Pos() <= 5)) c = scan.NextChar();
  if (c != 'E') return false;
  std::size_t endColumn = scan.Pos();
  std::string word(1, c);
  for (c = scan.NextChar(); IsNameChar(c); c = scan.NextChar()) word.push_back(c);
  if (word == "END" || word.starts_with("ENDFUNCTION") || word.starts_with("ENDSUBROUTINE"))
    return true;
  if (word.starts_with("ENDPROGRAM")) {
    text = text.substr(0, endColumn - 1) + "END";
    return true;
  }
  return false;
}

std::size_t CollectCharacterNames(const Statement& statement, std::size_t first,
                                  OutputChannel& output, std::vector<std::string>& names) {
  const StatementLine& head = statement.line(first);
  bool isCharacter = first == 0 ? statement.StartsWith("CHARACTER")
                                : KeyStartsWith(head.Text, "CHARACTER", head.FreeForm);
  if (!isCharacter) return 0;
  std::string joined = head.Text;
  for (std::size_t i = first + 1; i < statement.size(); ++i)
    AppendContinuation(joined, statement.line(i).Text, statement.line(i).FreeForm);
  for (std::size_t i = first; i < statement.size(); ++i)
    output.WriteOutputLine(statement.line(i).Text);

  // The names start after the first blank from column 10 on, which passes
  // over the keyword and a length written against it (CHARACTER*8).
  Scanner scan(joined, 10);
  while (scan.Pos() < joined.size() && !IsBlank(joined[scan.Pos() - 1]))
    scan.SetPos(scan.Pos() + 1);
  for (;;) {
    std::string name = scan.ScanName();
    if (!name.empty() && std::find(names.begin(), names.end(), name) == names.end())
      names.push_back(std::move(name));
    if (scan.NameEnd() == kEndMarker) break;
  }
  return statement.size() - first;
}

}  // namespace kvq
