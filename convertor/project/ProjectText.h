// Project files as ordered lists of lines. Lines are read whatever their
// line ends (CR LF, CR or LF: project files pass through many editors) and
// written with CR LF.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kvq {

using ProjectLines = std::vector<std::string>;

// The largest project file or template read, and its longest line: far
// above any real one, and a bound on the memory a hostile file can take.
inline constexpr std::size_t kMaxProjectFileBytes = std::size_t{64} << 20;
inline constexpr std::size_t kMaxProjectLineBytes = std::size_t{1} << 20;

// The lines of a regular file of at most limit bytes, or nothing (errno
// set; EFBIG for a file or a line too long) when it cannot be read.
std::optional<ProjectLines> ReadProjectLines(const std::string& path,
                                             std::size_t limit = kMaxProjectFileBytes);
// The lines of bytes.
ProjectLines SplitProjectLines(std::string_view bytes);
// The lines joined, each ended by CR LF.
std::string JoinProjectLines(const ProjectLines& lines);

}  // namespace kvq
