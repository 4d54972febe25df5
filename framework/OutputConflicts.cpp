#include "OutputConflicts.h"

#include <sys/stat.h>

#include <filesystem>

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

}  // namespace

bool NamesSameFile(const std::string& a, const std::string& b) {
  struct stat sa, sb;
  bool aExists = ::stat(a.c_str(), &sa) == 0;
  bool bExists = ::stat(b.c_str(), &sb) == 0;
  if (aExists && bExists) return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
  if (aExists != bExists) return false;
  return CanonicalName(a) == CanonicalName(b);
}

std::string FindOutputConflict(const std::vector<RunFile>& outputs,
                               const std::vector<RunFile>& inputs) {
  for (std::size_t i = 0; i < outputs.size(); ++i) {
    for (const RunFile& input : inputs)
      if (NamesSameFile(outputs[i].path, input.path)) return Conflict(outputs[i], input);
    for (std::size_t k = 0; k < i; ++k)
      if (NamesSameFile(outputs[i].path, outputs[k].path)) return Conflict(outputs[i], outputs[k]);
  }
  return {};
}

}  // namespace kvq
