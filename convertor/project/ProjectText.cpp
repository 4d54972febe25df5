#include "ProjectText.h"

#include <cerrno>

#include "RegularFile.h"

namespace kvq {

std::optional<ProjectLines> ReadProjectLines(const std::string& path, std::size_t limit) {
  std::optional<std::string> bytes = ReadRegularFile(path, limit);
  if (!bytes) return std::nullopt;
  ProjectLines lines = SplitProjectLines(*bytes);
  for (const std::string& line : lines) {
    if (line.size() > kMaxProjectLineBytes) {
      errno = EFBIG;
      return std::nullopt;
    }
  }
  return lines;
}

ProjectLines SplitProjectLines(std::string_view bytes) {
  ProjectLines lines;
  std::size_t start = 0;
  while (start < bytes.size()) {
    std::size_t end = bytes.find_first_of("\r\n", start);
    if (end == std::string_view::npos) {
      lines.emplace_back(bytes.substr(start));
      break;
    }
    lines.emplace_back(bytes.substr(start, end - start));
    start = end + 1;
    if (bytes[end] == '\r' && start < bytes.size() && bytes[start] == '\n') ++start;
  }
  return lines;
}

std::string JoinProjectLines(const ProjectLines& lines) {
  std::size_t size = 0;
  for (const std::string& line : lines) size += line.size() + 2;
  std::string text;
  text.reserve(size);
  for (const std::string& line : lines) text.append(line).append("\r\n");
  return text;
}

}  // namespace kvq
