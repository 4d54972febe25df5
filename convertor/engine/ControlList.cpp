#include "engine/ControlList.h"

#include <optional>
#include <vector>

#include "engine/CharacterClass.h"
#include "engine/TextUtilities.h"

namespace kvq {

namespace {

struct ListItems {
  std::vector<std::string_view> items;  // as written, blanks included
  std::size_t close = 0;                // index of the closing ")"
};

// The items of the list opening at text[openParen]; nothing when the list
// does not close on this text (a trailing comment ends the search).
std::optional<ListItems> SplitList(std::string_view text, std::size_t openParen) {
  if (openParen >= text.size() || text[openParen] != '(') return std::nullopt;
  ListItems list;
  int depth = 0;
  char quote = 0;
  std::size_t start = openParen + 1;
  for (std::size_t i = start; i < text.size(); ++i) {
    char c = text[i];
    if (quote) {
      if (c == quote) quote = 0;  // a doubled quote closes and reopens
      continue;
    }
    if (c == '\'' || c == '"') {
      quote = c;
    } else if (c == '!') {
      return std::nullopt;
    } else if (c == '(') {
      ++depth;
    } else if (c == ')' && depth > 0) {
      --depth;
    } else if ((c == ',' || c == ')') && depth == 0) {
      list.items.push_back(text.substr(start, i - start));
      start = i + 1;
      if (c == ')') {
        list.close = i;
        return list;
      }
    }
  }
  return std::nullopt;
}

// The keyword of a specifier "name = value", upper case and blank-free;
// empty for a positional item.
std::string KeywordOf(std::string_view item) {
  std::string name;
  for (char c : item) {
    if (IsBlank(c)) continue;
    if (c == '=') return name;
    if (!IsNameChar(c)) return {};
    name.push_back(ToUpper(c));
  }
  return {};
}

std::string_view ValueOf(std::string_view item) {
  return item.substr(item.find('=') + 1);
}

// A moved value loses the blanks around it.
std::string MovedValue(std::string_view item) {
  return std::string(TrimBlanks(ValueOf(item)));
}

// The keyword of the item after text[openParen], read without splitting
// the list; empty for a positional item.
std::string FirstKeyword(std::string_view text, std::size_t openParen) {
  std::size_t end = openParen + 1;
  while (end < text.size() && (IsNameChar(text[end]) || IsBlank(text[end]))) ++end;
  if (end >= text.size() || text[end] != '=') return {};
  return KeywordOf(text.substr(openParen + 1, end - openParen));
}

}  // namespace

bool PutUnitFirst(std::string& text, std::size_t openParen) {
  // Nearly every list begins with its unit: the list is split only when it
  // begins with another specifier.
  if (std::string first = FirstKeyword(text, openParen); first.empty() || first == "UNIT")
    return false;
  std::optional<ListItems> list = SplitList(text, openParen);
  if (!list || list->items.empty()) return false;
  std::vector<std::string_view>& items = list->items;
  std::optional<std::size_t> unit, format;
  for (std::size_t i = 0; i < items.size(); ++i) {
    std::string keyword = KeywordOf(items[i]);
    if (keyword == "UNIT" && !unit) unit = i;
    if (keyword == "FMT" && !format) format = i;
  }
  if (!unit) return false;
  std::string rewritten = MovedValue(items[*unit]);
  if (format) rewritten += "," + MovedValue(items[*format]);
  for (std::size_t i = 0; i < items.size(); ++i)
    if (i != *unit && (!format || i != *format)) rewritten += "," + std::string(items[i]);
  text.replace(openParen + 1, list->close - openParen - 1, rewritten);
  return true;
}

std::string SpecifierAsWritten(std::string_view text, std::size_t openParen,
                               std::string_view name) {
  std::optional<ListItems> list = SplitList(text, openParen);
  if (!list) return {};
  for (std::string_view item : list->items) {
    if (KeywordOf(item) != name) continue;
    std::string value;
    char quote = 0;
    for (char c : ValueOf(item)) {
      if (quote) {
        if (c == quote) quote = 0;
      } else if (c == '\'' || c == '"') {
        quote = c;
      } else if (IsBlank(c)) {
        continue;
      }
      value.push_back(c);
    }
    return value;
  }
  return {};
}

}  // namespace kvq
