#include "engine/ProgramUnits.h"

#include <algorithm>
#include <string>
#include <vector>

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

// Initials of the head keywords and of the prefixes of later heads.
constexpr std::string_view kHeadInitials = "PSFRILCDENMT";

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

// Words a procedure head may carry before SUBROUTINE or FUNCTION, and the
// type words of a FUNCTION head (a kind or length in brackets may follow).
constexpr std::string_view kPrefixWords[] = {"RECURSIVE", "NON_RECURSIVE", "PURE",
                                             "IMPURE",    "ELEMENTAL",     "MODULE"};
constexpr std::string_view kTypeWords[] = {
    "DOUBLEPRECISION", "DOUBLECOMPLEX", "INTEGER", "REAL", "LOGICAL",
    "COMPLEX",         "CHARACTER",     "TYPE",    "CLASS"};

// The statement field upper-cased up to a trailing comment, blanks dropped
// in fixed form and kept as one in free form, where they part words.
std::string HeadWords(std::string_view field, bool freeForm) {
  std::string words;
  for (char c : TrimBlanks(field)) {
    if (c == '!') break;
    if (IsBlank(c) && (!freeForm || words.empty() || words.back() == ' ')) continue;
    words.push_back(ToUpper(c));
  }
  return words;
}

// Takes word off the front of rest when it stands there as a whole word:
// in free form a blank, "(" or "*" follows it.
bool TakeWord(std::string_view& rest, std::string_view word, bool freeForm) {
  if (!rest.starts_with(word)) return false;
  std::string_view after = rest.substr(word.size());
  if (freeForm && !after.empty() && after[0] != ' ' && after[0] != '(' && after[0] != '*')
    return false;
  rest = after;
  while (rest.starts_with(' ')) rest.remove_prefix(1);
  return true;
}

// Takes a kind or length off the front of rest: "*8", "*(*)", "(KIND=8)".
void TakeTypeParameters(std::string_view& rest) {
  if (rest.starts_with('*')) {
    rest.remove_prefix(1);
    while (!rest.empty() && IsDigit(rest[0])) rest.remove_prefix(1);
  }
  if (!rest.starts_with('(')) return;
  std::size_t close = ClosingBracket(rest, 0);
  rest.remove_prefix(close == std::string_view::npos ? rest.size() : close + 1);
  while (rest.starts_with(' ')) rest.remove_prefix(1);
}

// A procedure head of any Fortran: prefixes such as RECURSIVE, PURE and
// ELEMENTAL in any order with a type, whose kind or length may stand in
// brackets, SUBROUTINE or FUNCTION, and a name followed by "(" or nothing.
struct HeadParts {
  bool character = false;  // a CHARACTER function
  bool function = false;
  bool recursive = false;
  bool pure = false;  // PURE, or ELEMENTAL without IMPURE
  bool module = false;
  std::string_view name;
  std::string_view after;  // what follows the name
};

bool ParseProcedureHead(std::string_view rest, bool freeForm, HeadParts& parts) {
  bool elemental = false, impure = false;
  for (bool taken = true; taken;) {
    taken = false;
    for (std::string_view word : kPrefixWords) {
      if (taken || !TakeWord(rest, word, freeForm)) continue;
      parts.module = parts.module || word == "MODULE";
      parts.recursive = parts.recursive || word == "RECURSIVE";
      parts.pure = parts.pure || word == "PURE";
      elemental = elemental || word == "ELEMENTAL";
      impure = impure || word == "IMPURE";
      taken = true;
    }
    for (std::string_view word : kTypeWords) {
      if (taken || !TakeWord(rest, word, freeForm)) continue;
      parts.character = word == "CHARACTER";
      TakeTypeParameters(rest);
      taken = true;
    }
  }
  parts.pure = parts.pure || (elemental && !impure);
  parts.function = TakeWord(rest, "FUNCTION", freeForm);
  if (!parts.function && !TakeWord(rest, "SUBROUTINE", freeForm)) return false;
  std::size_t end = 0;
  while (end < rest.size() && IsNameChar(rest[end])) ++end;
  parts.name = rest.substr(0, end);
  parts.after = TrimBlanks(rest.substr(end));
  // In fixed form MODULE SUBROUTINES may name a module: a separate module
  // procedure counts only with its argument list.
  bool listNeeded = parts.module && !freeForm;
  return end > 0 && IsUpperLetter(rest[0]) &&
         ((parts.after.empty() && !listNeeded) || parts.after.starts_with('(') ||
          (parts.after.starts_with('&') && !listNeeded));
}

bool RecogniseModernHead(std::string_view field, bool freeForm, std::string& procedureName) {
  std::string words = HeadWords(field, freeForm);
  HeadParts parts;
  if (!ParseProcedureHead(words, freeForm, parts)) return false;
  procedureName.assign(parts.name);
  return true;
}

