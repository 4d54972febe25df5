#include "ProcessLauncher.h"

#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <sstream>
#include <thread>
#include <vector>

extern char** environ;

namespace kvq {

StartResult StartProgram(const std::string& program, const std::string& parameters,
                         const std::string& directory) {
  std::string base = directory.empty() ? std::string(".") : directory;
  std::string path = program;
  // A bare name is looked for in the working directory before PATH.
  if (program.find('/') == std::string::npos) {
    std::string local = base + "/" + program;
    if (::access(local.c_str(), X_OK) == 0) path = local;
  }
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
  int error = path.find('/') == std::string::npos
                  ? posix_spawnp(&child, path.c_str(), &actions, nullptr, argv.data(), environ)
                  : posix_spawn(&child, path.c_str(), &actions, nullptr, argv.data(), environ);
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
