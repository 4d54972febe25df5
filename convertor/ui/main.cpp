// Convertor: converts Fortran sources into modules of the computational
// server. With arguments it runs in batch mode without a window.
#include <unistd.h>

#include "CommandLine.h"

int main(int argc, char** argv) {
  std::vector<std::string> arguments(argv + 1, argv + argc);
  kvq::ConsoleStreams streams;
  streams.interactive = ::isatty(STDIN_FILENO) == 1;
  return kvq::RunCommandLine(arguments, streams);
}
