#include "engine/LabelReferences.h"

#include "engine/CharacterClass.h"
#include "engine/TextUtilities.h"

namespace kvq {

namespace {

// Labels have at most five digits.
constexpr std::size_t kMaxLabelDigits = 5;

bool EndsWithAny(std::string_view text, std::initializer_list<std::string_view> words) {
  for (std::string_view word : words)
    if (text.ends_with(word)) return true;
  return false;
}

// IF(condition) followed by labels only.
bool IsArithmeticIf(std::string_view key) {
  if (!key.starts_with("IF(")) return false;
  std::size_t close = ClosingBracket(key, 2);
  std::string_view rest = key.substr(close == std::string_view::npos ? key.size() : close + 1);
  if (rest.empty() || !IsDigit(rest[0])) return false;
  for (char c : rest)
    if (!IsDigit(c) && c != ',') return false;
  return true;
}

}  // namespace

std::string LabelReferenceKey(std::string_view statementField) {
  std::string key;
  key.reserve(statementField.size());
  char quote = 0;
  for (char c : statementField) {
    if (quote) {
      if (c == quote) quote = 0;
      continue;
    }
    if (c == '\'' || c == '"') {
      quote = c;
      continue;
    }
    if (c == '!') break;
    if (!IsBlank(c)) key.push_back(ToUpper(c));
  }
  return key;
}

bool RefersToLabel(std::string_view key, int label) {
  bool goTo = key.find("GOTO") != std::string_view::npos;
  bool arithmeticIf = IsArithmeticIf(key);
  for (std::size_t i = 0; i < key.size();) {
    if (!IsDigit(key[i])) {
      ++i;
      continue;
    }
    std::size_t end = i;
    while (end < key.size() && IsDigit(key[end])) ++end;
    std::string_view before = key.substr(0, i);
    std::size_t digits = end - i;
    bool number = i > 0 && (IsDigit(key[i - 1]) || key[i - 1] == '.');
    bool sameValue = !number && digits <= kMaxLabelDigits &&
                     DigitsValue(key.substr(i, digits)) == static_cast<std::size_t>(label);
    i = end;
    if (!sameValue || (end < key.size() && (key[end] == '.' || IsNameChar(key[end])) &&
                       !key.substr(end).starts_with("TO")))
      continue;
    char previous = before.empty() ? ' ' : before.back();
    if (EndsWithAny(before, {"GOTO", "ASSIGN", "ERR=", "END=", "EOR="})) return true;
    // An alternate return: CALL S(X,*50).
    if (previous == '*' && before.size() >= 2 &&
        (before[before.size() - 2] == ',' || before[before.size() - 2] == '('))
      return true;
    // The lists of computed and assigned GOTO and of arithmetic IF.
    if ((goTo || arithmeticIf) && (previous == ',' || previous == '(' || previous == ')'))
      return true;
  }
  return false;
}

}  // namespace kvq
