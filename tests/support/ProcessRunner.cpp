#include "ProcessRunner.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

#include "TempDirectory.h"

namespace kvq::test {

ProcessResult RunProgram(const std::string& program, const std::vector<std::string>& arguments,
                         const std::string& directory, const std::string& input) {
  TempDirectory capture;
  std::string outPath = capture.File("stdout");
  std::string errPath = capture.File("stderr");
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);

  pid_t child = ::fork();
  if (child == 0) {
    if (::chdir(directory.c_str()) != 0) ::_exit(127);
    int in = ::open(input.empty() ? "/dev/null" : input.c_str(), O_RDONLY);
    int out = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ::dup2(in, 0);
    ::dup2(out, 1);
    ::dup2(err, 2);
    // Batch runs need no display; without one a run that lacks a file name
    // reports it instead of opening the window.
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) ::unsetenv(name);
    ::execvp(program.c_str(), argv.data());
    ::_exit(127);
  }
  ProcessResult result;
  int status = 0;
  ::waitpid(child, &status, 0);
  if (WIFEXITED(status)) result.exitStatus = WEXITSTATUS(status);
  result.out = ReadBytes(outPath);
  result.err = ReadBytes(errPath);
  return result;
}

}  // namespace kvq::test
