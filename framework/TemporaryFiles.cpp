#include "TemporaryFiles.h"

#include <limits.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstring>

namespace kvq {

namespace {

// A run holds few temporaries at once: the destination, the dependency
// file, the companion file, the files of a project generation (one per
// template section). The table lies in zeroed memory: untouched slots
// cost no pages.
constexpr int kSlots = 1024;

struct Slot {
  std::atomic<bool> used{false};
  char path[PATH_MAX];
};

Slot slots[kSlots];

constexpr int kCaughtSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

extern "C" void RemoveAndRaise(int signal) {
  for (Slot& slot : slots)
    if (slot.used.load()) ::unlink(slot.path);
  // The default action ends the process with the signal's own status.
  ::signal(signal, SIG_DFL);
  ::raise(signal);
}

}  // namespace

void RemoveTemporariesOnSignals() {
  ::signal(SIGXFSZ, SIG_IGN);
  for (int signal : kCaughtSignals) {
    struct sigaction current;
    if (::sigaction(signal, nullptr, &current) == 0 && current.sa_handler == SIG_IGN) continue;
    struct sigaction action {};
    action.sa_handler = RemoveAndRaise;
    ::sigemptyset(&action.sa_mask);
    for (int other : kCaughtSignals) ::sigaddset(&action.sa_mask, other);
    ::sigaction(signal, &action, nullptr);
  }
}

bool NoteTemporary(const std::string& path) {
  if (path.size() >= PATH_MAX) return false;
  for (Slot& slot : slots) {
    if (slot.used.load()) continue;
    std::memcpy(slot.path, path.c_str(), path.size() + 1);
    slot.used.store(true);
    return true;
  }
  return false;
}

void ForgetTemporary(const std::string& path) {
  for (Slot& slot : slots)
    if (slot.used.load() && path == slot.path) {
      slot.used.store(false);
      return;
    }
}

}  // namespace kvq
