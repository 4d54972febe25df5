#include "ProcessLauncher.h"

#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <sstream>
#include <thread>
#include <vector>

extern char** environ;

namespace kvq {

std::string FindProgramOnPath(const std::string& name) {
  const char* path = std::getenv("PATH");
  std::istringstream entries(path ? path : "");
  for (std::string directory; std::getline(entries, directory, ':');) {
    // An empty or relative entry means the working directory.
    if (directory.empty() || directory[0] != '/') continue;
    std::string candidate = directory + "/" + name;
    struct stat info;
    if (::stat(candidate.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
        ::access(candidate.c_str(), X_OK) == 0)
      return candidate;
  }
  return {};
}

StartResult StartProgram(const std::string& program, const std::string& parameters,
                         const std::string& directory) {
  std::string path = program.find('/') == std::string::npos ? FindProgramOnPath(program) : program;
  if (path.empty()) return StartResult{false, ENOENT};
  std::vector<std::string> words{program};
  std::istringstream split(parameters);
  for (std::string word; split >> word;) words.push_back(word);
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (!directory.empty()) posix_spawn_file_actions_addchdir_np(&actions, directory.c_str());
  pid_t child = 0;
  int error = posix_spawn(&child, path.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  // The program runs on by itself; a waiting thread reaps it when it ends,
  // so a long-lived window leaves no zombies behind.
  if (error == 0)
    std::thread([child] {
      int status;
      while (::waitpid(child, &status, 0) == -1 && errno == EINTR) {
      }
    }).detach();
  StartResult result;
  result.started = error == 0;
  result.errorCode = error;
  return result;
}

}  // namespace kvq
