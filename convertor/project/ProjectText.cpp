#include "ProjectText.h"

#include <sys/stat.h>

#include <cstdio>

namespace kvq {

std::optional<ProjectLines> ReadProjectLines(const std::string& path) {
  struct stat info;
  if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return std::nullopt;
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return std::nullopt;
  ProjectLines lines;
  std::string line;
  bool pending = false;  // a line has been started
  for (int c; (c = std::fgetc(file)) != EOF;) {
    if (c == '\r' || c == '\n') {
      lines.push_back(line);
      line.clear();
      pending = false;
      if (c == '\r') {
        int next = std::fgetc(file);
        if (next != '\n' && next != EOF) std::ungetc(next, file);
      }
      continue;
    }
    line.push_back(static_cast<char>(c));
    pending = true;
  }
  bool failed = std::ferror(file) != 0;
  std::fclose(file);
  if (failed) return std::nullopt;
  if (pending) lines.push_back(line);
  return lines;
}

bool WriteProjectLines(const std::string& path, const ProjectLines& lines) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return false;
  bool ok = true;
  for (const std::string& line : lines) {
    ok = ok && std::fwrite(line.data(), 1, line.size(), file) == line.size();
    ok = ok && std::fputs("\r\n", file) >= 0;
  }
  ok = std::fclose(file) == 0 && ok;
  return ok;
}

}  // namespace kvq
