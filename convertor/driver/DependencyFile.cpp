#include "driver/DependencyFile.h"

#include <algorithm>

#include "StagedFile.h"

namespace kvq {

namespace {

// Make reads a blank or '#' as the end of a name and '$' as a variable;
// Ninja and CMake read the same escapes.
std::string EscapeForMake(const std::string& name) {
  std::string escaped;
  escaped.reserve(name.size());
  for (char c : name) {
    if (c == ' ' || c == '#' || c == '\t') escaped += '\\';
    if (c == '$') escaped += '$';
    escaped += c;
  }
  return escaped;
}

bool CanBeInRule(const std::string& name) {
  return name.find_first_of(";%\r\n") == std::string::npos;
}

std::vector<std::string> WithoutRepeats(const std::vector<std::string>& names) {
  std::vector<std::string> unique;
  for (const std::string& name : names)
    if (std::find(unique.begin(), unique.end(), name) == unique.end()) unique.push_back(name);
  return unique;
}

}  // namespace

std::string DependencyRule(const std::string& target, const std::string& source,
                           const std::vector<std::string>& includedFiles) {
  std::vector<std::string> includes = WithoutRepeats(includedFiles);
  std::erase(includes, source);
  std::string rule = EscapeForMake(target) + ":";
  rule += " " + EscapeForMake(source);
  for (const std::string& include : includes) rule += " \\\n  " + EscapeForMake(include);
  rule += "\n";
  for (const std::string& include : includes) rule += "\n" + EscapeForMake(include) + ":\n";
  return rule;
}

std::string NameNoRuleCanHold(const std::string& target, const std::string& source,
                              const std::vector<std::string>& includedFiles) {
  if (!CanBeInRule(target)) return target;
  if (!CanBeInRule(source)) return source;
  for (const std::string& include : includedFiles)
    if (!CanBeInRule(include)) return include;
  return {};
}

bool WriteDependencyFile(const std::string& path, const std::string& target,
                         const std::string& source, const std::vector<std::string>& includedFiles,
                         std::string& message) {
  StagedFile file;
  bool written = file.Create(path, LinkPolicy::ReplaceTarget);
  if (written) {
    file.Write(DependencyRule(target, source, includedFiles));
    written = file.Commit();
  }
  if (!written) {
    message = "convertor: " + path + ": the dependency file could not be written";
  }
  return written;
}

}  // namespace kvq
