#include "OutputConflicts.h"

#include <sys/stat.h>

#include <filesystem>
#include <map>

namespace kvq {

namespace {

// A file that does not exist yet is compared by its name with the links of
// its existing directories resolved.
std::filesystem::path CanonicalName(const std::string& name) {
  std::error_code error;
  std::filesystem::path canonical = std::filesystem::weakly_canonical(name, error);
  return error ? std::filesystem::absolute(name, error).lexically_normal() : canonical;
}

std::string Conflict(const RunFile& output, const RunFile& other) {
  std::string what = other.role;
  if (other.shown != output.shown) what += " (" + other.shown + ")";
  return output.shown + ": is " + what + " of the same run; nothing was written";
}

// What tells a file apart: its device and inode when it exists, else its
// canonical name. Two names of the same file get the same key.
std::string FileKey(const std::string& name) {
  struct stat info;
  if (::stat(name.c_str(), &info) == 0)
    return "inode " + std::to_string(info.st_dev) + ":" + std::to_string(info.st_ino);
  return "name " + CanonicalName(name).string();
}

}  // namespace

bool NamesSameFile(const std::string& a, const std::string& b) {
  return FileKey(a) == FileKey(b);
}

// Each file is looked at once: a project run compares thousands of outputs
// with thousands of INCLUDE files.
std::string FindOutputConflict(const std::vector<RunFile>& outputs,
                               const std::vector<RunFile>& inputs) {
  std::map<std::string, const RunFile*> seen;
  for (const RunFile& input : inputs) seen.emplace(FileKey(input.path), &input);
  for (const RunFile& output : outputs) {
    auto [at, added] = seen.emplace(FileKey(output.path), &output);
    if (!added) return Conflict(output, *at->second);
  }
  return {};
}

}  // namespace kvq
