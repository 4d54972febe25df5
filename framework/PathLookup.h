// File names as users of Windows-born sources write them: "\" and "/" both
// separate directories, and a name whose letter case does not match the file
// system is found case-insensitively.
#pragma once

#include <string>
#include <string_view>

namespace kvq {

inline constexpr char kPathSeparator = '/';

bool IsPathSeparator(char c);
// True when the name holds a directory part (a separator).
bool HasDirectoryPart(std::string_view name);
// The name up to its last separator, without it; empty when there is none.
std::string DirectoryPart(std::string_view name);
// The name after its last separator.
std::string FileNamePart(std::string_view name);
// Joins a directory (may be empty) and a name with the platform separator.
std::string JoinPath(std::string_view directory, std::string_view name);
// Replaces the extension of the last name component ("" when none) by ext
// (which includes its dot).
std::string ReplaceExtension(std::string_view name, std::string_view ext);

// Maps "\" to the platform separator, then resolves each component that does
// not exist as written by a case-insensitive match in its directory. Returns
// the name unchanged in form when nothing matches, so callers report it.
std::string ResolvePath(std::string_view name);

// The name joined to the current directory when it is relative.
std::string AbsolutePath(std::string_view name);

// Existence tests on a resolved name.
bool IsExistingFile(const std::string& path);  // a regular file
bool IsExistingDirectory(const std::string& path);
bool PathExists(const std::string& path);

}  // namespace kvq
