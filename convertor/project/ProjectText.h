// Project files as ordered lists of lines. Lines are read whatever their
// line ends (CR LF, CR or LF: project files pass through many editors) and
// written with CR LF.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace kvq {

using ProjectLines = std::vector<std::string>;

// The lines of a regular file, or nothing when it cannot be read.
std::optional<ProjectLines> ReadProjectLines(const std::string& path);
// Writes the lines, each ended by CR LF; false when the file cannot be written.
bool WriteProjectLines(const std::string& path, const ProjectLines& lines);

}  // namespace kvq
