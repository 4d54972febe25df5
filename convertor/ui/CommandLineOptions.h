// The options of the command line, told apart from the operands (settings
// and file names) the way compilers and formatters do it: an argument that
// begins with "-" is an option, "--" ends the options, and a lone "-" is an
// operand (the project generator's "library only" mark).
#pragma once

#include <string>
#include <vector>

namespace kvq {

struct CommandLineOptions {
  bool help = false;           // -h, --help
  bool version = false;        // -V, --version
  bool quiet = false;          // -q, --quiet: no status line
  bool force = false;          // --force: overwrite a file that is no converter output
  bool acceptLf = false;       // --accept-lf: bare line feeds end lines too
  std::string dependencyFile;  // --depfile FILE, --depfile=FILE: a Make rule
  // Settings and file names in their order, options taken out.
  std::vector<std::string> operands;
  // The first operand after "--": from there on every operand is a file
  // name, even one that holds "=".
  std::size_t settingsEnd = static_cast<std::size_t>(-1);
};

// Splits the arguments. Returns false with a message (without the program
// name) for an unknown option or a missing option value.
bool ParseCommandLineOptions(const std::vector<std::string>& arguments, CommandLineOptions& options,
                             std::string& error);

}  // namespace kvq