// The name in "RESULT(name)" after the argument list; empty without one.
std::string_view ResultClauseName(std::string_view after) {
  if (after.starts_with('(')) after.remove_prefix(std::min(after.size(), after.find(')') + 1));
  after = TrimBlanks(after);
  if (!after.starts_with("RESULT")) return {};
  after = TrimBlanks(after.substr(6));
  if (!after.starts_with('(')) return {};
  after = TrimBlanks(after.substr(1));
  std::size_t end = 0;
  while (end < after.size() && IsNameChar(after[end])) ++end;
  return after.substr(0, end);
}

// The heads of FORTRAN 77: the decision rests on the first word.
UnitHead RecogniseClassicHead(Scanner& scan, std::string& text, char c,
                              std::string& procedureName) {
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

}  // namespace

UnitHead RecogniseUnitHead(std::string& text, bool freeForm, std::string& procedureName) {
  const std::string field(StatementField(text, freeForm));
  Scanner scan(field);
  char c = scan.NextChar();
  if (kHeadInitials.find(c) == std::string_view::npos) return UnitHead::None;
  UnitHead head = RecogniseClassicHead(scan, text, c, procedureName);
  if (head == UnitHead::None && RecogniseModernHead(field, freeForm, procedureName))
    head = UnitHead::Procedure;
  return head;
}

ProcedureTraits ReadProcedureTraits(const std::string& text, bool freeForm) {
  std::string words = HeadWords(StatementField(text, freeForm), freeForm);
  HeadParts parts;
  ProcedureTraits traits;
  if (!ParseProcedureHead(words, freeForm, parts)) return traits;
  traits.takesNoSave = parts.recursive || parts.pure;
  if (parts.character && parts.function) {
    std::string_view result = ResultClauseName(parts.after);
    traits.characterResult = result.empty() ? parts.name : result;
  }
  return traits;
}

bool IsUnitEnd(std::string& text, bool freeForm) {
  // What stands beyond column 72 of a fixed-form line is no part of it.
  std::string_view view = StatementField(text, freeForm);
  // Most statements fail here: the first letter is not E.
  std::size_t first = 0;
  while (first < view.size() && (IsBlank(view[first]) || IsDigit(view[first]))) ++first;
  if (first == view.size() || ToUpper(view[first]) != 'E') return false;
  std::string cut;  // the field, when the line goes beyond it
  if (view.size() < text.size()) cut = view;
  const std::string& field = view.size() < text.size() ? cut : text;
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
                                : KeyStartsWith(head.text, "CHARACTER", head.freeForm);
  if (!isCharacter) return 0;
  std::string joined = head.text;
  for (std::size_t i = first + 1; i < statement.size(); ++i)
    AppendContinuation(joined, statement.line(i).text, statement.line(i).freeForm);
  for (std::size_t i = first; i < statement.size(); ++i)
    output.WriteOutputLine(statement.line(i).text);

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

namespace {

// The names of the items of a list "A(:),B,C(N,M)" up to a ")" that
// closes a bracket the list did not open.
std::vector<std::string> ListNames(std::string_view list) {
  std::vector<std::string> names;
  std::string item;
  auto takeItem = [&] {
    std::size_t length = 0;
    while (length < item.size() && IsNameChar(item[length])) ++length;
    if (length > 0) names.push_back(item.substr(0, length));
    item.clear();
  };
  int depth = 0;
  for (char c : list) {
    if (c == '(') ++depth;
    if (c == ')' && --depth < 0) break;
    if (c == ',' && depth == 0) {
      takeItem();
      continue;
    }
    item.push_back(c);
  }
  takeItem();
  return names;
}

}  // namespace

bool DeclaresAllocatableLocal(std::string_view key, std::string_view headKey) {
  std::string_view names;
  if (key.starts_with("ALLOCATABLE")) {
    names = key.substr(std::string_view("ALLOCATABLE").size());
    if (names.starts_with("::")) names.remove_prefix(2);
  } else {
    std::size_t attribute = key.find(",ALLOCATABLE");
    std::size_t colons = key.find("::");
    if (attribute == std::string_view::npos || colons == std::string_view::npos ||
        colons < attribute)
      return false;
    names = key.substr(colons + 2);
  }
  std::size_t open = headKey.find('(');
  std::vector<std::string> dummies = open == std::string_view::npos
                                         ? std::vector<std::string>()
                                         : ListNames(headKey.substr(open + 1));
  for (const std::string& name : ListNames(names))
    if (std::find(dummies.begin(), dummies.end(), name) == dummies.end()) return true;
  return false;
}

}  // namespace kvq
