// Runs a program the way a user does from a shell: in a given directory,
// with standard input from /dev/null and no display, capturing output and
// exit status.
#pragma once

#include <string>
#include <vector>

namespace kvq::test {

struct ProcessResult {
  int exitStatus = -1;  // -1 when the program did not exit normally
  std::string out;
  std::string err;
};

// input: a file for standard input; /dev/null when empty.
ProcessResult RunProgram(const std::string& program, const std::vector<std::string>& arguments,
                         const std::string& directory, const std::string& input = "");

}  // namespace kvq::test
