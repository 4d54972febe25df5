// The input format of the fuzz targets: parts of the input separated by the
// bytes 0x1e, 0x1d, 0x1c (each optional), so that seeds can be made from
// real files by putting a separator in front of them.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace kvq::fuzz {

// Splits data at the separators; parts[0] is the text before the first one.
inline std::vector<std::string> SplitParts(const unsigned char* data, std::size_t size) {
  std::vector<std::string> parts(1);
  for (std::size_t i = 0; i < size; ++i) {
    unsigned char c = data[i];
    if ((c == 0x1e || c == 0x1d || c == 0x1c) && parts.size() < 4) {
      parts.resize(static_cast<std::size_t>(0x1f - c) + 1);
      continue;
    }
    parts.back().push_back(static_cast<char>(c));
  }
  parts.resize(4);
  return parts;
}

// Lines of a text (LF-separated), for settings arguments.
inline std::vector<std::string> TextLines(const std::string& text) {
  std::vector<std::string> lines;
  std::string line;
  for (char c : text) {
    if (c == '\n') {
      lines.push_back(line);
      line.clear();
    } else {
      line.push_back(c);
    }
  }
  if (!line.empty()) lines.push_back(line);
  return lines;
}

}  // namespace kvq::fuzz
