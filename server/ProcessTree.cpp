#include "ProcessTree.h"

#include <dirent.h>
#include <signal.h>
#include <time.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>

namespace kvq::ostrel {

namespace {

// A process that forks faster than it is killed stops being chased after
// this many rounds; between rounds the killed get a millisecond to exit,
// which hands their children to the stopped root.
constexpr int kKillRounds = 200;

// A process still starting children while its tree is being stopped is
// chased this many rounds.
constexpr int kStopRounds = 50;

struct ProcessLook {
  pid_t parent = 0;
  bool zombie = false;
  bool stopped = false;
};

// Parent and state from /proc/PID/stat; the name in parentheses may hold
// blanks and parentheses, so the fields are read after the last ')'.
bool LookAt(pid_t pid, ProcessLook& look) {
  char path[64];
  std::snprintf(path, sizeof path, "/proc/%d/stat", static_cast<int>(pid));
  std::FILE* file = std::fopen(path, "re");
  if (!file) return false;
  char text[1024];
  std::size_t length = std::fread(text, 1, sizeof text - 1, file);
  std::fclose(file);
  text[length] = '\0';
  const char* close = std::strrchr(text, ')');
  char state = 0;
  int parent = 0;
  if (!close || std::sscanf(close + 1, " %c %d", &state, &parent) != 2) return false;
  look.parent = parent;
  look.zombie = state == 'Z' || state == 'X';
  look.stopped = state == 'T';
  return true;
}

// Every process of the system with its look, by pid.
std::map<pid_t, ProcessLook> AllProcesses() {
  std::map<pid_t, ProcessLook> processes;
  DIR* proc = opendir("/proc");
  if (!proc) return processes;
  while (dirent* entry = readdir(proc)) {
    char* end = nullptr;
    long pid = std::strtol(entry->d_name, &end, 10);
    if (*end != '\0' || pid <= 0) continue;
    ProcessLook look;
    if (LookAt(static_cast<pid_t>(pid), look)) processes[static_cast<pid_t>(pid)] = look;
  }
  closedir(proc);
  return processes;
}

std::vector<pid_t> ChildrenOf(pid_t parent, bool zombies) {
  std::vector<pid_t> children;
  for (const auto& [pid, look] : AllProcesses())
    if (look.parent == parent && look.zombie == zombies) children.push_back(pid);
  return children;
}

// The living processes below root, each after its parent; with
// runningOnly, those not stopped (the stopped are still searched below).
std::vector<pid_t> LivingDescendantsOf(pid_t root, bool runningOnly = false) {
  const std::map<pid_t, ProcessLook> processes = AllProcesses();
  std::vector<pid_t> found{root};
  for (std::size_t next = 0; next < found.size(); ++next)
    for (const auto& [pid, look] : processes)
      if (look.parent == found[next] && !look.zombie) found.push_back(pid);
  found.erase(found.begin());
  if (runningOnly) std::erase_if(found, [&](pid_t pid) { return processes.at(pid).stopped; });
  return found;
}

void PauseAMillisecond() {
  timespec pause{0, 1000000};
  nanosleep(&pause, nullptr);
}

}  // namespace

std::vector<pid_t> LivingChildrenOf(pid_t parent) {
  return ChildrenOf(parent, false);
}

std::vector<pid_t> ZombieChildrenOf(pid_t parent) {
  return ChildrenOf(parent, true);
}

void KillDescendants(pid_t root) {
  kill(root, SIGSTOP);
  for (int round = 0; round < kKillRounds; ++round) {
    std::vector<pid_t> living = LivingDescendantsOf(root);
    if (living.empty()) return;
    for (pid_t pid : living) kill(pid, SIGKILL);
    PauseAMillisecond();
  }
}

void StopTree(pid_t root) {
  kill(root, SIGSTOP);
  for (int round = 0; round < kStopRounds; ++round) {
    std::vector<pid_t> running = LivingDescendantsOf(root, true);
    if (running.empty()) return;
    for (pid_t pid : running) kill(pid, SIGSTOP);
    PauseAMillisecond();
  }
}

void ContinueTree(pid_t root) {
  // Below first: root finds its children as it left them.
  for (pid_t pid : LivingDescendantsOf(root)) kill(pid, SIGCONT);
  kill(root, SIGCONT);
}

void KillTree(pid_t root) {
  KillDescendants(root);
  kill(root, SIGKILL);
}

}  // namespace kvq::ostrel
