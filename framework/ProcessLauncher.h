// Starts another program in the background, with its parameters split at
// blanks. A bare name is looked for only in the absolute directories of
// PATH, never in the working directory (where anyone may have put a file
// of that name), and started by its full path. The started program is
// reaped when it ends.
#pragma once

#include <string>

namespace kvq {

struct StartResult {
  bool started = false;
  int errorCode = 0;  // the system error number when the start failed
};

// directory: the program's working directory; empty keeps the current one.
// The program a bare name starts: the first executable file of that name in
// an absolute directory of PATH; empty when there is none.
std::string FindProgramOnPath(const std::string& name);

StartResult StartProgram(const std::string& program, const std::string& parameters,
                         const std::string& directory);

}  // namespace kvq
