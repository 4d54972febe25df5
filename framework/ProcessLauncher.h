// Starts another program the way a shell opens it: in the background, with
// its parameters split at blanks, found in the working directory first and
// then on PATH. The started program is reaped when it ends.
#pragma once

#include <string>

namespace kvq {

struct StartResult {
  bool started = false;
  int errorCode = 0;  // the system error number when the start failed
};

// directory: the program's working directory; empty keeps the current one.
StartResult StartProgram(const std::string& program, const std::string& parameters,
                         const std::string& directory);

}  // namespace kvq
