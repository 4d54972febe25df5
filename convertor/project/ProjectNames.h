// What the project generator accepts as names and versions. They go into
// batch files, resource scripts, project files and file names, so they are
// checked rather than escaped for each of those languages: a name is a
// Fortran or file name, a version a dotted number.
#pragma once

#include <string_view>

namespace kvq {

// Letters, digits, "_" and "-", not beginning with "-": no separator, no
// "..", nothing a shell, a resource compiler or Make reads specially.
bool IsPlainName(std::string_view name);

// An extension switch of a name list: "." and a word whose first three
// characters (the extension taken) are letters or digits.
bool IsExtensionSwitchText(std::string_view word);

// Digits, letters, ".", "," and blanks: a version as resource scripts
// write it ("1.2.3.4", "1, 2, 3, 4").
bool IsVersionText(std::string_view version);

}  // namespace kvq
