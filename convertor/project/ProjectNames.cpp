#include "ProjectNames.h"

namespace kvq {

namespace {

constexpr bool IsLetterOrDigit(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
}

}  // namespace

bool IsPlainName(std::string_view name) {
  if (name.empty() || name[0] == '-') return false;
  for (char c : name)
    if (!IsLetterOrDigit(c) && c != '_' && c != '-') return false;
  return true;
}

bool IsExtensionSwitchText(std::string_view word) {
  if (word.size() < 2 || word[0] != '.') return false;
  for (char c : word.substr(1, 3))
    if (!IsLetterOrDigit(c)) return false;
  return true;
}

bool IsVersionText(std::string_view version) {
  for (char c : version)
    if (!IsLetterOrDigit(c) && c != '.' && c != ',' && c != ' ') return false;
  return true;
}

}  // namespace kvq
