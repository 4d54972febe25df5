#include "PathLookup.h"

#include <dirent.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

namespace kvq {

bool IsPathSeparator(char c) {
  return c == '/' || c == '\\';
}

bool HasDirectoryPart(std::string_view name) {
  for (char c : name)
    if (IsPathSeparator(c)) return true;
  return false;
}

static std::size_t LastSeparator(std::string_view name) {
  for (std::size_t i = name.size(); i > 0; --i)
    if (IsPathSeparator(name[i - 1])) return i - 1;
  return std::string_view::npos;
}

std::string DirectoryPart(std::string_view name) {
  std::size_t at = LastSeparator(name);
  return at == std::string_view::npos ? std::string() : std::string(name.substr(0, at));
}

std::string FileNamePart(std::string_view name) {
  std::size_t at = LastSeparator(name);
  return std::string(at == std::string_view::npos ? name : name.substr(at + 1));
}

std::string JoinPath(std::string_view directory, std::string_view name) {
  if (directory.empty()) return std::string(name);
  std::string joined(directory);
  joined.push_back(kPathSeparator);
  joined.append(name);
  return joined;
}

std::string ReplaceExtension(std::string_view name, std::string_view ext) {
  std::size_t start = LastSeparator(name);
  start = start == std::string_view::npos ? 0 : start + 1;
  std::size_t dot = name.rfind('.');
  std::string base(dot == std::string_view::npos || dot < start ? name : name.substr(0, dot));
  base.append(ext);
  return base;
}

std::string AbsolutePath(std::string_view name) {
  if (!name.empty() && IsPathSeparator(name[0])) return std::string(name);
  char cwd[4096];
  if (!::getcwd(cwd, sizeof cwd)) return std::string(name);
  return JoinPath(cwd, name);
}

bool PathExists(const std::string& path) {
  struct stat info;
  return ::stat(path.c_str(), &info) == 0;
}

bool IsExistingFile(const std::string& path) {
  struct stat info;
  return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

bool IsExistingDirectory(const std::string& path) {
  struct stat info;
  return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// Finds an entry of directory whose name equals component ignoring case.
static bool FindCaseInsensitive(const std::string& directory, const std::string& component,
                                std::string& found) {
  DIR* dir = ::opendir(directory.empty() ? "." : directory.c_str());
  if (!dir) return false;
  bool matched = false;
  while (dirent* entry = ::readdir(dir)) {
    if (::strcasecmp(entry->d_name, component.c_str()) == 0) {
      found = entry->d_name;
      matched = true;
      break;
    }
  }
  ::closedir(dir);
  return matched;
}

std::string ResolvePath(std::string_view name) {
  std::string path(name);
  for (char& c : path)
    if (c == '\\') c = kPathSeparator;
  if (path.empty() || PathExists(path)) return path;

  // Walk the components, keeping each one that exists as written.
  std::string resolved;
  std::size_t pos = 0;
  if (path[0] == kPathSeparator) {
    resolved = "/";
    pos = 1;
  }
  while (pos <= path.size()) {
    std::size_t next = path.find(kPathSeparator, pos);
    if (next == std::string::npos) next = path.size();
    std::string component = path.substr(pos, next - pos);
    if (!component.empty()) {
      std::string candidate =
          resolved.empty() || resolved == "/" ? resolved + component : resolved + "/" + component;
      std::string found;
      if (!PathExists(candidate) && component != "." && component != ".." &&
          FindCaseInsensitive(resolved, component, found))
        candidate = resolved.empty() || resolved == "/" ? resolved + found : resolved + "/" + found;
      resolved = candidate;
    }
    pos = next + 1;
  }
  return PathExists(resolved) ? resolved : path;
}

}  // namespace kvq
