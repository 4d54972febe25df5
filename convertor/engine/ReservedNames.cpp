#include "engine/ReservedNames.h"

#include <algorithm>

namespace kvq {

namespace {

bool IsNameCharacter(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '$';
}

// The names separated by commas in list, each up to the first character
// that is no name character (a dimension, for one).
void CollectNames(std::string_view list, std::vector<std::string>& names) {
  std::size_t at = 0;
  while (at < list.size()) {
    std::size_t end = at;
    while (end < list.size() && IsNameCharacter(list[end])) ++end;
    if (end > at) names.emplace_back(list.substr(at, end - at));
    std::size_t comma = list.find(',', end);
    if (comma == std::string_view::npos) break;
    at = comma + 1;
  }
}

// COMMON/A/X,Y/B/Z: the names between slashes.
void CollectCommonBlocks(std::string_view list, std::vector<std::string>& names) {
  std::size_t open = list.find('/');
  while (open != std::string_view::npos) {
    std::size_t close = list.find('/', open + 1);
    if (close == std::string_view::npos) break;
    std::string_view name = list.substr(open + 1, close - open - 1);
    if (!name.empty() && std::all_of(name.begin(), name.end(), IsNameCharacter))
      names.emplace_back(name);
    open = list.find('/', close + 1);
  }
}

}  // namespace

const std::vector<std::string_view>& ReservedNames() {
  // The module's public names, its COMMON blocks and the converter's own
  // routines; every name that begins with ZX_ belongs to the library too.
  static const std::vector<std::string_view> names = {
      "ZENTRIX",      "OPEN_FILE", "CLOSE_FILE", "WRITESTRINGBYHANDLE", "INIT_ZX",
      "INTERFACE_IO", "FO_ERROR",  "DLL_MAIN",   "CONVERTOR_SIGNATURE", "FREE_MEMORY"};
  return names;
}

bool IsReservedName(std::string_view upperCaseName) {
  if (upperCaseName.starts_with("ZX_")) return true;
  const auto& names = ReservedNames();
  return std::find(names.begin(), names.end(), upperCaseName) != names.end();
}

std::vector<std::string> ReservedNamesDeclared(std::string_view key) {
  std::vector<std::string> declared;
  if (key.starts_with("COMMON"))
    CollectCommonBlocks(key.substr(6), declared);
  else if (key.starts_with("EXTERNAL"))
    CollectNames(key.substr(8), declared);
  std::erase_if(declared, [](const std::string& name) { return !IsReservedName(name); });
  return declared;
}

std::string ReservedNameWarning(std::string_view name, std::string_view kind) {
  return std::string(kind) + " " + std::string(name) +
         " has a name of the run-time library Zentrix, which every converted unit uses: "
         "the converted program does not compile until it is renamed";
}

}  // namespace kvq
