// The program's start from the command line: the arguments become the
// argument list, a batch run converts without a window, and the outcome
// becomes the exit status (0 converted, 1 abandoned, 2 usage error).
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace kvq {

struct ConsoleStreams {
  std::FILE* out = stdout;
  std::FILE* err = stderr;
  std::FILE* in = stdin;
  bool interactive = false;  // standard input is a terminal
};

int RunCommandLine(const std::vector<std::string>& arguments, const ConsoleStreams& streams);

}  // namespace kvq
